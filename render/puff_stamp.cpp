#include "render/puff_stamp.h"

#include <cstdlib>
#include <new>

PuffStamp* stamp_create(std::int32_t width, std::int32_t height, bool clear) {
  if (width < 1 || height < 1) return nullptr;
  const std::size_t n = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  auto* stamp = new (std::nothrow) PuffStamp{};
  if (!stamp) return nullptr;
  // calloc/malloc rather than new[]: a failed plane is an ordinary outcome here.
  stamp->density = static_cast<std::int32_t*>(clear ? std::calloc(n, sizeof(std::int32_t))
                                                    : std::malloc(n * sizeof(std::int32_t)));
  stamp->shade = static_cast<float*>(clear ? std::calloc(n, sizeof(float))
                                           : std::malloc(n * sizeof(float)));
  if (!stamp->density || !stamp->shade) {
    stamp_free(stamp);
    return nullptr;
  }
  stamp->width = width;
  stamp->height = height;
  return stamp;
}

void stamp_free(PuffStamp* stamp) {
  if (!stamp) return;
  std::free(stamp->density);
  std::free(stamp->shade);
  delete stamp;
}
