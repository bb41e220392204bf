// The derived-constants pass: scaled constants from the default and edge-case control
// values, the wind, gravity and light vectors, and which changes mark the stamps dirty.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

#include "render/image_buffer.h"
#include "support/bound_effect.h"

namespace brumel {

namespace {

constexpr std::int32_t kWidth = 720;

// An effect holding the node's default control values, with the constants derived
// once and the stamps' first-pass change already taken.
struct Derived {
  BoundEffect node;
  Brumel& b = *node.effect;
  CloudSystem& s = *b.system;

  Derived() {
    b.frame_width = kWidth;
    pass();
  }
  // One pass; returns whether it marked the stamps dirty.
  bool pass() {
    b.stamps_dirty = 0;
    b.derive_constants(&s);
    return b.stamps_dirty != 0;
  }
  std::vector<float> wind() const { return {s.wind_dir_x, s.wind_dir_y, s.perp_x, s.perp_y, s.wind_speed}; }
  std::vector<float> gravity() const { return {s.gravity_x, s.gravity_y}; }
};

TEST(DerivedConstants, ControlValuesMapToWorkingValues) {
  Derived d;
  const CloudSystem& s = d.s;
  EXPECT_EQ((std::vector<float>{s.birth_count_mean, s.continuity, s.birth_count_spread, s.lifetime_spread,
                                s.birth_radius, s.birth_x, s.birth_y, s.shrink_start, s.fade_out_start, s.fluffiness,
                                s.z_speed}),
            (std::vector<float>{20.0f, 0.25f, 2.5f, 20.0f, 0.15f, -0.125f, 0.8f, 1.0f, 0.9f, 1.2f,
                                static_cast<float>(5.0 / kWidth)}));
  // Wind: left to right across the frame, 12 pixels per frame.
  EXPECT_EQ(d.wind(), (std::vector<float>{1.0f, 0.0f, -0.0f, 1.0f, static_cast<float>(12.0 / kWidth)}));
  // With the light off, lit parts take the cloud colour (yellow), stored 0, 2, 1.
  EXPECT_EQ((std::vector<float>{s.lit_colour_0, s.lit_colour_1, s.lit_colour_2}),
            (std::vector<float>{32767.0f, 32767.0f, 0.0f}));
  // The default light, from the target toward the source.
  EXPECT_NEAR(s.light_dir_y, -0.8f, 1e-6);
  EXPECT_NEAR(s.light_dir_z, 0.6f, 1e-6);

  d.b.use_light.value = true;
  d.b.light_colour.value[0] = 100, d.b.light_colour.value[1] = 200, d.b.light_colour.value[2] = 300;
  d.b.use_friction.value = true;
  d.b.friction.value = 100;
  for (const auto& [brightness, expected] : {std::pair{0.0, 1.0f}, {50.0, 0.0f}, {100.0, -1.0f}}) {
    d.b.brightness.value = brightness;
    d.pass();
    EXPECT_EQ(s.brightness, expected) << "Brightness " << brightness;
  }
  EXPECT_EQ((std::vector<float>{s.lit_colour_0, s.lit_colour_1, s.lit_colour_2, s.friction_factor}),
            (std::vector<float>{100.0f, 200.0f, 300.0f, 0.0f}));  // full friction stops every velocity
}

// The wind axis needs distinct ends and survives Use Wind off for the constraint;
// gravity follows its angle (the default 90 pulls toward increasing y) or, at right
// angles to the wind, toward increasing y whichever way the wind blows (none without a
// wind); coincident light ends at zero height light from above.
TEST(DerivedConstants, WindGravityAndLightVectors) {
  Derived d;
  d.b.use_wind.value = false;
  d.pass();
  EXPECT_EQ(d.wind(), std::vector<float>(5, 0.0f));
  d.b.use_constraint.value = true;
  d.pass();
  EXPECT_EQ(d.wind(), (std::vector<float>{1.0f, 0.0f, -0.0f, 1.0f, 0.0f}));

  d.b.use_wind.value = d.b.use_gravity.value = true;
  d.pass();
  EXPECT_NEAR(d.s.gravity_x, 0.0f, 1e-12);
  EXPECT_EQ(d.s.gravity_y, static_cast<float>(10 * 0.00001));
  d.b.gravity_angle.value = 180;
  d.pass();
  EXPECT_EQ(d.s.gravity_x, -d.s.gravity);
  EXPECT_NEAR(d.s.gravity_y, 0.0f, 1e-12);
  d.b.gravity_90.value = true;
  for (double target_x : {0.5, -0.5}) {
    d.b.wind_target.value_x = target_x;
    d.pass();
    EXPECT_EQ(d.gravity(), (std::vector<float>{0.0f, d.s.gravity})) << "wind target x " << target_x;
  }
  d.b.wind_target.value_y = 0.25;  // a diagonal wind tilts it
  d.pass();
  EXPECT_TRUE(d.s.gravity_y > 0.0f && d.s.gravity_x != 0.0f);
  d.b.wind_target.value_x = d.b.wind_source.value_x;
  d.b.wind_target.value_y = d.b.wind_source.value_y;
  d.pass();
  EXPECT_EQ(d.wind(), (std::vector<float>{0.0f, 0.0f, 0.0f, 0.0f, d.s.wind_speed}));
  EXPECT_EQ(d.gravity(), (std::vector<float>{0.0f, 0.0f}));

  d.b.light_source.value_x = d.b.light_target.value_x = 0.3;
  d.b.light_source.value_y = d.b.light_target.value_y = 0.6;
  d.b.z_light_source.value = 0.0;
  d.pass();
  EXPECT_EQ((std::vector<float>{d.s.light_dir_x, d.s.light_dir_y, d.s.light_dir_z}),
            (std::vector<float>{0.0f, -1.0f, 0.0f}));
}

TEST(DerivedConstants, OnlyStampInputsMarkTheStampsDirty) {
  Derived d;
  Brumel& b = d.b;
  const std::pair<const char*, std::function<void()>> harmless[] = {
      {"Seed", [&] { b.seed.value = 166; }},           {"Quantity", [&] { b.quantity.value = 35; }},
      {"Wind Target", [&] { b.wind_target.value_y = 0.1; }}, {"Density", [&] { b.density.value = 80; }},
      {"Texture X", [&] { b.texture_x.value = 70; }},  {"Cloud Colour", [&] { b.cloud_colour.value[0] = 5; }},
  };
  for (const auto& [name, change] : harmless) {
    change();
    EXPECT_FALSE(d.pass()) << name;
  }
  const std::pair<const char*, std::function<void()>> watched[] = {
      {"Fluffiness", [&] { b.fluffiness.value = 13; }},
      {"Contrast", [&] { b.contrast.value = 60; }},
      {"Brightness", [&] { b.brightness.value = 40; }},
      {"Light Source_X", [&] { b.light_source.value_x = 0.1; }},
      {"Light Target_Y", [&] { b.light_target.value_y = 0.9; }},
      {"Z Light Sour", [&] { b.z_light_source.value = -0.5; }},
      {"Use Textured", [&] { b.use_textured.value = true; }},
      {"Texture Mag", [&] { b.texture_mag.value = 41; }},
  };
  for (const auto& [name, change] : watched) {
    change();
    EXPECT_TRUE(d.pass()) << name;
    EXPECT_FALSE(d.pass()) << name << " unchanged on the next pass";
  }
  b.fluffiness.value = std::numeric_limits<double>::quiet_NaN();
  EXPECT_TRUE(d.pass() && d.pass()) << "a NaN input differs from itself on every pass";
}

// The zeroed fields of a new system differ from the defaults; a render leaves the stamps
// clean, and a second pass over the same controls finds no change.
TEST(DerivedConstants, FirstPassAndRenderingMarkTheStampsAsTheyShould) {
  BoundEffect node;
  Brumel& b = *node.effect;
  std::vector<std::uint16_t> pixels(64 * 48 * 4, 1000);
  ImageBuffer source(64, 48, pixels.data()), output(64, 48);
  b.source_image.image = b.matte_image.image = &source;
  b.output_image.image = &output;
  b.frame_width = 64;
  b.derive_constants(b.system);
  EXPECT_EQ(b.stamps_dirty, 1);
  b.render();
  b.derive_constants(b.system);
  EXPECT_EQ(b.stamps_dirty, 0);
}

}  // namespace

}  // namespace brumel
