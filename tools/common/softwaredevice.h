// The software Direct3D 9 device, created as a Windows host would: a
// windowed back buffer with an automatic D24S8 depth buffer.
#pragma once

#include <d3d9.h>

class SoftwareDevice {
public:
    // Check Valid().
    SoftwareDevice(UINT width, UINT height);
    ~SoftwareDevice();
    SoftwareDevice(const SoftwareDevice&) = delete;
    SoftwareDevice& operator=(const SoftwareDevice&) = delete;

    bool Valid() const { return m_pDevice != nullptr; }
    IDirect3DDevice9* Get() const { return m_pDevice; }

private:
    IDirect3D9* m_pD3D = nullptr;
    IDirect3DDevice9* m_pDevice = nullptr;
};
