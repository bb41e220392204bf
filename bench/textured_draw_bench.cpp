// The textured draw beside its one-sample-at-a-time reference, in one run: path 0 is the
// reference (a whole shifted stamp, two scalar noises and a scalar blend per sample),
// path 1 the row-vectorised draw the node uses.
#include <benchmark/benchmark.h>
#include <hwy/targets.h>

#include <cstdint>
#include <vector>

#include "assim/smp.h"
#include "billow_scene.h"
#include "render/sub_pixel_shift.h"
#include "sim/cloud_blend.h"
#include "sim/gradient_noise_rows.h"
#include "sim/textured_rows.h"

namespace brumel {

namespace {

using billow::BillowScene;
using billow::kHeight;

// Labels a result with the instruction set the dispatched kernels run on: the best one
// both compiled in and supported by this machine.
void name_target(benchmark::State& state) {
  const std::int64_t targets = hwy::SupportedTargets() & HWY_TARGETS;
  state.SetLabel(hwy::TargetName(targets & -targets));
}

// The textured splat of a shifted level-120 stamp (293 x 293 at 1920 wide) lying wholly
// inside the frame, without the shift: path 0 is splat_stamp_reference; path 1 runs the
// draw's row steps over every stamp row (both noises, the lookups, the blend). Counter
// "per_sample": time per stamp sample.
void BM_TexturedSplat(benchmark::State& state) {
  BillowScene scene(true);
  scene.populate(1);
  Brumel& b = *scene.b;
  const CloudSystem& s = *scene.s;
  const Particle* p = s.live_list;
  PuffStamp* shifted = shift_stamp(s.stamps[120], 0.3f, 0.6f);
  const std::int32_t w = shifted->width;
  const std::int32_t h = shifted->height;
  const std::int32_t x0 = 960 - w / 2;
  const std::int32_t y0 = 540 - w / 2;
  std::vector<float> u1(w), u2(w);
  std::vector<double> g1(w), g2(w);
  std::vector<std::int32_t> look(w);
  const auto t = static_cast<float>(static_cast<double>(s.current_frame) * b.seethe.value * 0.01 +
                                    static_cast<double>(p->phase));
  for (std::int32_t i = 0; i < w; ++i) {
    u1[i] = static_cast<float>(i) / static_cast<float>(w) * s.texture_x + p->x * 10.0f;
    u2[i] = static_cast<float>(u1[i] + 3.14);
  }
  NoiseColumns x1, x2;
  const std::int32_t a_row = row_opacity(32767, s.density);
  const CloudColours colours = cloud_colours(s);
  for (auto _ : state) {
    if (state.range(0) == 0) {
      b.splat_stamp_reference(960, 540, 32767, shifted, 0, kHeight - 1, p);
    } else {
      noise_columns(u1.data(), w, x1);
      noise_columns(u2.data(), w, x2);
      for (std::int32_t j = 0; j < h; ++j) {
        const float v = static_cast<float>(j) / static_cast<float>(h) * s.texture_y + p->y * 10.0f;
        gradient_noise_row(b.gradient_table, x1, 0, w, v, t, g1.data());
        gradient_noise_row(b.gradient_table, x2, 0, w, static_cast<float>(v + 2.71),
                           static_cast<float>(t + 4.35), g2.data());
        std::int32_t lo = j, hi = j;
        texture_lookup_row(g1.data(), g2.data(), w, 0, j, s.texture_mag, w, h, look.data(), &lo, &hi);
        blend_textured_row(scene.out->rows[y0 + j] + static_cast<std::size_t>(x0) * 4,
                           shifted->density + static_cast<std::size_t>(j) * w, look.data(),
                           shifted->density, shifted->shade, w, a_row, colours);
      }
    }
    benchmark::DoNotOptimize(scene.out->pixels[0]);
  }
  stamp_free(shifted);
  name_target(state);
  state.counters["per_sample"] = benchmark::Counter(
      static_cast<double>(w) * h, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_TexturedSplat)->ArgNames({"path"})->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The whole textured draw of one level-120 puff on one band covering the frame (the
// sub-pixel shift included): draw_puff_reference against draw_puff.
void BM_TexturedPuff(benchmark::State& state) {
  BillowScene scene(true);
  scene.populate(1);
  Particle* p = scene.s->live_list;
  p->x = 0.5f + 0.3f / billow::kWidth;
  p->y = 0.5f + 0.6f / kHeight;
  p->size = p->min_size = 120;
  const double samples = static_cast<double>(scene.s->stamps[120]->width + 2) *
                         (scene.s->stamps[120]->height + 2);
  for (auto _ : state) {
    if (state.range(0) == 0)
      scene.b->draw_puff_reference(p, 0, kHeight - 1);
    else
      scene.b->draw_puff(p, 0, kHeight - 1);
    benchmark::DoNotOptimize(scene.out->pixels[0]);
  }
  name_target(state);
  state.counters["per_sample"] = benchmark::Counter(
      samples, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_TexturedPuff)->ArgNames({"path"})->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// One textured Billow frame (1000 puffs, levels 78 to 160) in row bands over
// state.range(1) processors: render_band_reference against render_band. The output is
// reset before each frame, outside the timing.
void BM_TexturedBillowFrame(benchmark::State& state) {
  BillowScene scene(true);
  scene.populate(1000);
  smp_set_numprocs(static_cast<int>(state.range(1)));
  const auto band = state.range(0) == 0 ? &Brumel::render_band_reference : &Brumel::render_band;
  for (auto _ : state) {
    state.PauseTiming();
    scene.reset();
    state.ResumeTiming();
    scene.b->run_parallel(band, kHeight);
    benchmark::DoNotOptimize(scene.out->pixels[0]);
  }
  smp_set_numprocs(1);
  name_target(state);
}
BENCHMARK(BM_TexturedBillowFrame)
    ->ArgNames({"path", "procs"})
    ->ArgsProduct({{0, 1}, {1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

}  // namespace

}  // namespace brumel
