#include "render/sub_pixel_shift.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>
#include <tuple>

#include "support/effect_fixtures.h"

namespace brumel {

namespace {

using Ints = std::vector<std::int32_t>;
using U16s = std::vector<std::uint16_t>;

template <class S>
RasterPtr raster_of(std::int32_t width, std::uint16_t type, const std::vector<S>& values, std::int32_t channels = 1) {
  RasterPtr r(raster_create(width, static_cast<std::int32_t>(values.size()) / width / channels, channels, type, true));
  std::memcpy(r->data, values.data(), values.size() * sizeof(S));
  return r;
}

template <class S>
std::vector<S> values_of(const Raster& r) {
  const S* p = static_cast<const S*>(r.data);
  return std::vector<S>(p, p + static_cast<std::size_t>(r.width) * r.height * r.channels);
}

// `in` (width wide, `channels` per pixel) shifted by (dx, dy) onto a target of 9s.
template <class S>
std::vector<S> shifted(std::uint16_t type, std::int32_t width, const std::vector<S>& in, float dx, float dy,
                       std::int32_t channels = 1) {
  auto a = raster_of<S>(width, type, in, channels);
  auto b = raster_of<S>(width, type, std::vector<S>(in.size(), S(9)), channels);
  EXPECT_TRUE(raster_shift(a.get(), b.get(), dx, dy));
  return values_of<S>(*b);
}

Ints density_of(const PuffStamp& s) { return Ints(s.density, s.density + s.width * s.height); }

TEST(Raster, SizesAlignmentAndRefusals) {
  EXPECT_EQ((std::vector<std::int64_t>{raster_bytes(3, 2, 4, kSampleU8), raster_bytes(3, 2, 4, kSampleU16),
                                       raster_bytes(3, 2, 4, kSampleU32), raster_row_bytes(3, 4, kSampleF32),
                                       raster_bytes(3, 2, 4, 4), raster_row_bytes(3, 4, 4)}),
            (std::vector<std::int64_t>{24, 48, 96, 48, -1, -1}));
  EXPECT_EQ(raster_bytes(65535, 65535, 65535, kSampleF32), 65535LL * 65535 * 65535 * 4);
  for (auto [w, h, c, type] : {std::tuple{0, 5, 1, kSampleU8}, {65536, 5, 1, kSampleU8}, {5, 0, 1, kSampleU8},
                               {5, 65536, 1, kSampleU8}, {5, 5, 0, kSampleU8}, {5, 5, 1, 4}, {-1, 5, 1, 0}})
    EXPECT_EQ(raster_create(w, h, c, type, true), nullptr) << w << "x" << h << "x" << c << " of type " << type;
  const auto alignment = std::max<std::uintptr_t>(sysconf(_SC_PAGESIZE), 512);
  RasterPtr big(raster_create(65535, 3, 2, kSampleU16, true));
  ASSERT_NE(big, nullptr);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(big->data) % alignment, 0u);
  std::memset(big->data, 0xab, raster_bytes(65535, 3, 2, kSampleU16));  // all of it is ours

