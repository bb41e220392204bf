#include "sim/random_material.h"

#include <cmath>
#include <cstdio>

namespace brumel {

namespace {

// Program-wide shuffle state. Every caller starts from a non-positive state word,
// which re-initialises it, so results depend on that word alone.
std::int32_t shuffle[32];
std::int32_t shuffle_last = 0;

// One multiplicative step modulo 2^31 - 1 by Schrage's method (no 64-bit product).
std::int32_t lcg_step(std::int32_t s) {
  const std::int32_t k = s / 127773;
  s = 16807 * (s - k * 127773) - 2836 * k;
  if (s < 0) s += 2147483647;
  return s;
}

}  // namespace

float uniform_random(std::int32_t& state) {
  std::int32_t s;
  if (state <= 0 || shuffle_last == 0) {
    // INT32_MIN has no positive counterpart; like every other word below 1 it starts at 1.
    s = state == INT32_MIN ? 1 : -state;
    if (s < 1) s = 1;
    for (int j = 39; j >= 0; --j) {
      s = lcg_step(s);
      if (j < 32) shuffle[j] = s;
    }
    shuffle_last = shuffle[0];
  } else {
    s = state;
  }
  s = lcg_step(s);
  const int j = shuffle_last / 67108864;
  const std::int32_t y = shuffle[j];
  shuffle[j] = s;
  state = s;
  shuffle_last = y;
  // Values near 2^31 round up to 1.0 as floats; keep the result below 1.
  constexpr float kMax = 0.99999988079071f;  // 1 - 2^-23
  const float r = static_cast<float>(y) * 0x1p-31f;
  return r > kMax ? kMax : r;
}

void fill_random_table(float* table, std::int32_t& state) {
  for (int n = 0; n < kRandomTableSize; ++n) table[n] = uniform_random(state);
}

void seed_gradients(GradientTable& table, std::int32_t value) {
  std::int32_t w = value;
  uniform_random(w);
  for (auto& g : table) {
    const float u1 = uniform_random(w);
    const double z = 1.0 - 2.0 * u1;
    const float zf = static_cast<float>(z);
    const float r = static_cast<float>(std::sqrt(1.0 - z * zf));
    const float u2 = uniform_random(w);
    const double phi = u2 * 6.283185307179586;
    g = {static_cast<float>(std::cos(phi) * r), static_cast<float>(std::sin(phi) * r), zf};
  }
}

const std::uint8_t permutation_table[256] = {
    225, 155, 210, 108, 175, 199, 221, 144, 203, 116, 70,  213, 69,  158, 33,  252,
    5,   82,  173, 133, 222, 139, 174, 27,  9,   71,  90,  246, 75,  130, 91,  191,
    169, 138, 2,   151, 194, 235, 81,  7,   25,  113, 228, 159, 205, 253, 134, 142,
    248, 65,  224, 217, 22,  121, 229, 63,  89,  103, 96,  104, 156, 17,  201, 129,
    36,  8,   165, 110, 237, 117, 231, 56,  132, 211, 152, 20,  181, 111, 239, 218,
    170, 163, 51,  172, 157, 47,  80,  212, 176, 250, 87,  49,  99,  242, 136, 189,
    162, 115, 44,  43,  124, 94,  150, 16,  141, 247, 32,  10,  198, 223, 255, 72,
    53,  131, 84,  57,  220, 197, 58,  50,  208, 11,  241, 28,  3,   192, 62,  202,
    18,  215, 153, 24,  76,  41,  15,  179, 39,  46,  55,  6,   128, 167, 23,  188,
    106, 34,  187, 140, 164, 73,  112, 182, 244, 195, 227, 13,  35,  77,  196, 185,
    26,  200, 226, 119, 31,  123, 168, 125, 249, 68,  183, 230, 177, 135, 160, 180,
    12,  1,   243, 148, 102, 166, 38,  238, 251, 37,  240, 126, 64,  74,  161, 40,
    184, 149, 171, 178, 101, 66,  29,  59,  146, 61,  254, 107, 42,  86,  154, 4,
    236, 232, 120, 21,  233, 209, 45,  98,  193, 114, 78,  19,  206, 14,  118, 127,
    48,  79,  147, 85,  30,  207, 219, 54,  88,  234, 190, 122, 95,  67,  143, 109,
    137, 214, 145, 93,  92,  100, 245, 0,   216, 186, 60,  83,  105, 97,  204, 52,
};

namespace {

// Lattice cell of one coordinate: floor, offset within the cell, and s-curve weight.
struct Cell {
  std::int32_t i;
  float f;
  float s;
};

Cell cell_of(float v) {
  std::int32_t i = static_cast<std::int32_t>(v);
  if (v < 0.0f && static_cast<float>(i) != v) i -= 1;
  const float f = v - static_cast<float>(i);
  return {i, f, (3.0f - 2.0f * f) * f * f};
}

const std::array<float, 3>& corner_gradient(const GradientTable& table, std::int32_t i,
                                            std::int32_t j, std::int32_t k) {
  // Two's-complement masking maps negative lattice indices onto 0..255 as well.
  int t = permutation_table[k & 255];
  t = permutation_table[(t + j) & 255];
  return table[permutation_table[(t + i) & 255]];
}

float lerp_f(float t, float p, float q) { return p + t * (q - p); }
double lerp_d(double t, double p, double q) { return p + t * (q - p); }

}  // namespace

// The precision mix reproduces the established output: all of the lower z plane and
// the near row (j) of the upper plane are rounded to float at every step, while the
// far row (j + 1) of the upper plane (its two corner dot products and x
// interpolation), that plane's y interpolation, the z s-curve and the final z
// interpolation are carried in double. The per-axis offsets (f - 1 included) and
// the x and y s-curves are floats.
double gradient_noise(const GradientTable& table, float x, float y, float z) {
  const Cell cx = cell_of(x);
  const Cell cy = cell_of(y);
  const Cell cz = cell_of(z);
  const float dx[2] = {cx.f, cx.f - 1.0f};
  const float dy[2] = {cy.f, cy.f - 1.0f};
  const float dz[2] = {cz.f, cz.f - 1.0f};

  auto value_f = [&](int a, int b, int c) {
    const auto& g = corner_gradient(table, cx.i + a, cy.i + b, cz.i + c);
    return g[0] * dx[a] + g[1] * dy[b] + g[2] * dz[c];
  };
  auto value_d = [&](int a, int b, int c) {
    const auto& g = corner_gradient(table, cx.i + a, cy.i + b, cz.i + c);
    return static_cast<double>(g[0]) * dx[a] + static_cast<double>(g[1]) * dy[b] +
           static_cast<double>(g[2]) * dz[c];
  };

  const float a0 = lerp_f(cx.s, value_f(0, 0, 0), value_f(1, 0, 0));
  const float b0 = lerp_f(cx.s, value_f(0, 1, 0), value_f(1, 1, 0));
  const float c = lerp_f(cy.s, a0, b0);

  const float a1 = lerp_f(cx.s, value_f(0, 0, 1), value_f(1, 0, 1));
  const double b1 = lerp_d(cx.s, value_d(0, 1, 1), value_d(1, 1, 1));
  const double d = lerp_d(cy.s, a1, b1);

  const double fz = cz.f;
  const double sz = (3.0 - 2.0 * fz) * fz * fz;
  return lerp_d(sz, c, d);
}

float cursor_draw(const float* table, std::int32_t& cursor, std::int32_t in_mp_region,
                  const char* warning) {
  if (in_mp_region) {
    std::fputs(warning, stdout);
    std::fflush(stdout);
  }
  // Widened so that a cursor set beyond the wrap point cannot overflow.
  const std::int64_t next = static_cast<std::int64_t>(cursor) + 1;
  cursor = next > 1000000000 ? 0 : static_cast<std::int32_t>(next);
  return table[cursor & (kRandomTableSize - 1)];
}

float draw_rand_01(const float* table, std::int32_t& cursor, std::int32_t in_mp_region) {
  const double u = cursor_draw(table, cursor, in_mp_region, kRand01Warning);
  return u > 0.999999 ? static_cast<float>(0.999999) : static_cast<float>(u);
}

float draw_rand_11(const float* table, std::int32_t& cursor, std::int32_t in_mp_region) {
  const double u = cursor_draw(table, cursor, in_mp_region, kRand11Warning);
  return static_cast<float>(u + u - 1.0);
}

float draw_var_1(const float* table, float mean, float spread, std::int32_t& cursor,
                 std::int32_t in_mp_region) {
  const double u = cursor_draw(table, cursor, in_mp_region, kVar1Warning);
  return static_cast<float>((u + u - 1.0) * spread + mean);
}

}  // namespace brumel
