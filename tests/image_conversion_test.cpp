// Host images to effect buffers and back. The per-sample conversion of every channel
// count is the sample-rows test's; here the frame around it.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "host/image_conversion.h"
#include "render/resampler.h"
#include "support/host_image.h"

namespace brumel {

namespace {

// Reversed rows come in last row first and go out in order, the flag cleared (also
// when there are no rows).
TEST(ImageConversion, ReversedRowsAreReadAndWrittenInOrderAndTheFlagCleared) {
  HostImage in(1, 3, 4, {2, 2, 2, 2, 4, 4, 4, 4, 6, 6, 6, 6});
  in.image.flags = kImageRowsReversed | 1;
  const auto buffer = import_image(&in.image, nullptr);
  EXPECT_EQ(std::pair(buffer->rows[0][0], buffer->rows[2][0]), std::pair(std::uint16_t{3}, std::uint16_t{1}));
  HostImage out(1, 3, 4);
  out.image.flags = kImageRowsReversed | 1;
  export_image(buffer.get(), &out.image);
  EXPECT_EQ(std::pair(out.samples[0], out.samples[8]), std::pair(std::uint16_t{6}, std::uint16_t{2}));
  EXPECT_EQ(out.image.flags, 1);
  ImageBuffer empty(0, 0);
  HostImage none(0, 0, 4);
  none.image.flags = kImageRowsReversed;
  export_image(&empty, &none.image);
  EXPECT_EQ(none.image.flags, 0);
}

// A reference of the same size (whatever its channels) copies; one of another size
// resamples with the cubic kernel; an empty source gives transparent black.
TEST(ImageConversion, AReferenceOfAnotherSizeResamplesWithTheCubicKernel) {
  std::vector<std::uint16_t> values;
  for (int i = 0; i < 4 * 3 * 4; ++i) values.push_back(std::uint16_t((i * 7919) % 65536));
  HostImage in(4, 3, 4, values), same(4, 3, 3);
  const auto copied = import_image(&in.image, &same.image);
  for (int i = 0; i < 4 * 3 * 4; ++i) ASSERT_EQ(copied->pixels[i], values[i] >> 1);
  for (auto [w, h] : {std::pair{9, 7}, {2, 3}}) {
    HostImage ref(w, h, 4);
    const auto resampled = import_image(&in.image, &ref.image);
    ASSERT_EQ(std::pair(resampled->width, resampled->height), std::pair(w, h));
    ImageBuffer expected(w, h);
    Resampler r;
    r.set_filter(3);
    ASSERT_EQ(r.resample(*copied, expected), 1);
    EXPECT_EQ(std::vector<std::uint16_t>(resampled->pixels, resampled->pixels + w * h * 4),
              std::vector<std::uint16_t>(expected.pixels, expected.pixels + w * h * 4));
  }
  HostImage empty(0, 0, 4), ref(3, 2, 4);
  const auto black = import_image(&empty.image, &ref.image);
  EXPECT_EQ(std::vector<std::uint16_t>(black->pixels, black->pixels + 3 * 2 * 4), std::vector<std::uint16_t>(24, 0));
}

TEST(ImageConversion, UnreadableImagesAreNamedAndNotImported) {
  HostImage ok(2, 2, 4), no_channels(2, 2, 4), negative(2, 2, 4), no_data(2, 2, 4);
  EXPECT_EQ(import_image(nullptr, &ok.image), nullptr);
  no_channels.image.channels = 0;
  EXPECT_STREQ(image_problem(no_channels.image), "fewer than one channel");
  EXPECT_EQ(import_image(&no_channels.image, nullptr), nullptr);
  negative.image.height = -2;
  EXPECT_NE(image_problem(negative.image), nullptr);
  no_data.image.data = nullptr;
  EXPECT_NE(image_problem(no_data.image), nullptr);
  ImageBuffer b(2, 2);
  export_image(&b, &no_data.image);  // must not write through the null pointer
  no_data.image.width = 0;
  EXPECT_EQ(image_problem(no_data.image), nullptr) << "an empty image needs no samples";
}

}  // namespace

}  // namespace brumel
