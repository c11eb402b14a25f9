// The billboard kind's frame costs: the "fire" workload's Update and the
// vertex fill of PreRender, each reported per live particle.
//   BM_FireUpdate/N     one 1/60 s Update of N live fire particles
//   BM_BillboardFill/N  PreRender of N point-oriented particles turned about all three axes
//   BM_BillboardFillSpin/N  the same turned about the facing only (a spin in the screen plane)
//   BM_BillboardFillPlaneAligned/N  the same for unturned plane-aligned particles
#include <malloc.h>
#include <time.h>

#include <cstdlib>
#include <memory>
#include <new>

#include <benchmark/benchmark.h>

#include "BillboardParticle/cbillboardparticle.h"
#include "BillboardParticle/cbillboardparticlesystem.h"
#include "BillboardParticle/cbillboardparticlesystemparams.h"
#include "cmanager.h"
#include "platform/crt_rand.h"

#include "bench_device.h"

// Heap bytes in use by the process as glibc accounts them (usable size plus
// the chunk header), so a slot's cost includes the allocator's rounding.
namespace {
size_t g_heapBytes = 0;
size_t ChunkBytes(void* p) { return p ? malloc_usable_size(p) + sizeof(size_t) : 0; }
}  // namespace

namespace {
void* AllocateCounted(std::size_t size) {
    void* p = std::malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    g_heapBytes += ChunkBytes(p);
    return p;
}
void FreeCounted(void* p) {
    g_heapBytes -= ChunkBytes(p);
    std::free(p);
}
}  // namespace

void* operator new(std::size_t size) { return AllocateCounted(size); }
void* operator new[](std::size_t size) { return AllocateCounted(size); }
void operator delete(void* p) noexcept { FreeCounted(p); }
void operator delete[](void* p) noexcept { FreeCounted(p); }
void operator delete(void* p, std::size_t) noexcept { FreeCounted(p); }
void operator delete[](void* p, std::size_t) noexcept { FreeCounted(p); }

namespace {

const float kStep = 1.0f / 60.0f;

// Thread CPU time: the machine is shared, and wall time would count other processes.
double CpuNanoseconds() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e9 + now.tv_nsec;
}

// Opens the drawing steps, so the fill is timed without the rasteriser.
class CBenchBillboardSystem : public CBillboardParticleSystem {
public:
    using CBillboardParticleSystem::CBillboardParticleSystem;
    using CBillboardParticleSystem::PostRender;
    using CBillboardParticleSystem::PreRender;
};

// Sphere of radius 1; particles fly outward (a random direction) at 2 to 4
// units per second for 1 to 2 s under gravity, fading through three colours
// and growing between two sizes.
CBillboardParticleSystemParams* MakeFireParams() {
    CBillboardParticleSystemParams* pParams = new CBillboardParticleSystemParams(1.0f, 2.0f);
    pParams->GetColorKeyValues()->AddValue(0.0f, D3DXVECTOR4(1, 1, 0.6f, 1), D3DXVECTOR4(1, 1, 0.8f, 1));
    pParams->GetColorKeyValues()->AddValue(0.5f, D3DXVECTOR4(1, 0.4f, 0, 0.8f), D3DXVECTOR4(1, 0.6f, 0, 0.9f));
    pParams->GetColorKeyValues()->AddValue(1.0f, D3DXVECTOR4(0.2f, 0, 0, 0), D3DXVECTOR4(0.3f, 0, 0, 0));
    pParams->GetSizeKeyValues()->AddValue(0.0f, D3DXVECTOR2(0.2f, 0.2f), D3DXVECTOR2(0.3f, 0.3f));
    pParams->GetSizeKeyValues()->AddValue(1.0f, D3DXVECTOR2(0.8f, 0.8f), D3DXVECTOR2(1.0f, 1.0f));
    pParams->GetVelocityDirKeyValues()->AddValue(0.0f, D3DXVECTOR3(-1, -1, -1), D3DXVECTOR3(1, 1, 1));
    pParams->GetVelocityKeyValues()->AddValue(0.0f, 2.0f, 4.0f);
    pParams->GetForceDirKeyValues()->AddValue(0.0f, D3DXVECTOR3(0, -1, 0), D3DXVECTOR3(0, -1, 0));
    pParams->GetForceKeyValues()->AddValue(0.0f, 9.81f, 9.81f);
    return pParams;
}

// A device, a manager with the fire pieces registered, and one billboard system.
struct SFireScene {
    CBenchDevice device;
    std::unique_ptr<CParticleSystemManager> manager;
    std::unique_ptr<CBenchBillboardSystem> system;
    D3DXMATRIXA16 identity;
    size_t slotBytes = 0;  // heap bytes the system's slots took

    explicit SFireScene(unsigned int cap) {
        crt::srand(1);
        D3DXMatrixIdentity(&identity);
        manager.reset(new CParticleSystemManager(device.Get(), nullptr, nullptr, nullptr, nullptr, false));
        manager->GetEmitterManager()->Add("sphere", new CSphereEmitter(device.Get(), 1.0f, CSphereEmitter::INSIDE));
        manager->GetParamsManager()->Add("fire", MakeFireParams());
        const size_t before = g_heapBytes;
        system.reset(new CBenchBillboardSystem(manager.get()));
        // Births well above deaths, so the pool stays full.
        system->Init(new CPoolParticleContainer(), "sphere", "fire", cap, 60.0f, cap / 60 + 1, "", BBT_POINT_ORIENTED);
        slotBytes = g_heapBytes - before;
        system->StartEmit();
    }
};

void ReportPerParticle(benchmark::State& state, double nanoseconds, double particles) {
    state.counters["ns_per_particle"] = particles > 0 ? nanoseconds / particles : 0.0;
}

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

BENCHMARK_MAIN();
