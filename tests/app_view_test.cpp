// The viewer window (`brumel view`) driven by scripts under a virtual X
// display: the frame it shows, its overlay, its control panel and the mouse
// path to the node's handles, checked through screenshots and state files.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#if defined(BRUMEL_APP_PATH)

namespace fs = std::filesystem;

namespace {

std::string quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string read_text(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// An 8-bit RGB image as read from a binary PPM (P6, maxval 255).
struct Rgb {
  int width = 0, height = 0;
  std::vector<std::uint8_t> samples;
  const std::uint8_t* at(int x, int y) const {
    return samples.data() + (static_cast<std::size_t>(y) * width + x) * 3;
  }
};

Rgb read_ppm(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int maxval = 0;
  Rgb image;
  in >> magic >> image.width >> image.height >> maxval;
  in.get();  // the one blank before the samples
  if (magic != "P6" || maxval != 255 || image.width <= 0 || image.height <= 0) return Rgb{};
  image.samples.resize(static_cast<std::size_t>(image.width) * image.height * 3);
  in.read(reinterpret_cast<char*>(image.samples.data()),
          static_cast<std::streamsize>(image.samples.size()));
  return in ? image : Rgb{};
}

void write_ppm(const fs::path& path, int width, int height, std::uint8_t r, std::uint8_t g,
               std::uint8_t b) {
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << width << " " << height << "\n255\n";
  for (int i = 0; i < width * height; ++i) out << r << g << b;
}

int largest_channel_difference(const std::uint8_t* a, const std::uint8_t* b) {
  int most = 0;
  for (int c = 0; c < 3; ++c) most = std::max(most, std::abs(int(a[c]) - int(b[c])));
  return most;
}

const nlohmann::json& widget(const nlohmann::json& state, int index) {
  return state.at("widgets").at(index);
}

}  // namespace

class View : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path folder = fs::path(BRUMEL_APP_PATH).parent_path();
    if (!fs::exists(folder / "brumel-view") || !fs::exists(folder / "BrumelKv.node")) {
      GTEST_SKIP() << "brumel-view or the node module is not built in " << folder;
    }
    // xvfb-run needs xauth, which the xvfb package only recommends.
    if (std::system("command -v xvfb-run >/dev/null 2>&1 && command -v xauth >/dev/null 2>&1") !=
        0) {
      GTEST_SKIP() << "xvfb-run or xauth is missing: no virtual display for the viewer window";
    }
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    root_ = fs::temp_directory_path() /
            ("brumel_view_test_" + std::string(test->name()) + "_" + std::to_string(getpid()));
    fs::remove_all(root_);
    work_ = root_ / "work";
    fs::create_directories(work_);
  }
  void TearDown() override {
    if (!root_.empty() && !HasFailure()) fs::remove_all(root_);
  }

  // Runs `brumel ARGS` in the work folder on a virtual display of its own.
  int run(const std::vector<std::string>& args, bool display = true) {
    // Servers are numbered from a base of this process's own, so that tests
    // running side by side do not race for the same display.
    const std::string server = std::to_string(100 + getpid() % 800);
    std::string command = "cd " + quoted(work_.string()) + " && ";
    if (display) command += "xvfb-run -a -n " + server + " -s '-screen 0 1280x1024x24' ";
    command += quoted(BRUMEL_APP_PATH);
    for (const std::string& arg : args) command += " " + quoted(arg);
    command += " </dev/null >" + quoted((root_ / "stdout").string()) + " 2>" +
               quoted((root_ / "stderr").string());
    const int raw = std::system(command.c_str());
    err_ = read_text(root_ / "stderr");
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }
  // `brumel view ARGS --script` with the script's lines.
  int view(std::vector<std::string> args, const std::string& script, bool display = true) {
    std::ofstream(work_ / "session.txt") << script;
    args.insert(args.begin(), "view");
    args.insert(args.end(), {"--script", "session.txt"});
    return run(args, display);
  }
  nlohmann::json state(const std::string& name) {
    return nlohmann::json::parse(read_text(work_ / name));
  }

  fs::path root_;
  fs::path work_;
  std::string err_;
};

using ViewScript = View;

