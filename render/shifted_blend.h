#pragma once
// The fused plain draw of one puff: the rows and columns of a stamp's sub-pixel shift
// that land in a band are computed and blended into the image in one pass, without
// making the shifted copy. Every sample is bit for bit what shift_stamp followed by the
// per-sample blend gives. Vector code chosen at run time (Highway); no shared state, any
// thread; per-thread scratch rows are kept between calls.
#include <cstdint>

#include "render/puff_stamp.h"

namespace brumel {

struct ShiftedBlend {
  const PuffStamp* stamp = nullptr;  // the unshifted stamp (densities 0..2^31-1)
  float fx = 0.0f;                   // sub-pixel fractions, clamped to -0.999..0.999 inside
  float fy = 0.0f;
  // Rows j0..j1-1 and columns i0..i1-1 of the shifted stamp ((width+2) x (height+2)) are
  // drawn; shifted sample (j, i) lands on image pixel (x0 + i, y0 + j).
  std::int32_t j0 = 0, j1 = 0, i0 = 0, i1 = 0;
  std::int32_t x0 = 0, y0 = 0;
  std::uint16_t* const* rows = nullptr;  // the image's row table, 4 samples a pixel
  std::int32_t a_row = 0;                // A' = A x density, 0..32767
  double lit[3] = {0, 0, 0};             // lit colour, whole numbers
  double shadow[3] = {0, 0, 0};          // shadow colour
  // False when every sample of the image rows drawn is known to lie in 0..32767: then
  // samples of zero coverage, which would only clamp, are not touched.
  bool clamp_untouched = true;
};

// Draws the job. False (drawing nothing) when the stamp is too large for the shift
// (a side above 65533) or a fraction is not finite: the caller takes the general path.
bool blend_shifted_stamp(const ShiftedBlend& job);

// Whether every sample of rows first..last (width pixels of 4 samples) is at most 32767.
bool rows_in_range(std::uint16_t* const* rows, std::int32_t width, std::int32_t first,
                   std::int32_t last);

}  // namespace brumel
