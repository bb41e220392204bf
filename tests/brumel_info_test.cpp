// The parameter record's control table against the host's widget table, and the
// dimming rules against the widgets they reach.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "assim/fx_node.h"
#include "framework/brumel_info.h"
#include "host/widget_table.h"

namespace {

struct StateCall {
  const CWidget* widget;
  bool dim;
  bool operator==(const StateCall&) const = default;
};

// A host widget that logs its second state pair, so the order of the calls shows.
template <class W>
class Recorded final : public W {
 public:
  template <class... A>
  explicit Recorded(std::vector<StateCall>& log, A&&... args)
      : W(std::forward<A>(args)...), log_(log) {}
  void dim() override {
    log_.push_back({this, true});
    W::dim();
  }
  void undim() override {
    log_.push_back({this, false});
    W::undim();
  }

 private:
  std::vector<StateCall>& log_;
};

// The host's control widgets 0..76 in creation order.
constexpr int kWidgetRowCount = static_cast<int>(widget_table::kControlEntries);
const auto& kWidgetRows = widget_table::kRows;

WidgetKind widget_kind_for(const ControlKv* c) {
  if (dynamic_cast<const CheckboxControlKv*>(c)) return WidgetKind::Boolean;
  if (dynamic_cast<const ListControlKv*>(c)) return WidgetKind::Option;
  if (dynamic_cast<const ColourControlKv*>(c)) return WidgetKind::Color;
  if (dynamic_cast<const ButtonControlKv*>(c)) return WidgetKind::Action;
  return WidgetKind::Numeric;
}

// A record whose controls are bound, in table order, to recording widgets made
// after the host's widget table; a position takes two consecutive rows.
class BoundRecord : public ::testing::Test {
 protected:
  void SetUp() override {
    for (ControlKv* c : control_table(info)) {
      ASSERT_LT(rows_used, kWidgetRowCount) << "more widgets needed than the host makes";
      const WidgetKind expected = widget_kind_for(c);
      if (auto* position = dynamic_cast<PositionControlKv*>(c)) {
        ASSERT_LT(rows_used + 1, kWidgetRowCount);
        CWidget* x = make_widget(expected);
        CWidget* y = make_widget(expected);
        ASSERT_TRUE(x->name().ends_with("_X")) << x->name();
        ASSERT_TRUE(y->name().ends_with("_Y")) << y->name();
        position->bind(x, y, &node);
      } else {
        c->bind(make_widget(expected), &node);
      }
    }
  }

  CWidget* make_widget(WidgetKind expected) {
    const widget_table::Row& row = kWidgetRows[static_cast<std::size_t>(rows_used)];
    EXPECT_EQ(row.kind, expected) << "widget " << rows_used << " \"" << row.name << "\"";
    const int index = rows_used++;
    std::unique_ptr<CWidget> w;
    if (row.kind == WidgetKind::Numeric)
      w = std::make_unique<Recorded<CNumeric>>(log, &node, index, row.name, 0.0, -10.0, 10.0, 0.01, true);
    else if (row.kind == WidgetKind::Boolean)
      w = std::make_unique<Recorded<CBoolean>>(log, &node, index, row.name, false, false);
    else if (row.kind == WidgetKind::Option)
      w = std::make_unique<Recorded<COption>>(log, &node, index, row.name, "A,B", 0);
    else if (row.kind == WidgetKind::Color)
      w = std::make_unique<Recorded<CColor>>(log, &node, index, row.name, 1.0, 1.0, 1.0, 1.0, true);
    else
      w = std::make_unique<Recorded<CAction>>(log, &node, index, row.name);
    widgets.push_back(std::move(w));
    return widgets.back().get();
  }

  static const std::string& name_of(const ControlKv& c, int word = 0) {
    return static_cast<const CWidget*>(c.host_data[word])->name();
  }

