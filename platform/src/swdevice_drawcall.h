// A validated draw: what the device hands to the draw log and the rasteriser.
#pragma once

#include <array>

#include "effectpassbinding.h"
#include "swdevice_bindings.h"
#include "swdevice_state.h"

namespace swdevice::detail {

// The arguments of one draw call, whichever of the three entry points made it.
struct DrawRequest {
    D3DPRIMITIVETYPE type = D3DPT_POINTLIST;
    UINT primitiveCount = 0;
    bool indexed = false;
    UINT startVertex = 0;
    INT baseVertexIndex = 0;
    UINT minVertexIndex = 0;
    UINT numVertices = 0;
    UINT startIndex = 0;
    const void* userVertices = nullptr;  // DrawPrimitiveUP only, with userStride
    UINT userStride = 0;
};

// Everything a rasteriser needs. Pointers are valid for the call only.
struct DrawCall {
    DrawRecord record;
    UINT vertexSize = 0;                    // bytes the FVF reads per vertex
    const BYTE* vertices = nullptr;         // vertex 0 of the stream, offset applied
    UINT vertexStride = 0;
    const BYTE* indices = nullptr;          // index startIndex, or null
    UINT indexSize = 0;
    Surface* renderTarget = nullptr;
    Surface* depthStencil = nullptr;
    std::array<Texture*, kSamplers> textures{};
    const IEffectPassBinding* pass = nullptr;
    D3DMATERIAL9 material{};
};

DrawCall AssembleDrawCall(const DrawRequest& request, const DeviceState& state, const DeviceBindings& bindings,
                          const IEffectPassBinding* pass);

}  // namespace swdevice::detail
