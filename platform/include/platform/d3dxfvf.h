// D3DX helpers for flexible vertex formats.
#pragma once

#include "platform/d3d9types.h"
#include "platform/export.h"

// Bytes per vertex of an FVF: position (12, XYZRHW/XYZW 16, XYZBn 12 + 4n),
// normal 12, point size 4, diffuse 4, specular 4, then each texture
// coordinate set by its D3DFVF_TEXCOORDSIZEn (two floats by default).
PLATFORM_API UINT WINAPI D3DXGetFVFVertexSize(DWORD FVF);
