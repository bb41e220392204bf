// The brumel program run as a person runs it, in a temporary folder: renders of
// every demo, processor counts, render-farm chunks, plates, saved settings,
// progress, the widget table, and the errors a person can meet.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/app_run.h"

using ::testing::HasSubstr;

namespace fs = std::filesystem;

namespace {

// Width, height, bit depth and colour type from a PNG's header chunk.
std::array<int, 4> png_header(const fs::path& path) {
  const std::string b = read_text(path);
  if (b.size() < 26 || b.compare(12, 4, "IHDR") != 0) return {};
  auto byte = [&](std::size_t at) { return static_cast<int>(static_cast<unsigned char>(b[at])); };
  return {byte(18) << 8 | byte(19), byte(22) << 8 | byte(23), byte(24), byte(25)};
}

// An uncompressed 8-bit grey TIFF whose header declares width x height and whose
// single strip holds `pixel_bytes` bytes of a mid grey (fewer makes a truncated file).
std::string grey_tiff(std::uint32_t width, std::uint32_t height, std::size_t pixel_bytes) {
  std::string out("II*\0\x08\0\0\0", 8);
  auto put = [&](std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((v >> (8 * i)) & 0xff);
  };
  const std::uint32_t tags[9][3] = {// tag, type (3 short, 4 long), value
                                    {256, 4, width}, {257, 4, height}, {258, 3, 8},
                                    {259, 3, 1},     {262, 3, 1},      {273, 4, 8 + 2 + 9 * 12 + 4},
                                    {277, 3, 1},     {278, 4, height}, {279, 4, width * height}};
  put(9, 2);
  for (const auto& t : tags) put(t[0], 2), put(t[1], 2), put(1, 4), put(t[2], 4);
  put(0, 4);
  return out + std::string(pixel_bytes, '\x80');
}

}  // namespace

#if defined(BRUMEL_APP_PATH)

using App = BrumelRun;

// Each demo writes its frame at the asked size; a link planted at a frame's name is
// replaced by the frame, and what it pointed to is left as it was.
TEST_F(App, EveryDemoWritesItsFrameOverAPlantedLink) {
  fs::create_directories(work_ / "out");
  std::ofstream(work_ / "victim") << "keep";
  fs::create_symlink("../victim", work_ / "out/Drift.0002.png");
  for (std::string demo :
       {"Drift", "Contraints", "Simple 3D", "Bombard", "sunset", "Sky Writing", "Billow"}) {
    ok("render --size 160x90 --frames 2 -q --demo '" + demo + "' -o out/" +
       demo.substr(0, demo.find(' ')) + ".####.png");
  }
  EXPECT_EQ(file("victim"), "keep");
  EXPECT_FALSE(fs::is_symlink(work_ / "out/Drift.0002.png"));
  const std::set<std::string> files = files_under(work_ / "out");
  EXPECT_EQ(files.size(), 7u);  // no temporary files, no catch-up frames
  for (const std::string& f : files) {
    EXPECT_EQ(png_header(work_ / "out" / f), (std::array{160, 90, 16, 6})) << f;  // 16-bit RGBA
  }
}

// One guarantee chain: the frames of a shot rendered on one processor are those of a
// chunk rendered on two from its saved settings (keys and a demo's seed beyond its
// range included), and those rendered again from a written frame alone (its header
// holds the shot; options given win over it). --save makes its folder, as outputs do.
TEST_F(App, ChunksProcessorCountsAndReloadedFramesEqualTheWholeShot) {
  const std::string shot = "render --preroll --shot-start 11 --size 160x90 -q ";
  ok(shot + "--demo 'Sky Writing' --set Quantity=8 --set PreRoll=12 --save looks/shot.json " +
     "--key 'Cloud Size=11:10,16:30' --threads 1 --frames 11-16 -o whole/f.####.png");
  ok(shot + "--load looks/shot.json --threads 2 --frames 14-16 -o chunk/f.####.png");
  ok("render --load looks/shot.json --frames 16 -q -o saved/f.####.png");  // the document's shot
  ok("render --load whole/f.0016.png -q -o again/f.####.png");
  ok("render --load whole/f.0016.png --frames 14 -q -o again/f.####.png");
  EXPECT_EQ(files_under(work_ / "chunk"),
            (std::set<std::string>{"f.0014.png", "f.0015.png", "f.0016.png"}));
  for (const std::string f : {"f.0014.png", "f.0015.png", "f.0016.png"}) {
    EXPECT_EQ(file("whole/" + f), file("chunk/" + f)) << f;
  }
  EXPECT_EQ(files_under(work_ / "again"), (std::set<std::string>{"f.0014.png", "f.0016.png"}));
  EXPECT_EQ(file("whole/f.0014.png"), file("again/f.0014.png"));
  EXPECT_EQ(file("whole/f.0016.png"), file("again/f.0016.png"));
  EXPECT_EQ(file("whole/f.0016.png"), file("saved/f.0016.png"));
  // The simulation moves from frame to frame: equal chunks are not a stuck image.
  EXPECT_NE(file("whole/f.0014.png"), file("whole/f.0016.png"));
}

