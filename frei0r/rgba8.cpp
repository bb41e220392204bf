#include "frei0r/rgba8.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace brumel {

namespace {

// Every 16-bit sample's byte, computed once: a division per sample would cost
// more than the whole conversion.
const std::array<std::uint8_t, 65536>& nearest_bytes() {
  static const auto table = [] {
    std::array<std::uint8_t, 65536> bytes{};
    for (std::uint32_t s = 0; s < bytes.size(); ++s) {
      bytes[s] = static_cast<std::uint8_t>((s * 255u + 32767u) / 65535u);
    }
    return bytes;
  }();
  return table;
}

}  // namespace

void rgba8_to_host(const std::uint32_t* pixels, HostImage& image) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(pixels);
  for (std::size_t i = 0; i < image.samples.size(); ++i) {
    image.samples[i] = static_cast<std::uint16_t>(bytes[i] * 257u);
  }
}

void host_to_rgba8(const HostImage& image, std::uint32_t* pixels) {
  const auto& table = nearest_bytes();
  auto* bytes = reinterpret_cast<std::uint8_t*>(pixels);
  for (std::size_t i = 0; i < image.samples.size(); ++i) bytes[i] = table[image.samples[i]];
}

void element_to_rgba8(const HostImage& image, std::uint32_t* pixels) {
  const auto& table = nearest_bytes();
  auto* bytes = reinterpret_cast<std::uint8_t*>(pixels);
  for (std::size_t i = 0; i < image.samples.size(); i += 4) {
    const std::uint32_t alpha = image.samples[i + 3];
    for (std::size_t c = 0; c < 3; ++c) {
      const std::uint32_t colour = std::min<std::uint32_t>(image.samples[i + c], alpha);
      bytes[i + c] = alpha == 0 ? 0 : static_cast<std::uint8_t>((colour * 510u + alpha) / (2u * alpha));
    }
    bytes[i + 3] = table[alpha];
  }
}

}  // namespace brumel
