// Writing billboard quads: what the quads of one frame share (camera rows,
// fixed axes, the particle transform) is worked out once, so each particle
// costs only its own facing, turn and four corners.
#pragma once

#include <d3dx9.h>

#include "cbillboardparticlesystem.h"

class CBillboardParticle;
class IParticleContainer;

namespace detail {

// The arguments of CBillboardParticle::SetVertexBuffer besides the particle
// and the write position; borrowed for one call.
struct SQuadSettings {
    const CBillboardParticleSystem* pSystem;
    const D3DXMATRIX* pCamera;     // right, up, at and position in its rows
    int bbType;                    // a BBType; any other value draws plane-aligned
    const D3DXMATRIX* pTransform;  // applied to the centre; null: none
    float sizeFactor;
};

BBVertex* WriteQuad(const SQuadSettings& settings, const CBillboardParticle& particle, BBVertex* pOut);
// The quads of the container's particles in order, at most count of them;
// returns the position after the last.
BBVertex* WriteQuads(const SQuadSettings& settings, IParticleContainer& particles, BBVertex* pOut,
                     unsigned int count);

}  // namespace detail
