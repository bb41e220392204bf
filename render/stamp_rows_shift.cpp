// The two linear passes of the sub-pixel shift (render/sub_pixel_shift.cpp) over a row
// range, vectorised across each row. Every sample is formed as there: l + w (r - l) in
// double from the two taps (0 outside the source), stored to a density by truncating
// value + 0.5 and to a shade by rounding to float; densities are clamped to 0..256 at
// the end. Only the source rows the wanted rows read are shifted horizontally.
#include "render/stamp_rows_shift.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "render/stamp_shift_limits.h"

#ifndef BRUMEL_STAMP_ROWS_SHIFT_ONCE
#define BRUMEL_STAMP_ROWS_SHIFT_ONCE
namespace brumel::stamp_rows_shift {

// The weight of the right-hand tap and the offset of the left-hand one for a fraction
// f in -0.999..0.999 (whole part 0): target sample k reads source samples k + offset and
// k + offset + 1.
struct Taps {
  double weight;
  std::int32_t offset;
};

inline Taps taps_of(float fraction) {
  const double f = fraction;
  return {f >= 0.0 ? 1.0 - f : -f, static_cast<std::int32_t>(std::floor(-f - 1.0))};
}

inline std::int32_t store_density(double v) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(v + 0.5));
}

// Per-thread buffers, kept from one call to the next.
struct Scratch {
  std::vector<std::int32_t> src_d, mid_d, zero_d;
  std::vector<float> src_s, mid_s, zero_s;
};

inline Scratch& scratch() {
  thread_local Scratch s;
  return s;
}

}  // namespace brumel::stamp_rows_shift
#endif  // BRUMEL_STAMP_ROWS_SHIFT_ONCE

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "render/stamp_rows_shift.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

