// brumel: a command-line compositing host for the Brumel node module.
#include <CLI/CLI.hpp>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <vector>

#include "app/app_error.h"
#include "app/farm/farm_command.h"
#include "app/images/frame_metadata.h"
#include "app/images/sequence_on_disk.h"
#include "app/settings/shot_document.h"
#include "app/shot/frame_list.h"
#include "app/images/image_io.h"
#include "app/images/image_size.h"
#include "app/commands/info_command.h"
#include "app/overlay/overlay_command.h"
#include "app/images/pending_file.h"
#include "app/commands/progress_events.h"
#include "app/commands/shot_options_cli.h"
#include "app/commands/render_command.h"

namespace brumel {

namespace {

constexpr int kRuntimeError = 1;
constexpr int kUsageError = 2;

constexpr const char* kRenderFooter = R"(
Settings apply in this order, each later one overriding the earlier ones:
  --load, --demo, --set (in the order given), --mode, --key; then --preroll
  presses "Restart+PreR" before the first frame.

Widget names are the node's own ("Quantity", "Cloud Size V", "Mode: %s"; see
`brumel info`), matched exactly, then ignoring case, then by the name written
out, ignoring case ("Cloud Size Variation" for "Cloud Size V"; `brumel info`'s
full name); an option also by its caption ("Mode" for "Mode: %s"). A name that occurs on several pages, such as
"Restart" or "Mode: %s", addresses the first widget of that name that takes a
value: "PreRoll=100" sets the number "PreRoll", since the first "PreRoll" is a
button. "#INDEX=VALUE" addresses a widget by its index in `brumel info`.
Values: numbers within the widget's range; switches on/off, true/false, yes/no,
1/0; options an entry's text or its index from 0; colours R,G,B,A each 0 to 1.

Standard output stays empty: the node's own messages go to standard error, after
the frame that gave them, each distinct line once with its count:
  brumel: node: Probability of success too low to continue - check matte (frame 7, 12 times)
(with --progress json a "node" event each; shown with --quiet too).

Render-farm chunks: the simulation starts at --shot-start (default: the first
frame of the -i sequence on disk, else 1); the frames from it that are not
written are simulated without drawing, so a chunk's frames are bit-identical
to the same frames of a run over the whole shot (--skip-existing for reruns):
  brumel render --demo Sunset --preroll --frames 101-200 -o shot.####.exr

Each frame records the shot's settings document and its frame, shot start
and --preroll in its header (kept by .exr and .png): `--load FRAME_IMAGE`
starts from that document, and the image's frame, shot start, size (without
-i) and --preroll are the defaults of --frames, --shot-start, --size and
--preroll, so
  brumel render --load out/cloud.0042.exr -o again.exr
renders that frame again (give the inputs again; options given win). A
document --save wrote holds the shot too (its frames, shot start, --preroll,
--element, colour spaces and size) and gives the same defaults.

Colour: each file by its own type, unless --input-colorspace or
--output-colorspace names its space: float files (.exr, .hdr, float .tif and
.dpx) scene-linear, 8- and 16-bit files the node's sRGB. The configuration is
--colorconfig, else $OCIO, else the built-in one; a space may be named by its
name, an alias or a role, in any case. An element in a float file is
scene-linear and premultiplied, and over a colour-managed plate (an EXR, say)
the composite is that element "over" the plate, made in scene-linear.

Examples:
  brumel render --demo Sunset --preroll -o out/sunset.####.png
  brumel render -i plate.####.exr --frames 1001-1100 --demo Billow \
      --matte matte.####.png --set "Quantity=8" -o out/cloud.####.exr
  brumel render -i plate.####.exr --frames 1001-1100x10 -o check/cloud.%04d.jpg
  brumel render --set "Cloud Size=30" --key "Wind Speed=1:5,48:30" -o a.####.tif)";

// The options of `brumel render`, registered on `render` (and on `brumel farm`,
// which runs them in chunks).
struct RenderLine {
  RenderOptions options;
  std::string frames = kDefaultFrames;
  std::string size;
  std::optional<int> shot_start;
  CLI::Option* frames_option = nullptr;

  RenderLine() { options.shot.settings.default_mode = kDefaultMode; }  // renders unless told otherwise
  // Parses what the command line left as text. An image given to --load, or a
  // document --save wrote, gives the defaults of the shot it was made in.
  RenderOptions parsed() {
    ShotOptions& shot = options.shot;
    std::optional<StampedImage> loaded;
    const std::string& load = shot.settings.load_file;
    if (!load.empty()) loaded = is_image_name(load) ? read_stamped_image(load) : read_shot_document(load);
    shot.frames = default_frames(loaded);
    if (shot_start) {
      shot.shot_start = *shot_start;
    } else {
      shot.shot_start = loaded && loaded->shot_start ? *loaded->shot_start
                                                     : default_shot_start(shot.input);
    }
    // A frame's header may give any number: held to the limits before anything loops.
    check_shot_frames(shot.shot_start, shot.frames.span());
    if (!size.empty()) {
      shot.size = parse_image_size(size);
    } else if (loaded && loaded->size && shot.input.empty()) {  // a plate gives the size
      check_image_size(*loaded->size, "the size that \"" + load + "\" records");
      shot.size = loaded->size;
    }
    if (loaded) {
      if (loaded->preroll) shot.settings.preroll = true;
      if (loaded->element) options.element = true;
      if (shot.input_colorspace.empty() && !shot.input.empty()) {
        shot.input_colorspace = loaded->input_colorspace;
      }
      if (options.output_colorspace.empty()) options.output_colorspace = loaded->output_colorspace;
    }
    return options;
  }

