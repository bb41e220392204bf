// The node module as a host sees it: loaded with dlopen and driven only through its
// three exports and the FXNode operations.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
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

// --- the module ---

struct Module {
  void* handle = nullptr;
  FXNode_info_fn info = nullptr;
  FXNode_create_fn create = nullptr;
  FXNode_load_fn load = nullptr;
  std::string error;

  Module() {
    handle = dlopen(BRUMEL_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      error = dlerror();
      return;
    }
    info = reinterpret_cast<FXNode_info_fn>(dlsym(handle, "FXNode_info"));
    create = reinterpret_cast<FXNode_create_fn>(dlsym(handle, "FXNode_create"));
    load = reinterpret_cast<FXNode_load_fn>(dlsym(handle, "FXNode_load"));
  }
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
    ASSERT_NE(module().handle, nullptr) << module().error;
    ASSERT_NE(module().info, nullptr);
    ASSERT_NE(module().create, nullptr);
    ASSERT_NE(module().load, nullptr);
  }
  static Node create() { return Node(module().create()); }
};

// --- widget entries of the node's table ---

constexpr int kDemos = 0, kRestart = 1, kRestartPreRoll = 2, kPreRollNumber = 4, kMode = 5;
constexpr int kMode2 = 9, kRestart3 = 10, kMode3 = 13, kMode4 = 17;
constexpr int kQuantity = 18, kLifetime = 20, kBirthX = 21, kBirthY = 22, kGrowShrink = 25;
constexpr int kCloudColour = 32, kSeed = 33, kGravity = 41, kGravityAngle = 42, kGravity90 = 43;
constexpr int kUseFriction = 44, kUseSwirling = 46, kSwirlDensity = 47, kSwirlMagnitude = 48;
constexpr int kSwirlToMax = 49, kUseConstraint = 50, kConstraintAngle = 51, kUseWind = 52;
constexpr int kWindSpeed = 57, kUseLight = 58, kLightColour = 59, kLightSourceX = 60;
constexpr int kFluffiness = 66, kUseTextured = 69, kUseFading = 74, kFadeIn = 75;
constexpr int kCameraDistance = 35, kPerspective = 34, kUseBirthMatte = 29, kInvertBirth = 30;
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
void press(FXNode& n, int entry) { change(n, entry); }

// --- host images ---

struct HostImage {
  std::vector<std::uint16_t> samples;
  _image_str image;

  HostImage(int width, int height, int channels,
            const std::function<std::uint16_t(int x, int y, int c)>& sample) {
    samples.resize(static_cast<std::size_t>(width) * height * channels);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        for (int c = 0; c < channels; ++c)
          samples[(static_cast<std::size_t>(y) * width + x) * channels + c] = sample(x, y, c);
    image.width = width;
    image.height = height;
    image.channels = channels;
    image.data = samples.data();
  }
  std::uint16_t at(int x, int y, int c) const {
    return samples[(static_cast<std::size_t>(y) * image.width + x) * image.channels + c];
  }
};

std::uint16_t grey(int, int, int c) { return c == 3 ? 65535 : 0x8000; }
std::uint16_t blank(int, int, int) { return 0x1234; }
// A sample kept whole through the 15-bit trip: its lowest bit becomes its highest.
std::uint16_t round_trip(std::uint16_t s) {
  return static_cast<std::uint16_t>(((s >> 1) << 1) | (s >> 15));
}

constexpr int kWidth = 96, kHeight = 64;

// One frame over `input` (and an optional matte) into `output`.
int process(FXNode& n, double time, HostImage& input, HostImage& output,
            HostImage* matte = nullptr) {
  _image_str* inputs[2] = {&input.image, matte ? &matte->image : nullptr};
  return n.process_image(time, inputs, &output.image);
}

