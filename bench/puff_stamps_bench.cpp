#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "assim/smp.h"
#include "hwy/targets.h"
#include "render/parallel.h"
#include "sim/brumel.h"

namespace brumel {

namespace {

// The table build as it was before the fast build: free every level, then build each
// with build_stamp_reference, levels dealt over the processors largest first.
struct ReferenceTableJob {
  Brumel* effect;
  std::int32_t groups;

  void build_groups(std::int32_t first, std::int32_t last) {
    CloudSystem* s = effect->system;
    for (std::int32_t g = first; g <= last; ++g) {
      for (std::int32_t q = 0; q < s->stamp_count; ++q) {
        const std::int32_t round = q / groups;
        const std::int32_t place = q % groups;
        if ((round % 2 == 0 ? place : groups - 1 - place) != g) continue;
        const std::int32_t level = s->stamp_count - 1 - q;
        const float r = static_cast<float>(static_cast<std::int64_t>(effect->frame_width) * level) *
                        0.000625f;
        s->stamps[level] = effect->build_stamp_reference(r, effect->aspect_x, effect->aspect_y);
      }
    }
  }
};

void rebuild_reference(Brumel& b) {
  CloudSystem* s = b.system;
  for (std::int32_t level = 0; level < s->stamp_count; ++level) {
    stamp_free(s->stamps[level]);
    s->stamps[level] = nullptr;
  }
  ReferenceTableJob job{&b, std::max(1, std::min(bridge_numprocs(), s->stamp_count))};
  run_parallel_job(&job, &ReferenceTableJob::build_groups, job.groups);
}

enum Build { kReference = 0, kFast = 1, kFastCold = 2 };

// A full build of the 161-level stamp table for a frame state.range(1) pixels wide, with
// Fluffiness 12, Contrast 50, Brightness 50 and the default light, spread over
// state.range(2) processors. build 0: the reference build (planes freed and allocated
// anew, as the node did); 1: rebuild_stamps over a table built before (planes reused,
// as when an input changes between frames); 2: rebuild_stamps into fresh memory (a
// first build). Counter "pixels": samples of each plane built.
void BM_StampTable(benchmark::State& state) {
  const auto build = static_cast<Build>(state.range(0));
  const auto width = static_cast<std::int32_t>(state.range(1));
  const auto procs = static_cast<int>(state.range(2));
  auto b = std::make_unique<Brumel>();
  CloudSystem* s = b->system;
  s->fluffiness = 1.2f;
  s->contrast = 1.0f;
  s->brightness = 0.0f;
  s->light_dir_y = -0.8f;
  s->light_dir_z = 0.6f;
  b->frame_width = s->frame_width = width;
  smp_set_numprocs(procs);
  if (build == kFast) b->rebuild_stamps();
  for (auto _ : state) {
    if (build == kFastCold) {
      state.PauseTiming();
      b->invalidate_stamps();
      b->build_stamp_levels({});  // gives the old planes back
      state.ResumeTiming();
    }
    if (build == kReference) {
      rebuild_reference(*b);
    } else {
      b->rebuild_stamps();
    }
    benchmark::DoNotOptimize(s->stamps[160]);
  }
  smp_set_numprocs(1);
  double pixels = 0.0;
  for (std::int32_t i = 0; i < s->stamp_count; ++i) {
    if (s->stamps[i]) pixels += static_cast<double>(s->stamps[i]->width) * s->stamps[i]->height;
  }
  state.counters["pixels"] = pixels;
  state.SetLabel(hwy::TargetName(hwy::SupportedAndGeneratedTargets().front()));
}
BENCHMARK(BM_StampTable)
    ->ArgNames({"build", "width", "procs"})
    ->ArgsProduct({{kReference, kFast, kFastCold}, {720, 1920, 3840}, {1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// The memory of a 16384-wide table: build 0 builds all 161 levels (as every dirty frame
// did), build 1 only the levels that a cloud of Cloud Size 20 with a 35 % variation
// draws (52 to 108), as the step's pre-pass does. Run one at a time under /usr/bin/time -v for the peak resident size; counter "bytes": the planes held.
void BM_StampTableMemory(benchmark::State& state) {
  const bool lazy = state.range(0) != 0;
  auto b = std::make_unique<Brumel>();
  CloudSystem* s = b->system;
  s->fluffiness = 1.2f;
  s->contrast = 1.0f;
  s->light_dir_y = -0.8f;
  s->light_dir_z = 0.6f;
  b->frame_width = s->frame_width = 16384;
  for (auto _ : state) {
    b->invalidate_stamps();
    std::vector<std::int32_t> levels;
    for (std::int32_t l = lazy ? 52 : 0; l <= (lazy ? 108 : 160); ++l) levels.push_back(l);
    b->build_stamp_levels(levels);
  }
  double bytes = 0.0;
  for (std::int32_t i = 0; i < s->stamp_count; ++i) {
    if (s->stamps[i]) bytes += 8.0 * s->stamps[i]->width * s->stamps[i]->height;
  }
  state.counters["bytes"] = bytes;
}
BENCHMARK(BM_StampTableMemory)->ArgNames({"lazy"})->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

}  // namespace brumel
