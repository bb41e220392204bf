// The host image import: any bytes as an image file of a format the first byte
// picks, read as --input reads it (header, limits, then 16-bit RGBA pixels).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/app_error.h"
#include "app/image_io.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const char* const kFormats[] = {"png", "jpg", "tif", "exr", "dpx", "bmp",
                                         "tga", "ppm", "hdr", "gif", "webp", "sgi"};
  if (size < 1) return 0;
  const std::string path = "/tmp/brumel_image_fuzz_" + std::to_string(getpid()) + "." +
                           kFormats[data[0] % (sizeof kFormats / sizeof *kFormats)];
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  std::fwrite(data + 1, 1, size - 1, file);
  std::fclose(file);
  try {
    const ImageSize header = read_image_size(path);
    const HostImage image = read_host_image(path);
    if (image.width != header.width || image.height != header.height ||
        image.samples.size() != static_cast<std::size_t>(image.width) * image.height * 4) {
      std::abort();
    }
  } catch (const AppError&) {
  }
  std::remove(path.c_str());
  return 0;
}
