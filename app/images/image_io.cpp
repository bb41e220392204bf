#include "app/images/image_io.h"

#include <OpenImageIO/imageio.h>
#include <OpenImageIO/strutil.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

#include "app/app_error.h"
#include "app/images/library_messages.h"
#include "app/images/pending_file.h"

namespace brumel {

namespace fs = std::filesystem;
using OIIO::ImageInput;
using OIIO::ImageOutput;
using OIIO::ImageSpec;
using OIIO::TypeDesc;

namespace {

// A native pixel of more channels than this is no plate; reading one would
// need buffers out of proportion to the four channels kept.
constexpr int kLargestChannels = 64;

// Samples as stored: without this OpenImageIO premultiplies formats with
// unassociated alpha (PNG) on reading and divides on writing.
ImageSpec straight_alpha_config() {
  ImageSpec config;
  config.attribute("oiio:UnassociatedAlpha", 1);
  return config;
}

// The first line of a library's message, or `fallback` when it said nothing.
std::string first_line(const std::string& text, const std::string& fallback) {
  std::string line = text.substr(0, text.find('\n'));
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line.empty() ? fallback : line;
}

// The 32-bit word stored at `b`, most significant byte first when `big_endian`.
std::uint32_t word32(const unsigned char* b, bool big_endian) {
  std::uint32_t word = 0;
  for (int i = 0; i < 4; ++i) word = word << 8 | b[big_endian ? i : 3 - i];
  return word;
}

// OpenImageIO's DPX reader allocates the user-data length its header gives
// before it compares it with the file, so a damaged header can ask for 4 GB.
// A length past the end of the file is refused here, before the reader opens.
void check_dpx_header(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  unsigned char header[36];
  if (!file.read(reinterpret_cast<char*>(header), sizeof header)) return;
  const bool big = std::memcmp(header, "SDPX", 4) == 0;
  if (!big && std::memcmp(header, "XPDS", 4) != 0) return;
  const std::uint32_t user_bytes = word32(header + 32, big);
  std::error_code error;
  const std::uintmax_t file_bytes = fs::file_size(path, error);
  // All ones is the format's "not given".
  if (user_bytes != 0xFFFFFFFFu && !error && user_bytes > file_bytes) {
    throw AppError("input image \"" + path + "\" is damaged: its DPX header gives " +
                   std::to_string(user_bytes) + " bytes of user data in a file of " +
                   std::to_string(file_bytes) + " bytes");
  }
}

// OpenEXR sizes each header attribute's value by the length the header gives before
// it reads the value, so a damaged length can ask for 2 GB. The attributes' lengths
// are walked here, every header of a multi-part file, and one that runs past the end
// of the file is refused before the reader opens it.
void check_exr_header(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  unsigned char start[8];
  if (!file.read(reinterpret_cast<char*>(start), sizeof start)) return;
  if (std::memcmp(start, "\x76\x2f\x31\x01", 4) != 0) return;
  const bool multipart = (start[5] & 0x10) != 0;  // the version word's bit 12
  std::error_code error;
  const std::uintmax_t file_bytes = fs::file_size(path, error);
  if (error) return;
  // A null-terminated name of at most 255 characters; "" at the end of a header, or
  // when there is none (then the reader says what is wrong).
  auto text = [&file]() {
    std::string out;
    for (char c; out.size() < 256 && file.get(c) && c != '\0';) out += c;
    return out;
  };
  do {
    for (std::string name = text(); !name.empty(); name = text()) {
      const std::string type = text();
      unsigned char b[4];
      if (type.empty() || !file.read(reinterpret_cast<char*>(b), 4)) return;
      const std::uint32_t bytes = word32(b, false);
      const std::uintmax_t at = static_cast<std::uintmax_t>(file.tellg());
      if (bytes > file_bytes - at) {
        throw AppError("input image \"" + path + "\" is damaged: its EXR header gives " +
                       std::to_string(bytes) + " bytes for \"" + name + "\" in a file of " +
                       std::to_string(file_bytes) + " bytes");
      }
      file.seekg(static_cast<std::streamoff>(bytes), std::ios::cur);
    }
    // In a multi-part file the headers follow one another until an empty one.
  } while (multipart && file && file.peek() != 0 && file.peek() != EOF);
}

std::unique_ptr<ImageInput> open_input(const std::string& path) {
  std::error_code error;
  if (!fs::exists(path, error)) throw AppError("input image \"" + path + "\" does not exist");
  if (fs::is_directory(path, error)) throw AppError("input image \"" + path + "\" is a folder");
  check_dpx_header(path);
  check_exr_header(path);
  const ImageSpec config = straight_alpha_config();
  LibraryMessages library;
  std::unique_ptr<ImageInput> input;
  try {
    input = ImageInput::open(path, &config);
  } catch (const std::exception& e) {  // a reader's own allocation on a damaged header
    throw AppError("cannot read input image \"" + path + "\": " + e.what());
  }
  const std::string said = library.take();
  if (input) report_library_messages("input image \"" + path + "\"", said);
  if (!input) {
    throw AppError("cannot read input image \"" + path +
                   "\": " + first_line(OIIO::geterror(), "not an image format that can be read"));
  }
  const ImageSpec& spec = input->spec();
  const std::string what = "input image \"" + path + "\"";
  if (spec.width < 1 || spec.height < 1 || spec.nchannels < 1) throw AppError(what + " has no pixels");
  if (spec.deep) throw AppError(what + " holds deep samples, not a flat image");
  if (spec.nchannels > kLargestChannels) {
    throw AppError(what + " has " + std::to_string(spec.nchannels) + " channels; at most " +
                   std::to_string(kLargestChannels) + " can be read");
  }
  check_image_size(ImageSize{spec.width, spec.height}, what);
  if (display_size(spec) != ImageSize{spec.width, spec.height}) {
    check_image_size(display_size(spec), what + "'s display window");
  }
  return input;
}

// Reads the first subimage's first four channels (at most) as `T` and spreads them
// to RGBA: 1 channel is grey, 2 grey and alpha, 3 RGB with opaque alpha (`opaque`).
template <class T>
std::vector<T> read_rgba(ImageInput& input, const std::string& path, TypeDesc type, T opaque) {
  const ImageSpec& spec = input.spec();
  const int channels = std::min(spec.nchannels, 4);
  const std::size_t pixels = static_cast<std::size_t>(spec.width) * spec.height;
  std::vector<T> read(pixels * channels);
  bool ok = false;
  LibraryMessages library;  // a failure is reported below, by the reader's own message
  try {
    ok = input.read_image(0, 0, 0, channels, type, read.data());
  } catch (const std::exception& e) {
    throw AppError("cannot read input image \"" + path + "\": " + e.what());
  }
  const std::string said = library.take();
  // Some readers fill what a truncated file lacks with black and report
  // success, saying what happened only in their message.
  const std::string message = input.geterror();
  if (ok && message.empty()) report_library_messages("input image \"" + path + "\"", said);
  if (!ok || !message.empty()) {
    throw AppError("cannot read input image \"" + path +
                   "\": " + first_line(message, "the file is truncated or damaged"));
  }
  if (channels == 4) return read;
  std::vector<T> rgba(pixels * 4);
  for (std::size_t i = 0; i < pixels; ++i) {
    const T* s = &read[i * channels];
    T* d = &rgba[i * 4];
    d[0] = s[0];
    d[1] = channels == 3 ? s[1] : s[0];
    d[2] = channels == 3 ? s[2] : s[0];
    d[3] = channels == 2 ? s[1] : opaque;
  }
  return rgba;
}

fs::path folder_of(const std::string& path) {
  const fs::path parent = fs::path(path).parent_path();
  return parent.empty() ? fs::path(".") : parent;
}

}  // namespace

ImageSize read_image_size(const std::string& path) {
  auto input = open_input(path);
  const ImageSpec& spec = input->spec();
  return display_size(spec);
}

HostImage read_host_image(const std::string& path) {
  auto input = open_input(path);
  HostImage data(input->spec().width, input->spec().height);
  data.samples = read_rgba<std::uint16_t>(*input, path, TypeDesc::UINT16, 65535);
  return on_display_window(input->spec(), std::move(data));
}

HostImage on_display_window(const ImageSpec& spec, HostImage data) {
  const ImageSize size = display_size(spec);
  if (spec.x == spec.full_x && spec.y == spec.full_y && size == ImageSize{data.width, data.height}) {
    return data;
  }
  HostImage image(size.width, size.height);
  // The display window's columns that the data window reaches, the same on every row.
  const int dx = spec.x - spec.full_x, dy = spec.y - spec.full_y;
  const int x0 = std::max(0, dx), x1 = std::min(size.width, dx + data.width);
  for (int y = std::max(0, dy); y < std::min(size.height, dy + data.height) && x0 < x1; ++y) {
    std::copy_n(&data.samples[(static_cast<std::size_t>(y - dy) * data.width + (x0 - dx)) * 4],
                static_cast<std::size_t>(x1 - x0) * 4,
                &image.samples[(static_cast<std::size_t>(y) * size.width + x0) * 4]);
  }
  return image;
}

ImageSpec read_image_spec(const std::string& path) { return open_input(path)->spec(); }

OIIO::ImageBuf read_float_image(const std::string& path) {
  auto input = open_input(path);
  ImageSpec spec = input->spec();
  std::vector<float> samples = read_rgba<float>(*input, path, TypeDesc::FLOAT, 1.0f);
  spec.nchannels = 4;
  spec.channelnames = {"R", "G", "B", "A"};
  spec.alpha_channel = 3;
  spec.set_format(TypeDesc::FLOAT);
  spec.channelformats.clear();
  OIIO::ImageBuf image(spec, OIIO::InitializePixels::No);
  image.set_pixels(OIIO::get_roi(spec), TypeDesc::FLOAT, samples.data());
  return image;
}

ImageSize display_size(const ImageSpec& spec) {
  return spec.full_width > 0 && spec.full_height > 0 ? ImageSize{spec.full_width, spec.full_height}
                                                     : ImageSize{spec.width, spec.height};
}

void prepare_output(const std::string& path) {
  const auto output = ImageOutput::create(path);
  if (!output) {
    throw AppError("cannot write \"" + path + "\": " +
                   first_line(OIIO::geterror(), "the file name's extension is not an image format") +
                   " (use .exr, .png, .tif, .dpx or .jpg)");
  }
  // Only a writer that goes through PendingFile has every write checked, and only
  // these are known to write decodable files that way (JPEG 2000's writes nothing).
  static const std::set<std::string> kCheckedFormats{"openexr", "png",  "tiff", "dpx",
                                                     "jpeg",    "bmp",  "targa", "hdr",
                                                     "pnm",     "webp", "gif",  "iff"};
  if (!output->supports("ioproxy") || kCheckedFormats.count(output->format_name()) == 0) {
    throw AppError("cannot write \"" + path + "\": the " + output->format_name() +
                   " format is not written with checked writes (use .exr, .png, .tif, .dpx or .jpg)");
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

bool keeps_alpha(const std::string& path) {
  const auto output = ImageOutput::create(path);
  return output && output->supports("alpha");
}

std::unique_ptr<PendingFile> encode_image_file(std::unique_ptr<ImageOutput> output,
                                               const ImageSpec& spec, TypeDesc type,
                                               const void* pixels, OIIO::stride_t pixel_stride,
                                               const std::string& path) {
  check_image_size(ImageSize{spec.width, spec.height}, "output image \"" + path + "\"");
  auto file = std::make_unique<PendingFile>(path);
  // Every byte goes through the pending file, which checks each write: some
  // libraries ignore a failed write, and one ends the process on it.
  output->set_ioproxy(file.get());
  bool written = false;
  std::string why;
  try {
    // The writer goes through the proxy alone; the name is what formats that record
    // their file's name (DPX) keep, so it is the frame's own.
    written = output->open(path, spec) &&
              output->write_image(type, pixels, pixel_stride) && output->close();
    if (!written) why = output->geterror();
  } catch (const std::exception& e) {
    why = e.what();
  }
  output.reset();  // closes what is still open before the file goes
  if (!written) {
    file->discard();
    throw AppError("cannot write \"" + path + "\": " + first_line(why, "the image library failed"));
  }
  file->sync();
  return file;
}

void write_image_file(std::unique_ptr<ImageOutput> output, const ImageSpec& spec, TypeDesc type,
                      const void* pixels, OIIO::stride_t pixel_stride, const std::string& path) {
  encode_image_file(std::move(output), spec, type, pixels, pixel_stride, path)->commit();
}

}  // namespace brumel
