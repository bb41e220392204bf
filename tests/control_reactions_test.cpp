// The effect's reactions to control changes, against real host widgets: the dimming
// rules (all at once and one by one), the Mode lists kept equal, and the buttons.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "support/bound_effect.h"

namespace {

using Rule = void (Brumel::*)(ControlKv*, double);

// Each rule with its switch's widget and the widgets it dims, by host name.
struct RuleCase {
  const char* name;
  Rule rule;
  const char* checkbox;
  std::vector<std::string> dims;
};

const std::vector<RuleCase>& rule_cases() {
  static const std::vector<RuleCase> cases = {
      {"Grow/Shrink", &Brumel::on_grow_shrink, "Grow/Shrink", {"Grow(Life)", "Shrink(Life)"}},
      {"Perspective", &Brumel::on_perspective, "Perspective",
       {"Camera Dista", "VanishP_X", "VanishP_Y", "Z Speed", "Z Range"}},
      {"Use Gravity", &Brumel::on_use_gravity, "Use Gravity",
       {"Gravity", "Gravity Angl", "Gravity 90 t"}},
      {"Use Friction", &Brumel::on_use_friction, "Use Friction", {"Friction"}},
      {"Use Swirling", &Brumel::on_use_swirling, "Use Swirling",
       {"Swirl Densit", "Swirl Magnit", "Swirl to Max"}},
      {"Use Constraint", &Brumel::on_use_constraint, "Use Constrai", {"Constraint A"}},
      {"Use Wind", &Brumel::on_use_wind, "Use Wind",
       {"Wind Source_X", "Wind Source_Y", "Wind Target_X", "Wind Target_Y", "Wind Speed"}},
      {"Use Textured", &Brumel::on_use_textured, "Use Textured",
       {"Texture Mag", "Texture X", "Texture Y", "Seethe"}},
      {"Use Fading", &Brumel::on_use_fading, "Use Fading", {"In(Life)", "Out(Life)"}},
      {"Use Light", &Brumel::on_use_light, "Use Light",
       {"Light Source_X", "Light Source_Y", "Z Light Sour", "Light Target_X", "Light Target_Y",
        "Light", "Brightness", "Density", "Contrast"}},
      {"Use Birth Matte", &Brumel::on_use_birth_matte, "Use Birth Ma", {"Invert Birth"}},
  };
  return cases;
}

// Names of the control widgets (entries 0..76) that are dimmed now.
std::set<std::string> dimmed(const BoundEffect& node) {
  std::set<std::string> out;
  for (int i = 0; i < BoundEffect::kControlWidgets; ++i)
    if (node.control(i)->is_dimmed()) out.insert(node.control(i)->name());
  return out;
}

void set_switch(BoundEffect& node, const char* name, bool on) {
  auto* widget = static_cast<CBoolean*>(node.find_control(name));
  ASSERT_NE(widget, nullptr) << name;
  *widget = on ? 1 : 0;
}

TEST(ControlsChanged, EveryDependentFollowsItsSwitch) {
  BoundEffect node;
  for (const RuleCase& c : rule_cases()) set_switch(node, c.checkbox, false);
  node.effect->controls_changed();
  std::set<std::string> all;
  for (const RuleCase& c : rule_cases()) all.insert(c.dims.begin(), c.dims.end());
  EXPECT_EQ(dimmed(node), all);
  EXPECT_FALSE(node.find_control("Fluffiness")->is_dimmed());

  for (const RuleCase& c : rule_cases()) set_switch(node, c.checkbox, true);
  node.effect->controls_changed();
  EXPECT_TRUE(dimmed(node).empty());
  EXPECT_TRUE(node.effect->use_light.value) << "the cached switches are read from the widgets";

  // Whatever the widgets showed before, the pass brings them in line.
  node.find_control("Gravity")->dim();
  set_switch(node, "Use Wind", false);
  node.find_control("Wind Speed")->undim();
  node.effect->controls_changed();
  EXPECT_EQ(dimmed(node), (std::set<std::string>{"Wind Source_X", "Wind Source_Y", "Wind Target_X",
                                                  "Wind Target_Y", "Wind Speed"}));
}

TEST(DimmingRules, EachRuleTouchesOnlyItsOwnDependents) {
  for (const RuleCase& c : rule_cases()) {
    BoundEffect node;
    for (const RuleCase& other : rule_cases()) set_switch(node, other.checkbox, false);
    ControlKv* changed = nullptr;
    (node.effect.get()->*c.rule)(changed, 0.0);
    EXPECT_EQ(dimmed(node), std::set<std::string>(c.dims.begin(), c.dims.end())) << c.name;

    set_switch(node, c.checkbox, true);
    (node.effect.get()->*c.rule)(changed, 0.0);
    EXPECT_TRUE(dimmed(node).empty()) << c.name;
  }
}

TEST(SyncMode, TheChangedPageSetsAllFour) {
  BoundEffect node;
  Brumel& b = *node.effect;
  const std::vector<ListControlKv*> modes = {&b.mode, &b.mode_2, &b.mode_3, &b.mode_4};
  const std::vector<int> entries = {5, 9, 13, 17};
  for (std::size_t page = 0; page < 4; ++page) {
    for (int entry : entries) *node.option(entry) = 1L;  // Wireframe everywhere
    *node.option(entries[page]) = 0L;                    // Render on this page
    b.sync_mode(modes[page], -1.0);
    for (std::size_t i = 0; i < 4; ++i) {
      EXPECT_EQ(node.option(entries[i])->value, 0) << "page " << page + 1 << " -> " << i + 1;
      EXPECT_EQ(modes[i]->value, 1) << "page " << page + 1 << " -> " << i + 1;
    }
  }
  b.sync_mode(&b.quantity, -1.0);  // a control that is no Mode list gives Wireframe
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(node.option(entries[i])->value * 10 + modes[i]->value, 12);
  // The pass over every control follows the first page.
  *node.option(5) = 0L;
  *node.option(13) = 1L;
  node.effect->controls_changed();
  for (int entry : {5, 9, 13, 17}) EXPECT_EQ(node.option(entry)->value, 0) << entry;
  EXPECT_EQ(node.effect->mode_3.value, 1);
}

TEST(Buttons, SetOnlyTheirRequests) {
  struct Case {
    Rule press;
    int restart;
    int preroll;
  };
  for (const Case& c : {Case{&Brumel::on_restart, 1, 0}, Case{&Brumel::on_preroll, 0, 1},
                        Case{&Brumel::on_restart_preroll, 1, 1}}) {
    BoundEffect node;
    Brumel& b = *node.effect;
    b.random_cursor = 7;
    (b.*c.press)(&b.restart, 0.0);
    EXPECT_EQ(b.restart_requested, c.restart);
    EXPECT_EQ(b.preroll_requested, c.preroll);
    EXPECT_EQ(b.random_cursor, 7) << "nothing else reacts before the next render";
  }
}

}  // namespace

