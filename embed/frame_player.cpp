#include "embed/frame_player.h"

#include "assim/services.h"
#include "embed/error.h"
#include "embed/widget_lookup.h"
#include "host/widget_names.h"

namespace brumel {

std::mutex& render_mutex() {
  static std::mutex mutex;
  return mutex;
}

FramePlayer::FramePlayer(FXNode& node, const ShotFormat& format)
    : node_(node), format_(format), output_(format.width, format.height) {
  node_.host_set_output_size(format.width, format.height);
  node_.host_set_aspect(format.pixel_aspect);
  node_.host_set_input_length(0, format.length);
  if (format.has_matte) node_.host_set_input_length(1, format.length);
}

const HostImage& FramePlayer::show(int frame, const FrameSource& source) {
  if (current_ == frame && current_drawn_) return output_;
  seek_before(frame, source);
  process(frame, true, source);
  return output_;
}

void FramePlayer::skip(int frame, const FrameSource& source) {
  if (current_ == frame) return;
  seek_before(frame, source);
  process(frame, false, source);
}

// Leaves the simulation at frame - 1, restarting it unless it is there already.
void FramePlayer::seek_before(int frame, const FrameSource& source) {
  if (current_ && *current_ == frame - 1) return;
  if (!fresh_) {
    const double start = static_cast<double>(format_.shot_start);
    node_.notify_control_changed(&find_button(node_, preroll_ ? widget_names::kRestartPreRoll : widget_names::kRestart),
                                 FXNode::kUserEdit, start);
  }
  current_ = format_.shot_start - 1;
  for (int f = format_.shot_start; f < frame; ++f) process(f, false, source);
}

void FramePlayer::process(int frame, bool draw, const FrameSource& source) {
  const bool read_input = draw || reads_.input;
  const bool read_matte = draw || reads_.matte;
  FrameImages images = source(frame, read_input, read_matte);
  if ((!read_input || (format_.has_matte && !read_matte)) && stand_in_.samples.empty()) {
    stand_in_ = HostImage(format_.width, format_.height);
  }
  _image_str input = read_input ? images.input : stand_in_.view();
  _image_str matte{};
  if (format_.has_matte) matte = read_matte && images.matte ? *images.matte : stand_in_.view();
  _image_str* inputs[2] = {&input, format_.has_matte ? &matte : nullptr};
  _image_str output = output_.view();

  int rendered = 0;
  std::vector<std::string> warnings;
  {
    const std::lock_guard<std::mutex> lock(render_mutex());
    msgwarn_clear();
    node_.host_set_catch_up(!draw);
    node_.host_set_element(element_ || images.element);
    rendered = node_.process_image(static_cast<double>(frame), inputs, &output);
    node_.host_set_catch_up(false);
    node_.host_set_element(false);
    if (rendered == 0) warnings = msgwarn_history();
  }
  fresh_ = false;
  if (after_process_) after_process_(frame);
  if (rendered == 0) {
    current_.reset();
    throw Error("the node refused frame " + std::to_string(frame) +
                (warnings.empty() ? std::string() : ": " + warnings.back()));
  }
  current_ = frame;
  current_drawn_ = draw;
  ++steps_;
}

}  // namespace brumel
