// Index
//   ==== Render state stack ====
//   ==== Texture stage state stack ====
//   ==== Debug line states ====
#include "renderstatestack.h"

#include <d3dx9.h>

// ==== Render state stack ====

CRenderStateStack::CRenderStateStack(IDirect3DDevice9* pDevice) : m_pDevice(pDevice) {}

CRenderStateStack::~CRenderStateStack() { SetOrigStates(); }

void CRenderStateStack::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    DWORD current = 0;
    m_pDevice->GetRenderState(state, &current);
    if (current == value) return;
    m_pDevice->SetRenderState(state, value);
    m_records.push_back({state, current});
}

void CRenderStateStack::SetOrigStates() {
    for (const SRecord& record : m_records) m_pDevice->SetRenderState(record.state, record.previous);
}

void CRenderStateStack::Reset() {
    SetOrigStates();
    m_records.clear();
}

// ==== Texture stage state stack ====

CTextureStageStateStack::CTextureStageStateStack(IDirect3DDevice9* pDevice) : m_pDevice(pDevice) {}

CTextureStageStateStack::~CTextureStageStateStack() { SetOrigStates(); }

void CTextureStageStateStack::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state,
                                                   DWORD value) {
    DWORD current = 0;
    m_pDevice->GetTextureStageState(stage, state, &current);
    if (current == value) return;
    m_pDevice->SetTextureStageState(stage, state, value);
    m_records.push_back({stage, state, current});
}

void CTextureStageStateStack::SetOrigStates() {
    for (const SRecord& record : m_records)
        m_pDevice->SetTextureStageState(record.stage, record.state, record.previous);
}

void CTextureStageStateStack::Reset() {
    SetOrigStates();
    m_records.clear();
}

// ==== Debug line states ====

namespace detail {
namespace {

struct SDebugRenderState {
    D3DRENDERSTATETYPE state;
    DWORD value;  // the colour row takes the caller's colour
};

struct SDebugStageState {
    DWORD stage;
    D3DTEXTURESTAGESTATETYPE state;
    DWORD value;
};

const SDebugRenderState kDebugRenderStates[] = {
    {D3DRS_FILLMODE, D3DFILL_WIREFRAME},  {D3DRS_LIGHTING, FALSE},
    {D3DRS_ALPHATESTENABLE, FALSE},       {D3DRS_ALPHABLENDENABLE, TRUE},
    {D3DRS_FOGENABLE, FALSE},             {D3DRS_ZENABLE, D3DZB_TRUE},
    {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA},  {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA},
    {D3DRS_TEXTUREFACTOR, 0},
};

const SDebugStageState kDebugStageStates[] = {
    {0, D3DTSS_COLOROP, D3DTOP_SELECTARG1}, {0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1},
    {0, D3DTSS_COLORARG1, D3DTA_TFACTOR},   {0, D3DTSS_ALPHAARG1, D3DTA_TFACTOR},
    {1, D3DTSS_COLOROP, D3DTOP_DISABLE},
};

}  // namespace

static_assert(sizeof kDebugRenderStates / sizeof kDebugRenderStates[0] == 9, "one saved slot per render state");
static_assert(sizeof kDebugStageStates / sizeof kDebugStageStates[0] == 5, "one saved slot per stage state");

CDebugLineStates::CDebugLineStates(IDirect3DDevice9* pDevice, D3DCOLOR color)
    : m_pDevice(pDevice), m_savedWorld() {
    m_pDevice->GetTransform(D3DTS_WORLD, &m_savedWorld);
    m_pDevice->GetFVF(&m_savedFVF);
    m_pDevice->GetVertexShader(&m_pSavedVertexShader);
    m_pDevice->GetPixelShader(&m_pSavedPixelShader);
    for (int i = 0; i < kRenderStates; ++i) m_pDevice->GetRenderState(kDebugRenderStates[i].state, &m_savedRender[i]);
    for (int i = 0; i < kStageStates; ++i) {
        const SDebugStageState& row = kDebugStageStates[i];
        m_pDevice->GetTextureStageState(row.stage, row.state, &m_savedStage[i]);
    }
    D3DXMATRIX identity;
    m_pDevice->SetTransform(D3DTS_WORLD, D3DXMatrixIdentity(&identity));
    m_pDevice->SetFVF(D3DFVF_XYZ);
    m_pDevice->SetVertexShader(nullptr);
    m_pDevice->SetPixelShader(nullptr);
    for (const SDebugRenderState& row : kDebugRenderStates) {
        m_pDevice->SetRenderState(row.state, row.state == D3DRS_TEXTUREFACTOR ? color : row.value);
    }
    for (const SDebugStageState& row : kDebugStageStates) m_pDevice->SetTextureStageState(row.stage, row.state, row.value);
}

CDebugLineStates::~CDebugLineStates() {
    m_pDevice->SetTransform(D3DTS_WORLD, &m_savedWorld);
    m_pDevice->SetFVF(m_savedFVF);
    m_pDevice->SetVertexShader(m_pSavedVertexShader);
    m_pDevice->SetPixelShader(m_pSavedPixelShader);
    if (m_pSavedVertexShader) m_pSavedVertexShader->Release();
    if (m_pSavedPixelShader) m_pSavedPixelShader->Release();
    for (int i = 0; i < kRenderStates; ++i) m_pDevice->SetRenderState(kDebugRenderStates[i].state, m_savedRender[i]);
    for (int i = 0; i < kStageStates; ++i) {
        const SDebugStageState& row = kDebugStageStates[i];
        m_pDevice->SetTextureStageState(row.stage, row.state, m_savedStage[i]);
    }
}

}  // namespace detail
