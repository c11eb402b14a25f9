#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Undrelle.h"
#include "platform/crt_rand.h"
#include "platform/nativeshader.h"
#include "platform/swdevice.h"
#include "windows.h"
#include "support/testdevice.h"

namespace {

constexpr DWORD kPs20 = D3DPS_VERSION(2, 0);
constexpr DWORD kPs11 = D3DPS_VERSION(1, 1);
constexpr DWORD kNoPs = 0;
constexpr int kImageSide = CWaveNoise::IMAGE_SIDE;

// Opens the protected views of the noise and its textures.
class InspectableWaveGenerator : public CWaveGenerator {
public:
    using CWaveGenerator::CWaveGenerator;
    using CWaveGenerator::GetNoise;
    using CWaveGenerator::GetNoiseTexture;
};

D3DSURFACE_DESC TopLevel(IDirect3DTexture9* texture) {
    D3DSURFACE_DESC desc{};
    EXPECT_EQ(D3D_OK, texture->GetLevelDesc(0, &desc));
    return desc;
}

// The surface a texture's level 0 renders into; no reference is kept.
const IDirect3DSurface9* TargetOf(IDirect3DTexture9* texture) {
    IDirect3DSurface9* surface = nullptr;
    EXPECT_EQ(D3D_OK, texture->GetSurfaceLevel(0, &surface));
    surface->Release();
    return surface;
}

std::vector<int> ImageCopy(const CWaveNoise& noise, int n) {
    return std::vector<int>(noise.GetImage(n), noise.GetImage(n) + CWaveNoise::IMAGE_TEXELS);
}

// Every render state the device answers for, by enum value.
std::vector<std::pair<int, DWORD>> AllRenderStates(IDirect3DDevice9* device) {
    std::vector<std::pair<int, DWORD>> states;
    for (int state = 0; state < D3D_MAX_RENDERSTATES; ++state) {
        DWORD value = 0;
        if (SUCCEEDED(device->GetRenderState(static_cast<D3DRENDERSTATETYPE>(state), &value))) {
            states.emplace_back(state, value);
        }
    }
    return states;
}

void ExpectMapStates(const swdevice::DrawRecord& draw) {
    const swdevice::PipelineStates& s = draw.states;
    EXPECT_EQ(FALSE, s.RenderState(D3DRS_LIGHTING));
    EXPECT_EQ(FALSE, s.RenderState(D3DRS_FOGENABLE));
    EXPECT_EQ(DWORD(D3DCULL_NONE), s.RenderState(D3DRS_CULLMODE));
    EXPECT_EQ(FALSE, s.RenderState(D3DRS_CLIPPING));
    EXPECT_EQ(FALSE, s.RenderState(D3DRS_ALPHABLENDENABLE));
    EXPECT_EQ(FALSE, s.RenderState(D3DRS_ALPHATESTENABLE));
    EXPECT_EQ(FALSE, s.RenderState(D3DRS_ZENABLE));
    EXPECT_EQ(FALSE, s.RenderState(D3DRS_ZWRITEENABLE));
    EXPECT_EQ(FALSE, s.RenderState(D3DRS_STENCILENABLE));
}

void ExpectViewport(int width, int height, const D3DVIEWPORT9& viewport) {
    EXPECT_EQ(0u, viewport.X);
    EXPECT_EQ(0u, viewport.Y);
    EXPECT_EQ(DWORD(width), viewport.Width);
    EXPECT_EQ(DWORD(height), viewport.Height);
}

struct MessageBoxCall {
    int count = 0;
    std::string text;
    std::string caption;
    UINT type = 0;
};

int RecordMessageBox(HWND, LPCSTR text, LPCSTR caption, UINT type, void* user) {
    auto* call = static_cast<MessageBoxCall*>(user);
    ++call->count;
    call->text = text;
    call->caption = caption;
    call->type = type;
    return IDOK;
}

class WaveGeneratorTest : public ::testing::Test {
protected:
    void SetUp() override {
        swdevice::ResetSettings();
        m_liveAtStart = swdevice::LiveObjectCount();
        crt::srand(7);
    }