 private:
  // --frames, else the loaded frame or saved shot's frames, else the frames on
  // disk of an input sequence, else 1-24.
  FrameList default_frames(const std::optional<StampedImage>& loaded) const {
    if (frames_option->count() == 0) {
      if (loaded && loaded->frame) return FrameList(std::vector<int>{*loaded->frame});
      if (loaded && !loaded->frames.empty()) return parse_frame_list(loaded->frames);
      if (!options.shot.input.empty()) {
        std::vector<int> on_disk = frames_on_disk(ImageSequence(options.shot.input));
        if (!on_disk.empty()) return FrameList(std::move(on_disk));
      }
    }
    return parse_frame_list(frames);
  }
};

// What the written frames are: the element or the composite, their colour space,
// samples, compression and quality.
void add_written_frame_options(CLI::App* render, RenderOptions& options) {
  render->add_flag("--element", options.element,
                   "Write the cloud alone over transparent black: colour premultiplied, "
                   "alpha its coverage, scene-linear in a float file (lay it over the plate "
                   "with \"over\")");
  render
      ->add_option("--output-colorspace", options.output_colorspace,
                   "Colour space of the written frames; default: scene-linear for float "
                   "files (.exr, float .tif and .dpx), the node's sRGB for 8- and 16-bit ones")
      ->type_name("SPACE");
  OutputOptions& output = options.output_options;
  render
      ->add_option("--datatype", output.datatype,
                   "Samples of the written frames: half or float (.exr), uint8, uint16 or "
                   "float (.tif, .dpx), uint8 or uint16 (.png), uint8 (.jpg); default: half "
                   "for .exr, uint8 for .jpg, else uint16")
      ->type_name("TYPE")
      ->check(CLI::IsMember({"half", "float", "uint16", "uint8"}));
  render
      ->add_option("--compression", output.compression,
                   "none, rle, zip, zips, piz, pxr24, b44, b44a (half only), dwaa or dwab for "
                   ".exr; none, lzw, zip or packbits for .tif; default: zip")
      ->type_name("NAME");
  render
      ->add_option("--quality", output.quality,
                   "JPEG quality, 1 to 100 (100 the best); default: the image library's")
      ->type_name("Q")
      ->check(CLI::Range(1, 100).description(""));
}

void add_render_options(CLI::App* render, RenderLine& line) {
  RenderOptions& options = line.options;
  std::string& frames = line.frames;
  std::string& size = line.size;
  std::optional<int>& shot_start = line.shot_start;
  render->footer(kRenderFooter);
  ShotOptions& shot = options.shot;
  SettingsRequest& settings = shot.settings;
  render
      ->add_option("-o,--output", options.output,
                   "Output image or sequence (cloud.####.png, cloud.%04d.exr; .exr .png "
                   ".tif .dpx .jpg); folders are created")
      ->type_name("PATTERN")
      ->required();
  add_shot_options(*render, shot);
  line.frames_option = render
      ->add_option("--frames", frames,
                   "Frames to write: FIRST-LAST, FIRST-LASTxSTEP, one FRAME, or a list of "
                   "them (1,5,10-20); frame N is rendered at host time N. Default: the "
                   "frames on disk of the -i sequence, else a --load'ed frame's or shot's, "
                   "else 1-24")
      ->type_name("LIST");
  render
      ->add_option("--shot-start", shot_start,
                   "Frame where the simulation starts; frames from it that are not written "
                   "are simulated without drawing. Default: the first frame of the input "
                   "sequence on disk, else 1")
      ->type_name("S");
  render
      ->add_option("--size", size,
                   "Output size WIDTHxHEIGHT; default: the input's size, or 1280x720")
      ->type_name("WxH");
  render
      ->add_option("--save", options.save_file,
                   "Write the node's settings, after all settings options, and the shot "
                   "(frames, shot start, --preroll, --element, colour spaces, size) to FILE "
                   "before rendering; --load FILE renders that shot again")
      ->type_name("FILE");
  render
      ->add_option("--mode", settings.mode,
                   "render or wireframe; default: render, unless --load or a --set of "
                   "\"Mode: %s\" gives the mode")
      ->type_name("MODE");
  add_written_frame_options(render, options);
  render->add_flag("-q,--quiet", options.quiet,
                   "No progress and no summary (the node's messages are still shown)");
  render
      ->add_flag("--skip-existing", options.skip_existing,
                 "Leave the frames whose file exists and records this shot's settings (they "
                 "are still simulated), so that a farm can rerun a failed chunk; a frame "
                 "made otherwise is rendered again");
  render
      ->add_option("--progress", options.progress,
                   "bar, lines (elapsed, frame and remaining times) or json (one event per "
                   "line on standard error); default: a bar on a terminal, else lines")
      ->type_name("STYLE")
      ->check(CLI::IsMember({"bar", "lines", "json"}));
}

