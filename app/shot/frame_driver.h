#pragma once
// Drives a node through a shot's files as a host plays them: frame N at host time
// N, one process_image per frame, through the embedding library's FramePlayer
// (so a frame asked for out of order is the one a run over every frame gives).
#include <functional>
#include <utility>

#include "app/embedding.h"
#include "app/shot/frame_list.h"
#include "app/shot/frame_sources.h"
#include "assim/fx_node.h"

namespace brumel {

class FrameDriver {
 public:
  // Tells the node the host side: output size, pixel aspect (the plate's: a host
  // hands an anamorphic plate's aspect to its nodes) and the length of its inputs
  // (`shot_length` frames). A seek restarts at `shot_start`, with the pre-roll
  // when `preroll`.
  FrameDriver(FXNode& node, FrameSources& sources, ImageSize output_size, int shot_length,
              double pixel_aspect = 1.0, int shot_start = 1, bool preroll = false);

  // With `element`, the node draws the cloud alone (FXNode::host_set_element); without,
  // it still does for colour-managed plates when `files` is set, as the frames written
  // to files are then composited by the application (output_frame). Off at first:
  // the node composites, as a viewer shows it.
  void set_output(bool files, bool element) {
    for_files_ = files;
    player_.set_element(element);
  }

  // Which sources a catch-up frame reads (catch_up_reads); the others are given a
  // blank stand-in, which saves reading a plate per frame.
  void set_catch_up_reads(CatchUpReads reads) { player_.set_catch_up_reads(reads); }

  // Called with the frame after every process_image, a refused one included (before
  // process throws): the command reports what the node wrote during the frame.
  void set_after_process(std::function<void(int)> after) {
    player_.set_after_process(std::move(after));
  }

  // Frame `frame` (FramePlayer::show), or with `catch_up` the simulation brought
  // through it without drawing (FramePlayer::skip; the output keeps its samples).
  // Throws AppError when the node refuses a frame.
  const HostImage& process(int frame, bool catch_up);
  // The settings changed: the next frame replays the shot from its start.
  void restart() { player_.restart(); }

  // Plays the shot from `shot_start` to `frames.last()`: every frame of
  // `frames` drawn (on_frame with its output), every other one caught up
  // (on_catch_up after each). Written frames are thus the same as those of a
  // run that draws every frame from `shot_start`. Needs shot_start <= frames.first().
  void play(int shot_start, const FrameList& frames, const std::function<void(int)>& on_catch_up,
            const std::function<void(int, const HostImage&)>& on_frame);

  FXNode& node() { return player_.node(); }
  FrameSources& sources() { return sources_; }
  const HostImage& output() const { return player_.output(); }

 private:
  brumel::FrameImages images(int frame, bool input, bool matte);

  FrameSources& sources_;
  brumel::FramePlayer player_;
  bool for_files_ = false;
};

}  // namespace brumel