    void TearDown() override {
        ReleaseAll();
        EXPECT_EQ(m_liveAtStart, swdevice::LiveObjectCount());
        swdevice::ResetSettings();
        SetMessageBoxHook(nullptr, nullptr);
    }

    void ReleaseAll() {
        m_generator.reset();
        if (m_device) {
            EXPECT_EQ(0u, m_device->Release());
        }
        if (m_d3d) {
            EXPECT_EQ(0u, m_d3d->Release());
        }
        m_device = nullptr;
        m_d3d = nullptr;
    }

    // A fresh device with the given pixel shader version.
    void CreateDevice(DWORD pixelShaderVersion) {
        ReleaseAll();
        swdevice::g_settings.pixelShaderVersion = pixelShaderVersion;
        m_d3d = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(nullptr, m_d3d);
        m_pp = WindowedParams(64, 64, D3DFMT_X8R8G8B8, true);
        ASSERT_EQ(D3D_OK, m_d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                              D3DCREATE_SOFTWARE_VERTEXPROCESSING, &m_pp, &m_device));
    }

    InspectableWaveGenerator& Generate(DWORD pixelShaderVersion, int size = 512) {
        CreateDevice(pixelShaderVersion);
        m_generator = std::make_unique<InspectableWaveGenerator>(m_device, size, size);
        return *m_generator;
    }

    std::vector<swdevice::DrawRecord> UpdateAndLog(unsigned long milliseconds) {
        swdevice::ClearDrawLog(m_device);
        m_generator->Update(milliseconds);
        return swdevice::DrawLog(m_device);
    }

    size_t m_liveAtStart = 0;
    IDirect3D9* m_d3d = nullptr;
    IDirect3DDevice9* m_device = nullptr;
    D3DPRESENT_PARAMETERS m_pp{};
    std::unique_ptr<InspectableWaveGenerator> m_generator;
};

// ==== Sizes and formats ====

TEST_F(WaveGeneratorTest, MapSizesHalveWithEachMissingShaderVersion) {
    const struct {
        const char* label;
        DWORD ps;
        UINT side;
        bool heightMap;
    } cases[] = {{"ps 2.0", kPs20, 512, true}, {"ps 1.1", kPs11, 256, false}, {"no shaders", kNoPs, 128, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const CWaveGenerator& generator = Generate(c.ps, 512);
        ASSERT_NE(nullptr, generator.GetNormalMap());
        const D3DSURFACE_DESC normal = TopLevel(generator.GetNormalMap());
        EXPECT_EQ(c.side, normal.Width);
        EXPECT_EQ(c.side, normal.Height);
        EXPECT_EQ(DWORD(D3DUSAGE_RENDERTARGET | D3DUSAGE_AUTOGENMIPMAP), normal.Usage);
        EXPECT_EQ(D3DPOOL_DEFAULT, normal.Pool);
        EXPECT_EQ(c.heightMap, generator.GetHeightMap() != nullptr);
        if (c.heightMap) {
            const D3DSURFACE_DESC height = TopLevel(generator.GetHeightMap());
            EXPECT_EQ(c.side, height.Width);
            EXPECT_EQ(c.side, height.Height);
            EXPECT_EQ(DWORD(D3DUSAGE_RENDERTARGET), height.Usage);
        }
    }
}

TEST_F(WaveGeneratorTest, MapFormatIsTheFirstWideRenderTargetOffered) {
    const D3DFORMAT wide[] = {D3DFMT_A16B16G16R16, D3DFMT_A16B16G16R16F, D3DFMT_A32B32G32R32F};
    const struct {
        int rejected;  // how many of the wide formats are not render targets
        D3DFORMAT expected;
    } cases[] = {{0, D3DFMT_A16B16G16R16}, {1, D3DFMT_A16B16G16R16F}, {2, D3DFMT_A32B32G32R32F}, {3, D3DFMT_A8R8G8B8}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rejected);
        swdevice::ResetSettings();
        for (int i = 0; i < c.rejected; ++i) swdevice::RejectFormat(D3DRTYPE_TEXTURE, wide[i], D3DUSAGE_RENDERTARGET);
        const CWaveGenerator& generator = Generate(kPs20, 64);
        EXPECT_EQ(c.expected, TopLevel(generator.GetNormalMap()).Format);
        EXPECT_EQ(c.expected, TopLevel(generator.GetHeightMap()).Format);
    }
}

