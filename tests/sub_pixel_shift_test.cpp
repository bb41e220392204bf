#include "render/sub_pixel_shift.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include "assim/smp.h"
#include "render/parallel.h"
#include "support/effect_fixtures.h"

namespace {

struct RasterDeleter {
  void operator()(Raster* r) const { raster_free(r); }
};
using RasterPtr = std::unique_ptr<Raster, RasterDeleter>;

template <class S>
RasterPtr raster_of(std::int32_t width, std::int32_t height, std::uint16_t type,
                    const std::vector<S>& values) {
  RasterPtr r(raster_create(width, height, 1, type, true));
  if (r) std::memcpy(r->data, values.data(), values.size() * sizeof(S));
  return r;
}

template <class S>
std::vector<S> values_of(const Raster& r) {
  const S* p = static_cast<const S*>(r.data);
  return std::vector<S>(p, p + static_cast<std::size_t>(r.width) * r.height * r.channels);
}

StampPtr one_pixel_stamp(std::int32_t density, float shade) {
  StampPtr s(stamp_create(1, 1, true));
  s->density[0] = density;
  s->shade[0] = shade;
  return s;
}

std::vector<std::int32_t> density_of(const PuffStamp& s) {
  return std::vector<std::int32_t>(s.density, s.density + s.width * s.height);
}

using Ints = std::vector<std::int32_t>;

TEST(Raster, SizesPerSampleTypeAndRefusedGeometry) {
  EXPECT_EQ(raster_bytes(3, 2, 4, kSampleU8), 24);
  EXPECT_EQ(raster_bytes(3, 2, 4, kSampleU16), 48);
  EXPECT_EQ(raster_bytes(3, 2, 4, kSampleU32), 96);
  EXPECT_EQ(raster_row_bytes(3, 4, kSampleF32), 48);
  EXPECT_EQ(raster_bytes(3, 2, 4, 4), -1);
  EXPECT_EQ(raster_row_bytes(3, 4, 4), -1);
  EXPECT_EQ(raster_bytes(65535, 65535, 65535, kSampleF32), 65535LL * 65535 * 65535 * 4);
  struct Geometry {
    std::int32_t w, h, c;
    std::uint16_t type;
  };
  for (Geometry g : {Geometry{0, 5, 1, kSampleU8}, Geometry{65536, 5, 1, kSampleU8},
                     Geometry{5, 0, 1, kSampleU8}, Geometry{5, 65536, 1, kSampleU8},
                     Geometry{5, 5, 0, kSampleU8}, Geometry{5, 5, 1, 4}, Geometry{-1, 5, 1, 0}})
    EXPECT_EQ(raster_create(g.w, g.h, g.c, g.type, true), nullptr) << g.w << "x" << g.h;
}

TEST(Raster, CreateAllocatesPageAlignedBuffers) {
  const auto alignment = std::max<std::uintptr_t>(sysconf(_SC_PAGESIZE), 512);
  RasterPtr r(raster_create(65535, 3, 2, kSampleU16, true));
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->owns_data, 1);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(r->data) % alignment, 0u);
  std::memset(r->data, 0xab, raster_bytes(65535, 3, 2, kSampleU16));  // all of it is ours

  RasterPtr bare(raster_create(4, 4, 1, kSampleF32, false));
  ASSERT_NE(bare, nullptr);
  EXPECT_EQ(bare->data, nullptr);
  EXPECT_EQ(bare->owns_data, 0);
}

TEST(Raster, CopyNeedsTheSameGeometry) {
  auto a = raster_of<std::uint16_t>(2, 2, kSampleU16, {1, 2, 3, 4});
  auto b = raster_of<std::uint16_t>(2, 2, kSampleU16, {9, 9, 9, 9});
  auto wider = raster_of<std::uint16_t>(4, 1, kSampleU16, {7, 7, 7, 7});
  auto other_type = raster_of<float>(2, 2, kSampleF32, {7, 7, 7, 7});
  EXPECT_FALSE(raster_same_geometry(a.get(), other_type.get()));
  EXPECT_FALSE(raster_same_geometry(a.get(), nullptr));
  EXPECT_FALSE(raster_copy(a.get(), wider.get()));
  EXPECT_EQ(values_of<std::uint16_t>(*wider), (std::vector<std::uint16_t>{7, 7, 7, 7}));
  EXPECT_TRUE(raster_copy(a.get(), b.get()));
  EXPECT_EQ(values_of<std::uint16_t>(*b), (std::vector<std::uint16_t>{1, 2, 3, 4}));
}

