// Helpers for the rasterisation tests: a device with a 64 x 32 back buffer
// and depth buffer, pre-transformed and untransformed vertices, and pixels
// read back through LockRect.
#pragma once

#include <cstring>
#include <functional>
#include <vector>

#include "swdevice_fixture.h"

// Position in pixels (pixel centres at integers), rhw, diffuse, one texture coordinate set.
struct RhwVertex {
    float x, y, z, rhw;
    DWORD colour;
    float u, v;
};
constexpr DWORD kRhwFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

struct ColourVertex {
    float x, y, z;
    DWORD colour;
};
constexpr DWORD kColourFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE;

inline BYTE Red(DWORD c) { return BYTE(c >> 16); }
inline BYTE Green(DWORD c) { return BYTE(c >> 8); }
inline BYTE Blue(DWORD c) { return BYTE(c); }
inline BYTE Alpha(DWORD c) { return BYTE(c >> 24); }

class RasterTest : public SoftwareDeviceTest {
protected:
    void SetUp() override {
        SoftwareDeviceTest::SetUp();
        ASSERT_EQ(D3D_OK, m_device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &m_backBuffer));
        ASSERT_EQ(D3D_OK, m_device->BeginScene());
        Clear(0);
    }

    void TearDown() override {
        if (m_backBuffer) {
            EXPECT_EQ(0u, m_backBuffer->Release());
        }
        SoftwareDeviceTest::TearDown();
    }

    void Clear(D3DCOLOR colour, float z = 1.0f) {
        ASSERT_EQ(D3D_OK, m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, colour, z, 0));
    }

    void SetState(D3DRENDERSTATETYPE state, DWORD value) { ASSERT_EQ(D3D_OK, m_device->SetRenderState(state, value)); }
    void SetState(D3DRENDERSTATETYPE state, float value) {
        DWORD bits;
        std::memcpy(&bits, &value, 4);
        SetState(state, bits);
    }

    template <class Vertex>
    void Draw(D3DPRIMITIVETYPE type, UINT primitives, const std::vector<Vertex>& vertices, DWORD fvf) {
        ASSERT_EQ(D3D_OK, m_device->SetFVF(fvf));
        ASSERT_EQ(D3D_OK, m_device->DrawPrimitiveUP(type, primitives, vertices.data(), sizeof(Vertex)));
    }

    // Two triangles covering [left, right) x [top, bottom) in pixels, texture coordinates 0..1 (or u1, v1).
    void DrawRect(float left, float top, float right, float bottom, DWORD colour, float z = 0.5f, float u1 = 1.0f,
                  float v1 = 1.0f) {
        const std::vector<RhwVertex> quad = {{left, top, z, 1, colour, 0, 0},   {right, top, z, 1, colour, u1, 0},
                                             {left, bottom, z, 1, colour, 0, v1}, {right, bottom, z, 1, colour, u1, v1}};
        Draw(D3DPT_TRIANGLESTRIP, 2, quad, kRhwFvf);
    }

    // The whole surface as D3DCOLORs (the surface must be 32-bit).
    std::vector<DWORD> Pixels(IDirect3DSurface9* surface = nullptr) {
        if (!surface) surface = m_backBuffer;
        D3DSURFACE_DESC desc;
        surface->GetDesc(&desc);
        D3DLOCKED_RECT locked;
        EXPECT_EQ(D3D_OK, surface->LockRect(&locked, nullptr, D3DLOCK_READONLY));
        std::vector<DWORD> pixels(desc.Width * desc.Height);
        for (UINT y = 0; y < desc.Height; ++y) {
            std::memcpy(&pixels[y * desc.Width], static_cast<BYTE*>(locked.pBits) + y * locked.Pitch, desc.Width * 4);
        }
        EXPECT_EQ(D3D_OK, surface->UnlockRect());
        return pixels;
    }

    DWORD PixelAt(UINT x, UINT y, IDirect3DSurface9* surface = nullptr) {
        D3DSURFACE_DESC desc;
        (surface ? surface : m_backBuffer)->GetDesc(&desc);
        return Pixels(surface)[y * desc.Width + x];
    }

    // Pixels of the back buffer whose colour (alpha ignored) satisfies the test.
    size_t CountPixels(const std::function<bool(DWORD)>& test) {
        size_t count = 0;
        for (DWORD p : Pixels()) count += test(p & 0xFFFFFF);
        return count;
    }

    IDirect3DSurface9* m_backBuffer = nullptr;
};
