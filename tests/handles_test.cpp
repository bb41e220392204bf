// On-screen handles bound to real host widgets: hits, drags, what they write and
// what they report to the node.
#include <gtest/gtest.h>

#include <vector>

#include "assim/fx_node.h"
#include "framework/control_kv.h"
#include "framework/overlay_control_kv.h"
#include "framework/overlay_kv.h"
#include "tests/support/gl_recorder.h"

namespace brumel {

namespace {

enum { kHover = 0, kPress = 1, kDrag = 2, kRelease = 3 };

// A node with the widgets of two positions and two radii, their controls, a crosshair
// on the source, a line between the positions and a circle of the two radii, in a
// 1000 x 500 view.
class Handles : public ::testing::Test {
 protected:
  void SetUp() override {
    gl_recorder::clear();
    view.view_width = 1000;
    view.view_height = 500;
    source.bind(source_x, source_y, &node);
    target.bind(target_x, target_y, &node);
    size_a.bind(radius_a, &node);
    size_b.bind(radius_b, &node);
    const std::vector<void*> words[3] = {{source_x, source_y, &source},
                                         {source_x, source_y, target_x, target_y, &source, &target},
                                         {nullptr, nullptr, radius_a, radius_b, &size_a, &size_b}};
    OverlayControlKv* handles[3] = {&crosshair, &line, &circle};
    for (int h = 0; h < 3; ++h) {
      handles[h]->view = &view;
      handles[h]->host_data[10] = &handle_hit;
      for (std::size_t w = 0; w < words[h].size(); ++w) handles[h]->host_data[w] = words[h][w];
    }
  }

  // The node heard of exactly `widgets`, in order, each as a user's edit (reason 2, now).
  void expect_changes(std::vector<CWidget*> widgets) {
    std::vector<CWidget*> heard;
    for (const auto& c : node.changes) {
      heard.push_back(c.widget);
      EXPECT_EQ(std::pair(c.reason, c.time), std::pair(2, -1.0));
    }
    EXPECT_EQ(heard, widgets);
  }

