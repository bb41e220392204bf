#pragma once
// The settings document an image written by `brumel render` carries, for --load.
#include <optional>
#include <string>

#include "assim/regv.h"

namespace brumel {

// brumel::ImageDocumentReader for the application: a path named as an image
// (frame.0042.exr) is read as one written by `brumel render`, its settings
// attribute being the document. Throws AppError for an unreadable image.
bool read_image_document(const std::string& path, std::optional<RegV>& document,
                         std::string& error);

}  // namespace brumel
