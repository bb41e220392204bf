// Puff stamps: one pre-rendered, lit puff per size level, built from the stamp inputs
// that the table was last invalidated with. A level is built when a drawn particle
// first needs it (prepare_stamps), so a table holds only the levels in use.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "render/parallel.h"
#include "sim/brumel.h"
#include "sim/puff_density.h"
#include "sim/puff_shade_row.h"

namespace brumel {

namespace {

// Radii above this would give stamps too large for the sub-pixel shift (a side above
// 65533) and planes beyond any sensible allocation; such a level is left unbuilt.
constexpr float kMaxRadius = 32766.0f;

// The radius of a level for a frame `width` pixels wide.
float level_radius(std::int32_t width, std::int32_t level) {
  return static_cast<float>(static_cast<std::int64_t>(width) * level) * 0.000625f;
}

// Fills the density plane. The value depends on the offsets only through their squares,
// so each row of one quadrant is worked out and mirrored into rows j and -j. A float
// square times a float scale square is exact in double.
void fill_density(PuffStamp& stamp, std::int32_t big_r, float r, float ax, float ay,
                  const PuffDensity& density) {
  const float ax2 = ax * ax;
  const float ay2 = ay * ay;
  const float inv_r = 1.0f / r;
  // Beyond r squared the distance rounds to r or more, so the falloff is not positive.
  const double r_squared = static_cast<double>(r) * r;
  const auto n = static_cast<std::size_t>(2 * big_r + 1);
  std::vector<float> falloff(static_cast<std::size_t>(big_r) + 1);
  std::vector<std::int32_t> quadrant(static_cast<std::size_t>(big_r) + 1);
  std::int32_t* centre = stamp.density + static_cast<std::size_t>(big_r) * n + big_r;
  for (std::int32_t j = 0; j <= big_r; ++j) {
    const double row = static_cast<double>(static_cast<float>(j * j)) * ay2;
    for (std::int32_t i = 0; i <= big_r; ++i) {
      const double squared = static_cast<double>(static_cast<float>(i * i)) * ax2 + row;
      falloff[i] = squared >= r_squared
                       ? 0.0f
                       : static_cast<float>(r - std::sqrt(squared)) * inv_r;
    }
    density.fill(falloff.data(), big_r + 1, quadrant.data());
    std::int32_t* out = centre + static_cast<std::size_t>(j) * n;
    for (std::int32_t i = 0; i <= big_r; ++i) out[i] = out[-i] = quadrant[i];
    if (j > 0) std::memcpy(out - j * n * 2 - big_r, out - big_r, n * sizeof(std::int32_t));
  }
}

// Fills the shade plane: a hemisphere of radius R + 1 lit from the light direction, in
// plain pixel offsets, all in single precision. The height h, the normaliser 1 / len
// and the h term depend on the offsets only through their squares, so they are worked
// out once per row pair j, -j and the rows themselves are vector code.
void fill_shade(PuffStamp& stamp, std::int32_t big_r, const StampInputs& in) {
  const std::int32_t m = (big_r + 1) * (big_r + 1);
  const float c = 2.0f - in.contrast;
  const auto n = static_cast<std::size_t>(2 * big_r + 1);
  std::vector<float> inv(n);
  std::vector<float> lift(n);
  ShadeRow row{inv.data(),   lift.data(),  static_cast<std::int32_t>(n), big_r,
               0,            in.light_x,   in.light_y,
               in.brightness - c, in.brightness + c, 2.0f * c};
  const auto quarter = static_cast<std::size_t>(big_r) + 1;
  std::vector<std::int32_t> height(quarter);
  std::vector<std::int32_t> squared(quarter);
  std::vector<float> inv_q(quarter);
  std::vector<float> lift_q(quarter);
  for (std::int32_t aj = 0; aj <= big_r; ++aj) {
    // h = trunc(sqrt(m - rr)) is the integer square root (m < 2^52), which falls as the
    // column moves out: walked down from the row's first value instead of a root each.
    std::int32_t h = static_cast<std::int32_t>(std::sqrt(static_cast<double>(m - aj * aj)));
    for (std::int32_t ai = 0; ai <= big_r; ++ai) {
      const std::int32_t rr = ai * ai + aj * aj;
      const std::int32_t room = m - rr;
      while (h > 0 && h * h > room) --h;
      height[ai] = h;
      squared[ai] = rr;
    }
    shade_factors({height.data(), squared.data(), big_r + 1, m, in.light_z}, inv_q.data(),
                  lift_q.data());
    for (std::int32_t ai = 0; ai <= big_r; ++ai) {
      inv[big_r + ai] = inv[big_r - ai] = inv_q[ai];
      lift[big_r + ai] = lift[big_r - ai] = lift_q[ai];
    }
    for (const std::int32_t j : {aj, -aj}) {
      row.row = j;
      shade_row(row, stamp.shade + static_cast<std::size_t>(j + big_r) * n);
      if (aj == 0) break;
    }
  }
}

// Builds the stamp of radius r, reusing `spare` when it has the same side (its planes
// are overwritten; another is freed). Null when r is out of range or memory runs out.
StampPtr build_level(float r, const StampInputs& in, const PuffDensity& density, StampPtr spare) {
  if (!(r >= 0.01f)) r = 0.01f;  // a NaN radius too
  if (r > kMaxRadius) return nullptr;
  const auto big_r = static_cast<std::int32_t>(std::ceil(r));
  const std::int32_t n = 2 * big_r + 1;
  StampPtr stamp = std::move(spare);
  if (!stamp || stamp->width != n || stamp->height != n) {
    stamp.reset(stamp_create(n, n, false));
    if (!stamp) return nullptr;
  }
  fill_density(*stamp, big_r, r, in.aspect_x, in.aspect_y, density);
  fill_shade(*stamp, big_r, in);
  stamp_index_reach(stamp.get());  // without it the draw finds the reach itself
  return stamp;
}

StampInputs inputs_of(const CloudSystem& s, std::int32_t width, float ax, float ay) {
  return {width, ax, ay, s.fluffiness, s.contrast, s.brightness,
          s.light_dir_x, s.light_dir_y, s.light_dir_z};
}

// The levels a group builds when `levels` (largest first) are split over `groups`
// processors: dealt back and forth over the groups, so that the cost of each group
// (a level of radius i costs about i squared) is nearly equal.
bool in_group(std::size_t place, std::int32_t group, std::int32_t groups) {
  const auto round = static_cast<std::int32_t>(place / groups);
  const auto slot = static_cast<std::int32_t>(place % groups);
  return (round % 2 == 0 ? slot : groups - 1 - slot) == group;
}

// The job of a table build: each item is a group of levels.
struct StampLevelsJob {
  const std::vector<std::int32_t>* levels;  // largest first
  const StampInputs* inputs;
  const PuffDensity* density;
  PuffStamp** stamps;
  StampPtr* spares;
  std::int32_t groups;

