#include "app/view/view_geometry.h"

#include <algorithm>
#include <cmath>

namespace brumel {

namespace {

constexpr double kPadding = 8.0;  // window units kept free around the frame when fitting

}  // namespace

ViewGeometry place_frame(WindowRect area, int width, int height, double pixel_aspect,
                         const double* zoom) {
  ViewGeometry g;
  g.frame_width = width;
  g.frame_height = height;
  g.pixel_aspect = pixel_aspect > 0.0 ? pixel_aspect : 1.0;
  const double shown_width = width * g.pixel_aspect;
  const double shown_height = height + kSideViewMargin;
  if (zoom != nullptr) {
    g.scale = *zoom;
  } else {
    const double fit_x = (area.width - 2.0 * kPadding) / std::max(shown_width, 1.0);
    const double fit_y = (area.height - 2.0 * kPadding) / std::max(shown_height, 1.0);
    g.scale = std::max(std::min(fit_x, fit_y), 0.01);
  }
  g.left = std::floor(area.x + (area.width - width * g.scale_x()) * 0.5);
  g.top = std::floor(area.y + (area.height - shown_height * g.scale) * 0.5);
  return g;
}

}  // namespace brumel
