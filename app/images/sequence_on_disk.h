#pragma once
// The frames of an image sequence that exist on disk.
#include <optional>

#include "app/images/image_sequence.h"

// The lowest frame whose file exists: a name in the pattern's folder that is
// exactly frame_path(N) for some N. Nothing for a single image, a folder that
// cannot be read, a pattern in a folder's name, or no such file.
std::optional<int> first_frame_on_disk(const ImageSequence& sequence);
