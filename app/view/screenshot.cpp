#include "app/view/screenshot.h"

#include <GL/gl.h>
#include <OpenImageIO/imageio.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "app/app_error.h"
#include "app/images/image_io.h"

namespace brumel {

void write_screenshot(const std::string& path) {
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  const int width = viewport[2];
  const int height = viewport[3];
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());

  // OpenGL's rows run bottom up; files hold them top down.
  std::vector<std::uint8_t> top_down(pixels.size());
  const std::size_t row = static_cast<std::size_t>(width) * 3;
  for (int y = 0; y < height; ++y) {
    std::copy_n(pixels.data() + static_cast<std::size_t>(height - 1 - y) * row, row,
                top_down.data() + static_cast<std::size_t>(y) * row);
  }
  try {
    prepare_output(path);
    write_image_file(OIIO::ImageOutput::create(path),
                     OIIO::ImageSpec(width, height, 3, OIIO::TypeDesc::UINT8),
                     OIIO::TypeDesc::UINT8, top_down.data(), OIIO::AutoStride, path);
  } catch (const AppError& e) {
    throw AppError(std::string("screenshot: ") + e.what());
  }
}

}  // namespace brumel
