// What the node does when the host (or a handle's drag) reports a changed widget.
#include <array>

#include "host/brumel_node.h"
#include "sim/brumel.h"

namespace brumel {

namespace {

using Reaction = void (Brumel::*)(ControlKv* changed, double time);

// A: the change is the node's alone (buttons, modes, demos). B: the base hears of it too.
enum class Ending { A, B };

struct Dispatch {
  Reaction reaction = nullptr;  // null: the fetch is all
  Ending ending = Ending::B;
};

constexpr std::array<Dispatch, BrumelNode::kControlWidgets> kDispatch = [] {
  std::array<Dispatch, BrumelNode::kControlWidgets> t{};
  t[0] = {&Brumel::apply_demo, Ending::A};
  for (int page : {1, 6, 10, 14}) {
    t[page] = {&Brumel::on_restart, Ending::A};
    t[page + 1] = {&Brumel::on_restart_preroll, Ending::A};
    t[page + 2] = {&Brumel::on_preroll, Ending::A};
  }
  for (int mode : {5, 9, 13, 17}) t[mode] = {&Brumel::sync_mode, Ending::A};
  t[25] = {&Brumel::on_grow_shrink, Ending::B};
  t[29] = {&Brumel::on_use_birth_matte, Ending::B};
  t[34] = {&Brumel::on_perspective, Ending::B};
  t[40] = {&Brumel::on_use_gravity, Ending::B};
  t[44] = {&Brumel::on_use_friction, Ending::B};
  t[46] = {&Brumel::on_use_swirling, Ending::B};
  t[50] = {&Brumel::on_use_constraint, Ending::B};
  t[52] = {&Brumel::on_use_wind, Ending::B};
  t[58] = {&Brumel::on_use_light, Ending::B};
  t[69] = {&Brumel::on_use_textured, Ending::B};
  t[74] = {&Brumel::on_use_fading, Ending::B};
  return t;
}();

}  // namespace

bool BrumelNode::notify_control_changed(CWidget* widget, int reason, double time) {
  const int entry = control_entry(widget);
  ControlKv* control = entry_control(entry);
  if (control == nullptr) return FXNode::notify_control_changed(widget, reason, time);

  control->fetch();
  const Dispatch& d = kDispatch[static_cast<std::size_t>(entry)];
  if (d.reaction != nullptr) (effect->*d.reaction)(control, time);

  // A handle's drag ends with reason 2: every cached frame is stale.
  if (reason == 2) invalidate_range(-1.0, -1.0);
  set_ovl_update_pending();
  if (d.ending == Ending::B) FXNode::notify_control_changed(widget, reason, time);
  return true;
}

}  // namespace brumel
