// The point-sprite kind: every particle is one hardware point sprite, so a
// frame costs one dynamic vertex buffer fill and one draw call (one per
// particle when the texture is animated, since each may show another frame).
#pragma once

#include "cpointspriteparticle.h"
#include "iparticlesystem.h"

// FVF D3DFVF_XYZ | D3DFVF_PSIZE | D3DFVF_DIFFUSE.
class CAnimTexture;

struct PSVertex {
    D3DXVECTOR3 position;
    float size;   // world units
    DWORD color;  // ARGB
};
static_assert(sizeof(PSVertex) == 20, "PSVertex is the 20-byte vertex of FVF 0x62");

class PYRELUNE_API CPointSpriteParticleSystem : public IParticleSystem {
public:
    static const DWORD kFVF = D3DFVF_XYZ | D3DFVF_PSIZE | D3DFVF_DIFFUSE;

    explicit CPointSpriteParticleSystem(CParticleSystemManager* pManager);
    // The caller has taken the type word off the archive. No vertex buffer
    // until the next Init, Resize, EndReset or OnRestoreDevice. The record is
    // the base record only, so the inherited Copy writes it.
    CPointSpriteParticleSystem(CParticleSystemManager* pManager, CArchive& ar);
    ~CPointSpriteParticleSystem() override;

protected:
    // Point sprites never use the effect techniques: the properties are ignored.
    void PreRender(const D3DXMATRIXA16& matrix, bool useWorld, float scale,
                   SParticleSystemRenderProperties* pProperties) const override;
    void RenderParticles(const D3DXMATRIXA16& matrix, bool useWorld,
                         SParticleSystemRenderProperties* pProperties) const override;
    void PostRender(const D3DXMATRIXA16& matrix, bool useWorld) const override;

public:
    void Init(const Vastrel::Utils::CMyXMLNode* pNode) override;
    void Init(IParticleContainer* pContainer, const CString& emitter, const CString& params,
              unsigned int maxParticle, float emitPerSec, unsigned int particlePerEmit,
              const CString& texture) override;
    IParticle* CreateParticle() override;
    void Save(Vastrel::Utils::CMyXMLNode* pNode) const override;
    bool Resize() override;
    bool BeginReset() override;
    // True even with a cap of 0: a system with nothing to restore must not
    // stop the manager from restoring the systems after it.
    bool EndReset() override;

    void OnLostDevice() override;
    void OnRestoreDevice() override;

    // Releases the buffer and makes one for the current cap; none for a cap
    // of 0 or when the device refuses.
    void CreateVertexBuffer();

protected:
    IDirect3DVertexBuffer9* m_pVB = nullptr;  // cap vertices; owned; null: nothing is drawn

private:
    void SetPointSpriteStates() const;
    // Vertices the buffer holds for the live particles: never more than it has room for.
    UINT DrawableVertices() const;
    void FillVertices(UINT count, float sizeFactor) const;
    void SetWorldTransform(const D3DXMATRIXA16& matrix, bool useWorld) const;
    void DrawEachParticle(CAnimTexture* pTexture, UINT count) const;
};
