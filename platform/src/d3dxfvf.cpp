#include "platform/d3dxfvf.h"

#include <algorithm>

namespace {

constexpr UINT kFloat = 4;

// Position bytes indexed by (FVF & 0xE) >> 1: none, XYZ, XYZRHW, XYZB1..XYZB5.
constexpr UINT kPositionSizes[] = {0, 12, 16, 16, 20, 24, 28, 32};
static_assert(sizeof(kPositionSizes) / sizeof(kPositionSizes[0]) == 8, "one row per position code");

// Texture coordinate bytes indexed by the two-bit D3DFVF_TEXTUREFORMATn code.
constexpr UINT kTexCoordSizes[] = {
    2 * kFloat,  // D3DFVF_TEXTUREFORMAT2
    3 * kFloat,  // D3DFVF_TEXTUREFORMAT3
    4 * kFloat,  // D3DFVF_TEXTUREFORMAT4
    1 * kFloat,  // D3DFVF_TEXTUREFORMAT1
};
static_assert(sizeof(kTexCoordSizes) / sizeof(kTexCoordSizes[0]) == 4, "one row per two-bit format code");

UINT PositionSize(DWORD fvf) {
    if ((fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZW) return 4 * kFloat;
    return kPositionSizes[(fvf & 0xE) >> 1];
}

UINT TexCoordSetsSize(DWORD fvf) {
    // Counts above eight are not valid FVFs; the cap keeps the shift inside the DWORD.
    const DWORD count = std::min<DWORD>((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT, 8);
    UINT size = 0;
    for (DWORD set = 0; set < count; ++set) size += kTexCoordSizes[(fvf >> (16 + 2 * set)) & 3];
    return size;
}

}  // namespace

UINT WINAPI D3DXGetFVFVertexSize(DWORD FVF) {
    UINT size = PositionSize(FVF) + TexCoordSetsSize(FVF);
    if (FVF & D3DFVF_NORMAL) size += 3 * kFloat;
    if (FVF & D3DFVF_PSIZE) size += kFloat;
    if (FVF & D3DFVF_DIFFUSE) size += sizeof(D3DCOLOR);
    if (FVF & D3DFVF_SPECULAR) size += sizeof(D3DCOLOR);
    return size;
}
