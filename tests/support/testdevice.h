// The software device the tests draw on, created as a windowed host creates
// its device.
#pragma once

#include <d3d9.h>

inline D3DPRESENT_PARAMETERS WindowedParams(UINT width, UINT height, D3DFORMAT format, bool autoDepth = false) {
    D3DPRESENT_PARAMETERS pp = {};
    pp.BackBufferWidth = width;
    pp.BackBufferHeight = height;
    pp.BackBufferFormat = format;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.Windowed = TRUE;
    pp.EnableAutoDepthStencil = autoDepth;
    pp.AutoDepthStencilFormat = D3DFMT_D24S8;
    return pp;
}

// Null when the device cannot be created.
inline IDirect3DDevice9* CreateTestDevice(IDirect3D9* pD3D, D3DPRESENT_PARAMETERS pp) {
    IDirect3DDevice9* pDevice = nullptr;
    if (FAILED(pD3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp,
                                  &pDevice)))
        return nullptr;
    return pDevice;
}
