#include "sim/particle_store.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <utility>
#include <vector>

namespace {

struct SystemDeleter {
  void operator()(CloudSystem* s) const { destroy(s); }
};
using SystemPtr = std::unique_ptr<CloudSystem, SystemDeleter>;

SystemPtr make_system(std::int32_t block_size) { return SystemPtr(create(block_size)); }

// Takes a particle and pushes it on the head of the live list, as a birth does.
Particle* birth(CloudSystem* s, float z = 0.0f) {
  Particle* p = take_particle(s);
  p->z = z;
  p->next = s->live_list;
  s->live_list = p;
  s->live_count += 1;
  return p;
}

// A live list whose particles, from the head, have the depths `zs`.
std::vector<Particle*> live_list_of(CloudSystem* s, const std::vector<float>& zs) {
  std::vector<Particle*> order(zs.size());
  for (std::size_t k = zs.size(); k-- > 0;) order[k] = birth(s, zs[k]);
  return order;
}

std::vector<Particle*> walk(Particle* head) {
  std::vector<Particle*> out;
  for (Particle* p = head; p; p = p->next) out.push_back(p);
  return out;
}

TEST(ParticleStore, BlocksChainOntoTheFreeListOnlyWhenItRunsDry) {
  EXPECT_EQ(create(0), nullptr);
  SystemPtr s = make_system(4);
  const Particle* first = s->blocks->particles;
  EXPECT_EQ(walk(s->free_list), (std::vector<Particle*>{s->blocks->particles, s->blocks->particles + 1,
                                                        s->blocks->particles + 2, s->blocks->particles + 3}));
  for (int n = 0; n < 4; ++n) birth(s.get());
  EXPECT_EQ(s->block_count, 1);
  Particle* p = birth(s.get());
  EXPECT_EQ(s->block_count, 2);
  EXPECT_EQ(p, &s->blocks->particles[0]);  // the newest block comes first
  EXPECT_EQ(s->blocks->next->particles, first);
  restart(s.get());
  for (int n = 0; n < 8; ++n) birth(s.get());
  EXPECT_EQ(s->block_count, 2);
  EXPECT_EQ(s->live_count, 8);
}

TEST(ParticleStore, RestartThenTakeReusesTheFormerLiveHeadCleared) {
  SystemPtr s = make_system(8);
  birth(s.get());
  birth(s.get());
  Particle* head = birth(s.get());
  Particle* const second = head->next;
  std::memset(static_cast<void*>(head), 0xAB, sizeof(Particle));  // every field dirty
  head->next = second;
  restart(s.get());
  EXPECT_EQ(s->live_list, nullptr);
  EXPECT_EQ(s->live_count, 0);
  EXPECT_EQ(walk(s->free_list).size(), 8u);
  Particle* p = take_particle(s.get());
  EXPECT_EQ(p, head);
  const Particle zero{};
  EXPECT_EQ(std::memcmp(p, &zero, sizeof(Particle)), 0);
}

TEST(ParticleStore, ReleaseOfHeadAndOfMiddleKeepsListsConsistent) {
  SystemPtr s = make_system(8);
  const std::vector<Particle*> live = live_list_of(s.get(), {1, 2, 3, 4});  // a b c d
  Particle* const old_free = s->free_list;
  release(s.get(), live[0], nullptr);
  EXPECT_EQ(walk(s->live_list), (std::vector<Particle*>{live[1], live[2], live[3]}));
  EXPECT_EQ(s->live_count, 3);
  EXPECT_EQ(s->free_list, live[0]);
  EXPECT_EQ(live[0]->next, old_free);
  release(s.get(), live[2], live[1]);
  EXPECT_EQ(walk(s->live_list), (std::vector<Particle*>{live[1], live[3]}));
  EXPECT_EQ(s->live_count, 2);
  EXPECT_EQ(s->free_list, live[2]);
  EXPECT_EQ(live[2]->next, live[0]);
  EXPECT_EQ(walk(s->free_list).size(), 6u);
}

// The leak checker of the sanitizer build verifies that destroy frees all of it.
TEST(ParticleStore, DestroyFreesBuiltStampsAndEveryBlock) {
  SystemPtr s = make_system(2);
  s->stamps[0] = stamp_create(1, 1, true);
  s->stamps[160] = stamp_create(5, 5, false);
  for (int n = 0; n < 5; ++n) birth(s.get());  // three blocks
}

// Sort helpers: depths from the head, and the resulting order as input positions.
std::vector<int> sorted_positions(const std::vector<float>& zs) {
  SystemPtr s = make_system(16);
  const std::vector<Particle*> input = live_list_of(s.get(), zs);
  for (std::size_t k = 0; k < input.size(); ++k) input[k]->age = static_cast<std::int32_t>(k);
  sort_live_by_depth(s.get());
  std::vector<int> out;
  for (Particle* p : walk(s->live_list)) out.push_back(p->age);
  EXPECT_EQ(out.size(), zs.size());
  return out;
}

// Worked by hand through the partition: a stable sort would keep 0 1 2 3 4 for equal
// depths, and give e b d a c f for depths 2 1 2 1 0 2 (a..f).
TEST(SortLiveByDepth, SmallListsTakeTheQuicksortOrder) {
  EXPECT_EQ(sorted_positions({7.5f}), (std::vector<int>{0}));
  EXPECT_EQ(sorted_positions({0, 0, 0, 0, 0}), (std::vector<int>{3, 4, 2, 0, 1}));
  EXPECT_EQ(sorted_positions({2, 1, 2, 1, 0, 2}), (std::vector<int>{4, 3, 1, 5, 0, 2}));
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
      std::swap(a[i], a[j]);
      ++i;
      --j;
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
      if (k > 0) ASSERT_LE(zs[got[k - 1]], zs[got[k]]);
    }
  }
}

}  // namespace
