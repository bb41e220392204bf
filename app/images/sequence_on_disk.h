#pragma once
// The frames of an image sequence that exist on disk.
#include <optional>
#include <vector>

#include "app/images/image_sequence.h"

namespace brumel {

// The frames whose file exists, ascending: the names in the pattern's folder that
// are exactly frame_path(N) for some N. Empty for a single image, a folder that
// cannot be read, a pattern in a folder's name, or no such file.
std::vector<int> frames_on_disk(const ImageSequence& sequence);

// The lowest of frames_on_disk; nothing when there is none.
std::optional<int> first_frame_on_disk(const ImageSequence& sequence);

}  // namespace brumel
