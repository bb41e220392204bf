#pragma once
// The viewer's transport: which frame of the shot to render next. The frame
// driver turns a jump into a restart and a catch-up, so every frame shown is
// the one a run over every frame from the shot start gives.
#include <optional>

#include "app/shot/frame_range.h"

namespace brumel {

class Playback {
 public:
  // `fps` paces playing (0: as fast as frames render); `paced` false plays one
  // frame per call of next_frame, as a script session does.
  Playback(FrameRange frames, double fps, bool paced);

  FrameRange frames() const { return frames_; }
  int current() const { return current_; }  // the frame shown (or about to be)
  bool playing() const { return playing_; }
  bool loop() const { return loop_; }
  void set_loop(bool on) { loop_ = on; }

  // Starts playing; at the last frame without loop, from the first frame.
  void play();
  void pause() { playing_ = false; }
  // Queues `count` steps of one frame each (stops playing). Without loop a
  // step past the last frame is dropped.
  void step(int count);
  // Shows `frame` (clamped to the shot) next. `restart` also says so.
  void go_to(int frame);
  // The shown frame is stale (an edit, an invalidated cache): render it again.
  void refresh() { stale_ = true; }

  enum class Cause { Jump, Step, Play, Refresh };
  struct Due {
    int frame;
    Cause cause;
  };
  // The frame to render now, if any, at time `now` (seconds): a pending jump,
  // a queued step, the next frame of playing when it is due, or the current
  // frame when stale. The caller renders it and then calls rendered(due, now).
  std::optional<Due> next_frame(double now) const;
  void rendered(const Due& due, double now);

  // Seconds from `now` until the next frame of playing is due (0: due now).
  double seconds_to_next(double now) const;

  // Frames per second of playing since play() (0 before two frames).
  double playing_fps() const;

 private:
  std::optional<int> after(int frame) const;  // the frame after `frame`, wrapping with loop

  FrameRange frames_;
  double interval_;  // seconds per frame while playing; 0 unpaced
  bool paced_;
  int current_;
  bool playing_ = false;
  bool loop_ = true;
  bool stale_ = true;  // the first frame is rendered at once
  std::optional<int> jump_;
  int steps_ = 0;
  double last_render_ = 0.0;
  double play_started_ = 0.0;  // time of the first frame rendered while playing
  double play_last_ = 0.0;     // time of the last one
  int played_frames_ = 0;
};

}  // namespace brumel
