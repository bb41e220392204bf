#pragma once
// Which files a shot's catch-up frames must read. The simulation reads the
// pixels of its inputs only for the birth matte ("Use Birth Ma"): from the
// matte when there is one, else from the input itself. Every other catch-up
// frame can be given a blank stand-in, which saves reading a plate per frame.
#include "assim/fx_node.h"

namespace brumel {

// Which sources a catch-up frame reads; the others are given a blank stand-in of
// the output's size, which gives the same later frames, bit for bit.
struct CatchUpReads {
  bool input = true;
  bool matte = true;
};

// What catch-up frames read for `node`'s settings (its value and keys of
// "Use Birth Ma"); a node without that switch reads everything.
CatchUpReads catch_up_reads(const FXNode& node, bool has_matte);

// Whether `node`'s "Use Birth Ma" is on now or at any keyframe; false for a
// node without that switch.
bool birth_matte_ever_on(const FXNode& node);

}  // namespace brumel
