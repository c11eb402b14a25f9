// The device's implicit swap chain: presentation parameters, the back
// buffer and the automatic depth-stencil surface, and device loss.
#pragma once

#include <memory>

#include "swdevice_surface.h"

namespace swdevice::detail {

// Fills in what D3D9 chooses for a windowed device (format D3DFMT_UNKNOWN:
// the desktop's; size 0: 640x480 since there may be no window to measure)
// and checks the rest. Writes into params only when they are valid.
HRESULT ResolvePresentParameters(D3DPRESENT_PARAMETERS& params);

struct SwapChainSurfaces {
    std::unique_ptr<Surface> backBuffer;
    std::unique_ptr<Surface> depthStencil;  // null without EnableAutoDepthStencil
};

// Owned by the device (it is their container); may throw std::bad_alloc.
SwapChainSurfaces CreateSwapChainSurfaces(const D3DPRESENT_PARAMETERS& params, IDirect3DDevice9* device);

// Operational → (SimulateDeviceLoss) lost → not reset → (Reset) operational.
class CooperativeLevel {
public:
    void Lose(UINT lostReports);
    HRESULT Test();
    bool IsLost() const { return m_state != State::Operational; }
    void ResetFailed() { m_state = State::NotReset; }
    void ResetSucceeded() { m_state = State::Operational; }

private:
    enum class State { Operational, Lost, NotReset };
    State m_state = State::Operational;
    UINT m_lostReports = 0;
};

}  // namespace swdevice::detail
