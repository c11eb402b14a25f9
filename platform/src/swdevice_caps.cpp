#include "swdevice_caps.h"

#include <cstring>

// Not in our d3d9types.h yet; the SDK value.
#ifndef D3DCAPS2_CANAUTOGENMIPMAP
#define D3DCAPS2_CANAUTOGENMIPMAP 0x40000000L
#endif

namespace swdevice::detail {

namespace {

constexpr DWORD kEveryCompare = 0xFF;
constexpr DWORD kEveryBlend = 0x3FFF;
constexpr DWORD kEveryTextureOp = 0x03FFFFFF;
constexpr DWORD kTexCoordSets = 8;

void FillPipelineCaps(D3DCAPS9& caps) {
    caps.PrimitiveMiscCaps = D3DPMISCCAPS_CULLNONE | D3DPMISCCAPS_CULLCW | D3DPMISCCAPS_CULLCCW |
                             D3DPMISCCAPS_COLORWRITEENABLE | D3DPMISCCAPS_BLENDOP;
    caps.ZCmpCaps = kEveryCompare;
    caps.AlphaCmpCaps = kEveryCompare;
    caps.SrcBlendCaps = kEveryBlend;
    caps.DestBlendCaps = kEveryBlend;
    caps.TextureOpCaps = kEveryTextureOp;
    caps.MaxTextureBlendStages = kTextureStages;
    caps.MaxSimultaneousTextures = kTextureStages;
    caps.MaxActiveLights = 8;
    caps.MaxUserClipPlanes = 6;
}

void FillTextureCaps(D3DCAPS9& caps) {
    caps.TextureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA | D3DPTEXTURECAPS_MIPMAP |
                       D3DPTEXTURECAPS_PROJECTED;
    caps.TextureFilterCaps = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR |
                             D3DPTFILTERCAPS_MIPFPOINT | D3DPTFILTERCAPS_MIPFLINEAR |
                             D3DPTFILTERCAPS_MAGFPOINT | D3DPTFILTERCAPS_MAGFLINEAR;
    caps.TextureAddressCaps = D3DPTADDRESSCAPS_WRAP | D3DPTADDRESSCAPS_MIRROR | D3DPTADDRESSCAPS_CLAMP |
                              D3DPTADDRESSCAPS_BORDER | D3DPTADDRESSCAPS_INDEPENDENTUV |
                              D3DPTADDRESSCAPS_MIRRORONCE;
    caps.MaxTextureWidth = kMaxTextureSize;
    caps.MaxTextureHeight = kMaxTextureSize;
    caps.MaxTextureRepeat = 8192;
    caps.MaxTextureAspectRatio = kMaxTextureSize;
    caps.MaxAnisotropy = 1;
}

void FillVertexCaps(D3DCAPS9& caps, const Settings& settings) {
    caps.FVFCaps = kTexCoordSets | (settings.pointSizeCap ? D3DFVFCAPS_PSIZE : 0);
    caps.MaxPointSize = kMaxPointSize;
    caps.MaxPrimitiveCount = kMaxPrimitiveCount;
    caps.MaxVertexIndex = kMaxVertexIndex;
    caps.MaxStreams = kMaxStreams;
    caps.MaxStreamStride = kMaxStreamStride;
    caps.MaxVertexW = 1e10f;
    caps.GuardBandLeft = -1e8f;
    caps.GuardBandTop = -1e8f;
    caps.GuardBandRight = 1e8f;
    caps.GuardBandBottom = 1e8f;
}

void FillShaderCaps(D3DCAPS9& caps, const Settings& settings) {
    caps.VertexShaderVersion = settings.vertexShaderVersion;
    caps.MaxVertexShaderConst = settings.vertexShaderVersion ? 256 : 0;
    caps.PixelShaderVersion = settings.pixelShaderVersion;
    caps.PixelShader1xMaxValue = settings.pixelShaderVersion ? 8.0f : 0.0f;
    caps.NumSimultaneousRTs = 1;
    caps.VS20Caps.NumTemps = 12;
    caps.PS20Caps.NumTemps = 12;
    caps.PS20Caps.NumInstructionSlots = 96;
}

}  // namespace

D3DCAPS9 BuildCaps(const Settings& settings) {
    D3DCAPS9 caps;
    std::memset(&caps, 0, sizeof caps);
    caps.DeviceType = D3DDEVTYPE_HAL;
    caps.Caps2 = D3DCAPS2_CANAUTOGENMIPMAP;
    caps.PresentationIntervals = D3DPRESENT_INTERVAL_IMMEDIATE | D3DPRESENT_INTERVAL_ONE;
    caps.DevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT;
    caps.NumberOfAdaptersInGroup = 1;
    FillPipelineCaps(caps);
    FillTextureCaps(caps);
    FillVertexCaps(caps, settings);
    FillShaderCaps(caps, settings);
    return caps;
}

}  // namespace swdevice::detail
