#include "swdevice_surface.h"

#include <atomic>

namespace swdevice::detail {

namespace {

uint64_t NextVersion() {
    static std::atomic<uint64_t> counter{0};
    return ++counter;
}

// Callers only build surfaces of formats FindFormat knows.
const FormatInfo& KnownFormat(D3DFORMAT format) { return *FindFormat(format); }

}  // namespace

Surface::Surface(const ResourceOrigin& origin, const D3DSURFACE_DESC& desc)
    : Surface(origin, desc, SurfaceParent{origin.device, nullptr, nullptr}, Lifetime::Owner::Self) {}

Surface::Surface(const ResourceOrigin& origin, const D3DSURFACE_DESC& desc, const SurfaceParent& parent)
    : Surface(origin, desc, parent, Lifetime::Owner::Container) {}

Surface::Surface(const ResourceOrigin& origin, const D3DSURFACE_DESC& desc, const SurfaceParent& parent,
                 Lifetime::Owner owner)
    : Resource<IDirect3DSurface9>(origin, D3DRTYPE_SURFACE, desc.Pool, owner, parent.container,
                                  parent.bindingParent),
      m_desc(desc),
      m_format(KnownFormat(desc.Format)),
      m_pitch(RowPitch(m_format, desc.Width)),
      m_bytes(size_t(m_pitch) * RowCount(m_format, desc.Height)),
      m_container(parent.container),
      m_texture(parent.texture),
      m_version(NextVersion()) {}

HRESULT Surface::GetContainer(REFIID riid, void** ppContainer) {
    if (!ppContainer) return D3DERR_INVALIDCALL;
    return m_container->QueryInterface(riid, ppContainer);
}

HRESULT Surface::GetDesc(D3DSURFACE_DESC* pDesc) {
    if (!pDesc) return D3DERR_INVALIDCALL;
    *pDesc = m_desc;
    return D3D_OK;
}

// Compressed formats lock whole 4x4 blocks, so the rectangle must fall on block edges.
bool Surface::IsValidLockRect(const RECT& rect) const {
    const LONG block = LONG(BlockDimension(m_format));
    const bool inside = rect.left >= 0 && rect.top >= 0 && rect.left < rect.right && rect.top < rect.bottom &&
                        rect.right <= LONG(m_desc.Width) && rect.bottom <= LONG(m_desc.Height);
    return inside && rect.left % block == 0 && rect.top % block == 0;
}

// Every surface locks, render targets and depth buffers included: hosts read
// pixels back this way (real D3D9 wants GetRenderTargetData for those).
HRESULT Surface::LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) {
    if (!pLockedRect) return D3DERR_INVALIDCALL;
    pLockedRect->pBits = nullptr;
    pLockedRect->Pitch = 0;
    const RECT whole = {0, 0, LONG(m_desc.Width), LONG(m_desc.Height)};
    const RECT& rect = pRect ? *pRect : whole;
    if (m_locked || !IsValidLockRect(rect)) return D3DERR_INVALIDCALL;
    const UINT block = BlockDimension(m_format);
    m_locked = true;
    m_lockedReadOnly = (Flags & D3DLOCK_READONLY) != 0;
    pLockedRect->Pitch = INT(m_pitch);
    pLockedRect->pBits = Texel(UINT(rect.left) / block, UINT(rect.top) / block);
    return D3D_OK;
}

HRESULT Surface::UnlockRect() {
    if (!m_locked) return D3DERR_INVALIDCALL;
    m_locked = false;
    if (!m_lockedReadOnly) MarkModified();
    return D3D_OK;
}

void Surface::MarkModified() {
    m_version = NextVersion();
    if (m_texture) m_texture->GenerateMipSubLevels();
}

}  // namespace swdevice::detail
