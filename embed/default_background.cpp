#include "embed/default_background.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace brumel {

namespace {

struct Stop {
  double at;  // fraction of the height, top 0
  std::array<double, 3> rgb;
};

// The sky from zenith to horizon, then the ground.
constexpr std::array<Stop, 6> kStops{{
    {0.00, {0.05, 0.07, 0.22}},
    {0.35, {0.22, 0.18, 0.42}},
    {0.62, {0.62, 0.36, 0.50}},
    {0.80, {0.98, 0.58, 0.30}},
    {0.80, {0.16, 0.11, 0.12}},
    {1.00, {0.06, 0.05, 0.07}},
}};
constexpr double kHorizon = 0.80;

std::array<double, 3> sky_at(double v) {
  for (std::size_t i = 1; i < kStops.size(); ++i) {
    const Stop& a = kStops[i - 1];
    const Stop& b = kStops[i];
    if (v <= b.at) {
      const double t = b.at > a.at ? (v - a.at) / (b.at - a.at) : 1.0;
      return {a.rgb[0] + (b.rgb[0] - a.rgb[0]) * t, a.rgb[1] + (b.rgb[1] - a.rgb[1]) * t,
              a.rgb[2] + (b.rgb[2] - a.rgb[2]) * t};
    }
  }
  return kStops.back().rgb;
}

std::uint16_t to_sample(double value) {
  return static_cast<std::uint16_t>(std::lround(std::clamp(value, 0.0, 1.0) * 65535.0));
}

}  // namespace

HostImage default_background(int width, int height) {
  HostImage image(width, height);
  for (int y = 0; y < height; ++y) {
    const double v = (y + 0.5) / height;
    const std::array<double, 3> sky = sky_at(v);
    for (int x = 0; x < width; ++x) {
      const double u = (x + 0.5) / width;
      // The sun has just set right of centre: a warm glow above the horizon.
      double glow = 0.0;
      if (v < kHorizon) {
        const double dx = (u - 0.62) * 1.6;
        const double dy = (kHorizon - v) * 2.2;
        glow = 0.35 * std::exp(-(dx * dx + dy * dy) * 6.0);
      }
      std::uint16_t* p = &image.samples[(static_cast<std::size_t>(y) * width + x) * 4];
      p[0] = to_sample(sky[0] + glow);
      p[1] = to_sample(sky[1] + glow * 0.6);
      p[2] = to_sample(sky[2] + glow * 0.2);
      p[3] = 65535;
    }
  }
  return image;
}

}  // namespace brumel
