#include "swdevice_texture.h"

#include <algorithm>
#include <cstring>

namespace swdevice::detail {

namespace {

float ReadChannel(ChannelType type, const BYTE* p) {
    switch (type) {
        case ChannelType::Unorm8: return p[0] / 255.0f;
        case ChannelType::Unorm16: { WORD v; std::memcpy(&v, p, 2); return v / 65535.0f; }
        case ChannelType::Float16: { WORD v; std::memcpy(&v, p, 2); return HalfToFloat(v); }
        case ChannelType::Float32: { float v; std::memcpy(&v, p, 4); return v; }
        default: return 0.0f;
    }
}

void WriteChannel(ChannelType type, float value, BYTE* p) {
    const float unit = std::clamp(value, 0.0f, 1.0f);
    switch (type) {
        case ChannelType::Unorm8: p[0] = BYTE(unit * 255.0f + 0.5f); break;
        case ChannelType::Unorm16: { const WORD v = WORD(unit * 65535.0f + 0.5f); std::memcpy(p, &v, 2); break; }
        case ChannelType::Float16: { const WORD v = FloatToHalf(value); std::memcpy(p, &v, 2); break; }
        case ChannelType::Float32: std::memcpy(p, &value, 4); break;
        default: break;
    }
}

// One destination texel: the mean of the 2x2 source texels under it
// (clamped at the edge of an odd-sized source).
void AverageTexel(Surface& source, Surface& target, UINT x, UINT y) {
    const FormatInfo& format = source.Format();
    const UINT channelBytes = format.blockBytes / ChannelCount(format);
    const UINT xs[2] = {2 * x, std::min(2 * x + 1, source.Description().Width - 1)};
    const UINT ys[2] = {2 * y, std::min(2 * y + 1, source.Description().Height - 1)};
    for (UINT c = 0; c < ChannelCount(format); ++c) {
        float sum = 0.0f;
        for (UINT sy : ys) {
            for (UINT sx : xs) sum += ReadChannel(format.channelType, source.Texel(sx, sy) + c * channelBytes);
        }
        WriteChannel(format.channelType, sum / 4.0f, target.Texel(x, y) + c * channelBytes);
    }
}

void Downsample(Surface& source, Surface& target) {
    for (UINT y = 0; y < target.Description().Height; ++y) {
        for (UINT x = 0; x < target.Description().Width; ++x) AverageTexel(source, target, x, y);
    }
}

D3DSURFACE_DESC LevelDesc(const D3DSURFACE_DESC& top, UINT level) {
    D3DSURFACE_DESC desc = top;
    desc.Type = D3DRTYPE_SURFACE;
    desc.Width = std::max(1u, top.Width >> level);
    desc.Height = std::max(1u, top.Height >> level);
    return desc;
}

}  // namespace

UINT FullMipChainLength(UINT width, UINT height) {
    UINT levels = 1;
    for (UINT size = std::max(width, height); size > 1; size >>= 1) ++levels;
    return levels;
}

Texture::Texture(const ResourceOrigin& origin, const D3DSURFACE_DESC& top, UINT levelCount)
    : Resource<IDirect3DTexture9>(origin, D3DRTYPE_TEXTURE, top.Pool, Lifetime::Owner::Self, origin.device),
      m_usage(top.Usage) {
    const ResourceOrigin levelOrigin{origin.device, nullptr};
    const SurfaceParent parent{static_cast<IDirect3DTexture9*>(this), this, this};
    for (UINT level = 0; level < levelCount; ++level) {
        m_levels.push_back(std::make_unique<Surface>(levelOrigin, LevelDesc(top, level), parent));
    }
}

Texture::~Texture() = default;

DWORD Texture::SetLOD(DWORD LODNew) {
    const DWORD previous = m_lod;
    if (Pool() == D3DPOOL_MANAGED) m_lod = std::min<DWORD>(LODNew, DWORD(m_levels.size() - 1));
    return previous;
}

DWORD Texture::GetLevelCount() { return VisibleLevelCount(); }

UINT Texture::VisibleLevelCount() const {
    return (m_usage & D3DUSAGE_AUTOGENMIPMAP) ? 1 : UINT(m_levels.size());
}

HRESULT Texture::SetAutoGenFilterType(D3DTEXTUREFILTERTYPE FilterType) {
    if (FilterType != D3DTEXF_POINT && FilterType != D3DTEXF_LINEAR) return D3DERR_INVALIDCALL;
    m_autoGenFilter = FilterType;
    return D3D_OK;
}

// A box filter for either filter type; compressed levels are left as they are.
void Texture::GenerateMipSubLevels() {
    if (!(m_usage & D3DUSAGE_AUTOGENMIPMAP) || ChannelCount(m_levels[0]->Format()) == 0) return;
    for (size_t level = 1; level < m_levels.size(); ++level) Downsample(*m_levels[level - 1], *m_levels[level]);
}

Surface* Texture::VisibleLevel(UINT level) const {
    return level < VisibleLevelCount() ? m_levels[level].get() : nullptr;
}

HRESULT Texture::GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) {
    Surface* surface = VisibleLevel(Level);
    return surface ? surface->GetDesc(pDesc) : D3DERR_INVALIDCALL;
}

HRESULT Texture::GetSurfaceLevel(UINT Level, IDirect3DSurface9** ppSurfaceLevel) {
    if (!ppSurfaceLevel) return D3DERR_INVALIDCALL;
    *ppSurfaceLevel = nullptr;
    Surface* surface = VisibleLevel(Level);
    if (!surface) return D3DERR_INVALIDCALL;
    surface->AddRef();
    *ppSurfaceLevel = surface;
    return D3D_OK;
}

HRESULT Texture::LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) {
    Surface* surface = VisibleLevel(Level);
    if (!surface) {
        if (pLockedRect) *pLockedRect = D3DLOCKED_RECT{0, nullptr};
        return D3DERR_INVALIDCALL;
    }
    return surface->LockRect(pLockedRect, pRect, Flags);
}

HRESULT Texture::UnlockRect(UINT Level) {
    Surface* surface = VisibleLevel(Level);
    return surface ? surface->UnlockRect() : D3DERR_INVALIDCALL;
}

HRESULT Texture::AddDirtyRect(const RECT*) { return D3D_OK; }

}  // namespace swdevice::detail
