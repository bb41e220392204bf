// The widget value and keyframe parsers: any text for a widget of each kind, as
// a value, a keyframe list and a --set/--key assignment; a refused value
// changes nothing and an accepted one is within its widget's range.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/app_error.h"
#include "app/embedding.h"
#include "fuzz/fuzz_node.h"

using namespace brumel;  // the harness drives the application's own functions

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  FuzzNode node;
  for (int i = 0; i < node.num_controls(); ++i) {
    CWidget& widget = *node.control(i);
    std::string error;
    const std::string before = widget_value_text(widget);
    if (!assign_user_value(widget, text, error) && widget_value_text(widget) != before) {
      std::abort();
    }
    std::string held;
    if (hold_to_range(widget, held)) std::abort();  // a value taken was out of range
    add_user_key(widget, 3.0, text, error);
  }
  try {
    parse_keyframes(text);
  } catch (const AppError&) {
  }
  SettingsRequest request;
  request.sets = {text};
  request.keys = {text};
  try {
    apply_settings(node, request, 1.0);
  } catch (const AppError&) {
  }
  return 0;
}
