// Ages a mesh particle: the standard step, then its size, rotate angle and
// rotation curves.
#pragma once

#include "iparticlesystem.h"

class CMeshParticle;

// Size and rotate angle follow the particle's clock as the standard curves do
// (fraction of life when mortal, their own looping clocks when eternal); the
// rotation is always read at age / life time. A mesh set may be named by a
// system of another kind: its particles then lack the mesh fields, so they
// only get the standard step.
class PYRELUNE_API CMeshParticleParamUpdater : public CStandardParticleParamUpdater {
public:
    CMeshParticleParamUpdater() = default;
    ~CMeshParticleParamUpdater() override;

    void Set(const IParticleSystem* pSystem, IParticle* pParticle) override;
    bool Update(float dt, IParticle* pParticle) override;

    void SetSizeInterpolator(IInterpolator<D3DXVECTOR3>* p) { Replace(m_pSizeInterpolator, p); }
    void SetRotateAngleInterpolator(IInterpolator<D3DXVECTOR3>* p) { Replace(m_pRotateAngleInterpolator, p); }
    IInterpolator<D3DXVECTOR3>* GetSizeInterpolator() const { return m_pSizeInterpolator; }
    IInterpolator<D3DXVECTOR3>* GetRotateAngleInterpolator() const { return m_pRotateAngleInterpolator; }

private:
    SLookup KindLookup(float dt) const;
    float LifeFraction() const;
    void ApplyMeshCurves(float dt, CMeshParticle* pParticle);

    IInterpolator<D3DXVECTOR3>* m_pSizeInterpolator = nullptr;         // owned
    IInterpolator<D3DXVECTOR3>* m_pRotateAngleInterpolator = nullptr;  // owned
    bool m_bMeshParticle = false;  // set by Set: the particle belongs to a mesh system
};
