#pragma once
// Brumel: the effect object. One per node; it owns the simulation state, the
// per-frame random material and the stamp table. `render` is the frame driver:
// every call advances the cloud by one step (plus pre-roll steps on request).
#include <cstdint>
#include <vector>

#include "framework/brumel_info.h"
#include "framework/overlay_kv.h"
#include "framework/plugin_kv.h"
#include "render/puff_stamp.h"
#include "sim/particle_store.h"
#include "sim/random_material.h"

namespace brumel {

class ControlKv;

// Where and how one particle is drawn this frame: its stamp level, opacity A (1..32767),
// the pixel of the stamp's centre and the sub-pixel fractions left over.
struct PuffPlacement {
  std::int32_t level = 0;
  std::int32_t opacity = 0;
  std::int32_t ix = 0;
  std::int32_t iy = 0;
  float fx = 0.0f;
  float fy = 0.0f;
};

// Whether a stamp of half-width `half` centred on (ix, iy) misses columns 0..width-1 or
// rows first..last (the vertical tests use the horizontal half too).
bool puff_misses(std::int32_t ix, std::int32_t iy, std::int32_t half, std::int32_t width,
                 std::int32_t first, std::int32_t last);

// What the stamp planes are built from, taken when the table is invalidated, so that a
// level built frames later is the one a full build would have given then.
struct StampInputs {
  std::int32_t frame_width = 0;
  float aspect_x = 1.0f;
  float aspect_y = 1.0f;
  float fluffiness = 0.0f;
  float contrast = 0.0f;
  float brightness = 0.0f;
  float light_x = 0.0f;
  float light_y = 0.0f;
  float light_z = 0.0f;
};

// A birth point: fractions of the frame in x and y, depth in z.
struct BirthPoint {
  float x;
  float y;
  float z;
};

class Brumel : public PluginKv, public BrumelInfo, public OverlayKv {
 public:
  static constexpr std::int32_t kBlockSize = 1024;

  // Fills the random material from its fixed seeds and creates an empty store.
  // If the store cannot be had, `system` stays null and `render` only copies
  // the source into the output.
  Brumel();
  ~Brumel() override;
  Brumel(const Brumel&) = delete;
  Brumel& operator=(const Brumel&) = delete;

  // --- frame driver (brumel.cpp) ---
  // Produces one frame from the record into `output_image`: reseed, copy the
  // source, derive constants, rebuild stamps when dirty, honour Restart and
  // PreRoll requests, run one simulation step, restore the source alpha.
  void render() override;
  // The frame's starting samples: the source, or transparent black for the cloud alone.
  void start_output(ImageBuffer& out, const ImageBuffer& source) const;
  // Always 0 in this host: long loops poll it and run to the end.
  int abort_requested();
  // Splits items 0..count-1 over the host's processors and runs `worker` on each
  // slice; returns when all slices are done.
  void run_parallel(void (Brumel::*worker)(std::int32_t first, std::int32_t last),
                    std::int32_t count);

  // --- random material: draws through the cursor ---
  float part_rand_01(std::int32_t& cursor);
  float part_rand_11(std::int32_t& cursor);
  float part_var_1(float mean, float spread, std::int32_t& cursor);
  double gradient_noise(float x, float y, float z);

  // --- derived simulation constants (derived_constants.cpp) ---
  // Turns the cached control values into the system's working constants; sets
  // `stamps_dirty` when an input of the stamp planes changed.
  void derive_constants(CloudSystem* s);
  // Its parts: births (counts, lifetimes, sizes, the disc, the matte switches); motion
  // (wind axis, gravity vector, friction, swirl, constraint); look (colours, density,
  // texture offsets, envelopes, perspective); and the stamp planes' inputs (light
  // direction, fluffiness, brightness, contrast, texture), true when one changed.
  void derive_birth_constants(CloudSystem* s);
  void derive_motion_constants(CloudSystem* s);
  void derive_look_constants(CloudSystem* s);
  bool derive_stamp_inputs(CloudSystem* s);

