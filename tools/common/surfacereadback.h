// Reads what the software device drew back into an RgbImage: the back
// buffer and the render-target textures the hosts display.
#pragma once

#include <d3d9.h>

#include "rgbimage.h"

// Formats understood: A8R8G8B8, X8R8G8B8, A16B16G16R16, A16B16G16R16F and
// A32B32G32R32F; alpha is dropped and float channels are clamped to [0, 1].
// False for any other format or when the surface cannot be locked.
bool ReadSurface(IDirect3DSurface9* pSurface, RgbImage& image);
bool ReadTextureLevel0(IDirect3DTexture9* pTexture, RgbImage& image);
bool ReadBackBuffer(IDirect3DDevice9* pDevice, RgbImage& image);

// An IEEE half-precision value as float; exposed for the tests.
float HalfToFloat(std::uint16_t half);
