#pragma once
// What `brumel view` is asked to show: the shot (as `brumel render` takes it)
// and the window, playback and script settings of the viewer.
#include <optional>
#include <string>

#include "app/images/image_size.h"
#include "app/shot/shot_setup.h"

namespace brumel {

inline constexpr ImageSize kDefaultWindow{1600, 900};

struct ViewOptions {
  ShotOptions shot;  // frames: the range played and looped; shot_start = its first
  ImageSize window = kDefaultWindow;
  std::string script;          // --script FILE; empty for an interactive session
  double fps = 24.0;           // playback pace of an interactive session
  std::optional<double> zoom;  // view pixels to window pixels; empty: fit the view area
  bool overlay = true;         // draw the node's overlay over the frame
};

}  // namespace brumel
