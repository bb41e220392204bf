#include "sim/particle_store.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "support/effect_fixtures.h"

namespace brumel {

namespace {

struct SystemDeleter {
  void operator()(CloudSystem* s) const { destroy(s); }
};
using SystemPtr = std::unique_ptr<CloudSystem, SystemDeleter>;

// A live list whose particles, from the head, have the depths `zs`.
std::vector<Particle*> live_list_of(CloudSystem* s, const std::vector<float>& zs) {
  std::vector<Particle*> order(zs.size());
  for (std::size_t k = zs.size(); k-- > 0;) (order[k] = push_particle(s, {}))->z = zs[k];
  return order;
}

std::vector<Particle*> walk(Particle* head) {
  std::vector<Particle*> out;
  for (Particle* p = head; p; p = p->next) out.push_back(p);
  return out;
}

// Blocks chain on only when the free list runs dry. (Destroying the system at the end
// frees every block and every built stamp: the sanitizer build's leak checker sees it.)
TEST(ParticleStore, BlocksChainOntoTheFreeListOnlyWhenItRunsDry) {
  EXPECT_EQ(create(0), nullptr);
  SystemPtr s(create(4));
  s->stamps[0] = stamp_create(1, 1, true);
  s->stamps[160] = stamp_create(5, 5, false);
  Particle* first = s->blocks->particles;
  EXPECT_EQ(walk(s->free_list), (std::vector<Particle*>{first, first + 1, first + 2, first + 3}));
  live_list_of(s.get(), {0, 0, 0, 0});
  EXPECT_EQ(s->block_count, 1);
  Particle* p = push_particle(s.get(), {});
  EXPECT_EQ(s->block_count, 2);
  EXPECT_EQ(p, &s->blocks->particles[0]);  // the newest block comes first
  EXPECT_EQ(s->blocks->next->particles, first);
  restart(s.get());
  live_list_of(s.get(), std::vector<float>(8));
  EXPECT_EQ(std::pair(s->block_count, s->live_count), std::pair(2, 8));
}

TEST(ParticleStore, RestartThenTakeReusesTheFormerLiveHeadCleared) {
  SystemPtr s(create(8));
  Particle* head = live_list_of(s.get(), {1, 2, 3})[0];
  Particle* const second = head->next;
  std::memset(static_cast<void*>(head), 0xAB, sizeof(Particle));  // every field dirty
  head->next = second;
  restart(s.get());
  EXPECT_EQ(std::pair(s->live_list, s->live_count), std::pair(static_cast<Particle*>(nullptr), 0));
  EXPECT_EQ(walk(s->free_list).size(), 8u);
  Particle* p = take_particle(s.get());
  EXPECT_EQ(p, head);
  const Particle zero{};
  EXPECT_EQ(std::memcmp(p, &zero, sizeof(Particle)), 0);
}

TEST(ParticleStore, ReleaseOfHeadAndOfMiddleKeepsListsConsistent) {
  SystemPtr s(create(8));
  const std::vector<Particle*> live = live_list_of(s.get(), {1, 2, 3, 4});  // a b c d
  const std::vector<Particle*> free_before = walk(s->free_list);
  release(s.get(), live[0], nullptr);
  EXPECT_EQ(walk(s->live_list), (std::vector<Particle*>{live[1], live[2], live[3]}));
  EXPECT_EQ(s->live_count, 3);
  release(s.get(), live[2], live[1]);
  EXPECT_EQ(walk(s->live_list), (std::vector<Particle*>{live[1], live[3]}));
  EXPECT_EQ(s->live_count, 2);
  std::vector<Particle*> free = {live[2], live[0]};  // the freed first, the latest at the head
  free.insert(free.end(), free_before.begin(), free_before.end());
  EXPECT_EQ(walk(s->free_list), free);
}

// The order the sort gives depths `zs` (from the head), as input positions.
std::vector<int> sorted_positions(const std::vector<float>& zs) {
  SystemPtr s(create(16));
  const std::vector<Particle*> input = live_list_of(s.get(), zs);
  for (std::size_t k = 0; k < input.size(); ++k) input[k]->age = static_cast<std::int32_t>(k);
  sort_live_by_depth(s.get());
  std::vector<int> out;
  for (Particle* p : walk(s->live_list)) out.push_back(p->age);
  EXPECT_EQ(out.size(), zs.size());
  return out;
}

// The sort recurses into the smaller part and loops on the larger one; the procedure
// as first stated always recurses left and iterates right. Both must give one order.
void reference_quicksort(std::vector<std::pair<float, int>>& a, int lo, int hi) {
  for (;;) {
    const float p = a[(lo + hi) / 2].first;
    int i = lo, j = hi;
    do {
      while (a[i].first < p && i < hi) ++i;
      while (a[j].first > p && j > lo) --j;
      if (i > j) break;
      std::swap(a[i++], a[j--]);
    } while (i <= j);
    if (lo < j) reference_quicksort(a, lo, j);
    if (i >= hi) return;
    lo = i;
  }
}

TEST(SortLiveByDepth, AscendingAndSameOrderAsTheLiteralProcedure) {
  std::mt19937 rng(12345);
  for (int distinct : {3, 50, 100000}) {
    std::uniform_int_distribution<int> key(0, distinct - 1);
    std::vector<float> zs(3000);
    std::vector<std::pair<float, int>> ref(zs.size());
    for (std::size_t k = 0; k < zs.size(); ++k) {
      zs[k] = static_cast<float>(key(rng)) * 0.25f - 3.0f;
      ref[k] = {zs[k], static_cast<int>(k)};
    }
    reference_quicksort(ref, 0, static_cast<int>(ref.size()) - 1);
    const std::vector<int> got = sorted_positions(zs);
    ASSERT_EQ(got.size(), ref.size());
    for (std::size_t k = 0; k < got.size(); ++k) {
      ASSERT_EQ(got[k], ref[k].second) << "distinct " << distinct << " at " << k;
      ASSERT_LE(zs[got[k > 0 ? k - 1 : 0]], zs[got[k]]);
    }
  }
}

}  // namespace

}  // namespace brumel
