#include <cmath>
#include <cstdint>

#include "sim/brumel.h"

namespace brumel {

// The viewer overlay of the effect: the particle wireframe, the side view of the
// particles' depth, and the handles. It reads the controls' cached values and the
// simulation as the last render left it, and writes only the handles' geometry.

namespace {

// The screen diameter of a stamp level: a quarter of the level, in 1/400ths of the
// view width.
double level_diameter(std::int32_t level, int view_width) {
  return level * 0.25 * (view_width * 0.0025);
}

bool within(float v, double low, double high) { return v >= low && v <= high; }

// The stamp level a particle is drawn at, following Grow/Shrink.
std::int32_t drawn_level(const Brumel& e, const CloudSystem& s, const Particle* p) {
  if (s.grow_shrink == 0) return p->size;
  const float level = static_cast<float>(p->min_size) +
                      static_cast<float>(p->size - p->min_size) * e.grow_envelope(p);
  return static_cast<std::int32_t>(level);
}

// Level times the perspective factor, truncated, kept to 1..160 (a truncated 0 stays).
std::int32_t perspective_level(std::int32_t level, float k) {
  const float scaled = static_cast<float>(level) * k;
  if (!(scaled < 161.0f)) return 160;  // also catches an infinite factor
  if (scaled <= -1.0f) return 1;
  return static_cast<std::int32_t>(scaled);
}

// One circle per live particle that falls in view, at its perspective position when
// Perspective is on.
void draw_wireframe(Brumel& e, const CloudSystem& s) {
  if (s.live_count <= 0) return;
  const int w = e.view_width;
  const int h = e.view_height;
  const bool perspective = e.perspective.value;
  const double low = perspective ? -2.4 : -0.2;
  const double high = perspective ? 3.4 : 1.2;
  for (const Particle* p = s.live_list; p != nullptr; p = p->next) {
    if (!within(p->prev_x, low, high) || !within(p->prev_y, low, high)) continue;
    std::int32_t level = drawn_level(e, s, p);
    float x = p->prev_x;
    float y = p->prev_y;
    if (perspective) {
      // At or behind the camera a particle has no image.
      if (p->prev_z >= s.camera_distance) continue;
      const float k = 100.0f / (s.camera_distance - p->prev_z);
      level = perspective_level(level, k);
      x = k * (p->prev_x - s.vanish_x) + s.vanish_x;
      y = k * (p->prev_y - s.vanish_y) + s.vanish_y;
      if (!within(x, -0.2, 1.2) || !within(y, -0.2, 1.2)) continue;
    }
    const float d = static_cast<float>(level_diameter(level, w));
    e.draw_ellipse(static_cast<float>(w) * x, static_cast<float>(h) * y, d, d, 0.0f, 0, 10, 0.0f,
                   360.0f);
  }
}

// Depth across (0 at the right edge, 1000 units per view width) and height up, in an
// 80-pixel strip beyond the edge y = H.
void draw_side_view(Brumel& e, const CloudSystem& s) {
  const int w = e.view_width;
  const int h = e.view_height;
  for (const Particle* p = s.live_list; p != nullptr; p = p->next) {
    if (!within(p->prev_x, -2.4, 3.4) || !within(p->prev_y, -2.4, 3.4)) continue;
    // Unlike the wireframe, a particle exactly at the camera still shows here.
    if (p->prev_z > s.camera_distance) continue;
    const std::int32_t level = drawn_level(e, s, p);
    double d = std::trunc(level_diameter(level, w) * 0.2 + 0.5);
    if (d < 1.0) d = 1.0;
    const float x = static_cast<float>(w - p->prev_z * 0.001 * w);
    const float y = p->prev_y * 80 + h;
    e.draw_ellipse(x, y, static_cast<float>(d), static_cast<float>(d), 0.0f, 0, 10, 0.0f, 360.0f);
  }
}

// A direction control: the line between source and target, the arrow head at the
// target, and a crosshair at each end.
void draw_direction(Brumel& e, const PositionControlKv& source, const PositionControlKv& target,
                    CrosshairOverlayKv& source_handle, CrosshairOverlayKv& target_handle,
                    LineOverlayKv& line) {
  const int w = e.view_width;
  const int h = e.view_height;
  source_handle.pos_x = line.x1 = static_cast<float>(source.value_x);
  source_handle.pos_y = line.y1 = static_cast<float>(source.value_y);
  target_handle.pos_x = line.x2 = static_cast<float>(target.value_x);
  target_handle.pos_y = line.y2 = static_cast<float>(target.value_y);
  e.draw_line(line);
  e.set_colour(source_handle.colour[0], source_handle.colour[1], source_handle.colour[2],
               source_handle.colour[3]);
  e.draw_arrow_head(static_cast<float>(w * target.value_x), static_cast<float>(h * target.value_y),
                    static_cast<float>(w * source.value_x), static_cast<float>(h * source.value_y));
  e.draw_crosshair(source_handle);
  e.draw_crosshair(target_handle);
}

}  // namespace

void Brumel::draw() {
  const int w = view_width;
  const int h = view_height;
  const float aspect = pixel_aspect / view_scale;

  if (mode.value == 2 && system != nullptr) {
    set_colour(0, 65535, 0, 65535);
    draw_wireframe(*this, *system);
  }

  if (perspective.value) {
    set_colour(65535, 65535, 0, 65535);
    if (system != nullptr) draw_side_view(*this, *system);

    const float cam_x = static_cast<float>(w - w * camera_distance.value * 0.001);
    const float cam_y = static_cast<float>(h + 40);
    draw_crosshair_mark(cam_x, cam_y, 0);
    draw_ellipse(cam_x, cam_y, 5.0f, aspect * 5.0f, 0.0f, 0, 10, 0.0f, 360.0f);

    // The view line from the vanishing point's height at depth 0 to the camera.
    set_colour(30000, 65535, 65535, 65535);
    draw_dashed(static_cast<float>(w), static_cast<float>(vanishing_point.value_y * 80 + h), cam_x,
                cam_y, 10);

    set_colour(65535, 0, 0, 65535);
    vanish_handle.pos_x = static_cast<float>(vanishing_point.value_x);
    vanish_handle.pos_y = static_cast<float>(vanishing_point.value_y);
    draw_crosshair(vanish_handle);
    // Still in the vanishing handle's colour, which draw_crosshair set.
    draw_dashed(static_cast<float>(w * vanishing_point.value_x),
                static_cast<float>(h * vanishing_point.value_y),
                static_cast<float>(w * birth.value_x), static_cast<float>(h * birth.value_y), 10);
  }

  if (birth_handle.visible != 0) {
    birth_handle.pos_x = static_cast<float>(birth.value_x);
    birth_handle.pos_y = static_cast<float>(birth.value_y);
    draw_crosshair(birth_handle);
  }

  if (birth_radius_handle.visible != 0) {
    birth_radius_handle.cx = static_cast<float>(birth.value_x);
    birth_radius_handle.cy = static_cast<float>(birth.value_y);
    birth_radius_handle.rx = static_cast<float>(birth_radius.value);
    birth_radius_handle.ry = static_cast<float>(aspect * birth_radius.value);
    birth_radius_handle.angle = 0.0f;
    birth_radius_handle.radius_only = 1;
    birth_radius_handle.dashed = 0;
    draw_circle(birth_radius_handle);
  }

  if (use_wind.value && wind_speed.value > 0.0) {
    draw_direction(*this, wind_source, wind_target, wind_source_handle, wind_target_handle,
                   wind_line);
  }
  if (use_light.value) {
    draw_direction(*this, light_source, light_target, light_source_handle, light_target_handle,
                   light_line);
  }
}

}  // namespace brumel
