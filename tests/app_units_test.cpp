// The application's pieces with logic, in-process: frame patterns, ranges and
// lists, name suggestions, settings applied to a node, the frame driver's
// catch-up and what it reads, the node's messages, the shot start, rerun safety,
// image conversion and writing.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#if defined(BRUMEL_HAVE_APP_CORE)

#include <OpenImageIO/imagebufalgo.h>
#include <OpenImageIO/imageio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "app/app_error.h"
#include "app/shot/default_background.h"
#include "app/shot/catch_up_reads.h"
#include "app/shot/frame_driver.h"
#include "app/shot/frame_list.h"
#include "app/images/frame_file.h"
#include "app/shot/frame_range.h"
#include "app/shot/frame_writer.h"
#include "app/shot/frame_sources.h"
#include "app/images/image_io.h"
#include "app/images/image_sequence.h"
#include "app/images/image_size.h"
#include "app/settings/name_suggestions.h"
#include "app/shot/node_messages.h"
#include "app/shot/output_files.h"
#include "app/images/sequence_on_disk.h"
#include "app/settings/settings.h"
#include "app/settings/widget_lookup.h"
#include "app/settings/widget_table.h"
#include "assim/services.h"
#include "tests/support/app_run.h"

namespace fs = std::filesystem;

namespace {

// Throws and returns the message, or fails the test.
template <class F>
std::string error_of(F&& f) {
  try {
    f();
  } catch (const AppError& e) {
    return e.what();
  }
  ADD_FAILURE() << "no AppError thrown";
  return "";
}

// A node with the host widget names that matter to the application: repeated
// buttons and mode options, a number sharing a button's name, page labels.
class PanelNode : public FXNode {
 public:
  struct Notice {
    std::string name;
    int reason;
    double time, quantity;  // "Quantity" when the notice came
  };
  PanelNode() {
    place(Option("Demos: %s", "Drift,Contraints,Sunset", 0), 3, 3);
    place(Action("Restart"), 0, 0);
    place(Action("Restart+PreR"), 0, 1);
    place(Action("PreRoll"), 0, 2);
    place(Numeric("PreRoll", 40, 1, 1000, 1, true), 0, 3);
    place(Option("Mode: %s", "Render,Wireframe", 1), 3, 2);
    place(Action("Restart"), 0, 7);
    place(Option("Mode: %s", "Render,Wireframe", 1), 3, 9);
    quantity = Numeric("Quantity", 20, 0, 5000, 0.01, true);
    place(quantity, 0, 4);
    place(Color("Cloud Colour", 1, 1, 0, 1, true), 0, 17);
    place(Boolean("Use Wind", true, false), 2, 8);
    hidden = Numeric("Hidden", 1, 0, 2, 1, true);
    hidden->flags |= CWidget::kLayoutExclusion;
    place(hidden, 1, 1);
    place(Label("Brumel"), 4, 0);
    place(Label("Forces"), 4, 7);
    place(Label("Light"), 4, 14);
  }
  bool notify_control_changed(CWidget* widget, int reason, double time) override {
    notices.push_back({widget->name(), reason, time, quantity->value});
    return FXNode::notify_control_changed(widget, reason, time);
  }
  bool layout_controls(ControlLayout& layout) override {
    for (auto& [widget, cell] : cells) {
      if ((widget->flags & CWidget::kLayoutExclusion) == 0) {
        layout.place_widget(widget, cell.second, cell.first, 0, 1);
      }
    }
    return true;
  }
  std::vector<Notice> notices;
  CNumeric* quantity;
  CNumeric* hidden;