  // Copy and shift need the same geometry and finite offsets, and then touch nothing.
  auto a = raster_of<std::uint16_t>(2, kSampleU16, {1, 2, 3, 4});
  auto b = raster_of<std::uint16_t>(2, kSampleU16, {9, 9, 9, 9});
  auto wider = raster_of<std::uint16_t>(4, kSampleU16, {7, 7, 7, 7});
  auto other_type = raster_of<float>(2, kSampleF32, {7, 7, 7, 7});
  RasterPtr two_channels(raster_create(2, 2, 2, kSampleU16, true));
  EXPECT_FALSE(raster_same_geometry(a.get(), nullptr));
  EXPECT_FALSE(raster_copy(a.get(), wider.get()));
  for (Raster* t : {other_type.get(), two_channels.get()}) EXPECT_FALSE(raster_shift(a.get(), t, 0.5f, 0.0f));
  EXPECT_FALSE(raster_shift(a.get(), b.get(), std::numeric_limits<float>::quiet_NaN(), 0.0f));
  EXPECT_FALSE(raster_shift(a.get(), b.get(), 0.0f, std::numeric_limits<float>::infinity()));
  EXPECT_EQ(values_of<std::uint16_t>(*wider), (U16s{7, 7, 7, 7}));
  EXPECT_EQ(values_of<float>(*other_type), (std::vector<float>{7, 7, 7, 7}));
  EXPECT_EQ(values_of<std::uint16_t>(*b), (U16s{9, 9, 9, 9}));
  EXPECT_TRUE(raster_copy(a.get(), b.get()));
  EXPECT_EQ(values_of<std::uint16_t>(*b), (U16s{1, 2, 3, 4}));
}

TEST(RasterShift, WholeAndFractionalOffsetsRoundPerSampleType) {
  // The one-pixel offset of a non-zero fraction, and the half rounded up (kept in F32).
  EXPECT_EQ(shifted<std::uint8_t>(kSampleU8, 3, {0, 101, 0}, 0.5f, 0), (std::vector<std::uint8_t>{0, 0, 51}));
  EXPECT_EQ(shifted<std::uint16_t>(kSampleU16, 3, {0, 101, 0}, 0.5f, 0), (U16s{0, 0, 51}));
  EXPECT_EQ(shifted<std::uint32_t>(kSampleU32, 3, {0, 4294967295u, 0}, 0.5f, 0),
            (std::vector<std::uint32_t>{0, 0, 2147483648u}));
  EXPECT_EQ(shifted<float>(kSampleF32, 3, {0, 101, 0}, 0.5f, 0), (std::vector<float>{0, 0, 50.5f}));
  const U16s in = {10, 20, 30, 40, 50};
  const std::pair<float, U16s> cases[] = {{0.0f, in},
                                          {2.0f, {0, 0, 10, 20, 30}},
                                          {-1.0f, {20, 30, 40, 50, 0}},
                                          {1.5f, {0, 0, 5, 15, 25}},
                                          {-1.5f, {15, 25, 35, 45, 25}},
                                          {1e9f, U16s(5, 0)},
                                          {-1e9f, U16s(5, 0)}};
  for (const auto& [dx, want] : cases) EXPECT_EQ(shifted<std::uint16_t>(kSampleU16, 5, in, dx, 0), want) << dx;
  // Vertically, row k takes the source at k - 0.75 in every channel.
  EXPECT_EQ(shifted<std::uint16_t>(kSampleU16, 1, {100, 1, 200, 2, 300, 3}, 0.0f, -0.25f, 2),
            (U16s{25, 0, 125, 1, 225, 2}));
}

// A one-pixel stamp shifted onto 3 x 3: fractions split the pixel, are clamped below
// one pixel, and a NaN leaves the planes empty; density is clamped to 256.
TEST(ShiftStamp, Examples) {
  const struct {
    std::int32_t density;
    float fx, fy;
    Ints want;
  } cases[] = {
      {256, 0.3f, 0.0f, {0, 179, 77, 0, 0, 0, 0, 0, 0}},  {256, -0.3f, 0.0f, {77, 179, 0, 0, 0, 0, 0, 0, 0}},
      {256, 0.3f, 0.3f, {0, 0, 0, 0, 125, 54, 0, 54, 23}}, {256, 1.5f, 0.0f, {0, 0, 256, 0, 0, 0, 0, 0, 0}},
      {256, -2.0f, 0.0f, {256, 0, 0, 0, 0, 0, 0, 0, 0}},   {257, 0.0f, 0.0f, {256, 0, 0, 0, 0, 0, 0, 0, 0}},
      {256, std::nanf(""), 0.0f, Ints(9, 0)},
  };
  StampPtr stamp(stamp_create(1, 1, true));
  stamp->shade[0] = 1.0f;
  for (const auto& c : cases) {
    stamp->density[0] = c.density;
    StampPtr s(shift_stamp(stamp.get(), c.fx, c.fy));
    EXPECT_EQ(density_of(*s), c.want) << c.density << " by " << c.fx << "," << c.fy;
  }
  StampPtr right(shift_stamp(stamp.get(), 0.3f, 0.0f));
  EXPECT_EQ(std::vector<float>(right->shade, right->shade + 9),
            (std::vector<float>{0, 1.0f - 0.3f, 0.3f, 0, 0, 0, 0, 0, 0}));

  // A zero fraction keeps the columns in place: rows move by the half pixel (row r takes
  // the mean of source rows r - 2 and r - 1); columns 3 and 4 stay empty.
  StampPtr square(stamp_create(3, 3, true));
  for (int i = 0; i < 9; ++i) {
    square->density[i] = 10 * (i + 1);
    square->shade[i] = 0.1f * static_cast<float>(i);
  }
  StampPtr s(shift_stamp(square.get(), 0.0f, 0.5f));
  EXPECT_EQ(density_of(*s),
            (Ints{0, 0, 0, 0, 0, 5, 10, 15, 0, 0, 25, 35, 45, 0, 0, 55, 65, 75, 0, 0, 35, 40, 45, 0, 0}));
  EXPECT_FLOAT_EQ(s->shade[2 * 5 + 1], 0.25f);  // (0.1 + 0.4) / 2
}

// Every row range of a stamp shifted by any fraction holds exactly the same bits as
// those rows of the whole shift: both planes, every range from one row to all of them.
// The stamps hold densities 0..257 (so the clamp matters) and shades with negatives,
// values above 1 and tiny ones, which the float pass keeps as they are.
TEST(ShiftStampRows, EveryRangeMatchesTheWholeShiftAndOthersAreRefused) {
  const float fractions[] = {0.0f, -0.0f, 0.3f, -0.3f, 0.5f, -0.5f, 0.999f, -0.999f, 0.9999f, -1.5f, 1e-30f, -1e-30f,
                             0.61803f, -0.70711f, std::nanf("")};
  for (auto [w, h] : {std::pair{1, 1}, {5, 5}, {9, 4}, {3, 11}}) {
    StampPtr stamp(stamp_create(w, h, false));
    for (std::int32_t k = 0; k < w * h; ++k) {
      stamp->density[k] = (k * 97 + 13) % 258;
      stamp->shade[k] = static_cast<float>((k * 53) % 101) / 37.0f - 0.4f + 1e-7f * static_cast<float>(k);
    }
    for (float fx : fractions)
      for (float fy : fractions) {
        StampPtr whole(shift_stamp(stamp.get(), fx, fy));
        const std::int32_t wide = w + 2;
        for (std::int32_t first = 0; first < h + 2; ++first)
          for (std::int32_t last = first; last < h + 2; ++last) {
            StampPtr rows(shift_stamp_rows(stamp.get(), fx, fy, first, last));
            ASSERT_TRUE(rows && rows->width == wide && rows->height == last - first + 1);
            const std::size_t n = static_cast<std::size_t>(wide) * rows->height;
            const std::size_t at = static_cast<std::size_t>(first) * wide;
            ASSERT_TRUE(std::memcmp(rows->density, whole->density + at, n * sizeof(std::int32_t)) == 0 &&
                        std::memcmp(rows->shade, whole->shade + at, n * sizeof(float)) == 0)
                << w << "x" << h << " by " << fx << "," << fy << " rows " << first << ".." << last;
          }
      }
  }
  StampPtr stamp(stamp_create(5, 5, true));
  for (auto [first, last] : {std::pair{4, 3}, {-1, 2}, {6, 8}})
    EXPECT_EQ(shift_stamp_rows(stamp.get(), 0.2f, 0.2f, first, last), nullptr) << first;
  EXPECT_EQ(shift_stamp_rows(nullptr, 0.2f, 0.2f, 0, 1), nullptr);
}

}  // namespace

}  // namespace brumel
