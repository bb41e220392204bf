// The application's pieces with logic, in-process: frame patterns, lists and sizes,
// widget names and settings applied to a node, the frame driver's catch-up and what
// it reads, the node's messages, the shot start, rerun safety, reading and writing
// frames.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#if defined(BRUMEL_HAVE_APP_CORE)

#include <OpenImageIO/imagebufalgo.h>
#include <OpenImageIO/imageio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <atomic>
#include <chrono>
#include <thread>
#include <tuple>

#include "app/app_error.h"
#include "app/colour/frame_compositing.h"
#include "app/colour/plate.h"
#include "app/embedding.h"
#include "app/shot/frame_driver.h"
#include "app/shot/frame_list.h"
#include "app/images/frame_file.h"
#include "app/shot/frame_range.h"
#include "app/shot/frame_sources.h"
#include "app/shot/frame_writer.h"
#include "app/images/image_io.h"
#include "app/images/pending_file.h"
#include "app/images/image_sequence.h"
#include "app/images/image_size.h"
#include "app/shot/node_messages.h"
#include "app/shot/output_files.h"
#include "app/images/sequence_on_disk.h"
#include "assim/services.h"
#include "embed/widget_glossary.h"
#include "tests/support/app_run.h"

namespace brumel {

using ::testing::HasSubstr;

namespace fs = std::filesystem;

// Table rows name only the request fields they set (designated initializers).
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

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
    Option("Demos: %s", "Drift,Contraints,Sunset", 0);
    Action("Restart"), Action("Restart+PreR"), Action("PreRoll");
    Numeric("PreRoll", 40, 1, 1000, 1, true);
    Option("Mode: %s", "Render,Wireframe", 1);
    Action("Restart");
    Option("Mode: %s", "Render,Wireframe", 1);
    quantity = Numeric("Quantity", 20, 0, 5000, 0.01, true);
    Color("Cloud Colour", 1, 1, 0, 1, true);
    Boolean("Use Wind", true, false);
    Label("Brumel"), Label("Forces");
  }
  bool notify_control_changed(CWidget* widget, int reason, double time) override {
    notices.push_back({widget->name(), reason, time, quantity->value});
    return FXNode::notify_control_changed(widget, reason, time);
  }
  int mode() { return static_cast<COption*>(control(5))->value; }
  std::vector<Notice> notices;
  CNumeric* quantity;
};

}  // namespace

// --- frame patterns, lists and sizes -----------------------------------------

TEST(ImageSequence, PatternsGiveFramePathsOrAreRefused) {
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
  EXPECT_FALSE(ImageSequence("plates/still 50%%.png").is_sequence());
  const std::pair<const char*, const char*> refused[]{{"a.##.b.##.png", "more than one"},
                                                      {"a.##@@.png", "more than one"},
                                                      {"a.%04d.%d.png", "more than one"},
                                                      {"a.%4d.png", "%0Nd"},
                                                      {"a%.png", "a%.png"}};
  for (const auto& [pattern, message] : refused) {
    EXPECT_THAT(error_of([&] { ImageSequence{pattern}; }), HasSubstr(message)) << pattern;
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
      {"1-8x3", {1, 4, 7}, "1-7x3"},
      {"1,5,10-12", {1, 5, 10, 11, 12}, "1,5,10-12"},
      {"12,3-4,4", {3, 4, 12}, "3-4,12"},
      {"-3--1", {-3, -2, -1}, "-3--1"},
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
      {"", "is not FRAME"},      {"1-", "is not FRAME"},  {"1,,2", "is not FRAME"},
      {"1-10x", "is not FRAME"}, {"5x2", "is not FRAME"}, {"1 - 2", "is not FRAME"},
      {"1-10x0", "step"},        {"9-3", "comes before"}, {"1-99999999999", "is not FRAME"},
      {"1-2000000", "more than"}};
  for (const auto& [text, message] : refused) {
    const std::string error = error_of([&] { parse_frame_list(text); });
    EXPECT_THAT(error, HasSubstr("bad frame list \"" + std::string(text) + "\""));
    EXPECT_THAT(error, HasSubstr(message));
  }
}

TEST(FrameRangeAndSize, ParseOrRefuse) {
  EXPECT_EQ(parse_frame_range("-10--1"), (FrameRange{-10, -1}));
  EXPECT_EQ(parse_frame_range("37"), (FrameRange{37, 37}));
  EXPECT_EQ(parse_image_size("1920X1080"), (ImageSize{1920, 1080}));
  for (const char* text : {"", "1-", "1-2x", "1 - 2", "1-99999999999", "5-2"}) {
    EXPECT_THAT(error_of([&] { parse_frame_range(text); }), HasSubstr("bad frame range")) << text;
  }
  for (const char* text : {"", "160", "0x90", "x90", "160x90x2", "-1x5", "20000x10"}) {
    EXPECT_THAT(error_of([&] { parse_image_size(text); }), HasSubstr("bad size")) << text;
  }
}

