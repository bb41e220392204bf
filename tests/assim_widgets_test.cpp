#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "assim/fx_node.h"
#include "assim/services.h"

namespace {

struct PanelNode : FXNode {
  PanelNode() {
    set_name("Test.Panel");
    quantity = Numeric("Quantity", 20, 0, 5000, 0.01, true);
    wind = Boolean("Use Wind", true, false);
    mode = Option("Mode: %s", "Render,Wireframe", 1);
    colour = Color("Cloud Colour", 1.0, 1.0, 0.0, 1.0, true);
    restart = Action("Restart");
    label = Label("Brumel");
    Action("Restart");
  }
  CNumeric* quantity;
  CBoolean* wind;
  COption* mode;
  CColor* colour;
  CAction* restart;
  CLabel* label;
};

// Out of range, none; a repeated name finds the first.
TEST(AssimWidgets, LookUpByIndexAndByName) {
  PanelNode node;
  EXPECT_EQ((std::vector<CWidget*>{node.control(-1), node.control(7), node.find_control("Restart"),
                                   node.find_control("Mode: %s"), node.find_control("Nothing")}),
            (std::vector<CWidget*>{nullptr, nullptr, node.restart, node.mode, nullptr}));
}

// Numbers and colours interpolate between keys and hold outside them; flags and options
// hold the earlier key.
TEST(AssimWidgets, KeysAnimateEveryKind) {
  PanelNode node;
  node.quantity->keys = {{10.0, 100.0}, {20.0, 200.0}, {30.0, 100.0}};
  node.colour->keys = {{0.0, {0.0, 0.0, 0.0, 1.0}}, {4.0, {1.0, 0.5, 0.25, 0.0}}};
  node.wind->keys = {{5.0, false}, {10.0, true}};
  node.mode->keys = {{5.0, 0}, {10.0, 1}};
  // Time, then Quantity, the colour's red and alpha, Use Wind and Mode.
  for (auto [time, quantity, red, alpha, wind, mode] :
       {std::tuple{0.0, 100.0, 0.0, 1.0, 0, 0}, {1.0, 100.0, 0.25, 0.75, 0, 0}, {9.99, 100.0, 1.0, 0.0, 0, 0},
        {10.0, 100.0, 1.0, 0.0, 1, 1}, {15.0, 150.0, 1.0, 0.0, 1, 1}, {20.0, 200.0, 1.0, 0.0, 1, 1},
        {27.5, 125.0, 1.0, 0.0, 1, 1}, {99.0, 100.0, 1.0, 0.0, 1, 1}}) {
    EXPECT_TRUE(node.evaluate_controls(time, false));
    EXPECT_EQ((std::vector<double>{node.quantity->value, node.colour->value[0], node.colour->value[3],
                                   double(node.wind->value), double(node.mode->value)}),
              (std::vector<double>{quantity, red, alpha, double(wind), double(mode)}))
        << "time " << time;
  }
}

// A user's value is checked against the widget's kind and range, refused with the
// reason and without a change.
TEST(AssimWidgets, UserValuesAreCheckedAgainstKindAndRange) {
  PanelNode node;
  const struct {
    CWidget* widget;
    const char* text;
    const char* error;
  } refused[] = {
      {node.quantity, "6000", "\"Quantity\": 6000 is outside 0 to 5000"},
      {node.quantity, "12abc", "\"Quantity\": \"12abc\" is not a number (allowed: 0 to 5000)"},
      {node.quantity, "nan", "\"Quantity\""},
      {node.wind, "maybe", "\"Use Wind\": \"maybe\""},
      {node.mode, "Solid", "\"Mode: %s\": \"Solid\" is not one of Render, Wireframe (or an index 0 to 1)"},
      {node.mode, "2", "\"Mode: %s\""},
      {node.mode, "6.5e24", "\"Mode: %s\""},  // beyond long long
      {node.colour, "1,1,1", "\"Cloud Colour\""},
      {node.colour, "1,1,1.5,1", "1.5 is outside 0 to 1"},
      {node.colour, "1,1,1,1,", "\"Cloud Colour\""},
      {node.restart, "1", "\"Restart\" is a button and takes no value"},
      {node.label, "x", "\"Brumel\""},
  };
  for (const auto& r : refused) {
    std::string error;
    EXPECT_FALSE(assign_user_value(*r.widget, r.text, error)) << r.text;
    EXPECT_NE(error.find(r.error), std::string::npos) << error;
  }
  EXPECT_EQ(widget_value_text(*node.quantity) + widget_value_text(*node.wind) + widget_value_text(*node.mode) + " " +
                widget_value_text(*node.colour),
            "20onWireframe 1,1,0,1");
}

// Accepted values replace any animation and read back as text; the node's own
// assignments store as given, unchecked; neither kind notifies.
TEST(AssimWidgets, AcceptedUserValuesReadBackAsText) {
  PanelNode node;
  std::string error;
  node.quantity->keys[3.0] = 7.0;
  ASSERT_TRUE(assign_user_value(*node.quantity, " 5000 ", error)) << error;
  EXPECT_TRUE(node.quantity->keys.empty());
  ASSERT_TRUE(assign_user_value(*node.wind, "OFF", error)) << error;
  ASSERT_TRUE(assign_user_value(*node.mode, "render", error)) << error;
  ASSERT_TRUE(assign_user_value(*node.colour, "0.1, 0.2, 0.3, 1", error)) << error;
  EXPECT_EQ((std::vector<std::string>{widget_value_text(*node.quantity), widget_value_text(*node.wind),
                                      widget_value_text(*node.mode), widget_value_text(*node.colour)}),
            (std::vector<std::string>{"5000", "off", "Render", "0.1,0.2,0.3,1"}));
  ASSERT_TRUE(assign_user_value(*node.mode, "1", error)) << error;
  EXPECT_EQ(node.mode->value, 1);
  *node.quantity = 9000L;
  *node.wind = 5;
  EXPECT_EQ(std::pair(node.quantity->value, int{node.wind->value}), std::pair(9000.0, 1));
  EXPECT_TRUE(node.changes.empty());
}

TEST(AssimWidgets, UserKeysAreCheckedAndThenAnimate) {
  PanelNode node;
  std::string error;
  EXPECT_FALSE(add_user_key(*node.quantity, 10.0, "-1", error));
  EXPECT_EQ(error, "\"Quantity\": -1 is outside 0 to 5000");
  EXPECT_FALSE(add_user_key(*node.restart, 10.0, "1", error));
  for (auto [time, value] : {std::pair{0.0, "0"}, {10.0, "100"}, {10.0, "50"}})  // the last replaces
    ASSERT_TRUE(add_user_key(*node.quantity, time, value, error)) << error;
  ASSERT_TRUE(add_user_key(*node.wind, 4.0, "no", error)) << error;
  node.evaluate_controls(5.0, false);
  EXPECT_EQ(std::pair(node.quantity->value, int{node.wind->value}), std::pair(25.0, 0));
}

// Warnings go to standard error, each on its line, and the last hundred are kept.
TEST(AssimServices, AspectCorrectionAndWarnings) {
  EXPECT_EQ(aspect_correction(2.0, 10, 10), 2.0);
  for (double bad : {0.0, -1.0, std::nan("")}) EXPECT_EQ(aspect_correction(bad, 10, 10), 0.0);
  EXPECT_EQ(aspect_correction(1.5, 0, 10), 0.0);
  msgwarn_clear();
  testing::internal::CaptureStderr();
  msgwarn("first");
  msgwarn("second\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "warning: first\nwarning: second\n");
  testing::internal::CaptureStderr();
  for (int i = 0; i < 150; ++i) msgwarn(std::to_string(i).c_str());
  testing::internal::GetCapturedStderr();
  const auto kept = msgwarn_history();
  EXPECT_EQ((std::vector<std::string>{std::to_string(kept.size()), kept.front(), kept.back()}),
            (std::vector<std::string>{"100", "50", "149"}));
}

}  // namespace
