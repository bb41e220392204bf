#pragma once
// The application's frames are the embedding library's host images.
#include "embed/host_image.h"

namespace brumel {

using brumel::HostImage;

}  // namespace brumel
