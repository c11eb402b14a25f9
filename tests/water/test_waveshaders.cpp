#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <string>

#include "Undrelle/waveshaders.h"
#include "d3d9.h"
#include "platform/d3dxeffect.h"
#include "platform/resources.h"
#include "platform/swdevice.h"
#include "support/testdevice.h"

namespace {

constexpr float kTolerance = 1e-5f;

// Parameters by name and samplers as functions of (sampler, u, v).
class FakeShaderContext final : public ShaderContext {
public:
    using Sampler = std::function<D3DXVECTOR4(const std::string& sampler, float u, float v)>;

    std::map<std::string, float> floats;
    Sampler sample = [](const std::string&, float, float) { return D3DXVECTOR4(0, 0, 0, 1); };

    float Float(const char* name) const override {
        const auto found = floats.find(name);
        return found == floats.end() ? 0.0f : found->second;
    }
    D3DXVECTOR4 Vector(const char* name) const override { return D3DXVECTOR4(Float(name), 0, 0, 0); }
    D3DXMATRIX Matrix(const char*) const override { return D3DXMATRIX(); }
    D3DXVECTOR4 Sample(const char* sampler, float u, float v, float) const override { return sample(sampler, u, v); }
};

VertexInput VertexAt(float u, float v) {
    VertexInput in{};
    in.texcoord[0] = D3DXVECTOR4(u, v, 0, 0);
    return in;
}

// What the rasteriser hands the pixel stage exactly at a vertex.
PixelInput PixelFrom(const VertexOutput& out) {
    PixelInput in{};
    std::memcpy(in.texcoord, out.texcoord, sizeof in.texcoord);
    std::memcpy(in.color, out.color, sizeof in.color);
    return in;
}

void ExpectVector(const D3DXVECTOR4& expected, const D3DXVECTOR4& got) {
    EXPECT_NEAR(expected.x, got.x, kTolerance);
    EXPECT_NEAR(expected.y, got.y, kTolerance);
    EXPECT_NEAR(expected.z, got.z, kTolerance);
    EXPECT_NEAR(expected.w, got.w, kTolerance);
}

TEST(WaveShaders, AreRegisteredUnderTheirHlslNames) {
    EXPECT_EQ(&WaveShaders::HeightMapVS, FindNativeVertexShader("HeightMapVS"));
    EXPECT_EQ(&WaveShaders::HeightMapPS, FindNativePixelShader("HeightMapPS"));
    EXPECT_EQ(&WaveShaders::NormalMapVS, FindNativeVertexShader("NormalMapVS"));
    EXPECT_EQ(&WaveShaders::NormalMapPS, FindNativePixelShader("NormalMapPS"));
    EXPECT_EQ(&WaveShaders::GridNormalVS, FindNativeVertexShader("GridNormalVS"));
    EXPECT_EQ(&WaveShaders::GridNormalPS, FindNativePixelShader("GridNormalPS"));
}

TEST(WaveShaders, HeightMapVertexCoversTheTargetAndTilesTheFineNoise) {
    FakeShaderContext context;
    VertexOutput out{};
    WaveShaders::HeightMapVS(context, VertexAt(0.25f, 0.75f), out);
    ExpectVector(D3DXVECTOR4(-0.5f, -0.5f, 1, 1), out.position);
    EXPECT_EQ(1.0f, out.fog);
    ExpectVector(D3DXVECTOR4(0.25f, 0.75f, 0, 0), out.texcoord[0]);
    ExpectVector(D3DXVECTOR4(4, 12, 0, 0), out.texcoord[1]);
}

TEST(WaveShaders, HeightMapPixelIsNoise0PlusNoise1MinusHalf) {
    FakeShaderContext context;
    context.sample = [](const std::string& sampler, float u, float v) {
        if (sampler == "sNoise0" && u == 0.25f && v == 0.5f) return D3DXVECTOR4(0.6f, 0.6f, 0.6f, 1);
        if (sampler == "sNoise1" && u == 4.0f && v == 8.0f) return D3DXVECTOR4(0.3f, 0.3f, 0.3f, 1);
        return D3DXVECTOR4(-9, -9, -9, -9);  // a wrong sampler or coordinate shows
    };
    VertexOutput vertex{};
    WaveShaders::HeightMapVS(context, VertexAt(0.25f, 0.5f), vertex);
    D3DXVECTOR4 colour;
    WaveShaders::HeightMapPS(context, PixelFrom(vertex), colour);
    ExpectVector(D3DXVECTOR4(0.4f, 0.4f, 0.4f, 1.5f), colour);
}

TEST(WaveShaders, NormalMapVertexPlacesTheFourNeighboursFScaleTexelsAway) {
    FakeShaderContext context;
    context.floats = {{"fInvMapWidth", 0.01f}, {"fInvMapHeight", 0.02f}, {"fScale", 2.5f}};
    VertexOutput out{};
    WaveShaders::NormalMapVS(context, VertexAt(1, 0), out);
    ExpectVector(D3DXVECTOR4(1, 1, 1, 1), out.position);
    ExpectVector(D3DXVECTOR4(1, 0, 0, 0), out.texcoord[0]);
    ExpectVector(D3DXVECTOR4(0.975f, 0, 0, 0), out.texcoord[1]);
    ExpectVector(D3DXVECTOR4(1, -0.05f, 0, 0), out.texcoord[2]);
    ExpectVector(D3DXVECTOR4(1.025f, 0, 0, 0), out.texcoord[3]);
    ExpectVector(D3DXVECTOR4(1, 0.05f, 0, 0), out.texcoord[4]);
}

struct NormalCase {
    const char* label;
    FakeShaderContext::Sampler heights;
    float strength;
    D3DXVECTOR4 expected;
};

TEST(WaveShaders, NormalMapPixelEncodesTheSurfaceNormal) {
    const auto flat = [](const std::string&, float, float) { return D3DXVECTOR4(0.7f, 0, 0, 1); };
    const auto risingInU = [](const std::string&, float u, float) { return D3DXVECTOR4(u, 0, 0, 1); };
    const auto risingInV = [](const std::string&, float, float v) { return D3DXVECTOR4(v, 0, 0, 1); };
    const float s2 = std::sqrt(0.5f);
    const float s5 = 1.0f / std::sqrt(5.0f);
    // Slope 1: the normal (-1, 0, 1) / sqrt 2; strength 2 doubles x: (-2, 0, 1) / sqrt 5.
    const NormalCase cases[] = {
        {"flat", flat, 1.0f, D3DXVECTOR4(0.5f, 0.5f, 1.0f, 1.0f)},
        {"rising in u", risingInU, 1.0f, D3DXVECTOR4((1 - s2) / 2, 0.5f, (1 + s2) / 2, 1)},
        {"rising in v", risingInV, 1.0f, D3DXVECTOR4(0.5f, (1 - s2) / 2, (1 + s2) / 2, 1)},
        {"rising in u, strength 2", risingInU, 2.0f, D3DXVECTOR4((1 - 2 * s5) / 2, 0.5f, (1 + s5) / 2, 1)},
    };
    for (const NormalCase& c : cases) {
        SCOPED_TRACE(c.label);
        FakeShaderContext context;
        context.floats = {{"fInvMapWidth", 1.0f / 256}, {"fInvMapHeight", 1.0f / 128}, {"fScale", 2.5f},
                          {"fNormalStrength", c.strength}};
        context.sample = [&](const std::string& sampler, float u, float v) {
            return sampler == "sHeightMap" ? c.heights(sampler, u, v) : D3DXVECTOR4(-9, -9, -9, -9);
        };
        VertexOutput vertex{};
        WaveShaders::NormalMapVS(context, VertexAt(0.5f, 0.5f), vertex);
        D3DXVECTOR4 colour;
        WaveShaders::NormalMapPS(context, PixelFrom(vertex), colour);
        ExpectVector(c.expected, colour);
    }
}

TEST(WaveShaders, NeighbourCrossSumWeighsOppositeHeightDifferences) {
    // Steps a = 0.5, b = 0.25; left/up/right/down rise 0.1, 0.2, 0.3, 0.5:
    // (2b (hl - hr), 2a (hu - hd), 4ab) = (-0.1, -0.3, 0.5).
    const D3DXVECTOR3 offsets[4] = {{-0.5f, 0, 0.1f}, {0, -0.25f, 0.2f}, {0.5f, 0, 0.3f}, {0, 0.25f, 0.5f}};
    const D3DXVECTOR3 sum = WaveShaders::NeighbourCrossSum(offsets);
    EXPECT_NEAR(-0.1f, sum.x, kTolerance);
    EXPECT_NEAR(-0.3f, sum.y, kTolerance);
    EXPECT_NEAR(0.5f, sum.z, kTolerance);
}

TEST(WaveShaders, GridNormalPassesTheVertexNormalOnAsColour) {
    FakeShaderContext context;
    VertexInput in = VertexAt(0, 1);
    in.normal = D3DXVECTOR4(1, 0, 0, 0);
    VertexOutput vertex{};
    WaveShaders::GridNormalVS(context, in, vertex);
    ExpectVector(D3DXVECTOR4(-1, -1, 1, 1), vertex.position);
    ExpectVector(D3DXVECTOR4(1, 0.5f, 0.5f, 1), vertex.color[0]);
    D3DXVECTOR4 colour;
    WaveShaders::GridNormalPS(context, PixelFrom(vertex), colour);
    ExpectVector(vertex.color[0], colour);
}

// ==== The embedded effect texts ====

class WaveEffectTest : public ::testing::Test {
protected:
    void SetUp() override {
        swdevice::ResetSettings();
        m_d3d = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(nullptr, m_d3d);
        m_device = CreateTestDevice(m_d3d, WindowedParams(16, 16, D3DFMT_X8R8G8B8));
        ASSERT_NE(nullptr, m_device);
    }