  void build_groups(std::int32_t first, std::int32_t last) {
    for (std::int32_t g = first; g <= last; ++g) {
      for (std::size_t place = 0; place < levels->size(); ++place) {
        if (!in_group(place, g, groups)) continue;
        const std::int32_t level = (*levels)[place];
        stamps[level] = build_level(level_radius(inputs->frame_width, level), *inputs,
                                    *density, std::move(spares[level])).release();
      }
    }
  }
};

}  // namespace

PuffStamp* Brumel::build_stamp(float r, float ax, float ay) {
  const CloudSystem* s = system;
  if (!s) return nullptr;
  const StampInputs in = inputs_of(*s, frame_width, ax, ay);
  return build_level(r, in, PuffDensity(in.fluffiness), nullptr).release();
}

void Brumel::invalidate_stamps() {
  CloudSystem* s = system;
  if (!s || !s->stamps) return;
  stamp_inputs = inputs_of(*s, frame_width, aspect_x, aspect_y);
  const auto count = static_cast<std::size_t>(s->stamp_count);
  spare_stamps.resize(count);
  stamp_tried.assign(count, 0);
  // The old planes are kept aside until the next build, which overwrites those of the
  // same side instead of asking the system for fresh memory.
  for (std::size_t level = 0; level < count; ++level) {
    if (!s->stamps[level]) continue;
    spare_stamps[level].reset(s->stamps[level]);
    s->stamps[level] = nullptr;
  }
}

void Brumel::build_stamp_levels(const std::vector<std::int32_t>& levels) {
  CloudSystem* s = system;
  if (!s || !s->stamps || stamp_tried.empty()) return;
  std::vector<std::int32_t> todo;
  for (const std::int32_t level : levels) {
    if (level < 0 || level >= s->stamp_count || stamp_tried[level]) continue;
    stamp_tried[level] = 1;  // a level that fails stays null until the next invalidation
    todo.push_back(level);
  }
  if (!todo.empty()) {
    std::sort(todo.rbegin(), todo.rend());
    const PuffDensity density(stamp_inputs.fluffiness);
    // Every level is built by exactly one processor from read-only inputs, so the table
    // is the same whatever the split.
    const std::int32_t groups = std::max(
        1, std::min(bridge_numprocs(), static_cast<std::int32_t>(todo.size())));
    StampLevelsJob job{&todo, &stamp_inputs, &density, s->stamps, spare_stamps.data(), groups};
    run_parallel_job(&job, &StampLevelsJob::build_groups, groups);
  }
  // Planes not reused are given back: the table holds only what has been asked for.
  for (StampPtr& spare : spare_stamps) spare.reset();
}

void Brumel::rebuild_stamps() {
  CloudSystem* s = system;
  if (!s || !s->stamps) return;
  invalidate_stamps();
  std::vector<std::int32_t> all(static_cast<std::size_t>(s->stamp_count));
  for (std::int32_t level = 0; level < s->stamp_count; ++level) all[level] = level;
  build_stamp_levels(all);
}

void Brumel::prepare_stamps() {
  CloudSystem* s = system;
  if (!s || !s->stamps || stamp_tried.empty()) return;
  // Most frames find every level built already; the list keeps its memory.
  wanted_levels.clear();
  for (const Particle* p = s->live_list; p; p = p->next) {
    PuffPlacement at;
    if (!place_puff(p, at) || stamp_tried[at.level]) continue;
    if (std::find(wanted_levels.begin(), wanted_levels.end(), at.level) == wanted_levels.end())
      wanted_levels.push_back(at.level);
  }
  build_stamp_levels(wanted_levels);
}

}  // namespace brumel
