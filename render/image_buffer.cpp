#include "render/image_buffer.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "render/parallel.h"

namespace brumel {

ImageBuffer::ImageBuffer(std::int32_t w, std::int32_t h, std::uint16_t* memory)
    : width(w), height(h) {
  if (w < 0 || h < 0) throw std::bad_array_new_length();
  // malloc rather than new[]: a refused allocation must reach the caller as bad_alloc
  // under every allocator, sanitizers included.
  const auto uw = static_cast<std::size_t>(w), uh = static_cast<std::size_t>(h);
  if (memory) {
    pixels = memory;
  } else {
    constexpr std::size_t kPixelBytes = 8;
    if (uw != 0 && uh > SIZE_MAX / kPixelBytes / uw) throw std::bad_array_new_length();
    // Not cleared: every user overwrites all pixels before reading them.
    pixels = static_cast<std::uint16_t*>(std::malloc(std::max<std::size_t>(uw * uh * kPixelBytes, 1)));
    if (!pixels) throw std::bad_alloc();
    ownsPixels = 1;
  }
  rows = static_cast<std::uint16_t**>(std::malloc(std::max<std::size_t>(uh * sizeof(std::uint16_t*), 1)));
  if (!rows) {
    if (ownsPixels) std::free(pixels);
    throw std::bad_alloc();
  }
  for (std::int32_t y = 0; y < h; ++y) rows[y] = pixels + static_cast<std::size_t>(y) * w * 4;
  resolutionScale = 720.0f / static_cast<float>(w);
}

ImageBuffer::~ImageBuffer() {
  if (ownsPixels) std::free(pixels);
  std::free(rows);
}

namespace {

std::uint16_t scaled_sample(std::uint16_t sample, float factor) {
  const float v = static_cast<float>(sample) * factor;
  // Same result as truncating then clamping, without converting out-of-range values.
  if (!(v > 0.0f)) return 0;
  if (v >= static_cast<float>(ImageBuffer::kImageMax)) return ImageBuffer::kImageMax;
  return static_cast<std::uint16_t>(static_cast<std::int32_t>(v));
}

}  // namespace

void ImageBuffer::copyScaled(const ImageBuffer& source, float f0, float f1, float f2, float f3) {
  const bool whole = source.width == width && source.height == height;
  if (f0 == 1.0f && f1 == 1.0f && f2 == 1.0f && f3 == 1.0f) {
    samplesInRange = whole && source.samplesInRange;
    const std::size_t row_bytes = static_cast<std::size_t>(source.width) * 8;
    for (std::int32_t y = 0; y < source.height; ++y) std::memcpy(rows[y], source.rows[y], row_bytes);
    return;
  }
  samplesInRange = whole;
  const float f[4] = {f0, f1, f2, f3};
  for (std::int32_t y = 0; y < source.height; ++y) {
    const std::uint16_t* in = source.rows[y];
    std::uint16_t* out = rows[y];
    for (std::int32_t i = 0; i < source.width * 4; i += 4)
      for (int c = 0; c < 4; ++c) out[i + c] = scaled_sample(in[i + c], f[c]);
  }
}

void ImageBuffer::copyAlphaFrom(const ImageBuffer& source) {
  jobSource = &source;
  run_parallel(&ImageBuffer::copyAlphaRows, height);
}

void ImageBuffer::copyAlphaRows(std::int32_t first, std::int32_t last) {
  for (std::int32_t y = first; y <= last; ++y) {
    const std::uint16_t* in = jobSource->rows[y];
    std::uint16_t* out = rows[y];
    for (std::int32_t x = 0; x < width; ++x) out[x * 4 + 3] = in[x * 4 + 3];
  }
}

void ImageBuffer::run_parallel(void (ImageBuffer::*worker)(std::int32_t, std::int32_t),
                               std::int32_t count) {
  run_parallel_job(this, worker, count);
}

}  // namespace brumel
