#include "app/shot/frame_driver.h"

#include "app/app_error.h"
#include "assim/services.h"

FrameDriver::FrameDriver(FXNode& node, FrameSources& sources, ImageSize output_size,
                         int shot_length, double pixel_aspect)
    : node_(node), sources_(sources), output_(output_size.width, output_size.height) {
  node_.host_set_output_size(output_size.width, output_size.height);
  node_.host_set_aspect(pixel_aspect);
  node_.host_set_input_length(0, shot_length);
  if (sources_.has_matte()) node_.host_set_input_length(1, shot_length);
}

const HostImage& FrameDriver::process(int frame, bool catch_up) {
  if (catch_up && (!catch_up_reads_.input || !catch_up_reads_.matte) && stand_in_.samples.empty()) {
    stand_in_ = HostImage(output_.width, output_.height);
  }
  const bool read_input = !catch_up || catch_up_reads_.input;
  const bool read_matte = !catch_up || catch_up_reads_.matte;
  Plate* plate = read_input ? &sources_.input(frame) : nullptr;
  _image_str input = (plate != nullptr ? plate->node_input : stand_in_).view();
  HostImage* matte_image = sources_.has_matte() && !read_matte ? &stand_in_ : sources_.matte(frame);
  _image_str matte = matte_image != nullptr ? matte_image->view() : _image_str{};
  _image_str* inputs[2] = {&input, matte_image != nullptr ? &matte : nullptr};
  _image_str output = output_.view();

  msgwarn_clear();
  node_.host_set_catch_up(catch_up);
  node_.host_set_element(element_ || (for_files_ && plate != nullptr && plate->managed()));
  const int rendered = node_.process_image(static_cast<double>(frame), inputs, &output);
  node_.host_set_catch_up(false);
  node_.host_set_element(false);
  if (after_process_) after_process_(frame);
  if (rendered == 0) {
    const std::vector<std::string> warnings = msgwarn_history();
    throw AppError("the node refused frame " + std::to_string(frame) +
                   (warnings.empty() ? std::string() : ": " + warnings.back()));
  }
  return output_;
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
