// Texturing through the fixed-function stages: addressing and filtering at
// known texels, mip selection, stage operations and arguments, lighting's
// material colours, and 16-bit and float render targets and textures.
#include <cmath>
#include <cstring>

#include "raster_support.h"

namespace {

constexpr DWORD kTexels[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};  // red, green, blue, white
constexpr DWORD kBorder = 0xFF808080;

// Normal half-precision values only, which is all these tests store.
float NormalHalfToFloat(WORD half) {
    const float magnitude = std::ldexp(1.0f + (half & 0x3FF) / 1024.0f, ((half >> 10) & 0x1F) - 15);
    return (half & 0x8000) ? -magnitude : magnitude;
}

class RasterTextures : public RasterTest {
protected:
    void TearDown() override {
        m_device->SetTexture(0, nullptr);
        for (IDirect3DTexture9* texture : m_textures) EXPECT_EQ(0u, texture->Release());
        RasterTest::TearDown();
    }

    IDirect3DTexture9* MakeTexture(UINT width, UINT height, UINT levels, D3DFORMAT format = D3DFMT_A8R8G8B8,
                                   DWORD usage = 0, D3DPOOL pool = D3DPOOL_MANAGED) {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(D3D_OK, m_device->CreateTexture(width, height, levels, usage, format, pool, &texture, nullptr));
        m_textures.push_back(texture);
        return texture;
    }

    // Level `level` filled row by row from 32-bit texels (or one repeated texel).
    void Fill(IDirect3DTexture9* texture, UINT level, const DWORD* texels, bool repeat = false) {
        D3DSURFACE_DESC desc;
        texture->GetLevelDesc(level, &desc);
        D3DLOCKED_RECT locked;
        ASSERT_EQ(D3D_OK, texture->LockRect(level, &locked, nullptr, 0));
        for (UINT y = 0; y < desc.Height; ++y) {
            for (UINT x = 0; x < desc.Width; ++x) {
                const DWORD texel = repeat ? texels[0] : texels[y * desc.Width + x];
                std::memcpy(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch + x * 4, &texel, 4);
            }
        }
        ASSERT_EQ(D3D_OK, texture->UnlockRect(level));
    }

    // A 4 x 1 texture of kTexels on stage 0, selected alone.
    void BindStrip() {
        IDirect3DTexture9* texture = MakeTexture(4, 1, 1);
        Fill(texture, 0, kTexels);
        ASSERT_EQ(D3D_OK, m_device->SetTexture(0, texture));
        ASSERT_EQ(D3D_OK, m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1));
    }

    void SetSampler(D3DSAMPLERSTATETYPE type, DWORD value) {
        ASSERT_EQ(D3D_OK, m_device->SetSamplerState(0, type, value));
    }

    std::vector<IDirect3DTexture9*> m_textures;
};

// Pixel x of a row spanning u 0..2 samples texel index x.
TEST_F(RasterTextures, AddressingModesPickTheExpectedTexels) {
    BindStrip();
    SetSampler(D3DSAMP_BORDERCOLOR, kBorder);
    struct Row {
        const char* label;
        DWORD mode;
        DWORD expected[8];
    };
    const DWORD r = kTexels[0], g = kTexels[1], b = kTexels[2], w = kTexels[3];
    const Row rows[] = {
        {"wrap", D3DTADDRESS_WRAP, {r, g, b, w, r, g, b, w}},
        {"clamp", D3DTADDRESS_CLAMP, {r, g, b, w, w, w, w, w}},
        {"mirror", D3DTADDRESS_MIRROR, {r, g, b, w, w, b, g, r}},
        {"border", D3DTADDRESS_BORDER, {r, g, b, w, kBorder, kBorder, kBorder, kBorder}},
    };
    for (const Row& row : rows) {
        SetSampler(D3DSAMP_ADDRESSU, row.mode);
        Clear(0);
        DrawRect(-0.5f, -0.5f, 7.5f, 0.5f, 0xFFFFFFFF, 0.5f, 2.0f, 1.0f);
        for (UINT x = 0; x < 8; ++x) {
            EXPECT_EQ(row.expected[x] & 0xFFFFFF, PixelAt(x, 0) & 0xFFFFFF) << row.label << " pixel " << x;
        }
    }
}

