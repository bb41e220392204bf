// `brumel overlay` run as a person runs it: the node's overlay drawn with real
// OpenGL over a rendered frame, read back from the picture pixel by pixel, and
// scripted drags of the handles. Pictures are written as PPM, which the test
// reads without an image library.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/support/app_run.h"

namespace fs = std::filesystem;

namespace {

using Rgb = std::array<int, 3>;

// An 8-bit binary PPM (P6) as OpenImageIO writes it.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> samples;

  Rgb at(int x, int y) const {
    const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
    return {samples[i], samples[i + 1], samples[i + 2]};
  }
  // Pixels in [x0, x1) x [y0, y1) that pass `test`.
  int count(int x0, int y0, int x1, int y1, const std::function<bool(Rgb)>& test) const {
    int n = 0;
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) n += test(at(x, y)) ? 1 : 0;
    }
    return n;
  }
};

Picture read_ppm(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int maxval = 0;
  Picture p;
  in >> magic >> p.width >> p.height >> maxval;
  in.get();  // the one whitespace before the samples
  if (magic != "P6" || maxval != 255 || p.width <= 0 || p.height <= 0) {
    ADD_FAILURE() << path << " is not an 8-bit PPM";
    return {};
  }
  p.samples.resize(static_cast<std::size_t>(p.width) * p.height * 3);
  in.read(reinterpret_cast<char*>(p.samples.data()), static_cast<std::streamsize>(p.samples.size()));
  if (!in) ADD_FAILURE() << path << " is truncated";
  return p;
}

bool white(Rgb c) { return c[0] == 255 && c[1] == 255 && c[2] == 255; }
bool blue(Rgb c) { return c[2] >= 240 && c[0] <= 20 && c[1] <= 20; }
bool green(Rgb c) { return c[1] >= 180 && c[0] <= 80 && c[2] <= 80; }
bool red(Rgb c) { return c[0] >= 180 && c[1] <= 80 && c[2] <= 80; }
bool yellow(Rgb c) { return c[0] >= 200 && c[1] >= 200 && c[2] <= 60; }

}  // namespace

#if defined(BRUMEL_APP_PATH)

class AppOverlay : public ::testing::Test {
 protected:
  static constexpr int kW = 320, kH = 180, kMargin = 140;

  void SetUp() override {
    const fs::path module = fs::path(BRUMEL_APP_PATH).parent_path() / "BrumelKv.node";
    if (!fs::exists(module)) GTEST_SKIP() << "the node module is not built yet: " << module;
    root_ = fresh_test_folder("brumel_overlay_test_");
    work_ = root_ / "work";
  }
  void TearDown() override {
    if (!root_.empty() && !HasFailure()) fs::remove_all(root_);
  }

  ProgramResult run(const std::vector<std::string>& args, const std::string& env = "") {
    return run_program(BRUMEL_APP_PATH, work_, root_, args, env);
  }
  // `brumel COMMAND` at the test size, expected to succeed.
  void brumel(const std::string& command, std::vector<std::string> args) {
    args.insert(args.begin(), {command, "--size", "320x180", "-q"});
    const ProgramResult r = run(args);
    ASSERT_EQ(r.status, 0) << r.err;
  }
  Picture picture(const std::string& name) { return read_ppm(work_ / name); }

  fs::path root_, work_;
};

using AppOverlayErrors = AppOverlay;

