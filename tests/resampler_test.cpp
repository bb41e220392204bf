#include "render/resampler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace brumel {

#if defined(__SANITIZE_ADDRESS__)
// Let a refused huge allocation reach the resampler as a failure instead of a report.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }
#endif

namespace {

using Samples = std::vector<std::uint16_t>;

// `values` along a row (horizontal) or a column, every channel c holding value + c,
// resampled to `size`; channel 0 along the result.
Samples resampled(const Samples& values, std::int32_t size, std::int32_t filter, bool horizontal = true) {
  const auto n = static_cast<std::int32_t>(values.size());
  ImageBuffer source(horizontal ? n : 1, horizontal ? 1 : n), target(horizontal ? size : 1, horizontal ? 1 : size);
  for (std::int32_t i = 0; i < n; ++i)
    for (int c = 0; c < 4; ++c) source.pixels[i * 4 + c] = static_cast<std::uint16_t>(values[i] + c);
  Resampler r;
  r.set_filter(filter);
  EXPECT_EQ(r.resample(source, target), 1);
  Samples out;
  for (std::int32_t i = 0; i < size; ++i) out.push_back(target.pixels[i * 4]);
  return out;
}

// The kernel at 0, 0.5, 1, 1.5 and 2 pixels (entries 0, 256, ... 1024) of each filter;
// types out of range select the triangle.
TEST(Resampler, KernelTables) {
  const std::pair<std::int32_t, std::vector<double>> filters[] = {
      {1, {1.0, 0.5, 0.0, 0.0, 0.0}},         {3, {1.0, 0.5625, 0.0, -0.0625, 0.0}},
      {4, {1.0, 0.625, 0.0, -0.125, 0.0}},    {5, {4.0 / 6.0, 0.0 /* not pinned */, 1.0 / 6.0, 0.125 / 6.0, 0.0}},
      {0, {1.0, 0.5, 0.0, 0.0, 0.0}},         {7, {1.0, 0.5, 0.0, 0.0, 0.0}},
      {-5, {1.0, 0.5, 0.0, 0.0, 0.0}}};
  for (const auto& [type, want] : filters) {
    Resampler r;
    r.set_filter(3);
    r.set_filter(type);
    for (int k = 0; k < 5; ++k) {
      if (type == 5 && k == 1) continue;
      EXPECT_DOUBLE_EQ(r.kernel[256 * k], want[k]) << type << " at " << k;
    }
  }
  Resampler r;
  r.set_filter(6);
  EXPECT_EQ(r.kernel[0], 1.0);
  EXPECT_NEAR(r.kernel[256], 0.5731591682507563, 1e-15);
  EXPECT_NEAR(r.kernel[512], 0.0, 1e-15);
  EXPECT_LT(r.kernel[768], 0.0);
  for (std::int32_t i = 1025; i < Resampler::kKernelEntries; ++i) ASSERT_EQ(r.kernel[i], 0.0);
}

// Worked examples on one axis, the same on either.
TEST(Resampler, LineExamples) {
  const struct {
    const char* what;
    Samples values;
    std::int32_t size, filter;
    Samples want;
  } cases[] = {
      {"out-of-range type: the triangle", {0, 1000}, 5, 7, {0, 250, 500, 750, 1000}},
      {"cubic up, rounded", {100, 201}, 3, 3, {100, 151, 201}},
      {"cubic up, clamped", {32767, 0}, 3, 3, {32767, 16384, 0}},
      // Samples 1 and 5 sit between the flat runs and the step, where the cubic's
      // negative lobes reach -2047.9375 and 34814.9375.
      {"cubic lobes clamped", {0, 0, 32767, 32767}, 7, 3, {0, 0, 0, 16384, 32767, 32767, 32767}},
      // 5 -> 3, scale 2: weights 0.5, 1, 0.5, normalised, edge samples standing in outside.
      {"down", {0, 400, 800, 0, 0}, 3, 1, {100, 500, 0}},
      {"down, edge replicated", {600, 400, 800, 0, 0}, 3, 1, {550, 500, 0}},
      // Centre 2, kernel stretched by 4: weights 0.25 .. 1 .. 0.25.
      {"to one", {0, 0, 400, 0, 0}, 1, 1, {100}},
      {"to one, ramp", {100, 200, 300, 400, 500}, 1, 1, {300}},
      {"to one, cubic", {100, 201}, 1, 3, {151}},
  };
  for (const auto& c : cases)
    for (bool horizontal : {true, false})
      EXPECT_EQ(resampled(c.values, c.size, c.filter, horizontal), c.want)
          << c.what << (horizontal ? "" : ", vertical");
}

// Every filter: equal sizes copy exactly, a constant stays constant, one sample repeats.
TEST(Resampler, EqualSizesCopyAndConstantsStayConstant) {
  ImageBuffer source(5, 3), same(5, 3), constant(23, 17), small(7, 5);
  for (std::int32_t i = 0; i < 60; ++i) source.pixels[i] = static_cast<std::uint16_t>(i * 3001);
  std::fill(constant.pixels, constant.pixels + 23 * 17 * 4, 12345);
  for (std::int32_t filter : {1, 3, 4, 5, 6}) {
    Resampler r;
    r.set_filter(filter);
    ASSERT_EQ(r.resample(source, same), 1);
    EXPECT_TRUE(std::equal(same.pixels, same.pixels + 60, source.pixels)) << filter;
    ASSERT_EQ(r.resample(constant, small), 1);
    EXPECT_EQ(std::count(small.pixels, small.pixels + 7 * 5 * 4, 12345), 7 * 5 * 4) << filter;
    EXPECT_EQ(resampled({777}, 4, filter), (Samples{777, 777, 777, 777})) << filter;
  }
}

// 2 x 2 -> 3 x 3 triangle: bilinear; the vertical pass works on the rounded
// intermediate, so the centre is (500 + 2501) / 2 rounded up.
TEST(Resampler, ScalesBothAxes) {
  ImageBuffer source(2, 2), target(3, 3);
  const std::uint16_t corners[4] = {0, 1000, 2000, 3001};
  for (int p = 0; p < 16; ++p) source.pixels[p] = corners[p / 4];
  Resampler r;
  ASSERT_EQ(r.resample(source, target), 1);
  const std::uint16_t want[9] = {0, 500, 1000, 1000, 1501, 2001, 2000, 2501, 3001};
  for (int p = 0; p < 36; ++p) EXPECT_EQ(target.pixels[p], want[p / 4]) << p;
}

// The intermediate would take 2^28 x 2^16 pixels. The target wraps a single pixel: a
// resampler that wrote into it would run far past it.
TEST(Resampler, RefusedIntermediateLeavesTheTargetAlone) {
  ImageBuffer source(1, 1 << 16);
  std::uint16_t pixel[4] = {1, 2, 3, 4};
  ImageBuffer target(1 << 28, 1, pixel);
  Resampler r;
  EXPECT_EQ(r.resample(source, target), 0);
  EXPECT_EQ(std::vector<std::uint16_t>(pixel, pixel + 4), (std::vector<std::uint16_t>{1, 2, 3, 4}));
}

}  // namespace

}  // namespace brumel
