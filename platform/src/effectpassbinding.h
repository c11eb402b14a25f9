// The link between D3DX effects and the software device, inside the platform
// library. An effect binds its current pass to the device in BeginPass (and
// again in CommitChanges) and unbinds it in EndPass; a draw made while a pass
// is bound records the pass and, once the device rasterises, runs the pass's
// shader functions.
#pragma once

#include "platform/wintypes.h"

struct IDirect3DDevice9;

class IEffectPassBinding {
public:
    virtual ~IEffectPassBinding() = default;
    virtual const char* TechniqueName() const = 0;
    virtual UINT PassIndex() const = 0;
    // Names of the shader functions the pass compiles ("" when it has none).
    virtual const char* VertexShaderName() const = 0;
    virtual const char* PixelShaderName() const = 0;
};

// Binds a pass to the device (null unbinds). Devices that are not the
// software device ignore it. The binding must outlive its use: the effect
// unbinds before the pass object goes away.
void BindEffectPass(IDirect3DDevice9* device, const IEffectPassBinding* pass);
