#pragma once
// Writes frames on a thread of its own, so that writing frame N overlaps rendering
// frame N+1. One frame at a time: a new frame waits for the previous write, so files
// are written in order, memory holds at most one frame in flight, and a failed write
// surfaces at the next submit or at finish.
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include <OpenImageIO/imagebuf.h>

class FrameWriter {
 public:
  // `write` writes one frame's image to one path, throwing on failure; `done` is told
  // after each successful write, on the calling thread of the next submit or finish.
  using Write = std::function<void(int frame, const OIIO::ImageBuf&, const std::string&)>;
  using Done = std::function<void(int frame, const std::string& path)>;
  FrameWriter(Write write, Done done);
  // Waits for the write in flight (without reporting it), then stops the thread.
  ~FrameWriter();
  FrameWriter(const FrameWriter&) = delete;
  FrameWriter& operator=(const FrameWriter&) = delete;

  // Waits for the previous write (rethrowing its error), reports it, then starts
  // writing `image` to `path`.
  void submit(int frame, OIIO::ImageBuf image, const std::string& path);
  // Waits for the write in flight, reports it, and rethrows its error if it failed;
  // submit may follow.
  void finish();

 private:
  void run();
  void wait_idle();  // waits for the write in flight; reports it or rethrows its error

  Write write_;
  Done done_;
  std::mutex mutex_;
  std::condition_variable changed_;
  OIIO::ImageBuf image_;
  std::string path_;
  int frame_ = 0;
  bool pending_ = false;   // a frame waits to be written or is being written
  bool reported_ = true;   // the last finished write has been reported
  bool stopping_ = false;
  std::exception_ptr error_;
  std::thread thread_;
};
