#include "app/colour/plate.h"

#include <algorithm>
#include <cmath>

#include <OpenImageIO/imagebufalgo.h>

#include "app/app_error.h"
#include "app/images/image_io.h"

namespace {

std::uint16_t to_sample(float v) {
  if (!(v > 0.0f)) return 0;
  if (v >= 1.0f) return 65535;
  return static_cast<std::uint16_t>(std::lround(v * 65535.0f));
}

}  // namespace

bool read_directly(const OIIO::ImageSpec& spec, const std::string& space,
                   const ColourSpaces& colours) {
  return !spec.format.is_floating_point() && colours.same(space, ColourSpaces::kNodeSpace) &&
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
      plate.pixels, plate.colour_space, ColourSpaces::kNodeSpace, plate.premultiplied, "", "",
      &colours.config());
  if (display.has_error()) {
    throw AppError("cannot convert input image \"" + path + "\" from " + plate.colour_space +
                   " to " + ColourSpaces::kNodeSpace + ": " + display.geterror());
  }
  const OIIO::ImageSpec& s = plate.spec;
  const ImageSize size = display_size(s);
  plate.node_input = HostImage(size.width, size.height);
  const float* data = static_cast<const float*>(display.localpixels());
  for (int y = 0; y < size.height; ++y) {
    const int sy = s.full_y + y - s.y;
    if (sy < 0 || sy >= s.height) continue;
    for (int x = 0; x < size.width; ++x) {
      const int sx = s.full_x + x - s.x;
      if (sx < 0 || sx >= s.width) continue;
      const float* from = data + (static_cast<std::size_t>(sy) * s.width + sx) * 4;
      std::uint16_t* to = &plate.node_input.samples[(static_cast<std::size_t>(y) * size.width + x) * 4];
      for (int c = 0; c < 4; ++c) to[c] = to_sample(from[c]);
    }
  }
  return plate;
}

Plate frame_plate(HostImage image) {
  Plate plate;
  plate.spec = OIIO::ImageSpec(image.width, image.height, 4, OIIO::TypeDesc::UINT16);
  plate.colour_space = ColourSpaces::kNodeSpace;
  plate.node_input = std::move(image);
  return plate;
}
