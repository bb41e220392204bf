#pragma once
// Conversions between host images (16-bit samples, 1 to 4 or more interleaved
// channels, rows possibly stored last row first) and the effect's 15-bit RGBA image
// buffers. The only place where host images and effect buffers meet.
//
// Channel rules, shared by both directions:
//   4 channels: red, green, blue, alpha.
//   3 channels (and every count above 4, whose extra samples are skipped): red,
//     green, blue; no alpha (import gives 32767).
//   2 channels: grey and alpha. 1 channel: grey, no alpha. Import copies grey into
//     the three colour channels; export writes channel 0 (red) as the grey, since
//     the effect keeps no separate grey and a luminance mix would invent values
//     that do not round-trip.
#include <memory>

#include "assim/image.h"
#include "render/image_buffer.h"

namespace brumel {

// Why `image` cannot be converted (a negative size, fewer than one channel, or no
// samples for a non-empty image), or null when it can.
const char* image_problem(const _image_str& image);

// A new buffer holding `src`: at `src`'s size, or at `ref`'s size when `ref` is given
// and differs in width or height, in which case `src` is resampled with the cubic
// kernel (filter 3). Rows are read last first when bit 3 of `src`'s flags is set.
// Samples are shifted right by one bit (0..65535 to 0..32767). Null when `src` is
// null or has an image_problem. Throws std::bad_alloc when a buffer cannot be had;
// nothing stays allocated then.
std::unique_ptr<ImageBuffer> import_image(const _image_str* src, const _image_str* ref);
// The same into `buffer`, whose memory is reused when it already has the size (so a
// run of frames of one size allocates nothing); false, leaving it alone, when `src` is
// null or has an image_problem.
bool import_image_into(const _image_str* src, const _image_str* ref,
                       std::unique_ptr<ImageBuffer>& buffer);

// Writes `buffer` into `dst`: buffer row y into the y-th row in memory, each sample
// as ((s << 1) | (s >> 14)) in 16 bits, only the channels `dst` has (see above);
// its other samples keep their values. Covers the rows and columns both have, then
// clears bit 3 of `dst`'s flags (also when there are no rows, or when `dst` has an
// image_problem and so receives no samples). Nothing happens when either is null.
void export_image(const ImageBuffer* buffer, _image_str* dst);

}  // namespace brumel
