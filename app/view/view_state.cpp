#include "app/view/view_state.h"

#include "app/app_error.h"
#include "app/images/pending_file.h"
#include "embed/settings.h"

namespace brumel {

namespace {

void describe_value(const CWidget& widget, nlohmann::json& out) {
  switch (widget.kind()) {
    case WidgetKind::Numeric:
      out["kind"] = "number";
      out["value"] = static_cast<const CNumeric&>(widget).value;
      break;
    case WidgetKind::Boolean:
      out["kind"] = "switch";
      out["value"] = static_cast<const CBoolean&>(widget).value != 0;
      break;
    case WidgetKind::Option: {
      const auto& w = static_cast<const COption&>(widget);
      out["kind"] = "option";
      const bool known = w.value >= 0 && w.value < static_cast<int>(w.entries.size());
      out["value"] = known ? nlohmann::json(w.entries[w.value]) : nlohmann::json(w.value);
      break;
    }
    case WidgetKind::Color:
      out["kind"] = "colour";
      out["value"] = static_cast<const CColor&>(widget).value;
      break;
    case WidgetKind::Action:
      out["kind"] = "button";
      break;
    case WidgetKind::Label:
      out["kind"] = "label";
      break;
  }
}

}  // namespace

nlohmann::json widgets_json(const FXNode& node, const std::vector<PanelPage>& pages) {
  nlohmann::json widgets = nlohmann::json::array();
  for (int i = 0; i < node.num_controls(); ++i) {
    const CWidget* widget = node.control(i);
    if (widget == nullptr) continue;
    nlohmann::json w{{"index", i}, {"name", widget->name()}};
    describe_value(*widget, w);
    w["dimmed"] = widget->is_dimmed();
    w["shown"] = widget->is_shown();
    widgets.push_back(std::move(w));
  }
  for (const PanelPage& page : pages) {
    for (std::size_t row = 0; row < page.cells.size(); ++row) {
      for (std::size_t column = 0; column < page.cells[row].size(); ++column) {
        for (int index : page.cells[row][column]) {
          for (nlohmann::json& w : widgets) {
            if (w["index"] != index) continue;
            w["page"] = page.name;
            w["row"] = row;
            w["column"] = column;
          }
        }
      }
    }
  }
  return widgets;
}

void write_json_file(const nlohmann::json& document, const std::string& path) {
  brumel::check_settings_folder(path);  // the folder is made as --save makes it
  write_whole_file(path, document.dump(2) + "\n");
}

}  // namespace brumel
