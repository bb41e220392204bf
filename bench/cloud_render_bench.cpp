#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "assim/smp.h"
#include "render/image_buffer.h"
#include "render/sub_pixel_shift.h"
#include "billow_scene.h"
#include "sim/brumel.h"

namespace brumel {

namespace {

using billow::BillowScene;
using billow::kHeight;
using billow::kWidth;

// Path 0 is the reference renderer (whole shifted stamps, the frame cut into one even
// slice of rows per processor, as the renderer first did it); path 1 the renderer the
// node uses.
constexpr int kReference = 0;

// One frame of the Billow steady state (1000 particles) on state.range(2) processors;
// the output is reset to the background before each frame, outside the timing.
void BM_BillowFrame(benchmark::State& state) {
  BillowScene scene(state.range(1) != 0);
  scene.populate(1000);
  smp_set_numprocs(static_cast<int>(state.range(2)));
  for (auto _ : state) {
    state.PauseTiming();
    scene.reset();
    state.ResumeTiming();
    if (state.range(0) == kReference)
      scene.b->run_parallel(&Brumel::render_band_reference, kHeight);
    else
      scene.b->render_cloud();
    benchmark::DoNotOptimize(scene.out->pixels[0]);
  }
  smp_set_numprocs(1);
}
BENCHMARK(BM_BillowFrame)
    ->ArgNames({"path", "textured", "procs"})
    ->ArgsProduct({{0, 1}, {0, 1}, {1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// The whole draw of one level-120 puff (291 x 291 shifted samples at 1920 wide) on one
// band covering the frame: the sub-pixel shift and the blend. Counter "per_sample": time
// per sample of the shifted stamp.
void BM_DrawPuff(benchmark::State& state) {
  BillowScene scene(state.range(1) != 0);
  scene.populate(1);
  Particle* p = scene.s->live_list;
  p->x = 0.5f + 0.3f / kWidth;
  p->y = 0.5f + 0.6f / kHeight;
  p->size = p->min_size = 120;
  const double samples = static_cast<double>(scene.s->stamps[120]->width + 2) *
                         (scene.s->stamps[120]->height + 2);
  for (auto _ : state) {
    if (state.range(0) == kReference)
      scene.b->draw_puff_reference(p, 0, kHeight - 1);
    else
      scene.b->draw_puff(p, 0, kHeight - 1);
    benchmark::DoNotOptimize(scene.out->pixels[0]);
  }
  state.counters["per_sample"] = benchmark::Counter(
      samples, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_DrawPuff)
    ->ArgNames({"path", "textured"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

}  // namespace brumel