    void TearDown() override {
        ReleaseLast(m_effect);
        ReleaseLast(m_device);
        ReleaseLast(m_d3d);
        EXPECT_EQ(0u, swdevice::LiveObjectCount());
        swdevice::ResetSettings();
    }

    template <class T>
    static void ReleaseLast(T* object) {
        if (object) {
            EXPECT_EQ(0u, object->Release());
        }
    }

    void Load(int id) {
        LPD3DXBUFFER errors = nullptr;
        ASSERT_EQ(D3D_OK, D3DXCreateEffectFromResourceA(m_device, GetModuleHandleA("Undrelle"), MAKEINTRESOURCEA(id),
                                                        nullptr, nullptr, D3DXSHADER_NO_PRESHADER, nullptr, &m_effect,
                                                        &errors));
        EXPECT_EQ(nullptr, errors);
    }

    void ExpectOnePassTechnique(const char* name) {
        SCOPED_TRACE(name);
        const D3DXHANDLE technique = m_effect->GetTechniqueByName(name);
        ASSERT_NE(nullptr, technique);
        D3DXTECHNIQUE_DESC desc{};
        ASSERT_EQ(D3D_OK, m_effect->GetTechniqueDesc(technique, &desc));
        EXPECT_EQ(1u, desc.Passes);
    }

