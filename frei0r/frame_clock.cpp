#include "frei0r/frame_clock.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <set>
#include <utility>

namespace brumel {

namespace {

constexpr double kAbsurd = 1e9;  // a million seconds in milliseconds: no clip is that long

std::mutex& clocks_mutex() {
  static std::mutex mutex;
  return mutex;
}

}  // namespace

struct FrameClock::Steps {
  double origin = 0.0;  // the time of frame 1
  std::set<double> times{0.0};
  double step = 0.0;  // the smallest step between two times; 0 until a second one

  double observe(double time) {
    const auto [at, fresh] = times.insert(time);
    if (fresh) {
      if (at != times.begin()) step_down(time - *std::prev(at));
      if (std::next(at) != times.end()) step_down(*std::next(at) - time);
    }
    return step;
  }
  void step_down(double d) {
    if (d > 0.0 && (step == 0.0 || d < step)) step = d;
  }
};

FrameClock::FrameClock(int width, int height) {
  static std::map<std::pair<int, int>, std::weak_ptr<Steps>> shared;
  const std::lock_guard<std::mutex> lock(clocks_mutex());
  std::weak_ptr<Steps>& entry = shared[{width, height}];
  steps_ = entry.lock();
  if (!steps_) {
    steps_ = std::make_shared<Steps>();
    entry = steps_;
  }
}

int FrameClock::frame(double time) {
  if (!std::isfinite(time) || std::fabs(time) > kAbsurd) return ++last_;
  double step = 0.0;
  {
    const std::lock_guard<std::mutex> lock(clocks_mutex());
    step = steps_->observe(time);
  }
  const double n = step > 0.0 ? std::round((time - steps_->origin) / step) : 0.0;
  last_ = n > 0.0 ? 1 + static_cast<int>(std::min(n, 1e8)) : 1;
  return last_;
}

void FrameClock::start_at(double time) {
  const std::lock_guard<std::mutex> lock(clocks_mutex());
  steps_->origin = time;
  steps_->times = {time};
  steps_->step = 0.0;
}

}  // namespace brumel
