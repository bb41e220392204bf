#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "assim/smp.h"
#include "support/effect_fixtures.h"

namespace {

using Pixels = std::vector<std::uint16_t>;

// An effect drawing into its own output buffer of width x height, with the stamps of
// the default stamp inputs built for that width, Density 100, Use Light on and every
// other switch off. The output starts as a fixed pattern (or `fill` everywhere).
struct Scene {
  std::unique_ptr<Brumel> b;
  std::unique_ptr<ImageBuffer> out;
  CloudSystem* s = nullptr;

  Scene(std::int32_t width, std::int32_t height, int fill = -1)
      : b(std::make_unique<Brumel>()), out(std::make_unique<ImageBuffer>(width, height)) {
    s = b->system;
    set_default_stamp_inputs(*s);
    s->density = 1.0f;
    s->lit_colour_0 = 30000.0f, s->lit_colour_1 = 21000.0f, s->lit_colour_2 = 12000.0f;
    s->cloud_colour_0 = 4000.0f, s->cloud_colour_1 = 9000.0f, s->cloud_colour_2 = 15000.0f;
    s->camera_distance = 100.0f;
    b->frame_width = s->frame_width = width;
    b->frame_height = s->frame_height = height;
    b->output_image.image = out.get();
    fill_image(*out, fill);
    b->rebuild_stamps();
  }

  // A particle in mid-life on the head of the live list.
  Particle* add(float x, float y, std::int32_t size, float z = 0.0f) {
    Particle* p = take_particle(s);
    *p = Particle{0, 0, 0, x, y, z, 0, 0, 0, 50, 0.0f, 100, 0, size, size, s->live_list};
    s->live_list = p;
    s->live_count += 1;
    return p;
  }

  void draw() { b->render_band(0, out->height - 1); }

