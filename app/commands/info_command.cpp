#include "app/commands/info_command.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>

#include "app/embedding.h"
#include "app/settings/widget_table.h"
#include "host/widget_names.h"

namespace brumel {

namespace {

// Columns as wide as their widest cell, whole texts, two spaces apart.
void print_table(const std::vector<std::vector<std::string>>& table) {
  std::vector<std::size_t> widths(table.at(0).size(), 0);
  for (const auto& line : table) {
    for (std::size_t c = 0; c < line.size(); ++c) widths[c] = std::max(widths[c], line[c].size());
  }
  for (const auto& line : table) {
    std::string text;
    for (std::size_t c = 0; c < line.size(); ++c) {
      text += line[c];
      if (c + 1 < line.size()) text += std::string(widths[c] - line[c].size() + 2, ' ');
    }
    std::cout << text << "\n";
  }
}

std::string cell_text(const WidgetRow& row) {
  if (row.page < 0) return "-";
  return "col " + std::to_string(row.column) + ", row " + std::to_string(row.row);
}

std::string page_text(const WidgetRow& row) {
  if (row.page < 0) return "-";
  return std::to_string(row.page + 1) + " " + row.page_name;
}

// A value as JSON, so that a reader needs no parsing: a number, true/false for a
// switch, an option's caption, a colour's four channels.
nlohmann::ordered_json json_value(const WidgetRow& row, const std::vector<double>& values,
                                  const std::string& text) {
  if (row.kind == "number") return values.at(0);
  if (row.kind == "switch") return values.at(0) != 0;
  if (row.kind == "colour") return values;
  return text;
}

void print_text(const NodeModule& module, const char* description,
                const std::vector<WidgetRow>& rows) {
  std::cout << "name         " << module.node_name() << "\n"
            << "type id      " << module.type_id() << "\n"
            << "description  " << description << "\n"
            << "module       " << module.path() << "\n"
            << "widgets      " << rows.size() << "\n\n";
  // The meaning last: the one long cell of a row widens no column.
  const std::vector<std::string> headings{"index", "kind", "name",  "full name", "default",
                                          "range", "unit", "page", "cell",      "meaning"};
  std::vector<std::vector<std::string>> table{headings};
  auto or_dash = [](const std::string& text) { return text.empty() ? std::string("-") : text; };
  for (const WidgetRow& row : rows) {
    table.push_back({std::to_string(row.index), row.kind, row.name, row.full_name,
                     or_dash(row.default_text), or_dash(row.range_text), or_dash(row.unit),
                     page_text(row), cell_text(row), or_dash(row.meaning)});
  }
  print_table(table);
}

void print_json(const NodeModule& module, const char* description,
                const std::vector<WidgetRow>& rows) {
  nlohmann::ordered_json widgets = nlohmann::ordered_json::array();
  for (const WidgetRow& row : rows) {
    nlohmann::ordered_json w{{"index", row.index}, {"kind", row.kind},       {"name", row.name},
                             {"full_name", row.full_name}, {"meaning", row.meaning}, {"unit", row.unit}};
    if (!row.default_values.empty()) w["default"] = json_value(row, row.default_values, row.default_text);
    if (row.kind == "number") {
      w["minimum"] = row.minimum;
      w["maximum"] = row.maximum;
    } else if (row.kind == "option") {
      w["default_index"] = static_cast<int>(row.default_values.at(0));
      w["options"] = row.options;
    }
    if (!row.range_text.empty()) w["range"] = row.range_text;
    if (row.page >= 0) {
      w["page"] = row.page + 1;
      w["page_name"] = row.page_name;
      w["cell"] = {{"column", row.column}, {"row", row.row}};
    }
    widgets.push_back(w);
  }
  const nlohmann::ordered_json doc{{"name", module.node_name()},
                                   {"type_id", module.type_id()},
                                   {"description", description},
                                   {"module", module.path()},
                                   {"widgets", widgets}};
  std::cout << doc.dump(2) << "\n";
}

// The widgets whose values the demo changes from a fresh node's, each with the
// value it sets and the fresh value.
void print_demo(const NodeModule& module, const std::string& demo, bool json) {
  NodePtr fresh = module.create();
  NodePtr node = module.create();
  SettingsRequest request;
  request.demo = demo;
  apply_settings(*node, request, 1.0);
  const std::vector<WidgetRow> before = describe_widgets(*fresh);
  const std::vector<WidgetRow> after = describe_widgets(*node);
  std::vector<WidgetRow> changed;
  for (const WidgetRow& row : after) {
    const auto was = std::find_if(before.begin(), before.end(),
                                  [&](const WidgetRow& b) { return b.index == row.index; });
    if (was != before.end() && was->values != row.values) changed.push_back(row);
  }
  // The demo's own spelling ("billow" names "Billow"); Drift is the fresh entry.
  const std::string chosen =
      std::find_if(after.begin(), after.end(), [](const WidgetRow& r) {
        return r.name == brumel::widget_names::kDemos;
      })->value_text;
  if (json) {
    nlohmann::ordered_json sets = nlohmann::ordered_json::array();
    for (const WidgetRow& row : changed) {
      sets.push_back({{"index", row.index},
                      {"kind", row.kind},
                      {"name", row.name},
                      {"value", json_value(row, row.values, row.value_text)}});
    }
    std::cout << nlohmann::ordered_json{{"demo", chosen}, {"sets", sets}}.dump(2) << "\n";
    return;
  }
  std::cout << "demo " << chosen << " sets " << changed.size() << " widgets\n\n";
  std::vector<std::vector<std::string>> table{{"index", "name", "value", "fresh node"}};
  for (const WidgetRow& row : changed) {
    table.push_back({std::to_string(row.index), row.name, row.value_text,
                     std::find_if(before.begin(), before.end(), [&](const WidgetRow& b) {
                       return b.index == row.index;
                     })->value_text});
  }
  print_table(table);
}

}  // namespace

int run_info(const InfoOptions& options) {
  const NodeModule module(options.module_path.empty() ? NodeModule::default_path()
                                                      : options.module_path);
  if (!options.demo.empty()) {
    print_demo(module, options.demo, options.json);
    return 0;
  }
  NodePtr node = module.create();
  const char* description = node->get_description();
  if (description == nullptr) description = "";
  const std::vector<WidgetRow> rows = describe_widgets(*node);
  if (options.json) {
    print_json(module, description, rows);
  } else {
    print_text(module, description, rows);
  }
  return 0;
}

}  // namespace brumel
