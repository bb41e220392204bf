#include "embed/widget_lookup.h"

#include <strings.h>

#include <charconv>

#include "embed/error.h"
#include "embed/name_suggestions.h"
#include "embed/widget_glossary.h"

namespace brumel {

namespace {

bool same_ignoring_case(const std::string& a, const std::string& b) {
  return strcasecmp(a.c_str(), b.c_str()) == 0;
}

// "Mode: %s" -> "Mode"; other names unchanged.
std::string caption_stem(const std::string& name) {
  std::string stem = name;
  const std::size_t marker = stem.find("%s");
  if (marker != std::string::npos) stem.erase(marker);
  while (!stem.empty() && (stem.back() == ' ' || stem.back() == ':')) stem.pop_back();
  return stem;
}

const char* kind_word(WidgetKind kind) {
  switch (kind) {
    case WidgetKind::Action:
      return "a button";
    case WidgetKind::Label:
      return "a page label";
    default:
      return "a value";
  }
}

CWidget* widget_by_index(FXNode& node, const std::string& name) {
  int index = -1;
  const char* begin = name.data() + 1;
  const char* end = name.data() + name.size();
  auto [ptr, ec] = std::from_chars(begin, end, index);
  if (ec != std::errc() || ptr != end || begin == end) {
    throw Error("bad widget index \"" + name + "\": expected # followed by a number");
  }
  CWidget* widget = node.control(index);
  if (widget == nullptr) {
    throw Error("widget index " + name + " is out of range: the node has widgets #0 to #" +
                   std::to_string(node.num_controls() - 1));
  }
  return widget;
}

using Match = bool (*)(const CWidget&, const std::string&);

// How a typed name finds a widget, tried in this order over all the widgets: the
// node's own name, then ignoring case, then its full spelling ("Swirl Density"
// for "Swirl Densit") ignoring case, then an option's caption ("Mode").
const Match kMatches[] = {
    [](const CWidget& w, const std::string& n) { return w.name() == n; },
    [](const CWidget& w, const std::string& n) { return same_ignoring_case(w.name(), n); },
    [](const CWidget& w, const std::string& n) {
      const WidgetGloss* gloss = gloss_of(w);
      return gloss != nullptr && same_ignoring_case(gloss->full_name, n);
    },
    [](const CWidget& w, const std::string& n) {
      return w.kind() == WidgetKind::Option && same_ignoring_case(caption_stem(w.name()), n);
    },
};

// The first widget that `wanted` accepts and `name` matches, by the first match that finds one.
template <typename Wanted>
CWidget* find_widget(FXNode& node, const std::string& name, Wanted wanted) {
  for (Match match : kMatches) {
    for (int i = 0; i < node.num_controls(); ++i) {
      CWidget* widget = node.control(i);
      if (widget != nullptr && wanted(*widget) && match(*widget, name)) return widget;
    }
  }
  return nullptr;
}

}  // namespace

bool takes_value(const CWidget& widget) {
  return widget.kind() != WidgetKind::Action && widget.kind() != WidgetKind::Label;
}

std::vector<std::string> value_widget_names(const FXNode& node) {
  std::vector<std::string> names;
  for (int i = 0; i < node.num_controls(); ++i) {
    const CWidget* widget = node.control(i);
    if (widget != nullptr && takes_value(*widget)) names.push_back(widget->name());
  }
  return names;
}

CWidget& find_value_widget(FXNode& node, const std::string& name) {
  // Refused before it is compared with every name, or echoed whole into a message.
  constexpr std::size_t kLongestName = 256;
  if (name.size() > kLongestName) {
    throw Error("a widget name of " + std::to_string(name.size()) +
                   " characters; no widget's name is longer than " + std::to_string(kLongestName) +
                   " (`brumel info` lists every widget)");
  }
  if (!name.empty() && name[0] == '#') {
    CWidget* widget = widget_by_index(node, name);
    if (!takes_value(*widget)) {
      throw Error("widget " + name + " \"" + widget->name() + "\" is " +
                     kind_word(widget->kind()) + " and takes no value");
    }
    return *widget;
  }
  if (CWidget* widget = find_widget(node, name, takes_value)) return *widget;
  if (const CWidget* widget = find_widget(node, name, [](const CWidget&) { return true; })) {
    throw Error(
        "widget \"" + widget->name() + "\" is " + kind_word(widget->kind()) +
        " and takes no value" +
        (widget->kind() == WidgetKind::Action ? " (--preroll presses \"Restart+PreR\")" : ""));
  }
  throw Error("unknown widget \"" + name + "\"" + did_you_mean(name, value_widget_names(node)) +
                 "; `brumel info` lists every widget");
}

CWidget& find_button(FXNode& node, const std::string& name) {
  if (!name.empty() && name[0] == '#') {
    CWidget* widget = widget_by_index(node, name);
    if (widget->kind() != WidgetKind::Action) {
      throw Error("widget " + name + " \"" + widget->name() + "\" is " + kind_word(widget->kind()) +
                  ", not a button");
    }
    return *widget;
  }
  const auto is_button = [](const CWidget& w) { return w.kind() == WidgetKind::Action; };
  if (CWidget* widget = find_widget(node, name, is_button)) return *widget;
  throw Error("the node has no button \"" + name + "\"");
}

}  // namespace brumel
