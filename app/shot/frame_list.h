#pragma once
// The frames a render writes, as compositors and renderers name them: a range
// "1001-1100", a step "1-100x2", a list "1,5,10-20", negative frames "-10--1".
// The frames between listed ones are still simulated (caught up), so each
// written frame is the one a run over every frame would give.
#include <string>
#include <vector>

#include "app/shot/frame_range.h"

namespace brumel {

class FrameList {
 public:
  // Every frame of `range`.
  FrameList(FrameRange range);  // NOLINT(google-explicit-constructor): a range is a list
  // `frames` in ascending order, each once; needs at least one frame.
  explicit FrameList(std::vector<int> frames);

  int first() const { return frames_.front(); }
  int last() const { return frames_.back(); }
  int count() const { return static_cast<int>(frames_.size()); }
  // first()..last(): the frames a shot plays to write these.
  FrameRange span() const { return {first(), last()}; }
  bool contains(int frame) const;
  const std::vector<int>& frames() const { return frames_; }
  // The shortest text parse_frame_list reads back as this list ("1-10x3,20").
  std::string text() const;

  bool operator==(const FrameList&) const = default;

 private:
  std::vector<int> frames_;
};

// The most frames one list may name; a longer one is a typing mistake.
inline constexpr int kMaxListedFrames = 1000000;

// Checks a shot before anything plays: the shot start and every frame within
// -kLargestFrame..kLargestFrame, and at most kMaxListedFrames frames played from the
// shot start to the last frame (catch-up included). Throws AppError naming the number.
void check_shot_frames(int shot_start, FrameRange frames);

// Parses comma-separated items, each FRAME, FIRST-LAST or FIRST-LASTxSTEP
// (frames may be negative: "-5", "-10--1"). Items may overlap and come in any
// order; the list is their frames ascending, each once. Throws AppError naming
// the text: not that syntax, LAST before FIRST, a step below 1, or more than
// kMaxListedFrames frames.
FrameList parse_frame_list(const std::string& text);

}  // namespace brumel
