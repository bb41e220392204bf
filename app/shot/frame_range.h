#pragma once
// An inclusive range of frame numbers, as a render-farm chunk names it.
#include <string>

namespace brumel {

// Frame numbers and shot starts lie within -kLargestFrame..kLargestFrame, so that
// "last + 1", steps and counts over a shot never overflow an int.
inline constexpr int kLargestFrame = 1000000000;

struct FrameRange {
  int first = 1;
  int last = 24;
  int count() const { return last - first + 1; }
  bool operator==(const FrameRange&) const = default;
};

// Parses "A-B" or a single frame "A"; frame numbers may be negative ("-10--1").
// Throws AppError naming the text when it is not a range or when B < A.
FrameRange parse_frame_range(const std::string& text);

}  // namespace brumel
