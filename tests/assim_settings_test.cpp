#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

#include "assim/fx_node.h"

namespace {

struct SavedNode : FXNode {
  SavedNode() {
    std::strcpy(node_uuid, "0c6f2d1e-test-node");
    set_name("Test.Saved");
    Label("Page");
    amount = Numeric("Amount", 0.1, -1, 1, 0.01, true);
    flag = Boolean("Flag", false, false);
    choice = Option("Choice: %s", "One,Two,Three", 2);
    tint = Color("Tint", 1, 0.5, 0.25, 1, true);
    Action("Go");
  }
  CNumeric* amount;
  CBoolean* flag;
  COption* choice;
  CColor* tint;
};

// Everything reg_load may change, for comparing nodes bit for bit.
std::string state_of(const SavedNode& n) {
  RegV saved;
  n.reg_save(saved);
  return saved.dump();
}

// Values and keys that a text round trip could round: thirds, sevenths, 1e-300, an
// entry the list lacks (a node may store one; it must survive a save).
void animate(SavedNode& n) {
  *n.amount = -0.125;
  n.amount->keys = {{0.1, 0.1}, {-3.0, 1.0 / 3.0}, {1e-300, -0.125}};
  *n.flag = 1;
  n.flag->keys = {{2.0, true}, {7.5, false}};
  *n.choice = -1L;
  n.choice->keys = {{0.0, 0}, {4.0, 2}};
  const double rgba[4] = {0.1, 0.2, 0.7, 0.3};
  n.tint->set_value(rgba);
  n.tint->keys = {{1.0, {0.1, 0.2, 0.3, 1.0 / 7.0}}};
}

// The document's header and one entry per widget, in order, buttons and labels
// without a value; loading replaces the keys the document lacks.
TEST(AssimSettings, SavedDocumentListsEveryWidgetAndLoadingReplacesKeys) {
  SavedNode plain, node;
  RegV saved;
  plain.reg_save(saved);
  EXPECT_EQ(saved.doc(), nlohmann::json::parse(R"({"format": "brumel-node-settings", "version": 1,
      "node": "Test.Saved", "uuid": "0c6f2d1e-test-node", "widgets": [
      {"index": 0, "kind": "label", "name": "Page"},
      {"index": 1, "kind": "numeric", "name": "Amount", "value": 0.1, "keys": []},
      {"index": 2, "kind": "boolean", "name": "Flag", "value": false, "keys": []},
      {"index": 3, "kind": "option", "name": "Choice: %s", "value": 2, "keys": []},
      {"index": 4, "kind": "color", "name": "Tint", "value": [1, 0.5, 0.25, 1], "keys": []},
      {"index": 5, "kind": "action", "name": "Go"}]})"));
  animate(node);
  std::string error;
  ASSERT_TRUE(node.reg_load(saved, &error)) << error;
  EXPECT_EQ(state_of(node), state_of(plain));
}

TEST(AssimSettings, MismatchedDocumentsAreRefusedAndChangeNothing) {
  const struct {
    const char* what;
    std::function<void(nlohmann::json&)> damage;
    const char* message;
  } cases[] = {
      {"format", [](auto& d) { d["format"] = "other"; }, "format is \"other\""},
      {"version", [](auto& d) { d["version"] = 2; }, "version 2"},
      {"no version", [](auto& d) { d.erase("version"); }, "no \"version\""},
      {"node", [](auto& d) { d["node"] = "Other.Node"; }, "\"node\" is \"Other.Node\"; this node's is \"Test.Saved\""},
      {"uuid", [](auto& d) { d["uuid"] = 5; }, "\"uuid\" is 5"},
      {"no widgets", [](auto& d) { d.erase("widgets"); }, "no \"widgets\""},
      {"count", [](auto& d) { d["widgets"].erase(5); }, "hold 5 widgets; node \"Test.Saved\" has 6"},
      {"index", [](auto& d) { d["widgets"][2]["index"] = 3; }, "widget 2 (\"Flag\"): \"index\" is 3, expected 2"},
      {"kind", [](auto& d) { d["widgets"][1]["kind"] = "boolean"; },
       "widget 1 (\"Amount\"): \"kind\" is \"boolean\", expected \"numeric\""},
      {"name", [](auto& d) { d["widgets"][4]["name"] = "Tone"; },
       "widget 4 (\"Tint\"): \"name\" is \"Tone\", expected \"Tint\""},
      {"no value", [](auto& d) { d["widgets"][1].erase("value"); },
       "widget 1 (\"Amount\"): the field \"value\" is missing"},
      {"number as text", [](auto& d) { d["widgets"][1]["value"] = "0.5"; },
       "widget 1 (\"Amount\"): \"value\" must be a finite number"},
      {"flag as number", [](auto& d) { d["widgets"][2]["value"] = 1; },
       "widget 2 (\"Flag\"): \"value\" must be true or false"},
      {"option as fraction", [](auto& d) { d["widgets"][3]["value"] = 1.5; },
       "widget 3 (\"Choice: %s\"): \"value\" must be a whole number"},
      {"short colour", [](auto& d) { d["widgets"][4]["value"] = {1, 1, 1}; },
       "widget 4 (\"Tint\"): \"value\" must be four numbers"},
      {"button value", [](auto& d) { d["widgets"][5]["value"] = 1; }, "widget 5 (\"Go\"): a button has no \"value\""},
      {"bad key", [](auto& d) { d["widgets"][1]["keys"][1] = {3.0}; },
       "widget 1 (\"Amount\"): key 1 must be a [time, value] pair"},
      {"key value", [](auto& d) { d["widgets"][2]["keys"][0][1] = "on"; },
       "widget 2 (\"Flag\"): key 0: the value must be true or false"},
      {"twice keyed", [](auto& d) { d["widgets"][3]["keys"][1][0] = 0.0; },
       "widget 3 (\"Choice: %s\"): key 1: time 0.0 is keyed twice"},
  };
  SavedNode source;
  animate(source);
  RegV good;
  source.reg_save(good);
  for (const auto& c : cases) {
    RegV broken(good.doc());
    c.damage(broken.doc());
    SavedNode node;
    const std::string before = state_of(node);
    std::string error;
    EXPECT_FALSE(node.reg_load(broken, &error)) << c.what;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.what << ": " << error;
    EXPECT_EQ(state_of(node), before) << c.what;
  }
}

// Through a file every value and key comes back exactly; unreadable text and files
// are refused with the reason, naming the file.
TEST(AssimSettings, FileRoundTripRestoresEveryValueAndKeyExactly) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::path(testing::TempDir()) / "assim_settings_files";
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string path = (dir / "node.json").string();
  SavedNode node, restored;
  animate(node);
  RegV saved;
  node.reg_save(saved);
  std::string error;
  ASSERT_TRUE(saved.write_file(path, error)) << error;
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
  auto read = RegV::read_file(path, error);
  ASSERT_TRUE(read) << error;
  ASSERT_TRUE(restored.reg_load(*read, &error)) << error;
  EXPECT_EQ(state_of(restored), state_of(node));

  const std::string text = saved.dump();
  for (auto [bad, reason] : {std::pair{text.substr(0, text.size() / 2), "malformed JSON"},
                             {"[1, 2]", "not a JSON object"},
                             {"{\"format\": \"brumel-node-settings\", \"version\": 9}", "version 9"}}) {
    EXPECT_FALSE(RegV::parse(bad, error));
    EXPECT_NE(error.find(reason), std::string::npos) << error;
  }
  std::ofstream(path) << "{\"format\": ";
  EXPECT_FALSE(RegV::read_file(path, error));
  EXPECT_NE(error.find(path), std::string::npos) << error;
  EXPECT_FALSE(RegV::read_file((dir / "missing.json").string(), error));
  EXPECT_NE(error.find("missing.json"), std::string::npos) << error;
  const std::string unwritable = (dir / "no-such-dir" / "node.json").string();
  EXPECT_FALSE(saved.write_file(unwritable, error));
  EXPECT_NE(error.find(unwritable), std::string::npos) << error;
  fs::remove_all(dir);
}

}  // namespace
