#include "swdevice_buffers.h"

#include <cstdio>

namespace swdevice::detail {

namespace {

// The one range check of every buffer lock: size 0 means "to the end".
bool LockRangeFits(UINT bufferSize, UINT offset, UINT size) {
    return offset < bufferSize && uint64_t(offset) + size <= bufferSize;
}

}  // namespace

template <class Interface, class Desc>
Buffer<Interface, Desc>::Buffer(const ResourceOrigin& origin, const Desc& desc)
    : Resource<Interface>(origin, desc.Type, desc.Pool, Lifetime::Owner::Self, origin.device),
      m_desc(desc),
      m_bytes(desc.Size) {}

// Real D3D9 allows nested locks and clamps some ranges; we refuse both, so
// that a caller's mistake shows up as D3DERR_INVALIDCALL instead of a stray pointer.
template <class Interface, class Desc>
HRESULT Buffer<Interface, Desc>::Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) {
    if (!ppbData) return D3DERR_INVALIDCALL;
    *ppbData = nullptr;
    if (m_locked || !LockRangeFits(m_desc.Size, OffsetToLock, SizeToLock)) {
        std::fprintf(stderr, "Buffer::Lock: offset %u size %u of a %u-byte buffer refused%s\n", OffsetToLock,
                     SizeToLock, m_desc.Size, m_locked ? " (already locked)" : "");
        return D3DERR_INVALIDCALL;
    }
    (void)Flags;  // D3DLOCK_DISCARD keeps the old bytes; READONLY is not enforced
    m_locked = true;
    *ppbData = m_bytes.data() + OffsetToLock;
    return D3D_OK;
}

template <class Interface, class Desc>
HRESULT Buffer<Interface, Desc>::Unlock() {
    if (!m_locked) return D3DERR_INVALIDCALL;
    m_locked = false;
    return D3D_OK;
}

template <class Interface, class Desc>
HRESULT Buffer<Interface, Desc>::GetDesc(Desc* pDesc) {
    if (!pDesc) return D3DERR_INVALIDCALL;
    *pDesc = m_desc;
    return D3D_OK;
}

template class Buffer<IDirect3DVertexBuffer9, D3DVERTEXBUFFER_DESC>;
template class Buffer<IDirect3DIndexBuffer9, D3DINDEXBUFFER_DESC>;

UINT IndexSize(D3DFORMAT format) {
    if (format == D3DFMT_INDEX16) return 2;
    if (format == D3DFMT_INDEX32) return 4;
    return 0;
}

}  // namespace swdevice::detail