// --- widgets and settings -------------------------------------------------------

TEST(WidgetLookup, RepeatedNamesMeanTheFirstWidgetThatTakesAValue) {
  PanelNode node;
  const std::pair<const char*, int> found[]{
      {"PreRoll", 4}, {"Mode: %s", 5}, {"mode", 5}, {"quantity", 8}, {"#7", 7}};
  for (const auto& [name, index] : found)
    EXPECT_EQ(find_value_widget(node, name).index(), index) << name;
  EXPECT_EQ(find_button(node, "Restart+PreR").index(), 2);
  const std::pair<const char*, const char*> refused[]{
      {"Restart", "is a button"},
      {"Forces", "page label"},
      {"#1", "is a button"},
      {"#99", "#0 to #12"},
      {"#x", "bad widget index"},
      {"Cloud Color", "unknown widget \"Cloud Color\" (did you mean \"Cloud Colour\"?)"},
      {"Mod: %s", "(did you mean \"Mode: %s\", \"Demos: %s\"?)"}};  // closest first, each once
  for (const auto& [name, message] : refused) {
    EXPECT_THAT(error_of([&] { find_value_widget(node, name); }), HasSubstr(message)) << name;
  }
}

// The node's cut names by their full spelling, any case, wherever a widget is
// named; a name that is neither is still refused with the closest names.
TEST(WidgetLookup, FullSpellingsFindTheNodesCutNames) {
  const NodeModule module(BRUMEL_MODULE_PATH);
  NodePtr node = module.create();
  const std::pair<const char*, int> found[]{{"Swirl Density", 47},   {"SWIRL DENSIT", 47},
                                            {"use birth matte", 29}, {"Light Colour", 59},
                                            {"Pre-roll Steps", 4},   {"Fade In Life", 75}};
  for (const auto& [name, index] : found)
    EXPECT_EQ(find_value_widget(*node, name).index(), index) << name;
  EXPECT_EQ(find_button(*node, "restart+preroll").index(), 2);
  EXPECT_THAT(error_of([&] { find_value_widget(*node, "Swirl Densty"); }),
              HasSubstr("unknown widget \"Swirl Densty\" (did you mean \"Swirl Densit\""));
  EXPECT_THAT(error_of([&] { find_value_widget(*node, "Restart+PreRoll"); }),
              HasSubstr("\"Restart+PreR\" is a button"));
  // Every widget has its meaning.
  for (int i = 0; i < node->num_controls(); ++i) {
    const brumel::WidgetGloss* gloss = brumel::gloss_of(*node->control(i));
    ASSERT_NE(gloss, nullptr) << i;
    EXPECT_GT(std::string(gloss->meaning).size(), 10u) << i;
  }
}

TEST(Settings, ApplyInOrderAndNotifyAsAHostWould) {
  PanelNode node;
  apply_settings(node,
                 {.demo = "sunset",
                  .sets = {"Quantity=7", "Quantity = 8", "PreRoll=100", "Use Wind=off"},
                  .mode = "render",
                  .keys = {"Quantity=1:10,5:20", "Cloud Colour=1:1,0,0,1, 9:0,0,1,1"},
                  .preroll = true},
                 11.0);
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
  EXPECT_EQ(node.mode(), 0);
  EXPECT_EQ(node.quantity->keys, (std::map<double, double>{{1.0, 10.0}, {5.0, 20.0}}));
  EXPECT_EQ(static_cast<CColor*>(node.control(9))->keys.size(), 2u);
}

using SettingsDocuments = TestFolder;

// A document that lists `widgets` (by index or by name) over the node's own header.
std::string write_document(const std::string& path, const nlohmann::json& widgets) {
  save_settings(PanelNode(), path);
  nlohmann::json doc = nlohmann::json::parse(read_text(path));
  doc["widgets"] = widgets;
  std::ofstream(path, std::ios::trunc) << doc.dump();
  return path;
}

