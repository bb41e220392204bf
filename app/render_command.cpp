#include "app/render_command.h"

#include <filesystem>

#include "app/app_error.h"
#include "app/frame_writer.h"
#include "app/image_io.h"
#include "app/image_sequence.h"
#include "app/progress.h"

int run_render(const RenderOptions& options) {
  const ImageSequence output(options.output);
  const FrameRange frames = options.shot.frames;
  if (!output.is_sequence() && frames.count() > 1) {
    throw AppError("output \"" + options.output + "\" has no frame number pattern but " +
                   std::to_string(frames.count()) + " frames would be written (frames " +
                   std::to_string(frames.first) + "-" + std::to_string(frames.last) +
                   "); add #### or %04d to the name, or give --frames N for one frame");
  }
  if (!options.save_file.empty()) check_settings_folder(options.save_file);

  std::unique_ptr<Shot> shot = prepare_shot(options.shot);

  prepare_output(output.frame_path(frames.first));
  if (frames.count() > 1) prepare_output(output.frame_path(frames.last));
  if (!options.save_file.empty()) save_settings(*shot->node, options.save_file);

  Progress progress(Progress::style_for_stderr(options.quiet),
                    frames.first - options.shot.shot_start, frames);
  // Frame N is written while frame N+1 renders; the files and their order are the
  // same, and a failed write stops the render at the next frame.
  FrameWriter writer(write_host_image,
                     [&](int frame, const std::string& path) { progress.wrote(frame, path); });
  shot->play([&](int frame) { progress.caught_up(frame); },
             [&](int frame, const HostImage& image) {
               writer.submit(frame, image, output.frame_path(frame));
             });
  writer.finish();
  progress.finish();
  return 0;
}
