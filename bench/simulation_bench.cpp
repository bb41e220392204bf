#include <benchmark/benchmark.h>

#include <memory>

#include "sim/brumel.h"

namespace brumel {

namespace {

constexpr std::int32_t kWidth = 720;
constexpr std::int32_t kHeight = 576;

// An effect at the node's defaults but for a steady cloud of about 10,000 particles
// (50 births and 50 deaths a step, lifetime 200), swirl and constraint on, in
// Wireframe mode so that no step draws.
std::unique_ptr<Brumel> steady_cloud() {
  auto b = std::make_unique<Brumel>();
  b->mode.value = 2;
  b->quantity.value = 50;
  b->continuity.value = 100;
  b->lifetime.value = 200;
  b->birth.value_x = -0.125;
  b->birth.value_y = 0.8;
  b->cloud_size.value = 20;
  b->cloud_size_variation.value = 20;
  b->min_size.value = 20;
  b->grow_life.value = 100;
  b->birth_radius.value = 0.3;
  b->seed.value = 165;
  b->camera_distance.value = 100;
  b->vanishing_point.value_x = b->vanishing_point.value_y = 0.5;
  b->z_speed.value = 5;
  b->z_range.value = 50;
  b->gravity.value = 10;
  b->gravity_angle.value = 90;
  b->use_swirling.value = true;
  b->swirl_density.value = 10;
  b->swirl_magnitude.value = 5;
  b->swirl_to_max.value = 40;
  b->use_constraint.value = true;
  b->constraint_angle.value = 6;
  b->use_wind.value = true;
  b->wind_source.value_y = 0.75;
  b->wind_target.value_x = 0.5;
  b->wind_target.value_y = 0.75;
  b->wind_speed.value = 12;
  b->fluffiness.value = 12;
  b->contrast.value = 50;
  b->brightness.value = 50;

  b->frame_width = b->system->frame_width = kWidth;
  b->frame_height = b->system->frame_height = kHeight;
  b->derive_constants(b->system);
  // Grow the cloud to its steady size before anything is timed.
  for (std::int32_t f = 0; f < 200; ++f) b->simulate_step(b->system, f);
  return b;
}

// Simulation steps per second (items per second) on the steady cloud.
void BM_SimulationStep(benchmark::State& state) {
  std::unique_ptr<Brumel> b = steady_cloud();
  std::int32_t frame = 200;
  for (auto _ : state) {
    b->simulate_step(b->system, frame++);
    benchmark::DoNotOptimize(b->system->live_list);
  }
  state.counters["live"] = b->system->live_count;
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SimulationStep)->Unit(benchmark::kMicrosecond);

}  // namespace

}  // namespace brumel
