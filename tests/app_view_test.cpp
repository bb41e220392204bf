// The viewer window (`brumel view`) driven by scripts under a virtual X display:
// the frame it shows, its overlay, its transport, its control panel and the mouse
// path to the node's handles, checked through screenshots and state files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <string>
#include <vector>

#include "tests/support/app_run.h"

using ::testing::HasSubstr;

#if defined(BRUMEL_APP_PATH)

namespace fs = std::filesystem;

namespace {

class View : public BrumelRun {
 protected:
  void SetUp() override {
    if (!fs::exists(fs::path(BRUMEL_APP_PATH).parent_path() / "brumel-view"))
      GTEST_SKIP() << "no brumel-view";
    // xvfb-run needs xauth, which the xvfb package only recommends.
    if (std::system("command -v xvfb-run >/dev/null 2>&1 && command -v xauth >/dev/null 2>&1") !=
        0) {
      GTEST_SKIP() << "xvfb-run or xauth is missing: no virtual display for the viewer window";
    }
    BrumelRun::SetUp();
  }
  // `brumel view ARGS --script` with the script's actions ("; " between them), on a
  // virtual display of its own: servers are numbered from this process's id, so that
  // tests side by side do not race for the same display.
  ProgramResult view(const std::string& args, const std::string& script, bool display = true) {
    std::ofstream(work_ / "session.txt")
        << std::regex_replace(script, std::regex("; "), "\n") << "\n";
    const std::string line = "view --script session.txt " + args;
    if (!display) return run(line);
    return run_program(
        "xvfb-run", work_, root_,
        words("-a -n " + std::to_string(100 + getpid() % 800) + " -s '-screen 0 1280x1024x24' " +
              quoted(BRUMEL_APP_PATH) + " " + line));
  }
  nlohmann::json state(const std::string& name) const { return nlohmann::json::parse(file(name)); }
  static const nlohmann::json& widget(const nlohmann::json& state, int index) {
    return state.at("widgets").at(index);
  }
};

}  // namespace

// With the defaults of `brumel render` (Render mode, frames 1-24), stepping,
// restarting and jumping to a frame all show the frame render writes.
TEST_F(View, ShowsTheRenderedFrameWithTheOverlayRegisteredToIt) {
  const std::string shot = "--demo Billow --set Birth_X=0.3 --set Birth_Y=0.5 --size 320x180 ";
  ok("render --frames 3-3 -q -o frame.ppm " + shot);
  const ProgramResult r = view(
      shot + "--window 1000x600 --zoom 1",
      "step 2; overlay off; screenshot plain.ppm; state state.json; overlay on; "
      "screenshot marked.ppm; zoom 2; screenshot zoomed.ppm; state zoomed.json; overlay off; "
      "screenshot zoomed-plain.ppm; zoom 1; step 3; restart; step 2; screenshot restarted.ppm; "
      "state restarted.json; frame 9; frame 3; screenshot jumped.ppm; frame 24; step; state last.json; "
      "quit");
  ASSERT_EQ(r.status, 0) << r.err;
  const nlohmann::json s = state("state.json");
  EXPECT_EQ(s.at("frame"), 3);
  const int left = s.at("view").at("left");
  const int top = s.at("view").at("top");
  EXPECT_EQ(s.at("view").at("scale_x"), 1.0);

  // The frame is shown pixel for pixel as `brumel render` writes it.
  const Picture frame = read_ppm(work_ / "frame.ppm");
  const Picture plain = read_ppm(work_ / "plain.ppm");
  ASSERT_EQ(plain.width, 1000);
  ASSERT_EQ(plain.height, 600);
  auto mismatches = [&](const Picture& shown) {
    return pixels_differing(frame, 0, 0, shown, left, top, 320, 180, 1);
  };
  EXPECT_EQ(mismatches(plain), 0);
  // "Restart" runs the simulation afresh: its third frame is the same again.
  EXPECT_EQ(state("restarted.json").at("frame"), 3);
  EXPECT_EQ(mismatches(read_ppm(work_ / "restarted.ppm")), 0);
  // A jump back (a restart that catches up) too. The shot ends at frame 24: a
  // step from there wraps to the first frame.
  EXPECT_EQ(mismatches(read_ppm(work_ / "jumped.ppm")), 0);
  EXPECT_EQ(state("last.json").at("frame"), 1);

  // The birth crosshair's arms run 10 to 25 view pixels right of the birth
  // point (96, 90); inside its 8-pixel square the centre stays open. At zoom 2
  // all of it doubles.
  auto arm_marked = [&](const Picture& before, const Picture& after, int cx, int cy, int from,
                        int to) {
    return pixels_differing(before, cx + from, cy - 1, after, cx + from, cy - 1, to - from + 1, 3,
                            40);
  };
  const Picture marked = read_ppm(work_ / "marked.ppm");
  EXPECT_GE(arm_marked(plain, marked, left + 96, top + 90, 12, 23), 8);
  EXPECT_EQ(arm_marked(plain, marked, left + 96, top + 90, -2, 2), 0);
  const nlohmann::json z = state("zoomed.json");
  EXPECT_EQ(z.at("view").at("scale_x"), 2.0);
  const int zx = static_cast<int>(z.at("view").at("left")) + 192;
  const int zy = static_cast<int>(z.at("view").at("top")) + 180;
  const Picture zoomed = read_ppm(work_ / "zoomed.ppm");
  const Picture zoomed_plain = read_ppm(work_ / "zoomed-plain.ppm");
  EXPECT_GE(arm_marked(zoomed_plain, zoomed, zx, zy, 24, 46), 16);
  EXPECT_EQ(arm_marked(zoomed_plain, zoomed, zx, zy, -5, 5), 0);
}

