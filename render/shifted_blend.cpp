// The fused plain draw. A stamp's shift is separable: a horizontal pass makes
// intermediate rows, a vertical pass mixes two of them into each shifted row. Here each
// intermediate row the band needs is made once (only over the columns that can be seen
// and that can carry density), two rows are mixed into one shifted row, and that row is
// blended at once. The arithmetic is exactly that of the general shift and blend: the
// two passes and the colour mix in double lanes, the blend in 32-bit integer lanes, no
// fused multiply-add, so every instruction set gives the same bits.
#include "render/shifted_blend.h"

#ifndef BRUMEL_SHIFTED_BLEND_ONCE
#define BRUMEL_SHIFTED_BLEND_ONCE
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "render/stamp_shift_limits.h"
#include "render/sub_pixel_shift.h"

namespace brumel::shifted_blend_detail {

// Columns lo..hi-1 (empty when lo >= hi).
struct Span {
  std::int32_t lo;
  std::int32_t hi;
};

inline Span hull(Span a, Span b) {
  if (a.lo >= a.hi) return b;
  if (b.lo >= b.hi) return a;
  return {std::min(a.lo, b.lo), std::max(a.hi, b.hi)};
}

inline Span clip(Span a, std::int32_t lo, std::int32_t hi) {
  return {std::max(a.lo, lo), std::min(a.hi, hi)};
}

// Scratch rows of one thread, grown to the widest stamp drawn and kept, so that a frame
// allocates nothing once the largest puff has been seen.
struct Scratch {
  std::vector<std::int32_t> dens[2];  // two intermediate rows
  std::vector<float> shade[2];
  std::vector<std::int32_t> zero_dens;  // the rows above and below the stamp
  std::vector<float> zero_shade;
  std::vector<std::int16_t> a, cc0, cc1, cc2;  // coverage and colour of one shifted row
  std::vector<Span> reach;                     // intermediate columns with density, per row

  void fit(std::size_t wide, std::size_t rows) {
    if (a.size() < wide) {
      for (auto& v : dens) v.assign(wide, 0);
      for (auto& v : shade) v.assign(wide, 0.0f);
      zero_dens.assign(wide, 0);
      zero_shade.assign(wide, 0.0f);
      for (auto* v : {&a, &cc0, &cc1, &cc2}) v->assign(wide, 0);
    }
    if (reach.size() < rows) reach.resize(rows);
  }
};

inline Scratch& scratch() {
  thread_local Scratch s;
  return s;
}

// The shifted value of one sample between a left and a right tap, as the general shift
// computes and stores it.
inline std::int32_t mix_density(std::int32_t l, std::int32_t r, double w) {
  const double dl = static_cast<std::uint32_t>(l);
  const double dr = static_cast<std::uint32_t>(r);
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(dl + w * (dr - dl) + 0.5));
}

inline float mix_shade(float l, float r, double w) {
  const double dl = l;
  const double dr = r;
  return static_cast<float>(dl + w * (dr - dl));
}

inline std::int32_t clamp_sample(std::int32_t v) { return v < 0 ? 0 : (v > 32767 ? 32767 : v); }

}  // namespace brumel::shifted_blend_detail
#endif  // BRUMEL_SHIFTED_BLEND_ONCE

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "render/shifted_blend.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

