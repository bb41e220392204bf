#pragma once
// The limits every sub-pixel shift of a puff stamp keeps to, in one place: the
// whole shift (shift_stamp), its row-range forms and the fused shift-and-blend
// must agree on them, or a stamp one refuses another would draw.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "render/sub_pixel_shift.h"

namespace brumel {

// A shift moves a stamp by less than one sample each way: larger fractions are
// held to this, so the shifted stamp is always the source plus one sample a side.
inline constexpr float kLargestShiftFraction = 0.999f;
inline float clamp_shift_fraction(float f) {
  return std::clamp(f, -kLargestShiftFraction, kLargestShiftFraction);
}

// Stamp sides whose shifted size (two samples larger) int32 arithmetic can still hold.
inline constexpr std::int32_t kWidestShiftableStamp = INT32_MAX - 2;
// Whether a stamp can be shifted at all: one, with sides of 1..kWidestShiftableStamp.
inline bool shiftable_stamp(const PuffStamp* stamp) {
  return stamp != nullptr && stamp->width >= 1 && stamp->height >= 1 &&
         stamp->width <= kWidestShiftableStamp && stamp->height <= kWidestShiftableStamp;
}

// Whether a stamp of w x h samples, moved by the held fractions fx, fy, shifts to
// samples at all: its shifted size fits the shift's working rasters, and neither
// fraction is NaN or infinite (clamping keeps a NaN).
inline bool stamp_shift_draws(std::int32_t w, std::int32_t h, float fx, float fy) {
  return w + 2 <= kLargestRasterSide && h + 2 <= kLargestRasterSide && std::isfinite(fx) &&
         std::isfinite(fy);
}

}  // namespace brumel