// The command renders in Render mode unless a --set, --mode or a document that
// lists the mode gives one; a document may list only the widgets it changes, by
// index or by name, an option by its caption; later steps override it.
TEST_F(SettingsDocuments, GiveTheirValuesAndTheModeOnlyWhenTheyListIt) {
  save_settings(PanelNode(), at("complete.json"));  // the node's own mode: Wireframe
  const nlohmann::json quantity_3 = {{{"index", 8}, {"value", 3}}};  // no mode listed
  const nlohmann::json by_name = {{{"name", "quantity"}, {"value", 7}},
                                  {{"index", 5}, {"value", "WIREFRAME"}}};
  const struct {
    SettingsRequest request;
    nlohmann::json widgets;  // a document listing these; null for none
    int mode;                // 0 Render, 1 Wireframe
    double quantity;
  } cases[]{{{}, {}, 0, 20},
            {{.sets = {"Mode=Wireframe"}}, {}, 1, 20},
            {{.sets = {"Mode: %s=1"}}, {}, 1, 20},
            {{.sets = {"#7=0", "#5=Wireframe"}}, {}, 1, 20},
            {{.load_file = at("complete.json")}, {}, 1, 20},
            {{.load_file = at("complete.json"), .mode = "render"}, {}, 0, 20},
            {{}, quantity_3, 0, 3},
            {{.sets = {"Quantity=9"}}, quantity_3, 0, 9},
            {{}, by_name, 1, 7}};
  for (auto [request, widgets, mode, quantity] : cases) {
    if (!widgets.is_null()) request.load_file = write_document(at("partial.json"), widgets);
    request.default_mode = "render";
    PanelNode node;
    apply_settings(node, request, 1.0);
    EXPECT_EQ(node.mode(), mode) << widgets << request.load_file << " " << request.mode;
    EXPECT_EQ(node.quantity->value, quantity) << widgets;
  }
}

// Each refusal names the problem and leaves the node as it was; a document is held
// to what --set accepts, keys included, naming the file, widget, value and range.
TEST_F(SettingsDocuments, RefusalsNameTheProblemAndKeepTheNodeAsItWas) {
  const struct {
    SettingsRequest request;
    nlohmann::json widgets;  // a document listing these; null for none
    std::string message;
  } cases[]{
      {{.load_file = at("none.json")}, {}, "none.json"},
      {{.demo = "Storm"}, {}, "Drift, Contraints, Sunset"},
      {{.sets = {"Quantity"}}, {}, "Widget Name=VALUE"},
      {{.mode = "solid"}, {}, "render or wireframe"},
      {{.keys = {"Quantity=1:5, x:2"}}, {}, "bad keyframes"},
      {{},
       {{{"index", 8}, {"value", 1e6}}},
       "widget 8 \"Quantity\", value: 1e+06 is outside 0 to 5000"},
      {{},
       {{{"index", 8}, {"keys", {{1.0, 5.0}, {4.0, -1.0}}}}},
       "key at 4: -1 is outside 0 to 5000"},
      {{},
       {{{"index", 5}, {"value", 99}}},
       "\"Mode: %s\", value: \"99\" is not one of Render, Wireframe"},
      {{}, {{{"index", 9}, {"value", {1, 2, 0, 1}}}}, "value: \"1,2,0,1\": 2 is outside 0 to 1"},
      {{}, {{{"name", "Quantiy"}, {"value", 7}}}, "unknown widget \"Quantiy\""}};
  for (auto [request, widgets, expected] : cases) {
    if (!widgets.is_null()) request.load_file = write_document(at("s.json"), widgets);
    PanelNode node;
    const std::string message = error_of([&] { apply_settings(node, request, 1.0); });
    EXPECT_THAT(message, HasSubstr(expected));
    if (!widgets.is_null()) {
      EXPECT_EQ(message.rfind("--load: settings document \"" + at("s.json") + "\": ", 0), 0u);
    }
    EXPECT_EQ(node.quantity->value, 20.0) << message;
    EXPECT_TRUE(node.quantity->keys.empty()) << message;
  }
}

// --- frame driver ----------------------------------------------------------------

namespace {

// Records each frame: its time and the catch-up hint; what it sees of the input
// and the matte (their sample 1, -1 for no matte); marks the drawn outputs.
class RecordingNode : public FXNode {
 public:
  int process_image(double time, _image_str** inputs, _image_str* output) override {
    calls.push_back(std::to_string(static_cast<int>(time)) + (host_catch_up() ? "c " : "d ") +
                    std::to_string(inputs[0]->data[1]) + " " +
                    (inputs[1] != nullptr ? std::to_string(inputs[1]->data[1]) : "-"));
    if (refuse) {
      msgwarn("QXAPI plugin: process_image() called with no valid input images.");
      return 0;
    }
    if (!host_catch_up()) output->data[0] = static_cast<std::uint16_t>(time);
    return 1;
  }
  // Each frame's time, "c" caught up or "d" drawn, the sample marking the input
  // and the one marking the matte ("-" for none).
  std::vector<std::string> calls;
  bool refuse = false;
};

}  // namespace

