#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Corvantis/cd3dwatch.h"
#include "particleeffect.h"
#include "platform/nativeshader.h"
#include "platform/resources.h"
#include "platform/swdevice.h"
#include "support/testdevice.h"

namespace {

constexpr float kTolerance = 1e-4f;

void ExpectVector(const D3DXVECTOR4& got, const D3DXVECTOR4& expected, const char* label) {
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(got[i], expected[i], kTolerance) << label << " component " << i;
}

class ParticleEffectTest : public ::testing::Test {
protected:
    void SetUp() override {
        CD3DWatch::ClearFailures();
        m_d3d = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(m_d3d, nullptr);
        m_device = CreateTestDevice(m_d3d, WindowedParams(16, 16, D3DFMT_A8R8G8B8));
        ASSERT_NE(nullptr, m_device);
    }
    void TearDown() override {
        ReleaseParticleSystemDXResources();
        for (IDirect3DTexture9* texture : m_textures) EXPECT_EQ(texture->Release(), 0u);
        EXPECT_EQ(m_device->Release(), 0u);
        EXPECT_EQ(m_d3d->Release(), 0u);
        EXPECT_EQ(swdevice::LiveObjectCount(), 0u);
    }

    IDirect3DTexture9* MakeTexture(UINT width, UINT height, D3DFORMAT format, UINT bytesPerTexel,
                                   const std::vector<unsigned char>& texels) {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(m_device->CreateTexture(width, height, 1, 0, format, D3DPOOL_MANAGED, &texture, nullptr),
                  D3D_OK);
        D3DLOCKED_RECT locked;
        EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
        for (UINT row = 0; row < height; ++row) {
            std::memcpy(static_cast<char*>(locked.pBits) + row * locked.Pitch,
                        &texels[size_t(row) * width * bytesPerTexel], size_t(width) * bytesPerTexel);
        }
        texture->UnlockRect(0);
        m_textures.push_back(texture);
        return texture;
    }

    // One float texel, so that channel values are exact (0.5 stays 0.5).
    IDirect3DTexture9* MakeTexel(float r, float g, float b, float a) {
        const float texel[4] = {r, g, b, a};
        std::vector<unsigned char> bytes(sizeof texel);
        std::memcpy(bytes.data(), texel, sizeof texel);
        return MakeTexture(1, 1, D3DFMT_A32B32G32R32F, 16, bytes);
    }

    // A 1600 x 1200 scene whose texel (x, y) is (x mod 256, y mod 256, 77).
    IDirect3DTexture9* MakeScene() {
        std::vector<unsigned char> texels(1600 * 1200 * 4);
        for (size_t y = 0; y < 1200; ++y) {
            for (size_t x = 0; x < 1600; ++x) {
                unsigned char* texel = &texels[(y * 1600 + x) * 4];
                texel[0] = 77;
                texel[1] = static_cast<unsigned char>(y % 256);
                texel[2] = static_cast<unsigned char>(x % 256);
                texel[3] = 255;
            }
        }
        return MakeTexture(1600, 1200, D3DFMT_X8R8G8B8, 4, texels);
    }

    ID3DXEffect* Effect() {
        CreateParticleSystemDXResources(m_device);
        return GetParticleEffect();
    }

    IDirect3D9* m_d3d = nullptr;
    IDirect3DDevice9* m_device = nullptr;
    std::vector<IDirect3DTexture9*> m_textures;
};

D3DXVECTOR4 SceneTexel(int x, int y) { return D3DXVECTOR4((x % 256) / 255.0f, (y % 256) / 255.0f, 77 / 255.0f, 1); }

// A pixel whose screen coordinate lands on the centre of scene texel
// (400, 300): (p / w) + 0.5 + half a texel = (400.5 / 1600, 300.5 / 1200).
PixelInput DistortPixel(const D3DXVECTOR4& colour) {
    PixelInput in{};
    in.color[0] = colour;
    in.texcoord[0] = D3DXVECTOR4(0.5f, 0.5f, 0, 0);
    in.texcoord[1] = D3DXVECTOR4(-0.5f, -0.5f, 0.3f, 2.0f);
    return in;
}

// ==== Lifetime ====

TEST_F(ParticleEffectTest, OneEffectPerProcessAndASecondReleaseIsHarmless) {
    EXPECT_EQ(GetParticleEffect(), nullptr);
    CreateParticleSystemDXResources(m_device);
    ID3DXEffect* effect = GetParticleEffect();
    ASSERT_NE(effect, nullptr);
    CreateParticleSystemDXResources(m_device);
    EXPECT_EQ(GetParticleEffect(), effect) << "a second creation finds the first effect";
    effect->AddRef();
    EXPECT_EQ(effect->Release(), 1u) << "and holds no extra reference";
    ReleaseParticleSystemDXResources();
    EXPECT_EQ(GetParticleEffect(), nullptr);
    ReleaseParticleSystemDXResources();
    EXPECT_EQ(GetParticleEffect(), nullptr);
    EXPECT_TRUE(CD3DWatch::GetFailures().empty());
}

TEST_F(ParticleEffectTest, FailedCreationLeavesNoEffectAndAGuardRecord) {
    CreateParticleSystemDXResources(nullptr);
    EXPECT_EQ(GetParticleEffect(), nullptr);
    const std::vector<SD3DWatchFailure> failures = CD3DWatch::GetFailures();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_STREQ(failures[0].call, "D3DXCreateEffectFromResource");
    EXPECT_NE(std::string(failures[0].path).find("particleeffect.cpp"), std::string::npos);
    ReleaseParticleSystemDXResources();
}

// ==== Effect source ====

TEST_F(ParticleEffectTest, SourceIsTheLibrarysResource104) {
    HMODULE module = GetModuleHandleA("Pyrelune");
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(104), RT_RCDATA);
    ASSERT_NE(resource, nullptr);
    const std::string text(static_cast<const char*>(LockResource(LoadResource(module, resource))),
                           SizeofResource(module, resource));
    EXPECT_NE(text.find("technique Distort"), std::string::npos);
    EXPECT_NE(text.find("struct VS_IN_BBPARTICLE"), std::string::npos);
}

