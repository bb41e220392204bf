#include "host/image_conversion.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>

#include "render/resampler.h"

namespace {

constexpr std::uint16_t kOpaque = ImageBuffer::kImageMax;

std::uint16_t narrow(std::uint16_t s) { return static_cast<std::uint16_t>(s >> 1); }

// 0..32767 back to 0..65535: the lowest bit takes the highest, so 32767 gives 65535.
std::uint16_t widen(std::uint16_t s) { return static_cast<std::uint16_t>((s << 1) | (s >> 14)); }

std::size_t row_samples(const _image_str& image) {
  return static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.channels);
}

void copy_into(const _image_str& src, ImageBuffer& buffer) {
  const int channels = src.channels;
  const bool reversed = (src.flags & kImageRowsReversed) != 0;
  for (std::int32_t y = 0; y < src.height; ++y) {
    const std::int32_t memory_row = reversed ? src.height - 1 - y : y;
    const std::uint16_t* s = src.data + row_samples(src) * static_cast<std::size_t>(memory_row);
    std::uint16_t* d = buffer.rows[y];
    for (std::int32_t x = 0; x < src.width; ++x, s += channels, d += 4) {
      switch (channels) {
        case 4:
          d[0] = narrow(s[0]);
          d[1] = narrow(s[1]);
          d[2] = narrow(s[2]);
          d[3] = narrow(s[3]);
          break;
        case 2:
          d[0] = d[1] = d[2] = narrow(s[0]);
          d[3] = narrow(s[1]);
          break;
        case 1:
          d[0] = d[1] = d[2] = narrow(s[0]);
          d[3] = kOpaque;
          break;
        default:
          d[0] = narrow(s[0]);
          d[1] = narrow(s[1]);
          d[2] = narrow(s[2]);
          d[3] = kOpaque;
          break;
      }
    }
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
  if (src == nullptr || image_problem(*src) != nullptr) return nullptr;
  const bool resample = ref != nullptr && (ref->width != src->width || ref->height != src->height);
  auto result = std::make_unique<ImageBuffer>(resample ? ref->width : src->width,
                                              resample ? ref->height : src->height);
  // Halved host samples, and the resampler's clamped ones, all lie in 0..32767.
  result->samplesInRange = true;
  if (!resample) {
    copy_into(*src, *result);
    return result;
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
  return result;
}

void export_image(const ImageBuffer* buffer, _image_str* dst) {
  if (buffer == nullptr || dst == nullptr) return;
  const int channels = dst->channels;
  const std::int32_t height = image_problem(*dst) ? 0 : std::min(dst->height, buffer->height);
  const std::int32_t width = std::min(dst->width, buffer->width);
  for (std::int32_t y = 0; y < height; ++y) {
    const std::uint16_t* s = buffer->rows[y];
    std::uint16_t* d = dst->data + row_samples(*dst) * static_cast<std::size_t>(y);
    for (std::int32_t x = 0; x < width; ++x, s += 4, d += channels) {
      switch (channels) {
        case 4:
          d[0] = widen(s[0]);
          d[1] = widen(s[1]);
          d[2] = widen(s[2]);
          d[3] = widen(s[3]);
          break;
        case 2:
          d[0] = widen(s[0]);
          d[1] = widen(s[3]);
          break;
        case 1:
          d[0] = widen(s[0]);
          break;
        default:
          d[0] = widen(s[0]);
          d[1] = widen(s[1]);
          d[2] = widen(s[2]);
          break;
      }
    }
  }
  dst->flags = static_cast<std::uint8_t>(dst->flags & ~kImageRowsReversed);
}