using FrameDriverReads = TestFolder;

// Frames between listed ones are caught up in order, drawing nothing, and read only
// what the birth matte needs: the matte when there is one, else the input itself,
// when the birth matte is on at any frame. Frames not read see a blank stand-in.
TEST_F(FrameDriverReads, CatchUpFramesReadOnlyWhatTheBirthMatteNeeds) {
  HostImage plate(8, 4);
  for (int frame = 1; frame <= 4; ++frame) {
    plate.samples[1] = static_cast<std::uint16_t>(100 + frame);
    write_host_image(plate, at("p." + std::to_string(frame) + ".png"));
  }
  const struct {
    bool with_matte, birth_matte;
    std::vector<std::string> calls;
  } cases[]{
      {false, false, {"1c 0 -", "2d 102 -", "3c 0 -", "4d 104 -"}},
      {true, false, {"1c 0 0", "2d 102 102", "3c 0 0", "4d 104 104"}},
      {false, true, {"1c 101 -", "2d 102 -", "3c 103 -", "4d 104 -"}},
      {true, true, {"1c 0 101", "2d 102 102", "3c 0 103", "4d 104 104"}},
  };
  for (const auto& c : cases) {
    RecordingNode node;
    node.Boolean("Use Birth Ma", false, false)->keys[3.0] = c.birth_matte;  // keyed on later
    FrameSources sources(at("p.%d.png"), c.with_matte ? at("p.%d.png") : "", ImageSize{8, 4});
    FrameDriver driver(node, sources, ImageSize{8, 4}, 4);
    driver.set_catch_up_reads(catch_up_reads(node, sources.has_matte()));
    std::vector<int> caught_up, drawn;
    driver.play(
        1, FrameList(std::vector<int>{2, 4}), [&](int frame) { caught_up.push_back(frame); },
        [&](int frame, const HostImage& image) {
          drawn.push_back(frame);
          EXPECT_EQ(image.samples[0], frame);
        });
    EXPECT_EQ(caught_up, (std::vector<int>{1, 3}));
    EXPECT_EQ(drawn, (std::vector<int>{2, 4}));
    EXPECT_EQ(node.calls, c.calls) << c.with_matte << c.birth_matte;
    EXPECT_FALSE(node.host_catch_up());
  }
}

TEST(FrameDriver, RefusedFrameIsAnErrorWithTheNodesWarning) {
  RecordingNode node;
  node.refuse = true;
  FrameSources sources("", "", ImageSize{4, 4});
  FrameDriver driver(node, sources, ImageSize{4, 4}, 1, 1.0, 3);  // the shot starts at 3
  std::vector<int> processed;  // what the node wrote is still reported
  driver.set_after_process([&](int frame) { processed.push_back(frame); });
  const std::string message = error_of([&] { driver.process(3, false); });
  EXPECT_EQ(processed, std::vector<int>{3});
  EXPECT_THAT(
      message,
      HasSubstr("the node refused frame 3: QXAPI plugin: process_image() called with no valid"));
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
  struct stat before = {}, after = {};
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

// A 4x3 frame of distinct 16-bit samples, as the node hands it.
OIIO::ImageBuf test_frame() {
  HostImage image(4, 3);
  for (std::size_t i = 0; i < image.samples.size(); ++i)
    image.samples[i] = static_cast<std::uint16_t>(i * 1237 + 91);
  OIIO::ImageBuf frame;
  frame.copy(host_frame(image));
  return frame;
}

OIIO::ImageSpec header_of(const std::string& path) {
  auto in = OIIO::ImageInput::open(path);
  return in ? in->spec() : OIIO::ImageSpec();
}

// Any attribute as text; "" when absent.
std::string text_of(const OIIO::ImageSpec& spec, const char* name) {
  const OIIO::ParamValue* p = spec.find_attribute(name);
  return p != nullptr ? p->get_string() : "";
}

}  // namespace

using FrameWriting = TestFolder;