TEST_F(ParticleEffectTest, ParametersTechniquesAndPassesAsDeclared) {
    ID3DXEffect* effect = Effect();
    ASSERT_NE(effect, nullptr);
    struct Row {
        const char* name;
        D3DXPARAMETER_TYPE type;
        UINT rows, columns;
    };
    const Row rows[] = {
        {"fShadowIntensity", D3DXPT_FLOAT, 1, 1}, {"vAmbientLight", D3DXPT_FLOAT, 1, 4},
        {"mWorld", D3DXPT_FLOAT, 4, 4},           {"mViewProj", D3DXPT_FLOAT, 4, 4},
        {"mStaticShadowMap", D3DXPT_FLOAT, 4, 4}, {"SceneTex", D3DXPT_TEXTURE, 0, 0},
        {"DiffuseTex", D3DXPT_TEXTURE, 0, 0},     {"StaticShadowMap", D3DXPT_TEXTURE, 0, 0},
        {"sSceneTex", D3DXPT_SAMPLER, 0, 0},      {"sDiffuseTex", D3DXPT_SAMPLER, 0, 0},
        {"sStaticShadow", D3DXPT_SAMPLER, 0, 0},
    };
    D3DXEFFECT_DESC desc;
    ASSERT_EQ(effect->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Parameters, std::size(rows));
    EXPECT_EQ(desc.Techniques, 2u);
    for (const Row& row : rows) {
        D3DXPARAMETER_DESC parameter;
        ASSERT_EQ(effect->GetParameterDesc(row.name, &parameter), D3D_OK) << row.name;
        EXPECT_EQ(parameter.Type, row.type) << row.name;
        EXPECT_EQ(parameter.Rows, row.rows) << row.name;
        EXPECT_EQ(parameter.Columns, row.columns) << row.name;
    }
    float intensity = -1.0f;
    EXPECT_EQ(effect->GetFloat("fShadowIntensity", &intensity), D3D_OK);
    EXPECT_EQ(intensity, 0.0f);
    for (const char* name : {"DiffuseShadow", "Distort"}) {
        D3DXHANDLE technique = effect->GetTechniqueByName(name);
        D3DXTECHNIQUE_DESC techniqueDesc;
        ASSERT_EQ(effect->GetTechniqueDesc(technique, &techniqueDesc), D3D_OK) << name;
        EXPECT_EQ(techniqueDesc.Passes, 1u) << name;
        EXPECT_NE(effect->GetPassByName(technique, "P0"), nullptr) << name;
    }
    EXPECT_STREQ(effect->GetCurrentTechnique(), "DiffuseShadow");
}

// ==== Native shaders ====

TEST_F(ParticleEffectTest, VertexShadersTransformAndPassThrough) {
    ID3DXEffect* effect = Effect();
    ASSERT_NE(effect, nullptr);
    D3DXMATRIX world, viewProj, shadowMap;
    D3DXMatrixTranslation(&world, 1, 2, 3);
    D3DXMatrixScaling(&viewProj, 2, 2, 2);
    D3DXMatrixIdentity(&shadowMap);
    shadowMap._44 = 2.0f;
    effect->SetMatrix("mWorld", &world);
    effect->SetMatrix("mViewProj", &viewProj);
    effect->SetMatrix("mStaticShadowMap", &shadowMap);
    VertexInput in{};
    in.position = D3DXVECTOR4(1, 1, 1, 0.5f);  // a w other than 1 shows where (W.xyz, 1) is used
    in.color[0] = D3DXVECTOR4(0.1f, 0.2f, 0.3f, 0.4f);
    in.texcoord[0] = D3DXVECTOR4(0.25f, 0.75f, 0, 0);
    const ShaderContext& context = *GetEffectShaderContext(effect);

    VertexOutput out{};
    FindNativeVertexShader("VS_DISTORT")(context, in, out);
    ExpectVector(out.position, D3DXVECTOR4(3, 4, 5, 0.5f), "distort clip position");
    ExpectVector(out.texcoord[1], D3DXVECTOR4(1.5f, -2, 5, 1), "distort screen coordinate");
    ExpectVector(out.texcoord[0], in.texcoord[0], "distort texture coordinate");
    ExpectVector(out.color[0], in.color[0], "distort colour");

    out = VertexOutput{};
    FindNativeVertexShader("VS_DIFFUSESHADOW")(context, in, out);
    ExpectVector(out.position, D3DXVECTOR4(3, 4, 5, 0.5f), "shadow clip position");
    ExpectVector(out.texcoord[1], D3DXVECTOR4(0.75f, 1, 1.25f, 1), "shadow coordinate divided by its w");
    ExpectVector(out.color[0], in.color[0], "shadow colour");
}

