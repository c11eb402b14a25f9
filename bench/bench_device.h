// The software device the benchmarks run on: 64 x 64. The shared particle
// effect belongs to the device, so it goes with it.
#pragma once

#include <d3d9.h>

#include "particleeffect.h"

class CBenchDevice {
public:
    CBenchDevice() {
        m_pD3D = Direct3DCreate9(D3D_SDK_VERSION);
        D3DPRESENT_PARAMETERS pp = {};
        pp.BackBufferWidth = 64;
        pp.BackBufferHeight = 64;
        pp.BackBufferFormat = D3DFMT_A8R8G8B8;
        pp.Windowed = TRUE;
        pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
        m_pD3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp,
                             &m_pDevice);
    }
    ~CBenchDevice() {
        ReleaseParticleSystemDXResources();
        if (m_pDevice) m_pDevice->Release();
        m_pD3D->Release();
    }
    CBenchDevice(const CBenchDevice&) = delete;
    CBenchDevice& operator=(const CBenchDevice&) = delete;

    IDirect3DDevice9* Get() const { return m_pDevice; }

private:
    IDirect3D9* m_pD3D = nullptr;
    IDirect3DDevice9* m_pDevice = nullptr;
};
