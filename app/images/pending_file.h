#pragma once
// A file in the making: created beside its target under an unpredictable
// temporary name (".NAME.partial-RANDOM", NAME cut so that it fits the file
// system's name limit whenever the target's name does), exclusively (never
// through a link planted there), locked while it is written, with every write
// checked, then synced and renamed over the target. Until the rename nothing
// exists under the target's name; on any failure nothing is left.
#include <OpenImageIO/filesystem.h>

#include "app/app_error.h"

#include <cstdint>
#include <string>
#include <vector>

namespace brumel {

class PendingFile final : public OIIO::Filesystem::IOProxy {
 public:
  // Creates the temporary file (mode 0666 less the umask). Throws AppError
  // naming `target` when it cannot.
  explicit PendingFile(const std::string& target);
  // Removes the temporary file unless commit() succeeded.
  ~PendingFile() override;
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  const std::string& target() const { return target_; }
  const std::string& temporary_path() const { return temporary_; }

  // Checks every write and syncs the file to the disk, without renaming it (once;
  // several files may sync at once). Throws and removes the file as commit() does.
  void sync();
  // Syncs the file (unless sync() did), renames it to the target, then closes it: the target's own
  // directory entry is replaced, even when it is a link. Throws AppError naming
  // the target with the first failure (of any write, the sync, the close or the
  // rename); the temporary file is removed then.
  void commit();
  // Removes the temporary file now.
  void discard();

  // The proxy through which an image library writes. A failed write is recorded
  // for commit() and reported to the library as done, so that no library ends
  // the process or leaves it half-way on an I/O error; later writes are skipped.
  const char* proxytype() const override { return "brumel-pending-file"; }
  bool seek(std::int64_t offset) override;
  std::size_t read(void* buf, std::size_t size) override;
  std::size_t write(const void* buf, std::size_t size) override;
  std::size_t pread(void* buf, std::size_t size, std::int64_t offset) override;
  std::size_t pwrite(const void* buf, std::size_t size, std::int64_t offset) override;
  std::size_t size() const override;

 private:
  std::string target_;
  std::string temporary_;
  int fd_ = -1;
  int first_error_ = 0;  // errno of the first failed write, 0 while none
  std::int64_t end_ = 0;  // one past the last byte written
  bool synced_ = false;
  int partial_slot_ = -1;  // where the signal handler finds the temporary file; -1: none

  AppError failure(int error_number);  // discards the file; the error naming the target
};

// Removes the temporary files that runs which ended before committing them (a
// SIGKILL, a power cut) left beside `targets`; a file still locked by a live
// writer, a concurrent run's, stays.
void remove_abandoned_partial_files(const std::vector<std::string>& targets);

// Writes `text` as the whole of `path` through a PendingFile: complete under
// its name or absent. Throws AppError naming `path` and the reason.
void write_whole_file(const std::string& path, const std::string& text);

// Makes SIGINT, SIGTERM and SIGHUP remove every temporary file being written
// before the program ends as the signal would end it. A signal that the
// program was started with ignored (nohup) stays ignored.
void remove_partial_file_on_interrupt();

}  // namespace brumel
