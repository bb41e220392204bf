#include "app/images/frame_file.h"

#include <cstddef>
#include <cstdint>
#include <numeric>
#include <vector>

#include "app/app_error.h"
#include "app/images/image_io.h"
#include "app/images/png_file.h"

namespace brumel {

using OIIO::ImageSpec;

namespace {

// OpenImageIO's own conversion of every 16-bit sample to half (its bits), made once:
// a lookup gives the very values its writer would convert, at a fraction of the cost.
const std::vector<std::uint16_t>& half_of_uint16() {
  static const std::vector<std::uint16_t> table = [] {
    std::vector<std::uint16_t> all(65536);
    std::iota(all.begin(), all.end(), std::uint16_t{0});
    std::vector<std::uint16_t> half(all.size());
    OIIO::convert_pixel_values(OIIO::TypeDesc::UINT16, all.data(), OIIO::TypeDesc::HALF, half.data(),
                               static_cast<int>(all.size()));
    return half;
  }();
  return table;
}

}  // namespace

std::unique_ptr<PendingFile> encode_frame(const OIIO::ImageBuf& frame, const std::string& path,
                                          const OutputOptions& options, const FrameStamp& stamp) {
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
  if (encoding.png_level != 0) spec.attribute("png:compressionLevel", encoding.png_level);
  add_frame_metadata(spec, from, stamp, format);

  // The writer takes the first three channels where it holds no alpha.
  OIIO::TypeDesc type = from.format;
  OIIO::stride_t pixel_bytes = static_cast<OIIO::stride_t>(from.pixel_bytes());
  const void* pixels = frame.localpixels();
  std::vector<std::byte> copy;
  if (pixels == nullptr || frame.scanline_stride() != pixel_bytes * from.width) {
    copy.resize(from.image_bytes());
    if (!frame.get_pixels(frame.roi(), from.format, copy.data())) {
      throw AppError("cannot write \"" + path + "\": " + frame.geterror());
    }
    pixels = copy.data();
  }
  std::vector<std::uint16_t> halves;
  if (type == OIIO::TypeDesc::UINT16 && encoding.type == OIIO::TypeDesc::HALF) {
    const std::vector<std::uint16_t>& table = half_of_uint16();
    const auto* samples = static_cast<const std::uint16_t*>(pixels);
    halves.resize(from.image_pixels() * 4);
    for (std::size_t i = 0; i < halves.size(); ++i) halves[i] = table[samples[i]];
    type = OIIO::TypeDesc::HALF;
    pixel_bytes = 4 * sizeof(std::uint16_t);
    pixels = halves.data();
  }
  if (format == "png") {
    if (auto file = encode_png_file(spec, type, pixels, path)) return file;
  }
  return encode_image_file(std::move(output), spec, type, pixels, pixel_bytes, path);
}

void write_frame(const OIIO::ImageBuf& frame, const std::string& path, const OutputOptions& options,
                 const FrameStamp& stamp) {
  encode_frame(frame, path, options, stamp)->commit();
}

OIIO::ImageBuf host_frame(const HostImage& image) {
  ImageSpec spec(image.width, image.height, 4, OIIO::TypeDesc::UINT16);
  spec.attribute("oiio:UnassociatedAlpha", 1);
  return OIIO::ImageBuf(spec, const_cast<std::uint16_t*>(image.samples.data()));
}

void write_host_image(const HostImage& image, const std::string& path) {
  write_frame(host_frame(image), path, OutputOptions{}, FrameStamp{});
}

}  // namespace brumel
