#include "app/shot/shot_setup.h"

#include <cmath>

#include <OpenImageIO/imageio.h>

#include "app/app_error.h"
#include "app/images/image_io.h"
#include "app/colour/plate.h"
#include "app/embedding.h"
#include "app/images/sequence_on_disk.h"
#include "assim/smp.h"

namespace brumel {

namespace {

// Sources are made once the size is known: the background takes the shot's size.
ImageSize shot_size(const ShotOptions& options) {
  if (options.size) return *options.size;
  if (options.input.empty()) return kDefaultSize;
  FrameSources probe(options.input, "", kDefaultSize);
  return probe.input_size(options.frames.first());
}

std::string shot_start_hint(const ShotOptions& options) {
  return " (the shot starts at frame " + std::to_string(options.shot_start) +
         "; --shot-start sets where the simulation starts)";
}

// Catch-up frames of the shot whose birth matte is read from their files.
void check_catch_up_frames(const ShotOptions& options, CatchUpReads reads) {
  std::vector<int> caught_up;
  for (int frame = options.shot_start; frame < options.frames.last(); ++frame) {
    if (!options.frames.contains(frame)) caught_up.push_back(frame);
  }
  if (caught_up.empty() || (!reads.input && !reads.matte)) return;
  try {
    FrameSources(options.input, options.matte, kDefaultSize)
        .check_frames(FrameList(std::move(caught_up)), reads.input, reads.matte);
  } catch (const AppError& e) {
    throw AppError(std::string(e.what()) + ": it is read for the birth matte while the shot " +
                   "catches up" + shot_start_hint(options));
  }
}

// Refuses before the first frame a drawn frame whose plate is colour-managed and of
// another size than the shot's: the application composites it over the node's frame
// pixel for pixel. Plates read directly may have any size: the node resamples them.
void check_managed_sizes(FrameSources& sources, const ShotOptions& options, ImageSize size) {
  if (!sources.has_input()) return;
  const ColourSpaces& colours = sources.colours();
  const ImageSequence files(options.input);
  for (const int frame : options.frames.frames()) {
    const OIIO::ImageSpec spec = sources.input_spec(frame);
    const std::string space = colours.of_plate(spec, options.input_colorspace);
    if (!read_directly(spec, space, colours) && size != display_size(spec)) {
      throw AppError((options.size ? "--size " + size_text(size) : "the shot's size " + size_text(size)) +
                     ": the input \"" + files.frame_path(frame) + "\" is colour-managed (" + space +
                     ") and is rendered at its own size, " + size_text(display_size(spec)));
    }
    if (!files.is_sequence()) return;
  }
}

// The pixel aspect of the shot's first plate (1 without one).
double plate_aspect(FrameSources& sources, const ShotOptions& options) {
  if (!sources.has_input()) return 1.0;
  const OIIO::ImageSpec spec = sources.input_spec(options.frames.first());
  const float aspect = spec.get_float_attribute("PixelAspectRatio", 1.0f);
  return std::isfinite(aspect) && aspect > 0.0f ? aspect : 1.0;
}

}  // namespace

std::unique_ptr<Shot> prepare_shot(const ShotOptions& options) {
  check_shot_frames(options.shot_start, options.frames.span());
  if (options.frames.first() < options.shot_start) {
    throw AppError("the first frame " + std::to_string(options.frames.first()) +
                   " comes before the shot start " + std::to_string(options.shot_start) +
                   "; give --shot-start " + std::to_string(options.frames.first()) +
                   " or earlier to start the simulation there");
  }
  const FrameRange played{options.shot_start, options.frames.last()};
  FrameSources(options.input, options.matte, kDefaultSize).check_frames(options.frames);
  const ImageSize size = shot_size(options);

  NodeModule module(options.module_path.empty() ? NodeModule::default_path() : options.module_path);
  NodePtr node = module.create();
  if (options.threads > 0) {
    smp_set_numprocs(options.threads);
    // The image library's own threads (its EXR compression among them) keep to the
    // same count, whatever the machine has.
    OIIO::attribute("threads", options.threads);
  }

  auto shot = std::unique_ptr<Shot>(
      new Shot{options, size, std::move(module), std::move(node),
               FrameSources(options.input, options.matte, size, options.input_colorspace, options.colour), nullptr, {}});
  check_managed_sizes(shot->sources, options, size);
  const double aspect = plate_aspect(shot->sources, options);
  shot->driver =
      std::make_unique<FrameDriver>(*shot->node, shot->sources, size, played.count(), aspect,
                                    options.shot_start, options.settings.preroll);
  NodePtr fresh = options.settings.load_file.empty() ? NodePtr{} : shot->module.create();
  apply_settings(*shot->node, options.settings, static_cast<double>(options.shot_start),
                 fresh.get());
  const CatchUpReads reads = catch_up_reads(*shot->node, shot->sources.has_matte());
  check_catch_up_frames(options, reads);
  shot->driver->set_catch_up_reads(reads);
  if (!shot->sources.has_matte() && birth_matte_ever_on(*shot->node)) {
    shot->warnings.push_back(std::string("\"Use Birth Ma\" is on without --matte: the ") +
                             (options.input.empty() ? "background" : "input plate") +
                             " itself is used as the birth matte");
  }
  return shot;
}

int default_shot_start(const std::string& input) {
  if (input.empty()) return 1;
  return first_frame_on_disk(ImageSequence(input)).value_or(1);
}

}  // namespace brumel
