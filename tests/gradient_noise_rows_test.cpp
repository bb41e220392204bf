#include "sim/gradient_noise_rows.h"

#include <gtest/gtest.h>
#include <hwy/tests/hwy_gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace brumel {

namespace {

// A row of x values with the y and z it is sampled at.
struct Row {
  std::string name;
  std::vector<float> x;
  float y;
  float z;
};

std::vector<float> uniform(std::mt19937& rng, std::size_t n, float lo, float hi) {
  std::uniform_real_distribution<float> d(lo, hi);
  std::vector<float> x(n);
  for (float& v : x) v = d(rng);
  return x;
}

// Whole numbers, the floats just either side of them, and halves, from -4 to 4: every
// lane sits on or next to a cell border, negative ones included.
std::vector<float> borders() {
  std::vector<float> x;
  for (int k = -4; k <= 4; ++k) {
    const auto f = static_cast<float>(k);
    for (float v : {f, std::nextafter(f, -10.0f), std::nextafter(f, 10.0f), f + 0.5f})
      x.push_back(v);
  }
  return x;
}

// u of a stamp row as the textured draw forms it: ascending, many samples per cell.
std::vector<float> stamp_row(std::int32_t w, float frequency, float offset) {
  std::vector<float> x(w);
  for (std::int32_t i = 0; i < w; ++i)
    x[i] = static_cast<float>(i) / static_cast<float>(w) * frequency + offset;
  return x;
}

std::vector<Row> rows() {
  std::mt19937 rng(20240611);
  std::vector<Row> r;
  // Counts below, at and off the vector widths, as the draw's clipped rows give them.
  for (std::size_t n : {1, 3, 8, 17, 293})
    r.push_back({"stamp-like row of " + std::to_string(n), uniform(rng, n, 3.0f, 9.0f), 7.1f, -3.6f});
  r.push_back({"ascending stamp row", stamp_row(293, 4.0f, 5.21f), 7.12f, 12.4f});
  r.push_back({"descending row across zero", stamp_row(101, -6.0f, 2.5f), -0.4f, -12.4f});
  r.push_back({"negative", uniform(rng, 64, -40.0f, -0.001f), -2.25f, -0.75f});
  r.push_back({"across zero", uniform(rng, 64, -2.0f, 2.0f), 0.0f, 0.0f});
  r.push_back({"cell borders", borders(), 1.5f, -1.0f});
  r.push_back({"lattice points", {-3.0f, -1.0f, 0.0f, 1.0f, 2.0f, 255.0f, 256.0f, 257.0f}, 4.0f, -7.0f});
  r.push_back({"y and z on borders", uniform(rng, 40, -5.0f, 5.0f), std::nextafter(-3.0f, 0.0f),
               std::nextafter(2.0f, 3.0f)});
  r.push_back({"span past the hash period", uniform(rng, 100, -300.0f, 300.0f), 0.3f, 0.7f});
  r.push_back({"large magnitudes", uniform(rng, 100, -1.0e6f, 1.0e6f), 123456.5f, -65432.25f});
  r.push_back({"whole-number floats", uniform(rng, 50, 3.0e7f, 1.0e9f), 5.0e8f, -2.0e7f});
  r.push_back({"Seethe-like z", uniform(rng, 50, 0.0f, 12.0f), 9.5f, 1234.567f});
  return r;
}

class GradientNoiseRow : public hwy::TestWithParamTarget {};
HWY_TARGET_INSTANTIATE_TEST_SUITE_P(GradientNoiseRow);

// The vector row gives the scalar noise's bits in every lane, on each instruction set.
TEST_P(GradientNoiseRow, MatchesTheScalarNoiseBitForBit) {
  for (std::int32_t seed : {-165, -666}) {
    GradientTable table;
    seed_gradients(table, seed);
    for (const Row& row : rows()) {
      const std::size_t size = row.x.size();
      NoiseColumns columns;
      noise_columns(row.x.data(), size, columns);
      std::vector<double> slow(size);
      gradient_noise_row_reference(table, row.x.data(), size, row.y, row.z, slow.data());
      // The whole row, and a part of it (as a clipped puff asks for).
      for (std::size_t first : {std::size_t{0}, size / 3}) {
        const std::size_t count = first ? size - first - size / 5 : size;
        std::vector<double> fast(count);
        gradient_noise_row(table, columns, first, count, row.y, row.z, fast.data());
        for (std::size_t n = 0; n < count; ++n) {
          ASSERT_EQ(std::memcmp(&fast[n], &slow[first + n], sizeof(double)), 0)
              << row.name << ", seed " << seed << ", x = " << row.x[first + n] << ": " << fast[n]
              << " vs " << slow[first + n];
        }
      }
    }
  }
}

}  // namespace

}  // namespace brumel
