#include <benchmark/benchmark.h>

#include <random>

#include "sim/particle_store.h"

namespace brumel {

namespace {

// Depth sort of a live list of state.range(0) particles with random depths. Before each
// timed sort the depths are redrawn (untimed), so every sort meets an unsorted list.
void BM_SortLiveByDepth(benchmark::State& state) {
  const auto count = static_cast<std::int32_t>(state.range(0));
  CloudSystem* system = create(1024);
  if (!system) {
    state.SkipWithError("cannot create the particle store");
    return;
  }
  for (std::int32_t n = 0; n < count; ++n) {
    Particle* p = take_particle(system);
    p->next = system->live_list;
    system->live_list = p;
    system->live_count += 1;
  }
  std::mt19937 rng(165);
  std::uniform_real_distribution<float> depth(-50.0f, 50.0f);
  for (auto _ : state) {
    state.PauseTiming();
    for (Particle* p = system->live_list; p; p = p->next) p->z = depth(rng);
    state.ResumeTiming();
    sort_live_by_depth(system);
    benchmark::DoNotOptimize(system->live_list);
  }
  state.SetItemsProcessed(state.iterations() * count);
  destroy(system);
}
BENCHMARK(BM_SortLiveByDepth)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

}  // namespace

}  // namespace brumel