namespace {

// Puts every crosshair at its own spot of a 1000x1000 view and the lines and the
// circle's grips far away, so a press hits exactly one handle.
void spread_handles(Brumel& effect) {
  effect.view_width = 1000;
  effect.view_height = 1000;
  CrosshairOverlayKv* crosshairs[] = {&effect.birth_handle,        &effect.wind_source_handle,
                                      &effect.wind_target_handle,  &effect.light_source_handle,
                                      &effect.light_target_handle, &effect.vanish_handle};
  float x = 100.0f;
  for (CrosshairOverlayKv* c : crosshairs) {
    c->screen_x = x += 100.0f;
    c->screen_y = 500.0f;
  }
  for (LineOverlayKv* line : {&effect.wind_line, &effect.light_line}) line->mid_x = line->mid_y = -5000.0f;
  for (int g = 0; g < 3; ++g) effect.birth_radius_handle.grip_x[g] = effect.birth_radius_handle.grip_y[g] = -5000.0f;
}

// Presses and releases at a crosshair's spot; true when the press took it.
bool press_takes(Brumel& effect, const CrosshairOverlayKv& handle) {
  effect.handle_hit = 0;
  effect.pointer(1, handle.screen_x, handle.screen_y);
  const bool taken = handle.grabbed != 0 && effect.handle_hit == 1;
  effect.pointer(3, handle.screen_x, handle.screen_y);
  return taken;
}

}  // namespace

TEST(PointerRouting, HiddenHandlesIgnoreThePressAndEveryShownHandleUnderItTakesIt) {
  BoundEffect node;
  Brumel& effect = *node.effect;
  spread_handles(effect);
  effect.perspective.value = false;
  effect.use_wind.value = false;
  effect.use_light.value = false;

  // The birth and light handles take the pointer whatever the switches say.
  for (bool on : {false, true}) {
    effect.perspective.value = effect.use_wind.value = on;
    for (const CrosshairOverlayKv* h : {&effect.vanish_handle, &effect.wind_source_handle,
                                        &effect.wind_target_handle})
      EXPECT_EQ(press_takes(effect, *h), on);
    for (const CrosshairOverlayKv* h : {&effect.birth_handle, &effect.light_source_handle,
                                        &effect.light_target_handle})
      EXPECT_TRUE(press_takes(effect, *h));
  }

  // Two handles on the same spot are grabbed together: there is no first-hit rule.
  effect.light_target_handle.screen_x = effect.birth_handle.screen_x;
  effect.pointer(1, effect.birth_handle.screen_x, effect.birth_handle.screen_y);
  EXPECT_EQ(effect.birth_handle.grabbed, 1);
  EXPECT_EQ(effect.light_target_handle.grabbed, 1);
  EXPECT_EQ(effect.light_source_handle.grabbed, 0);
}
