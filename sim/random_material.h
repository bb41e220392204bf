#pragma once
// The seeded random material of the cloud: the shuffled congruential generator, the
// table of pre-drawn numbers with its cursor draws, and gradient noise over a table of
// random unit vectors. Every value depends only on the starting state word, so a seed
// and a sequence of renders reproduce the same cloud bit for bit.
#include <array>
#include <cstdint>

namespace brumel {

// Next value of the minimal standard generator with a 32-entry shuffle, in (0, 1).
// `state` <= 0 (or a never-initialised shuffle) restarts the sequence from -state
// (at least 1). The shuffle is program-wide and unguarded: one caller at a time.
float uniform_random(std::int32_t& state);

inline constexpr int kRandomTableSize = 262144;  // 2^18: the cursor wraps by masking

// Fills table[0 .. kRandomTableSize-1] with successive uniform_random(state) values.
void fill_random_table(float* table, std::int32_t& state);

// 256 unit vectors (x, y, z), uniformly spread over the sphere.
using GradientTable = std::array<std::array<float, 3>, 256>;

// Fills `table` from the starting state word `value` (one discarded draw, then two
// draws per entry).
void seed_gradients(GradientTable& table, std::int32_t value);

// A fixed permutation of 0..255 that hashes lattice corners to gradient entries.
extern const std::uint8_t permutation_table[256];

// 3-D gradient noise at (x, y, z), roughly in [-1, 1]; 0 at every lattice point and
// continuous everywhere. Single precision throughout except the far row of the
// upper z plane and the final z interpolation, which are double (see the .cpp).
double gradient_noise(const GradientTable& table, float x, float y, float z);

// Cursor draws from a random table. Each one first prints `warning` to standard
// output (flushed) when `in_mp_region` is set, then advances `cursor` by one (past
// 1000000000 it wraps to 0) and reads entry cursor & 262143.
float cursor_draw(const float* table, std::int32_t& cursor, std::int32_t in_mp_region,
                  const char* warning);

inline constexpr const char* kVar1Warning = "part_var_1() called with MP region!\n";
inline constexpr const char* kRand01Warning = "part_rand_01() called with MP region!\n";
inline constexpr const char* kRand11Warning = "part_rand_11() called with MP region!\n";

// u capped at 0.999999 (as a float), so a probability of 1 always wins.
float draw_rand_01(const float* table, std::int32_t& cursor, std::int32_t in_mp_region);
// 2u - 1, in (-1, 1).
float draw_rand_11(const float* table, std::int32_t& cursor, std::int32_t in_mp_region);
// (2u - 1) * spread + mean, formed in double and rounded once.
float draw_var_1(const float* table, float mean, float spread, std::int32_t& cursor,
                 std::int32_t in_mp_region);

}  // namespace brumel
