// GetEmitPoint of every emitter kind: one point per iteration, so the time
// per iteration is the cost of one point.
#include <memory>

#include <benchmark/benchmark.h>

#include "emitter.h"

#include "bench_device.h"

namespace {

const char* const kTiger = PYRELUNE_SOURCE_DIR "/../shared/testdata/xfiles/dxsdk_tiger.x";

CBenchDevice& Device() {
    static CBenchDevice device;
    return device;
}

// A moving emitter, so every point goes through a full transform.
void Place(IEmitter& emitter) {
    D3DXMATRIX m;
    emitter.SetMatrix(*D3DXMatrixTranslation(&m, 1.0f, 2.0f, 3.0f));
    emitter.SetEmitterMovementType(EMT_AROUND_POINT);
    emitter.RefreshPosition();
    emitter.RefreshRotationMatrix(0.3f);
}

void RunEmitter(benchmark::State& state, IEmitter& emitter) {
    Place(emitter);
    for (auto _ : state) benchmark::DoNotOptimize(emitter.GetEmitPoint());
    state.SetItemsProcessed(state.iterations());
}

void BM_Point(benchmark::State& state) {
    CPointEmitter emitter(Device().Get());
    RunEmitter(state, emitter);
}

void BM_Box(benchmark::State& state) {
    CBoxEmitter emitter(Device().Get(), 2.0f, 4.0f, 6.0f, static_cast<CBoxEmitter::Type>(state.range(0)));
    RunEmitter(state, emitter);
}

void BM_Sphere(benchmark::State& state) {
    CSphereEmitter emitter(Device().Get(), 3.0f, static_cast<CSphereEmitter::Type>(state.range(0)));
    RunEmitter(state, emitter);
}

void BM_Cylinder(benchmark::State& state) {
    CCylinderEmitter emitter(Device().Get(), 2.0f, 1.0f, 4.0f, static_cast<CCylinderEmitter::Type>(state.range(0)));
    RunEmitter(state, emitter);
}

void BM_Torus(benchmark::State& state) {
    CTorusEmitter emitter(Device().Get(), 1.0f, 5.0f, static_cast<CTorusEmitter::Type>(state.range(0)));
    RunEmitter(state, emitter);
}

// Tiger: 303 vertices, 602 faces. Argument 1 emits from faces, 0 from vertices.
void BM_StaticMeshTiger(benchmark::State& state) {
    CStaticMeshEmitter emitter(Device().Get(), kTiger, state.range(0) != 0);
    RunEmitter(state, emitter);
}

}  // namespace

BENCHMARK(BM_Point);
BENCHMARK(BM_Box)->ArgName("face")->Arg(0)->Arg(1);
BENCHMARK(BM_Sphere)->ArgName("face")->Arg(0)->Arg(1);
BENCHMARK(BM_Cylinder)->ArgName("face")->Arg(0)->Arg(1);
BENCHMARK(BM_Torus)->ArgName("face")->Arg(0)->Arg(1);
BENCHMARK(BM_StaticMeshTiger)->ArgName("face")->Arg(0)->Arg(1);

BENCHMARK_MAIN();
