#pragma once
// `brumel farm`: a shot split into chunks of its frames for a render farm.
// Every chunk renders with the same settings document (written once), the
// same shot start and --skip-existing, so each frame is the frame of a whole
// run on one machine and a failed chunk can simply run again. With --slurm the
// chunks are one Slurm job array (sbatch --array); --print-commands gives one
// `brumel render` command per chunk for any other farm manager.
#include <CLI/CLI.hpp>
#include <functional>
#include <string>
#include <vector>

#include "app/shot/frame_list.h"
#include "app/commands/render_command.h"

struct FarmOptions {
  RenderOptions render;  // the shot, as `brumel render` takes it
  bool slurm = false;
  bool print_commands = false;
  bool dry_run = false;  // print the batch script; submit and write nothing
  bool wait = false;     // wait for the job array, then report missing frames
  int chunks = 1;
  std::string job_folder;  // settings, batch script, logs; default OUTPUT_FOLDER/brumel-farm
  std::vector<std::string> sbatch_args;  // passed to sbatch before the script
};

// `frames` in `chunks` runs of consecutive listed frames, the earlier runs one
// frame longer when they do not divide evenly. Throws AppError when there are
// more chunks than frames or fewer than one.
std::vector<FrameList> split_frames(const FrameList& frames, int chunks);

// Where a farm job runs: this program, the folder `brumel farm` was started in
// (the options' relative paths are from there) and the job folder, both absolute.
struct FarmPlaces {
  std::string program;
  std::string here;
  std::string job_folder;
  std::string settings_file() const { return job_folder + "/settings.json"; }
  std::string script_file() const { return job_folder + "/job.sh"; }
};

// The places of `options`' job. Throws AppError when the current folder is gone.
FarmPlaces farm_places(const FarmOptions& options);

// The command line (program first) that renders one chunk from `places.here`.
std::vector<std::string> chunk_command(const FarmOptions& options, const FarmPlaces& places,
                                       const FrameList& chunk);

// The Slurm batch script of the job array: task i renders chunks[i] from
// `places.here`. Its #SBATCH lines hold numbers alone; the job's name and logs
// go on sbatch's command line.
std::string slurm_script(const FarmOptions& options, const FarmPlaces& places,
                         const std::vector<FrameList>& chunks);

// Registers the `farm` subcommand; `add_render_options` registers the options
// of `brumel render` on it.
void add_farm_options(CLI::App& app, FarmOptions& options,
                      const std::function<void(CLI::App*)>& add_render_options);

// Checks the shot as `brumel render` does, writes the settings document and
// then submits the array (or prints the script or the commands). Returns 0,
// or 1 when --wait finds frames missing (named on standard error). Throws AppError.
int run_farm(const FarmOptions& options);
