// Native implementations of the particle effect's shader functions
// (particles.fx), registered under their HLSL names when the library loads.
// Each follows its HLSL function operation for operation, so that float
// results match the order of the original arithmetic.
#include <algorithm>

#include <platform/nativeshader.h>

namespace {

// Scene texture size that the distortion's half-texel offsets assume.
constexpr float kSceneWidth = 1600.0f;
constexpr float kSceneHeight = 1200.0f;
constexpr float kDistortionScale = 0.025f;

float Saturate(float value) { return std::clamp(value, 0.0f, 1.0f); }

D3DXVECTOR4 Transform(const D3DXVECTOR4& vector, const D3DXMATRIX& matrix) {
    D3DXVECTOR4 result;
    D3DXVec4Transform(&result, &vector, &matrix);
    return result;
}

D3DXVECTOR4 AsPoint(const D3DXVECTOR4& vector) { return D3DXVECTOR4(vector.x, vector.y, vector.z, 1.0f); }

D3DXVECTOR4 Modulate(const D3DXVECTOR4& a, const D3DXVECTOR4& b) {
    return D3DXVECTOR4(a.x * b.x, a.y * b.y, a.z * b.z, a.w * b.w);
}

D3DXVECTOR4 SampleAt(const ShaderContext& context, const char* sampler, const D3DXVECTOR4& coordinate,
                     const PixelInput& in) {
    return context.Sample(sampler, coordinate.x, coordinate.y, in.footprintLog2);
}

// The world position; writes the clip position and passes colour and
// texture coordinate through, as both vertex shaders do.
D3DXVECTOR4 TransformBillboardVertex(const ShaderContext& context, const VertexInput& in, VertexOutput& out) {
    const D3DXVECTOR4 world = Transform(in.position, context.Matrix("mWorld"));
    out.position = Transform(world, context.Matrix("mViewProj"));
    out.texcoord[0] = in.texcoord[0];
    out.color[0] = in.color[0];
    return world;
}

void VsDiffuseShadow(const ShaderContext& context, const VertexInput& in, VertexOutput& out) {
    const D3DXVECTOR4 world = TransformBillboardVertex(context, in, out);
    const D3DXVECTOR4 shadow = Transform(AsPoint(world), context.Matrix("mStaticShadowMap"));
    out.texcoord[1] = shadow / shadow.w;
}

void PsDiffuseShadow(const ShaderContext& context, const PixelInput& in, D3DXVECTOR4& colour) {
    D3DXVECTOR4 diffuse = SampleAt(context, "sDiffuseTex", in.texcoord[0], in);
    const float shadowSample = SampleAt(context, "sStaticShadow", in.texcoord[1], in).x;
    const float shadow = Saturate(shadowSample + context.Float("fShadowIntensity"));
    diffuse.x *= shadow;
    diffuse.y *= shadow;
    diffuse.z *= shadow;
    colour = Modulate(diffuse, in.color[0]);
}

void VsDistort(const ShaderContext& context, const VertexInput& in, VertexOutput& out) {
    const D3DXVECTOR4 world = TransformBillboardVertex(context, in, out);
    D3DXVECTOR4 screen = Transform(AsPoint(world), context.Matrix("mViewProj"));
    screen.x *= 0.5f;
    screen.y *= -0.5f;
    out.texcoord[1] = screen;
}

// Distortion direction from the texture's red and green, scaled by alpha.
float Displacement(float channel, float alpha) { return (channel * 2.0f - 1.0f) * alpha * kDistortionScale; }

float Transparency(float colour, float textureAlpha, float alpha) {
    return Saturate(colour + (1.0f - std::min(textureAlpha, alpha)));
}

void PsDistort(const ShaderContext& context, const PixelInput& in, D3DXVECTOR4& colour) {
    const D3DXVECTOR4 screen = in.texcoord[1] / in.texcoord[1].w;
    const float u = (screen.x + 0.5f) + 0.5f / kSceneWidth;
    const float v = (screen.y + 0.5f) + 0.5f / kSceneHeight;
    const D3DXVECTOR4 diffuse = SampleAt(context, "sDiffuseTex", in.texcoord[0], in);
    const D3DXVECTOR4& tint = in.color[0];
    const D3DXVECTOR4 scene = context.Sample("sSceneTex", u + Displacement(diffuse.x, tint.w),
                                             v + Displacement(diffuse.y, tint.w), in.footprintLog2);
    colour = D3DXVECTOR4(scene.x * Transparency(tint.x, diffuse.w, tint.w),
                         scene.y * Transparency(tint.y, diffuse.w, tint.w),
                         scene.z * Transparency(tint.z, diffuse.w, tint.w), 1.0f);
}

const NativeShaderEntry kParticleShaders[] = {
    {"VS_DIFFUSESHADOW", VsDiffuseShadow, nullptr},
    {"PS_DIFFUSESHADOW", nullptr, PsDiffuseShadow},
    {"VS_DISTORT", VsDistort, nullptr},
    {"PS_DISTORT", nullptr, PsDistort},
    {nullptr, nullptr, nullptr},
};

// Registered while the library is loaded.
const NativeShaderRegistrar kParticleShaderRegistrar(kParticleShaders);

}  // namespace
