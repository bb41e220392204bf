// The textured draw against the one-sample-at-a-time reference draw: the same pixels,
// bit for bit, for every placement, clip, band and texture setting, on every
// instruction set the machine has.
#include <gtest/gtest.h>
#include <hwy/tests/hwy_gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "support/effect_fixtures.h"

namespace {

constexpr std::int32_t kWidth = 128;  // powers of two: x * W keeps the fractions exact
constexpr std::int32_t kHeight = 64;

struct Case {
  std::string name;
  float px, py;  // stamp centre in pixels (whole part and fraction)
  std::int32_t level;
  float mag, tx, ty;  // Texture Mag x 0.01, Texture X and Y x 0.2
  double seethe;
  float density;
  bool random_stamp;  // replace the level's stamp with random planes
  int fill = -1;      // the output's samples: a fixed pattern, or this value everywhere
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
const std::vector<std::pair<std::int32_t, std::int32_t>> kBands[] = {
    {{0, kHeight - 1}},
    {{0, 31}, {32, kHeight - 1}},
    {{0, 4}, {5, 5}, {6, 40}, {41, kHeight - 1}},
};

struct Scene {
  std::unique_ptr<Brumel> b = std::make_unique<Brumel>();
  ImageBuffer out{kWidth, kHeight};
  CloudSystem* s = b->system;
  Particle* p = nullptr;
  int fill;

  explicit Scene(const Case& c) : fill(c.fill) {
    set_default_stamp_inputs(*s);
    s->lit_colour_0 = 30000.0f;
    s->lit_colour_1 = 21000.0f;
    s->lit_colour_2 = 12000.0f;
    s->cloud_colour_0 = 4000.0f;
    s->cloud_colour_1 = 9000.0f;
    s->cloud_colour_2 = 15000.0f;
    s->density = c.density;
    s->use_textured = 1;
    s->texture_mag = c.mag;
    s->texture_x = c.tx;
    s->texture_y = c.ty;
    s->current_frame = 37.0f;
    b->seethe.value = c.seethe;
    b->frame_width = s->frame_width = kWidth;
    b->frame_height = s->frame_height = kHeight;
    b->output_image.image = &out;
    b->rebuild_stamps();
    if (c.random_stamp) {
      PuffStamp*& st = s->stamps[c.level];
      const std::int32_t side = st->width;
      stamp_free(st);
      st = stamp_create(side, side, false);
      std::mt19937 rng(static_cast<unsigned>(c.level));
      for (std::int32_t k = 0; k < side * side; ++k) {
        st->density[k] = static_cast<std::int32_t>(rng() % 258);
        st->shade[k] = static_cast<float>(rng() % 1001) / 1000.0f;
      }
    }
    p = take_particle(s);
    p->x = c.px / kWidth;
    p->y = c.py / kHeight;
    p->size = p->min_size = c.level;
    p->lifetime = 100;
    p->age = 50;
    p->phase = 12.5f;
  }

  std::vector<std::uint16_t> draw(bool reference,
                                  const std::vector<std::pair<std::int32_t, std::int32_t>>& bands) {
    fill_image(out, fill);
    for (auto [first, last] : bands) {
      if (reference)
        b->draw_puff_reference(p, first, last);
      else
        b->draw_puff(p, first, last);
    }
    return {out.pixels, out.pixels + static_cast<std::size_t>(kWidth) * kHeight * 4};
  }
};

class TexturedDraw : public hwy::TestWithParamTarget {};
HWY_TARGET_INSTANTIATE_TEST_SUITE_P(TexturedDraw);

TEST_P(TexturedDraw, MatchesTheReferenceDrawBitForBit) {
  for (const Case& c : kCases) {
    Scene sc(c);
    const auto expected = sc.draw(true, kBands[0]);
    ASSERT_TRUE(expected != sc.draw(true, {})) << c.name << ": the puff must show";
    for (const auto& bands : kBands)
      ASSERT_TRUE(sc.draw(false, bands) == expected) << c.name << ", " << bands.size() << " bands";
  }
}

}  // namespace
