// A particle drawn as one point sprite: the core particle plus its size.
#pragma once

#include "iparticlesystem.h"

struct PSVertex;

class PYRELUNE_API CPointSpriteParticle : public IParticle {
public:
    explicit CPointSpriteParticle(IParticleSystem* pSystem);

    float GetSize() const { return m_fSize; }
    void SetSize(float size) { m_fSize = size; }

    // Writes position, size * scale and colour into *pVertex; returns the next vertex.
    PSVertex* SetVertexBuffer(PSVertex* pVertex, float scale) const;

private:
    float m_fSize = 1.0f;  // world units: the system draws with distance scaling
};
