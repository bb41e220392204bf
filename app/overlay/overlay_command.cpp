#include "app/overlay/overlay_command.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "app/app_error.h"
#include "app/images/image_io.h"
#include "app/images/image_size.h"
#include "app/shot/node_messages.h"
#include "app/overlay/offscreen_gl.h"
#include "app/commands/progress.h"
#include "app/embedding.h"
#include "app/commands/shot_options_cli.h"
#include "assim/image.h"

namespace brumel {

namespace {

constexpr float kMarginGrey = 0.18f;
// Moves sent between the press and the release of a drag, the last one at the end point.
constexpr int kDragMoves = 8;
// The host's mouse event kinds.
constexpr int kButtonDown = 0, kMove = 1, kButtonUp = 2;

bool parse_number(std::string_view text, float& value) {
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  return error == std::errc() && stop == end && std::isfinite(value);
}

bool parse_point(std::string_view text, float& x, float& y) {
  const std::size_t comma = text.find(',');
  return comma != std::string_view::npos && parse_number(text.substr(0, comma), x) &&
         parse_number(text.substr(comma + 1), y);
}

std::string point_text(float x, float y) {
  std::ostringstream text;
  text << x << "," << y;
  return text.str();
}

bool send(FXNode& node, int kind, float x, float y, float pressure) {
  MouseEvent event;
  event.x = x;
  event.y = y;
  event.pressure = pressure;
  return node.overlay_mouse(nullptr, kind, &event);
}

// Press, moves with the button held, release: what a person's drag sends.
void drag(FXNode& node, const Drag& d, int frame) {
  if (!send(node, kButtonDown, d.x1, d.y1, 1.0f)) {
    throw AppError("--drag \"" + d.text + "\": no handle lies within 5 pixels of " +
                   point_text(d.x1, d.y1) + " in the overlay of frame " + std::to_string(frame) +
                   " (draw it without --drag to see where the handles are)");
  }
  for (int i = 1; i <= kDragMoves; ++i) {
    const float t = static_cast<float>(i) / kDragMoves;
    const float x = i == kDragMoves ? d.x2 : d.x1 + (d.x2 - d.x1) * t;
    const float y = i == kDragMoves ? d.y2 : d.y1 + (d.y2 - d.y1) * t;
    send(node, kMove, x, y, 1.0f);
  }
  send(node, kButtonUp, d.x2, d.y2, 0.0f);
  // A handle follows the pointer past its widgets' ranges; the panel would not.
  for (const std::string& held : hold_to_ranges(node, -1.0)) {
    std::cerr << "brumel: warning: --drag \"" << d.text << "\": " << held << "\n";
  }
}

void draw_view(OffscreenGl& gl, FXNode& node, const HostImage& frame) {
  gl.draw_background(frame, kMarginGrey);
  gl.set_view_projection(frame.width, frame.height);
  node.overlay_draw(nullptr);
}

}  // namespace

Drag parse_drag(const std::string& text) {
  Drag d;
  d.text = text;
  const std::size_t colon = text.find(':');
  const std::string_view all(text);
  if (colon == std::string::npos || !parse_point(all.substr(0, colon), d.x1, d.y1) ||
      !parse_point(all.substr(colon + 1), d.x2, d.y2)) {
    throw AppError("bad --drag \"" + text +
                   "\": give X1,Y1:X2,Y2 in view pixels, from the press to the release "
                   "(e.g. 640,360:700,300)");
  }
  return d;
}

int run_overlay(const OverlayOptions& options) {
  const int frame = options.shot.frames.last();
  if (!options.save_file.empty()) check_settings_folder(options.save_file);

  std::unique_ptr<Shot> shot = prepare_shot(options.shot);
  for (const std::string& warning : shot->warnings) std::cerr << "brumel: warning: " << warning << "\n";
  FXNode& node = *shot->node;
  if (!node.has_overlay()) {
    throw AppError("node module \"" + shot->module.path() + "\" draws no viewer overlay");
  }
  prepare_output(options.output);

  Progress progress(Progress::style_for_stderr(options.quiet), options.shot.shot_start,
                    FrameRange{frame, frame});
  {
    NodeMessages node_messages;  // the node's warnings go to standard error, per frame
    shot->driver->set_after_process(
        [&](int played) { progress.node_messages(played, node_messages.take()); });
    shot->play([&](int caught_up) { progress.caught_up(caught_up); }, nullptr);
    shot->driver->set_after_process(nullptr);
  }
  const HostImage& rendered = shot->driver->output();

  OffscreenGl gl(rendered.width, rendered.height + options.margin);
  // The handles learn their pixel positions when drawn: draw before the first drag.
  draw_view(gl, node, rendered);
  for (const Drag& d : options.drags) {
    drag(node, d, frame);
    draw_view(gl, node, rendered);
  }
  write_rgb_picture(gl.read_picture(), options.output);
  if (!options.save_file.empty()) save_settings(node, options.save_file);

  progress.wrote(frame, options.output);
  progress.finish();
  return 0;
}

namespace {

constexpr const char* kOverlayFooter = R"(
The picture is the view as the host's viewer shows it: frame N (rendered with
the node's settings, frames before it simulated without drawing), the node's
overlay drawn over it with OpenGL (offscreen, no display needed), and --margin
rows of grey below the frame, where the side view of Perspective (an 80-pixel
strip) and its camera mark lie. Pictures are 8-bit RGB.

Drags happen after frame N is rendered: each --drag presses the button at
X1,Y1 (view pixels, 0,0 the top-left corner of the frame), moves to X2,Y2 and
lets go, as a person drags a handle; the handle under the press and its
widgets take the new values. The picture shows the moved handles over the
frame rendered before the drags, and --save writes the settings after them, so
a later `brumel render --load` renders with the moved handles.

Settings apply as for `brumel render` (see `brumel render --help`).

Examples:
  brumel overlay --demo Drift --preroll --frame 24 -o drift-overlay.png
  brumel overlay --demo "Simple 3D" --preroll --mode wireframe --frame 30 -o 3d.png
  brumel overlay --set Birth_X=0.5 --set Birth_Y=0.5 --drag 640,360:900,200 \
      --save moved.json -o moved.png)";

}  // namespace

