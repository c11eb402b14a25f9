// The particle frame costs, each per live particle. This file: the steady
// state of a standard-parameter system (lives of 1 to 2 s, a colour curve
// with three keys, a velocity direction and speed, and a constant downward
// force, updated 60 times a second with a pool container). bench_fire.cpp
// and bench_billboard_fill.cpp add the billboard kind's Update and vertex fill.
#include <memory>

#include <benchmark/benchmark.h>

#include <platform/crt_rand.h>

#include "cmanager.h"

#include "bench_device.h"
#include "bench_measure.h"

namespace {

const float kFrame = 1.0f / 60.0f;

class CBenchParticle : public IParticle {
public:
    explicit CBenchParticle(IParticleSystem* pSystem) : IParticle(pSystem) {}
    float size = 1.0f;  // what a point-sprite particle adds
};

class CBenchSystem : public IParticleSystem {
public:
    explicit CBenchSystem(CParticleSystemManager* pManager) : IParticleSystem(pManager, PST_POINTSPRITE) {}
    IParticle* CreateParticle() override { return new CBenchParticle(this); }
    bool Resize() override { return true; }
    bool BeginReset() override { return true; }
    bool EndReset() override { return true; }
};

// Emits from a unit sphere's volume, as the sphere emitter does.
class CSphereVolume : public IEmitter {
public:
    explicit CSphereVolume(IDirect3DDevice9* pDevice) : IEmitter(pDevice, ET_SPHERE) {}
    D3DXVECTOR3 GetEmitPoint() const override {
        D3DXVECTOR3 point;
        do {
            point = D3DXVECTOR3(Unit(), Unit(), Unit());
        } while (D3DXVec3LengthSq(&point) > 1.0f);
        return GetTransformedPoint(&point);
    }

private:
    static float Unit() { return crt::rand() / 16383.5f - 1.0f; }
};

CStandardParticleSystemParams* MakeParams() {
    auto* pParams = new CStandardParticleSystemParams(1.0f, 2.0f, PSPT_STANDARD);
    CKeyValues<D3DXVECTOR4>* colour = pParams->GetColorKeyValues();
    colour->AddValue(0.0f, D3DXVECTOR4(1, 1, 0.5f, 0), D3DXVECTOR4(1, 1, 1, 0));
    colour->AddValue(0.3f, D3DXVECTOR4(1, 0.5f, 0, 1), D3DXVECTOR4(1, 0.7f, 0, 1));
    colour->AddValue(1.0f, D3DXVECTOR4(0.2f, 0.2f, 0.2f, 0), D3DXVECTOR4(0.3f, 0.3f, 0.3f, 0));
    pParams->GetVelocityDirKeyValues()->AddValue(0.0f, D3DXVECTOR3(-1, 1, -1), D3DXVECTOR3(1, 2, 1));
    pParams->GetVelocityKeyValues()->AddValue(0.0f, 2.0f, 4.0f);
    pParams->GetForceDirKeyValues()->AddValue(0.0f, D3DXVECTOR3(0, -1, 0), D3DXVECTOR3(0, -1, 0));
    pParams->GetForceKeyValues()->AddValue(0.0f, 9.81f, 9.81f);
    return pParams;
}

void BM_StandardUpdate(benchmark::State& state) {
    const unsigned live = static_cast<unsigned>(state.range(0));
    const CBenchDevice device;
    IDirect3DDevice9* pDevice = device.Get();
    {
        CEmitterManager emitters;
        CPSParamsManager params;
        CParticleSystemManager manager(pDevice, &emitters, &params, nullptr, nullptr, false);
        crt::srand(1);
        emitters.Add("sphere", new CSphereVolume(pDevice));
        params.Add("fire", MakeParams());
        std::unique_ptr<CBenchSystem> system(new CBenchSystem(&manager));
        const size_t heapBefore = MemoryInUse();
        // Mean life 1.5 s: this rate keeps about `live` particles alive.
        system->Init(new CPoolParticleContainer(), "sphere", "fire", live, live / 1.5f, 1, "");
        const size_t heapAfter = MemoryInUse();
        system->StartEmit();
        D3DXMATRIXA16 identity;
        D3DXMatrixIdentity(&identity);
        for (int warm = 0; warm < 240; ++warm) system->Update(kFrame, identity, false);
        size_t particles = 0;
        for (auto _ : state) {
            particles += system->GetParticleCount();
            system->Update(kFrame, identity, false);
        }
        // Elapsed time over particle updates, in nanoseconds.
        state.counters["ns_per_particle"] = benchmark::Counter(
            static_cast<double>(particles) * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
        state.counters["bytes_per_particle"] = static_cast<double>(heapAfter - heapBefore) / live;
        state.counters["live"] = static_cast<double>(system->GetParticleCount());
        system.reset();
    }
}

}  // namespace

BENCHMARK(BM_StandardUpdate)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
