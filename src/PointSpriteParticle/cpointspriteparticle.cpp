#include "cpointspriteparticle.h"

#include "cpointspriteparticlesystem.h"

CPointSpriteParticle::CPointSpriteParticle(IParticleSystem* pSystem) : IParticle(pSystem) {}

PSVertex* CPointSpriteParticle::SetVertexBuffer(PSVertex* pVertex, float scale) const {
    pVertex->position = m_vPos;
    pVertex->size = m_fSize * scale;
    pVertex->color = m_dwColor;
    return pVertex + 1;
}
