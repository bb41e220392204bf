#pragma once
// Resampler: scales one ImageBuffer into another of any size with a separable
// convolution filter, one horizontal and one vertical pass through an intermediate image.
// Kernels are tabulated at 1/512-pixel steps; all arithmetic is in double precision.
#include <cstdint>

#include "render/image_buffer.h"

namespace brumel {

class Resampler {
 public:
  static constexpr std::int32_t kKernelEntries = 1537;
  static constexpr std::int32_t kKernelSteps = 512;  // table entries per source pixel

  // filter_type -1, then set_filter(1) (the triangle).
  Resampler();
  virtual ~Resampler();

  // Selects a kernel when `type` differs from filter_type (stored as given): 3 cubic
  // convolution a = -0.5, 4 the same with a = -1.0, 5 cubic B-spline, 6 two-lobe Lanczos
  // (radius 2); 1, 2 and every other value the triangle (radius 1). Entries at and beyond
  // the radius are 0.
  void set_filter(std::int32_t type);

  // Fills target (constructed, of the wanted size) with source scaled to target's size.
  // The first and last samples of each axis map onto the source's first and last ones.
  // Along an axis whose new length is 1 the one sample sits at the source's centre,
  // (old_size - 1) / 2, with the kernel stretched by scale = old_size - 1 (a weighted
  // average of the whole line); an old length of 1 gives scale 0, so every sample takes
  // the single source sample. Returns 1, or 0 with target untouched when the intermediate
  // image cannot be allocated or when the source has no pixels but the target has.
  int resample(const ImageBuffer& source, ImageBuffer& target);

  // Pass workers over inclusive ranges; resample sets the pass fields first and runs
  // each once over its whole range. Horizontal: rows of source into intermediate.
  // Vertical: columns of intermediate into target.
  void horizontal_pass(std::int32_t first, std::int32_t last);
  void vertical_pass(std::int32_t first, std::int32_t last);

  std::int32_t filter_type = -1;
  double kernel[kKernelEntries] = {};
  std::int32_t radius = 1;
  std::int32_t new_size = 0;
  std::int32_t old_size = 0;
  const ImageBuffer* source = nullptr;
  ImageBuffer* intermediate = nullptr;
  ImageBuffer* target = nullptr;
  double scale = 0.0;

 private:
  // Sets the pass lengths and the scale of the pass about to run.
  void begin_pass(std::int32_t old_length, std::int32_t new_length);
  // Target sample k of the pass: `at(i)` points at the four samples of source position i.
  template <class At>
  void filter_sample(std::int32_t k, At at, std::uint16_t* out) const;
  double weight(double distance_steps) const;
};

}  // namespace brumel
