#include "app/frame_sources.h"

#include <filesystem>

#include "app/app_error.h"
#include "app/default_background.h"
#include "app/image_io.h"

FrameSources::FrameSources(const std::string& input, const std::string& matte,
                           ImageSize background_size)
    : background_size_(background_size) {
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

HostImage& FrameSources::load(Source& source, int frame) {
  const bool current =
      source.loaded && (!source.files.is_sequence() || source.loaded_frame == frame);
  if (!current) {
    source.image = read_host_image(source.files.frame_path(frame));
    source.loaded = true;
    source.loaded_frame = frame;
  }
  return source.image;
}

HostImage& FrameSources::input(int frame) {
  if (input_) return load(*input_, frame);
  if (background_.samples.empty()) {
    background_ = default_background(background_size_.width, background_size_.height);
  }
  return background_;
}

HostImage* FrameSources::matte(int frame) { return matte_ ? &load(*matte_, frame) : nullptr; }
