#include "app/commands/render_command.h"

#include <cstdio>
#include <filesystem>
#include <set>

#include "app/app_error.h"
#include "app/images/frame_file.h"
#include "app/shot/frame_writer.h"
#include "app/images/image_io.h"
#include "app/images/image_sequence.h"
#include "app/colour/frame_compositing.h"
#include "app/shot/node_messages.h"
#include "app/shot/output_files.h"
#include "app/commands/progress.h"
#include "app/commands/progress_events.h"

int run_render(const RenderOptions& options) {
  const ImageSequence output(options.output);
  const FrameList& frames = options.shot.frames;
  const Progress::Style style = Progress::style_for_stderr(options.quiet, options.progress);
  if (!output.is_sequence() && frames.count() > 1) {
    throw AppError("output \"" + options.output + "\" has no frame number pattern but " +
                   std::to_string(frames.count()) + " frames would be written (frames " +
                   frames.text() + "); add #### or %04d to the name, or give --frames N for one frame");
  }
  refuse_writing_over_inputs(output, frames, options.shot);
  if (!options.save_file.empty()) check_settings_folder(options.save_file);

  ShotOptions shot_options = options.shot;
  if (options.skip_existing) {
    std::optional<FrameList> missing = frames_not_on_disk(output, frames);
    if (!missing) {
      if (style == Progress::Style::Json) {
        for (const int frame : frames.frames()) {
          write_event(stderr, {{"event", "skipped"}, {"frame", frame}, {"path", output.frame_path(frame)}});
        }
        write_event(stderr, {{"event", "end"}, {"frames", 0}, {"catch_up", 0}, {"seconds", 0}});
      } else if (style != Progress::Style::Quiet) {
        std::fprintf(stderr, "brumel: every frame of %s is on disk already; nothing to render\n",
                     frames.text().c_str());
      }
      return 0;
    }
    shot_options.frames = *missing;
  }
  std::unique_ptr<Shot> shot = prepare_shot(shot_options);
  for (const std::string& warning : shot->warnings) {
    if (style == Progress::Style::Json) {
      write_event(stderr, {{"event", "warning"}, {"message", warning}});
    } else {
      std::fprintf(stderr, "brumel: warning: %s\n", warning.c_str());
    }
  }

  FrameSources& sources = shot->sources;
  const ColourSpaces& colours = sources.colours();
  const std::string output_space =
      !options.output_colorspace.empty()
          ? colours.resolve(options.output_colorspace, "--output-colorspace")
          : (sources.has_input() ? colours.of_plate(sources.input_spec(shot_options.frames.first()),
                                                    shot_options.input_colorspace)
                                 : std::string(ColourSpaces::kNodeSpace));
  shot->driver->set_output(true, options.element);

  // A pattern may number folders too (shot####/f.png): each folder once.
  std::set<std::filesystem::path> folders;
  for (const int frame : shot_options.frames.frames()) {
    const std::string path = output.frame_path(frame);
    if (folders.insert(std::filesystem::path(path).parent_path()).second) prepare_output(path);
  }
  check_output_options(options.output_options, output.frame_path(shot_options.frames.first()));
  if (!options.save_file.empty()) save_settings(*shot->node, options.save_file);
  // Every frame carries the document --save writes, made once; only the writer's
  // thread touches the stamp from here on.
  FrameStamp stamp{0, shot_options.shot_start, shot_options.settings.preroll,
                   settings_document(*shot->node), options.element,
                   sources.has_input() ? colours.of_plate(sources.input_spec(shot_options.frames.first()),
                                                          shot_options.input_colorspace)
                                       : std::string(),
                   output_space};

  Progress progress(style, shot_options.shot_start, shot_options.frames);
  // The node writes its warnings on standard output; they are reported on standard
  // error after each frame, and standard output stays clean.
  NodeMessages node_messages;
  shot->driver->set_after_process(
      [&](int frame) { progress.node_messages(frame, node_messages.take()); });
  for (const int frame : frames.frames()) {
    if (!shot_options.frames.contains(frame)) progress.skipped(frame, output.frame_path(frame));
  }
  // Frame N is written while frame N+1 renders; the files and their order are the
  // same, and a failed write stops the render at the next frame.
  FrameWriter writer(
      [&](int frame, const OIIO::ImageBuf& image, const std::string& path) {
        stamp.frame = frame;
        write_frame(image, path, options.output_options, stamp);
      },
      [&](int frame, const std::string& path) { progress.wrote(frame, path); });
  // A catch-up between written frames first waits for the write in flight, so that the
  // progress events keep the order of the frames.
  shot->play([&](int frame) {
               writer.finish();
               progress.caught_up(frame);
             },
             [&](int frame, const HostImage& image) {
               writer.submit(frame,
                             output_frame(image, sources.input(frame), options.element,
                                          output_space, colours),
                             output.frame_path(frame));
             });
  writer.finish();
  progress.finish();
  return 0;
}
