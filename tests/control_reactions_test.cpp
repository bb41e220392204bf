// The effect's reactions to control changes, against real host widgets: the dimming
// rules, the Mode lists kept equal, the buttons, and the pointer handed to the handles.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "support/bound_effect.h"

namespace brumel {

namespace {

using Rule = void (Brumel::*)(ControlKv*, double);

// Each rule with its switch's widget and the widgets it dims, by host name.
struct RuleCase {
  Rule rule;
  const char* checkbox;
  std::vector<std::string> dims;
};

const RuleCase kRules[] = {
    {&Brumel::on_grow_shrink, "Grow/Shrink", {"Grow(Life)", "Shrink(Life)"}},
    {&Brumel::on_perspective, "Perspective", {"Camera Dista", "VanishP_X", "VanishP_Y", "Z Speed", "Z Range"}},
    {&Brumel::on_use_gravity, "Use Gravity", {"Gravity", "Gravity Angl", "Gravity 90 t"}},
    {&Brumel::on_use_friction, "Use Friction", {"Friction"}},
    {&Brumel::on_use_swirling, "Use Swirling", {"Swirl Densit", "Swirl Magnit", "Swirl to Max"}},
    {&Brumel::on_use_constraint, "Use Constrai", {"Constraint A"}},
    {&Brumel::on_use_wind, "Use Wind",
     {"Wind Source_X", "Wind Source_Y", "Wind Target_X", "Wind Target_Y", "Wind Speed"}},
    {&Brumel::on_use_textured, "Use Textured", {"Texture Mag", "Texture X", "Texture Y", "Seethe"}},
    {&Brumel::on_use_fading, "Use Fading", {"In(Life)", "Out(Life)"}},
    {&Brumel::on_use_light, "Use Light",
     {"Light Source_X", "Light Source_Y", "Z Light Sour", "Light Target_X", "Light Target_Y", "Light", "Brightness",
      "Density", "Contrast"}},
    {&Brumel::on_use_birth_matte, "Use Birth Ma", {"Invert Birth"}},
};

// Names of the control widgets (entries 0..76) that are dimmed now.
std::set<std::string> dimmed(const BoundEffect& node) {
  std::set<std::string> out;
  for (int i = 0; i < BoundEffect::kControlWidgets; ++i)
    if (node.control(i)->is_dimmed()) out.insert(node.control(i)->name());
  return out;
}

void set_switches(BoundEffect& node, bool on) {
  for (const RuleCase& c : kRules) *static_cast<CBoolean*>(node.find_control(c.checkbox)) = on ? 1 : 0;
}

// Each rule dims exactly its own dependents with its switch off and undims them with it
// on; the pass over every control applies them all, whatever the widgets showed before.
TEST(DimmingRules, EachRuleTouchesOnlyItsOwnDependents) {
  std::set<std::string> all;
  for (const RuleCase& c : kRules) {
    BoundEffect node;
    set_switches(node, false);
    (node.effect->*c.rule)(nullptr, 0.0);
    EXPECT_EQ(dimmed(node), std::set<std::string>(c.dims.begin(), c.dims.end())) << c.checkbox;
    *static_cast<CBoolean*>(node.find_control(c.checkbox)) = 1;
    (node.effect->*c.rule)(nullptr, 0.0);
    EXPECT_TRUE(dimmed(node).empty()) << c.checkbox;
    all.insert(c.dims.begin(), c.dims.end());
  }
  BoundEffect node;
  set_switches(node, false);
  node.effect->controls_changed();
  EXPECT_EQ(dimmed(node), all);
  set_switches(node, true);
  node.find_control("Gravity")->dim();
  node.effect->controls_changed();
  EXPECT_TRUE(dimmed(node).empty());
}

// The changed page sets all four lists (a control that is no Mode list gives Wireframe);
// the pass over every control follows the first page.
TEST(SyncMode, TheChangedPageSetsAllFour) {
  BoundEffect node;
  Brumel& b = *node.effect;
  ListControlKv* const modes[] = {&b.mode, &b.mode_2, &b.mode_3, &b.mode_4};
  const int entries[] = {5, 9, 13, 17};
  auto shown = [&] {
    std::vector<int> out;
    for (int i = 0; i < 4; ++i) out.push_back(node.option(entries[i])->value * 10 + modes[i]->value);
    return out;
  };
  for (int page = 0; page < 4; ++page) {
    for (int entry : entries) *node.option(entry) = 1L;  // Wireframe everywhere
    *node.option(entries[page]) = 0L;                    // Render on this page
    b.sync_mode(modes[page], -1.0);
    EXPECT_EQ(shown(), std::vector<int>(4, 1)) << "page " << page + 1;
  }
  b.sync_mode(&b.quantity, -1.0);
  EXPECT_EQ(shown(), std::vector<int>(4, 12));
  *node.option(5) = 0L;
  b.controls_changed();
  EXPECT_EQ(shown(), std::vector<int>(4, 1));
}

// The buttons set only their requests; nothing else reacts before the next render.
TEST(Buttons, SetOnlyTheirRequests) {
  for (auto [press, restart, preroll] : {std::tuple{&Brumel::on_restart, 1, 0}, {&Brumel::on_preroll, 0, 1},
                                         {&Brumel::on_restart_preroll, 1, 1}}) {
    BoundEffect node;
    Brumel& b = *node.effect;
    b.random_cursor = 7;
    (b.*press)(&b.restart, 0.0);
    EXPECT_EQ((std::vector<int>{b.restart_requested, b.preroll_requested, b.random_cursor}),
              (std::vector<int>{restart, preroll, 7}));
  }
}

// Presses and releases at a crosshair's spot; true when the press took it.
bool press_takes(Brumel& effect, const CrosshairOverlayKv& handle) {
  effect.handle_hit = 0;
  effect.pointer(1, handle.screen_x, handle.screen_y);
  const bool taken = handle.grabbed != 0 && effect.handle_hit == 1;
  effect.pointer(3, handle.screen_x, handle.screen_y);
  return taken;
}

// Every crosshair at its own spot of a 1000x1000 view, the lines and the circle's grips
// far away: the birth and light handles take the pointer whatever the switches say,
// the vanishing point and the wind handles only with theirs on; two handles on one spot
// are grabbed together.
TEST(PointerRouting, HiddenHandlesIgnoreThePressAndEveryShownHandleUnderItTakesIt) {
  BoundEffect node;
  Brumel& effect = *node.effect;
  effect.view_width = effect.view_height = 1000;
  CrosshairOverlayKv* crosshairs[] = {&effect.birth_handle,       &effect.wind_source_handle,
                                      &effect.wind_target_handle, &effect.light_source_handle,
                                      &effect.light_target_handle, &effect.vanish_handle};
  float x = 100.0f;
  for (CrosshairOverlayKv* c : crosshairs) c->screen_x = x += 100.0f, c->screen_y = 500.0f;
  for (LineOverlayKv* line : {&effect.wind_line, &effect.light_line}) line->mid_x = line->mid_y = -5000.0f;
  for (int g = 0; g < 3; ++g) effect.birth_radius_handle.grip_x[g] = effect.birth_radius_handle.grip_y[g] = -5000.0f;
  effect.use_light.value = false;
  for (bool on : {false, true}) {
    effect.perspective.value = effect.use_wind.value = on;
    for (const CrosshairOverlayKv* h : {&effect.vanish_handle, &effect.wind_source_handle, &effect.wind_target_handle})
      EXPECT_EQ(press_takes(effect, *h), on);
    for (const CrosshairOverlayKv* h : {&effect.birth_handle, &effect.light_source_handle, &effect.light_target_handle})
      EXPECT_TRUE(press_takes(effect, *h));
  }
  effect.light_target_handle.screen_x = effect.birth_handle.screen_x;
  effect.pointer(1, effect.birth_handle.screen_x, effect.birth_handle.screen_y);
  EXPECT_EQ((std::vector<int>{effect.birth_handle.grabbed, effect.light_target_handle.grabbed,
                              effect.light_source_handle.grabbed}),
            (std::vector<int>{1, 1, 0}));
}

}  // namespace

}  // namespace brumel
