#include <benchmark/benchmark.h>

#include <memory>

#include "Undrelle/cwavenoise.h"
#include "platform/crt_rand.h"

namespace {

void BM_WaveNoiseBuildTable65536(benchmark::State& state) {
    auto noise = std::make_unique<CWaveNoise>();
    for (auto _ : state) {
        crt::srand(1);
        noise->Build();
        benchmark::DoNotOptimize(noise->GetNoiseTable());
    }
}
BENCHMARK(BM_WaveNoiseBuildTable65536)->Unit(benchmark::kMillisecond);

void BM_WaveNoiseAdvance2x128x128(benchmark::State& state) {
    auto noise = std::make_unique<CWaveNoise>();
    crt::srand(1);
    noise->Build();
    for (auto _ : state) {
        noise->Advance(16, 1.0f);
        benchmark::DoNotOptimize(noise->GetImage(0));
    }
}
BENCHMARK(BM_WaveNoiseAdvance2x128x128)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
