#pragma once
// What each of the node's widgets is, for people: its name written out where the
// node cuts or abbreviates it ("Swirl Densit" is "Swirl Density"), what it does
// in one line and the unit of its number. The node's own names stay the names
// it is addressed by; the written-out name is accepted wherever a widget is
// named, and the frei0r plugins give it to their hosts as the parameter's name.
#include <string>
#include <vector>

#include "assim/fx_node.h"

namespace brumel {

struct WidgetGloss {
  WidgetKind kind;        // with the name, tells "PreRoll" the button from the number
  const char* name;       // the node's own
  const char* full_name;  // written out; no "%s", ':', '/', '(', ')' or '_'
  const char* meaning;    // one line
  const char* unit;       // of a number (or a colour's channels); "" where the kind says all
};

// Every widget of the node once (a widget repeated on each page once), in the
// node's order.
const std::vector<WidgetGloss>& widget_glossary();

// The gloss of `widget` (by kind and name), or nullptr for a widget the node
// does not have (another module's).
const WidgetGloss* gloss_of(const CWidget& widget);

}  // namespace brumel
