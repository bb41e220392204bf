#pragma once
// PuffStamp: a square, odd-sized pre-rendered puff. `density` is the opacity on an
// 8-bit fixed-point scale (256 = opaque; 0..257 as built, 0..256 once shifted);
// `shade` is the lighting, 0 in shadow to 1 fully lit. Both planes are row-major
// with row stride `width`.
#include <cstdint>
#include <memory>

namespace brumel {

struct PuffStamp {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t* density = nullptr;
  float* shade = nullptr;
  // Optional index of the density plane: for row y, columns reach[2y] .. reach[2y+1]-1
  // hold all its non-zero densities (0, 0 for a row of zeros). Made by stamp_index_reach
  // after the plane is filled; whoever changes the plane afterwards must make it again.
  std::int32_t* reach = nullptr;
};

// A new stamp of width x height with both planes allocated (cleared when `clear`),
// or null when any allocation fails (nothing is left allocated then).
PuffStamp* stamp_create(std::int32_t width, std::int32_t height, bool clear);
// Makes (or remakes) the reach index of a filled density plane; false, leaving the
// stamp without an index, when memory runs out.
bool stamp_index_reach(PuffStamp* stamp);
// Frees both planes, the index and the record; null is ignored.
void stamp_free(PuffStamp* stamp);

// A stamp owned by its holder: freed with stamp_free when the holder goes.
struct StampDeleter {
  void operator()(PuffStamp* stamp) const { stamp_free(stamp); }
};
using StampPtr = std::unique_ptr<PuffStamp, StampDeleter>;

}  // namespace brumel
