// The host image import: any bytes as an image file of a format the first byte
// picks, read as --input reads it (header, limits, then 16-bit RGBA pixels over the
// display window).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <OpenImageIO/imageio.h>

#include "app/app_error.h"
#include "app/images/image_io.h"
#include "app/images/library_messages.h"

using namespace brumel;  // the harness drives the application's own functions

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // One thread: a pool started per image would cost more than the reading.
  OIIO::attribute("threads", 1);
  OIIO::attribute("exr_threads", 1);
  // The format the first byte picks, not every reader in turn: most of the time
  // went to readers that refuse at once.
  OIIO::attribute("try_all_readers", 0);
  // A crash inside a reader must reach the log: library messages are not caught here.
  catch_library_messages(false);
  return 0;
}

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
    const OIIO::ImageSpec spec = read_image_spec(path);
    const ImageSize header = read_image_size(path);
    // Pixels of headers near the limits cost up to a gigabyte each, past the
    // fuzzer's memory limit; the app tests cover the limits themselves.
    if (std::int64_t{header.width} * header.height > (1 << 16) ||
        std::int64_t{spec.width} * spec.height > (1 << 16)) {
      return 0;
    }
    const HostImage image = read_host_image(path);
    if (image.width != header.width || image.height != header.height ||
        image.samples.size() != static_cast<std::size_t>(image.width) * image.height * 4) {
      std::abort();
    }
  } catch (const AppError&) {
  }
  return 0;
}
