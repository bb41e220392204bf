// On-screen handles bound to real host widgets: hits, drags, what they write and
// what they report to the node.
#include <gtest/gtest.h>

#include <cmath>

#include "assim/fx_node.h"
#include "framework/control_kv.h"
#include "framework/overlay_control_kv.h"
#include "framework/overlay_kv.h"
#include "tests/support/gl_recorder.h"

namespace {

enum { kHover = 0, kPress = 1, kDrag = 2, kRelease = 3 };

// A node with the widgets of two positions and two radii, their controls, and a
// 1000 x 500 view.
class Handles : public ::testing::Test {
 protected:
  void SetUp() override {
    gl_recorder::clear();
    view.view_width = 1000;
    view.view_height = 500;
    source_x = node.Numeric("Source_X", 0.2, -2, 2, 0.001, true);
    source_y = node.Numeric("Source_Y", 0.3, -2, 2, 0.001, true);
    target_x = node.Numeric("Target_X", 0.6, -2, 2, 0.001, true);
    target_y = node.Numeric("Target_Y", 0.7, -2, 2, 0.001, true);
    radius_a = node.Numeric("Radius A", 0.2, 0, 2, 0.005, true);
    radius_b = node.Numeric("Radius B", 0.1, 0, 2, 0.005, true);
    source.bind(source_x, source_y, &node);
    target.bind(target_x, target_y, &node);
    size_a.bind(radius_a, &node);
    size_b.bind(radius_b, &node);
    for (OverlayControlKv* h :
         {static_cast<OverlayControlKv*>(&crosshair), static_cast<OverlayControlKv*>(&line),
          static_cast<OverlayControlKv*>(&circle)}) {
      h->view = &view;
      h->host_data[10] = &handle_hit;
    }
    crosshair.host_data[0] = source_x;
    crosshair.host_data[1] = source_y;
    crosshair.host_data[2] = &source;
    line.host_data[0] = source_x;
    line.host_data[1] = source_y;
    line.host_data[2] = target_x;
    line.host_data[3] = target_y;
    line.host_data[4] = &source;
    line.host_data[5] = &target;
    circle.host_data[2] = radius_a;
    circle.host_data[3] = radius_b;
    circle.host_data[4] = &size_a;
    circle.host_data[5] = &size_b;
  }

  void expect_changes(std::initializer_list<CWidget*> widgets) {
    ASSERT_EQ(node.changes.size(), widgets.size());
    std::size_t i = 0;
    for (CWidget* w : widgets) {
      EXPECT_EQ(node.changes[i].widget, w) << i;
      EXPECT_EQ(node.changes[i].reason, 2) << i;
      EXPECT_EQ(node.changes[i].time, -1.0) << i;
      ++i;
    }
  }

