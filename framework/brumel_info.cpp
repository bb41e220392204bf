#include "framework/brumel_info.h"

namespace brumel {

std::array<ControlKv*, kControlCount> control_table(BrumelInfo& r) {
  return {
      &r.demos,          &r.restart,           &r.restart_preroll,   &r.preroll,
      &r.preroll_frames, &r.mode,              &r.restart_2,         &r.restart_preroll_2,
      &r.preroll_2,      &r.mode_2,            &r.restart_3,         &r.restart_preroll_3,
      &r.preroll_3,      &r.mode_3,            &r.restart_4,         &r.restart_preroll_4,
      &r.preroll_4,      &r.mode_4,

      &r.quantity,       &r.continuity,        &r.lifetime,          &r.birth,
      &r.cloud_size,     &r.cloud_size_variation, &r.grow_shrink,    &r.grow_life,
      &r.shrink_life,    &r.min_size,          &r.use_birth_matte,   &r.invert_birth_matte,
      &r.birth_radius,   &r.cloud_colour,      &r.seed,              &r.perspective,
      &r.camera_distance, &r.vanishing_point,  &r.z_speed,           &r.z_range,
      &r.use_gravity,    &r.gravity,           &r.gravity_angle,     &r.gravity_90,
      &r.use_friction,   &r.friction,          &r.use_swirling,      &r.swirl_density,
      &r.swirl_magnitude, &r.swirl_to_max,     &r.use_constraint,    &r.constraint_angle,
      &r.use_wind,       &r.wind_source,       &r.wind_target,       &r.wind_speed,
      &r.use_light,      &r.light_colour,      &r.light_source,      &r.z_light_source,
      &r.light_target,   &r.density,           &r.fluffiness,        &r.contrast,
      &r.brightness,     &r.use_textured,      &r.texture_mag,       &r.texture_x,
      &r.texture_y,      &r.seethe,            &r.use_fading,        &r.fade_in_life,
      &r.fade_out_life,
  };
}

DimmingRuleControls dimming_rule_controls(BrumelInfo& r, DimmingRule rule) {
  switch (rule) {
    case DimmingRule::UseBirthMatte:
      return {&r.use_birth_matte, {&r.invert_birth_matte}, 1};
    case DimmingRule::GrowShrink:
      return {&r.grow_shrink, {&r.grow_life, &r.shrink_life}, 2};
    case DimmingRule::Perspective:
      return {&r.perspective, {&r.camera_distance, &r.vanishing_point, &r.z_speed, &r.z_range}, 4};
    case DimmingRule::UseGravity:
      return {&r.use_gravity, {&r.gravity, &r.gravity_angle, &r.gravity_90}, 3};
    case DimmingRule::UseFriction:
      return {&r.use_friction, {&r.friction}, 1};
    case DimmingRule::UseSwirling:
      return {&r.use_swirling, {&r.swirl_density, &r.swirl_magnitude, &r.swirl_to_max}, 3};
    case DimmingRule::UseConstraint:
      return {&r.use_constraint, {&r.constraint_angle}, 1};
    case DimmingRule::UseWind:
      return {&r.use_wind, {&r.wind_source, &r.wind_target, &r.wind_speed}, 3};
    case DimmingRule::UseTextured:
      return {&r.use_textured, {&r.texture_mag, &r.texture_x, &r.texture_y, &r.seethe}, 4};
    case DimmingRule::UseFading:
      return {&r.use_fading, {&r.fade_in_life, &r.fade_out_life}, 2};
    case DimmingRule::UseLight:
      // fluffiness is left out on purpose: it stays live with the light off.
      return {&r.use_light,
              {&r.light_source, &r.z_light_source, &r.light_target, &r.light_colour,
               &r.brightness, &r.density, &r.contrast},
              7};
  }
  return {};
}

std::optional<DimmingRule> dimming_rule_for(BrumelInfo& info, const ControlKv* control) {
  for (DimmingRule rule : kDimmingRules) {
    if (dimming_rule_controls(info, rule).checkbox == control) return rule;
  }
  return std::nullopt;
}

void apply_dimming_rule(BrumelInfo& info, DimmingRule rule) {
  const DimmingRuleControls controls = dimming_rule_controls(info, rule);
  const bool on = controls.checkbox->get_at(-1.0) != 0;
  for (ControlKv* dependent : controls.dependents()) dependent->set_dimmed(!on);
}

}  // namespace brumel
