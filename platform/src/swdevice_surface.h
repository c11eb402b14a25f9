// Surfaces: texture levels, the back buffer, render targets and
// depth-stencil surfaces. Every surface owns its texels and can be locked.
#pragma once

#include <cstdint>
#include <vector>

#include "swdevice_formats.h"
#include "swdevice_resource.h"

namespace swdevice::detail {

// A surface that is level 0 of an AUTOGENMIPMAP texture tells the texture
// after each change so that the lower levels follow.
struct SurfaceParent {
    IUnknown* container;          // GetContainer answers for it; holds it while referenced
    Lifetime* bindingParent;      // where bindings go (the texture), or null
    IDirect3DBaseTexture9* texture;  // null for surfaces outside a texture
};

class Surface final : public Resource<IDirect3DSurface9> {
public:
    // Self-owned: a render target or depth-stencil surface the app created.
    Surface(const ResourceOrigin& origin, const D3DSURFACE_DESC& desc);
    // Owned by a texture or by the device (the back buffer, the automatic depth stencil).
    Surface(const ResourceOrigin& origin, const D3DSURFACE_DESC& desc, const SurfaceParent& parent);

    HRESULT GetContainer(REFIID riid, void** ppContainer) override;
    HRESULT GetDesc(D3DSURFACE_DESC* pDesc) override;
    HRESULT LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) override;
    HRESULT UnlockRect() override;

    const D3DSURFACE_DESC& Description() const { return m_desc; }
    const FormatInfo& Format() const { return m_format; }
    UINT Pitch() const { return m_pitch; }
    BYTE* Texel(UINT x, UINT y) { return m_bytes.data() + size_t(y) * m_pitch + size_t(x) * m_format.blockBytes; }
    // Called after the texels changed outside a lock (Clear, drawing).
    void MarkModified();
    // Changes whenever the texels may have changed; never repeats within the
    // process, so a new surface never matches a copy of an old one.
    uint64_t Version() const { return m_version; }

private:
    Surface(const ResourceOrigin& origin, const D3DSURFACE_DESC& desc, const SurfaceParent& parent,
            Lifetime::Owner owner);
    bool IsValidLockRect(const RECT& rect) const;

    D3DSURFACE_DESC m_desc;
    const FormatInfo& m_format;
    UINT m_pitch;
    std::vector<BYTE> m_bytes;
    IUnknown* m_container;
    IDirect3DBaseTexture9* m_texture;
    bool m_locked = false;
    bool m_lockedReadOnly = false;
    uint64_t m_version;
};

}  // namespace swdevice::detail
