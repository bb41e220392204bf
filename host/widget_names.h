#pragma once
// The names of the node's widgets that hosts address by name: the node's widget
// table defines its widgets with them, and the front ends find those widgets by
// them. A name is the node's own caption, cut to twelve characters where the
// node cuts it ("Use Birth Ma").

namespace brumel::widget_names {

inline constexpr const char* kDemos = "Demos: %s";
inline constexpr const char* kMode = "Mode: %s";
inline constexpr const char* kRestart = "Restart";
inline constexpr const char* kRestartPreRoll = "Restart+PreR";
inline constexpr const char* kPreRoll = "PreRoll";
inline constexpr const char* kUseBirthMatte = "Use Birth Ma";

}  // namespace brumel::widget_names
