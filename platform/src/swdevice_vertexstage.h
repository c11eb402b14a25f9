// Vertex processing: reads FVF vertices from the draw's stream and runs the
// fixed-function transform, lighting and point sizing, or the bound effect
// pass's native vertex shader.
#pragma once

#include <vector>

#include "swdevice_drawcall.h"
#include "swdevice_rastertypes.h"

namespace swdevice::detail {

// Where each element of an FVF vertex lies; -1 when the FVF lacks it.
struct FvfLayout {
    int positionFloats = 3;  // 4 for XYZRHW and XYZW
    bool pretransformed = false;  // XYZRHW: positions are already in pixels, w holds rhw
    int normal = -1;
    int pointSize = -1;
    int diffuse = -1;
    int specular = -1;
    int texcoordSets = 0;
    std::array<int, 8> texcoord{};
    std::array<int, 8> texcoordFloats{};
};

FvfLayout DescribeFvf(DWORD fvf);

// The vertex shader of the bound pass, or null for the fixed-function pipeline.
struct VertexProgram {
    NativeVertexShader shader = nullptr;
    const ShaderContext* context = nullptr;
};

// Processes stream vertices [first, first + count) into out[0, count).
// Pre-transformed vertices keep their screen position (x, y, z, rhw).
void ProcessVertices(const DrawCall& call, const FvfLayout& layout, const VertexProgram& program, UINT first,
                     UINT count, std::vector<VertexOutput>& out);

}  // namespace swdevice::detail
