// Host images to effect buffers and back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "host/image_conversion.h"
#include "render/resampler.h"

namespace {

struct HostImage {
  std::vector<std::uint16_t> samples;
  _image_str image;

  HostImage(int width, int height, int channels, std::vector<std::uint16_t> values = {})
      : samples(std::move(values)) {
    samples.resize(static_cast<std::size_t>(width) * height * channels, 0xBEEF);
    image.width = width;
    image.height = height;
    image.channels = channels;
    image.data = samples.data();
  }
};

std::vector<std::uint16_t> pixel(const ImageBuffer& b, int x, int y) {
  const std::uint16_t* p = b.rows[y] + 4 * x;
  return {p[0], p[1], p[2], p[3]};
}

TEST(ImageConversion, RoundTripReplacesTheLowestBitByTheHighest) {
  const std::vector<std::uint16_t> values = {0, 1, 2, 3, 0x7FFF, 0x8000, 0x8001, 0xFFFE, 0xFFFF,
                                             0x4000, 0x1235, 0xC0DE};
  HostImage in(3, 1, 4, values);
  const auto buffer = import_image(&in.image, nullptr);
  ASSERT_NE(buffer, nullptr);
  for (int x = 0; x < 3; ++x)
    for (int c = 0; c < 4; ++c) EXPECT_EQ(buffer->rows[0][4 * x + c], values[4 * x + c] >> 1);

  HostImage out(3, 1, 4);
  export_image(buffer.get(), &out.image);
  for (std::size_t i = 0; i < values.size(); ++i) {
    const std::uint16_t s = values[i];
    EXPECT_EQ(out.samples[i], std::uint16_t((s & 0xFFFE) | (s >> 15))) << "sample " << s;
  }
}

// Import spreads each channel count over RGBA (channels beyond four are skipped like
// the alpha of three); export writes only the channels the host image has.
TEST(ImageConversion, ChannelCountsOtherThanFour) {
  using V = std::vector<std::uint16_t>;
  const std::pair<int, V> imports[] = {{1, {1000, 60000}},
                                       {2, {1000, 2000, 60000, 4}},
                                       {3, {10, 20, 30, 40, 50, 60}},
                                       {5, {10, 20, 30, 40, 50, 60, 70, 80, 90, 100}}};
  const V second_pixel[] = {{30000, 30000, 30000, 32767}, {30000, 30000, 30000, 2},
                            {20, 25, 30, 32767}, {30, 35, 40, 32767}};
  for (int i = 0; i < 4; ++i) {
    HostImage in(2, 1, imports[i].first, imports[i].second);
    EXPECT_EQ(pixel(*import_image(&in.image, nullptr), 1, 0), second_pixel[i]) << imports[i].first;
  }

  ImageBuffer b(2, 1);
  const std::uint16_t px[8] = {100, 200, 300, 400, 32767, 0, 16384, 1};
  std::copy(px, px + 8, b.rows[0]);
  auto w = [](std::uint16_t s) { return std::uint16_t((s << 1) | (s >> 14)); };
  const std::pair<int, V> exports[] = {
      {3, {w(100), w(200), w(300), w(32767), 0, w(16384)}},
      {2, {w(100), w(400), 65535, w(1)}},
      {1, {w(100), 65535}},
      {5, {w(100), w(200), w(300), 0xBEEF, 0xBEEF, 65535, 0, w(16384), 0xBEEF, 0xBEEF}}};
  for (const auto& [channels, want] : exports) {
    HostImage out(2, 1, channels);
    export_image(&b, &out.image);
    EXPECT_EQ(out.samples, want) << channels;
  }
}

TEST(ImageConversion, ReversedRowsComeInLastFirstAndGoOutInOrderWithTheFlagCleared) {
  HostImage in(1, 3, 4, {2, 2, 2, 2, 4, 4, 4, 4, 6, 6, 6, 6});
  in.image.flags = kImageRowsReversed | 1;
  const auto buffer = import_image(&in.image, nullptr);
  EXPECT_EQ(buffer->rows[0][0], 3);
  EXPECT_EQ(buffer->rows[2][0], 1);

  HostImage out(1, 3, 4);
  out.image.flags = kImageRowsReversed | 1;
  export_image(buffer.get(), &out.image);
  EXPECT_EQ(out.samples[0], 6);
  EXPECT_EQ(out.samples[8], 2);
  EXPECT_EQ(out.image.flags, 1);

  // No rows: the flag is cleared all the same.
  ImageBuffer empty(0, 0);
  HostImage none(0, 0, 4);
  none.image.flags = kImageRowsReversed;
  export_image(&empty, &none.image);
  EXPECT_EQ(none.image.flags, 0);
}

TEST(ImageConversion, AReferenceOfAnotherSizeResamplesWithTheCubicKernel) {
  std::vector<std::uint16_t> values;
  for (int i = 0; i < 4 * 3 * 4; ++i) values.push_back(std::uint16_t((i * 7919) % 65536));
  HostImage in(4, 3, 4, values);

  // A reference of the same size (whatever its channels) copies.
  HostImage same(4, 3, 3);
  const auto copied = import_image(&in.image, &same.image);
  for (int i = 0; i < 4 * 3 * 4; ++i) ASSERT_EQ(copied->pixels[i], values[i] >> 1);

  const auto direct = import_image(&in.image, nullptr);
  for (auto [w, h] : {std::pair{9, 7}, std::pair{2, 3}}) {
    HostImage ref(w, h, 4);
    const auto resampled = import_image(&in.image, &ref.image);
    ASSERT_EQ(resampled->width, w);
    ASSERT_EQ(resampled->height, h);
    ImageBuffer expected(w, h);
    Resampler r;
    r.set_filter(3);
    ASSERT_EQ(r.resample(*direct, expected), 1);
    for (int i = 0; i < w * h * 4; ++i)
      ASSERT_EQ(resampled->pixels[i], expected.pixels[i]) << w << "x" << h << " sample " << i;
  }

  // An empty source gives a transparent black frame of the reference's size.
  HostImage empty(0, 0, 4);
  HostImage ref(3, 2, 4);
  const auto black = import_image(&empty.image, &ref.image);
  for (int i = 0; i < 3 * 2 * 4; ++i) EXPECT_EQ(black->pixels[i], 0);
}

TEST(ImageConversion, UnreadableImagesAreNamedAndNotImported) {
  HostImage ok(2, 2, 4);
  EXPECT_EQ(import_image(nullptr, &ok.image), nullptr);

  HostImage no_channels(2, 2, 4), negative(2, 2, 4), no_data(2, 2, 4);
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
