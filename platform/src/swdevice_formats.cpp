#include "swdevice_formats.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

namespace swdevice::detail {

namespace {

float Channel(D3DCOLOR color, int shift) { return float((color >> shift) & 0xFF) / 255.0f; }

template <class T>
void Store(BYTE* texel, const T* values, size_t count) {
    std::memcpy(texel, values, sizeof(T) * count);
}

void WriteArgb8(D3DCOLOR c, BYTE* t) { Store(t, &c, 1); }
void WriteAlpha8(D3DCOLOR c, BYTE* t) { t[0] = BYTE(c >> 24); }
void WriteLuminance8(D3DCOLOR c, BYTE* t) { t[0] = BYTE(c >> 16); }

void WriteLuminance16(D3DCOLOR c, BYTE* t) {
    const WORD l = WORD(((c >> 16) & 0xFF) * 257);
    Store(t, &l, 1);
}

// The 16- and 32-bit-per-channel formats store R, G, B, A in memory order.
void WriteRgba16(D3DCOLOR c, BYTE* t) {
    const WORD v[4] = {WORD(((c >> 16) & 0xFF) * 257), WORD(((c >> 8) & 0xFF) * 257),
                       WORD((c & 0xFF) * 257), WORD((c >> 24) * 257)};
    Store(t, v, 4);
}

void WriteRgba16F(D3DCOLOR c, BYTE* t) {
    const WORD v[4] = {FloatToHalf(Channel(c, 16)), FloatToHalf(Channel(c, 8)),
                       FloatToHalf(Channel(c, 0)), FloatToHalf(Channel(c, 24))};
    Store(t, v, 4);
}

void WriteRgba32F(D3DCOLOR c, BYTE* t) {
    const float v[4] = {Channel(c, 16), Channel(c, 8), Channel(c, 0), Channel(c, 24)};
    Store(t, v, 4);
}

void WriteR32F(D3DCOLOR c, BYTE* t) {
    const float r = Channel(c, 16);
    Store(t, &r, 1);
}

using C = FormatClass;
using T = ChannelType;

const FormatInfo kFormats[] = {
    {D3DFMT_A8R8G8B8, C::Color, 4, T::Unorm8, 0, WriteArgb8},
    {D3DFMT_X8R8G8B8, C::Color, 4, T::Unorm8, 0, WriteArgb8},
    {D3DFMT_A8, C::Color, 1, T::Unorm8, 0, WriteAlpha8},
    {D3DFMT_L8, C::Color, 1, T::Unorm8, 0, WriteLuminance8},
    {D3DFMT_L16, C::Color, 2, T::Unorm16, 0, WriteLuminance16},
    {D3DFMT_A16B16G16R16, C::Color, 8, T::Unorm16, 0, WriteRgba16},
    {D3DFMT_A16B16G16R16F, C::Color, 8, T::Float16, 0, WriteRgba16F},
    {D3DFMT_A32B32G32R32F, C::Color, 16, T::Float32, 0, WriteRgba32F},
    {D3DFMT_R32F, C::Color, 4, T::Float32, 0, WriteR32F},
    {D3DFMT_D16, C::Depth, 2, T::None, 0, nullptr},
    {D3DFMT_D16_LOCKABLE, C::Depth, 2, T::None, 0, nullptr},
    {D3DFMT_D24X8, C::Depth, 4, T::None, 0, nullptr},
    {D3DFMT_D24S8, C::Depth, 4, T::None, 8, nullptr},
    {D3DFMT_D32, C::Depth, 4, T::None, 0, nullptr},
    {D3DFMT_DXT1, C::Compressed, 8, T::None, 0, nullptr},
    {D3DFMT_DXT2, C::Compressed, 16, T::None, 0, nullptr},
    {D3DFMT_DXT3, C::Compressed, 16, T::None, 0, nullptr},
    {D3DFMT_DXT4, C::Compressed, 16, T::None, 0, nullptr},
    {D3DFMT_DXT5, C::Compressed, 16, T::None, 0, nullptr},
};

UINT ChannelBytes(ChannelType type) {
    static const UINT kBytes[] = {0, 1, 2, 2, 4};
    return kBytes[static_cast<int>(type)];
}

DWORD DepthUnits(float z, DWORD maxValue) {
    const double clamped = std::clamp(double(z), 0.0, 1.0);
    return DWORD(std::lround(clamped * maxValue));
}

}  // namespace

const FormatInfo* FindFormat(D3DFORMAT format) {
    const auto found = std::find_if(std::begin(kFormats), std::end(kFormats),
                                    [format](const FormatInfo& f) { return f.format == format; });
    return found == std::end(kFormats) ? nullptr : &*found;
}

UINT BlockDimension(const FormatInfo& info) { return info.formatClass == C::Compressed ? 4 : 1; }

UINT RowPitch(const FormatInfo& info, UINT width) {
    const UINT blocks = (width + BlockDimension(info) - 1) / BlockDimension(info);
    return (blocks * info.blockBytes + 3) & ~3u;  // rows start DWORD-aligned, as drivers do
}

UINT RowCount(const FormatInfo& info, UINT height) {
    return (height + BlockDimension(info) - 1) / BlockDimension(info);
}

UINT ChannelCount(const FormatInfo& info) {
    const UINT bytes = ChannelBytes(info.channelType);
    return bytes ? info.blockBytes / bytes : 0;
}

// D24S8 and D24X8 keep depth in the upper 24 bits and stencil in the low 8.
void WriteDepthStencil(const FormatInfo& info, BYTE* texel, bool writeDepth, float z,
                       bool writeStencil, DWORD stencil) {
    if (info.blockBytes == 2) {
        if (!writeDepth) return;
        const WORD value = WORD(DepthUnits(z, 0xFFFF));
        return Store(texel, &value, 1);
    }
    DWORD value;
    std::memcpy(&value, texel, 4);
    if (info.format == D3DFMT_D32) {
        if (writeDepth) value = DepthUnits(z, 0xFFFFFFFF);
    } else {
        if (writeDepth) value = (value & 0xFF) | (DepthUnits(z, 0xFFFFFF) << 8);
        if (writeStencil && info.stencilBits) value = (value & ~0xFFu) | (stencil & 0xFF);
    }
    Store(texel, &value, 1);
}

float HalfToFloat(WORD half) {
    const int exponent = (half >> 10) & 0x1F;
    const int mantissa = half & 0x3FF;
    const float sign = (half & 0x8000) ? -1.0f : 1.0f;
    if (exponent == 0) return sign * std::ldexp(float(mantissa), -24);
    if (exponent == 31) return mantissa ? NAN : sign * INFINITY;
    return sign * std::ldexp(float(mantissa | 0x400), exponent - 25);
}

// Rounds to nearest; out-of-range values become infinity, tiny ones zero or denormal.
WORD FloatToHalf(float value) {
    const WORD sign = std::signbit(value) ? 0x8000 : 0;
    const float magnitude = std::fabs(value);
    if (std::isnan(value)) return 0x7E00;
    if (magnitude >= 65520.0f) return sign | 0x7C00;
    if (magnitude < std::ldexp(1.0f, -14)) {
        return sign | WORD(std::lround(magnitude * std::ldexp(1.0f, 24)));
    }
    int exponent;
    const float fraction = std::frexp(magnitude, &exponent);  // magnitude = fraction * 2^exponent
    const long mantissa = std::lround((fraction * 2.0f - 1.0f) * 1024.0f);
    return WORD(sign | (((exponent + 14) << 10) + mantissa));
}

}  // namespace swdevice::detail
