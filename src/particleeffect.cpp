#include "particleeffect.h"

#include "Corvantis/cd3dwatch.h"
#include "platform/resources.h"

HMODULE Pyrelune_ModuleHandle();

namespace {

constexpr WORD kParticleEffectResource = 104;
constexpr DWORD kParticleEffectFlags = D3DXSHADER_NO_PRESHADER | D3DXSHADER_PARTIALPRECISION;

// The shared effect of the process: created by the first manager (or the
// host), used by every system, released only by the host. Rendering-thread
// only, no locking.
ID3DXEffect* g_particleEffect = nullptr;

}  // namespace

void CreateParticleSystemDXResources(IDirect3DDevice9* pDevice) {
    if (g_particleEffect) return;
    // Compile errors are recorded by the guard; the text itself is not used.
    ID3DXBuffer* errors = nullptr;
    CD3DWatch::SafeCreateEffectFromResource(__FILE__, __LINE__, pDevice, Pyrelune_ModuleHandle(),
                                            MAKEINTRESOURCEA(kParticleEffectResource), nullptr, nullptr,
                                            kParticleEffectFlags, nullptr, &g_particleEffect, &errors);
    SafeRelease(__FILE__, __LINE__, &errors);
}

void ReleaseParticleSystemDXResources() { SafeRelease(__FILE__, __LINE__, &g_particleEffect); }

ID3DXEffect* GetParticleEffect() { return g_particleEffect; }
