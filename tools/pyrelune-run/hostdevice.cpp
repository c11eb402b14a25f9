#include "hostdevice.h"

#include <cmath>

namespace {

D3DPRESENT_PARAMETERS PresentParameters(UINT width, UINT height) {
    D3DPRESENT_PARAMETERS parameters = {};
    parameters.BackBufferWidth = width;
    parameters.BackBufferHeight = height;
    parameters.BackBufferFormat = D3DFMT_A8R8G8B8;
    parameters.BackBufferCount = 1;
    parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    parameters.Windowed = TRUE;
    parameters.EnableAutoDepthStencil = TRUE;
    parameters.AutoDepthStencilFormat = D3DFMT_D24S8;
    return parameters;
}

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

}  // namespace

HostDevice::HostDevice(UINT width, UINT height) {
    m_pD3D = Direct3DCreate9(D3D_SDK_VERSION);
    if (!m_pD3D) return;
    D3DPRESENT_PARAMETERS parameters = PresentParameters(width, height);
    m_pD3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                         &parameters, &m_pDevice);
    if (m_pDevice)
        m_pDevice->CreateTexture(width, height, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                 &m_pSceneTexture, nullptr);
}

HostDevice::~HostDevice() {
    if (m_pSceneTexture) m_pSceneTexture->Release();
    if (m_pDevice) m_pDevice->Release();
    if (m_pD3D) m_pD3D->Release();
}

// Left-handed, as D3DXMatrixLookAtLH builds its view: right = up x at.
HostCamera MakeCamera(const D3DXVECTOR3& position, const D3DXVECTOR3& target, float aspect) {
    D3DXVECTOR3 at = Normalised(target - position);
    D3DXVECTOR3 right = Normalised(Cross(UpHint(at), at));
    D3DXVECTOR3 up = Cross(at, right);
    HostCamera camera;
    SetRow(camera.world, 0, right, 0.0f);
    SetRow(camera.world, 1, up, 0.0f);
    SetRow(camera.world, 2, at, 0.0f);
    SetRow(camera.world, 3, position, 1.0f);
    D3DXMatrixLookAtLH(&camera.view, &position, &target, &up);
    D3DXMatrixPerspectiveFovLH(&camera.projection, D3DX_PI / 4.0f, aspect, 0.1f, 1000.0f);
    return camera;
}

void ApplyCamera(const HostCamera& camera, IDirect3DDevice9* pDevice, CParticleSystemManager& manager) {
    manager.SetCameraMatrix(camera.world);
    pDevice->SetTransform(D3DTS_VIEW, &camera.view);
    pDevice->SetTransform(D3DTS_PROJECTION, &camera.projection);
}
