#include "app/colour/frame_compositing.h"

#include <OpenImageIO/imagebufalgo.h>

#include <algorithm>
#include <cstdint>

#include "app/app_error.h"
#include "app/images/image_io.h"

namespace brumel {

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

// The node's 16-bit frame (straight colour) in `to`, float: each sample through the
// conversion's table when it has one (the very values converting the frame gives),
// else the frame converted as a whole.
ImageBuf straight_frame_in(const ImageBuf& frame, const std::string& to, const ColourSpaces& colours) {
  const std::shared_ptr<const std::vector<float>> table = colours.sample_table(colours.node_space(), to);
  if (!table) return converted(frame.copy(TypeDesc::FLOAT), colours.node_space(), to, false, colours);
  ImageSpec spec = frame.spec();
  spec.set_format(TypeDesc::FLOAT);
  ImageBuf out(spec, OIIO::InitializePixels::No);
  const auto* in = static_cast<const std::uint16_t*>(frame.localpixels());
  auto* values = static_cast<float*>(out.localpixels());
  const std::size_t count = spec.image_pixels() * 4;
  for (std::size_t i = 0; i < count; ++i) values[i] = (*table)[std::size_t{in[i]} * 4 + i % 4];
  return out;
}

// The node's element (UINT16, premultiplied, in the node's space) in `space`, float:
// colour divided by alpha, converted and multiplied again, alpha as drawn.
ImageBuf premultiplied_in(const ImageBuf& element, const std::string& space,
                          const ColourSpaces& colours) {
  ImageBuf out = converted(element.copy(TypeDesc::FLOAT), colours.node_space(), space, true, colours);
  // A configuration's curve need not take 0 to 0: where nothing covers, nothing is.
  auto* p = static_cast<float*>(out.localpixels());
  for (const float* end = p + out.spec().image_pixels() * 4; p != end; p += 4) {
    if (p[3] == 0.0f) p[0] = p[1] = p[2] = 0.0f;
  }
  return out;
}

// Calls `covered(d, p)` for each pixel of the display window inside the plate's data
// window that the cloud covers: d its index in the element, p its index in the plate
// (of RGBA samples, 4 a pixel).
template <typename Covered>
void for_each_covered(const HostImage& element, const ImageSpec& s, Covered covered) {
  for (int y = 0; y < element.height; ++y) {
    const int sy = s.full_y + y - s.y;
    if (sy < 0 || sy >= s.height) continue;
    for (int x = 0; x < element.width; ++x) {
      const int sx = s.full_x + x - s.x;
      if (sx < 0 || sx >= s.width) continue;
      const std::size_t d = (static_cast<std::size_t>(y) * element.width + x) * 4;
      if (element.samples[d + 3] == 0) continue;  // the plate, exactly
      covered(d, (static_cast<std::size_t>(sy) * s.width + sx) * 4);
    }
  }
}

// "over" of a premultiplied cloud pixel over a plate pixel whose colour is stored
// premultiplied or straight; the result stored as the plate's is. The cloud covers the
// pixel, so the result's alpha is above 0.
void over_pixel(const float* cloud, const float* plate, bool premultiplied, float* out) {
  const float keep = 1.0f - cloud[3];
  const float alpha = cloud[3] + plate[3] * keep;
  for (int c = 0; c < 3; ++c) {
    const float under = premultiplied ? plate[c] : plate[c] * plate[3];
    out[c] = cloud[c] + under * keep;
    if (!premultiplied) out[c] /= alpha;
  }
  out[3] = alpha;
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
  // In scene-linear: the element over the plate, where the cloud covers it.
  const std::string& linear = colours.scene_linear();
  const ImageBuf cloud =
      premultiplied_in(node_frame(element, frame_spec(plate, TypeDesc::UINT16)), linear, colours);
  const ImageBuf under = converted(plate.pixels, plate.colour_space, linear, plate.premultiplied, colours);
  std::vector<float> over(static_cast<std::size_t>(display.width) * display.height * 4, 0.0f);
  const float* e = static_cast<const float*>(cloud.localpixels());
  const float* u = static_cast<const float*>(under.localpixels());
  for_each_covered(element, s, [&](std::size_t d, std::size_t p) {
    over_pixel(e + d, u + p, plate.premultiplied, over.data() + d);
  });
  const ImageBuf over_out = converted(ImageBuf(cloud.spec(), over.data()), linear, output_space,
                                      plate.premultiplied, colours);
  // Elsewhere the plate as converted to the output space; a copy of its own: the
  // plate's pixels stay as read.
  ImageBuf out = converted(plate.pixels, plate.colour_space, output_space, plate.premultiplied, colours)
                     .copy(TypeDesc::FLOAT);
  float* o = static_cast<float*>(out.localpixels());
  const float* ov = static_cast<const float*>(over_out.localpixels());
  for_each_covered(element, s, [&](std::size_t d, std::size_t p) { std::copy(ov + d, ov + d + 4, o + p); });
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
  if (!colours.same(colours.node_space(), output_space)) {
    if (element) {
      out = premultiplied_in(out, output_space, colours);
    } else if (plate.premultiplied) {
      out = converted(out.copy(TypeDesc::FLOAT), colours.node_space(), output_space, true, colours);
    } else {
      out = straight_frame_in(out, output_space, colours);
    }
    out.specmod().attribute("oiio:ColorSpace", output_space);
  }
  return out;
}

}  // namespace brumel