// Also checks the format choice: L8 only when L16 is not a dynamic texture.
TEST_F(WaveGeneratorTest, NoiseTexturesHoldTheImagesInTheirTexelEncoding) {
    for (const bool offerL16 : {true, false}) {
        SCOPED_TRACE(offerL16 ? "L16" : "L8");
        swdevice::ResetSettings();
        if (!offerL16) swdevice::RejectFormat(D3DRTYPE_TEXTURE, D3DFMT_L16, D3DUSAGE_DYNAMIC);
        InspectableWaveGenerator& generator = Generate(kPs20, 64);
        generator.Update(250);
        for (int n = 0; n < 2; ++n) {
            IDirect3DTexture9* texture = generator.GetNoiseTexture(n);
            ASSERT_NE(nullptr, texture);
            const D3DSURFACE_DESC desc = TopLevel(texture);
            EXPECT_EQ(offerL16 ? D3DFMT_L16 : D3DFMT_L8, desc.Format);
            EXPECT_EQ(UINT(kImageSide), desc.Width);
            EXPECT_EQ(DWORD(D3DUSAGE_DYNAMIC), desc.Usage);
            D3DLOCKED_RECT locked{};
            ASSERT_EQ(D3D_OK, texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY));
            const int* image = generator.GetNoise().GetImage(n);
            int mismatches = 0;
            for (int y = 0; y < kImageSide; ++y) {
                const BYTE* row = static_cast<const BYTE*>(locked.pBits) + y * locked.Pitch;
                for (int x = 0; x < kImageSide; ++x) {
                    const int value = image[y * kImageSide + x];
                    unsigned short l16 = 0;
                    if (!offerL16) mismatches += row[x] != CWaveNoise::EncodeL8(value);
                    else mismatches += (std::memcpy(&l16, row + 2 * x, 2), l16) != CWaveNoise::EncodeL16(value);
                }
            }
            texture->UnlockRect(0);
            EXPECT_EQ(0, mismatches) << "image " << n;
        }
    }
}

// ==== Animation ====

TEST_F(WaveGeneratorTest, SpeedZeroFreezesTheNoiseButStillRedraws) {
    InspectableWaveGenerator& generator = Generate(kPs20, 64);
    EXPECT_EQ(1.0f, generator.GetSpeed());
    generator.SetSpeed(0.0f);
    EXPECT_EQ(0.0f, generator.GetSpeed());
    generator.Update(1000);
    const std::vector<int> image = ImageCopy(generator.GetNoise(), 0);
    EXPECT_EQ(2u, UpdateAndLog(1000).size());
    EXPECT_EQ(0.0, generator.GetNoise().GetTime());
    EXPECT_EQ(image, ImageCopy(generator.GetNoise(), 0));
}

TEST_F(WaveGeneratorTest, NonFiniteSpeedIsIgnored) {
    InspectableWaveGenerator& generator = Generate(kPs20, 64);
    generator.SetSpeed(2.0f);
    generator.SetSpeed(NAN);
    generator.SetSpeed(INFINITY);
    EXPECT_EQ(2.0f, generator.GetSpeed());
    generator.Update(500);
    EXPECT_DOUBLE_EQ(1.0, generator.GetNoise().GetTime());
}

