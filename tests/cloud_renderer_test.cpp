#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <vector>

#include "assim/smp.h"
#include "support/effect_fixtures.h"

namespace brumel {

namespace {

using Pixels = std::vector<std::uint16_t>;

// Exact blends of single samples. A whole-pixel position leaves the stamp unshifted, one
// pixel up and left of centre, so the level 0 puff (density 256 once shifted, fully lit
// from above) covers (19, 9) alone, with a = 256 * A' >> 8 and A' = trunc(32767 * density).
// Through a hand-made stamp: shade 1 gives the lit colour (truncated first), 0 the
// shadow colour, and in between a mix formed in double precision and truncated.
TEST(CloudRenderer, SingleSampleBlendsAreExact) {
  for (auto [density, a] : {std::pair{1.0f, 32767}, {0.25f, 8191}}) {
    Scene sc(64, 32);
    sc.s->light_dir_y = 0.0f;
    sc.s->light_dir_z = 1.0f;
    sc.s->density = density;
    sc.b->rebuild_stamps();
    sc.add(20.0f / 64.0f, 10.0f / 32.0f, 0);
    Pixels want = sc.pixels();
    std::uint16_t* px = &want[(9 * 64 + 19) * 4];
    const int lit[4] = {30000, 21000, 12000, 32767};
    for (int c = 0; c < 4; ++c) px[c] = static_cast<std::uint16_t>((lit[c] * a + px[c] * (32768 - a)) >> 15);
    sc.draw();
    EXPECT_EQ(sc.pixels(), want) << density;
  }
  Scene sc(8, 8, 32767);
  sc.s->lit_colour_0 = 1003.9f;
  sc.s->cloud_colour_0 = 100.5f;
  StampPtr st(stamp_create(3, 3, true));
  const float shades[3] = {1.0f, 0.0f, 0.5f};
  for (int i = 0; i < 3; ++i) st->density[i] = 256, st->shade[i] = shades[i];
  sc.b->splat_stamp(4, 4, 32767, st.get(), 0, 7, sc.add(0.5f, 0.5f, 1));
  // With an old value of 32767 and a = 32767 the blend gives the colour exactly;
  // trunc(1003 * 0.5 + 100.5 * 0.5) = 551; density 0 at (4, 4).
  EXPECT_EQ((Pixels{sc.at(3, 3, 0), sc.at(4, 3, 0), sc.at(5, 3, 0), sc.at(3, 3, 1), sc.at(4, 3, 1), sc.at(4, 4, 0)}),
            (Pixels{1003, 100, 551, 21000, 9000, 32767}));
}

void textured(Scene& sc, float mag, float frame, double seethe) {
  sc.s->use_textured = 1;
  sc.s->texture_mag = mag;
  sc.s->texture_x = sc.s->texture_y = 5.0f;
  sc.s->current_frame = frame;
  sc.b->seethe.value = seethe;
}

// Levels without a stamp (as when its allocation failed) or outside the table, and an
// empty band, draw nothing. (Fading, perspective, levels held to the table, Grow/Shrink
// and bands are held by the pinned frames below and those of the node-module test.)
TEST(CloudRenderer, UndrawnPuffsLeaveTheImageAlone) {
  Scene sc(64, 48);
  const Pixels blank = sc.pixels();
  stamp_free(sc.s->stamps[70]);
  sc.s->stamps[70] = nullptr;
  for (int level : {70, 161, -3}) sc.add(0.5f, 0.5f, level);
  sc.draw();
  sc.add(0.5f, 0.5f, 100);
  sc.b->render_band(5, 4);
  EXPECT_EQ(sc.pixels(), blank);
}

// Texture Mag 0 is the plain draw. (How Seethe animates the texture is held by the
// pinned frames below.)
TEST(CloudRenderer, TextureMagZeroIsThePlainDraw) {
  auto frame = [](bool with_texture) {
    Scene sc(64, 48);
    if (with_texture) textured(sc, 0.0f, 3.0f, 0.0);
    const Pixels blank = sc.pixels();
    sc.add(0.5f, 0.5f, 150)->phase = 12.5f;
    sc.draw();
    EXPECT_NE(sc.pixels(), blank) << "nothing drawn";
    return sc.pixels();
  };
  EXPECT_EQ(frame(true), frame(false));
}

// A one-pixel stamp of density 200 drawn textured at a spot where both noises are
// clearly away from 0: a small displacement finds the pixel itself (coverage from
// 200 * 200 >> 8), a large one looks outside the stamp and draws nothing.
TEST(CloudRenderer, TexturedLookupOutsideTheStampContributesNothing) {
  Scene sc(8, 8, 20000);
  textured(sc, 100.0f, 0.0f, 0.0);
  auto away = [&](float x) {
    return std::fabs(sc.b->gradient_noise(x * 10.0f, 0.37f * 10.0f, 0.0f)) > 0.05 &&
           std::fabs(sc.b->gradient_noise(static_cast<float>(x * 10.0f + 3.14),
                                          static_cast<float>(0.37f * 10.0f + 2.71), 4.35f)) > 0.05;
  };
  float x = 0.013f;
  while (x < 1.0f && !away(x)) x += 0.0371f;
  ASSERT_LT(x, 1.0f);
  StampPtr st(stamp_create(1, 1, true));
  st->density[0] = 200;
  st->shade[0] = 1.0f;
  Particle* p = sc.add(x, 0.37f, 1);
  const Pixels before = sc.pixels();
  sc.b->splat_stamp(3, 3, 32767, st.get(), 0, 7, p);
  EXPECT_EQ(sc.pixels(), before);
  sc.s->texture_mag = 0.01f;
  sc.b->splat_stamp(3, 3, 32767, st.get(), 0, 7, p);
  const int a = ((200 * 200 >> 8) * 32767) >> 8;
  EXPECT_EQ(sc.at(3, 3, 0), (30000 * a + 20000 * (32768 - a)) >> 15);
  EXPECT_EQ(sc.at(3, 3, 3), (20000 * (32768 - a) + a * 32767) >> 15);
}

// A frame of many puffs crossing band boundaries and every edge, faded, drawn plain or
// textured, flat or in perspective. procs < 0: the reference renderer in bands on -procs
// processors, every band shifting the same stamps at once.
Pixels draw_cloud(bool textured_look, bool perspective, int procs, std::int32_t width = 97,
                  std::int32_t height = 61) {
  Scene sc(width, height);
  sc.b->use_fading.value = true;
  sc.s->fade_in = 0.2f;
  sc.s->fade_out_start = 0.7f;
  sc.s->density = 0.8f;
  if (textured_look) {
    textured(sc, 0.4f, 17.0f, 2.0);
    sc.s->texture_y = 4.0f;
  }
  if (perspective) {
    sc.s->perspective = 1;
    sc.s->vanish_x = 0.45f;
    sc.s->vanish_y = 0.55f;
  }
  std::uint32_t state = 12345;
  auto next = [&state](float lo, float hi) {
    state = state * 1664525u + 1013904223u;
    return lo + (hi - lo) * static_cast<float>(state >> 8) / 16777216.0f;
  };
  for (int k = 0; k < 40; ++k) {
    Particle* p = sc.add(next(-0.1f, 1.1f), next(-0.1f, 1.1f), static_cast<std::int32_t>(next(1.0f, 160.99f)),
                         next(-150.0f, 60.0f));
    p->age = static_cast<std::int32_t>(next(0.0f, 99.0f));
    p->phase = next(-100.0f, 100.0f);
  }
  sc.add(0.02f, 0.5f, 160);  // across the left edge
  sc.add(0.98f, 0.3f, 150);  // across the right edge
  sort_live_by_depth(sc.s);
  smp_set_numprocs(std::abs(procs));
  if (procs < 0)
    sc.b->run_parallel(&Brumel::render_band_reference, height);
  else
    sc.b->render_cloud();
  smp_set_numprocs(1);
  return sc.pixels();
}

// FNV-1a over the samples of a frame.
std::uint64_t frame_hash(const Pixels& pixels) {
  std::uint64_t h = 14695981039346656037ull;
  for (std::uint16_t v : pixels) {
    h = (h ^ (v & 0xffu)) * 1099511628211ull;
    h = (h ^ (v >> 8)) * 1099511628211ull;
  }
  return h;
}

// Pinned frames (as drawn when every band shifted whole stamps): the same bits from the
// reference renderer, on one processor and on several, whichever bands each takes.
TEST(CloudRendererParallel, FramesMatchOnAnyProcessorCount) {
  // Plain flat, textured flat, plain perspective, textured perspective.
  constexpr std::uint64_t kSmall[4] = {11858717715851781419ull, 5372277037192131653ull,
                                       11706022738286717599ull, 1956567999098444627ull};
  constexpr std::uint64_t kLarge[4] = {15055246229122628655ull, 8319814394999461115ull,
                                       16345161784510615161ull, 16314076045903160824ull};
  for (int look = 0; look < 4; ++look) {
    for (int procs : {-1, -3, 1, 2, 3, 7, 16})
      EXPECT_EQ(frame_hash(draw_cloud(look & 1, look & 2, procs)), kSmall[look]) << look << ": " << procs;
    for (int procs : {-1, 1, 7})
      EXPECT_EQ(frame_hash(draw_cloud(look & 1, look & 2, procs, 331, 203)), kLarge[look]) << look << ": " << procs;
  }
}

}  // namespace

}  // namespace brumel
