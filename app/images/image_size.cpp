#include "app/images/image_size.h"

#include <charconv>

#include "app/app_error.h"

namespace brumel {

namespace {

bool read_side(const char*& p, const char* end, int& side) {
  if (p == end || *p < '0' || *p > '9') return false;
  auto [ptr, ec] = std::from_chars(p, end, side);
  if (ec != std::errc() || side < 1 || side > kLargestSide) return false;
  p = ptr;
  return true;
}

}  // namespace

std::string size_text(ImageSize size) {
  return std::to_string(size.width) + "x" + std::to_string(size.height);
}

ImageSize parse_image_size(const std::string& text) {
  ImageSize size;
  const char* p = text.data();
  const char* end = p + text.size();
  const bool ok = read_side(p, end, size.width) && p != end && (*p == 'x' || *p == 'X') &&
                  read_side(++p, end, size.height) && p == end;
  if (!ok) {
    throw AppError("bad size \"" + text + "\": expected WIDTHxHEIGHT, each 1 to " +
                   std::to_string(kLargestSide) + ", for example 1280x720");
  }
  check_image_size(size, "the size");
  return size;
}

void check_image_size(ImageSize size, const std::string& what) {
  const std::int64_t pixels = std::int64_t{size.width} * size.height;
  if (size.width >= 1 && size.height >= 1 && size.width <= kLargestSide &&
      size.height <= kLargestSide && pixels <= kLargestPixels) {
    return;
  }
  throw AppError(what + " is " + size_text(size) +
                 ", beyond the limit of " + std::to_string(kLargestSide) + " pixels a side and " +
                 std::to_string(kLargestPixels) + " pixels in all (8192x8192)");
}

}  // namespace brumel