// Frames are renamed into place and reported in the order they came, among the other
// events in the order a render that writes each frame before drawing the next tells
// them, whichever encode ends first; at most `in_flight` encode at once. A failed write
// surfaces at the next submit or finish, after what came before it; nothing after it
// is told or reaches its name, and no temporary file is left.
TEST_F(FrameWriting, InOrderAndNothingAfterTheFirstFailure) {
  std::vector<std::string> told;
  std::atomic<int> encoding = 0, most = 0;
  FrameWriter writer(
      [&](int frame, const OIIO::ImageBuf& image, const std::string& path) {
        most = std::max(most.load(), ++encoding);
        std::this_thread::sleep_for(std::chrono::milliseconds(30 / frame));  // earlier ends later
        --encoding;
        if (frame == 5) throw AppError("disk full");
        auto file = std::make_unique<PendingFile>(path);
        const std::string text = std::to_string(std::lround(image.getchannel(0, 0, 0, 0) * 8));
        file->write(text.data(), text.size());
        return file;
      },
      [&](int frame, const std::string&) { told.push_back("wrote " + std::to_string(frame)); }, 2);
  OIIO::ImageBuf image(OIIO::ImageSpec(1, 1, 1, OIIO::TypeDesc::UINT8));
  auto tell = [&](const std::string& event, bool after_writes) {
    writer.tell([&told, event] { told.push_back(event); }, after_writes);
  };
  auto draw = [&](int frame) {
    tell("node " + std::to_string(frame), false);
    OIIO::ImageBufAlgo::fill(image, {frame / 8.0f});
    writer.submit(frame, image, at("f" + std::to_string(frame)));
  };
  for (int frame = 1; frame <= 3; ++frame) draw(frame);
  tell("node 4", false);
  tell("caught up 4", true);
  draw(5);
  EXPECT_THROW(
      {
        draw(6);
        writer.finish();
      },
      AppError);
  EXPECT_EQ(told, (std::vector<std::string>{"node 1", "node 2", "wrote 1", "node 3", "wrote 2",
                                            "node 4", "wrote 3", "caught up 4", "node 5", "node 6"}));
  EXPECT_EQ(files_under(work_), (std::set<std::string>{"f1", "f2", "f3"}));
  EXPECT_EQ(file("f3"), "3");
  EXPECT_LE(most.load(), 2);
  writer.finish();  // the failure was told once
}

using ImageIO = TestFolder;

// Any channel count and bit depth becomes 16-bit RGBA, 16-bit samples exactly, over
// the display window.
TEST_F(ImageIO, AnyChannelCountBecomesSixteenBitRgba) {
  const float odd = 12345.0f / 65535.0f;
  const struct {
    const char* name;
    OIIO::TypeDesc type;
    std::vector<float> pixel;
    std::array<std::uint16_t, 4> read;
  } cases[]{
      {"grey.png", OIIO::TypeDesc::UINT8, {1.0f}, {65535, 65535, 65535, 65535}},
      {"grey_alpha.tif", OIIO::TypeDesc::UINT16, {0.5f, 0.25f}, {32768, 32768, 32768, 16384}},
      {"rgb.png", OIIO::TypeDesc::UINT8, {1.0f, 0.0f, 0.2f}, {65535, 0, 13107, 65535}},
      {"rgb.dpx", OIIO::TypeDesc::UINT16, {odd, 1.0f / 65535, 1.0f}, {12345, 1, 65535, 65535}},
      // Alpha stays as stored: colour is not premultiplied on reading.
      {"rgba.png", OIIO::TypeDesc::UINT16, {0.0f, 1.0f, odd, 0.5f}, {0, 65535, 12345, 32768}},
      {"hdr.exr", OIIO::TypeDesc::FLOAT, {2.0f, -1.0f, 0.5f, 1.0f}, {65535, 0, 32768, 65535}},
  };
  for (const auto& c : cases) {
    OIIO::ImageSpec spec(2, 1, static_cast<int>(c.pixel.size()), c.type);
    spec.attribute("oiio:UnassociatedAlpha", 1);
    OIIO::ImageBuf written(spec);
    OIIO::ImageBufAlgo::fill(written, c.pixel);
    ASSERT_TRUE(written.write(at(c.name))) << written.geterror();
    const HostImage image = read_host_image(at(c.name));
    EXPECT_EQ((std::array{image.samples[4], image.samples[5], image.samples[6], image.samples[7]}),
              c.read)
        << c.name;
  }
  // A data window inside the display window lands in its place, over transparent black.
  OIIO::ImageSpec window(2, 1, 1, OIIO::TypeDesc::HALF);
  window.x = window.y = 1, window.full_width = 3, window.full_height = 2;
  OIIO::ImageBuf plate(window);
  OIIO::ImageBufAlgo::fill(plate, {1.0f});
  ASSERT_TRUE(plate.write(at("window.exr")));
  std::vector<std::uint16_t> placed(3 * 2 * 4, 0);
  std::fill(placed.begin() + 16, placed.end(), 65535);  // (1, 1) and (2, 1)
  EXPECT_EQ(read_host_image(at("window.exr")).samples, placed);
  EXPECT_THAT(error_of([&] { prepare_output(at("f.0001.xyz")); }), HasSubstr("(use .exr, .png"));
}

