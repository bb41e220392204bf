#include "support/effect_fixtures.h"

#include <random>

namespace brumel {

void set_default_stamp_inputs(CloudSystem& s) {
  s.fluffiness = 1.2f;
  s.contrast = 1.0f;
  s.brightness = 0.0f;
  s.light_dir_x = 0.0f;
  s.light_dir_y = -0.8f;
  s.light_dir_z = 0.6f;
}

void fill_image(ImageBuffer& image, int value) {
  for (std::int32_t y = 0; y < image.height; ++y)
    for (std::int32_t x = 0; x < image.width; ++x)
      for (int c = 0; c < 4; ++c)
        image.rows[y][x * 4 + c] = static_cast<std::uint16_t>(
            value >= 0 ? value : (x * 523 + y * 311 + c * 7919) % 32768);
}

StampPtr random_stamp(std::int32_t w, std::int32_t h, unsigned seed, bool rim) {
  StampPtr st(stamp_create(w, h, false));
  std::mt19937 rng(seed);
  for (std::int32_t j = 0; j < h; ++j)
    for (std::int32_t i = 0; i < w; ++i) {
      const bool edge = rim && w > 2 && (i == 0 || j == 0 || i == w - 1 || j == h - 1);
      const std::int32_t d = static_cast<std::int32_t>(rng() % 258);
      st->density[j * w + i] = edge || rng() % 5 == 0 ? 0 : d;
      st->shade[j * w + i] = static_cast<float>(rng()) / 4294967296.0f;
    }
  return st;
}

Particle* push_particle(CloudSystem* s, const Particle& init) {
  Particle* p = take_particle(s);
  *p = init;
  p->next = s->live_list;
  s->live_list = p;
  ++s->live_count;
  return p;
}

Scene::Scene(std::int32_t width, std::int32_t height, int fill)
    : out(std::make_unique<ImageBuffer>(width, height)) {
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

Particle* Scene::add(float x, float y, std::int32_t size, float z) {
  return push_particle(s, Particle{0, 0, 0, x, y, z, 0, 0, 0, 50, 0.0f, 100, 0, size, size, nullptr});
}

std::vector<std::uint16_t> Scene::pixels() const {
  return {out->pixels, out->pixels + static_cast<std::size_t>(out->width) * out->height * 4};
}

}  // namespace brumel
