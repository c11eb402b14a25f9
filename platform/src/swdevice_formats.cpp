#include "swdevice_formats.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

namespace swdevice::detail {

namespace {

template <class T>
void Store(BYTE* texel, const T* values, size_t count) {
    std::memcpy(texel, values, sizeof(T) * count);
}

template <class T>
T Load(const BYTE* texel, size_t index) {
    T value;
    std::memcpy(&value, texel + index * sizeof(T), sizeof(T));
    return value;
}

float Saturate(float value) { return std::clamp(value, 0.0f, 1.0f); }
BYTE ToUnorm8(float value) { return BYTE(Saturate(value) * 255.0f + 0.5f); }
WORD ToUnorm16(float value) { return WORD(Saturate(value) * 65535.0f + 0.5f); }

void Assign(float rgba[4], float r, float g, float b, float a) {
    rgba[0] = r;
    rgba[1] = g;
    rgba[2] = b;
    rgba[3] = a;
}

// A8R8G8B8 and X8R8G8B8 are B, G, R, A in memory; X8 writes 0xFF as Clear always did.
void ReadArgb8(const BYTE* t, float* c) { Assign(c, t[2] / 255.0f, t[1] / 255.0f, t[0] / 255.0f, t[3] / 255.0f); }
void ReadXrgb8(const BYTE* t, float* c) { Assign(c, t[2] / 255.0f, t[1] / 255.0f, t[0] / 255.0f, 1.0f); }
void WriteArgb8(const float* c, BYTE* t) {
    const BYTE bgra[4] = {ToUnorm8(c[2]), ToUnorm8(c[1]), ToUnorm8(c[0]), ToUnorm8(c[3])};
    Store(t, bgra, 4);
}

void ReadAlpha8(const BYTE* t, float* c) { Assign(c, 0.0f, 0.0f, 0.0f, t[0] / 255.0f); }
void WriteAlpha8(const float* c, BYTE* t) { t[0] = ToUnorm8(c[3]); }

// Luminance targets keep the red channel.
void ReadLuminance8(const BYTE* t, float* c) { Assign(c, t[0] / 255.0f, t[0] / 255.0f, t[0] / 255.0f, 1.0f); }
void WriteLuminance8(const float* c, BYTE* t) { t[0] = ToUnorm8(c[0]); }

void ReadLuminance16(const BYTE* t, float* c) {
    const float l = Load<WORD>(t, 0) / 65535.0f;
    Assign(c, l, l, l, 1.0f);
}
void WriteLuminance16(const float* c, BYTE* t) {
    const WORD l = ToUnorm16(c[0]);
    Store(t, &l, 1);
}

// The 16- and 32-bit-per-channel formats store R, G, B, A in memory order.
void ReadRgba16(const BYTE* t, float* c) {
    for (int i = 0; i < 4; ++i) c[i] = Load<WORD>(t, i) / 65535.0f;
}
void WriteRgba16(const float* c, BYTE* t) {
    const WORD v[4] = {ToUnorm16(c[0]), ToUnorm16(c[1]), ToUnorm16(c[2]), ToUnorm16(c[3])};
    Store(t, v, 4);
}

void ReadRgba16F(const BYTE* t, float* c) {
    for (int i = 0; i < 4; ++i) c[i] = HalfToFloat(Load<WORD>(t, i));
}
void WriteRgba16F(const float* c, BYTE* t) {
    const WORD v[4] = {FloatToHalf(c[0]), FloatToHalf(c[1]), FloatToHalf(c[2]), FloatToHalf(c[3])};
    Store(t, v, 4);
}

void ReadRgba32F(const BYTE* t, float* c) { std::memcpy(c, t, 16); }
void WriteRgba32F(const float* c, BYTE* t) { std::memcpy(t, c, 16); }

void ReadR32F(const BYTE* t, float* c) { Assign(c, Load<float>(t, 0), 1.0f, 1.0f, 1.0f); }
void WriteR32F(const float* c, BYTE* t) { Store(t, c, 1); }

using C = FormatClass;
using T = ChannelType;

const FormatInfo kFormats[] = {
    {D3DFMT_A8R8G8B8, C::Color, 4, T::Unorm8, 0, ReadArgb8, WriteArgb8},
    {D3DFMT_X8R8G8B8, C::Color, 4, T::Unorm8, 0, ReadXrgb8, WriteArgb8},
    {D3DFMT_A8, C::Color, 1, T::Unorm8, 0, ReadAlpha8, WriteAlpha8},
    {D3DFMT_L8, C::Color, 1, T::Unorm8, 0, ReadLuminance8, WriteLuminance8},
    {D3DFMT_L16, C::Color, 2, T::Unorm16, 0, ReadLuminance16, WriteLuminance16},
    {D3DFMT_A16B16G16R16, C::Color, 8, T::Unorm16, 0, ReadRgba16, WriteRgba16},
    {D3DFMT_A16B16G16R16F, C::Color, 8, T::Float16, 0, ReadRgba16F, WriteRgba16F},
    {D3DFMT_A32B32G32R32F, C::Color, 16, T::Float32, 0, ReadRgba32F, WriteRgba32F},
    {D3DFMT_R32F, C::Color, 4, T::Float32, 0, ReadR32F, WriteR32F},
    {D3DFMT_D16, C::Depth, 2, T::None, 0, nullptr, nullptr},
    {D3DFMT_D16_LOCKABLE, C::Depth, 2, T::None, 0, nullptr, nullptr},
    {D3DFMT_D24X8, C::Depth, 4, T::None, 0, nullptr, nullptr},
    {D3DFMT_D24S8, C::Depth, 4, T::None, 8, nullptr, nullptr},
    {D3DFMT_D32, C::Depth, 4, T::None, 0, nullptr, nullptr},
    {D3DFMT_DXT1, C::Compressed, 8, T::None, 0, nullptr, nullptr},
    {D3DFMT_DXT2, C::Compressed, 16, T::None, 0, nullptr, nullptr},
    {D3DFMT_DXT3, C::Compressed, 16, T::None, 0, nullptr, nullptr},
    {D3DFMT_DXT4, C::Compressed, 16, T::None, 0, nullptr, nullptr},
    {D3DFMT_DXT5, C::Compressed, 16, T::None, 0, nullptr, nullptr},
};

UINT ChannelBytes(ChannelType type) {
    static const UINT kBytes[] = {0, 1, 2, 2, 4};
    return kBytes[static_cast<int>(type)];
}

DWORD DepthUnits(float z, DWORD maxValue) {
    const double clamped = std::clamp(double(z), 0.0, 1.0);
    return DWORD(clamped * maxValue + 0.5);
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

void WriteColor(const FormatInfo& info, D3DCOLOR color, BYTE* texel) {
    const float rgba[4] = {((color >> 16) & 0xFF) / 255.0f, ((color >> 8) & 0xFF) / 255.0f, (color & 0xFF) / 255.0f,
                           (color >> 24) / 255.0f};
    info.writeColor(rgba, texel);
}

// D24S8 and D24X8 keep depth in the upper 24 bits and stencil in the low 8.
DWORD DepthBits(const FormatInfo& info, float z) {
    if (info.blockBytes == 2) return DepthUnits(z, 0xFFFF);
    return DepthUnits(z, info.format == D3DFMT_D32 ? 0xFFFFFFFF : 0xFFFFFF);
}

DWORD ReadDepthBits(const FormatInfo& info, const BYTE* texel) {
    if (info.blockBytes == 2) return Load<WORD>(texel, 0);
    const DWORD value = Load<DWORD>(texel, 0);
    return info.format == D3DFMT_D32 ? value : value >> 8;
}

void WriteDepthBits(const FormatInfo& info, BYTE* texel, DWORD bits) {
    if (info.blockBytes == 2) {
        const WORD value = WORD(bits);
        return Store(texel, &value, 1);
    }
    const DWORD value = info.format == D3DFMT_D32 ? bits : (Load<DWORD>(texel, 0) & 0xFF) | (bits << 8);
    Store(texel, &value, 1);
}

void WriteDepthStencil(const FormatInfo& info, BYTE* texel, bool writeDepth, float z,
                       bool writeStencil, DWORD stencil) {
    if (writeDepth) WriteDepthBits(info, texel, DepthBits(info, z));
    if (!writeStencil || info.stencilBits == 0) return;
    const DWORD value = (Load<DWORD>(texel, 0) & ~0xFFu) | (stencil & 0xFF);
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
