// The node module as a host sees it: loaded with dlopen and driven only through its
// three exports and the FXNode operations.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "assim/fx_node.h"
#include "assim/services.h"
#include "assim/smp.h"
#include "support/host_image.h"

// Let a refused huge allocation reach the node as std::bad_alloc instead of a report.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }

namespace {

struct Module {
  void* handle = dlopen(BRUMEL_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
  FXNode_info_fn info = handle ? reinterpret_cast<FXNode_info_fn>(dlsym(handle, "FXNode_info")) : nullptr;
  FXNode_create_fn create = handle ? reinterpret_cast<FXNode_create_fn>(dlsym(handle, "FXNode_create")) : nullptr;
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
  void TearDown() override { smp_set_numprocs(1); }
  static Node create() { return Node(module().create()); }
};
using NodeModuleParallel = NodeModule;

// --- widget entries of the node's table ---

constexpr int kDemos = 0, kRestart = 1, kRestartPreRoll = 2, kMode = 5, kMode2 = 9, kRestart3 = 10, kMode3 = 13;
constexpr int kMode4 = 17, kQuantity = 18, kUseBirthMatte = 29, kCloudColour = 32, kSeed = 33, kPerspective = 34;
constexpr int kCameraDistance = 35, kGravity = 41, kGravityAngle = 42, kGravity90 = 43, kUseFriction = 44;
constexpr int kUseSwirling = 46, kSwirlDensity = 47, kSwirlMagnitude = 48, kSwirlToMax = 49, kConstraintAngle = 51;
constexpr int kUseWind = 52, kWindSpeed = 57, kLightSourceX = 60, kFluffiness = 66, kFadeIn = 75;
constexpr int kRender = 0;  // "Mode: %s" entries
constexpr int kSunset = 4;  // "Demos: %s" entries

CNumeric& number(FXNode& n, int e) { return *static_cast<CNumeric*>(n.control(e)); }
CBoolean& flag(FXNode& n, int e) { return *static_cast<CBoolean*>(n.control(e)); }
COption& option(FXNode& n, int e) { return *static_cast<COption*>(n.control(e)); }

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

// A plate of every sample value's bits, alpha included.
std::uint16_t plate(int x, int y, int c) { return std::uint16_t((x * 523 + y * 311 + c * 7919) * 37); }

constexpr int kWidth = 96, kHeight = 64;

int process(FXNode& n, double time, HostImage& input, HostImage& output) {
  _image_str* inputs[2] = {&input.image, nullptr};
  return n.process_image(time, inputs, &output.image);
}

// A node drawing demo `demo` (a fresh node's settings for 7) in Render mode from a
// pre-rolled start.
Node demo_node(int demo) {
  Node n(module().create());
  n->host_set_output_size(kWidth, kHeight);
  if (demo < 7) choose(*n, kDemos, demo);
  choose(*n, kMode, kRender);
  change(*n, kRestartPreRoll);
  return n;
}

// The outputs of frames first..last rendered over the plate.
std::vector<std::vector<std::uint16_t>> render_frames(FXNode& n, int first, int last) {
  std::vector<std::vector<std::uint16_t>> frames;
  HostImage input(kWidth, kHeight, 4, plate);
  for (int t = first; t <= last; ++t) {
    HostImage output(kWidth, kHeight, 4);
    EXPECT_EQ(process(n, t, input, output), 1) << "frame " << t;
    frames.push_back(output.samples);
  }
  return frames;
}

// The info export writes the uuid and nothing past it; a created node is registered
// until destroyed, a loaded one is not; a saved node loads into an equal one, an
// unreadable document into a fresh node.
TEST_F(NodeModule, EntryPointsIdentifyCreateAndLoadTheNode) {
  char buffer[64];
  std::memset(buffer, 0x5a, sizeof buffer);
  EXPECT_STREQ(module().info(buffer), "Vexlings.Brumel");
  EXPECT_STREQ(buffer, "5a1f9c30-7e2b-4d81-b6a4-c09e3f7d2b15");
  for (std::size_t i = 37; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], 0x5a) << "byte " << i;

  Node made = create();
  EXPECT_TRUE(FXNode_is_registered(made.get()));
  EXPECT_EQ(std::string(made->get_description()).rfind("Vexlings Brumel, Version 5.0 - ", 0), 0u);
  int fewest = 0, most = 0;
  made->get_input_limits(fewest, most);
  EXPECT_EQ(std::pair(fewest, most), std::pair(1, 2));
  made->notify_output_changed();
  EXPECT_EQ(made->overlay_updates, 1);

