// Whole frames through the node, as a host calls it: process_image of every demo at
// 1280 x 720 in Render mode, in the steady state after pre-roll.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "assim/fx_node.h"
#include "assim/smp.h"
#include "host/brumel_node.h"
#include "sim/brumel.h"

namespace brumel {

namespace {

constexpr int kWidth = 1280, kHeight = 720;
constexpr int kDemos = 0, kRestartPreRoll = 2, kMode = 5;  // widget table entries
constexpr const char* kDemoNames[] = {"Drift",  "Contraints",  "Simple 3D", "Bombard",
                                      "Sunset", "Sky Writing", "Billow"};

// Arguments: path (0 the reference renderer, 1 the node's), demo (0..6), processors.
void BM_DemoFrame(benchmark::State& state) {
  BrumelNode node;
  node.host_set_output_size(kWidth, kHeight);
  auto choose = [&node](int entry, long index) {
    *static_cast<COption*>(node.control(entry)) = index;
    node.notify_control_changed(node.control(entry), 1, 0.0);
  };
  choose(kDemos, state.range(1));
  choose(kMode, 0);  // Render
  node.notify_control_changed(node.control(kRestartPreRoll), 1, 0.0);
  node.effect->reference_render = state.range(0) == 0;
  smp_set_numprocs(static_cast<int>(state.range(2)));

  std::vector<std::uint16_t> in(static_cast<std::size_t>(kWidth) * kHeight * 4);
  for (std::size_t k = 0; k < in.size(); ++k)
    in[k] = static_cast<std::uint16_t>(k % 4 == 3 ? 65535 : (k * 2654435761u) >> 16);
  std::vector<std::uint16_t> out(in.size());
  _image_str input{kWidth, kHeight, 4, 0, in.data()};
  _image_str output{kWidth, kHeight, 4, 0, out.data()};
  _image_str* inputs[2] = {&input, nullptr};
  double time = 1.0;
  for (int k = 0; k < 3; ++k) node.process_image(time++, inputs, &output);  // pre-roll, stamps
  for (auto _ : state) {
    node.process_image(time++, inputs, &output);
    benchmark::DoNotOptimize(out[0]);
  }
  smp_set_numprocs(1);
  state.SetLabel(kDemoNames[state.range(1)]);
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                             benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DemoFrame)
    ->ArgNames({"path", "demo", "procs"})
    ->ArgsProduct({{0, 1}, {0, 1, 2, 3, 4, 5, 6}, {2}})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

}  // namespace

}  // namespace brumel