// A node drawing the Sunset demo in Render mode from a pre-rolled start.
Node sunset_node() {
  Node n(module().create());
  n->host_set_output_size(kWidth, kHeight);
  choose(*n, kDemos, kSunset);
  choose(*n, kMode, kRender);
  press(*n, kRestartPreRoll);
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

// --- entry points ---

TEST_F(NodeModule, EntryPointsIdentifyTheNodeAndOnlyCreateRegisters) {
  char buffer[64];
  std::memset(buffer, 0x5a, sizeof buffer);
  EXPECT_STREQ(module().info(buffer), "Vexlings.Brumel");
  EXPECT_STREQ(buffer, "5a1f9c30-7e2b-4d81-b6a4-c09e3f7d2b15");
  for (std::size_t i = 37; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], 0x5a) << "byte " << i;

  Node made = create();
  ASSERT_NE(made, nullptr);
  EXPECT_TRUE(FXNode_is_registered(made.get()));
  RegV saved;
  ASSERT_TRUE(made->reg_save(saved));
  Node loaded(module().load(&saved));
  ASSERT_NE(loaded, nullptr);
  EXPECT_FALSE(FXNode_is_registered(loaded.get()));
  EXPECT_EQ(made->name(), "Vexlings.Brumel");
  EXPECT_STREQ(made->node_uuid, "5a1f9c30-7e2b-4d81-b6a4-c09e3f7d2b15");
  EXPECT_TRUE(std::all_of(made->node_uuid + 37, made->node_uuid + 48,
                          [](char c) { return c == 0; }));
  EXPECT_EQ(std::string(made->get_description()).rfind("Vexlings Brumel, Version 5.0 - ", 0), 0u);
  int fewest = 0, most = 0;
  made->get_input_limits(fewest, most);
  EXPECT_EQ(fewest, 1);
  EXPECT_EQ(most, 2);
  made->notify_output_changed();
  EXPECT_EQ(made->output_change_notices, 1);
  EXPECT_EQ(made->overlay_updates, 1);
}

// --- the widget table ---

TEST_F(NodeModule, HoldsTheEightyOneWidgetsInTableOrderWithTheirDefaults) {
  Node n = create();
  ASSERT_EQ(n->num_controls(), 81);
  for (int i = 0; i < 81; ++i) {
    const widget_table::Row& row = widget_table::kRows[static_cast<std::size_t>(i)];
    EXPECT_EQ(n->control(i)->name(), row.name) << "entry " << i;
    EXPECT_EQ(n->control(i)->kind(), row.kind) << "entry " << i;
  }
  int flags_on = 0;
  for (int i = 0; i < 81; ++i)
    if (n->control(i)->kind() == WidgetKind::Boolean) flags_on += flag(*n, i).value;
  EXPECT_EQ(flag(*n, kUseWind).value, 1);
  EXPECT_EQ(flags_on, 1) << "every checkbox but Use Wind starts off";
  for (int mode : {kMode, kMode2, kMode3, kMode4}) EXPECT_EQ(option(*n, mode).value, 1);
  EXPECT_EQ(option(*n, kDemos).entries.size(), 7u);
  EXPECT_EQ(option(*n, kDemos).entries[1], "Contraints");
  EXPECT_EQ(colour(*n, kCloudColour).value, (std::array<double, 4>{1.0, 1.0, 0.0, 1.0}));
  const CNumeric& seed = number(*n, kSeed);
  EXPECT_EQ((std::array<double, 4>{seed.value, seed.minimum, seed.maximum, seed.increment}),
            (std::array<double, 4>{165, 1, 999, 17}));
  EXPECT_TRUE(seed.flag);
  EXPECT_EQ(number(*n, kBirthX).value, -0.125);
  EXPECT_EQ(number(*n, kConstraintAngle).maximum, 89.5);
}

TEST_F(NodeModule, LayoutPlacesEveryIncludedWidgetRowBeforeColumn) {
  Node n = create();
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
    EXPECT_EQ(p.row, w.row) << n->control(w.entry)->name();
    EXPECT_EQ(p.column, w.column) << n->control(w.entry)->name();
    EXPECT_EQ(p.span_a, 0);
    EXPECT_EQ(p.span_b, 1);
  }
  // The panel is five columns by four pages of seven rows.
  for (const auto& p : layout.placements) {
    EXPECT_TRUE(p.column >= 0 && p.column <= 4 && p.row >= 0 && p.row < 28)
        << p.widget->name() << " at " << p.row << ", " << p.column;
  }
}

// --- frame refusals ---

TEST_F(NodeModule, RefusesFramesWithoutImagesSayingWhy) {
  Node n = create();
  n->host_set_output_size(8, 8);
  HostImage input(8, 8, 4, grey), output(8, 8, 4, blank);
  _image_str* inputs[2] = {&input.image, nullptr};
  EXPECT_EQ(n->process_image(1.0, inputs, nullptr), 0);
  EXPECT_EQ(msgwarn_history().back(), "QXAPI plugin: process_image() called with no output image.");
  _image_str* no_inputs[2] = {nullptr, &input.image};
  EXPECT_EQ(n->process_image(1.0, no_inputs, &output.image), 0);
  EXPECT_EQ(msgwarn_history().back(),
            "QXAPI plugin: process_image() called with no valid input images.");

  input.image.channels = 0;
  EXPECT_EQ(n->process_image(1.0, inputs, &output.image), 0);
  EXPECT_NE(msgwarn_history().back().find("input 0"), std::string::npos)
      << msgwarn_history().back();
  EXPECT_EQ(output.samples, HostImage(8, 8, 4, blank).samples);
}

