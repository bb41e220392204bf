#include "frei0r/host_quirks.h"

#include <cmath>
#include <cstdio>
#include <mutex>
#include <set>
#include <string>
#include <utility>

namespace brumel {

namespace {

std::mutex& quirks_mutex() {
  static std::mutex mutex;
  return mutex;
}

}  // namespace

bool size_changed_mid_clip(int width, int height, double time) {
  static std::pair<int, int> last{0, 0};
  const std::lock_guard<std::mutex> lock(quirks_mutex());
  const bool changed = last.first != 0 && last != std::make_pair(width, height) &&
                       std::isfinite(time) && time > 0.0;
  last = {width, height};
  return changed;
}

void say_once(const char* key, const char* message) {
  static std::set<std::string> said;
  const std::lock_guard<std::mutex> lock(quirks_mutex());
  if (said.insert(key).second) std::fprintf(stderr, "brumel (frei0r): %s\n", message);
}

}  // namespace brumel