  Pixels pixels() const {
    return Pixels(out->pixels, out->pixels + static_cast<std::size_t>(out->width) * out->height * 4);
  }
  std::uint16_t at(int x, int y, int c) const { return out->rows[y][x * 4 + c]; }
};

// Every pixel except (px, py) keeps its value.
void expect_only_pixel_changed(const Pixels& before, const Scene& sc, int px, int py) {
  for (int y = 0; y < sc.out->height; ++y) {
    for (int x = 0; x < sc.out->width; ++x) {
      if (x == px && y == py) continue;
      for (int c = 0; c < 4; ++c) {
        ASSERT_EQ(sc.at(x, y, c), before[(y * sc.out->width + x) * 4 + c]) << x << "," << y;
      }
    }
  }
}

// A whole-pixel position leaves the stamp unshifted, one pixel up and left of centre,
// so the level 0 puff (density 256 once shifted, fully lit from above) covers (19, 9)
// alone, with a = 256 * A' >> 8 and A' = trunc(32767 * density).
TEST(CloudRenderer, BlendOfOneFullyDenseSample) {
  for (auto [density, a] : {std::pair{1.0f, 32767}, {0.25f, 8191}}) {
    Scene sc(64, 32);
    sc.s->light_dir_y = 0.0f;
    sc.s->light_dir_z = 1.0f;
    sc.s->density = density;
    sc.b->rebuild_stamps();
    sc.add(20.0f / 64.0f, 10.0f / 32.0f, 0);
    const Pixels before = sc.pixels();
    sc.draw();
    expect_only_pixel_changed(before, sc, 19, 9);
    const int lit[3] = {30000, 21000, 12000};
    for (int c = 0; c < 3; ++c) {
      const int old = before[(9 * 64 + 19) * 4 + c];
      EXPECT_EQ(sc.at(19, 9, c), (lit[c] * a + old * (32768 - a)) >> 15) << c;
      if (a == 32767) {  // the colour or one less
        EXPECT_GE(sc.at(19, 9, c), lit[c] - 1);
        EXPECT_LE(sc.at(19, 9, c), lit[c]);
      }
    }
    const int old_alpha = before[(9 * 64 + 19) * 4 + 3];
    EXPECT_EQ(sc.at(19, 9, 3), (old_alpha * (32768 - a) + a * 32767) >> 15);
  }
}

// Shade 1 gives the lit colour (truncated to an integer first), 0 the shadow colour,
// and in between a mix formed in double precision and truncated.
TEST(CloudRenderer, ShadeMixesTheLitAndShadowColours) {
  Scene sc(8, 8, 32767);
  sc.s->lit_colour_0 = 1003.9f;
  sc.s->cloud_colour_0 = 100.5f;
  StampPtr st(stamp_create(3, 3, true));
  const float shades[3] = {1.0f, 0.0f, 0.5f};
  for (int i = 0; i < 3; ++i) {
    st->density[i] = 256;
    st->shade[i] = shades[i];
  }
  Particle* p = sc.add(0.5f, 0.5f, 1);
  sc.b->splat_stamp(4, 4, 32767, st.get(), 0, 7, p);
  // With an old value of 32767 and a = 32767 the blend gives the colour exactly.
  EXPECT_EQ(sc.at(3, 3, 0), 1003);
  EXPECT_EQ(sc.at(4, 3, 0), 100);
  EXPECT_EQ(sc.at(5, 3, 0), 551);  // trunc(1003 * 0.5 + 100.5 * 0.5) = trunc(551.75)
  EXPECT_EQ(sc.at(3, 3, 1), 21000);
  EXPECT_EQ(sc.at(4, 3, 1), 9000);
  EXPECT_EQ(sc.at(4, 4, 0), 32767);  // density 0 there
}

TEST(CloudRenderer, FadingHidesANewbornAndLeavesTheMiddleOfLifeOpaque) {
  Scene sc(64, 48);
  sc.b->use_fading.value = true;
  sc.s->fade_in = 0.1f;
  sc.s->fade_out_start = 0.9f;
  Particle* p = sc.add(0.4f, 0.5f, 120);
  p->age = 0;
  const Pixels before = sc.pixels();
  sc.draw();
  EXPECT_EQ(sc.pixels(), before);

  p->age = 50;
  sc.draw();
  const Pixels faded_mid = sc.pixels();
  Scene plain(64, 48);
  plain.add(0.4f, 0.5f, 120);
  plain.draw();
  EXPECT_EQ(faded_mid, plain.pixels());
  EXPECT_NE(faded_mid, before);
}

// Perspective: at or behind the camera nothing is drawn; at 100 from it the puff is
// unprojected; scaled levels are held to the ends of the table.
TEST(CloudRenderer, PerspectiveHidesProjectsAndHoldsLevels) {
  auto perspective = [](Scene& sc) -> Scene& {
    sc.s->perspective = 1;
    sc.s->vanish_x = sc.s->vanish_y = 0.5f;
    return sc;
  };
  Scene behind(64, 48);
  perspective(behind).add(0.5f, 0.5f, 100, 100.0f);
  behind.add(0.5f, 0.5f, 100, 130.0f);
  const Pixels blank = behind.pixels();
  behind.draw();
  EXPECT_EQ(behind.pixels(), blank);

  struct Case {
    float x, y, z, camera;
    std::int32_t size, flat_size;
  };
  for (Case c : {Case{0.35f, 0.4f, -40.0f, 60.0f, 90, 90},  // 100 from the camera
                 Case{0.5f, 0.5f, 50.0f, 100.0f, 100, 160},  // scale 2: level 200 held at 160
                 Case{0.5f, 0.5f, -900.0f, 100.0f, 5, 0}}) {  // scale 0.1: level 0.5 -> 0
    Scene persp(64, 48);
    perspective(persp).s->camera_distance = c.camera;
    persp.add(c.x, c.y, c.size, c.z);
    persp.draw();
    Scene flat(64, 48);
    flat.add(c.x, c.y, c.flat_size, c.z);
    flat.draw();
    EXPECT_EQ(persp.pixels(), flat.pixels()) << "depth " << c.z;
    EXPECT_NE(persp.pixels(), blank);
  }
}

TEST(CloudRenderer, GrowShrinkDrawsTheLevelOfTheEnvelope) {
  Scene grow(64, 48);
  grow.s->grow_shrink = 1;
  grow.s->grow_in = 0.5f;
  grow.s->shrink_start = 1.0f;
  Particle* p = grow.add(0.45f, 0.55f, 100);
  p->min_size = 10;
  p->age = 25;  // life fraction 0.25: halfway up the growth, level 10 + 0.5 * 90
  grow.draw();
  Scene fixed(64, 48);
  fixed.add(0.45f, 0.55f, 55);
  fixed.draw();
  EXPECT_EQ(grow.pixels(), fixed.pixels());
}

TEST(CloudRenderer, ParticlesWithoutAStampLeaveTheImageAlone) {
  Scene sc(64, 48);
  stamp_free(sc.s->stamps[70]);
  sc.s->stamps[70] = nullptr;  // as when its allocation failed
  sc.add(0.5f, 0.5f, 70);
  sc.add(0.5f, 0.5f, 161);  // beyond the table without perspective
  sc.add(0.5f, 0.5f, -3);
  const Pixels before = sc.pixels();
  sc.draw();
  EXPECT_EQ(sc.pixels(), before);
}

// A puff cut by an edge of the frame matches, pixel for pixel, the same puff drawn
// whole at the same sub-pixel fraction 30 pixels further in.
void expect_translated(float x, float y, int dx, int dy) {
  Scene cut(64, 64, 16000);
  cut.add(x / 64.0f, y / 64.0f, 160);
  cut.draw();
  Scene whole(64, 64, 16000);
  whole.add((x + dx) / 64.0f, (y + dy) / 64.0f, 160);
  whole.draw();
  int changed = 0;
  for (int py = 0; py < 64; ++py) {
    for (int px = 0; px < 64; ++px) {
      const int qx = px + dx;
      const int qy = py + dy;
      if (qx < 0 || qx >= 64 || qy < 0 || qy >= 64) continue;
      for (int c = 0; c < 4; ++c) {
        ASSERT_EQ(cut.at(px, py, c), whole.at(qx, qy, c)) << px << "," << py << " from " << x
                                                           << "," << y;
        changed += cut.at(px, py, c) != 16000;
      }
    }
  }
  EXPECT_GT(changed, 40);
}

TEST(CloudRenderer, EdgesOfTheFrameClipExactly) {
  expect_translated(3.25f, 31.5f, 30, 0);     // left
  expect_translated(61.75f, 31.5f, -30, 0);   // right
  expect_translated(31.5f, 2.25f, 0, 30);     // top
  expect_translated(31.5f, 62.5f, 0, -30);    // bottom
  expect_translated(-2.25f, -1.75f, 30, 30);  // centre off the top left corner
  expect_translated(-0.5f, 63.25f, 30, -30);  // truncation toward zero near column 0
}

// Bands of any height, one row included, together draw the whole frame; an empty band
// draws nothing.
TEST(CloudRenderer, BandsTogetherDrawTheWholeFrame) {
  Scene whole(64, 48), banded(64, 48);
  for (Scene* sc : {&whole, &banded}) {
    sc->add(0.2f, 0.3f, 160);
    sc->add(0.9f, 0.1f, 120);
    sc->add(0.55f, 0.95f, 140);
  }
  whole.draw();
  const Pixels before = banded.pixels();
  banded.b->render_band(5, 4);
  EXPECT_EQ(banded.pixels(), before);
  for (auto [first, last] : {std::pair{0, 6}, {7, 7}, {8, 30}, {31, 47}}) banded.b->render_band(first, last);
  EXPECT_EQ(banded.pixels(), whole.pixels());
}

// A one-pixel stamp of density 200 drawn textured at a spot where both noises are
// clearly away from 0: a small displacement finds the pixel itself (coverage from
// 200 * 200 >> 8), a large one looks outside the stamp and draws nothing.
TEST(CloudRenderer, TexturedLookupOutsideTheStampContributesNothing) {
  Scene sc(8, 8, 20000);
  sc.s->use_textured = 1;
  sc.s->texture_x = 5.0f;
  sc.s->texture_y = 5.0f;
  float x = 0.0f;
  for (float candidate = 0.013f; candidate < 1.0f; candidate += 0.0371f) {
    const double g1 = sc.b->gradient_noise(candidate * 10.0f, 0.37f * 10.0f, 0.0f);
    const double g2 = sc.b->gradient_noise(static_cast<float>(candidate * 10.0f + 3.14),
                                           static_cast<float>(0.37f * 10.0f + 2.71), 4.35f);
    if (std::fabs(g1) > 0.05 && std::fabs(g2) > 0.05) {
      x = candidate;
      break;
    }
  }
  ASSERT_NE(x, 0.0f);
  StampPtr st(stamp_create(1, 1, true));
  st->density[0] = 200;
  st->shade[0] = 1.0f;
  Particle* p = sc.add(x, 0.37f, 1);

  sc.s->texture_mag = 100.0f;
  const Pixels before = sc.pixels();
  sc.b->splat_stamp(3, 3, 32767, st.get(), 0, 7, p);
  EXPECT_EQ(sc.pixels(), before);

  sc.s->texture_mag = 0.01f;
  sc.b->splat_stamp(3, 3, 32767, st.get(), 0, 7, p);
  const int a = ((200 * 200 >> 8) * 32767) >> 8;
  EXPECT_EQ(sc.at(3, 3, 0), (30000 * a + 20000 * (32768 - a)) >> 15);
  EXPECT_EQ(sc.at(3, 3, 3), (20000 * (32768 - a) + a * 32767) >> 15);
}

// Texture Mag 0 is the plain path; Seethe animates the texture over the frames, and
// without it every frame looks alike.
TEST(CloudRenderer, TextureMagZeroIsPlainAndSeetheAnimates) {
  auto frame = [](float mag, float current_frame, double seethe) {
    Scene sc(64, 48);
    sc.s->use_textured = 1;
    sc.s->texture_mag = mag;
    sc.s->texture_x = 5.0f;
    sc.s->texture_y = 5.0f;
    sc.s->current_frame = current_frame;
    sc.b->seethe.value = seethe;
    sc.add(0.5f, 0.5f, 150)->phase = 12.5f;
    sc.draw();
    return sc.pixels();
  };
  Scene plain(64, 48);
  plain.add(0.5f, 0.5f, 150);
  plain.draw();
  EXPECT_EQ(frame(0.0f, 3.0f, 0.0), plain.pixels());
  EXPECT_NE(frame(0.4f, 3.0f, 0.0), plain.pixels());
  EXPECT_EQ(frame(0.4f, 3.0f, 0.0), frame(0.4f, 40.0f, 0.0));
  EXPECT_NE(frame(0.4f, 3.0f, 2.0), frame(0.4f, 40.0f, 2.0));
}

// A frame of many puffs crossing band boundaries and both side edges, drawn on 1
// processor and on several, is the same bit for bit.
struct Look {
  bool textured;
  bool perspective;
};

// procs 0: the reference renderer over the whole frame.
Pixels draw_cloud(Look look, int procs, std::int32_t width = 97, std::int32_t height = 61) {
  Scene sc(width, height);
  sc.b->use_fading.value = true;
  sc.s->fade_in = 0.2f;
  sc.s->fade_out_start = 0.7f;
  sc.s->density = 0.8f;
  if (look.textured) {
    sc.s->use_textured = 1;
    sc.s->texture_mag = 0.4f;
    sc.s->texture_x = 5.0f;
    sc.s->texture_y = 4.0f;
    sc.s->current_frame = 17.0f;
    sc.b->seethe.value = 2.0;
  }
  if (look.perspective) {
    sc.s->perspective = 1;
    sc.s->camera_distance = 100.0f;
    sc.s->vanish_x = 0.45f;
    sc.s->vanish_y = 0.55f;
  }
  std::uint32_t state = 12345;
  auto next = [&state](float lo, float hi) {
    state = state * 1664525u + 1013904223u;
    return lo + (hi - lo) * static_cast<float>(state >> 8) / 16777216.0f;
  };
  for (int k = 0; k < 40; ++k) {
    Particle* p = sc.add(next(-0.1f, 1.1f), next(-0.1f, 1.1f),
                         static_cast<std::int32_t>(next(1.0f, 160.99f)), next(-150.0f, 60.0f));
    p->age = static_cast<std::int32_t>(next(0.0f, 99.0f));
    p->phase = next(-100.0f, 100.0f);
  }
  sc.add(0.02f, 0.5f, 160);  // across the left edge
  sc.add(0.98f, 0.3f, 150);  // across the right edge
  sort_live_by_depth(sc.s);
  if (procs == 0) {
    sc.b->render_band_reference(0, sc.out->height - 1);
    return sc.pixels();
  }
  smp_set_numprocs(procs);
  sc.b->render_cloud();
  smp_set_numprocs(1);
  return sc.pixels();
}

class CloudRendererParallel : public ::testing::TestWithParam<Look> {
 protected:
  void TearDown() override { smp_set_numprocs(1); }
};

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
TEST_P(CloudRendererParallel, FramesMatchOnAnyProcessorCount) {
  const Look look = GetParam();
  const int index = (look.textured ? 1 : 0) + (look.perspective ? 2 : 0);
  // Plain flat, textured flat, plain perspective, textured perspective.
  constexpr std::uint64_t kSmall[4] = {11858717715851781419ull, 5372277037192131653ull,
                                       11706022738286717599ull, 1956567999098444627ull};
  constexpr std::uint64_t kLarge[4] = {15055246229122628655ull, 8319814394999461115ull,
                                       16345161784510615161ull, 16314076045903160824ull};
  for (int procs : {0, 1, 2, 3, 7, 16})
    EXPECT_EQ(frame_hash(draw_cloud(look, procs)), kSmall[index]) << procs << " processors";
  for (int procs : {0, 1, 7})
    EXPECT_EQ(frame_hash(draw_cloud(look, procs, 331, 203)), kLarge[index])
        << procs << " processors";
}

INSTANTIATE_TEST_SUITE_P(Looks, CloudRendererParallel,
                         ::testing::Values(Look{false, false}, Look{true, false}, Look{false, true},
                                           Look{true, true}),
                         [](const ::testing::TestParamInfo<Look>& info) {
                           return std::string(info.param.textured ? "Textured" : "Plain") +
                                  (info.param.perspective ? "Perspective" : "Flat");
                         });

}  // namespace
