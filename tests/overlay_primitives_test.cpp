// The overlay primitives, checked vertex by vertex through the recording GL double.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "framework/overlay_kv.h"
#include "tests/support/gl_recorder.h"

namespace {

using gl_recorder::Point;
using gl_recorder::Segment;

constexpr double kPi = 3.141592653589793;

class OverlayPrimitives : public ::testing::Test {
 protected:
  void SetUp() override {
    view.view_width = 200;
    view.view_height = 100;
    gl_recorder::clear();
  }

  // Back from the centred GL vertices to view pixels.
  static Point px(Point p) { return {p.x + 100.0f, p.y + 50.0f}; }
  static std::vector<Segment> segments() {
    std::vector<Segment> out = gl_recorder::segments();
    for (Segment& s : out) s = {px(s.from), px(s.to), s.colour};
    return out;
  }

  OverlayKv view;
};

// Exact ends: the primitives' arithmetic is all in float.
void expect_segment(const Segment& s, float x0, float y0, float x1, float y1) {
  EXPECT_EQ(s.from.x, x0);
  EXPECT_EQ(s.from.y, y0);
  EXPECT_EQ(s.to.x, x1);
  EXPECT_EQ(s.to.y, y1);
}

double length(const Segment& s) { return std::hypot(s.to.x - s.from.x, s.to.y - s.from.y); }
double degrees(const Segment& s) {
  const double a = std::atan2(s.to.y - s.from.y, s.to.x - s.from.x) * 180.0 / kPi;
  return a < 0 ? a + 360.0 : a;
}

TEST_F(OverlayPrimitives, VerticesAreCentredAndEveryGroupIsAntialiased) {
  view.zoom = 2.0f;  // the square stays 8 pixels
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
  EXPECT_FLOAT_EQ(colour.v[0], 1.0f);
  EXPECT_EQ(colour.v[1], 0.0f);
  expect_segment(gl_recorder::segments().front(), -90, -30, -70, -10);
  const auto square = gl_recorder::loops().at(0).points;
  ASSERT_EQ(square.size(), 4u);
  const Point corners[4] = {{46, 56}, {54, 56}, {54, 64}, {46, 64}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(px(square[i]).x, corners[i].x) << i;
    EXPECT_EQ(px(square[i]).y, corners[i].y) << i;
  }
}

TEST_F(OverlayPrimitives, DashedLineStartsWithAGapAndStopsAtItsEnd) {
  view.draw_dashed(5, 7, 30, 7, 10);  // 25 pixels: gap 0..10, dash 10..20, gap 20..25
  auto s = segments();
  ASSERT_EQ(s.size(), 1u);
  EXPECT_FLOAT_EQ(s[0].from.x, 15.0f);
  EXPECT_FLOAT_EQ(s[0].to.x, 25.0f);
  EXPECT_EQ(s[0].from.y, 7.0f);

  gl_recorder::clear();
  view.draw_dashed(5, 7, 10, 7, 10);  // 5 pixels: half a gap
  view.draw_dashed(5, 7, 5, 7, 10);
  EXPECT_TRUE(gl_recorder::calls().empty());

  // 35 pixels: the second dash is cut at the end point, in either direction.
  view.draw_dashed(5, 7, 40, 7, 10);
  view.draw_dashed(40, 40, 40 - 21, 40 - 28, 10);
  s = segments();
  ASSERT_EQ(s.size(), 4u);
  EXPECT_FLOAT_EQ(s[1].from.x, 35.0f);
  EXPECT_EQ(s[1].to.x, 40.0f);
  EXPECT_NEAR(s[3].from.x, 40 - 18.0, 1e-4);
  EXPECT_NEAR(s[3].from.y, 40 - 24.0, 1e-4);
  EXPECT_EQ(s[3].to.y, 12.0f);
}

// A line to a point far off the view (a handle dragged away) draws only the
// dashes near the view, in bounded time: the same dashes the whole line has there.
TEST_F(OverlayPrimitives, DashedLineFarOffTheViewIsClippedKeepingItsDashes) {
  view.view_width = 100;
  view.view_height = 50;
  view.draw_dashed(5, 7, 445, 7, 10);  // inside the view and its band: walked whole
  const auto near = segments();
  gl_recorder::clear();
  view.draw_dashed(5, 7, 4e9f, 7, 10);
  const auto far = segments();
  // The band reaches 356 pixels right of the view: dashes up to about x = 456.
  ASSERT_GT(far.size(), 20u);
  ASSERT_LT(far.size(), 25u);
  for (std::size_t i = 0; i < 20; ++i) {
    EXPECT_NEAR(far[i].from.x, near[i].from.x, 1e-3) << i;
    EXPECT_NEAR(far[i].to.x, near[i].to.x, 1e-3) << i;
  }
  gl_recorder::clear();
  view.draw_dashed(-3e9f, -3e9f, 4e9f, 5e9f, 10);  // passes nowhere near: nothing
  view.draw_dashed(5, 7, std::numeric_limits<float>::infinity(), 7, 10);
  EXPECT_TRUE(segments().empty());
}

TEST_F(OverlayPrimitives, EllipseSizeLimitJoinsAndClosure) {
  view.draw_ellipse(100, 50, 4, 40, 0, 0, 10, 0, 360);
  view.draw_ellipse(100, 50, 40, 4.9f, 0, 0, 10, 0, 360);
  EXPECT_TRUE(gl_recorder::calls().empty());

  // 5 x 5 in steps of 36 degrees: 11 points, 10 joins and the closing segment,
  // which starts at the point of angle 0.
  view.draw_ellipse(100, 50, 5, 5, 0, 0, 10, 0, 360);
  auto s = segments();
  ASSERT_EQ(s.size(), 11u);
  EXPECT_EQ(s[0].from.x, 102.5f);
  EXPECT_EQ(s[10].from.x, s[0].from.x);
  EXPECT_EQ(s[10].to.x, s[9].to.x);

  gl_recorder::clear();
  view.draw_ellipse(100, 50, 5, 5, 0, 1, 10, 0, 360);  // dashed: joins into points 2, 4, ...
  s = segments();
  EXPECT_EQ(s.size(), 5u + 1u);
  EXPECT_EQ(s[0].from.x, 102.5f);

  gl_recorder::clear();
  view.draw_ellipse(100, 50, 5, 5, 0, 0, 10, 0, 180);  // an open arc is not closed
  s = segments();
  ASSERT_EQ(s.size(), 5u);
  EXPECT_NEAR(s.back().to.x, 97.5, 1e-5);
}

TEST_F(OverlayPrimitives, EllipsePointsLieOnTheRotatedOutline) {
  // 400 x 200 pixels turned by 90 degrees: the long axis runs along y.
  view.draw_ellipse(100, 50, 400, 200, 90, 0, 10, 0, 360);
  const auto s = segments();
  const double step = 360.0 / (400 * kPi / 10);  // about 10 pixels of outline a step
  EXPECT_EQ(s.size(), static_cast<std::size_t>(360.0 / step) + 1);
  EXPECT_NEAR(s[0].from.x, 100.0, 1e-4);
  EXPECT_NEAR(s[0].from.y, 250.0, 1e-4);
  for (const Segment& g : s) {
    const double u = (g.to.y - 50.0) / 200.0;
    const double v = (g.to.x - 100.0) / 100.0;
    EXPECT_NEAR(u * u + v * v, 1.0, 1e-5);
  }
}

TEST_F(OverlayPrimitives, CrosshairArmsAndTicksShrinkWithZoom) {
  view.zoom = 2.0f;
  view.draw_crosshair_mark(100, 50, 1);
  const auto s = segments();
  ASSERT_EQ(s.size(), 8u);
  const float expected[8][4] = {{105, 50, 112.5f, 50},
                                {95, 50, 87.5f, 50},
                                {100, 55, 100, 62.5f},
                                {100, 45, 100, 37.5f},
                                {102.5f, 52.5f, 106.25f, 56.25f},
                                {97.5f, 52.5f, 93.75f, 56.25f},
                                {102.5f, 47.5f, 106.25f, 43.75f},
                                {97.5f, 47.5f, 93.75f, 43.75f}};
  for (int i = 0; i < 8; ++i) {
    SCOPED_TRACE(i);
    expect_segment(s[i], expected[i][0], expected[i][1], expected[i][2], expected[i][3]);
  }
  gl_recorder::clear();
  view.draw_crosshair_mark(100, 50, 0);
  EXPECT_EQ(segments().size(), 4u);
}

TEST_F(OverlayPrimitives, ArrowHeadStrokesFlankTheTail) {
  view.zoom = 2.0f;
  view.draw_arrow_head(100, 50, 100, 10);  // tail straight above: direction 270
  auto s = segments();
  ASSERT_EQ(s.size(), 2u);
  EXPECT_NEAR(degrees(s[0]), 290.0, 1e-4);
  EXPECT_NEAR(length(s[0]), 20.0, 1e-4);
  EXPECT_EQ(s[0].from.y, 50.0f);

  view.zoom = 1.0f;
  const float tails[][2] = {{30, 0},  {30, 20},   {0, 20},  {-30, 20},
                            {-30, 0}, {-30, -20}, {0, -20}, {30, -20}};
  for (const auto& t : tails) {
    gl_recorder::clear();
    view.draw_arrow_head(100, 50, 100 + t[0], 50 + t[1]);
    s = segments();
    ASSERT_EQ(s.size(), 2u);
    const double toward = std::atan2(t[1], t[0]) * 180.0 / kPi;
    EXPECT_NEAR(std::remainder(degrees(s[0]) - toward, 360.0), 20.0, 1e-4) << t[0] << "," << t[1];
    EXPECT_NEAR(std::remainder(degrees(s[1]) - toward, 360.0), -20.0, 1e-4) << t[0] << "," << t[1];
    EXPECT_NEAR(length(s[1]), 40.0, 1e-4);
  }
}

}  // namespace
