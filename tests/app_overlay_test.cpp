// `brumel overlay` run as a person runs it: the node's overlay drawn with real
// OpenGL over a rendered frame, read back from the picture pixel by pixel, and
// scripted drags of the handles. Pictures are written as PPM.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/support/app_run.h"

using ::testing::HasSubstr;

namespace fs = std::filesystem;

namespace {

using Rgb = Picture::Rgb;
bool white(Rgb c) { return c[0] == 255 && c[1] == 255 && c[2] == 255; }
bool blue(Rgb c) { return c[2] >= 240 && c[0] <= 20 && c[1] <= 20; }
bool green(Rgb c) { return c[1] >= 180 && c[0] <= 80 && c[2] <= 80; }
bool red(Rgb c) { return c[0] >= 180 && c[1] <= 80 && c[2] <= 80; }
bool yellow(Rgb c) { return c[0] >= 200 && c[1] >= 200 && c[2] <= 60; }

}  // namespace

#if defined(BRUMEL_APP_PATH)

class AppOverlay : public BrumelRun {
 protected:
  static constexpr int kW = 320, kH = 180, kMargin = 140;
  // `brumel LINE` quiet at the test size, expected to succeed.
  void brumel(const std::string& line) { ok(line + " --size 320x180 -q"); }
  // The birth point in the view (its default lies left of the frame).
  static constexpr const char* kBirth = " --set Birth_X=0.5 --set Birth_Y=0.4";
  Picture picture(const std::string& name) const { return read_ppm(work_ / name); }
};

TEST_F(AppOverlay, HandlesAreDrawnOverTheRenderedFrameInViewPixels) {
  brumel(std::string("overlay -o view.ppm") + kBirth);
  brumel(std::string("render --frames 1 -o frame.ppm") + kBirth);
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
  EXPECT_EQ(grey, (Rgb{grey[0], grey[0], grey[0]}));
  EXPECT_EQ(view.count(0, kH, kW, kH + kMargin, [&](Rgb c) { return c == grey; }), kW * kMargin);
  // Birth crosshair at (160, 72): white arms 10 to 25 pixels out on each axis,
  // the open centre inside its 8-pixel square left as the frame.
  for (auto [x, y] : {std::array{175, 72}, {145, 72}, {160, 55}, {160, 89}, {164, 72}}) {
    EXPECT_TRUE(white(view.at(x, y))) << x << "," << y;
  }
  EXPECT_EQ(view.at(160, 72), frame.at(160, 72));
  EXPECT_EQ(view.at(160, 64), frame.at(160, 64));  // between the square and the arm
  // The default wind, (0, 0.75) to (0.5, 0.75): a blue line on row 135 with the
  // arrow head at x = 160, nothing blue past the target's crosshair. Render mode
  // draws no particles (green) and, without Perspective, no vanishing point (red).
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
    const ProgramResult r = run(std::string("overlay --size 320x180 -q -o preloaded.ppm") + kBirth,
                                "LD_PRELOAD=" + quoted(system_gl.string()) +
                                    " ASAN_OPTIONS=verify_asan_link_order=0:${ASAN_OPTIONS:-}");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(picture("preloaded.ppm").samples, view.samples);
    break;
  }
}

TEST_F(AppOverlay, WireframeDrawsTheParticlesAndPerspectiveTheSideView) {
  brumel("overlay --demo Drift --preroll --mode wireframe -o wire.ppm");
  EXPECT_GT(picture("wire.ppm").count(0, 0, kW, kH, green), 200);
  brumel("overlay --demo 'Simple 3D' --preroll --frame 3 -o depth.ppm");
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
  const std::string shot = std::string(kBirth) + " --set 'Birth Radius=0.05' --set 'Use Wind=off'";
  brumel("overlay --drag 160,72:240,120 --save moved.json -o moved.ppm" + shot);
  // The handle follows the pointer; its widgets hold the pointer's position as
  // fractions of the view, in single precision.
  const nlohmann::json doc = nlohmann::json::parse(file("moved.json"));
  EXPECT_EQ(doc.at("widgets").at(21).at("name"), "Birth_X");
  EXPECT_EQ(doc.at("widgets").at(21).at("value"), 0.75);
  EXPECT_EQ(doc.at("widgets").at(22).at("value"), static_cast<double>(120.0f / 180.0f));
  const Picture moved = picture("moved.ppm");
  EXPECT_TRUE(white(moved.at(255, 120)));
  EXPECT_TRUE(white(moved.at(240, 103)));
  EXPECT_FALSE(white(moved.at(175, 72)));

  // The next render births the cloud at the new point: it brightens the sky
  // there and no longer at the old point. (New puffs take some frames to show.)
  brumel("render --frames 10 -o before.ppm" + shot);
  brumel("render --load moved.json --frames 10 -o after.ppm");
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

// A handle dragged far outside the view: its widgets are held to their ranges
// (with a warning), the long dashed lines of Perspective are drawn in bounded
// time, and --load takes the saved document back. A drag that takes no handle or
// does not parse is refused, and nothing is written.
TEST_F(AppOverlay, ADragFarOutsideIsHeldToRangesAndAMissIsRefused) {
  const ProgramResult far =
      run("overlay --size 320x180 -q --set Perspective=on --drag 160,72:900000,-700000 "
          "--save far.json -o far.ppm" +
          std::string(kBirth));
  ASSERT_EQ(far.status, 0) << far.err;
  EXPECT_THAT(far.err,
              HasSubstr("brumel: warning: --drag \"160,72:900000,-700000\": \"Birth_X\": "));
  ok("render --load far.json --size 32x18 --frames 1 -q -o far_render.ppm");

  const ProgramResult miss =
      run("overlay --size 320x180 --drag 10,10:50,50 --save moved.json -o out.png");
  EXPECT_EQ(miss.status, 1);
  EXPECT_THAT(miss.err,
              HasSubstr("--drag \"10,10:50,50\": no handle lies within 5 pixels of 10,10"));
  const ProgramResult bad = run("overlay --drag 10,10;50,50 -o out.png");
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.err.rfind("brumel: error: bad --drag \"10,10;50,50\"", 0), 0u) << bad.err;
  EXPECT_EQ(files_under(work_), (std::set<std::string>{"far.json", "far.ppm", "far_render.ppm"}));
}

#endif