// One process_image for every frame shown and none while nothing moves; the panel
// is built from the node's layout, dims by its switches, and its edits reach the node.
TEST_F(View, TransportAndPanelEditsReachTheNode) {
  // Each action is a GUI frame; a state is written once its frame is drawn.
  const ProgramResult r = view(
      "--size 64x36 --frames 1-10 --window 1000x600",
      "step 3; state stepped.json; frame 9; loop off; play; wait 4; state ended.json; play; pause; "
      "state again.json; loop on; frame 10; play; pause; state wrapped.json; page Forces; "
      "screenshot before.ppm; click \"Use Gravity\"; screenshot after.ppm; click Gravity; "
      "set \"Mode: %s\" Wireframe; state edits.json; set \"Demos: %s\" Sunset; state after.json; "
      "save saved/settings.json; set Quantity 3; step 2; open saved/settings.json; wait 1; "
      "state reopened.json; quit");
  ASSERT_EQ(r.status, 0) << r.err;
  // frame, rendered frames, playing: stepped 3 from 1; jumped to 9, played to 10,
  // where playing stops; play at the end starts at the first; 10, then 1 with loop on.
  for (const auto& [name, frame, rendered] : {std::tuple{"stepped.json", 4, 4},
                                              {"ended.json", 10, 6},
                                              {"again.json", 1, 7},
                                              {"wrapped.json", 1, 9}}) {
    const nlohmann::json s = state(name);
    EXPECT_EQ(std::tuple(s.at("frame"), s.at("rendered_frames"), s.at("playing")),
              std::tuple(frame, rendered, false))
        << name;
  }
  const nlohmann::json before = state("wrapped.json");
  EXPECT_EQ(before.at("pages"), (nlohmann::json{"Brumel", "Forces", "Light", "Depth"}));
  EXPECT_EQ(before.at("page"), "Brumel");
  // "Gravity" sits on the Forces page, dimmed while its switch is off.
  nlohmann::json gravity = widget(before, 41);  // unchanged by what it must already hold
  gravity.merge_patch(
      {{"name", "Gravity"}, {"page", "Forces"}, {"row", 4}, {"column", 0}, {"dimmed", true}});
  EXPECT_EQ(gravity, widget(before, 41));
  EXPECT_EQ(widget(before, 9).at("page"), "Forces");  // the second "Mode: %s"
  EXPECT_EQ(widget(before, 9).at("value"), "Render");  // as `brumel render` renders

  const nlohmann::json edits = state("edits.json");
  EXPECT_EQ(edits.at("page"), "Forces");
  EXPECT_TRUE(widget(edits, 40).at("value"));
  for (int index : {41, 42, 43}) EXPECT_FALSE(widget(edits, index).at("dimmed")) << index;
  EXPECT_NEAR(widget(edits, 41).at("value"), 50.0, 1.0);  // the slider's middle, of 0 to 100
  // The node keeps the four pages' modes equal, and applies a demo preset.
  for (int index : {5, 9, 13, 17}) EXPECT_EQ(widget(edits, index).at("value"), "Wireframe") << index;
  const nlohmann::json after = state("after.json");
  EXPECT_EQ(widget(after, 0).at("value"), "Sunset");
  EXPECT_EQ(widget(after, 18).at("value"), 5.0);  // Sunset's Quantity

  // The switch's page shows the undimmed widgets: the panel changed, not the frame.
  const Picture shot_before = read_ppm(work_ / "before.ppm");
  const Picture shot_after = read_ppm(work_ / "after.ppm");
  EXPECT_GT(pixels_differing(shot_before, 500, 0, shot_after, 500, 0, 500, 300, 20), 50);

  // Open makes a node of the saved document and plays it from the first frame.
  const nlohmann::json reopened = state("reopened.json");
  EXPECT_EQ(reopened.at("frame"), 1);
  EXPECT_EQ(widget(reopened, 18).at("value"), 5.0);  // not the 3 set after saving
  for (int i = 0; i < 81; ++i) {
    EXPECT_EQ(widget(reopened, i).value("value", nlohmann::json()),
              widget(after, i).value("value", nlohmann::json()))
        << i;
  }
  // The new node dims by its switches from its first frame.
  for (auto [number, its_switch] : {std::pair{41, 40}, {35, 34}, {26, 25}}) {
    EXPECT_NE(widget(reopened, number).at("dimmed"), widget(reopened, its_switch).at("value"))
        << number;
  }
}

