#include "frei0r/parameters.h"

#include "frei0r/frei0r_api.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "assim/number_text.h"
#include "embed/widget_glossary.h"
#include "embed/widget_lookup.h"
#include "host/widget_names.h"

namespace brumel {

namespace {

// A name the glossary does not know (another module's), made clean: "Foo: %s" -> "Foo", '/', '_' -> ' '.
std::string cleaned(const std::string& name) {
  std::string out;
  for (char c : name.substr(0, name.find("%s"))) {
    if (c == ':' || c == '(' || c == ')') continue;
    out += c == '/' || c == '_' ? ' ' : c;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

double fraction(double value, double minimum, double maximum) {
  return maximum > minimum ? (value - minimum) / (maximum - minimum) : 0.0;
}

HostValue host_value(const CWidget& widget) {
  HostValue v;
  switch (widget.kind()) {
    case WidgetKind::Numeric: {
      const auto& n = static_cast<const CNumeric&>(widget);
      v.number = fraction(n.value, n.minimum, n.maximum);
      break;
    }
    case WidgetKind::Boolean:
      v.number = static_cast<const CBoolean&>(widget).value != 0 ? 1.0 : 0.0;
      break;
    case WidgetKind::Option: {
      const auto& o = static_cast<const COption&>(widget);
      v.number = fraction(o.value, 0, static_cast<double>(o.entries.size()) - 1);
      break;
    }
    case WidgetKind::Color: {
      const auto& c = static_cast<const CColor&>(widget);
      for (int i = 0; i < 3; ++i) v.colour[i] = static_cast<float>(c.value[i]);
      break;
    }
    default:
      break;
  }
  return v;
}

int frei0r_type(WidgetKind kind) {
  switch (kind) {
    case WidgetKind::Boolean:
      return F0R_PARAM_BOOL;
    case WidgetKind::Color:
      return F0R_PARAM_COLOR;
    default:
      return F0R_PARAM_DOUBLE;
  }
}

}  // namespace

std::vector<Parameter> plugin_parameters(const FXNode& node) {
  std::vector<Parameter> list{
      {"settings", "Path of a brumel settings document (node units, keyframes too); host parameters set away from their defaults win over it", F0R_PARAM_STRING, -1, {}},
      {"demo", "Demo preset: Drift, Contraints, Simple 3D, Bombard, Sunset, Sky Writing, Billow", F0R_PARAM_STRING, -1, {}},
      {"preroll", "Run the pre-roll steps before the first frame", F0R_PARAM_BOOL, -1, {}},
      {"element", "The cloud alone over transparent black (straight alpha)", F0R_PARAM_BOOL, -1, {}},
  };
  std::set<std::string> seen;
  for (int i = 0; i < node.num_controls(); ++i) {
    const CWidget& widget = *node.control(i);
    if (!takes_value(widget) || widget.name() == widget_names::kDemos || !seen.insert(widget.name()).second) {
      continue;
    }
    // The node's names stop at twelve characters and use "%s", ':', '/' and
    // parentheses, which hosts turn into awkward property names: the written-out
    // name instead, and the meaning with its unit as the explanation.
    const WidgetGloss* gloss = gloss_of(widget);
    Parameter p;
    p.name = gloss != nullptr ? gloss->full_name : cleaned(widget.name());
    p.explanation = gloss == nullptr        ? widget.name()
                    : *gloss->unit == '\0' ? std::string(gloss->meaning)
                                            : std::string(gloss->meaning) + " (" + gloss->unit + ")";
    p.type = frei0r_type(widget.kind());
    p.widget = i;
    p.initial = host_value(widget);
    list.push_back(std::move(p));
  }
  return list;
}

std::string widget_text(const CWidget& widget, const HostValue& host) {
  const double p = std::clamp(std::isnan(host.number) ? 0.0 : host.number, 0.0, 1.0);
  switch (widget.kind()) {
    case WidgetKind::Numeric: {
      const auto& n = static_cast<const CNumeric&>(widget);
      return number_text(std::clamp(n.minimum + p * (n.maximum - n.minimum), n.minimum, n.maximum));
    }
    case WidgetKind::Boolean:
      return p >= 0.5 ? "on" : "off";
    case WidgetKind::Option: {
      const auto& o = static_cast<const COption&>(widget);
      return std::to_string(std::lround(p * (static_cast<double>(o.entries.size()) - 1)));
    }
    case WidgetKind::Color: {
      const auto& c = static_cast<const CColor&>(widget);
      std::string text;
      for (int i = 0; i < 3; ++i) {
        text += number_text(std::clamp(static_cast<double>(host.colour[i]), 0.0, 1.0)) + ",";
      }
      return text + number_text(c.value[3]);
    }
    default:
      return "";
  }
}

}  // namespace brumel
