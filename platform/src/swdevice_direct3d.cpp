#include "swdevice_direct3d.h"

#include <cstdio>

#include "swdevice_caps.h"
#include "swdevice_device.h"
#include "swdevice_presentation.h"
#include "swdevice_settings.h"

namespace swdevice::detail {

namespace {

constexpr DWORD kVertexProcessingFlags = D3DCREATE_SOFTWARE_VERTEXPROCESSING |
                                         D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_MIXED_VERTEXPROCESSING;

// D3DERR_INVALIDCALL for a wrong adapter, D3DERR_NOTAVAILABLE for a device
// type other than HAL, as the runtime answers for a missing REF device.
HRESULT CheckAdapter(UINT adapter, D3DDEVTYPE type) {
    if (adapter != D3DADAPTER_DEFAULT) return D3DERR_INVALIDCALL;
    return type == D3DDEVTYPE_HAL ? D3D_OK : D3DERR_NOTAVAILABLE;
}

bool HasOneVertexProcessingMode(DWORD flags) {
    const DWORD mode = flags & kVertexProcessingFlags;
    return mode != 0 && (mode & (mode - 1)) == 0;
}

}  // namespace

D3DDISPLAYMODE DesktopMode() { return {1280, 1024, 60, D3DFMT_X8R8G8B8}; }

HRESULT Direct3D::GetAdapterDisplayMode(UINT Adapter, D3DDISPLAYMODE* pMode) {
    if (Adapter != D3DADAPTER_DEFAULT || !pMode) return D3DERR_INVALIDCALL;
    *pMode = DesktopMode();
    return D3D_OK;
}

HRESULT Direct3D::CheckDeviceType(UINT Adapter, D3DDEVTYPE DevType, D3DFORMAT AdapterFormat,
                                  D3DFORMAT BackBufferFormat, BOOL bWindowed) {
    const HRESULT adapter = CheckAdapter(Adapter, DevType);
    if (FAILED(adapter)) return adapter;
    const bool backBufferOk = BackBufferFormat == D3DFMT_X8R8G8B8 || BackBufferFormat == D3DFMT_A8R8G8B8 ||
                              (bWindowed && BackBufferFormat == D3DFMT_UNKNOWN);
    return AdapterFormat == DesktopMode().Format && backBufferOk ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT Direct3D::CheckDeviceFormat(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat, DWORD Usage,
                                    D3DRESOURCETYPE RType, D3DFORMAT CheckFormat) {
    const HRESULT adapter = CheckAdapter(Adapter, DeviceType);
    if (FAILED(adapter)) return adapter;
    if (AdapterFormat != DesktopMode().Format) return D3DERR_NOTAVAILABLE;
    return IsFormatAccepted(RType, Usage, CheckFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT Direct3D::GetDeviceCaps(UINT Adapter, D3DDEVTYPE DeviceType, D3DCAPS9* pCaps) {
    if (!pCaps) return D3DERR_INVALIDCALL;
    const HRESULT adapter = CheckAdapter(Adapter, DeviceType);
    if (FAILED(adapter)) return adapter;
    *pCaps = BuildCaps(g_settings);
    return D3D_OK;
}

// A null focus window is accepted: the software device never presents to a window.
HRESULT Direct3D::CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND, DWORD BehaviorFlags,
                               D3DPRESENT_PARAMETERS* pPresentationParameters,
                               IDirect3DDevice9** ppReturnedDeviceInterface) {
    if (!ppReturnedDeviceInterface) return D3DERR_INVALIDCALL;
    *ppReturnedDeviceInterface = nullptr;
    const HRESULT adapter = CheckAdapter(Adapter, DeviceType);
    if (FAILED(adapter)) return adapter;
    if (!pPresentationParameters || !HasOneVertexProcessingMode(BehaviorFlags)) return D3DERR_INVALIDCALL;
    D3DPRESENT_PARAMETERS params = *pPresentationParameters;
    if (FAILED(ResolvePresentParameters(params))) {
        std::fprintf(stderr, "Direct3D::CreateDevice: invalid presentation parameters\n");
        return D3DERR_INVALIDCALL;
    }
    const HRESULT hr = CreateSoftwareDevice(this, params, ppReturnedDeviceInterface);
    if (SUCCEEDED(hr)) *pPresentationParameters = params;
    return hr;
}

}  // namespace swdevice::detail

IDirect3D9* Direct3DCreate9(UINT SDKVersion) {
    if (SDKVersion != D3D_SDK_VERSION) return nullptr;
    return new swdevice::detail::Direct3D();
}
