// The "fire" scene of the billboard benchmarks: a device, a manager with a
// sphere emitter and the fire parameters, and one point-oriented billboard
// system whose pool stays full.
#pragma once

#include <memory>

#include "BillboardParticle/cbillboardparticlesystem.h"
#include "BillboardParticle/cbillboardparticlesystemparams.h"
#include "cmanager.h"
#include "platform/crt_rand.h"

#include "bench_device.h"
#include "bench_measure.h"

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
inline CBillboardParticleSystemParams* MakeFireParams() {
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
        const size_t before = MemoryInUse();
        system.reset(new CBenchBillboardSystem(manager.get()));
        // Births well above deaths, so the pool stays full.
        system->Init(new CPoolParticleContainer(), "sphere", "fire", cap, 60.0f, cap / 60 + 1, "", BBT_POINT_ORIENTED);
        slotBytes = MemoryInUse() - before;
        system->StartEmit();
    }
};
