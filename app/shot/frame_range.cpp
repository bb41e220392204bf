#include "app/shot/frame_range.h"

#include <charconv>

#include "app/app_error.h"

namespace brumel {

namespace {

// Reads an optionally negative integer at `pos`; false when there is none.
bool read_frame(const std::string& text, std::size_t& pos, int& frame) {
  const char* begin = text.data() + pos;
  const char* end = text.data() + text.size();
  if (begin == end || (*begin != '-' && (*begin < '0' || *begin > '9'))) return false;
  long long value = 0;
  auto [ptr, ec] = std::from_chars(begin, end, value);
  if (ec != std::errc() || value < -kLargestFrame || value > kLargestFrame) return false;
  frame = static_cast<int>(value);
  pos += static_cast<std::size_t>(ptr - begin);
  return true;
}

}  // namespace

FrameRange parse_frame_range(const std::string& text) {
  const AppError bad("bad frame range \"" + text +
                     "\": expected FIRST-LAST or FRAME, for example 1-100 or 37");
  FrameRange range;
  std::size_t pos = 0;
  if (!read_frame(text, pos, range.first)) throw bad;
  if (pos == text.size()) {
    range.last = range.first;
    return range;
  }
  if (text[pos] != '-') throw bad;
  ++pos;
  if (!read_frame(text, pos, range.last) || pos != text.size()) throw bad;
  if (range.last < range.first) {
    throw AppError("bad frame range \"" + text + "\": the last frame " +
                   std::to_string(range.last) + " comes before the first frame " +
                   std::to_string(range.first));
  }
  return range;
}

}  // namespace brumel
