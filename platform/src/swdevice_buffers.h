// Vertex and index buffers: a block of bytes with one lock at a time.
#pragma once

#include <vector>

#include "swdevice_resource.h"

namespace swdevice::detail {

// Desc is D3DVERTEXBUFFER_DESC or D3DINDEXBUFFER_DESC; Size is the byte length.
template <class Interface, class Desc>
class Buffer final : public Resource<Interface> {
public:
    Buffer(const ResourceOrigin& origin, const Desc& desc);

    HRESULT Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) override;
    HRESULT Unlock() override;
    HRESULT GetDesc(Desc* pDesc) override;

    const Desc& Description() const { return m_desc; }
    const BYTE* Data() const { return m_bytes.data(); }
    UINT Size() const { return m_desc.Size; }

private:
    Desc m_desc;
    std::vector<BYTE> m_bytes;
    bool m_locked = false;
};

using VertexBuffer = Buffer<IDirect3DVertexBuffer9, D3DVERTEXBUFFER_DESC>;
using IndexBuffer = Buffer<IDirect3DIndexBuffer9, D3DINDEXBUFFER_DESC>;

// Bytes per index of D3DFMT_INDEX16 / D3DFMT_INDEX32; 0 for any other format.
UINT IndexSize(D3DFORMAT format);

}  // namespace swdevice::detail
