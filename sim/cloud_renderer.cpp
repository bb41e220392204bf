// The cloud renderer: every live particle, in list order, is drawn as its size level's
// puff stamp, moved to its sub-pixel position and blended into the output rows of one
// band. Bands write disjoint rows and each draws every particle in the same order, so a
// pixel sees the same blends whatever the number of bands.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "render/image_buffer.h"
#include "render/sub_pixel_shift.h"
#include "sim/brumel.h"

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

std::int32_t clamp_sample(std::int32_t v) { return v < 0 ? 0 : (v > kImageMax ? kImageMax : v); }

double colour_of(float v) {
  if (!(v > 0.0f)) return 0.0;
  return v < 32767.0f ? static_cast<double>(v) : 32767.0;
}

// Row and column ranges of a stamp that fall inside rows first..last and columns
// 0..width-1 of the output; empty when the stamp misses them.
struct Span {
  std::int32_t j0, j1;  // stamp rows j0 .. j1 - 1
  std::int32_t i0, i1;  // stamp columns i0 .. i1 - 1
};

// Whether a stamp of half-width `half` centred on (ix, iy) misses columns 0..width-1 or
// rows first..last. The vertical tests use the horizontal half too.
bool rejected(std::int32_t ix, std::int32_t iy, std::int32_t half, std::int32_t width,
              std::int32_t first, std::int32_t last) {
  return ix + half < 0 || ix - half >= width || iy + half < first || iy - half > last;
}

// Blends one sample of coverage a (0..32768) and shade sh_v into an output pixel.
void blend(std::uint16_t* px, std::int32_t a, float sh_v, const double lit[3],
           const double shadow[3]) {
  const std::int32_t keep = 32768 - a;
  const double sd = sh_v;
  for (int c = 0; c < 3; ++c) {
    const auto cc = static_cast<std::int32_t>(lit[c] * sd + shadow[c] * (1.0 - sd));
    px[c] = static_cast<std::uint16_t>(clamp_sample((cc * a + px[c] * keep) >> 15));
  }
  px[3] = static_cast<std::uint16_t>(clamp_sample((px[3] * keep + a * 32767) >> 15));
}

// Blends the rows of a shifted stamp `full` rows high that fall in output rows
// first..last; `stamp` holds its rows row0 .. row0 + stamp.height - 1 (all of them for
// the textured lookup, which may read any row).
void splat(Brumel& b, std::int32_t ix, std::int32_t iy, std::int32_t opacity,
           const PuffStamp& stamp, std::int32_t row0, std::int32_t full, std::int32_t first,
           std::int32_t last, const Particle* p) {
  const CloudSystem* s = b.system;
  ImageBuffer* out = b.output_image.image;
  if (!out) return;
  const std::int32_t sw = stamp.width;
  const std::int32_t sh = full;
  const std::int32_t half = sw / 2;
  const std::int32_t frame_w = s->frame_width;
  if (rejected(ix, iy, half, frame_w, first, last)) return;

  // Rows and columns that lie in the band and the frame; the image bounds guard memory
  // should the frame size and the buffer ever disagree.
  const std::int32_t x0 = ix - half;
  const std::int32_t y0 = iy - half;
  const std::int32_t right = std::min(frame_w, out->width);
  const std::int32_t top = std::max(first, 0);
  const std::int32_t bottom = std::min(last, out->height - 1);
  Span span{std::max(0, top - y0), std::min(sh, bottom - y0 + 1), std::max(0, -x0),
            std::min(sw, right - x0)};
  if (span.j0 >= span.j1 || span.i0 >= span.i1) return;
  // Rows outside the ones held (a caller's error) are left alone.
  span.j0 = std::max(span.j0, row0);
  span.j1 = std::min(span.j1, row0 + stamp.height);
  if (span.j0 >= span.j1) return;

  // A' = A x density, truncated. Density lies in 0..1 over the control's range; the clamp
  // keeps every product of the blend within 32 bits for any value set by hand.
  const float scaled = static_cast<float>(opacity) * s->density;
  const std::int32_t a_row =
      scaled >= 32767.0f ? kImageMax : (scaled > 0.0f ? static_cast<std::int32_t>(scaled) : 0);

  // The colours are image values by derivation; held to 0..32767 so that one set by hand
  // cannot overflow the blend.
  const double lit[3] = {std::trunc(colour_of(s->lit_colour_0)),
                         std::trunc(colour_of(s->lit_colour_1)),
                         std::trunc(colour_of(s->lit_colour_2))};
  const double shadow[3] = {colour_of(s->cloud_colour_0), colour_of(s->cloud_colour_1),
                            colour_of(s->cloud_colour_2)};

  const bool textured = s->use_textured && s->texture_mag > 0.0f;
  const double mag = s->texture_mag;
  const float fw = static_cast<float>(sw);
  const float fh = static_cast<float>(sh);
  const float ux = p->x * 10.0f;
  const float vy = p->y * 10.0f;
  const auto t = static_cast<float>(static_cast<double>(s->current_frame) * b.seethe.value * 0.01 +
                                    static_cast<double>(p->phase));

  if (!textured) {
    for (std::int32_t j = span.j0; j < span.j1; ++j) {
      std::uint16_t* row = out->rows[y0 + j];
      const std::int32_t* dens_row = stamp.density + static_cast<std::size_t>(j - row0) * sw;
      const float* shade_row = stamp.shade + static_cast<std::size_t>(j - row0) * sw;
      for (std::int32_t i = span.i0; i < span.i1; ++i) {
        const std::int32_t a = (dens_row[i] * a_row) >> 8;
        std::uint16_t* px = row + static_cast<std::size_t>(x0 + i) * 4;
        if (a == 0) {
          // keep = 32768 gives (px * 32768) >> 15, the sample itself, whatever the colour.
          for (int c = 0; c < 4; ++c) px[c] = static_cast<std::uint16_t>(clamp_sample(px[c]));
          continue;
        }
        blend(px, a, shade_row[i], lit, shadow);
      }
    }
    return;
  }
  if (row0 != 0 || stamp.height != full) return;  // the lookup needs every row

  for (std::int32_t j = span.j0; j < span.j1; ++j) {
    std::uint16_t* row = out->rows[y0 + j];
    const std::int32_t* dens_row = stamp.density + static_cast<std::size_t>(j) * sw;
    const float v = static_cast<float>(j) / fh * s->texture_y + vy;
    for (std::int32_t i = span.i0; i < span.i1; ++i) {
      // The lookup is displaced by two gradient noises animated by Seethe; outside the
      // stamp it finds nothing.
      std::int32_t d = 0;
      float sh_v = 0.5f;
      const float u = static_cast<float>(i) / fw * s->texture_x + ux;
      const double g1 = b.gradient_noise(u, v, t);
      const double g2 = b.gradient_noise(static_cast<float>(u + 3.14), static_cast<float>(v + 2.71),
                                         static_cast<float>(t + 4.35));
      const double sx = std::trunc(i + g1 * mag * sw);
      const double sy = std::trunc(j + g2 * mag * sh);
      if (sx >= 0.0 && sx < sw && sy >= 0.0 && sy < sh) {
        const std::size_t at = static_cast<std::size_t>(sy) * sw + static_cast<std::size_t>(sx);
        d = (dens_row[i] * stamp.density[at]) >> 8;
        sh_v = stamp.shade[at];
      }
      blend(row + static_cast<std::size_t>(x0 + i) * 4, (d * a_row) >> 8, sh_v, lit, shadow);
    }
  }
}

}  // namespace

