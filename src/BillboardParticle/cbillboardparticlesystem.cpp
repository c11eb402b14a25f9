// Index
//   ==== Construction and documents ====
//   ==== Buffers ====
//   ==== Drawing ====
//   ==== Axis line ====
//   ==== Device ====
#include "cbillboardparticlesystem.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

#include "Corvantis/cd3dwatch.h"
#include "UtilsSrc/cmyxmlparser.h"
#include "UtilsSrc/errorreport.h"
#include "billboardquads.h"
#include "cbillboardparticle.h"
#include "cmanager.h"
#include "itexture.h"
#include "particleeffect.h"
#include "renderstatestack.h"

using Vastrel::Utils::CMyXMLNode;

namespace {

const char* const kSource = "src/BillboardParticle/cbillboardparticlesystem";

const UINT kVerticesPerQuad = 4;
const UINT kIndicesPerQuad = 6;
const UINT kQuadBytes = kVerticesPerQuad * sizeof(BBVertex);
const UINT kPositionBytes = 12;  // D3DFVF_XYZ
const UINT kAxisVertices = 2;
// Up to here every vertex number fits 16-bit indices (65536 / 6 slots).
const unsigned int kMaxSlotsFor16BitIndices = 10922;
const DWORD kDynamicUsage = D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY;

const char* const kBBTypeNames[] = {"POINT_ORIENTED", "PLANE_ALIGNED", "AXIAL", "MOVE_ORIENTED", "TARGET_ORIENTED"};
const int kBBTypeCount = sizeof kBBTypeNames / sizeof kBBTypeNames[0];
static_assert(kBBTypeCount == BBT_TARGET_ORIENTED + 1, "one name per billboard type");

bool FindBBType(const CString& name, BBType& bbType) {
    for (int value = 0; value < kBBTypeCount; ++value) {
        if (name != kBBTypeNames[value]) continue;
        bbType = static_cast<BBType>(value);
        return true;
    }
    return false;
}

// Buffer length for count items of itemBytes, or 0 (with a report) when it
// does not fit a 32-bit length.
UINT BufferLength(unsigned int count, UINT itemBytes, long line) {
    const std::uint64_t bytes = static_cast<std::uint64_t>(count) * itemBytes;
    if (bytes <= std::numeric_limits<UINT>::max()) return static_cast<UINT>(bytes);
    Vastrel::Utils::detail::ReportText(kSource, line, "%u particles need %llu bytes, more than a buffer can hold",
                                       count, static_cast<unsigned long long>(bytes));
    return 0;
}

// Slot i covers vertices 4i to 4i+3 as the triangles (1, 2, 0) and (3, 0, 2);
// the first four also make a strip over the same quad.
template <typename Index>
void FillQuadIndices(Index* pIndices, unsigned int slots) {
    for (unsigned int slot = 0; slot < slots; ++slot, pIndices += kIndicesPerQuad) {
        const Index b = static_cast<Index>(slot * kVerticesPerQuad);
        pIndices[0] = b + 1;
        pIndices[1] = b + 2;
        pIndices[2] = b;
        pIndices[3] = b + 3;
        pIndices[4] = b;
        pIndices[5] = b + 2;
    }
}

bool IsExactIdentity(const D3DXMATRIX& matrix) {
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            if (matrix.m[row][column] != (row == column ? 1.0f : 0.0f)) return false;
    return true;
}

bool UsesEffect(const SParticleSystemRenderProperties* pProperties) {
    return pProperties && pProperties->eTechnique != PSRT_NORMAL;
}

// The shared effect when the properties ask for a technique and it exists.
ID3DXEffect* EffectFor(const SParticleSystemRenderProperties* pProperties) {
    return UsesEffect(pProperties) ? GetParticleEffect() : nullptr;
}

}  // namespace

// ==== Construction and documents ====

CBillboardParticleSystem::CBillboardParticleSystem(CParticleSystemManager* pManager)
    : IParticleSystem(pManager, PST_BILLBOARD) {}

CBillboardParticleSystem::CBillboardParticleSystem(CParticleSystemManager* pManager, CArchive& ar)
    : IParticleSystem(pManager, PST_BILLBOARD, ar) {
    ar >> m_eBBType;
}

CBillboardParticleSystem::~CBillboardParticleSystem() { ReleaseBuffers(); }

void CBillboardParticleSystem::Copy(CArchive& ar) const {
    IParticleSystem::Copy(ar);
    ar << m_eBBType;
}

