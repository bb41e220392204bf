#include "app/commands/progress.h"

#include <unistd.h>

#include "app/app_error.h"
#include "app/commands/progress_events.h"

namespace brumel {

namespace {

constexpr int kBarWidth = 30;

std::string format(const char* pattern, double value) {
  char text[64];
  std::snprintf(text, sizeof text, pattern, value);
  return text;
}

std::string duration_text(double seconds) {
  if (seconds < 10.0) return format("%.1f s", seconds);
  if (seconds < 60.0) return format("%.0f s", seconds);
  const int whole = static_cast<int>(seconds + 0.5);
  char text[32];
  std::snprintf(text, sizeof text, "%d:%02d", whole / 60, whole % 60);
  return text;
}

// Three decimals: enough for a log, and stable to read back.
double rounded(double seconds) { return static_cast<double>(static_cast<long long>(seconds * 1000.0 + 0.5)) / 1000.0; }

}  // namespace

Progress::Style Progress::style_for_stderr(bool quiet, const std::string& asked) {
  if (asked == "json") return Style::Json;
  if (!asked.empty() && asked != "bar" && asked != "lines") {
    throw AppError("unknown --progress \"" + asked + "\": expected bar, lines or json");
  }
  if (quiet) return Style::Quiet;
  if (asked == "bar") return Style::Bar;
  if (asked == "lines") return Style::Lines;
  return isatty(STDERR_FILENO) != 0 ? Style::Bar : Style::Lines;
}

Progress::Progress(Style style, int shot_start, const FrameList& frames, std::FILE* out)
    : style_(style),
      shot_start_(shot_start),
      frames_(frames),
      out_(out),
      catch_up_frames_(frames.last() - shot_start + 1 - frames.count()),
      start_(std::chrono::steady_clock::now()),
      drawing_start_(start_),
      last_event_(start_) {
  if (style_ == Style::Lines && frames_.first() > shot_start_) {
    std::fprintf(out_, "brumel: simulating frames %d-%d without drawing\n", shot_start_,
                 frames_.first() - 1);
    std::fflush(out_);
  }
  if (style_ == Style::Json) {
    write_event(out_, {{"event", "start"},
                       {"shot_start", shot_start_},
                       {"first", frames_.first()},
                       {"last", frames_.last()},
                       {"frames", frames_.count()},
                       {"catch_up", catch_up_frames_}});
  }
}

double Progress::seconds_since(std::chrono::steady_clock::time_point from) const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

void Progress::draw_bar(const std::string& label, int done, int total, const std::string& tail) {
  const int filled = total > 0 ? done * kBarWidth / total : kBarWidth;
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.resize(kBarWidth, '.');
  // \r and erase-to-end-of-line redraw the bar in place.
  bar_ = "\r" + label + " [" + bar + "] " + std::to_string(done) + "/" + std::to_string(total) +
         tail + "\x1b[K";
  std::fputs(bar_.c_str(), out_);
  std::fflush(out_);
}

void Progress::node_messages(int frame, const std::vector<NodeMessage>& messages) {
  if (messages.empty()) return;
  if (style_ == Style::Json) {
    for (const NodeMessage& message : messages) {
      write_event(out_, {{"event", "node"},
                         {"frame", frame},
                         {"message", message.text},
                         {"count", message.count}});
    }
    return;
  }
  // The lines take the bar's place (erased to the end of its line), and the bar is
  // drawn again below them: no line is ever cut by the bar.
  if (!bar_.empty()) std::fputs("\r\x1b[K", out_);
  for (const NodeMessage& message : messages) {
    std::fprintf(out_, "%s\n", node_message_line(frame, message).c_str());
  }
  std::fputs(bar_.c_str(), out_);
  std::fflush(out_);
}

void Progress::report_all_on_disk(Style style, const FrameList& frames,
                                  const std::function<std::string(int)>& path_of, std::FILE* out) {
  if (style == Style::Json) {
    for (const int frame : frames.frames()) {
      write_event(out, {{"event", "skipped"}, {"frame", frame}, {"path", path_of(frame)}});
    }
    write_event(out, {{"event", "end"}, {"frames", 0}, {"catch_up", 0}, {"seconds", 0}});
  } else if (style != Style::Quiet) {
    std::fprintf(out, "brumel: every frame of %s is on disk already; nothing to render\n",
                 frames.text().c_str());
  }
}

void Progress::skipped(int frame, const std::string& path) {
  if (style_ == Style::Lines) {
    std::fprintf(out_, "brumel: frame %d skipped: %s exists\n", frame, path.c_str());
    std::fflush(out_);
  } else if (style_ == Style::Json) {
    write_event(out_, {{"event", "skipped"}, {"frame", frame}, {"path", path}});
  }
}

void Progress::rendered_again(int frame, const std::string& path, const std::string& why) {
  if (style_ == Style::Json) {
    write_event(out_, {{"event", "stale"}, {"frame", frame}, {"path", path}, {"reason", why}});
  } else if (style_ != Style::Quiet) {
    std::fprintf(out_, "brumel: frame %d is rendered again: %s was made otherwise: %s\n", frame,
                 path.c_str(), why.c_str());
    std::fflush(out_);
  }
}

void Progress::caught_up(int frame) {
  const auto now = std::chrono::steady_clock::now();
  if (run_first_ > run_last_ || frame != run_last_ + 1) {
    run_first_ = frame;
    run_start_ = last_event_;
  }
  run_last_ = frame;
  ++caught_up_;
  if (frame < frames_.first()) {
    // The catch-up before the first drawn frame is no drawn frame's time.
    drawing_start_ = now;
    last_event_ = now;
    if (style_ == Style::Bar) {
      draw_bar("catching up, frame " + std::to_string(frame), caught_up_,
               frames_.first() - shot_start_, "");
    }
  }
}

void Progress::end_catch_up_run() {
  if (run_first_ > run_last_) return;
  if (style_ == Style::Json) {
    write_event(out_, {{"event", "catch_up"},
                       {"first", run_first_},
                       {"last", run_last_},
                       {"frames", run_last_ - run_first_ + 1},
                       {"seconds", rounded(seconds_since(run_start_))}});
  }
  run_first_ = run_last_ + 1;
}

void Progress::wrote(int frame, const std::string& path) {
  const auto now = std::chrono::steady_clock::now();
  end_catch_up_run();
  // A frame's time runs from the previous frame: the catch-up between them is part of it.
  const double frame_seconds = std::chrono::duration<double>(now - last_event_).count();
  last_event_ = now;
  ++written_;
  const double drawing = std::chrono::duration<double>(now - drawing_start_).count();
  const double elapsed = std::chrono::duration<double>(now - start_).count();
  const int left = frames_.count() - written_;
  const double left_seconds = drawing / written_ * left;
  if (style_ == Style::Bar) {
    const double rate = drawing > 0.0 ? written_ / drawing : 0.0;
    std::string tail = format("  %.2f fps", rate);
    if (left > 0 && rate > 0.0) tail += "  " + duration_text(left_seconds) + " left";
    draw_bar("frame " + std::to_string(frame), written_, frames_.count(), tail);
  } else if (style_ == Style::Lines) {
    std::fprintf(out_, "brumel: frame %d (%d/%d) written to %s in %s, elapsed %s, %s left\n",
                 frame, written_, frames_.count(), path.c_str(), duration_text(frame_seconds).c_str(),
                 duration_text(elapsed).c_str(), duration_text(left_seconds).c_str());
    std::fflush(out_);
  } else if (style_ == Style::Json) {
    write_event(out_, {{"event", "frame"},
                       {"frame", frame},
                       {"path", path},
                       {"seconds", rounded(frame_seconds)},
                       {"elapsed", rounded(elapsed)},
                       {"left", rounded(left_seconds)},
                       {"done", written_},
                       {"frames", frames_.count()}});
  }
}

void Progress::finish() {
  if (style_ == Style::Quiet) return;
  end_catch_up_run();
  const double seconds = seconds_since(start_);
  if (style_ == Style::Json) {
    write_event(out_, {{"event", "end"},
                       {"frames", written_},
                       {"catch_up", caught_up_},
                       {"seconds", rounded(seconds)}});
    return;
  }
  if (style_ == Style::Bar) std::fputc('\n', out_);
  bar_.clear();
  std::string text = "brumel: " + std::to_string(written_) +
                     (written_ == 1 ? " frame" : " frames") + format(" in %.2f s", seconds) +
                     format(" (%.2f frames/s)", seconds > 0.0 ? written_ / seconds : 0.0);
  if (caught_up_ > 0) text += ", after " + std::to_string(caught_up_) + " catch-up frames";
  std::fprintf(out_, "%s\n", text.c_str());
  std::fflush(out_);
}

}  // namespace brumel
