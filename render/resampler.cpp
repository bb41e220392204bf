#include "render/resampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <numbers>

namespace brumel {

namespace {

double cubic_convolution(double x, double a) {
  if (x < 1.0) return (a + 2) * x * x * x - (a + 3) * x * x + 1;
  return a * x * x * x - 5 * a * x * x + 8 * a * x - 4 * a;
}

double cubic_b_spline(double x) {
  if (x < 1.0) return (3 * x * x * x - 6 * x * x + 4) / 6;
  return (6 * x * x - x * x * x - 12 * x + 8) / 6;
}

double sinc(double u) { return std::sin(std::numbers::pi * u) / (std::numbers::pi * u); }

double lanczos2(double x) { return x == 0.0 ? 1.0 : sinc(x) * sinc(x / 2); }

// Clamps to the sample range (NaN gives 0) and rounds half up.
std::uint16_t to_sample(double v) {
  if (!(v > 0.0)) v = 0.0;
  if (v > ImageBuffer::kImageMax) v = ImageBuffer::kImageMax;
  return static_cast<std::uint16_t>(v + 0.5);
}

}  // namespace

Resampler::Resampler() { set_filter(1); }

Resampler::~Resampler() = default;

void Resampler::set_filter(std::int32_t type) {
  if (type == filter_type) return;
  filter_type = type;
  radius = (type >= 3 && type <= 6) ? 2 : 1;
  for (std::int32_t i = 0; i < kKernelEntries; ++i) {
    const double x = i * 0.001953125;
    double v = 0.0;
    if (x < radius) {
      switch (type) {
        case 3: v = cubic_convolution(x, -0.5); break;
        case 4: v = cubic_convolution(x, -1.0); break;
        case 5: v = cubic_b_spline(x); break;
        case 6: v = lanczos2(x); break;
        default: v = 1.0 - x; break;
      }
    }
    kernel[i] = v;
  }
}

double Resampler::weight(double distance_steps) const {
  const auto t = static_cast<std::int64_t>(std::abs(std::trunc(distance_steps)));
  return t < kKernelEntries ? kernel[t] : 0.0;
}

void Resampler::begin_pass(std::int32_t old_length, std::int32_t new_length) {
  old_size = old_length;
  new_size = new_length;
  scale = new_length == 1 ? static_cast<double>(old_length - 1)
                          : static_cast<double>(old_length - 1) / static_cast<double>(new_length - 1);
}

template <class At>
void Resampler::filter_sample(std::int32_t k, At at, std::uint16_t* out) const {
  const double c = new_size == 1 ? (old_size - 1) * 0.5 : k * scale;
  const std::int32_t last_index = old_size - 1;
  double sum[4] = {0.0, 0.0, 0.0, 0.0};
  auto add_tap = [&](std::int32_t i, double w) {
    const std::uint16_t* px = at(std::clamp(i, 0, last_index));
    for (int ch = 0; ch < 4; ++ch) sum[ch] += w * px[ch];
  };
  if (new_size > old_size) {
    // Upsampling: the kernel at unit scale, weights not normalised.
    const auto lo = static_cast<std::int32_t>(std::ceil(c - radius));
    const auto hi = static_cast<std::int32_t>(std::floor(c + radius));
    for (std::int32_t i = lo; i <= hi; ++i) add_tap(i, weight((i - c) * kKernelSteps));
  } else {
    // Downsampling: the kernel stretched by scale, weights normalised.
    const double reach = radius * scale;
    const double inverse = 1.0 / scale;
    const auto lo = static_cast<std::int32_t>(std::ceil(c - reach));
    const auto hi = static_cast<std::int32_t>(std::floor(c + reach));
    double weights = 0.0;
    for (std::int32_t i = lo; i <= hi; ++i) {
      const double w = weight((i - c) * inverse * kKernelSteps);
      weights += w;
      add_tap(i, w);
    }
    const double norm = 1.0 / weights;
    for (double& s : sum) s *= norm;
  }
  for (int ch = 0; ch < 4; ++ch) out[ch] = to_sample(sum[ch]);
}

void Resampler::horizontal_pass(std::int32_t first, std::int32_t last) {
  for (std::int32_t y = first; y <= last; ++y) {
    const std::uint16_t* in = source->rows[y];
    std::uint16_t* out = intermediate->rows[y];
    if (new_size == old_size) {
      std::memcpy(out, in, static_cast<std::size_t>(old_size) * 8);
      continue;
    }
    for (std::int32_t k = 0; k < new_size; ++k)
      filter_sample(k, [in](std::int32_t i) { return in + static_cast<std::size_t>(i) * 4; },
                    out + static_cast<std::size_t>(k) * 4);
  }
}

void Resampler::vertical_pass(std::int32_t first, std::int32_t last) {
  if (first > last) return;
  if (new_size == old_size) {
    for (std::int32_t y = 0; y < new_size; ++y)
      std::memcpy(target->rows[y] + static_cast<std::size_t>(first) * 4,
                  intermediate->rows[y] + static_cast<std::size_t>(first) * 4,
                  static_cast<std::size_t>(last - first + 1) * 8);
    return;
  }
  // Row by row across the columns: each sample is computed exactly as along its own
  // column, but the reads run along rows.
  const ImageBuffer* in = intermediate;
  for (std::int32_t k = 0; k < new_size; ++k) {
    std::uint16_t* out = target->rows[k];
    for (std::int32_t x = first; x <= last; ++x) {
      const std::size_t offset = static_cast<std::size_t>(x) * 4;
      filter_sample(k, [in, offset](std::int32_t i) { return in->rows[i] + offset; }, out + offset);
    }
  }
}

int Resampler::resample(const ImageBuffer& from, ImageBuffer& to) {
  if (from.width == to.width && from.height == to.height) {
    for (std::int32_t y = 0; y < from.height; ++y)
      std::memcpy(to.rows[y], from.rows[y], static_cast<std::size_t>(from.width) * 8);
    return 1;
  }
  const bool target_empty = to.width == 0 || to.height == 0;
  if ((from.width == 0 || from.height == 0) && !target_empty) return 0;

  std::unique_ptr<ImageBuffer> middle;
  try {
    middle = std::make_unique<ImageBuffer>(to.width, from.height);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  source = &from;
  intermediate = middle.get();
  target = &to;

  begin_pass(from.width, to.width);
  horizontal_pass(0, from.height - 1);
  begin_pass(from.height, to.height);
  vertical_pass(0, to.width - 1);

  source = nullptr;
  intermediate = nullptr;
  target = nullptr;
  return 1;
}

}  // namespace brumel
