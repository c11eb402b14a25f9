// The specialised span loops against the general pixel pipeline: the same
// scene drawn with the states particles use, once as is and once with a
// second texture stage that passes the current colour through. That stage
// changes no pixel but sends the draw down the general path, so the two
// pictures must be identical, byte for byte.
#include <cstring>

#include "raster_support.h"

namespace {

constexpr UINT kTextureSize = 8;
constexpr int kTriangles = 24;
constexpr D3DCOLOR kClearColour = 0x40302010;

struct FastPathCase {
    const char* label;
    D3DTEXTUREFILTERTYPE filter;  // D3DTEXF_NONE: no texture bound
    D3DTEXTUREADDRESS address;
    DWORD sourceBlend;  // 0: blending off
    DWORD destinationBlend;
    bool alphaTest;
    bool depthWrite;
    D3DFORMAT target;
    DWORD colourArg2;  // stage 0 is MODULATE(TEXTURE, colourArg2)
    DWORD alphaOp;
    bool sprites;
};

const FastPathCase kCases[] = {
    {"untextured, alpha blending", D3DTEXF_NONE, D3DTADDRESS_WRAP, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, false,
     false, D3DFMT_X8R8G8B8, D3DTA_DIFFUSE, D3DTOP_MODULATE, false},
    {"point, wrap, additive, alpha test", D3DTEXF_POINT, D3DTADDRESS_WRAP, D3DBLEND_SRCALPHA, D3DBLEND_ONE, true,
     false, D3DFMT_X8R8G8B8, D3DTA_CURRENT, D3DTOP_MODULATE, false},
    {"linear, clamp, depth write", D3DTEXF_LINEAR, D3DTADDRESS_CLAMP, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA,
     false, true, D3DFMT_X8R8G8B8, D3DTA_DIFFUSE, D3DTOP_MODULATE, false},
    {"linear, wrap, destination alpha", D3DTEXF_LINEAR, D3DTADDRESS_WRAP, D3DBLEND_DESTALPHA,
     D3DBLEND_INVDESTALPHA, false, false, D3DFMT_A8R8G8B8, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, false},
    {"point, clamp, opaque, texture factor", D3DTEXF_POINT, D3DTADDRESS_CLAMP, 0, 0, true, true, D3DFMT_A8R8G8B8,
     D3DTA_TFACTOR, D3DTOP_MODULATE, false},
    {"untextured, both source alpha, alpha disabled", D3DTEXF_NONE, D3DTADDRESS_WRAP, D3DBLEND_BOTHSRCALPHA, 0,
     false, false, D3DFMT_A8R8G8B8, D3DTA_DIFFUSE, D3DTOP_DISABLE, false},
    {"linear point sprites", D3DTEXF_LINEAR, D3DTADDRESS_WRAP, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, false,
     false, D3DFMT_X8R8G8B8, D3DTA_DIFFUSE, D3DTOP_MODULATE, true},
};

// A fixed sequence, so every run draws the same scene.
class Sequence {
public:
    float Between(float low, float high) { return low + (high - low) * float(Next() >> 40) / float(1u << 24); }
    DWORD Bits() { return DWORD(Next() >> 32); }

private:
    uint64_t Next() { return m_state = m_state * 6364136223846793005ull + 1442695040888963407ull; }

    uint64_t m_state = 2024;
};

// Overlapping triangles with perspective (rhw and depth vary across each),
// reaching outside the target and outside 0..1 in texture coordinates.
std::vector<RhwVertex> MakeScene() {
    Sequence random;
    std::vector<RhwVertex> vertices(3 * kTriangles);
    for (RhwVertex& v : vertices) {
        v = {random.Between(-8, 72), random.Between(-8, 40), random.Between(0, 1), random.Between(0.25f, 2),
             random.Bits(), random.Between(-1.5f, 2.5f), random.Between(-1.5f, 2.5f)};
    }
    return vertices;
}

class RasterFastPaths : public RasterTest {
protected:
    void SetUp() override {
        RasterTest::SetUp();
        ASSERT_EQ(D3D_OK, m_device->CreateTexture(kTextureSize, kTextureSize, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                                  &m_texture, nullptr));
        Sequence random;
        std::vector<DWORD> texels(kTextureSize * kTextureSize);
        for (DWORD& texel : texels) texel = random.Bits();
        Fill(texels);
        SetState(D3DRS_CULLMODE, DWORD(D3DCULL_NONE));
        SetState(D3DRS_ALPHAREF, DWORD(0x80));
        SetState(D3DRS_ALPHAFUNC, DWORD(D3DCMP_GREATER));
        SetState(D3DRS_POINTSIZE, 9.0f);
        SetState(D3DRS_TEXTUREFACTOR, DWORD(0xC0A06040));
    }

    void TearDown() override {
        m_device->SetTexture(0, nullptr);
        m_device->SetRenderTarget(0, m_backBuffer);
        if (m_target) {
            EXPECT_EQ(0u, m_target->Release());
        }
        if (m_texture) {
            EXPECT_EQ(0u, m_texture->Release());
        }
        RasterTest::TearDown();
    }

