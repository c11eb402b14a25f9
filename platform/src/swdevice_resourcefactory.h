// Resource creation for the device: argument checks as D3D9 makes them,
// injected faults, then the object. A failed creation leaves *pp null.
#pragma once

#include "swdevice_buffers.h"
#include "swdevice_texture.h"

namespace swdevice::detail {

struct TextureRequest {
    UINT width;
    UINT height;
    UINT levels;  // 0 = the full chain
    DWORD usage;
    D3DFORMAT format;
    D3DPOOL pool;
};

struct SurfaceRequest {
    UINT width;
    UINT height;
    D3DFORMAT format;
    D3DMULTISAMPLE_TYPE multiSample;
    DWORD usage;  // D3DUSAGE_RENDERTARGET or D3DUSAGE_DEPTHSTENCIL
};

HRESULT CreateVertexBuffer(const ResourceOrigin& origin, UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                           IDirect3DVertexBuffer9** ppVertexBuffer, HANDLE* pSharedHandle);
HRESULT CreateIndexBuffer(const ResourceOrigin& origin, UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                          IDirect3DIndexBuffer9** ppIndexBuffer, HANDLE* pSharedHandle);
HRESULT CreateTexture(const ResourceOrigin& origin, const TextureRequest& request, IDirect3DTexture9** ppTexture,
                      HANDLE* pSharedHandle);
HRESULT CreateSurface(const ResourceOrigin& origin, const SurfaceRequest& request, IDirect3DSurface9** ppSurface,
                      HANDLE* pSharedHandle);

}  // namespace swdevice::detail
