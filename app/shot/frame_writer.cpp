#include "app/shot/frame_writer.h"

#include <utility>

FrameWriter::FrameWriter(Write write, Done done)
    : write_(std::move(write)), done_(std::move(done)), thread_([this] { run(); }) {}

FrameWriter::~FrameWriter() {
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !pending_; });
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void FrameWriter::run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return pending_ || stopping_; });
    if (!pending_) return;
    lock.unlock();
    std::exception_ptr error;
    try {
      write_(frame_, image_, path_);
    } catch (...) {
      error = std::current_exception();
    }
    lock.lock();
    error_ = error;
    pending_ = false;
    reported_ = false;
    changed_.notify_all();
  }
}

void FrameWriter::wait_idle() {
  int frame = 0;
  std::string path;
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !pending_; });
    if (reported_) return;
    reported_ = true;
    if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
    frame = frame_;
    path = path_;
  }
  if (done_) done_(frame, path);
}

void FrameWriter::submit(int frame, OIIO::ImageBuf image, const std::string& path) {
  wait_idle();
  {
    std::lock_guard lock(mutex_);
    image_ = std::move(image);
    path_ = path;
    frame_ = frame;
    pending_ = true;
  }
  changed_.notify_all();
}

void FrameWriter::finish() { wait_idle(); }
