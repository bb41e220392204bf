#include "app/commands/render_command.h"

#include <cstdio>
#include <filesystem>
#include <set>

#include "app/app_error.h"
#include "app/images/frame_file.h"
#include "app/shot/frame_writer.h"
#include "app/images/image_io.h"
#include "app/images/image_sequence.h"
#include "app/images/pending_file.h"
#include "app/colour/frame_compositing.h"
#include "app/shot/node_messages.h"
#include "app/shot/output_files.h"
#include "app/commands/progress.h"
#include "app/commands/progress_events.h"
#include "app/settings/shot_document.h"
#include "assim/smp.h"

namespace brumel {

namespace {

// The input's colour space, as its first frame to write and the options give it.
std::string input_space(const ShotOptions& shot, FrameSources& sources) {
  return sources.colours().of_plate(sources.input_spec(shot.frames.first()), shot.input_colorspace);
}

void report_warnings(Progress::Style style, const std::vector<std::string>& warnings) {
  for (const std::string& warning : warnings) {
    if (style == Progress::Style::Json) {
      write_event(stderr, {{"event", "warning"}, {"message", warning}});
    } else {
      std::fprintf(stderr, "brumel: warning: %s\n", warning.c_str());
    }
  }
}

// Makes the output folders (a pattern may number folders too, shot####/f.png: each
// folder once) and checks the output options against the format.
void prepare_outputs(const RenderOptions& options, const ImageSequence& output) {
  const std::string first = output.frame_path(options.shot.frames.first());
  // The element is its alpha: a format without one would keep colour over black alone.
  if (options.element && !keeps_alpha(first)) {
    throw AppError("--element: \"" + first + "\" is of a format without alpha; write the element to "
                   ".exr, .tif or .png");
  }
  std::set<std::filesystem::path> folders;
  for (const int frame : options.shot.frames.frames()) {
    const std::string path = output.frame_path(frame);
    if (folders.insert(std::filesystem::path(path).parent_path()).second) prepare_output(path);
  }
  check_output_options(options.output_options, first);
}

// The frames' colour space: --output-colorspace, else by the samples the file holds.
std::string output_space(const RenderOptions& options, const ImageSequence& output,
                         FrameSources& sources) {
  const ColourSpaces& colours = sources.colours();
  if (!options.output_colorspace.empty()) {
    return colours.resolve(options.output_colorspace, "--output-colorspace");
  }
  const std::string first = output.frame_path(options.shot.frames.first());
  return colours.of_samples(writes_float_samples(options.output_options, first));
}

// Renders shot.options.frames, catching up the others, and writes each frame while
// the next one renders, reporting progress.
void play_and_write(const RenderOptions& options, Shot& shot, const ImageSequence& output,
                    Progress::Style style, const FrameStamp& stamp,
                    const std::vector<FramesOnDisk::Stale>& stale) {
  const ShotOptions& shot_options = shot.options;
  FrameSources& sources = shot.sources;
  const ColourSpaces& colours = sources.colours();
  const std::string& space = stamp.output_colorspace;
  shot.driver->set_output(true, options.element);

  Progress progress(style, shot_options.shot_start, shot_options.frames);
  for (const int frame : options.shot.frames.frames()) {
    if (!shot_options.frames.contains(frame)) progress.skipped(frame, output.frame_path(frame));
  }
  for (const FramesOnDisk::Stale& frame : stale) {
    progress.rendered_again(frame.frame, output.frame_path(frame.frame), frame.why);
  }
  // Frames are encoded while the next ones render, one per processor at a time; the
  // files, their order and every event are those of a render that writes each frame
  // before drawing the next, and a failed write stops the render at a later frame.
  FrameWriter writer(
      [&](int frame, const OIIO::ImageBuf& image, const std::string& path) {
        FrameStamp frame_stamp = stamp;
        frame_stamp.frame = frame;
        return encode_frame(image, path, options.output_options, frame_stamp);
      },
      [&](int frame, const std::string& path) { progress.wrote(frame, path); }, smp_numprocs());
  // The node writes its warnings on standard output; they are reported on standard
  // error after each frame, and standard output stays clean.
  NodeMessages node_messages;
  shot.driver->set_after_process([&](int frame) {
    writer.tell([&progress, frame, messages = node_messages.take()] {
      progress.node_messages(frame, messages);
    }, false);
  });
  try {
    shot.play([&](int frame) { writer.tell([&progress, frame] { progress.caught_up(frame); }, true); },
              [&](int frame, const HostImage& image) {
                writer.submit(frame, output_frame(image, sources.input(frame), options.element, space, colours),
                              output.frame_path(frame));
              });
  } catch (...) {
    // The frames written before the failure are reported before it; a write that
    // failed earlier is the failure to report.
    writer.finish();
    throw;
  }
  writer.finish();
  progress.finish();
}

}  // namespace

FrameStamp shot_stamp(const RenderOptions& options, Shot& shot) {
  const ShotOptions& shot_options = shot.options;
  const ImageSequence output(options.output);
  return FrameStamp{0, shot_options.shot_start, shot_options.settings.preroll,
                    settings_document(*shot.node), options.element,
                    shot.sources.has_input() ? input_space(shot_options, shot.sources) : std::string(),
                    output_space(options, output, shot.sources)};
}

int run_render(const RenderOptions& options) {
  const ImageSequence output(options.output);
  const FrameList& frames = options.shot.frames;
  const Progress::Style style = Progress::style_for_stderr(options.quiet, options.progress);
  check_shot_frames(options.shot.shot_start, frames.span());
  if (!output.is_sequence() && frames.count() > 1) {
    throw AppError("output \"" + options.output + "\" has no frame number pattern but " +
                   std::to_string(frames.count()) + " frames would be written (frames " +
                   frames.text() + "); add #### or %04d to the name, or give --frames N for one frame");
  }
  refuse_writing_over_inputs(output, frames, options.shot, options.save_file);
  if (!options.save_file.empty()) check_settings_folder(options.save_file);

  // Everything is checked, with --skip-existing too, before it says what it leaves.
  std::unique_ptr<Shot> shot = prepare_shot(options.shot);
  // Made once: the writer's threads stamp copies of it.
  const FrameStamp stamp = shot_stamp(options, *shot);
  const FramesOnDisk on_disk =
      options.skip_existing ? frames_to_write(output, frames, stamp) : FramesOnDisk{frames, {}, false};
  if (on_disk.unchecked) {
    shot->warnings.push_back("--skip-existing keeps frames on disk that record no settings to compare (\"" +
                             output.frame_path(frames.first()) +
                             "\" is of a format that keeps none; .exr and .png keep them)");
  }
  report_warnings(style, shot->warnings);
  if (on_disk.to_write) shot->options.frames = *on_disk.to_write;
  prepare_outputs(options, output);
  if (!options.save_file.empty()) save_shot_document(options.save_file, stamp, frames, shot->size);
  if (!on_disk.to_write) {
    Progress::report_all_on_disk(style, frames, [&](int frame) { return output.frame_path(frame); });
    return 0;
  }
  std::vector<std::string> paths;
  for (const int frame : on_disk.to_write->frames()) paths.push_back(output.frame_path(frame));
  remove_abandoned_partial_files(paths);
  play_and_write(options, *shot, output, style, stamp, on_disk.stale);
  return 0;
}

}  // namespace brumel
