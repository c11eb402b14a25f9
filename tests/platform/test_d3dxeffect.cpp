#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/d3dxeffect.h"
#include "platform/nativeshader.h"
#include "platform/resources.h"
#include "platform/swdevice.h"
#include "platform/texturesampler.h"
#include "support/testdevice.h"

namespace {

void TestVertexShader(const ShaderContext&, const VertexInput& in, VertexOutput& out) { out.position = in.position; }
void TestPixelShader(const ShaderContext& context, const PixelInput&, D3DXVECTOR4& colour) {
    colour = context.Vector("vTint");
}

const NativeShaderEntry kTestShaders[] = {
    {"VS_TEST", TestVertexShader, nullptr},
    {"PS_TEST", nullptr, TestPixelShader},
    {nullptr, nullptr, nullptr},
};
const NativeShaderRegistrar kTestShaderRegistrar(kTestShaders);

const char kEffectText[] = R"(
// parameters of every supported shape
float fScale = 0.25f;
float2 vOffset = {1, -2};
float4 vTint : DIFFUSE < string UIName = "tint"; > = float4(0.5, 0.25, 1.0, 1.0);
float4x4 mTransform = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
int nCount = 3;
bool bEnabled = true;
static const float kHidden = 2.0;
texture Tex;
sampler sTex = sampler_state { Texture = <Tex>; MinFilter = Point; MagFilter = Point; AddressU = Clamp; };

struct VS_OUT { float4 Position : POSITION; };
/* a function that calls another */
float4 Helper(float4 p) { return p * fScale; }
VS_OUT VS_TEST(float4 p : POSITION) { VS_OUT o; o.Position = Helper(p); return o; }
float4 PS_TEST() : COLOR0 { return tex2D(sTex, float2(0, 0)) * vTint; }

technique First { pass P0 { VertexShader = compile vs_1_1 VS_TEST(); PixelShader = compile ps_2_0 PS_TEST(); } }
technique Second
{
    pass A { PixelShader = compile ps_2_0 PS_TEST(); }
    pass B { VertexShader = compile vs_2_0 VS_TEST(); }
}
)";

constexpr float kTolerance = 1e-5f;

// A software device for the test; TearDown proves that nothing leaked.
class EffectTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_d3d = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(m_d3d, nullptr);
        m_device = CreateTestDevice(m_d3d, WindowedParams(8, 8, D3DFMT_A8R8G8B8));
        ASSERT_NE(nullptr, m_device);
    }
    void TearDown() override {
        EXPECT_EQ(m_device->Release(), 0u);
        EXPECT_EQ(m_d3d->Release(), 0u);
        EXPECT_EQ(swdevice::LiveObjectCount(), 0u);
    }

    HRESULT Create(const std::string& text, ID3DXEffect** effect, std::string* errors = nullptr) {
        ID3DXBuffer* buffer = nullptr;
        const HRESULT hr = D3DXCreateEffect(m_device, text.data(), static_cast<UINT>(text.size()), nullptr,
                                            nullptr, 0, nullptr, effect, &buffer);
        if (buffer) {
            if (errors) *errors = static_cast<const char*>(buffer->GetBufferPointer());
            buffer->Release();
        }
        return hr;
    }

    ID3DXEffect* CreateTestEffect() {
        ID3DXEffect* effect = nullptr;
        std::string errors;
        EXPECT_EQ(Create(kEffectText, &effect, &errors), D3D_OK) << errors;
        return effect;
    }

    // A one-level texture whose texels are written row by row.
    IDirect3DTexture9* MakeTexture(UINT width, UINT height, D3DFORMAT format, const void* texels,
                                   UINT bytesPerTexel, UINT levels = 1) {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(m_device->CreateTexture(width, height, levels, 0, format, D3DPOOL_MANAGED, &texture, nullptr),
                  D3D_OK);
        if (texture) WriteLevel(texture, 0, width, height, texels, bytesPerTexel);
        return texture;
    }

    static void WriteLevel(IDirect3DTexture9* texture, UINT level, UINT width, UINT height, const void* texels,
                           UINT bytesPerTexel) {
        D3DLOCKED_RECT locked;
        ASSERT_EQ(texture->LockRect(level, &locked, nullptr, 0), D3D_OK);
        for (UINT row = 0; row < height; ++row) {
            std::memcpy(static_cast<char*>(locked.pBits) + row * locked.Pitch,
                        static_cast<const char*>(texels) + row * width * bytesPerTexel, width * bytesPerTexel);
        }
        texture->UnlockRect(level);
    }

    IDirect3D9* m_d3d = nullptr;
    IDirect3DDevice9* m_device = nullptr;
};

