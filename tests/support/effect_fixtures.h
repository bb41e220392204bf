#pragma once
// Shared pieces of the renderer and simulation tests.
#include <cstdint>
#include <memory>
#include <vector>

#include "render/image_buffer.h"
#include "sim/brumel.h"

namespace brumel {

// Sets the stamp inputs that the default controls derive: Fluffiness 12, Contrast 50,
// Brightness 50 and the default light direction (0, -0.8, 0.6).
void set_default_stamp_inputs(CloudSystem& s);

// Fills every sample with `value`, or with a fixed non-repeating pattern when it is
// negative (so a blend that ignores the old value shows).
void fill_image(ImageBuffer& image, int value = -1);

// A w x h stamp of reproducible random planes: densities 0..257 with a fifth of them
// holes (0), shades in 0..1; with `rim`, the outer ring is 0 (as a built stamp's is).
StampPtr random_stamp(std::int32_t w, std::int32_t h, unsigned seed, bool rim = false);

// Pushes a particle holding `init` on the head of the live list.
Particle* push_particle(CloudSystem* s, const Particle& init);

// An effect drawing into its own width x height output (a fixed pattern, or `fill`
// everywhere), with the default stamp inputs, Density 100, lit colour (30000, 21000,
// 12000), shadow colour (4000, 9000, 15000), camera distance 100, and every level's
// stamp built for that width; every switch is off.
struct Scene {
  std::unique_ptr<Brumel> b = std::make_unique<Brumel>();
  std::unique_ptr<ImageBuffer> out;
  CloudSystem* s = b->system;

  Scene(std::int32_t width, std::int32_t height, int fill = -1);
  // A particle in mid-life (age 50 of 100) of stamp level `size` at (x, y, z).
  Particle* add(float x, float y, std::int32_t size, float z = 0.0f);
  // Draws every live particle over the whole frame.
  void draw() { b->render_band(0, out->height - 1); }
  std::vector<std::uint16_t> pixels() const;
  std::uint16_t at(int x, int y, int c) const { return out->rows[y][x * 4 + c]; }
};

}  // namespace brumel
