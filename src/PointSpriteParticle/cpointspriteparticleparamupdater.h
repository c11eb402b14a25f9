// Ages a point-sprite particle: the standard updater plus its size curve.
#pragma once

#include "iparticlesystem.h"

class CPointSpriteParticle;

// Given a particle of another kind (a point-sprite set named by another
// kind's system), it runs the standard part only and leaves the size alone.
class PYRELUNE_API CPointSpriteParticleParamUpdater : public CStandardParticleParamUpdater {
public:
    CPointSpriteParticleParamUpdater() = default;
    ~CPointSpriteParticleParamUpdater() override;

    void Set(const IParticleSystem* pSystem, IParticle* pParticle) override;
    bool Update(float dt, IParticle* pParticle) override;

    // Destroys the interpolator held before.
    void SetSizeInterpolator(IInterpolator<float>* p) { Replace(m_pSizeInterpolator, p); }
    IInterpolator<float>* GetSizeInterpolator() const { return m_pSizeInterpolator; }

private:
    IInterpolator<float>* m_pSizeInterpolator = nullptr;  // owned
    // The particle of this life when it is a point sprite; null otherwise.
    // Decided once per birth, so the frame loop needs no type test.
    CPointSpriteParticle* m_pSizedParticle = nullptr;
};
