// The host's texture loader: PNG and DDS files (see imagefile.h) into
// managed D3DFMT_A8R8G8B8 textures on the host's device.
#pragma once

#include <map>
#include <string>

#include <Pyrelune.h>

// Serves the library's texture loader hook while it lives. One texture per
// path, shared by every piece that names it; the cache owns them and
// releases them when destroyed, so it must outlive the manager's textures.
// An unreadable file stays null, and the library reports it.
class TextureCache {
public:
    explicit TextureCache(IDirect3DDevice9* pDevice);
    ~TextureCache();
    TextureCache(const TextureCache&) = delete;
    TextureCache& operator=(const TextureCache&) = delete;

    // Null when the file cannot be read as a picture or the texture cannot be made.
    IDirect3DTexture9* Get(const std::string& path);
    // Distinct files turned into textures so far.
    size_t LoadedCount() const;

private:
    static void LoaderHook(const CString& file, IDirect3DTexture9** ppTexture);

    // The cache the hook serves: the one constructed last, cleared by its
    // destructor. Rendering thread only.
    static TextureCache* s_pActive;

    IDirect3DDevice9* m_pDevice;  // the host's; not add-ref'd
    std::map<std::string, IDirect3DTexture9*> m_textures;  // null entries remember failed reads
};
