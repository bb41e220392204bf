#pragma once
// Where a shot's frames come from: the input (an image, a sequence, or the
// embedded dusk sky when none is given) and the optional matte.
#include <optional>
#include <string>

#include "app/colour/colour_spaces.h"
#include "app/shot/frame_list.h"
#include "app/embedding.h"
#include "app/images/image_sequence.h"
#include "app/images/image_size.h"
#include "app/colour/plate.h"

namespace brumel {

class FrameSources {
 public:
  // `input` and `matte` are file names or sequence patterns, empty for none.
  // Without an input, frames are the default background at `background_size`.
  // `input_space` is the input's colour space as given (empty: by its files); `colour`
  // chooses the configuration and the node's space.
  FrameSources(const std::string& input, const std::string& matte, ImageSize background_size,
               std::string input_space = "", ColourRequest colour = {});

  bool has_input() const { return input_.has_value(); }
  bool has_matte() const { return matte_.has_value(); }

  // Throws AppError naming the first file of `frames` that does not exist, else the
  // first whose header cannot be read or is beyond the size limits. Checks the
  // input, the matte or both.
  void check_frames(const FrameList& frames, bool input = true, bool matte = true) const;
  // The size of the input's frame `frame` (from its header), or the
  // background's size without an input.
  ImageSize input_size(int frame) const;

  // The input of frame `frame` as a plate (read_plate), and the matte as 16-bit RGBA
  // (data, never colour-managed); a single image is read once and reused. Throws
  // AppError naming an unreadable file.
  Plate& input(int frame);
  HostImage* matte(int frame);  // null without a matte
  // The header of the input's frame `frame`, or the background's.
  OIIO::ImageSpec input_spec(int frame) const;

  // The shot's colour configuration (loaded when first needed).
  const ColourSpaces& colours();

 private:
  struct Source {
    ImageSequence files;
    Plate plate;
    std::optional<int> loaded_frame;  // the frame `plate` holds, for sequences
    bool loaded = false;
  };
  Plate& load(Source& source, int frame, bool colour_managed);

  std::optional<Source> input_;
  std::optional<Source> matte_;
  ImageSize background_size_;
  std::string input_space_;
  ColourRequest colour_request_;
  std::optional<ColourSpaces> colours_;
  Plate background_;
};

}  // namespace brumel
