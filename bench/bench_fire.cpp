// The "fire" workload's Update, per live particle.
//   BM_FireUpdate/N  one 1/60 s Update of N live fire particles
#include "bench_fire_scene.h"

namespace {

const float kStep = 1.0f / 60.0f;

void BM_FireUpdate(benchmark::State& state) {
    const unsigned int cap = static_cast<unsigned int>(state.range(0));
    SFireScene scene(cap);
    for (int warmUp = 0; warmUp < 180; ++warmUp) scene.system->Update(kStep, scene.identity, false);
    double nanoseconds = 0.0;
    double particles = 0.0;
    for (auto _ : state) {
        particles += scene.system->GetParticleCount();
        const double start = CpuNanoseconds();
        scene.system->Update(kStep, scene.identity, false);
        nanoseconds += CpuNanoseconds() - start;
    }
    ReportPerParticle(state, nanoseconds, particles);
    state.counters["bytes_per_particle"] = static_cast<double>(scene.slotBytes) / cap;
    state.counters["live"] = particles / static_cast<double>(state.iterations());
}
BENCHMARK(BM_FireUpdate)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

}  // namespace