  FXNode node;
  BrumelInfo info;
  std::vector<std::unique_ptr<CWidget>> widgets;
  std::vector<StateCall> log;
  int rows_used = 0;
};

TEST_F(BoundRecord, ControlTableBindsOntoEveryHostWidgetInOrder) {
  EXPECT_EQ(rows_used, kWidgetRowCount);

  const auto table = control_table(info);
  EXPECT_EQ(table[5], &info.mode);
  EXPECT_EQ(table[17], &info.mode_4);
  // Member order: every control lies after the one before it in the record.
  for (std::size_t i = 1; i < table.size(); ++i) {
    EXPECT_LT(reinterpret_cast<const char*>(table[i - 1]), reinterpret_cast<const char*>(table[i]))
        << "control " << i;
  }

  // Neighbours of one kind that a swap would not betray by kind alone.
  const std::pair<const ControlKv*, const char*> named[] = {
      {&info.preroll_frames, "PreRoll"},    {&info.grow_life, "Grow(Life)"},
      {&info.shrink_life, "Shrink(Life)"},  {&info.invert_birth_matte, "Invert Birth"},
      {&info.seed, "Seed"},                 {&info.swirl_to_max, "Swirl to Max"},
      {&info.wind_target, "Wind Target_X"}, {&info.light_colour, "Light"},
      {&info.z_light_source, "Z Light Sour"}, {&info.density, "Density"},
      {&info.contrast, "Contrast"},         {&info.brightness, "Brightness"},
      {&info.seethe, "Seethe"},             {&info.fade_in_life, "In(Life)"}};
  for (const auto& [control, name] : named) EXPECT_EQ(name_of(*control), name);
  EXPECT_EQ(name_of(info.vanishing_point, 1), "VanishP_Y");
}

struct RuleCase {
  DimmingRule rule;
  CheckboxControlKv BrumelInfo::*checkbox;
  std::vector<ControlKv*> (*dependents)(BrumelInfo&);
};

using I = BrumelInfo;
using Deps = std::vector<ControlKv*>;
const RuleCase kRuleCases[] = {
    {DimmingRule::UseBirthMatte, &I::use_birth_matte, [](I& r) { return Deps{&r.invert_birth_matte}; }},
    {DimmingRule::GrowShrink, &I::grow_shrink, [](I& r) { return Deps{&r.grow_life, &r.shrink_life}; }},
    {DimmingRule::Perspective, &I::perspective,
     [](I& r) { return Deps{&r.camera_distance, &r.vanishing_point, &r.z_speed, &r.z_range}; }},
    {DimmingRule::UseGravity, &I::use_gravity,
     [](I& r) { return Deps{&r.gravity, &r.gravity_angle, &r.gravity_90}; }},
    {DimmingRule::UseFriction, &I::use_friction, [](I& r) { return Deps{&r.friction}; }},
    {DimmingRule::UseSwirling, &I::use_swirling,
     [](I& r) { return Deps{&r.swirl_density, &r.swirl_magnitude, &r.swirl_to_max}; }},
    {DimmingRule::UseConstraint, &I::use_constraint, [](I& r) { return Deps{&r.constraint_angle}; }},
    {DimmingRule::UseWind, &I::use_wind,
     [](I& r) { return Deps{&r.wind_source, &r.wind_target, &r.wind_speed}; }},
    {DimmingRule::UseTextured, &I::use_textured,
     [](I& r) { return Deps{&r.texture_mag, &r.texture_x, &r.texture_y, &r.seethe}; }},
    {DimmingRule::UseFading, &I::use_fading, [](I& r) { return Deps{&r.fade_in_life, &r.fade_out_life}; }},
    {DimmingRule::UseLight, &I::use_light,
     [](I& r) {
       return Deps{&r.light_source, &r.z_light_source, &r.light_target, &r.light_colour,
                   &r.brightness, &r.density, &r.contrast};
     }},
};

TEST_F(BoundRecord, EachDimmingRuleReachesExactlyItsDependentsInOrder) {
  for (const RuleCase& rc : kRuleCases) {
    SCOPED_TRACE(name_of(info.*rc.checkbox));
    CheckboxControlKv& checkbox = info.*rc.checkbox;
    auto* flag = static_cast<CBoolean*>(static_cast<CWidget*>(checkbox.host_data[0]));
    const std::vector<ControlKv*> dependents = rc.dependents(info);

    auto expected_calls = [&](bool dim) {
      std::vector<StateCall> calls;
      for (ControlKv* d : dependents) {
        calls.push_back({static_cast<const CWidget*>(d->host_data[0]), dim});
        if (dynamic_cast<PositionControlKv*>(d))
          calls.push_back({static_cast<const CWidget*>(d->host_data[1]), dim});
      }
      return calls;
    };

    EXPECT_EQ(dimming_rule_for(info, &checkbox), rc.rule);

    // The switch is read from its widget, not from a stale cached value.
    flag->value = 0;
    checkbox.value = true;
    log.clear();
    apply_dimming_rule(info, rc.rule);
    EXPECT_EQ(log, expected_calls(true));
    EXPECT_FALSE(checkbox.value);
    for (ControlKv* d : dependents) EXPECT_TRUE(d->dimmed);

    flag->value = 1;
    checkbox.value = false;
    log.clear();
    apply_dimming_rule(info, rc.rule);
    EXPECT_EQ(log, expected_calls(false));
    for (ControlKv* d : dependents) EXPECT_FALSE(d->dimmed);
  }
}

TEST_F(BoundRecord, ControlsThatAreNoSwitchHaveNoRule) {
  for (const ControlKv* c : {static_cast<const ControlKv*>(&info.fluffiness),
                             static_cast<const ControlKv*>(&info.invert_birth_matte),
                             static_cast<const ControlKv*>(&info.gravity_90)})
    EXPECT_EQ(dimming_rule_for(info, c), std::nullopt);

  // A full pass leaves fluffiness live even with the light off.
  info.use_light.set(0);
  for (DimmingRule rule : kDimmingRules) apply_dimming_rule(info, rule);
  EXPECT_FALSE(info.fluffiness.dimmed);
  EXPECT_TRUE(info.density.dimmed);
}

}  // namespace
