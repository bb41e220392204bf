#include "app/render_command.h"

#include <filesystem>
#include <set>

#include "app/app_error.h"
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

  // A pattern may number folders too (shot####/f.png): each folder once.
  std::set<std::filesystem::path> folders;
  for (int frame = frames.first; frame <= frames.last; ++frame) {
    const std::string path = output.frame_path(frame);
    if (folders.insert(std::filesystem::path(path).parent_path()).second) prepare_output(path);
  }
  if (!options.save_file.empty()) save_settings(*shot->node, options.save_file);

  Progress progress(Progress::style_for_stderr(options.quiet),
                    frames.first - options.shot.shot_start, frames);
  shot->play([&](int frame) { progress.caught_up(frame); },
             [&](int frame, const HostImage& image) {
               const std::string path = output.frame_path(frame);
               write_host_image(image, path);
               progress.wrote(frame, path);
             });
  progress.finish();
  return 0;
}
