#include "app/shot/frame_driver.h"

namespace brumel {

FrameDriver::FrameDriver(FXNode& node, FrameSources& sources, ImageSize output_size,
                         int shot_length, double pixel_aspect, int shot_start, bool preroll)
    : sources_(sources),
      player_(node, brumel::ShotFormat{output_size.width, output_size.height, pixel_aspect,
                                       shot_start, shot_length, sources.has_matte()}) {
  player_.set_preroll(preroll);
}

brumel::FrameImages FrameDriver::images(int frame, bool input, bool matte) {
  brumel::FrameImages images;
  if (input) {
    Plate& plate = sources_.input(frame);
    images.input = plate.node_input.view();
    images.element = for_files_ && plate.managed();
  }
  HostImage* matte_image = matte ? sources_.matte(frame) : nullptr;
  if (matte_image != nullptr) images.matte = matte_image->view();
  return images;
}

const HostImage& FrameDriver::process(int frame, bool catch_up) {
  const brumel::FrameSource source = [this](int f, bool input, bool matte) {
    return images(f, input, matte);
  };
  if (!catch_up) return player_.show(frame, source);
  player_.skip(frame, source);
  return player_.output();
}

void FrameDriver::play(int shot_start, const FrameList& frames,
                       const std::function<void(int)>& on_catch_up,
                       const std::function<void(int, const HostImage&)>& on_frame) {
  auto next_drawn = frames.frames().begin();
  for (int frame = shot_start; frame <= frames.last(); ++frame) {
    const bool drawn = frame == *next_drawn;
    const HostImage& image = process(frame, !drawn);
    if (drawn) {
      ++next_drawn;
      if (on_frame) on_frame(frame, image);
    } else if (on_catch_up) {
      on_catch_up(frame);
    }
  }
}

}  // namespace brumel
