// Native implementations of the wave effects' shader functions.
#include "Undrelle/waveshaders.h"

namespace WaveShaders {

namespace {

// How often the fine noise repeats across the height map, in each direction.
constexpr float kFineNoiseTiling = 16.0f;

// Both effects draw a quad that covers the whole target from its texture
// coordinates alone, whatever its positions say.
D3DXVECTOR4 TargetPosition(const D3DXVECTOR4& texcoord) {
    return D3DXVECTOR4(texcoord.x * 2.0f - 1.0f, 1.0f - texcoord.y * 2.0f, 1.0f, 1.0f);
}

D3DXVECTOR4 TexCoord(float u, float v) { return D3DXVECTOR4(u, v, 0.0f, 0.0f); }

// A unit vector in [-1, 1] as a colour in [0, 1], opaque.
D3DXVECTOR4 NormalColour(const D3DXVECTOR3& normal) {
    const D3DXVECTOR3 colour = (normal + D3DXVECTOR3(1.0f, 1.0f, 1.0f)) * 0.5f;
    return D3DXVECTOR4(colour, 1.0f);
}

float Height(const ShaderContext& context, const D3DXVECTOR4& texcoord, float footprintLog2) {
    return context.Sample("sHeightMap", texcoord.x, texcoord.y, footprintLog2).x;
}

D3DXVECTOR3 Cross(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    D3DXVECTOR3 result;
    D3DXVec3Cross(&result, &a, &b);
    return result;
}

}  // namespace

void HeightMapVS(const ShaderContext& /*context*/, const VertexInput& in, VertexOutput& out) {
    const D3DXVECTOR4& uv = in.texcoord[0];
    out.position = TargetPosition(uv);
    out.fog = 1.0f;
    out.texcoord[0] = TexCoord(uv.x, uv.y);
    out.texcoord[1] = TexCoord(uv.x * kFineNoiseTiling, uv.y * kFineNoiseTiling);
}

// Mid-grey in both noise textures stands for zero, hence the 0.5.
void HeightMapPS(const ShaderContext& context, const PixelInput& in, D3DXVECTOR4& colour) {
    const D3DXVECTOR4 coarse = context.Sample("sNoise0", in.texcoord[0].x, in.texcoord[0].y, in.footprintLog2);
    const D3DXVECTOR4 fine = context.Sample("sNoise1", in.texcoord[1].x, in.texcoord[1].y, in.footprintLog2);
    colour = coarse + fine - D3DXVECTOR4(0.5f, 0.5f, 0.5f, 0.5f);
}

// t0 the centre, then its left, upper, right and lower neighbours.
void NormalMapVS(const ShaderContext& context, const VertexInput& in, VertexOutput& out) {
    const D3DXVECTOR4& uv = in.texcoord[0];
    const float scale = context.Float("fScale");
    const float du = context.Float("fInvMapWidth") * scale;
    const float dv = context.Float("fInvMapHeight") * scale;
    out.position = TargetPosition(uv);
    out.texcoord[0] = TexCoord(uv.x, uv.y);
    out.texcoord[1] = TexCoord(uv.x - du, uv.y);
    out.texcoord[2] = TexCoord(uv.x, uv.y - dv);
    out.texcoord[3] = TexCoord(uv.x + du, uv.y);
    out.texcoord[4] = TexCoord(uv.x, uv.y + dv);
}

void NormalMapPS(const ShaderContext& context, const PixelInput& in, D3DXVECTOR4& colour) {
    const D3DXVECTOR4& t0 = in.texcoord[0];
    const float h0 = Height(context, t0, in.footprintLog2);
    D3DXVECTOR3 offsets[4];
    for (int k = 0; k < 4; ++k) {
        const D3DXVECTOR4& tk = in.texcoord[k + 1];
        offsets[k] = D3DXVECTOR3(tk.x - t0.x, tk.y - t0.y, Height(context, tk, in.footprintLog2) - h0);
    }
    const float strength = context.Float("fNormalStrength");
    D3DXVECTOR3 normal = NeighbourCrossSum(offsets);
    normal = D3DXVECTOR3(normal.x * strength, normal.y * strength, normal.z);
    D3DXVec3Normalize(&normal, &normal);
    colour = NormalColour(normal);
}

void GridNormalVS(const ShaderContext& /*context*/, const VertexInput& in, VertexOutput& out) {
    out.position = TargetPosition(in.texcoord[0]);
    out.color[0] = NormalColour(D3DXVECTOR3(in.normal.x, in.normal.y, in.normal.z));
}

void GridNormalPS(const ShaderContext& /*context*/, const PixelInput& in, D3DXVECTOR4& colour) {
    colour = in.color[0];
}

D3DXVECTOR3 NeighbourCrossSum(const D3DXVECTOR3 (&offsets)[4]) {
    return Cross(offsets[0], offsets[1]) + Cross(offsets[1], offsets[2]) + Cross(offsets[2], offsets[3]) +
           Cross(offsets[3], offsets[0]);
}

namespace {

const NativeShaderEntry kWaveShaders[] = {
    {"HeightMapVS", HeightMapVS, nullptr},   {"HeightMapPS", nullptr, HeightMapPS},
    {"NormalMapVS", NormalMapVS, nullptr},   {"NormalMapPS", nullptr, NormalMapPS},
    {"GridNormalVS", GridNormalVS, nullptr}, {"GridNormalPS", nullptr, GridNormalPS},
    {nullptr, nullptr, nullptr},
};

// Registered while the library is loaded.
const NativeShaderRegistrar kWaveShaderRegistrar(kWaveShaders);

}  // namespace

}  // namespace WaveShaders