template <class S>
std::vector<S> shifted_half_pixel(std::uint16_t type, S peak) {
  auto a = raster_of<S>(3, 1, type, {0, peak, 0});
  auto b = raster_of<S>(3, 1, type, {9, 9, 9});
  EXPECT_TRUE(raster_shift(a.get(), b.get(), 0.5f, 0.0f));
  return values_of<S>(*b);
}

TEST(RasterShift, HalfPixelRoundsPerSampleType) {
  // The one-pixel offset of a non-zero fraction, and the half rounded up (kept in F32).
  EXPECT_EQ(shifted_half_pixel<std::uint8_t>(kSampleU8, 101), (std::vector<std::uint8_t>{0, 0, 51}));
  EXPECT_EQ(shifted_half_pixel<std::uint16_t>(kSampleU16, 101),
            (std::vector<std::uint16_t>{0, 0, 51}));
  EXPECT_EQ(shifted_half_pixel<std::uint32_t>(kSampleU32, 4294967295u),
            (std::vector<std::uint32_t>{0, 0, 2147483648u}));
  EXPECT_EQ(shifted_half_pixel<float>(kSampleF32, 101.0f), (std::vector<float>{0, 0, 50.5f}));
}

TEST(RasterShift, WholeAndFractionalOffsetsInBothDirections) {
  const std::vector<std::uint16_t> in = {10, 20, 30, 40, 50};
  auto shifted = [&](float dx) {
    auto a = raster_of<std::uint16_t>(5, 1, kSampleU16, in);
    auto b = raster_of<std::uint16_t>(5, 1, kSampleU16, std::vector<std::uint16_t>(5, 9));
    EXPECT_TRUE(raster_shift(a.get(), b.get(), dx, 0.0f));
    return values_of<std::uint16_t>(*b);
  };
  using V = std::vector<std::uint16_t>;
  EXPECT_EQ(shifted(0.0f), in);
  EXPECT_EQ(shifted(2.0f), (V{0, 0, 10, 20, 30}));
  EXPECT_EQ(shifted(-1.0f), (V{20, 30, 40, 50, 0}));
  EXPECT_EQ(shifted(1.5f), (V{0, 0, 5, 15, 25}));
  EXPECT_EQ(shifted(-1.5f), (V{15, 25, 35, 45, 25}));
  EXPECT_EQ(shifted(1e9f), (V{0, 0, 0, 0, 0}));
  EXPECT_EQ(shifted(-1e9f), (V{0, 0, 0, 0, 0}));
}

TEST(RasterShift, VerticalPassMovesRowsOfEveryChannel) {
  RasterPtr a(raster_create(1, 3, 2, kSampleU16, true));
  RasterPtr b(raster_create(1, 3, 2, kSampleU16, true));
  const std::uint16_t in[6] = {100, 1, 200, 2, 300, 3};
  std::memcpy(a->data, in, sizeof in);
  ASSERT_TRUE(raster_shift(a.get(), b.get(), 0.0f, -0.25f));
  // Row k takes the source at k - 0.75: a quarter of row k plus three quarters of k - 1.
  EXPECT_EQ(values_of<std::uint16_t>(*b), (std::vector<std::uint16_t>{25, 0, 125, 1, 225, 2}));
}

TEST(RasterShift, RefusesMismatchedRastersAndLeavesTheTarget) {
  auto a = raster_of<std::uint16_t>(2, 1, kSampleU16, {1, 2});
  auto f = raster_of<float>(2, 1, kSampleF32, {7, 7});
  EXPECT_FALSE(raster_shift(a.get(), f.get(), 0.5f, 0.0f));
  EXPECT_EQ(values_of<float>(*f), (std::vector<float>{7, 7}));
  RasterPtr two(raster_create(2, 1, 2, kSampleU16, true));
  EXPECT_FALSE(raster_shift(a.get(), two.get(), 0.5f, 0.0f));
  auto b = raster_of<std::uint16_t>(2, 1, kSampleU16, {7, 7});
  EXPECT_FALSE(raster_shift(a.get(), b.get(), std::numeric_limits<float>::quiet_NaN(), 0.0f));
  EXPECT_FALSE(raster_shift(a.get(), b.get(), 0.0f, std::numeric_limits<float>::infinity()));
  EXPECT_EQ(values_of<std::uint16_t>(*b), (std::vector<std::uint16_t>{7, 7}));
}

