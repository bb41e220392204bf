#include "host/image_conversion.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>

#include "host/sample_rows.h"
#include "render/resampler.h"

namespace brumel {

namespace {

std::size_t row_samples(const _image_str& image) {
  return static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.channels);
}

void copy_into(const _image_str& src, ImageBuffer& buffer) {
  const bool reversed = (src.flags & kImageRowsReversed) != 0;
  for (std::int32_t y = 0; y < src.height; ++y) {
    const std::int32_t memory_row = reversed ? src.height - 1 - y : y;
    narrow_row(src.data + row_samples(src) * static_cast<std::size_t>(memory_row), src.channels,
               src.width, buffer.rows[y]);
  }
}

}  // namespace

const char* image_problem(const _image_str& image) {
  if (image.width < 0 || image.height < 0) return "negative width or height";
  if (image.channels < 1) return "fewer than one channel";
  if (image.data == nullptr && image.width > 0 && image.height > 0) return "no samples";
  return nullptr;
}

std::unique_ptr<ImageBuffer> import_image(const _image_str* src, const _image_str* ref) {
  std::unique_ptr<ImageBuffer> result;
  return import_image_into(src, ref, result) ? std::move(result) : nullptr;
}

bool import_image_into(const _image_str* src, const _image_str* ref,
                       std::unique_ptr<ImageBuffer>& buffer) {
  if (src == nullptr || image_problem(*src) != nullptr) return false;
  const bool resample = ref != nullptr && (ref->width != src->width || ref->height != src->height);
  const std::int32_t width = resample ? ref->width : src->width;
  const std::int32_t height = resample ? ref->height : src->height;
  if (!buffer || buffer->width != width || buffer->height != height || !buffer->ownsPixels) {
    buffer.reset();
    buffer = std::make_unique<ImageBuffer>(width, height);
  }
  ImageBuffer* result = buffer.get();
  result->aspectX = 1.0;
  result->aspectY = 1.0;
  // Halved host samples, and the resampler's clamped ones, all lie in 0..32767.
  result->samplesInRange = true;
  if (!resample) {
    copy_into(*src, *result);
    return true;
  }
  ImageBuffer working(src->width, src->height);
  copy_into(*src, working);
  Resampler resampler;
  resampler.set_filter(3);
  if (resampler.resample(working, *result) == 0) {
    // Refused either for want of memory or because the source is empty; an empty
    // source leaves nothing to show, so the result is transparent black.
    if (static_cast<std::size_t>(src->width) * static_cast<std::size_t>(src->height) != 0)
      throw std::bad_alloc();
    const std::size_t samples =
        static_cast<std::size_t>(result->width) * static_cast<std::size_t>(result->height) * 4;
    if (samples != 0) std::memset(result->pixels, 0, samples * sizeof(std::uint16_t));
  }
  return true;
}

void export_image(const ImageBuffer* buffer, _image_str* dst) {
  if (buffer == nullptr || dst == nullptr) return;
  const int channels = dst->channels;
  const std::int32_t height = image_problem(*dst) ? 0 : std::min(dst->height, buffer->height);
  const std::int32_t width = std::min(dst->width, buffer->width);
  for (std::int32_t y = 0; y < height; ++y) {
    const std::uint16_t* s = buffer->rows[y];
    widen_row(s, width, channels, dst->data + row_samples(*dst) * static_cast<std::size_t>(y));
  }
  dst->flags = static_cast<std::uint8_t>(dst->flags & ~kImageRowsReversed);
}

}  // namespace brumel
