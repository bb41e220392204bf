// What the frei0r plugins add to a frame: 8-bit straight RGBA from the host to the
// node's 16-bit host image and back, beside the node's own frame (Billow at
// 1920 x 1080 after pre-roll, on the machine's processors as the plugin gives them).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <thread>
#include <vector>

#include "assim/smp.h"
#include "host/brumel_node.h"
#include "frei0r/rgba8.h"

namespace brumel {

namespace {

constexpr int kWidth = 1920, kHeight = 1080;
constexpr int kDemos = 0, kRestartPreRoll = 2, kMode = 5, kBillow = 6;  // widget table entries

std::vector<std::uint32_t> host_frame() {
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(kWidth) * kHeight);
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint32_t>(i * 2654435761u) | 0xff000000u;
  return pixels;
}

void BM_ToHostImage(benchmark::State& state) {
  const std::vector<std::uint32_t> in = host_frame();
  brumel::HostImage image(kWidth, kHeight);
  for (auto _ : state) {
    brumel::rgba8_to_host(in.data(), image);
    benchmark::DoNotOptimize(image.samples.data());
  }
}
BENCHMARK(BM_ToHostImage)->Unit(benchmark::kMillisecond);

void BM_FromHostImage(benchmark::State& state) {
  brumel::HostImage image(kWidth, kHeight);
  for (std::size_t i = 0; i < image.samples.size(); ++i) image.samples[i] = static_cast<std::uint16_t>(i * 40503u);
  std::vector<std::uint32_t> out(static_cast<std::size_t>(kWidth) * kHeight);
  for (auto _ : state) {
    brumel::host_to_rgba8(image, out.data());
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_FromHostImage)->Unit(benchmark::kMillisecond);

// The node's frame the conversions come with: Billow in Render mode, steady state.
void BM_BillowNodeFrame(benchmark::State& state) {
  BrumelNode node;
  node.host_set_output_size(kWidth, kHeight);
  auto choose = [&node](int entry, long index) {
    *static_cast<COption*>(node.control(entry)) = index;
    node.notify_control_changed(node.control(entry), 1, 0.0);
  };
  choose(kDemos, kBillow);
  choose(kMode, 0);
  node.notify_control_changed(node.control(kRestartPreRoll), 1, 0.0);
  smp_set_numprocs(static_cast<int>(std::thread::hardware_concurrency()));
  brumel::HostImage in(kWidth, kHeight), out(kWidth, kHeight);
  brumel::rgba8_to_host(host_frame().data(), in);
  _image_str input = in.view(), output = out.view();
  _image_str* inputs[2] = {&input, nullptr};
  double time = 1.0;
  for (int k = 0; k < 3; ++k) node.process_image(time++, inputs, &output);  // pre-roll, stamps
  for (auto _ : state) {
    node.process_image(time++, inputs, &output);
    benchmark::DoNotOptimize(out.samples.data());
  }
  smp_set_numprocs(1);
}
BENCHMARK(BM_BillowNodeFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

}  // namespace brumel
