// Values a person types for a widget: checked against its kind and range before they
// reach the widget, so that a bad value is refused with a message and changes nothing.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <variant>

#include "assim/number_text.h"
#include "assim/widgets.h"

namespace {

std::string in_quotes(std::string_view text) { return "\"" + std::string(text) + "\""; }

std::string lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string range_text(double lo, double hi) { return number_text(lo) + " to " + number_text(hi); }

std::string entry_list(const COption& w) {
  std::string out;
  for (const auto& e : w.entries) out += (out.empty() ? "" : ", ") + e;
  return out;
}

using Parsed = std::variant<double, bool, int, std::array<double, 4>>;

std::optional<Parsed> parse_numeric(const CNumeric& w, std::string_view text, std::string& error) {
  auto v = parse_number(text);
  std::string range = range_text(w.minimum, w.maximum);
  if (!v) {
    error = in_quotes(w.name()) + ": " + in_quotes(trimmed(text)) + " is not a number (allowed: " +
            range + ")";
    return std::nullopt;
  }
  if (!(*v >= w.minimum && *v <= w.maximum)) {
    error = in_quotes(w.name()) + ": " + std::string(trimmed(text)) + " is outside " + range;
    return std::nullopt;
  }
  return *v;
}

std::optional<Parsed> parse_flag(const CBoolean& w, std::string_view text, std::string& error) {
  std::string t = lower(trimmed(text));
  if (t == "on" || t == "true" || t == "yes" || t == "1") return true;
  if (t == "off" || t == "false" || t == "no" || t == "0") return false;
  error = in_quotes(w.name()) + ": " + in_quotes(trimmed(text)) +
          " is not a flag (allowed: on/off, true/false, yes/no, 1/0)";
  return std::nullopt;
}

std::optional<Parsed> parse_option(const COption& w, std::string_view text, std::string& error) {
  std::string t = lower(trimmed(text));
  for (std::size_t i = 0; i < w.entries.size(); ++i)
    if (lower(trimmed(w.entries[i])) == t) return static_cast<int>(i);
  auto v = parse_number(text);
  // The range first: converting a number beyond long long's range is undefined.
  if (v && *v >= 0.0 && *v < static_cast<double>(w.entries.size()) && *v == std::floor(*v))
    return static_cast<int>(*v);
  error = in_quotes(w.name()) + ": " + in_quotes(trimmed(text)) + " is not one of " + entry_list(w);
  if (!w.entries.empty())
    error += " (or an index 0 to " + std::to_string(w.entries.size() - 1) + ")";
  return std::nullopt;
}

std::optional<Parsed> parse_colour(const CColor& w, std::string_view text, std::string& error) {
  std::array<double, 4> rgba{};
  std::string_view rest = text;
  const std::string what = in_quotes(w.name()) + ": " + in_quotes(trimmed(text));
  for (int c = 0; c < 4; ++c) {
    auto comma = rest.find(',');
    if ((c < 3) != (comma != std::string_view::npos)) {
      error = what + " is not four numbers 0 to 1 separated by commas (red,green,blue,alpha)";
      return std::nullopt;
    }
    std::string_view part = rest.substr(0, comma);
    auto v = parse_number(part);
    if (!v) {
      error = what + ": " + in_quotes(trimmed(part)) + " is not a number (allowed: 0 to 1)";
      return std::nullopt;
    }
    if (!(*v >= 0.0 && *v <= 1.0)) {
      error = what + ": " + std::string(trimmed(part)) + " is outside 0 to 1";
      return std::nullopt;
    }
    rgba[c] = *v;
    if (comma != std::string_view::npos) rest.remove_prefix(comma + 1);
  }
  return rgba;
}

std::optional<Parsed> parse_user_value(const CWidget& widget, std::string_view text,
                                       std::string& error) {
  // The longest value a widget takes is a colour's four numbers; a text far longer is
  // refused whole rather than echoed into the message.
  constexpr std::size_t kLongestValue = 256;
  if (text.size() > kLongestValue) {
    error = in_quotes(widget.name()) + ": a value of " + std::to_string(text.size()) +
            " characters; no value of a widget is longer than " + std::to_string(kLongestValue);
    return std::nullopt;
  }
  switch (widget.kind()) {
    case WidgetKind::Numeric:
      return parse_numeric(static_cast<const CNumeric&>(widget), text, error);
    case WidgetKind::Boolean:
      return parse_flag(static_cast<const CBoolean&>(widget), text, error);
    case WidgetKind::Option:
      return parse_option(static_cast<const COption&>(widget), text, error);
    case WidgetKind::Color:
      return parse_colour(static_cast<const CColor&>(widget), text, error);
    case WidgetKind::Action:
      error = in_quotes(widget.name()) + " is a button and takes no value";
      return std::nullopt;
    case WidgetKind::Label:
      error = in_quotes(widget.name()) + " is a page label and takes no value";
      return std::nullopt;
  }
  error = in_quotes(widget.name()) + " is of an unknown kind";
  return std::nullopt;
}

}  // namespace

