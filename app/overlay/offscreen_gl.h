#pragma once
// An offscreen OpenGL 1.x context (OSMesa: software, no display needed) that
// stands in for the host viewer's drawing context: the application puts a
// rendered frame in it, sets the viewer's projection and lets the node module
// draw its overlay on top.
#include <cstdint>
#include <memory>
#include <vector>

#include "app/images/host_image.h"
#include "app/overlay/rgb_picture.h"

namespace brumel {

class OffscreenGl {
 public:
  // A current context with an RGBA buffer of width x height pixels. While it
  // lives, the node module's GL calls draw into it and the host's
  // gl_antialiasing switches line smoothing and blending in it. One at a time.
  // Throws AppError when OSMesa cannot make the context.
  OffscreenGl(int width, int height);
  ~OffscreenGl();
  OffscreenGl(const OffscreenGl&) = delete;
  OffscreenGl& operator=(const OffscreenGl&) = delete;

  // Fills the buffer with grey (0..1) and puts `frame`'s colour (alpha left
  // out) at its top-left corner, row 0 at the top.
  void draw_background(const HostImage& frame, float grey);

  // The host viewer's projection for a view of view_width x view_height at the
  // buffer's top-left corner: the vertex (x - view_width/2, y - view_height/2)
  // lands on the centre of buffer pixel (x, y), y growing downward, so points
  // beyond y = view_height fall in the rows below the view.
  void set_view_projection(int view_width, int view_height);

  // What has been drawn so far.
  RgbPicture read_picture();

  struct Functions;  // GL entry points of this context

 private:
  int width_;
  int height_;
  std::vector<std::uint8_t> buffer_;
  void* context_ = nullptr;
  std::unique_ptr<Functions> gl_;
};

}  // namespace brumel