  choose(*made, kDemos, 3);
  choose(*made, kMode, kRender);
  number(*made, kQuantity).keys = {{1.0, 3.5}, {24.0, 7.25}};
  flag(*made, kUseWind).keys = {{10.0, false}};
  RegV saved, again;
  ASSERT_TRUE(made->reg_save(saved));
  Node loaded(module().load(&saved));
  ASSERT_NE(loaded, nullptr);
  EXPECT_FALSE(FXNode_is_registered(loaded.get()));
  ASSERT_TRUE(loaded->reg_save(again));
  EXPECT_EQ(again.doc(), saved.doc());
  RegV wrong(nlohmann::json{{"format", "something else"}});
  Node fallback(module().load(&wrong));
  ASSERT_NE(fallback, nullptr);
  EXPECT_NE(msgwarn_history().back().find("saved settings not restored"), std::string::npos);
  EXPECT_EQ(number(*fallback, kSeed).value, 165);
  const FXNode* gone = made.get();
  made.reset();
  EXPECT_FALSE(FXNode_is_registered(gone));
}

// Pages of seven rows, each headed by its label; a widget excluded by the host is left out.
TEST_F(NodeModule, LaysTheWidgetsOutRowBeforeColumn) {
  Node n = create();
  ASSERT_EQ(n->num_controls(), 81);
  n->control(kSeed)->flags |= CWidget::kLayoutExclusion;
  ControlLayout layout;
  EXPECT_TRUE(n->layout_controls(layout));
  ASSERT_EQ(layout.placements.size(), 80u);
  auto placed = [&](int entry) {
    for (const auto& p : layout.placements)
      if (p.widget == n->control(entry)) return std::vector<int>{p.row, p.column, p.span_a, p.span_b};
    return std::vector<int>{};
  };
  EXPECT_TRUE(placed(kSeed).empty());
  for (auto [entry, row, column] : {std::tuple{kDemos, 3, 3}, {kCloudColour, 17, 0}, {kMode4, 23, 3},
                                    {kLightSourceX, 19, 1}, {kFadeIn, 25, 0}, {80, 21, 4}, {77, 0, 4}})
    EXPECT_EQ(placed(entry), (std::vector<int>{row, column, 0, 1})) << n->control(entry)->name();
}

TEST_F(NodeModule, RefusesFramesWithoutImagesOrMemoryAndLeavesTheOutput) {
  Node n = create();
  n->host_set_output_size(4, 4);
  HostImage input(4, 4, 4, plate), output(4, 4, 4);
  _image_str* inputs[2] = {&input.image, nullptr};
  EXPECT_EQ(n->process_image(1.0, inputs, nullptr), 0);
  EXPECT_EQ(msgwarn_history().back(), "QXAPI plugin: process_image() called with no output image.");
  _image_str* no_inputs[2] = {nullptr, &input.image};
  EXPECT_EQ(n->process_image(1.0, no_inputs, &output.image), 0);
  EXPECT_EQ(msgwarn_history().back(), "QXAPI plugin: process_image() called with no valid input images.");
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
  EXPECT_EQ(output.samples, HostImage(4, 4, 4).samples);
  EXPECT_EQ(output.image.flags, kImageRowsReversed);
  // The node still works afterwards.
  output.image.width = output.image.height = 4;
  n->host_set_output_size(4, 4);
  EXPECT_EQ(process(*n, 2.0, input, output), 1);
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
  EXPECT_EQ(std::pair(n->invalidations.size(), n->changes.size()), std::pair(std::size_t{2}, std::size_t{2}));
  // Widgets that are not the node's controls go to the base alone.
  const int updates = n->overlay_updates;
  change(*n, 79, 2, -1.0);
  EXPECT_EQ(std::pair(n->invalidations.size(), n->changes.size()), std::pair(std::size_t{2}, std::size_t{3}));
  EXPECT_EQ(n->overlay_updates, updates);
}

TEST_F(NodeModule, TheFirstFrameBringsEveryDimmedStateInLineOnce) {
  Node n = create();
  n->host_set_output_size(4, 4);
  option(*n, kMode3) = 0;  // the pages disagree until the first frame
  HostImage input(4, 4, 4, plate), output(4, 4, 4);
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

// A preset sets its own cells only (what it sets is pinned by the demo frames below): the
// cells it does not name keep their values, and it touches neither the mode, the base
// nor the dimming.
TEST_F(NodeModule, PresetsLeaveTheCellsTheyDoNotName) {
  Node n = create();
  const int untouched[] = {kSwirlDensity, kSwirlMagnitude, kSwirlToMax, kGravity,       kGravityAngle,
                           kConstraintAngle, kWindSpeed,    kCameraDistance, kFadeIn};
  for (int e : untouched) number(*n, e) = 77.0;
  flag(*n, kGravity90) = 1;
  choose(*n, kDemos, 6);  // Billow
  for (int e : untouched) EXPECT_EQ(number(*n, e).value, 77.0) << n->control(e)->name();
  EXPECT_EQ((std::vector<int>{option(*n, kDemos).value, option(*n, kMode).value, flag(*n, kGravity90).value,
                              flag(*n, kUseBirthMatte).value, flag(*n, kUseFriction).value,
                              flag(*n, kPerspective).value}),
            (std::vector<int>{6, 1, 1, 1, 0, 0}));
  EXPECT_TRUE(n->changes.empty() && dimmed(*n).empty()) << "a preset neither reaches the base nor dims";
  choose(*n, kDemos, 1);  // Contraints
  EXPECT_EQ((std::vector<double>{number(*n, kGravityAngle).value, static_cast<double>(flag(*n, kGravity90).value),
                                 number(*n, kSwirlMagnitude).value, number(*n, kCameraDistance).value}),
            (std::vector<double>{180, 0, 45, 77}));
}

TEST_F(NodeModule, ViewerEventsAskForRedrawsAsTheHandlesNeed) {
  Node n = create();
  n->host_set_output_size(kWidth, kHeight);
  n->host_set_aspect(0.0);  // no correction: drawn at pixel aspect 1
  EXPECT_FALSE(n->overlay_draw(nullptr));
  MouseEvent far_away{-5000.0f, -5000.0f, 0, 1.0f};
  MouseEvent hover{10.0f, 10.0f, 0, 0.0f};  // no pressure
  MouseEvent drag{10.0f, 10.0f, 0, 0.5f};
  for (auto [kind, event, updates] :
       {std::tuple{0, &far_away, 0}, {1, &hover, 0}, {1, &drag, 1}, {2, &far_away, 2}, {7, &drag, 2}}) {
    EXPECT_FALSE(n->overlay_mouse(nullptr, kind, event));
    EXPECT_EQ(n->overlay_updates, updates) << "event kind " << kind;
  }
  ASSERT_EQ(n->invalidations.size(), 1u);
  EXPECT_EQ(n->invalidations[0].from, -1.0);
}

// FNV-1a over the samples of a frame.
std::uint64_t frame_hash(const std::vector<std::uint16_t>& samples) {
  std::uint64_t h = 14695981039346656037ull;
  for (std::uint16_t v : samples) h = (h ^ v) * 1099511628211ull;
  return h;
}

// Frame 3 of every demo, pre-rolled, in Render mode, and of a fresh node's settings: pinned
// bits, the same on one processor and on three. This holds the whole frame (import, the
// presets, derived constants, the simulation, stamps, renderer, export) still.
TEST_F(NodeModuleParallel, PinnedFramesOfEveryDemoOnAnyProcessorCount) {
  // Drift, Contraints, Simple 3D, Bombard, Sunset, Sky Writing, Billow; a fresh node.
  constexpr std::uint64_t kPinned[8] = {8385033168482426955ull,  14398673085634970043ull, 9111562053016147687ull,
                                        8720374952141564022ull,  15833926864215494164ull, 7029725175731189075ull,
                                        425936490620710924ull,   3421823177445439618ull};
  for (int demo = 0; demo <= 7; ++demo) {
    for (int procs : {1, 3}) {
      smp_set_numprocs(procs);
      const auto frames = render_frames(*demo_node(demo), 1, 3);
      EXPECT_NE(frames[2], frames[1]) << "demo " << demo << ": the cloud moves";
      EXPECT_EQ(frame_hash(frames[2]), kPinned[demo]) << "demo " << demo << " on " << procs << " processors";
    }
  }
}

// Catch-up frames leave the output alone and the frame after them is that of a run
// that drew every frame; a restart from any page restarts alike.
TEST_F(NodeModule, CatchUpFramesAndRestartsFromAnyPage) {
  const auto drawn = render_frames(*demo_node(kSunset), 1, 4);
  Node caught_up = demo_node(kSunset);
  caught_up->host_set_catch_up(true);
  HostImage input(kWidth, kHeight, 4, plate);
  for (int t = 1; t <= 3; ++t) {
    HostImage output(kWidth, kHeight, 4);
    output.image.flags = kImageRowsReversed;
    EXPECT_EQ(process(*caught_up, t, input, output), 1);
    EXPECT_EQ(output.samples, HostImage(kWidth, kHeight, 4).samples);
    EXPECT_EQ(output.image.flags, kImageRowsReversed);
  }
  caught_up->host_set_catch_up(false);
  EXPECT_EQ(render_frames(*caught_up, 4, 4).back(), drawn[3]);

  Node a = demo_node(kSunset), b = demo_node(kSunset);
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
  FILE* pipe = popen("nm -D --defined-only '" BRUMEL_MODULE_PATH "' | awk '{print $NF}'", "r");
  ASSERT_NE(pipe, nullptr);
  std::set<std::string> names;
  for (char name[1024]; std::fscanf(pipe, "%1023s", name) == 1;) names.insert(name);
  ASSERT_EQ(pclose(pipe), 0);
  EXPECT_EQ(names, (std::set<std::string>{"FXNode_create", "FXNode_info", "FXNode_load"}));
}

}  // namespace
