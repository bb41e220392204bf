#pragma once
// The density of a puff at falloff v (0 at the rim, 1 at the centre):
// floor(pow(sin(v * 1.570796327), fluffiness) * 257) with the sine and the power in double.
#include <cstdint>
#include <vector>

namespace brumel {

// The density of one falloff, straight from the library's sin and pow. Values that are
// not a number or below 0 give 0, values beyond int32 give its largest value.
std::int32_t puff_density(float v, float fluffiness);

// The same density for whole rows of falloffs, equal in every bit to puff_density but
// with the sine and the power only evaluated where a value lies within a hair of an
// integer step. Built once per fluffiness (about 16,000 evaluations) and shared by
// every level of a table; read-only after construction, so processors may share it.
class PuffDensity {
 public:
  explicit PuffDensity(float fluffiness);
  // out[k] = puff_density(v[k]) for k in 0..count-1; fastest when v does not increase.
  void fill(const float* v, std::int32_t count, std::int32_t* out) const;

 private:
  std::int32_t exact(float v) const;

  float fluffiness_;
  std::int32_t at_rim_;  // the density of the falloff +0: every pixel on or past the rim
  bool stepped_;         // whether the steps below are known (a positive, moderate power)
  // For each value k in 1..257: every v >= at_least_[k] has density >= k, every
  // v <= below_[k] density < k. Between them, and outside the stepped range, the
  // density is evaluated directly.
  std::vector<float> at_least_;
  std::vector<float> below_;
};

}  // namespace brumel
