#include "assim/widgets.h"

#include <iterator>
#include <utility>

namespace {

// Linear interpolation between the keys around `time`; the nearest key outside them.
double interpolate(double t0, double v0, double t1, double v1, double time) {
  return v0 + (v1 - v0) * ((time - t0) / (t1 - t0));
}

template <class V, class Lerp>
V blend_keys(const std::map<double, V>& keys, double time, Lerp lerp) {
  auto after = keys.upper_bound(time);
  if (after == keys.begin()) return after->second;
  auto before = std::prev(after);
  if (after == keys.end() || before->first == time) return before->second;
  return lerp(*before, *after);
}

// Flags and options hold the latest key at or before `time` (the first key before it).
template <class V>
V held_key(const std::map<double, V>& keys, double time) {
  auto after = keys.upper_bound(time);
  if (after == keys.begin()) return after->second;
  return std::prev(after)->second;
}

std::vector<std::string> split_entries(const std::string& list) {
  std::vector<std::string> out;
  if (list.empty()) return out;
  std::string::size_type start = 0;
  for (;;) {
    auto comma = list.find(',', start);
    out.push_back(list.substr(start, comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return out;
}

}  // namespace

CWidget::CWidget(FXNode* owner, int index, WidgetKind kind, std::string name)
    : owner_(owner), index_(index), kind_(kind), name_(std::move(name)) {}

CWidget::~CWidget() = default;

void CWidget::show() { shown_ = true; }
void CWidget::hide() { shown_ = false; }
void CWidget::dim() { dimmed_ = true; }
void CWidget::undim() { dimmed_ = false; }

CNumeric::CNumeric(FXNode* owner, int index, std::string name, double def, double min,
                   double max, double increment, bool flag)
    : CWidget(owner, index, WidgetKind::Numeric, std::move(name)),
      value(def),
      default_value(def),
      minimum(min),
      maximum(max),
      increment(increment),
      flag(flag) {}

void CNumeric::evaluate(double time) {
  if (keys.empty()) return;
  value = blend_keys(keys, time, [time](const auto& a, const auto& b) {
    return interpolate(a.first, a.second, b.first, b.second, time);
  });
}

CBoolean::CBoolean(FXNode* owner, int index, std::string name, bool def, bool flag)
    : CWidget(owner, index, WidgetKind::Boolean, std::move(name)),
      value(def ? 1 : 0),
      default_value(def),
      flag(flag) {}

void CBoolean::evaluate(double time) {
  if (keys.empty()) return;
  value = held_key(keys, time) ? 1 : 0;
}

COption::COption(FXNode* owner, int index, std::string caption, const std::string& entries,
                 int def)
    : CWidget(owner, index, WidgetKind::Option, std::move(caption)),
      value(def),
      default_value(def),
      entries(split_entries(entries)) {}

void COption::evaluate(double time) {
  if (keys.empty()) return;
  value = held_key(keys, time);
}

CColor::CColor(FXNode* owner, int index, std::string name, double r, double g, double b,
               double a, bool flag)
    : CWidget(owner, index, WidgetKind::Color, std::move(name)),
      value{r, g, b, a},
      default_value{r, g, b, a},
      flag(flag) {}

void CColor::set_value(const double rgba[4]) {
  for (int c = 0; c < 4; ++c) value[c] = rgba[c];
}

void CColor::get_value(double rgba[4]) const {
  for (int c = 0; c < 4; ++c) rgba[c] = value[c];
}

void CColor::evaluate(double time) {
  if (keys.empty()) return;
  value = blend_keys(keys, time, [time](const auto& a, const auto& b) {
    std::array<double, 4> out;
    for (int c = 0; c < 4; ++c)
      out[c] = interpolate(a.first, a.second[c], b.first, b.second[c], time);
    return out;
  });
}

CAction::CAction(FXNode* owner, int index, std::string name)
    : CWidget(owner, index, WidgetKind::Action, std::move(name)) {}

CLabel::CLabel(FXNode* owner, int index, std::string name)
    : CWidget(owner, index, WidgetKind::Label, std::move(name)) {}
