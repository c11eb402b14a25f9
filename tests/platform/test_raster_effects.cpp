// Draws inside a bound effect pass run the pass's native shaders, with the
// effect's parameters and samplers; blending still follows the device.
#include <string>

#include "platform/d3dxeffect.h"
#include "platform/nativeshader.h"
#include "raster_support.h"

namespace {

// Positions are clip space already; texture coordinates pass through.
void PassThroughVertexShader(const ShaderContext&, const VertexInput& in, VertexOutput& out) {
    out.position = in.position;
    out.texcoord[0] = in.texcoord[0];
}

void TintPixelShader(const ShaderContext& context, const PixelInput&, D3DXVECTOR4& colour) {
    colour = context.Vector("vTint");
}

void TexturePixelShader(const ShaderContext& context, const PixelInput& in, D3DXVECTOR4& colour) {
    colour = context.Sample("sTex", in.texcoord[0].x, in.texcoord[0].y, in.footprintLog2);
}

const NativeShaderEntry kRasterShaders[] = {
    {"VS_RASTER_PASS", PassThroughVertexShader, nullptr},
    {"PS_RASTER_TINT", nullptr, TintPixelShader},
    {"PS_RASTER_TEXTURE", nullptr, TexturePixelShader},
    {nullptr, nullptr, nullptr},
};
const NativeShaderRegistrar kRasterShaderRegistrar(kRasterShaders);

const char kEffect[] = R"(
float4 vTint = float4(0.0, 1.0, 0.0, 0.5);
texture Tex;
sampler sTex = sampler_state { Texture = <Tex>; MinFilter = Point; MagFilter = Point; AddressU = Clamp; };
float4 VS_RASTER_PASS(float4 p : POSITION) : POSITION { return p; }
float4 PS_RASTER_TINT() : COLOR0 { return vTint; }
float4 PS_RASTER_TEXTURE(float2 t : TEXCOORD0) : COLOR0 { return tex2D(sTex, t); }
technique Tint { pass P0 { VertexShader = compile vs_1_1 VS_RASTER_PASS(); PixelShader = compile ps_2_0 PS_RASTER_TINT(); } }
technique Textured { pass P0 { VertexShader = compile vs_1_1 VS_RASTER_PASS(); PixelShader = compile ps_2_0 PS_RASTER_TEXTURE(); } }
)";

struct ClipVertex {
    float x, y, z;
    float u, v;
};
constexpr DWORD kClipFvf = D3DFVF_XYZ | D3DFVF_TEX1;

// The left half of the target in clip space, u 0..1 across it.
const std::vector<ClipVertex> kLeftHalf = {{-1, 1, 0.5f, 0, 0}, {0, 1, 0.5f, 1, 0}, {-1, -1, 0.5f, 0, 1},
                                           {0, -1, 0.5f, 1, 1}};

class RasterEffects : public RasterTest {
protected:
    void SetUp() override {
        RasterTest::SetUp();
        ID3DXBuffer* errors = nullptr;
        ASSERT_EQ(D3D_OK, D3DXCreateEffect(m_device, kEffect, UINT(sizeof kEffect - 1), nullptr, nullptr, 0, nullptr,
                                           &m_effect, &errors));
        if (errors) errors->Release();
    }

    void TearDown() override {
        if (m_effect) {
            EXPECT_EQ(0u, m_effect->Release());
        }
        RasterTest::TearDown();
    }

    void DrawInPass(const char* technique) {
        ASSERT_EQ(D3D_OK, m_effect->SetTechnique(technique));
        UINT passes = 0;
        ASSERT_EQ(D3D_OK, m_effect->Begin(&passes, 0));
        ASSERT_EQ(D3D_OK, m_effect->BeginPass(0));
        Draw(D3DPT_TRIANGLESTRIP, 2, kLeftHalf, kClipFvf);
        ASSERT_EQ(D3D_OK, m_effect->EndPass());
        ASSERT_EQ(D3D_OK, m_effect->End());
    }

    ID3DXEffect* m_effect = nullptr;
};

TEST_F(RasterEffects, PixelShaderOutputsTheParameterColour) {
    const D3DXVECTOR4 tint(1.0f, 0.0f, 1.0f, 1.0f);
    ASSERT_EQ(D3D_OK, m_effect->SetVector("vTint", &tint));
    DrawInPass("Tint");
    EXPECT_EQ(0xFF00FFu, PixelAt(5, 5) & 0xFFFFFF);
    EXPECT_EQ(32u * 32u, CountPixels([](DWORD p) { return p == 0xFF00FF; })) << "the vertex shader placed the quad";
}

TEST_F(RasterEffects, DeviceBlendingAppliesToShaderOutput) {
    Clear(0xFF0000FF);
    SetState(D3DRS_ALPHABLENDENABLE, DWORD(TRUE));
    SetState(D3DRS_SRCBLEND, DWORD(D3DBLEND_SRCALPHA));
    SetState(D3DRS_DESTBLEND, DWORD(D3DBLEND_INVSRCALPHA));
    DrawInPass("Tint");  // default tint: green at alpha 0.5
    const DWORD p = PixelAt(5, 5);
    EXPECT_NEAR(128, Green(p), 1);
    EXPECT_NEAR(128, Blue(p), 1);
}

TEST_F(RasterEffects, PixelShaderSamplesTheEffectTexture) {
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3D_OK, m_device->CreateTexture(2, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr));
    D3DLOCKED_RECT locked;
    ASSERT_EQ(D3D_OK, texture->LockRect(0, &locked, nullptr, 0));
    const DWORD texels[2] = {0xFFFF0000, 0xFF00FF00};
    std::memcpy(locked.pBits, texels, 8);
    ASSERT_EQ(D3D_OK, texture->UnlockRect(0));
    ASSERT_EQ(D3D_OK, m_effect->SetTexture("Tex", texture));
    DrawInPass("Textured");
    EXPECT_EQ(0xFF0000u, PixelAt(4, 10) & 0xFFFFFF) << "left texel";
    EXPECT_EQ(0x00FF00u, PixelAt(28, 10) & 0xFFFFFF) << "right texel";
    ASSERT_EQ(D3D_OK, m_effect->SetTexture("Tex", nullptr));
    EXPECT_EQ(0u, texture->Release());
}

}  // namespace
