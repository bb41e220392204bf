#include "app/settings/image_document.h"

#include "app/images/frame_metadata.h"

namespace brumel {

bool read_image_document(const std::string& path, std::optional<RegV>& document,
                         std::string& error) {
  if (!is_image_name(path)) return false;
  document = RegV::parse(read_stamped_image(path).settings, error);
  return true;
}

}  // namespace brumel
