#include <GL/gl.h>

// Weak references: the calls are resolved from the host process, and a host that
// never draws the overlay (a frei0r plugin in ffmpeg or GStreamer) may hold no GL
// library; the module must load there even with every symbol bound at load time.
#pragma weak glColor4f
#pragma weak glBegin
#pragma weak glVertex2f
#pragma weak glEnd

#include <algorithm>
#include <cmath>

#include "assim/services.h"
#include "render/degrees.h"
#include "framework/overlay_kv.h"

namespace brumel {

namespace {

constexpr double kDegreesPerRadian = 57.29577951308232;
constexpr double kPi = 3.141592653589793;

// The host's projection has its origin at the centre of the view.
void vertex(const OverlayKv& view, float x, float y) {
  glVertex2f(static_cast<float>(x - view.view_width * 0.5),
             static_cast<float>(y - view.view_height * 0.5));
}

// The part [t0, t1] of the segment from (x1, y1) to (x2, y2) inside the box
// (Liang-Barsky); false when none of it is, or when an end is not finite.
bool clip_to_box(double x1, double y1, double x2, double y2, double left, double top,
                 double right, double bottom, double& t0, double& t1) {
  if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2)) {
    return false;
  }
  const double dx = x2 - x1;
  const double dy = y2 - y1;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {x1 - left, right - x1, y1 - top, bottom - y1};
  for (int k = 0; k < 4; ++k) {
    if (p[k] == 0.0) {
      if (q[k] < 0.0) return false;
      continue;
    }
    const double t = q[k] / p[k];
    if (p[k] < 0.0) {
      t0 = std::max(t0, t);
    } else {
      t1 = std::min(t1, t);
    }
  }
  return t0 <= t1;
}

}  // namespace

void OverlayKv::set_colour(std::int32_t r, std::int32_t g, std::int32_t b, std::int32_t a) {
  constexpr float kScale = 1.0f / 65535.0f;
  glColor4f(static_cast<float>(r) * kScale, static_cast<float>(g) * kScale,
            static_cast<float>(b) * kScale, static_cast<float>(a) * kScale);
}

void OverlayKv::draw_segment(float x1, float y1, float x2, float y2) {
  gl_antialiasing(1);
  glBegin(GL_LINES);
  vertex(*this, x1, y1);
  vertex(*this, x2, y2);
  glEnd();
  gl_antialiasing(0);
}

void OverlayKv::draw_square(float x, float y) {
  gl_antialiasing(1);
  glBegin(GL_LINE_LOOP);
  vertex(*this, x - 4.0f, y - 4.0f);
  vertex(*this, x + 4.0f, y - 4.0f);
  vertex(*this, x + 4.0f, y + 4.0f);
  vertex(*this, x - 4.0f, y + 4.0f);
  glEnd();
  gl_antialiasing(0);
}

void OverlayKv::draw_dashed(float x1, float y1, float x2, float y2, std::int32_t dash) {
  const float dx = x1 - x2;
  const float dy = y1 - y2;
  // The number of dash-length pieces, not rounded: the last piece may be partial.
  const float n = static_cast<float>(std::sqrt(static_cast<double>(dx * dx + dy * dy)) / dash);
  if (!(n > 0.0f)) return;
  const float inverse = 1.0f / n;
  const float step_x = (x2 - x1) * inverse;
  const float step_y = (y2 - y1) * inverse;

  // Clamping keeps the last dash from overshooting the end point.
  auto stop_at_end = [](float from, float step, float end) {
    const float to = from + step;
    if (step > 0.0f) return to > end ? end : to;
    if (step < 0.0f) return to < end ? end : to;
    return to;
  };

  // A line reaching far off the view (a handle dragged away, a camera far
  // back) is walked only across the view and a band around it, where it can be
  // seen: the dashes drawn there are those of the whole line, and the work
  // stays bounded whatever the ends. A line inside keeps its exact walk.
  const double band = std::max(view_width, view_height) + 256.0;
  double t0 = 0.0;
  double t1 = 1.0;
  if (!clip_to_box(x1, y1, x2, y2, -band, -band, view_width + band, view_height + band, t0, t1)) {
    return;
  }
  if (t0 > 0.0 || t1 < 1.0) {
    const double last = std::min(std::ceil(t1 * n), static_cast<double>(n));
    for (double i = std::floor(t0 * n); i < last; ++i) {
      if (std::fmod(i, 2.0) != 1.0) continue;
      const float px = static_cast<float>(x1 + step_x * i);
      const float py = static_cast<float>(y1 + step_y * i);
      draw_segment(px, py, stop_at_end(px, step_x, x2), stop_at_end(py, step_y, y2));
    }
    return;
  }

  float px = x1;
  float py = y1;
  for (std::int32_t i = 0; n > static_cast<float>(i) && i < 0x7fffffff; ++i) {
    if (i % 2 == 1) {
      draw_segment(px, py, stop_at_end(px, step_x, x2), stop_at_end(py, step_y, y2));
    }
    px += step_x;
    py += step_y;
  }
}

