#include <gtest/gtest.h>

#include <cstdint>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "assim/smp.h"
#include "sim/brumel.h"

namespace {

struct StampDeleter {
  void operator()(PuffStamp* s) const { stamp_free(s); }
};
using StampPtr = std::unique_ptr<PuffStamp, StampDeleter>;

// An effect whose stamp inputs are those of the default controls: Fluffiness 12,
// Contrast 50, Brightness 50 and the default light, direction (0, -0.8, 0.6).
std::unique_ptr<Brumel> default_effect(std::int32_t frame_width) {
  auto b = std::make_unique<Brumel>();
  CloudSystem* s = b->system;
  s->fluffiness = 1.2f;
  s->contrast = 1.0f;
  s->brightness = 0.0f;
  s->light_dir_x = 0.0f;
  s->light_dir_y = -0.8f;
  s->light_dir_z = 0.6f;
  b->frame_width = frame_width;
  s->frame_width = frame_width;
  return b;
}

// Density and shade at column offset i and row offset j from the centre.
std::int32_t density(const PuffStamp& p, int i, int j) {
  const int half = p.width / 2;
  return p.density[(j + half) * p.width + i + half];
}
float shade(const PuffStamp& p, int i, int j) {
  const int half = p.width / 2;
  return p.shade[(j + half) * p.width + i + half];
}

TEST(PuffStamp, LevelZeroIsThreeByThreeWithDensityOnlyAtTheCentre) {
  auto b = default_effect(720);
  StampPtr p(b->build_stamp(0.0f, 1.0f, 1.0f));
  ASSERT_TRUE(p);
  EXPECT_EQ(p->width, 3);
  EXPECT_EQ(p->height, 3);
  for (int j = -1; j <= 1; ++j) {
    for (int i = -1; i <= 1; ++i) {
      if (i == 0 && j == 0) {
        EXPECT_EQ(density(*p, i, j), 257);
      } else {
        EXPECT_EQ(density(*p, i, j), 0) << i << "," << j;
      }
    }
  }
}

TEST(PuffStamp, RadiusNineFluffinessTwelve) {
  auto b = default_effect(720);
  StampPtr p(b->build_stamp(9.0f, 1.0f, 1.0f));
  ASSERT_TRUE(p);
  EXPECT_EQ(p->width, 19);
  EXPECT_EQ(p->height, 19);
  EXPECT_EQ(density(*p, 0, 0), 257);
  EXPECT_EQ(density(*p, 3, 4), 151);
  EXPECT_EQ(density(*p, 4, -3), 151);
  EXPECT_EQ(density(*p, 6, 0), 111);
  EXPECT_EQ(density(*p, 0, -6), 111);
  EXPECT_EQ(density(*p, 9, 0), 0);
  EXPECT_EQ(density(*p, -9, 9), 0);
}

TEST(PuffStamp, DensityIsZeroOnAndBeyondTheRimAndFallsFromTheCentre) {
  auto b = default_effect(720);
  const float r = 7.5f;
  StampPtr p(b->build_stamp(r, 1.0f, 1.0f));
  ASSERT_TRUE(p);
  ASSERT_EQ(p->width, 17);
  for (int j = -8; j <= 8; ++j) {
    for (int i = -8; i <= 8; ++i) {
      if (i * i + j * j >= r * r) {
        EXPECT_EQ(density(*p, i, j), 0) << i << "," << j;
      }
      if (i != 0 || j != 0) {
        EXPECT_LT(density(*p, i, j), density(*p, 0, 0));
      }
    }
  }
  for (int i = 0; i < 7; ++i) EXPECT_GT(density(*p, i, 0), density(*p, i + 1, 0)) << i;
}

TEST(PuffStamp, FluffinessSetsTheFalloff) {
  auto b = default_effect(720);
  b->system->fluffiness = 0.1f;  // Fluffiness 1
  StampPtr flat(b->build_stamp(9.0f, 1.0f, 1.0f));
  b->system->fluffiness = 10.0f;  // Fluffiness 100
  StampPtr steep(b->build_stamp(9.0f, 1.0f, 1.0f));
  ASSERT_TRUE(flat && steep);
  EXPECT_GT(density(*flat, 6, 0), 200);
  EXPECT_LT(density(*steep, 6, 0), 1);
  EXPECT_GT(density(*steep, 1, 0), density(*steep, 2, 0) + 20);
}

// The falloff is single precision, the sine and power double: where r * (1 / r) rounds
// below 1 in single precision, the centre is 256 instead of 257 (a single-precision
// sine would round that back up to 1).
TEST(PuffStamp, CentreIs256WhereTheFalloffRoundsBelowOne) {
  auto b = default_effect(720);
  b->rebuild_stamps();
  PuffStamp** t = b->system->stamps;
  EXPECT_EQ(density(*t[20], 0, 0), 257);  // radius 9
  EXPECT_EQ(density(*t[21], 0, 0), 256);  // radius 9.45
  EXPECT_EQ(density(*t[42], 0, 0), 256);  // radius 18.9
  EXPECT_EQ(density(*t[43], 0, 0), 257);
}

TEST(PuffStamp, AspectScalesColumnsOfTheDensityOnly) {
  auto b = default_effect(720);
  StampPtr square(b->build_stamp(9.0f, 1.0f, 1.0f));
  StampPtr wide(b->build_stamp(9.0f, 2.0f, 1.0f));
  ASSERT_TRUE(square && wide);
  EXPECT_EQ(wide->width, 19);
  EXPECT_EQ(wide->height, 19);
  for (int i = 0; i <= 4; ++i) EXPECT_EQ(density(*wide, i, 0), density(*square, 2 * i, 0)) << i;
  for (int j = 0; j <= 9; ++j) EXPECT_EQ(density(*wide, 0, j), density(*square, 0, j)) << j;
  EXPECT_EQ(density(*wide, 5, 0), 0);
  EXPECT_EQ(std::memcmp(wide->shade, square->shade, 19 * 19 * sizeof(float)), 0);
}

TEST(PuffStamp, DefaultLightShadesTheTopOfThePuff) {
  auto b = default_effect(720);
  StampPtr p(b->build_stamp(9.0f, 1.0f, 1.0f));
  ASSERT_TRUE(p);
  EXPECT_FLOAT_EQ(shade(*p, 0, 0), 0.8f);
  EXPECT_NEAR(shade(*p, 0, -5), 0.966f, 0.0005f);
  EXPECT_NEAR(shade(*p, 0, 5), 0.542f, 0.0005f);
  // Outside the hemisphere of radius R + 1 = 10 there is no shade.
  EXPECT_EQ(shade(*p, 9, 9), 0.0f);
  EXPECT_GT(shade(*p, 6, 8), 0.0f);  // 36 + 64 = 100 is on it
}

TEST(PuffStamp, LightFromAboveIsSymmetricAndBrightestAtTheCentre) {
  auto b = default_effect(720);
  b->system->light_dir_y = 0.0f;
  b->system->light_dir_z = 1.0f;
  StampPtr p(b->build_stamp(9.0f, 1.0f, 1.0f));
  ASSERT_TRUE(p);
  EXPECT_EQ(shade(*p, 0, 0), 1.0f);
  for (int j = -9; j <= 9; ++j) {
    for (int i = -9; i <= 9; ++i) {
      EXPECT_EQ(shade(*p, i, j), shade(*p, -i, j));
      EXPECT_EQ(shade(*p, i, j), shade(*p, j, i));
      EXPECT_LE(shade(*p, i, j), shade(*p, 0, 0));
    }
  }
}

TEST(PuffStamp, ContrastNarrowsAndBrightnessShiftsTheShadeBand) {
  auto b = default_effect(720);
  b->system->contrast = 2.0f;  // Contrast 100: a hard step at dot = brightness
  StampPtr hard(b->build_stamp(9.0f, 1.0f, 1.0f));
  ASSERT_TRUE(hard);
  for (int j = -9; j <= 9; ++j) {
    for (int i = -9; i <= 9; ++i) {
      const float v = shade(*hard, i, j);
      EXPECT_TRUE(v == 0.0f || v == 1.0f) << i << "," << j << " " << v;
    }
  }
  EXPECT_EQ(shade(*hard, 0, 5), 1.0f);   // dot 0.085 >= 0
  EXPECT_EQ(shade(*hard, 0, 8), 0.0f);   // dot < 0: facing away

  b->system->contrast = 1.0f;
  b->system->brightness = 0.5f;  // Brightness 25 darkens: the band moves up
  StampPtr dark(b->build_stamp(9.0f, 1.0f, 1.0f));
  ASSERT_TRUE(dark);
  EXPECT_FLOAT_EQ(shade(*dark, 0, 0), (0.6f - (0.5f - 1.0f)) / 2.0f);
}

TEST(PuffStampTable, RebuildMakesEveryLevelForTheFrameWidth) {
  auto b = default_effect(320);
  b->aspect_x = 1.0f;
  b->aspect_y = 1.0f;
  b->rebuild_stamps();
  const CloudSystem* s = b->system;
  ASSERT_EQ(s->stamp_count, 161);
  for (int i = 0; i < s->stamp_count; ++i) {
    ASSERT_NE(s->stamps[i], nullptr) << i;
    const float r = static_cast<float>(320 * i) * 0.000625f;
    const int side = 2 * static_cast<int>(std::ceil(r < 0.01f ? 0.01f : r)) + 1;
    EXPECT_EQ(s->stamps[i]->width, side) << i;
  }
  EXPECT_EQ(s->stamps[160]->width, 65);  // a fifth of the frame across

  // A rebuild with other inputs replaces the planes; the old ones are freed (the leak
  // checker of the sanitizer build sees it otherwise).
  const float before = shade(*s->stamps[100], 0, 10);
  b->system->brightness = -0.5f;
  b->rebuild_stamps();
  EXPECT_NE(shade(*s->stamps[100], 0, 10), before);
}

std::vector<std::uint8_t> table_bytes(const CloudSystem& s) {
  std::vector<std::uint8_t> bytes;
  for (int i = 0; i < s.stamp_count; ++i) {
    const PuffStamp* p = s.stamps[i];
    if (!p) {
      bytes.push_back(0xee);
      continue;
    }
    const auto n = static_cast<std::size_t>(p->width) * p->height;
    const auto* d = reinterpret_cast<const std::uint8_t*>(p->density);
    const auto* sh = reinterpret_cast<const std::uint8_t*>(p->shade);
    bytes.insert(bytes.end(), d, d + n * sizeof(std::int32_t));
    bytes.insert(bytes.end(), sh, sh + n * sizeof(float));
    bytes.push_back(static_cast<std::uint8_t>(p->width));
  }
  return bytes;
}

class PuffStampTableParallel : public ::testing::Test {
 protected:
  void TearDown() override { smp_set_numprocs(1); }
};

TEST_F(PuffStampTableParallel, SameTableOnAnyProcessorCount) {
  auto b = default_effect(400);
  b->aspect_x = 1.0f;
  b->aspect_y = 0.9f;
  smp_set_numprocs(1);
  b->rebuild_stamps();
  const std::vector<std::uint8_t> one = table_bytes(*b->system);
  for (int procs : {2, 3, 7}) {
    smp_set_numprocs(procs);
    b->rebuild_stamps();
    EXPECT_TRUE(table_bytes(*b->system) == one) << procs << " processors";
  }
}

}  // namespace
