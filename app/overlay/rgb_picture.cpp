#include "app/overlay/rgb_picture.h"

#include <OpenImageIO/imageio.h>

#include "app/app_error.h"
#include "app/images/image_io.h"

namespace brumel {

void write_rgb_picture(const RgbPicture& picture, const std::string& path) {
  auto output = OIIO::ImageOutput::create(path);
  if (!output) throw AppError("cannot write \"" + path + "\": " + OIIO::geterror());
  OIIO::ImageSpec spec(picture.width, picture.height, 3, OIIO::TypeDesc::UINT8);
  if (std::string(output->format_name()) == "openexr") spec.set_format(OIIO::TypeDesc::HALF);
  write_image_file(std::move(output), spec, OIIO::TypeDesc::UINT8, picture.samples.data(),
                   OIIO::AutoStride, path);
}

}  // namespace brumel
