#pragma once
// A host node for tests: it owns one Brumel and creates the host widgets exactly as
// the Brumel node does (same order, names, defaults and ranges: 77 control widgets,
// then the four page labels), binding each control's host_data words 0/1/2 and the
// nine on-screen handles. Widget index i is the node's widget-table entry i.
#include <memory>

#include "assim/fx_node.h"
#include "sim/brumel.h"

class BoundEffect : public FXNode {
 public:
  static constexpr int kControlWidgets = 77;

  BoundEffect();
  ~BoundEffect() override;

  // Copies every widget's current value into its control, in member order, as the
  // node does before each frame.
  void fetch_all();

  // The control widget of table entry `entry` (0..76) as its kind; null when the entry
  // is of another kind.
  CNumeric* number(int entry) const;
  CBoolean* flag(int entry) const;
  COption* option(int entry) const;

  std::unique_ptr<Brumel> effect;
};
