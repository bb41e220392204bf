#pragma once
// BrumelInfo: the effect's parameter record. It holds everything that crosses the
// boundary between host adapter and effect: the image slots of the current frame,
// the nine on-screen handles and the 71 controls, whose cached values the simulation,
// renderer and overlay read. Members are constructed in place in declaration order;
// nothing here allocates.
#include <array>
#include <cstddef>
#include <optional>
#include <span>

#include "framework/control_kv.h"
#include "framework/image_slots.h"
#include "framework/overlay_control_kv.h"

namespace brumel {

struct BrumelInfo {
  // --- image slots ---
  InputImageKv source_image;  // host input 0
  InputImageKv matte_image;   // host input 1, or input 0 again when 1 is not connected
  OutputImageKv output_image;

  // --- on-screen handles ---
  CrosshairOverlayKv birth_handle;
  CircleOverlayKv birth_radius_handle;
  CrosshairOverlayKv wind_source_handle;
  CrosshairOverlayKv wind_target_handle;
  LineOverlayKv wind_line;
  CrosshairOverlayKv light_source_handle;
  CrosshairOverlayKv light_target_handle;
  LineOverlayKv light_line;
  CrosshairOverlayKv vanish_handle;

  // --- page controls: one group on each of the four pages ---
  ListControlKv demos;
  ButtonControlKv restart;
  ButtonControlKv restart_preroll;
  ButtonControlKv preroll;
  IntegerControlKv preroll_frames;
  ListControlKv mode;  // 2 (Wireframe) turns on the particle wireframe
  ButtonControlKv restart_2;
  ButtonControlKv restart_preroll_2;
  ButtonControlKv preroll_2;
  ListControlKv mode_2;
  ButtonControlKv restart_3;
  ButtonControlKv restart_preroll_3;
  ButtonControlKv preroll_3;
  ListControlKv mode_3;
  ButtonControlKv restart_4;
  ButtonControlKv restart_preroll_4;
  ButtonControlKv preroll_4;
  ListControlKv mode_4;

  // --- parameter controls ---
  FloatControlKv quantity;
  FloatControlKv continuity;
  FloatControlKv lifetime;
  PositionControlKv birth;
  FloatControlKv cloud_size;
  FloatControlKv cloud_size_variation;
  CheckboxControlKv grow_shrink;
  FloatControlKv grow_life;
  FloatControlKv shrink_life;
  FloatControlKv min_size;
  CheckboxControlKv use_birth_matte;
  CheckboxControlKv invert_birth_matte;
  SizeControlKv birth_radius;
  ColourControlKv cloud_colour;
  IntegerControlKv seed;
  CheckboxControlKv perspective;
  FloatControlKv camera_distance;
  PositionControlKv vanishing_point;
  FloatControlKv z_speed;
  FloatControlKv z_range;
  CheckboxControlKv use_gravity;
  FloatControlKv gravity;
  AngleControlKv gravity_angle;
  CheckboxControlKv gravity_90;
  CheckboxControlKv use_friction;
  FloatControlKv friction;
  CheckboxControlKv use_swirling;
  FloatControlKv swirl_density;
  FloatControlKv swirl_magnitude;
  FloatControlKv swirl_to_max;
  CheckboxControlKv use_constraint;
  AngleControlKv constraint_angle;
  CheckboxControlKv use_wind;
  PositionControlKv wind_source;
  PositionControlKv wind_target;
  FloatControlKv wind_speed;
  CheckboxControlKv use_light;
  ColourControlKv light_colour;
  PositionControlKv light_source;
  FloatControlKv z_light_source;
  PositionControlKv light_target;
  FloatControlKv density;
  FloatControlKv fluffiness;
  FloatControlKv contrast;
  FloatControlKv brightness;
  CheckboxControlKv use_textured;
  FloatControlKv texture_mag;
  FloatControlKv texture_x;
  FloatControlKv texture_y;
  FloatControlKv seethe;
  CheckboxControlKv use_fading;
  FloatControlKv fade_in_life;
  FloatControlKv fade_out_life;
};

inline constexpr std::size_t kControlCount = 71;

// The record's 71 controls in member order, `demos` first and `fade_out_life` last:
// the order in which they are fetched each frame and bound to the host widgets (a
// position control takes two consecutive widgets, X first).
std::array<ControlKv*, kControlCount> control_table(BrumelInfo& info);

// The switches that dim the controls they govern while they are off.
enum class DimmingRule {
  GrowShrink,
  Perspective,
  UseGravity,
  UseFriction,
  UseSwirling,
  UseConstraint,
  UseWind,
  UseTextured,
  UseFading,
  UseLight,
  UseBirthMatte,
};

// Every rule, in the order in which a full pass over the controls applies them.
inline constexpr std::array<DimmingRule, 11> kDimmingRules = {
    DimmingRule::GrowShrink,  DimmingRule::Perspective,   DimmingRule::UseGravity,
    DimmingRule::UseFriction, DimmingRule::UseSwirling,   DimmingRule::UseConstraint,
    DimmingRule::UseWind,     DimmingRule::UseTextured,   DimmingRule::UseFading,
    DimmingRule::UseLight,    DimmingRule::UseBirthMatte,
};

// A rule's switch and the controls it governs, in the order they are dimmed.
struct DimmingRuleControls {
  CheckboxControlKv* checkbox = nullptr;
  std::array<ControlKv*, 7> governed{};
  std::size_t count = 0;

  std::span<ControlKv* const> dependents() const { return {governed.data(), count}; }
};

// The controls of `rule` within `info`.
DimmingRuleControls dimming_rule_controls(BrumelInfo& info, DimmingRule rule);
// The rule whose switch is `control`, or none when `control` governs nothing.
std::optional<DimmingRule> dimming_rule_for(BrumelInfo& info, const ControlKv* control);
// Reads the rule's switch with get_at(-1.0), then calls set_dimmed on each dependent
// in order: true while the switch is off, false while it is on.
void apply_dimming_rule(BrumelInfo& info, DimmingRule rule);

}  // namespace brumel
