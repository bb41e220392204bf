#pragma once
// The host's control panel layout: nodes place their widgets on a grid.
#include <vector>

class CWidget;

class ControlLayout {
 public:
  struct Placement {
    CWidget* widget;
    int row;
    int column;
    int span_a;  // the two trailing arguments the node passes (0 and 1)
    int span_b;
  };
  virtual ~ControlLayout() = default;
  // Records the widget at (row, column); the panel is built from the records.
  virtual void place_widget(CWidget* widget, int row, int column, int a, int b);

  std::vector<Placement> placements;
};
