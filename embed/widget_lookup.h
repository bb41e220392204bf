#pragma once
// Finding a node's widget by the name a person typed.
#include <string>
#include <vector>

#include "assim/fx_node.h"

namespace brumel {

// True for the widget kinds that hold a value (not buttons or page labels).
bool takes_value(const CWidget& widget);

// The widget that `name` addresses for a value: "#INDEX" by widget index, else
// the first widget that takes a value whose name is `name` (exactly, then
// ignoring case, then its full spelling ignoring case, "Swirl Density" for
// "Swirl Densit"; an option also by its caption without ": %s", "Mode" for
// "Mode: %s"). A name repeated on several pages ("Mode: %s") thus means its
// first occurrence, and "PreRoll" the number, not the button of that name.
// Throws Error: unknown name (with the closest names), a button or label,
// or an index out of range.
CWidget& find_value_widget(FXNode& node, const std::string& name);

// The button (action widget) "#INDEX" names by index, else the first that `name`
// matches as find_value_widget matches. Throws Error when the node has none.
CWidget& find_button(FXNode& node, const std::string& name);

// The names of every widget that takes a value, in widget order.
std::vector<std::string> value_widget_names(const FXNode& node);

}  // namespace brumel