void add_overlay_command(CLI::App& app, OverlayCommandLine& line) {
  CLI::App* overlay = app.add_subcommand(
      "overlay",
      "Draw the node's viewer overlay (handles, wireframe, side view) over a rendered frame "
      "into a picture, optionally after scripted drags of the handles");
  overlay->footer(kOverlayFooter);
  OverlayOptions& options = line.options;
  ShotOptions& shot = options.shot;
  SettingsRequest& settings = shot.settings;
  settings.default_mode = "render";
  overlay->add_option("-o,--output", options.output, "Output picture (.png .tif .exr .jpg .ppm)")
      ->type_name("FILE")
      ->required();
  overlay->add_option("--frame", line.frame, "Frame drawn under the overlay (host time N)")
      ->type_name("N")
      ->capture_default_str();
  overlay
      ->add_option("--drag", line.drags,
                   "Drag from X1,Y1 to X2,Y2 in view pixels after frame N is rendered; "
                   "repeatable, applied in order")
      ->type_name("X1,Y1:X2,Y2")
      ->take_all();
  overlay->add_option("--margin", options.margin, "Grey rows below the frame for the side view")
      ->type_name("PIXELS")
      ->check(CLI::Range(0, 4096).description(""))
      ->capture_default_str();
  add_shot_options(*overlay, shot);
  overlay
      ->add_option("--shot-start", line.shot_start,
                   "Frame where the simulation starts; frames before N are simulated "
                   "without drawing. Default: the first frame of the input sequence on "
                   "disk, else 1")
      ->type_name("S");
  overlay
      ->add_option("--size", line.size,
                   "View size WIDTHxHEIGHT; default: the input's size, or 1280x720")
      ->type_name("WxH");
  overlay
      ->add_option("--save", options.save_file,
                   "Write the node's settings to FILE after the drags")
      ->type_name("FILE");
  overlay
      ->add_option("--mode", settings.mode,
                   "render or wireframe (wireframe draws a circle for every particle); "
                   "default: render, unless --load or a --set of \"Mode: %s\" gives the mode")
      ->type_name("MODE");
  overlay->add_flag("-q,--quiet", options.quiet,
                    "No progress and no summary (the node's messages are still shown)");
}

int run_overlay_command(OverlayCommandLine& line) {
  OverlayOptions& options = line.options;
  options.shot.shot_start = line.shot_start ? *line.shot_start : default_shot_start(options.shot.input);
  if (line.frame < options.shot.shot_start) {
    throw AppError("--frame " + std::to_string(line.frame) + " comes before --shot-start " +
                   std::to_string(options.shot.shot_start));
  }
  options.shot.frames = FrameList(std::vector<int>{line.frame});
  check_shot_frames(options.shot.shot_start, options.shot.frames.span());
  if (!line.size.empty()) options.shot.size = parse_image_size(line.size);
  options.drags.clear();
  for (const std::string& text : line.drags) options.drags.push_back(parse_drag(text));
  return run_overlay(options);
}

}  // namespace brumel
