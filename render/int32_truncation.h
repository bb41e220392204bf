#pragma once
// Truncation of a double toward zero into int32, as the processor's own conversion
// does it: NaN and values the int32 range cannot hold give INT32_MIN, instead of
// undefined behaviour. (A host time's frame number saturates instead, and a puff's
// density clamps to 0..INT32_MAX: those are their own rules, beside them.)
#include <cstdint>
#include <limits>

namespace brumel {

inline std::int32_t truncate_to_int32(double v) {
  if (!(v > -2147483649.0 && v < 2147483648.0)) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(v);
}

}  // namespace brumel
