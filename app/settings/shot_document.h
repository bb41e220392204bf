#pragma once
// A settings document that also holds its shot: `--save` writes the node's
// settings with a "shot" member (shot start, frames, pre-roll, element, colour
// spaces, size), and `--load` of it gives those as the render's defaults, as an
// image written by `brumel render` does. Other readers of settings documents
// ignore the member.
#include <optional>
#include <string>

#include "app/images/frame_metadata.h"
#include "app/images/image_size.h"
#include "app/shot/frame_list.h"

namespace brumel {

// Writes `stamp.settings` with `stamp`'s shot options, `frames` and `size` to
// `path` through a temporary file. Throws AppError naming the file.
void save_shot_document(const std::string& path, const FrameStamp& stamp, const FrameList& frames,
                        ImageSize size);

// The shot a settings document at `path` holds (its settings included); nothing
// when it holds none (a document written by hand, or by a host). Throws
// AppError naming the file and the field that is not what --save writes.
std::optional<StampedImage> read_shot_document(const std::string& path);

}  // namespace brumel
