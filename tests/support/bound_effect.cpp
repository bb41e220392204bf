#include "support/bound_effect.h"

#include <array>
#include <cstdint>

namespace {

constexpr const char* kModes = "Render,Wireframe";
constexpr const char* kDemos = "Drift,Contraints,Simple 3D,Bombard,Sunset,Sky Writing,Billow";

using Colour = std::array<std::int32_t, 4>;
constexpr Colour kWhite = {65535, 65535, 65535, 65535};
constexpr Colour kBlue = {0, 0, 65535, 65535};
constexpr Colour kYellow = {65535, 65535, 0, 65535};
constexpr Colour kRed = {65535, 0, 0, 65535};

void paint(OverlayControlKv& handle, const Colour& colour, Brumel& effect) {
  for (int i = 0; i < 4; ++i) handle.colour[i] = colour[static_cast<std::size_t>(i)];
  handle.host_data[10] = &effect.handle_hit;
  handle.view = &effect;
}

void bind_crosshair(CrosshairOverlayKv& handle, PositionControlKv& control, const Colour& colour,
                    Brumel& effect) {
  handle.host_data[0] = control.host_data[0];
  handle.host_data[1] = control.host_data[1];
  handle.host_data[2] = &control;
  handle.style = 0;
  paint(handle, colour, effect);
}

void bind_line(LineOverlayKv& handle, PositionControlKv& from, PositionControlKv& to,
               const Colour& colour, Brumel& effect) {
  handle.host_data[0] = from.host_data[0];
  handle.host_data[1] = from.host_data[1];
  handle.host_data[2] = to.host_data[0];
  handle.host_data[3] = to.host_data[1];
  handle.host_data[4] = &from;
  handle.host_data[5] = &to;
  paint(handle, colour, effect);
}

}  // namespace

