// The host's software Direct3D 9 device, set up for particles: unlit,
// with a texture holding the scene behind them.
#pragma once

#include <Pyrelune.h>

#include "softwaredevice.h"

class HostDevice {
public:
    // A back buffer of width x height with an automatic depth buffer. Check Valid().
    HostDevice(UINT width, UINT height);
    ~HostDevice();
    HostDevice(const HostDevice&) = delete;
    HostDevice& operator=(const HostDevice&) = delete;

    bool Valid() const { return m_device.Valid(); }
    IDirect3DDevice9* Get() const { return m_device.Get(); }
    // What the distortion technique samples as the scene behind the haze;
    // null when it could not be made.
    IDirect3DTexture9* SceneTexture() const { return m_pSceneTexture; }
    // Makes what is drawn so far the scene the distortion technique sees.
    bool CopyBackBufferToSceneTexture();

private:
    SoftwareDevice m_device;
    IDirect3DTexture9* m_pSceneTexture = nullptr;
};

// The camera as the manager wants it (rows right, up, at, position) and as
// the device wants it (view and projection).
struct HostCamera {
    D3DXMATRIX world;
    D3DXMATRIX view;
    D3DXMATRIX projection;
};

// position and target must differ; fovDegrees is the vertical field of view.
HostCamera MakeCamera(const D3DXVECTOR3& position, const D3DXVECTOR3& target, float fovDegrees, float aspect);
void ApplyCamera(const HostCamera& camera, IDirect3DDevice9* pDevice, CParticleSystemManager& manager);
