#include "app/images/pending_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <map>
#include <set>
#include <string_view>
#include <utility>

#include "app/app_error.h"

namespace brumel {

namespace fs = std::filesystem;

namespace {

// The temporary files being written (several frames are written at once), for the
// signal handler: fixed buffers and lock-free flags, since a handler may only call
// async-signal-safe functions. A writer claims a free slot, fills it, then marks it
// ready; the handler removes the files of the ready slots.
enum SlotState : int { kFree, kFilling, kReady };
struct PartialSlot {
  char path[4096];
  std::atomic<int> state{kFree};
};
static_assert(std::atomic<int>::is_always_lock_free);
// More than the files one process ever has in the making: the frame writer holds at
// most one per processor (64 at most), and --save one.
PartialSlot partial_slots[256];

void remove_partials_and_end(int signal_number) {
  for (PartialSlot& slot : partial_slots) {
    if (slot.state.load() == kReady) unlink(slot.path);
  }
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}

// Marks `path` as a file to remove on an interrupt; returns its slot, -1 when it
// cannot be kept (a path longer than any the system takes).
int track_partial(const std::string& path) {
  if (path.size() >= sizeof PartialSlot::path) return -1;
  for (int i = 0; i < static_cast<int>(std::size(partial_slots)); ++i) {
    int expected = kFree;
    if (partial_slots[i].state.compare_exchange_strong(expected, kFilling)) {
      std::memcpy(partial_slots[i].path, path.c_str(), path.size() + 1);
      partial_slots[i].state.store(kReady);
      return i;
    }
  }
  return -1;
}

void untrack_partial(int& slot) {
  if (slot >= 0) partial_slots[slot].state.store(kFree);
  slot = -1;
}

// Sixteen letters and digits from the kernel's random source: a name another
// user cannot guess ahead of time to plant a link under it.
std::string random_suffix() {
  static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char bytes[16];
  std::size_t got = 0;
  while (got < sizeof bytes) {
    const ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw AppError(std::string("no random source: ") + std::strerror(errno));
    got += static_cast<std::size_t>(n);
  }
  std::string text;
  for (unsigned char b : bytes) text += kAlphabet[b % (sizeof kAlphabet - 1)];
  return text;
}

constexpr std::size_t kSuffixLetters = 16;
constexpr const char* kPartialMark = ".partial-";

// ".NAME.partial-": what a temporary file of `name` starts with. NAME is cut (at a
// character's first byte) so that the whole temporary name fits in a name's 255
// bytes whenever `name` does.
std::string partial_prefix(const std::string& name) {
  constexpr std::size_t kLongestName = 255;
  const std::size_t added = 1 + std::strlen(kPartialMark) + kSuffixLetters;
  std::size_t keep = std::min(name.size(), kLongestName - added);
  while (keep > 0 && keep < name.size() && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) {
    --keep;
  }
  return "." + name.substr(0, keep) + kPartialMark;
}

bool is_suffix(std::string_view text) {
  return text.size() == kSuffixLetters &&
         std::all_of(text.begin(), text.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)); });
}

// Removes the temporary file at `path` when no process holds its lock: the run
// that was writing it has ended without finishing it.
void remove_if_abandoned(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return;
  struct stat status {};
  if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    ::unlink(path.c_str());
  }
  ::close(fd);
}

}  // namespace

PendingFile::PendingFile(const std::string& target)
    : IOProxy(target, Write), target_(target) {
  const fs::path final_path(target);
  const fs::path folder = final_path.parent_path();
  const std::string prefix = partial_prefix(final_path.filename().string());
  // A few tries: a clash with an existing name is the only expected failure.
  for (int attempt = 0; attempt < 8 && fd_ < 0; ++attempt) {
    temporary_ = (folder / (prefix + random_suffix())).string();
    // O_EXCL fails on any existing name, a link included; O_NOFOLLOW says so twice.
    fd_ = ::open(temporary_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd_ < 0 && errno != EEXIST) break;
  }
  if (fd_ < 0) {
    throw AppError("cannot write \"" + target_ + "\": cannot create a temporary file beside it: " +
                   std::strerror(errno));
  }
  // Held until the file is renamed: a later run removes the file only once its
  // writer is gone, however it ended (the kernel drops the lock of a killed process).
  ::flock(fd_, LOCK_EX);
  partial_slot_ = track_partial(temporary_);
}

