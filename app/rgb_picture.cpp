#include "app/rgb_picture.h"

#include <OpenImageIO/imageio.h>
#include <unistd.h>

#include <filesystem>

#include "app/app_error.h"

namespace fs = std::filesystem;

void write_rgb_picture(const RgbPicture& picture, const std::string& path) {
  auto output = OIIO::ImageOutput::create(path);
  if (!output) throw AppError("cannot write \"" + path + "\": " + OIIO::geterror());
  OIIO::ImageSpec spec(picture.width, picture.height, 3, OIIO::TypeDesc::UINT8);
  if (std::string(output->format_name()) == "openexr") spec.set_format(OIIO::TypeDesc::HALF);
  const fs::path final_path(path);
  const fs::path folder = final_path.has_parent_path() ? final_path.parent_path() : fs::path(".");
  const fs::path temp_path =
      folder / ("." + final_path.filename().string() + ".partial-" + std::to_string(getpid()));
  auto fail = [&](const std::string& why) {
    std::error_code ignored;
    fs::remove(temp_path, ignored);
    return AppError("cannot write \"" + path + "\": " + why);
  };
  if (!output->open(temp_path.string(), spec)) throw fail(output->geterror());
  if (!output->write_image(OIIO::TypeDesc::UINT8, picture.samples.data())) {
    output->close();
    throw fail(output->geterror());
  }
  if (!output->close()) throw fail(output->geterror());
  output.reset();
  std::error_code error;
  fs::rename(temp_path, final_path, error);
  if (error) throw fail(error.message());
}
