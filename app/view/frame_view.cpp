#include "app/view/frame_view.h"

#include <GL/gl.h>

#include <cmath>

#include "assim/services.h"

namespace brumel {

namespace {

// Window units to framebuffer pixels (they differ on high-density screens).
void set_window_projection(double window_width, double window_height) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0.0, window_width, window_height, 0.0, -1.0, 1.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

// The scissor box is in framebuffer pixels, counted from the bottom.
void clip_to(const WindowRect& area, double window_width, double window_height) {
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  const double sx = viewport[2] / window_width;
  const double sy = viewport[3] / window_height;
  glEnable(GL_SCISSOR_TEST);
  glScissor(static_cast<GLint>(std::lround(area.x * sx)),
            static_cast<GLint>(std::lround((window_height - area.y - area.height) * sy)),
            static_cast<GLsizei>(std::lround(area.width * sx)),
            static_cast<GLsizei>(std::lround(area.height * sy)));
}

void fill(double x0, double y0, double x1, double y1) {
  glBegin(GL_QUADS);
  glVertex2d(x0, y0);
  glVertex2d(x1, y0);
  glVertex2d(x1, y1);
  glVertex2d(x0, y1);
  glEnd();
}

void smooth_lines(int on) {
  if (on != 0) {
    glEnable(GL_LINE_SMOOTH);
    glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  } else {
    glDisable(GL_LINE_SMOOTH);
    glDisable(GL_BLEND);
  }
}

}  // namespace

void install_gl_antialiasing() { set_gl_antialiasing_handler(smooth_lines); }

FrameView::~FrameView() {
  if (texture_ != 0) glDeleteTextures(1, &texture_);
}

void FrameView::upload(const HostImage& frame) {
  if (texture_ == 0) glGenTextures(1, &texture_);
  glBindTexture(GL_TEXTURE_2D, texture_);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 2);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  // A 16-bit texture takes the samples as they are (no conversion on upload,
  // the cheaper path in software GL) and keeps them until the window's 8 bits.
  if (frame.width != width_ || frame.height != height_) {
    width_ = frame.width;
    height_ = frame.height;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA16, width_, height_, 0, GL_RGBA, GL_UNSIGNED_SHORT,
                 frame.samples.data());
  } else {
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_SHORT,
                    frame.samples.data());
  }
  glBindTexture(GL_TEXTURE_2D, 0);
}

void FrameView::draw_frame(const ViewGeometry& g, const WindowRect& area, double window_width,
                           double window_height) const {
  glDisable(GL_SCISSOR_TEST);
  glClearColor(0.16f, 0.16f, 0.17f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  set_window_projection(window_width, window_height);
  clip_to(area, window_width, window_height);
  glDisable(GL_BLEND);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_LIGHTING);

  // The strip below the frame where the node draws its side view of depth
  // (heights 0..1 of the frame map to 80 view pixels).
  const WindowRect frame = g.frame_rect();
  glColor4f(0.11f, 0.11f, 0.12f, 1.0f);
  fill(frame.x, g.window_y(g.frame_height), frame.x + frame.width,
       g.window_y(g.frame_height + 80.0));

  if (texture_ != 0) {
    // The frame's alpha is not shown: a viewer shows the colour channels.
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture_);
    const GLint filter = g.scale_x() >= 1.0 && g.scale >= 1.0 ? GL_NEAREST : GL_LINEAR;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2d(frame.x, frame.y);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2d(frame.x + frame.width, frame.y);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2d(frame.x + frame.width, frame.y + frame.height);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2d(frame.x, frame.y + frame.height);
    glEnd();
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_2D);
  }
  glDisable(GL_SCISSOR_TEST);
}

void FrameView::draw_overlay(FXNode& node, const ViewGeometry& g, const WindowRect& area,
                             double window_width, double window_height) {
  set_window_projection(window_width, window_height);
  clip_to(area, window_width, window_height);
  // The node sends view pixels less half the view size: move the origin to the
  // frame's centre and scale view pixels to window units.
  glTranslated(g.window_x(g.frame_width * 0.5), g.window_y(g.frame_height * 0.5), 0.0);
  glScaled(g.scale_x(), g.scale, 1.0);
  glDisable(GL_TEXTURE_2D);
  glLineWidth(1.0f);
  node.overlay_draw(nullptr);
  smooth_lines(0);  // whatever the node left switched on
  glLoadIdentity();
  glDisable(GL_SCISSOR_TEST);
}

}  // namespace brumel
