// The simulation step and the frame driver around it: births and their random draws,
// the birth matte, sizes, life and death, the forces, and reproducibility.
#include <gtest/gtest.h>

#include <array>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "render/image_buffer.h"
#include "support/bound_effect.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

constexpr std::int32_t kRender = 1;
constexpr std::int32_t kWireframe = 2;

// An effect with the node's default controls, driven step by step without images.
struct Sim {
  BoundEffect node;
  Brumel& b = *node.effect;
  CloudSystem* s = b.system;

  explicit Sim(std::int32_t width = 720, std::int32_t height = 576) {
    node.fetch_all();
    b.mode.value = kWireframe;
    b.frame_width = s->frame_width = width;
    b.frame_height = s->frame_height = height;
  }
  void derive() { b.derive_constants(s); }
  void step(std::int32_t frame = 0) {
    derive();
    b.simulate_step(s, frame);
  }
  // A particle at (x, y, z) with velocity (vx, vy, vz) and a long life, at the head of
  // the live list.
  Particle* place(float x, float y, float z, float vx = 0, float vy = 0, float vz = 0) {
    Particle* p = ::take_particle(s);
    *p = Particle{x, y, z, x, y, z, vx, vy, vz, 0, 0, 1000, 5000, 80, 80, s->live_list};
    s->live_list = p;
    ++s->live_count;
    return p;
  }
  std::vector<const Particle*> live() const {
    std::vector<const Particle*> out;
    for (const Particle* p = s->live_list; p; p = p->next) out.push_back(p);
    return out;
  }
};

// Every field but the link, bit for bit.
using ParticleBits = std::array<std::uint32_t, 15>;
ParticleBits bits(const Particle& p) {
  ParticleBits out{};
  std::memcpy(out.data(), &p, sizeof out);
  return out;
}
std::vector<ParticleBits> snapshot(const Sim& sim) {
  std::vector<ParticleBits> out;
  for (const Particle* p : sim.live()) out.push_back(bits(*p));
  return out;
}

// Source, matte and output buffers of one size for the frame driver.
struct Frames {
  std::int32_t w, h;
  std::vector<std::uint16_t> source_pixels, matte_pixels;
  ImageBuffer source, matte, output;

  Frames(std::int32_t width, std::int32_t height)
      : w(width), h(height),
        source_pixels(static_cast<std::size_t>(width * height * 4)),
        matte_pixels(source_pixels.size(), 0),
        source(width, height, source_pixels.data()),
        matte(width, height, matte_pixels.data()),
        output(width, height) {
    for (std::size_t i = 0; i < source_pixels.size(); ++i) {
      source_pixels[i] = static_cast<std::uint16_t>((i * 7919) % 32768);
    }
  }
  void attach(Brumel& b) {
    b.source_image.image = &source;
    b.matte_image.image = &matte;
    b.output_image.image = &output;
  }
  bool output_is_source() const {
    for (std::int32_t y = 0; y < h; ++y) {
      if (std::memcmp(output.rows[y], source.rows[y], static_cast<std::size_t>(w) * 8) != 0) return false;
    }
    return true;
  }
};

// Births with a fixed count: every step wants exactly `n` particles.
void want_exactly(Sim& sim, float n) {
  sim.b.quantity.value = n;
  sim.b.continuity.value = 100;
  sim.derive();
  sim.s->birth_count_spread = 0;
}

TEST(Births, FailedMatteBirthsGiveUpAfterTenTriesPerWantedBirth) {
  Sim sim;
  Frames frames(sim.s->frame_width, sim.s->frame_height);
  frames.attach(sim.b);
  sim.b.use_birth_matte.value = true;
  want_exactly(sim, 20);
  const std::int32_t cursor = sim.b.random_cursor;
  CaptureStdout();
  sim.b.simulate_step(sim.s, 0);
  EXPECT_EQ(GetCapturedStdout(),
            "Tried many times to create a particle\n"
            "Probability of success too low to continue - check matte\n");
  EXPECT_EQ(sim.s->live_count, 0);
  // The birth count (two draws), then 201 failed attempts of five draws each.
  EXPECT_EQ(sim.b.random_cursor - cursor, 2 + 201 * 5);

  // Points outside the frame fail even on a lit matte.
  std::fill(frames.matte_pixels.begin(), frames.matte_pixels.end(), 32767);
  sim.b.birth.value_x = 3.0;
  sim.b.birth_radius.value = 0.1;
  want_exactly(sim, 1);
  CaptureStdout();
  sim.b.simulate_step(sim.s, 0);
  EXPECT_FALSE(GetCapturedStdout().empty());
  EXPECT_EQ(sim.s->live_count, 0);
}