  // --- puff stamps (puff_stamps.cpp) ---
  // A new stamp of radius r pixels with pixel scales ax, ay and the system's stamp
  // inputs, or null.
  PuffStamp* build_stamp(float r, float ax, float ay);
  // The same stamp by the straightforward per-pixel build (puff_stamps_reference.cpp),
  // the definition build_stamp must match bit for bit. For tests and benchmarks only.
  PuffStamp* build_stamp_reference(float r, float ax, float ay);
  // Empties the table and records its inputs (frame width, aspect, the system's stamp
  // inputs); levels are then built on demand from those inputs.
  void invalidate_stamps();
  // Builds the levels not yet tried since the last invalidation (in parallel over
  // levels); a level that cannot be built stays null. Frees unused old planes.
  void build_stamp_levels(const std::vector<std::int32_t>& levels);
  // Builds the levels that the live particles are drawn with (the pre-pass of a drawn step).
  void prepare_stamps();
  // Invalidates the table, then builds all levels for the current frame width and aspect.
  void rebuild_stamps();

  // --- simulation step (simulation_step.cpp) ---
  // Births, the render of the live particles (unless pre-rolling or in
  // Wireframe mode), then ageing, death and motion. `frame` feeds the swirl.
  void simulate_step(CloudSystem* s, std::int32_t frame);
  // The births this step wants (none below the birth threshold or when Continuity's
  // draw fails); advances the cursor.
  std::int32_t births_wanted(const CloudSystem* s);
  // Up to `wanted` particles born in the disc (under the matte); too many rejected
  // points in a row end the births with the node's two messages.
  void give_births(CloudSystem* s, std::int32_t wanted);
  // A particle from the store at `b`, with its lifetime, age limit, phase, wind
  // velocity and size levels, put at the head of the live list; null when the store
  // cannot grow.
  Particle* place_particle(CloudSystem* s, const BirthPoint& b, std::int32_t life, std::int32_t limit);
  // Sorts and draws the live particles, unless pre-rolling or in Wireframe mode (a
  // catch-up step sorts without drawing).
  void draw_step(CloudSystem* s);
  // Ageing, death and motion of every live particle; `frame` feeds the swirl.
  void advance_particles(CloudSystem* s, std::int32_t frame);
  // The swirl's push on a moved particle (noise over position and frame).
  void swirl(CloudSystem* s, Particle* p, std::int32_t frame);
  // The cone constraint's push back toward the wind's axis through the birth point.
  void constrain(const CloudSystem* s, Particle* p);
  // A point of the birth disc (advances the cursor by three).
  BirthPoint birth_position(float aspect);
  // Life envelopes of a particle at its current age, each in 0..1.
  float fade_envelope(const Particle* p) const;
  float grow_envelope(const Particle* p) const;

  // --- cloud renderer (cloud_renderer.cpp) ---
  // Draws every live particle into the output: the frame's row job, in bands that the
  // processors take as they come free (the result is the same for any split).
  void render_cloud();
  // Band worker of render_cloud: the particles placed for this frame, in list order.
  void draw_placed_band(std::int32_t first, std::int32_t last);
  // Draws every live particle into output rows first..last (a row job).
  void render_band(std::int32_t first, std::int32_t last);
  void draw_puff(const Particle* p, std::int32_t first, std::int32_t last);
  // Projects a particle: false when it is not drawn (no opacity, at or behind the
  // camera, a level outside the table). Reads the particle and the derived constants.
  bool place_puff(const Particle* p, PuffPlacement& at) const;
  // Draws a placed puff into rows first..last; `in_range` tells that every sample of
  // those rows is known to lie in 0..32767.
  void draw_placed(const Particle* p, const PuffPlacement& at, std::int32_t first,
                   std::int32_t last, bool in_range);
  // The textured draw of a placed puff (textured_draw.cpp).
  void draw_textured_puff(const Particle* p, const PuffStamp& base, const PuffPlacement& at,
                          std::int32_t first, std::int32_t last);
  // Blends a stamp already shifted, centred on (ix, iy), into rows first..last.
  void splat_stamp(std::int32_t ix, std::int32_t iy, std::int32_t opacity,
                   const PuffStamp* stamp, std::int32_t first, std::int32_t last,
                   const Particle* p);

