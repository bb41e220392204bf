#pragma once
// The effect as the node binds it: the node's own widgets (77 control widgets, then the
// four page labels; widget index i is widget-table entry i) bound to the effect's
// controls and its nine handles, every control holding its widget's value.
#include "assim/widgets.h"
#include "host/brumel_node.h"
#include "sim/brumel.h"

namespace brumel {

struct BoundEffect : BrumelNode {
  BoundEffect() { evaluate_controls(-1.0, false); }  // fetches every control, changes nothing
  // The "Mode: %s" or "Demos: %s" widget of table entry `entry`.
  COption* option(int entry) const { return static_cast<COption*>(control(entry)); }
};

}  // namespace brumel
