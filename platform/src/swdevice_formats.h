// Pixel formats the software device stores: sizes, layouts, and how one
// texel's colour, depth or stencil is read and written (by Clear, drawing
// and texture sampling alike).
#pragma once

#include "platform/d3d9types.h"

namespace swdevice::detail {

enum class FormatClass { Color, Depth, Compressed };

// How a texel splits into equal channels, for mipmap generation.
enum class ChannelType { None, Unorm8, Unorm16, Float16, Float32 };

struct FormatInfo {
    D3DFORMAT format;
    FormatClass formatClass;
    UINT blockBytes;  // bytes per texel, or per 4x4 block when compressed
    ChannelType channelType;
    UINT stencilBits;
    // Colour as (r, g, b, a); channels the format lacks read as D3D9 samples
    // them. Both are null for depth and compressed formats.
    void (*readColor)(const BYTE* texel, float rgba[4]);
    void (*writeColor)(const float rgba[4], BYTE* texel);  // unorm channels saturate
};

// Null for a format the device does not store.
const FormatInfo* FindFormat(D3DFORMAT format);

UINT BlockDimension(const FormatInfo& info);  // 4 for compressed formats, else 1
UINT RowPitch(const FormatInfo& info, UINT width);
UINT RowCount(const FormatInfo& info, UINT height);
UINT ChannelCount(const FormatInfo& info);

// Writes a D3DCOLOR through the format's writeColor.
void WriteColor(const FormatInfo& info, D3DCOLOR color, BYTE* texel);

// Depth in the format's integer units: z (0..1) quantised, the stored value
// read, the stored value replaced with the stencil bits kept.
DWORD DepthBits(const FormatInfo& info, float z);
DWORD ReadDepthBits(const FormatInfo& info, const BYTE* texel);
void WriteDepthBits(const FormatInfo& info, BYTE* texel, DWORD bits);

// Writes z (0..1) and/or the stencil value into a depth texel, keeping the other part.
void WriteDepthStencil(const FormatInfo& info, BYTE* texel, bool writeDepth, float z,
                       bool writeStencil, DWORD stencil);

float HalfToFloat(WORD half);
WORD FloatToHalf(float value);

}  // namespace swdevice::detail
