#include "app/images/frame_file.h"

#include <cstddef>
#include <vector>

#include "app/app_error.h"
#include "app/images/image_io.h"

using OIIO::ImageSpec;

void write_frame(const OIIO::ImageBuf& frame, const std::string& path, const OutputOptions& options,
                 const FrameStamp& stamp) {
  auto output = OIIO::ImageOutput::create(path);
  if (!output) {
    OIIO::geterror();  // prepare_output has named the format already
    throw AppError("cannot write \"" + path + "\": not a format that can be written");
  }
  const ImageSpec& from = frame.spec();
  if (from.nchannels != 4) {
    throw AppError("cannot write \"" + path + "\": the frame has " +
                   std::to_string(from.nchannels) + " channels, not RGBA");
  }
  const std::string format = output->format_name();
  const OutputEncoding encoding = output_encoding(options, format);
  const bool alpha = output->supports("alpha");
  ImageSpec spec(from.width, from.height, alpha ? 4 : 3, encoding.type);
  if (format == "openexr") {
    spec.x = from.x;
    spec.y = from.y;
    spec.full_x = from.full_x;
    spec.full_y = from.full_y;
    spec.full_width = from.full_width;
    spec.full_height = from.full_height;
  }
  if (alpha) {
    spec.alpha_channel = 3;
    // Straight alpha is written as it is; premultiplied colour (an element) is
    // divided out by writers of straight-alpha formats (PNG).
    if (from.get_int_attribute("oiio:UnassociatedAlpha") != 0) {
      spec.attribute("oiio:UnassociatedAlpha", 1);
    }
  }
  if (!encoding.compression.empty()) spec.attribute("compression", encoding.compression);
  add_frame_metadata(spec, from, stamp, format);

  // The writer takes the first three channels where it holds no alpha.
  const OIIO::stride_t pixel_bytes = static_cast<OIIO::stride_t>(from.pixel_bytes());
  const void* pixels = frame.localpixels();
  std::vector<std::byte> copy;
  if (pixels == nullptr || frame.scanline_stride() != pixel_bytes * from.width) {
    copy.resize(from.image_bytes());
    if (!frame.get_pixels(frame.roi(), from.format, copy.data())) {
      throw AppError("cannot write \"" + path + "\": " + frame.geterror());
    }
    pixels = copy.data();
  }
  write_image_file(std::move(output), spec, from.format, pixels, pixel_bytes, path);
}

OIIO::ImageBuf host_frame(const HostImage& image) {
  ImageSpec spec(image.width, image.height, 4, OIIO::TypeDesc::UINT16);
  spec.attribute("oiio:UnassociatedAlpha", 1);
  return OIIO::ImageBuf(spec, const_cast<std::uint16_t*>(image.samples.data()));
}

void write_host_image(const HostImage& image, const std::string& path) {
  write_frame(host_frame(image), path, OutputOptions{}, FrameStamp{});
}
