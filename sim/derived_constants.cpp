// The derived simulation constants: once per render the cached control values become
// the scaled working constants of the CloudSystem. Products are formed in double from
// the double control values and rounded once, when stored as float.
#include <cmath>

#include "sim/brumel.h"
#include "render/degrees.h"

namespace brumel {

namespace {


// Stores a watched value and reports whether it changed; a NaN on either side counts
// as a change, so a NaN input rebuilds the stamps at every render.
bool store_watched(float& field, float value) {
  const bool changed = !(field == value);
  field = value;
  return changed;
}

bool store_watched(std::int32_t& field, std::int32_t value) {
  const bool changed = field != value;
  field = value;
  return changed;
}

struct Direction2 {
  float x;
  float y;
};

// Unit vector of (dx, dy) in single precision, or zero for a vector too short to
// give a direction.
Direction2 unit_or_zero(float dx, float dy) {
  const float len = static_cast<float>(std::sqrt(dx * dx + dy * dy));
  if (!(len > 0.00001)) return {0.0f, 0.0f};
  const float inv = 1.0f / len;
  return {dx * inv, dy * inv};
}

}  // namespace

void Brumel::derive_constants(CloudSystem* s) {
  derive_birth_constants(s);
  derive_motion_constants(s);
  derive_look_constants(s);
  if (derive_stamp_inputs(s)) stamps_dirty = 1;
}

void Brumel::derive_birth_constants(CloudSystem* s) {
  s->max_age_mean = 5000.0f;
  s->max_age_spread = 0.0f;
  s->birth_count_mean = static_cast<float>(quantity.value);
  s->continuity = static_cast<float>(continuity.value * 0.01);
  // Continuity also widens the birth count: the spread is a tenth of it.
  s->birth_count_spread = static_cast<float>(continuity.value * 0.1);
  s->lifetime_mean = static_cast<float>(lifetime.value);
  s->lifetime_spread = static_cast<float>(lifetime.value * 0.1);
  s->cloud_size = static_cast<float>(cloud_size.value);
  s->cloud_size_variation = static_cast<float>(cloud_size_variation.value * 0.01);
  s->grow_shrink = grow_shrink.value ? 1 : 0;
  s->grow_in = static_cast<float>(grow_life.value * 0.01);
  s->shrink_start = static_cast<float>(1.0 - shrink_life.value * 0.01);
  s->min_cloud_size = static_cast<float>(min_size.value);
  s->birth_radius = static_cast<float>(birth_radius.value * 0.5);
  s->birth_x = static_cast<float>(birth.value_x);
  s->birth_y = static_cast<float>(birth.value_y);
  s->birth_z = 0.0f;
  s->use_birth_matte = use_birth_matte.value ? 1 : 0;
  s->invert_birth_matte = invert_birth_matte.value ? 1 : 0;
  s->z_range = static_cast<float>(z_range.value * 0.01);
}

void Brumel::derive_motion_constants(CloudSystem* s) {
  s->use_constraint = use_constraint.value ? 1 : 0;
  s->constraint_angle = static_cast<float>(constraint_angle.value);
  s->gravity = static_cast<float>(gravity.value * 0.00001);
  s->swirl_density = static_cast<float>(swirl_density.value);
  s->swirl_to_max = static_cast<float>(swirl_to_max.value);
  s->swirl_magnitude = static_cast<float>(swirl_magnitude.value * 0.0001);
  s->friction_factor = use_friction.value ? static_cast<float>(1.0 - friction.value * 0.01) : 1.0f;
  // Speeds are given in pixels per frame; the simulation moves in frame widths.
  s->wind_speed = use_wind.value ? static_cast<float>(wind_speed.value / frame_width) : 0.0f;

  // The constraint works along the wind axis, so the axis exists even with the wind off.
  Direction2 wind{0.0f, 0.0f};
  if (use_wind.value || use_constraint.value) {
    wind = unit_or_zero(static_cast<float>(wind_target.value_x - wind_source.value_x),
                        static_cast<float>(wind_target.value_y - wind_source.value_y));
  }
  s->wind_dir_x = wind.x;
  s->wind_dir_y = wind.y;
  s->perp_x = -wind.y;
  s->perp_y = wind.x;
  s->z_speed = static_cast<float>(z_speed.value / frame_width);

  // The gravity vector is built from the stored single-precision fields (gravity,
  // perp_x, perp_y), not from the control values again.
  if (use_gravity.value && gravity_90.value) {
    s->gravity_x = s->perp_x * s->gravity;
    s->gravity_y = s->perp_y * s->gravity;
    // At right angles to the wind, always toward increasing y.
    if (s->gravity_y < 0.0f) {
      s->gravity_x = -s->gravity_x;
      s->gravity_y = -s->gravity_y;
    }
  } else if (use_gravity.value) {
    const double a = gravity_angle.value * kDegree;
    s->gravity_x = static_cast<float>(std::cos(a) * s->gravity);
    s->gravity_y = static_cast<float>(std::sin(a) * s->gravity);
  } else {
    s->gravity_x = 0.0f;
    s->gravity_y = 0.0f;
  }
}

void Brumel::derive_look_constants(CloudSystem* s) {
  const std::uint16_t* lit = use_light.value ? light_colour.value : cloud_colour.value;
  s->lit_colour_0 = lit[0];
  s->lit_colour_1 = lit[1];
  s->lit_colour_2 = lit[2];
  s->cloud_colour_0 = cloud_colour.value[0];
  s->cloud_colour_1 = cloud_colour.value[1];
  s->cloud_colour_2 = cloud_colour.value[2];
  s->density = static_cast<float>(density.value * 0.01);
  s->texture_x = static_cast<float>(texture_x.value * 0.2);
  s->texture_y = static_cast<float>(texture_y.value * 0.2);
  s->fade_in = static_cast<float>(fade_in_life.value * 0.01);
  s->fade_out_start = static_cast<float>(1.0 - fade_out_life.value * 0.01);
  s->perspective = perspective.value ? 1 : 0;
  s->camera_distance = static_cast<float>(camera_distance.value);
  s->vanish_x = static_cast<float>(vanishing_point.value_x);
  s->vanish_y = static_cast<float>(vanishing_point.value_y);
}

bool Brumel::derive_stamp_inputs(CloudSystem* s) {
  // The watched fields are the inputs of the stamp planes (and two texture settings):
  // a change of any of them means the stamps must be rebuilt.
  bool changed = false;
  changed |= store_watched(s->fluffiness, static_cast<float>(fluffiness.value * 0.1));
  changed |= store_watched(s->brightness, static_cast<float>((50.0 - brightness.value) * 0.02));
  changed |= store_watched(s->contrast, static_cast<float>(contrast.value * 0.02));

  // From the target toward the source; straight up the frame when they coincide.
  const float lx = static_cast<float>(light_source.value_x - light_target.value_x);
  const float ly = static_cast<float>(light_source.value_y - light_target.value_y);
  const float lz = static_cast<float>(z_light_source.value);
  const float len = static_cast<float>(std::sqrt(lx * lx + ly * ly + lz * lz));
  float dir_x = 0.0f, dir_y = -1.0f, dir_z = 0.0f;
  if (len > 0.00001) {
    const float inv = 1.0f / len;
    dir_x = lx * inv;
    dir_y = ly * inv;
    dir_z = lz * inv;
  }
  changed |= store_watched(s->light_dir_x, dir_x);
  changed |= store_watched(s->light_dir_y, dir_y);
  changed |= store_watched(s->light_dir_z, dir_z);
  changed |= store_watched(s->use_textured, use_textured.value ? 1 : 0);
  changed |= store_watched(s->texture_mag, static_cast<float>(texture_mag.value * 0.01));
  return changed;
}

}  // namespace brumel