// u runs 0..1 over eight pixels: pixel x samples texel coordinate x / 2 - 0.25.
TEST_F(RasterTextures, LinearFilteringBlendsNeighbouringTexels) {
    BindStrip();
    SetSampler(D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    SetSampler(D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    DrawRect(-0.5f, -0.5f, 7.5f, 0.5f, 0xFFFFFFFF, 0.5f, 1.0f, 0.0f);
    EXPECT_EQ(0xFF0000u, PixelAt(0, 0) & 0xFFFFFF) << "left of the first centre clamps";
    EXPECT_EQ(0xBF4000u, PixelAt(1, 0) & 0xFFFFFF) << "a quarter of the way from red to green";
    EXPECT_EQ(0x40BF00u, PixelAt(2, 0) & 0xFFFFFF) << "three quarters of the way";
}

// Eight texels across two pixels: a footprint of four texels, mip level 2.
TEST_F(RasterTextures, MipFilterChoosesTheLevelOfTheFootprint) {
    IDirect3DTexture9* texture = MakeTexture(8, 8, 4);
    const DWORD levelColours[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};
    for (UINT level = 0; level < 4; ++level) Fill(texture, level, &levelColours[level], true);
    ASSERT_EQ(D3D_OK, m_device->SetTexture(0, texture));
    struct Row {
        const char* label;
        DWORD mipFilter;
        DWORD expected;
    };
    const Row rows[] = {{"no mipmapping", D3DTEXF_NONE, 0xFF0000}, {"nearest level", D3DTEXF_POINT, 0x0000FF}};
    for (const Row& row : rows) {
        SetSampler(D3DSAMP_MIPFILTER, row.mipFilter);
        Clear(0);
        DrawRect(0, 0, 2, 2, 0xFFFFFFFF);
        EXPECT_EQ(row.expected, PixelAt(0, 0) & 0xFFFFFF) << row.label;
    }
}

TEST_F(RasterTextures, StagesCombineTheirArguments) {
    BindStrip();
    SetState(D3DRS_TEXTUREFACTOR, DWORD(0x80808080));
    ASSERT_EQ(D3D_OK, m_device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE));
    ASSERT_EQ(D3D_OK, m_device->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_CURRENT));
    ASSERT_EQ(D3D_OK, m_device->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_TFACTOR));
    DrawRect(-0.5f, -0.5f, 3.5f, 0.5f, 0xFF00FF00, 0.5f, 1.0f, 1.0f);
    EXPECT_EQ(0x800000u, PixelAt(0, 0) & 0xFFFFFF) << "red texel, halved by the factor in stage 1";

    ASSERT_EQ(D3D_OK, m_device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE));
    ASSERT_EQ(D3D_OK, m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2));
    ASSERT_EQ(D3D_OK, m_device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE));
    DrawRect(-0.5f, -0.5f, 3.5f, 0.5f, 0xFF00FF00);
    EXPECT_EQ(0x00FF00u, PixelAt(0, 0) & 0xFFFFFF) << "SELECTARG2 of the diffuse colour";

    ASSERT_EQ(D3D_OK, m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE));
    ASSERT_EQ(D3D_OK, m_device->SetTexture(0, nullptr));
    DrawRect(-0.5f, -0.5f, 3.5f, 0.5f, 0xFF336699);
    EXPECT_EQ(0x336699u, PixelAt(0, 0) & 0xFFFFFF) << "MODULATE without a texture shows the diffuse colour";

    ASSERT_EQ(D3D_OK, m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1));
    ASSERT_EQ(D3D_OK, m_device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_SPECULAR));
    DrawRect(-0.5f, -0.5f, 3.5f, 0.5f, 0xFF336699);
    EXPECT_EQ(0x000000u, PixelAt(0, 0) & 0xFFFFFF) << "vertices without a specular colour give black";
}

// No lights: global ambient × material ambient + emissive, alpha from the diffuse source.
TEST_F(RasterTextures, LightingWithoutLightsUsesTheMaterial) {
    D3DMATERIAL9 material = {};
    material.Ambient = {1.0f, 1.0f, 1.0f, 1.0f};
    material.Emissive = {0.25f, 0.0f, 0.0f, 0.0f};
    material.Diffuse = {0.0f, 0.0f, 0.0f, 0.5f};
    ASSERT_EQ(D3D_OK, m_device->SetMaterial(&material));
    SetState(D3DRS_AMBIENT, DWORD(0xFF404040));
    SetState(D3DRS_DIFFUSEMATERIALSOURCE, DWORD(D3DMCS_MATERIAL));
    ASSERT_EQ(D3D_OK, m_device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE));
    SetState(D3DRS_ALPHABLENDENABLE, DWORD(TRUE));
    SetState(D3DRS_SRCBLEND, DWORD(D3DBLEND_SRCALPHA));
    SetState(D3DRS_DESTBLEND, DWORD(D3DBLEND_INVSRCALPHA));
    const std::vector<ColourVertex> quad = {{-1, 1, 0.5f, 0xFFFFFFFF}, {1, 1, 0.5f, 0xFFFFFFFF},
                                            {-1, -1, 0.5f, 0xFFFFFFFF}, {1, -1, 0.5f, 0xFFFFFFFF}};
    Draw(D3DPT_TRIANGLESTRIP, 2, quad, kColourFvf);
    const DWORD p = PixelAt(10, 10);
    EXPECT_NEAR(0x40 + 0x40, Red(p) * 2, 3) << "(0.25 + 0.25) at half alpha";
    EXPECT_NEAR(0x40, Green(p) * 2, 3);
}

