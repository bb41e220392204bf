#pragma once
// Drawing in the window's OpenGL 2.1 context: the node's output frame as a
// texture, the side-view strip below it, and the node's overlay in the
// projection the node expects.
#include "app/images/host_image.h"
#include "app/view/view_geometry.h"
#include "assim/fx_node.h"

namespace brumel {

class FrameView {
 public:
  FrameView() = default;
  ~FrameView();
  FrameView(const FrameView&) = delete;
  FrameView& operator=(const FrameView&) = delete;

  // Copies the frame's samples into the texture (call with the context current).
  void upload(const HostImage& frame);
  bool has_frame() const { return width_ > 0; }

  // Clears the window (`window_width` x `window_height` window units) and draws
  // the frame at `geometry`, clipped to `area`, with the depth strip below it.
  void draw_frame(const ViewGeometry& geometry, const WindowRect& area, double window_width,
                  double window_height) const;

  // Sets a projection in view pixels with the origin at the view centre and y
  // down, registered to the frame at `geometry` and clipped to `area`, and
  // asks the node to draw its overlay. Line smoothing is off afterwards.
  static void draw_overlay(FXNode& node, const ViewGeometry& geometry, const WindowRect& area,
                           double window_width, double window_height);

 private:
  unsigned int texture_ = 0;
  int width_ = 0;
  int height_ = 0;
};

// The host service gl_antialiasing switches line smoothing and blending in the
// window's context through this handler; install it once the context exists.
void install_gl_antialiasing();

}  // namespace brumel
