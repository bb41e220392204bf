#pragma once
// Host widgets: the values a node shows in its control panel. Widgets are made by
// the FXNode factories and owned by the node's base. Each holds a current value
// and optional keyframes; FXNode::evaluate_controls brings keyed widgets to a time.
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

class FXNode;

enum class WidgetKind { Numeric, Boolean, Option, Color, Action, Label };

class CWidget {
 public:
  // Bit 28 of `flags`: keep the widget out of the control panel layout.
  static constexpr std::uint32_t kLayoutExclusion = 1u << 28;

  CWidget(FXNode* owner, int index, WidgetKind kind, std::string name);
  virtual ~CWidget();
  CWidget(const CWidget&) = delete;
  CWidget& operator=(const CWidget&) = delete;

  // First state pair: shown and hidden.
  virtual void show();
  virtual void hide();
  // Second state pair: dimmed (no longer applies) and undimmed.
  virtual void dim();
  virtual void undim();

  bool is_shown() const { return shown_; }
  bool is_dimmed() const { return dimmed_; }
  WidgetKind kind() const { return kind_; }
  const std::string& name() const { return name_; }
  int index() const { return index_; }  // creation order within the owner, from 0
  FXNode* owner() const { return owner_; }

  // True when the widget has keyframes.
  virtual bool animated() const { return false; }
  // Sets the current value to the value at `time` (only for animated widgets).
  virtual void evaluate(double time) { (void)time; }

  std::uint32_t flags = 0;

 private:
  FXNode* owner_;
  int index_;
  WidgetKind kind_;
  std::string name_;
  bool shown_ = true;
  bool dimmed_ = false;
};

// A number. Keys interpolate linearly; before the first key and after the last
// the nearest key holds.
class CNumeric : public CWidget {
 public:
  CNumeric(FXNode* owner, int index, std::string name, double def, double min, double max,
           double increment, bool flag);
  CNumeric& operator=(double v) { value = v; return *this; }
  CNumeric& operator=(float v) { value = v; return *this; }
  CNumeric& operator=(long v) { value = static_cast<double>(v); return *this; }

  bool animated() const override { return !keys.empty(); }
  void evaluate(double time) override;

  double value;  // current value, read in place
  const double default_value, minimum, maximum, increment;
  const bool flag;
  std::map<double, double> keys;
};

// A flag. Keys hold the earlier key's state.
class CBoolean : public CWidget {
 public:
  CBoolean(FXNode* owner, int index, std::string name, bool def, bool flag);
  CBoolean& operator=(int v) { value = v != 0 ? 1 : 0; return *this; }

  bool animated() const override { return !keys.empty(); }
  void evaluate(double time) override;

  std::uint8_t value;  // 0 or 1, read in place
  const bool default_value;
  const bool flag;
  std::map<double, bool> keys;
};

// A choice among comma-separated entries; `value` is the entry index from 0.
// The caption holds one %s where the host shows the chosen entry.
class COption : public CWidget {
 public:
  COption(FXNode* owner, int index, std::string caption, const std::string& entries, int def);
  COption& operator=(long v) { value = static_cast<int>(v); return *this; }

  bool animated() const override { return !keys.empty(); }
  void evaluate(double time) override;

  int value;  // index from 0, read in place (may be out of range if the node assigns one)
  const int default_value;
  std::vector<std::string> entries;
  std::map<double, int> keys;
};

// A colour of four channels red, green, blue, alpha in 0..1. Keys interpolate
// every channel linearly.
class CColor : public CWidget {
 public:
  CColor(FXNode* owner, int index, std::string name, double r, double g, double b, double a,
         bool flag);
  void set_value(const double rgba[4]);
  void get_value(double rgba[4]) const;

  bool animated() const override { return !keys.empty(); }
  void evaluate(double time) override;

  std::array<double, 4> value;
  const std::array<double, 4> default_value;
  const bool flag;
  std::map<double, std::array<double, 4>> keys;
};

// A button. Pressing it is reported to the node through notify_control_changed.
class CAction : public CWidget {
 public:
  CAction(FXNode* owner, int index, std::string name);
};

// A page label.
class CLabel : public CWidget {
 public:
  CLabel(FXNode* owner, int index, std::string name);
};

// Values a person typed (command line, settings file) are checked against the
// widget's kind and range. On refusal the result is false and `error` names the
// widget, the value and what is allowed. Numbers: a decimal within [minimum, maximum].
// Flags: on/off, true/false, yes/no, 1/0. Options: an entry's text (any case) or
// its index from 0. Colours: four numbers 0..1 separated by commas. An accepted value
// becomes the widget's constant value: its keys are dropped. Buttons and labels take none.
bool assign_user_value(CWidget& widget, const std::string& text, std::string& error);
// The check alone: true when assign_user_value would take `text`.
bool widget_accepts(const CWidget& widget, const std::string& text, std::string& error);
// The same check for a keyframe at `time` (finite); a key at the same time is replaced.
bool add_user_key(CWidget& widget, double time, const std::string& text, std::string& error);
// Brings a current value the node or a handle left outside what a person may
// enter (a number beyond its range, an option index past its entries, a colour
// channel outside 0..1) to the nearest allowed value. Returns false when the
// value was already allowed; else says what changed in `message`. Keys stay.
bool hold_to_range(CWidget& widget, std::string& message);
// A widget's current value as text in the form assign_user_value accepts.
std::string widget_value_text(const CWidget& widget);
