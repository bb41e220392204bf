#include "embed/settings.h"

#include <strings.h>

#include <charconv>
#include <filesystem>
#include <map>
#include <set>

#include "embed/error.h"
#include "embed/name_suggestions.h"
#include "embed/widget_lookup.h"
#include "assim/number_text.h"
#include "host/widget_names.h"

namespace brumel {

namespace {


std::string trim(const std::string& text) {
  const std::size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string::npos) return "";
  const std::size_t end = text.find_last_not_of(" \t");
  return text.substr(begin, end - begin + 1);
}

// "Name=REST" -> {Name, REST}; `option` and `form` only shape the message.
std::pair<std::string, std::string> split_assignment(const std::string& text, const char* option,
                                                     const char* form) {
  const std::size_t equals = text.find('=');
  if (equals == std::string::npos || trim(text.substr(0, equals)).empty()) {
    throw Error(std::string(option) + " \"" + text + "\": expected \"" + form + "\"");
  }
  return {trim(text.substr(0, equals)), trim(text.substr(equals + 1))};
}

// The numbers beyond their widgets' ranges that the node's own demos give
// (a demo's seed): a document saved after --demo holds them.
std::map<int, std::set<double>> demo_numbers(FXNode& fresh) {
  std::map<int, std::set<double>> numbers;
  CWidget* demos = fresh.find_control(widget_names::kDemos);
  if (demos == nullptr || demos->kind() != WidgetKind::Option) return numbers;
  for (const std::string& entry : static_cast<COption*>(demos)->entries) {
    std::string ignored;
    if (!assign_user_value(*demos, entry, ignored)) continue;
    fresh.notify_control_changed(demos, FXNode::kUserEdit, 0.0);
    for (int i = 0; i < fresh.num_controls(); ++i) {
      const CWidget* w = fresh.control(i);
      if (w->kind() != WidgetKind::Numeric) continue;
      const auto& n = static_cast<const CNumeric&>(*w);
      if (!(n.value >= n.minimum && n.value <= n.maximum)) numbers[i].insert(n.value);
    }
  }
  return numbers;
}

// What --set would refuse in a loaded widget's value or keys, or "".
std::string range_problem(const CWidget& w, const std::set<double>& allowed) {
  std::string problem;
  auto check = [&](const std::string& what, const std::string& value) {
    std::string error;
    if (!problem.empty() || widget_accepts(w, value, error)) return;
    const std::string named = "\"" + w.name() + "\": ";  // the message's own start
    if (error.rfind(named, 0) == 0) error.erase(0, named.size());
    problem = what + ": " + error;
  };
  auto number = [&](const std::string& what, double v) {
    if (allowed.count(v) == 0) check(what, number_text(v));
  };
  switch (w.kind()) {
    case WidgetKind::Numeric: {
      const auto& n = static_cast<const CNumeric&>(w);
      number("value", n.value);
      for (const auto& [time, v] : n.keys) number("key at " + number_text(time), v);
      break;
    }
    case WidgetKind::Option: {
      const auto& o = static_cast<const COption&>(w);
      check("value", std::to_string(o.value));
      for (const auto& [time, v] : o.keys) check("key at " + number_text(time), std::to_string(v));
      break;
    }
    case WidgetKind::Color: {
      auto text = [](const std::array<double, 4>& c) {
        return number_text(c[0]) + "," + number_text(c[1]) + "," + number_text(c[2]) + "," +
               number_text(c[3]);
      };
      const auto& c = static_cast<const CColor&>(w);
      check("value", text(c.value));
      for (const auto& [time, v] : c.keys) check("key at " + number_text(time), text(v));
      break;
    }
    default:
      break;
  }
  return problem;
}

// An option's value written as its caption ("Render", any case) becomes its
// index; anything else is left for the node's own check to name.
void option_caption_to_index(const CWidget& widget, nlohmann::json& entry) {
  const auto value = entry.find("value");
  if (widget.kind() != WidgetKind::Option || value == entry.end() || !value->is_string()) return;
  const auto& entries = static_cast<const COption&>(widget).entries;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (strcasecmp(entries[i].c_str(), value->get_ref<const std::string&>().c_str()) == 0) {
      *value = static_cast<int>(i);
      return;
    }
  }
}

