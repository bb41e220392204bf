// Controls against real host widgets: conversions both ways, and evaluation before get_at.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "assim/fx_node.h"
#include "framework/control_kv.h"

namespace brumel {

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

// Colours go between doubles and 15 bits, clamped; the cache keeps what was given.
TEST(Controls, ColoursConvertBetweenFifteenBitsAndSinglePrecisionClamped) {
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
  EXPECT_EQ(c.value[3], 65535);
  c.fetch();
  EXPECT_EQ((std::vector<int>(c.value, c.value + 4)), (std::vector<int>{32767, 16384, 0, 32767}));
}

// Lists count from one, switches store nonzero as on, integers truncate toward zero
// (beyond the int32 range the processor's own answer), positions write both widgets.
TEST(Controls, ListsSwitchesIntegersAndPositions) {
  RecordingNode node;
  COption* mode = node.Option("Mode: %s", "Render,Wireframe", 1);
  CBoolean* wind = node.Boolean("Use Wind", false, false);
  CNumeric* seed = node.Numeric("Seed", 0, 1, 999, 17, true);
  CNumeric* x = node.Numeric("Birth_X", -0.125, -5, 5, 0.001, true);
  CNumeric* y = node.Numeric("Birth_Y", 0.8, -5, 5, 0.001, true);
  ListControlKv list;
  CheckboxControlKv box;
  IntegerControlKv integer;
  PositionControlKv birth;
  list.bind(mode, &node);
  box.bind(wind, &node);
  integer.bind(seed, &node);
  birth.bind(x, y, &node);
  list.set(2);
  box.set(5);
  integer.set(40);
  birth.set(0.25, -1.5);
  EXPECT_EQ((std::vector<double>{double(mode->value), double(wind->value), seed->value, x->value, y->value}),
            (std::vector<double>{1, 1, 40, 0.25, -1.5}));
  mode->value = 6;
  wind->value = 0;
  EXPECT_EQ(std::pair(list.get_at(-1.0), box.get_at(-1.0)), std::pair(7, 0));
  for (const auto& [value, want] : {std::pair{164.9, 164}, {-2.7, -2}, {3.0e9, INT32_MIN}}) {
    seed->value = value;
    integer.fetch();
    EXPECT_EQ(integer.value, want) << value;
  }
}

TEST(Controls, GetAtEvaluatesTheNodeAtTheTimeFirstAndWithoutANodeReadsTheValue) {
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

}  // namespace brumel
