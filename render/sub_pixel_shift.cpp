#include "render/sub_pixel_shift.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>

#include "render/stamp_shift_limits.h"

namespace brumel {

namespace {

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

using Shift = ShiftTaps;

// One row of the horizontal pass: `n_out` pixels of `ch` samples from a row of `n_in`.
template <class S>
void shift_line(const S* in, std::int64_t n_in, S* out, std::int64_t n_out, std::int64_t ch,
                Shift sh) {
  for (std::int64_t k = 0; k < n_out; ++k) {
    const std::int64_t s = sh.offset + 1 + k;
    for (std::int64_t c = 0; c < ch; ++c) {
      const double l = (s - 1 >= 0 && s - 1 < n_in) ? static_cast<double>(in[(s - 1) * ch + c]) : 0.0;
      const double r = (s >= 0 && s < n_in) ? static_cast<double>(in[s * ch + c]) : 0.0;
      out[k * ch + c] = store<S>(l + sh.weight * (r - l));
    }
  }
}

// One row of the vertical pass: samples begin..end-1 between two rows (null reads 0).
template <class S>
void blend_line(const S* row_l, const S* row_r, S* out, std::int64_t begin, std::int64_t end,
                double weight) {
  for (std::int64_t i = begin; i < end; ++i) {
    const double l = row_l ? static_cast<double>(row_l[i]) : 0.0;
    const double r = row_r ? static_cast<double>(row_r[i]) : 0.0;
    out[i] = store<S>(l + weight * (r - l));
  }
}

// Horizontal pass over source rows first..last into the same rows of target.
template <class S>
void shift_rows(const Raster& from, Raster& to, Shift sh, std::int32_t first, std::int32_t last) {
  const std::int64_t ch = from.channels;
  for (std::int32_t y = first; y <= last; ++y) {
    shift_line<S>(static_cast<const S*>(from.data) + static_cast<std::int64_t>(y) * from.width * ch, from.width,
                  static_cast<S*>(to.data) + y * static_cast<std::int64_t>(to.width) * ch,
                  to.width, ch, sh);
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
    blend_line<S>(row_l, row_r, static_cast<S*>(to.data) + k * stride_out, first * ch,
                  (last + 1) * ch, sh.weight);
  }
}

template <class S>
void shift_passes(const Raster& source, Raster& middle, Raster& target, float dx, float dy) {
  if (raster_same_geometry(&source, &middle) && dx == 0.0f)
    raster_copy(&source, &middle);
  else
    shift_rows<S>(source, middle, shift_taps(dx), 0, source.height - 1);

  if (raster_same_geometry(&middle, &target) && dy == 0.0f)
    raster_copy(&middle, &target);
  else
    shift_columns<S>(middle, target, shift_taps(dy), 0, target.width - 1);
}

// Rows first..last of a w x h plane shifted by (fx, fy) into a (w + 2) x (h + 2) one, as
// the two passes over the whole plane give them: the horizontal pass runs over just the
// source rows the vertical pass reads for those rows. `to` holds row `first` at its
// start. False when the intermediate rows cannot be allocated.
template <class S>
bool shift_plane_rows(const S* from, S* to, std::int32_t w, std::int32_t h, float fx, float fy,
                      std::int32_t first, std::int32_t last) {
  const Shift shx = shift_taps(fx);
  const Shift shy = shift_taps(fy);
  const std::int64_t wide = static_cast<std::int64_t>(w) + 2;
  // Target row k reads intermediate rows k + offset and k + offset + 1.
  const std::int64_t m0 = std::max<std::int64_t>(0, shy.offset + first);
  const std::int64_t m1 = std::min<std::int64_t>(h - 1, shy.offset + 1 + last);
  std::unique_ptr<S[]> middle;
  if (m0 <= m1) {
    middle.reset(new (std::nothrow) S[static_cast<std::size_t>((m1 - m0 + 1) * wide)]);
    if (!middle) return false;
    for (std::int64_t y = m0; y <= m1; ++y)
      shift_line<S>(from + y * w, w, middle.get() + (y - m0) * wide, wide, 1, shx);
  }
  for (std::int64_t k = first; k <= last; ++k) {
    const std::int64_t s = shy.offset + 1 + k;
    const S* row_l = (s - 1 >= m0 && s - 1 <= m1) ? middle.get() + (s - 1 - m0) * wide : nullptr;
    const S* row_r = (s >= m0 && s <= m1) ? middle.get() + (s - m0) * wide : nullptr;
    blend_line<S>(row_l, row_r, to + (k - first) * wide, 0, wide, shy.weight);
  }
  return true;
}

// A one-channel descriptor over someone else's plane, or null.
RasterPtr wrap_plane(void* plane, std::int32_t width, std::int32_t height, std::uint16_t type) {
  RasterPtr r(raster_create(width, height, 1, type, false));
  if (r) r->data = plane;
  return r;
}

void shift_plane(void* from, void* to, std::int32_t width, std::int32_t height, std::uint16_t type,
                 float fx, float fy) {
  const RasterPtr source = wrap_plane(from, width, height, type);
  const RasterPtr target = wrap_plane(to, width + 2, height + 2, type);
  if (source && target) raster_shift(source.get(), target.get(), fx, fy);
}

}  // namespace

ShiftTaps shift_taps(float d) {
  // Beyond this every read falls outside any raster, whatever the fraction.
  constexpr float kFar = 131072.0f;
  d = std::clamp(d, -kFar, kFar);
  const auto whole = static_cast<std::int32_t>(d);
  const double f = d - static_cast<float>(whole);
  return {f >= 0.0 ? 1.0 - f : -f, static_cast<std::int64_t>(std::floor(-f - 1.0 - whole))};
}

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
  if (width < 1 || width > kLargestRasterSide || height < 1 || height > kLargestRasterSide) {
    return nullptr;
  }
  if (channels < 1 || channels > kLargestRasterSide) return nullptr;
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
  const RasterPtr held(raster_create(target->width, source->height, source->channels,
                                    source->sample_type, true));
  if (!held) return false;
  Raster* middle = held.get();
  switch (source->sample_type) {
    case kSampleU8: shift_passes<std::uint8_t>(*source, *middle, *target, dx, dy); break;
    case kSampleU16: shift_passes<std::uint16_t>(*source, *middle, *target, dx, dy); break;
    case kSampleU32: shift_passes<std::uint32_t>(*source, *middle, *target, dx, dy); break;
    default: shift_passes<float>(*source, *middle, *target, dx, dy); break;
  }
  return true;
}

