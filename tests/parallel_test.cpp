#include "render/parallel.h"

#include <gtest/gtest.h>

#include <vector>

namespace brumel {

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

}  // namespace

}  // namespace brumel