  FXNode node;
  OverlayKv view;
  int handle_hit = 0;
  CNumeric *source_x, *source_y, *target_x, *target_y, *radius_a, *radius_b;
  PositionControlKv source, target;
  SizeControlKv size_a, size_b;
  CrosshairOverlayKv crosshair;
  LineOverlayKv line;
  CircleOverlayKv circle;
};

TEST_F(Handles, PressHitsWithinFivePixelsOverZoomStrictly) {
  crosshair.pos_x = 0.5f;
  crosshair.pos_y = 0.5f;
  view.draw_crosshair(crosshair);  // at (500, 250)
  struct Case {
    float zoom, dx, dy;
    int hit;
  } cases[] = {{1, 4.9f, 4.9f, 1}, {1, -4.9f, -4.9f, 1}, {1, 5, 0, 0},
               {1, 0, -5, 0},      {2, 2.4f, -2.4f, 1},  {2, 2.5f, 0, 0}};
  for (const Case& c : cases) {
    view.zoom = c.zoom;
    handle_hit = 0;
    crosshair.pointer(kPress, 500 + c.dx, 250 + c.dy);
    EXPECT_EQ(crosshair.grabbed, c.hit) << c.zoom << " " << c.dx << " " << c.dy;
    EXPECT_EQ(crosshair.hover, c.hit);
    EXPECT_EQ(handle_hit, c.hit);
    crosshair.pointer(kRelease, 0, 0);
  }
  view.zoom = 1;
  handle_hit = 0;
  crosshair.pointer(kHover, 501, 251);  // hovering lights the handle without taking it
  EXPECT_EQ(crosshair.hover, 1);
  EXPECT_EQ(crosshair.grabbed + handle_hit, 0);
}

TEST_F(Handles, CrosshairJumpsUnderThePointerAndReportsXThenYOnRelease) {
  crosshair.pos_x = 0.5f;
  crosshair.pos_y = 0.5f;
  view.draw_crosshair(crosshair);
  crosshair.pointer(kPress, 503, 248);
  crosshair.pointer(kDrag, 503, 248);  // grabbed 3 pixels off: the centre follows at once
  EXPECT_EQ(crosshair.pos_x, 503.0f / 1000.0f);
  EXPECT_EQ(crosshair.pos_y, 248.0f / 500.0f);
  EXPECT_EQ(source_x->value, static_cast<double>(503.0f / 1000.0f));
  EXPECT_EQ(source.value_x, source_x->value);  // fetched
  EXPECT_TRUE(node.changes.empty());  // nothing is reported while dragging

  crosshair.pointer(kDrag, 600, 100);
  crosshair.pointer(kRelease, 600, 100);
  EXPECT_EQ(source_x->value, static_cast<double>(0.6f));
  EXPECT_EQ(source_y->value, static_cast<double>(0.2f));
  EXPECT_EQ(crosshair.grabbed, 0);
  expect_changes({source_x, source_y});
}

TEST_F(Handles, WithoutAGrabDragAndReleaseChangeAndReportNothing) {
  crosshair.pos_x = 0.5f;
  crosshair.pos_y = 0.5f;
  view.draw_crosshair(crosshair);
  view.draw_line(line);
  crosshair.pointer(kPress, 900, 400);
  line.pointer(kPress, 900, 400);
  EXPECT_EQ(handle_hit, 0);
  for (OverlayControlKv* h :
       {static_cast<OverlayControlKv*>(&crosshair), static_cast<OverlayControlKv*>(&line)}) {
    h->pointer(kDrag, 510, 260);
    h->pointer(kRelease, 510, 260);
  }
  EXPECT_EQ(crosshair.pos_x, 0.5f);
  EXPECT_EQ(source_x->value, 0.2);
  EXPECT_EQ(target_y->value, 0.7);
  EXPECT_TRUE(node.changes.empty());
}

TEST_F(Handles, LineDragMovesBothEndsWithItsMidpoint) {
  line.x1 = 0.2f;
  line.y1 = 0.3f;
  line.x2 = 0.6f;
  line.y2 = 0.7f;
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

TEST_F(Handles, RadiusGripSetsTwiceTheDistanceInHalfViewWidths) {
  circle.cx = 0.5f;
  circle.cy = 0.5f;
  circle.rx = 0.3f;
  circle.ry = 0.3f;
  circle.radius_only = 1;
  view.draw_circle(circle);  // grip 2 at (650, 250)
  EXPECT_EQ(gl_recorder::loops().size(), 1u);  // only grip 2 has a square

  // Grip 3 is not live while radius_only is set.
  circle.pointer(kPress, circle.grip_x[2], circle.grip_y[2]);
  EXPECT_EQ(circle.grabbed, 0);

  circle.pointer(kPress, 651, 250);
  EXPECT_EQ(circle.grabbed, 2);
  circle.pointer(kDrag, 600, 250);  // 100 pixels from the centre
  EXPECT_EQ(radius_a->value, static_cast<double>(0.2f));
  EXPECT_EQ(radius_b->value, 0.1);  // ry untouched
  circle.pointer(kRelease, 600, 250);
  expect_changes({radius_a});
}

TEST_F(Handles, CornerGripScalesBothRadiiAlongItsRotatedDiagonal) {
  circle.cx = 0.4f;
  circle.cy = 0.6f;
  circle.rx = 0.2f;
  circle.ry = 0.1f;
  circle.angle = 30.0f;
  circle.radius_only = 0;
  view.draw_circle(circle);
  EXPECT_EQ(gl_recorder::loops().size(), 3u);
  const float gx = circle.grip_x[0];
  const float gy = circle.grip_y[0];
  const float cx = 400.0f, cy = 300.0f;

  circle.pointer(kPress, gx, gy);
  ASSERT_EQ(circle.grabbed, 1);
  circle.pointer(kDrag, gx, gy);  // where it was: nothing changes
  EXPECT_NEAR(circle.rx, 0.2, 1e-6);
  circle.pointer(kDrag, cx + 3 * (gx - cx), cy + 3 * (gy - cy));
  EXPECT_NEAR(circle.rx, 0.6, 1e-5);
  EXPECT_NEAR(circle.ry, 0.3, 1e-5);
  circle.pointer(kRelease, 0, 0);
  EXPECT_EQ(radius_a->value, static_cast<double>(circle.rx));
  EXPECT_EQ(radius_b->value, static_cast<double>(circle.ry));
  expect_changes({radius_a, radius_b});

  // Grip 3 sets ry alone.
  view.draw_circle(circle);
  circle.pointer(kPress, circle.grip_x[2], circle.grip_y[2]);
  ASSERT_EQ(circle.grabbed, 3);
  circle.pointer(kDrag, cx, cy + 50);
  EXPECT_FLOAT_EQ(circle.ry, 0.1f);
  EXPECT_NEAR(circle.rx, 0.6, 1e-5);
}

}  // namespace
