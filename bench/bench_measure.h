// What the particle benchmarks measure besides Google Benchmark's own timing.
#pragma once

#include <malloc.h>
#include <time.h>

#include <cstddef>

#include <benchmark/benchmark.h>

// Heap bytes in use as glibc accounts them (chunk sizes, headers included),
// so a slot's cost includes the allocator's rounding.
inline size_t HeapInUse() { return mallinfo2().uordblks; }

// Thread CPU time: the machine is shared, and wall time would count other processes.
inline double CpuNanoseconds() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e9 + now.tv_nsec;
}

inline void ReportPerParticle(benchmark::State& state, double nanoseconds, double particles) {
    state.counters["ns_per_particle"] = particles > 0 ? nanoseconds / particles : 0.0;
}
