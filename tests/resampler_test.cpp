#include "render/resampler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
// Let a refused huge allocation reach the resampler as a failure instead of a report.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }
#endif

namespace {

// An image whose pixels all carry `values` along one axis: a row (horizontal) or a
// column; every channel c holds value + c so channels are told apart.
std::unique_ptr<ImageBuffer> line(const std::vector<std::uint16_t>& values, bool horizontal) {
  const auto n = static_cast<std::int32_t>(values.size());
  auto image = std::make_unique<ImageBuffer>(horizontal ? n : 1, horizontal ? 1 : n);
  for (std::int32_t i = 0; i < n; ++i) {
    std::uint16_t* px = horizontal ? image->rows[0] + i * 4 : image->rows[i];
    for (int c = 0; c < 4; ++c) px[c] = static_cast<std::uint16_t>(values[i] + c);
  }
  return image;
}

// Channel 0 along the line of a one-row or one-column image.
std::vector<std::uint16_t> channel0(const ImageBuffer& image) {
  std::vector<std::uint16_t> out;
  if (image.height == 1)
    for (std::int32_t x = 0; x < image.width; ++x) out.push_back(image.rows[0][x * 4]);
  else
    for (std::int32_t y = 0; y < image.height; ++y) out.push_back(image.rows[y][0]);
  return out;
}

std::vector<std::uint16_t> resampled(const std::vector<std::uint16_t>& values, std::int32_t size,
                                     std::int32_t filter, bool horizontal) {
  auto source = line(values, horizontal);
  ImageBuffer target(horizontal ? size : 1, horizontal ? 1 : size);
  Resampler r;
  r.set_filter(filter);
  EXPECT_EQ(r.resample(*source, target), 1);
  return channel0(target);
}

using Samples = std::vector<std::uint16_t>;

// The kernel at 0, 0.5, 1, 1.5 and 2 pixels (entries 0, 256, ... 1024) of each filter.
TEST(Resampler, KernelTablesHoldTheFiveFiltersAndOutOfRangeTypesSelectTheTriangle) {
  const std::pair<std::int32_t, std::vector<double>> filters[] = {
      {1, {1.0, 0.5, 0.0, 0.0, 0.0}},
      {3, {1.0, 0.5625, 0.0, -0.0625, 0.0}},
      {4, {1.0, 0.625, 0.0, -0.125, 0.0}},
      {5, {4.0 / 6.0, 0.0 /* not pinned */, 1.0 / 6.0, 0.125 / 6.0, 0.0}},
      {0, {1.0, 0.5, 0.0, 0.0, 0.0}}, {7, {1.0, 0.5, 0.0, 0.0, 0.0}}, {-5, {1.0, 0.5, 0.0, 0.0, 0.0}}};
  for (const auto& [type, want] : filters) {
    Resampler r;
    r.set_filter(3);
    r.set_filter(type);
    for (int k = 0; k < 5; ++k)
      if (type != 5 || k != 1) EXPECT_DOUBLE_EQ(r.kernel[256 * k], want[k]) << type << " at " << k;
  }
  for (std::int32_t type : {0, 7, -5})
    EXPECT_EQ(resampled({0, 1000}, 5, type, true), (Samples{0, 250, 500, 750, 1000}));
  Resampler r;
  r.set_filter(6);
  EXPECT_EQ(r.kernel[0], 1.0);
  EXPECT_NEAR(r.kernel[256], 0.5731591682507563, 1e-15);
  EXPECT_NEAR(r.kernel[512], 0.0, 1e-15);
  EXPECT_LT(r.kernel[768], 0.0);
  for (std::int32_t i = 1025; i < Resampler::kKernelEntries; ++i) ASSERT_EQ(r.kernel[i], 0.0);
}

TEST(Resampler, CubicUpsamplingRoundsAndClampsOnEitherAxis) {
  for (bool horizontal : {true, false}) {
    EXPECT_EQ(resampled({100, 201}, 3, 3, horizontal), (Samples{100, 151, 201}));
    EXPECT_EQ(resampled({32767, 0}, 3, 3, horizontal), (Samples{32767, 16384, 0}));
    // Scale 0.5: samples 1 and 5 sit between the flat runs and the step, where the
    // cubic's negative lobes reach -2047.9375 and 34814.9375.
    EXPECT_EQ(resampled({0, 0, 32767, 32767}, 7, 3, horizontal),
              (Samples{0, 0, 0, 16384, 32767, 32767, 32767}));
  }
}

// Equal sizes copy exactly; downsampling a constant gives the constant.
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
  }
}

TEST(Resampler, DownsamplingAveragesWithTheStretchedKernel) {
  // 5 -> 3, triangle, scale 2: weights 0.5, 1, 0.5 around the centre, normalised, with
  // the edge samples standing in for taps outside.
  EXPECT_EQ(resampled({0, 400, 800, 0, 0}, 3, 1, true), (Samples{100, 500, 0}));
  EXPECT_EQ(resampled({600, 400, 800, 0, 0}, 3, 1, true), (Samples{550, 500, 0}));
}

TEST(Resampler, LengthOneTargetTakesTheCentreAndLengthOneSourceRepeats) {
  // Centre 2, kernel stretched by 4: weights 0.25 .. 1 .. 0.25 with the edges replicated.
  EXPECT_EQ(resampled({0, 0, 400, 0, 0}, 1, 1, true), Samples{100});
  EXPECT_EQ(resampled({100, 200, 300, 400, 500}, 1, 1, false), Samples{300});
  EXPECT_EQ(resampled({100, 201}, 1, 3, true), Samples{151});
  for (std::int32_t filter : {1, 3, 4, 5, 6})
    EXPECT_EQ(resampled({777}, 4, filter, true), (Samples{777, 777, 777, 777})) << filter;
}

TEST(Resampler, ScalesBothAxes) {
  // 2 x 2 -> 3 x 3 triangle: bilinear; the vertical pass works on the rounded
  // intermediate, so the centre is (500 + 2501) / 2 rounded up.
  ImageBuffer source(2, 2), target(3, 3);
  const std::uint16_t corners[4] = {0, 1000, 2000, 3001};
  for (int p = 0; p < 4; ++p)
    for (int c = 0; c < 4; ++c) source.rows[p / 2][(p % 2) * 4 + c] = corners[p];
  Resampler r;
  ASSERT_EQ(r.resample(source, target), 1);
  const std::uint16_t want[9] = {0, 500, 1000, 1000, 1501, 2001, 2000, 2501, 3001};
  for (int p = 0; p < 9; ++p)
    for (int c = 0; c < 4; ++c) EXPECT_EQ(target.rows[p / 3][(p % 3) * 4 + c], want[p]) << p;
}

TEST(Resampler, RefusedIntermediateLeavesTheTargetAlone) {
  // The intermediate would take 2^28 x 2^16 pixels. The target wraps a single pixel: a
  // resampler that wrote into it would run far past it.
  ImageBuffer source(1, 1 << 16);
  std::uint16_t pixel[4] = {1, 2, 3, 4};
  ImageBuffer target(1 << 28, 1, pixel);
  Resampler r;
  EXPECT_EQ(r.resample(source, target), 0);
  EXPECT_EQ(pixel[0], 1);
  EXPECT_EQ(pixel[3], 4);
}

}  // namespace
