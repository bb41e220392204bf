#pragma once
// A node's widgets described for people: kind, name (and written out), meaning,
// unit, default, range and where the node's own layout places each one (page and cell).
#include <string>
#include <vector>

#include "assim/fx_node.h"

namespace brumel {

struct WidgetRow {
  int index = 0;
  std::string kind;  // "number", "switch", "option", "colour", "button", "label"
  std::string name;
  std::string full_name;  // written out ("Swirl Density"); the name where the node has no other
  std::string meaning;    // one line; empty for a widget the glossary does not know
  std::string unit;       // of a number or a colour's channels; empty where the kind says all
  std::string default_text;  // in the form --set accepts; empty for buttons and labels
  std::string range_text;    // what --set accepts; empty for buttons and labels
  // The same as numbers: a number's default, a switch's 0 or 1, an option's
  // index, a colour's four channels; empty for buttons and labels.
  std::vector<double> default_values;
  double minimum = 0, maximum = 0;   // a number's range; 0 for the other kinds
  std::vector<std::string> options;  // an option's captions, in index order
  std::string value_text;             // the current value, as default_text
  std::vector<double> values;         // the current value, as default_values
  int page = -1;             // from 0; -1 when the layout does not place the widget
  std::string page_name;     // the label heading the page
  int column = -1;           // within the page
  int row = -1;              // within the page, from 0
};

// Rows per page of the node's layout grid; page labels head each page in column 4.
inline constexpr int kRowsPerPage = 7;
inline constexpr int kLabelColumn = 4;

// Every widget of the node in index order. Pages and cells come from the
// node's layout_controls: page = layout row / 7, named by the label that
// layout puts in column 4 at the page's first row.
std::vector<WidgetRow> describe_widgets(FXNode& node);

}  // namespace brumel