// A plate numbered from 1001 with the birth matte on (the plate is the matte, read by
// catch-up frames too): the frames on disk by default, and a frame list whose
// --skip-existing keeps a frame of this shot and renders again one of other settings,
// give the frames of the whole run at the plate's size.
TEST_F(App, AFrameListOnAPlateWithSkippedFramesEqualsTheWholeRun) {
  ok("render --demo Drift --preroll --size 96x54 --shot-start 1001 --frames 1001-1008 -q "
     "-o plate/p.####.png");
  const std::string shot =
      "render -i plate/p.####.png --demo Billow --set Quantity=40 "
      "--set 'Use Birth Ma=on' ";
  // Without --matte the plate is the matte: said even with -q, and not refused.
  EXPECT_EQ(ok(shot + "-q -o whole/c.####.png"),
            "brumel: warning: \"Use Birth Ma\" is on without --matte: the input plate itself is "
            "used as the birth matte\n");
  EXPECT_EQ(files_under(work_ / "whole").size(), 8u);
  EXPECT_EQ(png_header(work_ / "whole/c.1001.png")[0], 96);
  fs::create_directories(work_ / "list");
  fs::copy_file(work_ / "whole/c.1004.png", work_ / "list/c.1004.png");
  ok(shot + "--set Seed=7 --frames 1006 -q -o list/c.####.png");
  const std::string list =
      shot + "--frames 1008,1002,1004-1006x2 --skip-existing -o list/c.####.png";
  const std::string log = ok(list);
  EXPECT_THAT(log, HasSubstr("frame 1004 skipped"));
  EXPECT_THAT(log, HasSubstr("frame 1006 is rendered again: list/c.1006.png was made otherwise: "
                             "\"Seed\" is 7.0 there"));
  EXPECT_EQ(files_under(work_ / "list"),
            (std::set<std::string>{"c.1002.png", "c.1004.png", "c.1006.png", "c.1008.png"}));
  for (const std::string f : {"c.1002.png", "c.1004.png", "c.1006.png", "c.1008.png"}) {
    EXPECT_EQ(file("list/" + f), file("whole/" + f)) << f;
  }
  EXPECT_NE(file("whole/c.1004.png"), file("whole/c.1006.png"));
  EXPECT_THAT(ok(list), HasSubstr("every frame of 1002-1008x2 is on disk already"));
  // Before the plate's first frame: the error names the way out.
  EXPECT_THAT(run("render -i plate/p.####.png --frames 1-3 -o x.####.png").err,
              HasSubstr("the first frame 1 comes before the shot start 1001; give --shot-start 1"));
}

