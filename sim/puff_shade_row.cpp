// Highway's run-time dispatch compiles ShadeRowKernel once per instruction set. Only
// IEEE multiplies, adds, a divide and compares, in the scalar order, so every set gives
// the bits of shade_row_scalar.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "sim/puff_shade_row.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep
#include "hwy/highway.h"
#include "sim/puff_shade_row.h"

#include <cmath>
#include <limits>

HWY_BEFORE_NAMESPACE();
namespace brumel::shade {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

void ShadeRowKernel(const ShadeRow& a, float* HWY_RESTRICT out) {
  const hn::ScalableTag<float> d;
  const hn::RebindToSigned<decltype(d)> di;
  const auto n = static_cast<std::int32_t>(hn::Lanes(d));
  const auto lx = hn::Set(d, a.light_x);
  const auto ly = hn::Set(d, a.light_y);
  const auto lo = hn::Set(d, a.lo);
  const auto hi = hn::Set(d, a.hi);
  const auto two_c = hn::Set(d, a.two_c);
  const auto fj = hn::Set(d, static_cast<float>(a.row));
  const auto one = hn::Set(d, 1.0f);
  const auto zero = hn::Zero(d);
  std::int32_t k = 0;
  for (; k + n <= a.count; k += n) {
    const auto inv = hn::LoadU(d, a.inv + k);
    const auto fi = hn::ConvertTo(d, hn::Iota(di, k - a.half));
    const auto dot = hn::Add(hn::Add(hn::Mul(hn::Mul(fi, inv), lx), hn::LoadU(d, a.lift + k)),
                             hn::Mul(hn::Mul(fj, inv), ly));
    const auto value = hn::Div(hn::Sub(dot, lo), two_c);
    auto shade = hn::IfThenElseZero(hn::Gt(value, zero), value);
    shade = hn::IfThenElse(hn::Ge(dot, hi), one, shade);
    shade = hn::IfThenZeroElse(hn::Le(dot, lo), shade);
    hn::StoreU(shade, d, out + k);
  }
  if (k < a.count) {  // the tail, one sample at a time
    ShadeRow tail = a;
    tail.inv += k;
    tail.lift += k;
    tail.count -= k;
    tail.half -= k;
    shade_row_scalar(tail, out + k);
  }
}

void ShadeFactorsKernel(const ShadeFactors& a, float* HWY_RESTRICT inv_out,
                        float* HWY_RESTRICT lift_out) {
  const hn::ScalableTag<float> d;
  const hn::RebindToSigned<decltype(d)> di;
  const auto n = static_cast<std::int32_t>(hn::Lanes(d));
  const auto m = hn::Set(di, a.m);
  const auto lz = hn::Set(d, a.light_z);
  const auto one = hn::Set(d, 1.0f);
  const auto nan = hn::Set(d, std::numeric_limits<float>::quiet_NaN());
  std::int32_t k = 0;
  for (; k + n <= a.count; k += n) {
    const auto h = hn::LoadU(di, a.h + k);
    const auto rr = hn::LoadU(di, a.rr + k);
    const auto inv = hn::Div(one, hn::Sqrt(hn::ConvertTo(d, hn::Add(hn::Mul(h, h), rr))));
    const auto lift = hn::Mul(hn::Mul(hn::ConvertTo(d, h), inv), lz);
    const auto outside = hn::RebindMask(d, hn::Gt(rr, m));
    hn::StoreU(hn::IfThenElse(outside, nan, inv), d, inv_out + k);
    hn::StoreU(hn::IfThenElse(outside, nan, lift), d, lift_out + k);
  }
  if (k < a.count) {
    ShadeFactors tail = a;
    tail.h += k;
    tail.rr += k;
    tail.count -= k;
    shade_factors_scalar(tail, inv_out + k, lift_out + k);
  }
}

}  // namespace HWY_NAMESPACE
}  // namespace brumel::shade
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace brumel::shade {
HWY_EXPORT(ShadeRowKernel);
HWY_EXPORT(ShadeFactorsKernel);
}  // namespace brumel::shade

namespace brumel {

void shade_factors(const ShadeFactors& a, float* inv, float* lift) {
  HWY_DYNAMIC_DISPATCH(brumel::shade::ShadeFactorsKernel)(a, inv, lift);
}

void shade_factors_scalar(const ShadeFactors& a, float* inv, float* lift) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  for (std::int32_t k = 0; k < a.count; ++k) {
    inv[k] = lift[k] = nan;
    if (a.rr[k] > a.m) continue;
    const std::int32_t h = a.h[k];
    inv[k] = 1.0f / std::sqrt(static_cast<float>(h * h + a.rr[k]));
    lift[k] = static_cast<float>(h) * inv[k] * a.light_z;
  }
}

void shade_row(const ShadeRow& a, float* out) {
  HWY_DYNAMIC_DISPATCH(brumel::shade::ShadeRowKernel)(a, out);
}

void shade_row_scalar(const ShadeRow& a, float* out) {
  const auto fj = static_cast<float>(a.row);
  for (std::int32_t k = 0; k < a.count; ++k) {
    const float inv = a.inv[k];
    const float dot = static_cast<float>(k - a.half) * inv * a.light_x + a.lift[k] +
                      fj * inv * a.light_y;
    float shade;
    if (dot <= a.lo) {
      shade = 0.0f;
    } else if (dot >= a.hi) {
      shade = 1.0f;
    } else {
      const float value = (dot - a.lo) / a.two_c;
      shade = value > 0.0f ? value : 0.0f;
    }
    out[k] = shade;
  }
}

}  // namespace brumel
#endif  // HWY_ONCE
