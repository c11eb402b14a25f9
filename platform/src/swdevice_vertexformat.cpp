#include "swdevice_vertexformat.h"

#include "platform/d3dxfvf.h"

namespace swdevice::detail {

namespace {

constexpr DWORD kKnownBits = D3DFVF_POSITION_MASK | D3DFVF_NORMAL | D3DFVF_PSIZE | D3DFVF_DIFFUSE |
                             D3DFVF_SPECULAR | D3DFVF_TEXCOUNT_MASK | D3DFVF_LASTBETA_UBYTE4 |
                             D3DFVF_LASTBETA_D3DCOLOR | 0xFFFF0000u;

// A position code the runtime knows: XYZ, XYZRHW, XYZB1..5 or XYZW.
bool HasKnownPosition(DWORD fvf) {
    const DWORD position = fvf & D3DFVF_POSITION_MASK;
    if (position == D3DFVF_XYZW) return true;
    return position != 0 && (position & 0x4000) == 0;
}

}  // namespace

UINT FvfVertexSize(DWORD fvf) {
    const UINT sets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    if ((fvf & ~kKnownBits) || !HasKnownPosition(fvf) || sets > 8) return 0;
    return D3DXGetFVFVertexSize(fvf);
}

uint64_t VerticesForPrimitives(D3DPRIMITIVETYPE type, UINT primitiveCount) {
    const uint64_t n = primitiveCount;
    switch (type) {
        case D3DPT_POINTLIST: return n;
        case D3DPT_LINELIST: return 2 * n;
        case D3DPT_LINESTRIP: return n + 1;
        case D3DPT_TRIANGLELIST: return 3 * n;
        case D3DPT_TRIANGLESTRIP:
        case D3DPT_TRIANGLEFAN: return n + 2;
        default: return 0;
    }
}

}  // namespace swdevice::detail
