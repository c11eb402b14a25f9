// IDirect3DDevice9::Clear: fills the render target and the depth-stencil
// surface inside the viewport (and the rectangles, when given).
#pragma once

#include "swdevice_surface.h"

namespace swdevice::detail {

struct ClearRequest {
    DWORD count;
    const D3DRECT* rects;
    DWORD flags;
    D3DCOLOR color;
    float z;
    DWORD stencil;
};

HRESULT ClearTargets(const ClearRequest& request, Surface* renderTarget, Surface* depthStencil,
                     const D3DVIEWPORT9& viewport);

}  // namespace swdevice::detail
