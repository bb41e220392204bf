#pragma once
// The per-row steps of the textured puff draw after its noises: where each sample's
// displaced lookup lands in the shifted stamp, and the blend of the samples it finds.
// Both run on the best instruction set of the machine, chosen at run time, and give the
// bits of the one-sample-at-a-time draw.
#include <cstddef>
#include <cstdint>

#include "sim/cloud_blend.h"

namespace brumel {

// Lookups of stamp row j, columns i_first .. i_first + count - 1, of a w x h stamp
// displaced by the noises g1 (across) and g2 (down) at magnitude mag:
// sx = trunc(i + g1 mag w), sy = trunc(j + g2 mag h), in double. look[n] is sy w + sx
// when that lies inside the stamp, else -1. Widens [*row_lo, *row_hi] to every sy found.
void texture_lookup_row(const double* g1, const double* g2, std::size_t count,
                        std::int32_t i_first, std::int32_t j, double mag, std::int32_t w,
                        std::int32_t h, std::int32_t* look, std::int32_t* row_lo,
                        std::int32_t* row_hi);

// Blends `count` RGBA pixels from px: sample n has density (own[n] * density[look[n]])
// >> 8 and shade shade[look[n]] where look[n] >= 0, else density 0 and shade 0.5; its
// coverage is (density * a_row) >> 8, blended as blend_sample does.
void blend_textured_row(std::uint16_t* px, const std::int32_t* own, const std::int32_t* look,
                        const std::int32_t* density, const float* shade, std::size_t count,
                        std::int32_t a_row, const CloudColours& colours);

// The same two, one sample at a time: the references of the above.
void texture_lookup_row_reference(const double* g1, const double* g2, std::size_t count,
                                  std::int32_t i_first, std::int32_t j, double mag,
                                  std::int32_t w, std::int32_t h, std::int32_t* look,
                                  std::int32_t* row_lo, std::int32_t* row_hi);
void blend_textured_row_reference(std::uint16_t* px, const std::int32_t* own,
                                  const std::int32_t* look, const std::int32_t* density,
                                  const float* shade, std::size_t count, std::int32_t a_row,
                                  const CloudColours& colours);

}  // namespace brumel
