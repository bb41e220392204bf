#include "app/farm/farm_command.h"

#include <cstdio>
#include <filesystem>
#include <iostream>

#include "app/app_error.h"
#include "app/farm/child_process.h"
#include "app/commands/render_command.h"
#include "app/farm/shell_text.h"
#include "app/settings/shot_document.h"
#include "app/farm/slurm_limits.h"
#include "app/images/image_io.h"
#include "app/images/image_sequence.h"
#include "app/images/pending_file.h"
#include "app/shot/output_files.h"
#include "app/embedding.h"
#include "app/shot/shot_setup.h"

namespace brumel {

namespace fs = std::filesystem;

namespace {

constexpr const char* kFarmFooter = R"(
The options after the farm's own are those of `brumel render` (see `brumel
render --help`). The farm checks the shot as a render does, writes its settings
once to JOB_FOLDER/settings.json and runs every chunk as

  cd FOLDER && brumel render --load JOB_FOLDER/settings.json [--preroll] \
      --shot-start S --frames CHUNK --skip-existing -o OUTPUT [the inputs, size,
      threads, module, output options]

FOLDER being the current folder, from which every relative path is read (on
every machine, which must see the same files there), so every frame equals the
same frame of a run on one machine. A chunk that fails runs again, up to
--retries times, and writes only the frames it is missing; a rerun of the same
farm command renders only the frames still missing. Each submission's logs are
JOB_FOLDER/chunk-JOBID_TASK.log, so a later submission keeps the earlier logs.

Examples:
  brumel farm --slurm --chunks 3 --wait --demo Drift --preroll --frames 1-12 \
      --size 160x90 -o farm/c.####.png
  brumel farm --slurm --chunks 8 --mem 8G --time 2:00:00 --dry-run -i plate.####.exr \
      --frames 1001-1100 -o out/c.####.exr
  brumel farm --print-commands --chunks 4 -i plate.####.exr --frames 1001-1100 \
      -o out/c.####.exr | parallel -j4)";

std::string self_path() {
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  return error ? std::string("brumel") : self.string();
}

// Every word that the chunks' shell and sbatch read, named by the option that
// gave it (a chunk command's words by the word before them).
void refuse_multiline_words(const FarmOptions& options, const FarmPlaces& places,
                            const std::vector<std::string>& chunk) {
  refuse_control_characters("-o", options.render.output);
  if (!options.job_folder.empty()) refuse_control_characters("--job-folder", options.job_folder);
  refuse_control_characters("the current folder", places.here);
  for (const std::string& arg : options.sbatch_args) refuse_control_characters("--sbatch-arg", arg);
  for (std::size_t i = 0; i < chunk.size(); ++i) {
    refuse_control_characters(i == 0 ? "the brumel program" : chunk[i - 1], chunk[i]);
  }
}

// The chunks' log files as a Slurm file name pattern: "chunk-%A_%a.log" (job id,
// task) in the job folder, whose own % are written %%: a second submission
// never writes over the logs of the first. A backslash anywhere turns every
// pattern off (the logs would all be named "chunk-%A_%a.log"), so it is refused.
std::string slurm_log_pattern(const FarmPlaces& places) {
  if (places.job_folder.find('\\') != std::string::npos) {
    throw AppError("the job folder \"" + places.job_folder + "\" holds a backslash, which Slurm "
                   "does not allow in the logs' names; give --job-folder another folder");
  }
  std::string pattern;
  for (const char c : places.job_folder) pattern += c == '%' ? "%%" : std::string(1, c);
  return pattern + "/chunk-%A_%a.log";
}

// The sbatch command that submits the batch script. The job's name, folder and
// log go on the command line, where they reach sbatch as given: Slurm reads
// #SBATCH lines with rules of its own (a space ends the value, a # starts a
// comment), which no quoting for the shell fits. The job runs in the folder the
// script's cd goes to, so that a relative log name means the same folder. The
// user's --sbatch-arg come last and win.
std::vector<std::string> sbatch_command(const FarmOptions& options, const FarmPlaces& places) {
  std::vector<std::string> words{"sbatch", "--parsable"};
  if (options.wait) words.push_back("--wait");
  words.push_back("--job-name=brumel-" + fs::path(options.render.output).stem().stem().string());
  words.push_back("--chdir=" + places.here);
  words.push_back("--output=" + slurm_log_pattern(places));
  words.insert(words.end(), options.sbatch_args.begin(), options.sbatch_args.end());
  words.push_back(places.script_file());
  return words;
}

// Writes the batch script and submits it; returns the job's id. Throws AppError
// when it cannot be written or sbatch does not take it.
std::string submit_job(const FarmOptions& options, const FarmPlaces& places,
                       const std::vector<FrameList>& chunks) {
  write_whole_file(places.script_file(), slurm_script(options, places, chunks));
  const ChildResult submitted = run_child(sbatch_command(options, places));
  std::string job = submitted.out.substr(0, submitted.out.find_first_of(";\n"));
  if (job.empty()) {
    throw AppError("sbatch did not submit the job (status " + std::to_string(submitted.status) +
                   "); the script is " + places.script_file());
  }
  return job;
}

// The farm's own numbers and limits, each named with its value when refused.
void check_farm_options(const FarmOptions& options) {
  if (options.retries < 0 || options.retries > kMostRetries) {
    throw AppError("--retries " + std::to_string(options.retries) + ": give 0 to " +
                   std::to_string(kMostRetries) + " reruns of a failed chunk");
  }
  const bool limits = !options.memory.empty() || !options.time_limit.empty();
  if (limits && !options.slurm) {
    throw AppError(std::string(options.memory.empty() ? "--time" : "--mem") +
                   " is a limit Slurm enforces: give it with --slurm (another farm manager takes "
                   "its own limits for the commands --print-commands prints)");
  }
  if (!options.memory.empty()) check_slurm_memory(options.memory);
  if (!options.time_limit.empty()) check_slurm_time(options.time_limit);
}

}  // namespace

FarmPlaces farm_places(const FarmOptions& options) {
  std::error_code error;
  const fs::path here = fs::current_path(error);
  if (error) throw AppError("cannot tell the current folder: " + error.message());
  const fs::path folder = options.job_folder.empty()
                              ? fs::path(options.render.output).parent_path() / "brumel-farm"
                              : fs::path(options.job_folder);
  return FarmPlaces{self_path(), here.string(), folder.lexically_normal().string()};
}

std::vector<FrameList> split_frames(const FrameList& frames, int chunks) {
  if (chunks < 1 || chunks > frames.count()) {
    throw AppError("--chunks " + std::to_string(chunks) + ": give 1 to " +
                   std::to_string(frames.count()) + " chunks for the " +
                   std::to_string(frames.count()) + " frames " + frames.text());
  }
  std::vector<FrameList> parts;
  const std::vector<int>& all = frames.frames();
  std::size_t begin = 0;
  for (int i = 0; i < chunks; ++i) {
    const std::size_t size = all.size() / chunks + (static_cast<std::size_t>(i) < all.size() % chunks ? 1 : 0);
    parts.emplace_back(std::vector<int>(all.begin() + begin, all.begin() + begin + size));
    begin += size;
  }
  return parts;
}

std::vector<std::string> chunk_command(const FarmOptions& options, const FarmPlaces& places,
                                       const FrameList& chunk) {
  const RenderOptions& render = options.render;
  const ShotOptions& shot = render.shot;
  std::vector<std::string> words{places.program, "render", "--load", places.settings_file()};
  if (shot.settings.preroll) words.push_back("--preroll");
  words.insert(words.end(), {"--shot-start", std::to_string(shot.shot_start), "--frames",
                             chunk.text(), "--skip-existing"});
  if (render.quiet) {
    words.push_back("-q");
  } else {
    words.insert(words.end(), {"--progress", render.progress.empty() ? "lines" : render.progress});
  }
  if (!shot.input.empty()) words.insert(words.end(), {"-i", shot.input});
  if (!shot.matte.empty()) words.insert(words.end(), {"--matte", shot.matte});
  if (!shot.input_colorspace.empty()) {
    words.insert(words.end(), {"--input-colorspace", shot.input_colorspace});
  }
  if (!shot.colour.config_file.empty()) {
    words.insert(words.end(), {"--colorconfig", shot.colour.config_file});
  }
  if (!shot.colour.node_space.empty()) {
    words.insert(words.end(), {"--node-colorspace", shot.colour.node_space});
  }
  if (render.element) words.push_back("--element");
  if (!render.output_colorspace.empty()) {
    words.insert(words.end(), {"--output-colorspace", render.output_colorspace});
  }
  if (shot.size) {
    words.insert(words.end(), {"--size", std::to_string(shot.size->width) + "x" +
                                             std::to_string(shot.size->height)});
  }
  if (shot.threads > 0) words.insert(words.end(), {"--threads", std::to_string(shot.threads)});
  if (!shot.module_path.empty()) words.insert(words.end(), {"--module", shot.module_path});
  const OutputOptions& output = render.output_options;
  if (!output.datatype.empty()) words.insert(words.end(), {"--datatype", output.datatype});
  if (!output.compression.empty()) words.insert(words.end(), {"--compression", output.compression});
  if (output.quality != 0) words.insert(words.end(), {"--quality", std::to_string(output.quality)});
  words.insert(words.end(), {"-o", render.output});
  return words;
}

std::string retried(const std::string& command, int retries) {
  if (retries == 0) return command;
  // The last run's failure is the loop's status: the test `[ attempt != last ]`
  // fails there, after the message of every earlier failure.
  const std::string last = std::to_string(retries + 1);
  std::string attempts;
  for (int i = 1; i <= retries + 1; ++i) attempts += (i > 1 ? " " : "") + std::to_string(i);
  return "for attempt in " + attempts + "; do " + command + " && break; [ \"$attempt\" != " + last +
         " ] && echo \"brumel farm: attempt $attempt of " + last +
         " failed; running the chunk again\" >&2; done";
}

std::string chunk_line(const FarmOptions& options, const FarmPlaces& places, const FrameList& chunk) {
  return "cd " + shell_word(places.here) + " && " +
         retried(shell_line(chunk_command(options, places, chunk)), options.retries);
}

std::string slurm_script(const FarmOptions& options, const FarmPlaces& places,
                         const std::vector<FrameList>& chunks) {
  // Only numbers and checked limits on #SBATCH lines: see sbatch_command.
  std::string script = "#!/bin/bash\n#SBATCH --array=0-" + std::to_string(chunks.size() - 1) + "\n";
  if (options.render.shot.threads > 0) {
    script += "#SBATCH --cpus-per-task=" + std::to_string(options.render.shot.threads) + "\n";
  }
  if (!options.memory.empty()) script += "#SBATCH --mem=" + options.memory + "\n";
  if (!options.time_limit.empty()) script += "#SBATCH --time=" + options.time_limit + "\n";
  script += "# Submitted as: " + shell_line(sbatch_command(options, places)) +
            "\n# Task i renders chunk i of frames " + options.render.shot.frames.text() +
            " from the shot start " + std::to_string(options.render.shot.shot_start) +
            "; frames already on disk are skipped, and a failed run is run again up to " +
            std::to_string(options.retries) + " times.\nset -eu\ncd " + shell_word(places.here) +
            "\nchunks=(";
  for (std::size_t i = 0; i < chunks.size(); ++i) script += (i ? " " : "") + shell_word(chunks[i].text());
  script += ")\n";
  std::vector<std::string> words = chunk_command(options, places, chunks.front());
  std::string line;
  for (std::size_t i = 0; i < words.size(); ++i) {
    const bool frames = i > 0 && words[i - 1] == "--frames";
    line += (i ? " " : "") + (frames ? std::string("\"${chunks[$SLURM_ARRAY_TASK_ID]}\"") : shell_word(words[i]));
  }
  return script + retried(line, options.retries) + "\n";
}

void add_farm_options(CLI::App& app, FarmOptions& options,
                      const std::function<void(CLI::App*)>& add_render_options) {
  CLI::App* farm = app.add_subcommand(
      "farm",
      "Split a shot into chunks for a render farm: a Slurm job array, or one `brumel render` "
      "command per chunk");
  farm->add_flag("--slurm", options.slurm, "Submit the chunks as one Slurm job array (sbatch --array)");
  farm->add_flag("--print-commands", options.print_commands,
                 "Print one `brumel render` command per chunk, for any farm manager");
  farm->add_option("--chunks", options.chunks, "Chunks to split the frames into")
      ->type_name("N")
      ->capture_default_str();
  farm->add_option("--retries", options.retries,
                   "Times a failed chunk runs again (0 to 10), writing only the frames it is "
                   "missing")
      ->type_name("N")
      ->capture_default_str();
  farm->add_option("--mem", options.memory,
                   "Memory of each chunk for Slurm (sbatch --mem): 4G, 500M; default: the "
                   "cluster's")
      ->type_name("SIZE");
  farm->add_option("--time", options.time_limit,
                   "Time limit of each chunk for Slurm (sbatch --time): 90 (minutes), 2:00:00, "
                   "1-12 (a day and 12 hours); default: the partition's")
      ->type_name("TIME");
  farm->add_flag("--wait", options.wait,
                 "Wait until the job array has finished, then name the frames missing (status 1)");
  farm->add_flag("--dry-run", options.dry_run, "Print the batch script; submit and write nothing");
  farm->add_option("--job-folder", options.job_folder,
                   "Folder for the settings document, the batch script and the logs; default: "
                   "brumel-farm in the output's folder (it must be seen by every machine)")
      ->type_name("DIR");
  farm->add_option("--sbatch-arg", options.sbatch_args,
                   "An argument for sbatch (--partition=render, --time=1:00:00); repeatable")
      ->type_name("ARG")
      ->allow_extra_args(false);
  add_render_options(farm);
  farm->footer(kFarmFooter);
}

int run_farm(const FarmOptions& options) {
  if (options.slurm == options.print_commands) {
    throw AppError("brumel farm: give --slurm (a Slurm job array) or --print-commands (one "
                   "command per chunk)");
  }
  const RenderOptions& render = options.render;
  const ImageSequence output(render.output);
  if (!output.is_sequence()) {
    throw AppError("output \"" + render.output + "\" has no frame number pattern; a farm writes "
                   "a sequence: add #### or %04d to the name");
  }
  check_farm_options(options);
  const std::vector<FrameList> chunks = split_frames(render.shot.frames, options.chunks);
  const FarmPlaces places = farm_places(options);
  refuse_multiline_words(options, places, chunk_command(options, places, chunks.front()));
  if (options.dry_run && options.slurm) {
    std::cout << slurm_script(options, places, chunks);
    return 0;
  }

  // Everything a render checks is checked here once, before any chunk runs.
  refuse_writing_over_inputs(output, render.shot.frames, render.shot);
  std::unique_ptr<Shot> shot = prepare_shot(render.shot);
  prepare_output(output.frame_path(render.shot.frames.first()));
  check_output_options(render.output_options, output.frame_path(render.shot.frames.first()));
  std::error_code error;
  fs::create_directories(places.job_folder, error);
  if (error) {
    throw AppError("cannot create the job folder \"" + places.job_folder +
                   "\": " + error.message());
  }
  save_settings(*shot->node, places.settings_file());
  if (!render.save_file.empty()) {
    save_shot_document(render.save_file, shot_stamp(render, *shot), render.shot.frames, shot->size);
  }

  if (options.print_commands) {
    // A cd first: the commands run from any folder, as a farm manager's may.
    for (const FrameList& chunk : chunks) std::cout << chunk_line(options, places, chunk) << "\n";
    return 0;
  }

  const std::string job = submit_job(options, places, chunks);
  std::fprintf(stderr, "brumel: job %s: %zu chunks of frames %s, logs in %s/chunk-%s_N.log\n",
               job.c_str(), chunks.size(), render.shot.frames.text().c_str(),
               places.job_folder.c_str(), job.c_str());
  if (!options.wait) return 0;

  const std::optional<FrameList> missing = frames_not_on_disk(output, render.shot.frames);
  if (missing) {
    std::fprintf(stderr,
                 "brumel: error: job %s finished with %d frames missing: %s (run the same "
                 "command again to render only those; logs in %s)\n",
                 job.c_str(), missing->count(), missing->text().c_str(), places.job_folder.c_str());
    return 1;
  }
  std::fprintf(stderr, "brumel: job %s finished: all %d frames are on disk\n", job.c_str(),
               render.shot.frames.count());
  return 0;
}

}  // namespace brumel
