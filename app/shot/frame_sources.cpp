#include "app/shot/frame_sources.h"

#include <filesystem>

#include "app/app_error.h"
#include "app/embedding.h"
#include "app/images/image_io.h"

namespace brumel {

FrameSources::FrameSources(const std::string& input, const std::string& matte,
                           ImageSize background_size, std::string input_space,
                           ColourRequest colour)
    : background_size_(background_size),
      input_space_(std::move(input_space)),
      colour_request_(std::move(colour)) {
  if (!input.empty()) input_.emplace(Source{ImageSequence(input), {}, {}, false});
  if (!matte.empty()) matte_.emplace(Source{ImageSequence(matte), {}, {}, false});
}

void FrameSources::check_frames(const FrameList& frames, bool input, bool matte) const {
  for (const auto* source : {&input_, &matte_}) {
    if (!source->has_value() || !(source == &input_ ? input : matte)) continue;
    const ImageSequence& files = (*source)->files;
    const char* what = source == &input_ ? "input" : "matte";
    for (const int frame : frames.frames()) {
      if (!files.is_sequence() && frame != frames.first()) break;
      const std::string path = files.frame_path(frame);
      std::error_code error;
      if (!std::filesystem::is_regular_file(path, error)) {
        throw AppError(std::string(what) +
                       (files.is_sequence() ? " frame " + std::to_string(frame) : "") + ": \"" +
                       path + "\" does not exist");
      }
    }
    // Existence first, so that a missing frame is named before a damaged one.
    for (const int frame : frames.frames()) {
      if (!files.is_sequence() && frame != frames.first()) break;
      read_image_size(files.frame_path(frame));
    }
  }
}

ImageSize FrameSources::input_size(int frame) const {
  if (!input_) return background_size_;
  return read_image_size(input_->files.frame_path(frame));
}

OIIO::ImageSpec FrameSources::input_spec(int frame) const {
  if (!input_) {
    return OIIO::ImageSpec(background_size_.width, background_size_.height, 4, OIIO::TypeDesc::UINT16);
  }
  return read_image_spec(input_->files.frame_path(frame));
}

const ColourSpaces& FrameSources::colours() {
  if (!colours_) colours_.emplace(colour_request_);
  return *colours_;
}

Plate& FrameSources::load(Source& source, int frame, bool colour_managed) {
  const bool current =
      source.loaded && (!source.files.is_sequence() || source.loaded_frame == frame);
  if (!current) {
    const std::string path = source.files.frame_path(frame);
    source.plate = colour_managed ? read_plate(path, colours(), input_space_)
                                  : frame_plate(read_host_image(path));
    source.loaded = true;
    source.loaded_frame = frame;
  }
  return source.plate;
}

Plate& FrameSources::input(int frame) {
  if (input_) return load(*input_, frame, true);
  if (background_.node_input.samples.empty()) {
    background_ = frame_plate(default_background(background_size_.width, background_size_.height));
  }
  return background_;
}

HostImage* FrameSources::matte(int frame) {
  return matte_ ? &load(*matte_, frame, false).node_input : nullptr;
}

}  // namespace brumel
