#pragma once
// The Billow-like benchmark scene: an effect set up like the Billow demo on a 1920 x 1080
// frame, with a steady-state cloud placed directly on its live list.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "render/image_buffer.h"
#include "sim/brumel.h"

namespace brumel {

namespace billow {

constexpr std::int32_t kWidth = 1920;
constexpr std::int32_t kHeight = 1080;

// An effect set up like the Billow demo on a 1920 x 1080 frame: Density 33, Fluffiness
// 12, Contrast 70, Brightness 60, the Billow light, no fading, perspective off; with
// `textured` Texture Mag 33, Texture X and Y 20, Seethe 1.2 at frame 500.
struct BillowScene {
  std::unique_ptr<Brumel> b = std::make_unique<Brumel>();
  std::unique_ptr<ImageBuffer> out = std::make_unique<ImageBuffer>(kWidth, kHeight);
  std::vector<std::uint16_t> background;
  CloudSystem* s = b->system;

  explicit BillowScene(bool textured) {
    s->fluffiness = 1.2f;
    s->contrast = 1.4f;
    s->brightness = -0.2f;
    const float lx = 0.0f, ly = -0.8f, lz = 0.008f;
    const float len = std::sqrt(lx * lx + ly * ly + lz * lz);
    s->light_dir_x = lx / len;
    s->light_dir_y = ly / len;
    s->light_dir_z = lz / len;
    s->density = 0.33f;
    s->lit_colour_0 = 31360.0f;
    s->lit_colour_1 = 32640.0f;
    s->lit_colour_2 = 21248.0f;
    s->cloud_colour_0 = s->cloud_colour_1 = s->cloud_colour_2 = 32640.0f;
    s->use_textured = textured ? 1 : 0;
    s->texture_mag = 0.33f;
    s->texture_x = 4.0f;
    s->texture_y = 4.0f;
    s->current_frame = 500.0f;
    b->seethe.value = 1.2;
    b->frame_width = s->frame_width = kWidth;
    b->frame_height = s->frame_height = kHeight;
    b->output_image.image = out.get();
    background.resize(static_cast<std::size_t>(kWidth) * kHeight * 4);
    for (std::size_t k = 0; k < background.size(); ++k) {
      background[k] = static_cast<std::uint16_t>((k * 2654435761u) >> 17);
    }
    reset();
    out->samplesInRange = true;  // as a host's imported frame is
    b->rebuild_stamps();
  }

  void reset() { std::copy(background.begin(), background.end(), out->pixels); }

  // The steady state of Billow: about 5 x 0.5 births per step living 400 steps, none
  // moving (Billow has no forces), so about 1000 particles spread uniformly over the
  // birth disc (radius 0.182 of the width round (0.521, 0.712), round in pixels), with
  // the birth size law (Cloud Size 30, variation 35 %: levels 78 to 160, mean about
  // 120) and uniform ages. Drawn from a fixed generator, so every run is the same.
  void populate(std::int32_t count) {
    std::mt19937 rng(1650);
    std::uniform_real_distribution<float> u01(0.0f, 1.0f);
    const float aspect = static_cast<float>(kWidth) / static_cast<float>(kHeight);
    for (std::int32_t k = 0; k < count; ++k) {
      Particle* p = take_particle(s);
      const float r = 0.182f * std::sqrt(u01(rng));
      const float theta = u01(rng) * 6.2831853f;
      p->x = 0.521f + r * std::cos(theta);
      p->y = 0.712f - r * std::sin(theta) * aspect;
      p->z = (u01(rng) - 0.5f) * 10.0f;
      const float factor = (2.0f * u01(rng) - 1.0f) * 0.35f + 1.0f;
      p->size = p->min_size = std::min(160, static_cast<std::int32_t>(30.0f * factor * 4.0f));
      p->lifetime = 400;
      p->age = static_cast<std::int32_t>(u01(rng) * 399.0f);
      p->phase = (2.0f * u01(rng) - 1.0f) * 100.0f;
      p->next = s->live_list;
      s->live_list = p;
      s->live_count += 1;
    }
    sort_live_by_depth(s);
  }
};

}  // namespace billow

}  // namespace brumel
