#include "platform/d3d9iids.h"

#include "swdevice_comobject.h"

#include <cstring>
#include <initializer_list>

#include "platform/d3d9interfaces.h"

// One family of identifiers: Data1 counts up, the rest is shared.
#define SWD_IID(n) {0x5D3D9000u + (n), 0x5EC0, 0x4A11, {0x9F, 0x31, 0x50, 0x46, 0x54, 0x44, 0x33, 0x39}}

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IDirect3D9 = SWD_IID(1);
const IID IID_IDirect3DDevice9 = SWD_IID(2);
const IID IID_IDirect3DResource9 = SWD_IID(3);
const IID IID_IDirect3DBaseTexture9 = SWD_IID(4);
const IID IID_IDirect3DTexture9 = SWD_IID(5);
const IID IID_IDirect3DSurface9 = SWD_IID(6);
const IID IID_IDirect3DVertexBuffer9 = SWD_IID(7);
const IID IID_IDirect3DIndexBuffer9 = SWD_IID(8);

namespace swdevice::detail {

namespace {

bool SameIid(REFIID a, REFIID b) { return std::memcmp(&a, &b, sizeof(IID)) == 0; }

bool MatchesAny(REFIID riid, std::initializer_list<const IID*> chain) {
    for (const IID* iid : chain) {
        if (SameIid(riid, *iid)) return true;
    }
    return false;
}

}  // namespace

template <>
bool IsInInterfaceChain<IDirect3D9>(REFIID riid) {
    return MatchesAny(riid, {&IID_IUnknown, &IID_IDirect3D9});
}

template <>
bool IsInInterfaceChain<IDirect3DDevice9>(REFIID riid) {
    return MatchesAny(riid, {&IID_IUnknown, &IID_IDirect3DDevice9});
}

template <>
bool IsInInterfaceChain<IDirect3DTexture9>(REFIID riid) {
    return MatchesAny(riid, {&IID_IUnknown, &IID_IDirect3DResource9, &IID_IDirect3DBaseTexture9,
                             &IID_IDirect3DTexture9});
}

template <>
bool IsInInterfaceChain<IDirect3DSurface9>(REFIID riid) {
    return MatchesAny(riid, {&IID_IUnknown, &IID_IDirect3DResource9, &IID_IDirect3DSurface9});
}

template <>
bool IsInInterfaceChain<IDirect3DVertexBuffer9>(REFIID riid) {
    return MatchesAny(riid, {&IID_IUnknown, &IID_IDirect3DResource9, &IID_IDirect3DVertexBuffer9});
}

template <>
bool IsInInterfaceChain<IDirect3DIndexBuffer9>(REFIID riid) {
    return MatchesAny(riid, {&IID_IUnknown, &IID_IDirect3DResource9, &IID_IDirect3DIndexBuffer9});
}

}  // namespace swdevice::detail
