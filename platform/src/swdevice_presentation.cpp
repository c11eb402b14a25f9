#include "swdevice_presentation.h"

#include "swdevice_caps.h"
#include "swdevice_direct3d.h"
#include "swdevice_settings.h"

namespace swdevice::detail {

namespace {

constexpr UINT kDefaultWidth = 640;
constexpr UINT kDefaultHeight = 480;

bool IsValidSwapEffect(D3DSWAPEFFECT effect) {
    return effect == D3DSWAPEFFECT_DISCARD || effect == D3DSWAPEFFECT_FLIP || effect == D3DSWAPEFFECT_COPY;
}

bool IsValidAutoDepthStencil(const D3DPRESENT_PARAMETERS& p) {
    return !p.EnableAutoDepthStencil ||
           IsFormatAccepted(D3DRTYPE_SURFACE, D3DUSAGE_DEPTHSTENCIL, p.AutoDepthStencilFormat);
}

bool IsValidBackBuffer(const D3DPRESENT_PARAMETERS& p) {
    return p.BackBufferWidth <= kMaxTextureSize && p.BackBufferHeight <= kMaxTextureSize &&
           p.BackBufferCount <= 1 && p.MultiSampleType == D3DMULTISAMPLE_NONE &&
           (p.BackBufferFormat == D3DFMT_X8R8G8B8 || p.BackBufferFormat == D3DFMT_A8R8G8B8);
}

D3DSURFACE_DESC SwapChainDesc(D3DFORMAT format, DWORD usage, UINT width, UINT height) {
    return {format, D3DRTYPE_SURFACE, usage, D3DPOOL_DEFAULT, D3DMULTISAMPLE_NONE, 0, width, height};
}

}  // namespace

HRESULT ResolvePresentParameters(D3DPRESENT_PARAMETERS& params) {
    D3DPRESENT_PARAMETERS p = params;
    if (p.BackBufferFormat == D3DFMT_UNKNOWN) p.BackBufferFormat = DesktopMode().Format;
    if (p.BackBufferWidth == 0) p.BackBufferWidth = kDefaultWidth;
    if (p.BackBufferHeight == 0) p.BackBufferHeight = kDefaultHeight;
    if (p.BackBufferCount == 0) p.BackBufferCount = 1;
    if (!IsValidBackBuffer(p) || !IsValidSwapEffect(p.SwapEffect) || !IsValidAutoDepthStencil(p)) {
        return D3DERR_INVALIDCALL;
    }
    params = p;
    return D3D_OK;
}

SwapChainSurfaces CreateSwapChainSurfaces(const D3DPRESENT_PARAMETERS& p, IDirect3DDevice9* device) {
    const ResourceOrigin origin{device, nullptr};
    const SurfaceParent parent{device, nullptr, nullptr};
    SwapChainSurfaces surfaces;
    surfaces.backBuffer = std::make_unique<Surface>(
        origin, SwapChainDesc(p.BackBufferFormat, D3DUSAGE_RENDERTARGET, p.BackBufferWidth, p.BackBufferHeight),
        parent);
    if (p.EnableAutoDepthStencil) {
        surfaces.depthStencil = std::make_unique<Surface>(
            origin,
            SwapChainDesc(p.AutoDepthStencilFormat, D3DUSAGE_DEPTHSTENCIL, p.BackBufferWidth, p.BackBufferHeight),
            parent);
    }
    return surfaces;
}

void CooperativeLevel::Lose(UINT lostReports) {
    m_state = lostReports ? State::Lost : State::NotReset;
    m_lostReports = lostReports;
}

HRESULT CooperativeLevel::Test() {
    switch (m_state) {
        case State::Operational: return D3D_OK;
        case State::NotReset: return D3DERR_DEVICENOTRESET;
        case State::Lost: break;
    }
    if (--m_lostReports == 0) m_state = State::NotReset;
    return D3DERR_DEVICELOST;
}

}  // namespace swdevice::detail
