#include <gtest/gtest.h>

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
    second_restart = Action("Restart");
  }
  CNumeric* quantity;
  CBoolean* wind;
  COption* mode;
  CColor* colour;
  CAction* restart;
  CLabel* label;
  CAction* second_restart;
};

TEST(AssimWidgets, FactoriesNumberWidgetsInCreationOrder) {
  PanelNode node;
  ASSERT_EQ(node.num_controls(), 7);
  for (int i = 0; i < node.num_controls(); ++i) {
    EXPECT_EQ(node.control(i)->index(), i);
    EXPECT_EQ(node.control(i)->owner(), &node);
  }
  EXPECT_EQ(node.control(-1), nullptr);
  EXPECT_EQ(node.control(7), nullptr);
  EXPECT_EQ(node.find_control("Restart"), node.restart);  // the first of the repeated name
  EXPECT_EQ(node.find_control("Mode: %s"), node.mode);
  EXPECT_EQ(node.find_control("Nothing"), nullptr);
  EXPECT_EQ(node.mode->entries, (std::vector<std::string>{"Render", "Wireframe"}));
}

TEST(AssimWidgets, NumbersAndColoursInterpolateBetweenKeysAndHoldOutside) {
  PanelNode node;
  node.quantity->keys = {{10.0, 100.0}, {20.0, 200.0}, {30.0, 100.0}};
  node.colour->keys = {{0.0, {0.0, 0.0, 0.0, 1.0}}, {4.0, {1.0, 0.5, 0.25, 0.0}}};
  struct Case {
    double time, quantity, red, alpha;
  };
  for (Case c : {Case{0.0, 100.0, 0.0, 1.0}, Case{15.0, 150.0, 1.0, 0.0},
                 Case{20.0, 200.0, 1.0, 0.0}, Case{27.5, 125.0, 1.0, 0.0},
                 Case{99.0, 100.0, 1.0, 0.0}, Case{1.0, 100.0, 0.25, 0.75}}) {
    EXPECT_TRUE(node.evaluate_controls(c.time, false));
    EXPECT_DOUBLE_EQ(node.quantity->value, c.quantity) << "time " << c.time;
    EXPECT_DOUBLE_EQ(node.colour->value[0], c.red) << "time " << c.time;
    EXPECT_DOUBLE_EQ(node.colour->value[3], c.alpha) << "time " << c.time;
  }
}

TEST(AssimWidgets, FlagsAndOptionsHoldTheEarlierKey) {
  PanelNode node;
  node.wind->keys = {{5.0, false}, {10.0, true}};
  node.mode->keys = {{5.0, 0}, {10.0, 1}};
  for (auto [time, flag, entry] : {std::tuple{0.0, 0, 0}, {5.0, 0, 0}, {9.99, 0, 0},
                                   {10.0, 1, 1}, {50.0, 1, 1}}) {
    node.evaluate_controls(time, false);
    EXPECT_EQ(node.wind->value, flag) << "time " << time;
    EXPECT_EQ(node.mode->value, entry) << "time " << time;
  }
}

TEST(AssimWidgets, TimeMinusOneKeepsCurrentValuesAndUnkeyedWidgetsKeepTheirs) {
  PanelNode node;
  node.quantity->keys = {{0.0, 1.0}, {10.0, 11.0}};
  node.evaluate_controls(5.0, false);
  ASSERT_EQ(node.quantity->value, 6.0);
  *node.quantity = 3000.0;
  *node.mode = 7L;  // out of range on purpose: stored as given
  EXPECT_TRUE(node.evaluate_controls(-1.0, false));
  EXPECT_EQ(node.quantity->value, 3000.0);
  node.evaluate_controls(10.0, false);
  EXPECT_EQ(node.quantity->value, 11.0);
  EXPECT_EQ(node.mode->value, 7);
}

TEST(AssimWidgets, UserValuesAreCheckedAgainstKindAndRange) {
  PanelNode node;
  std::string error;
  EXPECT_FALSE(assign_user_value(*node.quantity, "6000", error));
  EXPECT_EQ(error, "\"Quantity\": 6000 is outside 0 to 5000");
  EXPECT_FALSE(assign_user_value(*node.quantity, "12abc", error));
  EXPECT_EQ(error, "\"Quantity\": \"12abc\" is not a number (allowed: 0 to 5000)");
  EXPECT_FALSE(assign_user_value(*node.quantity, "nan", error));
  EXPECT_EQ(node.quantity->value, 20.0);
  EXPECT_FALSE(assign_user_value(*node.wind, "maybe", error));
  EXPECT_NE(error.find("\"Use Wind\": \"maybe\""), std::string::npos) << error;
  EXPECT_FALSE(assign_user_value(*node.mode, "Solid", error));
  EXPECT_EQ(error, "\"Mode: %s\": \"Solid\" is not one of Render, Wireframe (or an index 0 to 1)");
  EXPECT_FALSE(assign_user_value(*node.mode, "2", error));
  EXPECT_FALSE(assign_user_value(*node.mode, "6.5e24", error));  // beyond long long
  EXPECT_FALSE(assign_user_value(*node.colour, "1,1,1", error));
  EXPECT_NE(error.find("\"Cloud Colour\""), std::string::npos) << error;
  EXPECT_FALSE(assign_user_value(*node.colour, "1,1,1.5,1", error));
  EXPECT_NE(error.find("1.5 is outside 0 to 1"), std::string::npos) << error;
  EXPECT_FALSE(assign_user_value(*node.colour, "1,1,1,1,", error));
  EXPECT_FALSE(assign_user_value(*node.restart, "1", error));
  EXPECT_EQ(error, "\"Restart\" is a button and takes no value");
  EXPECT_FALSE(assign_user_value(*node.label, "x", error));
  EXPECT_NE(error.find("\"Brumel\""), std::string::npos);
  EXPECT_EQ(node.colour->value, (std::array<double, 4>{1.0, 1.0, 0.0, 1.0}));
  EXPECT_EQ(node.mode->value, 1);
  EXPECT_EQ(node.wind->value, 1);
}