TEST_F(NodeModule, AFrameWhoseBuffersCannotBeHadIsRefusedAndLeavesTheOutput) {
  Node n = create();
  HostImage input(4, 4, 4, grey), output(4, 4, 4, blank);
  // A host output far too large for memory; the node gives up before touching it.
  output.image.width = 1 << 20;
  output.image.height = 1 << 20;
  output.image.flags = kImageRowsReversed;
  n->host_set_output_size(1 << 20, 1 << 20);
  EXPECT_EQ(process(*n, 1.0, input, output), 0);
  EXPECT_NE(msgwarn_history().back().find("not enough memory"), std::string::npos)
      << msgwarn_history().back();
  EXPECT_EQ(output.samples, HostImage(4, 4, 4, blank).samples);
  EXPECT_EQ(output.image.flags, kImageRowsReversed);

  // The node still works afterwards.
  output.image.width = output.image.height = 4;
  output.image.flags = 0;
  n->host_set_output_size(4, 4);
  EXPECT_EQ(process(*n, 2.0, input, output), 1);
}

// --- image conversion through the node (Wireframe: the output is the source) ---

TEST_F(NodeModule, WireframeOutputIsTheSourceWithReversedRowsPutRight) {
  Node n = create();
  n->host_set_output_size(5, 3);
  auto ramp = [](int x, int y, int c) { return std::uint16_t(1000 * y + 100 * x + 7 * c + 1); };
  HostImage input(5, 3, 4, ramp), output(5, 3, 4, blank);
  input.image.flags = kImageRowsReversed;
  output.image.flags = kImageRowsReversed;
  ASSERT_EQ(process(*n, 1.0, input, output), 1);
  EXPECT_EQ(output.image.flags & kImageRowsReversed, 0);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x)
      for (int c = 0; c < 4; ++c)
        EXPECT_EQ(output.at(x, y, c), round_trip(input.at(x, 2 - y, c)))
            << x << "," << y << "," << c;
}

// --- control changes ---

std::set<int> dimmed(const FXNode& n) {
  std::set<int> out;
  for (int i = 0; i < n.num_controls(); ++i)
    if (n.control(i)->is_dimmed()) out.insert(i);
  return out;
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
  EXPECT_EQ(n->changes.back().reason, 1);
  EXPECT_EQ(n->changes.back().time, 3.0);
  EXPECT_TRUE(n->invalidations.empty()) << "reason 1 invalidates nothing";

  choose(*n, kMode2, kRender);
  for (int mode : {kMode, kMode2, kMode3, kMode4}) EXPECT_EQ(option(*n, mode).value, 0);
  EXPECT_EQ(n->changes.size(), 1u) << "mode changes do not reach the base";

  change(*n, kFluffiness, 2, -1.0);
  ASSERT_EQ(n->invalidations.size(), 1u);
  EXPECT_EQ(n->invalidations[0].from, -1.0);
  EXPECT_EQ(n->invalidations[0].to, -1.0);
  EXPECT_EQ(n->changes.size(), 2u);
  press(*n, kRestart);  // reason 1, ending without the base
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
  EXPECT_FALSE(n->control(kFluffiness)->is_dimmed());
  EXPECT_EQ(option(*n, kMode3).value, 1) << "page 1's mode wins";

  n->control(kFadeIn)->undim();
  ASSERT_EQ(process(*n, 2.0, input, output), 1);
  EXPECT_FALSE(n->control(kFadeIn)->is_dimmed()) << "later frames leave dimming alone";
}

