#include "hostdevice.h"

#include <cmath>
#include <cstring>

namespace {

D3DXVECTOR3 Normalised(const D3DXVECTOR3& v) {
    D3DXVECTOR3 unit;
    D3DXVec3Normalize(&unit, &v);
    return unit;
}

D3DXVECTOR3 Cross(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    D3DXVECTOR3 product;
    D3DXVec3Cross(&product, &a, &b);
    return product;
}

// World up, unless the camera looks straight along it.
D3DXVECTOR3 UpHint(const D3DXVECTOR3& at) {
    return std::fabs(at.y) > 0.999f ? D3DXVECTOR3(0.0f, 0.0f, 1.0f) : D3DXVECTOR3(0.0f, 1.0f, 0.0f);
}

void SetRow(D3DXMATRIX& m, int row, const D3DXVECTOR3& v, float w) {
    m.m[row][0] = v.x;
    m.m[row][1] = v.y;
    m.m[row][2] = v.z;
    m.m[row][3] = w;
}

// Same size and format (A8R8G8B8) as the locked source.
bool CopyIntoTexture(const D3DLOCKED_RECT& source, IDirect3DTexture9* pTexture) {
    D3DSURFACE_DESC desc;
    D3DLOCKED_RECT target;
    if (FAILED(pTexture->GetLevelDesc(0, &desc)) || FAILED(pTexture->LockRect(0, &target, nullptr, 0))) return false;
    for (UINT row = 0; row < desc.Height; ++row)
        std::memcpy(static_cast<BYTE*>(target.pBits) + static_cast<size_t>(row) * target.Pitch,
                    static_cast<const BYTE*>(source.pBits) + static_cast<size_t>(row) * source.Pitch,
                    desc.Width * 4u);
    pTexture->UnlockRect(0);
    return true;
}

}  // namespace

HostDevice::HostDevice(UINT width, UINT height) : m_device(width, height) {
    if (!m_device.Valid()) return;
    // Direct3D lights by default and the particle systems leave lighting as
    // they find it: lit, their unlit vertices would all come out black.
    m_device.Get()->SetRenderState(D3DRS_LIGHTING, FALSE);
    m_device.Get()->CreateTexture(width, height, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                  &m_pSceneTexture, nullptr);
}

HostDevice::~HostDevice() {
    if (m_pSceneTexture) m_pSceneTexture->Release();
}

// The device has no StretchRect: both surfaces lock, so rows are copied.
bool HostDevice::CopyBackBufferToSceneTexture() {
    IDirect3DSurface9* pBackBuffer = nullptr;
    if (!m_pSceneTexture || FAILED(m_device.Get()->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &pBackBuffer)))
        return false;
    D3DLOCKED_RECT source;
    bool copied = false;
    if (SUCCEEDED(pBackBuffer->LockRect(&source, nullptr, D3DLOCK_READONLY))) {
        copied = CopyIntoTexture(source, m_pSceneTexture);
        pBackBuffer->UnlockRect();
    }
    pBackBuffer->Release();
    return copied;
}

// Left-handed, as D3DXMatrixLookAtLH builds its view: right = up x at.
HostCamera MakeCamera(const D3DXVECTOR3& position, const D3DXVECTOR3& target, float fovDegrees, float aspect) {
    D3DXVECTOR3 at = Normalised(target - position);
    D3DXVECTOR3 right = Normalised(Cross(UpHint(at), at));
    D3DXVECTOR3 up = Cross(at, right);
    HostCamera camera;
    SetRow(camera.world, 0, right, 0.0f);
    SetRow(camera.world, 1, up, 0.0f);
    SetRow(camera.world, 2, at, 0.0f);
    SetRow(camera.world, 3, position, 1.0f);
    D3DXMatrixLookAtLH(&camera.view, &position, &target, &up);
    D3DXMatrixPerspectiveFovLH(&camera.projection, D3DXToRadian(fovDegrees), aspect, 0.1f, 1000.0f);
    return camera;
}

void ApplyCamera(const HostCamera& camera, IDirect3DDevice9* pDevice, CParticleSystemManager& manager) {
    manager.SetCameraMatrix(camera.world);
    pDevice->SetTransform(D3DTS_VIEW, &camera.view);
    pDevice->SetTransform(D3DTS_PROJECTION, &camera.projection);
}
