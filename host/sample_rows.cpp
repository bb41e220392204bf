#include "host/sample_rows.h"

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "host/sample_rows.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

HWY_BEFORE_NAMESPACE();
namespace brumel::sample_rows_detail {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

inline std::uint16_t narrow(std::uint16_t s) { return static_cast<std::uint16_t>(s >> 1); }
inline std::uint16_t widen(std::uint16_t s) {
  return static_cast<std::uint16_t>((s << 1) | (s >> 14));
}

void NarrowRow(const std::uint16_t* src, int channels, std::int32_t width, std::uint16_t* dst) {
  const hn::ScalableTag<std::uint16_t> d;
  const std::int64_t n = static_cast<std::int64_t>(hn::Lanes(d));
  std::int64_t x = 0;
  if (channels == 4) {
    const std::int64_t samples = static_cast<std::int64_t>(width) * 4;
    std::int64_t k = 0;
    for (; k + n <= samples; k += n) hn::StoreU(hn::ShiftRight<1>(hn::LoadU(d, src + k)), d, dst + k);
    for (; k < samples; ++k) dst[k] = narrow(src[k]);
    return;
  }
  if (channels == 3) {
#if HWY_TARGET != HWY_SCALAR
    const auto opaque = hn::Set(d, 32767);
    for (; x + n <= width; x += n) {
      hn::Vec<decltype(d)> r, g, b;
      hn::LoadInterleaved3(d, src + x * channels, r, g, b);
      hn::StoreInterleaved4(hn::ShiftRight<1>(r), hn::ShiftRight<1>(g), hn::ShiftRight<1>(b), opaque,
                            d, dst + x * 4);
    }
#endif
  }
  for (; x < width; ++x) {
    const std::uint16_t* s = src + x * channels;
    std::uint16_t* o = dst + x * 4;
    switch (channels) {
      case 2:
        o[0] = o[1] = o[2] = narrow(s[0]);
        o[3] = narrow(s[1]);
        break;
      case 1:
        o[0] = o[1] = o[2] = narrow(s[0]);
        o[3] = 32767;
        break;
      default:
        o[0] = narrow(s[0]);
        o[1] = narrow(s[1]);
        o[2] = narrow(s[2]);
        o[3] = 32767;
        break;
    }
  }
}

void WidenRow(const std::uint16_t* src, std::int32_t width, int channels, std::uint16_t* dst) {
  const hn::ScalableTag<std::uint16_t> d;
  const std::int64_t n = static_cast<std::int64_t>(hn::Lanes(d));
  auto wide = [](auto v) { return hn::Or(hn::ShiftLeft<1>(v), hn::ShiftRight<14>(v)); };
  std::int64_t x = 0;
  if (channels == 4) {
    const std::int64_t samples = static_cast<std::int64_t>(width) * 4;
    std::int64_t k = 0;
    for (; k + n <= samples; k += n) hn::StoreU(wide(hn::LoadU(d, src + k)), d, dst + k);
    for (; k < samples; ++k) dst[k] = widen(src[k]);
    return;
  }
  if (channels == 3) {
#if HWY_TARGET != HWY_SCALAR
    for (; x + n <= width; x += n) {
      hn::Vec<decltype(d)> r, g, b, a;
      hn::LoadInterleaved4(d, src + x * 4, r, g, b, a);
      hn::StoreInterleaved3(wide(r), wide(g), wide(b), d, dst + x * 3);
    }
#endif
  }
  for (; x < width; ++x) {
    const std::uint16_t* s = src + x * 4;
    std::uint16_t* o = dst + x * channels;
    switch (channels) {
      case 2:
        o[0] = widen(s[0]);
        o[1] = widen(s[3]);
        break;
      case 1:
        o[0] = widen(s[0]);
        break;
      default:
        o[0] = widen(s[0]);
        o[1] = widen(s[1]);
        o[2] = widen(s[2]);
        break;
    }
  }
}

}  // namespace HWY_NAMESPACE
}  // namespace brumel::sample_rows_detail
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace brumel::sample_rows_detail {
HWY_EXPORT(NarrowRow);
HWY_EXPORT(WidenRow);
}  // namespace brumel::sample_rows_detail

namespace brumel {

void narrow_row(const std::uint16_t* src, int channels, std::int32_t width, std::uint16_t* dst) {
  HWY_DYNAMIC_DISPATCH(brumel::sample_rows_detail::NarrowRow)(src, channels, width, dst);
}

void widen_row(const std::uint16_t* src, std::int32_t width, int channels, std::uint16_t* dst) {
  HWY_DYNAMIC_DISPATCH(brumel::sample_rows_detail::WidenRow)(src, width, channels, dst);
}

}  // namespace brumel
#endif