bool assign_user_value(CWidget& widget, const std::string& text, std::string& error) {
  auto parsed = parse_user_value(widget, text, error);
  if (!parsed) return false;
  switch (widget.kind()) {
    case WidgetKind::Numeric: {
      auto& w = static_cast<CNumeric&>(widget);
      w.keys.clear();
      w.value = std::get<double>(*parsed);
      break;
    }
    case WidgetKind::Boolean: {
      auto& w = static_cast<CBoolean&>(widget);
      w.keys.clear();
      w.value = std::get<bool>(*parsed) ? 1 : 0;
      break;
    }
    case WidgetKind::Option: {
      auto& w = static_cast<COption&>(widget);
      w.keys.clear();
      w.value = std::get<int>(*parsed);
      break;
    }
    case WidgetKind::Color: {
      auto& w = static_cast<CColor&>(widget);
      w.keys.clear();
      w.value = std::get<std::array<double, 4>>(*parsed);
      break;
    }
    default:
      return false;
  }
  return true;
}

bool widget_accepts(const CWidget& widget, const std::string& text, std::string& error) {
  return parse_user_value(widget, text, error).has_value();
}

bool add_user_key(CWidget& widget, double time, const std::string& text, std::string& error) {
  if (time - time != 0.0) {
    error = in_quotes(widget.name()) + ": a key needs a finite time, not " + number_text(time);
    return false;
  }
  auto parsed = parse_user_value(widget, text, error);
  if (!parsed) return false;
  switch (widget.kind()) {
    case WidgetKind::Numeric:
      static_cast<CNumeric&>(widget).keys[time] = std::get<double>(*parsed);
      break;
    case WidgetKind::Boolean:
      static_cast<CBoolean&>(widget).keys[time] = std::get<bool>(*parsed);
      break;
    case WidgetKind::Option:
      static_cast<COption&>(widget).keys[time] = std::get<int>(*parsed);
      break;
    case WidgetKind::Color:
      static_cast<CColor&>(widget).keys[time] = std::get<std::array<double, 4>>(*parsed);
      break;
    default:
      return false;
  }
  return true;
}

bool hold_to_range(CWidget& widget, std::string& message) {
  auto held = [&](const std::string& from, const std::string& to, const std::string& range) {
    message = in_quotes(widget.name()) + ": " + from + " held to " + to + " (" + range + ")";
    return true;
  };
  switch (widget.kind()) {
    case WidgetKind::Numeric: {
      auto& w = static_cast<CNumeric&>(widget);
      if (w.value >= w.minimum && w.value <= w.maximum) return false;
      const double from = w.value;
      w.value = w.value > w.maximum ? w.maximum : w.minimum;  // NaN goes to the minimum
      return held(number_text(from), number_text(w.value), range_text(w.minimum, w.maximum));
    }
    case WidgetKind::Option: {
      auto& w = static_cast<COption&>(widget);
      const int last = static_cast<int>(w.entries.size()) - 1;
      if (last < 0 || (w.value >= 0 && w.value <= last)) return false;
      const int from = w.value;
      w.value = w.value > last ? last : 0;
      return held(std::to_string(from), std::to_string(w.value),
                  "entry indexes 0 to " + std::to_string(last));
    }
    case WidgetKind::Color: {
      auto& w = static_cast<CColor&>(widget);
      const std::string from = widget_value_text(w);
      bool changed = false;
      for (double& c : w.value) {
        if (c >= 0.0 && c <= 1.0) continue;
        c = c > 1.0 ? 1.0 : 0.0;
        changed = true;
      }
      return changed && held(from, widget_value_text(w), "channels 0 to 1");
    }
    default:
      return false;
  }
}

std::string widget_value_text(const CWidget& widget) {
  switch (widget.kind()) {
    case WidgetKind::Numeric:
      return number_text(static_cast<const CNumeric&>(widget).value);
    case WidgetKind::Boolean:
      return static_cast<const CBoolean&>(widget).value != 0 ? "on" : "off";
    case WidgetKind::Option: {
      const auto& w = static_cast<const COption&>(widget);
      if (w.value >= 0 && static_cast<std::size_t>(w.value) < w.entries.size())
        return w.entries[static_cast<std::size_t>(w.value)];
      return std::to_string(w.value);
    }
    case WidgetKind::Color: {
      const auto& w = static_cast<const CColor&>(widget);
      std::string out;
      for (int c = 0; c < 4; ++c) out += (c ? "," : "") + number_text(w.value[c]);
      return out;
    }
    default:
      return "";
  }
}
