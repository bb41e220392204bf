#pragma once
// Sub-pixel shift of puff stamps, and the small raster machinery it runs on: a descriptor
// of a two-dimensional buffer of samples of one of four types, and a separable linear
// translation by a real offset (one horizontal, one vertical pass, double precision).
// Nothing here keeps shared state; every call may run on any thread.
#include <cstdint>
#include <memory>

#include "render/puff_stamp.h"

namespace brumel {

inline constexpr std::uint16_t kSampleU8 = 0;   // unsigned 8-bit
inline constexpr std::uint16_t kSampleU16 = 1;  // unsigned 16-bit
inline constexpr std::uint16_t kSampleU32 = 2;  // unsigned 32-bit
inline constexpr std::uint16_t kSampleF32 = 3;  // 32-bit float

// The largest width, height and channel count of a raster: its fields are 16-bit.
inline constexpr std::int32_t kLargestRasterSide = 65535;

// A raster descriptor: width x height pixels of `channels` interleaved samples, rows
// following each other without gaps from `data`. It owns `data` when owns_data is 1.
struct Raster {
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  std::uint16_t channels = 0;
  std::uint16_t sample_type = 0;
  std::uint16_t owns_data = 0;
  void* data = nullptr;
};

// Buffer size in bytes (width * channels * bytes per sample * height); -1 for a sample
// type outside 0..3, a negative dimension, or a size beyond 64 bits.
std::int64_t raster_bytes(std::int32_t width, std::int32_t height, std::int32_t channels,
                          std::int32_t sample_type);
// Row size in bytes; -1 as for raster_bytes.
std::int64_t raster_row_bytes(std::int32_t width, std::int32_t channels, std::int32_t sample_type);
// A new descriptor, or null when width, height or channels lie outside 1..65535, the
// sample type outside 0..3, or an allocation fails. With `allocate` it allocates an
// uncleared buffer aligned to the system page size (at least 512 bytes) and owns it;
// otherwise `data` stays null for the caller to set.
Raster* raster_create(std::int32_t width, std::int32_t height, std::int32_t channels,
                      std::int32_t sample_type, bool allocate);
// Frees `data` when owned, then the descriptor. Returns 0, or -1 for null.
int raster_free(Raster* raster);
// A raster owned by its holder: freed with raster_free when the holder goes.
struct RasterDeleter {
  void operator()(Raster* raster) const { raster_free(raster); }
};
using RasterPtr = std::unique_ptr<Raster, RasterDeleter>;
// True when width, height, channels and sample type all agree (false when either is null).
bool raster_same_geometry(const Raster* a, const Raster* b);
// Copies the whole buffer when the geometries agree; false, copying nothing, otherwise
// (or when either buffer is missing).
bool raster_copy(const Raster* source, Raster* target);
// Fills target with source translated by (dx, dy), linearly interpolated, reading 0
// outside the source. With a fraction f = d - trunc(d) not 0, target sample k takes the
// source at k - 1 - d; with f exactly 0 it takes source sample k - d. Stores round half
// up for U8 and U16, truncate value + 0.5 for U32, and convert for F32. Returns false
// (target untouched) when channels or sample types differ, an offset is not finite, a
// buffer is missing, or the intermediate raster cannot be made.
bool raster_shift(const Raster* source, Raster* target, float dx, float dy);

// One-dimensional linear shift by d: target sample k reads source samples
// offset + k (weight 1 - weight) and offset + k + 1 (weight `weight`), zero outside;
// value = left + weight x (right - left) in double precision.
struct ShiftTaps {
  double weight;
  std::int64_t offset;
};
ShiftTaps shift_taps(float d);

// A new stamp (the caller frees it with stamp_free) two pixels wider and higher than
// `stamp`, holding it shifted by (fx, fy), each first clamped to -0.999..0.999: for
// non-zero fractions the centre pixel lands at the new centre plus (fx, fy); a fraction
// of exactly 0 leaves that axis unshifted, one pixel before the centred place. Densities
// are clamped to 0..256. A plane whose shift fails (a NaN fraction, a stamp wider or
// higher than 65533) stays zero. Null when `stamp` is null or an allocation fails.
PuffStamp* shift_stamp(const PuffStamp* stamp, float fx, float fy);
// Rows first_row..last_row of what shift_stamp(stamp, fx, fy) returns, bit for bit, as
// a stamp of that width and last_row - first_row + 1 rows (its row 0 is first_row); only
// the source rows those rows read are shifted. Null when `stamp` is null, the range is
// empty or reaches outside rows 0..height + 1 of the shifted stamp, or memory runs out.
PuffStamp* shift_stamp_rows(const PuffStamp* stamp, float fx, float fy, std::int32_t first_row,
                            std::int32_t last_row);

}  // namespace brumel
