#include "host/widget_table.h"

namespace brumel {

namespace widget_table {

CWidget* make_widget(FXNode& node, const Row& r) {
  const auto& v = r.values;
  switch (r.kind) {
    case WidgetKind::Numeric:
      return node.Numeric(r.name, v[0], v[1], v[2], v[3], kNumberFlag);
    case WidgetKind::Boolean:
      return node.Boolean(r.name, v[0] != 0.0, kBooleanFlag);
    case WidgetKind::Option:
      return node.Option(r.name, r.entries, static_cast<int>(v[0]));
    case WidgetKind::Color:
      return node.Color(r.name, v[0], v[1], v[2], v[3], kColourFlag);
    case WidgetKind::Action:
      return node.Action(r.name);
    case WidgetKind::Label:
      return node.Label(r.name);
  }
  return nullptr;
}

}  // namespace widget_table

}  // namespace brumel