TEST_F(WaveGeneratorTest, UpdateZeroRedrawsWithoutAdvancing) {
    InspectableWaveGenerator& generator = Generate(kPs20, 64);
    generator.Update(500);
    const double time = generator.GetNoise().GetTime();
    const std::vector<int> image = ImageCopy(generator.GetNoise(), 1);
    EXPECT_EQ(2u, UpdateAndLog(0).size());
    EXPECT_EQ(time, generator.GetNoise().GetTime());
    EXPECT_EQ(image, ImageCopy(generator.GetNoise(), 1));
}

// A paused host resuming may pass anything; the next small step must still move the water.
TEST_F(WaveGeneratorTest, HugeElapsedTimeKeepsTheAnimationGoing) {
    InspectableWaveGenerator& generator = Generate(kPs20, 64);
    EXPECT_EQ(2u, UpdateAndLog(ULONG_MAX).size());
    const double time = generator.GetNoise().GetTime();
    ASSERT_TRUE(std::isfinite(time));
    const std::vector<int> image = ImageCopy(generator.GetNoise(), 0);
    EXPECT_EQ(2u, UpdateAndLog(40).size());
    EXPECT_NEAR(0.04, generator.GetNoise().GetTime() - time, 1e-6);
    EXPECT_NE(image, ImageCopy(generator.GetNoise(), 0));
}

// ==== Render sequence ====

TEST_F(WaveGeneratorTest, Version20ShadersDrawTheHeightMapThenTheNormalMapWithTheQuad) {
    const CWaveGenerator& generator = Generate(kPs20, 64);
    const std::vector<swdevice::DrawRecord> draws = UpdateAndLog(16);
    ASSERT_EQ(2u, draws.size());
    const struct {
        const char* technique;
        IDirect3DTexture9* target;
    } expected[] = {{"T1X", generator.GetHeightMap()}, {"T20", generator.GetNormalMap()}};
    for (size_t i = 0; i < 2; ++i) {
        SCOPED_TRACE(expected[i].technique);
        const swdevice::DrawRecord& draw = draws[i];
        EXPECT_EQ(expected[i].technique, draw.technique);
        EXPECT_EQ(0, draw.pass);
        EXPECT_EQ(TargetOf(expected[i].target), draw.renderTarget);
        EXPECT_EQ(D3DPT_TRIANGLELIST, draw.primitiveType);
        EXPECT_EQ(0u, draw.startVertex);
        EXPECT_EQ(2u, draw.primitiveCount);
        EXPECT_EQ(20u, draw.streamStride);
        EXPECT_EQ(DWORD(D3DFVF_XYZ | D3DFVF_TEX1), draw.fvf);
        ExpectViewport(64, 64, draw.viewport);
        ExpectMapStates(draw);
    }
    EXPECT_EQ(draws[0].streamBuffer, draws[1].streamBuffer);
}

void ExpectFixedFunctionNormalStages(const swdevice::PipelineStates& s) {
    EXPECT_EQ(DWORD(D3DMCS_MATERIAL), s.RenderState(D3DRS_DIFFUSEMATERIALSOURCE));
    EXPECT_EQ(DWORD(D3DTOP_SELECTARG1), s.TextureStageState(0, D3DTSS_COLOROP));
    EXPECT_EQ(DWORD(D3DTA_DIFFUSE), s.TextureStageState(0, D3DTSS_COLORARG1));
    EXPECT_EQ(DWORD(D3DTOP_SELECTARG1), s.TextureStageState(0, D3DTSS_ALPHAOP));
    EXPECT_EQ(DWORD(D3DTA_DIFFUSE), s.TextureStageState(0, D3DTSS_ALPHAARG1));
    EXPECT_EQ(DWORD(D3DTOP_DISABLE), s.TextureStageState(1, D3DTSS_COLOROP));
}

