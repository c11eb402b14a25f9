// Texture sampling: texel decoding, addressing, point and linear filtering,
// mip selection.
//
// Index
//   ==== Texel formats ====
//   ==== Addressing ====
//   ==== Snapshot ====
//   ==== Filtering ====
#include "platform/texturesampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/d3d9interfaces.h"
#include "swdevice_texture.h"

namespace {

// ==== Texel formats ====

using swdevice::detail::FindFormat;
using swdevice::detail::FormatInfo;

// Formats with a colour decoder: the software device's colour formats.
const FormatInfo* SampledFormat(D3DFORMAT format) {
    const FormatInfo* info = FindFormat(format);
    return info && info->readColor ? info : nullptr;
}

D3DXVECTOR4 ColorToVector(D3DCOLOR color) {
    const float k = 1.0f / 255.0f;
    return D3DXVECTOR4(((color >> 16) & 0xff) * k, ((color >> 8) & 0xff) * k, (color & 0xff) * k,
                       (color >> 24) * k);
}

// ==== Addressing ====

constexpr long kOutside = -1;

// Texel index of a texture coordinate; non-finite and far-out coordinates
// are pinned so that the conversion to an integer stays defined.
long FloorIndex(float coordinate) {
    if (!std::isfinite(coordinate)) return 0;
    const float limit = 1 << 30;
    return static_cast<long>(std::floor(std::clamp(coordinate, -limit, limit)));
}

long PositiveModulo(long i, long n) { return ((i % n) + n) % n; }

long MirrorIndex(long i, long size) {
    const long m = PositiveModulo(i, 2 * size);
    return m < size ? m : 2 * size - 1 - m;
}

// The texel that index i addresses along an axis of the given size, or
// kOutside when border addressing leaves the texture.
long AddressIndex(D3DTEXTUREADDRESS mode, long i, long size) {
    if (i >= 0 && i < size) return i;  // every mode agrees inside the texture
    switch (mode) {
    case D3DTADDRESS_MIRROR: return MirrorIndex(i, size);
    case D3DTADDRESS_CLAMP: return std::clamp(i, 0L, size - 1);
    case D3DTADDRESS_BORDER: return (i < 0 || i >= size) ? kOutside : i;
    case D3DTADDRESS_MIRRORONCE: return std::min(i < 0 ? -i - 1 : i, size - 1);
    default: return PositiveModulo(i, size);
    }
}

D3DXVECTOR4 Lerp(const D3DXVECTOR4& a, const D3DXVECTOR4& b, float t) { return a + (b - a) * t; }

bool IsLinear(D3DTEXTUREFILTERTYPE filter) { return filter >= D3DTEXF_LINEAR; }

}  // namespace

bool IsSampledFormat(D3DFORMAT format) { return SampledFormat(format) != nullptr; }

// ==== Snapshot ====

// Reads the software device's stored levels directly: a texture that
// generates its mipmaps shows only level 0, but sampling uses the whole chain.
HRESULT TextureSampler::Attach(IDirect3DBaseTexture9* texture) {
    Detach();
    if (!texture) return D3D_OK;
    if (texture->GetType() != D3DRTYPE_TEXTURE) return D3DERR_WRONGTEXTUREFORMAT;
    const auto* stored = dynamic_cast<const swdevice::detail::Texture*>(static_cast<IDirect3DTexture9*>(texture));
    if (!stored) return D3DERR_WRONGTEXTUREFORMAT;
    for (const auto& level : stored->Levels()) {
        const HRESULT hr = ReadLevel(*level);
        if (FAILED(hr)) {
            Detach();
            return hr;
        }
    }
    return D3D_OK;
}

void TextureSampler::Detach() { m_levels.clear(); }

HRESULT TextureSampler::ReadLevel(swdevice::detail::Surface& surface) {
    const D3DSURFACE_DESC& desc = surface.Description();
    Level copy;
    copy.width = desc.Width;
    copy.height = desc.Height;
    copy.format = SampledFormat(desc.Format);
    if (!copy.format || copy.width == 0 || copy.height == 0) return D3DERR_WRONGTEXTUREFORMAT;
    copy.texels.resize(size_t(copy.width) * copy.height);
    for (UINT y = 0; y < copy.height; ++y) {
        for (UINT x = 0; x < copy.width; ++x) copy.format->readColor(surface.Texel(x, y), &copy.texels[y * copy.width + x].x);
    }
    m_levels.push_back(std::move(copy));
    return D3D_OK;
}

// ==== Filtering ====

D3DXVECTOR4 TextureSampler::Sample(const SamplerState& state, float u, float v, float footprintLog2) const {
    if (m_levels.empty()) return D3DXVECTOR4(0.0f, 0.0f, 0.0f, 1.0f);
    const Level& base = m_levels.front();
    const float lod = footprintLog2 + std::log2(static_cast<float>(std::max(base.width, base.height)));
    if (!(lod > 0.0f)) return SampleLevel(state, state.magFilter, 0, u, v);
    const UINT last = static_cast<UINT>(m_levels.size() - 1);
    const float clampedLod = std::min(lod, static_cast<float>(last));
    switch (state.mipFilter) {
    case D3DTEXF_NONE: return SampleLevel(state, state.minFilter, 0, u, v);
    case D3DTEXF_POINT:
        return SampleLevel(state, state.minFilter, static_cast<UINT>(std::lround(clampedLod)), u, v);
    default: {
        const UINT lower = static_cast<UINT>(clampedLod);
        const UINT upper = std::min(lower + 1, last);
        return Lerp(SampleLevel(state, state.minFilter, lower, u, v),
                    SampleLevel(state, state.minFilter, upper, u, v), clampedLod - static_cast<float>(lower));
    }
    }
}

D3DXVECTOR4 TextureSampler::SampleLevel(const SamplerState& state, D3DTEXTUREFILTERTYPE filter, UINT level,
                                        float u, float v) const {
    const Level& texels = m_levels[level];
    return IsLinear(filter) ? Linear(state, texels, u, v) : Point(state, texels, u, v);
}

D3DXVECTOR4 TextureSampler::Point(const SamplerState& state, const Level& level, float u, float v) const {
    return Texel(state, level, FloorIndex(u * level.width), FloorIndex(v * level.height));
}

// Texel centres sit at (i + 0.5) / size; each of the four taps is addressed
// on its own, as hardware does.
D3DXVECTOR4 TextureSampler::Linear(const SamplerState& state, const Level& level, float u, float v) const {
    const float x = u * level.width - 0.5f;
    const float y = v * level.height - 0.5f;
    const long x0 = FloorIndex(x);
    const long y0 = FloorIndex(y);
    const float fx = std::isfinite(x) ? x - std::floor(x) : 0.0f;
    const float fy = std::isfinite(y) ? y - std::floor(y) : 0.0f;
    const D3DXVECTOR4 top = Lerp(Texel(state, level, x0, y0), Texel(state, level, x0 + 1, y0), fx);
    const D3DXVECTOR4 bottom = Lerp(Texel(state, level, x0, y0 + 1), Texel(state, level, x0 + 1, y0 + 1), fx);
    return Lerp(top, bottom, fy);
}

D3DXVECTOR4 TextureSampler::Texel(const SamplerState& state, const Level& level, long x, long y) const {
    const long column = AddressIndex(state.addressU, x, static_cast<long>(level.width));
    const long row = AddressIndex(state.addressV, y, static_cast<long>(level.height));
    if (column == kOutside || row == kOutside) return ColorToVector(state.borderColor);
    return level.texels[size_t(row) * level.width + size_t(column)];
}
