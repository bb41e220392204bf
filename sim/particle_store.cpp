#include "sim/particle_store.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <type_traits>
#include <utility>

namespace brumel {

// Records come from malloc/calloc and are cleared with one fill, which needs plain data.
static_assert(std::is_trivially_copyable_v<Particle> && std::is_trivially_copyable_v<CloudSystem>);

namespace {

// Memory from malloc/calloc, given back with free when its holder goes.
struct FreeMemory {
  void operator()(void* memory) const { std::free(memory); }
};
template <typename T>
using MallocPtr = std::unique_ptr<T, FreeMemory>;

// A block with its particles, freed together: a block not yet in a system.
struct BlockFree {
  void operator()(ParticleBlock* block) const {
    std::free(block->particles);
    std::free(block);
  }
};

}  // namespace

CloudSystem* create(std::int32_t block_size) {
  if (block_size < 1) return nullptr;
  MallocPtr<CloudSystem> system(static_cast<CloudSystem*>(std::calloc(1, sizeof(CloudSystem))));
  if (!system) return nullptr;
  std::unique_ptr<ParticleBlock, BlockFree> block(new_block(block_size));
  MallocPtr<PuffStamp*> stamps(static_cast<PuffStamp**>(std::calloc(kStampCount, sizeof(PuffStamp*))));
  if (!block || !stamps) return nullptr;
  system->block_size = block_size;
  system->block_count = 1;
  system->free_list = block->particles;
  system->stamp_count = kStampCount;
  system->blocks = block.release();
  system->stamps = stamps.release();
  return system.release();
}

void destroy(CloudSystem* system) {
  if (!system) return;
  for (ParticleBlock* block = system->blocks; block;) {
    ParticleBlock* older = block->next;
    std::free(block->particles);
    std::free(block);
    block = older;
  }
  if (system->stamps) {
    for (std::int32_t i = 0; i < system->stamp_count; ++i) stamp_free(system->stamps[i]);
    std::free(system->stamps);
  }
  std::free(system);
}

ParticleBlock* new_block(std::int32_t n) {
  if (n < 1) return nullptr;
  MallocPtr<ParticleBlock> block(static_cast<ParticleBlock*>(std::malloc(sizeof(ParticleBlock))));
  if (!block) return nullptr;
  auto* particles = static_cast<Particle*>(std::calloc(static_cast<std::size_t>(n), sizeof(Particle)));
  if (!particles) return nullptr;
  for (std::int32_t k = 0; k + 1 < n; ++k) particles[k].next = &particles[k + 1];
  *block = ParticleBlock{particles, n, nullptr};
  return block.release();
}

Particle* take_particle(CloudSystem* system) {
  if (!system->free_list) {
    ParticleBlock* block = new_block(system->block_size);
    if (!block) return nullptr;
    block->next = system->blocks;
    system->blocks = block;
    system->block_count += 1;
    system->free_list = block->particles;
  }
  Particle* p = system->free_list;
  system->free_list = p->next;
  std::memset(static_cast<void*>(p), 0, sizeof(Particle));
  return p;
}

void release(CloudSystem* system, Particle* p, Particle* prev) {
  if (prev)
    prev->next = p->next;
  else
    system->live_list = p->next;
  p->next = system->free_list;
  system->free_list = p;
  system->live_count -= 1;
}

void restart(CloudSystem* system) {
  Particle* head = system->live_list;
  if (!head) return;
  Particle* last = head;
  while (last->next) last = last->next;
  last->next = system->free_list;
  system->free_list = head;
  system->live_list = nullptr;
  system->live_count = 0;
}

namespace {

// Quicksort on z with the middle element's key as pivot for the whole pass and equal
// keys swapped like any others: the resulting order of equal depths is part of the
// painted image, so neither the partition nor the comparisons may change.
// The two parts of a pass are disjoint, so sorting them in either order gives the same
// array; recursing into the smaller part and looping on the larger bounds the stack.
void quicksort_by_z(Particle** a, std::int32_t lo, std::int32_t hi) {
  for (;;) {
    const float p = a[(lo + hi) / 2]->z;
    std::int32_t i = lo;
    std::int32_t j = hi;
    do {
      while (a[i]->z < p && i < hi) ++i;
      while (a[j]->z > p && j > lo) --j;
      if (i > j) break;
      std::swap(a[i], a[j]);
      ++i;
      --j;
    } while (i <= j);
    const bool left = lo < j;
    const bool right = i < hi;
    if (left && right) {
      if (j - lo < hi - i) {
        quicksort_by_z(a, lo, j);
        lo = i;
      } else {
        quicksort_by_z(a, i, hi);
        hi = j;
      }
    } else if (left) {
      hi = j;
    } else if (right) {
      lo = i;
    } else {
      return;
    }
  }
}

}  // namespace

void sort_live_by_depth(CloudSystem* system) {
  const std::int32_t n = system->live_count;
  if (n <= 0 || !system->live_list) return;
  // Without the array there is nowhere to sort; an unsorted frame beats a lost cloud.
  const MallocPtr<Particle*> held(
      static_cast<Particle**>(std::malloc(static_cast<std::size_t>(n) * sizeof(Particle*))));
  if (!held) return;
  Particle** a = held.get();
  std::int32_t count = 0;
  for (Particle* p = system->live_list; p && count < n; p = p->next) a[count++] = p;
  quicksort_by_z(a, 0, count - 1);
  for (std::int32_t k = 0; k + 1 < count; ++k) a[k]->next = a[k + 1];
  a[count - 1]->next = nullptr;
  system->live_list = a[0];
}

}  // namespace brumel
