#include "softwaredevice.h"

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

}  // namespace

SoftwareDevice::SoftwareDevice(UINT width, UINT height) {
    m_pD3D = Direct3DCreate9(D3D_SDK_VERSION);
    if (!m_pD3D) return;
    D3DPRESENT_PARAMETERS parameters = PresentParameters(width, height);
    m_pD3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                         &parameters, &m_pDevice);
}

SoftwareDevice::~SoftwareDevice() {
    if (m_pDevice) m_pDevice->Release();
    if (m_pD3D) m_pD3D->Release();
}
