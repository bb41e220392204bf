#include "assim/control_layout.h"

void ControlLayout::place_widget(CWidget* widget, int row, int column, int a, int b) {
  placements.push_back({widget, row, column, a, b});
}