TEST_F(WaveGeneratorTest, WithoutVersion20ShadersTheCpuGridIsDrawnOneStripPerRow) {
    const struct {
        DWORD ps;
        UINT side;
        const char* technique;
        UINT stride;
        DWORD fvf;
    } cases[] = {
        {kPs11, 32, "T10", 32, D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1},
        {kNoPs, 16, "", 20, D3DFVF_XYZRHW | D3DFVF_DIFFUSE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ps);
        const CWaveGenerator& generator = Generate(c.ps, 64);
        const std::vector<swdevice::DrawRecord> draws = UpdateAndLog(16);
        ASSERT_EQ(c.side - 1, draws.size());
        for (UINT row = 0; row < draws.size(); ++row) {
            SCOPED_TRACE(row);
            const swdevice::DrawRecord& draw = draws[row];
            EXPECT_EQ(c.technique, draw.technique);
            EXPECT_EQ(TargetOf(generator.GetNormalMap()), draw.renderTarget);
            EXPECT_EQ(D3DPT_TRIANGLESTRIP, draw.primitiveType);
            EXPECT_EQ(2 * c.side * row, draw.startVertex);
            EXPECT_EQ(2 * c.side - 2, draw.primitiveCount);
            EXPECT_EQ(c.stride, draw.streamStride);
            EXPECT_EQ(c.fvf, draw.fvf);
            ExpectViewport(c.side, c.side, draw.viewport);
            ExpectMapStates(draw);
            if (c.ps == kNoPs) ExpectFixedFunctionNormalStages(draw.states);
        }
    }
}

TEST_F(WaveGeneratorTest, UpdateLeavesTheHostsStatesTargetsAndViewportAsTheyWere) {
    for (const DWORD ps : {kPs20, kPs11}) {
        SCOPED_TRACE(ps);
        CWaveGenerator& generator = Generate(ps, 64);
        const D3DRENDERSTATETYPE enabled[] = {D3DRS_LIGHTING,        D3DRS_FOGENABLE, D3DRS_ALPHABLENDENABLE,
                                              D3DRS_ALPHATESTENABLE, D3DRS_ZENABLE,   D3DRS_STENCILENABLE};
        for (D3DRENDERSTATETYPE state : enabled) m_device->SetRenderState(state, TRUE);
        m_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
        const D3DVIEWPORT9 hostViewport = {4, 8, 32, 16, 0.25f, 0.75f};
        ASSERT_EQ(D3D_OK, m_device->SetViewport(&hostViewport));
        IDirect3DSurface9* target = nullptr;
        IDirect3DSurface9* depth = nullptr;
        ASSERT_EQ(D3D_OK, m_device->GetRenderTarget(0, &target));
        ASSERT_EQ(D3D_OK, m_device->GetDepthStencilSurface(&depth));
        const auto statesBefore = AllRenderStates(m_device);

        generator.Update(16);

        EXPECT_EQ(statesBefore, AllRenderStates(m_device));
        D3DVIEWPORT9 viewport{};
        m_device->GetViewport(&viewport);
        EXPECT_EQ(0, std::memcmp(&hostViewport, &viewport, sizeof viewport));
        IDirect3DSurface9* targetAfter = nullptr;
        IDirect3DSurface9* depthAfter = nullptr;
        m_device->GetRenderTarget(0, &targetAfter);
        m_device->GetDepthStencilSurface(&depthAfter);
        EXPECT_EQ(target, targetAfter);
        EXPECT_EQ(depth, depthAfter);
        for (IDirect3DSurface9* surface : {target, depth, targetAfter, depthAfter}) {
            if (surface) surface->Release();
        }
        EXPECT_EQ(D3D_OK, m_device->BeginScene()) << "Update closed its own scene";
        m_device->EndScene();
    }
}

// ==== Device loss and lifetime ====

