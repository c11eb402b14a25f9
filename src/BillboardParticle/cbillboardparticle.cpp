#include "cbillboardparticle.h"

#include "billboardquads.h"

CBillboardParticle::CBillboardParticle(IParticleSystem* pSystem) : IParticle(pSystem) {}

BBVertex* CBillboardParticle::SetVertexBuffer(const CBillboardParticleSystem* pSystem, BBVertex* pOut,
                                              const D3DXMATRIX& camera, int bbType, const D3DXMATRIX* pTransform,
                                              float sizeFactor) const {
    return detail::WriteQuad(detail::SQuadSettings{pSystem, &camera, bbType, pTransform, sizeFactor}, *this, pOut);
}
