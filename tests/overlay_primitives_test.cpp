// The overlay primitives, checked vertex by vertex through the recording GL double.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>
#include <vector>

#include "framework/overlay_kv.h"
#include "tests/support/gl_recorder.h"

namespace brumel {

namespace {

using gl_recorder::Ends;
using gl_recorder::Segment;
using EndsList = std::vector<Ends>;

constexpr double kPi = 3.141592653589793;

class OverlayPrimitives : public ::testing::Test {
 protected:
  void SetUp() override {
    view.view_width = 200;
    view.view_height = 100;
    gl_recorder::clear();
  }
  // The segments drawn since the last call, in view pixels.
  std::vector<Segment> segments() const {
    std::vector<Segment> out = gl_recorder::segments(view.view_width / 2, view.view_height / 2);
    gl_recorder::clear();
    return out;
  }
  EndsList ends() const { return gl_recorder::ends(segments()); }
  OverlayKv view;
};

double length(const Segment& s) { return std::hypot(s.to.x - s.from.x, s.to.y - s.from.y); }
double degrees(const Segment& s) { return std::atan2(s.to.y - s.from.y, s.to.x - s.from.x) * 180.0 / kPi; }

// The colour in single precision, vertices centred, every group antialiased; the
// square stays 8 pixels at any zoom.
TEST_F(OverlayPrimitives, VerticesAreCentredAndEveryGroupIsAntialiased) {
  view.zoom = 2.0f;
  view.set_colour(65535, 0, 0, 65535);
  view.draw_segment(10, 20, 30, 40);
  view.draw_square(50, 60);
  view.draw_dashed(0, 0, 100, 0, 10);
  view.draw_ellipse(100, 50, 40, 20, 30, 1, 4, 0, 360);
  view.draw_crosshair_mark(100, 50, 1);
  view.draw_arrow_head(20, 20, 80, 60);
  EXPECT_EQ(gl_recorder::malformed(), "");
  const auto& colour = gl_recorder::calls().front();
  ASSERT_EQ(colour.kind, gl_recorder::Kind::Colour);
  EXPECT_EQ(std::vector<float>(colour.v, colour.v + 4), (std::vector<float>{1.0f, 0.0f, 0.0f, 1.0f}));
  EXPECT_EQ(gl_recorder::ends(gl_recorder::segments()).front(), (Ends{-90, -30, -70, -10}));
  const auto loops = gl_recorder::loops(100, 50);
  std::vector<float> square;
  for (const auto& p : loops.at(0).points) square.insert(square.end(), {p.x, p.y});
  EXPECT_EQ(square, (std::vector<float>{46, 56, 54, 56, 54, 64, 46, 64}));
}

// A gap first, then dash and gap in turn, the last dash cut at the end point, in
// either direction; nothing for half a gap or no length.
TEST_F(OverlayPrimitives, DashedLineStartsWithAGapAndStopsAtItsEnd) {
  const std::pair<Ends, EndsList> cases[] = {
      {{5, 7, 30, 7}, {{15, 7, 25, 7}}},  // 25 pixels: gap 0..10, dash 10..20, gap 20..25
      {{5, 7, 40, 7}, {{15, 7, 25, 7}, {35, 7, 40, 7}}},
      {{40, 40, 19, 12}, {{34, 32, 28, 24}, {22, 16, 19, 12}}},  // 35 pixels up and left
      {{5, 7, 10, 7}, {}},
      {{5, 7, 5, 7}, {}}};
  for (const auto& [line, want] : cases) {
    view.draw_dashed(line[0], line[1], line[2], line[3], 10);
    EXPECT_EQ(ends(), want) << line[0] << "," << line[1] << " to " << line[2] << "," << line[3];
  }
}

// A line to a point far off the view (a handle dragged away) draws only the dashes near
// the view, in bounded time: the same dashes the whole line has there.
TEST_F(OverlayPrimitives, DashedLineFarOffTheViewIsClippedKeepingItsDashes) {
  view.view_width = 100;
  view.view_height = 50;
  view.draw_dashed(5, 7, 445, 7, 10);  // inside the view and its band: walked whole
  const auto near = segments();
  view.draw_dashed(5, 7, 4e9f, 7, 10);
  const auto far = segments();
  // The band reaches 356 pixels right of the view: dashes up to about x = 456.
  ASSERT_TRUE(far.size() > 20u && far.size() < 25u) << far.size();
  for (std::size_t i = 0; i < 20; ++i) {
    EXPECT_NEAR(far[i].from.x, near[i].from.x, 1e-3) << i;
    EXPECT_NEAR(far[i].to.x, near[i].to.x, 1e-3) << i;
  }
  view.draw_dashed(-3e9f, -3e9f, 4e9f, 5e9f, 10);  // passes nowhere near: nothing
  view.draw_dashed(5, 7, std::numeric_limits<float>::infinity(), 7, 10);
  EXPECT_TRUE(segments().empty());
}

// Nothing below 5 pixels; 5 x 5 in steps of 36 degrees: 11 points, 10 joins and the
// closing segment; dashed, the joins into points 1, 3, ... and the closing one; an open
// arc is not closed; points lie on the rotated outline.
TEST_F(OverlayPrimitives, EllipseSizeLimitJoinsClosureAndOutline) {
  const std::tuple<float, float, int, float, std::size_t, float> cases[] = {
      {4, 40, 0, 360, 0, 0}, {40, 4.9f, 0, 360, 0, 0}, {5, 5, 0, 360, 11, 102.5f}, {5, 5, 1, 360, 6, 102.5f},
      {5, 5, 0, 180, 5, 97.5f}};
  for (const auto& [w, h, dashed, end, count, last_x] : cases) {
    view.draw_ellipse(100, 50, w, h, 0, dashed, 10, 0, end);
    const auto s = segments();
    ASSERT_EQ(s.size(), count) << w << "x" << h << " dashed " << dashed << " to " << end;
    if (count == 0) continue;
    EXPECT_EQ(s[0].from.x, 102.5f);
    EXPECT_NEAR(s.back().to.x, last_x, 1e-5) << count;
  }

  // 400 x 200 pixels turned by 90 degrees: the long axis runs along y.
  view.draw_ellipse(100, 50, 400, 200, 90, 0, 10, 0, 360);
  const auto s = segments();
  const double step = 360.0 / (400 * kPi / 10);  // about 10 pixels of outline a step
  EXPECT_EQ(s.size(), static_cast<std::size_t>(360.0 / step) + 1);
  EXPECT_NEAR(s[0].from.x, 100.0, 1e-4);
  EXPECT_NEAR(s[0].from.y, 250.0, 1e-4);
  for (const Segment& g : s)
    EXPECT_NEAR(std::pow((g.to.y - 50.0) / 200.0, 2) + std::pow((g.to.x - 100.0) / 100.0, 2), 1.0, 1e-5);
}

TEST_F(OverlayPrimitives, CrosshairArmsAndTicksShrinkWithZoom) {
  view.zoom = 2.0f;
  view.draw_crosshair_mark(100, 50, 1);
  EXPECT_EQ(ends(), (EndsList{{105, 50, 112.5f, 50}, {95, 50, 87.5f, 50}, {100, 55, 100, 62.5f},
                              {100, 45, 100, 37.5f}, {102.5f, 52.5f, 106.25f, 56.25f},
                              {97.5f, 52.5f, 93.75f, 56.25f}, {102.5f, 47.5f, 106.25f, 43.75f},
                              {97.5f, 47.5f, 93.75f, 43.75f}}));
  view.draw_crosshair_mark(100, 50, 0);
  EXPECT_EQ(ends().size(), 4u);
}

// Strokes of 40 / zoom pixels from the head, 20 degrees either side of the tail's
// direction, the +20 degree stroke first, whichever way the tail lies.
TEST_F(OverlayPrimitives, ArrowHeadStrokesFlankTheTail) {
  for (const auto& [zoom, tx, ty] : {std::tuple{2.0f, 0, -40}, {1.0f, 30, 0}, {1.0f, 30, 20}, {1.0f, 0, 20},
                                     {1.0f, -30, 20}, {1.0f, -30, 0}, {1.0f, -30, -20}, {1.0f, 0, -20},
                                     {1.0f, 30, -20}}) {
    view.zoom = zoom;
    view.draw_arrow_head(100, 50, 100 + tx, 50 + ty);
    const auto s = segments();
    ASSERT_EQ(s.size(), 2u);
    const double toward = std::atan2(ty, tx) * 180.0 / kPi;
    for (int k : {0, 1}) {
      EXPECT_NEAR(std::remainder(degrees(s[k]) - toward, 360.0), k ? -20.0 : 20.0, 1e-4) << tx << "," << ty;
      EXPECT_NEAR(length(s[k]), 40.0 / zoom, 1e-4);
      EXPECT_EQ(std::pair(s[k].from.x, s[k].from.y), std::pair(100.0f, 50.0f));
    }
  }
}

}  // namespace

}  // namespace brumel
