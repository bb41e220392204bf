#pragma once
// ImageBuffer: the one raster the effect's parts exchange. Four unsigned 16-bit channels
// per pixel (0..2 colour in the host's order, 3 alpha) on the scale 0..kImageMax, rows
// contiguous and without gaps, every access through the row table `rows` so that a
// buffer may wrap pixel memory the caller owns.
#include <cstdint>

namespace brumel {

class ImageBuffer {
 public:
  static constexpr std::int32_t kImageMax = 32767;

  // A buffer of width x height pixels. With `pixels` null it allocates width * height * 4
  // samples (not cleared) and owns them; otherwise it adopts the caller's memory, which
  // must hold that many samples and outlive the buffer, and never frees it.
  // aspectX = aspectY = 1.0; resolutionScale = 720 / width in single precision (infinite
  // for width 0).
  // Throws std::bad_alloc when an allocation fails (std::bad_array_new_length for a
  // negative width or height); nothing is left allocated then.
  ImageBuffer(std::int32_t width, std::int32_t height, std::uint16_t* pixels = nullptr);
  // Frees the pixels when owned, and the row table.
  ~ImageBuffer();
  ImageBuffer(const ImageBuffer&) = delete;
  ImageBuffer& operator=(const ImageBuffer&) = delete;

  // Copies source (its width x height, into the same pixels of this buffer) with channel c
  // multiplied by fc. All four factors exactly 1.0: a raw, bit-exact row copy. Otherwise
  // per sample: float sample * fc in single precision, truncated toward zero, clamped to
  // 0..kImageMax (a NaN product gives 0). This buffer must be at least as large as source.
  // samplesInRange follows: the source's for a raw copy, true for a scaled one, when the
  // copy covers this whole buffer; false otherwise.
  void copyScaled(const ImageBuffer& source, float f0, float f1, float f2, float f3);
  // Copies channel 3 of every pixel of source into this buffer, leaving channels 0..2
  // alone; a row job over this buffer's height. Source must be at least as large.
  void copyAlphaFrom(const ImageBuffer& source);
  // Row worker of copyAlphaFrom: rows first..last inclusive (none when first > last),
  // reading jobSource.
  void copyAlphaRows(std::int32_t first, std::int32_t last);
  // Runs worker over items 0..count-1 split over the host's processors.
  void run_parallel(void (ImageBuffer::*worker)(std::int32_t, std::int32_t), std::int32_t count);

  std::uint16_t* pixels = nullptr;
  std::int32_t ownsPixels = 0;
  const ImageBuffer* jobSource = nullptr;
  std::uint16_t** rows = nullptr;
  std::int32_t width = 0;
  std::int32_t height = 0;
  double aspectX = 1.0;
  double aspectY = 1.0;
  float resolutionScale = 0.0f;
  // True when every sample is known to lie in 0..kImageMax (set by whoever fills the
  // buffer so; copyScaled passes it on). Lets the renderer skip clamps that cannot bite.
  bool samplesInRange = false;
};

}  // namespace brumel
