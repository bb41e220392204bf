// Controls against real host widgets: conversions, binding words, evaluation before
// get_at, and the state pairs passed to the widgets.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "assim/fx_node.h"
#include "framework/control_kv.h"

namespace {

// A node that records each evaluation it is asked for.
class RecordingNode : public FXNode {
 public:
  bool evaluate_controls(double time, bool flag) override {
    evaluations.push_back({time, flag ? 1.0 : 0.0});
    return FXNode::evaluate_controls(time, flag);
  }
  std::vector<std::vector<double>> evaluations;  // time, flag
};

TEST(ColourControl, FetchAndSetConvertBetweenFifteenBitsAndSinglePrecisionClamped) {
  RecordingNode node;
  CColor* widget = node.Color("Light", -0.5, 0.5, 1.0, 2.0, true);
  ColourControlKv c;
  c.bind(widget, &node);
  static_cast<ControlKv&>(c).fetch();
  EXPECT_EQ((std::vector<int>(c.value, c.value + 4)), (std::vector<int>{0, 16383, 32767, 32767}));

  c.set(32767, 16384, 0, 65535);
  double rgba[4];
  widget->get_value(rgba);
  EXPECT_EQ((std::vector<double>(rgba, rgba + 4)),
            (std::vector<double>{1.0, static_cast<double>(16384.0f * 3.051851e-5f), 0.0, 1.0}));
  EXPECT_EQ(c.value[3], 65535) << "the cache keeps what was given, not the clamped channel";
  c.fetch();
  EXPECT_EQ((std::vector<int>(c.value, c.value + 4)), (std::vector<int>{32767, 16384, 0, 32767}));
}

TEST(ListAndCheckboxControls, CountListEntriesFromOneAndStoreNonzeroAsOn) {
  RecordingNode node;
  COption* widget = node.Option("Mode: %s", "Render,Wireframe", 1);
  ListControlKv list;
  list.bind(widget, &node);
  for (int v : {0, 1}) {
    list.set(v);
    EXPECT_EQ(widget->value, v - 1);
    EXPECT_EQ(list.value, v);
  }
  widget->value = 6;
  EXPECT_EQ(list.get_at(-1.0), 7);
  EXPECT_EQ(list.value, 7);

  CBoolean* flag = node.Boolean("Use Wind", false, false);
  CheckboxControlKv box;
  box.bind(flag, &node);
  box.set(5);
  EXPECT_EQ(flag->value, 1);
  box.set(0);
  EXPECT_EQ(flag->value, 0);
  EXPECT_FALSE(box.value);
  flag->value = 1;
  EXPECT_EQ(box.get_at(-1.0), 1);
  EXPECT_TRUE(box.value);
}

TEST(IntegerControl, FetchTruncatesTowardZero) {
  RecordingNode node;
  CNumeric* widget = node.Numeric("Seed", 0, 1, 999, 17, true);
  IntegerControlKv seed;
  seed.bind(widget, &node);
  // Beyond the int32 range the result is defined (the processor's own answer).
  for (const auto& [value, want] : {std::pair{164.9, 164}, {-2.7, -2}, {3.0e9, INT32_MIN}}) {
    widget->value = value;
    seed.fetch();
    EXPECT_EQ(seed.value, want) << value;
  }
  seed.set(40);
  EXPECT_EQ(widget->value, 40.0);
}

TEST(PositionControl, XWidgetInWordZeroAndYWidgetInWordOne) {
  RecordingNode node;
  CNumeric* x = node.Numeric("Birth_X", -0.125, -5, 5, 0.001, true);
  CNumeric* y = node.Numeric("Birth_Y", 0.8, -5, 5, 0.001, true);
  PositionControlKv birth;
  birth.bind(x, y, &node);
  EXPECT_EQ(birth.host_data[0], static_cast<void*>(static_cast<CWidget*>(x)));
  EXPECT_EQ(birth.host_data[1], static_cast<void*>(static_cast<CWidget*>(y)));
  birth.fetch();
  EXPECT_EQ(birth.value_x, -0.125);
  EXPECT_EQ(birth.value_y, 0.8);
  birth.set(0.25, -1.5);
  EXPECT_EQ(x->value, 0.25);
  EXPECT_EQ(y->value, -1.5);
}

TEST(ControlState, PairsReachEveryBoundWidget) {
  RecordingNode node;
  CNumeric* x = node.Numeric("Wind Source_X", 0, -2, 2, 0.001, true);
  CNumeric* y = node.Numeric("Wind Source_Y", 0.75, -2, 2, 0.001, true);
  CNumeric* number = node.Numeric("Friction", 2, 0, 100, 0.01, true);
  PositionControlKv source;
  source.bind(x, y, &node);
  FloatControlKv friction;
  friction.bind(number, &node);
  for (ControlKv* control : {static_cast<ControlKv*>(&source), static_cast<ControlKv*>(&friction)}) {
    control->set_dimmed(true);
    control->set_shown(false);
  }
  for (CNumeric* widget : {x, y, number}) {
    EXPECT_TRUE(widget->is_dimmed()) << widget->name();
    EXPECT_FALSE(widget->is_shown()) << widget->name();
  }
  source.set_dimmed(false);
  friction.set_shown(true);
  EXPECT_FALSE(y->is_dimmed());
  EXPECT_TRUE(number->is_shown());
  EXPECT_TRUE(number->is_dimmed());  // the other pair is untouched
}

TEST(GetAt, EvaluatesTheNodeAtTheTimeBeforeReadingAndWithoutANodeReadsTheValue) {
  RecordingNode node;
  CNumeric* widget = node.Numeric("Wind Speed", 12, 0, 100, 0.01, true);
  widget->keys = {{0.0, 10.0}, {10.0, 20.0}};
  FloatControlKv speed, unbound;
  speed.bind(widget, &node);
  EXPECT_EQ(speed.get_at(5.0), 15.0);
  EXPECT_EQ(speed.value, 15.0);
  // -1.0 is "now": the widget keeps its current value, keys notwithstanding.
  widget->value = 99.0;
  EXPECT_EQ(speed.get_at(-1.0), 99.0);
  EXPECT_EQ(node.evaluations, (std::vector<std::vector<double>>{{5.0, 0.0}, {-1.0, 0.0}}));

  unbound.bind(widget, nullptr);
  EXPECT_EQ(unbound.get_at(5.0), 99.0);
  EXPECT_EQ(node.evaluations.size(), 2u);
}

}  // namespace
