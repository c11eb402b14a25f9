// The device's fixed-function state: render, texture-stage and sampler
// states, transforms, viewport and material, with D3D9's defaults.
#pragma once

#include <vector>

#include "platform/swdevice.h"

namespace swdevice::detail {

class DeviceState {
public:
    DeviceState();
    // Everything back to the defaults; ZENABLE follows the automatic depth stencil.
    void ResetToDefaults(bool hasAutoDepthStencil, const D3DVIEWPORT9& viewport);

    HRESULT SetRenderState(D3DRENDERSTATETYPE State, DWORD Value);
    HRESULT GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) const;
    HRESULT SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value);
    HRESULT GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD* pValue) const;
    HRESULT SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value);
    HRESULT GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue) const;
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix);
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX* pMatrix) const;
    HRESULT SetMaterial(const D3DMATERIAL9* pMaterial);
    HRESULT GetMaterial(D3DMATERIAL9* pMaterial) const;
    // The viewport must fit inside the render target of the given size.
    HRESULT SetViewport(const D3DVIEWPORT9* pViewport, UINT targetWidth, UINT targetHeight);
    HRESULT GetViewport(D3DVIEWPORT9* pViewport) const;
    void ResetViewport(UINT targetWidth, UINT targetHeight);

    const PipelineStates& States() const { return m_states; }
    const D3DMATRIX& Transform(D3DTRANSFORMSTATETYPE state) const { return m_transforms[state]; }
    const D3DVIEWPORT9& Viewport() const { return m_viewport; }
    const D3DMATERIAL9& Material() const { return m_material; }

private:
    PipelineStates m_states;
    std::vector<D3DMATRIX> m_transforms;  // indexed by D3DTRANSFORMSTATETYPE, world matrices included
    D3DVIEWPORT9 m_viewport{};
    D3DMATERIAL9 m_material{};
};

}  // namespace swdevice::detail
