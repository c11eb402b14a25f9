#include "backdrop.h"

#include <cstring>

#include "imagefile.h"

namespace {

// The source pixel whose centre is nearest the target pixel's centre when
// the source side is stretched over the target side.
unsigned int NearestSource(unsigned int target, unsigned int targetSize, unsigned int sourceSize) {
    return static_cast<unsigned int>((2ull * target + 1) * sourceSize / (2ull * targetSize));
}

std::uint8_t Mix(std::uint8_t over, std::uint8_t under, std::uint8_t alpha) {
    return static_cast<std::uint8_t>((over * alpha + under * (255 - alpha) + 127) / 255);
}

D3DCOLOR OverColour(const std::uint8_t* bgra, D3DCOLOR under) {
    const std::uint8_t alpha = bgra[3];
    return D3DCOLOR_XRGB(Mix(bgra[2], (under >> 16) & 0xFF, alpha), Mix(bgra[1], (under >> 8) & 0xFF, alpha),
                         Mix(bgra[0], under & 0xFF, alpha));
}

bool MatchesBackBuffer(IDirect3DSurface9* pBackBuffer, UINT width, UINT height) {
    D3DSURFACE_DESC desc;
    return SUCCEEDED(pBackBuffer->GetDesc(&desc)) && desc.Width == width && desc.Height == height &&
           (desc.Format == D3DFMT_A8R8G8B8 || desc.Format == D3DFMT_X8R8G8B8);
}

std::vector<D3DCOLOR> Stretch(const BgraImage& image, UINT width, UINT height, D3DCOLOR under) {
    std::vector<D3DCOLOR> texels(static_cast<size_t>(width) * height);
    for (UINT y = 0; y < height; ++y) {
        const size_t sourceRow = NearestSource(y, height, image.height) * size_t(image.width);
        for (UINT x = 0; x < width; ++x)
            texels[size_t(y) * width + x] =
                OverColour(&image.bgra[(sourceRow + NearestSource(x, width, image.width)) * 4], under);
    }
    return texels;
}

}  // namespace

bool Backdrop::Load(const std::string& path, UINT width, UINT height, D3DCOLOR under) {
    BgraImage image;
    if (!ReadImageFile(path, image)) return false;
    m_width = width;
    m_height = height;
    m_texels = Stretch(image, width, height, under);
    return true;
}

void Backdrop::Draw(IDirect3DDevice9* pDevice) const {
    IDirect3DSurface9* pBackBuffer = nullptr;
    if (m_texels.empty() || FAILED(pDevice->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &pBackBuffer))) return;
    D3DLOCKED_RECT locked;
    if (MatchesBackBuffer(pBackBuffer, m_width, m_height) && SUCCEEDED(pBackBuffer->LockRect(&locked, nullptr, 0))) {
        for (UINT row = 0; row < m_height; ++row)
            std::memcpy(static_cast<BYTE*>(locked.pBits) + static_cast<size_t>(row) * locked.Pitch,
                        &m_texels[size_t(row) * m_width], m_width * sizeof(D3DCOLOR));
        pBackBuffer->UnlockRect();
    }
    pBackBuffer->Release();
}
