#include "render/puff_stamp.h"

#include <cstdlib>
#include <new>

namespace brumel {

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

bool stamp_index_reach(PuffStamp* stamp) {
  if (!stamp) return false;
  if (!stamp->reach) {
    stamp->reach = static_cast<std::int32_t*>(
        std::malloc(static_cast<std::size_t>(stamp->height) * 2 * sizeof(std::int32_t)));
    if (!stamp->reach) return false;
  }
  const std::int32_t w = stamp->width;
  for (std::int32_t y = 0; y < stamp->height; ++y) {
    const std::int32_t* row = stamp->density + static_cast<std::size_t>(y) * w;
    std::int32_t first = 0;
    while (first < w && row[first] == 0) ++first;
    std::int32_t end = w;
    while (end > first && row[end - 1] == 0) --end;
    stamp->reach[2 * y] = first < w ? first : 0;
    stamp->reach[2 * y + 1] = first < w ? end : 0;
  }
  return true;
}

void stamp_free(PuffStamp* stamp) {
  if (!stamp) return;
  std::free(stamp->reach);
  std::free(stamp->density);
  std::free(stamp->shade);
  delete stamp;
}

}  // namespace brumel
