// The effect's overlay: what is drawn for which controls, and where, through the
// recording GL double.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "support/bound_effect.h"
#include "support/effect_fixtures.h"
#include "tests/support/gl_recorder.h"

namespace brumel {

namespace {

using gl_recorder::Segment;

std::string name_of(const gl_recorder::Colour& c) {
  const std::pair<const char*, gl_recorder::Colour> named[] = {
      {"white", {1, 1, 1, 1}}, {"blue", {0, 0, 1, 1}},  {"yellow", {1, 1, 0, 1}},
      {"red", {1, 0, 0, 1}},   {"green", {0, 1, 0, 1}}, {"cyan", {30000 / 65535.0f, 1, 1, 1}}};
  for (const auto& [name, n] : named)
    if (std::fabs(c.r - n.r) + std::fabs(c.g - n.g) + std::fabs(c.b - n.b) + std::fabs(c.a - n.a) < 1e-5) return name;
  return "other";
}

// The controls' defaults in Render mode with the birth point inside a 400 x 200 view,
// and the handles bound and coloured as the host adapter does.
class EffectOverlay : public ::testing::Test {
 protected:
  void SetUp() override {
    e.view_width = 400, e.view_height = 200;
    e.mode.value = 1;
    e.birth.value_x = 0.25, e.birth.value_y = 0.5;
    e.system->camera_distance = 100;
    e.system->vanish_x = e.system->vanish_y = 0.5f;
  }

  Particle* particle(float x, float y, float z, std::int32_t size) {
    return push_particle(e.system, Particle{x, y, z, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, size, size, nullptr});
  }

  // Segments in view pixels; the colour of each run of them, named once.
  std::vector<Segment> draw() {
    gl_recorder::clear();
    e.draw();
    EXPECT_EQ(gl_recorder::malformed(), "");
    return gl_recorder::segments(e.view_width * 0.5f, e.view_height * 0.5f);
  }
  static std::string runs(const std::vector<Segment>& segments) {
    std::string out, last;
    for (const Segment& s : segments) {
      const std::string n = name_of(s.colour);
      if (n != last) out += (out.empty() ? "" : " ") + n;
      last = n;
    }
    return out;
  }
  static std::vector<Segment> of_colour(const std::vector<Segment>& segments, const char* colour) {
    std::vector<Segment> out;
    std::copy_if(segments.begin(), segments.end(), std::back_inserter(out),
                 [&](const Segment& s) { return name_of(s.colour) == colour; });
    return out;
  }
  // How many segments of `colour` start at (x, y).
  static int starting_at(const std::vector<Segment>& segments, const char* colour, float x, float y) {
    const auto of = gl_recorder::ends(of_colour(segments, colour));
    return static_cast<int>(std::count_if(of.begin(), of.end(), [&](const auto& s) { return s[0] == x && s[1] == y; }));
  }

