#include "app/settings.h"

#include <strings.h>

#include <charconv>
#include <filesystem>

#include "app/app_error.h"
#include "app/name_suggestions.h"
#include "app/widget_lookup.h"

namespace {

constexpr int kUserEdit = 1;  // reason code of a change the user made in the panel

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
    throw AppError(std::string(option) + " \"" + text + "\": expected \"" + form + "\"");
  }
  return {trim(text.substr(0, equals)), trim(text.substr(equals + 1))};
}

void assign(FXNode& node, CWidget& widget, const std::string& value, double time) {
  std::string error;
  if (!assign_user_value(widget, value, error)) throw AppError(error);
  node.notify_control_changed(&widget, kUserEdit, time);
}

void load_document(FXNode& node, const std::string& path) {
  std::string error;
  std::optional<RegV> document = RegV::read_file(path, error);
  if (!document) throw AppError("--load: " + error);
  error.clear();
  if (!node.reg_load(*document, &error)) {
    throw AppError("--load: settings document \"" + path + "\" does not fit the node: " + error);
  }
}

void choose_demo(FXNode& node, const std::string& name, double time) {
  CWidget* widget = node.find_control("Demos: %s");
  if (widget == nullptr || widget->kind() != WidgetKind::Option) {
    throw AppError("the node has no \"Demos: %s\" option");
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
  throw AppError("unknown demo \"" + name + "\"" + did_you_mean(name, entries) +
                 "; the demos are: " + list);
}

void set_mode(FXNode& node, const std::string& mode, double time) {
  std::string entry;
  if (strcasecmp(mode.c_str(), "render") == 0) entry = "Render";
  if (strcasecmp(mode.c_str(), "wireframe") == 0) entry = "Wireframe";
  if (entry.empty()) {
    throw AppError("unknown mode \"" + mode + "\": expected render or wireframe");
  }
  // The node keeps the four pages' mode options equal after a change to one.
  assign(node, find_value_widget(node, "Mode: %s"), entry, time);
}

bool read_number(const std::string& text, double& value) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  auto [ptr, ec] = std::from_chars(begin, end, value);
  return ec == std::errc() && ptr == end && begin != end;
}

}  // namespace

std::vector<KeyframeText> parse_keyframes(const std::string& text) {
  const AppError bad("bad keyframes \"" + text +
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

void apply_settings(FXNode& node, const SettingsRequest& request, double time) {
  if (!request.load_file.empty()) load_document(node, request.load_file);
  if (!request.demo.empty()) choose_demo(node, request.demo, time);
  // A saved document holds the mode as it was saved.
  bool mode_given = !request.load_file.empty();
  for (const std::string& text : request.sets) {
    const auto [name, value] = split_assignment(text, "--set", "Widget Name=VALUE");
    CWidget& widget = find_value_widget(node, name);
    assign(node, widget, value, time);
    mode_given = mode_given || widget.name() == "Mode: %s";
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
      if (!add_user_key(widget, key.frame, key.value, error)) throw AppError(error);
    }
  }
  if (request.preroll) {
    node.notify_control_changed(&find_button(node, "Restart+PreR"), kUserEdit, time);
  }
}

void save_settings(const FXNode& node, const std::string& path) {
  RegV document;
  if (!node.reg_save(document)) throw AppError("the node could not save its settings");
  std::string error;
  if (!document.write_file(path, error)) throw AppError("--save: " + error);
}

void check_settings_folder(const std::string& path) {
  std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (folder.empty()) folder = ".";
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error)) {
    throw AppError("cannot save settings to \"" + path + "\": folder \"" + folder.string() +
                   "\" does not exist");
  }
}
