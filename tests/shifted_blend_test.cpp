// The fused plain draw against the general shift and per-sample blend, on every
// instruction set this machine runs.
#include <gtest/gtest.h>
#include <hwy/tests/hwy_gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "render/shifted_blend.h"
#include "render/sub_pixel_shift.h"
#include "sim/cloud_blend.h"
#include "support/effect_fixtures.h"

namespace {

class ShiftedBlendTargets : public hwy::TestWithParamTarget {};
HWY_TARGET_INSTANTIATE_TEST_SUITE_P(ShiftedBlendTargets);

struct Image {
  std::int32_t width, height;
  std::vector<std::uint16_t> samples;
  std::vector<std::uint16_t*> rows;
  Image(std::int32_t w, std::int32_t h, std::mt19937& rng, std::uint16_t top)
      : width(w), height(h), samples(static_cast<std::size_t>(w) * h * 4), rows(h) {
    for (auto& v : samples) v = static_cast<std::uint16_t>(rng() % (top + 1u));
    for (std::int32_t y = 0; y < h; ++y) rows[y] = samples.data() + static_cast<std::size_t>(y) * w * 4;
  }
};

// A stamp of random densities (0..257, a zero rim, holes) and shades (0..1).
StampPtr random_stamp(std::int32_t n, std::mt19937& rng) {
  StampPtr st(stamp_create(n, n, true));
  std::uniform_int_distribution<int> dens(0, 257);
  std::uniform_real_distribution<float> shade(0.0f, 1.0f);
  for (std::int32_t j = 0; j < n; ++j) {
    for (std::int32_t i = 0; i < n; ++i) {
      const bool rim = i == 0 || j == 0 || i == n - 1 || j == n - 1;
      const std::size_t k = static_cast<std::size_t>(j) * n + i;
      st->density[k] = rim && n > 2 ? 0 : (rng() % 5 == 0 ? 0 : dens(rng));
      st->shade[k] = shade(rng);
    }
  }
  return st;
}

TEST_P(ShiftedBlendTargets, EqualsTheGeneralShiftAndBlend) {
  struct Case {
    std::int32_t side;         // stamp side
    float fx, fy;              // fractions (clamped to +-0.999 inside)
    std::int32_t x0, y0;       // image pixel of the shifted stamp's corner
    std::int32_t a_row;
    bool out_of_range_image;   // samples up to 65535, so untouched ones clamp
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
    const StampPtr st = random_stamp(c.side, rng);
    if (c.side % 2 == 1) {
      ASSERT_TRUE(stamp_index_reach(st.get()));  // odd sides indexed
    }
    const StampPtr shifted(shift_stamp(st.get(), c.fx, c.fy));
    const std::int32_t wide = c.side + 2;
    CloudColours colours{};
    for (int k = 0; k < 3; ++k) {
      colours.lit[k] = static_cast<double>(rng() % 32768);
      colours.shadow[k] = static_cast<double>(rng() % 32768) + 0.25 * (rng() % 4);
    }
    // Bands that cut the stamp anywhere, and the image's own edges.
    for (int band = 0; band < 4; ++band) {
      const std::uint16_t top = c.out_of_range_image ? 65535 : 32767;
      std::mt19937 image_rng(static_cast<std::uint32_t>(band));
      Image fast(48, 40, image_rng, top);
      Image want = fast;
      for (std::int32_t y = 0; y < want.height; ++y)
        want.rows[y] = want.samples.data() + static_cast<std::size_t>(y) * want.width * 4;
      ShiftedBlend job;
      job.stamp = st.get();
      job.fx = c.fx;
      job.fy = c.fy;
      job.x0 = c.x0;
      job.y0 = c.y0;
      const std::int32_t first = band * 9;
      const std::int32_t last = band == 3 ? fast.height - 1 : first + 8 + band;
      job.j0 = std::max(0, first - c.y0);
      job.j1 = std::min(wide, last - c.y0 + 1);
      job.i0 = std::max(0, -c.x0);
      job.i1 = std::min(wide, fast.width - c.x0);
      job.rows = fast.rows.data();
      job.a_row = c.a_row;
      std::copy(colours.lit, colours.lit + 3, job.lit);
      std::copy(colours.shadow, colours.shadow + 3, job.shadow);
      job.clamp_untouched = c.out_of_range_image || band % 2 == 0;
      ASSERT_TRUE(blend_shifted_stamp(job));
      for (std::int32_t j = job.j0; j < job.j1; ++j) {
        for (std::int32_t i = job.i0; i < job.i1; ++i) {
          const std::size_t k = static_cast<std::size_t>(j) * wide + i;
          blend_sample(want.rows[c.y0 + j] + static_cast<std::size_t>(c.x0 + i) * 4,
                       (shifted->density[k] * c.a_row) >> 8, shifted->shade[k], colours);
        }
      }
      ASSERT_EQ(fast.samples, want.samples)
          << "side " << c.side << " fractions " << c.fx << "," << c.fy << " band " << band;
    }
  }
}

}  // namespace
