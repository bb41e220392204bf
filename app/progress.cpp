#include "app/progress.h"

#include <unistd.h>

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

}  // namespace

Progress::Style Progress::style_for_stderr(bool quiet) {
  if (quiet) return Style::Quiet;
  return isatty(STDERR_FILENO) != 0 ? Style::Bar : Style::Lines;
}

Progress::Progress(Style style, int catch_up_frames, FrameRange frames, std::FILE* out)
    : style_(style),
      catch_up_frames_(catch_up_frames),
      frames_(frames),
      out_(out),
      start_(std::chrono::steady_clock::now()),
      drawing_start_(start_) {
  if (style_ == Style::Lines && catch_up_frames_ > 0) {
    std::fprintf(out_, "brumel: simulating frames %d-%d without drawing\n",
                 frames_.first - catch_up_frames_, frames_.first - 1);
    std::fflush(out_);
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
  std::fprintf(out_, "\r%s [%s] %d/%d%s\x1b[K", label.c_str(), bar.c_str(), done, total,
               tail.c_str());
  std::fflush(out_);
}

void Progress::caught_up(int frame) {
  ++caught_up_;
  if (caught_up_ == catch_up_frames_) drawing_start_ = std::chrono::steady_clock::now();
  if (style_ == Style::Bar) {
    draw_bar("catching up, frame " + std::to_string(frame), caught_up_, catch_up_frames_, "");
  }
}

void Progress::wrote(int frame, const std::string& path) {
  ++written_;
  const double seconds = seconds_since(drawing_start_);
  const double rate = seconds > 0.0 ? written_ / seconds : 0.0;
  const int left = frames_.count() - written_;
  if (style_ == Style::Bar) {
    std::string tail = format("  %.2f fps", rate);
    if (left > 0 && rate > 0.0) tail += "  " + duration_text(left / rate) + " left";
    draw_bar("frame " + std::to_string(frame), written_, frames_.count(), tail);
  } else if (style_ == Style::Lines) {
    std::fprintf(out_, "brumel: frame %d (%d/%d) written to %s\n", frame, written_, frames_.count(),
                 path.c_str());
    std::fflush(out_);
  }
}

void Progress::finish() {
  if (style_ == Style::Quiet) return;
  if (style_ == Style::Bar) std::fputc('\n', out_);
  const double seconds = seconds_since(start_);
  std::string text = "brumel: " + std::to_string(written_) +
                     (written_ == 1 ? " frame" : " frames") + format(" in %.2f s", seconds) +
                     format(" (%.2f frames/s)", seconds > 0.0 ? written_ / seconds : 0.0);
  if (caught_up_ > 0) text += ", after " + std::to_string(caught_up_) + " catch-up frames";
  std::fprintf(out_, "%s\n", text.c_str());
  std::fflush(out_);
}
