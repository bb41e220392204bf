#include "render/sub_pixel_shift.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

namespace {

constexpr std::int32_t kMaxExtent = 65535;

std::int64_t bytes_per_sample(std::int32_t sample_type) {
  switch (sample_type) {
    case kSampleU8: return 1;
    case kSampleU16: return 2;
    case kSampleU32:
    case kSampleF32: return 4;
    default: return -1;
  }
}

std::size_t buffer_alignment() {
  static const std::size_t alignment =
      std::max<std::size_t>(static_cast<std::size_t>(std::max(sysconf(_SC_PAGESIZE), 1L)), 512);
  return alignment;
}

// Stores an interpolated value as a sample of type S.
template <class S>
S store(double v) {
  if constexpr (std::is_same_v<S, float>) return static_cast<float>(v);
  else if constexpr (std::is_same_v<S, std::uint32_t>) return static_cast<S>(v + 0.5);
  else return static_cast<S>(std::floor(v + 0.5));
}

// One-dimensional linear shift parameters: the weight of the right-hand tap and the
// source position just before target sample 0.
struct Shift {
  double weight;
  std::int64_t offset;
};

Shift shift_of(std::int32_t whole, float fraction) {
  const double f = fraction;
  return {f >= 0.0 ? 1.0 - f : -f, static_cast<std::int64_t>(std::floor(-f - 1.0 - whole))};
}

// Horizontal pass over source rows first..last into the same rows of target.
template <class S>
void shift_rows(const Raster& from, Raster& to, Shift sh, std::int32_t first, std::int32_t last) {
  const std::int64_t ch = from.channels;
  const std::int64_t ws = from.width;
  for (std::int32_t y = first; y <= last; ++y) {
    const S* in = static_cast<const S*>(from.data) + y * ws * ch;
    S* out = static_cast<S*>(to.data) + y * static_cast<std::int64_t>(to.width) * ch;
    for (std::int64_t k = 0; k < to.width; ++k) {
      const std::int64_t s = sh.offset + 1 + k;
      for (std::int64_t c = 0; c < ch; ++c) {
        const double l = (s - 1 >= 0 && s - 1 < ws) ? static_cast<double>(in[(s - 1) * ch + c]) : 0.0;
        const double r = (s >= 0 && s < ws) ? static_cast<double>(in[s * ch + c]) : 0.0;
        out[k * ch + c] = store<S>(l + sh.weight * (r - l));
      }
    }
  }
}

// Vertical pass over target columns first..last. Walked row by row: each sample is
// computed exactly as along its own column.
template <class S>
void shift_columns(const Raster& from, Raster& to, Shift sh, std::int32_t first, std::int32_t last) {
  if (first > last) return;
  const std::int64_t ch = from.channels;
  const std::int64_t hs = from.height;
  const std::int64_t stride_in = static_cast<std::int64_t>(from.width) * ch;
  const std::int64_t stride_out = static_cast<std::int64_t>(to.width) * ch;
  const S* in = static_cast<const S*>(from.data);
  for (std::int64_t k = 0; k < to.height; ++k) {
    const std::int64_t s = sh.offset + 1 + k;
    const S* row_l = (s - 1 >= 0 && s - 1 < hs) ? in + (s - 1) * stride_in : nullptr;
    const S* row_r = (s >= 0 && s < hs) ? in + s * stride_in : nullptr;
    S* out = static_cast<S*>(to.data) + k * stride_out;
    for (std::int64_t i = first * ch; i < (last + 1) * ch; ++i) {
      const double l = row_l ? static_cast<double>(row_l[i]) : 0.0;
      const double r = row_r ? static_cast<double>(row_r[i]) : 0.0;
      out[i] = store<S>(l + sh.weight * (r - l));
    }
  }
}

template <class S>
void shift_passes(const Raster& source, Raster& middle, Raster& target, float dx, float dy) {
  // Beyond this every read falls outside any raster, whatever the fraction.
  constexpr float kFar = 131072.0f;
  dx = std::clamp(dx, -kFar, kFar);
  dy = std::clamp(dy, -kFar, kFar);
  const auto ix = static_cast<std::int32_t>(dx);
  const auto iy = static_cast<std::int32_t>(dy);
  const float fx = dx - static_cast<float>(ix);
  const float fy = dy - static_cast<float>(iy);

  if (raster_same_geometry(&source, &middle) && dx == 0.0f)
    raster_copy(&source, &middle);
  else
    shift_rows<S>(source, middle, shift_of(ix, fx), 0, source.height - 1);

  if (raster_same_geometry(&middle, &target) && dy == 0.0f)
    raster_copy(&middle, &target);
  else
    shift_columns<S>(middle, target, shift_of(iy, fy), 0, target.width - 1);
}

// A one-channel descriptor over someone else's plane, or null.
Raster* wrap_plane(void* plane, std::int32_t width, std::int32_t height, std::uint16_t type) {
  Raster* r = raster_create(width, height, 1, type, false);
  if (r) r->data = plane;
  return r;
}

void shift_plane(void* from, void* to, std::int32_t width, std::int32_t height, std::uint16_t type,
                 float fx, float fy) {
  Raster* source = wrap_plane(from, width, height, type);
  Raster* target = wrap_plane(to, width + 2, height + 2, type);
  if (source && target) raster_shift(source, target, fx, fy);
  raster_free(source);
  raster_free(target);
}

}  // namespace

