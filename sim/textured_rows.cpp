// The textured draw's per-row steps, vectorised across the samples of a stamp row. The
// lookup forms its displacements in double and truncates them exactly as the scalar draw
// does; the blend gathers the looked-up density and shade, then repeats blend_sample
// lane by lane (the colour mix in double, the 15-bit blend in int32).
#include "sim/textured_rows.h"

#include <algorithm>
#include <climits>
#include <cmath>

#ifndef BRUMEL_TEXTURED_ROWS_ONCE
#define BRUMEL_TEXTURED_ROWS_ONCE
namespace brumel::textured_rows {

// One sample of each step, as the one-sample-at-a-time draw has it; the vector forms
// finish their rows with these.
inline void lookup_one(double g1, double g2, std::int32_t i, std::int32_t j, double mag,
                       std::int32_t w, std::int32_t h, std::int32_t* look, std::int32_t* row_lo,
                       std::int32_t* row_hi) {
  const double sx = std::trunc(i + g1 * mag * w);
  const double sy = std::trunc(j + g2 * mag * h);
  if (sx >= 0.0 && sx < w && sy >= 0.0 && sy < h) {
    const auto row = static_cast<std::int32_t>(sy);
    *row_lo = std::min(*row_lo, row);
    *row_hi = std::max(*row_hi, row);
    *look = row * w + static_cast<std::int32_t>(sx);
  } else {
    *look = -1;
  }
}

inline void blend_one(std::uint16_t* px, std::int32_t own, std::int32_t look,
                      const std::int32_t* density, const float* shade, std::int32_t a_row,
                      const CloudColours& colours) {
  std::int32_t d = 0;
  float sh = 0.5f;
  if (look >= 0) {
    d = (own * density[look]) >> 8;
    sh = shade[look];
  }
  blend_sample(px, (d * a_row) >> 8, sh, colours);
}

}  // namespace brumel::textured_rows
#endif  // BRUMEL_TEXTURED_ROWS_ONCE

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "sim/textured_rows.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

