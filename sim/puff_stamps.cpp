// Puff stamps: one pre-rendered, lit puff per size level, built from the stamp inputs
// of the CloudSystem (fluffiness, brightness, contrast, light direction).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "render/parallel.h"
#include "sim/brumel.h"

namespace {

// Radii above this would give stamps too large for the sub-pixel shift (a side above
// 65533) and planes beyond any sensible allocation; such a level is left unbuilt.
constexpr float kMaxRadius = 32766.0f;

// The density of a falloff v (0..1, formed in single precision): the sine and the power
// take it in double, so that at the centre a v one unit in the last place below 1 gives
// 256 rather than 257.
std::int32_t density_of(float v, float fluffiness) {
  const double s = std::sin(v * 1.570796327);
  const double value = std::floor(std::pow(s, static_cast<double>(fluffiness)) * 257.0);
  // pow(0, negative) is infinite: a fluffiness below the control's range must not make
  // the conversion undefined.
  if (!(value >= 0.0)) return 0;
  if (value > 2147483647.0) return 2147483647;
  return static_cast<std::int32_t>(value);
}

// The density of one pixel at distance d (pixels, scaled by the aspect) from the centre
// of a puff of radius r. Every pixel on or beyond the rim has the falloff +0, whose
// density `at_rim` (density_of(0, fluffiness)) is worked out once per stamp.
std::int32_t density_at(double d, float r, float inv_r, float fluffiness, std::int32_t at_rim) {
  float v = static_cast<float>(r - d) * inv_r;
  if (v < 0.0f) v = 0.0f;
  if (v == 0.0f && !std::signbit(v)) return at_rim;
  return density_of(v, fluffiness);
}

// The classification of a lighting term into the band lo..hi of width 2c.
float shade_of(float dot, float lo, float hi, float c) {
  if (dot <= lo) return 0.0f;
  if (dot >= hi) return 1.0f;
  const float value = (dot - lo) / (2.0f * c);
  return value > 0.0f ? value : 0.0f;
}

// The levels a group builds when the table is split over `groups` processors: levels
// are dealt from the largest down, back and forth over the groups, so that the cost of
// each group (a level of radius i costs about i squared) is nearly equal.
bool level_in_group(std::int32_t level, std::int32_t group, std::int32_t groups,
                    std::int32_t top) {
  const std::int32_t q = top - level;
  const std::int32_t round = q / groups;
  const std::int32_t place = q % groups;
  return (round % 2 == 0 ? place : groups - 1 - place) == group;
}

// The row job of a table build: each item is a group of levels.
struct StampTableJob {
  Brumel* effect;
  PuffStamp** stamps;
  std::int32_t count;
  std::int32_t groups;

  void build_groups(std::int32_t first, std::int32_t last) {
    for (std::int32_t g = first; g <= last; ++g) {
      for (std::int32_t level = count - 1; level >= 0; --level) {
        if (!level_in_group(level, g, groups, count - 1)) continue;
        const std::int64_t pixels = static_cast<std::int64_t>(effect->frame_width) * level;
        const float r = static_cast<float>(pixels) * 0.000625f;
        stamps[level] = effect->build_stamp(r, effect->aspect_x, effect->aspect_y);
      }
    }
  }
};

}  // namespace

PuffStamp* Brumel::build_stamp(float r, float ax, float ay) {
  CloudSystem* s = system;
  if (!s) return nullptr;
  if (!(r >= 0.01f)) r = 0.01f;  // a NaN radius too
  if (r > kMaxRadius) return nullptr;
  const auto big_r = static_cast<std::int32_t>(std::ceil(r));
  const std::int32_t n = 2 * big_r + 1;
  PuffStamp* stamp = stamp_create(n, n, false);
  if (!stamp) return nullptr;

  // Density: the column offset is scaled by ax and the row offset by ay, so the puff is
  // round on the display. A float square times a float scale square is exact in double.
  // The value depends on the offsets only through their squares, so one quadrant (rows
  // and columns 0..R, held in place) is computed and mirrored; with equal scales the
  // double sum is the same for swapped offsets, so half of that quadrant is copied too.
  const float ax2 = ax * ax;
  const float ay2 = ay * ay;
  const bool transposable = ax2 == ay2;
  const float inv_r = 1.0f / r;
  const float fluff = s->fluffiness;
  const std::int32_t at_rim = density_of(0.0f, fluff);
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

  // Shade: a hemisphere of radius R + 1 lit from the light direction, in plain pixel
  // offsets; the contrast and brightness pick the band of the lighting term that ramps
  // from shadow to lit. All in single precision. The height h, the normalising 1/len and
  // the h term of the lighting depend on the offsets only through their squares, so
  // they are worked out once for the rows j and -j.
  const std::int32_t m = (big_r + 1) * (big_r + 1);
  const float c = 2.0f - s->contrast;
  const float lo = s->brightness - c;
  const float hi = s->brightness + c;
  const float lx = s->light_dir_x;
  const float ly = s->light_dir_y;
  const float lz = s->light_dir_z;
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
      lift_of[ai] = static_cast<float>(h) * inv * lz;
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
        const float dot = static_cast<float>(i) * inv * lx + lift_of[ai] +
                          static_cast<float>(j) * inv * ly;
        out[i] = shade_of(dot, lo, hi, c);
      }
      if (aj == 0) break;
    }
  }
  return stamp;
}

void Brumel::rebuild_stamps() {
  CloudSystem* s = system;
  if (!s || !s->stamps) return;
  for (std::int32_t level = 0; level < s->stamp_count; ++level) {
    stamp_free(s->stamps[level]);
    s->stamps[level] = nullptr;
  }
  // Every level is built by exactly one processor from read-only inputs, so the table
  // is the same whatever the split.
  const std::int32_t groups = std::max(1, std::min(bridge_numprocs(), s->stamp_count));
  StampTableJob job{this, s->stamps, s->stamp_count, groups};
  run_parallel_job(&job, &StampTableJob::build_groups, groups);
}