 private:
  void place(CWidget* widget, int column, int row) {
    cells.emplace_back(widget, std::make_pair(column, row));
  }
  std::vector<std::pair<CWidget*, std::pair<int, int>>> cells;
};

fs::path fresh_folder(const std::string& name) {
  const fs::path folder =
      fs::temp_directory_path() / ("brumel_app_units_" + name + "_" + std::to_string(getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

std::vector<std::string> files_in(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

// --- frame patterns, ranges, sizes, suggestions ----------------------------------

TEST(ImageSequence, PatternsGiveFramePaths) {
  const struct {
    const char* pattern;
    int frame;
    const char* path;
  } cases[]{
      {"out/cloud.####.png", 7, "out/cloud.0007.png"},
      {"out/cloud.####.png", 12345, "out/cloud.12345.png"},
      {"f.####.png", -3, "f.-0003.png"},
      {"f.@@@@.png", -3, "f.-0003.png"},
      {"f.@@@.png", 42, "f.042.png"},
      {"a#.exr", 3, "a3.exr"},
      {"plate.%04d.exr", 101, "plate.0101.exr"},
      {"plate.%04d.exr", -1, "plate.-001.exr"},  // the sign takes a place, as printf
      {"plate.%d.exr", 101, "plate.101.exr"},
      {"100%%_%03d.tif", 5, "100%_005.tif"},
      {"plates/still 50%%.png", 99, "plates/still 50%.png"},
  };
  for (const auto& c : cases) EXPECT_EQ(ImageSequence(c.pattern).frame_path(c.frame), c.path);
  EXPECT_TRUE(ImageSequence("a.%d.png").is_sequence());
  EXPECT_FALSE(ImageSequence("plates/still 50%%.png").is_sequence());
}

TEST(ImageSequence, RefusesAmbiguousPatterns) {
  const std::pair<const char*, const char*> cases[]{{"a.##.b.##.png", "more than one"},
                                                    {"a.##@@.png", "more than one"},
                                                    {"a.%04d.%d.png", "more than one"},
                                                    {"a.%4d.png", "%0Nd"},
                                                    {"a%.png", "a%.png"}};
  for (const auto& [pattern, message] : cases) {
    EXPECT_NE(error_of([&] { ImageSequence{pattern}; }).find(message), std::string::npos)
        << pattern;
  }
}

TEST(FrameList, SyntaxGivesFramesAscendingOnceAndReadsBack) {
  const struct {
    const char* text;
    std::vector<int> frames;
    const char* compact;  // text() of the list
  } cases[]{
      {"1001-1004", {1001, 1002, 1003, 1004}, "1001-1004"},
      {"1-10x3", {1, 4, 7, 10}, "1-10x3"},
      {"1-9x4", {1, 5, 9}, "1-9x4"},
      {"1-8x3", {1, 4, 7}, "1-7x3"},
      {"1,5,10-12", {1, 5, 10, 11, 12}, "1,5,10-12"},
      {"12,3-4,4", {3, 4, 12}, "3-4,12"},
      {"-3--1", {-3, -2, -1}, "-3--1"},
      {"-5", {-5}, "-5"},
      {"-4-4x4", {-4, 0, 4}, "-4-4x4"},
      {"7-7x2", {7}, "7"},
  };
  for (const auto& c : cases) {
    const FrameList list = parse_frame_list(c.text);
    EXPECT_EQ(list.frames(), c.frames) << c.text;
    EXPECT_EQ(list.text(), c.compact) << c.text;
    EXPECT_EQ(parse_frame_list(list.text()), list) << c.text;
  }
  const std::pair<const char*, const char*> refused[]{
      {"", "is not FRAME"},       {"1-", "is not FRAME"},     {"1,,2", "is not FRAME"},
      {"1-10x", "is not FRAME"},  {"5x2", "is not FRAME"},    {"1 - 2", "is not FRAME"},
      {"1-10x0", "step"},         {"9-3", "comes before"},    {"1-99999999999", "is not FRAME"},
      {"1-2000000", "more than"}};
  for (const auto& [text, message] : refused) {
    const std::string error = error_of([&] { parse_frame_list(text); });
    EXPECT_NE(error.find("bad frame list \"" + std::string(text) + "\""), std::string::npos) << error;
    EXPECT_NE(error.find(message), std::string::npos) << error;
  }
}

TEST(FrameRangeAndSize, ParseOrRefuse) {
  EXPECT_EQ(parse_frame_range("1-24"), (FrameRange{1, 24}));
  EXPECT_EQ(parse_frame_range("37"), (FrameRange{37, 37}));
  EXPECT_EQ(parse_frame_range("-10--1"), (FrameRange{-10, -1}));
  EXPECT_EQ(parse_frame_range("101-200").count(), 100);
  for (const char* text : {"", "abc", "1-", "1-2x", "1--", "1 - 2", "1-99999999999"}) {
    EXPECT_NE(error_of([&] { parse_frame_range(text); }).find("bad frame range"), std::string::npos)
        << text;
  }
  EXPECT_NE(error_of([] { parse_frame_range("5-2"); }).find("comes before"), std::string::npos);
  EXPECT_EQ(parse_image_size("1920X1080"), (ImageSize{1920, 1080}));
  for (const char* text : {"", "160", "0x90", "x90", "160x90x2", "-1x5", "20000x10"}) {
    EXPECT_NE(error_of([&] { parse_image_size(text); }).find("bad size"), std::string::npos)
        << text;
  }
}

TEST(NameSuggestions, ClosestFirstEachOnceOnlyPlausible) {
  EXPECT_EQ(edit_distance("Quantity", "quantity"), 0);
  EXPECT_EQ(edit_distance("kitten", "sitting"), 3);
  const std::vector<std::string> names{"Restart",  "Cloud Size", "Cloud Size V", "Restart",
                                       "Quantity", "Mode: %s",   "Seed"};
  EXPECT_EQ(closest_names("Cloud Sise", names),
            (std::vector<std::string>{"Cloud Size", "Cloud Size V"}));
  EXPECT_EQ(closest_names("restrat", names), (std::vector<std::string>{"Restart"}));
  EXPECT_EQ(closest_names("Mode", names), (std::vector<std::string>{"Mode: %s"}));
  EXPECT_EQ(did_you_mean("Quantiy", names), " (did you mean \"Quantity\"?)");
  EXPECT_EQ(did_you_mean("zzzzzzzz", names), "");
}

// --- widgets and settings -------------------------------------------------------

TEST(WidgetLookup, RepeatedNamesMeanTheFirstWidgetThatTakesAValue) {
  PanelNode node;
  EXPECT_EQ(find_value_widget(node, "PreRoll").index(), 4);  // the number, not the button
  EXPECT_EQ(find_value_widget(node, "Mode: %s").index(), 5);
  EXPECT_EQ(find_value_widget(node, "mode").index(), 5);
  EXPECT_EQ(find_value_widget(node, "quantity").index(), 8);
  EXPECT_EQ(find_value_widget(node, "#7").index(), 7);
  EXPECT_EQ(find_button(node, "Restart+PreR").index(), 2);
}

TEST(WidgetLookup, RefusalsSayWhatIsWrong) {
  PanelNode node;
  const std::pair<const char*, const char*> cases[]{
      {"Restart", "is a button"},
      {"Forces", "page label"},
      {"#1", "is a button"},
      {"#99", "#0 to #14"},
      {"#x", "bad widget index"},
      {"Cloud Color", "unknown widget \"Cloud Color\" (did you mean \"Cloud Colour\""}};
  for (const auto& [name, message] : cases) {
    EXPECT_NE(error_of([&] { find_value_widget(node, name); }).find(message), std::string::npos)
        << name;
  }
}

TEST(Settings, ApplyInOrderAndNotifyAsAHostWould) {
  PanelNode node;
  SettingsRequest request;
  request.demo = "sunset";
  request.sets = {"Quantity=7", "Quantity = 8", "PreRoll=100", "Use Wind=off"};
  request.mode = "render";
  request.keys = {"Quantity=1:10,5:20", "Cloud Colour=1:1,0,0,1, 9:0,0,1,1"};
  request.preroll = true;
  apply_settings(node, request, 11.0);

  std::vector<std::string> order;
  for (const auto& notice : node.notices) {
    order.push_back(notice.name);
    EXPECT_EQ(notice.reason, 1);
    EXPECT_EQ(notice.time, 11.0);
  }
  // Keys reach the node by evaluation, not by notices.
  EXPECT_EQ(order, (std::vector<std::string>{"Demos: %s", "Quantity", "Quantity", "PreRoll",
                                             "Use Wind", "Mode: %s", "Restart+PreR"}));
  EXPECT_EQ(node.notices[1].quantity, 7.0);  // each value is in place when it is notified
  EXPECT_EQ(static_cast<COption*>(node.control(0))->value, 2);
  EXPECT_EQ(static_cast<CNumeric*>(node.control(4))->value, 100.0);
  EXPECT_EQ(static_cast<COption*>(node.control(5))->value, 0);
  EXPECT_EQ(node.quantity->keys, (std::map<double, double>{{1.0, 10.0}, {5.0, 20.0}}));
  EXPECT_EQ(static_cast<CColor*>(node.control(9))->keys.size(), 2u);
}

TEST(Settings, SaveThenLoadRestoresValuesAndKeys) {
  const fs::path folder = fresh_folder("settings");
  PanelNode saved;
  SettingsRequest request;
  request.sets = {"Quantity=12.5", "Mode=Render"};
  request.keys = {"Use Wind=3:on,8:off"};
  apply_settings(saved, request, 1.0);
  save_settings(saved, (folder / "s.json").string());

  PanelNode loaded;
  SettingsRequest load;
  load.load_file = (folder / "s.json").string();
  load.sets = {"PreRoll=3"};  // a later step overrides the document
  apply_settings(loaded, load, 1.0);
  EXPECT_EQ(loaded.quantity->value, 12.5);
  EXPECT_EQ(static_cast<COption*>(loaded.control(5))->value, 0);
  EXPECT_EQ(static_cast<CBoolean*>(loaded.control(10))->keys.size(), 2u);
  EXPECT_EQ(static_cast<CNumeric*>(loaded.control(4))->value, 3.0);

  // A document of only what it changes, an option by its caption; it gives the mode.
  nlohmann::json partial = nlohmann::json::parse(read_text(folder / "s.json"));
  partial["widgets"] = {{{"name", "quantity"}, {"value", 7}}, {{"index", 5}, {"value", "render"}}};
  std::ofstream(folder / "p.json") << partial.dump();
  PanelNode part;
  load = SettingsRequest{};
  load.load_file = (folder / "p.json").string();
  load.default_mode = "wireframe";
  apply_settings(part, load, 1.0);
  EXPECT_EQ(part.quantity->value, 7.0);
  EXPECT_EQ(static_cast<COption*>(part.control(5))->value, 0);
  EXPECT_EQ(static_cast<CNumeric*>(part.control(4))->value, 40.0);  // left out: the default
  partial["widgets"] = {{{"name", "Quantiy"}, {"value", 7}}};
  std::ofstream(folder / "p.json", std::ios::trunc) << partial.dump();
  EXPECT_NE(error_of([&] { apply_settings(part, load, 1.0); }).find("unknown widget \"Quantiy\""),
            std::string::npos);
  fs::remove_all(folder);
}

TEST(Settings, RefusalsNameTheProblemAndKeepEarlierValues) {
  // The program's tests cover the misspelt names, ranges, flags and broken documents.
  const std::string none = (fs::temp_directory_path() / "brumel_none.json").string();
  const struct {
    std::string demo, set, mode, key, load, message;
  } cases[]{{"Storm", "", "", "", "", "Drift, Contraints, Sunset"},
            {"", "Quantity", "", "", "", "Widget Name=VALUE"},
            {"", "", "solid", "", "", "render or wireframe"},
            {"", "", "", "Quantity=1:5,x", "", "Quantity"},
            {"", "", "", "", none, "brumel_none.json"}};
  for (const auto& c : cases) {
    SettingsRequest request;
    request.demo = c.demo;
    if (!c.set.empty()) request.sets = {c.set};
    request.mode = c.mode;
    if (!c.key.empty()) request.keys = {c.key};
    request.load_file = c.load;
    PanelNode node;
    const std::string message = error_of([&] { apply_settings(node, request, 1.0); });
    EXPECT_NE(message.find(c.message), std::string::npos) << message;
    EXPECT_EQ(node.quantity->value, 20.0) << message;
  }
}

TEST(Settings, TheCommandsModeOnlyWhenNothingElseGivesOne) {
  const fs::path folder = fresh_folder("mode");
  const std::string saved = (folder / "wireframe.json").string();
  save_settings(PanelNode(), saved);  // the node's own mode: Wireframe
  const std::string partial = (folder / "quantity.json").string();
  nlohmann::json doc = nlohmann::json::parse(read_text(saved));
  doc["widgets"] = {{{"index", 8}, {"value", 3}}};
  std::ofstream(partial) << doc.dump();
  const struct {
    std::string load;
    std::vector<std::string> sets;
    std::string mode;
    int expected;  // 0 Render, 1 Wireframe
  } cases[]{{"", {}, "", 0},
            {"", {"Quantity=3"}, "", 0},
            {"", {"Mode=Wireframe"}, "", 1},
            {"", {"Mode: %s=1"}, "", 1},
            {"", {"#7=0", "#5=Wireframe"}, "", 1},
            {saved, {}, "", 1},
            {saved, {}, "render", 0},
            {partial, {}, "", 0}};  // a document that does not list the mode
  for (const auto& c : cases) {
    PanelNode node;
    SettingsRequest request;
    request.load_file = c.load;
    request.sets = c.sets;
    request.mode = c.mode;
    request.default_mode = "render";
    apply_settings(node, request, 1.0);
    EXPECT_EQ(static_cast<COption*>(node.control(5))->value, c.expected)
        << c.load << " " << (c.sets.empty() ? "" : c.sets.back()) << " " << c.mode;
  }
  fs::remove_all(folder);
}

// A hand-edited document is held to what --set accepts: each value and key
// within its widget's range, or refused naming the file, widget, value and
// range, with the node as it was.
TEST(Settings, LoadRefusesWhatSetRefuses) {
  const fs::path folder = fresh_folder("ranges");
  const std::string path = (folder / "s.json").string();
  PanelNode saved;
  save_settings(saved, path);
  const nlohmann::json good = nlohmann::json::parse(read_text(path));
  const struct {
    int widget;
    const char* field;
    nlohmann::json value;
    std::string message;
  } cases[]{{8, "value", 1e6, "widget 8 \"Quantity\", value: 1e+06 is outside 0 to 5000"},
            {8, "keys", {{1.0, 5.0}, {4.0, -1.0}}, "\"Quantity\", key at 4: -1 is outside 0 to 5000"},
            {5, "value", 99, "\"Mode: %s\", value: \"99\" is not one of Render, Wireframe"},
            {9, "value", {1, 2, 0, 1}, "\"Cloud Colour\", value: \"1,2,0,1\": 2 is outside 0 to 1"}};
  for (const auto& c : cases) {
    nlohmann::json doc = good;
    doc["widgets"][c.widget][c.field] = c.value;
    std::ofstream(path, std::ios::trunc) << doc.dump();
    PanelNode node;
    SettingsRequest request;
    request.load_file = path;
    const std::string message = error_of([&] { apply_settings(node, request, 1.0); });
    EXPECT_NE(message.find("--load: settings document \"" + path + "\": "), std::string::npos);
    EXPECT_NE(message.find(c.message), std::string::npos) << message;
    EXPECT_EQ(node.quantity->value, 20.0) << message;
    EXPECT_TRUE(node.quantity->keys.empty()) << message;
  }
  fs::remove_all(folder);
}

TEST(Settings, KeyframeTextKeepsColourCommas) {
  const auto keys = parse_keyframes("1:1,0,0,1, 10:0,0,1,1");
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_EQ(keys[0].value, "1,0,0,1");
  EXPECT_EQ(keys[1].frame, 10.0);
  EXPECT_EQ(parse_keyframes("2.5:7")[0].frame, 2.5);
  for (const char* text : {"", "5", "x:5", "1:2,", ",1:2"}) {
    EXPECT_NE(error_of([&] { parse_keyframes(text); }).find("bad keyframes"), std::string::npos)
        << text;
  }
}

TEST(WidgetTable, PagesAndCellsComeFromTheNodesLayout) {
  PanelNode node;
  const std::vector<WidgetRow> rows = describe_widgets(node);
  ASSERT_EQ(rows.size(), 15u);
  EXPECT_EQ(rows[8].range_text, "0 to 5000");
  EXPECT_EQ(rows[8].page_name, "Brumel");
  EXPECT_EQ(rows[7].page_name, "Forces");  // "Mode: %s" of page 2 at layout row 9
  EXPECT_EQ(rows[7].row, 2);
  EXPECT_EQ(rows[7].default_text, "Wireframe");
  EXPECT_EQ(rows[9].page_name, "Light");
  EXPECT_EQ(rows[9].default_text, "1,1,0,1");
  EXPECT_EQ(rows[9].default_values, (std::vector<double>{1, 1, 0, 1}));
  EXPECT_EQ(rows[8].maximum, 5000);
  EXPECT_EQ(rows[7].options, (std::vector<std::string>{"Render", "Wireframe"}));
  EXPECT_EQ(rows[11].page, -1);  // kept out of the layout
}

// --- frame driver ----------------------------------------------------------------

namespace {

// Records each frame: its time, the catch-up hint, and marks drawn outputs.
class RecordingNode : public FXNode {
 public:
  struct Call {
    double time;
    bool catch_up, has_matte;
  };
  int process_image(double time, _image_str** inputs, _image_str* output) override {
    calls.push_back({time, host_catch_up(), inputs[1] != nullptr});
    if (refuse) {
      msgwarn("QXAPI plugin: process_image() called with no valid input images.");
      return 0;
    }
    if (!host_catch_up()) output->data[0] = static_cast<std::uint16_t>(time);
    return 1;
  }
  std::vector<Call> calls;
  bool refuse = false;
};

}  // namespace

TEST(FrameDriver, CatchUpFramesComeFirstAscendingAndWriteNothing) {
  RecordingNode node;
  FrameSources sources("", "", ImageSize{8, 4});
  FrameDriver driver(node, sources, ImageSize{8, 4}, 6);

  std::vector<int> caught_up, drawn;
  driver.play(
      5, FrameRange{8, 10}, [&](int frame) { caught_up.push_back(frame); },
      [&](int frame, const HostImage& image) {
        drawn.push_back(frame);
        EXPECT_EQ(image.samples[0], frame);
      });
  EXPECT_EQ(caught_up, (std::vector<int>{5, 6, 7}));
  EXPECT_EQ(drawn, (std::vector<int>{8, 9, 10}));
  ASSERT_EQ(node.calls.size(), 6u);
  for (std::size_t i = 0; i < node.calls.size(); ++i) {
    EXPECT_EQ(node.calls[i].time, 5.0 + static_cast<double>(i));
    EXPECT_EQ(node.calls[i].catch_up, i < 3);
    EXPECT_FALSE(node.calls[i].has_matte);
  }
  EXPECT_FALSE(node.host_catch_up());
}

TEST(FrameDriver, FramesBetweenListedOnesAreCaughtUpAndReadOnlyWhatTheMatteNeeds) {
  const fs::path folder = fresh_folder("driver_reads");
  HostImage plate(8, 4);
  for (int frame = 1; frame <= 4; ++frame) {
    plate.samples[1] = static_cast<std::uint16_t>(100 + frame);
    write_host_image(plate, (folder / ("p." + std::to_string(frame) + ".png")).string());
  }
  const std::string sequence = (folder / "p.%d.png").string();
  // The node sees the plate (its sample marks the frame) or a blank stand-in.
  struct Seen : RecordingNode {
    int process_image(double time, _image_str** inputs, _image_str* output) override {
      input_marks.push_back(inputs[0]->data[1]);
      matte_marks.push_back(inputs[1] != nullptr ? inputs[1]->data[1] : -1);
      return RecordingNode::process_image(time, inputs, output);
    }
    std::vector<int> input_marks, matte_marks;
  };
  const struct {
    bool with_matte, birth_matte;
    std::vector<int> input_marks, matte_marks;
  } cases[]{
      {false, false, {0, 102, 0, 104}, {-1, -1, -1, -1}},
      {true, false, {0, 102, 0, 104}, {0, 102, 0, 104}},
      {false, true, {101, 102, 103, 104}, {-1, -1, -1, -1}},
      {true, true, {0, 102, 0, 104}, {101, 102, 103, 104}},
  };
  for (const auto& c : cases) {
    Seen node;
    CBoolean* birth_matte = node.Boolean("Use Birth Ma", false, false);
    birth_matte->keys[3.0] = c.birth_matte;  // keyed on at a later frame reads every matte
    FrameSources sources(sequence, c.with_matte ? sequence : "", ImageSize{8, 4});
    FrameDriver driver(node, sources, ImageSize{8, 4}, 4);
    driver.set_catch_up_reads(catch_up_reads(node, sources.has_matte()));
    std::vector<int> caught_up, drawn;
    driver.play(
        1, FrameList(std::vector<int>{2, 4}), [&](int frame) { caught_up.push_back(frame); },
        [&](int frame, const HostImage&) { drawn.push_back(frame); });
    EXPECT_EQ(caught_up, (std::vector<int>{1, 3}));
    EXPECT_EQ(drawn, (std::vector<int>{2, 4}));
    EXPECT_EQ(node.input_marks, c.input_marks) << c.with_matte << c.birth_matte;
    EXPECT_EQ(node.matte_marks, c.matte_marks) << c.with_matte << c.birth_matte;
  }
  fs::remove_all(folder);
}

TEST(FrameDriver, RefusedFrameIsAnErrorWithTheNodesWarning) {
  RecordingNode node;
  node.refuse = true;
  FrameSources sources("", "", ImageSize{4, 4});
  FrameDriver driver(node, sources, ImageSize{4, 4}, 1);
  std::vector<int> processed;  // what the node wrote is still reported
  driver.set_after_process([&](int frame) { processed.push_back(frame); });
  const std::string message = error_of([&] { driver.process(3, false); });
  EXPECT_EQ(processed, std::vector<int>{3});
  EXPECT_NE(message.find("refused frame 3"), std::string::npos);
  EXPECT_NE(message.find("no valid input images"), std::string::npos);
}

// --- the node's messages --------------------------------------------------------

// Lines on standard output, through stdio or straight to the descriptor and from
// several threads at once, come back from each take once with their counts, in the
// order first seen; more than a pipe holds never blocks the writers; standard output
// is the same file afterwards. Checked after the capture ends: a failure printed
// while it lives would be captured too.
TEST(NodeMessages, EachLineOnceWithItsCountThenStdoutIsBack) {
  auto summary = [](const std::vector<NodeMessage>& taken) {
    std::vector<std::string> lines;
    for (const NodeMessage& m : taken) lines.push_back(m.text + " x" + std::to_string(m.count));
    return lines;
  };
  struct stat before {}, after {};
  ASSERT_EQ(fstat(STDOUT_FILENO, &before), 0);
  std::vector<std::vector<std::string>> takes;
  {
    NodeMessages messages;
    std::fputs("b\na\nb\n", stdout);
    std::fflush(stdout);
    ASSERT_EQ(write(STDOUT_FILENO, "c", 1), 1);  // left unfinished: ends at the take
    takes.push_back(summary(messages.take()));
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
      writers.emplace_back([] {
        for (int i = 0; i < 5000; ++i) {
          std::fputs("Probability of success too low to continue - check matte\n", stdout);
          std::fflush(stdout);
        }
      });
    }
    for (std::thread& writer : writers) writer.join();
    std::printf("%s\n", std::string(10000, 'x').c_str());  // not flushed: the take does
    takes.push_back(summary(messages.take()));
    takes.push_back(summary(messages.take()));
  }
  ASSERT_EQ(fstat(STDOUT_FILENO, &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_dev, before.st_dev);
  EXPECT_EQ(takes, (std::vector<std::vector<std::string>>{
                       {"b x2", "a x1", "c x1"},
                       {"Probability of success too low to continue - check matte x20000",
                        std::string(4096, 'x') + " x1"},
                       {}}));
}

// --- images ----------------------------------------------------------------------

namespace {

void write_test_image(const fs::path& path, int channels, OIIO::TypeDesc type,
                      const std::vector<float>& pixel) {
  auto out = OIIO::ImageOutput::create(path.string());
  ASSERT_TRUE(out);
  OIIO::ImageSpec spec(2, 1, channels, type);
  if (channels == 2 || channels == 4) spec.attribute("oiio:UnassociatedAlpha", 1);
  ASSERT_TRUE(out->open(path.string(), spec));
  std::vector<float> data = pixel;
  data.insert(data.end(), pixel.begin(), pixel.end());
  ASSERT_TRUE(out->write_image(OIIO::TypeDesc::FLOAT, data.data()));
  out->close();
}

std::array<std::uint16_t, 4> first_pixel(const HostImage& image) {
  return {image.samples[0], image.samples[1], image.samples[2], image.samples[3]};
}

// Frames reach the writer in order and are reported in order; a failed write is
// reported at the next submit, after which nothing more is written.
TEST(FrameWriter, WritesInOrderAndReportsAFailureAtTheNextFrame) {
  std::vector<std::string> written, reported;
  FrameWriter writer(
      [&](int frame, const OIIO::ImageBuf& image, const std::string& path) {
        if (path == "bad") throw AppError("disk full");
        written.push_back(path + ":" + std::to_string(frame) + ":" +
                          std::to_string(std::lround(image.getchannel(0, 0, 0, 0) * 4)));
      },
      [&](int frame, const std::string& path) { reported.push_back(std::to_string(frame) + path); });
  OIIO::ImageBuf image(OIIO::ImageSpec(1, 1, 1, OIIO::TypeDesc::UINT8));
  for (int frame = 1; frame <= 3; ++frame) {
    OIIO::ImageBufAlgo::fill(image, {frame * 0.25f});
    writer.submit(frame, image, "f" + std::to_string(frame));
  }
  writer.submit(4, image, "bad");
  EXPECT_THROW(writer.submit(5, image, "f5"), AppError);
  EXPECT_EQ(written, (std::vector<std::string>{"f1:1:1", "f2:2:2", "f3:3:3"}));
  EXPECT_EQ(reported, (std::vector<std::string>{"1f1", "2f2", "3f3"}));
  writer.finish();
}

}  // namespace

TEST(ImageIO, AnyChannelCountBecomesSixteenBitRgba) {
  const fs::path folder = fresh_folder("channels");
  using A = std::array<std::uint16_t, 4>;
  write_test_image(folder / "grey.png", 1, OIIO::TypeDesc::UINT8, {1.0f});
  write_test_image(folder / "grey_alpha.tif", 2, OIIO::TypeDesc::UINT16, {0.5f, 0.25f});
  write_test_image(folder / "rgb.png", 3, OIIO::TypeDesc::UINT8, {1.0f, 0.0f, 0.2f});
  write_test_image(folder / "rgba.png", 4, OIIO::TypeDesc::UINT16, {0.0f, 1.0f, 0.0f, 0.5f});
  write_test_image(folder / "hdr.exr", 4, OIIO::TypeDesc::FLOAT, {2.0f, -1.0f, 0.5f, 1.0f});
  EXPECT_EQ(first_pixel(read_host_image((folder / "grey.png").string())),
            (A{65535, 65535, 65535, 65535}));
  EXPECT_EQ(first_pixel(read_host_image((folder / "grey_alpha.tif").string())),
            (A{32768, 32768, 32768, 16384}));
  EXPECT_EQ(first_pixel(read_host_image((folder / "rgb.png").string())),
            (A{65535, 0, 13107, 65535}));
  // Alpha stays as stored: colour is not premultiplied on reading.
  EXPECT_EQ(first_pixel(read_host_image((folder / "rgba.png").string())), (A{0, 65535, 0, 32768}));
  EXPECT_EQ(first_pixel(read_host_image((folder / "hdr.exr").string())),
            (A{65535, 0, 32768, 65535}));
  EXPECT_EQ(read_image_size((folder / "rgb.png").string()), (ImageSize{2, 1}));
  fs::remove_all(folder);
}

TEST(ImageIO, SixteenBitFormatsKeepSamplesExactly) {
  const fs::path folder = fresh_folder("roundtrip");
  HostImage image(3, 2);
  for (std::size_t i = 0; i < image.samples.size(); ++i) {
    image.samples[i] = static_cast<std::uint16_t>(i * 2731 + 17);
  }
  for (const char* name : {"a.png", "a.tif", "a.dpx"}) {
    write_host_image(image, (folder / name).string());
    EXPECT_EQ(read_host_image((folder / name).string()), image) << name;
  }
  write_host_image(image, (folder / "a.jpg").string());  // 8-bit, no alpha, but written
  EXPECT_EQ(read_host_image((folder / "a.jpg").string()).width, 3);
  write_host_image(image, (folder / "a.exr").string());
  auto exr = OIIO::ImageInput::open((folder / "a.exr").string());
  ASSERT_TRUE(exr);
  EXPECT_EQ(exr->spec().format, OIIO::TypeDesc::HALF);
  EXPECT_EQ(exr->spec().nchannels, 4);
  exr.reset();
  // Written through temporary names: only the final names remain.
  EXPECT_EQ(files_in(folder),
            (std::vector<std::string>{"a.dpx", "a.exr", "a.jpg", "a.png", "a.tif"}));
  fs::remove_all(folder);
}

TEST(ImageIO, OutputChecksComeBeforeAnyWriting) {
  const fs::path folder = fresh_folder("outputs");
  prepare_output((folder / "new/deeper/f.0001.png").string());
  EXPECT_TRUE(fs::is_directory(folder / "new/deeper"));
  EXPECT_TRUE(fs::is_empty(folder / "new/deeper"));
  std::ofstream(folder / "file") << "x";
  EXPECT_NE(error_of([&] {
              prepare_output((folder / "file/f.0001.png").string());
            }).find("cannot create output folder"),
            std::string::npos);
  EXPECT_NE(error_of([&] { prepare_output((folder / "f.0001.xyz").string()); }).find(".exr, .png"),
            std::string::npos);
  EXPECT_NE(error_of([&] {
              write_host_image(HostImage(2, 2), (folder / "nowhere/f.png").string());
            }).find("nowhere/f.png"),
            std::string::npos);
  EXPECT_FALSE(fs::exists(folder / "nowhere"));
  fs::remove_all(folder);
}

// --- frame files: metadata and output choices ------------------------------------

namespace {

// A 4x3 frame of distinct 16-bit samples, as the node hands it.
OIIO::ImageBuf test_frame() {
  HostImage image(4, 3);
  for (std::size_t i = 0; i < image.samples.size(); ++i) {
    image.samples[i] = static_cast<std::uint16_t>(i * 1237 + 91);
  }
  OIIO::ImageBuf frame;
  frame.copy(host_frame(image));
  return frame;
}

OIIO::ImageSpec header_of(const fs::path& path) {
  auto in = OIIO::ImageInput::open(path.string());
  return in ? in->spec() : OIIO::ImageSpec();
}

// Any attribute as text; "" when absent.
std::string attribute_text(const OIIO::ImageSpec& spec, const char* name) {
  const OIIO::ParamValue* p = spec.find_attribute(name);
  return p != nullptr ? p->get_string() : "";
}

}  // namespace

// A plate's metadata reaches the frames written over it, less what described
// the plate file's encoding, beside the shot's stamp; EXR keeps the windows.
TEST(FrameOutput, PlateMetadataSurvivesBesideTheShotsStamp) {
  const fs::path folder = fresh_folder("metadata");
  const std::string plate_path = (folder / "plate.exr").string();
  {
    OIIO::ImageSpec plate(4, 3, 4, OIIO::TypeDesc::HALF);
    plate.x = 2, plate.y = 1, plate.full_width = 8, plate.full_height = 6;
    const int fps[2] = {24, 1}, timecode[2] = {0x01000205, 0};
    plate.attribute("FramesPerSecond", OIIO::TypeRational, fps);
    plate.attribute("smpte:TimeCode", OIIO::TypeTimeCode, timecode);
    plate.attribute("show:take", "take 3");
    plate.attribute("compression", "dwaa");
    auto out = OIIO::ImageOutput::create(plate_path);
    ASSERT_TRUE(out->open(plate_path, plate));
    ASSERT_TRUE(out->write_image(OIIO::TypeDesc::UINT16, test_frame().localpixels()));
    out->close();
  }
  // The frame as the host hands it: the plate's spec over the node's samples.
  // (OpenImageIO reads no colour space from an EXR; colour management sets it.)
  OIIO::ImageBuf frame;
  ASSERT_TRUE(frame.copy(OIIO::ImageBuf(plate_path), OIIO::TypeDesc::UINT16));
  frame.specmod().attribute("oiio:ColorSpace", "ACEScg");
  frame.specmod().attribute("oiio:BitsPerSample", 10);  // as a 10-bit DPX plate says
  ASSERT_NE(attribute_text(frame.spec(), "openexr:dwaCompressionLevel"), "");
  const FrameStamp stamp{42, 1001, true, R"({"format": "brumel-node-settings"})"};
  for (const char* name : {"out.exr", "out.png"}) {
    write_frame(frame, (folder / name).string(), OutputOptions{}, stamp);
    const OIIO::ImageSpec out = header_of(folder / name);
    const bool exr = std::string(name) == "out.exr";
    EXPECT_EQ(out.get_string_attribute("show:take"), "take 3") << name;
    EXPECT_EQ(out.get_string_attribute("Software"), "brumel " BRUMEL_VERSION) << name;
    EXPECT_EQ(out.get_string_attribute("brumel:settings"), stamp.settings) << name;
    const StampedImage back = read_stamped_image((folder / name).string());
    EXPECT_EQ(back.settings, stamp.settings);
    EXPECT_EQ(back.frame, 42) << name;
    EXPECT_EQ(back.shot_start, 1001) << name;
    EXPECT_TRUE(back.preroll) << name;
    // EXR keeps the windows; other formats write the data window alone.
    EXPECT_EQ((std::array{out.x, out.y, out.full_width, out.full_height}),
              (exr ? std::array{2, 1, 8, 6} : std::array{0, 0, 4, 3}))
        << name;
    if (exr) {
      EXPECT_EQ(attribute_text(out, "FramesPerSecond"), "24/1");
      EXPECT_EQ(attribute_text(out, "smpte:TimeCode"), "01:00:02:05");
      // The plate file's encoding is not the output's.
      EXPECT_EQ(attribute_text(out, "compression"), "zip");
      EXPECT_EQ(attribute_text(out, "openexr:dwaCompressionLevel"), "");
      EXPECT_EQ(out.get_int_attribute("brumel:frame"), 42);
    } else {
      EXPECT_EQ(out.get_string_attribute("oiio:ColorSpace"), "ACEScg");
    }
  }
  write_frame(frame, (folder / "out.dpx").string(), OutputOptions{}, stamp);
  EXPECT_EQ(header_of(folder / "out.dpx").get_int_attribute("oiio:BitsPerSample"), 16);
  write_host_image(HostImage(2, 2), (folder / "plain.exr").string());
  EXPECT_NE(error_of([&] { read_stamped_image((folder / "plain.exr").string()); })
                .find("image \"" + (folder / "plain.exr").string() + "\" holds no brumel settings"),
            std::string::npos);
  fs::remove_all(folder);
}

TEST(OutputOptions, RefusalsNameTheOptionTheValueAndWhatTheFormatOffers) {
  const struct {
    const char* path;
    OutputOptions options;
    const char* message;
  } cases[]{
      {"f.tif", {"", "dwaa", 0},
       "--compression dwaa: the .tif output offers none, lzw, zip, packbits"},
      {"f.exr", {"", "lzw", 0},
       "--compression lzw: the .exr output offers none, rle, zip, zips, piz, pxr24, b44, b44a, "
       "dwaa, dwab"},
      {"f.exr", {"float", "b44", 0},
       "--compression b44: with --datatype float the .exr output offers none, rle, zip, zips, "
       "piz, pxr24, dwaa, dwab"},
      {"f.png", {"", "zip", 0}, "--compression zip: the .png output offers no choice"},
      {"f.dpx", {"", "none", 0}, "--compression none: the .dpx output offers no choice"},
      {"f.jpg", {"", "jpeg", 0}, "the .jpg output offers no choice of compression (its --quality"},
      {"f.exr", {"uint16", "", 0}, "--datatype uint16: the .exr output offers half, float"},
      {"f.png", {"float", "", 0}, "--datatype float: the .png output offers uint8, uint16"},
      {"f.tif", {"half", "", 0}, "--datatype half: the .tif output offers uint8, uint16, float"},
      {"f.dpx", {"half", "", 0}, "--datatype half: the .dpx output offers uint8, uint16, float"},
      {"f.jpg", {"uint16", "", 0}, "--datatype uint16: the .jpg output offers uint8"},
      {"f.bmp", {"uint8", "", 0}, "--datatype uint8: the .bmp output offers no choice of"},
      {"f.exr", {"", "", 90}, "--quality 90: the .exr output has no quality to set"},
  };
  for (const auto& c : cases) {
    EXPECT_NE(error_of([&] { check_output_options(c.options, c.path); }).find(c.message),
              std::string::npos)
        << c.message;
  }
}

TEST(OutputOptions, AcceptedChoicesGiveFilesOfThatTypeAndCompression) {
  const fs::path folder = fresh_folder("choices");
  const struct {
    const char* name;
    OutputOptions options;
    OIIO::TypeDesc type;
    const char* compression;  // as read back; "" for a format without the attribute
  } cases[]{
      {"default.exr", {}, OIIO::TypeDesc::HALF, "zip"},
      {"default.tif", {}, OIIO::TypeDesc::UINT16, "zip"},
      {"default.png", {}, OIIO::TypeDesc::UINT16, ""},
      {"default.dpx", {}, OIIO::TypeDesc::UINT16, ""},
      {"default.jpg", {}, OIIO::TypeDesc::UINT8, ""},
      {"float_piz.exr", {"float", "piz", 0}, OIIO::TypeDesc::FLOAT, "piz"},
      {"half_dwaa.exr", {"half", "dwaa", 0}, OIIO::TypeDesc::HALF, "dwaa"},
      {"b44.exr", {"", "b44", 0}, OIIO::TypeDesc::HALF, "b44"},
      {"uint8_lzw.tif", {"uint8", "lzw", 0}, OIIO::TypeDesc::UINT8, "lzw"},
      {"float_packbits.tif", {"float", "packbits", 0}, OIIO::TypeDesc::FLOAT, "packbits"},
      {"none.tif", {"", "none", 0}, OIIO::TypeDesc::UINT16, "none"},
      {"uint8.png", {"uint8", "", 0}, OIIO::TypeDesc::UINT8, ""},
      {"float.dpx", {"float", "", 0}, OIIO::TypeDesc::FLOAT, ""},
      {"q5.jpg", {"uint8", "", 5}, OIIO::TypeDesc::UINT8, ""},
  };
  const OIIO::ImageBuf frame = test_frame();
  for (const auto& c : cases) {
    const std::string path = (folder / c.name).string();
    check_output_options(c.options, path);
    write_frame(frame, path, c.options, FrameStamp{});
    const OIIO::ImageSpec spec = header_of(path);
    EXPECT_EQ(spec.format, c.type) << c.name;
    EXPECT_EQ(spec.get_string_attribute("compression"), c.compression) << c.name;
  }
  // The quality reaches the JPEG writer.
  EXPECT_LT(fs::file_size(folder / "q5.jpg"), fs::file_size(folder / "default.jpg"));
  fs::remove_all(folder);
}

TEST(FrameSources, EveryFrameIsCheckedBeforeRendering) {
  const fs::path folder = fresh_folder("sources");
  HostImage image(4, 2);
  for (int frame : {1, 2, 4}) {
    image.samples[0] = static_cast<std::uint16_t>(frame);
    write_host_image(image, (folder / ("p." + std::to_string(frame) + ".png")).string());
  }
  std::ofstream(folder / "junk.png") << "not an image";
  const std::string sequence = (folder / "p.%d.png").string();
  const std::string still = (folder / "p.4.png").string();

  FrameSources sources(sequence, still, ImageSize{9, 9});
  sources.check_frames(FrameRange{1, 2});
  EXPECT_EQ(sources.input(2).node_input.samples[0], 2);
  EXPECT_EQ(sources.input(1).node_input.samples[0], 1);
  EXPECT_EQ(sources.matte(1)->samples[0], 4);  // a still serves every frame
  EXPECT_EQ(sources.input_size(1), (ImageSize{4, 2}));
  const std::string missing = error_of([&] { sources.check_frames(FrameRange{1, 4}); });
  EXPECT_NE(missing.find("input frame 3: \"" + (folder / "p.3.png").string() + "\" does not exist"),
            std::string::npos)
      << missing;
  const std::string matte = error_of([&] {
    FrameSources(still, sequence, ImageSize{}).check_frames(FrameRange{2, 3});
  });
  EXPECT_NE(matte.find("matte frame 3"), std::string::npos) << matte;
  const std::string junk = error_of([&] {
    FrameSources((folder / "junk.png").string(), "", ImageSize{}).check_frames(FrameRange{1, 9});
  });
  EXPECT_NE(junk.find("junk.png"), std::string::npos);

  FrameSources none("", "", ImageSize{6, 3});
  EXPECT_EQ(none.input(7).node_input, default_background(6, 3));
  EXPECT_EQ(none.matte(7), nullptr);
  fs::remove_all(folder);
}

TEST(ShotStart, FirstFrameOnDiskInThePatternsOwnSpelling) {
  const fs::path folder = fresh_folder("on_disk");
  for (const char* name : {"p.1001.png", "p.1002.png", "p.999.png", "p.0998.tmp", "p.x.png",
                           "q.0005.png", "p.-0003.png.bak"}) {
    std::ofstream(folder / name) << "x";
  }
  const std::string base = folder.string() + "/";
  EXPECT_EQ(first_frame_on_disk(ImageSequence(base + "p.####.png")), 1001);  // not "999"
  EXPECT_EQ(first_frame_on_disk(ImageSequence(base + "p.%d.png")), 999);
  EXPECT_EQ(first_frame_on_disk(ImageSequence(base + "q.@@@@.png")), 5);
  EXPECT_EQ(first_frame_on_disk(ImageSequence(base + "r.####.png")), std::nullopt);
  EXPECT_EQ(first_frame_on_disk(ImageSequence(base + "p.1001.png")), std::nullopt);  // a still
  std::ofstream(folder / "p.-0003.png") << "x";
  EXPECT_EQ(first_frame_on_disk(ImageSequence(base + "p.####.png")), -3);
  EXPECT_EQ(default_shot_start(base + "p.####.png"), -3);
  EXPECT_EQ(default_shot_start(base + "r.####.png"), 1);
  EXPECT_EQ(default_shot_start(""), 1);
  fs::remove_all(folder);
}

TEST(RerunSafety, NeverOverAnInputOnlyWhatIsMissing) {
  const fs::path folder = fresh_folder("rerun");
  fs::create_directories(folder / "plate");
  std::ofstream(folder / "plate/p.0003.png") << "x";
  fs::create_directory_symlink(folder / "plate", folder / "link");
  const std::string base = folder.string() + "/";
  ShotOptions shot;
  shot.input = base + "plate/p.####.png";
  shot.matte = base + "matte.png";
  shot.shot_start = 1;
  const FrameList frames(FrameRange{2, 4});
  const struct {
    std::string output, message;  // "" when it may be written
  } cases[]{{base + "out/p.####.png", ""},
            {base + "plate/p.%04d.png", "over the input file"},
            {base + "link/../plate/p.####.png", "over the input file"},
            {base + "link/p.####.png", "over the input file"},
            {base + "plate/p.%03d.png", ""},
            {base + "matte.png", "over the matte file"}};
  for (const auto& c : cases) {
    auto check = [&] { refuse_writing_over_inputs(ImageSequence(c.output), frames, shot); };
    if (c.message.empty()) {
      EXPECT_NO_THROW(check()) << c.output;
    } else {
      EXPECT_NE(error_of(check).find(c.message), std::string::npos) << c.output;
    }
  }
  const ImageSequence plate(shot.input);
  EXPECT_EQ(frames_not_on_disk(plate, frames), FrameList(std::vector<int>{2, 4}));
  EXPECT_EQ(frames_not_on_disk(plate, FrameList(std::vector<int>{3})), std::nullopt);
  fs::remove_all(folder);
}

TEST(DefaultBackground, OpaqueDuskSkySameEveryTime) {
  const HostImage sky = default_background(64, 40);
  ASSERT_EQ(sky.samples.size(), 64u * 40u * 4u);
  EXPECT_EQ(sky, default_background(64, 40));
  for (std::size_t i = 3; i < sky.samples.size(); i += 4) ASSERT_EQ(sky.samples[i], 65535);
  auto at = [&](int y, int channel) { return sky.samples[(y * 64 + 10) * 4 + channel]; };
  EXPECT_GT(at(0, 2), at(0, 0));    // blue at the top
  EXPECT_GT(at(30, 0), at(30, 2));  // warm just above the horizon
  EXPECT_LT(at(39, 0), at(30, 0));  // dark ground below it
}

#else

TEST(AppUnits, NeedsTheApplication) { GTEST_SKIP() << "built without the brumel application"; }

#endif
