#include "cbillboardparticleparamupdater.h"

#include "cbillboardparticle.h"
#include "cbillboardparticlesystemparams.h"

CBillboardParticleParamUpdater::~CBillboardParticleParamUpdater() { delete m_pSizeInterpolator; }

// The particle's class follows from its system's kind, so it is checked once
// per birth here instead of in every step.
void CBillboardParticleParamUpdater::Set(const IParticleSystem* pSystem, IParticle* pParticle) {
    m_bBillboardParticles = pSystem->GetParticleSystemType() == PST_BILLBOARD;
    CStandardParticleParamUpdater::Set(pSystem, pParticle);
    if (!pSystem->GetStandardParticleParams()) return;
    RememberParams();
    if (m_pSizeInterpolator && m_pBillboardParams) m_pBillboardParams->GetSizeKeyValues()->SetInterpolator(m_pSizeInterpolator);
}

// Only a billboard set has a size list and texture flow; the class check runs
// again only when the particle's set has changed.
void CBillboardParticleParamUpdater::RememberParams() {
    if (m_pParams == m_pCheckedParams) return;
    m_pCheckedParams = m_pParams;
    m_pBillboardParams = dynamic_cast<const CBillboardParticleSystemParams*>(m_pParams);
}

bool CBillboardParticleParamUpdater::Update(float dt, IParticle* pParticle) {
    const D3DXVECTOR3 before = pParticle->GetPos();
    if (!CStandardParticleParamUpdater::Update(dt, pParticle)) return false;
    if (!m_bBillboardParticles) return true;
    CBillboardParticle* pBillboard = static_cast<CBillboardParticle*>(pParticle);
    ApplyRotation(pBillboard);
    D3DXVECTOR3 direction = pParticle->GetPos() - before;
    D3DXVec3Normalize(&direction, &direction);
    pBillboard->SetCurrentDirection(direction);
    ApplySize(KindLookup(dt), pBillboard);
    ApplyTextureFlow(dt, pBillboard);
    return true;
}

CStandardParticleParamUpdater::SLookup CBillboardParticleParamUpdater::KindLookup(float dt) const {
    if (m_eEternal == ETERNAL_NULL) return SLookup{m_fAge / m_fLifeTime, false};
    return SLookup{dt, true};
}

// Read at the fraction of life whatever the eternal mode: for an eternal
// particle that fraction restarts at each timeline event.
void CBillboardParticleParamUpdater::ApplyRotation(CBillboardParticle* pParticle) {
    if (!m_pRotationInterpolator) return;
    D3DXVECTOR3 rotation(0.0f, 0.0f, 0.0f);
    detail::ReadInterpolator(m_pRotationInterpolator, m_fAge / m_fLifeTime, rotation, false);
    pParticle->SetRotation(rotation);
}

void CBillboardParticleParamUpdater::ApplySize(const SLookup& lookup, CBillboardParticle* pParticle) {
    if (!m_pSizeInterpolator) return;
    D3DXVECTOR2 size(0.0f, 0.0f);
    detail::ReadInterpolator(m_pSizeInterpolator, lookup.time, size, lookup.advance);
    pParticle->SetSize(size);
}

// The corner is not wrapped: the sampler's wrap addressing repeats the texture.
void CBillboardParticleParamUpdater::ApplyTextureFlow(float dt, CBillboardParticle* pParticle) const {
    D3DXVECTOR2 corner(0.0f, 0.0f);
    if (m_pBillboardParams && m_pBillboardParams->GetTextureFlowEnabled())
        corner = pParticle->GetTextureCorner() +
                 m_pBillboardParams->GetTextureFlowDirection() * (m_pBillboardParams->GetTextureFlowSpeed() * dt);
    pParticle->SetTextureCorner(corner);
}
