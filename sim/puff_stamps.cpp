// Puff stamps: one pre-rendered, lit puff per size level, built from the stamp inputs
// of the CloudSystem (fluffiness, brightness, contrast, light direction).
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "render/parallel.h"
#include "sim/brumel.h"

namespace {

// Radii above this would give stamps too large for the sub-pixel shift (a side above
// 65533) and planes beyond any sensible allocation; such a level is left unbuilt.
constexpr float kMaxRadius = 32766.0f;

// The density of one pixel at distance d (pixels, scaled by the aspect) from the centre
// of a puff of radius r. The falloff v is formed in single precision; the sine and the
// power take it in double, so that at the centre a v one unit in the last place below 1
// gives 256 rather than 257.
std::int32_t density_at(double d, float r, float inv_r, float fluffiness) {
  float v = static_cast<float>(r - d) * inv_r;
  if (v < 0.0f) v = 0.0f;
  const double s = std::sin(v * 1.570796327);
  const double value = std::floor(std::pow(s, static_cast<double>(fluffiness)) * 257.0);
  // pow(0, negative) is infinite: a fluffiness below the control's range must not make
  // the conversion undefined.
  if (!(value >= 0.0)) return 0;
  if (value > 2147483647.0) return 2147483647;
  return static_cast<std::int32_t>(value);
}

// The shade of one pixel of a lit hemisphere of radius R + 1 (M its square) at plain
// pixel offsets (i, j), in the band lo..hi of width 2c. All in single precision.
float shade_at(std::int32_t i, std::int32_t j, std::int32_t m, float lx, float ly, float lz,
               float lo, float hi, float c) {
  const std::int32_t rr = i * i + j * j;
  if (rr > m) return 0.0f;
  const auto h = static_cast<std::int32_t>(std::sqrt(static_cast<double>(m - rr)));
  const float len = std::sqrt(static_cast<float>(h * h + rr));
  const float inv = 1.0f / len;
  const float dot = static_cast<float>(i) * inv * lx + static_cast<float>(h) * inv * lz +
                    static_cast<float>(j) * inv * ly;
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
  const float ax2 = ax * ax;
  const float ay2 = ay * ay;
  const float inv_r = 1.0f / r;
  const float fluff = s->fluffiness;
  for (std::int32_t j = -big_r; j <= big_r; ++j) {
    const double row = static_cast<double>(static_cast<float>(j * j)) * ay2;
    std::int32_t* out = stamp->density + static_cast<std::size_t>(j + big_r) * n;
    for (std::int32_t i = -big_r; i <= big_r; ++i) {
      const double col = static_cast<double>(static_cast<float>(i * i)) * ax2;
      out[i + big_r] = density_at(std::sqrt(col + row), r, inv_r, fluff);
    }
  }

  // Shade: a hemisphere of radius R + 1 lit from the light direction, in plain pixel
  // offsets; the contrast and brightness pick the band of the lighting term that ramps
  // from shadow to lit.
  const std::int32_t m = (big_r + 1) * (big_r + 1);
  const float c = 2.0f - s->contrast;
  const float lo = s->brightness - c;
  const float hi = s->brightness + c;
  for (std::int32_t j = -big_r; j <= big_r; ++j) {
    float* out = stamp->shade + static_cast<std::size_t>(j + big_r) * n;
    for (std::int32_t i = -big_r; i <= big_r; ++i) {
      out[i + big_r] =
          shade_at(i, j, m, s->light_dir_x, s->light_dir_y, s->light_dir_z, lo, hi, c);
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
