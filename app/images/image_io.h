#pragma once
// Images in and out through OpenImageIO (EXR, PNG, TIFF, DPX, JPEG and every
// other format it reads). Samples pass as stored: alpha is neither
// premultiplied on reading nor divided out on writing.
#include <memory>
#include <string>

#include <OpenImageIO/imagebuf.h>
#include <OpenImageIO/imageio.h>

#include "app/images/host_image.h"
#include "app/images/image_size.h"
#include "app/images/pending_file.h"

namespace brumel {

// The size of an image file's display window (the frame a host shows), from its header. Throws AppError naming the file
// when it cannot be read, has no pixels, is deep, has more than 64 channels, or
// is beyond the size limits (check_image_size), before anything is allocated.
ImageSize read_image_size(const std::string& path);

// Reads the first subimage as 16-bit RGBA over its display window (as on_display_window
// places it): 1 channel is grey, 2 grey and alpha, 3 RGB with opaque alpha, 4 or more
// the first four as RGBA; other bit depths are rescaled to 0..65535 (floats clamped to
// 0..1). Throws AppError naming the file when read_image_size would, or when its pixels
// are truncated or damaged (never black rows in their place).
HostImage read_host_image(const std::string& path);

// `data`, the samples of `spec`'s data window, placed on its display window: transparent
// black where the data window does not reach, and what lies outside the display left out.
HostImage on_display_window(const OIIO::ImageSpec& spec, HostImage data);

// The display window's size of a header (the data window's where none is given).
ImageSize display_size(const OIIO::ImageSpec& spec);

// The header of an image file (windows, channels, metadata), checked as read_image_size
// checks it.
OIIO::ImageSpec read_image_spec(const std::string& path);

// Reads the first subimage's data window as float RGBA, channels spread as
// read_host_image spreads them, values as stored (nothing clamped); the buffer's spec
// keeps the file's windows and metadata. Throws as read_host_image does.
OIIO::ImageBuf read_float_image(const std::string& path);

// Checks before any rendering that `path` can be written: a format known by
// its extension whose writer goes through checked writes, and a folder that
// exists (made when missing) and takes a new file. Throws AppError naming the
// path otherwise.
void prepare_output(const std::string& path);
// Whether the format of `path` (known by its extension) keeps an alpha channel.
bool keeps_alpha(const std::string& path);

// Writes `pixels` (of `type`, `pixel_stride` bytes apart) with `spec` through
// `output`, made for `path`, to a temporary file beside it, synced and every
// write checked, and returns it for its commit() to rename it to `path`
// (dropping it removes it). Throws AppError as write_image_file does.
std::unique_ptr<PendingFile> encode_image_file(std::unique_ptr<OIIO::ImageOutput> output,
                                               const OIIO::ImageSpec& spec, OIIO::TypeDesc type,
                                               const void* pixels, OIIO::stride_t pixel_stride,
                                               const std::string& path);

// Writes `pixels` (of `type`, `pixel_stride` bytes apart) with `spec` through
// `output`, made for `path`, under a temporary name in the same folder, then
// renames it to `path`. Throws AppError naming the file (a size beyond the
// limits included); nothing is left behind.
void write_image_file(std::unique_ptr<OIIO::ImageOutput> output, const OIIO::ImageSpec& spec,
                      OIIO::TypeDesc type, const void* pixels, OIIO::stride_t pixel_stride,
                      const std::string& path);

}  // namespace brumel
