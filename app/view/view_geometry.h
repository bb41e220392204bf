#pragma once

namespace brumel {

// Where the frame lies in the window, and the conversion between window
// coordinates and the view pixels in which the node draws and takes the mouse.
// View pixels: x from 0 to the frame width, y from 0 to its height, y down,
// as the node's overlay uses them.

// A rectangle in window coordinates (GLFW screen units, y down).
struct WindowRect {
  double x = 0.0, y = 0.0, width = 0.0, height = 0.0;
  bool contains(double px, double py) const {
    return px >= x && py >= y && px < x + width && py < y + height;
  }
};

// View pixels kept visible below the frame: the node's side view of depth
// reaches 80 pixels beyond the frame's lower edge (the camera mark 40 + 25).
inline constexpr double kSideViewMargin = 96.0;

struct ViewGeometry {
  int frame_width = 0;  // view pixels
  int frame_height = 0;
  double pixel_aspect = 1.0;  // width of a frame pixel over its height
  double scale = 1.0;         // window units per view pixel, vertically (the zoom)
  double left = 0.0;          // window position of view pixel (0, 0)
  double top = 0.0;

  // Window units per view pixel horizontally: the zoom times the pixel aspect.
  double scale_x() const { return scale * pixel_aspect; }
  double window_x(double view_x) const { return left + view_x * scale_x(); }
  double window_y(double view_y) const { return top + view_y * scale; }
  double view_x(double window_x) const { return (window_x - left) / scale_x(); }
  double view_y(double window_y) const { return (window_y - top) / scale; }
  WindowRect frame_rect() const {
    return {left, top, frame_width * scale_x(), frame_height * scale};
  }
};

// Places a frame of width x height view pixels with `pixel_aspect` in `area`:
// with no zoom the largest scale that shows the frame and the side-view margin
// below it; the frame centred across the area and, with the margin, down it;
// the corner on whole window units so that a zoom of 1 maps pixels 1:1.
ViewGeometry place_frame(WindowRect area, int width, int height, double pixel_aspect,
                         const double* zoom);

}  // namespace brumel
