// The node module as a host sees it: loaded with dlopen and driven only through its
// three exports and the FXNode operations.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "assim/fx_node.h"
#include "assim/services.h"
#include "assim/smp.h"
#include "host/widget_table.h"

// Let a refused huge allocation reach the node as std::bad_alloc instead of a report.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }

namespace {

struct Module {
  void* handle = dlopen(BRUMEL_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
  FXNode_info_fn info = handle ? reinterpret_cast<FXNode_info_fn>(dlsym(handle, "FXNode_info")) : nullptr;
  FXNode_create_fn create =
      handle ? reinterpret_cast<FXNode_create_fn>(dlsym(handle, "FXNode_create")) : nullptr;
  FXNode_load_fn load = handle ? reinterpret_cast<FXNode_load_fn>(dlsym(handle, "FXNode_load")) : nullptr;
};

// Loaded once; kept loaded until the process ends so no node outlives its code.
const Module& module() {
  static const Module* m = new Module;
  return *m;
}

using Node = std::unique_ptr<FXNode>;

class NodeModule : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(module().handle, nullptr) << dlerror();
    ASSERT_TRUE(module().info && module().create && module().load);
  }
  static Node create() { return Node(module().create()); }
};

// --- widget entries of the node's table ---

constexpr int kDemos = 0, kRestart = 1, kRestartPreRoll = 2, kPreRollNumber = 4, kMode = 5;
constexpr int kMode2 = 9, kRestart3 = 10, kMode3 = 13, kMode4 = 17;
constexpr int kQuantity = 18, kLifetime = 20, kBirthX = 21, kBirthY = 22;
constexpr int kCloudColour = 32, kSeed = 33, kGravity = 41, kGravityAngle = 42, kGravity90 = 43;
constexpr int kUseFriction = 44, kUseSwirling = 46, kSwirlDensity = 47, kSwirlMagnitude = 48;
constexpr int kSwirlToMax = 49, kUseConstraint = 50, kConstraintAngle = 51, kUseWind = 52;
constexpr int kWindSpeed = 57, kUseLight = 58, kLightColour = 59, kLightSourceX = 60;
constexpr int kFluffiness = 66, kUseTextured = 69, kUseFading = 74, kFadeIn = 75;
constexpr int kCameraDistance = 35, kPerspective = 34, kUseBirthMatte = 29;
constexpr int kRender = 0;  // "Mode: %s" entries
constexpr int kSunset = 4;  // "Demos: %s" entries

CNumeric& number(FXNode& n, int e) { return *static_cast<CNumeric*>(n.control(e)); }
CBoolean& flag(FXNode& n, int e) { return *static_cast<CBoolean*>(n.control(e)); }
COption& option(FXNode& n, int e) { return *static_cast<COption*>(n.control(e)); }
CColor& colour(FXNode& n, int e) { return *static_cast<CColor*>(n.control(e)); }

// What the host does when a person edits a widget.
void change(FXNode& n, int entry, int reason = 1, double time = 0.0) {
  n.notify_control_changed(n.control(entry), reason, time);
}
void choose(FXNode& n, int entry, long index) {
  option(n, entry) = index;
  change(n, entry);
}

std::set<int> dimmed(const FXNode& n) {
  std::set<int> out;
  for (int i = 0; i < n.num_controls(); ++i)
    if (n.control(i)->is_dimmed()) out.insert(i);
  return out;
}

// --- host images ---

struct HostImage {
  std::vector<std::uint16_t> samples;
  _image_str image;

  HostImage(int width, int height, int channels,
            const std::function<std::uint16_t(int x, int y, int c)>& sample) {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        for (int c = 0; c < channels; ++c) samples.push_back(sample(x, y, c));
    image.width = width;
    image.height = height;
    image.channels = channels;
    image.data = samples.data();
  }
};

std::uint16_t grey(int, int, int c) { return c == 3 ? 65535 : 0x8000; }
std::uint16_t blank(int, int, int) { return 0x1234; }