TEST_F(View, ShowsTheRenderedFrameWithTheOverlayRegisteredToIt) {
  const std::vector<std::string> shot{"--demo",      "Billow", "--mode",      "render", "--set",
                                      "Birth_X=0.3", "--set",  "Birth_Y=0.5", "--size", "320x180"};
  std::vector<std::string> render = shot;
  render.insert(render.begin(), "render");
  render.insert(render.end(), {"--frames", "3-3", "-q", "-o", "frame.ppm"});
  ASSERT_EQ(run(render, false), 0) << err_;

  std::vector<std::string> args = shot;
  args.insert(args.end(), {"--window", "1000x600", "--zoom", "1"});
  ASSERT_EQ(view(args,
                 "step 2\n"
                 "overlay off\n"
                 "screenshot plain.ppm\n"
                 "state state.json\n"
                 "overlay on\n"
                 "screenshot marked.ppm\n"
                 "zoom 2\n"
                 "screenshot zoomed.ppm\n"
                 "state zoomed.json\n"
                 "overlay off\n"
                 "screenshot zoomed-plain.ppm\n"
                 "zoom 1\n"
                 "step 3\n"
                 "restart\n"
                 "step 2\n"
                 "screenshot restarted.ppm\n"
                 "state restarted.json\n"
                 "quit\n"),
            0)
      << err_;
  const nlohmann::json s = state("state.json");
  EXPECT_EQ(s.at("frame"), 3);
  const int left = s.at("view").at("left");
  const int top = s.at("view").at("top");
  EXPECT_EQ(s.at("view").at("scale_x"), 1.0);

  // The frame is shown pixel for pixel as `brumel render` writes it.
  const Rgb frame = read_ppm(work_ / "frame.ppm");
  const Rgb plain = read_ppm(work_ / "plain.ppm");
  ASSERT_EQ(frame.width, 320);
  ASSERT_EQ(plain.width, 1000);
  ASSERT_EQ(plain.height, 600);
  auto mismatches = [&](const Rgb& shot) {
    int count = 0;
    for (int y = 0; y < 180; ++y) {
      for (int x = 0; x < 320; ++x) {
        if (largest_channel_difference(frame.at(x, y), shot.at(left + x, top + y)) > 1) ++count;
      }
    }
    return count;
  };
  EXPECT_EQ(mismatches(plain), 0);
  // "Restart" runs the simulation afresh: its third frame is the same again.
  EXPECT_EQ(state("restarted.json").at("frame"), 3);
  EXPECT_EQ(mismatches(read_ppm(work_ / "restarted.ppm")), 0);

  // The birth crosshair's arms run 10 to 25 view pixels right of the birth
  // point (96, 90); inside its 8-pixel square the centre stays open. At zoom 2
  // all of it doubles.
  auto arm_marked = [&](const Rgb& before, const Rgb& after, int cx, int cy, int from, int to) {
    int changed = 0;
    for (int x = cx + from; x <= cx + to; ++x) {
      for (int y = cy - 1; y <= cy + 1; ++y) {
        if (largest_channel_difference(before.at(x, y), after.at(x, y)) > 40) ++changed;
      }
    }
    return changed;
  };
  const Rgb marked = read_ppm(work_ / "marked.ppm");
  ASSERT_EQ(marked.width, 1000);
  EXPECT_GE(arm_marked(plain, marked, left + 96, top + 90, 12, 23), 8);
  EXPECT_EQ(arm_marked(plain, marked, left + 96, top + 90, -2, 2), 0);

  const nlohmann::json z = state("zoomed.json");
  EXPECT_EQ(z.at("view").at("scale_x"), 2.0);
  const int zx = static_cast<int>(z.at("view").at("left")) + 192;
  const int zy = static_cast<int>(z.at("view").at("top")) + 180;
  const Rgb zoomed = read_ppm(work_ / "zoomed.ppm");
  const Rgb zoomed_plain = read_ppm(work_ / "zoomed-plain.ppm");
  ASSERT_EQ(zoomed.width, 1000);
  ASSERT_EQ(zoomed_plain.width, 1000);
  EXPECT_GE(arm_marked(zoomed_plain, zoomed, zx, zy, 24, 46), 16);
  EXPECT_EQ(arm_marked(zoomed_plain, zoomed, zx, zy, -5, 5), 0);
}

