#pragma once
// Writes frames while the next ones render, several at once: each frame is encoded
// into its temporary file on a thread of its own, at most `in_flight` frames at a
// time (memory stays flat over any number of frames). Frames are renamed into place
// and reported on the caller's thread, in the order they came, among the caller's
// other events in the order a render that writes each frame before drawing the next
// tells them. A failed write surfaces at the next submit or finish that reaches it in
// that order; no frame after it is renamed into place.
#include <deque>
#include <exception>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>

#include <OpenImageIO/imagebuf.h>

#include "app/images/pending_file.h"

namespace brumel {

class FrameWriter {
 public:
  // `encode` writes one frame's image to the temporary file it returns, throwing on
  // failure; it runs on several threads at once. `done` is told after each frame is
  // renamed into place, on the caller's thread.
  using Encode =
      std::function<std::unique_ptr<PendingFile>(int frame, const OIIO::ImageBuf&, const std::string&)>;
  using Done = std::function<void(int frame, const std::string& path)>;
  FrameWriter(Encode encode, Done done, int in_flight);
  // Waits for the encodes in flight; what was not renamed into place is removed.
  ~FrameWriter();
  FrameWriter(const FrameWriter&) = delete;
  FrameWriter& operator=(const FrameWriter&) = delete;

  // Starts encoding `image` to `path`, once fewer than `in_flight` frames are in
  // flight; reports the frames before it that are done. Rethrows the first failed
  // write it reaches.
  void submit(int frame, OIIO::ImageBuf image, const std::string& path);
  // An event told before the report of the frame submitted last (the node's
  // messages of the frame drawn after it), or, after_writes, after every report
  // (a catch-up frame). Never throws for a failed write.
  void tell(std::function<void()> event, bool after_writes);
  // Waits for every frame, renames and reports each in order, and rethrows the
  // first failed write; submit may follow.
  void finish();

 private:
  struct Entry {
    int frame = 0;
    std::string path;
    std::future<std::unique_ptr<PendingFile>> file;  // valid for a frame
    std::function<void()> event;                      // else an event
  };
  // Tells the events and reports the frames in order as far as they are done (all,
  // when `wait`); at a failed write keeps its error and drops everything after it.
  void flush(bool wait);
  void rethrow_failure();  // the failed write's error, once
  void queue_held();  // the frame submitted last joins the queue
  int frames_in_flight() const;

  Encode encode_;
  Done done_;
  int in_flight_;
  std::deque<Entry> queue_;
  std::optional<Entry> held_;  // the frame submitted last, its report not yet in order
  std::exception_ptr failure_;  // the first failed write, until rethrown
};

}  // namespace brumel