HWY_BEFORE_NAMESPACE();
namespace brumel::textured_rows {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// Double lanes set the width; int32, float and uint16 work runs on as many lanes.
using DD = hn::ScalableTag<double>;
using DF = hn::Rebind<float, DD>;
using DI = hn::Rebind<std::int32_t, DD>;
using DU = hn::Rebind<std::uint16_t, DD>;

void LookupRow(const double* g1, const double* g2, std::size_t count, std::int32_t i_first,
               std::int32_t j, double mag, std::int32_t w, std::int32_t h, std::int32_t* look,
               std::int32_t* row_lo, std::int32_t* row_hi) {
  const DD dd;
  const DI di;
  const std::size_t n_lanes = hn::Lanes(dd);
  const auto vmag = hn::Set(dd, mag);
  const auto vw = hn::Set(dd, static_cast<double>(w));
  const auto vh = hn::Set(dd, static_cast<double>(h));
  const auto vj = hn::Set(dd, static_cast<double>(j));
  const auto zero = hn::Zero(dd);
  const auto none = hn::Set(di, -1);
  auto lo = hn::Set(di, INT32_MAX);
  auto hi = hn::Set(di, INT32_MIN);
  auto col = hn::Add(hn::Set(dd, static_cast<double>(i_first)), hn::Iota(dd, 0));
  std::size_t n = 0;
  for (; n + n_lanes <= count; n += n_lanes) {
    const auto sx = hn::Trunc(hn::Add(col, hn::Mul(hn::Mul(hn::LoadU(dd, g1 + n), vmag), vw)));
    const auto sy = hn::Trunc(hn::Add(vj, hn::Mul(hn::Mul(hn::LoadU(dd, g2 + n), vmag), vh)));
    const auto inside = hn::And(hn::And(hn::Ge(sx, zero), hn::Lt(sx, vw)),
                                hn::And(hn::Ge(sy, zero), hn::Lt(sy, vh)));
    // Lanes outside become column -1 (and row 0) before the conversion, which keeps it
    // in range and marks them in int32 lanes.
    const auto x = hn::DemoteTo(di, hn::IfThenElse(inside, sx, hn::Set(dd, -1.0)));
    const auto y = hn::DemoteTo(di, hn::IfThenElseZero(inside, sy));
    const auto found = hn::Gt(x, none);
    hn::StoreU(hn::IfThenElse(found, hn::Add(hn::Mul(y, hn::Set(di, w)), x), none), di, look + n);
    lo = hn::Min(lo, hn::IfThenElse(found, y, hn::Set(di, INT32_MAX)));
    hi = hn::Max(hi, hn::IfThenElse(found, y, hn::Set(di, INT32_MIN)));
    col = hn::Add(col, hn::Set(dd, static_cast<double>(n_lanes)));
  }
  *row_lo = std::min(*row_lo, hn::GetLane(hn::MinOfLanes(di, lo)));
  *row_hi = std::max(*row_hi, hn::GetLane(hn::MaxOfLanes(di, hi)));
  for (; n < count; ++n)
    lookup_one(g1[n], g2[n], i_first + static_cast<std::int32_t>(n), j, mag, w, h, look + n,
               row_lo, row_hi);
}

constexpr std::size_t kMaxLanes = 64;

void BlendRow(std::uint16_t* px, const std::int32_t* own, const std::int32_t* look,
              const std::int32_t* density, const float* shade, std::size_t count,
              std::int32_t a_row, const CloudColours& colours) {
  const DD dd;
  const DF df;
  const DI di;
  const DU du;
  const std::size_t n_lanes = hn::Lanes(dd);
  const auto none = hn::Set(di, -1);
  const auto top = hn::Set(di, 32767);
  std::size_t n = 0;
  for (; n + n_lanes <= count; n += n_lanes) {
    const auto at = hn::LoadU(di, look + n);
    const auto found = hn::Gt(at, none);
    // Lanes without a lookup read entry 0, then take density 0 and shade 0.5.
    // Fetched one lane at a time: cheaper here than the gather instructions.
    HWY_ALIGN std::int32_t index[kMaxLanes];
    HWY_ALIGN std::int32_t dens[kMaxLanes];
    HWY_ALIGN float shad[kMaxLanes];
    hn::Store(hn::IfThenElseZero(found, at), di, index);
    for (std::size_t k = 0; k < n_lanes; ++k) {
      dens[k] = density[index[k]];
      shad[k] = shade[index[k]];
    }
    const auto d = hn::IfThenElseZero(
        found, hn::ShiftRight<8>(hn::Mul(hn::LoadU(di, own + n), hn::Load(di, dens))));
    const auto sh = hn::IfThenElse(hn::RebindMask(df, found), hn::Load(df, shad), hn::Set(df, 0.5f));
    const auto a = hn::ShiftRight<8>(hn::Mul(d, hn::Set(di, a_row)));
    std::uint16_t* p = px + n * 4;
    // Where nothing covers the pixels (outside the puff, or lookups that find nothing)
    // the blend gives back each sample clamped to 0..32767: samples already in range
    // need no work.
    if (hn::AllTrue(di, hn::Eq(a, hn::Zero(di)))) {
      auto bits = hn::LoadU(du, p);
      for (std::size_t k = 1; k < 4; ++k) bits = hn::Or(bits, hn::LoadU(du, p + k * n_lanes));
      if (hn::AllTrue(du, hn::Eq(hn::And(bits, hn::Set(du, 0x8000)), hn::Zero(du)))) continue;
    }
    const auto keep = hn::Sub(hn::Set(di, 32768), a);
    const auto sd = hn::PromoteTo(dd, sh);
    const auto rest = hn::Sub(hn::Set(dd, 1.0), sd);
    hn::Vec<DU> ch[4];
    hn::LoadInterleaved4(du, p, ch[0], ch[1], ch[2], ch[3]);
    for (int c = 0; c < 3; ++c) {
      const auto cc = hn::DemoteTo(di, hn::Add(hn::Mul(hn::Set(dd, colours.lit[c]), sd),
                                               hn::Mul(hn::Set(dd, colours.shadow[c]), rest)));
      const auto v = hn::ShiftRight<15>(hn::Add(hn::Mul(cc, a), hn::Mul(hn::PromoteTo(di, ch[c]), keep)));
      ch[c] = hn::DemoteTo(du, hn::Min(hn::Max(v, hn::Zero(di)), top));
    }
    const auto v = hn::ShiftRight<15>(hn::Add(hn::Mul(hn::PromoteTo(di, ch[3]), keep), hn::Mul(a, top)));
    ch[3] = hn::DemoteTo(du, hn::Min(hn::Max(v, hn::Zero(di)), top));
    hn::StoreInterleaved4(ch[0], ch[1], ch[2], ch[3], du, p);
  }
  for (; n < count; ++n) blend_one(px + n * 4, own[n], look[n], density, shade, a_row, colours);
}

}  // namespace HWY_NAMESPACE
}  // namespace brumel::textured_rows
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace brumel::textured_rows {
HWY_EXPORT(LookupRow);
HWY_EXPORT(BlendRow);
}  // namespace brumel::textured_rows

namespace brumel {

void texture_lookup_row(const double* g1, const double* g2, std::size_t count,
                        std::int32_t i_first, std::int32_t j, double mag, std::int32_t w,
                        std::int32_t h, std::int32_t* look, std::int32_t* row_lo,
                        std::int32_t* row_hi) {
  HWY_DYNAMIC_DISPATCH(brumel::textured_rows::LookupRow)(g1, g2, count, i_first, j, mag, w, h,
                                                        look, row_lo, row_hi);
}

void blend_textured_row(std::uint16_t* px, const std::int32_t* own, const std::int32_t* look,
                        const std::int32_t* density, const float* shade, std::size_t count,
                        std::int32_t a_row, const CloudColours& colours) {
  HWY_DYNAMIC_DISPATCH(brumel::textured_rows::BlendRow)(px, own, look, density, shade, count,
                                                       a_row, colours);
}

void texture_lookup_row_reference(const double* g1, const double* g2, std::size_t count,
                                  std::int32_t i_first, std::int32_t j, double mag,
                                  std::int32_t w, std::int32_t h, std::int32_t* look,
                                  std::int32_t* row_lo, std::int32_t* row_hi) {
  for (std::size_t n = 0; n < count; ++n)
    brumel::textured_rows::lookup_one(g1[n], g2[n], i_first + static_cast<std::int32_t>(n), j,
                                     mag, w, h, look + n, row_lo, row_hi);
}

void blend_textured_row_reference(std::uint16_t* px, const std::int32_t* own,
                                  const std::int32_t* look, const std::int32_t* density,
                                  const float* shade, std::size_t count, std::int32_t a_row,
                                  const CloudColours& colours) {
  for (std::size_t n = 0; n < count; ++n)
    brumel::textured_rows::blend_one(px + n * 4, own[n], look[n], density, shade, a_row, colours);
}

}  // namespace brumel
#endif  // HWY_ONCE
