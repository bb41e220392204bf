#pragma once

namespace brumel {

// Image slots of the parameter record: the host adapter fills them for one render
// and frees the buffers afterwards; the effect never frees them.

class ImageBuffer;

// A host input converted for the effect. host_data: word 0 the host image, word 1
// the host input number (0 or 1), word 2 the owning node; the rest stay null.
struct InputImageKv {
  void* host_data[16] = {};
  ImageBuffer* image = nullptr;  // null outside a render
};

// The buffer the render writes. host_data is not filled by this host adapter.
struct OutputImageKv {
  void* host_data[16] = {};
  ImageBuffer* image = nullptr;  // null outside a render
};

}  // namespace brumel
