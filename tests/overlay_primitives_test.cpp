// The overlay primitives, checked vertex by vertex through the recording GL double.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "framework/overlay_kv.h"
#include "tests/support/gl_recorder.h"

namespace {

using gl_recorder::Segment;

constexpr double kPi = 3.141592653589793;

// Segment ends in view pixels (back from the centred GL vertices), as x0, y0, x1, y1.
using Ends = std::vector<float>;

class OverlayPrimitives : public ::testing::Test {
 protected:
  void SetUp() override {
    view.view_width = 200;
    view.view_height = 100;
    gl_recorder::clear();
  }
  std::vector<Segment> segments() const {
    std::vector<Segment> out = gl_recorder::segments();
    for (Segment& s : out) {
      for (gl_recorder::Point* p : {&s.from, &s.to}) p->x += view.view_width / 2, p->y += view.view_height / 2;
    }
    gl_recorder::clear();
    return out;
  }
  static Ends ends(const Segment& s) { return {s.from.x, s.from.y, s.to.x, s.to.y}; }
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
  EXPECT_EQ(ends(gl_recorder::segments().front()), (Ends{-90, -30, -70, -10}));
  const auto loops = gl_recorder::loops();
  std::vector<float> square;
  for (const auto& p : loops.at(0).points) square.insert(square.end(), {p.x + 100, p.y + 50});
  EXPECT_EQ(square, (std::vector<float>{46, 56, 54, 56, 54, 64, 46, 64}));
}

// A gap first, then dash and gap in turn, the last dash cut at the end point, in
// either direction; nothing for half a gap or no length.
TEST_F(OverlayPrimitives, DashedLineStartsWithAGapAndStopsAtItsEnd) {
  view.draw_dashed(5, 7, 30, 7, 10);  // 25 pixels: gap 0..10, dash 10..20, gap 20..25
  auto s = segments();
  ASSERT_EQ(s.size(), 1u);
  EXPECT_EQ(ends(s[0]), (Ends{15, 7, 25, 7}));
  view.draw_dashed(5, 7, 10, 7, 10);
  view.draw_dashed(5, 7, 5, 7, 10);
  EXPECT_TRUE(gl_recorder::calls().empty());
  view.draw_dashed(5, 7, 40, 7, 10);  // 35 pixels
  view.draw_dashed(40, 40, 40 - 21, 40 - 28, 10);
  s = segments();
  ASSERT_EQ(s.size(), 4u);
  EXPECT_EQ(ends(s[1]), (Ends{35, 7, 40, 7}));
  EXPECT_NEAR(s[3].from.x, 40 - 18.0, 1e-4);
  EXPECT_NEAR(s[3].from.y, 40 - 24.0, 1e-4);
  EXPECT_EQ(s[3].to.y, 12.0f);
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
// closing segment from the point of angle 0; dashed, joins into points 2, 4, ...; an
// open arc is not closed; points lie on the rotated outline.
TEST_F(OverlayPrimitives, EllipseSizeLimitJoinsClosureAndOutline) {
  view.draw_ellipse(100, 50, 4, 40, 0, 0, 10, 0, 360);
  view.draw_ellipse(100, 50, 40, 4.9f, 0, 0, 10, 0, 360);
  EXPECT_TRUE(gl_recorder::calls().empty());
  view.draw_ellipse(100, 50, 5, 5, 0, 0, 10, 0, 360);
  auto s = segments();
  ASSERT_EQ(s.size(), 11u);
  EXPECT_EQ(std::vector<float>({s[0].from.x, s[10].from.x, s[10].to.x}),
            std::vector<float>({102.5f, 102.5f, s[9].to.x}));
  view.draw_ellipse(100, 50, 5, 5, 0, 1, 10, 0, 360);
  s = segments();
  EXPECT_EQ(s.size(), 6u);
  EXPECT_EQ(s[0].from.x, 102.5f);
  view.draw_ellipse(100, 50, 5, 5, 0, 0, 10, 0, 180);
  s = segments();
  ASSERT_EQ(s.size(), 5u);
  EXPECT_NEAR(s.back().to.x, 97.5, 1e-5);

  // 400 x 200 pixels turned by 90 degrees: the long axis runs along y.
  view.draw_ellipse(100, 50, 400, 200, 90, 0, 10, 0, 360);
  s = segments();
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
  const Ends want[8] = {{105, 50, 112.5f, 50},        {95, 50, 87.5f, 50},         {100, 55, 100, 62.5f},
                        {100, 45, 100, 37.5f},        {102.5f, 52.5f, 106.25f, 56.25f}, {97.5f, 52.5f, 93.75f, 56.25f},
                        {102.5f, 47.5f, 106.25f, 43.75f}, {97.5f, 47.5f, 93.75f, 43.75f}};
  const auto s = segments();
  ASSERT_EQ(s.size(), 8u);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(ends(s[i]), want[i]) << i;
  view.draw_crosshair_mark(100, 50, 0);
  EXPECT_EQ(segments().size(), 4u);
}

// Strokes of 40 / zoom pixels from the head, 20 degrees either side of the tail's
// direction, the +20 degree stroke first, whichever way the tail lies.
TEST_F(OverlayPrimitives, ArrowHeadStrokesFlankTheTail) {
  view.zoom = 2.0f;
  view.draw_arrow_head(100, 50, 100, 10);  // tail straight above: direction 270
  auto s = segments();
  ASSERT_EQ(s.size(), 2u);
  EXPECT_NEAR(std::remainder(degrees(s[0]) - 290.0, 360.0), 0.0, 1e-4);
  EXPECT_NEAR(length(s[0]), 20.0, 1e-4);
  EXPECT_EQ(std::pair(s[0].from.x, s[0].from.y), std::pair(100.0f, 50.0f));
  view.zoom = 1.0f;
  for (const auto& [tx, ty] :
       {std::pair{30, 0}, {30, 20}, {0, 20}, {-30, 20}, {-30, 0}, {-30, -20}, {0, -20}, {30, -20}}) {
    view.draw_arrow_head(100, 50, 100 + tx, 50 + ty);
    s = segments();
    ASSERT_EQ(s.size(), 2u);
    const double toward = std::atan2(ty, tx) * 180.0 / kPi;
    EXPECT_NEAR(std::remainder(degrees(s[0]) - toward, 360.0), 20.0, 1e-4) << tx << "," << ty;
    EXPECT_NEAR(std::remainder(degrees(s[1]) - toward, 360.0), -20.0, 1e-4) << tx << "," << ty;
    EXPECT_NEAR(length(s[1]), 40.0, 1e-4);
  }
}

}  // namespace
