// The embedding library's frame player: whatever order a host asks for frames in,
// each one is the frame of a run over every frame from the shot start.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "assim/smp.h"
#include "embed/catch_up_reads.h"
#include "embed/frame_player.h"
#include "embed/node_module.h"
#include "embed/settings.h"

namespace {

using brumel::FramePlayer;
using brumel::HostImage;

constexpr int kWidth = 64, kHeight = 36;

// A plate whose samples differ per frame, so a frame drawn over the wrong input shows.
HostImage plate(int frame) {
  HostImage image(kWidth, kHeight);
  for (std::size_t i = 0; i < image.samples.size(); ++i) {
    image.samples[i] = static_cast<std::uint16_t>((i * 2654435761u + frame * 40503u) & 0xffff);
  }
  return image;
}

struct Shot {
  brumel::NodeModule module{BRUMEL_MODULE_PATH};
  brumel::NodePtr node = module.create();
  std::vector<HostImage> plates;
  FramePlayer player;

  Shot(const brumel::SettingsRequest& request, int shot_start)
      : player(*node, brumel::ShotFormat{kWidth, kHeight, 1.0, shot_start, 0, false}) {
    brumel::apply_settings(*node, request, shot_start);
    player.set_preroll(request.preroll);
    player.set_catch_up_reads(brumel::catch_up_reads(*node, false));
    for (int f = 0; f <= shot_start + 120; ++f) plates.push_back(plate(f));
  }
  HostImage show(int frame) {
    return player.show(frame, [this](int f, bool, bool) {
      return brumel::FrameImages{plates[static_cast<std::size_t>(f)].view(), {}, false};
    });
  }
};

brumel::SettingsRequest request(const char* demo, bool preroll, std::vector<std::string> keys = {}) {
  brumel::SettingsRequest r;
  r.demo = demo;
  r.preroll = preroll;
  r.default_mode = "render";
  r.keys = std::move(keys);
  return r;
}

class FramePlayerTest : public ::testing::Test {
 protected:
  void TearDown() override { smp_set_numprocs(1); }
};

// Next steps, the same frame again, and jumps back and forward give the straight
// run's frames; the same frame again takes no step.
TEST_F(FramePlayerTest, AnyOrderGivesTheFramesOfAStraightRun) {
  const struct {
    brumel::SettingsRequest settings;
    int shot_start;
  } shots[]{
      {request("Sunset", true), 1},
      {request("Billow", false, {"Wind Speed=3:5,6:40"}), 3},
  };
  const struct {
    std::vector<int> order;
    long steps;  // process_image calls the order costs
  } orders[]{
      {{0, 1, 1, 2, 2, 2, 3}, 4},
      {{3, 5}, 4 + 6},  // a jump forward restarts and catches up from the start
      {{0, 1, 2, 3, 4, 1, 2}, 5 + 2 + 1},  // back: a restart too
      {{5, 0, 5}, 6 + 1 + 6},
  };
  for (const auto& shot : shots) {
    Shot straight(shot.settings, shot.shot_start);
    std::vector<HostImage> expected;
    for (int i = 0; i <= 5; ++i) expected.push_back(straight.show(shot.shot_start + i));
    EXPECT_FALSE(expected[4] == expected[5]);
    for (const auto& order : orders) {
      Shot seeking(shot.settings, shot.shot_start);
      for (int i : order.order) {
        ASSERT_TRUE(seeking.show(shot.shot_start + i) == expected[static_cast<std::size_t>(i)])
            << "frame " << shot.shot_start + i << " of " << testing::PrintToString(order.order);
      }
      EXPECT_EQ(seeking.player.steps(), order.steps);
    }
  }
}

// Two nodes rendering at the same moment on two threads give the frames each
// gives alone: the render lock keeps the node's program-wide shuffle state apart.
using FramePlayerParallel = FramePlayerTest;  // run under ThreadSanitizer too

TEST_F(FramePlayerParallel, TwoNodesOnTwoThreadsRenderAsAlone) {
  // Many small frames: each starts by refilling the random table from the seed,
  // which is where two renders at once would meet.
  constexpr int kFrames = 120;
  const char* demos[] = {"Bombard", "Sky Writing"};
  std::vector<HostImage> alone[2], together[2];
  for (int d = 0; d < 2; ++d) {
    Shot shot(request(demos[d], true), 1);
    for (int f = 1; f <= kFrames; ++f) alone[d].push_back(shot.show(f));
  }
  std::vector<std::thread> threads;
  for (int d = 0; d < 2; ++d) {
    threads.emplace_back([&, d] {
      Shot shot(request(demos[d], true), 1);
      for (int f = 1; f <= kFrames; ++f) together[d].push_back(shot.show(f));
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_TRUE(together[0] == alone[0]);
  EXPECT_TRUE(together[1] == alone[1]);
}

}  // namespace
