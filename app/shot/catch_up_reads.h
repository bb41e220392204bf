#pragma once
// Which files a shot's catch-up frames must read. The simulation reads the
// pixels of its inputs only for the birth matte ("Use Birth Ma"): from the
// matte when there is one, else from the input itself. Every other catch-up
// frame can be given a blank stand-in, which saves reading a plate per frame.
#include "app/shot/frame_driver.h"
#include "assim/fx_node.h"

// What catch-up frames read for `node`'s settings (its value and keys of
// "Use Birth Ma"); a node without that switch reads everything.
FrameDriver::CatchUpReads catch_up_reads(const FXNode& node, bool has_matte);

// Whether `node`'s "Use Birth Ma" is on now or at any keyframe; false for a
// node without that switch.
bool birth_matte_ever_on(const FXNode& node);