TEST(Births, MatteChannelZeroDecidesWhereParticlesAppear) {
  Sim sim(200, 100);
  Frames frames(200, 100);
  frames.attach(sim.b);
  // Red is just lit in the right half and just dark in the left (a birth needs more
  // than 10 of ink); the other channels the other way round.
  for (std::int32_t y = 0; y < 100; ++y) {
    for (std::int32_t x = 0; x < 200; ++x) {
      std::uint16_t* px = frames.matte.rows[y] + 4 * x;
      const bool right = x >= 100;
      px[0] = right ? 32757 : 10;
      px[1] = px[2] = px[3] = right ? 0 : 32767;
    }
  }
  sim.b.use_birth_matte.value = true;
  sim.b.birth.value_x = 0.5;
  sim.b.birth.value_y = 0.5;
  sim.b.birth_radius.value = 1.0;
  want_exactly(sim, 50);
  sim.b.simulate_step(sim.s, 0);
  ASSERT_EQ(sim.s->live_count, 50);
  for (const Particle* p : sim.live()) EXPECT_GE(p->prev_x * 200.0f, 100.0f);

  // Inverted, the ink is 32767 - red: the left half has it, the right half only 10.
  sim.b.invert_birth_matte.value = true;
  want_exactly(sim, 50);
  ::restart(sim.s);
  sim.b.simulate_step(sim.s, 0);
  ASSERT_EQ(sim.s->live_count, 50);
  for (const Particle* p : sim.live()) EXPECT_LT(p->prev_x * 200.0f, 100.0f);
}

TEST(Births, ContinuityIsTheChanceOfABirthEventAndTinyQuantitiesDrawNothing) {
  Sim sim;
  sim.b.continuity.value = 100;
  for (int i = 0; i < 50; ++i) {
    const std::int32_t before = sim.s->live_count;
    sim.step(i);
    EXPECT_GE(sim.s->live_count - before, 10) << "step " << i;
  }
  Sim never;
  never.b.continuity.value = 0;
  for (int i = 0; i < 50; ++i) never.step(i);
  EXPECT_EQ(never.s->live_count, 0);
  EXPECT_EQ(never.b.random_cursor, 50) << "one birth-event draw per step";

  Sim tiny;
  tiny.b.quantity.value = 0.0009;
  tiny.b.continuity.value = 100;
  for (int i = 0; i < 5; ++i) tiny.step(i);
  EXPECT_EQ(tiny.b.random_cursor, 0);
  EXPECT_EQ(tiny.s->live_count, 0);
}

TEST(Births, DiscIsRoundInPixelsAndDepthSpreadsWithTheRange) {
  Sim sim(720, 360);
  sim.b.birth.value_x = 0.5;
  sim.b.birth.value_y = 0.5;
  sim.b.birth_radius.value = 0.4;  // radius 0.2 frame widths, 144 pixels
  want_exactly(sim, 2000);
  sim.b.simulate_step(sim.s, 0);
  float farthest = 0, deepest = 0;
  for (const Particle* p : sim.live()) {
    const float dx = (p->prev_x - 0.5f) * 720.0f;
    const float dy = (p->prev_y - 0.5f) * 360.0f;
    const float r = std::sqrt(dx * dx + dy * dy);
    EXPECT_LE(r, 144.01f);
    farthest = std::max(farthest, r);
    EXPECT_GE(p->prev_z, 0.0f);
    EXPECT_LT(p->prev_z, 720 * 0.2f * 0.5f);
    deepest = std::max(deepest, p->prev_z);
  }
  EXPECT_GT(farthest, 140.0f);
  EXPECT_GT(deepest, 70.0f);
}