TEST_F(WaveGeneratorTest, LossAndResetRecreateTheMapsAtTheSameSize) {
    for (const DWORD ps : {kPs20, kPs11, kNoPs}) {
        SCOPED_TRACE(ps);
        CWaveGenerator& generator = Generate(ps, 64);
        const UINT side = TopLevel(generator.GetNormalMap()).Width;
        const size_t drawsPerUpdate = UpdateAndLog(16).size();
        ASSERT_TRUE(swdevice::SimulateDeviceLoss(m_device));
        generator.OnLostDevice();
        EXPECT_EQ(nullptr, generator.GetNormalMap());
        EXPECT_EQ(nullptr, generator.GetHeightMap());
        EXPECT_TRUE(UpdateAndLog(16).empty());
        EXPECT_EQ(D3D_OK, m_device->Reset(&m_pp)) << "a default-pool resource was kept";
        generator.OnRestoreDevice();
        ASSERT_NE(nullptr, generator.GetNormalMap());
        EXPECT_EQ(side, TopLevel(generator.GetNormalMap()).Width);
        EXPECT_EQ(side, TopLevel(generator.GetNormalMap()).Height);
        EXPECT_EQ(ps == kPs20, generator.GetHeightMap() != nullptr);
        EXPECT_EQ(drawsPerUpdate, UpdateAndLog(16).size());
    }
}

TEST_F(WaveGeneratorTest, RestoredMapsAreNewTextures) {
    CWaveGenerator& generator = Generate(kPs20, 64);
    IDirect3DTexture9* oldMaps[] = {generator.GetHeightMap(), generator.GetNormalMap()};
    for (IDirect3DTexture9* map : oldMaps) map->AddRef();  // keeps the old addresses taken
    generator.OnLostDevice();
    generator.OnRestoreDevice();
    EXPECT_NE(oldMaps[0], generator.GetHeightMap());
    EXPECT_NE(oldMaps[1], generator.GetNormalMap());
    for (IDirect3DTexture9* map : oldMaps) EXPECT_EQ(0u, map->Release()) << "the generator still held it";
}

TEST_F(WaveGeneratorTest, DestructionReleasesEveryDeviceObject) {
    for (const DWORD ps : {kPs20, kPs11, kNoPs}) {
        SCOPED_TRACE(ps);
        CreateDevice(ps);
        const size_t liveBefore = swdevice::LiveObjectCount();
        auto generator = std::make_unique<CWaveGenerator>(m_device, 64, 64);
        generator->Update(16);
        EXPECT_LT(liveBefore, swdevice::LiveObjectCount());
        generator.reset();
        EXPECT_EQ(liveBefore, swdevice::LiveObjectCount());
    }
}

// ==== Failures ====

TEST_F(WaveGeneratorTest, EffectCompileErrorIsShownAndOnlyItsPassIsSkipped) {
    const NativePixelShader heightMapPS = FindNativePixelShader("HeightMapPS");
    ASSERT_NE(nullptr, heightMapPS);
    UnregisterNativeShader("HeightMapPS");
    MessageBoxCall call;
    SetMessageBoxHook(RecordMessageBox, &call);

    Generate(kPs20, 64);
    RegisterNativeShader({"HeightMapPS", nullptr, heightMapPS});

    EXPECT_EQ(1, call.count);
    EXPECT_NE(std::string::npos, call.text.find("HeightMapPS")) << call.text;
    EXPECT_EQ("Error", call.caption);
    EXPECT_EQ(UINT(MB_ICONERROR), call.type);
    const std::vector<swdevice::DrawRecord> draws = UpdateAndLog(16);
    ASSERT_EQ(1u, draws.size());
    EXPECT_EQ("T20", draws[0].technique);
}

TEST_F(WaveGeneratorTest, WithoutANormalMapUpdateDoesNothingUntilARestoreMakesOne) {
    swdevice::FailEveryCreation(swdevice::kTexture);
    CWaveGenerator& generator = Generate(kPs20, 64);
    EXPECT_EQ(nullptr, generator.GetNormalMap());
    EXPECT_EQ(nullptr, generator.GetHeightMap());
    EXPECT_TRUE(UpdateAndLog(16).empty());
    swdevice::ClearFaults();
    generator.OnLostDevice();
    generator.OnRestoreDevice();
    ASSERT_NE(nullptr, generator.GetNormalMap());
    EXPECT_EQ(2u, UpdateAndLog(16).size());
}

}  // namespace
