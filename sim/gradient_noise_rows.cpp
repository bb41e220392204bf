// Gradient noise along a row, vectorised across x. The cell, offset and s-curve of each
// x are worked out once for all the rows sampled at those x. With y and z fixed, the
// lattice hash of every corner depends on x only through its cell, so each row first
// tabulates the gradients of the cells the x values reach (per y/z corner pair), and
// each lane then fetches its eight corners from those small tables. The arithmetic repeats the
// scalar noise operation for operation, in the same precision at every step: float for
// the lower z plane and the near row of the upper one, double for the far row of the
// upper plane and the y and z interpolations that follow it. No multiply-add is fused.
#include "sim/gradient_noise_rows.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#ifndef BRUMEL_GRADIENT_NOISE_ROWS_ONCE
#define BRUMEL_GRADIENT_NOISE_ROWS_ONCE
namespace brumel::noise_rows {

// Floor, offset within the cell and s-curve of one coordinate, as gradient_noise forms them.
struct Cell {
  std::int32_t i;
  float f;
  float s;
};

inline Cell cell_of(float v) {
  std::int32_t i = static_cast<std::int32_t>(v);
  if (v < 0.0f && static_cast<float>(i) != v) i -= 1;
  const float f = v - static_cast<float>(i);
  return {i, f, (3.0f - 2.0f * f) * f * f};
}

// What every lane of one row shares: the y and z parts of the corners, and the gradients
// of lattice columns base .. base + cells - 1 for each of the four (y, z) corner pairs,
// stored as 5 planes per pair of `stride` floats: the x, y and z components and the
// products gy dy and gz dz (the same for every sample of the row, so formed once). The
// far pair of the upper plane, which is evaluated in double, also has gx and the two
// products in double (exact: a product of two floats fits a double).
struct RowSetup {
  float dy[2];
  float sy;
  float dz[2];
  double sz;
  std::int32_t base;
  std::int32_t stride;
  const float* planes;
  const double* far;
};

// Tabulates the gradients for lattice x from lo to hi (inclusive) at the cells of y and
// z. A span of 256 or more wraps: the hash masks x to 0..255, so base 0 and 257 columns
// (the last equal to the first) cover every lane, indexed by x & 255.
inline RowSetup setup_row(const GradientTable& table, std::int32_t lo, std::int32_t hi, float y,
                          float z) {
  thread_local std::vector<float> planes;
  thread_local std::vector<double> far;
  const Cell cy = cell_of(y);
  const Cell cz = cell_of(z);
  RowSetup r;
  r.dy[0] = cy.f;
  r.dy[1] = cy.f - 1.0f;
  r.sy = cy.s;
  r.dz[0] = cz.f;
  r.dz[1] = cz.f - 1.0f;
  const double fz = cz.f;
  r.sz = (3.0 - 2.0 * fz) * fz * fz;
  const bool wraps = static_cast<std::int64_t>(hi) - lo >= 255;
  r.base = wraps ? 0 : lo;
  const std::int32_t cells = wraps ? 257 : hi - lo + 2;
  r.stride = cells;
  planes.resize(static_cast<std::size_t>(20) * cells);
  far.resize(static_cast<std::size_t>(3) * cells);
  for (int pair = 0; pair < 4; ++pair) {
    const int b = pair & 1;
    const int c = pair >> 1;
    const int t = permutation_table[(permutation_table[(cz.i + c) & 255] + cy.i + b) & 255];
    float* gx = planes.data() + static_cast<std::size_t>(pair * 5) * cells;
    float* gy = gx + cells;
    float* gz = gy + cells;
    float* py = gz + cells;
    float* pz = py + cells;
    for (std::int32_t m = 0; m < cells; ++m) {
      // Unsigned, so that lattice columns near the int32 limits wrap as the hash does.
      const auto x = static_cast<std::uint32_t>(r.base) + static_cast<std::uint32_t>(m);
      const auto& g = table[permutation_table[(static_cast<std::uint32_t>(t) + x) & 255]];
      gx[m] = g[0];
      gy[m] = g[1];
      gz[m] = g[2];
      py[m] = g[1] * r.dy[b];
      pz[m] = g[2] * r.dz[c];
      if (pair == 3) {
        far[m] = g[0];
        far[cells + m] = static_cast<double>(g[1]) * r.dy[b];
        far[2 * cells + m] = static_cast<double>(g[2]) * r.dz[c];
      }
    }
  }
  r.planes = planes.data();
  r.far = far.data();
  return r;
}

}  // namespace brumel::noise_rows
#endif  // BRUMEL_GRADIENT_NOISE_ROWS_ONCE

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "sim/gradient_noise_rows.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

