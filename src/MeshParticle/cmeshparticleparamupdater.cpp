#include "MeshParticle/cmeshparticleparamupdater.h"

#include "MeshParticle/cmeshparticle.h"
#include "MeshParticle/cmeshparticlesystemparams.h"

namespace {

const D3DXVECTOR3 kZero(0.0f, 0.0f, 0.0f);

void Fill(const CKeyValues<D3DXVECTOR3>* pList, IInterpolator<D3DXVECTOR3>* pInterpolator) {
    if (pInterpolator) pList->SetInterpolator(pInterpolator);
}

D3DXVECTOR3 ReadCurve(IInterpolator<D3DXVECTOR3>* pInterpolator, float time, bool advance) {
    D3DXVECTOR3 value = kZero;
    detail::ReadInterpolator(pInterpolator, time, value, advance);
    return value;
}

}  // namespace

CMeshParticleParamUpdater::~CMeshParticleParamUpdater() {
    delete m_pSizeInterpolator;
    delete m_pRotateAngleInterpolator;
}

// The kind is decided here, once per birth, so that Update needs no cast check.
void CMeshParticleParamUpdater::Set(const IParticleSystem* pSystem, IParticle* pParticle) {
    CStandardParticleParamUpdater::Set(pSystem, pParticle);
    m_bMeshParticle = pSystem->GetParticleSystemType() == PST_MESH;
    const CMeshParticleSystemParams* pParams =
        dynamic_cast<const CMeshParticleSystemParams*>(pSystem->GetParticleParams());
    if (!pParams) return;
    Fill(pParams->GetSizeKeyValues(), m_pSizeInterpolator);
    Fill(pParams->GetRotateAngleKeyValues(), m_pRotateAngleInterpolator);
}

bool CMeshParticleParamUpdater::Update(float dt, IParticle* pParticle) {
    if (!CStandardParticleParamUpdater::Update(dt, pParticle)) return false;
    if (m_bMeshParticle) ApplyMeshCurves(dt, static_cast<CMeshParticle*>(pParticle));
    return true;
}

void CMeshParticleParamUpdater::ApplyMeshCurves(float dt, CMeshParticle* pParticle) {
    const SLookup lookup = KindLookup(dt);
    if (m_pSizeInterpolator) pParticle->SetSize(ReadCurve(m_pSizeInterpolator, lookup.time, lookup.advance));
    if (m_pRotateAngleInterpolator)
        pParticle->SetRotateAngle(ReadCurve(m_pRotateAngleInterpolator, lookup.time, lookup.advance));
    if (m_pRotationInterpolator) pParticle->SetRotation(ReadCurve(m_pRotationInterpolator, LifeFraction(), false));
}

CMeshParticleParamUpdater::SLookup CMeshParticleParamUpdater::KindLookup(float dt) const {
    return m_eEternal == ETERNAL_NULL ? SLookup{LifeFraction(), false} : SLookup{dt, true};
}

// An eternal particle may have drawn a life of 0: it reads its curves at their end.
float CMeshParticleParamUpdater::LifeFraction() const { return m_fLifeTime > 0.0f ? m_fAge / m_fLifeTime : 1.0f; }
