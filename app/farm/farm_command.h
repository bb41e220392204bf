#pragma once
// `brumel farm`: a shot split into chunks of its frames for a render farm.
// Every chunk renders with the same settings document (written once), the
// same shot start and --skip-existing, so each frame is the frame of a whole
// run on one machine and a failed chunk simply runs again (--retries times by
// itself), writing only what is missing. With --slurm the chunks are one Slurm
// job array (sbatch --array); --print-commands gives one `brumel render` command
// per chunk for any other farm manager.
#include <CLI/CLI.hpp>
#include <functional>
#include <string>
#include <vector>

#include "app/shot/frame_list.h"
#include "app/commands/render_command.h"

namespace brumel {

struct FarmOptions {
  RenderOptions render;  // the shot, as `brumel render` takes it
  bool slurm = false;
  bool print_commands = false;
  bool dry_run = false;  // print the batch script; submit and write nothing
  bool wait = false;     // wait for the job array, then report missing frames
  int chunks = 1;
  int retries = 2;         // times a failed chunk runs again
  std::string memory;      // --mem for each chunk, as sbatch takes it; empty: the cluster's
  std::string time_limit;  // --time for each chunk, as sbatch takes it; empty: the partition's
  std::string job_folder;  // settings, batch script, logs; default OUTPUT_FOLDER/brumel-farm
  std::vector<std::string> sbatch_args;  // passed to sbatch before the script
};

// The most reruns a chunk may be given: a chunk that fails that often fails for
// a reason no rerun cures, and each rerun catches up from the shot start again.
inline constexpr int kMostRetries = 10;

// `frames` in `chunks` runs of consecutive listed frames, the earlier runs one
// frame longer when they do not divide evenly. Throws AppError when there are
// more chunks than frames or fewer than one.
std::vector<FrameList> split_frames(const FrameList& frames, int chunks);

// Where a farm job runs: this program and the folder `brumel farm` was started
// in, both absolute, and the job folder as given: relative to `here`, as every
// relative path of the options is, or absolute. Every chunk starts with a cd to
// `here`, so all of them mean the same files on any machine and from any folder.
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

// `command` (shell text) run again up to `retries` times while it fails, as one
// line of shell; its status is 0 once a run succeeds, else not 0.
std::string retried(const std::string& command, int retries);

// The line that renders one chunk from any folder with its retries: a cd to
// `places.here`, then the chunk's command.
std::string chunk_line(const FarmOptions& options, const FarmPlaces& places, const FrameList& chunk);

// The Slurm batch script of the job array: task i renders chunks[i] from
// `places.here`, with its retries. Its #SBATCH lines hold numbers and checked
// limits alone; the job's name and logs go on sbatch's command line.
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

}  // namespace brumel
