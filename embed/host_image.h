#pragma once
// A host image that owns its samples: 16-bit RGBA (0..65535), rows top first,
// as the application hands frames to the node.
#include <cstdint>
#include <vector>

#include "assim/image.h"

namespace brumel {

struct HostImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint16_t> samples;  // width * height * 4, channels interleaved

  HostImage() = default;
  // A black, fully transparent image.
  HostImage(int w, int h) : width(w), height(h), samples(static_cast<std::size_t>(w) * h * 4, 0) {}

  // The host record the node reads and writes (4 channels, rows in order).
  // Valid while the samples are neither resized nor moved.
  _image_str view() {
    _image_str image;
    image.width = width;
    image.height = height;
    image.channels = 4;
    image.flags = 0;
    image.data = samples.data();
    return image;
  }
  bool operator==(const HostImage&) const = default;
};

}  // namespace brumel
