#pragma once
// The plugin's frei0r parameters: four of its own (settings, demo, preroll,
// element), then every widget of the node that a person sets, under a clean full
// name with its one-line meaning. Hosts give doubles in 0..1 (the frei0r
// convention), so a number is mapped linearly over its range, an option over its
// entries and a switch is on from 0.5; a colour is red, green, blue (alpha kept).
#include <string>
#include <vector>

#include "assim/fx_node.h"

namespace brumel {

// The plugin's own parameters, at the start of the list.
enum PluginParameter { kSettings = 0, kDemo = 1, kPreroll = 2, kElement = 3, kOwnParameters = 4 };

// A parameter's value as a host holds it.
struct HostValue {
  double number = 0.0;              // F0R_PARAM_DOUBLE, F0R_PARAM_BOOL
  float colour[3] = {0, 0, 0};      // F0R_PARAM_COLOR
  std::string text;                 // F0R_PARAM_STRING
  bool operator==(const HostValue& other) const = default;
};

struct Parameter {
  std::string name;         // "Swirl Density": no "%s", ':' or '/'
  std::string explanation;  // one line
  int type = 0;             // F0R_PARAM_*
  int widget = -1;          // the node's widget index; -1 for the plugin's own
  HostValue initial;        // what a fresh node holds, as the host sees it
};

// The parameters of a node (a fresh one, in Render mode as `brumel render` starts).
std::vector<Parameter> plugin_parameters(const FXNode& node);

// The value `host` gives `widget`, in the text --set takes ("31.25", "on", "1",
// "1,0.5,0,1"): the widget gives the range, entries and a colour's alpha. Host
// numbers beyond 0..1 are held to it.
std::string widget_text(const CWidget& widget, const HostValue& host);

}  // namespace brumel
