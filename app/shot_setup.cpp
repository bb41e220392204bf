#include "app/shot_setup.h"

#include "app/app_error.h"
#include "assim/smp.h"

namespace {

// Sources are made once the size is known: the background takes the shot's size.
ImageSize shot_size(const ShotOptions& options) {
  if (options.size) return *options.size;
  if (options.input.empty()) return kDefaultSize;
  FrameSources probe(options.input, "", kDefaultSize);
  return probe.input_size(options.shot_start);
}

}  // namespace

std::unique_ptr<Shot> prepare_shot(const ShotOptions& options) {
  if (options.frames.first < options.shot_start) {
    throw AppError("the first frame " + std::to_string(options.frames.first) +
                   " comes before the shot start " + std::to_string(options.shot_start) +
                   " (--shot-start must not be after the first of --frames)");
  }
  const FrameRange played{options.shot_start, options.frames.last};
  FrameSources(options.input, options.matte, kDefaultSize).check_frames(played);
  const ImageSize size = shot_size(options);

  NodeModule module(options.module_path.empty() ? NodeModule::default_path() : options.module_path);
  NodePtr node = module.create();
  if (options.threads > 0) smp_set_numprocs(options.threads);

  auto shot =
      std::unique_ptr<Shot>(new Shot{options, size, std::move(module), std::move(node),
                                     FrameSources(options.input, options.matte, size), nullptr});
  shot->driver = std::make_unique<FrameDriver>(*shot->node, shot->sources, size, played.count());
  NodePtr fresh = options.settings.load_file.empty() ? NodePtr{} : shot->module.create();
  apply_settings(*shot->node, options.settings, static_cast<double>(options.shot_start),
                 fresh.get());
  return shot;
}
