#include "app/shot/node_messages.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/app_error.h"

namespace brumel {

namespace {

// A line of one NUL byte marks how far take() has asked the reader to go; the node
// writes with fputs, which cannot write a NUL. The newline before it ends a line the
// node left unfinished, so that the line is counted in its own frame.
constexpr char kMark[] = {'\n', '\0', '\n'};
const std::string kMarkLine(1, '\0');
// A longer line is cut: a node that never ends its line must not fill memory.
constexpr std::size_t kLongestLine = 4096;

std::string system_error(const char* what) {
  return std::string("cannot capture the node's messages: ") + what + ": " + std::strerror(errno);
}

bool write_all(int fd, const char* bytes, std::size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, bytes, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

NodeMessages::NodeMessages() {
  std::fflush(stdout);  // what the application wrote before goes where it was going
  // Both ends above 0-2, so that neither is mistaken for a standard stream (a closed
  // stdout would otherwise hand its number to the pipe).
  saved_stdout_ = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) {
    const std::string message = system_error("pipe");
    if (saved_stdout_ >= 0) close(saved_stdout_);
    throw AppError(message);
  }
  read_end_ = fcntl(ends[0], F_DUPFD_CLOEXEC, 3);
  close(ends[0]);
  if (read_end_ < 0 || dup2(ends[1], STDOUT_FILENO) < 0) {
    const std::string message = system_error("dup");
    if (read_end_ >= 0) close(read_end_);
    close(ends[1]);
    if (saved_stdout_ >= 0) close(saved_stdout_);
    throw AppError(message);
  }
  // Descriptor 1 is now the only write end: restoring it gives the reader its end of file.
  if (ends[1] != STDOUT_FILENO) close(ends[1]);
  reader_ = std::thread([this] { read_lines(); });
}

NodeMessages::~NodeMessages() {
  std::fflush(stdout);
  if (saved_stdout_ >= 0) {
    dup2(saved_stdout_, STDOUT_FILENO);
    close(saved_stdout_);
  } else {
    close(STDOUT_FILENO);
  }
  reader_.join();
  close(read_end_);
}

std::vector<NodeMessage> NodeMessages::take() {
  std::fflush(stdout);  // lines written through stdio come before the mark
  std::unique_lock lock(mutex_);
  const std::uint64_t mark = ++marks_sent_;
  lock.unlock();
  if (write_all(STDOUT_FILENO, kMark, sizeof kMark)) {
    lock.lock();
    marked_.wait(lock, [&] { return marks_read_ >= mark || reader_done_; });
  } else {
    lock.lock();
  }
  std::vector<NodeMessage> taken;
  taken.swap(lines_);
  index_.clear();
  return taken;
}

void NodeMessages::read_lines() {
  char chunk[8192];
  std::string line;
  bool cut = false;  // the rest of an over-long line is dropped
  for (;;) {
    const ssize_t n = read(read_end_, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    const char* at = chunk;
    const char* const end = chunk + n;
    while (at < end) {
      const char* newline = static_cast<const char*>(std::memchr(at, '\n', end - at));
      const char* stop = newline != nullptr ? newline : end;
      if (!cut) {
        const std::size_t room = kLongestLine - line.size();
        const std::size_t size = static_cast<std::size_t>(stop - at);
        line.append(at, std::min(size, room));
        cut = size > room;
      }
      if (newline == nullptr) break;
      end_line(line);
      line.clear();
      cut = false;
      at = newline + 1;
    }
  }
  if (!line.empty()) end_line(line);
  const std::lock_guard lock(mutex_);
  reader_done_ = true;
  marked_.notify_all();
}

void NodeMessages::end_line(const std::string& line) {
  const std::lock_guard lock(mutex_);
  if (line == kMarkLine) {
    ++marks_read_;
    marked_.notify_all();
    return;
  }
  if (line.empty()) return;  // also the newline of a mark after a finished line
  const auto [place, added] = index_.try_emplace(line, lines_.size());
  if (added) lines_.push_back({line, 0});
  ++lines_[place->second].count;
}

std::string node_message_line(int frame, const NodeMessage& message) {
  std::string line = "brumel: node: " + message.text + " (frame " + std::to_string(frame);
  if (message.count > 1) line += ", " + std::to_string(message.count) + " times";
  return line + ")";
}

}  // namespace brumel