  // --- reference renderer (cloud_renderer_reference.cpp) ---
  // The straightforward draw, identical in every bit to the one above: a whole shifted
  // copy of each stamp, blended a sample at a time. For tests and benchmarks only.
  void render_band_reference(std::int32_t first, std::int32_t last);
  void draw_puff_reference(const Particle* p, std::int32_t first, std::int32_t last);
  void splat_stamp_reference(std::int32_t ix, std::int32_t iy, std::int32_t opacity,
                             const PuffStamp* stamp, std::int32_t first, std::int32_t last,
                             const Particle* p);

  // --- reactions to control changes (control_reactions.cpp) ---
  void controls_changed() override;
  void on_restart(ControlKv* changed, double time);
  void on_restart_preroll(ControlKv* changed, double time);
  void on_preroll(ControlKv* changed, double time);
  // Makes the four Mode lists equal to the changed one (Wireframe when none is).
  void sync_mode(ControlKv* changed, double time);
  void on_use_birth_matte(ControlKv* changed, double time);
  void on_grow_shrink(ControlKv* changed, double time);
  void on_perspective(ControlKv* changed, double time);
  void on_use_gravity(ControlKv* changed, double time);
  void on_use_friction(ControlKv* changed, double time);
  void on_use_swirling(ControlKv* changed, double time);
  void on_use_constraint(ControlKv* changed, double time);
  void on_use_wind(ControlKv* changed, double time);
  void on_use_textured(ControlKv* changed, double time);
  void on_use_fading(ControlKv* changed, double time);
  void on_use_light(ControlKv* changed, double time);
  // Restarts and applies the chosen demo preset (demo_presets.cpp).
  void apply_demo(ControlKv* changed, double time);

  // --- viewer overlay (effect_overlay.cpp) ---
  void draw() override;
  void pointer(int phase, float x, float y) override;

  // --- own members, in order ---
  std::int32_t frame_width = 0;
  std::int32_t frame_height = 0;
  float last_resolution_scale = 999.9f;
  float aspect_x = 1.0f;
  float aspect_y = 1.0f;
  float built_aspect_x = -1.0f;
  float built_aspect_y = -1.0f;
  GradientTable gradient_table;
  float random_table[kRandomTableSize];
  CloudSystem* system = nullptr;
  std::int32_t first_frame = 1;
  std::int32_t restart_requested = 0;
  std::int32_t preroll_requested = 0;
  std::int32_t stamps_dirty = 0;
  std::int32_t in_mp_region = 0;
  std::int32_t random_cursor = 0;
  std::int32_t random_state = -1;
  // The seed the random and gradient tables were last filled from (none at first).
  bool tables_seeded = false;
  std::int32_t tables_seed = 0;
  // Set by the host adapter for frames that a render farm simulates without
  // drawing: the step still sorts its particles, so the painter's order stays
  // exactly that of a drawn run.
  std::int32_t draw_suppressed = 0;
  // Set by the host adapter when the host asks for the cloud alone: the frame starts
  // from transparent black and keeps the alpha its blend accumulates (the coverage).
  bool element_only = false;
  // Benchmarks set this to draw frames with the reference renderer; the node never does.
  bool reference_render = false;
  // The particles render_cloud draws this frame, placed; kept to reuse its memory.
  struct PlacedPuff {
    const Particle* particle;
    PuffPlacement at;
  };
  std::vector<PlacedPuff> placed;
  std::vector<std::int32_t> wanted_levels;  // prepare_stamps' list, kept for its memory
  // The stamp table's inputs as of its last invalidation, which levels have been tried
  // since (empty before the first), and old planes kept for reuse until the next build.
  StampInputs stamp_inputs;
  std::vector<std::uint8_t> stamp_tried;
  std::vector<StampPtr> spare_stamps;
};

}  // namespace brumel
