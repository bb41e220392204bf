// The host viewer's calls: drawing the effect's overlay and passing it mouse events.
#include "assim/services.h"
#include "host/brumel_node.h"
#include "sim/brumel.h"

namespace brumel {

namespace {

// Pointer phases of the overlay.
constexpr int kHover = 0, kPress = 1, kDrag = 2, kRelease = 3;
// Host mouse event kinds.
constexpr int kButtonDown = 0, kMove = 1, kButtonUp = 2;

}  // namespace

bool BrumelNode::has_overlay() { return true; }

bool BrumelNode::overlay_draw(void* /*context*/) {
  if (effect == nullptr) return false;
  int width = 0, height = 0;
  get_output_size(width, height);
  const double correction = aspect_correction(get_aspect(), width, height);
  OverlayKv& view = *effect;
  view.view_width = width;
  view.view_height = height;
  view.pixel_aspect = static_cast<float>(correction > 0.0 ? correction : 1.0);
  view.view_scale = 1.0f;
  view.zoom = 1.0f;
  effect->draw();
  return false;
}

bool BrumelNode::overlay_mouse(void* /*context*/, int kind, MouseEvent* event) {
  if (effect == nullptr || event == nullptr) return false;
  const float x = event->x;
  const float y = event->y;
  switch (kind) {
    case kButtonDown:
      effect->handle_hit = 0;
      effect->pointer(kPress, x, y);
      if (effect->handle_hit == 0) return false;
      set_ovl_update_pending();
      return true;
    case kMove:
      // Pressure, not the host's idea of the button, tells a drag from a hover.
      if (event->pressure > 0.0f) {
        set_ovl_update_pending();
        effect->pointer(kDrag, x, y);
      } else {
        effect->pointer(kHover, x, y);
      }
      return false;
    case kButtonUp:
      effect->pointer(kRelease, x, y);
      invalidate_range(-1.0, -1.0);
      set_ovl_update_pending();
      return false;
    default:
      effect->pointer(kHover, x, y);
      return false;
  }
}

}  // namespace brumel