    void ExpectTexture(const char* name) {
        D3DXPARAMETER_DESC desc{};
        ASSERT_EQ(D3D_OK, m_effect->GetParameterDesc(name, &desc)) << name;
        EXPECT_EQ(D3DXPC_OBJECT, desc.Class) << name;
    }

    float FloatParameter(const char* name) {
        float value = -1.0f;
        EXPECT_EQ(D3D_OK, m_effect->GetFloat(name, &value)) << name;
        return value;
    }

    IDirect3D9* m_d3d = nullptr;
    IDirect3DDevice9* m_device = nullptr;
    ID3DXEffect* m_effect = nullptr;
};

TEST_F(WaveEffectTest, HeightMapEffectHasT1XAndBothNoiseTextures) {
    Load(101);
    ExpectOnePassTechnique("T1X");
    ExpectTexture("Noise0");
    ExpectTexture("Noise1");
}

TEST_F(WaveEffectTest, NormalMapEffectHasT20AndT10AndItsDefaults) {
    Load(102);
    ExpectOnePassTechnique("T20");
    ExpectOnePassTechnique("T10");
    ExpectTexture("HeightMap");
    EXPECT_FLOAT_EQ(0.002f, FloatParameter("fInvMapWidth"));
    EXPECT_FLOAT_EQ(0.002f, FloatParameter("fInvMapHeight"));
    EXPECT_FLOAT_EQ(2.5f, FloatParameter("fScale"));
    EXPECT_FLOAT_EQ(1.0f, FloatParameter("fNormalStrength"));
}

}  // namespace
