// The simulation step and the frame driver around it: the birth draws and the birth
// matte, life and death, the edge cases of the forces, and reproducibility. What the
// demos use of them is held as a whole by the pinned frames of the node-module test.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>
#include <tuple>

#include "support/bound_effect.h"
#include "support/effect_fixtures.h"

namespace brumel {

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

constexpr std::int32_t kRender = 1;
constexpr std::int32_t kWireframe = 2;

// Every field but the link, bit for bit.
using ParticleBits = std::array<std::uint32_t, 15>;

// An effect with the node's default controls in Wireframe mode, driven step by step,
// over a patterned source, a dark matte and an output of the frame's size.
struct Sim {
  BoundEffect node;
  Brumel& b = *node.effect;
  CloudSystem* s = b.system;
  ImageBuffer source, matte, output;

  explicit Sim(std::int32_t width = 720, std::int32_t height = 576)
      : source(width, height), matte(width, height), output(width, height) {
    b.mode.value = kWireframe;
    b.frame_width = s->frame_width = width;
    b.frame_height = s->frame_height = height;
    fill_image(source);
    fill_image(matte, 0);
    b.source_image.image = &source;
    b.matte_image.image = &matte;
    b.output_image.image = &output;
  }
  void derive() { b.derive_constants(s); }
  void step(std::int32_t frame = 0) {
    derive();
    b.simulate_step(s, frame);
  }
  // Births with a fixed count: the next step wants exactly `n` particles.
  void step_wanting(float n) {
    b.quantity.value = n;
    b.continuity.value = 100;
    derive();
    s->birth_count_spread = 0;
    b.simulate_step(s, 0);
  }
  void render(double time) {
    b.time = time;
    b.render();
  }
  // No births, no wind drift, no depth speed: only the forces under test move particles.
  void still() {
    b.quantity.value = 0;
    b.use_wind.value = false;
    b.z_speed.value = 0;
  }
  // A particle at (x, y, z) with velocity (vx, vy, vz) and a long life.
  Particle* place(float x, float y, float z, float vx = 0, float vy = 0, float vz = 0) {
    return push_particle(s, Particle{x, y, z, x, y, z, vx, vy, vz, 0, 0, 1000, 5000, 80, 80, nullptr});
  }
  std::vector<const Particle*> live() const {
    std::vector<const Particle*> out;
    for (const Particle* p = s->live_list; p; p = p->next) out.push_back(p);
    return out;
  }
  std::vector<ParticleBits> snapshot(std::int32_t older_than = -1) const {
    std::vector<ParticleBits> out;
    for (const Particle* p : live())
      if (p->age > older_than) std::memcpy(out.emplace_back().data(), p, sizeof(ParticleBits));
    return out;
  }
  bool output_is_source() const {
    const std::size_t bytes = std::size_t{8} * s->frame_width * s->frame_height;
    return std::memcmp(output.pixels, source.pixels, bytes) == 0;
  }
};

TEST(Births, FailedMatteBirthsGiveUpAfterTenTriesPerWantedBirth) {
  Sim sim;
  sim.b.use_birth_matte.value = true;
  CaptureStdout();
  sim.step_wanting(20);
  EXPECT_EQ(GetCapturedStdout(),
            "Tried many times to create a particle\n"
            "Probability of success too low to continue - check matte\n");
  EXPECT_EQ(sim.s->live_count, 0);
  // The birth count (two draws), then 201 failed attempts of five draws each.
  EXPECT_EQ(sim.b.random_cursor, 2 + 201 * 5);

  // Points outside the frame fail even on a lit matte.
  fill_image(sim.matte, 32767);
  sim.b.birth.value_x = 3.0;
  sim.b.birth_radius.value = 0.1;
  CaptureStdout();
  sim.step_wanting(1);
  EXPECT_FALSE(GetCapturedStdout().empty());
  EXPECT_EQ(sim.s->live_count, 0);
}

TEST(Births, MatteChannelZeroDecidesWhereParticlesAppear) {
  Sim sim(200, 100);
  // Red is just lit in the right half and just dark in the left (a birth needs more
  // than 10 of ink); the other channels the other way round.
  for (std::int32_t y = 0; y < 100; ++y)
    for (std::int32_t x = 0; x < 200; ++x) {
      std::uint16_t* px = sim.matte.rows[y] + 4 * x;
      px[0] = x >= 100 ? 32757 : 10;
      px[1] = px[2] = px[3] = x >= 100 ? 0 : 32767;
    }
  sim.b.use_birth_matte.value = true;
  sim.b.birth.value_x = sim.b.birth.value_y = 0.5;
  sim.b.birth_radius.value = 1.0;
  for (bool invert : {false, true}) {  // inverted, the ink is 32767 - red
    sim.b.invert_birth_matte.value = invert;
    brumel::restart(sim.s);
    sim.step_wanting(50);
    ASSERT_EQ(sim.s->live_count, 50);
    for (const Particle* p : sim.live()) EXPECT_EQ(p->prev_x * 200.0f >= 100.0f, !invert);
  }
}

// Continuity 100 gives a birth event every step, 0 none (one draw a step); a quantity
// too small to draw draws nothing at all.
TEST(Births, ContinuityIsTheChanceOfABirthEventAndTinyQuantitiesDrawNothing) {
  Sim always, never, tiny;
  always.b.continuity.value = tiny.b.continuity.value = 100;
  never.b.continuity.value = 0;
  tiny.b.quantity.value = 0.0009;
  for (int i = 0; i < 50; ++i) {
    const std::int32_t before = always.s->live_count;
    for (Sim* sim : {&always, &never, &tiny}) sim->step(i);
    EXPECT_GE(always.s->live_count - before, 10) << "step " << i;
  }
  EXPECT_EQ((std::array{never.s->live_count, never.b.random_cursor, tiny.s->live_count, tiny.b.random_cursor}),
            (std::array{0, 50, 0, 0}));
}

// Particles die in the step their age reaches the lifetime; a Min Size above the Cloud
// Size grows nothing.
TEST(Life, ParticlesDieInTheStepTheirAgeReachesTheLifetime) {
  Sim one, three;
  one.b.lifetime.value = 1;
  one.step_wanting(10);
  EXPECT_EQ(one.s->live_count, 0);
  three.b.lifetime.value = 3;  // 3 +- 0.3, rounded: always 3
  three.b.grow_shrink.value = true;
  three.b.min_size.value = 40;  // above the Cloud Size of 20: held to each particle's size
  three.step_wanting(10);
  three.b.quantity.value = 0;
  three.step(1);
  EXPECT_EQ(three.s->live_count, 10);
  for (const Particle* p : three.live()) EXPECT_EQ(p->min_size, p->size);
  three.step(2);
  EXPECT_EQ(three.s->live_count, 0);
}

TEST(Life, EnvelopesFadeInAndOutOverTheirShareOfLife) {
  Sim sim;
  sim.derive();  // In(Life) and Out(Life) 10, Grow 100, Shrink 0
  Particle p{};
  p.lifetime = 100;
  for (auto [age, fade, grow] : {std::tuple{0, 0.0f, 0.0f}, {5, 0.5f, 0.05f}, {25, 1.0f, 0.25f}, {95, 0.5f, 0.95f},
                                 {101, 0.0f, 0.0f}, {100, 0.0f, 1.0f}}) {
    p.age = age;
    EXPECT_NEAR(sim.b.fade_envelope(&p), fade, 1e-5) << "age " << age;
    EXPECT_NEAR(sim.b.grow_envelope(&p), grow, 1e-5) << "age " << age;
  }
  sim.b.fade_out_life.value = 0;  // no fade at the end
  sim.derive();
  EXPECT_EQ(sim.b.fade_envelope(&p), 1.0f);
}

// A plane velocity beyond +-1 either way resets to 0 (1 itself is allowed); depth
// velocity never does.
TEST(Motion, RunawayPlaneVelocityResetsButDepthVelocityNever) {
  Sim sim;
  sim.still();
  Particle* p = sim.place(0.5f, 0.5f, 1.0f, 1.5f, -1.25f, 7.0f);
  Particle* q = sim.place(0.5f, 0.5f, 1.0f, -1.5f, 1.25f, 0.0f);
  Particle* r = sim.place(0.5f, 0.5f, 1.0f, 1.0f, -1.0f, 0.0f);
  sim.step();
  EXPECT_EQ((std::array{p->vx, p->vy, p->x, p->vz, p->z, q->vx, q->vy, r->x, r->y}),
            (std::array{0.0f, 0.0f, 0.5f, 7.0f, 8.0f, 0.0f, 0.0f, 1.5f, -0.5f}));
}

// Off, or too sparse, the swirl moves nothing; on, it pushes, a ramp below one frame
// raised to one while it swirls.
TEST(Motion, SwirlNeedsItsSwitchAndDensityAndRaisesATooSmallRampToOneFrame) {
  for (auto [on, density] : {std::pair{false, 10.0}, {true, 0.01}, {true, 10.0}}) {
    Sim sim;
    sim.b.use_swirling.value = on;
    sim.b.swirl_density.value = density;
    sim.b.swirl_to_max.value = 0.25;
    sim.still();
    Particle* p = sim.place(0.3f, 0.4f, 0.0f);
    sim.step(3);
    const bool pushes = on && density > 1.0;
    EXPECT_EQ(p->vx != 0.0f || p->vy != 0.0f, pushes) << on << " " << density;
    EXPECT_EQ(sim.s->swirl_to_max, pushes ? 1.0f : 0.25f);
  }
}

// Three hundred-thousandths down the wind axis (0.6, 0.8) from the birth point, the
// unit vectors' dot product rounds to 1.0000001: the constraint leaves the particle alone.
TEST(Motion, ConstraintLeavesAParticleOnTheAxisWhenTheCosineRoundsPastOne) {
  Sim sim;
  sim.still();
  sim.b.use_constraint.value = true;
  sim.b.wind_source.value_x = sim.b.wind_source.value_y = 0.0;
  sim.b.wind_target.value_x = 0.3, sim.b.wind_target.value_y = 0.4;
  sim.b.birth.value_x = 0.1, sim.b.birth.value_y = 0.2;
  Particle* p = sim.place(0.100018002f, 0.200024009f, 0.0f);
  sim.step();
  EXPECT_EQ(std::pair(p->vx, p->vy), std::pair(0.0f, 0.0f));
}

// --- through the frame driver ---

// A small frame with its buffers and a birth event every step.
struct Driven : Sim {
  Driven() : Sim(96, 64) { b.continuity.value = 100; }
};

// A new seed keeps the living particles, only newborns follow it; a restart empties the
// cloud and replays the same births.
TEST(FrameDriver, ANewSeedKeepsTheLivingAndARestartReplaysTheBirths) {
  Driven changed, kept;
  for (Driven* d : {&changed, &kept})
    for (int f = 0; f < 5; ++f) d->render(f);
  const std::vector<ParticleBits> first_run = kept.snapshot();
  changed.b.seed.value = 166;
  changed.render(5);
  kept.render(5);
  EXPECT_FALSE(changed.snapshot(1).empty());
  EXPECT_EQ(changed.snapshot(1), kept.snapshot(1));
  EXPECT_NE(changed.snapshot(), kept.snapshot()) << "newborns follow the new seed";
  kept.b.restart_requested = 1;
  for (int f = 0; f < 5; ++f) kept.render(100 + f);
  EXPECT_EQ(kept.snapshot(), first_run);
}

// The pre-roll runs its steps before the frame and draws once: the same 41 steps, each
// drawn into a scratch frame but the last, leave the same particles and output.
TEST(FrameDriver, PreRollRunsItsStepsBeforeTheFrameAndDrawsOnce) {
  Driven rolled, stepped;
  rolled.b.mode.value = stepped.b.mode.value = kRender;
  rolled.b.preroll_frames.value = 40;
  rolled.b.restart_requested = rolled.b.preroll_requested = 1;
  rolled.render(40);
  ImageBuffer scratch(96, 64);
  stepped.b.output_image.image = &scratch;
  for (int f = 0; f < 40; ++f) stepped.render(f);
  stepped.b.output_image.image = &stepped.output;
  stepped.render(40);
  EXPECT_EQ(rolled.snapshot(), stepped.snapshot());
  EXPECT_EQ(std::memcmp(rolled.output.pixels, stepped.output.pixels, 96 * 64 * 8), 0);
}

// Wireframe frames, and Render frames simulated without drawing, leave the source as
// it is; the latter still put the cloud in depth order.
TEST(FrameDriver, WireframeAndUndrawnFramesLeaveTheSourceUntouched) {
  Driven d;
  d.b.z_speed.value = 0;
  for (int f = 0; f < 6; ++f) d.render(f);
  ASSERT_GT(d.s->live_count, 0);
  EXPECT_TRUE(d.output_is_source());
  d.b.mode.value = kRender;
  d.b.draw_suppressed = 1;
  d.render(6);
  EXPECT_TRUE(d.output_is_source());
  const std::vector<const Particle*> live = d.live();
  for (std::size_t i = 1; i < live.size(); ++i) EXPECT_LE(live[i - 1]->z, live[i]->z);
}

}  // namespace

}  // namespace brumel