PuffStamp* shift_stamp(const PuffStamp* stamp, float fx, float fy) {
  if (!shiftable_stamp(stamp))
    return nullptr;
  fx = clamp_shift_fraction(fx);
  fy = clamp_shift_fraction(fy);
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

PuffStamp* shift_stamp_rows(const PuffStamp* stamp, float fx, float fy, std::int32_t first_row,
                            std::int32_t last_row) {
  if (!shiftable_stamp(stamp))
    return nullptr;
  const std::int32_t w = stamp->width;
  const std::int32_t h = stamp->height;
  if (first_row < 0 || first_row > last_row || last_row > h + 1) return nullptr;
  fx = clamp_shift_fraction(fx);
  fy = clamp_shift_fraction(fy);
  const std::int32_t rows = last_row - first_row + 1;
  StampPtr out(stamp_create(w + 2, rows, false));
  if (!out) return nullptr;
  const std::size_t n = static_cast<std::size_t>(w + 2) * static_cast<std::size_t>(rows);
  // The whole shift leaves both planes zero for these, as its rasters refuse them.
  if (!stamp_shift_draws(w, h, fx, fy)) {
    std::fill(out->density, out->density + n, 0);
    std::fill(out->shade, out->shade + n, 0.0f);
    return out.release();
  }
  // Densities are non-negative as built, so their bits are the same read as unsigned.
  if (!shift_plane_rows(reinterpret_cast<const std::uint32_t*>(stamp->density),
                        reinterpret_cast<std::uint32_t*>(out->density), w, h, fx, fy, first_row,
                        last_row) ||
      !shift_plane_rows(stamp->shade, out->shade, w, h, fx, fy, first_row, last_row)) {
    return nullptr;
  }
  for (std::size_t i = 0; i < n; ++i) out->density[i] = std::clamp(out->density[i], 0, 256);
  return out.release();
}

}  // namespace brumel