// A black birth matte fails every birth, and the node writes two lines on its standard
// output at each simulation step: six in frame 1 (five of pre-roll), one in each later
// frame. Standard output stays clean in every progress style; each line comes once a
// frame with its count, on a line of its own (never cut by the bar).
TEST_F(App, ProgressAndNodeMessagesGoToStandardError) {
  std::ofstream(work_ / "black.pgm", std::ios::binary) << "P5\n32 18\n255\n"
                                                       << std::string(32 * 18, '\0');
  std::vector<std::string> lines;
  for (const char* frame : {"1, 6 times)", "2)", "3)", "4)"}) {
    for (const char* m : {"Tried many times to create a particle",
                          "Probability of success too low to continue - check matte"}) {
      lines.push_back(std::string("brumel: node: ") + m + " (frame " + frame);
    }
  }
  for (const std::string style : {"-q", "--progress=lines", "--progress=bar", "--progress=json"}) {
    const ProgramResult r =
        run("render --size 32x18 --matte black.pgm --set 'Use Birth Ma=on' --set Continuity=100 "
            "--preroll --set PreRoll=5 --frames 2,4 -o out/f.####.png " +
            style);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "") << style;
    std::vector<std::string> node_lines, events, paths;
    std::istringstream err(r.err);
    for (std::string line; std::getline(err, line);) {
      if (style == "--progress=json") {  // node events as the lines of the other styles
        const nlohmann::json e = nlohmann::json::parse(line);  // throws on a plain line
        events.push_back(e.at("event"));
        if (events.back() == "frame") paths.push_back(e.at("path"));
        if (events.back() != "node") continue;
        const int count = e.at("count");
        line = "brumel: node: " + e.at("message").get<std::string>() + " (frame " +
               std::to_string(e.at("frame").get<int>()) +
               (count > 1 ? ", " + std::to_string(count) + " times)" : ")");
      }
      // What a terminal shows of the line: from its last carriage return, erased.
      line.erase(0, line.rfind('\r') == std::string::npos ? 0 : line.rfind('\r') + 1);
      if (line.rfind("\x1b[K", 0) == 0) line.erase(0, 3);
      if (line.find("node:") != std::string::npos) node_lines.push_back(line);
    }
    EXPECT_EQ(node_lines, lines) << style << "\n" << r.err;
    if (style == "-q") {  // the node's lines alone
      EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 8) << r.err;
    } else if (style == "--progress=json") {
      EXPECT_EQ(events, words("start node node node node node node catch_up frame node node "
                              "catch_up frame end"));
      EXPECT_EQ(paths, (std::vector<std::string>{"out/f.0002.png", "out/f.0004.png"}));
    } else if (style == "--progress=lines") {  // each frame's time, the elapsed time, the time left
      for (const char* part : {"brumel: simulating frames 1-1 without drawing\n",
                               "brumel: frame 4 (2/2) written to out/f.0004.png in ",
                               " s, elapsed ", " s left\nbrumel: 2 frames in "}) {
        EXPECT_THAT(r.err, HasSubstr(part));
      }
    }
  }
  // An error is then the error event alone.
  const ProgramResult error = run("render --progress json -i none.####.png --frames 1 -o f.png");
  EXPECT_EQ(error.status, 1);
  const nlohmann::json event = nlohmann::json::parse(error.err);
  EXPECT_EQ(event.at("event"), "error");
  EXPECT_THAT(event.at("message").get<std::string>(), HasSubstr("none.0001.png"));
}

