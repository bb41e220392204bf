#include "frei0r/parameters.h"

#include "frei0r/frei0r_api.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "assim/number_text.h"
#include "embed/widget_lookup.h"
#include "host/widget_names.h"

namespace brumel {

namespace {

struct Naming {
  const char* name;
  const char* explanation;
};

// The node's names stop at twelve characters and use "%s", ':', '/' and
// parentheses, which hosts turn into awkward property names.
const std::map<std::string, Naming>& namings() {
  static const std::map<std::string, Naming> table{
      {widget_names::kPreRoll, {"Pre-roll Steps", "Steps the simulation runs unseen when pre-roll is on"}},
      {widget_names::kMode, {"Mode", "The node's drawing mode: Render (0) or Wireframe (1)"}},
      {"Quantity", {"Quantity", "Mean number of particles born at a birth event"}},
      {"Continuity", {"Continuity", "Chance in percent that a frame has a birth event"}},
      {"Lifetime", {"Lifetime", "Mean life of a particle in frames"}},
      {"Birth_X", {"Birth X", "Birth point across the frame (0 left, 1 right)"}},
      {"Birth_Y", {"Birth Y", "Birth point down the frame (0 top, 1 bottom)"}},
      {"Cloud Size", {"Cloud Size", "Size of a puff"}},
      {"Cloud Size V", {"Cloud Size Variation", "Spread of puff sizes in percent"}},
      {"Grow/Shrink", {"Grow Shrink", "Puffs grow after birth and shrink before death"}},
      {"Grow(Life)", {"Grow Life", "Part of the life, in percent, spent growing"}},
      {"Shrink(Life)", {"Shrink Life", "Part of the life, in percent, spent shrinking"}},
      {"Min Size", {"Min Size", "Size a growing or shrinking puff starts or ends at"}},
      {widget_names::kUseBirthMatte, {"Use Birth Matte", "Particles are born only where the birth matte is bright"}},
      {"Invert Birth", {"Invert Birth Matte", "Particles are born where the birth matte is dark"}},
      {"Birth Radius", {"Birth Radius", "Radius of the birth disc, in frame widths"}},
      {"Cloud Colour", {"Cloud Colour", "Colour of the cloud"}},
      {"Seed", {"Seed", "Seed of the random numbers: another seed, another cloud"}},
      {"Perspective", {"Perspective", "Particles move in depth towards a vanishing point"}},
      {"Camera Dista", {"Camera Distance", "Distance of the camera in depth units"}},
      {"VanishP_X", {"Vanishing Point X", "Vanishing point across the frame"}},
      {"VanishP_Y", {"Vanishing Point Y", "Vanishing point down the frame"}},
      {"Z Speed", {"Z Speed", "Speed of particles in depth"}},
      {"Z Range", {"Z Range", "Depth over which particles are born"}},
      {"Use Gravity", {"Use Gravity", "Particles fall under gravity"}},
      {"Gravity", {"Gravity", "Strength of gravity"}},
      {"Gravity Angl", {"Gravity Angle", "Direction of gravity in degrees (90 down)"}},
      {"Gravity 90 t", {"Gravity 90 to Wind", "Gravity at right angles to the wind"}},
      {"Use Friction", {"Use Friction", "Particles slow down"}},
      {"Friction", {"Friction", "Strength of friction"}},
      {"Use Swirling", {"Use Swirling", "Particles swirl in a noise field"}},
      {"Swirl Densit", {"Swirl Density", "Fineness of the swirl field"}},
      {"Swirl Magnit", {"Swirl Magnitude", "Strength of the swirl"}},
      {"Swirl to Max", {"Swirl to Max", "Frames over which the swirl reaches full strength"}},
      {"Use Constrai", {"Use Constraint", "Particles stay inside a cone about the wind"}},
      {"Constraint A", {"Constraint Angle", "Half angle of the cone in degrees"}},
      {"Use Wind", {"Use Wind", "Particles drift with the wind"}},
      {"Wind Source_X", {"Wind Source X", "Start of the wind arrow across the frame"}},
      {"Wind Source_Y", {"Wind Source Y", "Start of the wind arrow down the frame"}},
      {"Wind Target_X", {"Wind Target X", "End of the wind arrow across the frame"}},
      {"Wind Target_Y", {"Wind Target Y", "End of the wind arrow down the frame"}},
      {"Wind Speed", {"Wind Speed", "Speed of the wind"}},
      {"Use Light", {"Use Light", "Puffs are lit from a light source"}},
      {"Light", {"Light Colour", "Colour of the light"}},
      {"Light Source_X", {"Light Source X", "Start of the light arrow across the frame"}},
      {"Light Source_Y", {"Light Source Y", "Start of the light arrow down the frame"}},
      {"Z Light Sour", {"Z Light Source", "Height of the light above the frame"}},
      {"Light Target_X", {"Light Target X", "End of the light arrow across the frame"}},
      {"Light Target_Y", {"Light Target Y", "End of the light arrow down the frame"}},
      {"Density", {"Density", "Density of a lit puff"}},
      {"Fluffiness", {"Fluffiness", "Softness of a puff's edge"}},
      {"Contrast", {"Contrast", "Contrast of the lighting"}},
      {"Brightness", {"Brightness", "Brightness of the lighting"}},
      {"Use Textured", {"Use Texture", "Puffs carry a noise texture"}},
      {"Texture Mag", {"Texture Magnitude", "Strength of the texture"}},
      {"Texture X", {"Texture X", "Scale of the texture across"}},
      {"Texture Y", {"Texture Y", "Scale of the texture down"}},
      {"Seethe", {"Seethe", "How fast the texture churns"}},
      {"Use Fading", {"Use Fading", "Puffs fade in after birth and out before death"}},
      {"In(Life)", {"Fade In Life", "Part of the life, in percent, spent fading in"}},
      {"Out(Life)", {"Fade Out Life", "Part of the life, in percent, spent fading out"}},
  };
  return table;
}

// A name the table does not know, made clean: "Foo: %s" -> "Foo", '/', '_' -> ' '.
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
    const auto naming = namings().find(widget.name());
    Parameter p;
    p.name = naming != namings().end() ? naming->second.name : cleaned(widget.name());
    p.explanation = naming != namings().end() ? naming->second.explanation : widget.name();
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
