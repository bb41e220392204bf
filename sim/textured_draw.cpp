// The textured draw of one puff: the stamp is read at places displaced by two gradient
// noises animated by Seethe. The noises of the samples the band shows are worked out a
// stamp row at a time first (their u depends on the column only, v on the row only, t
// on the particle only); the displaced lookups they give tell which rows of the shifted
// stamp can be read at all, and only those rows are shifted before the blend.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <vector>

#include "render/stamp_rows_shift.h"
#include "render/sub_pixel_shift.h"
#include "sim/brumel.h"
#include "sim/cloud_blend.h"
#include "sim/gradient_noise_rows.h"
#include "sim/textured_rows.h"

namespace brumel {

namespace {

// Reused by every puff a thread draws: once grown to the largest stamp, a draw allocates
// nothing.
struct TexturedScratch {
  std::vector<float> u1, u2;       // noise x of each shown column, for each noise
  NoiseColumns x1, x2;             // their parts of the noises
  std::vector<double> g1, g2;      // the two noises along one row
  std::vector<std::int32_t> look;  // per shown sample: index into the shifted stamp, or -1
  std::vector<std::int32_t> lo, hi;  // per base row: first and last column of non-zero density
  std::vector<std::int32_t> density;  // the shifted rows the band reads
  std::vector<float> shade;
};

TexturedScratch& scratch() {
  thread_local TexturedScratch s;
  return s;
}

// Where a puff's shifted stamp (w x h, two pixels wider and higher than its base, its
// top-left corner at x0, y0 of the frame) meets the band: columns i0..i1-1, rows j0..j1-1.
struct Footprint {
  std::int32_t w, h, x0, y0, i0, i1, j0, j1;
  std::int32_t cols() const { return i1 - i0; }
};

// Per base row, the first and last column of non-zero density (hi -1: an empty row).
void find_density_spans(const PuffStamp& base, TexturedScratch& k) {
  const std::int32_t bw = base.width;
  k.lo.resize(base.height);
  k.hi.resize(base.height);
  for (std::int32_t r = 0; r < base.height; ++r) {
    const std::int32_t* row = base.density + static_cast<std::size_t>(r) * bw;
    std::int32_t a = 0, b = bw - 1;
    while (a < bw && row[a] == 0) ++a;
    while (b > a && row[b] == 0) --b;
    k.lo[r] = a;
    k.hi[r] = a < bw ? b : -1;
  }
}

// The column parts of the two noises for the shown columns.
void prepare_noise_columns(const Footprint& f, float texture_x, float particle_x, TexturedScratch& k) {
  for (std::int32_t i = f.i0; i < f.i1; ++i) {
    const float u = static_cast<float>(i) / static_cast<float>(f.w) * texture_x + particle_x * 10.0f;
    k.u1[i - f.i0] = u;
    k.u2[i - f.i0] = static_cast<float>(u + 3.14);
  }
  noise_columns(k.u1.data(), f.cols(), k.x1);
  noise_columns(k.u2.data(), f.cols(), k.x2);
}

// The displaced lookup of every shown sample (k.look, -1 where the sample covers
// nothing), widening r0..r1 to the rows of the shifted stamp that they read.
// A shifted sample blends each of its two taps from base columns k - 2 .. k of base
// rows j - 2 .. j, so it is 0 unless one of those is not; a sample of density 0 covers
// nothing wherever its lookup lands, and needs no noise.
void find_lookups(const GradientTable& table, const Footprint& f, std::int32_t base_width,
                  std::int32_t base_height, float v_scale, float particle_y, float t, double mag,
                  TexturedScratch& k, std::int32_t& r0, std::int32_t& r1) {
  const auto t2 = static_cast<float>(t + 4.35);
  const std::int32_t cols = f.cols();
  for (std::int32_t j = f.j0; j < f.j1; ++j) {
    std::int32_t c0 = base_width + 2;
    std::int32_t c1 = -1;  // shown columns c0 .. c1 - 1 may be covered
    for (std::int32_t r = std::max(0, j - 2); r <= std::min(base_height - 1, j); ++r) {
      if (k.hi[r] < 0) continue;
      c0 = std::min(c0, k.lo[r]);
      c1 = std::max(c1, k.hi[r] + 3);
    }
    c0 = std::max(c0, f.i0);
    c1 = std::min(c1, f.i1);
    std::int32_t* look = k.look.data() + static_cast<std::size_t>(j - f.j0) * cols;
    if (c0 >= c1) {
      std::fill(look, look + cols, -1);
      continue;
    }
    std::fill(look, look + (c0 - f.i0), -1);
    std::fill(look + (c1 - f.i0), look + cols, -1);
    const std::size_t n = static_cast<std::size_t>(c1 - c0);
    const float v = static_cast<float>(j) / static_cast<float>(f.h) * v_scale + particle_y * 10.0f;
    gradient_noise_row(table, k.x1, c0 - f.i0, n, v, t, k.g1.data());
    gradient_noise_row(table, k.x2, c0 - f.i0, n, static_cast<float>(v + 2.71), t2, k.g2.data());
    texture_lookup_row(k.g1.data(), k.g2.data(), n, c0, j, mag, f.w, f.h, look + (c0 - f.i0), &r0,
                       &r1);
  }
}

}  // namespace

void Brumel::draw_textured_puff(const Particle* p, const PuffStamp& base, const PuffPlacement& at,
                                std::int32_t first, std::int32_t last) {
  const CloudSystem* s = system;
  ImageBuffer* out = output_image.image;
  if (!out) return;
  Footprint f{};
  f.w = base.width + 2;
  f.h = base.height + 2;
  f.x0 = at.ix - f.w / 2;
  f.y0 = at.iy - f.w / 2;
  f.j0 = std::max(0, std::max(first, 0) - f.y0);
  f.j1 = std::min(f.h, std::min(last, out->height - 1) - f.y0 + 1);
  f.i0 = std::max(0, -f.x0);
  f.i1 = std::min(f.w, std::min(s->frame_width, out->width) - f.x0);
  if (f.j0 >= f.j1 || f.i0 >= f.i1) return;
  const std::int32_t cols = f.cols();
  if (static_cast<std::int64_t>(f.w) * f.h > INT32_MAX) {
    // Lookups index the shifted stamp in int32; a stamp too large for that (none that
    // this node builds) takes the one-sample-at-a-time draw.
    const StampPtr whole(shift_stamp(&base, at.fx, at.fy));
    if (!whole) return;
    splat_stamp_reference(at.ix, at.iy, at.opacity, whole.get(), first, last, p);
    return;
  }

  TexturedScratch& k = scratch();
  k.u1.resize(cols);
  k.u2.resize(cols);
  k.g1.resize(cols);
  k.g2.resize(cols);
  k.look.resize(static_cast<std::size_t>(cols) * (f.j1 - f.j0));
  const auto t = static_cast<float>(static_cast<double>(s->current_frame) * seethe.value * 0.01 +
                                    static_cast<double>(p->phase));
  prepare_noise_columns(f, s->texture_x, p->x, k);
  find_density_spans(base, k);
  // Rows of the shifted stamp the band reads: its own, and those its lookups land on.
  std::int32_t r0 = f.j0;
  std::int32_t r1 = f.j1 - 1;
  find_lookups(gradient_table, f, base.width, base.height, s->texture_y, p->y, t, s->texture_mag, k,
               r0, r1);

  const std::size_t shifted = static_cast<std::size_t>(r1 - r0 + 1) * f.w;
  k.density.resize(shifted);
  k.shade.resize(shifted);
  if (!shift_stamp_rows_into(&base, at.fx, at.fy, r0, r1, k.density.data(), k.shade.data()))
    return;
  const std::int32_t a_row = row_opacity(at.opacity, s->density);
  const CloudColours colours = cloud_colours(*s);
  // The planes start at row r0 of the shifted stamp: the lookups move up by as many entries.
  const std::int32_t skip = r0 * f.w;
  for (std::int32_t& l : k.look) l = l >= 0 ? l - skip : -1;
  for (std::int32_t j = f.j0; j < f.j1; ++j) {
    std::uint16_t* px = out->rows[f.y0 + j] + static_cast<std::size_t>(f.x0 + f.i0) * 4;
    const std::int32_t* look = k.look.data() + static_cast<std::size_t>(j - f.j0) * cols;
    const std::int32_t* own = k.density.data() + (static_cast<std::size_t>(j - r0) * f.w + f.i0);
    blend_textured_row(px, own, look, k.density.data(), k.shade.data(), cols, a_row, colours);
  }
}

}  // namespace brumel