constexpr int kWidth = 96, kHeight = 64;

// One frame over `input` (and an optional matte) into `output`.
int process(FXNode& n, double time, HostImage& input, HostImage& output) {
  _image_str* inputs[2] = {&input.image, nullptr};
  return n.process_image(time, inputs, &output.image);
}

// A node drawing the Sunset demo in Render mode from a pre-rolled start.
Node sunset_node() {
  Node n(module().create());
  n->host_set_output_size(kWidth, kHeight);
  choose(*n, kDemos, kSunset);
  choose(*n, kMode, kRender);
  change(*n, kRestartPreRoll);
  return n;
}

// The outputs of frames first..last rendered over a grey plate.
std::vector<std::vector<std::uint16_t>> render_frames(FXNode& n, int first, int last) {
  std::vector<std::vector<std::uint16_t>> frames;
  HostImage input(kWidth, kHeight, 4, grey);
  for (int t = first; t <= last; ++t) {
    HostImage output(kWidth, kHeight, 4, blank);
    EXPECT_EQ(process(n, t, input, output), 1) << "frame " << t;
    frames.push_back(output.samples);
  }
  return frames;
}

TEST_F(NodeModule, EntryPointsIdentifyTheNodeAndOnlyCreateRegisters) {
  char buffer[64];
  std::memset(buffer, 0x5a, sizeof buffer);
  EXPECT_STREQ(module().info(buffer), "Vexlings.Brumel");
  EXPECT_STREQ(buffer, "5a1f9c30-7e2b-4d81-b6a4-c09e3f7d2b15");
  for (std::size_t i = 37; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], 0x5a) << "byte " << i;

  Node made = create();
  EXPECT_TRUE(FXNode_is_registered(made.get()));
  RegV saved;
  ASSERT_TRUE(made->reg_save(saved));
  Node loaded(module().load(&saved));
  ASSERT_NE(loaded, nullptr);
  EXPECT_FALSE(FXNode_is_registered(loaded.get()));
  EXPECT_EQ(made->name(), "Vexlings.Brumel");
  EXPECT_STREQ(made->node_uuid, "5a1f9c30-7e2b-4d81-b6a4-c09e3f7d2b15");
  EXPECT_EQ(std::string(made->get_description()).rfind("Vexlings Brumel, Version 5.0 - ", 0), 0u);
  int fewest = 0, most = 0;
  made->get_input_limits(fewest, most);
  EXPECT_EQ(std::pair(fewest, most), std::pair(1, 2));
  made->notify_output_changed();
  EXPECT_EQ(made->overlay_updates, 1);
}

TEST_F(NodeModule, HoldsTheTableWidgetsAndLaysThemOutRowBeforeColumn) {
  Node n = create();
  ASSERT_EQ(n->num_controls(), 81);
  for (int i = 0; i < 81; ++i) {
    EXPECT_EQ(n->control(i)->name(), widget_table::kRows[static_cast<std::size_t>(i)].name) << i;
    EXPECT_EQ(n->control(i)->kind(), widget_table::kRows[static_cast<std::size_t>(i)].kind) << i;
  }
  n->control(kSeed)->flags |= CWidget::kLayoutExclusion;
  ControlLayout layout;
  EXPECT_TRUE(n->layout_controls(layout));
  ASSERT_EQ(layout.placements.size(), 80u);
  auto placed = [&](int entry) {
    for (const auto& p : layout.placements)
      if (p.widget == n->control(entry)) return p;
    return ControlLayout::Placement{nullptr, -1, -1, -1, -1};
  };
  EXPECT_EQ(placed(kSeed).widget, nullptr);
  struct Where {
    int entry, row, column;
  };
  for (Where w : {Where{kDemos, 3, 3}, Where{kCloudColour, 17, 0}, Where{kMode4, 23, 3},
                  Where{kLightSourceX, 19, 1}, Where{kFadeIn, 25, 0}, Where{80, 21, 4},
                  Where{77, 0, 4}}) {
    const auto p = placed(w.entry);
    EXPECT_EQ((std::vector<int>{p.row, p.column, p.span_a, p.span_b}),
              (std::vector<int>{w.row, w.column, 0, 1}))
        << n->control(w.entry)->name();
  }
}

