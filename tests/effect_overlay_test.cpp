// The effect's overlay: what is drawn for which controls, and where, through the
// recording GL double.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "support/bound_effect.h"
#include "tests/support/gl_recorder.h"

namespace {

using gl_recorder::Segment;

struct Named {
  const char* name;
  int r, g, b;
};
constexpr Named kColours[] = {{"white", 65535, 65535, 65535}, {"blue", 0, 0, 65535},
                              {"yellow", 65535, 65535, 0},    {"red", 65535, 0, 0},
                              {"green", 0, 65535, 0},         {"cyan", 30000, 65535, 65535}};

std::string name_of(const gl_recorder::Colour& c) {
  for (const Named& n : kColours)
    if (std::fabs(c.r - n.r / 65535.0) < 1e-6 && std::fabs(c.g - n.g / 65535.0) < 1e-6 &&
        std::fabs(c.b - n.b / 65535.0) < 1e-6 && std::fabs(c.a - 1.0) < 1e-6)
      return n.name;
  return "other";
}

class EffectOverlay : public ::testing::Test {
 protected:
  void SetUp() override {
    view(400, 200);
    // The controls' defaults in Render mode, with the birth point inside the view.
    node.fetch_all();
    e.mode.value = 1;
    e.birth.value_x = 0.25;
    e.birth.value_y = 0.5;
    e.system->camera_distance = 100;
    e.system->vanish_x = e.system->vanish_y = 0.5f;
    e.system->grow_shrink = 0;
  }

  void view(int w, int h) {
    e.view_width = w;
    e.view_height = h;
  }

  // A live particle appended at the end of the live list.
  Particle* particle(float x, float y, float z, std::int32_t size) {
    Particle* p = take_particle(e.system);
    *p = Particle{x, y, z, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, size, size, nullptr};
    Particle** tail = &e.system->live_list;
    while (*tail) tail = &(*tail)->next;
    *tail = p;
    e.system->live_count += 1;
    return p;
  }

  // Segments in view pixels.
  std::vector<Segment> draw() {
    gl_recorder::clear();
    e.draw();
    EXPECT_EQ(gl_recorder::malformed(), "");
    std::vector<Segment> out = gl_recorder::segments();
    for (Segment& s : out)
      for (gl_recorder::Point* p : {&s.from, &s.to}) {
        p->x += e.view_width * 0.5f;
        p->y += e.view_height * 0.5f;
      }
    return out;
  }

  // The colours of the segments in order, each run of one colour named once.
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
    for (const Segment& s : segments)
      if (name_of(s.colour) == colour) out.push_back(s);
    return out;
  }

  static int starting_at(const std::vector<Segment>& segments, const char* colour, double x,
                         double y) {
    return static_cast<int>(std::count_if(segments.begin(), segments.end(), [&](const Segment& s) {
      return name_of(s.colour) == colour && std::fabs(s.from.x - x) < 1e-3 &&
             std::fabs(s.from.y - y) < 1e-3;
    }));
  }

  BoundEffect node;  // the handles bound and coloured as the host adapter does
  Brumel& e = *node.effect;
};

TEST_F(EffectOverlay, RenderModeWithoutPerspectiveShowsTheBirthAndWindHandlesOnly) {
  particle(0.5f, 0.5f, 0, 40);
  const auto s = draw();
  EXPECT_EQ(runs(s), "white blue");
  // Squares: birth crosshair, the radius grip, the wind line's midpoint, source, target.
  const auto loops = gl_recorder::loops();
  ASSERT_EQ(loops.size(), 5u);
  const float centres[5][2] = {{100, 100}, {160, 100}, {100, 150}, {0, 150}, {200, 150}};
  for (int i = 0; i < 5; ++i) {
    EXPECT_FLOAT_EQ(loops[i].points[0].x + 200 + 4, centres[i][0]) << i;
    EXPECT_FLOAT_EQ(loops[i].points[0].y + 100 + 4, centres[i][1]) << i;
  }
  // The arrow head at the target opens back toward the source.
  EXPECT_EQ(starting_at(s, "blue", 200, 150), 2);
  // The birth circle: Birth Radius in half view widths, ry scaled by the aspect.
  EXPECT_EQ(e.birth_radius_handle.rx, 0.3f);
  EXPECT_EQ(e.birth_radius_handle.radius_only, 1);
  EXPECT_GT(starting_at(s, "white", 160, 100), 0);
}

TEST_F(EffectOverlay, HiddenDirectionHandlesKeepWhereTheyWereLastDrawn) {
  e.use_light.value = true;
  EXPECT_EQ(runs(draw()), "white blue yellow");
  EXPECT_FLOAT_EQ(e.light_target_handle.screen_y, 80.0f);
  EXPECT_FLOAT_EQ(e.wind_line.mid_x, 100.0f);

  e.wind_speed.value = 0;
  e.use_light.value = false;
  e.wind_source.value_x = 0.9;
  e.light_target.value_y = 0.9;
  EXPECT_EQ(runs(draw()), "white");
  EXPECT_FLOAT_EQ(e.wind_source_handle.screen_x, 0.0f);
  EXPECT_FLOAT_EQ(e.wind_line.mid_x, 100.0f);
  EXPECT_FLOAT_EQ(e.light_target_handle.screen_y, 80.0f);
}