HWY_BEFORE_NAMESPACE();
namespace brumel::noise_rows {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// Double lanes set the width; the float and int32 work runs on as many lanes.
using DD = hn::ScalableTag<double>;
using DF = hn::Rebind<float, DD>;
using DI = hn::Rebind<std::int32_t, DD>;

HWY_INLINE hn::Vec<DF> lerp(hn::Vec<DF> t, hn::Vec<DF> p, hn::Vec<DF> q) {
  return hn::Add(p, hn::Mul(t, hn::Sub(q, p)));
}
HWY_INLINE hn::Vec<DD> lerp(hn::Vec<DD> t, hn::Vec<DD> p, hn::Vec<DD> q) {
  return hn::Add(p, hn::Mul(t, hn::Sub(q, p)));
}

// Where a vector's lanes find their corner gradients: in one cell (`lo`), in two
// neighbouring cells (`lo`, and lo + 1 where `upper` is set), or each in its own (at0
// for corner column 0, at1 for column 1).
struct Cells {
  int span;  // 0: one cell, 1: two cells, 2: more
  std::int32_t lo;
  hn::Mask<DF> upper;
  hn::Vec<DI> at0;
  hn::Vec<DI> at1;
};

// Component `comp` of the gradient at corner column a of the pair (b, c) = (pair & 1,
// pair >> 1). Cells span many samples at the texture frequencies in use, so nearly every
// vector lies in one or two cells and takes its values by broadcast and select; only
// the rest gather lane by lane. All give the same bits.
HWY_INLINE hn::Vec<DF> fetch(const RowSetup& r, const Cells& at, int plane, int a) {
  const DF df;
  const float* p = r.planes + static_cast<std::size_t>(plane) * r.stride;
  if (at.span == 0) return hn::Set(df, p[at.lo + a]);
  if (at.span == 1) return hn::IfThenElse(at.upper, hn::Set(df, p[at.lo + 1 + a]), hn::Set(df, p[at.lo + a]));
  return hn::GatherIndex(df, p, a ? at.at1 : at.at0);
}
HWY_INLINE hn::Vec<DF> fetch(const RowSetup& r, const Cells& at, int pair, int comp, int a) {
  return fetch(r, at, pair * 5 + comp, a);
}

// A corner value of a float pair: (gx dx + gy dy) + gz dz, in float.
HWY_INLINE hn::Vec<DF> corner_f(const RowSetup& r, const Cells& at, int pair, int a,
                                hn::Vec<DF> dxa) {
  return hn::Add(hn::Add(hn::Mul(fetch(r, at, pair, 0, a), dxa), fetch(r, at, pair, 3, a)),
                 fetch(r, at, pair, 4, a));
}

// A corner value of the far row of the upper plane, in double.
HWY_INLINE hn::Vec<DD> corner_d(const RowSetup& r, const Cells& at, int a, hn::Vec<DF> dxa) {
  const DD dd;
  if (at.span == 0) {
    const double* p = r.far + at.lo + a;
    return hn::Add(hn::Add(hn::Mul(hn::Set(dd, p[0]), hn::PromoteTo(dd, dxa)),
                           hn::Set(dd, p[r.stride])),
                   hn::Set(dd, p[2 * r.stride]));
  }
  return hn::Add(hn::Add(hn::Mul(hn::PromoteTo(dd, fetch(r, at, 3, 0, a)), hn::PromoteTo(dd, dxa)),
                         hn::Mul(hn::PromoteTo(dd, fetch(r, at, 3, 1, a)),
                                 hn::Set(dd, static_cast<double>(r.dy[1])))),
                 hn::Mul(hn::PromoteTo(dd, fetch(r, at, 3, 2, a)),
                         hn::Set(dd, static_cast<double>(r.dz[1]))));
}

// One vector of samples, given the cell, offset and s-curve of each lane's x.
HWY_INLINE hn::Vec<DD> noise_lanes(const RowSetup& r, hn::Vec<DI> ix, hn::Vec<DF> fx,
                                   hn::Vec<DF> sx) {
  const DD dd;
  const DF df;
  const DI di;
  const auto dx0 = fx;
  const auto dx1 = hn::Sub(fx, hn::Set(df, 1.0f));
  Cells at;
  at.at0 = hn::And(hn::Sub(ix, hn::Set(di, r.base)), hn::Set(di, 255));
  at.at1 = hn::Add(at.at0, hn::Set(di, 1));
  at.lo = hn::GetLane(hn::MinOfLanes(di, at.at0));
  const auto in_lo = hn::Eq(at.at0, hn::Set(di, at.lo));
  const auto in_next = hn::Eq(at.at0, hn::Set(di, at.lo + 1));
  at.upper = hn::RebindMask(df, in_next);
  at.span = hn::AllTrue(di, in_lo) ? 0 : (hn::AllTrue(di, hn::Or(in_lo, in_next)) ? 1 : 2);

  const auto sy = hn::Set(df, r.sy);
  const auto a0 = lerp(sx, corner_f(r, at, 0, 0, dx0), corner_f(r, at, 0, 1, dx1));
  const auto b0 = lerp(sx, corner_f(r, at, 1, 0, dx0), corner_f(r, at, 1, 1, dx1));
  const auto c = lerp(sy, a0, b0);
  const auto a1 = lerp(sx, corner_f(r, at, 2, 0, dx0), corner_f(r, at, 2, 1, dx1));
  const auto b1 = lerp(hn::PromoteTo(dd, sx), corner_d(r, at, 0, dx0), corner_d(r, at, 1, dx1));
  const auto d = lerp(hn::Set(dd, static_cast<double>(r.sy)), hn::PromoteTo(dd, a1), b1);
  return lerp(hn::Set(dd, r.sz), hn::PromoteTo(dd, c), d);
}

void NoiseRow(const GradientTable& table, const NoiseColumns& columns, std::size_t first,
              std::size_t count, float y, float z, double* out) {
  if (count == 0) return;
  const DD dd;
  const DF df;
  const DI di;
  const std::size_t n_lanes = hn::Lanes(dd);
  // Every cell of the columns is tabulated, so one table serves any part of the row.
  const RowSetup r = setup_row(table, columns.lo, columns.hi, y, z);
  const std::int32_t* cell = columns.cell.data() + first;
  const float* offset = columns.offset.data() + first;
  const float* curve = columns.curve.data() + first;
  std::size_t n = 0;
  for (; n + n_lanes <= count; n += n_lanes) {
    hn::StoreU(noise_lanes(r, hn::LoadU(di, cell + n), hn::LoadU(df, offset + n),
                           hn::LoadU(df, curve + n)),
               dd, out + n);
  }
  if (n < count) {
    // The last vector is filled up with the last sample.
    constexpr std::size_t kMaxLanes = 64;
    HWY_ALIGN std::int32_t c[kMaxLanes];
    HWY_ALIGN float f[kMaxLanes];
    HWY_ALIGN float s[kMaxLanes];
    HWY_ALIGN double o[kMaxLanes];
    for (std::size_t k = 0; k < n_lanes; ++k) {
      const std::size_t at = std::min(n + k, count - 1);
      c[k] = cell[at];
      f[k] = offset[at];
      s[k] = curve[at];
    }
    hn::Store(noise_lanes(r, hn::Load(di, c), hn::Load(df, f), hn::Load(df, s)), dd, o);
    std::copy(o, o + (count - n), out + n);
  }
}

}  // namespace HWY_NAMESPACE
}  // namespace brumel::noise_rows
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace brumel::noise_rows {
HWY_EXPORT(NoiseRow);
}  // namespace brumel::noise_rows

namespace brumel {

void noise_columns(const float* x, std::size_t count, NoiseColumns& columns) {
  columns.cell.resize(count);
  columns.offset.resize(count);
  columns.curve.resize(count);
  columns.lo = INT32_MAX;
  columns.hi = INT32_MIN;
  for (std::size_t n = 0; n < count; ++n) {
    const brumel::noise_rows::Cell c = brumel::noise_rows::cell_of(x[n]);
    columns.cell[n] = c.i;
    columns.offset[n] = c.f;
    columns.curve[n] = c.s;
    columns.lo = std::min(columns.lo, c.i);
    columns.hi = std::max(columns.hi, c.i);
  }
}

void gradient_noise_row(const GradientTable& table, const NoiseColumns& columns,
                        std::size_t first, std::size_t count, float y, float z, double* out) {
  HWY_DYNAMIC_DISPATCH(brumel::noise_rows::NoiseRow)(table, columns, first, count, y, z, out);
}

void gradient_noise_row_reference(const GradientTable& table, const float* x, std::size_t count,
                                  float y, float z, double* out) {
  for (std::size_t n = 0; n < count; ++n) out[n] = gradient_noise(table, x[n], y, z);
}

}  // namespace brumel
#endif  // HWY_ONCE
