#include "app/images/png_file.h"

#include <zlib.h>

#include <OpenImageIO/filesystem.h>
#include <OpenImageIO/strutil.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "app/app_error.h"
#include "app/images/image_size.h"
#include "app/images/png_row_filter.h"

namespace brumel {

using OIIO::ImageSpec;
using OIIO::TypeDesc;

namespace {

// What libpng's writer does with the image data, as the library's writer drives it: one
// zlib stream (method 8, 32K window, memory level 8, default strategy) of the filtered
// rows, each led by its filter's byte and fed with no flush, finished by an empty call,
// and cut into IDAT chunks of 8192 bytes as its output buffer fills.
constexpr int kWindowBits = 15;
constexpr int kMemoryLevel = 8;
constexpr std::size_t kChunkBytes = 8192;
// libpng shrinks the window of smaller image data, and offers rows or columns of one
// pixel fewer filters: the library's writer writes those.
constexpr std::size_t kSmallestImageData = 16385;
constexpr unsigned char kSignature[8] = {137, 'P', 'N', 'G', 13, 10, 26, 10};

std::size_t image_data_bytes(const ImageSpec& spec) {
  return static_cast<std::size_t>(spec.height) * (spec.scanline_bytes() + 1);
}

// The cases where the library's writer only converts the samples to the file's type
// (undithered) and passes them on: straight alpha, no option but the zlib level, and
// image data libpng compresses as above.
bool written_as_given(const ImageSpec& spec, TypeDesc type) {
  if ((spec.format != TypeDesc::UINT8 && spec.format != TypeDesc::UINT16) || type.basetype == TypeDesc::UNKNOWN ||
      spec.get_int_attribute("oiio:dither") != 0) {
    return false;
  }
  const bool rgba = spec.nchannels == 4 && spec.alpha_channel == 3 &&
                    spec.get_int_attribute("oiio:UnassociatedAlpha") != 0;
  const bool rgb = spec.nchannels == 3 && spec.alpha_channel == -1;
  if (!(rgba || rgb) || spec.tile_width != 0 || spec.depth > 1 || spec.width < 2 || spec.height < 2 ||
      image_data_bytes(spec) < kSmallestImageData) {
    return false;
  }
  return std::none_of(spec.extra_attribs.begin(), spec.extra_attribs.end(), [](const OIIO::ParamValue& p) {
    const std::string name = p.name().string();
    return OIIO::Strutil::iequals(name, "compression") ||
           (OIIO::Strutil::istarts_with(name, "png:") && !OIIO::Strutil::iequals(name, "png:compressionLevel"));
  });
}

int zlib_level(const ImageSpec& spec) { return std::clamp(spec.get_int_attribute("png:compressionLevel", 6), 0, 9); }

std::uint32_t big_endian_at(const std::vector<unsigned char>& bytes, std::size_t at) {
  return std::uint32_t{bytes[at]} << 24 | std::uint32_t{bytes[at + 1]} << 16 |
         std::uint32_t{bytes[at + 2]} << 8 | bytes[at + 3];
}

std::array<unsigned char, 4> big_endian(std::uint32_t v) {
  return {static_cast<unsigned char>(v >> 24), static_cast<unsigned char>(v >> 16),
          static_cast<unsigned char>(v >> 8), static_cast<unsigned char>(v)};
}

// The header's fields: size, bit depth, colour type, then compression, filter and
// interlace methods 0.
std::array<unsigned char, 13> header_of(const ImageSpec& spec, int height) {
  std::array<unsigned char, 13> header{};
  const auto w = big_endian(static_cast<std::uint32_t>(spec.width));
  const auto h = big_endian(static_cast<std::uint32_t>(height));
  std::copy(w.begin(), w.end(), header.begin());
  std::copy(h.begin(), h.end(), header.begin() + 4);
  header[8] = static_cast<unsigned char>(spec.format.size() * 8);
  header[9] = spec.nchannels == 4 ? 6 : 2;  // RGBA, RGB
  return header;
}

// The chunks the library's writer puts between the header and the image data, and
// between the image data and the end, whole.
struct LibraryChunks {
  std::vector<unsigned char> before, after;
};

// The library's PNG of `spec` cut to one row: every chunk but the header and the image
// data describes the whole frame as well. Nothing when that file is not laid out as
// signature, header, chunks, image data, chunks, end, or its header is not the one
// written here.
std::optional<LibraryChunks> library_chunks(const ImageSpec& spec) {
  ImageSpec one_row = spec;
  one_row.height = 1;
  std::vector<unsigned char> file;
  OIIO::Filesystem::IOVecOutput proxy(file);
  auto output = OIIO::ImageOutput::create("png");
  const std::vector<unsigned char> zeros(one_row.scanline_bytes());
  if (!output || !output->set_ioproxy(&proxy) || !output->open("frame.png", one_row) ||
      !output->write_image(spec.format, zeros.data()) || !output->close()) {
    return std::nullopt;
  }
  const auto header = header_of(spec, 1);
  if (file.size() < 33 || std::memcmp(file.data(), kSignature, 8) != 0 || big_endian_at(file, 8) != 13 ||
      std::memcmp(file.data() + 12, "IHDR", 4) != 0 || std::memcmp(file.data() + 16, header.data(), 13) != 0) {
    return std::nullopt;
  }
  LibraryChunks chunks;
  int part = 0;  // 0 before the image data, 1 in it, 2 after it
  for (std::size_t at = 33; at + 12 <= file.size();) {
    const std::size_t size = 12 + std::size_t{big_endian_at(file, at)};
    if (size > file.size() - at) return std::nullopt;
    const bool data = std::memcmp(file.data() + at + 4, "IDAT", 4) == 0;
    if (std::memcmp(file.data() + at + 4, "IEND", 4) == 0) {
      if (part == 0 || at + size != file.size()) return std::nullopt;
      return chunks;
    }
    if (data && part == 2) return std::nullopt;
    part = data ? 1 : part == 1 ? 2 : part;
    std::vector<unsigned char>& kept = part == 0 ? chunks.before : chunks.after;
    if (!data) kept.insert(kept.end(), file.begin() + at, file.begin() + at + size);
    at += size;
  }
  return std::nullopt;
}

// A chunk: length, type, data and the CRC of type and data.
void write_chunk(PendingFile& file, const char* type, const unsigned char* data, std::size_t size) {
  file.write(big_endian(static_cast<std::uint32_t>(size)).data(), 4);
  file.write(type, 4);
  if (size != 0) file.write(data, size);
  uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type), 4);
  if (size != 0) crc = crc32_z(crc, data, size);  // a null buffer would restart the CRC
  file.write(big_endian(static_cast<std::uint32_t>(crc)).data(), 4);
}

