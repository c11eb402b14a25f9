// Flexible vertex formats and primitive topologies.
#pragma once

#include <cstdint>

#include "platform/d3d9types.h"

namespace swdevice::detail {

// Bytes per vertex of an FVF (D3DXGetFVFVertexSize), or 0 when the runtime
// would refuse the FVF: no or unknown position, unknown bits, over 8 sets.
UINT FvfVertexSize(DWORD fvf);

// Vertices (or indices) that primitiveCount primitives of the type use; 0
// for an unknown type.
uint64_t VerticesForPrimitives(D3DPRIMITIVETYPE type, UINT primitiveCount);

}  // namespace swdevice::detail
