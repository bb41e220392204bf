#include "app/view/playback.h"

#include <algorithm>

namespace brumel {

Playback::Playback(FrameRange frames, double fps, bool paced)
    : frames_(frames),
      interval_(fps > 0.0 ? 1.0 / fps : 0.0),
      paced_(paced),
      current_(frames.first) {}

std::optional<int> Playback::after(int frame) const {
  if (frame < frames_.last) return frame + 1;
  if (loop_) return frames_.first;
  return std::nullopt;
}

void Playback::play() {
  if (!after(current_)) jump_ = frames_.first;
  playing_ = true;
  steps_ = 0;
  played_frames_ = 0;
}

void Playback::step(int count) {
  playing_ = false;
  steps_ += std::max(count, 0);
}

void Playback::go_to(int frame) {
  jump_ = std::clamp(frame, frames_.first, frames_.last);
  steps_ = 0;
}

std::optional<Playback::Due> Playback::next_frame(double now) const {
  if (jump_) return Due{*jump_, Cause::Jump};
  if (steps_ > 0) {
    if (const std::optional<int> next = after(current_)) return Due{*next, Cause::Step};
  } else if (playing_) {
    // While playing, the next frame also brings a stale one up to date.
    if (const std::optional<int> next = after(current_)) {
      if (!paced_ || now - last_render_ >= interval_) return Due{*next, Cause::Play};
      return std::nullopt;
    }
  }
  if (stale_) return Due{current_, Cause::Refresh};
  return std::nullopt;
}

void Playback::rendered(const Due& due, double now) {
  switch (due.cause) {
    case Cause::Jump:
      jump_.reset();
      break;
    case Cause::Step:
      --steps_;
      break;
    case Cause::Play:
      if (played_frames_ == 0) play_started_ = now;
      ++played_frames_;
      play_last_ = now;
      break;
    case Cause::Refresh:
      break;
  }
  current_ = due.frame;
  stale_ = false;
  last_render_ = now;
  // Playing stops at the last frame without loop; so do queued steps.
  if (!after(current_)) {
    playing_ = false;
    steps_ = 0;
  }
}

double Playback::seconds_to_next(double now) const {
  if (!paced_) return 0.0;
  return std::max(last_render_ + interval_ - now, 0.0);
}

double Playback::playing_fps() const {
  const double span = play_last_ - play_started_;
  return played_frames_ >= 2 && span > 0.0 ? (played_frames_ - 1) / span : 0.0;
}

}  // namespace brumel
