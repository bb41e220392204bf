#pragma once
// Shared pieces of the renderer and simulation tests.
#include <cstdint>
#include <memory>

#include "render/image_buffer.h"
#include "sim/brumel.h"

struct StampDeleter {
  void operator()(PuffStamp* s) const { stamp_free(s); }
};
using StampPtr = std::unique_ptr<PuffStamp, StampDeleter>;

// Sets the stamp inputs that the default controls derive: Fluffiness 12, Contrast 50,
// Brightness 50 and the default light direction (0, -0.8, 0.6).
void set_default_stamp_inputs(CloudSystem& s);

// Fills every sample with `value`, or with a fixed non-repeating pattern when it is
// negative (so a blend that ignores the old value shows).
void fill_image(ImageBuffer& image, int value = -1);