// A one-pixel stamp shifted onto 3 x 3: fractions split the pixel, are clamped below
// one pixel, and a NaN leaves the planes empty; density is clamped to 256.
TEST(ShiftStamp, OnePixelExamples) {
  struct Case {
    std::int32_t density;
    float fx, fy;
    Ints want;
  };
  const Case cases[] = {
      {256, 0.3f, 0.0f, {0, 179, 77, 0, 0, 0, 0, 0, 0}},
      {256, -0.3f, 0.0f, {77, 179, 0, 0, 0, 0, 0, 0, 0}},
      {256, 0.3f, 0.3f, {0, 0, 0, 0, 125, 54, 0, 54, 23}},
      {256, 1.5f, 0.0f, {0, 0, 256, 0, 0, 0, 0, 0, 0}},
      {256, -2.0f, 0.0f, {256, 0, 0, 0, 0, 0, 0, 0, 0}},
      {257, 0.0f, 0.0f, {256, 0, 0, 0, 0, 0, 0, 0, 0}},
      {256, std::nanf(""), 0.0f, Ints(9, 0)},
  };
  for (const Case& c : cases) {
    auto stamp = one_pixel_stamp(c.density, 1.0f);
    StampPtr s(shift_stamp(stamp.get(), c.fx, c.fy));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->width, 3);
    EXPECT_EQ(s->height, 3);
    EXPECT_EQ(density_of(*s), c.want) << c.density << " by " << c.fx << "," << c.fy;
  }
  auto stamp = one_pixel_stamp(256, 1.0f);
  StampPtr right(shift_stamp(stamp.get(), 0.3f, 0.0f));
  EXPECT_EQ(right->shade[0], 0.0f);
  EXPECT_FLOAT_EQ(right->shade[1], 0.7f);
  EXPECT_FLOAT_EQ(right->shade[2], 0.3f);
  for (int i = 3; i < 9; ++i) EXPECT_EQ(right->shade[i], 0.0f);
}

TEST(ShiftStamp, ZeroFractionKeepsTheColumnsInPlace) {
  StampPtr stamp(stamp_create(3, 3, true));
  for (int i = 0; i < 9; ++i) {
    stamp->density[i] = 10 * (i + 1);
    stamp->shade[i] = 0.1f * static_cast<float>(i);
  }
  StampPtr s(shift_stamp(stamp.get(), 0.0f, 0.5f));
  ASSERT_NE(s, nullptr);
  ASSERT_EQ(s->width, 5);
  ASSERT_EQ(s->height, 5);
  // Rows move by the half pixel (row r takes the mean of source rows r - 2 and r - 1);
  // columns 0..2 are the source columns, 3 and 4 stay empty.
  const Ints want = {0, 0, 0, 0, 0,
                     5, 10, 15, 0, 0,
                     25, 35, 45, 0, 0,
                     55, 65, 75, 0, 0,
                     35, 40, 45, 0, 0};
  EXPECT_EQ(density_of(*s), want);
  EXPECT_FLOAT_EQ(s->shade[2 * 5 + 1], 0.25f);  // (0.1 + 0.4) / 2
  EXPECT_EQ(s->shade[2 * 5 + 3], 0.0f);
}

// A w x h stamp of varied densities (0..257, so the clamp to 256 matters) and shades
// (with negatives, above 1 and tiny values, which the float pass keeps as they are).
StampPtr patterned_stamp(std::int32_t w, std::int32_t h) {
  StampPtr s(stamp_create(w, h, false));
  for (std::int32_t k = 0; k < w * h; ++k) {
    s->density[k] = (k * 97 + 13) % 258;
    s->shade[k] = static_cast<float>((k * 53) % 101) / 37.0f - 0.4f + 1e-7f * static_cast<float>(k);
  }
  return s;
}