TEST(AssimWidgets, AcceptedUserValuesReadBackAsText) {
  PanelNode node;
  std::string error;
  node.quantity->keys[3.0] = 7.0;
  ASSERT_TRUE(assign_user_value(*node.quantity, " 5000 ", error)) << error;
  EXPECT_TRUE(node.quantity->keys.empty());  // a typed constant replaces the animation
  ASSERT_TRUE(assign_user_value(*node.wind, "OFF", error)) << error;
  ASSERT_TRUE(assign_user_value(*node.mode, "render", error)) << error;
  ASSERT_TRUE(assign_user_value(*node.colour, "0.1, 0.2, 0.3, 1", error)) << error;
  EXPECT_EQ(widget_value_text(*node.quantity), "5000");
  EXPECT_EQ(widget_value_text(*node.wind), "off");
  EXPECT_EQ(widget_value_text(*node.mode), "Render");
  EXPECT_EQ(widget_value_text(*node.colour), "0.1,0.2,0.3,1");
  ASSERT_TRUE(assign_user_value(*node.mode, "1", error)) << error;
  EXPECT_EQ(node.mode->value, 1);
  // The node's own assignments store as given, unchecked.
  *node.quantity = 9000L;
  *node.wind = 5;
  EXPECT_EQ(node.quantity->value, 9000.0);
  EXPECT_EQ(node.wind->value, 1);
  EXPECT_TRUE(node.changes.empty());  // neither kind of assignment notifies
}

TEST(AssimWidgets, UserKeysAreCheckedAndThenAnimate) {
  PanelNode node;
  std::string error;
  EXPECT_FALSE(add_user_key(*node.quantity, 10.0, "-1", error));
  EXPECT_EQ(error, "\"Quantity\": -1 is outside 0 to 5000");
  EXPECT_FALSE(add_user_key(*node.restart, 10.0, "1", error));
  ASSERT_TRUE(add_user_key(*node.quantity, 0.0, "0", error)) << error;
  ASSERT_TRUE(add_user_key(*node.quantity, 10.0, "100", error)) << error;
  ASSERT_TRUE(add_user_key(*node.quantity, 10.0, "50", error)) << error;  // replaces
  ASSERT_TRUE(add_user_key(*node.wind, 4.0, "no", error)) << error;
  node.evaluate_controls(5.0, false);
  EXPECT_EQ(node.quantity->value, 25.0);
  EXPECT_EQ(node.wind->value, 0);
}

TEST(AssimWidgets, LayoutLeavesOutExcludedWidgets) {
  PanelNode node;
  node.mode->flags |= CWidget::kLayoutExclusion;
  ControlLayout layout;
  EXPECT_TRUE(node.layout_controls(layout));
  ASSERT_EQ(layout.placements.size(), 6u);
  EXPECT_EQ(layout.placements[2].widget, node.colour);
  EXPECT_EQ(layout.placements[2].row, 3);
}

TEST(AssimNode, BaseOperationsRecordWhatTheNodeAsked) {
  PanelNode node;
  node.host_set_input_length(1, 90);
  EXPECT_EQ(node.get_input_length(1), 90);
  EXPECT_EQ(node.get_input_length(5), 0);
  node.invalidate_range(-1.0, -1.0);
  node.set_ovl_update_pending();
  EXPECT_TRUE(node.notify_control_changed(node.restart, 2, -1.0));
  EXPECT_EQ(node.invalidations.size(), 1u);
  EXPECT_EQ(node.overlay_updates, 1);
  ASSERT_EQ(node.changes.size(), 1u);
  EXPECT_EQ(node.changes[0].widget, node.restart);
  EXPECT_EQ(node.process_image(0.0, nullptr, nullptr), 0);
}

TEST(AssimServices, RegistrationEndsWithTheNode) {
  auto node = std::make_unique<PanelNode>();
  const FXNode* address = node.get();
  EXPECT_FALSE(FXNode_is_registered(address));
  EXPECT_EQ(FXNode_register(node.get()), 1);
  EXPECT_TRUE(FXNode_is_registered(address));
  node.reset();
  EXPECT_FALSE(FXNode_is_registered(address));
}

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
  auto kept = msgwarn_history();
  ASSERT_EQ(kept.size(), 100u);
  EXPECT_EQ(kept.front(), "50");
  EXPECT_EQ(kept.back(), "149");
}

int antialias_calls[2];
void record_antialias(int on) { ++antialias_calls[on != 0]; }

TEST(AssimServices, AntialiasingGoesToTheInstalledHandler) {
  EXPECT_EQ(gl_antialiasing(1), 1);  // no handler: nothing happens
  auto previous = set_gl_antialiasing_handler(record_antialias);
  gl_antialiasing(1);
  gl_antialiasing(0);
  gl_antialiasing(1);
  EXPECT_EQ(set_gl_antialiasing_handler(previous), record_antialias);
  EXPECT_EQ(antialias_calls[1], 2);
  EXPECT_EQ(antialias_calls[0], 1);
}

}  // namespace
