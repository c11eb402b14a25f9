// Index
//   ==== Render state stack ====
//   ==== Texture stage state stack ====
#include "renderstatestack.h"

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