  FXNode node;
  OverlayKv view;
  int handle_hit = 0;
  CNumeric* source_x = node.Numeric("Source_X", 0.2, -2, 2, 0.001, true);
  CNumeric* source_y = node.Numeric("Source_Y", 0.3, -2, 2, 0.001, true);
  CNumeric* target_x = node.Numeric("Target_X", 0.6, -2, 2, 0.001, true);
  CNumeric* target_y = node.Numeric("Target_Y", 0.7, -2, 2, 0.001, true);
  CNumeric* radius_a = node.Numeric("Radius A", 0.2, 0, 2, 0.005, true);
  CNumeric* radius_b = node.Numeric("Radius B", 0.1, 0, 2, 0.005, true);
  PositionControlKv source, target;
  SizeControlKv size_a, size_b;
  CrosshairOverlayKv crosshair;
  LineOverlayKv line;
  CircleOverlayKv circle;
};

// A press takes a handle strictly within five pixels over the zoom; hovering lights it
// without taking it.
TEST_F(Handles, PressHitsWithinFivePixelsOverZoomStrictly) {
  crosshair.pos_x = crosshair.pos_y = 0.5f;
  view.draw_crosshair(crosshair);  // at (500, 250)
  struct Case {
    int kind;
    float zoom, dx, dy;
    std::vector<int> want;  // grabbed, hover, handle_hit
  };
  for (const Case& c : {Case{kPress, 1, 4.9f, 4.9f, {1, 1, 1}}, {kPress, 1, -4.9f, -4.9f, {1, 1, 1}},
                        {kPress, 1, 5, 0, {0, 0, 0}}, {kPress, 1, 0, -5, {0, 0, 0}},
                        {kPress, 2, 2.4f, -2.4f, {1, 1, 1}}, {kPress, 2, 2.5f, 0, {0, 0, 0}},
                        {kHover, 1, 1, 1, {0, 1, 0}}}) {
    view.zoom = c.zoom;
    handle_hit = 0;
    crosshair.pointer(c.kind, 500 + c.dx, 250 + c.dy);
    EXPECT_EQ((std::vector<int>{crosshair.grabbed, crosshair.hover, handle_hit}), c.want)
        << c.kind << " at zoom " << c.zoom << " " << c.dx << " " << c.dy;
    crosshair.pointer(kRelease, 0, 0);
  }
}

// The crosshair jumps under the pointer at once and writes its widgets while dragging,
// but reports X then Y only on release; without a grab, drags change nothing.
TEST_F(Handles, CrosshairJumpsUnderThePointerAndReportsXThenYOnRelease) {
  crosshair.pos_x = crosshair.pos_y = 0.5f;
  view.draw_crosshair(crosshair);
  view.draw_line(line);
  crosshair.pointer(kPress, 900, 400);
  line.pointer(kPress, 900, 400);
  for (OverlayControlKv* h : std::initializer_list<OverlayControlKv*>{&crosshair, &line}) {
    h->pointer(kDrag, 510, 260);
    h->pointer(kRelease, 510, 260);
  }
  EXPECT_EQ((std::vector<double>{crosshair.pos_x, source_x->value, target_y->value}),
            (std::vector<double>{0.5, 0.2, 0.7}));
  EXPECT_EQ(handle_hit, 0);
  expect_changes({});

  crosshair.pointer(kPress, 503, 248);
  crosshair.pointer(kDrag, 503, 248);  // grabbed 3 pixels off: the centre follows at once
  EXPECT_EQ(std::pair(crosshair.pos_x, crosshair.pos_y), std::pair(503.0f / 1000.0f, 248.0f / 500.0f));
  EXPECT_EQ(source_x->value, static_cast<double>(503.0f / 1000.0f));
  EXPECT_EQ(source.value_x, source_x->value);  // fetched
  expect_changes({});
  crosshair.pointer(kDrag, 600, 100);
  crosshair.pointer(kRelease, 600, 100);
  EXPECT_EQ(std::pair(source_x->value, source_y->value), std::pair(double{0.6f}, double{0.2f}));
  EXPECT_EQ(crosshair.grabbed, 0);
  expect_changes({source_x, source_y});
}

TEST_F(Handles, LineDragMovesBothEndsWithItsMidpoint) {
  line.x1 = 0.2f, line.y1 = 0.3f, line.x2 = 0.6f, line.y2 = 0.7f;
  view.draw_line(line);  // midpoint (400, 250)
  line.pointer(kPress, 402, 251);
  EXPECT_EQ(handle_hit, 1);
  line.pointer(kDrag, 410, 250);  // 10 pixels right of the drawn midpoint
  EXPECT_NEAR(source_x->value, 0.21, 1e-6);
  EXPECT_NEAR(target_x->value, 0.61, 1e-6);
  EXPECT_NEAR(target_y->value, 0.7, 1e-6);
  EXPECT_EQ(target.value_x, target_x->value);
  line.pointer(kRelease, 410, 250);
  expect_changes({source_x, source_y, target_x, target_y});
}

// With radius_only, grip 2 alone is live and sets twice the distance in half view
// widths; otherwise the corner grip scales both radii along its rotated diagonal and
// grip 3 sets ry alone.
TEST_F(Handles, CircleGripsSetTheirRadii) {
  circle.cx = circle.cy = 0.5f;
  circle.rx = circle.ry = 0.3f;
  circle.radius_only = 1;
  view.draw_circle(circle);  // grip 2 at (650, 250)
  circle.pointer(kPress, circle.grip_x[2], circle.grip_y[2]);
  EXPECT_EQ(circle.grabbed, 0);
  circle.pointer(kPress, 651, 250);
  EXPECT_EQ(circle.grabbed, 2);
  circle.pointer(kDrag, 600, 250);  // 100 pixels from the centre
  EXPECT_EQ(std::pair(radius_a->value, radius_b->value), std::pair(double{0.2f}, 0.1));
  circle.pointer(kRelease, 600, 250);
  expect_changes({radius_a});

  node.changes.clear();
  gl_recorder::clear();
  circle.cx = 0.4f, circle.cy = 0.6f, circle.rx = 0.2f, circle.ry = 0.1f, circle.angle = 30.0f;
  circle.radius_only = 0;
  view.draw_circle(circle);
  EXPECT_EQ(gl_recorder::loops().size(), 3u);
  const float gx = circle.grip_x[0], gy = circle.grip_y[0], cx = 400.0f, cy = 300.0f;
  circle.pointer(kPress, gx, gy);
  ASSERT_EQ(circle.grabbed, 1);
  circle.pointer(kDrag, cx + 3 * (gx - cx), cy + 3 * (gy - cy));
  EXPECT_NEAR(circle.rx, 0.6, 1e-5);
  EXPECT_NEAR(circle.ry, 0.3, 1e-5);
  circle.pointer(kRelease, 0, 0);
  EXPECT_EQ(std::pair(radius_a->value, radius_b->value), std::pair(double{circle.rx}, double{circle.ry}));
  expect_changes({radius_a, radius_b});
  view.draw_circle(circle);
  circle.pointer(kPress, circle.grip_x[2], circle.grip_y[2]);
  ASSERT_EQ(circle.grabbed, 3);
  circle.pointer(kDrag, cx, cy + 50);
  EXPECT_FLOAT_EQ(circle.ry, 0.1f);
  EXPECT_NEAR(circle.rx, 0.6, 1e-5);
}

}  // namespace

}  // namespace brumel
