#include "app/images/library_messages.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>

namespace brumel {

namespace {
std::atomic<bool> catching{true};
}  // namespace

void catch_library_messages(bool on) { catching = on; }

LibraryMessages::LibraryMessages() {
  if (!catching) return;
  std::fflush(stderr);
  capture_ = memfd_create("brumel-library-messages", MFD_CLOEXEC);
  if (capture_ < 0) return;
  saved_stderr_ = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
  if (saved_stderr_ < 0 || dup2(capture_, STDERR_FILENO) < 0) {
    if (saved_stderr_ >= 0) close(saved_stderr_);
    saved_stderr_ = -1;
    close(capture_);
    capture_ = -1;
  }
}

LibraryMessages::~LibraryMessages() { take(); }

std::string LibraryMessages::take() {
  std::string text;
  if (capture_ < 0) return text;
  std::fflush(stderr);
  dup2(saved_stderr_, STDERR_FILENO);
  close(saved_stderr_);
  char buffer[4096];
  // A library says a line or two; the first few kilobytes are plenty to report.
  for (off_t at = 0; text.size() < 16384;) {
    const ssize_t n = pread(capture_, buffer, sizeof buffer, at);
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
    at += n;
  }
  close(capture_);
  capture_ = -1;
  saved_stderr_ = -1;
  return text;
}

void report_library_messages(const std::string& what, const std::string& text) {
  for (std::size_t begin = 0; begin < text.size();) {
    std::size_t end = text.find('\n', begin);
    if (end == std::string::npos) end = text.size();
    if (end > begin) {
      std::fprintf(stderr, "brumel: %s: %.*s\n", what.c_str(), static_cast<int>(end - begin),
                   text.data() + begin);
    }
    begin = end + 1;
  }
}

}  // namespace brumel
