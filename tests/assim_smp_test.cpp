#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <thread>
#include <vector>

#include "assim/smp.h"

namespace {

struct Tally {
  std::array<std::atomic<int>, 64> runs{};
  std::array<std::atomic<std::thread::id>, 64> threads{};
  std::atomic<int> finished{0};
  std::atomic<bool> words_ok{true};
};

int marker_a, marker_b;
void* const kFive = reinterpret_cast<void*>(std::uintptr_t{5});
std::atomic<int> running{0}, most_running{0};

// Records which processor ran, on which thread, with which words; the slow first
// processors make a premature return visible, and the overlap of calls is counted.
void record(void* tally, void* a, void* b, void* c, void* d, void* e) {
  const int now = ++running;
  for (int seen = most_running; now > seen && !most_running.compare_exchange_weak(seen, now);) {
  }
  auto& t = *static_cast<Tally*>(tally);
  if (a != &marker_a || b != &marker_b || c != nullptr || d != nullptr || e != kFive) t.words_ok = false;
  const int id = smp_id();
  if (id < 2) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  if (id >= 0 && id < 64) {
    t.runs[static_cast<std::size_t>(id)]++;
    t.threads[static_cast<std::size_t>(id)] = std::this_thread::get_id();
  }
  t.finished++;
  --running;
}

void exec(Tally& t) { smp_exec(record, &t, &marker_a, &marker_b, nullptr, nullptr, kFive); }

class SmpParallel : public testing::Test {
 protected:
  void TearDown() override { smp_set_numprocs(saved_); }
  int saved_ = smp_numprocs();
};

// Every processor runs once with the given words, all done on return; processor 0 is
// the caller, the others other threads; counts are held to 1..64.
TEST_F(SmpParallel, EveryProcessorRunsOnceWithTheGivenWords) {
  for (int count : {1, 2, 3, 4, 7, 16, 64, 3, 1}) {
    smp_set_numprocs(count);
    ASSERT_EQ(smp_numprocs(), count);
    for (int repeat = 0; repeat < 3; ++repeat) {
      Tally t;
      exec(t);
      EXPECT_EQ(t.finished.load(), count) << "count " << count;
      EXPECT_TRUE(t.words_ok.load());
      for (int id = 0; id < 64; ++id)
        EXPECT_EQ(t.runs[static_cast<std::size_t>(id)].load(), id < count ? 1 : 0) << "count " << count << " id " << id;
      EXPECT_EQ(t.threads[0].load(), std::this_thread::get_id());
      for (int id = 1; id < count; ++id) EXPECT_NE(t.threads[static_cast<std::size_t>(id)].load(), t.threads[0].load());
    }
  }
  EXPECT_EQ(smp_id(), 0);  // outside any job
  smp_set_numprocs(0);
  EXPECT_EQ(smp_numprocs(), 1);
  smp_set_numprocs(1000);
  EXPECT_EQ(smp_numprocs(), 64);
}

TEST_F(SmpParallel, JobsFromSeveralThreadsRunOneAfterAnother) {
  smp_set_numprocs(3);
  most_running = 0;
  std::vector<Tally> tallies(4);
  {
    std::vector<std::jthread> callers;
    for (auto& t : tallies)
      callers.emplace_back([&t] {
        for (int i = 0; i < 5; ++i) exec(t);
      });
  }
  EXPECT_LE(most_running.load(), 3);  // never two jobs' processors at once
  for (auto& t : tallies) {
    EXPECT_EQ(t.finished.load(), 15);
    for (int id = 0; id < 3; ++id) EXPECT_EQ(t.runs[static_cast<std::size_t>(id)].load(), 5);
  }
}

void nested(void* tally, void*, void*, void*, void*, void*) {
  const int outer = smp_id();
  exec(*static_cast<Tally*>(tally));
  EXPECT_EQ(smp_id(), outer);
}

TEST_F(SmpParallel, AJobStartedInsideAJobCompletesInsteadOfWaitingForever) {
  smp_set_numprocs(2);
  Tally t;
  smp_exec(nested, &t, nullptr, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(t.finished.load(), 4);
  EXPECT_EQ(std::pair(t.runs[0].load(), t.runs[1].load()), std::pair(2, 2));
}

}  // namespace
