// The fused plain draw against the general shift and per-sample blend, on every
// instruction set this machine runs.
#include <gtest/gtest.h>
#include <hwy/tests/hwy_gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "render/shifted_blend.h"
#include "render/sub_pixel_shift.h"
#include "sim/cloud_blend.h"
#include "support/effect_fixtures.h"

namespace brumel {

namespace {

class ShiftedBlendTargets : public hwy::TestWithParamTarget {};
HWY_TARGET_INSTANTIATE_TEST_SUITE_P(ShiftedBlendTargets);

std::vector<std::uint16_t*> row_table(std::vector<std::uint16_t>& samples, std::int32_t w, std::int32_t h) {
  std::vector<std::uint16_t*> rows(h);
  for (std::int32_t y = 0; y < h; ++y) rows[y] = samples.data() + static_cast<std::size_t>(y) * w * 4;
  return rows;
}

TEST_P(ShiftedBlendTargets, EqualsTheGeneralShiftAndBlend) {
  constexpr std::int32_t kW = 48, kH = 40;
  struct Case {
    std::int32_t side;        // stamp side (odd ones indexed)
    float fx, fy;             // fractions (clamped to +-0.999 inside)
    std::int32_t x0, y0;      // image pixel of the shifted stamp's corner
    std::int32_t a_row;
    bool out_of_range_image;  // samples up to 65535, so untouched ones clamp
  };
  const Case cases[] = {
      {1, 0.0f, 0.0f, 3, 3, 32767, false},        {3, 0.3f, 0.0f, 0, 0, 32767, false},
      {17, 1e-7f, -1e-7f, -5, 2, 10813, false},   {17, 0.5f, 0.5f, 30, -6, 255, false},
      {31, 0.999f, -0.999f, -20, -20, 1, true},   {31, -0.3f, 0.7f, 10, 12, 32767, true},
      {64, 1.5f, -2.0f, -3, 9, 20000, false},     {101, 0.25f, -0.6f, -40, -30, 32767, false},
      {101, -0.01f, 0.999f, 0, 0, 0, true},
  };
  std::mt19937 rng(2024);
  for (const Case& c : cases) {
    const StampPtr st = random_stamp(c.side, c.side, rng(), true);
    if (c.side % 2 == 1) {
      ASSERT_TRUE(stamp_index_reach(st.get()));  // odd sides indexed
    }
    const StampPtr shifted(shift_stamp(st.get(), c.fx, c.fy));
    const std::int32_t wide = c.side + 2;
    ShiftedBlend job;
    CloudColours colours{};
    for (int k = 0; k < 3; ++k) {
      job.lit[k] = colours.lit[k] = static_cast<double>(rng() % 32768);
      job.shadow[k] = colours.shadow[k] = static_cast<double>(rng() % 32768) + 0.25 * (rng() % 4);
    }
    // Bands that cut the stamp anywhere, and the image's own edges.
    for (int band = 0; band < 4; ++band) {
      std::mt19937 image_rng(static_cast<std::uint32_t>(band));
      std::vector<std::uint16_t> fast(kW * kH * 4);
      for (auto& v : fast) v = static_cast<std::uint16_t>(image_rng() % (c.out_of_range_image ? 65536u : 32768u));
      std::vector<std::uint16_t> want = fast;
      const auto rows = row_table(fast, kW, kH);
      const std::int32_t first = band * 9;
      const std::int32_t last = band == 3 ? kH - 1 : first + 8 + band;
      job.stamp = st.get();
      job.fx = c.fx;
      job.fy = c.fy;
      job.x0 = c.x0;
      job.y0 = c.y0;
      job.j0 = std::max(0, first - c.y0);
      job.j1 = std::min(wide, last - c.y0 + 1);
      job.i0 = std::max(0, -c.x0);
      job.i1 = std::min(wide, kW - c.x0);
      job.rows = rows.data();
      job.a_row = c.a_row;
      job.clamp_untouched = c.out_of_range_image || band % 2 == 0;
      ASSERT_TRUE(blend_shifted_stamp(job));
      const auto want_rows = row_table(want, kW, kH);
      for (std::int32_t j = job.j0; j < job.j1; ++j)
        for (std::int32_t i = job.i0; i < job.i1; ++i) {
          const std::size_t k = static_cast<std::size_t>(j) * wide + i;
          blend_sample(want_rows[c.y0 + j] + static_cast<std::size_t>(c.x0 + i) * 4,
                       (shifted->density[k] * c.a_row) >> 8, shifted->shade[k], colours);
        }
      ASSERT_EQ(fast, want) << "side " << c.side << " fractions " << c.fx << "," << c.fy << " band " << band;
    }
  }
}

}  // namespace

}  // namespace brumel
