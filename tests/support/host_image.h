#pragma once
// A host image (the _image_str a host passes to the node) over samples it owns.
#include <cstdint>
#include <functional>
#include <vector>

#include "assim/image.h"

struct HostImage {
  std::vector<std::uint16_t> samples;
  _image_str image;

  // width x height pixels of `channels` samples: `values` in order, then `fill`.
  HostImage(int width, int height, int channels, std::vector<std::uint16_t> values = {},
            std::uint16_t fill = 0xBEEF)
      : samples(std::move(values)) {
    samples.resize(static_cast<std::size_t>(width) * height * channels, fill);
    image = {width, height, channels, 0, samples.data()};
  }
  // Sample (x, y, c) is sample(x, y, c).
  HostImage(int width, int height, int channels, const std::function<std::uint16_t(int, int, int)>& sample)
      : HostImage(width, height, channels) {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        for (int c = 0; c < channels; ++c)
          samples[(static_cast<std::size_t>(y) * width + x) * channels + c] = sample(x, y, c);
  }
  HostImage(const HostImage&) = delete;
  HostImage& operator=(const HostImage&) = delete;
};
