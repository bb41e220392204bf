#include "app/info_command.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>

#include "app/node_module.h"
#include "app/widget_table.h"

namespace {

std::string cell_text(const WidgetRow& row) {
  if (row.page < 0) return "-";
  return "col " + std::to_string(row.column) + ", row " + std::to_string(row.row);
}

std::string page_text(const WidgetRow& row) {
  if (row.page < 0) return "-";
  return std::to_string(row.page + 1) + " " + row.page_name;
}

void print_text(const NodeModule& module, const char* description,
                const std::vector<WidgetRow>& rows) {
  std::cout << "name         " << module.node_name() << "\n"
            << "type id      " << module.type_id() << "\n"
            << "description  " << description << "\n"
            << "module       " << module.path() << "\n"
            << "widgets      " << rows.size() << "\n\n";
  const std::vector<std::string> headings{"index", "kind", "name", "default",
                                          "range", "page", "cell"};
  std::vector<std::vector<std::string>> table{headings};
  for (const WidgetRow& row : rows) {
    table.push_back({std::to_string(row.index), row.kind, row.name,
                     row.default_text.empty() ? "-" : row.default_text,
                     row.range_text.empty() ? "-" : row.range_text, page_text(row),
                     cell_text(row)});
  }
  std::vector<std::size_t> widths(headings.size(), 0);
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

void print_json(const NodeModule& module, const char* description,
                const std::vector<WidgetRow>& rows) {
  nlohmann::ordered_json widgets = nlohmann::ordered_json::array();
  for (const WidgetRow& row : rows) {
    nlohmann::ordered_json w{{"index", row.index}, {"kind", row.kind}, {"name", row.name}};
    if (!row.default_text.empty()) w["default"] = row.default_text;
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

}  // namespace

int run_info(const InfoOptions& options) {
  const NodeModule module(options.module_path.empty() ? NodeModule::default_path()
                                                      : options.module_path);
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
