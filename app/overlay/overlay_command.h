#pragma once
// `brumel overlay`: renders the shot up to one frame, then draws the node's
// viewer overlay (handles, wireframe, side view) over it with real OpenGL in an
// offscreen buffer, optionally after scripted drags of the handles, and writes
// the picture.
#include <optional>
#include <string>
#include <vector>

#include "app/shot/shot_setup.h"

namespace CLI {
class App;
}

namespace brumel {

// One scripted drag in view pixels: button down at (x1, y1), moves with the
// button held, button up at (x2, y2).
struct Drag {
  float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  std::string text;  // as given, for messages
};

// Parses "X1,Y1:X2,Y2" (numbers, view pixels). Throws AppError naming `text`.
Drag parse_drag(const std::string& text);

struct OverlayOptions {
  ShotOptions shot;       // shot.frames is the one frame drawn under the overlay
  std::string output;     // the picture (any format OpenImageIO writes)
  std::string save_file;  // --save: settings after the drags; empty for none
  std::vector<Drag> drags;
  int margin = 140;  // rows below the frame: the side view and the camera mark
  bool quiet = false;
};

// Checks everything that can be checked first (settings, inputs, drags, output
// and settings folders), renders frame shot.frames.last, draws the overlay,
// applies the drags in order (each followed by a redraw), writes the picture
// and then the settings. Returns 0; throws AppError. A drag whose press takes
// no handle is an error, and nothing is written then.
int run_overlay(const OverlayOptions& options);

// The command line of `brumel overlay`, kept as given until it runs.
struct OverlayCommandLine {
  OverlayOptions options;
  int frame = 1;
  std::optional<int> shot_start;  // empty: the input sequence's first frame on disk, else 1
  std::string size;
  std::vector<std::string> drags;
};

// Registers the `overlay` subcommand, its options stored in `line`.
void add_overlay_command(CLI::App& app, OverlayCommandLine& line);
// Parses what the command line left as text and runs the command.
int run_overlay_command(OverlayCommandLine& line);

}  // namespace brumel
