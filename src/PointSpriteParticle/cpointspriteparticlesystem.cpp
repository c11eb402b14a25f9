#include "cpointspriteparticlesystem.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

#include "Corvantis/cd3dwatch.h"
#include "UtilsSrc/cmyxmlparser.h"
#include "UtilsSrc/errorreport.h"
#include "cmanager.h"
#include "itexture.h"
#include "renderstatestack.h"

using Vastrel::Utils::CMyXMLNode;

namespace {

const char* const kSource = "src/PointSpriteParticle/cpointspriteparticlesystem";
const UINT kVertexBytes = sizeof(PSVertex);
const DWORD kBufferUsage = D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC | D3DUSAGE_POINTS;

// With A = B = 0 and C = 1 the device divides the point size by the eye
// distance, so sizes are in world units.
struct SFloatState {
    D3DRENDERSTATETYPE state;
    float value;
};

const SFloatState kPointScaleStates[] = {
    {D3DRS_POINTSIZE_MIN, 0.0f},
    {D3DRS_POINTSCALE_A, 0.0f},
    {D3DRS_POINTSCALE_B, 0.0f},
    {D3DRS_POINTSCALE_C, 1.0f},
};

DWORD FloatBits(float value) {
    DWORD bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// The length of the x axis of matrix without its translation.
float AxisScale(const D3DXMATRIXA16& matrix) {
    D3DXMATRIX linear = matrix;
    linear._41 = linear._42 = linear._43 = 0.0f;
    const D3DXVECTOR3 unitX(1.0f, 0.0f, 0.0f);
    D3DXVECTOR3 axis;
    D3DXVec3TransformCoord(&axis, &unitX, &linear);
    return D3DXVec3Length(&axis);
}

// QueryInterface only looks, but is not const.
CAnimTexture* AsAnimated(const ITexture* pTexture) {
    CAnimTexture* pAnimated = nullptr;
    if (!pTexture) return nullptr;
    const_cast<ITexture*>(pTexture)->QueryInterface(ITexture::TT_ANIMATED, reinterpret_cast<void**>(&pAnimated));
    return pAnimated;
}

}  // namespace

CPointSpriteParticleSystem::CPointSpriteParticleSystem(CParticleSystemManager* pManager)
    : IParticleSystem(pManager, PST_POINTSPRITE) {}

CPointSpriteParticleSystem::CPointSpriteParticleSystem(CParticleSystemManager* pManager, CArchive& ar)
    : IParticleSystem(pManager, PST_POINTSPRITE, ar) {}

CPointSpriteParticleSystem::~CPointSpriteParticleSystem() { SafeRelease(kSource, __LINE__, &m_pVB); }

// -- Drawing --

void CPointSpriteParticleSystem::PreRender(const D3DXMATRIXA16& matrix, bool useWorld, float scale,
                                           SParticleSystemRenderProperties*) const {
    IParticleSystem::PreRender(matrix, useWorld, scale, nullptr);
    if (!m_pVB) return;
    SetPointSpriteStates();
    if (const ITexture* pTexture = GetTexture()) pTexture->Enable(0, nullptr);
    FillVertices(DrawableVertices(), useWorld ? 1.0f : AxisScale(matrix));
    SetWorldTransform(matrix, useWorld);
}

void CPointSpriteParticleSystem::SetPointSpriteStates() const {
    m_pRenderStateStack->SetRenderState(D3DRS_POINTSPRITEENABLE, TRUE);
    m_pRenderStateStack->SetRenderState(D3DRS_POINTSCALEENABLE, TRUE);
    for (const SFloatState& row : kPointScaleStates) m_pRenderStateStack->SetRenderState(row.state, FloatBits(row.value));
}

UINT CPointSpriteParticleSystem::DrawableVertices() const {
    D3DVERTEXBUFFER_DESC desc;
    if (!m_pVB || !m_pContainer || FAILED(m_pVB->GetDesc(&desc))) return 0;
    return std::min(m_pContainer->GetActiveParticle(), desc.Size / kVertexBytes);
}

// Only the particles that fit are written; the walk stops there.
void CPointSpriteParticleSystem::FillVertices(UINT count, float sizeFactor) const {
    void* pData = nullptr;
    if (count == 0 || FAILED(m_pVB->Lock(0, count * kVertexBytes, &pData, D3DLOCK_DISCARD)) || !pData) return;
    PSVertex* pVertex = static_cast<PSVertex*>(pData);
    PSVertex* const pEnd = pVertex + count;
    for (IParticle* pParticle = m_pContainer->First(); pParticle && pVertex != pEnd; pParticle = m_pContainer->Next())
        pVertex = static_cast<CPointSpriteParticle*>(pParticle)->SetVertexBuffer(pVertex, sizeFactor);
    m_pVB->Unlock();
}

void CPointSpriteParticleSystem::SetWorldTransform(const D3DXMATRIXA16& matrix, bool useWorld) const {
    D3DXMATRIX world = m_matrix;
    if (!useWorld) world = m_matrix * matrix;
    m_pManager->GetD3DDevice()->SetTransform(D3DTS_WORLD, &world);
}

void CPointSpriteParticleSystem::RenderParticles(const D3DXMATRIXA16&, bool, SParticleSystemRenderProperties*) const {
    const UINT count = DrawableVertices();
    if (count == 0) return;
    IDirect3DDevice9* pDevice = m_pManager->GetD3DDevice();
    pDevice->SetStreamSource(0, m_pVB, 0, kVertexBytes);
    pDevice->SetVertexShader(nullptr);
    pDevice->SetPixelShader(nullptr);
    pDevice->SetFVF(kFVF);
    const ITexture* pTexture = GetTexture();
    if (CAnimTexture* pAnimated = AsAnimated(pTexture)) return DrawEachParticle(pAnimated, count);
    if (pTexture) pTexture->Enable(0, nullptr);
    pDevice->DrawPrimitive(D3DPT_POINTLIST, 0, count);
}

// Each particle may show another frame, so each gets its own bind and draw.
void CPointSpriteParticleSystem::DrawEachParticle(CAnimTexture* pTexture, UINT count) const {
    IDirect3DDevice9* pDevice = m_pManager->GetD3DDevice();
    UINT vertex = 0;
    for (IParticle* pParticle = m_pContainer->First(); pParticle && vertex < count; pParticle = m_pContainer->Next()) {
        pTexture->SetFrame(pParticle->GetTextureFrame());
        pTexture->Enable(0, nullptr);
        pDevice->DrawPrimitive(D3DPT_POINTLIST, vertex++, 1);
    }
}

void CPointSpriteParticleSystem::PostRender(const D3DXMATRIXA16& matrix, bool useWorld) const {
    IParticleSystem::PostRender(matrix, useWorld);
    if (const ITexture* pTexture = GetTexture()) pTexture->Disable(0);
}

// -- Configuration and documents --

void CPointSpriteParticleSystem::Init(const CMyXMLNode* pNode) {
    IParticleSystem::Init(pNode);
    CreateVertexBuffer();
}

void CPointSpriteParticleSystem::Init(IParticleContainer* pContainer, const CString& emitter, const CString& params,
                                      unsigned int maxParticle, float emitPerSec, unsigned int particlePerEmit,
                                      const CString& texture) {
    IParticleSystem::Init(pContainer, emitter, params, maxParticle, emitPerSec, particlePerEmit, texture);
    CreateVertexBuffer();
}

IParticle* CPointSpriteParticleSystem::CreateParticle() { return new CPointSpriteParticle(this); }

void CPointSpriteParticleSystem::Save(CMyXMLNode* pNode) const {
    IParticleSystem::Save(pNode);
    pNode->SetAttribute("type", "POINTSPRITE");
}

// -- Device --

void CPointSpriteParticleSystem::CreateVertexBuffer() {
    SafeRelease(kSource, __LINE__, &m_pVB);
    if (m_nMaxParticle == 0) return;
    const std::uint64_t length = std::uint64_t{m_nMaxParticle} * kVertexBytes;
    if (length > std::numeric_limits<UINT>::max()) {
        Vastrel::Utils::detail::ReportText(kSource, __LINE__, "a cap of %u needs %llu vertex bytes, above the 32-bit limit; "
                                           "the system draws nothing", m_nMaxParticle,
                                           static_cast<unsigned long long>(length));
        return;
    }
    CD3DWatch::SafeCreateVertexBuffer(kSource, __LINE__, m_pManager->GetD3DDevice(), static_cast<UINT>(length),
                                      kBufferUsage, kFVF, D3DPOOL_DEFAULT, &m_pVB, nullptr);
}

bool CPointSpriteParticleSystem::Resize() {
    CreateVertexBuffer();
    return true;
}

bool CPointSpriteParticleSystem::BeginReset() {
    SafeRelease(kSource, __LINE__, &m_pVB);
    return true;
}

bool CPointSpriteParticleSystem::EndReset() {
    CreateVertexBuffer();
    return true;
}

void CPointSpriteParticleSystem::OnLostDevice() {
    IParticleSystem::OnLostDevice();
    SafeRelease(kSource, __LINE__, &m_pVB);
}

void CPointSpriteParticleSystem::OnRestoreDevice() {
    IParticleSystem::OnRestoreDevice();
    CreateVertexBuffer();
}
