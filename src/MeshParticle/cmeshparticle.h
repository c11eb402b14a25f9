// A particle drawn as one instance of the host's mesh object.
#pragma once

#include "iparticlesystem.h"

// Size, rotate angle and rotation are written by the mesh updater; the mesh
// system hands size and rotation to the host (the rotate angle stays here).
class PYRELUNE_API CMeshParticle : public IParticle {
public:
    explicit CMeshParticle(IParticleSystem* pSystem);

    D3DXVECTOR3 GetSize() const { return m_vSize; }
    void SetSize(D3DXVECTOR3 size) { m_vSize = size; }
    D3DXVECTOR3 GetRotateAngle() const { return m_vRotateAngle; }
    void SetRotateAngle(D3DXVECTOR3 angle) { m_vRotateAngle = angle; }
    D3DXVECTOR3 GetRotation() const { return m_vRotation; }
    void SetRotation(D3DXVECTOR3 rotation) { m_vRotation = rotation; }

private:
    D3DXVECTOR3 m_vSize{1.0f, 1.0f, 1.0f};  // scale per axis
    D3DXVECTOR3 m_vRotateAngle{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 m_vRotation{0.0f, 0.0f, 0.0f};
};
