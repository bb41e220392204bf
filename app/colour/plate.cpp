#include "app/colour/plate.h"

#include <algorithm>
#include <cmath>

#include <OpenImageIO/imagebufalgo.h>

#include "app/app_error.h"
#include "app/images/image_io.h"

namespace brumel {

namespace {

std::uint16_t to_sample(float v) {
  if (!(v > 0.0f)) return 0;
  if (v >= 1.0f) return 65535;
  return static_cast<std::uint16_t>(std::lround(v * 65535.0f));
}

}  // namespace

bool read_directly(const OIIO::ImageSpec& spec, const std::string& space,
                   const ColourSpaces& colours) {
  return !spec.format.is_floating_point() && colours.same(space, colours.node_space()) &&
         spec.x == spec.full_x && spec.y == spec.full_y &&
         display_size(spec) == ImageSize{spec.width, spec.height};
}

Plate read_plate(const std::string& path, const ColourSpaces& colours,
                 const std::string& given_space) {
  Plate plate;
  plate.spec = read_image_spec(path);
  plate.colour_space = colours.of_plate(plate.spec, given_space);
  // Readers of straight-alpha formats say so (the application asks for samples as stored).
  plate.premultiplied = plate.spec.get_int_attribute("oiio:UnassociatedAlpha", 0) == 0 &&
                        plate.spec.alpha_channel >= 0;
  if (read_directly(plate.spec, plate.colour_space, colours)) {
    plate.node_input = read_host_image(path);
    return plate;
  }
  plate.pixels = read_float_image(path);
  const OIIO::ImageBuf display = OIIO::ImageBufAlgo::colorconvert(
      plate.pixels, plate.colour_space, colours.node_space(), plate.premultiplied, "", "",
      &colours.config());
  if (display.has_error()) {
    throw AppError("cannot convert input image \"" + path + "\" from " + plate.colour_space +
                   " to " + colours.node_space() + ": " + display.geterror());
  }
  HostImage data(plate.spec.width, plate.spec.height);
  const float* from = static_cast<const float*>(display.localpixels());
  std::transform(from, from + data.samples.size(), data.samples.begin(), to_sample);
  plate.node_input = on_display_window(plate.spec, std::move(data));
  return plate;
}

Plate frame_plate(HostImage image) {
  Plate plate;
  plate.spec = OIIO::ImageSpec(image.width, image.height, 4, OIIO::TypeDesc::UINT16);
  plate.node_input = std::move(image);
  return plate;
}

}  // namespace brumel
