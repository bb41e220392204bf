#pragma once
// The viewer's state as a JSON document (the script's `state` action): what a
// person sees in the window, in a form tests and tools can read.
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "app/view/control_panel.h"
#include "assim/fx_node.h"

namespace brumel {

// Every widget of the node in index order: index, name, kind ("number",
// "switch", "option", "colour", "button", "label"), value (a number, true or
// false, the entry's text, [r, g, b, a]; none for buttons and labels),
// dimmed, shown, and its page name, row within the page and column (none when
// the panel does not place it).
nlohmann::json widgets_json(const FXNode& node, const std::vector<PanelPage>& pages);

// Writes `document` to `path` through a temporary file; missing folders are
// made. Throws AppError naming the file.
void write_json_file(const nlohmann::json& document, const std::string& path);

}  // namespace brumel
