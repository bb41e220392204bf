// The processor pool: count − 1 worker threads that wait for a job, and the caller
// that runs processor 0 itself. One job at a time; jobs from other threads queue on
// a mutex. The pool is rebuilt lazily when the processor count changes.
#include "assim/smp.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "assim/number_text.h"

namespace {

constexpr int kMaxProcs = 64;

thread_local int current_id = 0;
thread_local bool in_job = false;

int clamp_count(long long n) { return static_cast<int>(std::clamp<long long>(n, 1, kMaxProcs)); }

int initial_count() {
  if (const char* env = std::getenv("BRUMEL_THREADS")) {
    if (auto v = parse_number(env); v && *v >= 1.0) return clamp_count(static_cast<long long>(*v));
  }
  return clamp_count(static_cast<long long>(std::thread::hardware_concurrency()));
}

std::atomic<int> requested_count{initial_count()};

struct Job {
  smp_entry entry = nullptr;
  void* words[6] = {};
};

void run_entry(const Job& job, int id) {
  current_id = id;
  in_job = true;
  job.entry(job.words[0], job.words[1], job.words[2], job.words[3], job.words[4], job.words[5]);
  in_job = false;
  current_id = 0;
}

class Pool {
 public:
  ~Pool() { stop_workers(); }

  void exec(const Job& job) {
    std::lock_guard serial(exec_mutex_);
    const int count = requested_count.load();
    if (count != static_cast<int>(workers_.size()) + 1) {
      stop_workers();
      start_workers(count);
    }
    if (count == 1) {
      run_entry(job, 0);
      return;
    }
    {
      std::lock_guard lock(mutex_);
      job_ = job;
      remaining_ = count - 1;
      ++generation_;
    }
    start_.notify_all();
    run_entry(job, 0);
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return remaining_ == 0; });
  }

 private:
  void start_workers(int count) {
    stopping_ = false;
    for (int id = 1; id < count; ++id)
      workers_.emplace_back([this, id, seen = generation_] { work(id, seen); });
  }

  void stop_workers() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    start_.notify_all();
    workers_.clear();  // joins
  }

  void work(int id, std::uint64_t seen) {
    for (;;) {
      Job job;
      {
        std::unique_lock lock(mutex_);
        start_.wait(lock, [&] { return stopping_ || generation_ != seen; });
        if (stopping_) return;
        seen = generation_;
        job = job_;
      }
      run_entry(job, id);
      bool last;
      {
        std::lock_guard lock(mutex_);
        last = --remaining_ == 0;
      }
      if (last) done_.notify_one();
    }
  }

  std::mutex exec_mutex_;  // one job at a time
  std::mutex mutex_;       // guards everything below
  std::condition_variable start_;
  std::condition_variable done_;
  Job job_;
  std::uint64_t generation_ = 0;
  int remaining_ = 0;
  bool stopping_ = false;
  std::vector<std::jthread> workers_;
};

Pool& pool() {
  static Pool p;
  return p;
}

}  // namespace

int smp_numprocs() { return requested_count.load(); }

void smp_set_numprocs(int count) { requested_count.store(clamp_count(count)); }

void smp_exec(smp_entry entry, void* w0, void* w1, void* w2, void* w3, void* w4, void* w5) {
  Job job{entry, {w0, w1, w2, w3, w4, w5}};
  if (in_job) {
    // A job started from inside a job would wait for the pool it occupies: run its
    // processors one after the other on this thread instead.
    const int outer_id = current_id;
    const int count = requested_count.load();
    for (int id = 0; id < count; ++id) run_entry(job, id);
    current_id = outer_id;
    in_job = true;
    return;
  }
  pool().exec(job);
}

int smp_id() { return current_id; }