TEST_F(NodeModule, RefusesFramesWithoutImagesOrMemoryAndLeavesTheOutput) {
  Node n = create();
  n->host_set_output_size(4, 4);
  HostImage input(4, 4, 4, grey), output(4, 4, 4, blank);
  const auto untouched = output.samples;
  _image_str* inputs[2] = {&input.image, nullptr};
  EXPECT_EQ(n->process_image(1.0, inputs, nullptr), 0);
  EXPECT_EQ(msgwarn_history().back(), "QXAPI plugin: process_image() called with no output image.");
  _image_str* no_inputs[2] = {nullptr, &input.image};
  EXPECT_EQ(n->process_image(1.0, no_inputs, &output.image), 0);
  EXPECT_EQ(msgwarn_history().back(),
            "QXAPI plugin: process_image() called with no valid input images.");
  input.image.channels = 0;
  EXPECT_EQ(n->process_image(1.0, inputs, &output.image), 0);
  EXPECT_NE(msgwarn_history().back().find("input 0"), std::string::npos);
  input.image.channels = 4;

  // A host output far too large for memory; the node gives up before touching it.
  output.image.width = output.image.height = 1 << 20;
  output.image.flags = kImageRowsReversed;
  n->host_set_output_size(1 << 20, 1 << 20);
  EXPECT_EQ(process(*n, 1.0, input, output), 0);
  EXPECT_NE(msgwarn_history().back().find("not enough memory"), std::string::npos);
  EXPECT_EQ(output.samples, untouched);
  EXPECT_EQ(output.image.flags, kImageRowsReversed);
  // The node still works afterwards.
  output.image.width = output.image.height = 4;
  n->host_set_output_size(4, 4);
  EXPECT_EQ(process(*n, 2.0, input, output), 1);
}

// Wireframe: the output is the source, through the 15-bit trip, with reversed rows put right.
TEST_F(NodeModule, WireframeOutputIsTheSourceWithReversedRowsPutRight) {
  Node n = create();
  n->host_set_output_size(5, 3);
  auto ramp = [](int x, int y, int c) { return std::uint16_t(1000 * y + 100 * x + 7 * c + 1); };
  HostImage input(5, 3, 4, ramp), output(5, 3, 4, blank);
  input.image.flags = output.image.flags = kImageRowsReversed;
  ASSERT_EQ(process(*n, 1.0, input, output), 1);
  EXPECT_EQ(output.image.flags & kImageRowsReversed, 0);
  EXPECT_EQ(output.samples, HostImage(5, 3, 4, [&](int x, int y, int c) {
              const std::uint16_t s = ramp(x, 2 - y, c);
              return std::uint16_t(((s >> 1) << 1) | (s >> 15));
            }).samples);
}

