// Every filter's residuals are formed in 16-bit lanes (the Paeth distances need nine
// bits) and their magnitudes summed in 16-bit lanes for at most 255 vectors, then in
// 32-bit lanes: the sums are whole numbers, so any lane width and any order give the
// same choice. The first pixel of the row, whose left neighbours are zero, and the tail
// shorter than a vector go the plain way.
#include "app/images/png_row_filter.h"

#include <array>
#include <cstdint>
#include <cstring>

#ifndef BRUMEL_PNG_ROW_FILTER_ONCE
#define BRUMEL_PNG_ROW_FILTER_ONCE
namespace brumel::png_row_filter {

using Sums = std::array<std::uint64_t, 5>;

inline std::uint32_t magnitude(int residual) {
  const auto r = static_cast<std::uint32_t>(residual) & 0xffu;
  return r < 128 ? r : 256 - r;
}

inline int paeth_predictor(int a, int b, int c) {
  const int p = b - c, q = a - c;
  const int pa = p < 0 ? -p : p, pb = q < 0 ? -q : q, pc = p + q < 0 ? -(p + q) : p + q;
  return (pa <= pb && pa <= pc) ? a : (pb <= pc) ? b : c;
}

// The prediction of byte `i` by each filter: none, left, above, their mean, Paeth's.
inline std::array<int, 5> predictions(const std::uint8_t* row, const std::uint8_t* above, std::size_t i,
                                      std::size_t pixel_bytes) {
  const int b = above[i];
  const int a = i >= pixel_bytes ? row[i - pixel_bytes] : 0;
  const int c = i >= pixel_bytes ? above[i - pixel_bytes] : 0;
  return {0, a, b, (a + b) / 2, paeth_predictor(a, b, c)};
}

// Adds the residual magnitudes of bytes first..end-1 to `sums`.
inline void add_plain(const std::uint8_t* row, const std::uint8_t* above, std::size_t first,
                      std::size_t end, std::size_t pixel_bytes, Sums& sums) {
  for (std::size_t i = first; i < end; ++i) {
    const std::array<int, 5> p = predictions(row, above, i, pixel_bytes);
    for (int f = 0; f < 5; ++f) sums[f] += magnitude(row[i] - p[f]);
  }
}

// Writes the residuals of bytes first..end-1 by filter `f`.
inline void filter_plain(int f, const std::uint8_t* row, const std::uint8_t* above, std::size_t first,
                         std::size_t end, std::size_t pixel_bytes, std::uint8_t* filtered) {
  for (std::size_t i = first; i < end; ++i) {
    filtered[i] = static_cast<std::uint8_t>(row[i] - predictions(row, above, i, pixel_bytes)[f]);
  }
}

// The first of the least sums: libpng's writer takes a later filter only when it is
// strictly better.
inline PngRowFilter least(const Sums& sums) {
  int best = 0;
  for (int f = 1; f < 5; ++f) {
    if (sums[f] < sums[best]) best = f;
  }
  return static_cast<PngRowFilter>(best);
}

}  // namespace brumel::png_row_filter
#endif  // BRUMEL_PNG_ROW_FILTER_ONCE

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "app/images/png_row_filter.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

