#pragma once
// 8-bit straight RGBA, as every frei0r host gives and takes frames, to and from
// the node's 16-bit host images. The conversions are those of an image library
// reading and writing 8-bit files (OpenImageIO's, which `brumel render` uses): a
// byte b becomes b * 257, a sample s becomes the nearest byte, s * 255 / 65535
// rounded half up, so a plugin's frames equal those rendered from 8-bit files.
#include <cstdint>

#include "embed/host_image.h"

namespace brumel {

// `pixels`: width * height RGBA pixels, one byte a channel in that order
// (F0R_COLOR_MODEL_RGBA8888), rows top first.
void rgba8_to_host(const std::uint32_t* pixels, HostImage& image);
void host_to_rgba8(const HostImage& image, std::uint32_t* pixels);
// The node's element (colour premultiplied by alpha) as straight 8-bit RGBA, as
// an 8-bit PNG of it is written: every sample to its nearest byte, then colour
// divided by the byte of alpha (truncated, at most 255); black where that is 0.
void element_to_rgba8(const HostImage& image, std::uint32_t* pixels);

}  // namespace brumel