// The rules themselves are pinned in the control-reaction tests; here a change must
// reach them and the base through the host's notification.
TEST_F(NodeModule, ControlChangesDimDependentsSyncModesAndReachTheBase) {
  Node n = create();
  ASSERT_TRUE(dimmed(*n).empty());
  flag(*n, kUseSwirling) = 0;
  change(*n, kUseSwirling, 1, 3.0);
  EXPECT_EQ(dimmed(*n), (std::set<int>{kSwirlDensity, kSwirlMagnitude, kSwirlToMax}));
  ASSERT_EQ(n->changes.size(), 1u);
  EXPECT_EQ(n->changes.back().widget, n->control(kUseSwirling));
  EXPECT_EQ(n->changes.back().time, 3.0);
  EXPECT_TRUE(n->invalidations.empty()) << "reason 1 invalidates nothing";

  choose(*n, kMode2, kRender);
  for (int mode : {kMode, kMode2, kMode3, kMode4}) EXPECT_EQ(option(*n, mode).value, 0);
  EXPECT_EQ(n->changes.size(), 1u) << "mode changes do not reach the base";

  change(*n, kFluffiness, 2, -1.0);
  ASSERT_EQ(n->invalidations.size(), 1u);
  EXPECT_EQ(n->invalidations[0].from, -1.0);
  EXPECT_EQ(n->changes.size(), 2u);
  change(*n, kRestart);  // reason 1, ending without the base
  change(*n, kRestart3, 2, -1.0);
  EXPECT_EQ(n->invalidations.size(), 2u);
  EXPECT_EQ(n->changes.size(), 2u);
  // Widgets that are not the node's controls go to the base alone.
  const int updates = n->overlay_updates;
  change(*n, 79, 2, -1.0);
  EXPECT_EQ(n->invalidations.size(), 2u);
  EXPECT_EQ(n->overlay_updates, updates);
  EXPECT_EQ(n->changes.size(), 3u);
}

TEST_F(NodeModule, TheFirstFrameBringsEveryDimmedStateInLineOnce) {
  Node n = create();
  n->host_set_output_size(4, 4);
  option(*n, kMode3) = 0;  // the pages disagree until the first frame
  HostImage input(4, 4, 4, grey), output(4, 4, 4, blank);
  ASSERT_EQ(process(*n, 1.0, input, output), 1);
  // Every switch but Use Wind is off: all 31 of their dependents dim.
  EXPECT_EQ(dimmed(*n).size(), 31u);
  EXPECT_TRUE(n->control(kFadeIn)->is_dimmed());
  EXPECT_FALSE(n->control(kWindSpeed)->is_dimmed());
  EXPECT_EQ(option(*n, kMode3).value, 1) << "page 1's mode wins";
  n->control(kFadeIn)->undim();
  ASSERT_EQ(process(*n, 2.0, input, output), 1);
  EXPECT_FALSE(n->control(kFadeIn)->is_dimmed()) << "later frames leave dimming alone";
}

double channel(std::uint16_t word) { return word / 32767.0; }

TEST_F(NodeModule, EveryPresetSetsItsValuesAndKeepsItsChoiceShown) {
  struct Expect {
    double birth_x, birth_y, quantity, lifetime, preroll, red, blue;
    bool swirling, fading, friction, perspective;
  };
  const Expect presets[7] = {
      {-0.12, 0.55, 5, 500, 400, 11520, 11520, true, false, false, false},   // Drift
      {1.17, 0.75, 6, 200, 40, 32640, 2560, true, true, true, false},        // Contraints
      {0.279, 0.318, 12, 100, 40, 16384, 16384, true, true, false, true},    // Simple 3D
      {0.49, 0.46, 2.25, 120, 120, 16384, 16384, true, true, false, true},   // Bombard
      {0.216, 0.531, 5, 200, 40, 32640, 2560, false, true, false, true},     // Sunset
      {0.1, 0.9, 8, 200, 1, 31488, 32640, true, true, false, false},         // Sky Writing
      {0.521, 0.712, 5, 400, 10, 32640, 32640, false, false, false, false},  // Billow
  };
  for (int p = 0; p < 7; ++p) {
    Node n = create();
    choose(*n, kDemos, p);
    const Expect& e = presets[p];
    SCOPED_TRACE(option(*n, kDemos).entries[p]);
    EXPECT_EQ(option(*n, kDemos).value, p);
    EXPECT_EQ((std::vector<double>{number(*n, kSeed).value, number(*n, kBirthX).value,
                                   number(*n, kBirthY).value, number(*n, kQuantity).value,
                                   number(*n, kLifetime).value, number(*n, kPreRollNumber).value}),
              (std::vector<double>{1650, e.birth_x, e.birth_y, e.quantity, e.lifetime, e.preroll}));
    EXPECT_NEAR(colour(*n, kCloudColour).value[0], channel(std::uint16_t(e.red)), 1e-6);
    EXPECT_NEAR(colour(*n, kCloudColour).value[2], channel(std::uint16_t(e.blue)), 1e-6);
    EXPECT_NEAR(colour(*n, kCloudColour).value[3], channel(32640), 1e-6);
    EXPECT_EQ((std::vector<int>{flag(*n, kUseLight).value, flag(*n, kUseSwirling).value,
                                flag(*n, kUseFading).value, flag(*n, kUseFriction).value,
                                flag(*n, kPerspective).value, flag(*n, kUseTextured).value}),
              (std::vector<int>{1, e.swirling, e.fading, e.friction, e.perspective, 0}));
    EXPECT_EQ(option(*n, kMode).value, 1) << "no preset touches the mode";
    EXPECT_TRUE(n->changes.empty()) << "a preset does not reach the base";
    EXPECT_TRUE(dimmed(*n).empty()) << "a preset does not dim";
  }
}

