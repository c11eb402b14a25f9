#include "texturecache.h"

#include <cstring>

#include "imagefile.h"

namespace {

bool CopyRows(IDirect3DTexture9* pTexture, const BgraImage& image) {
    D3DLOCKED_RECT locked;
    if (FAILED(pTexture->LockRect(0, &locked, nullptr, 0))) return false;
    const size_t rowBytes = image.width * 4u;
    for (UINT row = 0; row < image.height; ++row)
        std::memcpy(static_cast<BYTE*>(locked.pBits) + static_cast<size_t>(row) * locked.Pitch,
                    image.bgra.data() + row * rowBytes, rowBytes);
    pTexture->UnlockRect(0);
    return true;
}

IDirect3DTexture9* CreateTexture(IDirect3DDevice9* pDevice, const BgraImage& image) {
    IDirect3DTexture9* pTexture = nullptr;
    if (FAILED(pDevice->CreateTexture(image.width, image.height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &pTexture,
                                      nullptr)))
        return nullptr;
    if (CopyRows(pTexture, image)) return pTexture;
    pTexture->Release();
    return nullptr;
}

IDirect3DTexture9* ReadTexture(IDirect3DDevice9* pDevice, const std::string& path) {
    BgraImage image;
    return ReadImageFile(path, image) ? CreateTexture(pDevice, image) : nullptr;
}

}  // namespace

TextureCache* TextureCache::s_pActive = nullptr;

TextureCache::TextureCache(IDirect3DDevice9* pDevice) : m_pDevice(pDevice) {
    s_pActive = this;
    ITexture::RegisterTextureLoaderFunction(&TextureCache::LoaderHook);
}

TextureCache::~TextureCache() {
    if (s_pActive == this) {
        ITexture::RegisterTextureLoaderFunction(nullptr);
        s_pActive = nullptr;
    }
    for (auto& entry : m_textures)
        if (entry.second) entry.second->Release();
}

IDirect3DTexture9* TextureCache::Get(const std::string& path) {
    auto found = m_textures.find(path);
    if (found != m_textures.end()) return found->second;
    IDirect3DTexture9* pTexture = ReadTexture(m_pDevice, path);
    m_textures.emplace(path, pTexture);
    return pTexture;
}

size_t TextureCache::LoadedCount() const {
    size_t loaded = 0;
    for (const auto& entry : m_textures)
        if (entry.second) ++loaded;
    return loaded;
}

void TextureCache::LoaderHook(const CString& file, IDirect3DTexture9** ppTexture) {
    *ppTexture = s_pActive ? s_pActive->Get(file.GetString()) : nullptr;
}
