#pragma once
// PuffStamp: a square, odd-sized pre-rendered puff. `density` is the opacity on an
// 8-bit fixed-point scale (256 = opaque; 0..257 as built, 0..256 once shifted);
// `shade` is the lighting, 0 in shadow to 1 fully lit. Both planes are row-major
// with row stride `width`.
#include <cstdint>

struct PuffStamp {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t* density = nullptr;
  float* shade = nullptr;
};

// A new stamp of width x height with both planes allocated (cleared when `clear`),
// or null when any allocation fails (nothing is left allocated then).
PuffStamp* stamp_create(std::int32_t width, std::int32_t height, bool clear);
// Frees both planes and the record; null is ignored.
void stamp_free(PuffStamp* stamp);
