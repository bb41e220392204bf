#pragma once
// The node's widget table as data: every host widget in creation order with its
// kind, name, parameters and panel place. Entries 0..76 are bound, in order, to the
// 71 controls of the effect's control table (a position takes two entries, X then
// Y); entries 77..80 are the page labels. The panel is four pages of seven rows:
// "Brumel" rows 0..6, "Forces" 7..13, "Light" 14..20, "Depth" 21..27.
#include <array>
#include <cstddef>

#include "assim/fx_node.h"
#include "assim/widgets.h"
#include "framework/brumel_info.h"
#include "host/widget_names.h"

namespace brumel {

namespace widget_table {

enum class Axis { None, X, Y };

struct Row {
  WidgetKind kind;
  const char* name;
  // Numeric: default, minimum, maximum, increment. Color: red, green, blue, alpha.
  // Boolean: the default in [0]. Option: the default entry (from 0) in [0].
  std::array<double, 4> values;
  const char* entries;  // Option only: comma-separated
  int column;
  int row;
  Axis axis;  // which number of a position control this is
};

// Numbers and colours are created with the final flag true, booleans with false.
inline constexpr bool kNumberFlag = true;
inline constexpr bool kBooleanFlag = false;
inline constexpr bool kColourFlag = true;

constexpr Row option(const char* caption, const char* entries, int def, int column, int row) {
  return {WidgetKind::Option, caption, {double(def), 0, 0, 0}, entries, column, row, Axis::None};
}
constexpr Row action(const char* name, int column, int row) {
  return {WidgetKind::Action, name, {}, nullptr, column, row, Axis::None};
}
constexpr Row number(const char* name, double def, double min, double max, double inc,
                     int column, int row, Axis axis = Axis::None) {
  return {WidgetKind::Numeric, name, {def, min, max, inc}, nullptr, column, row, axis};
}
constexpr Row flag(const char* name, bool def, int column, int row) {
  return {WidgetKind::Boolean, name, {def ? 1.0 : 0.0, 0, 0, 0}, nullptr, column, row, Axis::None};
}
constexpr Row colour(const char* name, double r, double g, double b, double a, int column,
                     int row) {
  return {WidgetKind::Color, name, {r, g, b, a}, nullptr, column, row, Axis::None};
}
constexpr Row label(const char* name, int column, int row) {
  return {WidgetKind::Label, name, {}, nullptr, column, row, Axis::None};
}

inline constexpr const char* kDemoEntries =
    "Drift,Contraints,Simple 3D,Bombard,Sunset,Sky Writing,Billow";
inline constexpr const char* kModeEntries = "Render,Wireframe";
inline constexpr Axis X = Axis::X;
inline constexpr Axis Y = Axis::Y;

inline constexpr std::array<Row, 81> kRows = {{
    option(brumel::widget_names::kDemos, kDemoEntries, 0, 3, 3),  // 0
    action(brumel::widget_names::kRestart, 0, 0),
    action(brumel::widget_names::kRestartPreRoll, 0, 1),
    action(brumel::widget_names::kPreRoll, 0, 2),
    number(brumel::widget_names::kPreRoll, 40, 1, 1000, 1, 0, 3),
    option(brumel::widget_names::kMode, kModeEntries, 1, 3, 2),  // 5
    action(brumel::widget_names::kRestart, 0, 7),
    action(brumel::widget_names::kRestartPreRoll, 0, 8),
    action(brumel::widget_names::kPreRoll, 0, 9),
    option(brumel::widget_names::kMode, kModeEntries, 1, 3, 9),
    action(brumel::widget_names::kRestart, 0, 14),  // 10
    action(brumel::widget_names::kRestartPreRoll, 0, 15),
    action(brumel::widget_names::kPreRoll, 0, 16),
    option(brumel::widget_names::kMode, kModeEntries, 1, 3, 16),
    action(brumel::widget_names::kRestart, 0, 21),
    action(brumel::widget_names::kRestartPreRoll, 0, 22),  // 15
    action(brumel::widget_names::kPreRoll, 0, 23),
    option(brumel::widget_names::kMode, kModeEntries, 1, 3, 23),
    number("Quantity", 20, 0, 5000, 0.01, 0, 4),
    number("Continuity", 25, 0, 100, 0.01, 0, 5),
    number("Lifetime", 200, 1, 5000, 0.01, 0, 6),  // 20
    number("Birth_X", -0.125, -5, 5, 0.001, 1, 0, X),
    number("Birth_Y", 0.8, -5, 5, 0.001, 1, 1, Y),
    number("Cloud Size", 20, 1, 40, 0.01, 1, 3),
    number("Cloud Size V", 20, 0, 100, 0.01, 1, 4),
    flag("Grow/Shrink", false, 2, 2),  // 25
    number("Grow(Life)", 100, 0, 100, 0.01, 2, 3),
    number("Shrink(Life)", 0, 0, 100, 0.01, 2, 4),
    number("Min Size", 20, 1, 40, 0.01, 2, 5),
    flag(brumel::widget_names::kUseBirthMatte, false, 2, 0),
    flag("Invert Birth", false, 2, 1),  // 30
    number("Birth Radius", 0.3, 0, 2, 0.005, 1, 2),
    colour("Cloud Colour", 1.0, 1.0, 0.0, 1.0, 0, 17),
    number("Seed", 165, 1, 999, 17, 1, 6),
    flag("Perspective", false, 2, 21),
    number("Camera Dista", 100, 1, 1000, 0.01, 2, 22),  // 35
    number("VanishP_X", 0.5, -1.5, 2.5, 0.001, 2, 23, X),
    number("VanishP_Y", 0.5, -1.5, 2.5, 0.001, 2, 24, Y),
    number("Z Speed", 5, -100, 100, 0.01, 2, 25),
    number("Z Range", 50, 0.5, 100, 0.01, 2, 26),
    flag("Use Gravity", false, 0, 10),  // 40
    number("Gravity", 10, 0, 100, 0.01, 0, 11),
    number("Gravity Angl", 90, -360, 360, 0.5, 0, 12),
    flag("Gravity 90 t", false, 0, 13),
    flag("Use Friction", false, 1, 11),
    number("Friction", 2, 0, 100, 0.01, 1, 12),  // 45
    flag("Use Swirling", false, 1, 7),
    number("Swirl Densit", 10, 0, 100, 0.01, 1, 8),
    number("Swirl Magnit", 5, 0, 100, 0.01, 1, 9),
    number("Swirl to Max", 40, 0, 500, 0.01, 1, 10),
    flag("Use Constrai", false, 1, 13),  // 50
    number("Constraint A", 6, 0, 89.5, 0.5, 2, 13),
    flag("Use Wind", true, 2, 7),
    number("Wind Source_X", 0, -2, 2, 0.001, 2, 8, X),
    number("Wind Source_Y", 0.75, -2, 2, 0.001, 2, 9, Y),
    number("Wind Target_X", 0.5, -2, 2, 0.001, 2, 10, X),  // 55
    number("Wind Target_Y", 0.75, -2, 2, 0.001, 2, 11, Y),
    number("Wind Speed", 12, 0, 100, 0.01, 2, 12),
    flag("Use Light", false, 1, 14),
    colour("Light", 1.0, 1.0, 1.0, 1.0, 1, 15),
    number("Light Source_X", 0.5, -2, 2, 0.001, 1, 19, X),  // 60
    number("Light Source_Y", 0, -2, 2, 0.001, 1, 20, Y),
    number("Z Light Sour", 0.3, -1, 1, 0.005, 2, 18),
    number("Light Target_X", 0.5, -2, 2, 0.001, 2, 19, X),
    number("Light Target_Y", 0.4, -2, 2, 0.001, 2, 20, Y),
    number("Density", 25, 0, 100, 0.01, 2, 14),  // 65
    number("Fluffiness", 12, 1, 100, 0.01, 2, 15),
    number("Contrast", 50, 1, 100, 0.01, 2, 16),
    number("Brightness", 50, 0, 100, 0.01, 2, 17),
    flag("Use Textured", false, 1, 21),
    number("Texture Mag", 40, 0, 100, 0.01, 1, 22),  // 70
    number("Texture X", 25, 1, 100, 0.01, 1, 23),
    number("Texture Y", 25, 1, 100, 0.01, 1, 24),
    number("Seethe", 0, 0, 100, 0.01, 1, 25),
    flag("Use Fading", false, 0, 24),
    number("In(Life)", 10, 0, 100, 0.01, 0, 25),  // 75
    number("Out(Life)", 10, 0, 100, 0.01, 0, 26),
    label("Brumel", 4, 0),
    label("Forces", 4, 7),
    label("Light", 4, 14),
    label("Depth", 4, 21),  // 80
}};

inline constexpr std::size_t kControlEntries = 77;

// For each control entry, the index of its control in the effect's control table:
// the Y number of a position shares the index of the X number before it.
inline constexpr std::array<int, kControlEntries> kEntryControl = [] {
  std::array<int, kControlEntries> index{};
  int next = 0;
  for (std::size_t e = 0; e < kControlEntries; ++e)
    index[e] = kRows[e].axis == Axis::Y ? next - 1 : next++;
  return index;
}();
static_assert(kEntryControl[kControlEntries - 1] == int(kControlCount) - 1,
              "the control entries must cover the control table exactly");

// Entries of the widgets that the on-screen handles edit.
namespace entry {
inline constexpr int kBirthX = 21, kBirthY = 22, kBirthRadius = 31;
inline constexpr int kVanishX = 36, kVanishY = 37;
inline constexpr int kWindSourceX = 53, kWindSourceY = 54, kWindTargetX = 55, kWindTargetY = 56;
inline constexpr int kLightSourceX = 60, kLightSourceY = 61;
inline constexpr int kLightTargetX = 63, kLightTargetY = 64;
}  // namespace entry

// Creates the widget of one row through the node's factory of its kind.
CWidget* make_widget(FXNode& node, const Row& row);

}  // namespace widget_table

}  // namespace brumel
