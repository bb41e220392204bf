// The frame range, frame pattern and size parsers: any text is parsed or
// refused with AppError; what parses obeys its contract (a pattern names
// every frame differently).
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <set>
#include <string>

#include "app/app_error.h"
#include "app/shot/frame_range.h"
#include "app/images/image_sequence.h"
#include "app/images/image_size.h"

using namespace brumel;  // the harness drives the application's own functions

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    const FrameRange range = parse_frame_range(text);
    if (range.last < range.first) std::abort();
  } catch (const AppError&) {
  }
  try {
    // Different frames of a sequence have different names, however wide the padding.
    const ImageSequence files(text);
    std::set<std::string> names;
    const int frames[] = {-1000000000, -999999999, -1, 0, 7, 999999999, 1000000000};
    for (int frame : frames) names.insert(files.frame_path(frame));
    if (files.is_sequence() && names.size() != std::size(frames)) std::abort();
  } catch (const AppError&) {
  }
  try {
    const ImageSize s = parse_image_size(text);
    if (s.width < 1 || s.height < 1 || std::int64_t{s.width} * s.height > kLargestPixels) {
      std::abort();
    }
  } catch (const AppError&) {
  }
  return 0;
}