TEST_F(EffectOverlay, EverythingOnDrawsInTheFixedOrder) {
  e.mode.value = 2;
  e.perspective.value = true;
  e.use_light.value = true;
  particle(0.5f, 0.5f, 0, 40);
  const auto s = draw();
  EXPECT_EQ(runs(s), "green yellow cyan red white blue yellow");
  // The camera mark at (W - W x 100 x 0.001, H + 40) and the dashed view line to it
  // from the vanishing point's height at depth 0: 40 pixels, dashes of 10.
  EXPECT_EQ(starting_at(s, "yellow", 370, 240), 1);
  const auto cyan = of_colour(s, "cyan");
  ASSERT_EQ(cyan.size(), 2u);
  EXPECT_FLOAT_EQ(cyan[0].from.x, 390.0f);
  EXPECT_FLOAT_EQ(cyan[0].to.x, 380.0f);
  EXPECT_FLOAT_EQ(cyan[1].to.x, 360.0f);
  EXPECT_FLOAT_EQ(cyan[1].to.y, 240.0f);
  // The red dashed line from the vanishing point (200, 100) ends at the birth point.
  EXPECT_EQ(starting_at(s, "red", 110, 100), 1);
}

TEST_F(EffectOverlay, WireframeDrawsParticlesInRangeAtTheirLevel) {
  e.mode.value = 2;
  particle(0.5f, 0.5f, 0, 40);    // D = 40 x 0.25 x (400 x 0.0025) = 10
  particle(1.3f, 0.5f, 0, 40);    // out of range
  particle(0.25f, 0.25f, 0, 12);  // D = 3: too small to draw
  Particle* growing = particle(0.75f, 0.5f, 0, 40);
  growing->min_size = 20;
  growing->age = 25;
  growing->lifetime = 100;
  e.system->grow_in = 0.5f;  // a quarter of its life spent: half grown
  e.system->shrink_start = 1.0f;

  auto s = draw();
  EXPECT_EQ(starting_at(s, "green", 205, 100), 2);  // first point and closing segment
  EXPECT_EQ(starting_at(s, "green", 305, 100), 2);  // still size 40 without Grow/Shrink
  EXPECT_EQ(starting_at(s, "green", 525, 100), 0);
  EXPECT_EQ(of_colour(s, "green").size(), 22u);

  e.system->grow_shrink = 1;
  s = draw();
  EXPECT_EQ(starting_at(s, "green", 303.75, 100), 2);  // level 30: D = 7.5

  e.mode.value = 1;
  EXPECT_EQ(runs(draw()), "white blue");
}

TEST_F(EffectOverlay, PerspectiveScalesFromTheVanishingPointByDepth) {
  e.mode.value = 2;
  e.perspective.value = true;
  // With Camera Distance 100, halfway to the camera k = 2: twice as far from the
  // vanishing point, twice the level, and levels stop at 160.
  particle(0.4f, 0.5f, 50, 20);   // at x 0.3, level 40: D = 10
  particle(0.5f, 0.5f, 50, 100);  // level 160: D = 40
  particle(0.9f, 0.5f, 50, 20);   // at x 1.3: out of view
  const auto s = draw();
  EXPECT_EQ(starting_at(s, "green", 125, 100), 2);
  EXPECT_EQ(starting_at(s, "green", 220, 100), 2);
  EXPECT_EQ(starting_at(s, "green", 325, 100), 0);
}

TEST_F(EffectOverlay, ParticleAtTheCameraShowsOnlyInTheSideView) {
  view(2000, 1000);
  e.mode.value = 2;
  e.perspective.value = true;
  particle(0.5f, 0.25f, 100, 40);  // at the camera
  particle(0.5f, 0.5f, 150, 40);   // behind it
  particle(0.5f, 0.75f, 0, 40);    // in front: in both views
  const auto s = draw();
  // Side view: x = W - z x 0.001 x W, y = prev_y x 80 + H, D = 40 x 0.25 x 5 x 0.2 + 0.5
  // truncated to 10.
  EXPECT_EQ(starting_at(s, "yellow", 1805, 1020), 2);
  EXPECT_EQ(starting_at(s, "yellow", 1705, 1040), 0);
  EXPECT_EQ(starting_at(s, "yellow", 2005, 1060), 2);
  // Wireframe: only the particle in front (D = 50).
  EXPECT_EQ(starting_at(s, "green", 1025, 750), 2);
  EXPECT_EQ(of_colour(s, "green").size(), 16u);
}

}  // namespace
