#include "sim/random_material.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <utility>
#include <vector>

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
  for (double expected : {0.76267654, 0.40053189, 0.89662880}) {
    EXPECT_NEAR(uniform_random(s), expected, 5e-9);
  }
  EXPECT_NEAR(table[0], 0.76267654, 5e-9);
  EXPECT_NEAR(table[2], 0.89662880, 5e-9);
  // State 0 starts like -1 (one after the other: the shuffle is shared).
  std::int32_t a = -1, b = 0;
  std::vector<float> from_minus_one;
  for (int n = 0; n < 100; ++n) from_minus_one.push_back(uniform_random(a));
  for (int n = 0; n < 100; ++n) ASSERT_EQ(uniform_random(b), from_minus_one[n]) << n;
}

// These two seeds hit shuffle values so close to 2^31 that the float product reaches
// 1 - 2^-24 (seed 1) and exactly 1.0 (seed 98); both must come back as 1 - 2^-23.
TEST(UniformRandom, ResultsNearOneAreHeldBelowOne) {
  for (const auto& [seed, index] : {std::pair{1, 1285}, std::pair{98, 203344}}) {
    const std::vector<float> table = table_from(-seed);
    EXPECT_EQ(table[index], kBelowOne) << "seed " << seed;
    for (int n = 0; n < kRandomTableSize; ++n) {
      ASSERT_GT(table[n], 0.0f) << "seed " << seed << " entry " << n;
      ASSERT_LT(table[n], 1.0f) << "seed " << seed << " entry " << n;
    }
  }
}

TEST(SeedGradients, KnownFirstEntries) {
  GradientTable g;
  seed_gradients(g, -666);
  EXPECT_NEAR(g[0][0], 0.00855, 5e-6);
  seed_gradients(g, -165);
  const double want[2][3] = {{0.78047, -0.59270, 0.19894}, {-0.11560, 0.90590, -0.40740}};
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(g[i / 3][i % 3], want[i / 3][i % 3], 5e-6) << i;
}

class GradientNoise : public ::testing::Test {
 protected:
  void SetUp() override { seed_gradients(table, -165); }
  double noise(float x, float y, float z) const { return gradient_noise(table, x, y, z); }
  GradientTable table;
};

// Exact bits at points where every other precision mix gives a different double: all
// float, all double, double only for the z interpolation, double only for the upper
// plane's y interpolation, and double offsets (f - 1) in the far row.
TEST_F(GradientNoise, PrecisionMixIsExact) {
  EXPECT_EQ(noise(0.3f, 0.7f, 0.1f), -0x1.3dc3a941da615p-3);
  EXPECT_EQ(noise(12.34f, -7.89f, 0.123f), -0x1.9d9ddf8eb1726p-6);
  EXPECT_EQ(noise(0.1f, 0.2f, 0.3f), -0x1.d172351de5065p-4);
  EXPECT_NEAR(noise(1.25f, -0.75f, 3.5f), 0.19895, 5e-6);
}

TEST_F(GradientNoise, ZeroAtLatticePoints) {
  for (float x : {-3.0f, 0.0f, 255.0f, 256.0f, 1000.0f})
    for (float y : {-256.0f, -2.0f, 0.0f, 5.0f})
      for (float z : {-7.0f, 0.0f, 1.0f, 300.0f}) EXPECT_EQ(noise(x, y, z), 0.0) << x << ", " << y << ", " << z;
}

// Crossing a cell border moves into another cell's corners; the value must not jump.
// Negative borders catch a floor that merely truncates toward zero.
TEST_F(GradientNoise, ContinuousAcrossCellBorders) {
  constexpr float kStep = 1e-4f;
  for (float border : {-2.0f, -1.0f, 0.0f, 1.0f, 3.0f}) {
    const float lo = border - kStep;
    const float hi = border + kStep;
    EXPECT_NEAR(noise(lo, 0.37f, -0.61f), noise(hi, 0.37f, -0.61f), 2e-3) << "x " << border;
    EXPECT_NEAR(noise(1.43f, lo, 2.29f), noise(1.43f, hi, 2.29f), 2e-3) << "y " << border;
    EXPECT_NEAR(noise(-0.52f, 0.81f, lo), noise(-0.52f, 0.81f, hi), 2e-3) << "z " << border;
  }
}

// A table whose entry n is n / 2^18, so a draw tells which entry it read.
class CursorDraw : public ::testing::Test {
 protected:
  void SetUp() override {
    table.resize(kRandomTableSize);
    for (int n = 0; n < kRandomTableSize; ++n) table[n] = static_cast<float>(n) * 0x1p-18f;
  }
  int read(std::int32_t& cursor) {
    return static_cast<int>(cursor_draw(table.data(), cursor, 0, kVar1Warning) * 0x1p18f);
  }
  std::vector<float> table;
};

TEST_F(CursorDraw, AdvancesBeforeReadingAndWrapsPastOneBillion) {
  // The first draw after a restart skips entry 0; the index is masked, the cursor runs on.
  struct Case {
    std::int32_t from, entry, to;
  };
  for (Case c : {Case{0, 1, 1}, Case{262143, 0, 262144}, Case{999999999, 1000000000 & 262143, 1000000000},
                 Case{1000000000, 0, 0}}) {
    std::int32_t cursor = c.from;
    EXPECT_EQ(read(cursor), c.entry) << c.from;
    EXPECT_EQ(cursor, c.to) << c.from;
  }
}

TEST_F(CursorDraw, Rand01IsCappedAtPointNineSixNines) {
  const float cap = static_cast<float>(0.999999);
  table[1] = 0.9999995f;
  table[2] = std::nextafter(cap, 1.0f);
  table[3] = cap;
  table[4] = 0.25f;
  std::int32_t cursor = 0;
  for (float want : {cap, cap, cap, 0.25f}) EXPECT_EQ(draw_rand_01(table.data(), cursor, 0), want);
}

TEST_F(CursorDraw, Rand11AndVar1ScaleTheDraw) {
  table[1] = 0.75f;
  table[2] = kBelowOne;
  // Formed in double and rounded once; single-precision steps would end in ...c0p+3.
  table[3] = 0x1.cd5f9ap-14f;
  std::int32_t cursor = 0;
  EXPECT_EQ(draw_rand_11(table.data(), cursor, 0), 0.5f);
  EXPECT_LT(draw_rand_11(table.data(), cursor, 0), 1.0f);
  EXPECT_EQ(draw_var_1(table.data(), 17.7f, 3.3f, cursor, 0), 0x1.ccd2c2p+3f);
  EXPECT_EQ(cursor, 3);
}

TEST_F(CursorDraw, WarnsOnStandardOutputInsideMpRegion) {
  std::int32_t cursor = 0;
  struct Case {
    std::function<float()> draw;
    const char* message;
  };
  const float* t = table.data();
  const Case cases[] = {
      {[&] { return draw_rand_01(t, cursor, 1); }, "part_rand_01() called with MP region!\n"},
      {[&] { return draw_rand_11(t, cursor, 1); }, "part_rand_11() called with MP region!\n"},
      {[&] { return draw_var_1(t, 0.0f, 1.0f, cursor, 1); },
       "part_var_1() called with MP region!\n"},
      {[&] { return cursor_draw(t, cursor, 1, kVar1Warning); },
       "part_var_1() called with MP region!\n"},
  };
  for (const Case& c : cases) {
    const std::int32_t before = cursor;
    testing::internal::CaptureStdout();
    c.draw();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), c.message);
    EXPECT_EQ(cursor, before + 1);  // the draw goes on after the warning
  }
}

}  // namespace
