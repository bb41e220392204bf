#include "render/stamp_rows_shift.h"

#include <gtest/gtest.h>
#include <hwy/tests/hwy_gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "render/sub_pixel_shift.h"
#include "support/effect_fixtures.h"

namespace brumel {

namespace {

class StampRowsShift : public hwy::TestWithParamTarget {};
HWY_TARGET_INSTANTIATE_TEST_SUITE_P(StampRowsShift);

// The vector rows equal the rows of the scalar shift for stamp sizes below and above the
// vector widths, fractions of every kind (0, tiny, halves, near and past one, NaN) and
// row ranges at both ends and inside; a range the scalar shift refuses is refused too.
TEST_P(StampRowsShift, MatchesTheScalarShiftBitForBit) {
  const float fractions[] = {0.0f, -0.0f, 1e-7f, -1e-7f, 0.5f, -0.5f, 0.3f, 0.999f, -0.999f, 1.5f, -2.0f,
                             std::numeric_limits<float>::quiet_NaN()};
  for (auto [w, h] : {std::pair{1, 1}, {3, 3}, {7, 5}, {17, 17}, {61, 40}}) {
    const StampPtr st = random_stamp(w, h, static_cast<unsigned>(w * 131 + h));
    for (float fx : fractions)
      for (float fy : fractions)
        for (auto [first, last] : {std::pair{0, h + 1}, {0, 0}, {h + 1, h + 1}, {1, h / 2 + 1}}) {
          const StampPtr want(shift_stamp_rows(st.get(), fx, fy, first, last));
          ASSERT_TRUE(want);
          const std::size_t n = static_cast<std::size_t>(w + 2) * (last - first + 1);
          std::vector<std::int32_t> density(n, -7);
          std::vector<float> shade(n, -7.0f);
          ASSERT_TRUE(shift_stamp_rows_into(st.get(), fx, fy, first, last, density.data(), shade.data()));
          ASSERT_TRUE(std::memcmp(density.data(), want->density, n * sizeof(std::int32_t)) == 0 &&
                      std::memcmp(shade.data(), want->shade, n * sizeof(float)) == 0)
              << w << "x" << h << " by (" << fx << ", " << fy << "), rows " << first << ".." << last;
        }
  }
  const StampPtr st = random_stamp(5, 5, 1);
  std::int32_t d[7];
  float s[7];
  for (auto [first, last] : {std::pair{-1, 0}, {3, 2}, {0, 7}})
    EXPECT_FALSE(shift_stamp_rows_into(st.get(), 0.3f, 0.3f, first, last, d, s)) << first << ".." << last;
}

}  // namespace

}  // namespace brumel