// Every row range of a stamp shifted by any fraction holds exactly the same bits as
// those rows of the whole shift: both planes, every range from one row to all of them.
TEST(ShiftStampRows, EveryRangeMatchesTheWholeShift) {
  const float fractions[] = {0.0f, -0.0f, 0.3f, -0.3f, 0.5f, -0.5f, 0.999f, -0.999f,
                             0.9999f, -1.5f, 1e-30f, -1e-30f, 0.61803f, -0.70711f};
  for (auto [w, h] : {std::pair{1, 1}, std::pair{5, 5}, std::pair{9, 4}, std::pair{3, 11}}) {
    StampPtr stamp = patterned_stamp(w, h);
    for (float fx : fractions) {
      for (float fy : fractions) {
        StampPtr whole(shift_stamp(stamp.get(), fx, fy));
        ASSERT_TRUE(whole);
        const std::int32_t wide = w + 2;
        for (std::int32_t first = 0; first < h + 2; ++first) {
          for (std::int32_t last = first; last < h + 2; ++last) {
            StampPtr rows(shift_stamp_rows(stamp.get(), fx, fy, first, last));
            ASSERT_TRUE(rows);
            ASSERT_EQ(rows->width, wide);
            ASSERT_EQ(rows->height, last - first + 1);
            const std::size_t n = static_cast<std::size_t>(wide) * rows->height;
            const std::size_t at = static_cast<std::size_t>(first) * wide;
            ASSERT_EQ(std::memcmp(rows->density, whole->density + at, n * sizeof(std::int32_t)), 0)
                << w << "x" << h << " by " << fx << "," << fy << " rows " << first << ".." << last;
            ASSERT_EQ(std::memcmp(rows->shade, whole->shade + at, n * sizeof(float)), 0)
                << w << "x" << h << " by " << fx << "," << fy << " rows " << first << ".." << last;
          }
        }
      }
    }
  }
}

TEST(ShiftStampRows, EmptyOrOutsideRangesAndNanFractions) {
  StampPtr stamp = patterned_stamp(4, 4);
  EXPECT_EQ(shift_stamp_rows(stamp.get(), 0.2f, 0.2f, 3, 2), nullptr);
  EXPECT_EQ(shift_stamp_rows(stamp.get(), 0.2f, 0.2f, -1, 2), nullptr);
  EXPECT_EQ(shift_stamp_rows(stamp.get(), 0.2f, 0.2f, 4, 6), nullptr);
  EXPECT_EQ(shift_stamp_rows(nullptr, 0.2f, 0.2f, 0, 1), nullptr);
  // A NaN fraction leaves both planes empty, as the whole shift does.
  StampPtr rows(shift_stamp_rows(stamp.get(), 0.2f, std::nanf(""), 1, 4));
  ASSERT_TRUE(rows);
  EXPECT_EQ(density_of(*rows), Ints(24, 0));
  EXPECT_EQ(std::vector<float>(rows->shade, rows->shade + 24), std::vector<float>(24, 0.0f));
}

// Shifts the same stamp on every processor at once, as the renderer's bands do.
struct ConcurrentShifts {
  const PuffStamp* stamp = nullptr;
  std::array<Ints, 8> result{};
  void work(std::int32_t first, std::int32_t last) {
    for (std::int32_t i = first; i <= last; ++i) {
      StampPtr s(shift_stamp(stamp, 0.1f * static_cast<float>(i) - 0.35f, 0.2f));
      if (s) result[i] = density_of(*s);
    }
  }
};

class SubPixelShiftParallel : public ::testing::Test {
 protected:
  void TearDown() override { smp_set_numprocs(1); }
};

TEST_F(SubPixelShiftParallel, ConcurrentShiftsMatchSerialOnes) {
  StampPtr stamp(stamp_create(7, 7, true));
  for (int i = 0; i < 49; ++i) stamp->density[i] = (i * 37) % 258;
  ConcurrentShifts serial, parallel;
  serial.stamp = parallel.stamp = stamp.get();
  smp_set_numprocs(1);
  run_parallel_job(&serial, &ConcurrentShifts::work, 8);
  smp_set_numprocs(8);
  run_parallel_job(&parallel, &ConcurrentShifts::work, 8);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(parallel.result[i].size(), 81u);
    EXPECT_EQ(parallel.result[i], serial.result[i]) << i;
  }
}

}  // namespace
