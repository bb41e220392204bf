#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <tuple>
#include <vector>

#include "assim/smp.h"
#include "hwy/targets.h"
#include "support/effect_fixtures.h"

namespace brumel {

namespace {

// An effect whose stamp inputs are those of the default controls.
std::unique_ptr<Brumel> default_effect(std::int32_t frame_width) {
  auto b = std::make_unique<Brumel>();
  set_default_stamp_inputs(*b->system);
  b->frame_width = b->system->frame_width = frame_width;
  return b;
}

// Density and shade at column offset i and row offset j from the centre.
int at(const PuffStamp& p, int i, int j) { return (j + p.width / 2) * p.width + i + p.width / 2; }
std::int32_t density(const PuffStamp& p, int i, int j) { return p.density[at(p, i, j)]; }
float shade(const PuffStamp& p, int i, int j) { return p.shade[at(p, i, j)]; }

bool same_planes(const PuffStamp& a, const PuffStamp& b) {
  const auto n = static_cast<std::size_t>(a.width) * a.height;
  return a.width == b.width && a.height == b.height &&
         std::memcmp(a.density, b.density, n * sizeof(std::int32_t)) == 0 &&
         std::memcmp(a.shade, b.shade, n * sizeof(float)) == 0;
}

// Worked examples of the density (how Fluffiness shapes it is held by the demos' pinned
// frames); the build-against-reference tests below carry them to every level. The
// falloff is single precision, the sine and power double: where r * (1 / r) rounds
// below 1 in single precision, the centre is 256 instead of 257.
TEST(PuffStamp, DensityExamples) {
  auto b = default_effect(720);
  StampPtr zero(b->build_stamp(0.0f, 1.0f, 1.0f));
  EXPECT_EQ(std::vector<std::int32_t>(zero->density, zero->density + 9),
            (std::vector<std::int32_t>{0, 0, 0, 0, 257, 0, 0, 0, 0}));
  StampPtr p(b->build_stamp(9.0f, 1.0f, 1.0f));
  ASSERT_EQ(p->width * p->height, 19 * 19);
  for (auto [i, j, want] : {std::tuple{0, 0, 257}, {3, 4, 151}, {4, -3, 151}, {6, 0, 111}, {0, -6, 111}, {9, 0, 0},
                            {-9, 9, 0}})
    EXPECT_EQ(density(*p, i, j), want) << i << "," << j;
  // The aspect scales the density's columns only.
  StampPtr wide(b->build_stamp(9.0f, 2.0f, 1.0f));
  ASSERT_EQ(wide->width * wide->height, 19 * 19);
  for (int i = 0; i <= 5; ++i) EXPECT_EQ(density(*wide, i, 0), i < 5 ? density(*p, 2 * i, 0) : 0) << i;
  for (int j = 0; j <= 9; ++j) EXPECT_EQ(density(*wide, 0, j), density(*p, 0, j)) << j;
  EXPECT_EQ(std::memcmp(wide->shade, p->shade, 19 * 19 * sizeof(float)), 0);
  b->rebuild_stamps();
  PuffStamp** t = b->system->stamps;  // radii 9, 9.45, 18.9 and 19.35
  EXPECT_EQ((std::vector<std::int32_t>{density(*t[20], 0, 0), density(*t[21], 0, 0), density(*t[42], 0, 0),
                                       density(*t[43], 0, 0)}),
            (std::vector<std::int32_t>{257, 256, 256, 257}));
}

// The default light shades the top of the puff; contrast narrows and brightness shifts
// the shade band.
TEST(PuffStamp, ShadeExamples) {
  auto b = default_effect(720);
  StampPtr p(b->build_stamp(9.0f, 1.0f, 1.0f));
  EXPECT_FLOAT_EQ(shade(*p, 0, 0), 0.8f);
  EXPECT_NEAR(shade(*p, 0, -5), 0.966f, 0.0005f);
  EXPECT_NEAR(shade(*p, 0, 5), 0.542f, 0.0005f);
  // Outside the hemisphere of radius R + 1 = 10 there is no shade; 36 + 64 = 100 is on it.
  EXPECT_EQ(shade(*p, 9, 9), 0.0f);
  EXPECT_GT(shade(*p, 6, 8), 0.0f);
  b->system->contrast = 2.0f;  // Contrast 100: a hard step at dot = brightness
  StampPtr hard(b->build_stamp(9.0f, 1.0f, 1.0f));
  EXPECT_EQ(shade(*hard, 0, 5), 1.0f);  // dot 0.085 >= 0
  EXPECT_EQ(shade(*hard, 0, 8), 0.0f);  // dot < 0: facing away
  b->system->contrast = 1.0f;
  b->system->brightness = 0.5f;  // Brightness 25 darkens: the band moves up
  StampPtr dark(b->build_stamp(9.0f, 1.0f, 1.0f));
  EXPECT_FLOAT_EQ(shade(*dark, 0, 0), (0.6f - (0.5f - 1.0f)) / 2.0f);
}

// The radii of levels first..last (every step-th) of a frame `width` wide.
std::vector<float> level_radii(std::int32_t width, std::int32_t first, std::int32_t last, std::int32_t step) {
  std::vector<float> out;
  for (std::int32_t l = first; l <= last; l += step)
    out.push_back(static_cast<float>(static_cast<std::int64_t>(width) * l) * 0.000625f);
  return out;
}

// Builds stamps of the given radii with both builds, under every instruction set that
// Highway compiled and this processor runs; stops at the first difference.
void expect_same_as_reference(Brumel& b, const std::vector<float>& radii, float ax, float ay) {
  for (const float r : radii) {
    const StampPtr ref(b.build_stamp_reference(r, ax, ay));
    for (const std::int64_t target : hwy::SupportedAndGeneratedTargets()) {
      hwy::SetSupportedTargetsForTest(target);
      const StampPtr fast(b.build_stamp(r, ax, ay));
      hwy::SetSupportedTargetsForTest(0);
      ASSERT_TRUE(same_planes(*fast, *ref)) << "radius " << r << " aspect " << ax << ":" << ay << " on "
                                            << hwy::TargetName(target);
    }
  }
}

// Over radii and aspects with the default inputs, then over stamp inputs of every kind
// (NaN included) at the levels of two frame widths.
TEST(PuffStampBuild, MatchesTheReferenceOnEveryTarget) {
  auto b = default_effect(720);
  std::vector<float> radii{0.0f, 0.004f, 0.01f, 0.5f, 2.5f, 9.45f, 18.9f, 163.37f, 401.3f};
  for (const float r : level_radii(1917, 1, 160, 23)) radii.push_back(r);
  for (auto [ax, ay] : {std::pair{1.0f, 1.0f}, {1.0f, 0.9f}, {1.0925926f, 1.0f}, {1.3333334f, 0.7071f}, {-1.0f, 1.0f},
                        {0.0f, 2.0f}})
    expect_same_as_reference(*b, radii, ax, ay);

  struct Inputs {
    float fluffiness, contrast, brightness, lx, ly, lz;
  };
  const float nan = std::nanf("");
  const Inputs inputs[] = {{0.1f, 1.0f, 0.0f, 0.0f, -0.8f, 0.6f},     {10.0f, 1.99f, 1.0f, 0.6f, 0.8f, 0.0f},
                           {3.7f, 0.3f, 0.25f, 0.0f, 0.0f, 1.0f},     {0.37f, 1.7f, -0.4f, 0.36f, -0.48f, 0.8f},
                           {2000.0f, 1.0f, 0.0f, 0.0f, -0.8f, 0.6f},  {0.0f, 0.0f, -1.0f, -0.48f, 0.6f, 0.64f},
                           {-1.0f, 2.0f, 0.5f, 1.0f, 0.0f, 0.0f},     {-3.0f, -1.0f, -0.3f, 0.0f, 0.0f, -1.0f},
                           {nan, 1.4f, -0.2f, 0.0f, -0.99995f, 0.01f}, {1.2f, 1.4f, nan, -0.70710677f, -0.5f, 0.5f}};
  for (const Inputs& in : inputs) {
    CloudSystem* s = b->system;
    s->fluffiness = in.fluffiness, s->contrast = in.contrast, s->brightness = in.brightness;
    s->light_dir_x = in.lx, s->light_dir_y = in.ly, s->light_dir_z = in.lz;
    SCOPED_TRACE(::testing::Message() << "fluffiness " << in.fluffiness << " light " << in.lx << "," << in.ly << ","
                                      << in.lz);
    expect_same_as_reference(*b, level_radii(1917, 0, 40, 3), 1.0f, 1.0f);
    expect_same_as_reference(*b, level_radii(1917, 41, 160, 29), 1.0925926f, 1.0f);
    expect_same_as_reference(*b, level_radii(720, 0, 160, 17), 1.0f, 0.9f);
  }
}

// Levels are built on demand after an invalidation, each from the inputs the table was
// invalidated with, whatever changed since; a level is built once. The whole table is
// the same on any processor count.
TEST(PuffStampTableParallel, LazyLevelsAndAnyProcessorCountBuildTheSameTable) {
  auto full = default_effect(400), lazy = default_effect(400), b = default_effect(400);
  for (Brumel* e : {full.get(), lazy.get(), b.get()}) e->aspect_y = 0.9f;
  smp_set_numprocs(1);
  full->rebuild_stamps();
  lazy->invalidate_stamps();
  lazy->build_stamp_levels({80, 10});
  EXPECT_EQ(lazy->system->stamps[20], nullptr);
  const PuffStamp* first = lazy->system->stamps[10];
  lazy->frame_width = 900;
  lazy->aspect_x = 2.0f;
  lazy->system->fluffiness = 5.0f;
  lazy->system->light_dir_x = 1.0f;
  lazy->build_stamp_levels({20, 160, 10});
  EXPECT_EQ(lazy->system->stamps[10], first);
  for (const int level : {10, 20, 80, 160}) {
    ASSERT_TRUE(full->system->stamps[level] && lazy->system->stamps[level]);
    EXPECT_TRUE(same_planes(*full->system->stamps[level], *lazy->system->stamps[level])) << level;
  }
  for (int procs : {2, 3, 7}) {
    smp_set_numprocs(procs);
    b->rebuild_stamps();
    for (int i = 0; i < b->system->stamp_count; ++i)
      ASSERT_TRUE(same_planes(*b->system->stamps[i], *full->system->stamps[i])) << "level " << i << " on " << procs;
  }
  smp_set_numprocs(1);
}

}  // namespace

}  // namespace brumel
