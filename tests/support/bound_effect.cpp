#include "support/bound_effect.h"

#include <array>
#include <cstdint>

#include "host/widget_table.h"

namespace {

using widget_table::Axis;
using widget_table::Row;
using Colour = std::array<std::int32_t, 4>;
constexpr Colour kWhite = {65535, 65535, 65535, 65535};
constexpr Colour kBlue = {0, 0, 65535, 65535};
constexpr Colour kYellow = {65535, 65535, 0, 65535};
constexpr Colour kRed = {65535, 0, 0, 65535};

void paint(OverlayControlKv& handle, const Colour& colour, Brumel& effect) {
  for (int i = 0; i < 4; ++i) handle.colour[i] = colour[static_cast<std::size_t>(i)];
  handle.host_data[10] = &effect.handle_hit;
  handle.view = &effect;
}

void bind_crosshair(CrosshairOverlayKv& handle, PositionControlKv& control, const Colour& colour,
                    Brumel& effect) {
  handle.host_data[0] = control.host_data[0];
  handle.host_data[1] = control.host_data[1];
  handle.host_data[2] = &control;
  handle.style = 0;
  paint(handle, colour, effect);
}

void bind_line(LineOverlayKv& handle, PositionControlKv& from, PositionControlKv& to,
               const Colour& colour, Brumel& effect) {
  handle.host_data[0] = from.host_data[0];
  handle.host_data[1] = from.host_data[1];
  handle.host_data[2] = to.host_data[0];
  handle.host_data[3] = to.host_data[1];
  handle.host_data[4] = &from;
  handle.host_data[5] = &to;
  paint(handle, colour, effect);
}

}  // namespace

BoundEffect::BoundEffect() : effect(std::make_unique<Brumel>()) {
  Brumel& e = *effect;
  const auto controls = control_table(e);
  CWidget* previous = nullptr;
  for (std::size_t i = 0; i < widget_table::kRows.size(); ++i) {
    const Row& r = widget_table::kRows[i];
    CWidget* w = widget_table::make_widget(*this, r);
    if (i < widget_table::kControlEntries) {
      ControlKv* c = controls[static_cast<std::size_t>(widget_table::kEntryControl[i])];
      if (r.axis == Axis::None) c->bind(w, this);
      if (r.axis == Axis::Y) static_cast<PositionControlKv*>(c)->bind(previous, w, this);
    }
    previous = w;
  }

  bind_crosshair(e.birth_handle, e.birth, kWhite, e);
  e.birth_radius_handle.host_data[2] = e.birth_radius.host_data[0];
  e.birth_radius_handle.host_data[3] = e.birth_radius.host_data[0];
  e.birth_radius_handle.host_data[4] = &e.birth_radius;
  e.birth_radius_handle.host_data[5] = &e.birth_radius;
  paint(e.birth_radius_handle, kWhite, e);
  bind_crosshair(e.wind_source_handle, e.wind_source, kBlue, e);
  bind_crosshair(e.wind_target_handle, e.wind_target, kBlue, e);
  bind_line(e.wind_line, e.wind_source, e.wind_target, kBlue, e);
  bind_crosshair(e.light_source_handle, e.light_source, kYellow, e);
  bind_crosshair(e.light_target_handle, e.light_target, kYellow, e);
  bind_line(e.light_line, e.light_source, e.light_target, kYellow, e);
  bind_crosshair(e.vanish_handle, e.vanishing_point, kRed, e);
}

BoundEffect::~BoundEffect() = default;

void BoundEffect::fetch_all() {
  for (ControlKv* control : control_table(*effect)) control->fetch();
}

CNumeric* BoundEffect::number(int entry) const {
  CWidget* w = entry < kControlWidgets ? control(entry) : nullptr;
  return w && w->kind() == WidgetKind::Numeric ? static_cast<CNumeric*>(w) : nullptr;
}

CBoolean* BoundEffect::flag(int entry) const {
  CWidget* w = entry < kControlWidgets ? control(entry) : nullptr;
  return w && w->kind() == WidgetKind::Boolean ? static_cast<CBoolean*>(w) : nullptr;
}

COption* BoundEffect::option(int entry) const {
  CWidget* w = entry < kControlWidgets ? control(entry) : nullptr;
  return w && w->kind() == WidgetKind::Option ? static_cast<COption*>(w) : nullptr;
}
