#include "app/view/overlay_mouse.h"

#include "app/embedding.h"

namespace brumel {

namespace {

MouseEvent event_at(const ViewGeometry& view, double x, double y, float pressure) {
  MouseEvent event;
  event.x = static_cast<float>(view.view_x(x));
  event.y = static_cast<float>(view.view_y(y));
  event.pressure = pressure;
  return event;
}

}  // namespace

bool OverlayMouse::press(FXNode& node, const ViewGeometry& view, double x, double y,
                         bool gui_wants_mouse) {
  if (gui_wants_mouse) return false;
  holding_ = true;
  MouseEvent event = event_at(view, x, y, 1.0f);
  return node.overlay_mouse(nullptr, kButtonDown, &event);
}

void OverlayMouse::move(FXNode& node, const ViewGeometry& view, double x, double y,
                        bool gui_wants_mouse) {
  if (!holding_ && gui_wants_mouse) return;
  MouseEvent event = event_at(view, x, y, holding_ ? 1.0f : 0.0f);
  node.overlay_mouse(nullptr, kMove, &event);
}

void OverlayMouse::release(FXNode& node, const ViewGeometry& view, double x, double y) {
  if (!holding_) return;
  holding_ = false;
  MouseEvent event = event_at(view, x, y, 0.0f);
  node.overlay_mouse(nullptr, kButtonUp, &event);
  // A handle follows the pointer past its widgets' ranges; the panel shows them held.
  hold_to_ranges(node, -1.0);
}

}  // namespace brumel
