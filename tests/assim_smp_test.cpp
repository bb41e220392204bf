#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <thread>
#include <vector>

#include "assim/smp.h"

namespace {

struct Tally {
  std::array<std::atomic<int>, 64> runs{};
  std::atomic<int> finished{0};
  std::atomic<bool> words_ok{true};
};

int marker_a, marker_b;

// Records which processor ran; the slow first processors make a premature return visible.
void record(void* tally, void* a, void* b, void* c, void* d, void* e) {
  auto& t = *static_cast<Tally*>(tally);
  if (a != &marker_a || b != &marker_b || c != nullptr || d != nullptr ||
      e != reinterpret_cast<void*>(std::uintptr_t{5}))
    t.words_ok = false;
  int id = smp_id();
  if (id < 2) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  if (id >= 0 && id < 64) t.runs[static_cast<std::size_t>(id)]++;
  t.finished++;
}

class SmpParallel : public testing::Test {
 protected:
  void TearDown() override { smp_set_numprocs(saved_); }
  int saved_ = smp_numprocs();
};

TEST_F(SmpParallel, EveryProcessorRunsOnceWithTheGivenWords) {
  for (int count : {1, 2, 3, 4, 7, 16, 64, 3, 1}) {
    smp_set_numprocs(count);
    ASSERT_EQ(smp_numprocs(), count);
    for (int repeat = 0; repeat < 3; ++repeat) {
      Tally t;
      smp_exec(record, &t, &marker_a, &marker_b, nullptr, nullptr,
               reinterpret_cast<void*>(std::uintptr_t{5}));
      EXPECT_EQ(t.finished.load(), count) << "count " << count;  // all done on return
      EXPECT_TRUE(t.words_ok.load());
      for (int id = 0; id < 64; ++id)
        EXPECT_EQ(t.runs[static_cast<std::size_t>(id)].load(), id < count ? 1 : 0)
            << "count " << count << " id " << id;
    }
  }
}

void note_thread(void* ids, void*, void*, void*, void*, void*) {
  (*static_cast<std::array<std::thread::id, 4>*>(ids))[static_cast<std::size_t>(smp_id())] =
      std::this_thread::get_id();
}

TEST_F(SmpParallel, ProcessorZeroIsTheCallerAndOthersAreOtherThreads) {
  smp_set_numprocs(4);
  std::array<std::thread::id, 4> ids{};
  smp_exec(note_thread, &ids, nullptr, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(ids[0], std::this_thread::get_id());
  for (int i = 1; i < 4; ++i) EXPECT_NE(ids[static_cast<std::size_t>(i)], ids[0]);
  EXPECT_EQ(smp_id(), 0);  // outside any job
}

TEST_F(SmpParallel, CountsAreClampedToTheHostRange) {
  smp_set_numprocs(0);
  EXPECT_EQ(smp_numprocs(), 1);
  smp_set_numprocs(1000);
  EXPECT_EQ(smp_numprocs(), 64);
}

std::atomic<int> running{0};
std::atomic<int> most_running{0};

void record_overlap(void* tally, void* a, void* b, void* c, void* d, void* e) {
  int now = ++running;
  for (int seen = most_running; now > seen && !most_running.compare_exchange_weak(seen, now);) {
  }
  record(tally, a, b, c, d, e);
  --running;
}

TEST_F(SmpParallel, JobsFromSeveralThreadsRunOneAfterAnother) {
  smp_set_numprocs(3);
  std::vector<Tally> tallies(4);
  {
    std::vector<std::jthread> callers;
    for (auto& t : tallies)
      callers.emplace_back([&t] {
        for (int i = 0; i < 5; ++i)
          smp_exec(record_overlap, &t, &marker_a, &marker_b, nullptr, nullptr,
                   reinterpret_cast<void*>(std::uintptr_t{5}));
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
  smp_exec(record, tally, &marker_a, &marker_b, nullptr, nullptr,
           reinterpret_cast<void*>(std::uintptr_t{5}));
  EXPECT_EQ(smp_id(), outer);
}

TEST_F(SmpParallel, AJobStartedInsideAJobCompletesInsteadOfWaitingForever) {
  smp_set_numprocs(2);
  Tally t;
  smp_exec(nested, &t, nullptr, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(t.finished.load(), 4);
  EXPECT_EQ(t.runs[0].load(), 2);
  EXPECT_EQ(t.runs[1].load(), 2);
}

}  // namespace