TEST(Births, SizesSpreadAroundTheCloudSizeAndStopAtTheLargestLevel) {
  Sim sim;
  want_exactly(sim, 5000);
  sim.b.simulate_step(sim.s, 0);
  std::int32_t lo = 1000, hi = 0;
  for (const Particle* p : sim.live()) {
    lo = std::min(lo, p->size);
    hi = std::max(hi, p->size);
    EXPECT_EQ(p->min_size, p->size) << "Grow/Shrink is off";
  }
  EXPECT_EQ(lo, 64);
  EXPECT_EQ(hi, 95);

  Sim big;
  big.b.cloud_size.value = 40;
  big.b.grow_shrink.value = true;
  big.b.min_size.value = 10;
  want_exactly(big, 2000);
  big.b.simulate_step(big.s, 0);
  std::int32_t at_top = 0;
  for (const Particle* p : big.live()) {
    EXPECT_GE(p->size, 128);
    EXPECT_LE(p->size, 160);
    at_top += p->size == 160;
    EXPECT_GE(p->min_size, 32);
    EXPECT_LE(p->min_size, 47);
  }
  EXPECT_GT(at_top, 900);
}

TEST(Life, ParticlesDieInTheStepTheirAgeReachesTheLifetime) {
  Sim sim;
  sim.b.lifetime.value = 1;
  want_exactly(sim, 10);
  sim.b.simulate_step(sim.s, 0);
  EXPECT_EQ(sim.s->live_count, 0);

  Sim three;
  three.b.lifetime.value = 3;  // 3 +- 0.3, rounded: always 3
  want_exactly(three, 10);
  three.b.simulate_step(three.s, 0);
  three.b.quantity.value = 0;
  three.step(1);
  EXPECT_EQ(three.s->live_count, 10);
  three.step(2);
  EXPECT_EQ(three.s->live_count, 0);
  EXPECT_NE(three.s->free_list, nullptr);
}

TEST(Life, EnvelopesFadeInAndOutOverTheirShareOfLife) {
  Sim sim;
  sim.derive();  // In(Life) and Out(Life) 10, Grow 100, Shrink 0
  Particle p{};
  p.lifetime = 100;
  const std::vector<std::pair<std::int32_t, float>> fade = {
      {0, 0.0f}, {5, 0.5f}, {50, 1.0f}, {95, 0.5f}, {100, 0.0f}, {101, 0.0f}};
  for (const auto& [age, expected] : fade) {
    p.age = age;
    EXPECT_NEAR(sim.b.fade_envelope(&p), expected, 1e-5) << "age " << age;
  }
  // Grow over the whole life, never shrink.
  p.age = 25;
  EXPECT_NEAR(sim.b.grow_envelope(&p), 0.25f, 1e-6);
  p.age = 100;
  EXPECT_EQ(sim.b.grow_envelope(&p), 1.0f);
  // Out(Life) 0: no fade at the end.
  sim.b.fade_out_life.value = 0;
  sim.derive();
  EXPECT_EQ(sim.b.fade_envelope(&p), 1.0f);
}

TEST(Motion, WindMovesTwiceItsSpeedPerStep) {
  Sim sim;  // Use Wind on, 12 pixels per frame along +x, on a 720-wide frame
  sim.b.continuity.value = 100;
  for (int i = 0; i < 4; ++i) sim.step(i);
  ASSERT_GT(sim.s->live_count, 0);
  for (const Particle* p : sim.live()) {
    EXPECT_NEAR((p->x - p->prev_x) * 720.0f, 24.0f, 1e-3);
    EXPECT_EQ(p->y, p->prev_y);
  }
}

TEST(Motion, FullFrictionLeavesOnlyTheWindDrift) {
  Sim sim;
  sim.b.use_friction.value = true;
  sim.b.friction.value = 100;
  sim.b.use_gravity.value = true;
  sim.b.quantity.value = 0;
  Particle* p = sim.place(0.5f, 0.5f, 0.0f, 0.01f, 0.02f, 0.03f);
  sim.step();
  EXPECT_EQ(p->vx, 0.0f);
  EXPECT_EQ(p->vy, 0.0f);
  EXPECT_EQ(p->vz, 0.0f);
  EXPECT_EQ(p->x, 0.5f + sim.s->wind_speed);
  EXPECT_EQ(p->y, 0.5f);
}

TEST(Motion, RunawayPlaneVelocityResetsButDepthVelocityNever) {
  Sim sim;
  sim.b.use_wind.value = false;
  sim.b.quantity.value = 0;
  sim.b.z_speed.value = 0;
  Particle* p = sim.place(0.5f, 0.5f, 1.0f, 1.5f, -1.25f, 7.0f);
  Particle* q = sim.place(0.5f, 0.5f, 1.0f, 1.0f, -1.0f, 0.0f);
  sim.step();
  EXPECT_EQ(p->vx, 0.0f);
  EXPECT_EQ(p->vy, 0.0f);
  EXPECT_EQ(p->x, 0.5f);
  EXPECT_EQ(p->vz, 7.0f);
  EXPECT_EQ(p->z, 8.0f);
  // The bound itself is allowed.
  EXPECT_EQ(q->x, 1.5f);
  EXPECT_EQ(q->y, -0.5f);
}