void CBillboardParticleSystem::Init(const CMyXMLNode* pNode) {
    IParticleSystem::Init(pNode);
    m_eBBType = BBT_PLANE_ALIGNED;
    CString name;
    if (pNode->GetAttribute("bbType", name)) FindBBType(name, m_eBBType);
    CreateBuffers();
}

void CBillboardParticleSystem::Init(IParticleContainer* pContainer, const CString& emitter, const CString& params,
                                    unsigned int maxParticle, float emitPerSec, unsigned int particlePerEmit,
                                    const CString& texture) {
    Init(pContainer, emitter, params, maxParticle, emitPerSec, particlePerEmit, texture, BBT_POINT_ORIENTED);
}

void CBillboardParticleSystem::Init(IParticleContainer* pContainer, const CString& emitter, const CString& params,
                                    unsigned int maxParticle, float emitPerSec, unsigned int particlePerEmit,
                                    const CString& texture, BBType bbType) {
    IParticleSystem::Init(pContainer, emitter, params, maxParticle, emitPerSec, particlePerEmit, texture);
    m_eBBType = bbType;
    CreateBuffers();
}

IParticle* CBillboardParticleSystem::CreateParticle() { return new CBillboardParticle(this); }

void CBillboardParticleSystem::Save(CMyXMLNode* pNode) const {
    IParticleSystem::Save(pNode);
    pNode->SetAttribute("type", "BILLBOARD");
    if (m_eBBType >= 0 && m_eBBType < kBBTypeCount) pNode->SetAttribute("bbType", kBBTypeNames[m_eBBType]);
}

// ==== Buffers ====

bool CBillboardParticleSystem::Resize() {
    CreateBuffers();
    return true;
}

void CBillboardParticleSystem::CreateBuffers() {
    ReleaseBuffers();
    if (m_nMaxParticle == 0) return;
    CreateQuadBuffer();
    CreateAxisBuffer();
    CreateIndexBuffer();
}

void CBillboardParticleSystem::ReleaseBuffers() {
    SafeRelease(kSource, __LINE__, &m_pIB);
    SafeRelease(kSource, __LINE__, &m_pQuadVB);
    SafeRelease(kSource, __LINE__, &m_pBBAxisVB);
    m_nIndexSlots = 0;
    m_nQuadSlots = 0;
}

void CBillboardParticleSystem::CreateQuadBuffer() {
    SafeRelease(kSource, __LINE__, &m_pQuadVB);
    const UINT length = BufferLength(m_nMaxParticle, kQuadBytes, __LINE__);
    if (length != 0)
        CD3DWatch::SafeCreateVertexBuffer(kSource, __LINE__, m_pManager->GetD3DDevice(), length, kDynamicUsage,
                                          BBVertex::FVF, D3DPOOL_DEFAULT, &m_pQuadVB, nullptr);
    m_nQuadSlots = m_pQuadVB ? m_nMaxParticle : 0;
}

void CBillboardParticleSystem::CreateAxisBuffer() {
    CD3DWatch::SafeCreateVertexBuffer(kSource, __LINE__, m_pManager->GetD3DDevice(), kAxisVertices * kPositionBytes,
                                      kDynamicUsage, D3DFVF_XYZ, D3DPOOL_DEFAULT, &m_pBBAxisVB, nullptr);
}

void CBillboardParticleSystem::CreateIndexBuffer() {
    const bool narrow = m_nMaxParticle <= kMaxSlotsFor16BitIndices;
    const UINT indexBytes = narrow ? sizeof(WORD) : sizeof(DWORD);
    const UINT length = BufferLength(m_nMaxParticle, kIndicesPerQuad * indexBytes, __LINE__);
    if (length != 0)
        CD3DWatch::SafeCreateIndexBuffer(kSource, __LINE__, m_pManager->GetD3DDevice(), length, D3DUSAGE_WRITEONLY,
                                         narrow ? D3DFMT_INDEX16 : D3DFMT_INDEX32, D3DPOOL_MANAGED, &m_pIB, nullptr);
    if (m_pIB) FillIndexBuffer();
}

// A buffer that cannot be locked is dropped: drawing from unfilled indices
// would read any vertex.
void CBillboardParticleSystem::FillIndexBuffer() {
    void* pData = nullptr;
    if (FAILED(m_pIB->Lock(0, 0, &pData, 0)) || !pData) {
        SafeRelease(kSource, __LINE__, &m_pIB);
        return;
    }
    if (m_nMaxParticle <= kMaxSlotsFor16BitIndices) FillQuadIndices(static_cast<WORD*>(pData), m_nMaxParticle);
    else FillQuadIndices(static_cast<DWORD*>(pData), m_nMaxParticle);
    m_pIB->Unlock();
    m_nIndexSlots = m_nMaxParticle;
}

