#include "app/view/screenshot.h"

#include <GL/gl.h>
#include <OpenImageIO/imageio.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <vector>

#include "app/app_error.h"

namespace fs = std::filesystem;

void write_screenshot(const std::string& path) {
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  const int width = viewport[2];
  const int height = viewport[3];
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());

  auto fail = [&](const std::string& why) {
    return AppError("screenshot \"" + path + "\": " + why);
  };
  auto output = OIIO::ImageOutput::create(path);
  if (!output) throw fail("the file name's extension is not an image format");
  const fs::path final_path(path);
  fs::path folder = final_path.parent_path();
  if (folder.empty()) folder = ".";
  std::error_code error;
  fs::create_directories(folder, error);
  const fs::path temp_path =
      folder / ("." + final_path.filename().string() + ".partial-" + std::to_string(getpid()));

  const OIIO::ImageSpec spec(width, height, 3, OIIO::TypeDesc::UINT8);
  // OpenGL's rows run bottom up; write them top down.
  const OIIO::stride_t row = static_cast<OIIO::stride_t>(width) * 3;
  const std::uint8_t* top_row = pixels.data() + static_cast<std::size_t>(height - 1) * row;
  const bool written = output->open(temp_path.string(), spec) &&
                       output->write_image(OIIO::TypeDesc::UINT8, top_row, 3, -row) &&
                       output->close();
  if (!written) {
    const std::string why = output->geterror();
    fs::remove(temp_path, error);
    throw fail(why);
  }
  output.reset();
  fs::rename(temp_path, final_path, error);
  if (error) {
    fs::remove(temp_path, error);
    throw fail(error.message());
  }
}
