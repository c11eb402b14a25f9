// Native implementations of the wave effects' shader functions
// (heightmap.fx and normalmap.fx), registered under their HLSL names when
// the library loads. Each is a pure function of its inputs, the effect's
// parameters and its samplers, following its HLSL function step by step.
#pragma once

#include "Undrelle/undrelle_api.h"
#include "platform/d3dxmath.h"
#include "platform/nativeshader.h"

namespace WaveShaders {

// Technique "T1X": the height map from the coarse and the tiled fine noise.
UNDRELLE_API void HeightMapVS(const ShaderContext& context, const VertexInput& in, VertexOutput& out);
UNDRELLE_API void HeightMapPS(const ShaderContext& context, const PixelInput& in, D3DXVECTOR4& colour);

// Technique "T20": the normal map from five height-map samples.
UNDRELLE_API void NormalMapVS(const ShaderContext& context, const VertexInput& in, VertexOutput& out);
UNDRELLE_API void NormalMapPS(const ShaderContext& context, const PixelInput& in, D3DXVECTOR4& colour);

// Technique "T10": the normal map from grid vertices whose normals the CPU made.
UNDRELLE_API void GridNormalVS(const ShaderContext& context, const VertexInput& in, VertexOutput& out);
UNDRELLE_API void GridNormalPS(const ShaderContext& context, const PixelInput& in, D3DXVECTOR4& colour);

// The surface normal around a point, unnormalised: the sum of the cross
// products of consecutive neighbour offsets (left, up, right, down), each
// offset being (step in u, step in v, height difference to the centre).
// Shared by "T20" and the CPU grid so that both give the same slopes.
UNDRELLE_API D3DXVECTOR3 NeighbourCrossSum(const D3DXVECTOR3 (&offsets)[4]);

}  // namespace WaveShaders