// A document may list only the widgets it changes: each entry is placed by its
// "index", else by its "name" as --set finds it, over the node's own entry, so
// the widgets it leaves out keep the node's values. A complete list is taken as
// it is. Returns whether the document gives the mode ("Mode: %s").
bool complete_document(nlohmann::json& doc, const nlohmann::json& own, FXNode& node,
                       const std::string& path) {
  const auto list = doc.find("widgets");
  const nlohmann::json& own_list = own.at("widgets");
  if (list == doc.end() || !list->is_array()) return true;  // the node's check names it
  if (list->size() == own_list.size()) {
    for (std::size_t i = 0; i < list->size(); ++i) {
      if ((*list)[i].is_object()) option_caption_to_index(*node.control(static_cast<int>(i)), (*list)[i]);
    }
    return true;
  }
  nlohmann::json widgets = own_list;
  bool mode_given = false;
  for (const nlohmann::json& entry : *list) {
    const std::string where = "--load: settings document \"" + path + "\": ";
    if (!entry.is_object()) throw Error(where + "a widget entry is not an object: " + entry.dump());
    const auto index = entry.find("index");
    const auto name = entry.find("name");
    int i = -1;
    if (index != entry.end() && index->is_number_integer() && *index >= 0 &&
        *index < static_cast<int>(own_list.size())) {
      i = index->get<int>();
    } else if (index == entry.end() && name != entry.end() && name->is_string()) {
      try {
        i = find_value_widget(node, name->get<std::string>()).index();
      } catch (const Error& e) {
        throw Error(where + e.what());
      }
    } else {
      throw Error(where + "the entry " + entry.dump() + " gives no widget index from 0 to " +
                     std::to_string(own_list.size() - 1) + " nor a widget name");
    }
    nlohmann::json& merged = widgets[static_cast<std::size_t>(i)];
    for (const auto& [field, value] : entry.items()) merged[field] = value;
    // Placed by name: the name may be written as --set takes it ("quantity").
    if (index == entry.end()) merged["name"] = node.control(i)->name();
    option_caption_to_index(*node.control(i), merged);
    mode_given = mode_given || node.control(i)->name() == widget_names::kMode;
  }
  *list = std::move(widgets);
  return mode_given;
}

bool load_document(FXNode& node, const std::string& path, FXNode* fresh,
                   const ImageDocumentReader& read_image) {
  std::string error;
  std::optional<RegV> document;
  if (read_image != nullptr && read_image(path, document, error)) {
    if (!document) error = "image \"" + path + "\": its settings attribute: " + error;
  } else {
    document = RegV::read_file(path, error);
  }
  if (!document) throw Error("--load: " + error);
  const std::map<int, std::set<double>> allowed =
      fresh != nullptr ? demo_numbers(*fresh) : std::map<int, std::set<double>>{};
  RegV before;
  node.reg_save(before);
  const bool mode_given = complete_document(document->doc(), before.doc(), node, path);
  error.clear();
  if (!node.reg_load(*document, &error)) {
    throw Error("--load: settings document \"" + path + "\" does not fit the node: " + error);
  }
  // A hand-edited document must not reach the node with what --set refuses:
  // a huge quantity or pre-roll would never finish.
  for (int i = 0; i < node.num_controls(); ++i) {
    const auto it = allowed.find(i);
    const std::string problem =
        range_problem(*node.control(i), it != allowed.end() ? it->second : std::set<double>{});
    if (problem.empty()) continue;
    node.reg_load(before);
    throw Error("--load: settings document \"" + path + "\": widget " + std::to_string(i) +
                   " \"" + node.control(i)->name() + "\", " + problem);
  }
  return mode_given;
}

void choose_demo(FXNode& node, const std::string& name, double time) {
  CWidget* widget = node.find_control(widget_names::kDemos);
  if (widget == nullptr || widget->kind() != WidgetKind::Option) {
    throw Error("the node has no \"Demos: %s\" option");
  }
  const auto& entries = static_cast<COption*>(widget)->entries;
  for (const std::string& entry : entries) {
    if (strcasecmp(entry.c_str(), name.c_str()) == 0) {
      assign(node, *widget, entry, time);
      return;
    }
  }
  std::string list;
  for (const std::string& entry : entries) list += (list.empty() ? "" : ", ") + entry;
  throw Error("unknown demo \"" + name + "\"" + did_you_mean(name, entries) +
                 "; the demos are: " + list);
}