using FrameOutput = TestFolder;

// A plate's metadata reaches the frames written over it, less what described
// the plate file's encoding, beside the shot's stamp; EXR keeps the windows.
TEST_F(FrameOutput, PlateMetadataSurvivesBesideTheShotsStamp) {
  {
    OIIO::ImageSpec plate(4, 3, 4, OIIO::TypeDesc::HALF);
    plate.x = 2, plate.y = 1, plate.full_width = 8, plate.full_height = 6;
    const int fps[2] = {24, 1}, timecode[2] = {0x01000205, 0};
    plate.attribute("FramesPerSecond", OIIO::TypeRational, fps);
    plate.attribute("smpte:TimeCode", OIIO::TypeTimeCode, timecode);
    plate.attribute("show:take", "take 3");
    plate.attribute("compression", "dwaa");
    ASSERT_TRUE(OIIO::ImageBuf(plate).write(at("plate.exr")));
  }
  // The frame as the host hands it: the plate's spec over the node's samples.
  // (OpenImageIO reads no colour space from an EXR; colour management sets it.)
  OIIO::ImageBuf frame;
  ASSERT_TRUE(frame.copy(OIIO::ImageBuf(at("plate.exr")), OIIO::TypeDesc::UINT16));
  frame.specmod().attribute("oiio:ColorSpace", "ACEScg");
  frame.specmod().attribute("oiio:BitsPerSample", 10);  // as a 10-bit DPX plate says
  ASSERT_NE(text_of(frame.spec(), "openexr:dwaCompressionLevel"), "");
  const FrameStamp stamp{42, 1001, true, R"({"format": "brumel-node-settings"})"};
  for (const std::string name : {"out.exr", "out.png"}) {
    write_frame(frame, at(name), OutputOptions{}, stamp);
    const OIIO::ImageSpec out = header_of(at(name));
    const bool exr = name == "out.exr";
    EXPECT_EQ(out.get_string_attribute("show:take"), "take 3") << name;
    EXPECT_EQ(out.get_string_attribute("Software"), "brumel " BRUMEL_VERSION) << name;
    const StampedImage back = read_stamped_image(at(name));
    EXPECT_EQ(back.settings, stamp.settings) << name;
    EXPECT_EQ(std::tuple(back.frame, back.shot_start, back.preroll), std::tuple(42, 1001, true))
        << name;
    // EXR keeps the windows; other formats write the data window alone.
    EXPECT_EQ((std::array{out.x, out.y, out.full_width, out.full_height}),
              (exr ? std::array{2, 1, 8, 6} : std::array{0, 0, 4, 3}))
        << name;
    if (exr) {
      EXPECT_EQ(text_of(out, "FramesPerSecond"), "24/1");
      EXPECT_EQ(text_of(out, "smpte:TimeCode"), "01:00:02:05");
      // The plate file's encoding is not the output's.
      EXPECT_EQ(out.get_string_attribute("compression"), "zip");
      EXPECT_EQ(text_of(out, "openexr:dwaCompressionLevel"), "");
    } else {
      EXPECT_EQ(out.get_string_attribute("oiio:ColorSpace"), "ACEScg");
    }
  }
  write_frame(frame, at("out.dpx"), OutputOptions{}, stamp);
  EXPECT_EQ(header_of(at("out.dpx")).get_int_attribute("oiio:BitsPerSample"), 16);
}

TEST(OutputOptions, RefusalsNameTheOptionTheValueAndWhatTheFormatOffers) {
  const struct {
    const char* path;
    OutputOptions options;
    const char* message;
  } cases[]{
      {"f.tif",
       {"", "dwaa", 0},
       "--compression dwaa: the .tif output offers none, lzw, zip, packbits"},
      {"f.exr",
       {"", "lzw", 0},
       "--compression lzw: the .exr output offers none, rle, zip, zips, piz, pxr24, b44, b44a, "
       "dwaa, dwab"},
      {"f.exr",
       {"float", "b44", 0},
       "--compression b44: with --datatype float the .exr output offers none, rle, zip, zips, "
       "piz, pxr24, dwaa, dwab"},
      {"f.png", {"", "lzw", 0},
       "--compression lzw: the .png output offers zip (zip also takes a level: zip:1, fastest, "
       "to zip:9, smallest)"},
      {"f.exr", {"", "zip:0", 0}, "--compression zip:0: the .exr output offers none, rle, zip,"},
      {"f.exr", {"", "piz:5", 0}, "(zip and zips also take a level: zip:1, fastest, to zip:9"},
      {"f.tif", {"", "zip:5", 0}, "--compression zip:5: the .tif output offers none, lzw, zip, packbits"},
      {"f.jpg", {"", "jpeg", 0}, "the .jpg output offers no choice of compression (its --quality"},
      {"f.exr", {"uint16", "", 0}, "--datatype uint16: the .exr output offers half, float"},
      {"f.png", {"float", "", 0}, "--datatype float: the .png output offers uint8, uint16"},
      {"f.tif", {"half", "", 0}, "--datatype half: the .tif output offers uint8, uint16, float"},
      {"f.jpg", {"uint16", "", 0}, "--datatype uint16: the .jpg output offers uint8"},
      {"f.bmp", {"uint8", "", 0}, "--datatype uint8: the .bmp output offers no choice of"},
      {"f.exr", {"", "", 90}, "--quality 90: the .exr output has no quality to set"},
  };
  for (const auto& c : cases) {
    EXPECT_THAT(error_of([&] { check_output_options(c.options, c.path); }), HasSubstr(c.message))
        << c.message;
  }
}

