// The brumel program run as a person runs it, in a temporary folder: renders of
// every demo, processor counts, render-farm chunks, saved settings, inputs,
// the widget table, and the errors a person can meet.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <array>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/app_run.h"

namespace fs = std::filesystem;

namespace {

// Width, height, bit depth and colour type from a PNG's header chunk.
struct PngHeader {
  int width = 0, height = 0, depth = 0, colour_type = 0;
};
PngHeader png_header(const fs::path& path) {
  const std::string bytes = read_text(path);
  PngHeader h;
  if (bytes.size() < 26 || bytes.compare(12, 4, "IHDR") != 0) return h;
  auto u32 = [&](std::size_t at) {
    return (static_cast<unsigned char>(bytes[at]) << 24) |
           (static_cast<unsigned char>(bytes[at + 1]) << 16) |
           (static_cast<unsigned char>(bytes[at + 2]) << 8) |
           static_cast<unsigned char>(bytes[at + 3]);
  };
  h.width = static_cast<int>(u32(16));
  h.height = static_cast<int>(u32(20));
  h.depth = static_cast<unsigned char>(bytes[24]);
  h.colour_type = static_cast<unsigned char>(bytes[25]);
  return h;
}

// An uncompressed 8-bit grey TIFF whose header declares width x height and
// whose single strip holds `pixel_bytes` bytes of a mid grey (fewer than the
// header promises makes a truncated file).
std::string grey_tiff(std::uint32_t width, std::uint32_t height, std::size_t pixel_bytes) {
  std::string out("II*\0\x08\0\0\0", 8);
  auto put = [&](std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((v >> (8 * i)) & 0xff);
  };
  const std::uint16_t entries = 9;
  const std::uint32_t strip = 8 + 2 + entries * 12 + 4;
  put(entries, 2);
  const std::uint32_t tags[entries][3] = {  // tag, type (3 short, 4 long), value
      {256, 4, width}, {257, 4, height}, {258, 3, 8},      {259, 3, 1},      {262, 3, 1},
      {273, 4, strip}, {277, 3, 1},      {278, 4, height}, {279, 4, width * height}};
  for (const auto& t : tags) {
    put(t[0], 2);
    put(t[1], 2);
    put(1, 4);
    put(t[2], 4);
  }
  put(0, 4);
  return out + std::string(pixel_bytes, '\x80');
}

std::set<std::string> all_files(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    names.insert(fs::relative(entry.path(), folder).string());
  }
  return names;
}

}  // namespace

#if defined(BRUMEL_APP_PATH)

class App : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path module = fs::path(BRUMEL_APP_PATH).parent_path() / "BrumelKv.node";
    if (!fs::exists(module)) GTEST_SKIP() << "the node module is not built yet: " << module;
    root_ = fresh_test_folder("brumel_app_test_");
    work_ = root_ / "work";
  }
  void TearDown() override {
    if (!root_.empty() && !HasFailure()) fs::remove_all(root_);
  }

  ProgramResult run(const std::vector<std::string>& args) {
    return run_program(BRUMEL_APP_PATH, work_, root_, args);
  }
  // Runs and expects success.
  void render(std::vector<std::string> args) {
    args.insert(args.begin(), "render");
    const ProgramResult r = run(args);
    ASSERT_EQ(r.status, 0) << r.err;
  }
  std::string frame(const std::string& name) { return read_text(work_ / name); }

  fs::path root_;
  fs::path work_;
};

using AppRender = App;
using AppRenderParallel = App;
using AppErrors = App;
using AppInfo = App;
using AppShots = App;
using AppWrites = App;
using AppReads = App;
using AppSignals = App;

