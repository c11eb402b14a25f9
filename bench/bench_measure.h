// What the particle benchmarks measure besides Google Benchmark's own timing.
#pragma once

#include <malloc.h>
#include <time.h>

#include <cstddef>

#include <benchmark/benchmark.h>

#include "iparticlesystem.h"

// Bytes in use: the heap as glibc accounts it (chunk sizes and headers
// included, so a slot's cost includes the allocator's rounding; large chunks
// are mapped by themselves and counted apart) and the blocks that pools carve
// their particles from.
inline size_t MemoryInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd + detail::CGroupedAllocation::HeldBytes();
}

// Thread CPU time: the machine is shared, and wall time would count other processes.
inline double CpuNanoseconds() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e9 + now.tv_nsec;
}

inline void ReportPerParticle(benchmark::State& state, double nanoseconds, double particles) {
    state.counters["ns_per_particle"] = particles > 0 ? nanoseconds / particles : 0.0;
}