unsigned int CBillboardParticleSystem::DrawableCount() const {
    return std::min(GetParticleCount(), std::min(m_nQuadSlots, m_nIndexSlots));
}

// ==== Drawing ====

void CBillboardParticleSystem::PreRender(const D3DXMATRIXA16& matrix, bool useWorld, float scale,
                                         SParticleSystemRenderProperties* pProperties) const {
    IParticleSystem::PreRender(matrix, useWorld, scale, pProperties);
    if (!m_pQuadVB) return;
    FillVertices(matrix, useWorld, scale, std::min(GetParticleCount(), m_nQuadSlots));
    m_pRenderStateStack->SetRenderState(D3DRS_CULLMODE, m_eBBType == BBT_AXIAL ? D3DCULL_NONE : D3DCULL_CCW);
    IDirect3DDevice9* pDevice = m_pManager->GetD3DDevice();
    pDevice->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
    pDevice->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP);
    SetViewTransforms(pProperties);
}

// useWorld false: the system's scale, its matrix and the host's world place
// the particles, and the world's x scale grows them with the system's scale.
// useWorld true: the system's matrix alone, at the particles' own size.
void CBillboardParticleSystem::FillVertices(const D3DXMATRIXA16& matrix, bool useWorld, float scale,
                                            unsigned int count) const {
    void* pData = nullptr;
    if (FAILED(m_pQuadVB->Lock(0, count * kQuadBytes, &pData, D3DLOCK_DISCARD)) || !pData) return;
    D3DXMATRIX transform = m_matrix;
    float sizeFactor = 1.0f;
    if (!useWorld) {
        D3DXVECTOR3 xAxis(1.0f, 0.0f, 0.0f);
        D3DXVec3TransformNormal(&xAxis, &xAxis, &matrix);
        sizeFactor = D3DXVec3Length(&xAxis) * scale;
        D3DXMATRIX scaling;
        transform = *D3DXMatrixScaling(&scaling, scale, scale, scale) * m_matrix * matrix;
    }
    const D3DXMATRIX* pTransform = IsExactIdentity(transform) ? nullptr : &transform;
    const detail::SQuadSettings settings{this, &m_pManager->GetCameraMatrix(), m_eBBType, pTransform, sizeFactor};
    detail::WriteQuads(settings, *m_pContainer, static_cast<BBVertex*>(pData), count);
    m_pQuadVB->Unlock();
}

// Vertices are in world space on both paths.
void CBillboardParticleSystem::SetViewTransforms(SParticleSystemRenderProperties* pProperties) const {
    IDirect3DDevice9* pDevice = m_pManager->GetD3DDevice();
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    ID3DXEffect* pEffect = EffectFor(pProperties);
    if (!pEffect) {
        pDevice->SetTransform(D3DTS_WORLD, &identity);
        return;
    }
    D3DXMATRIX view, projection;
    pDevice->GetTransform(D3DTS_VIEW, &view);
    pDevice->GetTransform(D3DTS_PROJECTION, &projection);
    const D3DXMATRIX viewProjection = view * projection;
    pEffect->SetMatrix("mWorld", &identity);
    pEffect->SetMatrix("mViewProj", &viewProjection);
}

void CBillboardParticleSystem::RenderParticles(const D3DXMATRIXA16&, bool,
                                               SParticleSystemRenderProperties* pProperties) const {
    const unsigned int count = DrawableCount();
    if (count == 0) return;
    IDirect3DDevice9* pDevice = m_pManager->GetD3DDevice();
    pDevice->SetStreamSource(0, m_pQuadVB, 0, sizeof(BBVertex));
    if (pProperties && pProperties->eTechnique == PSRT_NORMAL) {
        pDevice->SetVertexShader(nullptr);
        pDevice->SetPixelShader(nullptr);
    }
    pDevice->SetFVF(BBVertex::FVF);
    pDevice->SetIndices(m_pIB);
    // Selecting a frame changes the shared texture's drawing state only.
    ITexture* pTexture = m_pManager->GetTextureManager()->Get(m_strTextureName);
    CAnimTexture* pAnimated = nullptr;
    if (pTexture) pTexture->QueryInterface(ITexture::TT_ANIMATED, reinterpret_cast<void**>(&pAnimated));
    ID3DXEffect* pEffect = EffectFor(pProperties);
    if (pAnimated) DrawEachParticle(pTexture, pAnimated, pEffect, count);
    else DrawBatch(pTexture, pEffect, count);
}

