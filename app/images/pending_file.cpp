#include "app/images/pending_file.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>

#include "app/app_error.h"

namespace fs = std::filesystem;

namespace {

// The temporary file being written, for the signal handler: a fixed buffer,
// since a handler may only call async-signal-safe functions.
char partial_path[4096];
volatile std::sig_atomic_t partial_pending = 0;

void remove_partial_and_end(int signal_number) {
  if (partial_pending != 0) unlink(partial_path);
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}

// Marks `path` as the file to remove on an interrupt; an empty path clears it.
void set_partial(const std::string& path) {
  partial_pending = 0;
  if (path.empty() || path.size() >= sizeof partial_path) return;
  std::memcpy(partial_path, path.c_str(), path.size() + 1);
  partial_pending = 1;
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

}  // namespace

PendingFile::PendingFile(const std::string& target)
    : IOProxy(target, Write), target_(target) {
  const fs::path final_path(target);
  const fs::path folder = final_path.parent_path();
  // A few tries: a clash with an existing name is the only expected failure.
  for (int attempt = 0; attempt < 8 && fd_ < 0; ++attempt) {
    temporary_ = (folder / ("." + final_path.filename().string() + ".partial-" + random_suffix()))
                     .string();
    // O_EXCL fails on any existing name, a link included; O_NOFOLLOW says so twice.
    fd_ = ::open(temporary_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd_ < 0 && errno != EEXIST) break;
  }
  if (fd_ < 0) {
    throw AppError("cannot write \"" + target_ + "\": cannot create a temporary file beside it: " +
                   std::strerror(errno));
  }
  set_partial(temporary_);
}

PendingFile::~PendingFile() { discard(); }

void PendingFile::discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
  set_partial("");
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

void PendingFile::commit() {
  auto fail = [&](int error_number) {
    discard();
    return AppError("cannot write \"" + target_ + "\": " + std::strerror(error_number));
  };
  if (fd_ < 0) throw fail(EBADF);
  if (first_error_ != 0) throw fail(first_error_);
  // A disk that fills up may only say so when the data reaches it.
  if (::fsync(fd_) != 0) throw fail(errno);
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) throw fail(errno);
  // rename() replaces the directory entry itself, never what a link there points to.
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) throw fail(errno);
  temporary_.clear();
  set_partial("");
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
    std::signal(signal_number, remove_partial_and_end);
  }
}
