#include "host/brumel_node.h"

#include <cstring>
#include <new>

#include "assim/services.h"
#include "host/widget_table.h"
#include "sim/brumel.h"

namespace brumel {

namespace {

using widget_table::Axis;
using widget_table::Row;

using Colour = std::int32_t[4];
constexpr Colour kWhite = {65535, 65535, 65535, 65535};
constexpr Colour kBlue = {0, 0, 65535, 65535};
constexpr Colour kYellow = {65535, 65535, 0, 65535};
constexpr Colour kRed = {65535, 0, 0, 65535};

}  // namespace

BrumelNode::BrumelNode() {
  // strncpy pads the rest of the field with zeros.
  std::strncpy(node_uuid, kBrumelNodeUuid, sizeof node_uuid);
  set_name(kBrumelNodeName);
  try {
    effect = new Brumel;
  } catch (const std::bad_alloc&) {
    effect = nullptr;
    msgwarn("Vexlings.Brumel: not enough memory for the effect; this node will refuse every frame.");
  }
  create_widgets();
  bind_handles();
  first_process_pending = true;
}

BrumelNode::~BrumelNode() { delete effect; }

const char* BrumelNode::get_description() {
  return "Vexlings Brumel, Version 5.0 - Lit, animated clouds grown from a seeded particle "
         "simulation and composited over the input.";
}

void BrumelNode::get_input_limits(int& min_inputs, int& max_inputs) {
  min_inputs = 1;
  max_inputs = 2;
}

void BrumelNode::notify_output_changed() {
  FXNode::notify_output_changed();
  set_ovl_update_pending();
}

bool BrumelNode::layout_controls(ControlLayout& layout) {
  if (num_controls() < 1) return false;
  // The host's count is asked before every step: placing a widget may change it.
  for (int i = 0; i < num_controls() && i < kWidgetCount; ++i) {
    const WidgetEntry& e = widgets[static_cast<std::size_t>(i)];
    if (e.widget != nullptr && (e.widget->flags & CWidget::kLayoutExclusion) == 0)
      layout.place_widget(e.widget, e.row, e.column, 0, 1);
  }
  return true;
}

int BrumelNode::control_entry(const CWidget* widget) const {
  if (widget == nullptr) return -1;
  for (int e = 0; e < kControlWidgets; ++e)
    if (widgets[static_cast<std::size_t>(e)].widget == widget) return e;
  return -1;
}

ControlKv* BrumelNode::entry_control(int entry) const {
  if (effect == nullptr || entry < 0 || entry >= kControlWidgets) return nullptr;
  return control_table(*effect)[static_cast<std::size_t>(
      widget_table::kEntryControl[static_cast<std::size_t>(entry)])];
}

void BrumelNode::create_widgets() {
  for (std::size_t e = 0; e < widget_table::kRows.size(); ++e) {
    const Row& r = widget_table::kRows[e];
    CWidget* w = widget_table::make_widget(*this, r);
    widgets[e] = {w, r.column, r.row};
    ControlKv* control = entry_control(static_cast<int>(e));
    if (control == nullptr) continue;  // a label, or no effect to bind
    switch (r.axis) {
      case Axis::None:
        control->bind(w, this);
        break;
      case Axis::X:
        break;  // bound together with its Y number, created next
      case Axis::Y:
        static_cast<PositionControlKv*>(control)->bind(widgets[e - 1].widget, w, this);
        break;
    }
  }
}

void BrumelNode::bind_handles() {
  if (effect == nullptr) return;
  Brumel& fx = *effect;
  auto widget = [this](int entry) -> void* { return widgets[static_cast<std::size_t>(entry)].widget; };
  auto prepare = [&fx](OverlayControlKv& h, const Colour& colour) {
    for (int i = 0; i < 4; ++i) h.colour[i] = colour[i];
    h.host_data[10] = &fx.handle_hit;
    h.view = static_cast<OverlayKv*>(&fx);
  };
  auto crosshair = [&](CrosshairOverlayKv& h, const Colour& colour, int x, int y,
                       PositionControlKv& control) {
    prepare(h, colour);
    h.host_data[0] = widget(x);
    h.host_data[1] = widget(y);
    h.host_data[2] = &control;
    h.style = 0;
  };
  auto line = [&](LineOverlayKv& h, const Colour& colour, int sx, int sy, int tx, int ty,
                  PositionControlKv& source, PositionControlKv& target) {
    prepare(h, colour);
    h.host_data[0] = widget(sx);
    h.host_data[1] = widget(sy);
    h.host_data[2] = widget(tx);
    h.host_data[3] = widget(ty);
    h.host_data[4] = &source;
    h.host_data[5] = &target;
  };
  namespace en = widget_table::entry;

  crosshair(fx.birth_handle, kWhite, en::kBirthX, en::kBirthY, fx.birth);
  prepare(fx.birth_radius_handle, kWhite);
  fx.birth_radius_handle.host_data[2] = widget(en::kBirthRadius);
  fx.birth_radius_handle.host_data[3] = widget(en::kBirthRadius);
  fx.birth_radius_handle.host_data[4] = &fx.birth_radius;
  fx.birth_radius_handle.host_data[5] = &fx.birth_radius;
  crosshair(fx.wind_source_handle, kBlue, en::kWindSourceX, en::kWindSourceY, fx.wind_source);
  crosshair(fx.wind_target_handle, kBlue, en::kWindTargetX, en::kWindTargetY, fx.wind_target);
  line(fx.wind_line, kBlue, en::kWindSourceX, en::kWindSourceY, en::kWindTargetX,
       en::kWindTargetY, fx.wind_source, fx.wind_target);
  crosshair(fx.light_source_handle, kYellow, en::kLightSourceX, en::kLightSourceY,
            fx.light_source);
  crosshair(fx.light_target_handle, kYellow, en::kLightTargetX, en::kLightTargetY,
            fx.light_target);
  line(fx.light_line, kYellow, en::kLightSourceX, en::kLightSourceY, en::kLightTargetX,
       en::kLightTargetY, fx.light_source, fx.light_target);
  crosshair(fx.vanish_handle, kRed, en::kVanishX, en::kVanishY, fx.vanishing_point);
}

}  // namespace brumel