std::int64_t raster_row_bytes(std::int32_t width, std::int32_t channels, std::int32_t sample_type) {
  return raster_bytes(width, 1, channels, sample_type);
}

std::int64_t raster_bytes(std::int32_t width, std::int32_t height, std::int32_t channels,
                          std::int32_t sample_type) {
  const std::int64_t size = bytes_per_sample(sample_type);
  if (size < 0 || width < 0 || height < 0 || channels < 0) return -1;
  std::int64_t bytes = 0;
  if (__builtin_mul_overflow(static_cast<std::int64_t>(width) * channels, size, &bytes) ||
      __builtin_mul_overflow(bytes, static_cast<std::int64_t>(height), &bytes))
    return -1;
  return bytes;
}

Raster* raster_create(std::int32_t width, std::int32_t height, std::int32_t channels,
                      std::int32_t sample_type, bool allocate) {
  if (width < 1 || width > kMaxExtent || height < 1 || height > kMaxExtent) return nullptr;
  if (channels < 1 || channels > kMaxExtent) return nullptr;
  const std::int64_t bytes = raster_bytes(width, height, channels, sample_type);
  if (bytes < 1) return nullptr;
  auto* raster = new (std::nothrow) Raster{};
  if (!raster) return nullptr;
  raster->width = static_cast<std::uint16_t>(width);
  raster->height = static_cast<std::uint16_t>(height);
  raster->channels = static_cast<std::uint16_t>(channels);
  raster->sample_type = static_cast<std::uint16_t>(sample_type);
  if (allocate) {
    const std::size_t alignment = buffer_alignment();
    const std::size_t rounded = (static_cast<std::size_t>(bytes) + alignment - 1) / alignment * alignment;
    raster->data = std::aligned_alloc(alignment, rounded);
    if (!raster->data) {
      delete raster;
      return nullptr;
    }
    raster->owns_data = 1;
  }
  return raster;
}

int raster_free(Raster* raster) {
  if (!raster) return -1;
  if (raster->owns_data) std::free(raster->data);
  delete raster;
  return 0;
}

bool raster_same_geometry(const Raster* a, const Raster* b) {
  return a && b && a->width == b->width && a->height == b->height && a->channels == b->channels &&
         a->sample_type == b->sample_type;
}

bool raster_copy(const Raster* source, Raster* target) {
  if (!raster_same_geometry(source, target) || !source->data || !target->data) return false;
  std::memcpy(target->data, source->data,
              static_cast<std::size_t>(raster_bytes(source->width, source->height, source->channels,
                                                    source->sample_type)));
  return true;
}

bool raster_shift(const Raster* source, Raster* target, float dx, float dy) {
  if (!source || !target || !source->data || !target->data) return false;
  if (raster_same_geometry(source, target) && dx == 0.0f && dy == 0.0f)
    return raster_copy(source, target);
  if (source->channels != target->channels || source->sample_type != target->sample_type) return false;
  if (!std::isfinite(dx) || !std::isfinite(dy)) return false;
  Raster* middle = raster_create(target->width, source->height, source->channels,
                                 source->sample_type, true);
  if (!middle) return false;
  switch (source->sample_type) {
    case kSampleU8: shift_passes<std::uint8_t>(*source, *middle, *target, dx, dy); break;
    case kSampleU16: shift_passes<std::uint16_t>(*source, *middle, *target, dx, dy); break;
    case kSampleU32: shift_passes<std::uint32_t>(*source, *middle, *target, dx, dy); break;
    default: shift_passes<float>(*source, *middle, *target, dx, dy); break;
  }
  raster_free(middle);
  return true;
}

PuffStamp* shift_stamp(const PuffStamp* stamp, float fx, float fy) {
  constexpr std::int32_t kWidest = INT32_MAX - 2;
  if (!stamp || stamp->width < 1 || stamp->height < 1 || stamp->width > kWidest ||
      stamp->height > kWidest)
    return nullptr;
  fx = std::clamp(fx, -0.999f, 0.999f);
  fy = std::clamp(fy, -0.999f, 0.999f);
  const std::int32_t w = stamp->width;
  const std::int32_t h = stamp->height;
  PuffStamp* out = stamp_create(w + 2, h + 2, true);
  if (!out) return nullptr;

  shift_plane(stamp->density, out->density, w, h, kSampleU32, fx, fy);
  const std::size_t n = static_cast<std::size_t>(w + 2) * static_cast<std::size_t>(h + 2);
  for (std::size_t i = 0; i < n; ++i) out->density[i] = std::clamp(out->density[i], 0, 256);
  shift_plane(stamp->shade, out->shade, w, h, kSampleF32, fx, fy);
  return out;
}
