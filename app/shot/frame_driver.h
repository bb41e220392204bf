#pragma once
// Drives a node through a shot as a host plays it: frame N at host time N, in
// ascending order, one process_image per frame.
#include <functional>
#include <utility>

#include "app/shot/frame_list.h"
#include "app/shot/frame_sources.h"
#include "app/images/host_image.h"
#include "assim/fx_node.h"

class FrameDriver {
 public:
  // Tells the node the host side: output size, pixel aspect (the plate's: a host
  // hands an anamorphic plate's aspect to its nodes) and the length of its inputs
  // (`shot_length` frames).
  FrameDriver(FXNode& node, FrameSources& sources, ImageSize output_size, int shot_length,
              double pixel_aspect = 1.0);

  // With `element`, the node draws the cloud alone (FXNode::host_set_element); without,
  // it still does for colour-managed plates when `files` is set, as the frames written
  // to files are then composited by the application (output_frame). Off at first:
  // the node composites, as a viewer shows it.
  void set_output(bool files, bool element) {
    for_files_ = files;
    element_ = element;
  }

  // Which sources a catch-up frame reads; the others are given a blank
  // stand-in of the output's size. The simulation reads no pixel of the input
  // or matte while it catches up unless the birth matte is in use, so a
  // stand-in gives the same later frames, bit for bit, without reading files.
  struct CatchUpReads {
    bool input = true;
    bool matte = true;
  };
  void set_catch_up_reads(CatchUpReads reads) { catch_up_reads_ = reads; }

  // Called with the frame after every process_image, a refused one included (before
  // process throws): the command reports what the node wrote during the frame.
  void set_after_process(std::function<void(int)> after) { after_process_ = std::move(after); }

  // One process_image at host time `frame`. With `catch_up` the node only
  // advances its simulation and the output keeps its previous samples.
  // Throws AppError when the node refuses the frame.
  const HostImage& process(int frame, bool catch_up);

  // Plays the shot from `shot_start` to `frames.last()`: every frame of
  // `frames` drawn (on_frame with its output), every other one caught up
  // (on_catch_up after each). Written frames are thus the same as those of a
  // run that draws every frame from `shot_start`. Needs shot_start <= frames.first().
  void play(int shot_start, const FrameList& frames, const std::function<void(int)>& on_catch_up,
            const std::function<void(int, const HostImage&)>& on_frame);

  FXNode& node() { return node_; }
  FrameSources& sources() { return sources_; }
  const HostImage& output() const { return output_; }

 private:
  FXNode& node_;
  FrameSources& sources_;
  HostImage output_;
  CatchUpReads catch_up_reads_;
  HostImage stand_in_;  // blank, the output's size; made when first needed
  bool for_files_ = false;
  bool element_ = false;
  std::function<void(int)> after_process_;
};
