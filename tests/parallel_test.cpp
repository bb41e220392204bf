#include "render/parallel.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "assim/smp.h"

namespace {

using Slices = std::vector<std::pair<std::int32_t, std::int32_t>>;

Slices split(std::int32_t count, std::int32_t n) {
  Slices out;
  for (std::int32_t id = 0; id < n; ++id) {
    const SliceRange r = slice_range(count, n, id);
    out.emplace_back(r.first, r.last);
  }
  return out;
}

TEST(SliceRange, ExamplesOfTheSplit) {
  EXPECT_EQ(split(10, 4), (Slices{{0, 1}, {2, 3}, {4, 5}, {6, 9}}));  // last takes the rest
  EXPECT_EQ(split(3, 4), (Slices{{0, 2}, {3, 2}, {3, 2}, {3, 2}}));   // all on processor 0
  EXPECT_EQ(split(0, 4), (Slices{{0, -1}, {0, -1}, {0, -1}, {0, -1}}));
  EXPECT_EQ(split(5, 5), (Slices{{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}}));
  // 16777219 is not a float: it rounds to 16777220, so the chunk is 8388610 where integer
  // or double division would give 8388609.
  EXPECT_EQ(split(16777219, 2), (Slices{{0, 8388609}, {8388610, 16777218}}));
}

TEST(SliceRange, SlicesAreDisjointAndCoverEveryItemInOrder) {
  for (std::int32_t n = 1; n <= 17; ++n)
    for (std::int32_t count = 0; count <= 300; ++count) {
      std::int32_t next = 0;  // the first item not yet covered
      for (const auto& [first, last] : split(count, n)) {
        if (first > last) continue;
        ASSERT_EQ(first, next) << count << " items on " << n;
        next = last + 1;
      }
      ASSERT_EQ(next, count) << count << " items on " << n;
    }
}

// A class whose loop is split: records the slice each processor received.
struct Recorder {
  std::array<SliceRange, 64> slice{};
  std::array<int, 64> calls{};
  void work(std::int32_t first, std::int32_t last) {
    slice[smp_id()] = {first, last};
    ++calls[smp_id()];
  }
};

class RunParallelParallel : public ::testing::Test {
 protected:
  void TearDown() override { smp_set_numprocs(1); }
};

TEST_F(RunParallelParallel, EveryProcessorRunsItsSliceOnce) {
  for (int procs : {4, 1})
    for (std::int32_t count : {10, 0}) {
      smp_set_numprocs(procs);
      Recorder r;
      run_parallel_job(&r, &Recorder::work, count);
      for (int id = 0; id <= procs; ++id) {
        EXPECT_EQ(r.calls[id], id < procs ? 1 : 0) << "processor " << id;
        if (id == procs) continue;
        EXPECT_EQ(r.slice[id].first, slice_range(count, procs, id).first) << id;
        EXPECT_EQ(r.slice[id].last, slice_range(count, procs, id).last) << id;
      }
    }
}

}  // namespace
