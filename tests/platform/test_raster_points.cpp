// Point sprites: per-vertex and state sizes, world-unit sizes from the point
// scale states, size clamping, and sprite texture coordinates.
#include "platform/d3dxmath.h"
#include "raster_support.h"

namespace {

struct SpriteVertex {
    float x, y, z, size;
    DWORD colour;
};
constexpr DWORD kSpriteFvf = D3DFVF_XYZ | D3DFVF_PSIZE | D3DFVF_DIFFUSE;

class RasterPoints : public RasterTest {
protected:
    void SetUp() override {
        RasterTest::SetUp();
        SetState(D3DRS_LIGHTING, DWORD(FALSE));
    }

    size_t LitPixels() { return CountPixels([](DWORD p) { return p != 0; }); }
};

// Identity transforms put clip (0, 0) at the pixel centre (32, 16).
TEST_F(RasterPoints, SizeComesFromTheVertexOrTheState) {
    Draw(D3DPT_POINTLIST, 1, std::vector<SpriteVertex>{{0, 0, 0.5f, 4, 0xFFFFFFFF}}, kSpriteFvf);
    EXPECT_EQ(16u, LitPixels()) << "4 x 4 from PSIZE";
    EXPECT_NE(0u, PixelAt(30, 14));
    EXPECT_NE(0u, PixelAt(33, 17));
    EXPECT_EQ(0u, PixelAt(34, 16));

    Clear(0);
    SetState(D3DRS_POINTSIZE, 6.0f);
    Draw(D3DPT_POINTLIST, 1, std::vector<ColourVertex>{{0, 0, 0.5f, 0xFFFFFFFF}}, kColourFvf);
    EXPECT_EQ(36u, LitPixels()) << "6 x 6 from D3DRS_POINTSIZE";
}

// With A = B = 0 and C = 1 the size is world units: 32 rows x 2 / distance 4.
TEST_F(RasterPoints, PointScaleGivesWorldUnitSizesWithinTheLimits) {
    D3DXMATRIX projection;
    D3DXMatrixPerspectiveFovLH(&projection, D3DX_PI / 2, 2.0f, 1.0f, 100.0f);
    ASSERT_EQ(D3D_OK, m_device->SetTransform(D3DTS_PROJECTION, &projection));
    SetState(D3DRS_POINTSCALEENABLE, DWORD(TRUE));
    SetState(D3DRS_POINTSCALE_A, 0.0f);
    SetState(D3DRS_POINTSCALE_B, 0.0f);
    SetState(D3DRS_POINTSCALE_C, 1.0f);
    SetState(D3DRS_POINTSIZE_MIN, 0.0f);
    const std::vector<SpriteVertex> point = {{0, 0, 4, 2, 0xFFFFFFFF}};
    struct Row {
        const char* label;
        float maxSize;
        size_t pixels;
    };
    const Row rows[] = {{"16 pixels wide", 64.0f, 16u * 16u}, {"clamped to the maximum", 8.0f, 8u * 8u}};
    for (const Row& row : rows) {
        Clear(0);
        SetState(D3DRS_POINTSIZE_MAX, row.maxSize);
        Draw(D3DPT_POINTLIST, 1, point, kSpriteFvf);
        EXPECT_EQ(row.pixels, LitPixels()) << row.label;
    }
}

TEST_F(RasterPoints, PointSpritesSpanTheWholeTexture) {
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3D_OK, m_device->CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr));
    D3DLOCKED_RECT locked;
    ASSERT_EQ(D3D_OK, texture->LockRect(0, &locked, nullptr, 0));
    const DWORD top[2] = {0xFFFF0000, 0xFF00FF00}, bottom[2] = {0xFF0000FF, 0xFFFFFFFF};
    std::memcpy(locked.pBits, top, 8);
    std::memcpy(static_cast<BYTE*>(locked.pBits) + locked.Pitch, bottom, 8);
    ASSERT_EQ(D3D_OK, texture->UnlockRect(0));
    ASSERT_EQ(D3D_OK, m_device->SetTexture(0, texture));
    SetState(D3DRS_POINTSPRITEENABLE, DWORD(TRUE));
    Draw(D3DPT_POINTLIST, 1, std::vector<SpriteVertex>{{0, 0, 0.5f, 8, 0xFFFFFFFF}}, kSpriteFvf);
    EXPECT_EQ(0xFF0000u, PixelAt(28, 12) & 0xFFFFFF) << "top left";
    EXPECT_EQ(0x00FF00u, PixelAt(35, 12) & 0xFFFFFF) << "top right";
    EXPECT_EQ(0x0000FFu, PixelAt(28, 19) & 0xFFFFFF) << "bottom left";
    EXPECT_EQ(0xFFFFFFu, PixelAt(35, 19) & 0xFFFFFF) << "bottom right";
    ASSERT_EQ(D3D_OK, m_device->SetTexture(0, nullptr));
    EXPECT_EQ(0u, texture->Release());
}

TEST_F(RasterPoints, PointsBehindTheEyeAreDropped) {
    D3DXMATRIX projection;
    D3DXMatrixPerspectiveFovLH(&projection, D3DX_PI / 2, 2.0f, 1.0f, 100.0f);
    ASSERT_EQ(D3D_OK, m_device->SetTransform(D3DTS_PROJECTION, &projection));
    Draw(D3DPT_POINTLIST, 1, std::vector<SpriteVertex>{{0, 0, -4, 8, 0xFFFFFFFF}}, kSpriteFvf);
    EXPECT_EQ(0u, LitPixels());
}

}  // namespace
