// The reference stamp build: the straightforward build of one puff stamp, kept frozen
// beside the fast one (puff_stamps.cpp), which must match it in every bit. For tests and
// benchmarks only; the node never calls it.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "sim/puff_density.h"
#include "sim/brumel.h"

namespace brumel {

namespace {

// Radii above this would give stamps too large for the sub-pixel shift (a side above
// 65533) and planes beyond any sensible allocation; such a level is left unbuilt.
constexpr float kMaxRadius = 32766.0f;

// The density of one pixel at distance d (pixels, scaled by the aspect) from the centre
// of a puff of radius r. Every pixel on or beyond the rim has the falloff +0, whose
// density `at_rim` (puff_density(0, fluffiness)) is worked out once per stamp.
std::int32_t density_at(double d, float r, float inv_r, float fluffiness, std::int32_t at_rim) {
  float v = static_cast<float>(r - d) * inv_r;
  if (v < 0.0f) v = 0.0f;
  if (v == 0.0f && !std::signbit(v)) return at_rim;
  return puff_density(v, fluffiness);
}

// The classification of a lighting term into the band lo..hi of width 2c.
float shade_of(float dot, float lo, float hi, float c) {
  if (dot <= lo) return 0.0f;
  if (dot >= hi) return 1.0f;
  const float value = (dot - lo) / (2.0f * c);
  return value > 0.0f ? value : 0.0f;
}

}  // namespace

namespace {

// The density plane of a stamp of radius r (big_r = ceil r): the column offset is scaled
// by ax and the row offset by ay, so the puff is round on the display. A float square
// times a float scale square is exact in double. The value depends on the offsets only
// through their squares, so one quadrant (rows and columns 0..R, held in place) is
// computed and mirrored; with equal scales the double sum is the same for swapped
// offsets, so half of that quadrant is copied too.
void fill_reference_density(PuffStamp* stamp, std::int32_t big_r, float r, float ax, float ay,
                            float fluff) {
  const std::int32_t n = 2 * big_r + 1;
  const float ax2 = ax * ax;
  const float ay2 = ay * ay;
  const bool transposable = ax2 == ay2;
  const float inv_r = 1.0f / r;
  const std::int32_t at_rim = puff_density(0.0f, fluff);
  const auto n_size = static_cast<std::size_t>(n);
  std::int32_t* centre = stamp->density + static_cast<std::size_t>(big_r) * n_size + big_r;
  for (std::int32_t j = 0; j <= big_r; ++j) {
    const double row = static_cast<double>(static_cast<float>(j * j)) * ay2;
    std::int32_t* out = centre + static_cast<std::size_t>(j) * n_size;
    std::int32_t i = 0;
    if (transposable) {
      for (; i < j; ++i) out[i] = centre[static_cast<std::size_t>(i) * n_size + j];
    }
    for (; i <= big_r; ++i) {
      const double col = static_cast<double>(static_cast<float>(i * i)) * ax2;
      out[i] = density_at(std::sqrt(col + row), r, inv_r, fluff, at_rim);
    }
    for (i = 1; i <= big_r; ++i) out[-i] = out[i];
    if (j > 0) {
      std::memcpy(centre - static_cast<std::size_t>(j) * n_size - big_r, out - big_r,
                  n_size * sizeof(std::int32_t));
    }
  }
}

// The shade plane: a hemisphere of radius R + 1 lit from the light direction, in plain
// pixel offsets; the contrast and brightness pick the band of the lighting term that
// ramps from shadow to lit. All in single precision. The height h, the normalising
// 1/len and the h term of the lighting depend on the offsets only through their
// squares, so they are worked out once for the rows j and -j.
void fill_reference_shade(PuffStamp* stamp, std::int32_t big_r, const CloudSystem& s) {
  const auto n_size = static_cast<std::size_t>(2 * big_r + 1);
  const std::int32_t m = (big_r + 1) * (big_r + 1);
  const float c = 2.0f - s.contrast;
  const float lo = s.brightness - c;
  const float hi = s.brightness + c;
  std::vector<float> inv_of(static_cast<std::size_t>(big_r) + 1);
  std::vector<float> lift_of(static_cast<std::size_t>(big_r) + 1);
  std::vector<bool> inside(static_cast<std::size_t>(big_r) + 1);
  for (std::int32_t aj = 0; aj <= big_r; ++aj) {
    for (std::int32_t ai = 0; ai <= big_r; ++ai) {
      const std::int32_t rr = ai * ai + aj * aj;
      inside[ai] = rr <= m;
      if (!inside[ai]) continue;
      const auto h = static_cast<std::int32_t>(std::sqrt(static_cast<double>(m - rr)));
      const float len = std::sqrt(static_cast<float>(h * h + rr));
      const float inv = 1.0f / len;
      inv_of[ai] = inv;
      lift_of[ai] = static_cast<float>(h) * inv * s.light_dir_z;
    }
    for (const std::int32_t j : {aj, -aj}) {
      float* out = stamp->shade + static_cast<std::size_t>(j + big_r) * n_size + big_r;
      for (std::int32_t i = -big_r; i <= big_r; ++i) {
        const auto ai = static_cast<std::size_t>(i < 0 ? -i : i);
        if (!inside[ai]) {
          out[i] = 0.0f;
          continue;
        }
        const float inv = inv_of[ai];
        const float dot = static_cast<float>(i) * inv * s.light_dir_x + lift_of[ai] +
                          static_cast<float>(j) * inv * s.light_dir_y;
        out[i] = shade_of(dot, lo, hi, c);
      }
      if (aj == 0) break;
    }
  }
}

}  // namespace

PuffStamp* Brumel::build_stamp_reference(float r, float ax, float ay) {
  CloudSystem* s = system;
  if (!s) return nullptr;
  if (!(r >= 0.01f)) r = 0.01f;  // a NaN radius too
  if (r > kMaxRadius) return nullptr;
  const auto big_r = static_cast<std::int32_t>(std::ceil(r));
  const std::int32_t n = 2 * big_r + 1;
  PuffStamp* stamp = stamp_create(n, n, false);
  if (!stamp) return nullptr;
  fill_reference_density(stamp, big_r, r, ax, ay, s->fluffiness);
  fill_reference_shade(stamp, big_r, *s);
  return stamp;
}

}  // namespace brumel
