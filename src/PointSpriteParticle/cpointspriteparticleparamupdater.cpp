#include "cpointspriteparticleparamupdater.h"

#include "cpointspriteparticle.h"
#include "cpointspriteparticlesystemparams.h"

CPointSpriteParticleParamUpdater::~CPointSpriteParticleParamUpdater() { delete m_pSizeInterpolator; }

// The kind is told by the particle itself: a system's type word is no
// promise about the class of the particles it makes.
void CPointSpriteParticleParamUpdater::Set(const IParticleSystem* pSystem, IParticle* pParticle) {
    CStandardParticleParamUpdater::Set(pSystem, pParticle);
    m_pSizedParticle = dynamic_cast<CPointSpriteParticle*>(pParticle);
    const CPointSpriteParticleSystemParams* pParams =
        dynamic_cast<const CPointSpriteParticleSystemParams*>(pSystem->GetParticleParams());
    if (pParams && m_pSizeInterpolator) pParams->GetSizeKeyValues()->SetInterpolator(m_pSizeInterpolator);
}

// The size is read with the same lookup as the standard curves: the fraction
// of life for mortal particles, the step on its own clock for eternal ones.
bool CPointSpriteParticleParamUpdater::Update(float dt, IParticle* pParticle) {
    if (!CStandardParticleParamUpdater::Update(dt, pParticle)) return false;
    if (!m_pSizeInterpolator || m_pSizedParticle != pParticle) return true;
    SLookup lookup;
    DecideLife(dt, lookup);
    float size = 0.0f;
    detail::ReadInterpolator(m_pSizeInterpolator, lookup.time, size, lookup.advance);
    m_pSizedParticle->SetSize(size);
    return true;
}
