// ID3DXBuffer: a reference-counted block of bytes (compile errors, and
// whatever else D3DX hands back to its caller).
#include "d3dxbuffer.h"

#include <cstring>
#include <new>
#include <vector>

#include "platform/d3d9iids.h"
#include "swdevice_comobject.h"

const IID IID_ID3DXBuffer = {0x8BA5FB08, 0x5195, 0x40E2, {0xAC, 0x58, 0x0D, 0x98, 0x9C, 0x3A, 0x01, 0x02}};

template <>
bool swdevice::detail::IsInInterfaceChain<ID3DXBuffer>(REFIID riid) {
    return std::memcmp(&riid, &IID_IUnknown, sizeof(IID)) == 0 ||
           std::memcmp(&riid, &IID_ID3DXBuffer, sizeof(IID)) == 0;
}

namespace {

class D3DXBuffer final : public swdevice::detail::ComObject<ID3DXBuffer> {
public:
    explicit D3DXBuffer(DWORD size) : ComObject(nullptr, Owner::Self), m_bytes(size) {}

    LPVOID GetBufferPointer() override { return m_bytes.data(); }
    DWORD GetBufferSize() override { return static_cast<DWORD>(m_bytes.size()); }

private:
    std::vector<unsigned char> m_bytes;
};

}  // namespace

HRESULT WINAPI D3DXCreateBuffer(DWORD NumBytes, LPD3DXBUFFER* ppBuffer) {
    if (!ppBuffer) return D3DERR_INVALIDCALL;
    *ppBuffer = nullptr;
    try {
        *ppBuffer = new D3DXBuffer(NumBytes);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}

HRESULT CreateTextBuffer(const std::string& text, LPD3DXBUFFER* ppBuffer) {
    const HRESULT hr = D3DXCreateBuffer(static_cast<DWORD>(text.size() + 1), ppBuffer);
    if (SUCCEEDED(hr)) std::memcpy((*ppBuffer)->GetBufferPointer(), text.c_str(), text.size() + 1);
    return hr;
}