  BoundEffect node;
  Brumel& e = *node.effect;
};

// Render mode without perspective shows the birth and wind handles only, no particles:
// squares at the birth crosshair, the radius grip, the wind line's midpoint, source and
// target; the arrow head at the target opens back toward the source; the birth circle's
// radius is Birth Radius in half view widths. Hidden direction handles keep where they
// were last drawn.
TEST_F(EffectOverlay, RenderModeShowsTheBirthWindAndLightHandles) {
  particle(0.5f, 0.5f, 0, 40);
  const auto s = draw();
  EXPECT_EQ(runs(s), "white blue");
  std::vector<float> centres;
  for (const auto& loop : gl_recorder::loops())
    centres.insert(centres.end(), {loop.points[0].x + 204, loop.points[0].y + 104});
  EXPECT_EQ(centres, (std::vector<float>{100, 100, 160, 100, 100, 150, 0, 150, 200, 150}));
  EXPECT_EQ(starting_at(s, "blue", 200, 150), 2);
  EXPECT_EQ(std::pair(e.birth_radius_handle.rx, e.birth_radius_handle.radius_only), std::pair(0.3f, 1));
  EXPECT_GT(starting_at(s, "white", 160, 100), 0);

  e.use_light.value = true;
  EXPECT_EQ(runs(draw()), "white blue yellow");
  EXPECT_EQ(std::pair(e.light_target_handle.screen_y, e.wind_line.mid_x), std::pair(80.0f, 100.0f));
  e.wind_speed.value = 0;
  e.use_light.value = false;
  e.wind_source.value_x = 0.9;
  e.light_target.value_y = 0.9;
  EXPECT_EQ(runs(draw()), "white");
  EXPECT_EQ((std::vector<float>{e.wind_source_handle.screen_x, e.wind_line.mid_x, e.light_target_handle.screen_y}),
            (std::vector<float>{0.0f, 100.0f, 80.0f}));
}

// Everything on draws in the fixed order. The camera mark sits at (W - W x 100 x 0.001,
// H + 40) with the dashed view line to it from the vanishing point's height at depth
// 0 (40 pixels, dashes of 10); the red dashed line from the vanishing point (200, 100)
// ends at the birth point.
TEST_F(EffectOverlay, EverythingOnDrawsInTheFixedOrder) {
  e.mode.value = 2;
  e.perspective.value = true;
  e.use_light.value = true;
  particle(0.5f, 0.5f, 0, 40);
  const auto s = draw();
  EXPECT_EQ(runs(s), "green yellow cyan red white blue yellow");
  EXPECT_EQ(starting_at(s, "yellow", 370, 240), 1);
  const auto cyan = of_colour(s, "cyan");
  ASSERT_EQ(cyan.size(), 2u);
  EXPECT_EQ((std::vector<float>{cyan[0].from.x, cyan[0].to.x, cyan[1].to.x, cyan[1].to.y}),
            (std::vector<float>{390, 380, 360, 240}));
  EXPECT_EQ(starting_at(s, "red", 110, 100), 1);
}

// Wireframe: each particle in view at its level (a circle of D = size x 0.25 x (W x
// 0.0025) pixels, first point and closing segment at its right), none too small to
// draw; with Grow/Shrink at the envelope's level.
TEST_F(EffectOverlay, WireframeDrawsParticlesInRangeAtTheirLevel) {
  e.mode.value = 2;
  particle(0.5f, 0.5f, 0, 40);    // D = 10
  particle(1.3f, 0.5f, 0, 40);    // out of range
  particle(0.25f, 0.25f, 0, 12);  // D = 3: too small to draw
  Particle* growing = particle(0.75f, 0.5f, 0, 40);
  growing->min_size = 20;
  growing->age = 25;
  growing->lifetime = 100;
  e.system->grow_in = 0.5f;  // a quarter of its life spent: half grown
  e.system->shrink_start = 1.0f;
  auto s = draw();
  EXPECT_EQ((std::vector<int>{starting_at(s, "green", 205, 100), starting_at(s, "green", 305, 100),
                              starting_at(s, "green", 525, 100), static_cast<int>(of_colour(s, "green").size())}),
            (std::vector<int>{2, 2, 0, 22}));
  e.system->grow_shrink = 1;
  EXPECT_EQ(starting_at(draw(), "green", 303.75, 100), 2);  // level 30: D = 7.5
}

// With Camera Distance 100, halfway to the camera k = 2: twice as far from the
// vanishing point, twice the level, and levels stop at 160. A particle at or behind the
// camera shows only in the side view (x = W - z x 0.001 x W, y = prev_y x 80 + H,
// D = 40 x 0.25 x 5 x 0.2 + 0.5 truncated to 10).
TEST_F(EffectOverlay, PerspectiveScalesFromTheVanishingPointByDepth) {
  e.mode.value = 2;
  e.perspective.value = true;
  particle(0.4f, 0.5f, 50, 20);   // at x 0.3, level 40: D = 10
  particle(0.5f, 0.5f, 50, 100);  // level 160: D = 40
  particle(0.9f, 0.5f, 50, 20);   // at x 1.3: out of view
  auto s = draw();
  EXPECT_EQ((std::vector<int>{starting_at(s, "green", 125, 100), starting_at(s, "green", 220, 100),
                              starting_at(s, "green", 325, 100)}),
            (std::vector<int>{2, 2, 0}));

  brumel::restart(e.system);
  e.view_width = 2000, e.view_height = 1000;
  particle(0.5f, 0.25f, 100, 40);  // at the camera
  particle(0.5f, 0.5f, 150, 40);   // behind it
  particle(0.5f, 0.75f, 0, 40);    // in front: in both views (D = 50)
  s = draw();
  EXPECT_EQ((std::vector<int>{starting_at(s, "yellow", 1805, 1020), starting_at(s, "yellow", 1705, 1040),
                              starting_at(s, "yellow", 2005, 1060), starting_at(s, "green", 1025, 750),
                              static_cast<int>(of_colour(s, "green").size())}),
            (std::vector<int>{2, 0, 2, 2, 16}));
}

}  // namespace

}  // namespace brumel
