// Alpha blending (every D3DBLEND factor, every blend operation), the alpha
// test and the colour write mask, on a destination with alpha.
#include <cmath>
#include <cstdio>

#include "raster_support.h"

namespace {

// Channels in steps of 0.2 so that expected results are easy to check by hand.
constexpr D3DCOLOR kDestination = 0xCC669933;  // r .4, g .6, b .2, a .8
constexpr D3DCOLOR kSource = 0x993366FF;       // r .2, g .4, b 1, a .6
constexpr D3DCOLOR kConstant = 0xFFCC3366;     // r .8, g .2, b .4, a 1

class RasterBlending : public RasterTest {
protected:
    void SetUp() override {
        RasterTest::SetUp();
        ASSERT_EQ(D3D_OK, m_device->CreateRenderTarget(64, 32, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, TRUE,
                                                       &m_target, nullptr));
        ASSERT_EQ(D3D_OK, m_device->SetRenderTarget(0, m_target));
        ASSERT_EQ(D3D_OK, m_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1));
        ASSERT_EQ(D3D_OK, m_device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE));
        ASSERT_EQ(D3D_OK, m_device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1));
        ASSERT_EQ(D3D_OK, m_device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE));
        SetState(D3DRS_BLENDFACTOR, kConstant);
    }

    void TearDown() override {
        m_device->SetRenderTarget(0, m_backBuffer);
        if (m_target) {
            EXPECT_EQ(0u, m_target->Release());
        }
        RasterTest::TearDown();
    }

    // One source quad over a cleared destination; the resulting pixel.
    DWORD BlendOnce(DWORD colour = kSource) {
        Clear(kDestination);
        DrawRect(0, 0, 4, 4, colour);
        return PixelAt(1, 1, m_target);
    }

    IDirect3DSurface9* m_target = nullptr;
};

struct Expected {
    float r, g, b, a;
};

void ExpectColour(DWORD got, Expected e, const char* label) {
    const int want[4] = {int(std::lround(e.r * 255)), int(std::lround(e.g * 255)), int(std::lround(e.b * 255)),
                         int(std::lround(e.a * 255))};
    const int have[4] = {Red(got), Green(got), Blue(got), Alpha(got)};
    for (int c = 0; c < 4; ++c) {
        EXPECT_NEAR(want[c], have[c], 1) << label << ": channel " << "rgba"[c] << " got " << std::hex << got;
    }
}

TEST_F(RasterBlending, EveryBlendFactorGivesItsProduct) {
    struct Row {
        const char* label;
        DWORD source, destination;
        Expected result;
    };
    const Row rows[] = {
        {"ZERO / ONE", D3DBLEND_ZERO, D3DBLEND_ONE, {.4f, .6f, .2f, .8f}},
        {"ONE / ZERO", D3DBLEND_ONE, D3DBLEND_ZERO, {.2f, .4f, 1, .6f}},
        {"SRCCOLOR", D3DBLEND_SRCCOLOR, D3DBLEND_ZERO, {.04f, .16f, 1, .36f}},
        {"INVSRCCOLOR", D3DBLEND_INVSRCCOLOR, D3DBLEND_ZERO, {.16f, .24f, 0, .24f}},
        {"SRCALPHA", D3DBLEND_SRCALPHA, D3DBLEND_ZERO, {.12f, .24f, .6f, .36f}},
        {"INVSRCALPHA", D3DBLEND_INVSRCALPHA, D3DBLEND_ZERO, {.08f, .16f, .4f, .24f}},
        {"DESTALPHA", D3DBLEND_DESTALPHA, D3DBLEND_ZERO, {.16f, .32f, .8f, .48f}},
        {"INVDESTALPHA", D3DBLEND_INVDESTALPHA, D3DBLEND_ZERO, {.04f, .08f, .2f, .12f}},
        {"DESTCOLOR", D3DBLEND_DESTCOLOR, D3DBLEND_ZERO, {.08f, .24f, .2f, .48f}},
        {"INVDESTCOLOR", D3DBLEND_INVDESTCOLOR, D3DBLEND_ZERO, {.12f, .16f, .8f, .12f}},
        {"SRCALPHASAT: min(.6, 1 - .8), alpha 1", D3DBLEND_SRCALPHASAT, D3DBLEND_ZERO, {.04f, .08f, .2f, .6f}},
        {"BOTHSRCALPHA ignores DESTBLEND", D3DBLEND_BOTHSRCALPHA, D3DBLEND_ZERO, {.28f, .48f, .68f, .68f}},
        {"BOTHINVSRCALPHA ignores DESTBLEND", D3DBLEND_BOTHINVSRCALPHA, D3DBLEND_ONE, {.32f, .52f, .52f, .72f}},
        {"BLENDFACTOR", D3DBLEND_BLENDFACTOR, D3DBLEND_ZERO, {.16f, .08f, .4f, .6f}},
        {"INVBLENDFACTOR", D3DBLEND_INVBLENDFACTOR, D3DBLEND_ZERO, {.04f, .32f, .6f, 0}},
        {"ONE / SRCALPHA saturates", D3DBLEND_ONE, D3DBLEND_SRCALPHA, {.44f, .76f, 1, 1}},
        {"ZERO / INVDESTCOLOR", D3DBLEND_ZERO, D3DBLEND_INVDESTCOLOR, {.24f, .24f, .16f, .16f}},
        {"ZERO / BLENDFACTOR", D3DBLEND_ZERO, D3DBLEND_BLENDFACTOR, {.32f, .12f, .08f, .8f}},
    };
    SetState(D3DRS_ALPHABLENDENABLE, DWORD(TRUE));
    for (const Row& row : rows) {
        SetState(D3DRS_SRCBLEND, row.source);
        SetState(D3DRS_DESTBLEND, row.destination);
        ExpectColour(BlendOnce(), row.result, row.label);
    }
}