// The image data's zlib stream, written as IDAT chunks as its buffer fills.
class ImageData {
 public:
  ImageData(PendingFile& file, int level, const std::string& path) : file_(file), path_(path) {
    if (deflateInit2(&stream_, level, Z_DEFLATED, kWindowBits, kMemoryLevel, Z_DEFAULT_STRATEGY) != Z_OK) {
      throw AppError("cannot write \"" + path + "\": zlib cannot start (out of memory)");
    }
    stream_.next_out = buffer_.data();
    stream_.avail_out = static_cast<uInt>(buffer_.size());
  }
  ~ImageData() { deflateEnd(&stream_); }
  ImageData(const ImageData&) = delete;
  ImageData& operator=(const ImageData&) = delete;

  // Compresses `size` bytes (a filtered row) with no flush.
  void add(const unsigned char* bytes, std::size_t size) { compress(bytes, size, Z_NO_FLUSH); }
  // Ends the stream and writes what remains of it.
  void finish() { compress(nullptr, 0, Z_FINISH); }

 private:
  void compress(const unsigned char* bytes, std::size_t size, int flush) {
    stream_.next_in = const_cast<Bytef*>(bytes);
    stream_.avail_in = static_cast<uInt>(size);
    for (;;) {
      const int result = deflate(&stream_, flush);
      if (stream_.avail_out == 0) {
        write_chunk(file_, "IDAT", buffer_.data(), buffer_.size());
        stream_.next_out = buffer_.data();
        stream_.avail_out = static_cast<uInt>(buffer_.size());
        if (result == Z_OK && (flush != Z_NO_FLUSH || stream_.avail_in != 0)) continue;
      }
      if (result == Z_OK && flush == Z_NO_FLUSH && stream_.avail_in == 0) return;
      if (result == Z_OK && stream_.avail_in != 0) continue;
      if (result == Z_STREAM_END && flush == Z_FINISH) {
        const std::size_t left = buffer_.size() - stream_.avail_out;
        if (left != 0) write_chunk(file_, "IDAT", buffer_.data(), left);
        return;
      }
      throw AppError("cannot write \"" + path_ + "\": zlib failed (" + std::to_string(result) + ")");
    }
  }

