#pragma once
// Controls: the effect's side of the host widgets. Each control caches its widget's
// value in a plain field that the simulation, renderer and overlay read without the
// host, and passes the effect's requests (a new value, a dimmed or shown state) on
// to the widget. Controls are members of the parameter record and own nothing.
//
// host_data words, filled by the host adapter (bind does it): word 0 the host widget
// (a CWidget*), word 1 the Y widget of a position (a CWidget*), word 2 the owning
// node (an FXNode*, not a pointer to a class derived from it); the rest stay null.
// No operation checks for a missing widget: every control is bound before first use.
#include <array>
#include <cstdint>

// The host's own classes (its services library), outside the project's namespace.
class CWidget;
class FXNode;

namespace brumel {

class ControlKv {
 public:
  // The virtual operations keep the host layer's slot order.
  // Copies the host widget's current value into the cached value (base: nothing).
  virtual void fetch();
  // Shows (true) or hides the host widget(s), then records `on` in `shown`.
  virtual void set_shown(bool on);
  // Dims (true: the control no longer applies) or undims the host widget(s), then
  // records `on` in `dimmed`.
  virtual void set_dimmed(bool on);
  // Slots 3 and 4: hooks without behaviour; nothing calls them.
  virtual void hook_3();
  virtual void hook_4();

  // Stores the host widget in word 0 and the node in word 2.
  void bind(CWidget* widget, FXNode* node);

  void* host_data[16] = {};
  bool shown = false;
  bool dimmed = false;

 protected:
  // Controls are never handled through the base alone, so the base is neither made
  // nor destroyed on its own (and needs no virtual destructor).
  ControlKv() = default;
  ControlKv(const ControlKv&) = default;
  ControlKv& operator=(const ControlKv&) = default;
  ~ControlKv() = default;

  CWidget* widget(int word) const { return static_cast<CWidget*>(host_data[word]); }
  // Brings the node's widgets to time t (-1.0: now) when a node is bound.
  void evaluate_at(double t) const;
  // show/hide (resp. dim/undim) on the widgets of words 0..count-1, then records `on`.
  void pass_shown(bool on, int count);
  void pass_dimmed(bool on, int count);
};

// A host number read as a double, unchanged. Float, size and angle controls differ
// only in what the effect makes of the value.
class NumberControlKv : public ControlKv {
 public:
  void fetch() override;
  void set_shown(bool on) override;
  void set_dimmed(bool on) override;

  // Caches v and assigns it to the host number.
  void set(double v);
  // The host number at time t after evaluating the node (t = -1.0: now); also cached.
  double get_at(double t);

  double value = 0.0;

 protected:
  NumberControlKv() = default;
  NumberControlKv(const NumberControlKv&) = default;
  NumberControlKv& operator=(const NumberControlKv&) = default;
  ~NumberControlKv() = default;
};

class FloatControlKv final : public NumberControlKv {};
class SizeControlKv final : public NumberControlKv {};
class AngleControlKv final : public NumberControlKv {};  // value in degrees

// A host number truncated toward zero (out of the int32 range: INT32_MIN, as the
// processor's own truncation gives).
class IntegerControlKv final : public ControlKv {
 public:
  void fetch() override;
  void set_shown(bool on) override;
  void set_dimmed(bool on) override;

  // Caches v and assigns it to the host number.
  void set(std::int32_t v);
  // The truncated host number at time t after evaluating the node; also cached.
  std::int32_t get_at(double t);

  std::int32_t value = 0;
};

// A host flag.
class CheckboxControlKv final : public ControlKv {
 public:
  void fetch() override;
  void set_shown(bool on) override;
  void set_dimmed(bool on) override;

  // The cached value and the host flag both become v != 0.
  void set(std::int32_t v);
  // 1 when the host flag is set at time t (after evaluating the node), else 0; also cached.
  int get_at(double t);

  bool value = false;
};

// A host option; the cached value counts entries from 1.
class ListControlKv final : public ControlKv {
 public:
  void fetch() override;
  void set_shown(bool on) override;
  void set_dimmed(bool on) override;

  // Caches v and assigns entry v - 1 (counted from 0) to the host option; v = 0
  // assigns -1.
  void set(std::int32_t v);
  // The host option's entry at time t, counted from 1; also cached.
  std::int32_t get_at(double t);

  std::int32_t value = 0;
};

// Two host numbers: X in word 0, Y in word 1.
class PositionControlKv final : public ControlKv {
 public:
  void fetch() override;
  // Both widgets, X first.
  void set_shown(bool on) override;
  void set_dimmed(bool on) override;

  // Stores the X widget in word 0, the Y widget in word 1 and the node in word 2.
  void bind(CWidget* x_widget, CWidget* y_widget, FXNode* node);
  // Caches x and y, then assigns value_x to the X number and value_y to the Y number.
  void set(double x, double y);
  // Both host numbers at time t after evaluating the node, X first; also cached.
  std::array<double, 2> get_at(double t);

  double value_x = 0.0;
  double value_y = 0.0;
};

// A host colour as four 15-bit channels (0..32767) in the host's channel order.
class ColourControlKv final : public ControlKv {
 public:
  // Each channel clamped to 0..1, times 32767.5, truncated: 1.0 gives 32767.
  void fetch() override;
  void set_shown(bool on) override;
  void set_dimmed(bool on) override;

  // Caches the channels and passes each, in single precision times 1/32767 and
  // clamped to 0..1, to the host colour.
  void set(std::uint16_t c0, std::uint16_t c1, std::uint16_t c2, std::uint16_t c3);
  // The four channels at time t after evaluating the node; also cached.
  std::array<std::uint16_t, 4> get_at(double t);

  std::uint16_t value[4] = {};
};

// A host action; it has no value, and fetch does nothing.
class ButtonControlKv final : public ControlKv {
 public:
  void set_shown(bool on) override;
  void set_dimmed(bool on) override;
};

}  // namespace brumel
