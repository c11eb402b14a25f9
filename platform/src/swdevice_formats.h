// Pixel formats the software device stores: sizes, layouts and how Clear
// writes a colour, a depth or a stencil value into one texel.
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
    void (*writeColor)(D3DCOLOR color, BYTE* texel);  // null: Clear cannot fill it
};

// Null for a format the device does not store.
const FormatInfo* FindFormat(D3DFORMAT format);

UINT BlockDimension(const FormatInfo& info);  // 4 for compressed formats, else 1
UINT RowPitch(const FormatInfo& info, UINT width);
UINT RowCount(const FormatInfo& info, UINT height);
UINT ChannelCount(const FormatInfo& info);

// Writes z (0..1) and/or the stencil value into a depth texel, keeping the other part.
void WriteDepthStencil(const FormatInfo& info, BYTE* texel, bool writeDepth, float z,
                       bool writeStencil, DWORD stencil);

float HalfToFloat(WORD half);
WORD FloatToHalf(float value);

}  // namespace swdevice::detail
