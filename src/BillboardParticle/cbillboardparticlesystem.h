// The billboard kind: every particle drawn as a textured, coloured quad that
// faces the camera, a target or its direction of travel.
#pragma once

#include <d3d9.h>
#include <d3dx9.h>

#include "UtilsSrc/pyrelune_api.h"
#include "iparticlesystem.h"

class CAnimTexture;

// How a quad is turned. The values are stored in archives and named in documents.
enum BBType {
    BBT_POINT_ORIENTED = 0,   // faces the camera position
    BBT_PLANE_ALIGNED = 1,    // parallel to the screen
    BBT_AXIAL = 2,            // upright along the system's axis, turned sideways to the camera
    BBT_MOVE_ORIENTED = 3,    // faces along the particle's direction of travel
    BBT_TARGET_ORIENTED = 4,  // faces the system's target point
};

// One corner of a quad, in world space.
struct BBVertex {
    static const DWORD FVF = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;

    float x, y, z;
    D3DCOLOR color;
    float u, v;
};
static_assert(sizeof(BBVertex) == 24, "the vertex layout is fixed by FVF 0x142");

// Writes four vertices per live particle into one dynamic vertex buffer each
// frame and draws them with one shared index buffer: one draw call for the
// system, or one per particle when the texture is animated (each particle
// shows its own frame).
class PYRELUNE_API CBillboardParticleSystem : public IParticleSystem {
public:
    explicit CBillboardParticleSystem(CParticleSystemManager* pManager);
    // The caller has taken the type word off the archive. Buffers come with
    // the next Resize or OnRestoreDevice.
    CBillboardParticleSystem(CParticleSystemManager* pManager, CArchive& ar);
    ~CBillboardParticleSystem() override;

protected:
    void PreRender(const D3DXMATRIXA16& matrix, bool useWorld, float scale,
                   SParticleSystemRenderProperties* pProperties) const override;
    void RenderParticles(const D3DXMATRIXA16& matrix, bool useWorld,
                         SParticleSystemRenderProperties* pProperties) const override;
    void PostRender(const D3DXMATRIXA16& matrix, bool useWorld) const override;
    // Debug line along the system's axis through its origin, straight on the
    // device with every state put back. Not part of Render: a host or tool
    // that wants to see the axis calls it between its scene begin and end.
    void RenderAxis() const;

public:
    // Reads "bbType" after the shared element; unknown or absent: plane-aligned.
    void Init(const Vastrel::Utils::CMyXMLNode* pNode) override;
    void Init(IParticleContainer* pContainer, const CString& emitter, const CString& params,
              unsigned int maxParticle, float emitPerSec, unsigned int particlePerEmit,
              const CString& texture) override;
    void Init(IParticleContainer* pContainer, const CString& emitter, const CString& params,
              unsigned int maxParticle, float emitPerSec, unsigned int particlePerEmit, const CString& texture,
              BBType bbType);
    IParticle* CreateParticle() override;
    void Save(Vastrel::Utils::CMyXMLNode* pNode) const override;
    bool Resize() override;
    // Only the quad buffer lives in the default pool and is cycled.
    bool BeginReset() override;
    // True even with cap 0: there is nothing to restore, and a false result
    // would stop the manager from resetting the systems after this one.
    bool EndReset() override;
    void OnLostDevice() override;
    void OnRestoreDevice() override;

    // The shared record, then the billboard type.
    void Copy(CArchive& ar) const;

    // Buffers are not rebuilt.
    void SetBillboardType(BBType bbType) { m_eBBType = bbType; }
    BBType GetBillboardType() const { return m_eBBType; }

    // (Re)creates the quad, axis and index buffers for the cap. A buffer that
    // cannot be created stays null and the drawing steps skip their work.
    void CreateBuffers();

protected:
    IDirect3DVertexBuffer9* m_pQuadVB = nullptr;   // 4 BBVertex per slot; dynamic, default pool
    IDirect3DVertexBuffer9* m_pBBAxisVB = nullptr;  // 2 positions, the debug axis line
    IDirect3DIndexBuffer9* m_pIB = nullptr;        // 6 indices per slot; managed pool
    BBType m_eBBType = BBT_POINT_ORIENTED;

private:
    void ReleaseBuffers();
    void CreateQuadBuffer();
    void CreateAxisBuffer();
    void CreateIndexBuffer();
    void FillIndexBuffer();
    // Live particles that fit both buffers; 0 when either is missing.
    unsigned int DrawableCount() const;
    void FillVertices(const D3DXMATRIXA16& matrix, bool useWorld, float scale, unsigned int count) const;
    void SetViewTransforms(SParticleSystemRenderProperties* pProperties) const;
    void DrawBatch(ITexture* pTexture, ID3DXEffect* pEffect, unsigned int count) const;
    void DrawEachParticle(ITexture* pTexture, CAnimTexture* pAnimated, ID3DXEffect* pEffect,
                          unsigned int count) const;
    void DrawIndexed(ID3DXEffect* pEffect, D3DPRIMITIVETYPE type, UINT minIndex, UINT vertices, UINT startIndex,
                     UINT primitives) const;
    void FillAxisBuffer() const;

    unsigned int m_nQuadSlots = 0;   // particles the quad buffer holds
    unsigned int m_nIndexSlots = 0;  // particles the index buffer covers
};