TEST_F(App, EachErrorIsOneClearMessageAndNothingIsWritten) {
  std::ofstream(work_ / "a_file") << "in the way";
  std::ofstream(work_ / "broken.json") << "{ \"format\": ";
  std::ofstream(work_ / "junk.png") << "not an image";
  std::ofstream(work_ / "huge.tif") << grey_tiff(20000, 20000, 0);  // a header alone
  std::ofstream(work_ / "small.tif") << grey_tiff(4, 4, 16);        // holds no settings
  const std::pair<std::string, std::string> cases[]{
      {"--set Quantiy=5", "unknown widget \"Quantiy\" (did you mean \"Quantity\""},
      {"--set Quantity=6000", "\"Quantity\": 6000 is outside 0 to 5000"},
      {"--set 'Use Wind=sometimes'", "\"Use Wind\": \"sometimes\" is not a flag"},
      {"--demo Sunsett",
       "unknown demo \"Sunsett\" (did you mean \"Sunset\"?); the demos are: Drift, Contraints, "
       "Simple 3D, Bombard, Sunset, Sky Writing, Billow"},
      {"--frames 9-3", "bad frame list \"9-3\""},
      {"-i missing.####.exr", "input frame 1: \"missing.0001.exr\" does not exist"},
      {"-i junk.png", "cannot read input image \"junk.png\""},
      {"-i small.tif --frames 1 -o ./small.tif", "would write over the input file \"small.tif\""},
      {"-o a_file/f.####.png", "cannot create output folder \"a_file\""},
      {"--load broken.json", "--load: \"broken.json\""},
      {"--load small.tif", "--load: image \"small.tif\" holds no brumel settings"},
      {"--size 16384x8192",
       "the size is 16384x8192, beyond the limit of 16384 pixels a side and 67108864 pixels"},
      {"-i huge.tif", "input image \"huge.tif\" is 20000x20000, beyond the limit"},
      {"-i small.tif --input-colorspace Rec2100",
       "--input-colorspace \"Rec2100\": not a colour space"},
      {"--output-colorspace bogus", "--output-colorspace \"bogus\": not a colour space"},
      {"--colorconfig none.ocio",
       "cannot use the colour configuration \"none.ocio\" (--colorconfig): no such file"},
      {"-i small.tif --input-colorspace linear",
       "--size 160x90: the input \"small.tif\" is colour-managed (linear)"},
      // Hostile inputs: each held to a limit before it costs memory, time or a crash.
      {"--load deep.json", "nests deeper than 64 levels"},
      {"--load fifo.json", "\"fifo.json\": not a regular file"},
      {"--set " + std::string(300, 'Q') + "=1", "a widget name of 300 characters"},
      {"--shot-start -2147483648 --frames 1000000000", "the shot start -2147483648 is beyond the limit"},
      {"--shot-start -5 --frames 999999", "the shot would play 1000005 frames"},
      {"-o out/f." + std::string(32, '#') + ".png", "padding must be 1 to 12 digits"},
      {"-i small.tif --frames 1 --save small.tif", "--save \"small.tif\" would write over the input"},
      {"-o out/f.####.jp2", "the jpeg2000 format is not written with checked writes"},
      {"--element -o out/f.####.jpg", "--element: \"out/f.0001.jpg\" is of a format without alpha"},
      {"--load shot.json", "--load \"shot.json\": \"shot\" field \"frames\" is 7, not a frame list"},
  };
  std::ofstream(work_ / "shot.json")
      << R"({"format": "brumel-node-settings", "version": 1, "widgets": [], "shot": {"frames": 7}})";
  {
    std::string deep = "{\"format\": \"brumel-node-settings\", \"version\": 1, \"widgets\": ";
    std::ofstream(work_ / "deep.json") << deep + std::string(100000, '[') + std::string(100000, ']') + "}";
  }
  ASSERT_EQ(mkfifo(at("fifo.json").c_str(), 0600), 0);
  const std::set<std::string> before = files_under(work_);
  const std::string small = file("small.tif");
  for (const auto& [args, message] : cases) {
    std::string line = "render " + std::string(args.find("--save") == std::string::npos ? "--save saved.json " : "") + args;
    for (const char* option : {"--size 160x90", "-o out/f.####.png", "--frames 1-2"}) {
      const std::string flag = std::string(option).substr(0, std::string(option).find(' ') + 1);
      if (("render " + args).find(" " + flag) == std::string::npos)
        line += std::string(" ") + option;
    }
    const ProgramResult r = run(line);
    EXPECT_EQ(r.status, 1) << message << "\n" << r.err;
    EXPECT_EQ(r.err.rfind("brumel: error: ", 0), 0u) << r.err;
    EXPECT_THAT(r.err, HasSubstr(message));
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(files_under(work_), before) << message;
  }
  EXPECT_EQ(file("small.tif"), small);
  const ProgramResult usage = run("render --frames");
  EXPECT_EQ(usage.status, 2);
  EXPECT_EQ(usage.err.rfind("brumel: error: ", 0), 0u) << usage.err;
}

// A disk that fills up, in every output format: status 1 naming the frame and the
// reason, and no file of any name left behind (a full disk is a small tmpfs filled
// to the brim, where the machine lets a test mount one).
TEST_F(App, FullDiskInEveryFormatStopsWithNothingPartial) {
  const fs::path disk = root_ / "disk";
  fs::create_directories(disk);
  if (std::system(
          ("mount -t tmpfs -o size=64k tmpfs " + quoted(disk.string()) + " 2>/dev/null").c_str()) !=
      0) {
    GTEST_SKIP() << "cannot mount a small tmpfs here (needs root); full disks not tested";
  }
  fs::create_directories(disk / "out");
  std::system(("dd if=/dev/zero of=" + quoted((disk / "filler").string()) + " bs=4096 2>/dev/null")
                  .c_str());
  for (const std::string format :
       {"png", "tif", "exr", "dpx", "jpg", "bmp", "tga", "hdr", "ppm", "webp", "gif", "iff"}) {
    const ProgramResult r =
        run("render --size 160x90 --frames 1-2 -q -o " + (disk / "out/f.####.").string() + format);
    EXPECT_EQ(r.status, 1) << format;
    EXPECT_THAT(r.err, HasSubstr("f.0001." + format + "\": No space left on device"));
    EXPECT_TRUE(fs::is_empty(disk / "out")) << format;
  }
  std::system(("umount " + quoted(disk.string())).c_str());
}