TEST_F(AppRender, EveryDemoWritesItsFramesAtTheAskedSize) {
  for (const char* demo : {"Drift", "Contraints", "Simple 3D", "Bombard", "Sky Writing", "Billow"}) {
    std::string name = demo;
    name.erase(std::remove(name.begin(), name.end(), ' '), name.end());
    render({"--demo", demo, "--size", "160x90", "--frames", "1-2", "-q", "-o",
            "out/" + name + ".####.png"});
  }
  // Sunset also shows the plain progress lines a run without a terminal prints.
  const ProgramResult r = run({"render", "--demo", "sunset", "--preroll", "--size", "160x90", "--frames",
                        "3-4", "-o", "out/Sunset.####.png"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("simulating frames 1-2 without drawing"), std::string::npos) << r.err;
  // Each line carries the frame's time, the elapsed time and the time left.
  EXPECT_NE(r.err.find("frame 3 (1/2) written to out/Sunset.0003.png in "), std::string::npos);
  EXPECT_NE(r.err.find("frame 4 (2/2) written to out/Sunset.0004.png in "), std::string::npos);
  EXPECT_NE(r.err.find(" s, elapsed "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(" left\nbrumel: 2 frames in "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("brumel: 2 frames in "), std::string::npos);
  EXPECT_EQ(r.err.find('\r'), std::string::npos);

  const std::set<std::string> files = all_files(work_ / "out");
  EXPECT_EQ(files.size(), 14u);  // no temporary files, no catch-up frames
  for (const std::string& file : files) {
    const PngHeader h = png_header(work_ / "out" / file);
    EXPECT_EQ(h.width, 160) << file;
    EXPECT_EQ(h.height, 90) << file;
    EXPECT_EQ(h.depth, 16) << file;
    EXPECT_EQ(h.colour_type, 6) << file;  // RGBA
  }
}

// One guarantee chain in two runs: a chunk rendered on two processors from saved
// settings equals the same frames of the whole shot rendered on one.
TEST_F(AppRenderParallel, ChunkFromSavedSettingsOnTwoProcessorsEqualsTheWholeShot) {
  const std::vector<std::string> shot{"--preroll", "--shot-start", "11", "--size", "160x90", "-q"};
  auto with = [&](std::vector<std::string> extra) {
    extra.insert(extra.end(), shot.begin(), shot.end());
    return extra;
  };
  render(with({"--demo", "Sky Writing", "--set", "Quantity=8", "--set", "PreRoll=12", "--key",
               "Cloud Size=11:10,16:30", "--save", "shot.json", "--threads", "1", "--frames",
               "11-16", "-o", "whole/f.####.png"}));
  render(with({"--load", "shot.json", "--threads", "2", "--frames", "14-16", "-o",
               "chunk/f.####.png"}));
  EXPECT_EQ(all_files(work_ / "chunk"),
            (std::set<std::string>{"f.0014.png", "f.0015.png", "f.0016.png"}));
  for (const char* f : {"f.0014.png", "f.0015.png", "f.0016.png"}) {
    EXPECT_EQ(frame(std::string("whole/") + f), frame(std::string("chunk/") + f)) << f;
  }
  // The simulation moves from frame to frame: equal chunks are not a stuck image.
  EXPECT_NE(frame("whole/f.0014.png"), frame("whole/f.0016.png"));
  // "PreRoll" names a button first; the value went to the number of that name.
  const nlohmann::json widgets = nlohmann::json::parse(read_text(work_ / "shot.json")).at("widgets");
  EXPECT_FALSE(widgets.at(3).contains("value"));
  EXPECT_EQ(widgets.at(4).at("value"), 12.0);
  EXPECT_EQ(widgets.at(18).at("value"), 8.0);
  EXPECT_EQ(widgets.at(23).at("keys").size(), 2u);
}

TEST_F(AppRender, InputSequenceOrStillGivesTheSize) {
  render({"--size", "96x64", "--frames", "1-3", "-q", "-o", "plate/p.####.png"});
  render({"-i", "plate/p.####.png", "--matte", "plate/p.%04d.png", "--demo", "Billow", "--frames",
          "1-3", "-q", "-o", "out/c.####.tif"});
  EXPECT_EQ(all_files(work_ / "out"),
            (std::set<std::string>{"c.0001.tif", "c.0002.tif", "c.0003.tif"}));
  render({"-i", "plate/p.0002.png", "--frames", "5", "-q", "-o", "still.png"});
  EXPECT_EQ(png_header(work_ / "still.png").width, 96);
}

// A plate numbered from 1001 that changes every frame (the Drift cloud over the sky).
#define MAKE_PLATE()                                                                        \
  render({"--demo", "Drift", "--preroll", "--size", "96x54", "--shot-start", "1001", "--frames", \
          "1001-1010", "-q", "-o", "plate/p.####.png"})

TEST_F(AppShots, StepsAndListsOnAPlateFromItsFirstFrameEqualTheWholeRun) {
  MAKE_PLATE();
  // Birth matte on: the plate is the matte, so catch-up frames read it too.
  for (const char* birth_matte : {"off", "on"}) {
    const std::string b = birth_matte;
    std::vector<std::string> shot{"-i", "plate/p.####.png", "--demo", "Billow", "--set",
                                  "Use Birth Ma=" + b, "--set", "Quantity=40", "-q"};
    auto with = [&](std::vector<std::string> extra) {
      extra.insert(extra.begin(), shot.begin(), shot.end());
      return extra;
    };
    std::vector<std::string> whole = with({"--frames", "1001-1010", "-o", "whole" + b + "/c.####.png"});
    whole.insert(whole.begin(), "render");
    const ProgramResult run_whole = run(whole);
    ASSERT_EQ(run_whole.status, 0) << run_whole.err;
    // Without --matte the plate is the matte: said even with -q, and not refused.
    EXPECT_EQ(run_whole.err, b == "off" ? "" :
              "brumel: warning: \"Use Birth Ma\" is on without --matte: the input plate "
              "itself is used as the birth matte\n");
    render(with({"--frames", "1001-1010x3", "-o", "step" + b + "/c.%04d.png"}));
    render(with({"--frames", "1009,1002-1003", "-o", "list" + b + "/c.@@@@.png"}));
    EXPECT_EQ(all_files(work_ / ("step" + b)),
              (std::set<std::string>{"c.1001.png", "c.1004.png", "c.1007.png", "c.1010.png"}));
    EXPECT_EQ(all_files(work_ / ("list" + b)),
              (std::set<std::string>{"c.1002.png", "c.1003.png", "c.1009.png"}));
    for (const std::string folder : {"step", "list"}) {
      for (const std::string& f : all_files(work_ / (folder + b))) {
        EXPECT_EQ(frame(folder + b + "/" + f), frame("whole" + b + "/" + f)) << folder << b << f;
      }
    }
    EXPECT_NE(frame("whole" + b + "/c.1004.png"), frame("whole" + b + "/c.1007.png"));
  }
  // Before the plate's first frame: the error names the way out.
  const ProgramResult r = run({"render", "-i", "plate/p.####.png", "--frames", "1-3", "-o", "x.####.png"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("the first frame 1 comes before the shot start 1001; give --shot-start 1"),
            std::string::npos)
      << r.err;
}

TEST_F(AppShots, RerunsNeverWriteOverInputsAndSkipWhatIsOnDisk) {
  MAKE_PLATE();
  const std::set<std::string> plate = all_files(work_ / "plate");
  const std::string first_plate = frame("plate/p.1001.png");
  for (const char* output : {"plate/p.####.png", "./plate/../plate/p.%04d.png"}) {
    const ProgramResult r =
        run({"render", "-i", "plate/p.####.png", "--frames", "1001-1002", "-o", output});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("would write over the input file \"plate/p.1001.png\""), std::string::npos)
        << r.err;
  }
  EXPECT_EQ(all_files(work_ / "plate"), plate);
  EXPECT_EQ(frame("plate/p.1001.png"), first_plate);

  const std::vector<std::string> chunk{"render", "-i", "plate/p.####.png", "--demo", "Sunset",
                                       "--frames", "1001-1006", "--skip-existing", "-o",
                                       "out/c.####.png"};
  ASSERT_EQ(run(chunk).status, 0);
  const std::string fifth = frame("out/c.1005.png");
  fs::remove(work_ / "out/c.1005.png");                      // the task that failed
  std::ofstream(work_ / "out/c.1002.png") << "kept as it is";  // skipped, not rewritten
  const ProgramResult rerun = run(chunk);
  ASSERT_EQ(rerun.status, 0) << rerun.err;
  EXPECT_NE(rerun.err.find("frame 1002 skipped"), std::string::npos) << rerun.err;
  EXPECT_EQ(frame("out/c.1005.png"), fifth);
  EXPECT_EQ(frame("out/c.1002.png"), "kept as it is");
  EXPECT_EQ(all_files(work_ / "out").size(), 6u);  // no temporary files left
  const ProgramResult done = run(chunk);
  EXPECT_NE(done.err.find("every frame of 1001-1006 is on disk already"), std::string::npos);
}

TEST_F(AppShots, JsonProgressIsOneParsableEventPerLine) {
  const ProgramResult r = run({"render", "--size", "64x36", "--shot-start", "-2", "--frames",
                               "0-4x2", "--progress", "json", "-o", "out/f.%04d.png"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<std::string> events;
  std::vector<std::string> paths;
  std::istringstream lines(r.err);
  for (std::string line; std::getline(lines, line);) {
    const nlohmann::json event = nlohmann::json::parse(line);  // throws on anything else
    events.push_back(event.at("event"));
    if (events.back() == "frame") {
      paths.push_back(event.at("path"));
      EXPECT_GE(event.at("seconds").get<double>(), 0.0);
      EXPECT_GE(event.at("left").get<double>(), 0.0);
    }
    if (events.back() == "catch_up") {
      EXPECT_EQ(event.at("frames"), event.at("last").get<int>() - event.at("first").get<int>() + 1);
    }
  }
  EXPECT_EQ(events, (std::vector<std::string>{"start", "catch_up", "frame", "catch_up", "frame",
                                              "catch_up", "frame", "end"}));
  EXPECT_EQ(paths, (std::vector<std::string>{"out/f.0000.png", "out/f.0002.png", "out/f.0004.png"}));

  const ProgramResult error = run({"render", "--progress", "json", "-i", "none.####.png", "--frames", "1", "-o", "f.png"});
  EXPECT_EQ(error.status, 1);
  const nlohmann::json event = nlohmann::json::parse(error.err);
  EXPECT_EQ(event.at("event"), "error");
  EXPECT_NE(event.at("message").get<std::string>().find("none.0001.png"), std::string::npos);
}

// A black birth matte fails every birth, and the node writes two lines on its standard
// output at each simulation step: six steps in frame 1 (caught up, five of pre-roll),
// one in each later frame. Standard output stays clean in every progress style; each
// line comes once a frame with its count, on a line of its own (never cut by the bar).
TEST_F(AppShots, NodeMessagesGoToStandardErrorOnceAFrameWithTheirCount) {
  std::ofstream(work_ / "black.pgm", std::ios::binary) << "P5\n32 18\n255\n"
                                                       << std::string(32 * 18, '\0');
  const std::string tried = "Tried many times to create a particle";
  const std::string low = "Probability of success too low to continue - check matte";
  const std::vector<std::string> lines{
      "brumel: node: " + tried + " (frame 1, 6 times)", "brumel: node: " + low + " (frame 1, 6 times)",
      "brumel: node: " + tried + " (frame 2)",          "brumel: node: " + low + " (frame 2)",
      "brumel: node: " + tried + " (frame 3)",          "brumel: node: " + low + " (frame 3)"};
  const std::vector<std::tuple<int, std::string, int>> events{  // frame, message, count
      {1, tried, 6}, {1, low, 6}, {2, tried, 1}, {2, low, 1}, {3, tried, 1}, {3, low, 1}};
  for (const std::vector<std::string>& style : std::vector<std::vector<std::string>>{
           {"-q"}, {"--progress", "lines"}, {"--progress", "bar"}, {"--progress", "json"}}) {
    std::vector<std::string> args{"render", "--size", "32x18", "--matte", "black.pgm", "--set",
                                  "Use Birth Ma=on", "--set", "Continuity=100", "--preroll",
                                  "--set", "PreRoll=5", "--frames", "2-3", "-o", "out/f.####.png"};
    args.insert(args.end(), style.begin(), style.end());
    const ProgramResult r = run(args);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "") << style.back();
    std::vector<std::string> node_lines;
    std::vector<std::tuple<int, std::string, int>> node_events;
    std::istringstream err(r.err);
    for (std::string line; std::getline(err, line);) {
      if (style.back() == "json") {
        const nlohmann::json event = nlohmann::json::parse(line);  // throws on a plain line
        if (event.at("event") == "node") {
          node_events.emplace_back(event.at("frame"), event.at("message"), event.at("count"));
        }
        continue;
      }
      // What a terminal shows of the line: from its last carriage return, erased.
      line.erase(0, line.rfind('\r') == std::string::npos ? 0 : line.rfind('\r') + 1);
      if (line.rfind("\x1b[K", 0) == 0) line.erase(0, 3);
      if (line.find("node:") != std::string::npos) node_lines.push_back(line);
    }
    if (style.back() == "json") {
      EXPECT_EQ(node_events, events);
    } else {
      EXPECT_EQ(node_lines, lines) << style.back() << "\n" << r.err;
    }
    // Quiet: the node's lines and nothing else.
    if (style.back() == "-q") {
      EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 6) << r.err;
    }
  }
}

TEST_F(AppShots, SettingsRoundTripKeepsTheMode) {
  render({"--demo", "Drift", "--preroll", "--mode", "wireframe", "--size", "96x54", "--frames", "6",
          "-q", "--save", "wire.json", "-o", "saved.png"});
  render({"--load", "wire.json", "--preroll", "--size", "96x54", "--frames", "6", "-q", "-o",
          "loaded.png"});
  render({"--demo", "Drift", "--preroll", "--set", "Mode: %s=Wireframe", "--size", "96x54",
          "--frames", "6", "-q", "-o", "set.png"});
  render({"--demo", "Drift", "--preroll", "--size", "96x54", "--frames", "6", "-q", "-o",
          "render.png"});
  EXPECT_EQ(frame("loaded.png"), frame("saved.png"));
  EXPECT_EQ(frame("set.png"), frame("saved.png"));
  EXPECT_NE(frame("render.png"), frame("saved.png"));
}

// A written frame holds its shot: --load of it alone renders it again, bit for
// bit (PNG's header and EXR's), and options given win over what it holds.
TEST_F(AppShots, ARenderedFrameLoadsBackAsItsShot) {
  const std::vector<std::string> shot{"--demo", "Sky Writing", "--set", "Quantity=8", "--preroll",
                                      "--shot-start", "2", "--size", "96x54", "-q"};
  auto with = [&](std::vector<std::string> extra) {
    extra.insert(extra.begin(), shot.begin(), shot.end());
    return extra;
  };
  render(with({"--frames", "4-5", "-o", "first.####.png"}));
  render(with({"--frames", "5", "-o", "first.exr"}));
  render({"--load", "first.0005.png", "-q", "-o", "again.png"});
  render({"--load", "first.exr", "-q", "-o", "again_from_exr.png"});
  render({"--load", "first.0005.png", "--frames", "4", "-q", "-o", "four.png"});
  EXPECT_EQ(frame("again.png"), frame("first.0005.png"));
  EXPECT_EQ(frame("again_from_exr.png"), frame("first.0005.png"));
  EXPECT_EQ(frame("four.png"), frame("first.0004.png"));
  EXPECT_NE(frame("first.0004.png"), frame("first.0005.png"));

  render({"--size", "32x18", "--frames", "1", "-q", "-o", "plain.tif"});  // TIFF keeps no settings
  const ProgramResult r = run({"render", "--load", "plain.tif", "-o", "x.png"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("--load: image \"plain.tif\" holds no brumel settings"), std::string::npos)
      << r.err;
}

TEST_F(AppErrors, EachIsOneClearMessageAndNothingIsWritten) {
  std::ofstream(work_ / "a_file") << "in the way";
  std::ofstream(work_ / "broken.json") << "{ \"format\": ";
  std::ofstream(work_ / "huge.tif") << grey_tiff(20000, 20000, 0);  // a header alone
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const std::vector<Case> cases{
      {{"--set", "Quantiy=5"}, "unknown widget \"Quantiy\" (did you mean \"Quantity\""},
      {{"--set", "Quantity=6000"}, "\"Quantity\": 6000 is outside 0 to 5000"},
      {{"--set", "Use Wind=sometimes"}, "\"Use Wind\": \"sometimes\" is not a flag"},
      {{"--demo", "Sunsett"},
       "unknown demo \"Sunsett\" (did you mean \"Sunset\"?); the demos are: Drift, Contraints, "
       "Simple 3D, Bombard, Sunset, Sky Writing, Billow"},
      {{"--frames", "9-3"}, "bad frame list \"9-3\""},
      {{"-i", "missing.####.exr"}, "input frame 1: \"missing.0001.exr\" does not exist"},
      {{"-o", "a_file/f.####.png"}, "cannot create output folder \"a_file\""},
      {{"--load", "broken.json"}, "--load: \"broken.json\""},
      {{"--size", "16384x8192"},
       "the size is 16384x8192, beyond the limit of 16384 pixels a side and 67108864 pixels"},
      {{"-i", "huge.tif"}, "input image \"huge.tif\" is 20000x20000, beyond the limit"},
  };
  const std::set<std::string> before = all_files(work_);
  for (const Case& c : cases) {
    std::vector<std::string> args{"render", "--save", "saved.json"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    auto given = [&](const char* option) {
      return std::find(c.args.begin(), c.args.end(), option) != c.args.end();
    };
    if (!given("--size")) args.insert(args.end(), {"--size", "160x90"});
    if (!given("-o")) args.insert(args.end(), {"-o", "out/f.####.png"});
    if (!given("--frames")) args.insert(args.end(), {"--frames", "1-2"});
    const ProgramResult r = run(args);
    EXPECT_EQ(r.status, 1) << c.message;
    EXPECT_EQ(r.err.rfind("brumel: error: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(all_files(work_), before) << c.message;
  }
  const ProgramResult usage = run({"render", "--frames"});
  EXPECT_EQ(usage.status, 2);
  EXPECT_EQ(usage.err.rfind("brumel: error: ", 0), 0u) << usage.err;
}

// A disk that fills up, in every output format: status 1 naming the frame and
// the reason, and no file of any name left behind (a full disk is a small
// tmpfs filled to the brim, where the machine lets a test mount one).
TEST_F(AppWrites, FullDiskInEveryFormatStopsWithNothingPartial) {
  const fs::path disk = root_ / "disk";
  fs::create_directories(disk);
  const std::string mount = "mount -t tmpfs -o size=64k tmpfs " + quoted(disk.string());
  if (std::system((mount + " 2>/dev/null").c_str()) != 0) {
    GTEST_SKIP() << "cannot mount a small tmpfs here (needs root); full disks not tested";
  }
  fs::create_directories(disk / "out");
  std::system(("dd if=/dev/zero of=" + quoted((disk / "filler").string()) +
               " bs=4096 2>/dev/null").c_str());
  for (const char* format : {"png", "tif", "exr", "dpx", "jpg", "bmp"}) {
    const std::string name = std::string("f.####.") + format;
    const ProgramResult r = run({"render", "--size", "160x90", "--frames", "1-2", "-q", "-o",
                                 (disk / "out" / name).string()});
    EXPECT_EQ(r.status, 1) << format;
    EXPECT_NE(r.err.find(std::string("f.0001.") + format + "\": No space left on device"),
              std::string::npos)
        << r.err;
    EXPECT_TRUE(fs::is_empty(disk / "out")) << format;
  }
  std::system(("umount " + quoted(disk.string())).c_str());
}

// A link planted at a frame's name is replaced by the frame; what it pointed
// to is left as it was.
TEST_F(AppWrites, APlantedLinkIsReplacedNotFollowed) {
  std::ofstream(work_ / "victim") << "keep";
  fs::create_symlink("victim", work_ / "f.0001.png");
  render({"--size", "32x18", "--frames", "1", "-q", "-o", "f.####.png"});
  EXPECT_EQ(frame("victim"), "keep");
  EXPECT_FALSE(fs::is_symlink(work_ / "f.0001.png"));
  EXPECT_EQ(png_header(work_ / "f.0001.png").width, 32);
}

// Damaged inputs are errors naming the file. A header that cannot be read, of
// any frame, stops the render before the first frame; pixels found damaged
// later stop it at their frame, never giving black rows.
TEST_F(AppReads, DamagedInputsAreRefusedByName) {
  struct Case {
    std::string format;
    int frame;          // the damaged frame of 1-3
    double keep;        // the part of its file kept; 0 writes a file that is no image
    int frames_before;  // frames written before the error
  };
  const std::vector<Case> cases{{"png", 2, 0.6, 1}, {"jpg", 2, 0.6, 1}, {"exr", 2, 0.8, 1},
                                {"dpx", 2, 0.6, 1}, {"tif", 3, 0.0, 0}};
  for (const Case& c : cases) {
    const std::string plate = "plate_" + c.format;
    render({"--size", "96x64", "--frames", "1-3", "-q", "-o", plate + "/p.####." + c.format});
    const fs::path damaged = work_ / plate / ("p.000" + std::to_string(c.frame) + "." + c.format);
    if (c.keep > 0) {
      fs::resize_file(damaged, static_cast<std::uintmax_t>(fs::file_size(damaged) * c.keep));
    } else {
      std::ofstream(damaged, std::ios::trunc) << "not an image";
    }
    const ProgramResult r = run({"render", "-i", plate + "/p.####." + c.format, "--frames", "1-3",
                                 "-q", "-o", plate + "_out/o.####.png"});
    EXPECT_EQ(r.status, 1) << plate;
    // (The PNG library prints a line of its own first.)
    EXPECT_NE(r.err.find("brumel: error: cannot read input image \"" +
                         fs::relative(damaged, work_).string() + "\": "),
              std::string::npos)
        << r.err;
    const fs::path out = work_ / (plate + "_out");
    EXPECT_EQ(fs::exists(out) ? all_files(out).size() : 0u,
              static_cast<std::size_t>(c.frames_before))
        << plate;
  }
  // An uncompressed TIFF whose strip stops short of what its header promises.
  std::ofstream(work_ / "short.tif") << grey_tiff(64, 64, 64 * 40);
  const ProgramResult r = run({"render", "-i", "short.tif", "--frames", "1", "-q", "-o", "s.png"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot read input image \"short.tif\""), std::string::npos) << r.err;
  // A DPX header whose user-data length runs past the end of the file.
  std::string dpx = frame("plate_dpx/p.0001.dpx");
  dpx.replace(32, 4, dpx.compare(0, 4, "SDPX") == 0 ? "\xff\xff\xff\xfe" : "\xfe\xff\xff\xff");
  std::ofstream(work_ / "user.dpx", std::ios::binary) << dpx;
  const ProgramResult u = run({"render", "-i", "user.dpx", "--frames", "1", "-q", "-o", "u.png"});
  EXPECT_EQ(u.status, 1);
  EXPECT_NE(u.err.find("input image \"user.dpx\" is damaged: its DPX header gives 4294967294 bytes"),
            std::string::npos)
      << u.err;
}

// A hangup the shell told the program to ignore (nohup) stays ignored; one
// that is not ignored ends the render with no partial file.
TEST_F(AppSignals, AnIgnoredHangupStaysIgnored) {
  for (const bool ignored : {true, false}) {
    const std::string out = ignored ? "ignored" : "heard";
    const std::string script =
        std::string(ignored ? "trap '' HUP; " : "") + quoted(BRUMEL_APP_PATH) +
        " render --size 320x180 --frames 1-40 -q -o " + out +
        "/f.####.png & sleep 0.5; kill -HUP $!; wait $!; echo $? > " + out + ".status";
    ASSERT_EQ(std::system(("cd " + quoted(work_.string()) + " && sh -c " + quoted(script)).c_str()),
              0);
    const std::string status = frame(out + ".status");
    if (ignored) {
      EXPECT_EQ(status, "0\n");
      EXPECT_EQ(all_files(work_ / out).size(), 40u);
    } else {
      EXPECT_EQ(status, "129\n");  // ended by SIGHUP
      if (!fs::exists(work_ / out)) continue;
      for (const std::string& f : all_files(work_ / out)) EXPECT_NE(f[0], '.') << f;
    }
  }
}

TEST_F(AppInfo, ListsTheWidgetTableFromTheNodesLayout) {
  const ProgramResult r = run({"info", "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  const nlohmann::json doc = nlohmann::json::parse(r.out);
  EXPECT_EQ(doc.at("name"), "Vexlings.Brumel");
  EXPECT_EQ(doc.at("type_id"), "5a1f9c30-7e2b-4d81-b6a4-c09e3f7d2b15");
  EXPECT_EQ(doc.at("description").get<std::string>().rfind("Vexlings Brumel, Version 5.0 - ", 0),
            0u);
  const nlohmann::json& widgets = doc.at("widgets");
  ASSERT_EQ(widgets.size(), 81u);
  EXPECT_EQ(widgets.at(18).at("name"), "Quantity");
  EXPECT_EQ(widgets.at(18).at("range"), "0 to 5000");
  EXPECT_EQ(widgets.at(18).at("minimum"), 0);  // numbers as JSON numbers
  EXPECT_EQ(widgets.at(18).at("maximum"), 5000);
  EXPECT_TRUE(widgets.at(18).at("default").is_number());
  EXPECT_EQ(widgets.at(5).at("options"), (nlohmann::json{"Render", "Wireframe"}));
  EXPECT_EQ(widgets.at(5).at("default"), "Wireframe");
  EXPECT_EQ(widgets.at(5).at("default_index"), 1);
  EXPECT_EQ(widgets.at(39).at("page_name"), "Depth");
  EXPECT_EQ(widgets.at(39).at("cell"), (nlohmann::json{{"column", 2}, {"row", 5}}));
  EXPECT_EQ(widgets.at(59).at("page_name"), "Light");  // the colour "Light" on page 3
  EXPECT_EQ(widgets.at(80).at("kind"), "label");

  const ProgramResult text = run({"info"});
  ASSERT_EQ(text.status, 0) << text.err;
  EXPECT_NE(text.out.find("Vexlings.Brumel"), std::string::npos);
  EXPECT_NE(text.out.find("Cloud Size V"), std::string::npos);

  // A demo's settings: the widgets it changes from a fresh node's, as JSON values.
  const ProgramResult demo = run({"info", "--demo", "billow", "--json"});
  ASSERT_EQ(demo.status, 0) << demo.err;
  const nlohmann::json sets = nlohmann::json::parse(demo.out);
  EXPECT_EQ(sets.at("demo"), "Billow");
  EXPECT_GT(sets.at("sets").size(), 2u);
  EXPECT_NE(std::find(sets.at("sets").begin(), sets.at("sets").end(),
                      nlohmann::json{{"index", 0}, {"kind", "option"}, {"name", "Demos: %s"},
                                     {"value", "Billow"}}),
            sets.at("sets").end())
      << demo.out;
  for (const auto& set : sets.at("sets")) EXPECT_NE(set.at("kind"), "button") << set;
  const ProgramResult unknown = run({"info", "--demo", "Sunsett"});
  EXPECT_EQ(unknown.status, 1);
  EXPECT_NE(unknown.err.find("unknown demo \"Sunsett\""), std::string::npos) << unknown.err;

  const ProgramResult version = run({"--version"});
  EXPECT_EQ(version.status, 0) << version.err;
  EXPECT_EQ(version.out, "brumel 5.0\n");
}

#else

TEST(AppRender, NeedsTheApplication) { GTEST_SKIP() << "built without the brumel application"; }

#endif
