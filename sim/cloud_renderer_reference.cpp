// The reference cloud renderer: the straightforward form of the draw, kept beside the
// fast one so that tests and benchmarks can hold the two side by side. Every particle a
// band reaches gets a whole shifted copy of its stamp, and every sample of that copy in
// the band is blended one at a time. The node never calls it.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "render/sub_pixel_shift.h"
#include "sim/brumel.h"
#include "sim/cloud_blend.h"

namespace brumel {

void Brumel::render_band_reference(std::int32_t first, std::int32_t last) {
  CloudSystem* s = system;
  if (!s || first > last || s->live_count <= 0) return;
  for (const Particle* p = s->live_list; p; p = p->next) {
    if (abort_requested()) break;
    draw_puff_reference(p, first, last);
  }
}

void Brumel::draw_puff_reference(const Particle* p, std::int32_t first, std::int32_t last) {
  PuffPlacement at;
  if (!place_puff(p, at)) return;
  const PuffStamp* base = system->stamps[at.level];
  if (!base) return;
  const StampPtr shifted(shift_stamp(base, at.fx, at.fy));
  if (!shifted) return;  // no memory for the copy: this band skips the particle
  splat_stamp_reference(at.ix, at.iy, at.opacity, shifted.get(), first, last, p);
}

void Brumel::splat_stamp_reference(std::int32_t ix, std::int32_t iy, std::int32_t opacity,
                                   const PuffStamp* stamp, std::int32_t first, std::int32_t last,
                                   const Particle* p) {
  const CloudSystem* s = system;
  ImageBuffer* out = output_image.image;
  if (!stamp || !out) return;
  const std::int32_t w = stamp->width;
  const std::int32_t h = stamp->height;
  const std::int32_t half = w / 2;
  const std::int32_t frame_w = s->frame_width;
  if (ix + half < 0 || ix - half >= frame_w || iy + half < first || iy - half > last) return;
  const std::int32_t x0 = ix - half;
  const std::int32_t y0 = iy - half;
  const std::int32_t a_row = row_opacity(opacity, s->density);
  const CloudColours colours = cloud_colours(*s);
  const bool textured = s->use_textured && s->texture_mag > 0.0f;
  const double mag = s->texture_mag;
  const auto t = static_cast<float>(static_cast<double>(s->current_frame) * seethe.value * 0.01 +
                                    static_cast<double>(p->phase));

  for (std::int32_t j = 0; j < h; ++j) {
    const std::int32_t y = y0 + j;
    if (y < first || y < 0) continue;
    if (y > last || y >= out->height) break;
    std::uint16_t* row = out->rows[y];
    const float v = static_cast<float>(j) / static_cast<float>(h) * s->texture_y + p->y * 10.0f;
    for (std::int32_t i = 0; i < w; ++i) {
      const std::int32_t x = x0 + i;
      if (x < 0) continue;
      if (x >= frame_w || x >= out->width) break;
      const std::size_t at = static_cast<std::size_t>(j) * w + static_cast<std::size_t>(i);
      std::int32_t d = stamp->density[at];
      float shade = stamp->shade[at];
      if (textured) {
        // The lookup is displaced by two gradient noises animated by Seethe; outside the
        // stamp it finds nothing.
        const float u = static_cast<float>(i) / static_cast<float>(w) * s->texture_x + p->x * 10.0f;
        const double g1 = gradient_noise(u, v, t);
        const double g2 = gradient_noise(static_cast<float>(u + 3.14), static_cast<float>(v + 2.71),
                                         static_cast<float>(t + 4.35));
        const double sx = std::trunc(i + g1 * mag * w);
        const double sy = std::trunc(j + g2 * mag * h);
        if (sx >= 0.0 && sx < w && sy >= 0.0 && sy < h) {
          const std::size_t look = static_cast<std::size_t>(sy) * w + static_cast<std::size_t>(sx);
          d = (d * stamp->density[look]) >> 8;
          shade = stamp->shade[look];
        } else {
          d = 0;
          shade = 0.5f;
        }
      }
      blend_sample(row + static_cast<std::size_t>(x) * 4, (d * a_row) >> 8, shade, colours);
    }
  }
}

}  // namespace brumel