void Brumel::render_band(std::int32_t first, std::int32_t last) {
  CloudSystem* s = system;
  if (!s || first > last || s->live_count <= 0) return;
  for (const Particle* p = s->live_list; p; p = p->next) {
    if (abort_requested()) break;
    draw_puff(p, first, last);
  }
}

void Brumel::draw_puff(const Particle* p, std::int32_t first, std::int32_t last) {
  const CloudSystem* s = system;
  const auto w = static_cast<float>(s->frame_width);
  const auto h = static_cast<float>(s->frame_height);
  float xp = p->x * w;
  float yp = p->y * h;

  std::int32_t opacity = kImageMax;
  if (use_fading.value) {
    const float a = fade_envelope(p) * 32767.0f;
    opacity = a >= 32767.0f ? kImageMax : (a > 0.0f ? static_cast<std::int32_t>(a) : 0);
  }
  if (opacity <= 0) return;

  std::int32_t level = p->size;
  if (s->grow_shrink) {
    const float grown = static_cast<float>(p->min_size) +
                        grow_envelope(p) * static_cast<float>(p->size - p->min_size);
    level = pixel_of(grown);
  }

  if (s->perspective) {
    if (!(p->z < s->camera_distance)) return;
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
  // table; a level outside it (set by hand) has no stamp and is skipped, as is a level
  // whose stamp could not be built.
  if (level < 0 || level >= s->stamp_count || level > kTopLevel) return;
  const PuffStamp* base = s->stamps[level];
  if (!base) return;

  const std::int32_t ix = pixel_of(xp);
  const std::int32_t iy = pixel_of(yp);
  // The shifted stamp is two pixels wider than its base; testing its extent before
  // shifting spares the copy for the bands and particles it would miss anyway.
  if (rejected(ix, iy, (base->width + 2) / 2, s->frame_width, first, last)) return;
  const float fx = xp - static_cast<float>(ix);
  const float fy = yp - static_cast<float>(iy);

  // The textured lookup may read any row of the stamp, so it needs the whole shift; the
  // plain blend reads only the rows that fall in this band, and only those are shifted.
  if (s->use_textured && s->texture_mag > 0.0f) {
    PuffStamp* shifted = shift_stamp(base, fx, fy);
    if (!shifted) return;  // no memory for the copy: this band skips the particle
    splat_stamp(ix, iy, opacity, shifted, first, last, p);
    stamp_free(shifted);
    return;
  }
  const ImageBuffer* out = output_image.image;
  if (!out) return;
  const std::int32_t full = base->height + 2;
  const std::int32_t y0 = iy - (base->width + 2) / 2;
  const std::int32_t j0 = std::max(0, std::max(first, 0) - y0);
  const std::int32_t j1 = std::min(full, std::min(last, out->height - 1) - y0 + 1);
  if (j0 >= j1) return;
  PuffStamp* rows = shift_stamp_rows(base, fx, fy, j0, j1 - 1);
  if (!rows) return;  // as above
  splat(*this, ix, iy, opacity, *rows, j0, full, first, last, p);
  stamp_free(rows);
}

void Brumel::splat_stamp(std::int32_t ix, std::int32_t iy, std::int32_t opacity,
                         const PuffStamp* stamp, std::int32_t first, std::int32_t last,
                         const Particle* p) {
  if (stamp) splat(*this, ix, iy, opacity, *stamp, 0, stamp->height, first, last, p);
}