void remove_abandoned_partial_files(const std::vector<std::string>& targets) {
  std::map<fs::path, std::set<std::string>> prefixes;  // folder -> prefixes of its targets
  for (const std::string& target : targets) {
    const fs::path path(target);
    prefixes[path.parent_path()].insert(partial_prefix(path.filename().string()));
  }
  for (const auto& [folder, wanted] : prefixes) {
    std::error_code error;
    for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, error), end;
         !error && it != end; it.increment(error)) {
      const std::string name = it->path().filename().string();
      const std::size_t mark = name.rfind(kPartialMark);
      if (mark == std::string::npos || name.front() != '.') continue;
      const std::size_t suffix = mark + std::strlen(kPartialMark);
      if (wanted.count(name.substr(0, suffix)) != 0 && is_suffix(std::string_view(name).substr(suffix))) {
        remove_if_abandoned(it->path());
      }
    }
  }
}

PendingFile::~PendingFile() { discard(); }

void PendingFile::discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
  untrack_partial(partial_slot_);
}

bool PendingFile::seek(std::int64_t offset) {
  if (offset < 0) return false;
  m_pos = offset;
  return true;
}

std::size_t PendingFile::read(void* buf, std::size_t size) {
  const std::size_t n = pread(buf, size, m_pos);
  m_pos += static_cast<std::int64_t>(n);
  return n;
}

std::size_t PendingFile::write(const void* buf, std::size_t size) {
  const std::size_t n = pwrite(buf, size, m_pos);
  m_pos += static_cast<std::int64_t>(n);
  return n;
}

std::size_t PendingFile::pread(void* buf, std::size_t size, std::int64_t offset) {
  std::size_t done = 0;
  while (fd_ >= 0 && done < size) {
    const ssize_t n = ::pread(fd_, static_cast<char*>(buf) + done, size - done,
                              offset + static_cast<std::int64_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

std::size_t PendingFile::pwrite(const void* buf, std::size_t size, std::int64_t offset) {
  std::size_t done = 0;
  while (first_error_ == 0 && done < size) {
    const ssize_t n = ::pwrite(fd_, static_cast<const char*>(buf) + done, size - done,
                               offset + static_cast<std::int64_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      first_error_ = n < 0 ? errno : ENOSPC;  // a write of nothing: no room left
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  end_ = std::max(end_, offset + static_cast<std::int64_t>(size));
  return size;
}

std::size_t PendingFile::size() const { return static_cast<std::size_t>(end_); }

AppError PendingFile::failure(int error_number) {
  discard();
  return AppError("cannot write \"" + target_ + "\": " + std::strerror(error_number));
}

void PendingFile::sync() {
  if (synced_) return;
  if (fd_ < 0) throw failure(EBADF);
  if (first_error_ != 0) throw failure(first_error_);
  // A disk that fills up may only say so when the data reaches it.
  if (::fsync(fd_) != 0) throw failure(errno);
  synced_ = true;
}

void PendingFile::commit() {
  sync();
  // rename() replaces the directory entry itself, never what a link there points to.
  // Renamed before it is closed, while the lock still says the file is being written.
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) throw failure(errno);
  temporary_.clear();
  untrack_partial(partial_slot_);
  const int fd = std::exchange(fd_, -1);
  if (::close(fd) != 0) throw failure(errno);
}

void write_whole_file(const std::string& path, const std::string& text) {
  PendingFile file(path);
  file.write(text.data(), text.size());
  file.commit();
}

void remove_partial_file_on_interrupt() {
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction current {};
    // nohup and a shell's background jobs start a program with signals ignored:
    // the user asked for the program to outlive them.
    if (sigaction(signal_number, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) {
      continue;
    }
    std::signal(signal_number, remove_partials_and_end);
  }
}

}  // namespace brumel
