// Base of every object that owns default-pool device resources.
#pragma once

#include "Corvantis/corvantis_export.h"

// The host (or the guard) calls OnLostDevice before a device reset and
// OnRestoreDevice after it; the libraries never call them through this base.
class CORVANTIS_API CDeviceRestorable {
public:
    CDeviceRestorable() = default;
    CDeviceRestorable(const CDeviceRestorable&) = default;
    CDeviceRestorable& operator=(const CDeviceRestorable&) = default;
    virtual ~CDeviceRestorable();

    // Releases default-pool resources.
    virtual void OnLostDevice() = 0;
    // Creates them again.
    virtual void OnRestoreDevice() = 0;
};
