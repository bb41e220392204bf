#include "support/effect_fixtures.h"

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