void add_info(CLI::App& app, InfoOptions& options) {
  CLI::App* info = app.add_subcommand(
      "info",
      "Print the node's name, type id, description and widget table (index, kind, "
      "name, full name, default, range, unit, page, cell, meaning)");
  info->add_option("--module", options.module_path,
                   "Node module to load; default: BrumelKv.node next to this program")
      ->type_name("PATH");
  info->add_flag("--json", options.json, "Print JSON instead of text");
  info->add_option("--demo", options.demo,
                   "List the widgets this demo preset sets (those whose values differ from a "
                   "fresh node's) instead of the table")
      ->type_name("NAME");
  info->footer(
      "\nPages and cells come from the node's own layout: the panel is a grid of pages of 7\n"
      "rows, each headed by a page label in column 4; a cell is a column and a row\n"
      "within its page. The full name writes out a name the node cuts at twelve\n"
      "characters (\"Swirl Density\" for \"Swirl Densit\"); the unit is that of a\n"
      "number (or a colour's channels). Use the names, full names or indexes with\n"
      "`brumel render --set` and `--key` and in settings documents.");
}

// `brumel view ARGS` runs brumel-view (next to this program) with ARGS. The
// viewer is a program of its own so that its process holds only the window's
// OpenGL, whose calls the node module resolves from the process that loads it.
int exec_viewer(int argc, char** argv) {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  const std::string viewer =
      ((error ? std::filesystem::path(argv[0]) : self).parent_path() / "brumel-view").string();
  std::vector<char*> args{const_cast<char*>(viewer.c_str())};
  for (int i = 2; i < argc; ++i) args.push_back(argv[i]);
  args.push_back(nullptr);
  execv(viewer.c_str(), args.data());
  std::cerr << "brumel: error: cannot start the viewer \"" << viewer
            << "\": " << std::strerror(errno) << " (build the brumel-view target)\n";
  return kRuntimeError;
}

}  // namespace

}  // namespace brumel

int main(int argc, char** argv) {
  using namespace brumel;
  if (argc >= 2 && std::strcmp(argv[1], "view") == 0) return exec_viewer(argc, argv);

  CLI::App app(
      "Brumel: animated, lit clouds from a seeded particle simulation, rendered "
      "over image sequences by the BrumelKv.node module",
      "brumel");
  app.set_version_flag("--version", "brumel " BRUMEL_VERSION, "Print the program name and version");
  app.require_subcommand(1);
  app.footer(
      "\nRun `brumel render --help`, `brumel farm --help`, `brumel info --help` or\n"
      "`brumel view --help` for each command's options.\n"
      "Exit status: 0 done, 1 an error (message on standard error), 2 a command "
      "line that does not parse.");

  RenderLine render;
  add_render_options(
      app.add_subcommand("render",
                         "Render a frame range of the cloud over an image sequence and write the frames"),
      render);
  RenderLine farm_render;
  FarmOptions farm;
  add_farm_options(app, farm, [&](CLI::App* command) { add_render_options(command, farm_render); });
  InfoOptions info;
  add_info(app, info);
  OverlayCommandLine overlay;
  add_overlay_command(app, overlay);
  // Listed for --help; main hands `brumel view ...` to brumel-view before parsing.
  app.add_subcommand("view",
                     "Open the viewer window: play the shot, tune the node in its control panel "
                     "and drag its on-screen handles (`brumel view --help`)");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) return app.exit(e);
    std::cerr << "brumel: error: " << e.what() << "\n"
              << "Run with --help for the list of options.\n";
    return kUsageError;
  }

  try {
    remove_partial_file_on_interrupt();
    if (app.got_subcommand("render")) {
      const RenderOptions options = render.parsed();
      return run_render(options);
    }
    if (app.got_subcommand("farm")) {
      farm.render = farm_render.parsed();
      return run_farm(farm);
    }
    if (app.got_subcommand("info")) return run_info(info);
    if (app.got_subcommand("overlay")) return run_overlay_command(overlay);
  } catch (const std::exception& e) {
    // AppError carries a message a person can act on; anything else is still
    // reported as one line rather than an abort.
    if (app.got_subcommand("render") && render.options.progress == "json") {
      write_error_event(stderr, e.what());
      return kRuntimeError;
    }
    std::cerr << "brumel: error: " << e.what() << "\n";
    return kRuntimeError;
  }
  return kUsageError;
}
