#pragma once
// Plays a node through a shot as a host seeks in it. The node's simulation is
// stateful: every process_image is one step, whatever its time. The player turns
// any order of requests into the steps of a run over every frame from the shot
// start, so frame N is always the frame N of that run:
// - frame N after frame N-1 is the next step;
// - frame N again after frame N was drawn is the output held, with no step;
// - any other frame restarts the simulation (the node's own restart button, with
//   its pre-roll when the shot has one) and catches up from the shot start
//   without drawing (FXNode::host_set_catch_up), then draws frame N.
#include <functional>
#include <mutex>
#include <optional>

#include "assim/fx_node.h"
#include "embed/catch_up_reads.h"
#include "embed/host_image.h"

namespace brumel {

// The images of one frame as a front end hands them to the node.
struct FrameImages {
  _image_str input{};               // required when asked for
  std::optional<_image_str> matte;  // the birth matte; empty: the input is the matte
  bool element = false;             // draw this frame's cloud alone (besides set_element)
};

// Gives the images of `frame`. `input` and `matte` say which the node reads; the
// others may be left empty and the player hands the node a blank stand-in.
using FrameSource = std::function<FrameImages(int frame, bool input, bool matte)>;

// What the host tells the node about the shot.
struct ShotFormat {
  int width = 0, height = 0;  // the output's size
  double pixel_aspect = 1.0;  // the host's aspect correction (an anamorphic plate's)
  int shot_start = 1;         // the frame the simulation starts at
  int length = 0;             // frames in the inputs, as the node asks for them
  bool has_matte = false;     // the shot has a second input
};

class FramePlayer {
 public:
  // Tells `node` the output size, pixel aspect and input lengths. The node must
  // outlive the player and have its settings applied (a pre-roll press pending).
  FramePlayer(FXNode& node, const ShotFormat& format);

  // A restart presses "Restart+PreR" (with `preroll`) or "Restart" (without).
  void set_preroll(bool preroll) { preroll_ = preroll; }
  // The cloud alone over transparent black for every frame (FXNode::host_set_element).
  void set_element(bool element) { element_ = element; }
  // Which sources catch-up frames read (catch_up_reads of the node's settings).
  void set_catch_up_reads(CatchUpReads reads) { reads_ = reads; }
  // Called with the frame after every process_image, a refused one included.
  void set_after_process(std::function<void(int)> after) { after_process_ = std::move(after); }

  // Frame `frame` drawn by the node (see the top of this file). Throws Error when
  // the node refuses a frame; the player then restarts at the next request.
  const HostImage& show(int frame, const FrameSource& source);
  // Brings the simulation through `frame` without drawing it; the output keeps
  // its samples. Seeks as show does.
  void skip(int frame, const FrameSource& source);
  // The next request replays from the shot start (settings changed that a step
  // cannot follow, or a new shot).
  void restart() { current_.reset(); }

  // The last frame simulated, empty before the first (or after restart()).
  std::optional<int> current() const { return current_; }
  // Simulation steps taken so far (process_image calls that the node accepted).
  long steps() const { return steps_; }
  const HostImage& output() const { return output_; }
  FXNode& node() { return node_; }

 private:
  void seek_before(int frame, const FrameSource& source);
  void process(int frame, bool draw, const FrameSource& source);

  FXNode& node_;
  ShotFormat format_;
  HostImage output_;
  HostImage stand_in_;  // blank, the output's size; made when first needed
  CatchUpReads reads_;
  bool preroll_ = false;
  bool element_ = false;
  bool fresh_ = true;          // no frame processed since the settings were applied
  std::optional<int> current_;
  bool current_drawn_ = false;  // output_ holds frame current_
  long steps_ = 0;
  std::function<void(int)> after_process_;
};

// Held while a node renders: the node's random shuffle state is program-wide, so
// two nodes (of any front end in the process) never render at the same moment.
std::mutex& render_mutex();

}  // namespace brumel