HWY_BEFORE_NAMESPACE();
namespace brumel::png_row_filter {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

using D16 = hn::ScalableTag<std::int16_t>;
using D8 = hn::Rebind<std::uint8_t, D16>;
using D32 = hn::Repartition<std::int32_t, D16>;
using V16 = hn::Vec<D16>;
using V32 = hn::Vec<D32>;

// Magnitudes of residuals in -255..255, as bytes read signed.
HWY_INLINE V16 Magnitude(D16 d, V16 residual) {
  const V16 r = hn::And(residual, hn::Set(d, 0xff));
  return hn::Min(r, hn::Sub(hn::Set(d, 256), r));
}

HWY_INLINE V16 PaethPredictor(V16 a, V16 b, V16 c) {
  const V16 p = hn::Sub(b, c), q = hn::Sub(a, c);
  const V16 pa = hn::Abs(p), pb = hn::Abs(q), pc = hn::Abs(hn::Add(p, q));
  const auto use_a = hn::And(hn::Not(hn::Gt(pa, pb)), hn::Not(hn::Gt(pa, pc)));
  return hn::IfThenElse(use_a, a, hn::IfThenElse(hn::Gt(pb, pc), c, b));
}

HWY_INLINE V32 Widened(D32 d32, V16 v) {
#if HWY_TARGET == HWY_SCALAR
  return hn::PromoteTo(d32, v);
#else
  const hn::Half<D16> dh;
  return hn::Add(hn::PromoteTo(d32, hn::LowerHalf(dh, v)), hn::PromoteTo(d32, hn::UpperHalf(dh, v)));
#endif
}

// The prediction of the bytes at `i` by filter `f` (1 to 4), from the row's left bytes, the
// bytes above and the upper-left ones.
HWY_INLINE V16 Prediction(D16 d, int f, const std::uint8_t* row, const std::uint8_t* above, std::size_t i,
                          std::size_t pixel_bytes) {
  const D8 d8;
  const V16 a = hn::PromoteTo(d, hn::LoadU(d8, row + i - pixel_bytes));
  const V16 b = hn::PromoteTo(d, hn::LoadU(d8, above + i));
  if (f == 1) return a;
  if (f == 2) return b;
  if (f == 3) return hn::ShiftRight<1>(hn::Add(a, b));
  return PaethPredictor(a, b, hn::PromoteTo(d, hn::LoadU(d8, above + i - pixel_bytes)));
}

void FilterRow(int f, const std::uint8_t* row, const std::uint8_t* above, std::size_t bytes,
               std::size_t pixel_bytes, std::uint8_t* filtered) {
  const D16 d;
  const D8 d8;
  const std::size_t n = hn::Lanes(d);
  if (f == 0) {
    std::memcpy(filtered, row, bytes);
    return;
  }
  const std::size_t start = pixel_bytes < bytes ? pixel_bytes : bytes;
  filter_plain(f, row, above, 0, start, pixel_bytes, filtered);
  std::size_t i = start;
  for (; i + n <= bytes; i += n) {
    const V16 x = hn::PromoteTo(d, hn::LoadU(d8, row + i));
    const V16 r = hn::And(hn::Sub(x, Prediction(d, f, row, above, i, pixel_bytes)), hn::Set(d, 0xff));
    hn::StoreU(hn::DemoteTo(d8, r), d8, filtered + i);
  }
  filter_plain(f, row, above, i, bytes, pixel_bytes, filtered);
}

Sums RowSums(const std::uint8_t* row, const std::uint8_t* above, std::size_t bytes,
             std::size_t pixel_bytes) {
  const D16 d;
  const D8 d8;
  const D32 d32;
  const std::size_t n = hn::Lanes(d);
  Sums sums{};
  const std::size_t start = pixel_bytes < bytes ? pixel_bytes : bytes;
  add_plain(row, above, 0, start, pixel_bytes, sums);
  std::array<V32, 5> wide;
  for (V32& w : wide) w = hn::Zero(d32);
  std::size_t i = start;
  while (i + n <= bytes) {
    std::array<V16, 5> narrow;
    for (V16& s : narrow) s = hn::Zero(d);
    // 255 vectors of magnitudes up to 128 stay within 16 bits.
    for (int k = 0; k < 255 && i + n <= bytes; ++k, i += n) {
      const V16 x = hn::PromoteTo(d, hn::LoadU(d8, row + i));
      const V16 a = hn::PromoteTo(d, hn::LoadU(d8, row + i - pixel_bytes));
      const V16 b = hn::PromoteTo(d, hn::LoadU(d8, above + i));
      const V16 c = hn::PromoteTo(d, hn::LoadU(d8, above + i - pixel_bytes));
      narrow[0] = hn::Add(narrow[0], Magnitude(d, x));
      narrow[1] = hn::Add(narrow[1], Magnitude(d, hn::Sub(x, a)));
      narrow[2] = hn::Add(narrow[2], Magnitude(d, hn::Sub(x, b)));
      narrow[3] = hn::Add(narrow[3], Magnitude(d, hn::Sub(x, hn::ShiftRight<1>(hn::Add(a, b)))));
      narrow[4] = hn::Add(narrow[4], Magnitude(d, hn::Sub(x, PaethPredictor(a, b, c))));
    }
    for (int f = 0; f < 5; ++f) wide[f] = hn::Add(wide[f], Widened(d32, narrow[f]));
  }
  for (int f = 0; f < 5; ++f) sums[f] += static_cast<std::uint32_t>(hn::GetLane(hn::SumOfLanes(d32, wide[f])));
  add_plain(row, above, i, bytes, pixel_bytes, sums);
  return sums;
}

}  // namespace HWY_NAMESPACE
}  // namespace brumel::png_row_filter
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace brumel::png_row_filter {
HWY_EXPORT(RowSums);
HWY_EXPORT(FilterRow);
}  // namespace brumel::png_row_filter

namespace brumel {

PngRowFilter choose_png_row_filter(const std::uint8_t* row, const std::uint8_t* above,
                                   std::size_t bytes, std::size_t pixel_bytes) {
  return png_row_filter::least(HWY_DYNAMIC_DISPATCH(png_row_filter::RowSums)(row, above, bytes, pixel_bytes));
}

PngRowFilter choose_png_row_filter_reference(const std::uint8_t* row, const std::uint8_t* above,
                                             std::size_t bytes, std::size_t pixel_bytes) {
  png_row_filter::Sums sums{};
  png_row_filter::add_plain(row, above, 0, bytes, pixel_bytes, sums);
  return png_row_filter::least(sums);
}

void filter_png_row(PngRowFilter filter, const std::uint8_t* row, const std::uint8_t* above,
                    std::size_t bytes, std::size_t pixel_bytes, std::uint8_t* filtered) {
  HWY_DYNAMIC_DISPATCH(png_row_filter::FilterRow)(static_cast<int>(filter), row, above, bytes, pixel_bytes,
                                                  filtered);
}

void filter_png_row_reference(PngRowFilter filter, const std::uint8_t* row, const std::uint8_t* above,
                              std::size_t bytes, std::size_t pixel_bytes, std::uint8_t* filtered) {
  png_row_filter::filter_plain(static_cast<int>(filter), row, above, 0, bytes, pixel_bytes, filtered);
}

}  // namespace brumel
#endif  // HWY_ONCE