TEST_F(RasterTextures, WideRenderTargetsKeepTheirRangeAndPrecision) {
    struct Row {
        const char* label;
        D3DFORMAT format;
        float expected;  // 0.5 cleared, plus 0.75 twice
    };
    const Row rows[] = {
        {"A32B32G32R32F is unclamped", D3DFMT_A32B32G32R32F, 0.5f + 1.5f},
        {"A16B16G16R16F is unclamped", D3DFMT_A16B16G16R16F, 0.5f + 1.5f},
        {"A16B16G16R16 saturates", D3DFMT_A16B16G16R16, 1.0f},
        {"L16 saturates", D3DFMT_L16, 1.0f},
    };
    swdevice::AcceptFormat(D3DRTYPE_SURFACE, D3DFMT_L16, D3DUSAGE_RENDERTARGET);
    SetState(D3DRS_ALPHABLENDENABLE, DWORD(TRUE));
    SetState(D3DRS_SRCBLEND, DWORD(D3DBLEND_ONE));
    SetState(D3DRS_DESTBLEND, DWORD(D3DBLEND_ONE));
    for (const Row& row : rows) {
        IDirect3DSurface9* target = nullptr;
        ASSERT_EQ(D3D_OK, m_device->CreateRenderTarget(8, 8, row.format, D3DMULTISAMPLE_NONE, 0, TRUE, &target, nullptr));
        ASSERT_EQ(D3D_OK, m_device->SetRenderTarget(0, target));
        ASSERT_EQ(D3D_OK, m_device->SetDepthStencilSurface(nullptr));
        ASSERT_EQ(D3D_OK, m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x80808080, 1.0f, 0));
        DrawRect(0, 0, 8, 8, 0xBFBFBFBF);
        DrawRect(0, 0, 8, 8, 0xBFBFBFBF);
        D3DLOCKED_RECT locked;
        ASSERT_EQ(D3D_OK, target->LockRect(&locked, nullptr, D3DLOCK_READONLY));
        const BYTE* texel = static_cast<const BYTE*>(locked.pBits) + 3 * locked.Pitch;
        float red = 0;
        WORD word = 0;
        std::memcpy(&word, texel, 2);
        if (row.format == D3DFMT_A32B32G32R32F) std::memcpy(&red, texel, 4);
        if (row.format == D3DFMT_A16B16G16R16F) red = NormalHalfToFloat(word);
        if (row.format == D3DFMT_A16B16G16R16 || row.format == D3DFMT_L16) red = word / 65535.0f;
        target->UnlockRect();
        EXPECT_NEAR(row.expected, red, 2e-3) << row.label;
        ASSERT_EQ(D3D_OK, m_device->SetRenderTarget(0, m_backBuffer));
        EXPECT_EQ(0u, target->Release());
    }
}

// Drawing into level 0 of an AUTOGENMIPMAP texture refills its hidden levels,
// which a minified draw then samples.
TEST_F(RasterTextures, DrawingIntoAnAutogenTargetRegeneratesMipmaps) {
    IDirect3DTexture9* texture =
        MakeTexture(8, 8, 0, D3DFMT_A8R8G8B8, D3DUSAGE_RENDERTARGET | D3DUSAGE_AUTOGENMIPMAP, D3DPOOL_DEFAULT);
    IDirect3DSurface9* level0 = nullptr;
    ASSERT_EQ(D3D_OK, texture->GetSurfaceLevel(0, &level0));
    ASSERT_EQ(D3D_OK, m_device->SetRenderTarget(0, level0));
    ASSERT_EQ(D3D_OK, m_device->SetDepthStencilSurface(nullptr));
    DrawRect(0, 0, 8, 8, 0xFFFF0000);
    ASSERT_EQ(D3D_OK, m_device->SetRenderTarget(0, m_backBuffer));
    EXPECT_EQ(0u, level0->Release());
    ASSERT_EQ(D3D_OK, m_device->SetTexture(0, texture));
    SetSampler(D3DSAMP_MIPFILTER, D3DTEXF_POINT);
    DrawRect(0, 0, 2, 2, 0xFFFFFFFF);
    EXPECT_EQ(0xFF0000u, PixelAt(0, 0) & 0xFFFFFF) << "level 2 follows level 0";
}

}  // namespace
