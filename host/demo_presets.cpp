// The seven demo looks of "Demos: %s", as data: one row per control, one cell per
// preset, applied in row order through each control's `set`.
#include <array>
#include <cstdint>
#include <type_traits>
#include <variant>

#include "sim/brumel.h"

namespace brumel {

namespace {

// A control of the record that a preset may set.
using Target = std::variant<FloatControlKv BrumelInfo::*, SizeControlKv BrumelInfo::*,
                            AngleControlKv BrumelInfo::*, IntegerControlKv BrumelInfo::*,
                            CheckboxControlKv BrumelInfo::*, PositionControlKv BrumelInfo::*,
                            ColourControlKv BrumelInfo::*>;

// One preset's value for a control: a number, a flag (0 or 1), a position (x, y) or
// a colour (four 16-bit words red, green, blue, alpha); absent cells are not set.
struct Cell {
  bool present = false;
  std::array<double, 4> v{};
};

constexpr Cell n(double v) { return {true, {v, 0, 0, 0}}; }
constexpr Cell xy(double x, double y) { return {true, {x, y, 0, 0}}; }
constexpr Cell rgba(double r, double g, double b, double a) { return {true, {r, g, b, a}}; }
constexpr Cell on = n(1);
constexpr Cell off = n(0);
constexpr Cell _ = {};

constexpr std::size_t kPresets = 7;  // Drift, Contraints, Simple 3D, Bombard, Sunset,
                                     // Sky Writing, Billow

struct PresetRow {
  Target control;
  std::array<Cell, kPresets> cells;
};

using I = BrumelInfo;
constexpr Cell kPale = rgba(32640, 32640, 32640, 32640);
constexpr Cell kAmber = rgba(32640, 32640, 2560, 32640);
constexpr Cell kGrey = rgba(16384, 16384, 16384, 32640);
constexpr Cell kWarmLight = rgba(32640, 26752, 32256, 32640);
constexpr Cell kGreenLight = rgba(31360, 32640, 21248, 32640);
constexpr Cell kHighLight = xy(0.779, 0.045);
constexpr Cell kHighTarget = xy(0.777, 0.277);

// clang-format off
constexpr PresetRow kPresetTable[] = {
  //                           Drift            Contraints         Simple 3D          Bombard            Sunset             Sky Writing        Billow
  {&I::seed,                  {n(1650),         n(1650),           n(1650),           n(1650),           n(1650),           n(1650),           n(1650)}},
  {&I::birth,                 {xy(-0.12, 0.55), xy(1.17, 0.75),    xy(0.279, 0.318),  xy(0.49, 0.46),    xy(0.216, 0.531),  xy(0.1, 0.9),      xy(0.521, 0.712)}},
  {&I::birth_radius,          {n(0.164),        n(0.3),            n(0.064),          n(0.064),          n(0.087),          n(0.028),          n(0.364)}},
  {&I::quantity,              {n(5),            n(6),              n(12),             n(2.25),           n(5),              n(8),              n(5)}},
  {&I::continuity,            {n(4),            n(25),             n(25),             n(25),             n(25),             n(100),            n(50)}},
  {&I::lifetime,              {n(500),          n(200),            n(100),            n(120),            n(200),            n(200),            n(400)}},
  {&I::preroll_frames,        {n(400),          n(40),             n(40),             n(120),            n(40),             n(1),              n(10)}},
  {&I::cloud_colour,          {rgba(11520, 11520, 11520, 32640), kAmber, kGrey, kGrey, kAmber, rgba(31488, 27520, 32640, 32640), kPale}},
  {&I::cloud_size,            {n(20),           n(10),             n(10),             n(35),             n(20),             n(10),             n(30)}},
  {&I::cloud_size_variation,  {n(20),           n(20),             n(50),             n(50),             n(20),             n(35),             n(35)}},
  {&I::min_size,              {n(20),           n(10),             n(10),             n(5),              n(8),              n(4),              n(15)}},
  {&I::grow_shrink,           {off,             off,               on,                on,                on,                on,                off}},
  {&I::grow_life,             {_,               _,                 n(100),            n(100),            n(100),            n(50),             _}},
  {&I::shrink_life,           {_,               _,                 n(0),              n(0),              n(0),              n(0),              _}},
  {&I::use_birth_matte,       {off,             off,               off,               off,               off,               off,               on}},
  {&I::invert_birth_matte,    {off,             off,               off,               off,               off,               off,               off}},
  {&I::perspective,           {off,             off,               on,                on,                on,                off,               off}},
  {&I::camera_distance,       {_,               _,                 n(48),             n(230),            n(100),            _,                 _}},
  {&I::vanishing_point,       {_,               _,                 xy(0.193, 0.203),  xy(0.501, 0.436),  xy(0.214, 0.464),  _,                 _}},
  {&I::z_speed,               {_,               _,                 n(12),             n(22.25),          n(15.25),          _,                 _}},
  {&I::z_range,               {_,               _,                 n(84),             n(84),             n(50),             _,                 _}},
  {&I::use_gravity,           {off,             on,                off,               off,               off,               off,               off}},
  {&I::gravity,               {_,               n(10),             _,                 _,                 _,                 _,                 _}},
  {&I::gravity_angle,         {_,               n(180),            _,                 _,                 _,                 _,                 _}},
  {&I::gravity_90,            {_,               off,               _,                 _,                 _,                 _,                 _}},
  {&I::use_friction,          {off,             on,                off,               off,               off,               off,               off}},
  {&I::friction,              {_,               n(4),              _,                 _,                 _,                 _,                 _}},
  {&I::use_swirling,          {on,              on,                on,                on,                off,               on,                off}},
  {&I::swirl_density,         {n(33),           n(43),             n(33),             n(33),             _,                 n(18),             _}},
  {&I::swirl_magnitude,       {n(2.7),          n(45),             n(1.2),            n(1.2),            _,                 n(8),              _}},
  {&I::swirl_to_max,          {n(40),           n(0),              n(44),             n(44),             _,                 n(200),            _}},
  {&I::use_constraint,        {on,              on,                off,               off,               off,               off,               off}},
  {&I::constraint_angle,      {n(1),            n(1),              _,                 _,                 _,                 _,                 _}},
  {&I::use_wind,              {on,              on,                off,               off,               off,               off,               off}},
  {&I::wind_source,           {xy(-0.27, 0.3),  xy(1.15, 0.347),   _,                 _,                 _,                 _,                 _}},
  {&I::wind_target,           {xy(0.47, 0.5),   xy(0.454, 0.347),  _,                 _,                 _,                 _,                 _}},
  {&I::wind_speed,            {n(0.86),         n(6.81),           _,                 _,                 _,                 _,                 _}},
  {&I::use_light,             {on,              on,                on,                on,                on,                on,                on}},
  {&I::light_source,          {xy(0.28, 0.04),  kHighLight,        kHighLight,        kHighLight,        kHighLight,        xy(0.67, 1.06),    xy(0.5, 0)}},
  {&I::z_light_source,        {n(-0.016),       n(0.047),          n(0.047),          n(0.047),          n(0.047),          n(-0.064),         n(0.008)}},
  {&I::light_target,          {xy(0.77, 0.27),  kHighTarget,       kHighTarget,       kHighTarget,       kHighTarget,       xy(0.51, 0.8),     xy(0.5, 0.8)}},
  {&I::light_colour,          {kPale,           kWarmLight,        kPale,             kPale,             kWarmLight,        kGreenLight,       kGreenLight}},
  {&I::brightness,            {n(68),           n(57),             n(57),             n(57),             n(57),             n(57),             n(60)}},
  {&I::density,               {n(28),           n(92),             n(33),             n(33),             n(33),             n(33),             n(33)}},
  {&I::fluffiness,            {n(12),           n(20),             n(12),             n(10),             n(10),             n(12),             n(12)}},
  {&I::contrast,              {n(63),           n(70),             n(70),             n(70),             n(70),             n(70),             n(70)}},
  {&I::texture_mag,           {n(28),           n(60),             n(54),             n(54),             n(60),             n(33),             n(33)}},
  {&I::texture_x,             {n(28),           n(25),             n(25),             n(25),             n(25),             n(20),             n(20)}},
  {&I::texture_y,             {n(34),           n(25),             n(25),             n(25),             n(25),             n(20),             n(20)}},
  {&I::seethe,                {n(0),            n(2),              n(0),              n(2.49),           n(2),              n(0),              n(1.2)}},
  {&I::use_fading,            {off,             on,                on,                on,                on,                on,                off}},
  {&I::fade_in_life,          {_,               n(0),              n(20),             n(10),             n(12),             n(12),             _}},
  {&I::fade_out_life,         {_,               n(20),             n(0),              n(10),             n(0),              n(50),             _}},
};
// clang-format on

void assign(BrumelInfo& info, const Target& target, const Cell& cell) {
  std::visit(
      [&](auto member) {
        auto& control = info.*member;
        using C = std::remove_reference_t<decltype(control)>;
        if constexpr (std::is_same_v<C, PositionControlKv>) {
          control.set(cell.v[0], cell.v[1]);
        } else if constexpr (std::is_same_v<C, ColourControlKv>) {
          control.set(static_cast<std::uint16_t>(cell.v[0]), static_cast<std::uint16_t>(cell.v[1]),
                      static_cast<std::uint16_t>(cell.v[2]), static_cast<std::uint16_t>(cell.v[3]));
        } else if constexpr (std::is_same_v<C, IntegerControlKv> ||
                             std::is_same_v<C, CheckboxControlKv>) {
          control.set(static_cast<std::int32_t>(cell.v[0]));
        } else {
          control.set(cell.v[0]);
        }
      },
      target);
}

}  // namespace

void Brumel::apply_demo(ControlKv* /*changed*/, double /*time*/) {
  const std::int32_t chosen = demos.get_at(-1.0);  // 1 for the first entry
  restart_requested = 1;
  if (chosen < 1 || chosen > static_cast<std::int32_t>(kPresets)) return;
  const auto preset = static_cast<std::size_t>(chosen - 1);
  for (const PresetRow& row : kPresetTable) {
    const Cell& cell = row.cells[preset];
    if (cell.present) assign(*this, row.control, cell);
  }
}

}  // namespace brumel
