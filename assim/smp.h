#pragma once
// The host's multiprocessing service: a small persistent pool of threads.
// smp_exec runs an entry once on every processor and returns when all are done.

// An entry receives the six words given to smp_exec.
using smp_entry = void (*)(void*, void*, void*, void*, void*, void*);

// Number of processors a job is spread over (1..64; settable, whatever the machine has).
// It starts at the environment variable BRUMEL_THREADS when set, else at the
// machine's hardware threads.
int smp_numprocs();
// Sets the processor count for later jobs; values are clamped to 1..64.
// Must not be called while a job runs.
void smp_set_numprocs(int count);
// Runs entry(w0..w5) once on each of the smp_numprocs() processors, processor 0
// on the calling thread; returns after every call has returned. Jobs from
// different threads are run one after the other. A job started from inside a job
// runs its processors one after the other on the calling thread. The entry must
// not throw.
void smp_exec(smp_entry entry, void* w0, void* w1, void* w2, void* w3, void* w4, void* w5);
// Index of the calling processor inside a job, 0..count-1; 0 outside any job.
int smp_id();