// Damaged inputs are errors naming the file. A header that cannot be read, of any
// frame, stops the render before the first frame; pixels found damaged later stop
// it at their frame, never giving black rows.
TEST_F(App, DamagedInputsAreRefusedByName) {
  const struct {
    std::string format;
    double keep;        // the part of frame 2 kept; 0: frame 3 is no image at all
    int frames_before;  // frames written before the error
  } cases[]{{"png", 0.6, 1}, {"jpg", 0.6, 1}, {"exr", 0.8, 1}, {"dpx", 0.6, 1}, {"tif", 0.0, 0}};
  for (const auto& c : cases) {
    const std::string plate = "plate_" + c.format + "/p.000";
    if (c.format == "tif") {  // no need to render: the frames a header alone
      fs::create_directories(work_ / "plate_tif");
      for (const char* frame : {"1", "2"})
        std::ofstream(work_ / (plate + frame + ".tif")) << grey_tiff(96, 64, 96 * 64);
    } else {
      ok("render --size 96x64 --frames 1-3 -q -o plate_" + c.format + "/p.####." + c.format);
    }
    const std::string damaged = plate + (c.keep > 0 ? "2." : "3.") + c.format;
    if (c.keep > 0) {
      fs::resize_file(work_ / damaged,
                      static_cast<std::uintmax_t>(fs::file_size(work_ / damaged) * c.keep));
    } else {
      std::ofstream(work_ / damaged, std::ios::trunc) << "not an image";
    }
    const ProgramResult r = run("render --frames 1-3 --progress lines -i plate_" + c.format +
                                "/p.####." + c.format + " -o " + c.format + "_out/o.####.png");
    EXPECT_EQ(r.status, 1) << c.format;
    EXPECT_THAT(r.err, HasSubstr("brumel: error: cannot read input image \"" + damaged + "\": "));
    // Every line is the program's own (a library's message too), and the frame written
    // before the failure is reported before it.
    std::istringstream lines(r.err);
    for (std::string line; std::getline(lines, line);) EXPECT_EQ(line.rfind("brumel: ", 0), 0u) << line;
    if (c.frames_before > 0) {
      EXPECT_THAT(r.err, HasSubstr("frame 1 (1/3) written"));
    }
    EXPECT_EQ(files_under(work_ / (c.format + "_out")).size(),
              static_cast<std::size_t>(c.frames_before))
        << c.format;
  }
  // An uncompressed TIFF whose strip stops short of what its header promises.
  std::ofstream(work_ / "short.tif") << grey_tiff(64, 64, 64 * 40);
  const ProgramResult r = run("render -i short.tif --frames 1 -q -o s.png");
  EXPECT_THAT(r.err, HasSubstr("brumel: error: cannot read input image \"short.tif\""));
  // (A DPX header whose user-data length runs past the file is among the fuzzer's seeds.)
}

// A rerun cleans up after a killed run and checks what a run checks: a temporary file
// whose writer is gone is removed (one a live writer holds stays), only a regular file
// counts as a frame on disk, names as long as the file system allows are written, and
// a DPX frame records its own name, so that two runs write the same bytes.
TEST_F(App, RerunsRemoveAbandonedFilesAndCheckWhatARunChecks) {
  fs::create_directories(work_ / "out/f.0003.png");
  std::ofstream(work_ / "out/.f.0001.png.partial-abandonedwriter1") << "killed";
  std::ofstream(work_ / "out/.f.0002.png.partial-livewriter123456") << "writing";
  const int held = open(at("out/.f.0002.png.partial-livewriter123456").c_str(), O_RDONLY);
  ASSERT_EQ(flock(held, LOCK_EX), 0);
  const ProgramResult folder_in_the_way = run("render --size 32x18 --frames 1-3 -q --skip-existing -o out/f.####.png");
  close(held);
  EXPECT_EQ(folder_in_the_way.status, 1);
  EXPECT_THAT(folder_in_the_way.err, HasSubstr("out/f.0003.png"));
  EXPECT_EQ(files_under(work_ / "out"),
            (std::set<std::string>{".f.0002.png.partial-livewriter123456", "f.0001.png", "f.0002.png", "f.0003.png"}));
  const ProgramResult all_on_disk = run("render --size 32x18 --frames 1-2 -q --skip-existing --load none.json -o out/f.####.png");
  EXPECT_EQ(all_on_disk.status, 1);
  EXPECT_THAT(all_on_disk.err, HasSubstr("none.json"));

  const std::string longest = std::string(245, 'n') + ".####.png";  // 253 bytes a frame
  ok("render --size 32x18 --frames 1 -q -o " + longest);
  EXPECT_TRUE(fs::is_regular_file(work_ / (std::string(245, 'n') + ".0001.png")));
  ok("render --size 32x18 --frames 1 -q -o f.####.dpx");
  const std::string first = file("f.0001.dpx");
  ok("render --size 32x18 --frames 1 -q -o f.####.dpx");
  EXPECT_EQ(file("f.0001.dpx"), first);
  EXPECT_EQ(first.substr(36, 11), std::string("f.0001.dpx\0", 11));  // the header's file name
}