HWY_BEFORE_NAMESPACE();
namespace brumel::shifted_blend_detail {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// Horizontal pass of one source row of w samples into intermediate columns lo..hi-1:
// column k reads source samples off + k and off + k + 1 (zero outside the row).
void shift_row(const std::int32_t* sd, const float* ss, std::int32_t w, ShiftTaps t, Span cols,
               std::int32_t* md, float* ms) {
  const hn::ScalableTag<double> df;
  const hn::Rebind<std::int32_t, decltype(df)> di;
  const hn::Rebind<float, decltype(df)> dfl;
  const std::int64_t n = static_cast<std::int64_t>(hn::Lanes(df));
  const std::int64_t off = t.offset;
  const double wt = t.weight;
  auto scalar = [&](std::int64_t k) {
    const std::int64_t l = off + k;
    const std::int64_t r = l + 1;
    const bool lin = l >= 0 && l < w;
    const bool rin = r >= 0 && r < w;
    md[k] = mix_density(lin ? sd[l] : 0, rin ? sd[r] : 0, wt);
    ms[k] = mix_shade(lin ? ss[l] : 0.0f, rin ? ss[r] : 0.0f, wt);
  };
  // Both taps inside the row: off + k >= 0 and off + k + 1 <= w - 1.
  const std::int64_t vlo = std::clamp<std::int64_t>(-off, cols.lo, cols.hi);
  const std::int64_t vhi = std::clamp<std::int64_t>(w - 1 - off, vlo, cols.hi);
  std::int64_t k = cols.lo;
  for (; k < vlo; ++k) scalar(k);
  const auto vw = hn::Set(df, wt);
  const auto half = hn::Set(df, 0.5);
  for (; k + n <= vhi; k += n) {
    const auto l = hn::PromoteTo(df, hn::LoadU(di, sd + off + k));
    const auto r = hn::PromoteTo(df, hn::LoadU(di, sd + off + k + 1));
    const auto v = hn::Add(l, hn::Mul(vw, hn::Sub(r, l)));
    hn::StoreU(hn::DemoteTo(di, hn::Add(v, half)), di, md + k);
    const auto ls = hn::PromoteTo(df, hn::LoadU(dfl, ss + off + k));
    const auto rs = hn::PromoteTo(df, hn::LoadU(dfl, ss + off + k + 1));
    hn::StoreU(hn::DemoteTo(dfl, hn::Add(ls, hn::Mul(vw, hn::Sub(rs, ls)))), dfl, ms + k);
  }
  for (; k < cols.hi; ++k) scalar(k);
}

// Vertical pass and colour of one shifted row over columns lo..hi-1: coverage
// a = (d x A') >> 8 of the clamped density d, and Cc = trunc(lit x s + shadow x (1 - s)).
void shade_row(const std::int32_t* dl, const std::int32_t* dr, const float* sl, const float* sr,
               double wt, Span cols, const ShiftedBlend& job, Scratch& x) {
  const hn::ScalableTag<double> df;
  const hn::Rebind<std::int32_t, decltype(df)> di;
  const hn::Rebind<float, decltype(df)> dfl;
  const hn::Rebind<std::int16_t, decltype(df)> d16;
  const std::int64_t n = static_cast<std::int64_t>(hn::Lanes(df));
  const std::int32_t a_row = job.a_row;
  auto scalar = [&](std::int64_t i) {
    const std::int32_t d = std::clamp(mix_density(dl[i], dr[i], wt), 0, 256);
    const double s = mix_shade(sl[i], sr[i], wt);
    x.a[i] = static_cast<std::int16_t>((d * a_row) >> 8);
    std::int16_t* cc[3] = {x.cc0.data(), x.cc1.data(), x.cc2.data()};
    for (int c = 0; c < 3; ++c) {
      cc[c][i] = static_cast<std::int16_t>(
          static_cast<std::int32_t>(job.lit[c] * s + job.shadow[c] * (1.0 - s)));
    }
  };
  const auto vw = hn::Set(df, wt);
  const auto half = hn::Set(df, 0.5);
  const auto one = hn::Set(df, 1.0);
  const auto lo = hn::Zero(di);
  const auto hi = hn::Set(di, 256);
  const auto va = hn::Set(di, a_row);
  const auto lit0 = hn::Set(df, job.lit[0]), lit1 = hn::Set(df, job.lit[1]),
             lit2 = hn::Set(df, job.lit[2]);
  const auto sh0 = hn::Set(df, job.shadow[0]), sh1 = hn::Set(df, job.shadow[1]),
             sh2 = hn::Set(df, job.shadow[2]);
  std::int64_t i = cols.lo;
  for (; i + n <= cols.hi; i += n) {
    const auto l = hn::PromoteTo(df, hn::LoadU(di, dl + i));
    const auto r = hn::PromoteTo(df, hn::LoadU(di, dr + i));
    const auto v = hn::Add(hn::Add(l, hn::Mul(vw, hn::Sub(r, l))), half);
    const auto d = hn::Min(hn::Max(hn::DemoteTo(di, v), lo), hi);
    hn::StoreU(hn::DemoteTo(d16, hn::ShiftRight<8>(hn::Mul(d, va))), d16, x.a.data() + i);
    const auto ls = hn::PromoteTo(df, hn::LoadU(dfl, sl + i));
    const auto rs = hn::PromoteTo(df, hn::LoadU(dfl, sr + i));
    const auto s =
        hn::PromoteTo(df, hn::DemoteTo(dfl, hn::Add(ls, hn::Mul(vw, hn::Sub(rs, ls)))));
    const auto t = hn::Sub(one, s);
    hn::StoreU(hn::DemoteTo(d16, hn::DemoteTo(di, hn::Add(hn::Mul(lit0, s), hn::Mul(sh0, t)))),
               d16, x.cc0.data() + i);
    hn::StoreU(hn::DemoteTo(d16, hn::DemoteTo(di, hn::Add(hn::Mul(lit1, s), hn::Mul(sh1, t)))),
               d16, x.cc1.data() + i);
    hn::StoreU(hn::DemoteTo(d16, hn::DemoteTo(di, hn::Add(hn::Mul(lit2, s), hn::Mul(sh2, t)))),
               d16, x.cc2.data() + i);
  }
  for (; i < cols.hi; ++i) scalar(i);
}

// Blends columns lo..hi-1 of one shifted row into image pixels px[0..]: per colour
// (Cc a + old (32768 - a)) >> 15, alpha (old (32768 - a) + 32767 a) >> 15, clamped.
// The vector loop needs every old sample in 0..32767 (`in_range`); then, with
// Cc, a <= 32767, the blend is old + ((Cc - old) a >> 15) exactly (old x 2^15 is a
// whole multiple of the shift), formed in 16-bit lanes from the high and low halves of
// the product, and always in 0..32767, so the clamp has nothing to do.
#if HWY_TARGET != HWY_SCALAR  // one lane a vector: the scalar loop does it all
// The 16-bit blend of Lanes(d) pixels from column i.
template <class D>
void blend_pixels(D d, std::uint16_t* px, std::int64_t i, const Scratch& x) {
  const hn::RebindToUnsigned<D> du;
  const auto opaque = hn::Set(d, 32767);
  const std::int16_t* cc[3] = {x.cc0.data(), x.cc1.data(), x.cc2.data()};
  auto* p = reinterpret_cast<std::int16_t*>(px + i * 4);
  hn::Vec<D> c[4];
  hn::LoadInterleaved4(d, p, c[0], c[1], c[2], c[3]);
  const auto a = hn::LoadU(d, x.a.data() + i);
  for (int ch = 0; ch < 4; ++ch) {
    const auto diff = hn::Sub(ch < 3 ? hn::LoadU(d, cc[ch] + i) : opaque, c[ch]);
    const auto high = hn::MulHigh(diff, a);
    const auto low_bit = hn::BitCast(d, hn::ShiftRight<15>(hn::BitCast(du, hn::Mul(diff, a))));
    c[ch] = hn::Add(c[ch], hn::Add(hn::Add(high, high), low_bit));
  }
  hn::StoreInterleaved4(c[0], c[1], c[2], c[3], d, p);
}
#endif

void blend_row(std::uint16_t* px, Span cols, const Scratch& x, bool in_range) {
  std::int64_t i = cols.lo;
#if HWY_TARGET != HWY_SCALAR
  if (in_range) {
    // Whole vectors, then the rest in vectors of 8 pixels.
    const hn::ScalableTag<std::int16_t> d16;
    const auto n = static_cast<std::int64_t>(hn::Lanes(d16));
    for (; i + n <= cols.hi; i += n) blend_pixels(d16, px, i, x);
    const hn::CappedTag<std::int16_t, 8> d8;
    const auto n8 = static_cast<std::int64_t>(hn::Lanes(d8));
    for (; i + n8 <= cols.hi; i += n8) blend_pixels(d8, px, i, x);
  }
#endif
  (void)in_range;
  for (; i < cols.hi; ++i) {
    std::uint16_t* p = px + i * 4;
    const std::int32_t a = x.a[i];
    const std::int32_t keep = 32768 - a;
    const std::int32_t cc[3] = {x.cc0[i], x.cc1[i], x.cc2[i]};
    for (int ch = 0; ch < 3; ++ch)
      p[ch] = static_cast<std::uint16_t>(clamp_sample((cc[ch] * a + p[ch] * keep) >> 15));
    p[3] = static_cast<std::uint16_t>(clamp_sample((p[3] * keep + a * 32767) >> 15));
  }
}

// First and last column with density in a source row, widened to the intermediate
// columns that read them; empty for a row of zeros.
Span reach_of(const std::int32_t* row, std::int32_t w, std::int64_t off) {
  const hn::ScalableTag<std::int32_t> d;
  const std::int32_t n = static_cast<std::int32_t>(hn::Lanes(d));
  const auto zero = hn::Zero(d);
  std::int32_t c0 = 0;
  for (; c0 + n <= w; c0 += n) {
    const intptr_t at = hn::FindFirstTrue(d, hn::Ne(hn::LoadU(d, row + c0), zero));
    if (at >= 0) {
      c0 += static_cast<std::int32_t>(at);
      break;
    }
  }
  if (c0 + n > w) {
    while (c0 < w && row[c0] == 0) ++c0;
  }
  if (c0 >= w) return {0, 0};
  std::int32_t c1 = w - 1;
  while (c1 - n + 1 > c0 && hn::AllTrue(d, hn::Eq(hn::LoadU(d, row + c1 - n + 1), zero))) c1 -= n;
  while (row[c1] == 0) --c1;
  return {static_cast<std::int32_t>(c0 - off - 1), static_cast<std::int32_t>(c1 - off + 1)};
}

// x.reach[y - ys0 + 1] for y = ys0 - 1 .. ys1 + 1: the columns of the band that row y
// of the shifted stamp covers with density (from the stamp's recorded reach, or its row).
void find_reaches(const ShiftedBlend& job, const ShiftTaps& tx, std::int64_t ys0, std::int64_t ys1,
                  Scratch& x) {
  const PuffStamp& st = *job.stamp;
  const std::int32_t w = st.width;
  for (std::int64_t y = ys0 - 1; y <= ys1 + 1; ++y) {
    Span r{0, 0};
    if (y >= 0 && y < st.height) {
      if (!st.reach) {
        r = reach_of(st.density + y * w, w, tx.offset);
      } else if (st.reach[2 * y] < st.reach[2 * y + 1]) {
        r = {static_cast<std::int32_t>(st.reach[2 * y] - tx.offset - 1),
             static_cast<std::int32_t>(st.reach[2 * y + 1] - tx.offset)};
      }
    }
    x.reach[static_cast<std::size_t>(y - ys0 + 1)] = clip(r, job.i0, job.i1);
  }
}

// Clamps the band's samples of a row that the blend over `cols` left alone: zero
// coverage only clamps the samples it touches.
void clamp_untouched(std::uint16_t* px, Span cols, const ShiftedBlend& job) {
  const Span hit = cols.lo < cols.hi ? cols : Span{job.i1, job.i1};
  for (const Span clear : {Span{job.i0, hit.lo}, Span{hit.hi, job.i1}}) {
    for (std::int64_t k = clear.lo * 4; k < clear.hi * 4; ++k) px[k] = std::min<std::uint16_t>(px[k], 32767);
  }
}

bool BlendShiftedStamp(const ShiftedBlend& job) {
  const PuffStamp& st = *job.stamp;
  const std::int32_t w = st.width;
  const std::int32_t h = st.height;
  const float fx = clamp_shift_fraction(job.fx);
  const float fy = clamp_shift_fraction(job.fy);
  if (w < 1 || h < 1 || !stamp_shift_draws(w, h, fx, fy)) return false;
  if (job.j0 >= job.j1 || job.i0 >= job.i1) return true;
  const ShiftTaps tx = shift_taps(fx);
  const ShiftTaps ty = shift_taps(fy);

  // Intermediate row y is read by shifted rows y - ty.offset - 1 and y - ty.offset; the
  // band's rows read ys0 .. ys1.
  const std::int64_t ys0 = ty.offset + job.j0;
  const std::int64_t ys1 = ty.offset + job.j1;
  Scratch& x = scratch();
  x.fit(static_cast<std::size_t>(w) + 2, static_cast<std::size_t>(ys1 - ys0) + 3);
  find_reaches(job, tx, ys0, ys1, x);
  auto reach = [&](std::int64_t y) -> Span& { return x.reach[static_cast<std::size_t>(y - ys0 + 1)]; };

  // Makes intermediate row y in slot `slot` over every column a neighbouring shifted row
  // may blend; the rows above and below the stamp read as zero.
  auto make_row = [&](std::int64_t y, int slot, const std::int32_t*& d, const float*& s) {
    if (y < 0 || y >= h) {
      d = x.zero_dens.data();
      s = x.zero_shade.data();
      return;
    }
    const Span cols = hull(hull(reach(y - 1), reach(y)), reach(y + 1));
    if (cols.lo < cols.hi)
      shift_row(st.density + y * w, st.shade + y * w, w, tx, cols, x.dens[slot].data(),
                x.shade[slot].data());
    d = x.dens[slot].data();
    s = x.shade[slot].data();
  };

  const std::int32_t* d_prev;
  const float* s_prev;
  const std::int32_t* d_cur;
  const float* s_cur;
  int slot = 0;
  make_row(ys0, slot, d_prev, s_prev);
  make_row(ys0 + 1, slot ^ 1, d_cur, s_cur);
  slot ^= 1;
  for (std::int32_t j = job.j0; j < job.j1; ++j) {
    const std::int64_t y = ty.offset + j;  // the upper intermediate row
    std::uint16_t* px = job.rows[job.y0 + j] + static_cast<std::ptrdiff_t>(job.x0) * 4;
    const Span cols = hull(reach(y), reach(y + 1));
    if (cols.lo < cols.hi) {
      shade_row(d_prev, d_cur, s_prev, s_cur, ty.weight, cols, job, x);
      blend_row(px, cols, x, !job.clamp_untouched);
    }
    if (job.clamp_untouched) clamp_untouched(px, cols, job);
    if (j + 1 < job.j1) {
      d_prev = d_cur;
      s_prev = s_cur;
      slot ^= 1;
      make_row(y + 2, slot, d_cur, s_cur);
    }
  }
  return true;
}

}  // namespace HWY_NAMESPACE
}  // namespace brumel::shifted_blend_detail
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace brumel::shifted_blend_detail {
HWY_EXPORT(BlendShiftedStamp);
}  // namespace brumel::shifted_blend_detail

namespace brumel {

bool blend_shifted_stamp(const ShiftedBlend& job) {
  if (!job.stamp || !job.rows) return false;
  return HWY_DYNAMIC_DISPATCH(brumel::shifted_blend_detail::BlendShiftedStamp)(job);
}

bool rows_in_range(std::uint16_t* const* rows, std::int32_t width, std::int32_t first,
                   std::int32_t last) {
  std::uint16_t any = 0;
  for (std::int32_t y = first; y <= last; ++y) {
    const std::uint16_t* row = rows[y];
    for (std::int64_t k = 0; k < static_cast<std::int64_t>(width) * 4; ++k) any |= row[k];
  }
  return (any & 0x8000u) == 0;
}

}  // namespace brumel
#endif  // HWY_ONCE
