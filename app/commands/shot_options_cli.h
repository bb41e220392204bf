#pragma once
// Command-line options shared by every command that plays a shot.
#include <CLI/CLI.hpp>

#include "app/shot/shot_setup.h"

namespace brumel {

// Registers on `command` the options every shot command shares, bound to `shot`:
// the inputs (-i, --matte), the node (--module, --threads) and its settings
// (--load, --demo, --set, --key, --preroll). The frame, size and mode options
// differ between commands; each registers its own.
void add_shot_options(CLI::App& command, ShotOptions& shot);

// What `brumel render` renders when not told otherwise, and so what `brumel view`
// shows: these frames, in this mode (unless a loaded document or a --set gives it).
inline constexpr const char* kDefaultFrames = "1-24";
inline constexpr const char* kDefaultMode = "render";

}  // namespace brumel
