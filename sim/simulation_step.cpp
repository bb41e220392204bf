// The simulation step: births, the render of the live particles, then ageing, death
// and motion. Every random number comes from the table through the cursor, in a fixed
// order, so a seed and a sequence of steps reproduce the same cloud bit for bit.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>

#include "render/image_buffer.h"
#include "render/degrees.h"
#include "render/int32_truncation.h"
#include "sim/brumel.h"

namespace brumel {

namespace {

constexpr double kBirthThreshold = 0.001;
constexpr std::int64_t kAttemptsPerBirth = 10;
constexpr std::int32_t kMinLevel = 1;
constexpr std::int32_t kMaxLevel = 160;
constexpr double kSizeFactor = 4.0;
constexpr double kPhaseScale = 100.0;
constexpr float kVelocityBound = 1.0f;
constexpr double kSwirlThreshold = 0.01;
constexpr double kSwirlTime = 0.04;
constexpr float kConstraintLimit = 90.0f;
constexpr std::int32_t kMatteThreshold = 10;

// The matte pixel under a birth point, or -1 when the point lies outside the frame.
// trunc(W * bx) lies in 0..W-1 exactly when the product lies in (-1, W).
std::int32_t matte_at(const ImageBuffer& matte, std::int32_t w, std::int32_t h, float bx,
                      float by) {
  const float fx = static_cast<float>(w) * bx;
  const float fy = static_cast<float>(h) * by;
  if (!(fx > -1.0f && fx < static_cast<float>(w) && fy > -1.0f && fy < static_cast<float>(h))) {
    return -1;
  }
  const auto px = static_cast<std::int32_t>(fx);
  const auto py = static_cast<std::int32_t>(fy);
  return matte.rows[py][4 * px];
}

// Fraction of its life a particle has spent, or a value outside 0..1.
float life_spent(const Particle* p) {
  const std::int32_t left = p->lifetime - p->age;
  return static_cast<float>(1.0 - static_cast<double>(left) / p->lifetime);
}

float envelope(float t, float rise, float fall_start) {
  if (t < 0.0f || t > 1.0f) return 0.0f;
  if (rise > t) return 1.0f - (rise - t) / rise;
  if (t > fall_start) return 1.0f - (t - fall_start) / (1.0f - fall_start);
  return 1.0f;
}

}  // namespace

BirthPoint Brumel::birth_position(float aspect) {
  const CloudSystem* s = system;
  // sqrt of a uniform draw spreads the points evenly over the disc's area.
  const double r = s->birth_radius * std::sqrt(static_cast<double>(part_rand_01(random_cursor)));
  const auto zoff = static_cast<float>(static_cast<double>(part_rand_01(random_cursor)) *
                                       s->frame_width * s->birth_radius * s->z_range);
  const double theta = part_rand_01(random_cursor) * 360.0 * kDegree;
  // The aspect factor makes the disc circular in pixels.
  return {static_cast<float>(s->birth_x + r * std::cos(theta)),
          static_cast<float>(s->birth_y - r * std::sin(theta) * aspect),
          s->birth_z + zoff};
}

float Brumel::fade_envelope(const Particle* p) const {
  return envelope(life_spent(p), system->fade_in, system->fade_out_start);
}

float Brumel::grow_envelope(const Particle* p) const {
  return envelope(life_spent(p), system->grow_in, system->shrink_start);
}

void Brumel::simulate_step(CloudSystem* s, std::int32_t frame) {
  give_births(s, births_wanted(s));
  // The render, before the motion: a frame shows each particle where the previous
  // step left it.
  draw_step(s);
  advance_particles(s, frame);
}

std::int32_t Brumel::births_wanted(const CloudSystem* s) {
  if (s->birth_count_mean < kBirthThreshold) return 0;
  const float u = part_rand_01(random_cursor);
  if (!(s->continuity > u)) return 0;
  return truncate_to_int32(part_var_1(s->birth_count_mean, s->birth_count_spread, random_cursor) + 0.5);
}

void Brumel::give_births(CloudSystem* s, std::int32_t wanted) {
  const std::int32_t w = s->frame_width;
  const std::int32_t h = s->frame_height;
  // A rejected point counts a failure; too many in a row end the births.
  std::int64_t failures = 0;
  // Implementer's choice: the lifetime rule never ends the loop when no draw can give
  // a positive lifetime (a Lifetime below one half set by program), so that many
  // uncounted attempts in a row, a whole table's worth, also end the births.
  std::int32_t uncounted = 0;
  std::int32_t born = 0;
  while (born < wanted) {
    if (failures > kAttemptsPerBirth * wanted) {
      std::fputs("Tried many times to create a particle\n", stdout);
      std::fputs("Probability of success too low to continue - check matte\n", stdout);
      std::fflush(stdout);
      break;
    }
    // The lifetime is drawn inline, not through part_var_1: it keeps double precision
    // up to the truncation.
    const double u_life = cursor_draw(random_table, random_cursor, in_mp_region, kVar1Warning);
    const std::int32_t life = truncate_to_int32((u_life + u_life - 1.0) * s->lifetime_spread + s->lifetime_mean + 0.5);
    const double u_limit = cursor_draw(random_table, random_cursor, in_mp_region, kVar1Warning);
    const std::int32_t limit = truncate_to_int32((u_limit + u_limit - 1.0) * s->max_age_spread + s->max_age_mean + 0.5);
    if (life <= 0 || limit <= 0) {
      if (++uncounted > kRandomTableSize) break;
      continue;
    }
    uncounted = 0;

    const BirthPoint b = birth_position(static_cast<float>(w) / static_cast<float>(h));
    if (s->use_birth_matte) {
      const std::int32_t m = matte_at(*matte_image.image, w, h, b.x, b.y);
      const std::int32_t ink = s->invert_birth_matte ? ImageBuffer::kImageMax - m : m;
      if (m < 0 || ink <= kMatteThreshold) {
        ++failures;
        continue;
      }
    }
    // Implementer's choice: without a particle to fill (the store could not grow) no
    // later attempt of this step can succeed either, so the births end here.
    if (!place_particle(s, b, life, limit)) break;
    ++born;
    failures = 0;
  }
}

Particle* Brumel::place_particle(CloudSystem* s, const BirthPoint& b, std::int32_t life,
                                 std::int32_t limit) {
  Particle* p = brumel::take_particle(s);
  if (!p) return nullptr;
  p->prev_x = p->x = b.x;
  p->prev_y = p->y = b.y;
  p->prev_z = p->z = b.z;
  p->lifetime = life;
  p->max_age = limit;
  p->age = 0;
  p->phase = static_cast<float>(part_rand_11(random_cursor) * kPhaseScale);
  // The wind is the starting velocity (and later a steady drift as well).
  p->vx = s->wind_dir_x * s->wind_speed;
  p->vy = s->wind_dir_y * s->wind_speed;
  p->vz = s->z_speed;

  const float factor = part_rand_11(random_cursor) * s->cloud_size_variation + 1.0f;
  p->size = truncate_to_int32(static_cast<double>(s->cloud_size * factor) * kSizeFactor);
  if (p->size > kMaxLevel) p->size = kMaxLevel;
  if (p->size < kMinLevel) p->size = kMinLevel;
  if (s->grow_shrink) {
    p->min_size = truncate_to_int32(static_cast<double>(s->min_cloud_size * factor) * kSizeFactor);
    if (p->min_size > p->size) p->min_size = p->size;
    if (p->min_size < kMinLevel) p->min_size = kMinLevel;
  } else {
    p->min_size = p->size;
  }

  p->next = s->live_list;
  s->live_list = p;
  ++s->live_count;
  return p;
}

void Brumel::draw_step(CloudSystem* s) {
  // Pre-roll steps and Wireframe mode draw nothing.
  if (preroll_requested != 0 || mode.value != 1) return;
  if (s->live_count > 0) brumel::sort_live_by_depth(s);
  // A frame simulated without drawing still sorts, so that the painter's order of
  // later frames is that of a drawn run.
  if (draw_suppressed) return;
  prepare_stamps();
  in_mp_region = 1;
  if (reference_render)
    run_parallel(&Brumel::render_band_reference, s->frame_height);
  else
    render_cloud();
  in_mp_region = 0;
}

void Brumel::advance_particles(CloudSystem* s, std::int32_t frame) {
  const bool swirling = use_swirling.value && s->swirl_density > kSwirlThreshold;
  const bool constrained = use_constraint.value && s->constraint_angle < kConstraintLimit;
  Particle* prev = nullptr;
  Particle* next = nullptr;
  for (Particle* p = s->live_list; p; p = next) {
    next = p->next;
    ++p->age;
    if (p->age >= p->lifetime || p->age >= p->max_age) {
      brumel::release(s, p, prev);
      continue;
    }

    if (p->vx < -kVelocityBound || p->vx > kVelocityBound) p->vx = 0.0f;
    if (p->vy < -kVelocityBound || p->vy > kVelocityBound) p->vy = 0.0f;
    p->prev_x = p->x;
    p->prev_y = p->y;
    p->prev_z = p->z;

    p->vx += s->gravity_x;
    p->vy += s->gravity_y;
    p->vz += s->z_speed;
    p->vx *= s->friction_factor;
    p->vy *= s->friction_factor;
    p->vz *= s->friction_factor;
    p->x += s->wind_dir_x * s->wind_speed + p->vx;
    p->y += s->wind_dir_y * s->wind_speed + p->vy;
    p->z += p->vz;

    if (swirling) swirl(s, p, frame);
    if (constrained) constrain(s, p);
    prev = p;
  }
}

void Brumel::swirl(CloudSystem* s, Particle* p, std::int32_t frame) {
  const float d = s->swirl_density;
  const float sx = p->x * d;
  const float sy = p->y * d;
  const auto t = static_cast<float>(static_cast<double>(d) * frame * kSwirlTime);
  // The ramp divides by this; the next derived-constants pass restores the control value.
  if (s->swirl_to_max < 1.0f) s->swirl_to_max = 1.0f;
  float ramp = static_cast<float>(p->age) / s->swirl_to_max;
  if (ramp > 1.0f) ramp = 1.0f;
  const float amp = ramp * s->swirl_magnitude;
  const double na = gradient_noise(static_cast<float>(sx + 3.14), static_cast<float>(sy + 2.71),
                                   static_cast<float>(t + 4.35));
  const double nb = gradient_noise(sx, sy, t);
  p->vx = static_cast<float>(p->vx + nb * amp);
  p->vy = static_cast<float>(p->vy + na * amp);
}

void Brumel::constrain(const CloudSystem* s, Particle* p) {
  const float dx = p->x - s->birth_x;
  const float dy = p->y - s->birth_y;
  const auto d = static_cast<float>(std::sqrt(static_cast<double>(dx * dx + dy * dy)));
  if (!(d > 0.00001)) return;
  const float ux = dx / d;
  const float uy = dy / d;
  float c = ux * s->wind_dir_x + uy * s->wind_dir_y;
  // Implementer's choice: rounding can carry the cosine of two unit vectors just
  // past +-1, where acos has no value; the particle then lies on the axis.
  if (c > 1.0f) c = 1.0f;
  if (c < -1.0f) c = -1.0f;
  // Distance of the particle from the axis through the birth point along the wind.
  const auto q = static_cast<float>(std::fabs(std::sin(std::acos(static_cast<double>(c)))) * d);
  // Distance from the axis that the cone allows at this range.
  const auto allowed = static_cast<float>(
      std::tan(s->constraint_angle * kDegree) * std::sqrt(static_cast<double>(d * d + q * q)) +
      s->birth_radius);
  float e = (q - allowed) / allowed;
  if (e < 0.0f) e = 0.0f;
  float g = e * e * allowed;
  if (g > allowed) g = allowed;
  // The push points back toward the axis.
  const float side = s->perp_x * ux + s->perp_y * uy;
  if (side > 0.0f) {
    p->vx -= s->perp_x * g;
    p->vy -= s->perp_y * g;
  } else {
    p->vx += s->perp_x * g;
    p->vy += s->perp_y * g;
  }
}

}  // namespace brumel