// --- demo presets ---

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
    EXPECT_EQ(number(*n, kSeed).value, 1650);
    EXPECT_EQ(flag(*n, kUseLight).value, 1);
    EXPECT_EQ(number(*n, kBirthX).value, e.birth_x);
    EXPECT_EQ(number(*n, kBirthY).value, e.birth_y);
    EXPECT_EQ(number(*n, kQuantity).value, e.quantity);
    EXPECT_EQ(number(*n, kLifetime).value, e.lifetime);
    EXPECT_EQ(number(*n, kPreRollNumber).value, e.preroll);
    EXPECT_NEAR(colour(*n, kCloudColour).value[0], channel(std::uint16_t(e.red)), 1e-6);
    EXPECT_NEAR(colour(*n, kCloudColour).value[2], channel(std::uint16_t(e.blue)), 1e-6);
    EXPECT_NEAR(colour(*n, kCloudColour).value[3], channel(32640), 1e-6);
    EXPECT_EQ(flag(*n, kUseSwirling).value, e.swirling);
    EXPECT_EQ(flag(*n, kUseFading).value, e.fading);
    EXPECT_EQ(flag(*n, kUseFriction).value, e.friction);
    EXPECT_EQ(flag(*n, kPerspective).value, e.perspective);
    EXPECT_EQ(flag(*n, kUseTextured).value, 0) << "no preset touches Use Textured";
    EXPECT_EQ(option(*n, kMode).value, 1) << "no preset touches the mode";
    EXPECT_TRUE(n->changes.empty()) << "a preset does not reach the base";
    EXPECT_TRUE(dimmed(*n).empty()) << "a preset does not dim";
  }
}