  PendingFile& file_;
  const std::string& path_;
  z_stream stream_{};
  std::array<unsigned char, kChunkBytes> buffer_{};
};

// Row `y` of `pixels` as the file stores it: 16-bit samples big-endian.
void stored_row(const ImageSpec& spec, const unsigned char* pixels, int y, unsigned char* row) {
  const std::size_t bytes = spec.scanline_bytes();
  const unsigned char* from = pixels + bytes * static_cast<std::size_t>(y);
  if (spec.format == TypeDesc::UINT8) {
    std::memcpy(row, from, bytes);
    return;
  }
  for (std::size_t i = 0; i < bytes; i += 2) {
    std::uint16_t sample;
    std::memcpy(&sample, from + i, 2);
    row[i] = static_cast<unsigned char>(sample >> 8);
    row[i + 1] = static_cast<unsigned char>(sample);
  }
}

// The rows, each filtered as libpng's writer filters it when offered every filter (zeros
// above the first row).
void write_image_data(const ImageSpec& spec, const unsigned char* pixels, PendingFile& file,
                      const std::string& path) {
  const std::size_t bytes = spec.scanline_bytes();
  std::vector<unsigned char> row(bytes), above(bytes, 0), filtered(bytes + 1);
  ImageData data(file, zlib_level(spec), path);
  for (int y = 0; y < spec.height; ++y) {
    stored_row(spec, pixels, y, row.data());
    const PngRowFilter filter = choose_png_row_filter(row.data(), above.data(), bytes, spec.pixel_bytes());
    filtered[0] = static_cast<unsigned char>(filter);
    filter_png_row(filter, row.data(), above.data(), bytes, spec.pixel_bytes(), filtered.data() + 1);
    data.add(filtered.data(), filtered.size());
    row.swap(above);
  }
  data.finish();
}

}  // namespace

std::unique_ptr<PendingFile> encode_png_file(const ImageSpec& spec, TypeDesc type, const void* pixels,
                                             const std::string& path) {
  check_image_size(ImageSize{spec.width, spec.height}, "output image \"" + path + "\"");
  if (!written_as_given(spec, type)) return nullptr;
  const std::optional<LibraryChunks> chunks = library_chunks(spec);
  if (!chunks) return nullptr;
  // The function the library's writer converts with.
  std::vector<unsigned char> samples;
  if (type != spec.format) {
    samples.resize(spec.image_bytes());
    if (!OIIO::convert_image(spec.nchannels, spec.width, spec.height, 1, pixels, type, OIIO::AutoStride,
                             OIIO::AutoStride, OIIO::AutoStride, samples.data(), spec.format,
                             OIIO::AutoStride, OIIO::AutoStride, OIIO::AutoStride)) {
      return nullptr;
    }
    pixels = samples.data();
  }
  // A throw leaves nothing: the pending file removes itself.
  auto file = std::make_unique<PendingFile>(path);
  file->write(kSignature, sizeof kSignature);
  const auto header = header_of(spec, spec.height);
  write_chunk(*file, "IHDR", header.data(), header.size());
  file->write(chunks->before.data(), chunks->before.size());
  write_image_data(spec, static_cast<const unsigned char*>(pixels), *file, path);
  file->write(chunks->after.data(), chunks->after.size());
  write_chunk(*file, "IEND", nullptr, 0);
  file->sync();
  return file;
}

}  // namespace brumel
