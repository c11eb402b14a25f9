#include "support_particles.h"

#include "particleeffect.h"

int CTestParticle::liveCount = 0;

namespace {
int g_nextSerial = 0;
}

CTestParticle::CTestParticle(IParticleSystem* pSystem) : IParticle(pSystem), serial(g_nextSerial++) { ++liveCount; }
CTestParticle::~CTestParticle() { --liveCount; }

CoreFixture::CoreFixture() {
    D3DXMatrixIdentity(&identity);
    manager.reset(new CParticleSystemManager(device.Get(), &emitters, &params, nullptr, &textures, false));
}

CoreFixture::~CoreFixture() {
    manager.reset();
    emitters.Clear();
    params.Clear();
    ReleaseParticleSystemDXResources();
}

CPointDouble* CoreFixture::AddEmitter(const char* name, const D3DXVECTOR3& position) {
    auto* pEmitter = new CPointDouble(device.Get());
    D3DXMATRIX placement;
    pEmitter->SetMatrix(*D3DXMatrixTranslation(&placement, position.x, position.y, position.z));
    pEmitter->RefreshRotationMatrix(0.0f);  // builds the transform that places emit points
    emitters.Add(name, pEmitter);
    return pEmitter;
}

CStandardParticleSystemParams* CoreFixture::AddParams(const char* name, float minLife, float maxLife) {
    auto* pParams = new CStandardParticleSystemParams(minLife, maxLife, PSPT_STANDARD);
    params.Add(name, pParams);
    return pParams;
}

std::unique_ptr<CTestSystem> CoreFixture::MakeSystem(unsigned cap, float emitPerSec, unsigned perEmit) {
    std::unique_ptr<CTestSystem> system(new CTestSystem(manager.get()));
    system->Init(new CPoolParticleContainer(), "e", "p", cap, emitPerSec, perEmit, "");
    return system;
}

std::vector<IParticle*> Walk(IParticleContainer& container) {
    std::vector<IParticle*> order;
    for (IParticle* p = container.First(); p; p = container.Next()) order.push_back(p);
    return order;
}
