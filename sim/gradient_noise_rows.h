#pragma once
// Gradient noise along a row: many x at one y and z, as the textured puff draw needs it
// (its u varies along a stamp row, its v along the column, its t per puff). The vector
// form runs on the best instruction set of the machine, chosen at run time, and gives
// exactly the bits of gradient_noise for every sample.
#include <cstddef>

#include "sim/random_material.h"

// out[n] = gradient_noise(table, x[n], y, z) for n < count, bit for bit. x, y and z lie
// within +-2^30 (beyond that the lattice index of gradient_noise overflows).
void gradient_noise_row(const GradientTable& table, const float* x, std::size_t count, float y,
                        float z, double* out);

// The same, one sample at a time through gradient_noise: the reference of the above.
void gradient_noise_row_reference(const GradientTable& table, const float* x, std::size_t count,
                                  float y, float z, double* out);
