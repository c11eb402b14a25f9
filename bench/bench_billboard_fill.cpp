// The billboard vertex fill of PreRender, per particle, on the fire scene's system.
//   BM_BillboardFill/N  PreRender of N point-oriented particles turned about all three axes
//   BM_BillboardFillSpin/N  the same turned about the facing only (a spin in the screen plane)
//   BM_BillboardFillPlaneAligned/N  the same for unturned plane-aligned particles
#include "BillboardParticle/cbillboardparticle.h"

#include "bench_fire_scene.h"

namespace {

float Random(float low, float high) { return low + (high - low) * static_cast<float>(crt::rand()) / 32767.0f; }

// How the particles of a fill benchmark are turned.
enum class ETurn { None, Spin, AllAxes };

D3DXVECTOR3 RandomTurn(ETurn turn) {
    const float rz = Random(-3, 3);
    if (turn == ETurn::AllAxes) return D3DXVECTOR3(Random(-3, 3), Random(-3, 3), rz);
    return D3DXVECTOR3(0, 0, turn == ETurn::Spin ? rz : 0.0f);
}

void RunFill(benchmark::State& state, BBType bbType, ETurn turn) {
    const unsigned int count = static_cast<unsigned int>(state.range(0));
    SFireScene scene(count);
    scene.system->SetBillboardType(bbType);
    D3DXMATRIX camera;
    scene.manager->SetCameraMatrix(*D3DXMatrixTranslation(&camera, 0.0f, 1.0f, -10.0f));
    IParticleContainer* pContainer = scene.system->GetParticleContainer();
    for (unsigned int i = 0; i < count; ++i) {
        CBillboardParticle* pParticle = static_cast<CBillboardParticle*>(pContainer->Push());
        pParticle->SetPos(D3DXVECTOR3(Random(-5, 5), Random(-5, 5), Random(-5, 5)));
        pParticle->SetSize(D3DXVECTOR2(Random(0.5f, 1), Random(0.5f, 1)));
        pParticle->SetRotation(RandomTurn(turn));
    }
    double nanoseconds = 0.0;
    for (auto _ : state) {
        const double start = CpuNanoseconds();
        scene.system->PreRender(scene.identity, false, 1.0f, nullptr);
        nanoseconds += CpuNanoseconds() - start;
        scene.system->PostRender(scene.identity, false);
    }
    ReportPerParticle(state, nanoseconds, static_cast<double>(count) * state.iterations());
}

void BM_BillboardFill(benchmark::State& state) { RunFill(state, BBT_POINT_ORIENTED, ETurn::AllAxes); }
BENCHMARK(BM_BillboardFill)->Arg(100000)->Unit(benchmark::kMicrosecond);

void BM_BillboardFillSpin(benchmark::State& state) { RunFill(state, BBT_POINT_ORIENTED, ETurn::Spin); }
BENCHMARK(BM_BillboardFillSpin)->Arg(100000)->Unit(benchmark::kMicrosecond);

void BM_BillboardFillPlaneAligned(benchmark::State& state) { RunFill(state, BBT_PLANE_ALIGNED, ETurn::None); }
BENCHMARK(BM_BillboardFillPlaneAligned)->Arg(100000)->Unit(benchmark::kMicrosecond);

}  // namespace
