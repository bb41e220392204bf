#include "app/colour/frame_compositing.h"

#include <OpenImageIO/imagebufalgo.h>

#include <algorithm>
#include <cstdint>

#include "app/app_error.h"
#include "app/images/image_io.h"

namespace {

using OIIO::ImageBuf;
using OIIO::ImageSpec;
using OIIO::TypeDesc;

ImageBuf converted(const ImageBuf& image, const std::string& from, const std::string& to,
                   bool premultiplied, const ColourSpaces& colours) {
  if (colours.same(from, to)) return image;
  ImageBuf out = OIIO::ImageBufAlgo::colorconvert(image, from, to, premultiplied, "", "",
                                                  &colours.config());
  if (out.has_error()) {
    throw AppError("cannot convert a frame from " + from + " to " + to + ": " + out.geterror());
  }
  return out;
}

// The plate's header with `format` and four channels, its windows and metadata kept.
ImageSpec frame_spec(const Plate& plate, TypeDesc format) {
  ImageSpec spec = plate.spec;
  spec.nchannels = 4;
  spec.channelnames = {"R", "G", "B", "A"};
  spec.alpha_channel = 3;
  spec.z_channel = -1;
  spec.set_format(format);
  spec.channelformats.clear();
  return spec;
}

// The node's 16-bit frame as a buffer over the display window of `spec`, which takes
// the frame's size: the node resamples a plate of another size to the shot's.
ImageBuf node_frame(const HostImage& image, ImageSpec spec) {
  spec.x = spec.full_x;
  spec.y = spec.full_y;
  spec.width = spec.full_width = image.width;
  spec.height = spec.full_height = image.height;
  ImageBuf buf(spec, OIIO::InitializePixels::No);
  // Samples of the buffer's own type and layout: a plain copy (set_pixels walks an
  // iterator a pixel at a time, several times slower on a large frame).
  std::copy(image.samples.begin(), image.samples.end(), static_cast<std::uint16_t*>(buf.localpixels()));
  return buf;
}

ImageBuf composite_over_managed(const HostImage& element, const Plate& plate,
                                const std::string& output_space, const ColourSpaces& colours) {
  const ImageSpec& s = plate.spec;
  const ImageSize display = display_size(s);
  // The shot's setup refuses such a plate before the first frame; never read past the element.
  if (display != ImageSize{element.width, element.height}) {
    throw AppError("a colour-managed plate of " + size_text(display) +
                   " cannot be composited over a frame of " +
                   size_text({element.width, element.height}));
  }
  const std::size_t pixels = static_cast<std::size_t>(display.width) * display.height;
  // In the node's space, over the display window: the element over what the node saw of
  // the plate, and what the node saw alone.
  std::vector<float> over(pixels * 4), seen(pixels * 4);
  for (std::size_t i = 0; i < pixels * 4; i += 4) {
    const float coverage = element.samples[i + 3] / 65535.0f;
    for (int c = 0; c < 4; ++c) seen[i + c] = plate.node_input.samples[i + c] / 65535.0f;
    for (int c = 0; c < 3; ++c) {
      over[i + c] = element.samples[i + c] / 65535.0f + seen[i + c] * (1.0f - coverage);
    }
    over[i + 3] = seen[i + 3];  // the plate's alpha, as the node's composite keeps it
  }
  ImageSpec display_spec = frame_spec(plate, TypeDesc::FLOAT);
  display_spec.x = s.full_x;
  display_spec.y = s.full_y;
  display_spec.width = display.width;
  display_spec.height = display.height;
  const ImageBuf over_buf(display_spec, over.data());
  const ImageBuf seen_buf(display_spec, seen.data());
  const ImageBuf over_out =
      converted(over_buf, ColourSpaces::kNodeSpace, output_space, plate.premultiplied, colours);
  const ImageBuf seen_out =
      converted(seen_buf, ColourSpaces::kNodeSpace, output_space, plate.premultiplied, colours);
  ImageBuf out = converted(plate.pixels, plate.colour_space, output_space, plate.premultiplied, colours);
  // A copy of its own: the plate's pixels stay as read.
  out = out.copy(TypeDesc::FLOAT);
  float* o = static_cast<float*>(out.localpixels());
  const float* ov = static_cast<const float*>(over_out.localpixels());
  const float* se = static_cast<const float*>(seen_out.localpixels());
  for (int y = 0; y < display.height; ++y) {
    const int sy = s.full_y + y - s.y;
    if (sy < 0 || sy >= s.height) continue;
    for (int x = 0; x < display.width; ++x) {
      const int sx = s.full_x + x - s.x;
      if (sx < 0 || sx >= s.width) continue;
      const std::size_t d = (static_cast<std::size_t>(y) * display.width + x) * 4;
      const std::uint16_t coverage = element.samples[d + 3];
      if (coverage == 0) continue;  // the plate, exactly
      const float keep = 1.0f - coverage / 65535.0f;
      float* p = o + (static_cast<std::size_t>(sy) * s.width + sx) * 4;
      for (int c = 0; c < 3; ++c) p[c] = ov[d + c] + (p[c] - se[d + c]) * keep;
    }
  }
  out.specmod().attribute("oiio:ColorSpace", output_space);
  return out;
}

}  // namespace

ImageBuf output_frame(const HostImage& node_output, const Plate& plate, bool element,
                      const std::string& output_space, const ColourSpaces& colours) {
  if (plate.managed() && !element) {
    return composite_over_managed(node_output, plate, output_space, colours);
  }
  ImageSpec spec = frame_spec(plate, TypeDesc::UINT16);
  // The composite keeps straight alpha as the plate's samples were; the element's
  // colour is premultiplied.
  if (element) {
    spec.erase_attribute("oiio:UnassociatedAlpha");
  } else {
    spec.attribute("oiio:UnassociatedAlpha", 1);
  }
  spec.attribute("oiio:ColorSpace", output_space);
  ImageBuf out = node_frame(node_output, spec);
  if (!colours.same(ColourSpaces::kNodeSpace, output_space)) {
    out = converted(out.copy(TypeDesc::FLOAT), ColourSpaces::kNodeSpace, output_space,
                    element || plate.premultiplied, colours);
    out.specmod().attribute("oiio:ColorSpace", output_space);
  }
  return out;
}
