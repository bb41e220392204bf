#include "render/parallel.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "assim/smp.h"

namespace {

// Slices of every processor for one split, in processor order.
std::vector<SliceRange> split(std::int32_t count, std::int32_t n) {
  std::vector<SliceRange> out;
  for (std::int32_t id = 0; id < n; ++id) out.push_back(slice_range(count, n, id));
  return out;
}

void expect_slices(const std::vector<SliceRange>& got, const std::vector<SliceRange>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].first, want[i].first) << "processor " << i;
    EXPECT_EQ(got[i].last, want[i].last) << "processor " << i;
  }
}

TEST(SliceRange, LastProcessorTakesTheRemainder) {
  expect_slices(split(10, 4), {{0, 1}, {2, 3}, {4, 5}, {6, 9}});
}

TEST(SliceRange, FewerItemsThanProcessorsAllGoToProcessorZero) {
  expect_slices(split(3, 4), {{0, 2}, {3, 2}, {3, 2}, {3, 2}});
  expect_slices(split(0, 4), {{0, -1}, {0, -1}, {0, -1}, {0, -1}});
}

TEST(SliceRange, OneItemPerProcessorWhenCountEqualsProcessors) {
  expect_slices(split(5, 5), {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}});
}

TEST(SliceRange, SlicesAreDisjointAndCoverEveryItemInOrder) {
  for (std::int32_t n = 1; n <= 17; ++n) {
    for (std::int32_t count = 0; count <= 300; ++count) {
      std::int32_t next = 0;  // the first item not yet covered
      for (const SliceRange& r : split(count, n)) {
        if (r.first > r.last) continue;
        ASSERT_EQ(r.first, next) << count << " items on " << n;
        next = r.last + 1;
      }
      ASSERT_EQ(next, count) << count << " items on " << n;
    }
  }
}

TEST(SliceRange, ChunkIsDividedInSinglePrecision) {
  // 16777219 is not a float: it rounds to 16777220, so the chunk is 8388610 where
  // integer or double division would give 8388609.
  EXPECT_EQ(slice_range(16777219, 2, 0).last, 8388609);
  EXPECT_EQ(slice_range(16777219, 2, 1).first, 8388610);
  EXPECT_EQ(slice_range(16777219, 2, 1).last, 16777218);
}

// A class whose loop is split: records the slice each processor received.
struct Recorder {
  static constexpr int kMax = 64;
  std::array<SliceRange, kMax> slice{};
  std::array<int, kMax> calls{};
  void work(std::int32_t first, std::int32_t last) {
    const int id = smp_id();
    slice[id] = {first, last};
    ++calls[id];
  }
};

class RunParallelParallel : public ::testing::Test {
 protected:
  void TearDown() override { smp_set_numprocs(1); }
};

TEST_F(RunParallelParallel, EveryProcessorRunsItsSliceOnce) {
  smp_set_numprocs(4);
  Recorder r;
  run_parallel_job(&r, &Recorder::work, 10);
  const std::vector<SliceRange> want = {{0, 1}, {2, 3}, {4, 5}, {6, 9}};
  for (int id = 0; id < 4; ++id) {
    EXPECT_EQ(r.calls[id], 1) << "processor " << id;
    EXPECT_EQ(r.slice[id].first, want[id].first) << "processor " << id;
    EXPECT_EQ(r.slice[id].last, want[id].last) << "processor " << id;
  }
  EXPECT_EQ(r.calls[4], 0);
}

TEST_F(RunParallelParallel, EmptyJobGivesEveryProcessorAnEmptySlice) {
  smp_set_numprocs(3);
  Recorder r;
  run_parallel_job(&r, &Recorder::work, 0);
  for (int id = 0; id < 3; ++id) {
    EXPECT_EQ(r.calls[id], 1);
    EXPECT_GT(r.slice[id].first, r.slice[id].last);
  }
}

TEST_F(RunParallelParallel, OneProcessorRunsTheWholeRangeOnTheCallingThread) {
  smp_set_numprocs(1);
  Recorder r;
  run_parallel_job(&r, &Recorder::work, 7);
  EXPECT_EQ(r.calls[0], 1);
  EXPECT_EQ(r.slice[0].first, 0);
  EXPECT_EQ(r.slice[0].last, 6);
  run_parallel_job(&r, &Recorder::work, 0);
  EXPECT_EQ(r.slice[0].first, 0);
  EXPECT_EQ(r.slice[0].last, -1);
}

}  // namespace