TEST_F(NodeModule, PresetsLeaveTheCellsTheyDoNotName) {
  Node n = create();
  const int untouched[] = {kSwirlDensity, kSwirlMagnitude, kSwirlToMax, kGravity,
                           kGravityAngle, kConstraintAngle, kWindSpeed, kCameraDistance, kFadeIn};
  for (int e : untouched) number(*n, e) = 77.0;
  flag(*n, kGravity90) = 1;
  choose(*n, kDemos, 6);  // Billow
  EXPECT_EQ(flag(*n, kUseBirthMatte).value, 1);
  for (int off : {40, kUseFriction, kUseSwirling, kUseConstraint, kUseWind, kPerspective})
    EXPECT_EQ(flag(*n, off).value, 0) << n->control(off)->name();
  for (int e : untouched) EXPECT_EQ(number(*n, e).value, 77.0) << n->control(e)->name();
  EXPECT_EQ(flag(*n, kGravity90).value, 1);
  EXPECT_EQ(number(*n, kFluffiness).value, 12);
  EXPECT_NEAR(colour(*n, kLightColour).value[1], channel(32640), 1e-6);
  EXPECT_NEAR(colour(*n, kLightColour).value[2], channel(21248), 1e-6);

  choose(*n, kDemos, 1);  // Contraints
  EXPECT_EQ(number(*n, kGravityAngle).value, 180);
  EXPECT_EQ(flag(*n, kGravity90).value, 0);
  EXPECT_EQ(number(*n, kSwirlMagnitude).value, 45);
  EXPECT_EQ(number(*n, kCameraDistance).value, 77.0);
}

TEST_F(NodeModule, SavedSettingsLoadIntoAnEqualNodeAndUnreadableOnesGiveADefaultNode) {
  Node n = create();
  choose(*n, kDemos, 3);
  choose(*n, kMode, kRender);
  number(*n, kQuantity).keys = {{1.0, 3.5}, {24.0, 7.25}};
  flag(*n, kUseWind).keys = {{10.0, false}};
  const double odd[4] = {0.1, 0.2, 0.30000000000000004, 1.0 / 3.0};
  colour(*n, kLightColour).set_value(odd);
  RegV saved, again;
  ASSERT_TRUE(n->reg_save(saved));
  Node loaded(module().load(&saved));
  ASSERT_NE(loaded, nullptr);
  ASSERT_TRUE(loaded->reg_save(again));
  EXPECT_EQ(again.doc(), saved.doc());

  RegV wrong(nlohmann::json{{"format", "something else"}});
  Node fallback(module().load(&wrong));
  ASSERT_NE(fallback, nullptr);
  EXPECT_NE(msgwarn_history().back().find("saved settings not restored"), std::string::npos);
  EXPECT_EQ(number(*fallback, kSeed).value, 165);
}

