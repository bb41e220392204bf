#pragma once
// One row of a stamp's shade plane from its per-column lighting factors.
#include <cstdint>

namespace brumel {

// The lighting of row offset `row`: for column k (offset i = k - half) the term
// dot = i * inv[k] * light_x + lift[k] + row * inv[k] * light_y, classified into the band
// lo..hi: 0 at or below lo, 1 at or above hi, else (dot - lo) / two_c when above 0, else 0.
// A column outside the hemisphere carries a NaN inv and lift and gets 0.
struct ShadeRow {
  const float* inv;   // 1 / length of the surface point's offset, per column
  const float* lift;  // its height term h * inv * light_z, per column
  std::int32_t count;
  std::int32_t half;
  std::int32_t row;
  float light_x, light_y, lo, hi, two_c;
};

// Writes out[0..count-1]; vector code for the best instruction set of the processor.
void shade_row(const ShadeRow& a, float* out);
// The same, one sample at a time: the definition the vector code must match.
void shade_row_scalar(const ShadeRow& a, float* out);

// The per-column factors of one row pair of the shade: for each column k with squared
// offset rr[k] and hemisphere height h[k] (inside when rr[k] <= m), inv = 1 / sqrt(h * h
// + rr) and lift = h * inv * light_z, both in single precision; NaN outside.
struct ShadeFactors {
  const std::int32_t* h;
  const std::int32_t* rr;
  std::int32_t count;
  std::int32_t m;
  float light_z;
};
void shade_factors(const ShadeFactors& a, float* inv, float* lift);
void shade_factors_scalar(const ShadeFactors& a, float* inv, float* lift);

}  // namespace brumel
