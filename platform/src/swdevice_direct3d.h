// The Direct3D object of the software device: one adapter, one HAL device type.
#pragma once

#include "swdevice_comobject.h"

namespace swdevice::detail {

// The adapter's fixed desktop mode.
D3DDISPLAYMODE DesktopMode();

class Direct3D final : public ComObject<IDirect3D9> {
public:
    Direct3D() : ComObject(nullptr, Owner::Self) {}

    UINT GetAdapterCount() override { return 1; }
    HRESULT GetAdapterDisplayMode(UINT Adapter, D3DDISPLAYMODE* pMode) override;
    HRESULT CheckDeviceType(UINT Adapter, D3DDEVTYPE DevType, D3DFORMAT AdapterFormat, D3DFORMAT BackBufferFormat,
                            BOOL bWindowed) override;
    HRESULT CheckDeviceFormat(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat, DWORD Usage,
                              D3DRESOURCETYPE RType, D3DFORMAT CheckFormat) override;
    HRESULT GetDeviceCaps(UINT Adapter, D3DDEVTYPE DeviceType, D3DCAPS9* pCaps) override;
    HRESULT CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow, DWORD BehaviorFlags,
                         D3DPRESENT_PARAMETERS* pPresentationParameters,
                         IDirect3DDevice9** ppReturnedDeviceInterface) override;
};

}  // namespace swdevice::detail
