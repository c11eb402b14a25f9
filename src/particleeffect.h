// The effect that every particle system of the process shares: distortion
// ("Distort") and shadow-mapped ("DiffuseShadow") drawing of billboards.
#pragma once

#include <d3dx9.h>

#include "UtilsSrc/pyrelune_api.h"

// Creates the shared effect from the library's resource unless it exists.
// On failure the effect stays null (the guard records why) and systems draw
// with the fixed-function pipeline.
PYRELUNE_API void CreateParticleSystemDXResources(IDirect3DDevice9* pDevice);
// Releases the shared effect; harmless when there is none. A host that
// resets the device calls it before the reset and creates the effect again
// afterwards.
PYRELUNE_API void ReleaseParticleSystemDXResources();
// The shared effect without an added reference; null until created and
// after release.
PYRELUNE_API ID3DXEffect* GetParticleEffect();