TEST_F(ParticleEffectTest, DistortionShowsTheSceneUnchangedWithoutDisplacement) {
    ID3DXEffect* effect = Effect();
    ASSERT_NE(effect, nullptr);
    effect->SetTexture("SceneTex", MakeScene());
    const NativePixelShader distort = FindNativePixelShader("PS_DISTORT");
    const ShaderContext& context = *GetEffectShaderContext(effect);
    D3DXVECTOR4 colour;

    effect->SetTexture("DiffuseTex", MakeTexel(0.5f, 0.5f, 0.9f, 0.3f));
    distort(context, DistortPixel(D3DXVECTOR4(1, 1, 1, 1)), colour);
    ExpectVector(colour, SceneTexel(400, 300), "centred texel, white particle");

    effect->SetTexture("DiffuseTex", MakeTexel(1.0f, 0.0f, 0.3f, 1.0f));
    distort(context, DistortPixel(D3DXVECTOR4(0.2f, 0.4f, 0.6f, 0.0f)), colour);
    ExpectVector(colour, SceneTexel(400, 300), "alpha 0: no displacement, scene * saturate(rgb + 1)");
}

TEST_F(ParticleEffectTest, DistortionDisplacesAndTintsTheScene) {
    ID3DXEffect* effect = Effect();
    ASSERT_NE(effect, nullptr);
    effect->SetTexture("SceneTex", MakeScene());
    const NativePixelShader distort = FindNativePixelShader("PS_DISTORT");
    const ShaderContext& context = *GetEffectShaderContext(effect);
    D3DXVECTOR4 colour;

    // Red 1: +0.025 in u, 40 texels of a 1600-wide scene.
    effect->SetTexture("DiffuseTex", MakeTexel(1.0f, 0.5f, 0.0f, 1.0f));
    distort(context, DistortPixel(D3DXVECTOR4(1, 1, 1, 1)), colour);
    ExpectVector(colour, SceneTexel(440, 300), "displaced right");

    // Centred texel, alpha 0.5 and 0.8: tint = saturate(rgb + 1 - 0.5).
    effect->SetTexture("DiffuseTex", MakeTexel(0.5f, 0.5f, 0.0f, 0.8f));
    distort(context, DistortPixel(D3DXVECTOR4(0.2f, 0.4f, 0.6f, 0.5f)), colour);
    const D3DXVECTOR4 scene = SceneTexel(400, 300);
    ExpectVector(colour, D3DXVECTOR4(scene.x * 0.7f, scene.y * 0.9f, scene.z, 1), "tinted");
}

TEST_F(ParticleEffectTest, ShadowOutsideTheMapSamplesTheWhiteBorder) {
    ID3DXEffect* effect = Effect();
    ASSERT_NE(effect, nullptr);
    effect->SetTexture("DiffuseTex", MakeTexel(0.8f, 0.6f, 0.4f, 0.5f));
    effect->SetTexture("StaticShadowMap", MakeTexture(2, 2, D3DFMT_L8, 1, {0, 0, 0, 0}));  // fully shadowed
    const NativePixelShader shade = FindNativePixelShader("PS_DIFFUSESHADOW");
    const ShaderContext& context = *GetEffectShaderContext(effect);
    PixelInput in{};
    in.color[0] = D3DXVECTOR4(0.5f, 1, 1, 1);
    D3DXVECTOR4 colour;
    struct Row {
        const char* label;
        float intensity;
        D3DXVECTOR4 shadowCoordinate;
        float factor;
    };
    const Row rows[] = {
        {"outside, no intensity", 0.0f, D3DXVECTOR4(1.5f, -0.5f, 0, 1), 1.0f},
        {"outside, intensity saturates", 0.5f, D3DXVECTOR4(-2.0f, 0.5f, 0, 1), 1.0f},
        {"outside, negative intensity", -0.25f, D3DXVECTOR4(0.5f, 3.0f, 0, 1), 0.75f},
        {"inside the black map", 0.25f, D3DXVECTOR4(0.5f, 0.5f, 0, 1), 0.25f},
    };
    for (const Row& row : rows) {
        effect->SetFloat("fShadowIntensity", row.intensity);
        in.texcoord[1] = row.shadowCoordinate;
        shade(context, in, colour);
        ExpectVector(colour, D3DXVECTOR4(0.8f * row.factor * 0.5f, 0.6f * row.factor, 0.4f * row.factor, 0.5f),
                     row.label);
    }
}

}  // namespace
