// The derived-constants pass: scaled constants from the default and edge-case control
// values, the wind, gravity and light vectors, and which changes mark the stamps dirty.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "render/image_buffer.h"
#include "support/bound_effect.h"

namespace {

constexpr std::int32_t kWidth = 720;

// An effect holding the node's default control values, with the constants derived
// once and the stamps' first-pass change already taken.
struct Derived {
  BoundEffect node;
  Brumel& b = *node.effect;
  CloudSystem* s = b.system;

  Derived() {
    node.fetch_all();
    b.frame_width = kWidth;
    pass();
  }
  // One pass; returns whether it marked the stamps dirty.
  bool pass() {
    b.stamps_dirty = 0;
    b.derive_constants(s);
    return b.stamps_dirty != 0;
  }
};

TEST(DerivedConstants, DefaultsGiveTheDocumentedWorkingValues) {
  Derived d;
  const CloudSystem& s = *d.s;
  EXPECT_EQ(s.max_age_mean, 5000.0f);
  EXPECT_EQ(s.birth_count_mean, 20.0f);
  EXPECT_EQ(s.continuity, 0.25f);
  EXPECT_EQ(s.birth_count_spread, 2.5f);
  EXPECT_EQ(s.lifetime_spread, 20.0f);
  EXPECT_EQ(s.birth_radius, 0.15f);
  EXPECT_EQ(s.birth_x, -0.125f);
  EXPECT_EQ(s.birth_y, 0.8f);
  EXPECT_EQ(s.shrink_start, 1.0f);
  EXPECT_EQ(s.fade_out_start, 0.9f);
  EXPECT_EQ(s.z_speed, static_cast<float>(5.0 / kWidth));
  // Wind: left to right across the frame, 12 pixels per frame.
  EXPECT_EQ(s.wind_dir_x, 1.0f);
  EXPECT_EQ(s.wind_dir_y, 0.0f);
  EXPECT_EQ(s.perp_x, -0.0f);
  EXPECT_EQ(s.perp_y, 1.0f);
  EXPECT_EQ(s.wind_speed, static_cast<float>(12.0 / kWidth));
  // Gravity and friction are off.
  EXPECT_EQ(s.gravity_x, 0.0f);
  EXPECT_EQ(s.gravity_y, 0.0f);
  EXPECT_EQ(s.friction_factor, 1.0f);
  // With the light off, lit parts take the cloud colour (yellow), stored 0, 2, 1.
  EXPECT_EQ(s.lit_colour_0, 32767.0f);
  EXPECT_EQ(s.lit_colour_1, 32767.0f);
  EXPECT_EQ(s.lit_colour_2, 0.0f);
  EXPECT_EQ(s.brightness, 0.0f);
  EXPECT_EQ(s.contrast, 1.0f);
  EXPECT_EQ(s.fluffiness, 1.2f);
  // The default light, from the target toward the source.
  EXPECT_NEAR(s.light_dir_x, 0.0f, 1e-7);
  EXPECT_NEAR(s.light_dir_y, -0.8f, 1e-6);
  EXPECT_NEAR(s.light_dir_z, 0.6f, 1e-6);
}

TEST(DerivedConstants, LightBrightnessAndFrictionMapToWorkingValues) {
  Derived d;
  d.b.use_light.value = true;
  d.b.light_colour.value[0] = 100;
  d.b.light_colour.value[1] = 200;
  d.b.light_colour.value[2] = 300;
  d.b.use_friction.value = true;
  d.b.friction.value = 100;
  for (const auto& [brightness, expected] : {std::pair{0.0, 1.0f}, {100.0, -1.0f}}) {
    d.b.brightness.value = brightness;
    d.pass();
    EXPECT_EQ(d.s->brightness, expected) << "Brightness " << brightness;
  }
  EXPECT_EQ(d.s->lit_colour_0, 100.0f);
  EXPECT_EQ(d.s->lit_colour_1, 200.0f);
  EXPECT_EQ(d.s->lit_colour_2, 300.0f);
  EXPECT_EQ(d.s->friction_factor, 0.0f);  // full friction stops every velocity
}

TEST(DerivedConstants, WindAxisNeedsDistinctEnds) {
  Derived d;
  d.b.wind_target.value_x = d.b.wind_source.value_x;
  d.b.wind_target.value_y = d.b.wind_source.value_y;
  d.b.use_gravity.value = true;
  d.b.gravity_90.value = true;
  d.pass();
  EXPECT_EQ(d.s->wind_dir_x, 0.0f);
  EXPECT_EQ(d.s->wind_dir_y, 0.0f);
  EXPECT_EQ(d.s->perp_x, 0.0f);
  EXPECT_EQ(d.s->perp_y, 0.0f);
  // Gravity at right angles to no wind is no gravity at all.
  EXPECT_EQ(d.s->gravity_x, 0.0f);
  EXPECT_EQ(d.s->gravity_y, 0.0f);
}

TEST(DerivedConstants, ConstraintKeepsTheWindAxisWithTheWindOff) {
  Derived d;
  d.b.use_wind.value = false;
  d.pass();
  EXPECT_EQ(d.s->wind_dir_x, 0.0f);
  EXPECT_EQ(d.s->wind_speed, 0.0f);
  d.b.use_constraint.value = true;
  d.pass();
  EXPECT_EQ(d.s->wind_dir_x, 1.0f);
  EXPECT_EQ(d.s->perp_y, 1.0f);
  EXPECT_EQ(d.s->wind_speed, 0.0f);
}

TEST(DerivedConstants, GravityFollowsItsAngleOrTheWindNormal) {
  Derived d;
  d.b.use_gravity.value = true;
  d.pass();
  // The default 90 degrees pulls toward increasing y.
  EXPECT_NEAR(d.s->gravity_x, 0.0f, 1e-12);
  EXPECT_EQ(d.s->gravity_y, static_cast<float>(10 * 0.00001));
  d.b.gravity_angle.value = 180;
  d.pass();
  EXPECT_EQ(d.s->gravity_x, -d.s->gravity);
  EXPECT_NEAR(d.s->gravity_y, 0.0f, 1e-12);

  // At right angles to the wind, toward increasing y whichever way the wind blows.
  d.b.gravity_90.value = true;
  for (double target_x : {0.5, -0.5}) {
    d.b.wind_target.value_x = target_x;
    d.pass();
    EXPECT_EQ(d.s->gravity_x, 0.0f) << "wind target x " << target_x;
    EXPECT_EQ(d.s->gravity_y, d.s->gravity) << "wind target x " << target_x;
  }
  // A diagonal wind tilts it.
  d.b.wind_target.value_y = 0.25;
  d.pass();
  EXPECT_GT(d.s->gravity_y, 0.0f);
  EXPECT_NE(d.s->gravity_x, 0.0f);
}

TEST(DerivedConstants, CoincidentLightEndsAtZeroHeightLightFromAbove) {
  Derived d;
  d.b.light_source.value_x = d.b.light_target.value_x = 0.3;
  d.b.light_source.value_y = d.b.light_target.value_y = 0.6;
  d.b.z_light_source.value = 0.0;
  d.pass();
  EXPECT_EQ(d.s->light_dir_x, 0.0f);
  EXPECT_EQ(d.s->light_dir_y, -1.0f);
  EXPECT_EQ(d.s->light_dir_z, 0.0f);
}

TEST(DerivedConstants, OnlyStampInputsMarkTheStampsDirty) {
  Derived d;
  Brumel& b = d.b;
  const std::vector<std::pair<std::string, std::function<void()>>> harmless = {
      {"Seed", [&] { b.seed.value = 166; }},
      {"Quantity", [&] { b.quantity.value = 35; }},
      {"Wind Speed", [&] { b.wind_speed.value = 40; }},
      {"Wind Target", [&] { b.wind_target.value_y = 0.1; }},
      {"Density", [&] { b.density.value = 80; }},
      {"Texture X", [&] { b.texture_x.value = 70; }},
      {"Cloud Colour", [&] { b.cloud_colour.value[0] = 5; }},
  };
  for (const auto& [name, change] : harmless) {
    change();
    EXPECT_FALSE(d.pass()) << name;
  }
  const std::vector<std::pair<std::string, std::function<void()>>> watched = {
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
}

TEST(DerivedConstants, FirstPassNaNInputsAndRenderingMarkTheStampsAsTheyShould) {
  BoundEffect node;
  node.fetch_all();
  Brumel& b = *node.effect;
  std::vector<std::uint16_t> pixels(64 * 48 * 4, 1000);
  ImageBuffer source(64, 48, pixels.data()), output(64, 48);
  b.source_image.image = &source;
  b.matte_image.image = &source;
  b.output_image.image = &output;
  b.frame_width = 64;
  b.derive_constants(b.system);
  EXPECT_EQ(b.stamps_dirty, 1) << "the zeroed fields of a new system differ from the defaults";
  // A render left the stamps clean; a second pass over the same controls finds no change.
  b.render();
  b.derive_constants(b.system);
  EXPECT_EQ(b.stamps_dirty, 0);

  b.fluffiness.value = std::numeric_limits<double>::quiet_NaN();
  for (int i = 0; i < 2; ++i) {
    b.stamps_dirty = 0;
    b.derive_constants(b.system);
    EXPECT_EQ(b.stamps_dirty, 1) << "NaN, pass " << i;
  }
}

}  // namespace
