#include "app/image_size.h"

#include <charconv>

#include "app/app_error.h"

namespace {

constexpr int kLargest = 16384;

bool read_side(const char*& p, const char* end, int& side) {
  if (p == end || *p < '0' || *p > '9') return false;
  auto [ptr, ec] = std::from_chars(p, end, side);
  if (ec != std::errc() || side < 1 || side > kLargest) return false;
  p = ptr;
  return true;
}

}  // namespace

ImageSize parse_image_size(const std::string& text) {
  ImageSize size;
  const char* p = text.data();
  const char* end = p + text.size();
  const bool ok = read_side(p, end, size.width) && p != end && (*p == 'x' || *p == 'X') &&
                  read_side(++p, end, size.height) && p == end;
  if (!ok) {
    throw AppError("bad size \"" + text + "\": expected WIDTHxHEIGHT, each 1 to " +
                   std::to_string(kLargest) + ", for example 1280x720");
  }
  return size;
}
