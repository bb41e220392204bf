// The parameter record's control table against the host's widget table: every
// control binds, in order, onto a host widget of its kind and name. (Which widgets
// each switch dims is pinned through the effect in control_reactions_test.)
#include "framework/brumel_info.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "assim/fx_node.h"
#include "host/widget_table.h"

namespace brumel {

namespace {

WidgetKind widget_kind_for(const ControlKv* c) {
  if (dynamic_cast<const CheckboxControlKv*>(c)) return WidgetKind::Boolean;
  if (dynamic_cast<const ListControlKv*>(c)) return WidgetKind::Option;
  if (dynamic_cast<const ColourControlKv*>(c)) return WidgetKind::Color;
  if (dynamic_cast<const ButtonControlKv*>(c)) return WidgetKind::Action;
  return WidgetKind::Numeric;
}

TEST(ControlTable, BindsOntoEveryHostWidgetInOrder) {
  FXNode node;
  BrumelInfo info;
  std::vector<std::unique_ptr<CWidget>> widgets;
  std::size_t rows_used = 0;
  // The host's next widget (control widgets 0..76 in creation order), of the kind expected.
  auto next_widget = [&](WidgetKind expected) -> CWidget* {
    if (rows_used >= widget_table::kControlEntries) return nullptr;
    const widget_table::Row& row = widget_table::kRows[rows_used];
    EXPECT_EQ(row.kind, expected) << "widget " << rows_used << " \"" << row.name << "\"";
    const int index = static_cast<int>(rows_used++);
    if (row.kind == WidgetKind::Numeric)
      widgets.push_back(
          std::make_unique<CNumeric>(&node, index, row.name, 0.0, -10.0, 10.0, 0.01, true));
    else if (row.kind == WidgetKind::Boolean)
      widgets.push_back(std::make_unique<CBoolean>(&node, index, row.name, false, false));
    else if (row.kind == WidgetKind::Option)
      widgets.push_back(std::make_unique<COption>(&node, index, row.name, "A,B", 0));
    else if (row.kind == WidgetKind::Color)
      widgets.push_back(std::make_unique<CColor>(&node, index, row.name, 1.0, 1.0, 1.0, 1.0, true));
    else
      widgets.push_back(std::make_unique<CAction>(&node, index, row.name));
    return widgets.back().get();
  };
  // A position takes two consecutive widgets, X first.
  for (ControlKv* c : control_table(info)) {
    const WidgetKind kind = widget_kind_for(c);
    if (auto* position = dynamic_cast<PositionControlKv*>(c)) {
      CWidget* x = next_widget(kind);
      CWidget* y = next_widget(kind);
      ASSERT_TRUE(x != nullptr && y != nullptr) << "more widgets needed than the host makes";
      ASSERT_TRUE(x->name().ends_with("_X") && y->name().ends_with("_Y"))
          << x->name() << ", " << y->name();
      position->bind(x, y, &node);
    } else {
      CWidget* w = next_widget(kind);
      ASSERT_NE(w, nullptr) << "more widgets needed than the host makes";
      c->bind(w, &node);
    }
  }
  EXPECT_EQ(rows_used, widget_table::kControlEntries);

  const auto table = control_table(info);
  EXPECT_EQ(table[5], &info.mode);
  EXPECT_EQ(table[17], &info.mode_4);
  // Neighbours of one kind that a swap would not betray by kind alone.
  auto name_of = [](const ControlKv& c, int word) {
    return static_cast<const CWidget*>(c.host_data[word])->name();
  };
  const std::pair<const ControlKv*, const char*> named[] = {
      {&info.preroll_frames, "PreRoll"},
      {&info.grow_life, "Grow(Life)"},
      {&info.shrink_life, "Shrink(Life)"},
      {&info.invert_birth_matte, "Invert Birth"},
      {&info.seed, "Seed"},
      {&info.swirl_to_max, "Swirl to Max"},
      {&info.wind_target, "Wind Target_X"},
      {&info.light_colour, "Light"},
      {&info.z_light_source, "Z Light Sour"},
      {&info.density, "Density"},
      {&info.contrast, "Contrast"},
      {&info.brightness, "Brightness"},
      {&info.seethe, "Seethe"},
      {&info.fade_in_life, "In(Life)"}};
  for (const auto& [control, name] : named) EXPECT_EQ(name_of(*control, 0), name);
  EXPECT_EQ(name_of(info.vanishing_point, 1), "VanishP_Y");
}

}  // namespace

}  // namespace brumel
