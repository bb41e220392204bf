#include "sim/random_material.h"

#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <functional>
#include <vector>
#include <tuple>

namespace brumel {

namespace {

constexpr float kBelowOne = 0.99999988079071f;  // 1 - 2^-23, the largest result

std::vector<float> table_from(std::int32_t state) {
  std::vector<float> table(kRandomTableSize);
  fill_random_table(table.data(), state);
  return table;
}

TEST(UniformRandom, KnownSequencesFromNegativeStatesAndTheTableFill) {
  std::int32_t s = -1;
  EXPECT_NEAR(uniform_random(s), 0.41599935, 5e-9);
  EXPECT_NEAR(uniform_random(s), 0.09196489, 5e-9);
  // A negative word re-initialises the shared shuffle, whatever was drawn before;
  // the table holds the same sequence from entry 0.
  s = -165;
  const std::vector<float> table = table_from(-165);
  for (int n = 0; n < 3; ++n) {
    const double expected = std::vector<double>{0.76267654, 0.40053189, 0.89662880}[n];
    EXPECT_NEAR(uniform_random(s), expected, 5e-9);
    EXPECT_NEAR(table[n], expected, 5e-9);
  }
  // State 0 starts like -1.
  const std::vector<float> from_minus_one = table_from(-1);
  std::int32_t zero = 0;
  for (int n = 0; n < 100; ++n) ASSERT_EQ(uniform_random(zero), from_minus_one[n]) << n;
}

// These two seeds hit shuffle values so close to 2^31 that the float product reaches
// 1 - 2^-24 (seed 1) and exactly 1.0 (seed 98); both must come back as 1 - 2^-23.
TEST(UniformRandom, ResultsNearOneAreHeldBelowOne) {
  for (const auto& [seed, index] : {std::pair{1, 1285}, {98, 203344}}) {
    const std::vector<float> table = table_from(-seed);
    EXPECT_EQ(table[index], kBelowOne) << "seed " << seed;
    for (int n = 0; n < kRandomTableSize; ++n) ASSERT_TRUE(table[n] > 0.0f && table[n] < 1.0f) << seed << " at " << n;
  }
}

// Known gradients, and noise bits at points where every other precision mix gives a
// different double: all float, all double, double only for the z interpolation, double
// only for the upper plane's y interpolation, and double offsets (f - 1) in the far row.
// (The vector row test holds the noise at lattice points and cell borders, negative
// ones included, to the same scalar noise.)
TEST(GradientNoise, KnownGradientsAndExactPrecisionMix) {
  GradientTable g;
  seed_gradients(g, -666);
  EXPECT_NEAR(g[0][0], 0.00855, 5e-6);
  seed_gradients(g, -165);
  const double want[2][3] = {{0.78047, -0.59270, 0.19894}, {-0.11560, 0.90590, -0.40740}};
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(g[i / 3][i % 3], want[i / 3][i % 3], 5e-6) << i;
  EXPECT_EQ(gradient_noise(g, 0.3f, 0.7f, 0.1f), -0x1.3dc3a941da615p-3);
  EXPECT_EQ(gradient_noise(g, 12.34f, -7.89f, 0.123f), -0x1.9d9ddf8eb1726p-6);
  EXPECT_EQ(gradient_noise(g, 0.1f, 0.2f, 0.3f), -0x1.d172351de5065p-4);
  EXPECT_NEAR(gradient_noise(g, 1.25f, -0.75f, 3.5f), 0.19895, 5e-6);
  EXPECT_EQ(gradient_noise(g, -3.0f, -256.0f, -7.0f), 0.0) << "lattice point";
}

// A table whose entry n is n / 2^18, so a draw tells which entry it read.
class CursorDraw : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int n = 0; n < kRandomTableSize; ++n) table[n] = static_cast<float>(n) * 0x1p-18f;
  }
  std::vector<float> table = std::vector<float>(kRandomTableSize);
};

// The first draw after a restart skips entry 0; the index is masked, the cursor runs on
// and wraps past one billion.
TEST_F(CursorDraw, AdvancesBeforeReadingAndWrapsPastOneBillion) {
  for (auto [from, entry, to] : {std::tuple{0, 1, 1}, {262143, 0, 262144}, {999999999, 1000000000 & 262143, 1000000000},
                                 {1000000000, 0, 0}}) {
    std::int32_t cursor = from;
    EXPECT_EQ(static_cast<int>(cursor_draw(table.data(), cursor, 0, kVar1Warning) * 0x1p18f), entry) << from;
    EXPECT_EQ(cursor, to) << from;
  }
}

// Rand01 is capped at .999999; Rand11 and Var1 scale the draw, Var1 formed in double and
// rounded once (single-precision steps would end in ...c0p+3).
TEST_F(CursorDraw, DrawsScaleAndCapTheEntry) {
  const float cap = static_cast<float>(0.999999);
  const float entries[] = {0.9999995f, std::nextafter(cap, 1.0f), cap, 0.25f, 0.75f, kBelowOne, 0x1.cd5f9ap-14f};
  std::copy(std::begin(entries), std::end(entries), table.begin() + 1);
  std::int32_t cursor = 0;
  for (float want : {cap, cap, cap, 0.25f}) EXPECT_EQ(draw_rand_01(table.data(), cursor, 0), want);
  EXPECT_EQ(draw_rand_11(table.data(), cursor, 0), 0.5f);
  EXPECT_LT(draw_rand_11(table.data(), cursor, 0), 1.0f);
  EXPECT_EQ(draw_var_1(table.data(), 17.7f, 3.3f, cursor, 0), 0x1.ccd2c2p+3f);
  EXPECT_EQ(cursor, 7);
}

TEST_F(CursorDraw, WarnsOnStandardOutputInsideMpRegion) {
  std::int32_t cursor = 0;
  const float* t = table.data();
  const std::pair<std::function<float()>, const char*> cases[] = {
      {[&] { return draw_rand_01(t, cursor, 1); }, "part_rand_01() called with MP region!\n"},
      {[&] { return draw_rand_11(t, cursor, 1); }, "part_rand_11() called with MP region!\n"},
      {[&] { return draw_var_1(t, 0.0f, 1.0f, cursor, 1); }, "part_var_1() called with MP region!\n"},
      {[&] { return cursor_draw(t, cursor, 1, kVar1Warning); }, "part_var_1() called with MP region!\n"},
  };
  for (const auto& [draw, message] : cases) {
    const std::int32_t before = cursor;
    testing::internal::CaptureStdout();
    draw();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), message);
    EXPECT_EQ(cursor, before + 1);  // the draw goes on after the warning
  }
}

}  // namespace

}  // namespace brumel