void OverlayKv::draw_ellipse(float cx, float cy, float w, float h, float rotation,
                             std::int32_t dashed, std::int32_t segment, float start, float end) {
  if (w < 5.0f || h < 5.0f) return;
  // About `segment` pixels of outline per step for a circle of diameter w.
  float step = static_cast<float>(360.0 / (w * kPi / segment));
  if (step > 36.0f) step = 36.0f;
  if (!(step > 0.0f)) return;

  const float rx = w * 0.5f;
  const float ry = h * 0.5f;
  const double theta = rotation * kRadiansPerDegree;
  const double cos_t = std::cos(theta);
  const double sin_t = std::sin(theta);

  float first_x = 0.0f;
  float first_y = 0.0f;
  float last_x = 0.0f;
  float last_y = 0.0f;
  std::int32_t index = 0;  // 0 is the point that only starts the outline
  for (float a = start; a <= end; ++index) {
    const double a_rad = a * kRadiansPerDegree;
    const double ex = rx * std::cos(a_rad);
    const double ey = ry * std::sin(a_rad);
    const float x = static_cast<float>(cx + cos_t * ex - sin_t * ey);
    const float y = static_cast<float>(cy + sin_t * ex + cos_t * ey);
    if (index == 0) {
      first_x = x;
      first_y = y;
    } else if (dashed == 0 || index % 2 == 1) {
      draw_segment(last_x, last_y, x, y);
    }
    last_x = x;
    last_y = y;
    const float next = a + step;
    // A step too small to move the angle in single precision would never end.
    if (next == a) break;
    a = next;
  }
  if (index > 0 && start == 0.0f && end == 360.0f) draw_segment(first_x, first_y, last_x, last_y);
}

void OverlayKv::draw_crosshair_mark(float x, float y, std::int32_t style) {
  const float s = 1.0f / zoom;
  const float inner = 10.0f * s;
  const float outer = 25.0f * s;
  draw_segment(x + inner, y, x + outer, y);
  draw_segment(x - inner, y, x - outer, y);
  draw_segment(x, y + inner, x, y + outer);
  draw_segment(x, y - inner, x, y - outer);
  if (style == 0) return;
  const float tick_from = 5.0f * s;
  const float tick_to = 12.5f * s;
  draw_segment(x + tick_from, y + tick_from, x + tick_to, y + tick_to);
  draw_segment(x - tick_from, y + tick_from, x - tick_to, y + tick_to);
  draw_segment(x + tick_from, y - tick_from, x + tick_to, y - tick_to);
  draw_segment(x - tick_from, y - tick_from, x - tick_to, y - tick_to);
}

void OverlayKv::draw_arrow_head(float x1, float y1, float x2, float y2) {
  const float adx = std::fabs(x2 - x1);
  const float ady = std::fabs(y2 - y1);
  const double a = std::atan2(ady, adx) * kDegreesPerRadian;
  // The quadrant of the tail as seen from the head.
  double direction;
  if (x1 > x2 && y2 >= y1) {
    direction = 180.0 - a;
  } else if (x1 >= x2 && y1 > y2) {
    direction = 180.0 + a;
  } else if (x2 > x1 && y1 > y2) {
    direction = 360.0 - a;
  } else {
    direction = a;
  }
  const float length = 40.0f / zoom;
  for (double side : {20.0, -20.0}) {
    const double phi = (direction + side) * kRadiansPerDegree;
    draw_segment(x1, y1, static_cast<float>(x1 + length * std::cos(phi)),
                 static_cast<float>(y1 + length * std::sin(phi)));
  }
}

}  // namespace brumel
