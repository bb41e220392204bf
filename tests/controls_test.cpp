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
  struct Evaluation {
    double time;
    bool flag;
  };
  bool evaluate_controls(double time, bool flag) override {
    evaluations.push_back({time, flag});
    return FXNode::evaluate_controls(time, flag);
  }
  std::vector<Evaluation> evaluations;
};

TEST(ColourControl, FetchClampsAndScalesEachChannel) {
  RecordingNode node;
  ColourControlKv c;
  c.bind(node.Color("Light", -0.5, 0.5, 1.0, 2.0, true), &node);
  ControlKv& base = c;
  base.fetch();
  EXPECT_EQ(c.value[0], 0);
  EXPECT_EQ(c.value[1], 16383);
  EXPECT_EQ(c.value[2], 32767);
  EXPECT_EQ(c.value[3], 32767);
}

TEST(ColourControl, SetPassesSinglePrecisionChannelsClampedToOne) {
  RecordingNode node;
  CColor* widget = node.Color("Cloud Colour", 0.2, 0.2, 0.2, 0.2, true);
  ColourControlKv c;
  c.bind(widget, &node);
  c.set(32767, 16384, 0, 65535);
  double rgba[4];
  widget->get_value(rgba);
  EXPECT_EQ(rgba[0], 1.0);
  EXPECT_EQ(rgba[1], static_cast<double>(16384.0f * 3.051851e-5f));
  EXPECT_EQ(rgba[2], 0.0);
  EXPECT_EQ(rgba[3], 1.0);
  // The cache keeps what was given, not the clamped channel.
  EXPECT_EQ(c.value[3], 65535);
  // A fetch after a set reads the widget back on the 15-bit scale.
  c.fetch();
  EXPECT_EQ(c.value[0], 32767);
  EXPECT_EQ(c.value[1], 16384);
  EXPECT_EQ(c.value[3], 32767);
}

TEST(ListControl, CachedValueCountsEntriesFromOne) {
  RecordingNode node;
  COption* widget = node.Option("Mode: %s", "Render,Wireframe", 1);
  ListControlKv list;
  list.bind(widget, &node);

  list.set(0);
  EXPECT_EQ(widget->value, -1);
  EXPECT_EQ(list.value, 0);
  list.set(1);
  EXPECT_EQ(widget->value, 0);
  EXPECT_EQ(list.value, 1);

  widget->value = 0;
  list.value = 99;
  list.fetch();
  EXPECT_EQ(list.value, 1);
  widget->value = 6;
  EXPECT_EQ(list.get_at(-1.0), 7);
  EXPECT_EQ(list.value, 7);
}

TEST(IntegerControl, FetchTruncatesTowardZero) {
  RecordingNode node;
  CNumeric* widget = node.Numeric("Seed", 164.9, 1, 999, 17, true);
  IntegerControlKv seed;
  seed.bind(widget, &node);
  seed.fetch();
  EXPECT_EQ(seed.value, 164);
  widget->value = -2.7;
  seed.fetch();
  EXPECT_EQ(seed.value, -2);
  // Beyond the int32 range the result is defined (the processor's own answer).
  widget->value = 3.0e9;
  seed.fetch();
  EXPECT_EQ(seed.value, INT32_MIN);

  seed.set(40);
  EXPECT_EQ(widget->value, 40.0);
  EXPECT_EQ(seed.value, 40);
}

TEST(CheckboxControl, SetStoresNonzeroAsOnAndGetAtReturnsOneOrZero) {
  RecordingNode node;
  CBoolean* widget = node.Boolean("Use Wind", false, false);
  CheckboxControlKv box;
  box.bind(widget, &node);
  box.set(5);
  EXPECT_TRUE(box.value);
  EXPECT_EQ(widget->value, 1);
  box.set(0);
  EXPECT_FALSE(box.value);
  EXPECT_EQ(widget->value, 0);

  widget->value = 1;
  EXPECT_EQ(box.get_at(-1.0), 1);
  EXPECT_TRUE(box.value);
}

TEST(PositionControl, XWidgetInWordZeroAndYWidgetInWordOne) {
  RecordingNode node;
  CNumeric* x = node.Numeric("Birth_X", -0.125, -5, 5, 0.001, true);
  CNumeric* y = node.Numeric("Birth_Y", 0.8, -5, 5, 0.001, true);
  PositionControlKv birth;
  birth.bind(x, y, &node);
  EXPECT_EQ(birth.host_data[0], static_cast<void*>(static_cast<CWidget*>(x)));
  EXPECT_EQ(birth.host_data[1], static_cast<void*>(static_cast<CWidget*>(y)));
  EXPECT_EQ(birth.host_data[2], static_cast<void*>(&node));

  birth.fetch();
  EXPECT_EQ(birth.value_x, -0.125);
  EXPECT_EQ(birth.value_y, 0.8);

  birth.set(0.25, -1.5);
  EXPECT_EQ(x->value, 0.25);
  EXPECT_EQ(y->value, -1.5);
}

TEST(ControlState, PairsReachEveryBoundWidgetAndAreRecorded) {
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
    EXPECT_TRUE(control->dimmed);
    control->set_shown(false);
    EXPECT_FALSE(control->shown);
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

TEST(GetAt, EvaluatesTheNodeAtTheTimeBeforeReading) {
  RecordingNode node;
  CNumeric* widget = node.Numeric("Wind Speed", 12, 0, 100, 0.01, true);
  widget->keys = {{0.0, 10.0}, {10.0, 20.0}};
  FloatControlKv speed;
  speed.bind(widget, &node);

  EXPECT_EQ(speed.get_at(5.0), 15.0);
  EXPECT_EQ(speed.value, 15.0);
  ASSERT_EQ(node.evaluations.size(), 1u);
  EXPECT_EQ(node.evaluations[0].time, 5.0);
  EXPECT_FALSE(node.evaluations[0].flag);

  // -1.0 is "now": the widget keeps its current value, keys notwithstanding.
  widget->value = 99.0;
  EXPECT_EQ(speed.get_at(-1.0), 99.0);
  ASSERT_EQ(node.evaluations.size(), 2u);
  EXPECT_EQ(node.evaluations[1].time, -1.0);
}

TEST(GetAt, WithoutANodeReadsTheCurrentValue) {
  RecordingNode node;
  CNumeric* widget = node.Numeric("Gravity", 10, 0, 100, 0.01, true);
  widget->keys = {{0.0, 10.0}, {10.0, 20.0}};
  FloatControlKv gravity;
  gravity.bind(widget, nullptr);
  EXPECT_EQ(gravity.get_at(5.0), 10.0);
  EXPECT_TRUE(node.evaluations.empty());
}

TEST(ButtonControl, FetchChangesNothing) {
  RecordingNode node;
  CAction* widget = node.Action("Restart");
  ButtonControlKv button;
  button.bind(widget, &node);
  button.set_dimmed(true);
  ControlKv& base = button;
  base.fetch();
  EXPECT_EQ(button.host_data[0], static_cast<void*>(static_cast<CWidget*>(widget)));
  EXPECT_TRUE(button.dimmed);
  EXPECT_FALSE(button.shown);
  EXPECT_TRUE(widget->is_dimmed());
  EXPECT_TRUE(node.evaluations.empty());
}

}  // namespace
