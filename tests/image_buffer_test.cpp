#include "render/image_buffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <new>
#include <vector>

#include "assim/smp.h"

namespace brumel {

#if defined(__SANITIZE_ADDRESS__)
// Let a refused huge allocation reach the buffer as std::bad_alloc instead of a report.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }
#endif

namespace {

// Fills every sample with a reproducible pattern over the whole 16-bit range.
void fill(ImageBuffer& image, std::uint32_t seed) {
  for (std::int32_t i = 0; i < image.width * image.height * 4; ++i) {
    seed = seed * 1664525u + 1013904223u;
    image.pixels[i] = static_cast<std::uint16_t>(seed >> 16);
  }
}

std::vector<std::uint16_t> samples(const ImageBuffer& image) {
  return {image.pixels, image.pixels + image.width * image.height * 4};
}

TEST(ImageBuffer, RowsScaleAndRefusedAllocations) {
  EXPECT_EQ(ImageBuffer(1920, 1).resolutionScale, 0.375f);
  EXPECT_EQ(ImageBuffer(1000, 1).resolutionScale, 720.0f / 1000.0f);
  // A buffer that freed this vector's storage would make the vector free it again,
  // which the allocator (and AddressSanitizer) reports.
  std::vector<std::uint16_t> memory(4 * 2 * 4, 7);
  {
    ImageBuffer image(4, 2, memory.data());
    EXPECT_EQ(image.rows[1], memory.data() + 16);
  }
  constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
  EXPECT_THROW(ImageBuffer(1 << 20, 1 << 20), std::bad_alloc);
  EXPECT_THROW(ImageBuffer(kMax, kMax), std::bad_alloc);
  EXPECT_THROW(ImageBuffer(4, -1), std::bad_alloc);
}

TEST(ImageBuffer, CopyScaledTruncatesAndClampsButByOneIsBitExact) {
  ImageBuffer source(2, 1), target(2, 1);
  const std::uint16_t in[8] = {32767, 20000, 1000, 3, 3, 32767, 12345, 40000};
  std::copy(in, in + 8, source.pixels);
  // 16383.5 and 2.1 truncate, 40000 and negatives clamp.
  target.copyScaled(source, 0.5f, 2.0f, -1.0f, 0.7f);
  EXPECT_EQ(samples(target), (std::vector<std::uint16_t>{16383, 32767, 0, 2, 1, 32767, 0, 28000}));
  // 1.0000001f is the float just above 1: not equal to 1, so every sample is scaled and
  // clamped; samples above 32767 betray the path that was taken.
  target.copyScaled(source, 1.0f, 1.0f, 1.0f, 1.0000001f);
  EXPECT_EQ(samples(target), (std::vector<std::uint16_t>{32767, 20000, 1000, 3, 3, 32767, 12345, 32767}));
  target.copyScaled(source, 1.0f, 1.0f, 1.0f, 1.0f);  // even outside the range
  EXPECT_EQ(samples(target), samples(source));
}

// Heights below, at and above the processor counts: empty slices copy nothing.
TEST(ImageBufferParallel, AlphaCopySameOnAnyProcessorCount) {
  for (std::int32_t height : {1, 2, 3, 5, 16, 37}) {
    ImageBuffer source(9, height), target(9, height);
    fill(source, 10 + height);
    fill(target, 20 + height);
    std::vector<std::uint16_t> want = samples(target);
    for (std::size_t i = 3; i < want.size(); i += 4) want[i] = source.pixels[i];
    for (int procs : {1, 2, 3, 4, 7, 16}) {
      smp_set_numprocs(procs);
      fill(target, 20 + height);
      target.copyAlphaFrom(source);
      EXPECT_EQ(samples(target), want) << "height " << height << " on " << procs;
    }
  }
  smp_set_numprocs(1);
}

}  // namespace

}  // namespace brumel
