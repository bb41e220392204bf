#pragma once
// Writing a rendered frame to its file: the encoding asked for, the plate's
// windows and metadata, and the shot's stamp.
#include <OpenImageIO/imagebuf.h>

#include <memory>
#include <string>

#include "app/images/frame_metadata.h"
#include "app/images/host_image.h"
#include "app/images/output_options.h"
#include "app/images/pending_file.h"

namespace brumel {

// Writes `frame` (4 channels, RGBA, of any pixel type: UINT16 from the node,
// FLOAT when colour-managed; alpha straight when its spec says
// "oiio:UnassociatedAlpha", else premultiplied) to `path` through a PendingFile:
// the file is complete under its name or absent. Without options the samples
// are 16-bit where the format allows (half for EXR, 8-bit for JPEG), with alpha
// where the format holds it. EXR keeps the frame's data and display windows;
// other formats write the data window alone at the origin. The frame's
// metadata is carried as add_frame_metadata says, with `stamp`. `options` must
// have passed check_output_options for `path`. Throws AppError naming the file
// and the reason.
void write_frame(const OIIO::ImageBuf& frame, const std::string& path, const OutputOptions& options,
                 const FrameStamp& stamp);

// write_frame up to the rename: the frame in its temporary file, synced, for the
// returned file's commit() to put it under `path` (dropping it removes it). Safe to
// call from several threads at once.
std::unique_ptr<PendingFile> encode_frame(const OIIO::ImageBuf& frame, const std::string& path,
                                          const OutputOptions& options, const FrameStamp& stamp);

// A frame (straight alpha) over the image's samples, without copying them:
// valid while the image is neither resized nor moved, and never written through.
OIIO::ImageBuf host_frame(const HostImage& image);

// write_frame of the image with no options, stamped with Software alone.
void write_host_image(const HostImage& image, const std::string& path);

}  // namespace brumel
