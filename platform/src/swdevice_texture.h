// 2D textures: a chain of level surfaces. With D3DUSAGE_AUTOGENMIPMAP the
// texture shows one level, as D3D9 does, and keeps the rest of the chain
// itself, refilled from level 0 after every change.
#pragma once

#include <memory>
#include <vector>

#include "swdevice_surface.h"

namespace swdevice::detail {

class Texture final : public Resource<IDirect3DTexture9> {
public:
    // levelCount is the full count of stored levels (already resolved from 0).
    Texture(const ResourceOrigin& origin, const D3DSURFACE_DESC& top, UINT levelCount);
    ~Texture() override;

    DWORD SetLOD(DWORD LODNew) override;
    DWORD GetLOD() override { return m_lod; }
    DWORD GetLevelCount() override;
    HRESULT SetAutoGenFilterType(D3DTEXTUREFILTERTYPE FilterType) override;
    D3DTEXTUREFILTERTYPE GetAutoGenFilterType() override { return m_autoGenFilter; }
    void GenerateMipSubLevels() override;

    HRESULT GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) override;
    HRESULT GetSurfaceLevel(UINT Level, IDirect3DSurface9** ppSurfaceLevel) override;
    HRESULT LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) override;
    HRESULT UnlockRect(UINT Level) override;
    HRESULT AddDirtyRect(const RECT* pDirtyRect) override;

    // Every stored level, the hidden automatic ones included.
    const std::vector<std::unique_ptr<Surface>>& Levels() const { return m_levels; }

private:
    UINT VisibleLevelCount() const;
    Surface* VisibleLevel(UINT level) const;

    DWORD m_usage;
    std::vector<std::unique_ptr<Surface>> m_levels;
    DWORD m_lod = 0;
    D3DTEXTUREFILTERTYPE m_autoGenFilter = D3DTEXF_LINEAR;
};

// Levels of a full chain down to 1x1 for the size.
UINT FullMipChainLength(UINT width, UINT height);

}  // namespace swdevice::detail