    void Fill(const std::vector<DWORD>& texels) {
        D3DLOCKED_RECT locked;
        ASSERT_EQ(D3D_OK, m_texture->LockRect(0, &locked, nullptr, 0));
        for (UINT y = 0; y < kTextureSize; ++y) {
            BYTE* row = static_cast<BYTE*>(locked.pBits) + y * locked.Pitch;
            std::memcpy(row, &texels[y * kTextureSize], 4 * kTextureSize);
        }
        ASSERT_EQ(D3D_OK, m_texture->UnlockRect(0));
    }

    void Apply(const FastPathCase& c) {
        const bool textured = c.filter != D3DTEXF_NONE;
        ASSERT_EQ(D3D_OK, m_device->SetTexture(0, textured ? m_texture : nullptr));
        for (D3DSAMPLERSTATETYPE type : {D3DSAMP_MINFILTER, D3DSAMP_MAGFILTER}) {
            ASSERT_EQ(D3D_OK, m_device->SetSamplerState(0, type, textured ? c.filter : D3DTEXF_POINT));
        }
        for (D3DSAMPLERSTATETYPE type : {D3DSAMP_ADDRESSU, D3DSAMP_ADDRESSV}) {
            ASSERT_EQ(D3D_OK, m_device->SetSamplerState(0, type, c.address));
        }
        SetState(D3DRS_ALPHABLENDENABLE, DWORD(c.sourceBlend != 0));
        if (c.sourceBlend) SetState(D3DRS_SRCBLEND, c.sourceBlend);
        if (c.destinationBlend) SetState(D3DRS_DESTBLEND, c.destinationBlend);
        SetState(D3DRS_ALPHATESTENABLE, DWORD(c.alphaTest));
        SetState(D3DRS_ZWRITEENABLE, DWORD(c.depthWrite));
        SetState(D3DRS_POINTSPRITEENABLE, DWORD(c.sprites));
        ASSERT_EQ(D3D_OK, m_device->SetTextureStageState(0, D3DTSS_COLORARG2, c.colourArg2));
        ASSERT_EQ(D3D_OK, m_device->SetTextureStageState(0, D3DTSS_ALPHAOP, c.alphaOp));
        ASSERT_EQ(D3D_OK, m_device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE));
        UseTarget(c.target);
    }

    void UseTarget(D3DFORMAT format) {
        ASSERT_EQ(D3D_OK, m_device->SetRenderTarget(0, m_backBuffer));
        if (m_target) {
            EXPECT_EQ(0u, m_target->Release());
        }
        m_target = nullptr;
        if (format == D3DFMT_X8R8G8B8) return;
        ASSERT_EQ(D3D_OK,
                  m_device->CreateRenderTarget(64, 32, format, D3DMULTISAMPLE_NONE, 0, FALSE, &m_target, nullptr));
        ASSERT_EQ(D3D_OK, m_device->SetRenderTarget(0, m_target));
    }

    void PassThroughSecondStage(bool on) {
        ASSERT_EQ(D3D_OK, m_device->SetTextureStageState(1, D3DTSS_COLOROP, on ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE));
        ASSERT_EQ(D3D_OK, m_device->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_CURRENT));
        ASSERT_EQ(D3D_OK, m_device->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1));
        ASSERT_EQ(D3D_OK, m_device->SetTextureStageState(1, D3DTSS_ALPHAARG1, D3DTA_CURRENT));
    }

    std::vector<DWORD> Render(bool sprites) {
        Clear(kClearColour);
        const std::vector<RhwVertex> scene = MakeScene();
        if (sprites) {
            Draw(D3DPT_POINTLIST, UINT(scene.size()), scene, kRhwFvf);
        } else {
            Draw(D3DPT_TRIANGLELIST, kTriangles, scene, kRhwFvf);
        }
        return Pixels(m_target);
    }

    IDirect3DTexture9* m_texture = nullptr;
    IDirect3DSurface9* m_target = nullptr;  // null while drawing into the back buffer
};

TEST_F(RasterFastPaths, DrawTheSamePixelsAsTheGeneralPipeline) {
    for (const FastPathCase& c : kCases) {
        Apply(c);
        const std::vector<DWORD> fast = Render(c.sprites);
        PassThroughSecondStage(true);
        const std::vector<DWORD> general = Render(c.sprites);
        PassThroughSecondStage(false);
        size_t drawn = 0, differing = 0, first = 0;
        for (size_t i = 0; i < fast.size(); ++i) {
            drawn += ((general[i] ^ kClearColour) & 0xFFFFFF) != 0;
            if (fast[i] != general[i] && differing++ == 0) first = i;
        }
        EXPECT_GT(drawn, fast.size() / 8) << c.label;
        EXPECT_EQ(0u, differing) << c.label << ": first at pixel " << first << ", got " << std::hex << fast[first]
                                 << ", expected " << general[first];
    }
}

TEST_F(RasterFastPaths, SampleATextureRewrittenBetweenDraws) {
    SetState(D3DRS_ZENABLE, DWORD(D3DZB_FALSE));
    ASSERT_EQ(D3D_OK, m_device->SetTexture(0, m_texture));
    ASSERT_EQ(D3D_OK, m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1));
    for (DWORD texel : {0xFFFF0000u, 0xFF0000FFu}) {
        Fill(std::vector<DWORD>(kTextureSize * kTextureSize, texel));
        DrawRect(0, 0, 64, 32, 0xFFFFFFFF);
        EXPECT_EQ(texel, PixelAt(10, 10));
    }
}

}  // namespace
