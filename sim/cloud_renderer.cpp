// The cloud renderer: every live particle, in list order, is drawn as its size level's
// puff stamp, moved to its sub-pixel position and blended into the output rows of one
// band. Bands write disjoint rows and each draws every particle in the same order, so a
// pixel sees the same blends whatever the number of bands.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "render/image_buffer.h"
#include "render/parallel.h"
#include "render/shifted_blend.h"
#include "render/sub_pixel_shift.h"
#include "sim/brumel.h"
#include "sim/cloud_blend.h"

namespace brumel {

namespace {

constexpr std::int32_t kTopLevel = 160;
constexpr std::int32_t kImageMax = ImageBuffer::kImageMax;

// Truncation toward zero of a pixel position. Particles are never removed for leaving
// the frame, so the value may be anything: it is kept within +-2^30, far outside every
// frame (and every band), where the rejection tests turn it away without overflowing;
// a NaN goes there too.
std::int32_t pixel_of(float v) {
  constexpr float kFar = 1073741824.0f;
  if (!(v > -kFar)) return -1073741824;
  if (v >= kFar) return 1073741824;
  return static_cast<std::int32_t>(v);
}

double colour_of(float v) {
  if (!(v > 0.0f)) return 0.0;
  return v < 32767.0f ? static_cast<double>(v) : 32767.0;
}

}  // namespace

CloudColours cloud_colours(const CloudSystem& s) {
  return {{std::trunc(colour_of(s.lit_colour_0)), std::trunc(colour_of(s.lit_colour_1)),
           std::trunc(colour_of(s.lit_colour_2))},
          {colour_of(s.cloud_colour_0), colour_of(s.cloud_colour_1), colour_of(s.cloud_colour_2)}};
}

std::int32_t row_opacity(std::int32_t opacity, float density) {
  const float scaled = static_cast<float>(opacity) * density;
  return scaled >= 32767.0f ? kImageMax : (scaled > 0.0f ? static_cast<std::int32_t>(scaled) : 0);
}

bool puff_misses(std::int32_t ix, std::int32_t iy, std::int32_t half, std::int32_t width,
                 std::int32_t first, std::int32_t last) {
  return ix + half < 0 || ix - half >= width || iy + half < first || iy - half > last;
}

bool Brumel::place_puff(const Particle* p, PuffPlacement& at) const {
  const CloudSystem* s = system;
  if (!s) return false;
  const auto w = static_cast<float>(s->frame_width);
  const auto h = static_cast<float>(s->frame_height);
  float xp = p->x * w;
  float yp = p->y * h;

  std::int32_t opacity = kImageMax;
  if (use_fading.value) {
    const float a = fade_envelope(p) * 32767.0f;
    opacity = a >= 32767.0f ? kImageMax : (a > 0.0f ? static_cast<std::int32_t>(a) : 0);
  }
  if (opacity <= 0) return false;

  std::int32_t level = p->size;
  if (s->grow_shrink) {
    const float grown = static_cast<float>(p->min_size) +
                        grow_envelope(p) * static_cast<float>(p->size - p->min_size);
    level = pixel_of(grown);
  }

  if (s->perspective) {
    if (!(p->z < s->camera_distance)) return false;
    const float gap = s->camera_distance - p->z;
    const auto scale = static_cast<float>(100.0 / static_cast<double>(gap));
    const float scaled = static_cast<float>(level) * scale;
    // Below 1 gives level 0, the smallest stamp; beyond the table, the largest.
    if (scaled >= static_cast<float>(kTopLevel)) {
      level = kTopLevel;
    } else if (scaled >= 0.0f) {
      level = static_cast<std::int32_t>(scaled);
    } else {
      level = -1;  // a negative size: nothing to draw, as below
    }
    xp = (scale * (p->x - s->vanish_x) + s->vanish_x) * w;
    yp = (scale * (p->y - s->vanish_y) + s->vanish_y) * h;
  }
  // Without perspective the level comes from the births, which keep it within the
  // table; a level outside it (set by hand) has no stamp and is skipped.
  if (level < 0 || level >= s->stamp_count || level > kTopLevel) return false;
  at.level = level;
  at.opacity = opacity;
  at.ix = pixel_of(xp);
  at.iy = pixel_of(yp);
  at.fx = xp - static_cast<float>(at.ix);
  at.fy = yp - static_cast<float>(at.iy);
  return true;
}

void Brumel::render_cloud() {
  CloudSystem* s = system;
  const ImageBuffer* out = output_image.image;
  if (!s || !out || s->live_count <= 0) return;
  // Each particle is placed once for the frame; the bands then only clip and draw.
  placed.clear();
  for (const Particle* p = s->live_list; p; p = p->next) {
    PlacedPuff puff{p, {}};
    if (place_puff(p, puff.at)) placed.push_back(puff);
  }
  // Many bands spread a cloud that fills part of the frame; a textured band also shifts
  // every stamp row its displaced lookups reach, far beyond its own rows, so textured
  // frames take fewer, taller bands.
  const bool textured = s->use_textured && s->texture_mag > 0.0f;
  run_parallel_bands(this, &Brumel::draw_placed_band, s->frame_height, textured ? 2 : 16, 8);
}

void Brumel::draw_placed_band(std::int32_t first, std::int32_t last) {
  const ImageBuffer* out = output_image.image;
  if (first > last) return;
  const bool in_range = out->samplesInRange ||
                        rows_in_range(out->rows, out->width, std::max(first, 0),
                                      std::min(last, out->height - 1));
  for (const PlacedPuff& puff : placed) {
    if (abort_requested()) break;
    draw_placed(puff.particle, puff.at, first, last, in_range);
  }
}

void Brumel::render_band(std::int32_t first, std::int32_t last) {
  CloudSystem* s = system;
  const ImageBuffer* out = output_image.image;
  if (!s || !out || first > last || s->live_count <= 0) return;
  const bool in_range = out->samplesInRange ||
                        rows_in_range(out->rows, out->width, std::max(first, 0),
                                      std::min(last, out->height - 1));
  for (const Particle* p = s->live_list; p; p = p->next) {
    if (abort_requested()) break;
    PuffPlacement at;
    if (place_puff(p, at)) draw_placed(p, at, first, last, in_range);
  }
}

void Brumel::draw_puff(const Particle* p, std::int32_t first, std::int32_t last) {
  PuffPlacement at;
  const ImageBuffer* out = output_image.image;
  if (out && place_puff(p, at)) draw_placed(p, at, first, last, out->samplesInRange);
}

void Brumel::draw_placed(const Particle* p, const PuffPlacement& at, std::int32_t first,
                         std::int32_t last, bool in_range) {
  const CloudSystem* s = system;
  // A level whose stamp could not be built is skipped.
  const PuffStamp* base = s->stamps[at.level];
  if (!base) return;
  // The shifted stamp is two pixels wider than its base; testing its extent first spares
  // the work for the bands and particles it would miss anyway.
  if (puff_misses(at.ix, at.iy, (base->width + 2) / 2, s->frame_width, first, last)) return;
  if (s->use_textured && s->texture_mag > 0.0f) {
    draw_textured_puff(p, *base, at, first, last);
    return;
  }
  ImageBuffer* out = output_image.image;
  if (!out) return;
  const std::int32_t sw = base->width + 2;
  const std::int32_t half = sw / 2;
  ShiftedBlend job;
  job.stamp = base;
  job.fx = at.fx;
  job.fy = at.fy;
  job.x0 = at.ix - half;
  job.y0 = at.iy - half;
  job.j0 = std::max(0, std::max(first, 0) - job.y0);
  job.j1 = std::min(base->height + 2, std::min(last, out->height - 1) - job.y0 + 1);
  job.i0 = std::max(0, -job.x0);
  job.i1 = std::min(sw, std::min(s->frame_width, out->width) - job.x0);
  if (job.j0 >= job.j1 || job.i0 >= job.i1) return;
  job.rows = out->rows;
  job.a_row = row_opacity(at.opacity, s->density);
  const CloudColours colours = cloud_colours(*s);
  std::copy(colours.lit, colours.lit + 3, job.lit);
  std::copy(colours.shadow, colours.shadow + 3, job.shadow);
  job.clamp_untouched = !in_range;
  // Stamps too large for the shift, or a fraction that is not a number, take the
  // general path, which gives those stamps no density.
  if (!blend_shifted_stamp(job)) draw_puff_reference(p, first, last);
}

void Brumel::splat_stamp(std::int32_t ix, std::int32_t iy, std::int32_t opacity,
                         const PuffStamp* stamp, std::int32_t first, std::int32_t last,
                         const Particle* p) {
  splat_stamp_reference(ix, iy, opacity, stamp, first, last, p);
}

}  // namespace brumel