TEST_F(NodeModule, PresetsLeaveTheCellsTheyDoNotName) {
  Node n = create();
  for (int e : {kSwirlDensity, kSwirlMagnitude, kSwirlToMax, kGravity, kGravityAngle,
                kConstraintAngle, kWindSpeed, kCameraDistance, kFadeIn})
    number(*n, e) = 77.0;
  flag(*n, kGravity90) = 1;
  choose(*n, kDemos, 6);  // Billow
  EXPECT_EQ(flag(*n, kUseBirthMatte).value, 1);
  for (int off : {40, kUseFriction, kUseSwirling, kUseConstraint, kUseWind, kPerspective})
    EXPECT_EQ(flag(*n, off).value, 0) << n->control(off)->name();
  for (int e : {kSwirlDensity, kSwirlMagnitude, kSwirlToMax, kGravity, kGravityAngle,
                kConstraintAngle, kWindSpeed, kCameraDistance, kFadeIn})
    EXPECT_EQ(number(*n, e).value, 77.0) << n->control(e)->name();
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

// --- saved settings ---

TEST_F(NodeModule, SavedSettingsLoadIntoAnEqualNode) {
  Node n = create();
  choose(*n, kDemos, 3);
  choose(*n, kMode, kRender);
  number(*n, kQuantity).keys = {{1.0, 3.5}, {24.0, 7.25}};
  flag(*n, kUseWind).keys = {{10.0, false}};
  const double odd[4] = {0.1, 0.2, 0.30000000000000004, 1.0 / 3.0};
  colour(*n, kLightColour).set_value(odd);
  RegV saved;
  ASSERT_TRUE(n->reg_save(saved));

  Node loaded(module().load(&saved));
  ASSERT_NE(loaded, nullptr);
  RegV again;
  ASSERT_TRUE(loaded->reg_save(again));
  EXPECT_EQ(again.doc(), saved.doc());
  EXPECT_EQ(number(*loaded, kQuantity).keys, number(*n, kQuantity).keys);
  EXPECT_EQ(colour(*loaded, kLightColour).value, colour(*n, kLightColour).value);
}

TEST_F(NodeModule, UnreadableSettingsGiveADefaultNodeAndAWarning) {
  RegV wrong(nlohmann::json{{"format", "something else"}});
  Node loaded(module().load(&wrong));
  ASSERT_NE(loaded, nullptr);
  EXPECT_NE(msgwarn_history().back().find("saved settings not restored"), std::string::npos);
  EXPECT_EQ(number(*loaded, kSeed).value, 165);
}

// --- viewer events ---

TEST_F(NodeModule, ViewerEventsAskForRedrawsAsTheHandlesNeed) {
  Node n = create();
  n->host_set_output_size(kWidth, kHeight);
  n->host_set_aspect(0.0);  // no correction: drawn at pixel aspect 1
  EXPECT_FALSE(n->overlay_draw(nullptr));

  MouseEvent far_away{-5000.0f, -5000.0f, 0, 1.0f};
  EXPECT_FALSE(n->overlay_mouse(nullptr, 0, &far_away));
  EXPECT_EQ(n->overlay_updates, 0) << "a press that no handle takes redraws nothing";

  MouseEvent hover{10.0f, 10.0f, 0, 0.0f};
  EXPECT_FALSE(n->overlay_mouse(nullptr, 1, &hover));
  EXPECT_EQ(n->overlay_updates, 0) << "no pressure: a hover";
  MouseEvent drag{10.0f, 10.0f, 0, 0.5f};
  EXPECT_FALSE(n->overlay_mouse(nullptr, 1, &drag));
  EXPECT_EQ(n->overlay_updates, 1);

  EXPECT_FALSE(n->overlay_mouse(nullptr, 2, &far_away));
  EXPECT_EQ(n->overlay_updates, 2);
  ASSERT_EQ(n->invalidations.size(), 1u);
  EXPECT_EQ(n->invalidations[0].from, -1.0);
  EXPECT_EQ(n->invalidations[0].to, -1.0);
  EXPECT_FALSE(n->overlay_mouse(nullptr, 7, &drag));
  EXPECT_EQ(n->overlay_updates, 2);
}

// --- rendered clouds ---

TEST_F(NodeModule, ADemoInRenderModeDrawsACloudAndAFreshNodeRepeatsIt) {
  Node a = sunset_node();
  Node b = sunset_node();
  const auto first = render_frames(*a, 1, 3);
  const auto second = render_frames(*b, 1, 3);
  EXPECT_EQ(first, second);
  HostImage plate(kWidth, kHeight, 4, grey);
  EXPECT_NE(first.back(), plate.samples) << "the cloud changes the plate";
  EXPECT_NE(first[1], first[2]) << "every frame advances the cloud";
}

TEST_F(NodeModule, RestartOnAnyPageStartsTheCloudAfreshWithoutTheBase) {
  Node a = sunset_node();
  Node b = sunset_node();
  Node c = sunset_node();
  for (FXNode* n : {a.get(), b.get(), c.get()}) render_frames(*n, 1, 3);
  const std::size_t changes = a->changes.size();
  press(*a, kRestart);
  press(*b, kRestart3);
  EXPECT_EQ(a->changes.size(), changes);
  const auto restarted = render_frames(*a, 4, 4);
  EXPECT_EQ(render_frames(*b, 4, 4), restarted);
  EXPECT_NE(render_frames(*c, 4, 4), restarted);
}

TEST_F(NodeModule, CatchUpFramesLeaveTheOutputAndMatchADrawnRun) {
  Node drawn = sunset_node();
  Node caught_up = sunset_node();
  const auto reference = render_frames(*drawn, 1, 4);

  HostImage input(kWidth, kHeight, 4, grey);
  caught_up->host_set_catch_up(true);
  for (int t = 1; t <= 3; ++t) {
    HostImage output(kWidth, kHeight, 4, blank);
    output.image.flags = kImageRowsReversed;
    EXPECT_EQ(process(*caught_up, t, input, output), 1);
    EXPECT_EQ(output.samples, HostImage(kWidth, kHeight, 4, blank).samples);
    EXPECT_EQ(output.image.flags, kImageRowsReversed);
  }
  caught_up->host_set_catch_up(false);
  EXPECT_EQ(render_frames(*caught_up, 4, 4).back(), reference.back());
}

class NodeModuleParallel : public NodeModule {};

TEST_F(NodeModuleParallel, SameFramesOnAnyProcessorCount) {
  const int processors = smp_numprocs();
  smp_set_numprocs(1);
  Node one = sunset_node();
  const auto single = render_frames(*one, 1, 3);
  smp_set_numprocs(3);
  Node three = sunset_node();
  const auto several = render_frames(*three, 1, 3);
  smp_set_numprocs(processors);
  EXPECT_EQ(single, several);
}

// --- the module's exported symbols ---

TEST(NodeModuleSymbols, OnlyTheThreeEntryPointsAreExported) {
  if (std::system("command -v nm >/dev/null 2>&1") != 0) GTEST_SKIP() << "nm is not installed";
  FILE* pipe = popen("nm -D --defined-only '" BRUMEL_MODULE_PATH "'", "r");
  ASSERT_NE(pipe, nullptr);
  std::set<std::string> names;
  char line[1024];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    const std::size_t space = text.rfind(' ');
    names.insert(space == std::string::npos ? text : text.substr(space + 1));
  }
  ASSERT_EQ(pclose(pipe), 0);
  EXPECT_EQ(names, (std::set<std::string>{"FXNode_create", "FXNode_info", "FXNode_load"}));
}

}  // namespace
