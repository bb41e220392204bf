#include "framework/control_kv.h"

#include "assim/fx_node.h"
#include "assim/widgets.h"
#include "render/int32_truncation.h"

namespace brumel {

namespace {

CNumeric& number(CWidget* w) { return *static_cast<CNumeric*>(w); }
CBoolean& flag(CWidget* w) { return *static_cast<CBoolean*>(w); }
COption& option(CWidget* w) { return *static_cast<COption*>(w); }
CColor& colour(CWidget* w) { return *static_cast<CColor*>(w); }

// 0..1 to 0..32767; NaN counts as below 0.
std::uint16_t channel_to_15bit(double c) {
  if (!(c > 0.0)) c = 0.0;
  if (c > 1.0) c = 1.0;
  return static_cast<std::uint16_t>(c * 32767.5);
}

// The reverse is computed in single precision, as the host layer always has.
double channel_from_15bit(std::uint16_t c) {
  float f = static_cast<float>(c) * (1.0f / 32767.0f);
  if (f < 0.0f) f = 0.0f;
  if (f > 1.0f) f = 1.0f;
  return f;
}

}  // namespace

// --- ControlKv ---

void ControlKv::fetch() {}
void ControlKv::set_shown(bool on) { shown = on; }
void ControlKv::set_dimmed(bool on) { dimmed = on; }
void ControlKv::hook_3() {}
void ControlKv::hook_4() {}

void ControlKv::bind(CWidget* w, FXNode* node) {
  host_data[0] = w;
  host_data[2] = node;
}

void ControlKv::evaluate_at(double t) const {
  if (host_data[2] != nullptr) static_cast<FXNode*>(host_data[2])->evaluate_controls(t, false);
}

void ControlKv::pass_shown(bool on, int count) {
  for (int word = 0; word < count; ++word) {
    if (on) {
      widget(word)->show();
    } else {
      widget(word)->hide();
    }
  }
  shown = on;
}

void ControlKv::pass_dimmed(bool on, int count) {
  for (int word = 0; word < count; ++word) {
    if (on) {
      widget(word)->dim();
    } else {
      widget(word)->undim();
    }
  }
  dimmed = on;
}

// --- NumberControlKv (float, size, angle) ---

void NumberControlKv::fetch() { value = number(widget(0)).value; }
void NumberControlKv::set_shown(bool on) { pass_shown(on, 1); }
void NumberControlKv::set_dimmed(bool on) { pass_dimmed(on, 1); }

void NumberControlKv::set(double v) {
  value = v;
  number(widget(0)) = v;
}

double NumberControlKv::get_at(double t) {
  evaluate_at(t);
  NumberControlKv::fetch();
  return value;
}

// --- IntegerControlKv ---

void IntegerControlKv::fetch() { value = truncate_to_int32(number(widget(0)).value); }
void IntegerControlKv::set_shown(bool on) { pass_shown(on, 1); }
void IntegerControlKv::set_dimmed(bool on) { pass_dimmed(on, 1); }

void IntegerControlKv::set(std::int32_t v) {
  value = v;
  number(widget(0)) = static_cast<long>(v);
}

std::int32_t IntegerControlKv::get_at(double t) {
  evaluate_at(t);
  fetch();
  return value;
}

// --- CheckboxControlKv ---

void CheckboxControlKv::fetch() { value = flag(widget(0)).value != 0; }
void CheckboxControlKv::set_shown(bool on) { pass_shown(on, 1); }
void CheckboxControlKv::set_dimmed(bool on) { pass_dimmed(on, 1); }

void CheckboxControlKv::set(std::int32_t v) {
  value = v != 0;
  flag(widget(0)) = value ? 1 : 0;
}

int CheckboxControlKv::get_at(double t) {
  evaluate_at(t);
  fetch();
  return value ? 1 : 0;
}

// --- ListControlKv ---

void ListControlKv::fetch() { value = option(widget(0)).value + 1; }
void ListControlKv::set_shown(bool on) { pass_shown(on, 1); }
void ListControlKv::set_dimmed(bool on) { pass_dimmed(on, 1); }

void ListControlKv::set(std::int32_t v) {
  value = v;
  option(widget(0)) = static_cast<long>(v) - 1;
}

std::int32_t ListControlKv::get_at(double t) {
  evaluate_at(t);
  fetch();
  return value;
}

// --- PositionControlKv ---

void PositionControlKv::fetch() {
  value_x = number(widget(0)).value;
  value_y = number(widget(1)).value;
}
void PositionControlKv::set_shown(bool on) { pass_shown(on, 2); }
void PositionControlKv::set_dimmed(bool on) { pass_dimmed(on, 2); }

void PositionControlKv::bind(CWidget* x_widget, CWidget* y_widget, FXNode* node) {
  host_data[0] = x_widget;
  host_data[1] = y_widget;
  host_data[2] = node;
}

void PositionControlKv::set(double x, double y) {
  value_x = x;
  value_y = y;
  number(widget(0)) = value_x;
  number(widget(1)) = value_y;
}

std::array<double, 2> PositionControlKv::get_at(double t) {
  evaluate_at(t);
  fetch();
  return {value_x, value_y};
}

// --- ColourControlKv ---

void ColourControlKv::fetch() {
  double rgba[4];
  colour(widget(0)).get_value(rgba);
  for (int i = 0; i < 4; ++i) value[i] = channel_to_15bit(rgba[i]);
}
void ColourControlKv::set_shown(bool on) { pass_shown(on, 1); }
void ColourControlKv::set_dimmed(bool on) { pass_dimmed(on, 1); }

void ColourControlKv::set(std::uint16_t c0, std::uint16_t c1, std::uint16_t c2,
                          std::uint16_t c3) {
  value[0] = c0;
  value[1] = c1;
  value[2] = c2;
  value[3] = c3;
  const double rgba[4] = {channel_from_15bit(c0), channel_from_15bit(c1),
                          channel_from_15bit(c2), channel_from_15bit(c3)};
  colour(widget(0)).set_value(rgba);
}

std::array<std::uint16_t, 4> ColourControlKv::get_at(double t) {
  evaluate_at(t);
  fetch();
  return {value[0], value[1], value[2], value[3]};
}

// --- ButtonControlKv ---

void ButtonControlKv::set_shown(bool on) { pass_shown(on, 1); }
void ButtonControlKv::set_dimmed(bool on) { pass_dimmed(on, 1); }

}  // namespace brumel
