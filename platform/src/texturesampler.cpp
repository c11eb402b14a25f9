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

namespace {

// ==== Texel formats ====

struct FormatInfo {
    D3DFORMAT format;
    UINT bytesPerTexel;
};

const FormatInfo kSampledFormats[] = {
    {D3DFMT_A8R8G8B8, 4}, {D3DFMT_X8R8G8B8, 4},      {D3DFMT_A8, 1},
    {D3DFMT_L8, 1},       {D3DFMT_L16, 2},           {D3DFMT_A16B16G16R16, 8},
    {D3DFMT_A16B16G16R16F, 8}, {D3DFMT_A32B32G32R32F, 16},
};

UINT BytesPerTexel(D3DFORMAT format) {
    for (const FormatInfo& info : kSampledFormats) {
        if (info.format == format) return info.bytesPerTexel;
    }
    return 0;
}

template <class T>
T Read(const unsigned char* p, UINT index) {
    T value;
    std::memcpy(&value, p + index * sizeof(T), sizeof(T));
    return value;
}

float HalfToFloat(uint16_t half) {
    const int exponent = (half >> 10) & 0x1f;
    const int mantissa = half & 0x3ff;
    const float sign = (half & 0x8000) ? -1.0f : 1.0f;
    if (exponent == 0) return sign * std::ldexp(static_cast<float>(mantissa), -24);
    if (exponent == 31) return mantissa ? NAN : sign * INFINITY;
    return sign * std::ldexp(static_cast<float>(mantissa | 0x400), exponent - 25);
}

D3DXVECTOR4 DecodeArgb(const unsigned char* p, bool hasAlpha) {
    const float k = 1.0f / 255.0f;
    return D3DXVECTOR4(p[2] * k, p[1] * k, p[0] * k, hasAlpha ? p[3] * k : 1.0f);
}

D3DXVECTOR4 DecodeUnorm16x4(const unsigned char* p) {
    const float k = 1.0f / 65535.0f;
    return D3DXVECTOR4(Read<uint16_t>(p, 0) * k, Read<uint16_t>(p, 1) * k, Read<uint16_t>(p, 2) * k,
                       Read<uint16_t>(p, 3) * k);
}

D3DXVECTOR4 DecodeHalf4(const unsigned char* p) {
    return D3DXVECTOR4(HalfToFloat(Read<uint16_t>(p, 0)), HalfToFloat(Read<uint16_t>(p, 1)),
                       HalfToFloat(Read<uint16_t>(p, 2)), HalfToFloat(Read<uint16_t>(p, 3)));
}

D3DXVECTOR4 Luminance(float l) { return D3DXVECTOR4(l, l, l, 1.0f); }

// Channels the format lacks read as D3D9 samples them: colour 0 and alpha 1
// (A8 gives black with alpha, luminance gives grey).
D3DXVECTOR4 DecodeTexel(D3DFORMAT format, const unsigned char* p) {
    switch (format) {
    case D3DFMT_A8R8G8B8: return DecodeArgb(p, true);
    case D3DFMT_X8R8G8B8: return DecodeArgb(p, false);
    case D3DFMT_A8: return D3DXVECTOR4(0.0f, 0.0f, 0.0f, p[0] / 255.0f);
    case D3DFMT_L8: return Luminance(p[0] / 255.0f);
    case D3DFMT_L16: return Luminance(Read<uint16_t>(p, 0) / 65535.0f);
    case D3DFMT_A16B16G16R16: return DecodeUnorm16x4(p);
    case D3DFMT_A16B16G16R16F: return DecodeHalf4(p);
    case D3DFMT_A32B32G32R32F:
        return D3DXVECTOR4(Read<float>(p, 0), Read<float>(p, 1), Read<float>(p, 2), Read<float>(p, 3));
    default: return D3DXVECTOR4(0.0f, 0.0f, 0.0f, 1.0f);
    }
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

bool IsSampledFormat(D3DFORMAT format) { return BytesPerTexel(format) != 0; }

// ==== Snapshot ====

HRESULT TextureSampler::Attach(IDirect3DBaseTexture9* texture) {
    Detach();
    if (!texture) return D3D_OK;
    if (texture->GetType() != D3DRTYPE_TEXTURE) return D3DERR_WRONGTEXTUREFORMAT;
    IDirect3DTexture9* texture2d = static_cast<IDirect3DTexture9*>(texture);
    const UINT levels = texture2d->GetLevelCount();
    for (UINT level = 0; level < levels; ++level) {
        const HRESULT hr = ReadLevel(texture2d, level);
        if (FAILED(hr)) {
            Detach();
            return hr;
        }
    }
    return D3D_OK;
}

void TextureSampler::Detach() { m_levels.clear(); }

HRESULT TextureSampler::ReadLevel(IDirect3DTexture9* texture, UINT level) {
    D3DSURFACE_DESC desc;
    HRESULT hr = texture->GetLevelDesc(level, &desc);
    if (FAILED(hr)) return hr;
    Level copy;
    copy.width = desc.Width;
    copy.height = desc.Height;
    copy.format = desc.Format;
    copy.bytesPerTexel = BytesPerTexel(desc.Format);
    if (copy.bytesPerTexel == 0 || copy.width == 0 || copy.height == 0) return D3DERR_WRONGTEXTUREFORMAT;
    D3DLOCKED_RECT locked;
    hr = texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY);
    if (FAILED(hr)) return hr;
    const size_t rowBytes = size_t(copy.width) * copy.bytesPerTexel;
    if (!locked.pBits || locked.Pitch < 0 || size_t(locked.Pitch) < rowBytes) {
        texture->UnlockRect(level);
        return D3DERR_INVALIDCALL;
    }
    copy.texels.resize(rowBytes * copy.height);
    for (UINT row = 0; row < copy.height; ++row) {
        std::memcpy(&copy.texels[row * rowBytes], static_cast<const unsigned char*>(locked.pBits) +
                                                      size_t(row) * size_t(locked.Pitch), rowBytes);
    }
    texture->UnlockRect(level);
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
    const size_t offset = (size_t(row) * level.width + size_t(column)) * level.bytesPerTexel;
    return DecodeTexel(level.format, &level.texels[offset]);
}
