#include "embed/catch_up_reads.h"
#include "host/widget_names.h"

#include <algorithm>

namespace brumel {

namespace {

// On now or at any keyframe: a keyed switch may turn on at any frame of the shot.
bool ever_on(const CWidget* widget) {
  if (widget == nullptr || widget->kind() != WidgetKind::Boolean) return true;
  const auto& flag = static_cast<const CBoolean&>(*widget);
  return flag.value != 0 ||
         std::any_of(flag.keys.begin(), flag.keys.end(), [](const auto& key) { return key.second; });
}

}  // namespace

CatchUpReads catch_up_reads(const FXNode& node, bool has_matte) {
  if (!ever_on(node.find_control(widget_names::kUseBirthMatte))) return {false, false};
  return has_matte ? CatchUpReads{false, true} : CatchUpReads{true, false};
}

bool birth_matte_ever_on(const FXNode& node) {
  const CWidget* widget = node.find_control(widget_names::kUseBirthMatte);
  return widget != nullptr && ever_on(widget);
}

}  // namespace brumel