// The frame is fitted (not a whole zoom): the mouse path converts back to view pixels,
// and the handle's widgets take the view pixel under the pointer.
TEST_F(View, DraggingTheBirthCrosshairMovesItsWidgets) {
  const ProgramResult r =
      view("--size 320x180 --set Birth_X=0.25 --set Birth_Y=0.5 --window 1100x640",
           "drag 80,90 240,60; state dragged.json; quit");
  ASSERT_EQ(r.status, 0) << r.err;
  const nlohmann::json dragged = state("dragged.json");
  EXPECT_NE(dragged.at("view").at("scale_x"), 1.0);
  EXPECT_NEAR(widget(dragged, 21).at("value"), 0.75, 1e-4);          // Birth_X
  EXPECT_NEAR(widget(dragged, 22).at("value"), 60.0 / 180.0, 1e-4);  // Birth_Y
  // The release invalidated the node's frames: the shown frame was rendered again.
  EXPECT_EQ(dragged.at("rendered_frames"), 2);
}

TEST_F(View, ScriptMistakesAreReportedBeforeAWindowOpens) {
  for (const auto& [script, message] :
       {std::pair{"wait 1; fly away", "script \"session.txt\" line 2: unknown action \"fly\""},
        {"set \"Gravty\" 3", "line 1: unknown widget \"Gravty\" (did you mean \"Gravity\""},
        {"drag 10,10", "line 1: expected \"drag X1,Y1 X2,Y2 [MOVES]\""}}) {
    const ProgramResult r = view("", script, false);
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr(message));
  }
}

#endif
