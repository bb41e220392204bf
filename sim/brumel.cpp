#include "sim/brumel.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "render/image_buffer.h"
#include "render/parallel.h"

namespace brumel {

namespace {

// A NaN on either side counts as a change.
bool differs(float a, float b) { return !(a == b); }

// The frame number of a host time: truncation toward zero, kept inside int32 so
// that a wild time cannot make the conversion undefined.
std::int32_t frame_of(double time) {
  if (!(time == time)) return 0;
  if (time >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  if (time <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(time);
}

}  // namespace

Brumel::Brumel() {
  seed_gradients(gradient_table, -666);
  random_state = -1;
  fill_random_table(random_table, random_state);
  // A store that cannot be had leaves `system` null; render then only copies.
  system = brumel::create(kBlockSize);
}

Brumel::~Brumel() {
  if (system) brumel::destroy(system);
}

int Brumel::abort_requested() { return 0; }

void Brumel::run_parallel(void (Brumel::*worker)(std::int32_t, std::int32_t),
                          std::int32_t count) {
  run_parallel_job(this, worker, count);
}

float Brumel::part_rand_01(std::int32_t& cursor) {
  return draw_rand_01(random_table, cursor, in_mp_region);
}

float Brumel::part_rand_11(std::int32_t& cursor) {
  return draw_rand_11(random_table, cursor, in_mp_region);
}

float Brumel::part_var_1(float mean, float spread, std::int32_t& cursor) {
  return draw_var_1(random_table, mean, spread, cursor, in_mp_region);
}

double Brumel::gradient_noise(float x, float y, float z) {
  return brumel::gradient_noise(gradient_table, x, y, z);
}

void Brumel::start_output(ImageBuffer& out, const ImageBuffer& source) const {
  if (!element_only) {
    out.copyScaled(source, 1.0f, 1.0f, 1.0f, 1.0f);
    return;
  }
  std::fill_n(out.pixels, static_cast<std::size_t>(out.width) * out.height * 4, std::uint16_t{0});
  out.samplesInRange = true;
}

void Brumel::render() {
  ImageBuffer* out = output_image.image;
  ImageBuffer* source = source_image.image;

  frame_width = out->width;
  frame_height = out->height;
  if (differs(last_resolution_scale, out->resolutionScale)) stamps_dirty = 1;
  last_resolution_scale = out->resolutionScale;
  aspect_x = static_cast<float>(out->aspectX);
  aspect_y = static_cast<float>(out->aspectY);
  if (abort_requested()) return;

  if (!system) {
    // Without a particle store there is no cloud: the frame is the source (or
    // nothing, for the cloud alone).
    start_output(*out, *source);
    if (!skip_alpha && !element_only) out->copyAlphaFrom(*source);
    return;
  }
  system->frame_width = frame_width;
  system->frame_height = frame_height;

  // Reseed: both tables depend on the seed alone (every sequence starts afresh from its
  // seed word), so they are refilled only when the seed differs from the last fill; the
  // cursor carries on.
  if (!tables_seeded || tables_seed != seed.value) {
    seed_gradients(gradient_table, -seed.value);
    random_state = -seed.value;
    fill_random_table(random_table, random_state);
    tables_seeded = true;
    tables_seed = seed.value;
  }

  start_output(*out, *source);

  derive_constants(system);

  if (!first_frame && (differs(built_aspect_x, aspect_x) || differs(built_aspect_y, aspect_y))) {
    stamps_dirty = 1;
  }
  if (first_frame || stamps_dirty) {
    // The levels are built by the step, as its particles first need them.
    invalidate_stamps();
    first_frame = 0;
    stamps_dirty = 0;
    built_aspect_x = aspect_x;
    built_aspect_y = aspect_y;
  }

  const std::int32_t frame = frame_of(time);
  const std::int32_t n = preroll_frames.value;

  if (restart_requested) {
    brumel::restart(system);  // the store operation, not the Restart control
    restart_requested = 0;
    random_cursor = 0;
  }
  if (preroll_requested) {
    for (std::int32_t i = 0; i < n; ++i) {
      if (abort_requested()) break;
      simulate_step(system, i);
    }
    preroll_requested = 0;
  }

  system->current_frame = static_cast<float>(frame);
  simulate_step(system, frame);

  if (!skip_alpha && !element_only) out->copyAlphaFrom(*source);
}

}  // namespace brumel
