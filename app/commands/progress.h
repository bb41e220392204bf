#pragma once
// What a render tells while it runs, on standard error: a progress bar on a
// terminal; one plain line per frame otherwise (logs), with the elapsed time,
// the frame's time and the time left; one JSON object per event for pipeline
// tools (progress_events.h); or nothing. A summary ends the bar and the lines.
// The node's messages are shown in every style, --quiet included: they are
// warnings about the shot.
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/shot/frame_list.h"
#include "app/shot/node_messages.h"

namespace brumel {

class Progress {
 public:
  enum class Style { Bar, Lines, Json, Quiet };
  // `asked` is the --progress value: "bar", "lines" or "json"; empty: Bar when
  // standard error is a terminal, else Lines. Quiet when `quiet`. Throws
  // AppError for another value.
  static Style style_for_stderr(bool quiet, const std::string& asked = "");

  // A shot from `shot_start` that draws `frames` and catches up the others.
  Progress(Style style, int shot_start, const FrameList& frames, std::FILE* out = stderr);

  // Says that --skip-existing left every one of `frames` (written to path_of(frame))
  // as it is on disk, and nothing is rendered: with Json a "skipped" event each and an
  // "end" event, with Lines or Bar one line.
  static void report_all_on_disk(Style style, const FrameList& frames,
                                 const std::function<std::string(int)>& path_of,
                                 std::FILE* out = stderr);

  // A frame left as it is on disk (it is caught up, not drawn).
  void skipped(int frame, const std::string& path);
  // --skip-existing found `path` made with other settings or shot options (`why`).
  void rendered_again(int frame, const std::string& path, const std::string& why);
  void caught_up(int frame);
  void wrote(int frame, const std::string& path);
  // What the node wrote while it processed `frame`: a line each (node_message_line)
  // above the bar, which is drawn again below them; with Json a "node" event each.
  void node_messages(int frame, const std::vector<NodeMessage>& messages);
  // The summary: frames written, seconds, frames per second.
  void finish();

 private:
  double seconds_since(std::chrono::steady_clock::time_point from) const;
  void draw_bar(const std::string& label, int done, int total, const std::string& tail);
  void end_catch_up_run();

  Style style_;
  int shot_start_;
  FrameList frames_;
  std::FILE* out_;
  std::string bar_;  // the bar as last drawn, to draw again below a message; empty when none
  int catch_up_frames_ = 0;  // every frame of the shot that is not drawn
  int caught_up_ = 0;
  int written_ = 0;
  int run_first_ = 1, run_last_ = 0;  // the catch-up frames since the last drawn one; none when first > last
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point drawing_start_;  // after the first catch-up run
  std::chrono::steady_clock::time_point last_event_;  // the last frame drawn or caught up first
  std::chrono::steady_clock::time_point run_start_;   // when the current catch-up run began
};

}  // namespace brumel
