#pragma once
// Rows of host samples to and from the effect's 15-bit RGBA samples, in vector lanes
// chosen at run time. Nothing shared; any thread.
#include <cstdint>

namespace brumel {

// One host row of `width` pixels of `channels` (1..4; other counts read as 3) 16-bit
// samples into `width` RGBA pixels: each sample halved (s >> 1); grey fills the three
// colours; without alpha, alpha is 32767.
void narrow_row(const std::uint16_t* src, int channels, std::int32_t width, std::uint16_t* dst);
// `width` RGBA pixels back into a host row of `channels` samples a pixel: each sample
// widened as (s << 1) | (s >> 14), so 32767 gives 65535; two channels take grey and
// alpha, one takes grey.
void widen_row(const std::uint16_t* src, std::int32_t width, int channels, std::uint16_t* dst);

}  // namespace brumel
