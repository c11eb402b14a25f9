#include "pngtextureloader.h"

#include <cstring>
#include <vector>

#include <png.h>

namespace {

// Particle textures are small; this bounds what an odd file can make us allocate.
constexpr png_uint_32 kMaxTextureSide = 4096;

struct DecodedImage {
    UINT width = 0;
    UINT height = 0;
    std::vector<png_byte> bgra;  // rows top to bottom, 4 bytes per pixel
};

// BGRA bytes are the little-endian layout of an A8R8G8B8 texel.
bool DecodePng(const std::string& path, DecodedImage& decoded) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    if (image.width == 0 || image.height == 0 || image.width > kMaxTextureSide || image.height > kMaxTextureSide) {
        png_image_free(&image);
        return false;
    }
    image.format = PNG_FORMAT_BGRA;
    decoded.width = image.width;
    decoded.height = image.height;
    decoded.bgra.resize(PNG_IMAGE_SIZE(image));
    return png_image_finish_read(&image, nullptr, decoded.bgra.data(), 0, nullptr) != 0;
}

bool CopyRows(IDirect3DTexture9* pTexture, const DecodedImage& decoded) {
    D3DLOCKED_RECT locked;
    if (FAILED(pTexture->LockRect(0, &locked, nullptr, 0))) return false;
    const size_t rowBytes = decoded.width * 4u;
    for (UINT row = 0; row < decoded.height; ++row)
        std::memcpy(static_cast<BYTE*>(locked.pBits) + static_cast<size_t>(row) * locked.Pitch,
                    decoded.bgra.data() + row * rowBytes, rowBytes);
    pTexture->UnlockRect(0);
    return true;
}

IDirect3DTexture9* CreateTexture(IDirect3DDevice9* pDevice, const DecodedImage& decoded) {
    IDirect3DTexture9* pTexture = nullptr;
    if (FAILED(pDevice->CreateTexture(decoded.width, decoded.height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                      &pTexture, nullptr)))
        return nullptr;
    if (CopyRows(pTexture, decoded)) return pTexture;
    pTexture->Release();
    return nullptr;
}

IDirect3DTexture9* ReadPngTexture(IDirect3DDevice9* pDevice, const std::string& path) {
    DecodedImage decoded;
    return DecodePng(path, decoded) ? CreateTexture(pDevice, decoded) : nullptr;
}

}  // namespace

PngTextureCache* PngTextureCache::s_pActive = nullptr;

PngTextureCache::PngTextureCache(IDirect3DDevice9* pDevice) : m_pDevice(pDevice) {
    s_pActive = this;
    ITexture::RegisterTextureLoaderFunction(&PngTextureCache::LoaderHook);
}

PngTextureCache::~PngTextureCache() {
    if (s_pActive == this) {
        ITexture::RegisterTextureLoaderFunction(nullptr);
        s_pActive = nullptr;
    }
    for (auto& entry : m_textures)
        if (entry.second) entry.second->Release();
}

IDirect3DTexture9* PngTextureCache::Get(const std::string& path) {
    auto found = m_textures.find(path);
    if (found != m_textures.end()) return found->second;
    IDirect3DTexture9* pTexture = ReadPngTexture(m_pDevice, path);
    m_textures.emplace(path, pTexture);
    return pTexture;
}

size_t PngTextureCache::LoadedCount() const {
    size_t loaded = 0;
    for (const auto& entry : m_textures)
        if (entry.second) ++loaded;
    return loaded;
}

void PngTextureCache::LoaderHook(const CString& file, IDirect3DTexture9** ppTexture) {
    *ppTexture = s_pActive ? s_pActive->Get(file.GetString()) : nullptr;
}
