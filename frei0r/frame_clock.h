#pragma once
// Host times to frame numbers. Hosts give a frei0r plugin a time per frame, not a
// frame number: ffmpeg in milliseconds, MLT and GStreamer in seconds, each from
// the clip's start at 0; some give garbage (ffmpeg at some widths), repeat a
// time, or hand frames out of order to several instances (MLT's real_time=-2).
#include <memory>

namespace brumel {

class FrameClock {
 public:
  // Instances of one frame size in a process share what they learn of the frame
  // length: an instance that sees one frame of every few still numbers them right.
  FrameClock(int width, int height);

  // The frame of host time `time`: 1 + time / length rounded, where the length of
  // a frame (in seconds or milliseconds alike) is the smallest step between the
  // times seen, 0 included; so time 0 is frame 1 and a time seen again is the
  // same frame. A time that is not finite or is absurd (beyond a million seconds
  // in milliseconds) counts frames instead: the frame after the last one.
  int frame(double time);

  // This clip starts at `time` instead of 0 (a host that made a new instance for a
  // new frame size in the middle of a clip): `time` is frame 1.
  void start_at(double time);

  struct Steps;  // the times a frame size has seen

 private:
  std::shared_ptr<Steps> steps_;
  int last_ = 0;  // the last frame given; 0 before the first
};

}  // namespace brumel
