#pragma once
// How `brumel render` encodes its frames: the data type, compression and JPEG
// quality a person may choose, and what each output format offers of them.
// Without a choice every format is written as it always was.
#include <OpenImageIO/typedesc.h>

#include <string>

namespace brumel {

struct OutputOptions {
  std::string datatype;     // --datatype: half, float, uint16 or uint8; empty: the format's own
  // --compression: a name the format offers, "zip:N" with a zlib level N (1 to 9)
  // for the zip compressions of EXR and PNG; empty: the writer's default
  std::string compression;
  int quality = 0;          // --quality: JPEG quality 1 to 100; 0: the writer's default
};

// What a file of one format is written as.
struct OutputEncoding {
  OIIO::TypeDesc type;      // the samples' type in the file
  std::string compression;  // the "compression" attribute to give the writer; empty: none
  int png_level = 0;        // the "png:compressionLevel" to give the writer; 0: none
};

// Checks the options against the format that `path` names (by its extension),
// before anything is rendered. Throws AppError naming the option, the value and
// what that output offers ("--compression dwaa: the .tif output offers none,
// lzw, zip, packbits"): a choice the writer would silently change is refused.
void check_output_options(const OutputOptions& options, const std::string& path);

// The encoding of checked options for a writer of OpenImageIO's format
// `format_name` ("openexr", "png", ...).
OutputEncoding output_encoding(const OutputOptions& options, const std::string& format_name);

// Whether the frames written to `path` with checked `options` hold float samples (half or
// float: .exr, .hdr, a float .tif or .dpx), which are scene-linear by default.
bool writes_float_samples(const OutputOptions& options, const std::string& path);

}  // namespace brumel
