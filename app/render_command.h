#pragma once
// `brumel render`: renders a frame range of the cloud over the input (or the
// default background) and writes an image sequence.
#include <string>

#include "app/shot_setup.h"

struct RenderOptions {
  ShotOptions shot;
  std::string output;     // image name or sequence pattern
  std::string save_file;  // --save: settings document written before rendering; empty for none
  bool quiet = false;
};

// Validates everything (settings, inputs, output format and folder) before the
// first frame, writes the settings document when asked, renders and writes
// frames shot.frames, reporting progress on standard error. Returns 0; throws
// AppError, with nothing written, when anything is wrong before rendering.
int run_render(const RenderOptions& options);
