#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>

#include "assim/smp.h"
#include "sim/brumel.h"

namespace {

// A full build of the 161-level stamp table for a frame state.range(0) pixels wide, with
// the default stamp inputs (Fluffiness 12, Contrast 50, Brightness 50, default light),
// spread over state.range(1) processors. Counter "pixels": samples of each plane built.
void BM_StampTable(benchmark::State& state) {
  const auto width = static_cast<std::int32_t>(state.range(0));
  const auto procs = static_cast<int>(state.range(1));
  auto b = std::make_unique<Brumel>();
  CloudSystem* s = b->system;
  s->fluffiness = 1.2f;
  s->contrast = 1.0f;
  s->brightness = 0.0f;
  s->light_dir_y = -0.8f;
  s->light_dir_z = 0.6f;
  b->frame_width = s->frame_width = width;
  smp_set_numprocs(procs);
  for (auto _ : state) {
    b->rebuild_stamps();
    benchmark::DoNotOptimize(s->stamps[160]);
  }
  smp_set_numprocs(1);
  double pixels = 0.0;
  for (std::int32_t i = 0; i < s->stamp_count; ++i) {
    if (s->stamps[i]) pixels += static_cast<double>(s->stamps[i]->width) * s->stamps[i]->height;
  }
  state.counters["pixels"] = pixels;
}
BENCHMARK(BM_StampTable)
    ->ArgNames({"width", "procs"})
    ->ArgsProduct({{720, 1920, 3840}, {1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

}  // namespace
