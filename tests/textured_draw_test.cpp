// The textured draw against the one-sample-at-a-time reference draw: the same pixels,
// bit for bit, for every placement, clip, band and texture setting, on every
// instruction set the machine has.
#include <gtest/gtest.h>
#include <hwy/tests/hwy_gtest.h>

#include <cstdint>
#include <vector>

#include "support/effect_fixtures.h"

namespace brumel {

namespace {

constexpr std::int32_t kWidth = 128;  // powers of two: x * W keeps the fractions exact
constexpr std::int32_t kHeight = 64;

struct Case {
  const char* name;
  float px, py;  // stamp centre in pixels (whole part and fraction)
  std::int32_t level;
  float mag, tx, ty;  // Texture Mag x 0.01, Texture X and Y x 0.2
  double seethe;
  float density;
  bool random_planes;  // replace the level's stamp with random planes
  int fill = -1;       // the output's samples: a fixed pattern, or this value everywhere
};

const Case kCases[] = {
    {"centred, whole pixel", 64.0f, 32.0f, 100, 0.33f, 4.0f, 4.0f, 1.2, 0.33f, false},
    {"tiny fractions", 64.0f + 0x1p-20f, 32.0f + 0x1p-18f, 120, 0.33f, 4.0f, 4.0f, 1.2, 1.0f, false},
    {"half fractions", 40.5f, 20.5f, 60, 0.5f, 10.0f, 2.0f, 0.0, 0.8f, false},
    {"fractions near one", 70.999f, 33.999f, 160, 1.0f, 20.0f, 20.0f, 5.0, 0.5f, false},
    {"negative position", -3.25f, -5.75f, 140, 0.4f, 5.0f, 4.0f, 2.0, 0.9f, false},
    {"off the right and bottom", 127.3f, 63.8f, 150, 0.4f, 5.0f, 4.0f, 2.0, 0.9f, false},
    {"left edge", 2.7f, 30.1f, 130, 0.2f, 1.0f, 1.0f, 0.5, 1.0f, false},
    {"smallest stamp", 10.6f, 10.4f, 0, 0.3f, 1.0f, 1.0f, 1.0, 1.0f, false},
    {"small mag, high frequency", 50.2f, 40.9f, 90, 0.01f, 20.0f, 20.0f, 1.0, 0.7f, false},
    {"negative texture frequency", 60.3f, 30.6f, 110, 0.6f, -4.0f, -8.0f, 3.0, 0.6f, false},
    {"random planes", 64.4f, 31.1f, 100, 0.3f, 4.0f, 4.0f, 1.2, 1.0f, true},
    {"random planes, clipped", 1.9f, 60.2f, 120, 0.7f, 6.0f, 3.0f, 0.7, 0.45f, true},
    // Samples above the image range are clamped even where nothing covers them.
    {"output above range", 64.3f, 32.6f, 150, 0.5f, 4.0f, 4.0f, 1.2, 0.8f, false, 40000},
    {"output at the top", 30.3f, 32.6f, 100, 0.5f, 4.0f, 4.0f, 1.2, 0.8f, true, 32767},
};

// Bands a frame may be split into: whole, two halves, and uneven slices.
using Bands = std::vector<std::pair<std::int32_t, std::int32_t>>;
const Bands kBands[] = {{{0, kHeight - 1}}, {{0, 31}, {32, kHeight - 1}}, {{0, 4}, {5, 5}, {6, 40}, {41, kHeight - 1}}};

std::vector<std::uint16_t> draw(Scene& sc, const Particle* p, int fill, bool reference, const Bands& bands) {
  fill_image(*sc.out, fill);
  for (auto [first, last] : bands) {
    if (reference)
      sc.b->draw_puff_reference(p, first, last);
    else
      sc.b->draw_puff(p, first, last);
  }
  return sc.pixels();
}

class TexturedDraw : public hwy::TestWithParamTarget {};
HWY_TARGET_INSTANTIATE_TEST_SUITE_P(TexturedDraw);

TEST_P(TexturedDraw, MatchesTheReferenceDrawBitForBit) {
  for (const Case& c : kCases) {
    Scene sc(kWidth, kHeight);
    CloudSystem& s = *sc.s;
    s.density = c.density;
    s.use_textured = 1;
    s.texture_mag = c.mag;
    s.texture_x = c.tx;
    s.texture_y = c.ty;
    s.current_frame = 37.0f;
    sc.b->seethe.value = c.seethe;
    if (c.random_planes) {
      PuffStamp*& st = s.stamps[c.level];
      const std::int32_t side = st->width;
      stamp_free(st);
      st = random_stamp(side, side, static_cast<unsigned>(c.level)).release();
    }
    Particle* p = sc.add(c.px / kWidth, c.py / kHeight, c.level);
    p->phase = 12.5f;
    const auto expected = draw(sc, p, c.fill, true, kBands[0]);
    ASSERT_TRUE(expected != draw(sc, p, c.fill, true, {})) << c.name << ": the puff must show";
    for (const auto& bands : kBands)
      ASSERT_TRUE(draw(sc, p, c.fill, false, bands) == expected) << c.name << ", " << bands.size() << " bands";
  }
}

}  // namespace

}  // namespace brumel