HWY_BEFORE_NAMESPACE();
namespace brumel::stamp_rows_shift {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

using DD = hn::ScalableTag<double>;
using DF = hn::Rebind<float, DD>;
using DI = hn::Rebind<std::int32_t, DD>;

// out[k] = l[k] + w (r[k] - l[k]) for k < n, stored as a density or a shade.
HWY_INLINE void blend_taps(const std::int32_t* l, const std::int32_t* r, double w,
                           std::int32_t* out, std::size_t n) {
  const DD dd;
  const DI di;
  const std::size_t lanes = hn::Lanes(dd);
  const auto vw = hn::Set(dd, w);
  const auto half = hn::Set(dd, 0.5);
  std::size_t k = 0;
  for (; k + lanes <= n; k += lanes) {
    const auto lv = hn::PromoteTo(dd, hn::LoadU(di, l + k));
    const auto rv = hn::PromoteTo(dd, hn::LoadU(di, r + k));
    hn::StoreU(hn::DemoteTo(di, hn::Add(hn::Add(lv, hn::Mul(vw, hn::Sub(rv, lv))), half)), di, out + k);
  }
  for (; k < n; ++k) {
    const double lv = l[k], rv = r[k];
    out[k] = store_density(lv + w * (rv - lv));
  }
}
HWY_INLINE void blend_taps(const float* l, const float* r, double w, float* out, std::size_t n) {
  const DD dd;
  const DF df;
  const std::size_t lanes = hn::Lanes(dd);
  const auto vw = hn::Set(dd, w);
  std::size_t k = 0;
  for (; k + lanes <= n; k += lanes) {
    const auto lv = hn::PromoteTo(dd, hn::LoadU(df, l + k));
    const auto rv = hn::PromoteTo(dd, hn::LoadU(df, r + k));
    hn::StoreU(hn::DemoteTo(df, hn::Add(lv, hn::Mul(vw, hn::Sub(rv, lv)))), df, out + k);
  }
  for (; k < n; ++k) {
    const double lv = l[k], rv = r[k];
    out[k] = static_cast<float>(lv + w * (rv - lv));
  }
}

// Both passes for one plane. `src` is w x h; `out` receives rows first..last of the
// (w + 2) x (h + 2) shifted plane.
template <class S>
void shift_plane(const S* src, std::int32_t w, std::int32_t h, Taps tx, Taps ty,
                 std::int32_t first, std::int32_t last, S* out, std::vector<S>& padded,
                 std::vector<S>& mid, std::vector<S>& zero) {
  const std::size_t wide = static_cast<std::size_t>(w) + 2;
  // Source rows the wanted rows read (target row k reads rows k + ty.offset and the next).
  const std::int32_t m0 = std::max(0, ty.offset + first);
  const std::int32_t m1 = std::min(h - 1, ty.offset + 1 + last);
  // A source row with two zeros on each side: every tap of the horizontal pass is in it.
  padded.assign(static_cast<std::size_t>(w) + 4, S{});
  if (m0 <= m1) mid.resize(static_cast<std::size_t>(m1 - m0 + 1) * wide);
  zero.assign(wide, S{});
  for (std::int32_t y = m0; y <= m1; ++y) {
    std::copy(src + static_cast<std::size_t>(y) * w, src + static_cast<std::size_t>(y + 1) * w,
              padded.begin() + 2);
    const S* l = padded.data() + 2 + tx.offset;
    blend_taps(l, l + 1, tx.weight, mid.data() + static_cast<std::size_t>(y - m0) * wide, wide);
  }
  for (std::int32_t k = first; k <= last; ++k) {
    const std::int32_t s = ty.offset + 1 + k;
    const S* l = (s - 1 >= m0 && s - 1 <= m1) ? mid.data() + static_cast<std::size_t>(s - 1 - m0) * wide : zero.data();
    const S* r = (s >= m0 && s <= m1) ? mid.data() + static_cast<std::size_t>(s - m0) * wide : zero.data();
    blend_taps(l, r, ty.weight, out + static_cast<std::size_t>(k - first) * wide, wide);
  }
}

void ShiftRows(const PuffStamp& stamp, Taps tx, Taps ty, std::int32_t first, std::int32_t last,
               std::int32_t* density, float* shade) {
  Scratch& k = scratch();
  shift_plane(stamp.density, stamp.width, stamp.height, tx, ty, first, last, density, k.src_d,
              k.mid_d, k.zero_d);
  shift_plane(stamp.shade, stamp.width, stamp.height, tx, ty, first, last, shade, k.src_s,
              k.mid_s, k.zero_s);
  const DI di;
  const std::size_t lanes = hn::Lanes(di);
  const std::size_t n = static_cast<std::size_t>(stamp.width + 2) * (last - first + 1);
  std::size_t i = 0;
  for (; i + lanes <= n; i += lanes)
    hn::StoreU(hn::Min(hn::Max(hn::LoadU(di, density + i), hn::Zero(di)), hn::Set(di, 256)), di, density + i);
  for (; i < n; ++i) density[i] = std::clamp(density[i], 0, 256);
}

}  // namespace HWY_NAMESPACE
}  // namespace brumel::stamp_rows_shift
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace brumel::stamp_rows_shift {
HWY_EXPORT(ShiftRows);
}  // namespace brumel::stamp_rows_shift

namespace brumel {

bool shift_stamp_rows_into(const PuffStamp* stamp, float fx, float fy, std::int32_t first_row,
                           std::int32_t last_row, std::int32_t* density, float* shade) {
  if (!shiftable_stamp(stamp))
    return false;
  const std::int32_t w = stamp->width;
  const std::int32_t h = stamp->height;
  if (first_row < 0 || first_row > last_row || last_row > h + 1) return false;
  fx = clamp_shift_fraction(fx);
  fy = clamp_shift_fraction(fy);
  const std::size_t n = static_cast<std::size_t>(w + 2) * static_cast<std::size_t>(last_row - first_row + 1);
  // The whole shift leaves both planes zero for these, as its rasters refuse them.
  if (!stamp_shift_draws(w, h, fx, fy)) {
    std::fill(density, density + n, 0);
    std::fill(shade, shade + n, 0.0f);
    return true;
  }
  using brumel::stamp_rows_shift::taps_of;
  HWY_DYNAMIC_DISPATCH(brumel::stamp_rows_shift::ShiftRows)(*stamp, taps_of(fx), taps_of(fy),
                                                           first_row, last_row, density, shade);
  return true;
}

}  // namespace brumel
#endif  // HWY_ONCE
