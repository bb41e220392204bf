#include "app/settings/widget_table.h"

#include <map>

#include "assim/control_layout.h"
#include "assim/number_text.h"
#include "embed/widget_glossary.h"

namespace brumel {

namespace {

std::string join(const std::vector<std::string>& items, const char* separator) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : separator) + item;
  return text;
}

// An option's entry text, or its number when the node set one beyond the entries.
std::string caption(const COption& w, int index) {
  const bool known = index >= 0 && index < static_cast<int>(w.entries.size());
  return known ? w.entries[index] : std::to_string(index);
}

void describe_value(const CWidget& widget, WidgetRow& row) {
  switch (widget.kind()) {
    case WidgetKind::Numeric: {
      const auto& w = static_cast<const CNumeric&>(widget);
      row.kind = "number";
      row.default_text = number_text(w.default_value);
      row.range_text = number_text(w.minimum) + " to " + number_text(w.maximum);
      row.default_values = {w.default_value};
      row.value_text = number_text(w.value);
      row.values = {w.value};
      row.minimum = w.minimum;
      row.maximum = w.maximum;
      break;
    }
    case WidgetKind::Boolean: {
      const auto& w = static_cast<const CBoolean&>(widget);
      row.kind = "switch";
      row.default_text = w.default_value ? "on" : "off";
      row.range_text = "on, off";
      row.default_values = {w.default_value ? 1.0 : 0.0};
      row.value_text = w.value != 0 ? "on" : "off";
      row.values = {w.value != 0 ? 1.0 : 0.0};
      break;
    }
    case WidgetKind::Option: {
      const auto& w = static_cast<const COption&>(widget);
      row.kind = "option";
      row.default_text = caption(w, w.default_value);
      row.range_text = join(w.entries, ", ");
      row.default_values = {static_cast<double>(w.default_value)};
      row.value_text = caption(w, w.value);
      row.values = {static_cast<double>(w.value)};
      row.options = w.entries;
      break;
    }
    case WidgetKind::Color: {
      const auto& w = static_cast<const CColor&>(widget);
      row.kind = "colour";
      std::vector<std::string> channels;
      for (double c : w.default_value) channels.push_back(number_text(c));
      row.default_text = join(channels, ",");
      row.range_text = "R,G,B,A each 0 to 1";
      row.default_values.assign(w.default_value.begin(), w.default_value.end());
      row.values.assign(w.value.begin(), w.value.end());
      channels.clear();
      for (double c : w.value) channels.push_back(number_text(c));
      row.value_text = join(channels, ",");
      break;
    }
    case WidgetKind::Action:
      row.kind = "button";
      break;
    case WidgetKind::Label:
      row.kind = "label";
      break;
  }
}

}  // namespace

std::vector<WidgetRow> describe_widgets(FXNode& node) {
  std::vector<WidgetRow> rows;
  for (int i = 0; i < node.num_controls(); ++i) {
    const CWidget* widget = node.control(i);
    if (widget == nullptr) continue;
    WidgetRow row;
    row.index = i;
    row.name = widget->name();
    const brumel::WidgetGloss* gloss = brumel::gloss_of(*widget);
    row.full_name = gloss != nullptr ? gloss->full_name : row.name;
    if (gloss != nullptr) {
      row.meaning = gloss->meaning;
      row.unit = gloss->unit;
    }
    describe_value(*widget, row);
    rows.push_back(row);
  }

  ControlLayout layout;
  if (!node.layout_controls(layout)) return rows;
  std::map<int, std::string> page_names;
  for (const ControlLayout::Placement& p : layout.placements) {
    if (p.widget != nullptr && p.widget->kind() == WidgetKind::Label && p.column == kLabelColumn &&
        p.row % kRowsPerPage == 0) {
      page_names[p.row / kRowsPerPage] = p.widget->name();
    }
  }
  for (const ControlLayout::Placement& p : layout.placements) {
    if (p.widget == nullptr || p.row < 0) continue;
    for (WidgetRow& row : rows) {
      if (row.index != p.widget->index()) continue;
      row.page = p.row / kRowsPerPage;
      row.page_name = page_names.count(row.page) != 0 ? page_names[row.page] : "";
      row.column = p.column;
      row.row = p.row % kRowsPerPage;
    }
  }
  return rows;
}

}  // namespace brumel