TEST_F(View, PanelPagesDimmingAndEditsReachTheNode) {
  ASSERT_EQ(view({"--size", "160x90", "--window", "1000x600"},
                 "state before.json\n"
                 "page Forces\n"
                 "screenshot before.ppm\n"
                 "click \"Use Gravity\"\n"
                 "screenshot after.ppm\n"
                 "click Gravity\n"
                 "set \"Mode: %s\" Render\n"
                 "state edits.json\n"
                 "set \"Demos: %s\" Sunset\n"
                 "state after.json\n"
                 "save saved/settings.json\n"
                 "set Quantity 3\n"
                 "step 2\n"
                 "open saved/settings.json\n"
                 "wait 1\n"
                 "state reopened.json\n"
                 "quit\n"),
            0)
      << err_;
  const nlohmann::json before = state("before.json");
  EXPECT_EQ(before.at("pages"), (nlohmann::json{"Brumel", "Forces", "Light", "Depth"}));
  EXPECT_EQ(before.at("page"), "Brumel");
  // "Gravity" sits on the Forces page, dimmed while its switch is off.
  const nlohmann::json& gravity = widget(before, 41);
  EXPECT_EQ(gravity.at("name"), "Gravity");
  EXPECT_EQ(gravity.at("page"), "Forces");
  EXPECT_EQ(gravity.at("row"), 4);
  EXPECT_EQ(gravity.at("column"), 0);
  EXPECT_TRUE(gravity.at("dimmed"));
  EXPECT_EQ(widget(before, 9).at("page"), "Forces");  // the second "Mode: %s"
  EXPECT_EQ(widget(before, 9).at("value"), "Wireframe");

  const nlohmann::json edits = state("edits.json");
  EXPECT_EQ(edits.at("page"), "Forces");
  EXPECT_TRUE(widget(edits, 40).at("value"));
  for (int index : {41, 42, 43}) EXPECT_FALSE(widget(edits, index).at("dimmed")) << index;
  EXPECT_NEAR(widget(edits, 41).at("value"), 50.0, 1.0);  // the slider's middle, of 0 to 100
  // The node keeps the four pages' modes equal, and applies a demo preset.
  for (int index : {5, 9, 13, 17}) EXPECT_EQ(widget(edits, index).at("value"), "Render") << index;
  const nlohmann::json after = state("after.json");
  EXPECT_EQ(widget(after, 0).at("value"), "Sunset");
  EXPECT_EQ(widget(after, 18).at("value"), 5.0);  // Sunset's Quantity

  // The switch's page shows the undimmed widgets: the panel changed, not the frame.
  const Rgb shot_before = read_ppm(work_ / "before.ppm");
  const Rgb shot_after = read_ppm(work_ / "after.ppm");
  ASSERT_EQ(shot_before.width, 1000);
  ASSERT_EQ(shot_after.width, 1000);
  int panel_changed = 0;
  for (int y = 0; y < 300; ++y) {
    for (int x = 500; x < 1000; ++x) {  // the panel is at least 500 wide
      if (largest_channel_difference(shot_before.at(x, y), shot_after.at(x, y)) > 20) {
        ++panel_changed;
      }
    }
  }
  EXPECT_GT(panel_changed, 50);

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

TEST_F(View, DraggingTheBirthCrosshairMovesTheBirths) {
  write_ppm(work_ / "plate.ppm", 320, 180, 30, 30, 40);
  // The frame is fitted (not a whole zoom): the mouse path converts back to view pixels.
  ASSERT_EQ(view({"--input", "plate.ppm", "--mode", "render", "--set", "Birth_X=0.25", "--set",
                  "Birth_Y=0.5", "--set", "Birth Radius=0.05", "--set", "Use Wind=off", "--set",
                  "Cloud Size=40", "--window", "1100x640"},
                 "drag 80,90 240,60\n"
                 "state dragged.json\n"
                 "restart\n"
                 "step 12\n"
                 "overlay off\n"
                 "screenshot births.ppm\n"
                 "state births.json\n"
                 "quit\n"),
            0)
      << err_;
  const nlohmann::json dragged = state("dragged.json");
  EXPECT_NE(dragged.at("view").at("scale_x"), 1.0);
  EXPECT_NEAR(widget(dragged, 21).at("value"), 0.75, 1e-4);          // Birth_X
  EXPECT_NEAR(widget(dragged, 22).at("value"), 60.0 / 180.0, 1e-4);  // Birth_Y
  // The release invalidated the node's frames: the shown frame was rendered again.
  EXPECT_EQ(dragged.at("rendered_frames"), 2);

  const nlohmann::json s = state("births.json");
  EXPECT_EQ(s.at("frame"), 13);
  const Rgb shot = read_ppm(work_ / "births.ppm");
  ASSERT_EQ(shot.width, 1100);
  const double left = s.at("view").at("left");
  const double top = s.at("view").at("top");
  const double scale = s.at("view").at("scale_y");
  const std::uint8_t plate[3] = {30, 30, 40};
  auto cloud_pixels_near = [&](double vx, double vy) {
    int count = 0;
    const int cx = static_cast<int>(left + vx * scale);
    const int cy = static_cast<int>(top + vy * scale);
    const int r = static_cast<int>(24 * scale);
    for (int y = cy - r; y <= cy + r; ++y) {
      for (int x = cx - r; x <= cx + r; ++x) {
        if (largest_channel_difference(shot.at(x, y), plate) > 30) ++count;
      }
    }
    return count;
  };
  EXPECT_GT(cloud_pixels_near(240, 60), 50);
  EXPECT_EQ(cloud_pixels_near(80, 90), 0);
}

TEST_F(View, TransportStepsJumpsLoopsAndStopsAtTheEnd) {
  // Each action is a GUI frame; a state is written once its frame is drawn.
  ASSERT_EQ(view({"--size", "64x36", "--frames", "1-10", "--window", "900x500"},
                 "step 3\n"
                 "state stepped.json\n"
                 "frame 9\n"
                 "loop off\n"
                 "play\n"
                 "wait 4\n"
                 "state ended.json\n"
                 "play\n"
                 "pause\n"
                 "state again.json\n"
                 "loop on\n"
                 "frame 10\n"
                 "play\n"
                 "pause\n"
                 "state wrapped.json\n"
                 "quit\n"),
            0)
      << err_;
  // One process_image for every frame shown, and none while nothing moves.
  const nlohmann::json stepped = state("stepped.json");
  EXPECT_EQ(stepped.at("frame"), 4);
  EXPECT_EQ(stepped.at("rendered_frames"), 4);
  const nlohmann::json ended = state("ended.json");  // 9, then 10, where playing stops
  EXPECT_EQ(ended.at("frame"), 10);
  EXPECT_FALSE(ended.at("playing"));
  EXPECT_EQ(ended.at("rendered_frames"), 6);
  const nlohmann::json again = state("again.json");  // play at the end starts at the first
  EXPECT_EQ(again.at("frame"), 1);
  EXPECT_EQ(again.at("rendered_frames"), 7);
  const nlohmann::json wrapped = state("wrapped.json");  // 10, then 1 with loop on
  EXPECT_EQ(wrapped.at("frame"), 1);
  EXPECT_EQ(wrapped.at("rendered_frames"), 9);
}

TEST_F(ViewScript, MistakesAreReportedBeforeAWindowOpens) {
  EXPECT_EQ(view({}, "wait 1\nfly away\n", false), 1);
  EXPECT_NE(err_.find("script \"session.txt\" line 2: unknown action \"fly\""), std::string::npos)
      << err_;
  EXPECT_EQ(view({}, "set \"Gravty\" 3\n", false), 1);
  EXPECT_NE(err_.find("line 1: unknown widget \"Gravty\""), std::string::npos) << err_;
  EXPECT_NE(err_.find("Gravity"), std::string::npos) << err_;  // the suggestion
  EXPECT_EQ(view({}, "drag 10,10\n", false), 1);
  EXPECT_NE(err_.find("line 1: expected \"drag X1,Y1 X2,Y2 [MOVES]\""), std::string::npos) << err_;
}

#else

TEST(View, NeedsTheApplication) { GTEST_SKIP() << "built without the brumel application"; }

#endif
