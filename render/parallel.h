#pragma once
// Row jobs split over the host's processors. The effect and the image buffer never make
// threads: run_parallel_job hands a job to the host's multiprocessing service, which runs
// parallel_slice once on every processor; each call works out its own contiguous,
// inclusive range of items and runs the worker on it.
#include <algorithm>
#include <atomic>
#include <cstdint>

namespace brumel {

// --- The bridge to the host's service, implemented by the host adapter. ---

// An entry of the host's service: it receives the six words given to bridge_exec.
using SliceEntry = void (*)(void*, void*, void*, void*, void*, void*);
// Number of processors a job is spread over (at least 1).
int bridge_numprocs();
// Runs entry(w0..w5) once on every processor; returns after all calls have returned.
void bridge_exec(SliceEntry entry, void* w0, void* w1, void* w2, void* w3, void* w4, void* w5);
// Index of the calling processor inside a job, 0..count-1; 0 outside any job.
int bridge_id();

// --- Jobs ---

// One job, built on the caller's stack for the duration of one run_parallel_job.
// The worker takes the first and the last item of its slice, both inclusive; it must
// treat first > last as nothing to do.
template <class T>
struct ParallelJob {
  void (T::*worker)(std::int32_t first, std::int32_t last);
  std::int32_t count;
};

// An inclusive range of items; empty when first > last.
struct SliceRange {
  std::int32_t first;
  std::int32_t last;
};

// The slice of processor `id` (0..n-1) when `count` items are split over `n` processors:
// chunk = count / n in single precision truncated toward zero; processor id takes
// id * chunk .. id * chunk + chunk - 1, the last processor takes the remainder, and with
// fewer items than processors processor 0 takes everything and the others nothing.
// Requires count >= 0 and n >= 1.
inline SliceRange slice_range(std::int32_t count, std::int32_t n, std::int32_t id) {
  const auto chunk = static_cast<std::int32_t>(static_cast<float>(count) / static_cast<float>(n));
  if (chunk == 0) return {id == 0 ? 0 : count, count - 1};
  const std::int32_t first = id * chunk;
  std::int32_t end = first + chunk;
  if (end > count || id == n - 1) end = count;
  return {first, end - 1};
}

// The entry handed to the host's service. Words: the object (T*), the job
// (ParallelJob<T>*), the count and the processor count (integers carried in the word),
// and two unused nulls. Runs the job's worker on this processor's slice.
template <class T>
void parallel_slice(void* object, void* job, void* count, void* n, void* /*unused*/,
                    void* /*unused*/) {
  const auto items = static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(count));
  const auto procs = static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(n));
  const SliceRange r = slice_range(items, procs, bridge_id());
  (static_cast<T*>(object)->*(static_cast<ParallelJob<T>*>(job)->worker))(r.first, r.last);
}

// Runs object->*worker over the items 0..count-1. With one processor the worker gets
// (0, count - 1) on the calling thread; otherwise every processor runs it on its own
// slice, and this returns when all slices are done. `ImageBuffer::run_parallel` and
// `Brumel::run_parallel` call this.
template <class T>
void run_parallel_job(T* object, void (T::*worker)(std::int32_t, std::int32_t),
                      std::int32_t count) {
  const int n = bridge_numprocs();
  if (n < 2) {
    (object->*worker)(0, count - 1);
    return;
  }
  ParallelJob<T> job{worker, count};
  bridge_exec(&parallel_slice<T>, object, &job,
              reinterpret_cast<void*>(static_cast<std::intptr_t>(count)),
              reinterpret_cast<void*>(static_cast<std::intptr_t>(n)), nullptr, nullptr);
}

// --- Bands taken as they come ---

// A job whose items are cut into bands of `band` items (the last may be shorter) that
// the processors take one at a time, each as soon as it has finished the previous one,
// so uneven work spreads evenly. Every item belongs to exactly one band.
template <class T>
struct BandJob {
  void (T::*worker)(std::int32_t first, std::int32_t last);
  std::int32_t count;
  std::int32_t band;
  std::atomic<std::int32_t> next{0};
};

// The entry handed to the host's service for a BandJob: words are the object and the job.
template <class T>
void parallel_bands(void* object, void* job, void* /*unused*/, void* /*unused*/,
                    void* /*unused*/, void* /*unused*/) {
  auto* j = static_cast<BandJob<T>*>(job);
  for (;;) {
    const std::int32_t b = j->next.fetch_add(1, std::memory_order_relaxed);
    if (b >= (j->count + j->band - 1) / j->band) return;
    const std::int32_t first = b * j->band;
    (static_cast<T*>(object)->*(j->worker))(first, std::min(j->count, first + j->band) - 1);
  }
}

// Runs object->*worker over items 0..count-1 in bands of about count / (`per_processor`
// x processors) items (at least `min_band`), taken by the host's processors as they come
// free. With one processor the worker gets (0, count - 1) on the calling thread.
template <class T>
void run_parallel_bands(T* object, void (T::*worker)(std::int32_t, std::int32_t),
                        std::int32_t count, std::int32_t per_processor, std::int32_t min_band) {
  const int n = bridge_numprocs();
  if (n < 2 || count <= min_band) {
    (object->*worker)(0, count - 1);
    return;
  }
  const std::int32_t bands = per_processor * n;
  BandJob<T> job{worker, count, std::max(min_band, (count + bands - 1) / bands)};
  bridge_exec(&parallel_bands<T>, object, &job, nullptr, nullptr, nullptr, nullptr);
}

}  // namespace brumel