void ExpectVector(const D3DXVECTOR4& got, const D3DXVECTOR4& expected, const std::string& label) {
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(got[i], expected[i], kTolerance) << label << " component " << i;
}

ULONG RefCount(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

// ==== Reading effect text ====

TEST_F(EffectTest, ParametersKeepTheirDeclaredShapesAndDefaults) {
    ID3DXEffect* effect = CreateTestEffect();
    ASSERT_NE(effect, nullptr);
    struct Row {
        const char* name;
        D3DXPARAMETER_CLASS parameterClass;
        D3DXPARAMETER_TYPE type;
        UINT rows, columns;
    };
    const Row rows[] = {
        {"fScale", D3DXPC_SCALAR, D3DXPT_FLOAT, 1, 1},
        {"vOffset", D3DXPC_VECTOR, D3DXPT_FLOAT, 1, 2},
        {"vTint", D3DXPC_VECTOR, D3DXPT_FLOAT, 1, 4},
        {"mTransform", D3DXPC_MATRIX_COLUMNS, D3DXPT_FLOAT, 4, 4},
        {"nCount", D3DXPC_SCALAR, D3DXPT_INT, 1, 1},
        {"bEnabled", D3DXPC_SCALAR, D3DXPT_BOOL, 1, 1},
        {"Tex", D3DXPC_OBJECT, D3DXPT_TEXTURE, 0, 0},
        {"sTex", D3DXPC_OBJECT, D3DXPT_SAMPLER, 0, 0},
    };
    D3DXEFFECT_DESC effectDesc;
    ASSERT_EQ(effect->GetDesc(&effectDesc), D3D_OK);
    EXPECT_EQ(effectDesc.Parameters, std::size(rows)) << "static globals are not parameters";
    for (UINT i = 0; i < std::size(rows); ++i) {
        D3DXPARAMETER_DESC desc;
        ASSERT_EQ(effect->GetParameterDesc(effect->GetParameter(nullptr, i), &desc), D3D_OK) << rows[i].name;
        EXPECT_STREQ(desc.Name, rows[i].name);
        EXPECT_EQ(desc.Class, rows[i].parameterClass) << rows[i].name;
        EXPECT_EQ(desc.Type, rows[i].type) << rows[i].name;
        EXPECT_EQ(desc.Rows, rows[i].rows) << rows[i].name;
        EXPECT_EQ(desc.Columns, rows[i].columns) << rows[i].name;
    }
    D3DXPARAMETER_DESC tint;
    effect->GetParameterDesc("vTint", &tint);
    EXPECT_STREQ(tint.Semantic, "DIFFUSE");

    float scale = 0.0f;
    D3DXVECTOR4 vector;
    D3DXMATRIX matrix;
    INT count = 0;
    BOOL enabled = FALSE;
    EXPECT_EQ(effect->GetFloat("fScale", &scale), D3D_OK);
    EXPECT_EQ(scale, 0.25f);
    EXPECT_EQ(effect->GetVector("vOffset", &vector), D3D_OK);
    ExpectVector(vector, D3DXVECTOR4(1, -2, 0, 0), "vOffset");
    EXPECT_EQ(effect->GetVector("vTint", &vector), D3D_OK);
    ExpectVector(vector, D3DXVECTOR4(0.5f, 0.25f, 1, 1), "vTint");
    EXPECT_EQ(effect->GetMatrix("mTransform", &matrix), D3D_OK);
    EXPECT_EQ(matrix._12, 2.0f);
    EXPECT_EQ(matrix._43, 15.0f);
    EXPECT_EQ(effect->GetInt("nCount", &count), D3D_OK);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(effect->GetBool("bEnabled", &enabled), D3D_OK);
    EXPECT_TRUE(enabled);
    EXPECT_EQ(effect->GetParameterByName(nullptr, "kHidden"), nullptr);
    EXPECT_EQ(effect->Release(), 0u);
}

TEST_F(EffectTest, TechniquesAndPassesAreListedInTextOrder) {
    ID3DXEffect* effect = CreateTestEffect();
    ASSERT_NE(effect, nullptr);
    EXPECT_STREQ(effect->GetCurrentTechnique(), "First") << "the first technique is current";
    D3DXHANDLE second = effect->GetTechniqueByName("Second");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(effect->GetTechnique(1), second);
    EXPECT_EQ(effect->GetTechniqueByName("Third"), nullptr);

    D3DXTECHNIQUE_DESC technique;
    ASSERT_EQ(effect->GetTechniqueDesc(second, &technique), D3D_OK);
    EXPECT_EQ(technique.Passes, 2u);
    D3DXPASS_DESC pass;
    ASSERT_EQ(effect->GetPassDesc(effect->GetPass(second, 1), &pass), D3D_OK);
    EXPECT_STREQ(pass.Name, "B");
    EXPECT_EQ(effect->GetPassByName(second, "A"), effect->GetPass(second, 0));
    EXPECT_EQ(effect->GetPass(second, 2), nullptr);

    EXPECT_EQ(effect->SetTechnique(second), D3D_OK);
    EXPECT_STREQ(effect->GetCurrentTechnique(), "Second");
    EXPECT_EQ(effect->SetTechnique("Third"), D3DERR_INVALIDCALL);
    EXPECT_STREQ(effect->GetCurrentTechnique(), "Second");
    UINT passes = 0;
    EXPECT_EQ(effect->Begin(&passes, 0), D3D_OK);
    EXPECT_EQ(passes, 2u);
    EXPECT_EQ(effect->End(), D3D_OK);
    EXPECT_EQ(effect->Release(), 0u);
}

TEST_F(EffectTest, ShaderFunctionWithoutNativeImplementationIsACompileError) {
    const std::string text =
        "float4 PS_UNKNOWN() : COLOR0 { return 1; }\n"
        "technique T { pass P0 {\n"
        "  PixelShader = compile ps_2_0 PS_UNKNOWN(); } }\n";
    ID3DXEffect* effect = reinterpret_cast<ID3DXEffect*>(0x1);
    std::string errors;
    EXPECT_EQ(Create(text, &effect, &errors), D3DXERR_INVALIDDATA);
    EXPECT_EQ(effect, nullptr);
    EXPECT_NE(errors.find("effect(3): error"), std::string::npos) << errors;
    EXPECT_NE(errors.find("'PS_UNKNOWN'"), std::string::npos) << errors;

    const std::string wrongStage = "float4 PS_TEST() : COLOR0 { return 1; }\n"
                                   "technique T { pass { VertexShader = compile vs_1_1 PS_TEST(); } }";
    EXPECT_EQ(Create(wrongStage, &effect, &errors), D3DXERR_INVALIDDATA) << "a pixel function is no vertex shader";
    EXPECT_EQ(effect, nullptr);
}

TEST_F(EffectTest, JunkTextFailsWithAnErrorMessage) {
    struct Row {
        const char* label;
        std::string text;
    };
    const Row rows[] = {
        {"binary bytes", std::string("\x01\x02\xff\xfe", 4)},
        {"unterminated comment", "float f; /* never closed"},
        {"unterminated string", "texture t < string s = \"abc; >;"},
        {"unclosed initialiser", "float4 v = {1, 2"},
        {"too many values", "float2 v = {1, 2, 3};"},
        {"number junk", "float f = 1.2.3;"},
        {"unknown type", "Widget w;"},
        {"array parameter", "float a[4];"},
        {"preprocessor", "#include \"other.fx\"\nfloat f;"},
        {"undeclared function", "technique T { pass { PixelShader = compile ps_2_0 Nowhere(); } }"},
        {"shader arguments", "float4 PS_TEST() : COLOR0 { return 1; }\n"
                             "technique T { pass { PixelShader = compile ps_2_0 PS_TEST(1); } }"},
        {"unknown pass state", "technique T { pass { ZEnable = false; } }"},
        {"unknown sampler state", "texture t; sampler s = sampler_state { Texture = <t>; Gamma = 2; };"},
        {"sampler on a float", "float t; sampler s = sampler_state { Texture = <t>; };"},
        {"duplicate parameter", "float f; float f;"},
        {"deep nesting", "float4 F() " + std::string(200, '{')},
        {"technique without body", "technique T"},
        {"huge hex", "float f = 0x123456789;"},
    };
    for (const Row& row : rows) {
        ID3DXEffect* effect = nullptr;
        std::string errors;
        EXPECT_TRUE(FAILED(Create(row.text, &effect, &errors))) << row.label;
        EXPECT_EQ(effect, nullptr) << row.label;
        EXPECT_NE(errors.find("error: "), std::string::npos) << row.label << ": " << errors;
    }
}

// Deterministic mutations of a valid effect: every outcome is either an
// effect or a clean failure (the sanitizer build checks the memory side).
TEST_F(EffectTest, MutatedTextNeverCrashes) {
    const std::string original = kEffectText;
    uint32_t state = 12345;
    auto next = [&state] { return (state = state * 1103515245u + 12345u) >> 8; };
    for (int round = 0; round < 2000; ++round) {
        std::string text = original;
        for (int edit = 0; edit < 1 + round % 4; ++edit) {
            const size_t at = next() % text.size();
            if (round % 3 == 0) text.erase(at, 1 + next() % 8);
            else text[at] = static_cast<char>(next() % 128);
        }
        if (round % 5 == 0) text.resize(next() % text.size());
        ID3DXEffect* effect = nullptr;
        const HRESULT hr = Create(text.empty() ? std::string(" ") : text, &effect);
        EXPECT_EQ(SUCCEEDED(hr), effect != nullptr) << "round " << round;
        if (effect) effect->Release();
    }
}

TEST_F(EffectTest, CreationArgumentsAreValidatedBeforeReading) {
    ID3DXEffect* effect = reinterpret_cast<ID3DXEffect*>(0x1);
    EXPECT_EQ(D3DXCreateEffect(nullptr, "float f;", 8, nullptr, nullptr, 0, nullptr, &effect, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(effect, nullptr);
    EXPECT_EQ(D3DXCreateEffect(m_device, nullptr, 8, nullptr, nullptr, 0, nullptr, &effect, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateEffect(m_device, "float f;", 8, nullptr, nullptr, 0, nullptr, nullptr, nullptr),
              D3DERR_INVALIDCALL);
}

TEST_F(EffectTest, EffectsComeFromModuleResourcesAndFiles) {
    static const unsigned char kSource[] = "float f = 2; technique T { pass P0 { } }";
    const ResourceBlobEntry blobs[] = {{7, kSource, sizeof kSource - 1}, {0, nullptr, 0}};
    const ResourceStringEntry strings[] = {{0, nullptr}};
    ModuleResourceRegistrar module("EffectTestModule", strings, blobs);

    ID3DXEffect* effect = nullptr;
    ASSERT_EQ(D3DXCreateEffectFromResource(m_device, module.Module(), MAKEINTRESOURCEA(7), nullptr, nullptr, 0,
                                           nullptr, &effect, nullptr),
              D3D_OK);
    effect->Release();
    EXPECT_EQ(D3DXCreateEffectFromResource(m_device, module.Module(), MAKEINTRESOURCEA(8), nullptr, nullptr, 0,
                                           nullptr, &effect, nullptr),
              D3DXERR_INVALIDDATA);
    EXPECT_EQ(effect, nullptr);

    const std::string path = ::testing::TempDir() + "d3dxeffect_test.fx";
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(kSource, 1, sizeof kSource - 1, file);
    std::fclose(file);
    ASSERT_EQ(D3DXCreateEffectFromFile(m_device, path.c_str(), nullptr, nullptr, 0, nullptr, &effect, nullptr),
              D3D_OK);
    effect->Release();
    std::remove(path.c_str());
    EXPECT_EQ(D3DXCreateEffectFromFile(m_device, path.c_str(), nullptr, nullptr, 0, nullptr, &effect, nullptr),
              D3DXERR_INVALIDDATA);
}

// ==== Parameters, references and passes ====

TEST_F(EffectTest, SettersRoundTripAndRejectTheWrongShape) {
    ID3DXEffect* effect = CreateTestEffect();
    ASSERT_NE(effect, nullptr);
    const D3DXVECTOR4 vector(4, 3, 2, 1);
    D3DXMATRIX matrix;
    D3DXMatrixTranslation(&matrix, 7, 8, 9);
    D3DXMATRIX gotMatrix;
    D3DXVECTOR4 gotVector;
    EXPECT_EQ(effect->SetVector("vOffset", &vector), D3D_OK);
    effect->GetVector("vOffset", &gotVector);
    ExpectVector(gotVector, D3DXVECTOR4(4, 3, 0, 0), "a float2 keeps two components");
    EXPECT_EQ(effect->SetMatrix(effect->GetParameterByName(nullptr, "mTransform"), &matrix), D3D_OK);
    effect->GetMatrix("mTransform", &gotMatrix);
    EXPECT_TRUE(gotMatrix == matrix);

    const float values[4] = {9, 8, 7, 6};
    float gotValues[4] = {};
    EXPECT_EQ(effect->SetValue("vTint", values, sizeof values), D3D_OK);
    EXPECT_EQ(effect->GetValue("vTint", gotValues, sizeof gotValues), D3D_OK);
    EXPECT_EQ(std::memcmp(values, gotValues, sizeof values), 0);
    EXPECT_EQ(effect->SetValue("vTint", values, 8), D3DERR_INVALIDCALL) << "too few bytes";

    EXPECT_EQ(effect->SetFloat("nCount", 5.75f), D3D_OK);
    INT count = 0;
    effect->GetInt("nCount", &count);
    EXPECT_EQ(count, 5) << "an int parameter keeps an int";

    EXPECT_EQ(effect->SetFloat("mTransform", 1.0f), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->SetMatrix("fScale", &matrix), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->SetVector("mTransform", &vector), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->SetTexture("fScale", nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->SetFloat("missing", 1.0f), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->SetFloat(nullptr, 1.0f), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->GetFloat("fScale", nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->Release(), 0u);
}

TEST_F(EffectTest, EffectHoldsItsDeviceAndTheTexturesSetOnIt) {
    const ULONG deviceRefs = RefCount(m_device);
    ID3DXEffect* effect = CreateTestEffect();
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(RefCount(m_device), deviceRefs + 1);
    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(effect->GetDevice(&device), D3D_OK);
    EXPECT_EQ(device, m_device);
    device->Release();

    const DWORD texel = 0;
    IDirect3DTexture9* first = MakeTexture(1, 1, D3DFMT_A8R8G8B8, &texel, 4);
    IDirect3DTexture9* second = MakeTexture(1, 1, D3DFMT_A8R8G8B8, &texel, 4);
    EXPECT_EQ(effect->SetTexture("Tex", first), D3D_OK);
    EXPECT_EQ(RefCount(first), 2u);
    IDirect3DBaseTexture9* got = nullptr;
    EXPECT_EQ(effect->GetTexture("Tex", &got), D3D_OK);
    EXPECT_EQ(got, first);
    EXPECT_EQ(RefCount(first), 3u) << "GetTexture adds a reference";
    got->Release();
    EXPECT_EQ(effect->SetTexture("Tex", second), D3D_OK);
    EXPECT_EQ(RefCount(first), 1u) << "a replaced texture is released";
    EXPECT_EQ(RefCount(second), 2u);
    EXPECT_EQ(effect->Release(), 0u);
    EXPECT_EQ(RefCount(second), 1u) << "the effect releases its textures when it dies";
    EXPECT_EQ(first->Release(), 0u);
    EXPECT_EQ(second->Release(), 0u);
    EXPECT_EQ(RefCount(m_device), deviceRefs) << "and its device";
}

TEST_F(EffectTest, PassesFollowTheBeginPassEndOrder) {
    ID3DXEffect* effect = CreateTestEffect();
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->BeginPass(0), D3DERR_INVALIDCALL) << "BeginPass before Begin";
    EXPECT_EQ(effect->End(), D3DERR_INVALIDCALL) << "End before Begin";
    EXPECT_EQ(effect->Begin(nullptr, 0), D3D_OK) << "the pass count is optional";
    EXPECT_EQ(effect->Begin(nullptr, 0), D3DERR_INVALIDCALL) << "nested Begin";
    EXPECT_EQ(effect->EndPass(), D3DERR_INVALIDCALL) << "EndPass without a pass";
    EXPECT_EQ(effect->CommitChanges(), D3DERR_INVALIDCALL) << "CommitChanges without a pass";
    EXPECT_EQ(effect->BeginPass(1), D3DERR_INVALIDCALL) << "the first technique has one pass";
    EXPECT_EQ(effect->BeginPass(0), D3D_OK);
    EXPECT_EQ(effect->BeginPass(0), D3DERR_INVALIDCALL) << "a pass is already active";
    EXPECT_EQ(effect->SetTechnique("Second"), D3DERR_INVALIDCALL) << "technique changes wait for End";
    EXPECT_EQ(effect->CommitChanges(), D3D_OK);
    EXPECT_EQ(effect->EndPass(), D3D_OK);
    EXPECT_EQ(effect->End(), D3D_OK);
    EXPECT_EQ(effect->OnLostDevice(), D3D_OK);
    EXPECT_EQ(effect->OnResetDevice(), D3D_OK);
    EXPECT_EQ(effect->Release(), 0u);
}

TEST_F(EffectTest, DrawsInsideAPassRecordTheTechniqueAndPass) {
    ID3DXEffect* effect = CreateTestEffect();
    ASSERT_NE(effect, nullptr);
    const float triangle[3][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    m_device->SetFVF(D3DFVF_XYZ);
    m_device->BeginScene();
    effect->SetTechnique("Second");
    effect->Begin(nullptr, 0);
    effect->BeginPass(1);
    EXPECT_EQ(m_device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, sizeof triangle[0]), D3D_OK);
    effect->EndPass();
    effect->End();
    EXPECT_EQ(m_device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, sizeof triangle[0]), D3D_OK);
    m_device->EndScene();
    const std::vector<swdevice::DrawRecord> log = swdevice::DrawLog(m_device);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].technique, "Second");
    EXPECT_EQ(log[0].pass, 1);
    EXPECT_EQ(log[1].technique, "");
    EXPECT_EQ(log[1].pass, -1);
    EXPECT_EQ(effect->Release(), 0u);
}

TEST_F(EffectTest, ShaderContextReadsCurrentValuesAndSamplers) {
    ID3DXEffect* effect = CreateTestEffect();
    ASSERT_NE(effect, nullptr);
    const ShaderContext* context = GetEffectShaderContext(effect);
    ASSERT_NE(context, nullptr);
    effect->SetFloat("fScale", 3.5f);
    EXPECT_EQ(context->Float("fScale"), 3.5f);
    ExpectVector(context->Vector("vOffset"), D3DXVECTOR4(1, -2, 0, 0), "vOffset");
    EXPECT_EQ(context->Matrix("mTransform")._44, 16.0f);
    EXPECT_EQ(context->Float("missing"), 0.0f);
    ExpectVector(context->Sample("sTex", 0.5f, 0.5f, -128), D3DXVECTOR4(0, 0, 0, 1), "no texture: unbound stage");

    const DWORD texels[2] = {0xff000000, 0x80ff0000};  // black, then half-transparent red
    IDirect3DTexture9* texture = MakeTexture(2, 1, D3DFMT_A8R8G8B8, texels, 4);
    effect->SetTexture("Tex", texture);
    ExpectVector(context->Sample("sTex", 0.75f, 0.5f, -128), D3DXVECTOR4(1, 0, 0, 128 / 255.0f), "point");
    ExpectVector(context->Sample("sTex", 7.0f, 0.5f, -128), D3DXVECTOR4(1, 0, 0, 128 / 255.0f), "clamped in u");

    const PixelInput pixel{};
    D3DXVECTOR4 colour;
    FindNativePixelShader("PS_TEST")(*context, pixel, colour);
    ExpectVector(colour, D3DXVECTOR4(0.5f, 0.25f, 1, 1), "native shader reads vTint");
    EXPECT_EQ(FindNativeVertexShader("PS_TEST"), nullptr);
    EXPECT_EQ(effect->Release(), 0u);
    EXPECT_EQ(texture->Release(), 0u);
}

// ==== Texture sampler ====

TEST_F(EffectTest, SamplerAddressingModesAtKnownTexels) {
    const BYTE ramp[4] = {0, 85, 170, 255};  // L8, one row
    IDirect3DTexture9* texture = MakeTexture(4, 1, D3DFMT_L8, ramp, 1);
    TextureSampler sampler;
    ASSERT_EQ(sampler.Attach(texture), D3D_OK);
    struct Row {
        const char* label;
        D3DTEXTUREADDRESS address;
        float u;
        float expected;
    };
    const Row rows[] = {
        {"wrap past the right edge", D3DTADDRESS_WRAP, 1.125f, 0.0f},
        {"wrap below zero", D3DTADDRESS_WRAP, -0.125f, 1.0f},
        {"clamp right", D3DTADDRESS_CLAMP, 3.0f, 1.0f},
        {"clamp left", D3DTADDRESS_CLAMP, -3.0f, 0.0f},
        {"mirror once past the edge", D3DTADDRESS_MIRROR, 1.125f, 1.0f},
        {"mirror second texel back", D3DTADDRESS_MIRROR, 1.375f, 170 / 255.0f},
        {"mirror twice is wrap", D3DTADDRESS_MIRROR, 2.125f, 0.0f},
        {"mirroronce left", D3DTADDRESS_MIRRORONCE, -0.375f, 85 / 255.0f},
        {"mirroronce clamps beyond", D3DTADDRESS_MIRRORONCE, -3.0f, 1.0f},
        {"border outside", D3DTADDRESS_BORDER, 1.125f, 0.2f},
        {"border inside", D3DTADDRESS_BORDER, 0.375f, 85 / 255.0f},
        {"not a number", D3DTADDRESS_WRAP, NAN, 0.0f},
    };
    for (const Row& row : rows) {
        SamplerState state;
        state.addressU = row.address;
        state.borderColor = D3DCOLOR_ARGB(255, 51, 51, 51);
        const D3DXVECTOR4 got = sampler.Sample(state, row.u, 0.5f);
        EXPECT_NEAR(got.x, row.expected, kTolerance) << row.label << " at u = " << row.u;
        EXPECT_EQ(got.w, 1.0f) << row.label;
    }
    EXPECT_EQ(texture->Release(), 0u);
}

TEST_F(EffectTest, SamplerFiltersBetweenTexelCentresAndMipLevels) {
    const float level0[2 * 2 * 4] = {0, 0, 0, 1, 1, 0, 0, 1, 0, 1, 0, 1, 0, 0, 1, 1};
    const float level1[4] = {0.5f, 0.5f, 0.5f, 0.5f};
    IDirect3DTexture9* texture = MakeTexture(2, 2, D3DFMT_A32B32G32R32F, level0, 16, 2);
    WriteLevel(texture, 1, 1, 1, level1, 16);
    TextureSampler sampler;
    ASSERT_EQ(sampler.Attach(texture), D3D_OK);
    SamplerState linear;
    linear.minFilter = linear.magFilter = linear.mipFilter = D3DTEXF_LINEAR;
    linear.addressU = linear.addressV = D3DTADDRESS_CLAMP;

    ExpectVector(sampler.Sample(linear, 0.25f, 0.25f), D3DXVECTOR4(0, 0, 0, 1), "texel centre");
    ExpectVector(sampler.Sample(linear, 0.5f, 0.25f), D3DXVECTOR4(0.5f, 0, 0, 1), "halfway across");
    ExpectVector(sampler.Sample(linear, 0.5f, 0.5f), D3DXVECTOR4(0.25f, 0.25f, 0.25f, 1), "four-texel average");
    // A pixel spanning one texel of the 2 x 2 level: lod 0.5, halfway to level 1.
    const float footprint = std::log2(std::sqrt(2.0f)) - 1.0f;
    ExpectVector(sampler.Sample(linear, 0.25f, 0.25f, footprint), D3DXVECTOR4(0.25f, 0.25f, 0.25f, 0.75f),
                 "linear mip blend");
    SamplerState point = linear;
    point.minFilter = point.magFilter = D3DTEXF_POINT;
    point.mipFilter = D3DTEXF_POINT;
    ExpectVector(sampler.Sample(point, 0.5f, 0.25f), D3DXVECTOR4(1, 0, 0, 1), "point picks the texel");
    ExpectVector(sampler.Sample(point, 0.25f, 0.25f, 5.0f), D3DXVECTOR4(0.5f, 0.5f, 0.5f, 0.5f),
                 "far minified: smallest level");
    EXPECT_EQ(texture->Release(), 0u);
}

TEST_F(EffectTest, SamplerDecodesEachFormat) {
    const uint16_t halfTexel[4] = {0x3800, 0x3c00, 0xb800, 0x3400};  // 0.5, 1, -0.5, 0.25
    const uint16_t unorm16[4] = {0, 65535, 32768, 65535};
    const uint16_t luminance16 = 65535;
    const DWORD argb = 0x40ff8000;
    const BYTE alpha = 51;
    struct Row {
        const char* label;
        D3DFORMAT format;
        const void* texel;
        UINT bytes;
        D3DXVECTOR4 expected;
    };
    const Row rows[] = {
        {"A8R8G8B8", D3DFMT_A8R8G8B8, &argb, 4, D3DXVECTOR4(1, 128 / 255.0f, 0, 64 / 255.0f)},
        {"X8R8G8B8 ignores alpha", D3DFMT_X8R8G8B8, &argb, 4, D3DXVECTOR4(1, 128 / 255.0f, 0, 1)},
        {"A8 is black with alpha", D3DFMT_A8, &alpha, 1, D3DXVECTOR4(0, 0, 0, 0.2f)},
        {"L16 is grey", D3DFMT_L16, &luminance16, 2, D3DXVECTOR4(1, 1, 1, 1)},
        {"A16B16G16R16", D3DFMT_A16B16G16R16, unorm16, 8, D3DXVECTOR4(0, 1, 32768 / 65535.0f, 1)},
        {"A16B16G16R16F", D3DFMT_A16B16G16R16F, halfTexel, 8, D3DXVECTOR4(0.5f, 1, -0.5f, 0.25f)},
    };
    for (const Row& row : rows) {
        IDirect3DTexture9* texture = MakeTexture(1, 1, row.format, row.texel, row.bytes);
        ASSERT_NE(texture, nullptr) << row.label;
        TextureSampler sampler;
        ASSERT_EQ(sampler.Attach(texture), D3D_OK) << row.label;
        ExpectVector(sampler.Sample(SamplerState(), 0.5f, 0.5f), row.expected, row.label);
        EXPECT_EQ(texture->Release(), 0u) << row.label;
    }
    TextureSampler detached;
    ExpectVector(detached.Sample(SamplerState(), 0.5f, 0.5f), D3DXVECTOR4(0, 0, 0, 1), "detached");
}

}  // namespace
