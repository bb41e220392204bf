#pragma once
// Command-line options shared by every command that plays a shot.
#include <CLI/CLI.hpp>

#include "app/shot/shot_setup.h"

// Registers on `command` the options every shot command shares, bound to `shot`:
// the inputs (-i, --matte), the node (--module, --threads) and its settings
// (--load, --demo, --set, --key, --preroll). The frame, size and mode options
// differ between commands; each registers its own.
void add_shot_options(CLI::App& command, ShotOptions& shot);