// The texture reaches the effect's "DiffuseTex" whenever a technique runs,
// since both techniques' pixel shaders sample it.
void CBillboardParticleSystem::DrawBatch(ITexture* pTexture, ID3DXEffect* pEffect, unsigned int count) const {
    if (pTexture) pTexture->Enable(0, pEffect);
    DrawIndexed(pEffect, D3DPT_TRIANGLELIST, 0, count * kVerticesPerQuad, 0, count * 2);
}

// One strip per particle, each with its own frame. As in the batch, the frame
// goes to the effect for every technique, so shadowed particles keep it too.
void CBillboardParticleSystem::DrawEachParticle(ITexture* pTexture, CAnimTexture* pAnimated, ID3DXEffect* pEffect,
                                                unsigned int count) const {
    unsigned int slot = 0;
    for (IParticle* pParticle = m_pContainer->First(); pParticle && slot < count;
         pParticle = m_pContainer->Next(), ++slot) {
        pAnimated->SetFrame(pParticle->GetTextureFrame());
        pTexture->Enable(0, pEffect);
        DrawIndexed(pEffect, D3DPT_TRIANGLESTRIP, slot * kVerticesPerQuad, kVerticesPerQuad, slot * kIndicesPerQuad,
                    2);
    }
}

void CBillboardParticleSystem::DrawIndexed(ID3DXEffect* pEffect, D3DPRIMITIVETYPE type, UINT minIndex,
                                           UINT vertices, UINT startIndex, UINT primitives) const {
    IDirect3DDevice9* pDevice = m_pManager->GetD3DDevice();
    if (!pEffect) {
        pDevice->DrawIndexedPrimitive(type, 0, minIndex, vertices, startIndex, primitives);
        return;
    }
    pEffect->Begin(nullptr, 0);
    pEffect->BeginPass(0);
    pDevice->DrawIndexedPrimitive(type, 0, minIndex, vertices, startIndex, primitives);
    pEffect->EndPass();
    pEffect->End();
}

void CBillboardParticleSystem::PostRender(const D3DXMATRIXA16& matrix, bool useWorld) const {
    IParticleSystem::PostRender(matrix, useWorld);
    if (const ITexture* pTexture = GetTexture()) pTexture->Disable(0);
    m_pManager->GetD3DDevice()->SetIndices(nullptr);
}

// ==== Axis line ====

namespace {

const D3DCOLOR kAxisColor = 0xFFDDFF99;  // opaque pale green

}  // namespace

void CBillboardParticleSystem::RenderAxis() const {
    if (!m_pBBAxisVB) return;
    FillAxisBuffer();
    IDirect3DDevice9* pDevice = m_pManager->GetD3DDevice();
    const detail::CDebugLineStates states(pDevice, kAxisColor);
    pDevice->SetStreamSource(0, m_pBBAxisVB, 0, kPositionBytes);
    pDevice->DrawPrimitive(D3DPT_LINELIST, 0, 1);
}

// The axis as the AXIAL quads use it (a world direction), one unit each way
// from the system's origin.
void CBillboardParticleSystem::FillAxisBuffer() const {
    const D3DXVECTOR3 origin(m_matrix._41, m_matrix._42, m_matrix._43);
    const D3DXVECTOR3 line[kAxisVertices] = {origin - m_vAxis, origin + m_vAxis};
    void* pData = nullptr;
    if (FAILED(m_pBBAxisVB->Lock(0, sizeof line, &pData, D3DLOCK_DISCARD)) || !pData) return;
    std::memcpy(pData, line, sizeof line);
    m_pBBAxisVB->Unlock();
}

// ==== Device ====

bool CBillboardParticleSystem::BeginReset() {
    SafeRelease(kSource, __LINE__, &m_pQuadVB);
    m_nQuadSlots = 0;
    return true;
}

bool CBillboardParticleSystem::EndReset() {
    if (m_nMaxParticle == 0) return true;
    CreateQuadBuffer();
    return true;
}

void CBillboardParticleSystem::OnLostDevice() {
    IParticleSystem::OnLostDevice();
    SafeRelease(kSource, __LINE__, &m_pQuadVB);
    SafeRelease(kSource, __LINE__, &m_pBBAxisVB);
    m_nQuadSlots = 0;
}

void CBillboardParticleSystem::OnRestoreDevice() {
    IParticleSystem::OnRestoreDevice();
    CreateBuffers();
}