TEST_F(RasterBlending, BlendOperationsCombineSourceAndDestination) {
    struct Row {
        const char* label;
        DWORD op;
        Expected result;
    };
    const Row rows[] = {
        {"ADD", D3DBLENDOP_ADD, {.6f, 1, 1, 1}},
        {"SUBTRACT clamps at 0", D3DBLENDOP_SUBTRACT, {0, 0, .8f, 0}},
        {"REVSUBTRACT", D3DBLENDOP_REVSUBTRACT, {.2f, .2f, 0, .2f}},
        {"MIN ignores the factors", D3DBLENDOP_MIN, {.2f, .4f, .2f, .6f}},
        {"MAX ignores the factors", D3DBLENDOP_MAX, {.4f, .6f, 1, .8f}},
    };
    SetState(D3DRS_ALPHABLENDENABLE, DWORD(TRUE));
    SetState(D3DRS_SRCBLEND, DWORD(D3DBLEND_ONE));
    SetState(D3DRS_DESTBLEND, DWORD(D3DBLEND_ONE));
    for (const Row& row : rows) {
        SetState(D3DRS_BLENDOP, row.op);
        ExpectColour(BlendOnce(), row.result, row.label);
    }
}

TEST_F(RasterBlending, AlphaTestComparesAgainstTheReference) {
    struct Row {
        const char* label;
        DWORD function, reference;
        bool drawn;  // source alpha is 153
    };
    const Row rows[] = {
        {"GREATER below", D3DCMP_GREATER, 152, true},  {"GREATER equal", D3DCMP_GREATER, 153, false},
        {"GREATEREQUAL equal", D3DCMP_GREATEREQUAL, 153, true}, {"LESS above", D3DCMP_LESS, 154, true},
        {"LESS equal", D3DCMP_LESS, 153, false},       {"EQUAL", D3DCMP_EQUAL, 153, true},
        {"NOTEQUAL", D3DCMP_NOTEQUAL, 153, false},      {"NEVER", D3DCMP_NEVER, 0, false},
    };
    SetState(D3DRS_ALPHATESTENABLE, DWORD(TRUE));
    for (const Row& row : rows) {
        SetState(D3DRS_ALPHAFUNC, row.function);
        SetState(D3DRS_ALPHAREF, row.reference);
        EXPECT_EQ(row.drawn, BlendOnce() == kSource) << row.label;
    }
}

TEST_F(RasterBlending, AlphaTestFailureLeavesDepthUntouched) {
    SetState(D3DRS_ALPHATESTENABLE, DWORD(TRUE));
    SetState(D3DRS_ALPHAFUNC, DWORD(D3DCMP_GREATER));
    SetState(D3DRS_ALPHAREF, DWORD(200));
    Clear(kDestination, 1.0f);
    DrawRect(0, 0, 4, 4, kSource, 0.5f);  // rejected by alpha
    DrawRect(0, 0, 4, 4, 0xFF00FF00, 0.75f);  // must still pass the depth test
    EXPECT_EQ(0xFF00FF00u, PixelAt(1, 1, m_target));
}

TEST_F(RasterBlending, ColourWriteMaskKeepsMaskedChannels) {
    SetState(D3DRS_COLORWRITEENABLE, DWORD(D3DCOLORWRITEENABLE_RED | D3DCOLORWRITEENABLE_ALPHA));
    ExpectColour(BlendOnce(), {.2f, .6f, .2f, .6f}, "red and alpha from the source");
}

}  // namespace
