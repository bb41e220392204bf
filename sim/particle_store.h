#pragma once
// The particle store: fixed-size particle records allocated in blocks and threaded on a
// live list and a free list, plus the CloudSystem record that the simulation, the
// derived-constants pass, the renderer and the wireframe view share. Particles are
// recycled through the free list and never returned to the heap while the store lives.
#include <cstdint>

#include "render/puff_stamp.h"

namespace brumel {

// One particle. Positions are fractions of the frame (x of the width, y of the
// height); z is depth. Zero in every field when taken from the store.
struct Particle {
  float prev_x, prev_y, prev_z;  // position the last step drew it at, before moving it
  float x, y, z;
  float vx, vy, vz;
  std::int32_t age;  // steps lived; 0 at birth
  float phase;       // in (-100, 100), read by the renderer only
  std::int32_t lifetime;
  std::int32_t max_age;
  std::int32_t min_size;  // smallest stamp level Grow/Shrink may reach (1..160)
  std::int32_t size;      // stamp level 1..160
  Particle* next;
};

struct ParticleBlock {
  Particle* particles;  // `count` particles, zeroed when allocated
  std::int32_t count;
  ParticleBlock* next;  // the previously allocated block
};

// The simulation state of one effect. Fields marked D are derived from the controls at
// every render.
struct CloudSystem {
  float birth_count_spread;  // D
  float lifetime_spread;     // D
  float max_age_spread;      // D, always 0
  float birth_count_mean;    // D
  float lifetime_mean;       // D
  float max_age_mean;        // D, always 5000
  Particle* free_list;
  Particle* live_list;
  ParticleBlock* blocks;  // newest first
  std::int32_t block_size;
  std::int32_t block_count;
  std::int32_t live_count;  // length of the live list
  std::int32_t stamp_count;
  float swirl_density, swirl_magnitude, swirl_to_max;  // D; the step may raise swirl_to_max to 1
  std::int32_t frame_width, frame_height;
  float wind_dir_x, wind_dir_y;  // D, unit vector or zero
  float z_speed;                 // D
  float birth_x, birth_y, birth_z;  // D
  float birth_radius;               // D
  float gravity;                    // D
  float gravity_x, gravity_y;       // D
  float wind_speed;                 // D
  float friction_factor;            // D
  PuffStamp** stamps;  // stamp_count entries; level i is the puff of size i, null until built
  float cloud_size, cloud_size_variation;                // D
  float lit_colour_0, lit_colour_2, lit_colour_1;        // D, channel order 0, 2, 1
  float cloud_colour_0, cloud_colour_2, cloud_colour_1;  // D, channel order 0, 2, 1
  float density;                                         // D
  float fluffiness;                                      // D
  float light_dir_x, light_dir_y, light_dir_z;           // D
  float perp_x, perp_y;  // D, (-wind_dir_y, wind_dir_x)
  float continuity;      // D, probability of a birth event per step
  float current_frame;   // frame number of the render's final step
  std::int32_t use_textured;  // D
  float texture_mag;          // D
  std::int32_t use_constraint;  // D
  float constraint_angle;       // D
  float fade_in, fade_out_start;  // D
  std::int32_t use_birth_matte, invert_birth_matte;  // D
  float texture_x, texture_y;                        // D
  std::int32_t grow_shrink;                          // D
  float grow_in, shrink_start;                       // D
  float min_cloud_size;                              // D
  std::int32_t perspective;                          // D
  float camera_distance, vanish_x, vanish_y;         // D
  float brightness, contrast;                        // D
  float z_range;                                     // D
};

inline constexpr std::int32_t kStampCount = 161;

// A zeroed system with one block of `block_size` particles on the free list (in array
// order), no live particles and `stamp_count` null stamps; null when any allocation
// fails or block_size < 1 (nothing is left allocated then).
CloudSystem* create(std::int32_t block_size);

// Frees every block, every stamp that exists, the stamp array and the record; null is
// ignored.
void destroy(CloudSystem* system);

// A block of n zeroed particles chained in array order (the last one's next is null),
// not linked to any system; null when n < 1 or allocation fails.
ParticleBlock* new_block(std::int32_t n);

// Pops a particle off the free list, allocating a new block when the list is empty,
// and returns it zeroed in every field and linked nowhere; null when the new block
// cannot be allocated.
Particle* take_particle(CloudSystem* system);

// Takes live particle p, which follows `prev` (null when p is the head), off the live
// list and pushes it on the free list.
void release(CloudSystem* system, Particle* p, Particle* prev);

// Moves the whole live list, in its order, in front of the free list; the particles
// keep their contents until taken again.
void restart(CloudSystem* system);

// Re-links the live list in ascending z. The order of equal depths is the one this
// particular quicksort yields, which fixes the painting order. When the temporary
// pointer array cannot be allocated the list is left as it is.
void sort_live_by_depth(CloudSystem* system);

}  // namespace brumel
