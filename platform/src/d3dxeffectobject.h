// The effect object behind ID3DXEffect, for the creation functions and for
// the software device, which reaches a bound pass's shader context here.
#pragma once

#include "d3dxeffectparser.h"
#include "effectpassbinding.h"
#include "platform/d3dxeffect.h"
#include "platform/nativeshader.h"

// Takes over a description whose shader functions are all registered.
HRESULT CreateEffectObject(IDirect3DDevice9* device, effectparser::EffectDescription description,
                           ID3DXEffect** ppEffect);

// The parameters and samplers the shaders of a bound pass read; null for a
// binding that no effect made.
const ShaderContext* PassShaderContext(const IEffectPassBinding* pass);
