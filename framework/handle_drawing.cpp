#include <cmath>

#include "framework/overlay_control_kv.h"
#include "render/degrees.h"
#include "framework/overlay_kv.h"

namespace brumel {

namespace {


void use_colour(OverlayKv& view, const OverlayControlKv& handle) {
  view.set_colour(handle.colour[0], handle.colour[1], handle.colour[2], handle.colour[3]);
}

}  // namespace

void OverlayKv::draw_crosshair(CrosshairOverlayKv& handle) {
  use_colour(*this, handle);
  const float x = handle.pos_x * static_cast<float>(view_width);
  const float y = handle.pos_y * static_cast<float>(view_height);
  draw_crosshair_mark(x, y, handle.style);
  draw_square(x, y);
  handle.screen_x = x;
  handle.screen_y = y;
}

void OverlayKv::draw_line(LineOverlayKv& handle) {
  use_colour(*this, handle);
  const float ax = handle.x1 * static_cast<float>(view_width);
  const float ay = handle.y1 * static_cast<float>(view_height);
  const float bx = handle.x2 * static_cast<float>(view_width);
  const float by = handle.y2 * static_cast<float>(view_height);
  draw_segment(ax, ay, bx, by);
  // Smaller coordinate plus half the difference, axis by axis.
  auto middle = [](float p, float q) {
    const float low = p < q ? p : q;
    const float high = p < q ? q : p;
    return low + (high - low) * 0.5f;
  };
  const float mx = middle(ax, bx);
  const float my = middle(ay, by);
  draw_square(mx, my);
  handle.mid_x = mx;
  handle.mid_y = my;
}

void OverlayKv::draw_circle(CircleOverlayKv& handle) {
  use_colour(*this, handle);
  const float cx = handle.cx * static_cast<float>(view_width);
  const float cy = handle.cy * static_cast<float>(view_height);
  // Both radii are measured in half view widths, so a circle stays round on a
  // non-square view.
  const float a = handle.rx * static_cast<float>(view_width) * 0.5f;
  const float b = handle.ry * static_cast<float>(view_width) * 0.5f;
  draw_ellipse(cx, cy, 2.0f * a, 2.0f * b, handle.angle, handle.dashed, 4, 0.0f, 360.0f);

  const double theta = handle.angle * kRadiansPerDegree;
  const double cos_t = std::cos(theta);
  const double sin_t = std::sin(theta);
  constexpr double kGripAngles[3] = {-45.0, 0.0, -90.0};
  for (int g = 0; g < 3; ++g) {
    const double phi = kGripAngles[g] * kRadiansPerDegree;
    const double ex = a * std::cos(phi);
    const double ey = b * std::sin(phi);
    handle.grip_x[g] = static_cast<float>(cx + cos_t * ex - sin_t * ey);
    handle.grip_y[g] = static_cast<float>(cy + sin_t * ex + cos_t * ey);
  }
  for (int g = 0; g < 3; ++g) {
    if (g == 1 || handle.radius_only == 0) draw_square(handle.grip_x[g], handle.grip_y[g]);
  }
}

}  // namespace brumel
