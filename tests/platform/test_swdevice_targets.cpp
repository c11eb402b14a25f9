// Render targets, Clear and reading pixels back through LockRect.
#include <cstring>
#include <vector>

#include "swdevice_fixture.h"

namespace {

using SwDeviceTargets = SoftwareDeviceTest;

template <class T>
T TexelAt(IDirect3DSurface9* surface, UINT x, UINT y) {
    D3DLOCKED_RECT locked;
    EXPECT_EQ(D3D_OK, surface->LockRect(&locked, nullptr, D3DLOCK_READONLY));
    T value;
    std::memcpy(&value, static_cast<const BYTE*>(locked.pBits) + y * locked.Pitch + x * sizeof(T), sizeof(T));
    EXPECT_EQ(D3D_OK, surface->UnlockRect());
    return value;
}

TEST_F(SwDeviceTargets, ClearFillsTheBackBufferAndDepthStencil) {
    ASSERT_EQ(D3D_OK, m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL,
                                      0xFF336699, 0.5f, 7));
    IDirect3DSurface9* back = nullptr;
    IDirect3DSurface9* depth = nullptr;
    ASSERT_EQ(D3D_OK, m_device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back));
    ASSERT_EQ(D3D_OK, m_device->GetDepthStencilSurface(&depth));
    EXPECT_EQ(0xFF336699u, TexelAt<DWORD>(back, 0, 0));
    EXPECT_EQ(0xFF336699u, TexelAt<DWORD>(back, 63, 31));
    const DWORD d24s8 = TexelAt<DWORD>(depth, 10, 10);
    EXPECT_EQ(7u, d24s8 & 0xFF);
    EXPECT_NEAR(0.5, (d24s8 >> 8) / double(0xFFFFFF), 1e-6);
    EXPECT_EQ(0u, depth->Release());
    EXPECT_EQ(0u, back->Release());
}

TEST_F(SwDeviceTargets, ClearHonoursViewportAndRectangles) {
    ASSERT_EQ(D3D_OK, m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0));
    const D3DVIEWPORT9 viewport = {8, 8, 16, 16, 0.0f, 1.0f};
    ASSERT_EQ(D3D_OK, m_device->SetViewport(&viewport));
    const D3DRECT rects[] = {{0, 0, 12, 12}, {20, 20, 40, 40}};
    ASSERT_EQ(D3D_OK, m_device->Clear(2, rects, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0));
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(D3D_OK, m_device->GetRenderTarget(0, &back));
    const struct {
        const char* label;
        UINT x, y;
        DWORD expected;
    } rows[] = {
        {"first rect inside viewport", 9, 9, 0xFFFFFFFF}, {"first rect outside viewport", 4, 4, 0},
        {"between the rects", 15, 15, 0},                 {"second rect inside", 23, 23, 0xFFFFFFFF},
        {"second rect past viewport", 30, 30, 0},
    };
    for (const auto& row : rows) EXPECT_EQ(row.expected, TexelAt<DWORD>(back, row.x, row.y)) << row.label;
    EXPECT_EQ(0u, back->Release());
}

TEST_F(SwDeviceTargets, InvalidClearsAreRefused) {
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->Clear(1, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0)) << "count without rects";
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->Clear(0, nullptr, 0, 0, 1.0f, 0)) << "no flags";
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.5f, 0)) << "depth above 1";
    ASSERT_EQ(D3D_OK, m_device->SetDepthStencilSurface(nullptr));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0)) << "no depth surface";
}

TEST_F(SwDeviceTargets, TextureRenderTargetTakesClearAndResetsTheViewport) {
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3D_OK, m_device->CreateTexture(16, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A16B16G16R16, D3DPOOL_DEFAULT,
                                              &texture, nullptr));
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(D3D_OK, texture->GetSurfaceLevel(0, &level));
    ASSERT_EQ(D3D_OK, m_device->SetRenderTarget(0, level));
    D3DVIEWPORT9 viewport;
    ASSERT_EQ(D3D_OK, m_device->GetViewport(&viewport));
    EXPECT_EQ(16u, viewport.Width);
    EXPECT_EQ(8u, viewport.Height);
    ASSERT_EQ(D3D_OK, m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF7F7F7F, 1.0f, 0));
    const uint64_t rgba = TexelAt<uint64_t>(level, 15, 7);
    EXPECT_EQ(0x7F7Fu, rgba & 0xFFFF) << "red";
    EXPECT_EQ(0xFFFFu, rgba >> 48) << "alpha";
    IDirect3DSurface9* current = nullptr;
    ASSERT_EQ(D3D_OK, m_device->GetRenderTarget(0, &current));
    EXPECT_EQ(level, current);
    EXPECT_EQ(1u, current->Release());
    EXPECT_EQ(1u, texture->Release());
    EXPECT_EQ(0u, level->Release());
}

TEST_F(SwDeviceTargets, AutogenTextureShowsOneLevelAndFollowsLevelZero) {
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3D_OK, m_device->CreateTexture(8, 8, 0, D3DUSAGE_RENDERTARGET | D3DUSAGE_AUTOGENMIPMAP,
                                              D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture, nullptr));
    EXPECT_EQ(1u, texture->GetLevelCount());
    IDirect3DSurface9* level = nullptr;
    EXPECT_EQ(D3DERR_INVALIDCALL, texture->GetSurfaceLevel(1, &level));
    EXPECT_EQ(nullptr, level);
    ASSERT_EQ(D3D_OK, texture->GetSurfaceLevel(0, &level));
    ASSERT_EQ(D3D_OK, m_device->SetRenderTarget(0, level));
    ASSERT_EQ(D3D_OK, m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF204060, 1.0f, 0));
    EXPECT_EQ(0xFF204060u, TexelAt<DWORD>(level, 7, 7));
    EXPECT_EQ(0u, level->Release());
    EXPECT_EQ(0u, texture->Release());  // still bound as the render target
}

TEST_F(SwDeviceTargets, LockedTexelsRoundTripWithThePitch) {
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3D_OK, m_device->CreateTexture(3, 2, 1, D3DUSAGE_DYNAMIC, D3DFMT_L8, D3DPOOL_DEFAULT, &texture, nullptr));
    D3DLOCKED_RECT locked;
    ASSERT_EQ(D3D_OK, texture->LockRect(0, &locked, nullptr, D3DLOCK_DISCARD));
    ASSERT_GE(locked.Pitch, 3);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) static_cast<BYTE*>(locked.pBits)[y * locked.Pitch + x] = BYTE(10 * y + x);
    }
    ASSERT_EQ(D3D_OK, texture->UnlockRect(0));
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(D3D_OK, texture->GetSurfaceLevel(0, &level));
    EXPECT_EQ(12, TexelAt<BYTE>(level, 2, 1));
    EXPECT_EQ(0u, level->Release());
    EXPECT_EQ(0u, texture->Release());
}

}  // namespace
