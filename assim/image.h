#pragma once
// Host image and viewer mouse event records, as the host hands them to a node.
#include <cstdint>

// Bit 3 of _image_str::flags: rows are stored last row first.
inline constexpr std::uint8_t kImageRowsReversed = 8;

struct _image_str {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t channels = 0;      // 4 = RGBA, 3 = RGB (others: see the node's import rules)
  std::uint8_t flags = 0;         // bit 3: rows reversed
  std::uint16_t* data = nullptr;  // interleaved 16-bit samples, rows contiguous
};

// One viewer mouse event: position in view pixels and pen/button pressure.
struct MouseEvent {
  float x = 0.0f;
  float y = 0.0f;
  std::int32_t unused = 0;
  float pressure = 0.0f;  // above 0 while a button or pen is down
};