TEST(Motion, SwirlNeedsItsSwitchAndDensityAndRaisesATooSmallRampToOneFrame) {
  for (const auto& [on, density] : std::vector<std::pair<bool, double>>{{false, 10}, {true, 0.01}}) {
    Sim sim;
    sim.b.use_swirling.value = on;
    sim.b.swirl_density.value = density;
    sim.b.quantity.value = 0;
    sim.b.use_wind.value = false;
    Particle* p = sim.place(0.3f, 0.4f, 0.0f);
    sim.step(3);
    EXPECT_EQ(p->vx, 0.0f);
    EXPECT_EQ(p->vy, 0.0f);
  }
  Sim sim;
  sim.b.use_swirling.value = true;
  sim.b.swirl_to_max.value = 0.25;
  sim.b.quantity.value = 0;
  sim.step();
  EXPECT_EQ(sim.s->swirl_to_max, 0.25f) << "no particle, nothing swirled";
  sim.b.use_wind.value = false;
  Particle* p = sim.place(0.3f, 0.4f, 0.0f);
  sim.step(3);
  EXPECT_EQ(sim.s->swirl_to_max, 1.0f);
  EXPECT_TRUE(p->vx != 0.0f || p->vy != 0.0f) << "the swirl pushed it";
  sim.derive();
  EXPECT_EQ(sim.s->swirl_to_max, 0.25f);
}

TEST(Motion, ConstraintPushesBackTowardTheWindAxis) {
  Sim sim;
  sim.b.use_wind.value = false;  // the axis stays; no drift
  sim.b.use_constraint.value = true;
  sim.b.birth.value_x = 0.2;
  sim.b.birth.value_y = 0.5;
  sim.b.birth_radius.value = 0.02;
  sim.b.quantity.value = 0;
  sim.b.z_speed.value = 0;
  Particle* below = sim.place(0.8f, 0.7f, 0.0f);
  Particle* above = sim.place(0.8f, 0.3f, 0.0f);
  Particle* inside = sim.place(0.8f, 0.51f, 0.0f);
  sim.step();
  EXPECT_LT(below->vy, 0.0f);
  EXPECT_GT(above->vy, 0.0f);
  EXPECT_EQ(below->vy, -above->vy);
  EXPECT_EQ(inside->vy, 0.0f);
  EXPECT_EQ(below->vx, 0.0f);

  // A particle straight down the axis is left alone.
  Particle* on_axis = sim.place(0.2f + 0.3f, 0.5f, 0.0f);
  sim.step();
  EXPECT_EQ(on_axis->vx, 0.0f);
  EXPECT_EQ(on_axis->vy, 0.0f);
}

TEST(Motion, ConstraintLeavesAParticleOnTheAxisAloneWhenTheCosineRoundsPastOne) {
  Sim sim;
  sim.b.use_wind.value = false;
  sim.b.use_constraint.value = true;
  sim.b.wind_source.value_x = sim.b.wind_source.value_y = 0.0;
  sim.b.wind_target.value_x = 0.3;  // the axis (0.6, 0.8), in floats
  sim.b.wind_target.value_y = 0.4;
  sim.b.birth.value_x = 0.1;
  sim.b.birth.value_y = 0.2;
  sim.b.quantity.value = 0;
  sim.b.z_speed.value = 0;
  // Three hundred-thousandths down the axis: the unit vectors' dot product rounds to
  // 1.0000001.
  Particle* p = sim.place(0.100018002f, 0.200024009f, 0.0f);
  sim.step();
  EXPECT_EQ(p->vx, 0.0f);
  EXPECT_EQ(p->vy, 0.0f);
}

TEST(Reproducibility, SameSeedAndStepsGiveTheSameParticles) {
  Sim one, two;
  for (Sim* sim : {&one, &two}) {
    sim->b.continuity.value = 60;
    sim->b.use_swirling.value = true;
    sim->b.use_constraint.value = true;
    sim->b.use_gravity.value = true;
    sim->b.lifetime.value = 30;
  }
  for (int i = 0; i < 60; ++i) {
    one.step(i);
    two.step(i);
  }
  ASSERT_GT(one.s->live_count, 0);
  EXPECT_EQ(snapshot(one), snapshot(two));
  EXPECT_EQ(one.b.random_cursor, two.b.random_cursor);
}