TEST_F(FrameOutput, AcceptedChoicesGiveFilesOfThatTypeAndCompression) {
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
      {"uint8_lzw.tif", {"uint8", "lzw", 0}, OIIO::TypeDesc::UINT8, "lzw"},
      {"float_packbits.tif", {"float", "packbits", 0}, OIIO::TypeDesc::FLOAT, "packbits"},
      {"uint8.png", {"uint8", "", 0}, OIIO::TypeDesc::UINT8, ""},
      {"float.dpx", {"float", "", 0}, OIIO::TypeDesc::FLOAT, ""},
      {"q5.jpg", {"uint8", "", 5}, OIIO::TypeDesc::UINT8, ""},
      {"zip1.png", {"", "zip:1", 0}, OIIO::TypeDesc::UINT16, ""},
      {"zips9.exr", {"", "zips:9", 0}, OIIO::TypeDesc::HALF, "zips"},
  };
  const OIIO::ImageBuf frame = test_frame();
  for (const auto& c : cases) {
    check_output_options(c.options, at(c.name));
    write_frame(frame, at(c.name), c.options, FrameStamp{});
    const OIIO::ImageSpec spec = header_of(at(c.name));
    EXPECT_EQ(spec.format, c.type) << c.name;
    EXPECT_EQ(spec.get_string_attribute("compression"), c.compression) << c.name;
  }
  // The quality reaches the JPEG writer.
  EXPECT_LT(fs::file_size(at("q5.jpg")), fs::file_size(at("default.jpg")));
}

// The zlib level reaches both writers (the fastest, a larger file), and a 16-bit frame
// written as half, or converted to scene-linear through the table of every sample,
// holds for every 16-bit sample what the image library's own conversion of the whole
// frame makes of it.
TEST_F(FrameOutput, LevelsReachTheWritersAndConversionsAreTheLibrarys) {
  HostImage image(256, 256);  // each channel holds every 16-bit value once, shuffled
  for (std::size_t i = 0; i < image.samples.size(); ++i) {
    image.samples[i] = static_cast<std::uint16_t>((i / 4) * 7919 + (i % 4) * 12345);
  }
  const OIIO::ImageBuf frame = host_frame(image);
  for (const char* ext : {".png", ".exr"}) {
    for (const char* level : {"zip:1", "zip:9"}) {
      write_frame(frame, at(std::string(level).substr(4) + ext), {"", level, 0}, FrameStamp{});
    }
    EXPECT_GT(fs::file_size(at(std::string("1") + ext)), fs::file_size(at(std::string("9") + ext))) << ext;
  }
  write_frame(frame, at("half.exr"), {}, FrameStamp{});
  ASSERT_TRUE(frame.write(at("library.exr"), OIIO::TypeDesc::HALF));
  auto halves = [&](const std::string& name) {
    std::vector<std::uint16_t> bits(image.samples.size());
    auto in = OIIO::ImageInput::open(at(name));
    EXPECT_TRUE(in && in->read_image(0, 0, 0, 4, OIIO::TypeDesc::HALF, bits.data())) << name;
    return bits;
  };
  EXPECT_EQ(halves("half.exr"), halves("library.exr"));

  const ColourSpaces colours;
  const OIIO::ImageBuf linear =
      output_frame(image, frame_plate(image), false, colours.scene_linear(), colours);
  const OIIO::ImageBuf whole = OIIO::ImageBufAlgo::colorconvert(
      frame.copy(OIIO::TypeDesc::FLOAT), colours.node_space(), colours.scene_linear(), false, "", "",
      &colours.config());
  ASSERT_EQ(linear.spec().format, OIIO::TypeDesc::FLOAT);
  EXPECT_EQ(std::memcmp(linear.localpixels(), whole.localpixels(), image.samples.size() * sizeof(float)), 0);
}

