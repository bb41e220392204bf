// The effect's reactions to the user interface: the dimming rules, the four Mode
// lists kept equal, the Restart and PreRoll buttons, and pointer events handed to the
// on-screen handles. None of them touches the simulation: the buttons only set the
// requests that the next render honours.
#include <array>

#include "sim/brumel.h"

namespace brumel {

void Brumel::controls_changed() {
  for (DimmingRule rule : kDimmingRules) apply_dimming_rule(*this, rule);
  sync_mode(&mode, -1.0);
}

void Brumel::on_restart(ControlKv*, double) { restart_requested = 1; }

void Brumel::on_restart_preroll(ControlKv*, double) {
  restart_requested = 1;
  preroll_requested = 1;
}

void Brumel::on_preroll(ControlKv*, double) { preroll_requested = 1; }

void Brumel::sync_mode(ControlKv* changed, double) {
  const std::array<ListControlKv*, 4> modes = {&mode, &mode_2, &mode_3, &mode_4};
  std::int32_t m = 2;
  for (ListControlKv* list : modes) {
    if (list == changed) m = list->get_at(-1.0);
  }
  for (ListControlKv* list : modes) list->set(m);
}

void Brumel::on_use_birth_matte(ControlKv*, double) {
  apply_dimming_rule(*this, DimmingRule::UseBirthMatte);
}
void Brumel::on_grow_shrink(ControlKv*, double) { apply_dimming_rule(*this, DimmingRule::GrowShrink); }
void Brumel::on_perspective(ControlKv*, double) { apply_dimming_rule(*this, DimmingRule::Perspective); }
void Brumel::on_use_gravity(ControlKv*, double) { apply_dimming_rule(*this, DimmingRule::UseGravity); }
void Brumel::on_use_friction(ControlKv*, double) { apply_dimming_rule(*this, DimmingRule::UseFriction); }
void Brumel::on_use_swirling(ControlKv*, double) { apply_dimming_rule(*this, DimmingRule::UseSwirling); }
void Brumel::on_use_constraint(ControlKv*, double) {
  apply_dimming_rule(*this, DimmingRule::UseConstraint);
}
void Brumel::on_use_wind(ControlKv*, double) { apply_dimming_rule(*this, DimmingRule::UseWind); }
void Brumel::on_use_textured(ControlKv*, double) { apply_dimming_rule(*this, DimmingRule::UseTextured); }
void Brumel::on_use_fading(ControlKv*, double) { apply_dimming_rule(*this, DimmingRule::UseFading); }
void Brumel::on_use_light(ControlKv*, double) { apply_dimming_rule(*this, DimmingRule::UseLight); }

void Brumel::pointer(int phase, float x, float y) {
  // Every handle on show sees the event, whatever an earlier one did with it. The
  // light handles stay live with Use Light off; the vanishing point and the wind
  // handles are on show only with their switch on.
  birth_handle.pointer(phase, x, y);
  birth_radius_handle.pointer(phase, x, y);
  light_source_handle.pointer(phase, x, y);
  light_target_handle.pointer(phase, x, y);
  light_line.pointer(phase, x, y);
  if (perspective.value) vanish_handle.pointer(phase, x, y);
  if (use_wind.value) {
    wind_source_handle.pointer(phase, x, y);
    wind_target_handle.pointer(phase, x, y);
    wind_line.pointer(phase, x, y);
  }
}

}  // namespace brumel
