#pragma once
// Where a shot's frames come from: the input (an image, a sequence, or the
// embedded dusk sky when none is given) and the optional matte.
#include <optional>
#include <string>

#include "app/frame_list.h"
#include "app/host_image.h"
#include "app/image_sequence.h"
#include "app/image_size.h"

class FrameSources {
 public:
  // `input` and `matte` are file names or sequence patterns, empty for none.
  // Without an input, frames are the default background at `background_size`.
  FrameSources(const std::string& input, const std::string& matte, ImageSize background_size);

  bool has_input() const { return input_.has_value(); }
  bool has_matte() const { return matte_.has_value(); }

  // Throws AppError naming the first file of `frames` that does not exist, else the
  // first whose header cannot be read or is beyond the size limits. Checks the
  // input, the matte or both.
  void check_frames(const FrameList& frames, bool input = true, bool matte = true) const;
  // The size of the input's frame `frame` (from its header), or the
  // background's size without an input.
  ImageSize input_size(int frame) const;

  // The input and matte of frame `frame` as 16-bit RGBA host images; a single
  // image is read once and reused. Throws AppError naming an unreadable file.
  HostImage& input(int frame);
  HostImage* matte(int frame);  // null without a matte

 private:
  struct Source {
    ImageSequence files;
    HostImage image;
    std::optional<int> loaded_frame;  // the frame `image` holds, for sequences
    bool loaded = false;
  };
  HostImage& load(Source& source, int frame);

  std::optional<Source> input_;
  std::optional<Source> matte_;
  ImageSize background_size_;
  HostImage background_;
};