using ShotFiles = TestFolder;

// Every matte frame is checked before rendering, as every input frame is (the
// program's damaged-plate runs hold those); a still serves every frame.
TEST_F(ShotFiles, FrameSourcesCheckEveryFrameBeforeRendering) {
  HostImage image(4, 2);
  for (int frame : {1, 2, 4}) {
    image.samples[0] = static_cast<std::uint16_t>(frame);
    write_host_image(image, at("p." + std::to_string(frame) + ".png"));
  }
  FrameSources sources(at("p.%d.png"), at("p.4.png"), ImageSize{9, 9});
  sources.check_frames(FrameRange{1, 2});
  EXPECT_EQ(sources.input(2).node_input.samples[0], 2);
  EXPECT_EQ(sources.matte(1)->samples[0], 4);
  EXPECT_EQ(sources.input_size(1), (ImageSize{4, 2}));
  EXPECT_THAT(
      error_of([&] {
        FrameSources(at("p.4.png"), at("p.%d.png"), ImageSize{}).check_frames(FrameRange{2, 3});
      }),
      HasSubstr("matte frame 3"));
  EXPECT_EQ(FrameSources("", "", ImageSize{6, 3}).input(7).node_input, default_background(6, 3));
}

TEST_F(ShotFiles, StartsAtTheFirstFrameOnDiskInThePatternsOwnSpelling) {
  for (const char* name : {"p.1001.png", "p.1002.png", "p.999.png", "p.0998.tmp", "p.x.png",
                           "q.0005.png", "p.-0003.png.bak"}) {
    std::ofstream(at(name)) << "x";
  }
  EXPECT_EQ(first_frame_on_disk(ImageSequence(at("p.####.png"))), 1001);  // not "999"
  EXPECT_EQ(frames_on_disk(ImageSequence(at("p.####.png"))), (std::vector<int>{1001, 1002}));
  EXPECT_EQ(first_frame_on_disk(ImageSequence(at("p.%d.png"))), 999);
  EXPECT_EQ(first_frame_on_disk(ImageSequence(at("q.@@@@.png"))), 5);
  EXPECT_EQ(first_frame_on_disk(ImageSequence(at("p.1001.png"))), std::nullopt);  // a still
  std::ofstream(at("p.-0003.png")) << "x";
  EXPECT_EQ(default_shot_start(at("p.####.png")), -3);
  EXPECT_EQ(default_shot_start(at("r.####.png")), 1);
  EXPECT_EQ(default_shot_start(""), 1);
}

TEST_F(ShotFiles, OutputsNeverGoOverAnInputOrMatteFile) {
  fs::create_directories(work_ / "plate");
  std::ofstream(at("plate/p.0003.png")) << "x";
  fs::create_directory_symlink(work_ / "plate", work_ / "link");
  ShotOptions shot;
  shot.input = at("plate/p.####.png");
  shot.matte = at("matte.png");
  shot.shot_start = 1;
  const FrameList frames(FrameRange{2, 4});
  const std::pair<std::string, std::string> cases[]{
      // output, what it refuses ("" for none)
      {"out/p.####.png", ""},
      {"plate/p.%04d.png", "over the input file"},
      {"link/../plate/p.####.png", "over the input file"},
      {"link/p.####.png", "over the input file"},
      {"plate/p.%03d.png", ""},
      {"matte.png", "over the matte file"}};
  for (const auto& [output, message] : cases) {
    auto check = [&] { refuse_writing_over_inputs(ImageSequence(at(output)), frames, shot); };
    if (message.empty()) {
      EXPECT_NO_THROW(check()) << output;
    } else {
      EXPECT_THAT(error_of(check), HasSubstr(message)) << output;
    }
  }
}

TEST(DefaultBackground, OpaqueDuskSky) {
  const HostImage sky = default_background(64, 40);
  for (std::size_t i = 3; i < sky.samples.size(); i += 4) ASSERT_EQ(sky.samples[i], 65535);
  auto at = [&](int y, int channel) { return sky.samples[(y * 64 + 10) * 4 + channel]; };
  EXPECT_GT(at(0, 2), at(0, 0));    // blue at the top
  EXPECT_GT(at(30, 0), at(30, 2));  // warm just above the horizon
  EXPECT_LT(at(39, 0), at(30, 0));  // dark ground below it
}

}  // namespace brumel

#endif
