// Why the steps are exact: for a positive power f and 0 < v < kSteppedTop the true value
// T(v) = 257 * sin(fl(v * 1.570796327))^f rises strictly with v (the sine's argument stays
// below pi/2), and the library's sin and pow return T within a few units in the last
// place, far inside kMargin. A v where the computed value is at least k * (1 + kMargin)
// therefore has T above k, and so every larger v has a computed value at or above k;
// likewise below. Only the falloffs that fall between the two bounds of a step (T within
// about kMargin of an integer) and those outside the stepped range call sin and pow.
#include "sim/puff_density.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

namespace brumel {

namespace {

constexpr std::int32_t kTop = 257;
// The centre (v near 1, where the argument passes pi/2 and the value sits at 257) is
// left to the library.
constexpr float kSteppedTop = 0.999f;
// Relative margin around each step; the library's error is below 2^-45 relative for
// powers up to kMaxStepped.
constexpr double kMargin = 0x1p-32;
constexpr float kMaxStepped = 1024.0f;

double density_value(float v, float fluffiness) {
  const double s = std::sin(v * 1.570796327);
  return std::floor(std::pow(s, static_cast<double>(fluffiness)) * 257.0);
}

double raw_value(float v, float fluffiness) {
  return std::pow(std::sin(v * 1.570796327), static_cast<double>(fluffiness)) * 257.0;
}

}  // namespace

std::int32_t puff_density(float v, float fluffiness) {
  const double value = density_value(v, fluffiness);
  // pow(0, negative) is infinite: a fluffiness below the control's range must not make
  // the conversion undefined.
  if (!(value >= 0.0)) return 0;
  if (value > 2147483647.0) return 2147483647;
  return static_cast<std::int32_t>(value);
}

PuffDensity::PuffDensity(float fluffiness)
    : fluffiness_(fluffiness),
      at_rim_(puff_density(0.0f, fluffiness)),
      stepped_(fluffiness > 0.0f && fluffiness <= kMaxStepped) {
  if (!stepped_) return;
  at_least_.assign(kTop + 2, std::numeric_limits<float>::infinity());
  below_.assign(kTop + 2, 0.0f);
  // Binary searches over the bit patterns of the positive floats, which are in order.
  const std::uint32_t top = std::bit_cast<std::uint32_t>(kSteppedTop);
  auto value_at = [&](std::uint32_t bits) {
    return raw_value(std::bit_cast<float>(bits), fluffiness);
  };
  const double top_value = value_at(top);
  for (std::int32_t k = 1; k <= kTop; ++k) {
    const double up = k * (1.0 + kMargin);
    const double down = k * (1.0 - kMargin);
    if (top_value >= up) {  // the smallest v found whose value is at least `up`
      std::uint32_t no = 0, yes = top;
      while (yes - no > 1) {
        const std::uint32_t mid = no + (yes - no) / 2;
        (value_at(mid) >= up ? yes : no) = mid;
      }
      at_least_[k] = std::bit_cast<float>(yes);
    }
    if (top_value <= down) {
      below_[k] = kSteppedTop;
    } else {  // the largest v found whose value is at most `down`
      std::uint32_t yes = 0, no = top;
      while (no - yes > 1) {
        const std::uint32_t mid = yes + (no - yes) / 2;
        (value_at(mid) <= down ? yes : no) = mid;
      }
      below_[k] = std::bit_cast<float>(yes);
    }
  }
}

std::int32_t PuffDensity::exact(float v) const {
  if (v < 0.0f) v = 0.0f;
  if (v == 0.0f && !std::signbit(v)) return at_rim_;
  return puff_density(v, fluffiness_);
}

void PuffDensity::fill(const float* v, std::int32_t count, std::int32_t* out) const {
  if (!stepped_) {
    for (std::int32_t i = 0; i < count; ++i) out[i] = exact(v[i]);
    return;
  }
  std::int32_t k = 0;  // at_least_[k] <= v (k = 0: no bound) as far as the walk knows
  for (std::int32_t i = 0; i < count; ++i) {
    const float x = v[i];
    if (!(x > 0.0f && x < kSteppedTop)) {
      out[i] = exact(x);
      continue;
    }
    while (k < kTop && at_least_[k + 1] <= x) ++k;
    while (k > 0 && at_least_[k] > x) --k;
    // Density >= k is certain; density < k + 1 needs x at or below that step's bound.
    out[i] = (k == kTop || x <= below_[k + 1]) ? k : exact(x);
  }
}

}  // namespace brumel
