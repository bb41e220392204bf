#pragma once
// PNG frames written byte for byte as OpenImageIO's PNG writer writes them, at a fraction
// of its cost: libpng compresses the rows with the very settings and row filters that
// writer gives it, the filters chosen in vector code (app/images/png_row_filter.h), and
// the library's writer supplies every chunk but the image data.
#include <memory>
#include <string>

#include <OpenImageIO/imageio.h>

#include "app/images/pending_file.h"

namespace brumel {

// The file OpenImageIO's PNG writer makes of `pixels` (`spec`'s data window, samples of
// `type`, contiguous) under `spec`, synced but not yet renamed to `path`; samples of
// another type than the file's are converted by the function that writer converts with.
// Null when that writer's own work is needed: alpha it would divide out (no
// "oiio:UnassociatedAlpha"), dither, options of its own ("png:" attributes but the level,
// "compression"), images smaller than 2x2 or than 16 KB of image data (which libpng
// compresses otherwise), or a header this writer would write otherwise. Throws AppError
// naming `path` as encode_image_file does.
std::unique_ptr<PendingFile> encode_png_file(const OIIO::ImageSpec& spec, OIIO::TypeDesc type,
                                             const void* pixels, const std::string& path);

}  // namespace brumel
