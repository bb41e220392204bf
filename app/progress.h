#pragma once
// What a render tells a person while it runs, on standard error: a progress
// bar on a terminal, one plain line per frame otherwise (logs, farm managers),
// or nothing; and a summary at the end.
#include <chrono>
#include <cstdio>
#include <string>

#include "app/frame_range.h"

class Progress {
 public:
  enum class Style { Bar, Lines, Quiet };
  // Bar when standard error is a terminal, else Lines; Quiet when asked.
  static Style style_for_stderr(bool quiet);

  // A shot that catches up `catch_up_frames` frames, then draws `frames`.
  Progress(Style style, int catch_up_frames, FrameRange frames, std::FILE* out = stderr);

  void caught_up(int frame);
  void wrote(int frame, const std::string& path);
  // The summary: frames written, seconds, frames per second.
  void finish();

 private:
  double seconds_since(std::chrono::steady_clock::time_point from) const;
  void draw_bar(const std::string& label, int done, int total, const std::string& tail);

  Style style_;
  int catch_up_frames_;
  FrameRange frames_;
  std::FILE* out_;
  int caught_up_ = 0;
  int written_ = 0;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point drawing_start_;
};
