#include "frei0r/rgba8.h"

#include <algorithm>
#include <cstring>

namespace brumel {

namespace {

// s * 255 / 65535 rounded half up, without a division: for x below 2^24,
// x / 65535 == (x + (x >> 16) + 1) >> 16 (checked for every sample in the tests).
// Plain arithmetic on 32-bit lanes, which the compiler vectorises; a table
// lookup per sample would not be.
inline std::uint8_t nearest_byte(std::uint32_t s) {
  const std::uint32_t x = s * 255u + 32767u;
  return static_cast<std::uint8_t>((x + (x >> 16) + 1u) >> 16);
}

}  // namespace

void rgba8_to_host(const std::uint32_t* pixels, HostImage& image) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(pixels);
  std::uint16_t* samples = image.samples.data();
  const std::size_t n = image.samples.size();
  for (std::size_t i = 0; i < n; ++i) samples[i] = static_cast<std::uint16_t>(bytes[i] * 257u);
}

void host_to_rgba8(const HostImage& image, std::uint32_t* pixels) {
  auto* bytes = reinterpret_cast<std::uint8_t*>(pixels);
  const std::uint16_t* samples = image.samples.data();
  const std::size_t n = image.samples.size();
  for (std::size_t i = 0; i < n; ++i) bytes[i] = nearest_byte(samples[i]);
}

void element_to_rgba8(const HostImage& image, std::uint32_t* pixels) {
  auto* bytes = reinterpret_cast<std::uint8_t*>(pixels);
  for (std::size_t i = 0; i < image.samples.size(); i += 4) {
    // As an 8-bit PNG of the element is written: to bytes first, then colour
    // divided by the byte of alpha.
    const std::uint32_t alpha = nearest_byte(image.samples[i + 3]);
    for (std::size_t c = 0; c < 3; ++c) {
      const std::uint32_t colour = nearest_byte(image.samples[i + c]);
      bytes[i + c] = alpha == 0 ? 0 : static_cast<std::uint8_t>(std::min(255u, colour * 255u / alpha));
    }
    bytes[i + 3] = static_cast<std::uint8_t>(alpha);
  }
}

}  // namespace brumel
