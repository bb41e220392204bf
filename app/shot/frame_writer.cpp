#include "app/shot/frame_writer.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace brumel {

FrameWriter::FrameWriter(Encode encode, Done done, int in_flight)
    : encode_(std::move(encode)), done_(std::move(done)), in_flight_(std::max(1, in_flight)) {}

// The futures of std::async wait for their encodes; the files they made are removed.
FrameWriter::~FrameWriter() = default;

int FrameWriter::frames_in_flight() const {
  const auto frames = std::count_if(queue_.begin(), queue_.end(),
                                    [](const Entry& e) { return e.file.valid(); });
  return static_cast<int>(frames) + (held_ ? 1 : 0);
}

void FrameWriter::queue_held() {
  if (held_) queue_.push_back(std::move(*std::exchange(held_, std::nullopt)));
}

void FrameWriter::flush(bool wait) {
  while (!failure_ && !queue_.empty()) {
    Entry& front = queue_.front();
    if (!front.file.valid()) {
      const std::function<void()> event = std::move(front.event);
      queue_.pop_front();
      event();
      continue;
    }
    if (!wait && front.file.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return;
    try {
      front.file.get()->commit();
    } catch (...) {
      // Nothing after the first failure is told or renamed into place.
      failure_ = std::current_exception();
      queue_.clear();
      held_.reset();
      return;
    }
    const Entry written = std::move(front);
    queue_.pop_front();
    if (done_) done_(written.frame, written.path);
  }
}

void FrameWriter::rethrow_failure() {
  if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
}

void FrameWriter::submit(int frame, OIIO::ImageBuf image, const std::string& path) {
  queue_held();
  flush(false);
  while (!failure_ && frames_in_flight() >= in_flight_) {
    // The oldest frame is first among the frames queued: wait for it alone.
    const auto first_frame =
        std::find_if(queue_.begin(), queue_.end(), [](const Entry& e) { return e.file.valid(); });
    first_frame->file.wait();
    flush(false);
  }
  rethrow_failure();
  held_ = Entry{frame, path,
                std::async(std::launch::async,
                           [this, frame, image = std::move(image), path] {
                             return encode_(frame, image, path);
                           }),
                {}};
}

void FrameWriter::tell(std::function<void()> event, bool after_writes) {
  if (failure_) return;  // it comes after the failed write, which is told first
  if (after_writes) queue_held();
  queue_.push_back(Entry{0, {}, {}, std::move(event)});
  flush(false);
}

void FrameWriter::finish() {
  queue_held();
  flush(true);
  rethrow_failure();
}

}  // namespace brumel
