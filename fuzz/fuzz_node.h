#pragma once
// A node with one widget of every kind a settings document or a typed value can
// reach, with ranges like the real node's, and demos that set a number beyond
// its range as the real node's do.
#include "assim/fx_node.h"

class FuzzNode : public FXNode {
 public:
  FuzzNode() {
    Option("Demos: %s", "Drift,Sunset", 0);
    Action("Restart");
    quantity = Numeric("Quantity", 20, 0, 5000, 0.01, true);
    seed = Numeric("Seed", 165, 1, 999, 17, true);
    Option("Mode: %s", "Render,Wireframe", 0);
    Color("Light", 1, 1, 1, 1, true);
    Boolean("Use Wind", true, false);
    Label("Brumel");
  }
  bool notify_control_changed(CWidget* widget, int reason, double time) override {
    if (widget->name() == "Demos: %s") *seed = 1650.0;
    return FXNode::notify_control_changed(widget, reason, time);
  }
  CNumeric* quantity;
  CNumeric* seed;
};
