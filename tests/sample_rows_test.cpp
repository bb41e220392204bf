// Host sample rows to and from 15-bit RGBA, on every instruction set this machine runs,
// against the per-sample formulas.
#include <gtest/gtest.h>
#include <hwy/tests/hwy_gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "host/sample_rows.h"

namespace brumel {

namespace {

class SampleRowsTargets : public hwy::TestWithParamTarget {};
HWY_TARGET_INSTANTIATE_TEST_SUITE_P(SampleRowsTargets);

TEST_P(SampleRowsTargets, MatchThePerSampleFormulas) {
  std::mt19937 rng(7);
  for (int channels = 1; channels <= 5; ++channels) {
    for (int width : {1, 7, 16, 33, 100}) {
      std::vector<std::uint16_t> host(static_cast<std::size_t>(width) * channels);
      for (auto& v : host) v = static_cast<std::uint16_t>(rng());
      std::vector<std::uint16_t> rgba(static_cast<std::size_t>(width) * 4);
      narrow_row(host.data(), channels, width, rgba.data());
      std::vector<std::uint16_t> back(host.size(), 0xabcd);
      widen_row(rgba.data(), width, channels, back.data());
      for (int x = 0; x < width; ++x) {
        const std::uint16_t* s = &host[static_cast<std::size_t>(x) * channels];
        const bool grey = channels <= 2;
        const int alpha = channels == 2 ? 1 : (channels == 4 ? 3 : -1);
        for (int c = 0; c < 4; ++c) {
          const int want = c == 3 ? (alpha < 0 ? 32767 : s[alpha] >> 1) : s[grey ? 0 : c] >> 1;
          ASSERT_EQ(rgba[static_cast<std::size_t>(x) * 4 + c], want)
              << channels << " channels, pixel " << x << ", channel " << c;
        }
        // Back: every channel the host row has takes its sample (grey and alpha for
        // two), widened; samples past the third of five are left alone.
        for (int c = 0; c < channels; ++c) {
          const int from = channels == 2 && c == 1 ? 3 : std::min(c, 3);
          const std::uint16_t v = rgba[static_cast<std::size_t>(x) * 4 + from];
          const int want =
              c >= 3 && channels == 5 ? 0xabcd : static_cast<std::uint16_t>((v << 1) | (v >> 14));
          ASSERT_EQ(back[static_cast<std::size_t>(x) * channels + c], want)
              << channels << " channels, pixel " << x << ", channel " << c;
        }
      }
    }
  }
}

}  // namespace

}  // namespace brumel
