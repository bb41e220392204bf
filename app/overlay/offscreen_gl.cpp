#include "app/overlay/offscreen_gl.h"

#include <GL/osmesa.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "app/app_error.h"
#include "app/overlay/module_gl_calls.h"
#include "assim/services.h"

namespace brumel {

// Every call goes through OSMesa's own entry points, looked up by name: a
// plain glClear could bind to another GL library loaded in the process (the
// system's libGL, which draws nothing without a window of its own).
struct OffscreenGl::Functions {
  void (*clear_color)(GLclampf, GLclampf, GLclampf, GLclampf);
  void (*clear)(GLbitfield);
  void (*viewport)(GLint, GLint, GLsizei, GLsizei);
  void (*matrix_mode)(GLenum);
  void (*load_identity)();
  void (*ortho)(GLdouble, GLdouble, GLdouble, GLdouble, GLdouble, GLdouble);
  void (*window_pos_2i)(GLint, GLint);
  void (*pixel_store_i)(GLenum, GLint);
  void (*draw_pixels)(GLsizei, GLsizei, GLenum, GLenum, const GLvoid*);
  void (*read_pixels)(GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, GLvoid*);
  void (*enable)(GLenum);
  void (*disable)(GLenum);
  void (*blend_func)(GLenum, GLenum);
  void (*finish)();
  ModuleGlCalls module;
};

namespace {

const OffscreenGl::Functions* current = nullptr;
ModuleGlCalls routing_before;
GlAntialiasingHandler handler_before = nullptr;

template <class Fn>
void look_up(Fn& fn, const char* name) {
  fn = reinterpret_cast<Fn>(OSMesaGetProcAddress(name));
  if (fn == nullptr) {
    throw AppError(std::string("the offscreen OpenGL library (OSMesa) lacks ") + name);
  }
}

void look_up_all(OffscreenGl::Functions& gl) {
  look_up(gl.clear_color, "glClearColor");
  look_up(gl.clear, "glClear");
  look_up(gl.viewport, "glViewport");
  look_up(gl.matrix_mode, "glMatrixMode");
  look_up(gl.load_identity, "glLoadIdentity");
  look_up(gl.ortho, "glOrtho");
  look_up(gl.window_pos_2i, "glWindowPos2i");
  look_up(gl.pixel_store_i, "glPixelStorei");
  look_up(gl.draw_pixels, "glDrawPixels");
  look_up(gl.read_pixels, "glReadPixels");
  look_up(gl.enable, "glEnable");
  look_up(gl.disable, "glDisable");
  look_up(gl.blend_func, "glBlendFunc");
  look_up(gl.finish, "glFinish");
  const ModuleGlCalls& m = gl.module = module_gl_calls_from(OSMesaGetProcAddress);
  if (!m.color4f || !m.begin || !m.vertex2f || !m.end) {
    throw AppError("the offscreen OpenGL library (OSMesa) lacks immediate-mode drawing");
  }
}

// The host's gl_antialiasing: smooth, blended lines around each group of
// vertices the overlay sends.
void switch_antialiasing(int on) {
  if (current == nullptr) return;
  if (on != 0) {
    current->enable(GL_LINE_SMOOTH);
    current->enable(GL_BLEND);
    current->blend_func(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  } else {
    current->disable(GL_LINE_SMOOTH);
    current->disable(GL_BLEND);
  }
}

}  // namespace

#if defined(__SANITIZE_ADDRESS__)
// OSMesa never frees the few hundred bytes it allocates for each drawing
// buffer. Sanitizer builds tell their leak checker so, which keeps it
// reporting the application's own leaks.
extern "C" const char* __lsan_default_suppressions() { return "leak:libOSMesa.so\n"; }
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
#endif

OffscreenGl::OffscreenGl(int width, int height)
    : width_(width),
      height_(height),
      buffer_(static_cast<std::size_t>(width) * height * 4),
      gl_(std::make_unique<Functions>()) {
  if (current != nullptr) throw AppError("only one offscreen OpenGL context at a time");
  OSMesaContext context = OSMesaCreateContextExt(OSMESA_RGBA, 0, 0, 0, nullptr);
  if (context == nullptr) throw AppError("cannot create an offscreen OpenGL context (OSMesa)");
  if (!OSMesaMakeCurrent(context, buffer_.data(), GL_UNSIGNED_BYTE, width, height)) {
    OSMesaDestroyContext(context);
    throw AppError("cannot draw offscreen at " + std::to_string(width) + "x" +
                   std::to_string(height) + " pixels (OSMesa refused the buffer)");
  }
  try {
    look_up_all(*gl_);
  } catch (...) {
    OSMesaDestroyContext(context);
    throw;
  }
  context_ = context;
  current = gl_.get();
  routing_before = route_module_gl_calls(gl_->module);
  handler_before = set_gl_antialiasing_handler(switch_antialiasing);
  gl_->viewport(0, 0, width, height);
}

OffscreenGl::~OffscreenGl() {
  set_gl_antialiasing_handler(handler_before);
  route_module_gl_calls(routing_before);
  current = nullptr;
  OSMesaMakeCurrent(nullptr, nullptr, GL_UNSIGNED_BYTE, 0, 0);
  OSMesaDestroyContext(static_cast<OSMesaContext>(context_));
}

void OffscreenGl::draw_background(const HostImage& frame, float grey) {
  gl_->disable(GL_BLEND);
  gl_->clear_color(grey, grey, grey, 1.0f);
  gl_->clear(GL_COLOR_BUFFER_BIT);
  const int w = std::min(frame.width, width_);
  const int h = std::min(frame.height, height_);
  if (w <= 0 || h <= 0) return;
  // OpenGL counts rows from the bottom: hand the frame over bottom row first.
  const std::size_t row = static_cast<std::size_t>(frame.width) * 4;
  std::vector<std::uint16_t> rows_up(row * h);
  for (int y = 0; y < h; ++y) {
    std::memcpy(&rows_up[row * (h - 1 - y)], &frame.samples[row * y], row * sizeof(std::uint16_t));
  }
  gl_->pixel_store_i(GL_UNPACK_ALIGNMENT, 2);
  gl_->pixel_store_i(GL_UNPACK_ROW_LENGTH, frame.width);
  gl_->window_pos_2i(0, height_ - h);
  gl_->draw_pixels(w, h, GL_RGBA, GL_UNSIGNED_SHORT, rows_up.data());
  gl_->pixel_store_i(GL_UNPACK_ROW_LENGTH, 0);
}

void OffscreenGl::set_view_projection(int view_width, int view_height) {
  // Window x = vertex x + view_width/2 + 1/2 (a pixel's centre); window y runs
  // up from the bottom of the buffer, image rows down from its top.
  const double left = -0.5 * view_width - 0.5;
  const double top = -0.5 * view_height - 0.5;
  gl_->matrix_mode(GL_PROJECTION);
  gl_->load_identity();
  gl_->ortho(left, left + width_, top + height_, top, -1.0, 1.0);
  gl_->matrix_mode(GL_MODELVIEW);
  gl_->load_identity();
}

RgbPicture OffscreenGl::read_picture() {
  gl_->finish();
  std::vector<std::uint8_t> rows_up(static_cast<std::size_t>(width_) * height_ * 3);
  gl_->pixel_store_i(GL_PACK_ALIGNMENT, 1);
  gl_->read_pixels(0, 0, width_, height_, GL_RGB, GL_UNSIGNED_BYTE, rows_up.data());
  RgbPicture picture{width_, height_, std::vector<std::uint8_t>(rows_up.size())};
  const std::size_t row = static_cast<std::size_t>(width_) * 3;
  for (int y = 0; y < height_; ++y) {
    std::memcpy(&picture.samples[row * y], &rows_up[row * (height_ - 1 - y)], row);
  }
  return picture;
}

}  // namespace brumel