TEST_F(NodeModule, ViewerEventsAskForRedrawsAsTheHandlesNeed) {
  Node n = create();
  n->host_set_output_size(kWidth, kHeight);
  n->host_set_aspect(0.0);  // no correction: drawn at pixel aspect 1
  EXPECT_FALSE(n->overlay_draw(nullptr));
  MouseEvent far_away{-5000.0f, -5000.0f, 0, 1.0f};
  MouseEvent hover{10.0f, 10.0f, 0, 0.0f};  // no pressure
  MouseEvent drag{10.0f, 10.0f, 0, 0.5f};
  struct Step {
    int kind;
    MouseEvent* event;
    int updates;
  };
  for (Step s : {Step{0, &far_away, 0}, Step{1, &hover, 0}, Step{1, &drag, 1},
                 Step{2, &far_away, 2}, Step{7, &drag, 2}}) {
    EXPECT_FALSE(n->overlay_mouse(nullptr, s.kind, s.event));
    EXPECT_EQ(n->overlay_updates, s.updates) << "event kind " << s.kind;
  }
  ASSERT_EQ(n->invalidations.size(), 1u);
  EXPECT_EQ(n->invalidations[0].from, -1.0);
}

// Pre-rolled Sunset frames: the same on one processor and on three, after catch-up
// frames that leave the output alone, and after a restart from any page.
class NodeModuleParallel : public NodeModule {};

TEST_F(NodeModuleParallel, RenderedFramesRepeatOnAnyProcessorCountAfterCatchUpAndRestart) {
  const int processors = smp_numprocs();
  smp_set_numprocs(1);
  Node one = sunset_node();
  const auto drawn = render_frames(*one, 1, 4);
  smp_set_numprocs(3);
  Node three = sunset_node();
  EXPECT_EQ(render_frames(*three, 1, 4), drawn);
  smp_set_numprocs(processors);
  EXPECT_NE(drawn[3], HostImage(kWidth, kHeight, 4, grey).samples) << "the cloud changes the plate";
  EXPECT_NE(drawn[2], drawn[3]) << "every frame advances the cloud";

  Node caught_up = sunset_node();
  caught_up->host_set_catch_up(true);
  HostImage input(kWidth, kHeight, 4, grey);
  for (int t = 1; t <= 3; ++t) {
    HostImage output(kWidth, kHeight, 4, blank);
    output.image.flags = kImageRowsReversed;
    EXPECT_EQ(process(*caught_up, t, input, output), 1);
    EXPECT_EQ(output.samples, HostImage(kWidth, kHeight, 4, blank).samples);
    EXPECT_EQ(output.image.flags, kImageRowsReversed);
  }
  caught_up->host_set_catch_up(false);
  EXPECT_EQ(render_frames(*caught_up, 4, 4).back(), drawn[3]);

  Node a = sunset_node(), b = sunset_node();
  for (FXNode* n : {a.get(), b.get()}) render_frames(*n, 1, 3);
  const std::size_t changes = a->changes.size();
  change(*a, kRestart);
  change(*b, kRestart3);
  EXPECT_EQ(a->changes.size(), changes);
  const auto restarted = render_frames(*a, 4, 4);
  EXPECT_EQ(render_frames(*b, 4, 4), restarted);
  EXPECT_NE(restarted.back(), drawn[3]);
}

TEST(NodeModuleSymbols, OnlyTheThreeEntryPointsAreExported) {
  if (std::system("command -v nm >/dev/null 2>&1") != 0) GTEST_SKIP() << "nm is not installed";
  FILE* pipe = popen("nm -D --defined-only '" BRUMEL_MODULE_PATH "'", "r");
  ASSERT_NE(pipe, nullptr);
  std::set<std::string> names;
  char line[1024];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    names.insert(text.substr(text.rfind(' ') + 1));
  }
  ASSERT_EQ(pclose(pipe), 0);
  EXPECT_EQ(names, (std::set<std::string>{"FXNode_create", "FXNode_info", "FXNode_load"}));
}

}  // namespace