BoundEffect::BoundEffect() : effect(std::make_unique<Brumel>()) {
  Brumel& e = *effect;
  auto number = [this](const char* name, double def, double min, double max, double inc) {
    return Numeric(name, def, min, max, inc, true);
  };
  auto flag = [this](const char* name, bool def) { return Boolean(name, def, false); };
  auto position = [this](PositionControlKv& control, CWidget* x, CWidget* y) {
    control.bind(x, y, this);
  };

  e.demos.bind(Option("Demos: %s", kDemos, 0), this);
  std::array<ButtonControlKv*, 4> restarts = {&e.restart, &e.restart_2, &e.restart_3, &e.restart_4};
  std::array<ButtonControlKv*, 4> restart_prerolls = {&e.restart_preroll, &e.restart_preroll_2,
                                                      &e.restart_preroll_3, &e.restart_preroll_4};
  std::array<ButtonControlKv*, 4> prerolls = {&e.preroll, &e.preroll_2, &e.preroll_3, &e.preroll_4};
  std::array<ListControlKv*, 4> modes = {&e.mode, &e.mode_2, &e.mode_3, &e.mode_4};
  for (std::size_t page = 0; page < 4; ++page) {
    restarts[page]->bind(Action("Restart"), this);
    restart_prerolls[page]->bind(Action("Restart+PreR"), this);
    prerolls[page]->bind(Action("PreRoll"), this);
    if (page == 0) e.preroll_frames.bind(number("PreRoll", 40, 1, 1000, 1), this);
    modes[page]->bind(Option("Mode: %s", kModes, 1), this);
  }

  e.quantity.bind(number("Quantity", 20, 0, 5000, 0.01), this);
  e.continuity.bind(number("Continuity", 25, 0, 100, 0.01), this);
  e.lifetime.bind(number("Lifetime", 200, 1, 5000, 0.01), this);
  {
    CWidget* x = number("Birth_X", -0.125, -5, 5, 0.001);
    position(e.birth, x, number("Birth_Y", 0.8, -5, 5, 0.001));
  }
  e.cloud_size.bind(number("Cloud Size", 20, 1, 40, 0.01), this);
  e.cloud_size_variation.bind(number("Cloud Size V", 20, 0, 100, 0.01), this);
  e.grow_shrink.bind(flag("Grow/Shrink", false), this);
  e.grow_life.bind(number("Grow(Life)", 100, 0, 100, 0.01), this);
  e.shrink_life.bind(number("Shrink(Life)", 0, 0, 100, 0.01), this);
  e.min_size.bind(number("Min Size", 20, 1, 40, 0.01), this);
  e.use_birth_matte.bind(flag("Use Birth Ma", false), this);
  e.invert_birth_matte.bind(flag("Invert Birth", false), this);
  e.birth_radius.bind(number("Birth Radius", 0.3, 0, 2, 0.005), this);
  e.cloud_colour.bind(Color("Cloud Colour", 1.0, 1.0, 0.0, 1.0, true), this);
  e.seed.bind(number("Seed", 165, 1, 999, 17), this);
  e.perspective.bind(flag("Perspective", false), this);
  e.camera_distance.bind(number("Camera Dista", 100, 1, 1000, 0.01), this);
  {
    CWidget* x = number("VanishP_X", 0.5, -1.5, 2.5, 0.001);
    position(e.vanishing_point, x, number("VanishP_Y", 0.5, -1.5, 2.5, 0.001));
  }
  e.z_speed.bind(number("Z Speed", 5, -100, 100, 0.01), this);
  e.z_range.bind(number("Z Range", 50, 0.5, 100, 0.01), this);
  e.use_gravity.bind(flag("Use Gravity", false), this);
  e.gravity.bind(number("Gravity", 10, 0, 100, 0.01), this);
  e.gravity_angle.bind(number("Gravity Angl", 90, -360, 360, 0.5), this);
  e.gravity_90.bind(flag("Gravity 90 t", false), this);
  e.use_friction.bind(flag("Use Friction", false), this);
  e.friction.bind(number("Friction", 2, 0, 100, 0.01), this);
  e.use_swirling.bind(flag("Use Swirling", false), this);
  e.swirl_density.bind(number("Swirl Densit", 10, 0, 100, 0.01), this);
  e.swirl_magnitude.bind(number("Swirl Magnit", 5, 0, 100, 0.01), this);
  e.swirl_to_max.bind(number("Swirl to Max", 40, 0, 500, 0.01), this);
  e.use_constraint.bind(flag("Use Constrai", false), this);
  e.constraint_angle.bind(number("Constraint A", 6, 0, 89.5, 0.5), this);
  e.use_wind.bind(flag("Use Wind", true), this);
  {
    CWidget* x = number("Wind Source_X", 0, -2, 2, 0.001);
    position(e.wind_source, x, number("Wind Source_Y", 0.75, -2, 2, 0.001));
  }
  {
    CWidget* x = number("Wind Target_X", 0.5, -2, 2, 0.001);
    position(e.wind_target, x, number("Wind Target_Y", 0.75, -2, 2, 0.001));
  }
  e.wind_speed.bind(number("Wind Speed", 12, 0, 100, 0.01), this);
  e.use_light.bind(flag("Use Light", false), this);
  e.light_colour.bind(Color("Light", 1.0, 1.0, 1.0, 1.0, true), this);
  {
    CWidget* x = number("Light Source_X", 0.5, -2, 2, 0.001);
    position(e.light_source, x, number("Light Source_Y", 0, -2, 2, 0.001));
  }
  e.z_light_source.bind(number("Z Light Sour", 0.3, -1, 1, 0.005), this);
  {
    CWidget* x = number("Light Target_X", 0.5, -2, 2, 0.001);
    position(e.light_target, x, number("Light Target_Y", 0.4, -2, 2, 0.001));
  }
  e.density.bind(number("Density", 25, 0, 100, 0.01), this);
  e.fluffiness.bind(number("Fluffiness", 12, 1, 100, 0.01), this);
  e.contrast.bind(number("Contrast", 50, 1, 100, 0.01), this);
  e.brightness.bind(number("Brightness", 50, 0, 100, 0.01), this);
  e.use_textured.bind(flag("Use Textured", false), this);
  e.texture_mag.bind(number("Texture Mag", 40, 0, 100, 0.01), this);
  e.texture_x.bind(number("Texture X", 25, 1, 100, 0.01), this);
  e.texture_y.bind(number("Texture Y", 25, 1, 100, 0.01), this);
  e.seethe.bind(number("Seethe", 0, 0, 100, 0.01), this);
  e.use_fading.bind(flag("Use Fading", false), this);
  e.fade_in_life.bind(number("In(Life)", 10, 0, 100, 0.01), this);
  e.fade_out_life.bind(number("Out(Life)", 10, 0, 100, 0.01), this);

  for (const char* page : {"Brumel", "Forces", "Light", "Depth"}) Label(page);

  bind_crosshair(e.birth_handle, e.birth, kWhite, e);
  e.birth_radius_handle.host_data[2] = e.birth_radius.host_data[0];
  e.birth_radius_handle.host_data[3] = e.birth_radius.host_data[0];
  e.birth_radius_handle.host_data[4] = &e.birth_radius;
  e.birth_radius_handle.host_data[5] = &e.birth_radius;
  paint(e.birth_radius_handle, kWhite, e);
  bind_crosshair(e.wind_source_handle, e.wind_source, kBlue, e);
  bind_crosshair(e.wind_target_handle, e.wind_target, kBlue, e);
  bind_line(e.wind_line, e.wind_source, e.wind_target, kBlue, e);
  bind_crosshair(e.light_source_handle, e.light_source, kYellow, e);
  bind_crosshair(e.light_target_handle, e.light_target, kYellow, e);
  bind_line(e.light_line, e.light_source, e.light_target, kYellow, e);
  bind_crosshair(e.vanish_handle, e.vanishing_point, kRed, e);
}

BoundEffect::~BoundEffect() = default;

void BoundEffect::fetch_all() {
  for (ControlKv* control : control_table(*effect)) control->fetch();
}

CNumeric* BoundEffect::number(int entry) const {
  CWidget* w = entry < kControlWidgets ? control(entry) : nullptr;
  return w && w->kind() == WidgetKind::Numeric ? static_cast<CNumeric*>(w) : nullptr;
}

CBoolean* BoundEffect::flag(int entry) const {
  CWidget* w = entry < kControlWidgets ? control(entry) : nullptr;
  return w && w->kind() == WidgetKind::Boolean ? static_cast<CBoolean*>(w) : nullptr;
}

COption* BoundEffect::option(int entry) const {
  CWidget* w = entry < kControlWidgets ? control(entry) : nullptr;
  return w && w->kind() == WidgetKind::Option ? static_cast<COption*>(w) : nullptr;
}
