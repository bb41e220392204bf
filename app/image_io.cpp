#include "app/image_io.h"

#include <OpenImageIO/imageio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "app/app_error.h"

namespace fs = std::filesystem;
using OIIO::ImageInput;
using OIIO::ImageOutput;
using OIIO::ImageSpec;
using OIIO::TypeDesc;

namespace {

// Samples as stored: without this OpenImageIO premultiplies formats with
// unassociated alpha (PNG) on reading and divides on writing.
ImageSpec straight_alpha_config() {
  ImageSpec config;
  config.attribute("oiio:UnassociatedAlpha", 1);
  return config;
}

std::string oiio_message(const std::string& fallback) {
  std::string text = OIIO::geterror();
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text.empty() ? fallback : text;
}

std::unique_ptr<ImageInput> open_input(const std::string& path) {
  std::error_code error;
  if (!fs::exists(path, error)) throw AppError("input image \"" + path + "\" does not exist");
  if (fs::is_directory(path, error)) throw AppError("input image \"" + path + "\" is a folder");
  const ImageSpec config = straight_alpha_config();
  auto input = ImageInput::open(path, &config);
  if (!input) {
    throw AppError("cannot read input image \"" + path +
                   "\": " + oiio_message("not an image format that can be read"));
  }
  return input;
}

// The temporary file being written, for the signal handler: a fixed buffer,
// since a handler may only call async-signal-safe functions.
char partial_path[4096];
volatile std::sig_atomic_t partial_pending = 0;

void remove_partial_and_end(int signal_number) {
  if (partial_pending != 0) unlink(partial_path);
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}

// Marks `path` as the file to remove on an interrupt; an empty path clears it.
void set_partial(const std::string& path) {
  partial_pending = 0;
  if (path.empty() || path.size() >= sizeof partial_path) return;
  std::memcpy(partial_path, path.c_str(), path.size() + 1);
  partial_pending = 1;
}

fs::path folder_of(const std::string& path) {
  const fs::path parent = fs::path(path).parent_path();
  return parent.empty() ? fs::path(".") : parent;
}

}  // namespace

ImageSize read_image_size(const std::string& path) {
  auto input = open_input(path);
  const ImageSpec& spec = input->spec();
  return ImageSize{spec.width, spec.height};
}

HostImage read_host_image(const std::string& path) {
  auto input = open_input(path);
  const ImageSpec spec = input->spec();
  const int channels = std::min(spec.nchannels, 4);
  if (spec.width < 1 || spec.height < 1 || channels < 1) {
    throw AppError("input image \"" + path + "\" has no pixels");
  }
  std::vector<std::uint16_t> read(static_cast<std::size_t>(spec.width) * spec.height * channels);
  if (!input->read_image(0, 0, 0, channels, TypeDesc::UINT16, read.data())) {
    throw AppError("cannot read input image \"" + path + "\": " + input->geterror());
  }
  HostImage image(spec.width, spec.height);
  const std::size_t pixels = static_cast<std::size_t>(spec.width) * spec.height;
  for (std::size_t i = 0; i < pixels; ++i) {
    const std::uint16_t* s = &read[i * channels];
    std::uint16_t* d = &image.samples[i * 4];
    switch (channels) {
      case 1:
        d[0] = d[1] = d[2] = s[0];
        d[3] = 65535;
        break;
      case 2:
        d[0] = d[1] = d[2] = s[0];
        d[3] = s[1];
        break;
      case 3:
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
        d[3] = 65535;
        break;
      default:
        std::copy(s, s + 4, d);
        break;
    }
  }
  return image;
}

void prepare_output(const std::string& path) {
  if (!ImageOutput::create(path)) {
    throw AppError("cannot write \"" + path +
                   "\": " + oiio_message("the file name's extension is not an image format") +
                   " (use .exr, .png, .tif, .dpx or .jpg)");
  }
  const fs::path folder = folder_of(path);
  std::error_code error;
  fs::create_directories(folder, error);
  if (error || !fs::is_directory(folder)) {
    throw AppError("cannot create output folder \"" + folder.string() +
                   "\": " + (error ? error.message() : "a file of that name is in the way"));
  }
  // Only a real file tells: permissions, read-only mounts and full disks all
  // show up here, also for a user (root) whom access() would let through.
  std::string probe = (folder / ".brumel-write-test-XXXXXX").string();
  const int fd = mkstemp(probe.data());
  if (fd < 0) {
    throw AppError("output folder \"" + folder.string() +
                   "\" is not writable: " + std::strerror(errno));
  }
  close(fd);
  fs::remove(probe, error);
}

void write_host_image(const HostImage& image, const std::string& path) {
  auto output = ImageOutput::create(path);
  if (!output) throw AppError("cannot write \"" + path + "\": " + oiio_message("unknown format"));
  const bool alpha = output->supports("alpha");
  ImageSpec spec(image.width, image.height, alpha ? 4 : 3, TypeDesc::UINT16);
  // EXR holds no 16-bit integers; its 16-bit samples are half floats.
  if (std::string(output->format_name()) == "openexr") spec.set_format(TypeDesc::HALF);
  if (alpha) {
    spec.alpha_channel = 3;
    spec.attribute("oiio:UnassociatedAlpha", 1);
  }
  write_image_file(std::move(output), spec, TypeDesc::UINT16, image.samples.data(),
                   4 * sizeof(std::uint16_t), path);
}

void write_image_file(std::unique_ptr<ImageOutput> output, const ImageSpec& spec, TypeDesc type,
                      const void* pixels, OIIO::stride_t pixel_stride, const std::string& path) {
  const fs::path final_path(path);
  const fs::path temp_path = folder_of(path) / ("." + final_path.filename().string() + ".partial-" +
                                                std::to_string(getpid()));
  auto fail = [&](const std::string& why) {
    set_partial("");
    std::error_code ignored;
    fs::remove(temp_path, ignored);
    return AppError("cannot write \"" + path + "\": " + why);
  };
  set_partial(temp_path.string());
  if (!output->open(temp_path.string(), spec)) throw fail(output->geterror());
  if (!output->write_image(type, pixels, pixel_stride)) {
    output->close();
    throw fail(output->geterror());
  }
  if (!output->close()) throw fail(output->geterror());
  output.reset();
  std::error_code error;
  fs::rename(temp_path, final_path, error);
  if (error) throw fail(error.message());
  set_partial("");
}

void remove_partial_file_on_interrupt() {
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    std::signal(signal_number, remove_partial_and_end);
  }
}
