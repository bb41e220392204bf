#pragma once
// `brumel render`: renders a frame range of the cloud over the input (or the
// default background) and writes an image sequence.
#include <string>

#include "app/images/frame_metadata.h"
#include "app/images/output_options.h"
#include "app/shot/shot_setup.h"

namespace brumel {

struct RenderOptions {
  ShotOptions shot;
  std::string output;     // image name or sequence pattern
  OutputOptions output_options;  // --datatype, --compression, --quality
  std::string save_file;  // --save: settings document written before rendering; empty for none
  bool element = false;           // --element: the cloud alone, premultiplied, coverage alpha
  std::string output_colorspace;  // empty: the input's
  bool quiet = false;
  bool skip_existing = false;  // --skip-existing: leave frames already on disk
  std::string progress;        // --progress: "bar", "lines" or "json"; empty: by the terminal
};

// Validates everything (settings, inputs, output format, options and folder, no
// output over an input file) before the first frame, writes the settings
// document when asked, renders and writes frames shot.frames (with
// skip_existing, those not on disk yet; the others are caught up), each
// stamped with the shot's settings, reporting progress on standard error. Returns 0; throws AppError, with nothing written, when anything is
// wrong before rendering.
int run_render(const RenderOptions& options);

// What every frame of a prepared shot records, its frame number aside (the settings
// document, the shot options, the colour spaces it is written in): what --save
// writes beside the settings and --skip-existing compares. Throws AppError for an
// output colour space the configuration does not have.
FrameStamp shot_stamp(const RenderOptions& options, Shot& shot);

}  // namespace brumel
