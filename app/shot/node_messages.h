#pragma once
// The node module writes its warnings on standard output ("Probability of success
// too low to continue - check matte", several times a frame). While a NodeMessages
// lives, file descriptor 1 is a pipe drained by a thread of its own: the
// application's standard output stays clean, and the command reports the lines on
// standard error, frame by frame, each distinct line once with its count.
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace brumel {

struct NodeMessage {
  std::string text;  // one line as written, without its newline
  std::int64_t count = 0;
};

class NodeMessages {
 public:
  // Flushes stdout, then points descriptor 1 at the pipe. Throws AppError when no
  // pipe can be made.
  NodeMessages();
  // Flushes stdout and points descriptor 1 back where it was (closed, if it was);
  // lines not yet taken are dropped.
  ~NodeMessages();
  NodeMessages(const NodeMessages&) = delete;
  NodeMessages& operator=(const NodeMessages&) = delete;

  // Every line written on standard output since the last take, each distinct line
  // once with how often it came, in the order first seen; a line left unfinished
  // counts as a line. Call it when the node is not writing (after process_image).
  std::vector<NodeMessage> take();

 private:
  void read_lines();
  void end_line(const std::string& line);

  int saved_stdout_ = -1;  // the real standard output; -1 when it was closed
  int read_end_ = -1;
  std::mutex mutex_;
  std::condition_variable marked_;
  std::vector<NodeMessage> lines_;
  std::unordered_map<std::string, std::size_t> index_;  // text -> its place in lines_
  std::uint64_t marks_sent_ = 0, marks_read_ = 0;
  bool reader_done_ = false;
  std::thread reader_;
};

// How a command shows one message of `frame` on standard error:
// "brumel: node: TEXT (frame F)", or "(frame F, N times)" when it came N > 1 times.
std::string node_message_line(int frame, const NodeMessage& message);

}  // namespace brumel
