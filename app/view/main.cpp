// brumel-view: the viewer window of `brumel view` (brumel execs this program
// with the arguments after "view").
#include <CLI/CLI.hpp>
#include <iostream>

#include "app/app_error.h"
#include "app/shot/frame_range.h"
#include "app/images/image_size.h"
#include "app/commands/shot_options_cli.h"
#include "app/images/sequence_on_disk.h"
#include "app/view/viewer.h"
#include "assim/number_text.h"

namespace brumel {

namespace {

constexpr int kRuntimeError = 1;
constexpr int kUsageError = 2;

constexpr const char* kFooter = R"(
The shot plays through the node as a host plays it: every shown frame is one
process_image at host time N. The node's simulation is stateful; the viewer
keeps every shown frame the one `brumel render` writes: playing or stepping
renders the next step, and going to a frame (the frame slider, `frame N`)
restarts the simulation and catches up from the shot start without drawing.
Playing past the last frame with Loop on wraps to the first (a restart).
"Restart" (the transport's button, or Home) presses the node's "Restart" and
goes back to the first frame. Editing a widget or dragging a handle renders
the shown frame again from the shot start with the new settings.

Window: the frame, fitted to the area left of the panel (or at --zoom), with
the node's overlay (handles, wireframe, and the side view of depth in the strip
below the frame); drag the handles with the left button. Panel: the node's
pages "Brumel", "Forces", "Light", "Depth"; the mouse wheel steps a number by
its increment, Ctrl+click types a value. Keys: Space play/pause, Right step,
Home restart. Settings: the path field with Open (a new node from the
document, playing from the first frame) and Save.

Script (--script FILE), one action a line, each in a GUI frame of its own;
names with blanks in double quotes, '#' starts a comment line:
  set "NAME" VALUE     press "NAME"       click "NAME"    drag X1,Y1 X2,Y2 [MOVES]
  play   pause   step [N]   frame N   restart   loop on|off   wait [N]
  page "NAME"   zoom fit|FACTOR   overlay on|off   open PATH   save PATH
  screenshot PATH      state PATH         quit
`set` assigns a value as typed (checked like --set) and reports it as a panel
edit; `click` clicks a widget of the shown page with the window's pointer.
Drag points are view pixels of the frame (x right, y down from its top left
corner). In a script session playing advances one frame per GUI frame, so
`wait N` while playing plays N frames.

Examples:
  brumel view --demo Drift
  brumel view -i plate.####.exr --frames 1001-1100 --demo Billow --preroll
  xvfb-run -a brumel view --demo Drift --size 640x360 --window 1280x720 \
      --script session.txt)";

void add_options(CLI::App& app, ViewOptions& options, std::string& frames, std::string& size,
                 std::string& window, std::string& zoom, bool& no_overlay) {
  ShotOptions& shot = options.shot;
  SettingsRequest& settings = shot.settings;
  add_shot_options(app, shot);
  app.add_option("--frames", frames,
                 "The shot: frames played (and looped), FIRST-LAST, as `brumel render` "
                 "--frames; frame N is rendered at host time N. Default: the first to the "
                 "last frame on disk of the -i sequence, else 1-24")
      ->type_name("A-B");
  app.add_option("--size", size, "Frame size WIDTHxHEIGHT; default: the input's size, or 1280x720")
      ->type_name("WxH");
  app.add_option("--mode", settings.mode,
                 "render or wireframe; default: render (as `brumel render`), unless a --load "
                 "document or a --set of \"Mode: %s\" gives the mode")
      ->type_name("MODE");
  app.add_option("--window", window, "Window size WIDTHxHEIGHT")
      ->type_name("WxH")
      ->capture_default_str();
  app.add_option("--zoom", zoom, "Window pixels per frame pixel, or fit")
      ->type_name("FACTOR")
      ->capture_default_str();
  app.add_option("--fps", options.fps,
                 "Playback pace in frames per second (0: as fast as it renders)")
      ->type_name("FPS")
      ->check(CLI::Range(0.0, 1000.0).description(""))
      ->capture_default_str();
  app.add_flag("--no-overlay", no_overlay, "Start with the node's overlay hidden");
  app.add_option("--script", options.script,
                 "Run the actions of FILE (below) in the window, then stay open unless it quits")
      ->type_name("FILE");
}

std::optional<double> parse_zoom(const std::string& text) {
  if (text == "fit") return std::nullopt;
  const std::optional<double> zoom = parse_number(text);
  if (!zoom || *zoom < 0.05 || *zoom > 64.0) {
    throw AppError("bad --zoom \"" + text + "\": expected fit or a factor from 0.05 to 64");
  }
  return zoom;
}

// As `brumel render` takes them: the frames on disk of an input sequence (played
// first to last), else `fallback`.
FrameRange default_view_frames(const std::string& input, const std::string& fallback) {
  const std::vector<int> on_disk = input.empty() ? std::vector<int>{} : frames_on_disk(ImageSequence(input));
  if (on_disk.empty()) return parse_frame_range(fallback);
  return FrameRange{on_disk.front(), on_disk.back()};
}

}  // namespace

}  // namespace brumel

int main(int argc, char** argv) {
  using namespace brumel;
  CLI::App app(
      "Open the viewer window: the node's output frame played through the shot, its control "
      "panel and its on-screen handles",
      "brumel view");
  app.footer(kFooter);
  ViewOptions options;
  options.shot.settings.default_mode = kDefaultMode;  // shows what `brumel render` writes
  std::string frames = kDefaultFrames;
  std::string size;
  std::string window =
      std::to_string(kDefaultWindow.width) + "x" + std::to_string(kDefaultWindow.height);
  std::string zoom = "fit";
  bool no_overlay = false;
  add_options(app, options, frames, size, window, zoom, no_overlay);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) return app.exit(e);
    std::cerr << "brumel view: error: " << e.what() << "\n"
              << "Run with --help for the list of options.\n";
    return kUsageError;
  }

  try {
    const FrameRange range = app.count("--frames") > 0 ? parse_frame_range(frames)
                                                       : default_view_frames(options.shot.input, frames);
    check_shot_frames(range.first, range);  // the viewer plays from the first frame
    options.shot.frames = range;
    if (!size.empty()) options.shot.size = parse_image_size(size);
    options.window = parse_image_size(window);
    options.zoom = parse_zoom(zoom);
    options.overlay = !no_overlay;
    Viewer viewer(options);
    return viewer.run();
  } catch (const std::exception& e) {
    std::cerr << "brumel view: error: " << e.what() << "\n";
    return kRuntimeError;
  }
}
