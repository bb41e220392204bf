#pragma once
// An image size as given on the command line ("1280x720").
#include <cstdint>
#include <string>

namespace brumel {

struct ImageSize {
  int width = 1280;
  int height = 720;
  bool operator==(const ImageSize&) const = default;
};

// The largest image read or written: a side, and all pixels together (a 16-bit
// RGBA frame of the largest area is 512 MiB).
inline constexpr int kLargestSide = 16384;
inline constexpr std::int64_t kLargestPixels = std::int64_t{8192} * 8192;

// "WxH", as parse_image_size reads it.
std::string size_text(ImageSize size);

// Parses "WxH" with W and H from 1 to kLargestSide, and W times H at most
// kLargestPixels. Throws AppError naming the text and the limit.
ImageSize parse_image_size(const std::string& text);

// Throws AppError "`what` is WxH, beyond the limit ..." when `size` has a side
// outside 1..kLargestSide or more than kLargestPixels pixels.
void check_image_size(ImageSize size, const std::string& what);

}  // namespace brumel