void set_mode(FXNode& node, const std::string& mode, double time) {
  std::string entry;
  if (strcasecmp(mode.c_str(), "render") == 0) entry = "Render";
  if (strcasecmp(mode.c_str(), "wireframe") == 0) entry = "Wireframe";
  if (entry.empty()) {
    throw Error("unknown mode \"" + mode + "\": expected render or wireframe");
  }
  // The node keeps the four pages' mode options equal after a change to one.
  assign(node, find_value_widget(node, widget_names::kMode), entry, time);
}

bool read_number(const std::string& text, double& value) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  auto [ptr, ec] = std::from_chars(begin, end, value);
  return ec == std::errc() && ptr == end && begin != end;
}

}  // namespace

void assign(FXNode& node, CWidget& widget, const std::string& value, double time) {
  std::string error;
  if (!assign_user_value(widget, value, error)) throw Error(error);
  node.notify_control_changed(&widget, FXNode::kUserEdit, time);
}

std::vector<KeyframeText> parse_keyframes(const std::string& text) {
  const Error bad("bad keyframes \"" + text +
                     "\": expected FRAME:VALUE,FRAME:VALUE (for example 1:20,48:35)");
  std::vector<KeyframeText> keys;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t comma = text.find(',', start);
    if (comma == std::string::npos) comma = text.size();
    const std::string piece = trim(text.substr(start, comma - start));
    const std::size_t colon = piece.find(':');
    if (colon != std::string::npos) {
      KeyframeText key;
      if (!read_number(trim(piece.substr(0, colon)), key.frame)) throw bad;
      key.value = trim(piece.substr(colon + 1));
      keys.push_back(key);
    } else if (!keys.empty() && !piece.empty()) {
      keys.back().value += "," + piece;  // the next channel of a colour
    } else {
      throw bad;
    }
    start = comma + 1;
  }
  return keys;
}

void apply_settings(FXNode& node, const SettingsRequest& request, double time, FXNode* fresh) {
  // A saved document holds the mode as it was saved; a partial one, if it lists it.
  bool mode_given = !request.load_file.empty() && load_document(node, request.load_file, fresh, request.read_image);
  if (!request.demo.empty()) choose_demo(node, request.demo, time);
  for (const std::string& text : request.sets) {
    const auto [name, value] = split_assignment(text, "--set", "Widget Name=VALUE");
    CWidget& widget = find_value_widget(node, name);
    assign(node, widget, value, time);
    mode_given = mode_given || widget.name() == widget_names::kMode;
  }
  if (!request.mode.empty()) {
    set_mode(node, request.mode, time);
  } else if (!mode_given && !request.default_mode.empty()) {
    set_mode(node, request.default_mode, time);
  }
  // Keyed values reach the node as a host plays them back: each frame's
  // evaluation brings the widget to its value at that frame.
  for (const std::string& text : request.keys) {
    const auto [name, keys_text] =
        split_assignment(text, "--key", "Widget Name=FRAME:VALUE,FRAME:VALUE");
    CWidget& widget = find_value_widget(node, name);
    for (const KeyframeText& key : parse_keyframes(keys_text)) {
      std::string error;
      if (!add_user_key(widget, key.frame, key.value, error)) throw Error(error);
    }
  }
  if (request.preroll) {
    node.notify_control_changed(&find_button(node, widget_names::kRestartPreRoll), FXNode::kUserEdit, time);
  }
}

std::vector<std::string> hold_to_ranges(FXNode& node, double time) {
  std::vector<std::string> messages;
  for (int i = 0; i < node.num_controls(); ++i) {
    CWidget* widget = node.control(i);
    std::string message;
    if (!hold_to_range(*widget, message)) continue;
    node.notify_control_changed(widget, FXNode::kUserEdit, time);
    messages.push_back(message);
  }
  return messages;
}

namespace {

RegV saved_document(const FXNode& node) {
  RegV document;
  if (!node.reg_save(document)) throw Error("the node could not save its settings");
  return document;
}

}  // namespace

void save_settings(const FXNode& node, const std::string& path) {
  std::string error;
  if (!saved_document(node).write_file(path, error)) throw Error("--save: " + error);
}

std::string settings_document(const FXNode& node) { return saved_document(node).dump(); }

void check_settings_folder(const std::string& path) {
  std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (folder.empty()) folder = ".";
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (!std::filesystem::is_directory(folder, error)) {
    throw Error("cannot save settings to \"" + path + "\": folder \"" + folder.string() +
                "\" cannot be made" + (error ? ": " + error.message() : std::string()));
  }
}

}  // namespace brumel
