#pragma once
// Everything a command needs before its first frame: the node made from the
// module and configured, the frame sources, and the driver that plays them.
// Every check that can be made before rendering is made here.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/shot/frame_driver.h"
#include "app/shot/frame_list.h"
#include "app/shot/frame_sources.h"
#include "app/images/image_size.h"
#include "app/embedding.h"

namespace brumel {

inline constexpr ImageSize kDefaultSize{1280, 720};

struct ShotOptions {
  std::string module_path;  // empty: BrumelKv.node next to the executable
  SettingsRequest settings;
  std::string input;              // image or sequence; empty: the default background
  std::string matte;              // image or sequence; empty: none
  std::string input_colorspace;   // the input's colour space as given; empty: by its files
  ColourRequest colour;           // --colorconfig, --node-colorspace
  std::optional<ImageSize> size;  // empty: the input's size, else kDefaultSize
  int shot_start = 1;             // the frame where the simulation starts
  FrameList frames{FrameRange{1, 24}};  // the frames drawn; the others from shot_start are caught up
  int threads = 0;                // processors for the node and the image library; 0: the host's count
};

struct Shot {
  ShotOptions options;
  ImageSize size;
  NodeModule module;
  NodePtr node;
  FrameSources sources;
  std::unique_ptr<FrameDriver> driver;
  // What the settings do that a person may not have meant, one line each (the
  // command prints them as warnings; the shot renders as set).
  std::vector<std::string> warnings;

  // Plays the shot: catch-up frames, then the drawn ones (FrameDriver::play).
  void play(const std::function<void(int)>& on_catch_up,
            const std::function<void(int, const HostImage&)>& on_frame) {
    driver->play(options.shot_start, options.frames, on_catch_up, on_frame);
  }
};

// Checks the frames against the shot start and every input and matte file the
// shot reads (catch-up frames read only what the birth matte needs), loads the
// module, creates the node, sets the host side and applies the settings at
// host time shot_start. Throws AppError.
std::unique_ptr<Shot> prepare_shot(const ShotOptions& options);

// Where a shot starts when --shot-start is not given: the first frame on disk
// of an input sequence; 1 for a single image, no input, or no frame on disk.
int default_shot_start(const std::string& input);

}  // namespace brumel
