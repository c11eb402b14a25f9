// A billboard particle: what its quad needs besides position and colour.
#pragma once

#include <d3dx9.h>

#include "UtilsSrc/pyrelune_api.h"
#include "cbillboardparticlesystem.h"
#include "iparticlesystem.h"

// Size, rotation, direction of travel and texture corner are written every
// frame by the billboard updater and read when the system fills its vertices.
class PYRELUNE_API CBillboardParticle : public IParticle {
public:
    explicit CBillboardParticle(IParticleSystem* pSystem);

    // Writes the four corners at pOut and returns the position after them.
    // camera: right, up, at and position in its rows. transform: applied to
    // the position (null: none). sizeFactor scales width and height.
    BBVertex* SetVertexBuffer(const CBillboardParticleSystem* pSystem, BBVertex* pOut, const D3DXMATRIX& camera,
                              int bbType, const D3DXMATRIX* pTransform, float sizeFactor) const;

    D3DXVECTOR2 GetSize() const { return m_vSize; }
    void SetSize(D3DXVECTOR2 size) { m_vSize = size; }
    D3DXVECTOR3 GetCurrentDirection() const { return m_vCurrentDirection; }
    void SetCurrentDirection(const D3DXVECTOR3& direction) { m_vCurrentDirection = direction; }
    D3DXVECTOR2 GetTextureCorner() const { return m_vTextureCorner; }
    void SetTextureCorner(const D3DXVECTOR2& corner) { m_vTextureCorner = corner; }
    D3DXVECTOR3 GetRotation() const { return m_vRotation; }
    void SetRotation(D3DXVECTOR3 rotation) { m_vRotation = rotation; }

private:
    D3DXVECTOR2 m_vSize{1.0f, 1.0f};                   // width, height
    D3DXVECTOR3 m_vCurrentDirection{0.0f, 0.0f, 1.0f};  // unit, or zero when standing still
    D3DXVECTOR2 m_vTextureCorner{0.0f, 0.0f};           // not wrapped: the sampler repeats it
    D3DXVECTOR3 m_vRotation{0.0f, 0.0f, 0.0f};          // radians about facing, right and up
};
