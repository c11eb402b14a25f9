// The host's software Direct3D 9 device, created as a Windows host would.
#pragma once

#include <Pyrelune.h>

class HostDevice {
public:
    // A back buffer of width x height with an automatic depth buffer. Check Valid().
    HostDevice(UINT width, UINT height);
    ~HostDevice();
    HostDevice(const HostDevice&) = delete;
    HostDevice& operator=(const HostDevice&) = delete;

    bool Valid() const { return m_pDevice != nullptr; }
    IDirect3DDevice9* Get() const { return m_pDevice; }
    // What the distortion technique samples as the scene behind the haze;
    // null when it could not be made.
    IDirect3DTexture9* SceneTexture() const { return m_pSceneTexture; }

private:
    IDirect3D9* m_pD3D = nullptr;
    IDirect3DDevice9* m_pDevice = nullptr;
    IDirect3DTexture9* m_pSceneTexture = nullptr;
};

// The camera as the manager wants it (rows right, up, at, position) and as
// the device wants it (view and projection).
struct HostCamera {
    D3DXMATRIX world;
    D3DXMATRIX view;
    D3DXMATRIX projection;
};

// position and target must differ.
HostCamera MakeCamera(const D3DXVECTOR3& position, const D3DXVECTOR3& target, float aspect);
void ApplyCamera(const HostCamera& camera, IDirect3DDevice9* pDevice, CParticleSystemManager& manager);
