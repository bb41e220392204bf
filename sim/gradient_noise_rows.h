#pragma once
// Gradient noise along a row: many x at one y and z, as the textured puff draw needs it
// (its u varies along a stamp row, its v along the column, its t per puff). The vector
// form runs on the best instruction set of the machine, chosen at run time, and gives
// exactly the bits of gradient_noise for every sample.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "sim/random_material.h"

namespace brumel {

// The part of the noise that depends on x alone, for a row of x values: every row sampled
// at the same x (each stamp row of a textured puff) shares it.
struct NoiseColumns {
  std::vector<std::int32_t> cell;  // floor of each x
  std::vector<float> offset;       // x - floor
  std::vector<float> curve;        // s-curve weight of the offset
  std::int32_t lo = 0;             // least and greatest cell
  std::int32_t hi = -1;
};

// Fills `columns` for x[0 .. count-1], reusing its storage. x, y and z below lie within
// +-2^30 (beyond that the lattice index of gradient_noise overflows).
void noise_columns(const float* x, std::size_t count, NoiseColumns& columns);

// out[n] = gradient_noise(table, x[first + n], y, z) for n < count, bit for bit, with x
// the values `columns` was made from.
void gradient_noise_row(const GradientTable& table, const NoiseColumns& columns,
                        std::size_t first, std::size_t count, float y, float z, double* out);

// out[n] = gradient_noise(table, x[n], y, z) for n < count, one sample at a time: the
// reference of the above.
void gradient_noise_row_reference(const GradientTable& table, const float* x, std::size_t count,
                                  float y, float z, double* out);

}  // namespace brumel