// --- through the frame driver ---

struct Driven : Sim {
  Frames frames;
  explicit Driven(std::int32_t w = 96, std::int32_t h = 64) : Sim(w, h), frames(w, h) {
    frames.attach(b);
  }
  void render(double time) {
    b.time = time;
    b.render();
  }
};

TEST(FrameDriver, ChangingTheSeedKeepsTheLivingParticles) {
  Driven changed, kept;
  for (Driven* d : {&changed, &kept}) {
    d->b.continuity.value = 100;
    for (int f = 0; f < 5; ++f) d->render(f);
  }
  changed.b.seed.value = 166;
  changed.render(5);
  kept.render(5);

  auto elders = [](const Sim& sim) {
    std::vector<ParticleBits> out;
    for (const Particle* p : sim.live()) {
      if (p->age > 1) out.push_back(bits(*p));
    }
    return out;
  };
  EXPECT_FALSE(elders(changed).empty());
  EXPECT_EQ(elders(changed), elders(kept));
  EXPECT_NE(snapshot(changed), snapshot(kept)) << "newborns follow the new seed";
}

TEST(FrameDriver, PreRollRunsItsStepsBeforeTheFrameAndDrawsOnce) {
  Driven rolled;
  rolled.b.mode.value = kRender;
  rolled.b.continuity.value = 100;
  rolled.b.preroll_frames.value = 40;
  rolled.b.restart_requested = rolled.b.preroll_requested = 1;
  rolled.render(40);
  std::int32_t oldest = 0;
  for (const Particle* p : rolled.live()) oldest = std::max(oldest, p->age);
  EXPECT_EQ(oldest, 41);
  EXPECT_EQ(rolled.b.preroll_requested, 0);

  // The same 41 steps, each drawn into a scratch frame but the last: equal outputs
  // mean that the pre-roll drew nothing.
  Driven stepped;
  stepped.b.mode.value = kRender;
  stepped.b.continuity.value = 100;
  ImageBuffer scratch(96, 64);
  stepped.b.output_image.image = &scratch;
  for (int f = 0; f < 40; ++f) stepped.render(f);
  stepped.b.output_image.image = &stepped.frames.output;
  stepped.render(40);
  EXPECT_EQ(snapshot(rolled), snapshot(stepped));
  for (std::int32_t y = 0; y < 64; ++y) {
    ASSERT_EQ(std::memcmp(rolled.frames.output.rows[y], stepped.frames.output.rows[y], 96 * 8), 0)
        << "row " << y;
  }
}

TEST(FrameDriver, RestartEmptiesTheCloudAndReplaysTheSameBirths) {
  Driven d;
  d.b.mode.value = kRender;
  d.b.continuity.value = 100;
  for (int f = 0; f < 10; ++f) d.render(f);
  const std::vector<ParticleBits> first_run = snapshot(d);

  d.b.restart_requested = 1;
  for (int f = 0; f < 10; ++f) d.render(100 + f);
  EXPECT_EQ(snapshot(d), first_run);

  d.b.restart_requested = 1;
  d.b.quantity.value = 0.0005;
  d.render(20);
  EXPECT_EQ(d.s->live_count, 0);
  EXPECT_EQ(d.b.random_cursor, 0);
  EXPECT_TRUE(d.frames.output_is_source());
}

TEST(FrameDriver, WireframeAndUndrawnFramesLeaveTheSourceUntouched) {
  Driven d;
  d.b.continuity.value = 100;
  d.b.z_speed.value = 0;
  for (int f = 0; f < 6; ++f) d.render(f);
  ASSERT_GT(d.s->live_count, 0);
  EXPECT_TRUE(d.frames.output_is_source());

  // Simulated without drawing, a Render frame still puts the cloud in depth order.
  d.b.mode.value = kRender;
  d.b.draw_suppressed = 1;
  d.render(6);
  EXPECT_TRUE(d.frames.output_is_source());
  const std::vector<const Particle*> live = d.live();
  for (std::size_t i = 1; i < live.size(); ++i) EXPECT_LE(live[i - 1]->z, live[i]->z);
}

}  // namespace
