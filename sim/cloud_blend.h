#pragma once
// The per-sample blend of the cloud renderer, shared by its fast and reference paths:
// the colours of a puff and the 15-bit blend of one coverage and shade into a pixel.
#include <cstdint>

#include "render/image_buffer.h"
#include "sim/particle_store.h"

namespace brumel {

inline std::int32_t clamp_sample(std::int32_t v) {
  return v < 0 ? 0 : (v > ImageBuffer::kImageMax ? ImageBuffer::kImageMax : v);
}

// The lit (truncated) and shadow colours of every puff, and the per-row opacity scale:
// A' = A x density, truncated.
struct CloudColours {
  double lit[3];
  double shadow[3];
};

// The colours are image values by derivation; held to 0..32767 so that one set by hand
// cannot overflow the blend.
CloudColours cloud_colours(const CloudSystem& s);
// A' for opacity A (1..32767). Density lies in 0..1 over the control's range; the clamp
// keeps every product of the blend within 32 bits for any value set by hand.
std::int32_t row_opacity(std::int32_t opacity, float density);

// Blends one sample of coverage a (0..32767) and shade sh_v into an output pixel:
// Cc = trunc(lit x s + shadow x (1 - s)) in double, then (Cc a + old (32768 - a)) >> 15
// per colour, (old (32768 - a) + 32767 a) >> 15 for alpha, each clamped.
inline void blend_sample(std::uint16_t* px, std::int32_t a, float sh_v, const CloudColours& k) {
  const std::int32_t keep = 32768 - a;
  const double sd = sh_v;
  for (int c = 0; c < 3; ++c) {
    const auto cc = static_cast<std::int32_t>(k.lit[c] * sd + k.shadow[c] * (1.0 - sd));
    px[c] = static_cast<std::uint16_t>(clamp_sample((cc * a + px[c] * keep) >> 15));
  }
  px[3] = static_cast<std::uint16_t>(clamp_sample((px[3] * keep + a * 32767) >> 15));
}

}  // namespace brumel
