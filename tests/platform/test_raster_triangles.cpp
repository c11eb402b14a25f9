// Triangles and lines: coverage by the top-left rule, interpolation,
// culling, fill modes, depth, transforms and near-plane clipping.
#include <cmath>

#include "platform/d3dxmath.h"
#include "raster_support.h"

namespace {

using RasterTriangles = RasterTest;

constexpr DWORD kWhite = 0xFFFFFFFF;

bool IsLit(DWORD p) { return p != 0; }

TEST_F(RasterTriangles, PixelAlignedRectangleCoversExactlyItsPixels) {
    DrawRect(2, 3, 10, 7, kWhite);
    EXPECT_EQ(8u * 4u, CountPixels(IsLit));
    EXPECT_EQ(0xFFFFFFu, PixelAt(2, 3) & 0xFFFFFF) << "top-left corner pixel centre lies on two included edges";
    EXPECT_EQ(0u, PixelAt(10, 3)) << "right edge is excluded";
    EXPECT_EQ(0u, PixelAt(2, 7)) << "bottom edge is excluded";
    EXPECT_NE(0u, PixelAt(9, 6));
}

// Additive blending shows a pixel drawn twice; the count shows one missed.
TEST_F(RasterTriangles, SharedEdgesDrawEveryPixelExactlyOnce) {
    SetState(D3DRS_ALPHABLENDENABLE, DWORD(TRUE));
    SetState(D3DRS_SRCBLEND, DWORD(D3DBLEND_ONE));
    SetState(D3DRS_DESTBLEND, DWORD(D3DBLEND_ONE));
    struct Row {
        const char* label;
        float left, top, right, bottom;
        size_t pixels;
    };
    const Row rows[] = {
        {"fractional corners", 1.3f, 2.7f, 20.6f, 17.2f, 19u * 15u},
        {"diagonal through pixel centres", 0, 0, 16, 16, 16u * 16u},
        {"diagonal on half pixels", 20.5f, 0.5f, 40.5f, 30.5f, 20u * 30u},
    };
    for (const Row& row : rows) {
        Clear(0);
        DrawRect(row.left, row.top, row.right, row.bottom, 0x00404040);
        EXPECT_EQ(row.pixels, CountPixels([](DWORD p) { return p == 0x404040; })) << row.label;
        EXPECT_EQ(row.pixels, CountPixels(IsLit)) << row.label << ": some pixel drawn twice";
    }
}

// Perspective-correct: with rhw 1 on the left and 1/3 on the right, the
// screen midpoint sits a quarter of the way along in texture space.
TEST_F(RasterTriangles, ColoursInterpolatePerspectiveCorrectly) {
    const float q = 1.0f / 3.0f;
    const std::vector<RhwVertex> quad = {{0, 0, 0.5f, 1, 0xFF000000, 0, 0}, {32, 0, 0.5f, q, 0xFFFF0000, 0, 0},
                                         {0, 8, 0.5f, 1, 0xFF000000, 0, 0}, {32, 8, 0.5f, q, 0xFFFF0000, 0, 0}};
    Draw(D3DPT_TRIANGLESTRIP, 2, quad, kRhwFvf);
    EXPECT_NEAR(64, Red(PixelAt(16, 4)), 1) << "linear interpolation would give 128";
    EXPECT_EQ(0, Red(PixelAt(0, 4)));
}

TEST_F(RasterTriangles, CullingRemovesTheChosenWinding) {
    // Clockwise on screen: D3D9's front face.
    const std::vector<RhwVertex> clockwise = {{4, 4, 0, 1, kWhite, 0, 0}, {20, 4, 0, 1, kWhite, 0, 0},
                                              {4, 20, 0, 1, kWhite, 0, 0}};
    const std::vector<RhwVertex> counterClockwise = {clockwise[0], clockwise[2], clockwise[1]};
    struct Row {
        const char* label;
        DWORD cull;
        const std::vector<RhwVertex>* triangle;
        bool drawn;
    };
    const Row rows[] = {
        {"CCW keeps clockwise", D3DCULL_CCW, &clockwise, true},
        {"CCW removes counter-clockwise", D3DCULL_CCW, &counterClockwise, false},
        {"CW removes clockwise", D3DCULL_CW, &clockwise, false},
        {"CW keeps counter-clockwise", D3DCULL_CW, &counterClockwise, true},
        {"NONE keeps counter-clockwise", D3DCULL_NONE, &counterClockwise, true},
    };
    for (const Row& row : rows) {
        Clear(0);
        SetState(D3DRS_CULLMODE, row.cull);
        Draw(D3DPT_TRIANGLELIST, 1, *row.triangle, kRhwFvf);
        EXPECT_EQ(row.drawn, PixelAt(8, 8) != 0) << row.label;
    }
}

TEST_F(RasterTriangles, WireframeDrawsOnlyTheEdges) {
    SetState(D3DRS_FILLMODE, DWORD(D3DFILL_WIREFRAME));
    const std::vector<RhwVertex> triangle = {{4, 4, 0, 1, kWhite, 0, 0}, {28, 4, 0, 1, kWhite, 0, 0},
                                             {4, 28, 0, 1, kWhite, 0, 0}};
    Draw(D3DPT_TRIANGLELIST, 1, triangle, kRhwFvf);
    EXPECT_NE(0u, PixelAt(12, 4)) << "top edge";
    EXPECT_NE(0u, PixelAt(4, 12)) << "left edge";
    EXPECT_NE(0u, PixelAt(16, 16)) << "diagonal";
    EXPECT_EQ(0u, PixelAt(8, 8)) << "interior";
}

TEST_F(RasterTriangles, LineListsStepAlongTheMajorAxis) {
    const std::vector<RhwVertex> lines = {{2, 2, 0, 1, kWhite, 0, 0}, {12, 2, 0, 1, kWhite, 0, 0},
                                          {20, 2, 0, 1, kWhite, 0, 0}, {20, 12, 0, 1, kWhite, 0, 0}};
    Draw(D3DPT_LINELIST, 2, lines, kRhwFvf);
    EXPECT_EQ(20u, CountPixels(IsLit)) << "ten pixels per line, last pixel excluded";
    EXPECT_NE(0u, PixelAt(2, 2));
    EXPECT_EQ(0u, PixelAt(12, 2));
    EXPECT_NE(0u, PixelAt(20, 11));
}

TEST_F(RasterTriangles, DepthTestAndWriteFollowTheStates) {
    IDirect3DSurface9* depth = nullptr;
    ASSERT_EQ(D3D_OK, m_device->GetDepthStencilSurface(&depth));
    const auto depthAt = [&](UINT x, UINT y) { return (PixelAt(x, y, depth) >> 8) / double(0xFFFFFF); };
    struct Row {
        const char* label;
        DWORD zEnable, zWrite, zFunc;
        float z;
        bool drawn;
        double depthAfter;
    };
    const Row rows[] = {
        {"nearer passes LESSEQUAL and writes", D3DZB_TRUE, TRUE, D3DCMP_LESSEQUAL, 0.25f, true, 0.25},
        {"farther fails LESSEQUAL", D3DZB_TRUE, TRUE, D3DCMP_LESSEQUAL, 0.75f, false, 0.5},
        {"equal passes LESSEQUAL", D3DZB_TRUE, TRUE, D3DCMP_LESSEQUAL, 0.5f, true, 0.5},
        {"equal fails LESS", D3DZB_TRUE, TRUE, D3DCMP_LESS, 0.5f, false, 0.5},
        {"farther passes GREATER", D3DZB_TRUE, TRUE, D3DCMP_GREATER, 0.75f, true, 0.75},
        {"no write keeps the buffer", D3DZB_TRUE, FALSE, D3DCMP_LESSEQUAL, 0.25f, true, 0.5},
        {"depth off draws and leaves the buffer", D3DZB_FALSE, TRUE, D3DCMP_LESSEQUAL, 0.75f, true, 0.5},
    };
    for (const Row& row : rows) {
        Clear(0, 0.5f);
        SetState(D3DRS_ZENABLE, row.zEnable);
        SetState(D3DRS_ZWRITEENABLE, row.zWrite);
        SetState(D3DRS_ZFUNC, row.zFunc);
        DrawRect(0, 0, 8, 8, kWhite, row.z);
        EXPECT_EQ(row.drawn, PixelAt(4, 4) != 0) << row.label;
        EXPECT_NEAR(row.depthAfter, depthAt(4, 4), 1e-6) << row.label;
    }
    EXPECT_EQ(0u, depth->Release());
}

// The camera looks along +z; the floor triangle's far corner is behind the
// eye. Only the part in front of the near plane may show, below the horizon.
TEST_F(RasterTriangles, NearPlaneClipsATriangleThroughTheEye) {
    D3DXMATRIX projection;
    D3DXMatrixPerspectiveFovLH(&projection, D3DX_PI / 2, 2.0f, 1.0f, 100.0f);
    ASSERT_EQ(D3D_OK, m_device->SetTransform(D3DTS_PROJECTION, &projection));
    SetState(D3DRS_LIGHTING, DWORD(FALSE));
    SetState(D3DRS_CULLMODE, DWORD(D3DCULL_NONE));
    const std::vector<ColourVertex> floor = {{-2, -1, 4, kWhite}, {2, -1, 4, kWhite}, {0, -1, -4, kWhite}};
    Draw(D3DPT_TRIANGLELIST, 1, floor, kColourFvf);
    // At z = 4 the floor projects to row 20; at the near plane to the bottom.
    EXPECT_EQ(0u, PixelAt(32, 19)) << "above the far edge";
    EXPECT_NE(0u, PixelAt(32, 21));
    EXPECT_NE(0u, PixelAt(32, 31));
    EXPECT_EQ(0u, PixelAt(1, 21)) << "outside the floor's sides";
    EXPECT_EQ(0u, CountPixels([](DWORD p) { return p != 0 && p != 0xFFFFFF; })) << "no stray colours";
}

TEST_F(RasterTriangles, WorldViewProjectionAndViewportPlaceVertices) {
    D3DXMATRIX world;
    D3DXMatrixTranslation(&world, 0.5f, 0.0f, 0.0f);
    ASSERT_EQ(D3D_OK, m_device->SetTransform(D3DTS_WORLD, &world));
    const D3DVIEWPORT9 viewport = {32, 0, 32, 32, 0.0f, 1.0f};
    ASSERT_EQ(D3D_OK, m_device->SetViewport(&viewport));
    SetState(D3DRS_LIGHTING, DWORD(FALSE));
    // Clip-space square (-0.5..0, -0.5..0.5) moved right by 0.5: x 0..0.5 in the right half.
    const std::vector<ColourVertex> quad = {{-0.5f, 0.5f, 0.5f, kWhite}, {0, 0.5f, 0.5f, kWhite},
                                            {-0.5f, -0.5f, 0.5f, kWhite}, {0, -0.5f, 0.5f, kWhite}};
    Draw(D3DPT_TRIANGLESTRIP, 2, quad, kColourFvf);
    EXPECT_EQ(8u * 16u, CountPixels(IsLit));
    EXPECT_NE(0u, PixelAt(48, 8));
    EXPECT_EQ(0u, PixelAt(47, 8));
    EXPECT_NE(0u, PixelAt(55, 23));
    EXPECT_EQ(0u, PixelAt(56, 8));
}

TEST_F(RasterTriangles, IndexedStripsReadTheirIndicesFromTheBaseVertex) {
    const std::vector<RhwVertex> vertices = {{99, 99, 0, 1, 0, 0, 0}, {0, 0, 0, 1, kWhite, 0, 0},
                                             {8, 0, 0, 1, kWhite, 0, 0}, {0, 8, 0, 1, kWhite, 0, 0},
                                             {8, 8, 0, 1, kWhite, 0, 0}};
    IDirect3DVertexBuffer9* vb = MakeVertexBuffer(UINT(vertices.size() * sizeof(RhwVertex)), kRhwFvf);
    void* data = nullptr;
    ASSERT_EQ(D3D_OK, vb->Lock(0, 0, &data, 0));
    std::memcpy(data, vertices.data(), vertices.size() * sizeof(RhwVertex));
    ASSERT_EQ(D3D_OK, vb->Unlock());
    const WORD indices[] = {0, 1, 2, 3};
    IDirect3DIndexBuffer9* ib = MakeIndexBuffer(indices, 4);
    ASSERT_EQ(D3D_OK, m_device->SetStreamSource(0, vb, 0, sizeof(RhwVertex)));
    ASSERT_EQ(D3D_OK, m_device->SetIndices(ib));
    ASSERT_EQ(D3D_OK, m_device->SetFVF(kRhwFvf));
    ASSERT_EQ(D3D_OK, m_device->DrawIndexedPrimitive(D3DPT_TRIANGLESTRIP, 1, 0, 4, 0, 2));
    EXPECT_EQ(64u, CountPixels(IsLit));
    ASSERT_EQ(D3D_OK, m_device->SetStreamSource(0, nullptr, 0, 0));
    ASSERT_EQ(D3D_OK, m_device->SetIndices(nullptr));
    EXPECT_EQ(0u, vb->Release());
    EXPECT_EQ(0u, ib->Release());
}

// A large draw is split into row bands on two threads; drawn one small
// triangle at a time it stays on one. Both must give identical pixels.
TEST_F(RasterTriangles, BandedDrawsMatchSingleThreadedDrawing) {
    IDirect3DSurface9* target = nullptr;
    ASSERT_EQ(D3D_OK, m_device->CreateRenderTarget(256, 256, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, TRUE, &target,
                                                   nullptr));
    ASSERT_EQ(D3D_OK, m_device->SetRenderTarget(0, target));
    ASSERT_EQ(D3D_OK, m_device->SetDepthStencilSurface(nullptr));
    SetState(D3DRS_CULLMODE, DWORD(D3DCULL_NONE));
    SetState(D3DRS_ALPHABLENDENABLE, DWORD(TRUE));
    SetState(D3DRS_SRCBLEND, DWORD(D3DBLEND_SRCALPHA));
    SetState(D3DRS_DESTBLEND, DWORD(D3DBLEND_INVSRCALPHA));
    std::vector<RhwVertex> triangles;
    for (int i = 0; i < 300; ++i) {
        const float x = float((i * 37) % 230), y = float((i * 53) % 230);
        const DWORD colour = 0x80000000u | DWORD(i * 0x010305);
        triangles.push_back({x + 0.3f, y, 0, 1, colour, 0, 0});
        triangles.push_back({x + 40.7f, y + 9.5f, 0, 1, colour ^ 0xFFFFFF, 0, 0});
        triangles.push_back({x + 5.1f, y + 44.2f, 0, 1, colour, 0, 0});
    }
    ASSERT_EQ(D3D_OK, m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF204060, 1.0f, 0));
    Draw(D3DPT_TRIANGLELIST, 300, triangles, kRhwFvf);
    const std::vector<DWORD> banded = Pixels(target);
    ASSERT_EQ(D3D_OK, m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF204060, 1.0f, 0));
    for (size_t i = 0; i < triangles.size(); i += 3) {
        Draw(D3DPT_TRIANGLELIST, 1, std::vector<RhwVertex>(triangles.begin() + i, triangles.begin() + i + 3), kRhwFvf);
    }
    EXPECT_TRUE(banded == Pixels(target));
    ASSERT_EQ(D3D_OK, m_device->SetRenderTarget(0, m_backBuffer));
    EXPECT_EQ(0u, target->Release());
}

}  // namespace
