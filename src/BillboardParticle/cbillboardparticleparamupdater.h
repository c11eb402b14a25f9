// The billboard updater: the standard one plus size, rotation, direction of
// travel and texture flow.
#pragma once

#include <d3dx9.h>

#include "UtilsSrc/pyrelune_api.h"
#include "iparticlesystem.h"

class CBillboardParticle;
class CBillboardParticleSystemParams;

// Writes the billboard fields only into the particles of a billboard system;
// a billboard set used by another kind's system ages and moves its particles
// the standard way and leaves their own fields alone.
class PYRELUNE_API CBillboardParticleParamUpdater : public CStandardParticleParamUpdater {
public:
    CBillboardParticleParamUpdater() = default;
    ~CBillboardParticleParamUpdater() override;

    void Set(const IParticleSystem* pSystem, IParticle* pParticle) override;
    bool Update(float dt, IParticle* pParticle) override;

    // Takes ownership; the one held before is destroyed.
    void SetSizeInterpolator(IInterpolator<D3DXVECTOR2>* pInterpolator) { Replace(m_pSizeInterpolator, pInterpolator); }
    IInterpolator<D3DXVECTOR2>* GetSizeInterpolator() const { return m_pSizeInterpolator; }

private:
    void RememberParams();
    // The size curve's lookup: the fraction of life for mortal particles, the
    // step on its own looping clock for eternal ones.
    SLookup KindLookup(float dt) const;
    void ApplyRotation(CBillboardParticle* pParticle);
    void ApplySize(const SLookup& lookup, CBillboardParticle* pParticle);
    void ApplyTextureFlow(float dt, CBillboardParticle* pParticle) const;

    IInterpolator<D3DXVECTOR2>* m_pSizeInterpolator = nullptr;  // owned
    bool m_bBillboardParticles = false;  // the particle's system is a billboard system; set by Set
    const CStandardParticleSystemParams* m_pCheckedParams = nullptr;  // the set m_pBillboardParams was taken from
    const CBillboardParticleSystemParams* m_pBillboardParams = nullptr;  // the set when it is a billboard set
};