// A hangup the shell told the program to ignore (nohup) stays ignored; one that is
// not ignored ends the render with no partial file.
TEST_F(App, AnIgnoredHangupStaysIgnored) {
  for (const bool ignored : {true, false}) {
    const std::string out = ignored ? "ignored" : "heard";
    const std::string script =
        std::string(ignored ? "trap '' HUP; " : "") + quoted(BRUMEL_APP_PATH) +
        " render --size 320x180 --frames 1-40 -q -o " + out +
        "/f.####.png & sleep 0.5; kill -HUP $!; wait $!; echo $? > " + out + ".status";
    ASSERT_EQ(std::system(("cd " + quoted(work_.string()) + " && sh -c " + quoted(script)).c_str()),
              0);
    EXPECT_EQ(file(out + ".status"), ignored ? "0\n" : "129\n");  // 129: ended by SIGHUP
    const std::set<std::string> files = files_under(work_ / out);
    EXPECT_EQ(files.size() == 40u, ignored);
    for (const std::string& f : files) EXPECT_NE(f[0], '.') << f;
  }
}

TEST_F(App, InfoListsTheWidgetTableFromTheNodesLayout) {
  const ProgramResult r = run("info --json");
  ASSERT_EQ(r.status, 0) << r.err;
  const nlohmann::json doc = nlohmann::json::parse(r.out);
  EXPECT_EQ(doc.at("type_id"), "5a1f9c30-7e2b-4d81-b6a4-c09e3f7d2b15");
  const nlohmann::json& widgets = doc.at("widgets");
  ASSERT_EQ(widgets.size(), 81u);
  EXPECT_EQ(widgets.at(18),
            nlohmann::json::parse(R"({"index": 18, "kind": "number", "name": "Quantity",
      "full_name": "Quantity", "meaning": "Mean number of particles born at a birth event",
      "unit": "particles", "default": 20, "minimum": 0, "maximum": 5000, "range": "0 to 5000", "page": 1,
      "page_name": "Brumel", "cell": {"column": 0, "row": 4}})"));
  EXPECT_EQ(widgets.at(5),
            nlohmann::json::parse(R"({"index": 5, "kind": "option", "name": "Mode: %s",
      "full_name": "Mode", "meaning": "Render draws the cloud; Wireframe passes the input through and outlines each particle in the viewer",
      "unit": "", "default": "Wireframe", "default_index": 1, "options": ["Render", "Wireframe"],
      "range": "Render, Wireframe", "page": 1, "page_name": "Brumel", "cell": {"column": 3, "row": 2}})"));
  EXPECT_EQ(widgets.at(59).at("page_name"), "Light");  // the colour "Light" on page 3

  const ProgramResult text = run("info");
  EXPECT_THAT(text.out, HasSubstr("Vexlings.Brumel"));
  EXPECT_THAT(text.out, HasSubstr("Cloud Size V  "));
  EXPECT_THAT(text.out, HasSubstr("Swirl Density"));  // the full name
  EXPECT_EQ(widgets.at(47).at("unit"), "eddies per frame width");

  // A demo's settings: the widgets it changes from a fresh node's, as JSON values.
  const nlohmann::json sets = nlohmann::json::parse(run("info --demo billow --json").out);
  EXPECT_EQ(sets.at("demo"), "Billow");
  EXPECT_GT(sets.at("sets").size(), 2u);
  EXPECT_EQ(sets.at("sets").at(0),
            (nlohmann::json{
                {"index", 0}, {"kind", "option"}, {"name", "Demos: %s"}, {"value", "Billow"}}));
  for (const auto& set : sets.at("sets")) EXPECT_NE(set.at("kind"), "button") << set;
  const ProgramResult unknown = run("info --demo Sunsett");
  EXPECT_EQ(unknown.status, 1);
  EXPECT_THAT(unknown.err, HasSubstr("unknown demo \"Sunsett\""));
}

#endif