// A handle dragged far outside the view: its widgets are held to their ranges
// (with a warning), the long dashed lines of Perspective are drawn in bounded
// time, and --load takes the saved document back.
TEST_F(AppOverlay, ADragFarOutsideTheViewSavesValuesWithinRange) {
  const ProgramResult r =
      run({"overlay", "--size", "320x180", "-q", "--set", "Perspective=on", "--set", "Birth_X=0.5",
           "--set", "Birth_Y=0.4", "--drag", "160,72:900000,-700000", "--save", "far.json", "-o",
           "far.ppm"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("brumel: warning: --drag \"160,72:900000,-700000\": \"Birth_X\": "),
            std::string::npos)
      << r.err;
  brumel("render", {"--load", "far.json", "--frames", "1", "-o", "far_render.ppm"});
}

TEST_F(AppOverlay, HandlesAreDrawnOverTheRenderedFrameInViewPixels) {
  // The birth point in the view (its default lies left of the frame).
  const std::vector<std::string> shot{"--set", "Birth_X=0.5", "--set", "Birth_Y=0.4"};
  auto with = [&](std::vector<std::string> extra) {
    extra.insert(extra.begin(), shot.begin(), shot.end());
    return extra;
  };
  brumel("overlay", with({"-o", "view.ppm"}));
  brumel("render", with({"--frames", "1", "-o", "frame.ppm"}));
  const Picture view = picture("view.ppm");
  const Picture frame = picture("frame.ppm");
  ASSERT_EQ(view.width, kW);
  ASSERT_EQ(view.height, kH + kMargin);

  // The frame lies at the top-left, row 0 at the top: rows the overlay does not
  // reach are the rendered frame's pixels.
  for (int y : {0, 10, 20, 165, 179}) {
    for (int x = 0; x < kW; ++x) ASSERT_EQ(view.at(x, y), frame.at(x, y)) << x << "," << y;
  }
  // Without Perspective nothing lies below the frame.
  const Rgb grey = view.at(0, kH);
  EXPECT_EQ(grey[0], grey[1]);
  EXPECT_EQ(grey[1], grey[2]);
  EXPECT_EQ(view.count(0, kH, kW, kH + kMargin, [&](Rgb c) { return c == grey; }), kW * kMargin);

  // Birth crosshair at (160, 72): white arms 10 to 25 pixels out on each axis,
  // the open centre inside its 8-pixel square left as the frame.
  for (auto [x, y] : {std::array{175, 72}, {145, 72}, {160, 55}, {160, 89}, {164, 72}}) {
    EXPECT_TRUE(white(view.at(x, y))) << x << "," << y;
  }
  EXPECT_EQ(view.at(160, 72), frame.at(160, 72));
  EXPECT_EQ(view.at(160, 64), frame.at(160, 64));  // between the square and the arm
  // The default wind, (0, 0.75) to (0.5, 0.75): a blue line on row 135 with the
  // arrow head at x = 160, nothing blue past the target's crosshair.
  for (int x : {20, 40, 120, 140}) EXPECT_TRUE(blue(view.at(x, 135))) << x;
  EXPECT_EQ(view.count(0, 0, kW, kH, red), 0);
  EXPECT_EQ(view.count(0, 0, kW, kH, green), 0);
  EXPECT_EQ(view.count(190, 100, kW, kH, blue), 0);

  // GLVND's libGL draws nothing without a window. Loaded ahead of everything
  // else, it must still not receive the module's calls. (The sanitizers' runtime
  // otherwise insists on coming first.)
  for (const char* dir :
       {"/usr/lib/x86_64-linux-gnu", "/usr/lib/aarch64-linux-gnu", "/usr/lib64", "/usr/lib"}) {
    const fs::path system_gl = fs::path(dir) / "libGL.so.1";
    if (!fs::exists(system_gl)) continue;
    std::vector<std::string> args{"overlay", "--size", "320x180", "-q", "-o", "preloaded.ppm"};
    args.insert(args.end(), shot.begin(), shot.end());
    const ProgramResult r = run(args, "LD_PRELOAD=" + quoted(system_gl.string()) +
                                    " ASAN_OPTIONS=verify_asan_link_order=0:${ASAN_OPTIONS:-}");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(picture("preloaded.ppm").samples, view.samples);
    break;
  }
}

TEST_F(AppOverlay, WireframeModeDrawsTheParticlesAsGreenCircles) {
  // (Render mode draws no green: see HandlesAreDrawnOverTheRenderedFrameInViewPixels.)
  brumel("overlay", {"--demo", "Drift", "--preroll", "--mode", "wireframe", "-o", "wire.ppm"});
  EXPECT_GT(picture("wire.ppm").count(0, 0, kW, kH, green), 200);
}

TEST_F(AppOverlay, PerspectiveAddsTheVanishingPointAndTheSideViewBelowTheFrame) {
  brumel("overlay", {"--demo", "Simple 3D", "--preroll", "--frame", "3", "-o", "depth.ppm"});
  const Picture view = picture("depth.ppm");
  // The vanishing point (0.193, 0.203) is a red crosshair at (61.76, 36.54).
  EXPECT_GT(view.count(30, 5, 95, 70, red), 40);
  EXPECT_EQ(view.count(95, 0, kW, kH, red), 0);
  // Camera Distance 48 puts the camera mark at (320 - 15.36, 180 + 40): its left
  // arm on row 220, from 294.64 back to 279.64, in yellow like the side view.
  for (int x : {282, 288, 292}) EXPECT_TRUE(yellow(view.at(x, kH + 40))) << x;
  EXPECT_GT(view.count(0, kH, kW, kH + 80, yellow), 20);
  EXPECT_EQ(view.count(0, kH + 80, kW, kH + kMargin, yellow), 0);
}

TEST_F(AppOverlay, DraggingTheBirthHandleMovesItsWidgetsAndTheNextBirths) {
  // A small birth disc without wind, so the new cloud stays where it was born.
  const std::vector<std::string> shot{"--set", "Birth_X=0.5", "--set", "Birth_Y=0.4",
                                      "--set", "Birth Radius=0.05", "--set", "Use Wind=off"};
  auto with = [&](std::vector<std::string> extra) {
    extra.insert(extra.begin(), shot.begin(), shot.end());
    return extra;
  };
  brumel("overlay", with({"--drag", "160,72:240,120", "--save", "moved.json", "-o", "moved.ppm"}));

  // The handle follows the pointer; its widgets hold the pointer's position as
  // fractions of the view, in single precision.
  const nlohmann::json doc = nlohmann::json::parse(read_text(work_ / "moved.json"));
  EXPECT_EQ(doc.at("widgets").at(21).at("name"), "Birth_X");
  EXPECT_EQ(doc.at("widgets").at(21).at("value"), 0.75);
  EXPECT_EQ(doc.at("widgets").at(22).at("value"), static_cast<double>(120.0f / 180.0f));
  const Picture moved = picture("moved.ppm");
  EXPECT_TRUE(white(moved.at(255, 120)));
  EXPECT_TRUE(white(moved.at(240, 103)));
  EXPECT_FALSE(white(moved.at(175, 72)));

  // The next render births the cloud at the new point: it brightens the sky
  // there and no longer at the old point.
  // (New puffs take some frames to show.)
  brumel("render", with({"--frames", "10", "-o", "before.ppm"}));
  brumel("render", {"--load", "moved.json", "--frames", "10", "-o", "after.ppm"});
  const Picture before = picture("before.ppm");
  const Picture after = picture("after.ppm");
  auto brightening = [](const Picture& a, const Picture& b, int cx, int cy) {
    long sum = 0;
    for (int y = cy - 12; y <= cy + 12; ++y) {
      for (int x = cx - 12; x <= cx + 12; ++x) {
        for (int c = 0; c < 3; ++c) sum += a.at(x, y)[c] - b.at(x, y)[c];
      }
    }
    return sum;
  };
  EXPECT_GT(brightening(after, before, 240, 120), 2000);
  EXPECT_GT(brightening(before, after, 160, 72), 2000);
}

TEST_F(AppOverlayErrors, ADragThatTakesNoHandleOrDoesNotParseWritesNothing) {
  const ProgramResult miss = run({"overlay", "--size", "320x180", "--drag", "10,10:50,50", "--save",
                           "moved.json", "-o", "out.png"});
  EXPECT_EQ(miss.status, 1);
  EXPECT_NE(miss.err.find("--drag \"10,10:50,50\": no handle lies within 5 pixels of 10,10"),
            std::string::npos)
      << miss.err;
  const ProgramResult bad = run({"overlay", "--drag", "10,10;50,50", "-o", "out.png"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.err.rfind("brumel: error: bad --drag \"10,10;50,50\"", 0), 0u) << bad.err;
  std::vector<std::string> files;
  for (const auto& entry : fs::directory_iterator(work_)) files.push_back(entry.path().filename());
  EXPECT_TRUE(files.empty());
}

#else

TEST(AppOverlay, NeedsTheApplication) { GTEST_SKIP() << "built without the brumel application"; }

#endif
