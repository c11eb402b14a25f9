// Render-state and texture-stage-state recorders: drawing code changes device
// states through them and puts every changed state back with one call.
//
// Index
//   ==== Render state stack ====
//   ==== Texture stage state stack ====
#pragma once

#include <vector>

#include <d3d9.h>

#include "UtilsSrc/pyrelune_api.h"

// ==== Render state stack ====

// Records the previous value of each render state it actually changes, so a
// redundant request costs one read and no write, and Reset restores exactly
// what changed. The device is borrowed and must outlive the stack.
class PYRELUNE_API CRenderStateStack {
public:
    explicit CRenderStateStack(IDirect3DDevice9* pDevice);
    ~CRenderStateStack();
    CRenderStateStack(const CRenderStateStack&) = default;
    CRenderStateStack& operator=(const CRenderStateStack&) = default;

    void SetRenderState(D3DRENDERSTATETYPE state, DWORD value);
    // Writes the recorded values back, oldest first; the records stay.
    void SetOrigStates();
    // Writes them back and forgets them.
    void Reset();

private:
    struct SRecord {
        D3DRENDERSTATETYPE state;
        DWORD previous;
    };

    IDirect3DDevice9* m_pDevice;
    std::vector<SRecord> m_records;  // in the order the changes were made
};

// ==== Texture stage state stack ====

// The same recorder for texture-stage states.
class PYRELUNE_API CTextureStageStateStack {
public:
    explicit CTextureStageStateStack(IDirect3DDevice9* pDevice);
    ~CTextureStageStateStack();
    CTextureStageStateStack(const CTextureStageStateStack&) = default;
    CTextureStageStateStack& operator=(const CTextureStageStateStack&) = default;

    void SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD value);
    void SetOrigStates();
    void Reset();

private:
    struct SRecord {
        DWORD stage;
        D3DTEXTURESTAGESTATETYPE state;
        DWORD previous;
    };

    IDirect3DDevice9* m_pDevice;
    std::vector<SRecord> m_records;
};

namespace detail {

// The device set-up of the wire-frame debug lines drawn in one flat colour
// (the emitter's axis and grid, a system's around axis, the billboard axis):
// positions only, in world space, no shaders. Reads everything it changes,
// sets it, and writes the read values back in the same order when it goes,
// so the device is left as it was found. Straight on the device, for drawing
// outside PreRender.
class CDebugLineStates {
public:
    CDebugLineStates(IDirect3DDevice9* pDevice, D3DCOLOR color);
    ~CDebugLineStates();
    CDebugLineStates(const CDebugLineStates&) = delete;
    CDebugLineStates& operator=(const CDebugLineStates&) = delete;

private:
    static constexpr int kRenderStates = 9;
    static constexpr int kStageStates = 5;

    IDirect3DDevice9* m_pDevice;
    DWORD m_savedRender[kRenderStates];
    DWORD m_savedStage[kStageStates];
    D3DMATRIX m_savedWorld;
    DWORD m_savedFVF = 0;
    IDirect3DVertexShader9* m_pSavedVertexShader = nullptr;  // a reference held until restored
    IDirect3DPixelShader9* m_pSavedPixelShader = nullptr;    // a reference held until restored
};

}  // namespace detail
