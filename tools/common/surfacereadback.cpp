#include "surfacereadback.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

std::uint8_t FromUnit(float value) {
    if (!(value > 0.0f)) return 0;  // NaN too
    if (value >= 1.0f) return 255;
    return static_cast<std::uint8_t>(std::lround(value * 255.0f));
}

std::uint8_t From16(std::uint16_t value) { return static_cast<std::uint8_t>((value * 255u + 32767u) / 65535u); }

// One row of each format into RGB; channels are stored R, G, B, A in the
// ABGR formats and B, G, R, A in the ARGB ones (little-endian).
void ConvertArgb8(const BYTE* source, std::uint8_t* rgb, unsigned int width) {
    for (unsigned int x = 0; x < width; ++x, source += 4, rgb += 3) {
        rgb[0] = source[2];
        rgb[1] = source[1];
        rgb[2] = source[0];
    }
}

void ConvertAbgr16(const BYTE* source, std::uint8_t* rgb, unsigned int width) {
    std::uint16_t texel[4];
    for (unsigned int x = 0; x < width; ++x, source += 8, rgb += 3) {
        std::memcpy(texel, source, sizeof texel);
        for (int c = 0; c < 3; ++c) rgb[c] = From16(texel[c]);
    }
}

void ConvertAbgr16F(const BYTE* source, std::uint8_t* rgb, unsigned int width) {
    std::uint16_t texel[4];
    for (unsigned int x = 0; x < width; ++x, source += 8, rgb += 3) {
        std::memcpy(texel, source, sizeof texel);
        for (int c = 0; c < 3; ++c) rgb[c] = FromUnit(HalfToFloat(texel[c]));
    }
}

void ConvertAbgr32F(const BYTE* source, std::uint8_t* rgb, unsigned int width) {
    float texel[4];
    for (unsigned int x = 0; x < width; ++x, source += 16, rgb += 3) {
        std::memcpy(texel, source, sizeof texel);
        for (int c = 0; c < 3; ++c) rgb[c] = FromUnit(texel[c]);
    }
}

using RowConverter = void (*)(const BYTE*, std::uint8_t*, unsigned int);

RowConverter ConverterFor(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8: return ConvertArgb8;
    case D3DFMT_A16B16G16R16: return ConvertAbgr16;
    case D3DFMT_A16B16G16R16F: return ConvertAbgr16F;
    case D3DFMT_A32B32G32R32F: return ConvertAbgr32F;
    default: return nullptr;
    }
}

}  // namespace

float HalfToFloat(std::uint16_t half) {
    const int sign = (half & 0x8000) ? -1 : 1;
    const int exponent = (half >> 10) & 0x1F;
    const int mantissa = half & 0x3FF;
    if (exponent == 0) return sign * std::ldexp(static_cast<float>(mantissa), -24);
    if (exponent == 31) return mantissa ? NAN : sign * INFINITY;
    return sign * std::ldexp(static_cast<float>(mantissa | 0x400), exponent - 25);
}

bool ReadSurface(IDirect3DSurface9* pSurface, RgbImage& image) {
    D3DSURFACE_DESC desc;
    if (!pSurface || FAILED(pSurface->GetDesc(&desc))) return false;
    RowConverter convert = ConverterFor(desc.Format);
    D3DLOCKED_RECT locked;
    if (!convert || FAILED(pSurface->LockRect(&locked, nullptr, D3DLOCK_READONLY))) return false;
    image = RgbImage(desc.Width, desc.Height);
    for (unsigned int y = 0; y < desc.Height; ++y)
        convert(static_cast<const BYTE*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch, image.Pixel(0, y),
                desc.Width);
    pSurface->UnlockRect();
    return true;
}

bool ReadTextureLevel0(IDirect3DTexture9* pTexture, RgbImage& image) {
    IDirect3DSurface9* pSurface = nullptr;
    if (!pTexture || FAILED(pTexture->GetSurfaceLevel(0, &pSurface))) return false;
    bool read = ReadSurface(pSurface, image);
    pSurface->Release();
    return read;
}

bool ReadBackBuffer(IDirect3DDevice9* pDevice, RgbImage& image) {
    IDirect3DSurface9* pSurface = nullptr;
    if (FAILED(pDevice->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &pSurface))) return false;
    bool read = ReadSurface(pSurface, image);
    pSurface->Release();
    return read;
}
