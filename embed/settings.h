#pragma once
// The node's settings as a person gives them on the command line, applied as a
// host applies a user's edits: each value assigned with the user checks, then
// reported to the node through notify_control_changed with reason 1.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "assim/fx_node.h"

namespace brumel {

// Reads the settings document an image file carries, for front ends that read
// images: false when `path` does not name an image (it is then read as a
// document); else true, with `document` set, or left empty and `error` saying why.
using ImageDocumentReader =
    std::function<bool(const std::string& path, std::optional<RegV>& document, std::string& error)>;

struct SettingsRequest {
  std::string load_file;          // --load: a saved settings document; empty for none
  std::string demo;               // --demo: an entry of "Demos: %s"; empty for none
  std::vector<std::string> sets;  // --set "Widget Name=VALUE", in the order given
  std::string mode;               // --mode: "render" or "wireframe"; empty leaves it
  // The command's own mode ("render" for `brumel render`), set in the mode's
  // step when neither --mode, a loaded document nor a --set of the mode gave one.
  std::string default_mode;
  std::vector<std::string> keys;  // --key "Widget Name=FRAME:VALUE,FRAME:VALUE"
  bool preroll = false;           // --preroll: press "Restart+PreR"
  ImageDocumentReader read_image;  // empty: every load file is a document
};

// Applies the request to a node in this order, each later step overriding the
// earlier ones: load (read into the node), demo, sets, mode (or default_mode),
// keys, preroll.
// Changes are reported at host time `time`. Throws Error naming the file,
// widget, value or demo that is wrong. A loaded document is held to what --set
// accepts (every value and key within its widget's range), except for the
// numbers the node's own demos give beyond a range (their seed), which a
// `fresh` node of the same module tells; without one there are none. A refused
// document leaves the node as it was. A document may list only the widgets it
// changes (by index or by name; the others keep the node's values) and give an
// option's value as its caption; it gives the mode when it is complete or
// lists "Mode: %s". A load file that `read_image` takes as an image is read
// through it.
void apply_settings(FXNode& node, const SettingsRequest& request, double time,
                    FXNode* fresh = nullptr);

// Sets `widget` to `value` (in the form --set takes) as a person's edit at host
// time `time`: checked against the widget's kind and range, then reported to the
// node. Throws Error naming the widget and its range.
void assign(FXNode& node, CWidget& widget, const std::string& value, double time);

// Holds every widget to what a person may enter (hold_to_range), reporting each
// change to the node as a user's edit at `time`, after a drag whose handle wrote
// values beyond the widgets' ranges. Returns one message per widget changed.
std::vector<std::string> hold_to_ranges(FXNode& node, double time);

// Writes the node's settings document (every widget's value and keys) to
// `path`, through a temporary file. Throws Error naming the file.
void save_settings(const FXNode& node, const std::string& path);
// The text of that document (without the file's last newline).
std::string settings_document(const FXNode& node);
// Makes, before any rendering, the folder of a settings document to be saved (as
// a render makes its output folders). Throws Error naming the path when it cannot.
void check_settings_folder(const std::string& path);

// One keyframe of a --key text.
struct KeyframeText {
  double frame;
  std::string value;
};
// Splits "FRAME:VALUE,FRAME:VALUE" into keys. A colour's value keeps its commas
// ("1:1,0,0,1,10:0,0,1,1" is two keys). Throws Error naming `text`.
std::vector<KeyframeText> parse_keyframes(const std::string& text);

}  // namespace brumel
