#include "swdevice_settings.h"

#include <algorithm>

namespace swdevice {

namespace {

const D3DFORMAT kSampledFormats[] = {
    D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8,      D3DFMT_A8,            D3DFMT_L8,   D3DFMT_L16,
    D3DFMT_A16B16G16R16, D3DFMT_A16B16G16R16F, D3DFMT_A32B32G32R32F, D3DFMT_R32F,
};
const D3DFORMAT kRenderTargetFormats[] = {
    D3DFMT_A8R8G8B8,      D3DFMT_X8R8G8B8,      D3DFMT_A16B16G16R16,
    D3DFMT_A16B16G16R16F, D3DFMT_A32B32G32R32F, D3DFMT_R32F,
};
const D3DFORMAT kDepthFormats[] = {D3DFMT_D16, D3DFMT_D16_LOCKABLE, D3DFMT_D24X8, D3DFMT_D24S8, D3DFMT_D32};
const D3DFORMAT kCompressedFormats[] = {D3DFMT_DXT1, D3DFMT_DXT2, D3DFMT_DXT3, D3DFMT_DXT4, D3DFMT_DXT5};

std::vector<FormatSupport>::iterator FindRowIn(std::vector<FormatSupport>& rows, D3DRESOURCETYPE type,
                                               D3DFORMAT format) {
    return std::find_if(rows.begin(), rows.end(), [&](const FormatSupport& row) {
        return row.type == type && row.format == format;
    });
}

std::vector<FormatSupport>::iterator FindRow(D3DRESOURCETYPE type, D3DFORMAT format) {
    return FindRowIn(g_settings.formats, type, format);
}

std::vector<FormatSupport> DefaultFormats() {
    std::vector<FormatSupport> rows;
    for (D3DFORMAT f : kSampledFormats) {
        rows.push_back({D3DRTYPE_TEXTURE, f, D3DUSAGE_DYNAMIC | D3DUSAGE_AUTOGENMIPMAP});
        rows.push_back({D3DRTYPE_SURFACE, f, 0});
    }
    for (D3DFORMAT f : kCompressedFormats) rows.push_back({D3DRTYPE_TEXTURE, f, D3DUSAGE_DYNAMIC});
    for (D3DFORMAT f : kDepthFormats) rows.push_back({D3DRTYPE_SURFACE, f, D3DUSAGE_DEPTHSTENCIL});
    for (D3DFORMAT f : kRenderTargetFormats) {
        FindRowIn(rows, D3DRTYPE_TEXTURE, f)->usage |= D3DUSAGE_RENDERTARGET;
        FindRowIn(rows, D3DRTYPE_SURFACE, f)->usage |= D3DUSAGE_RENDERTARGET;
    }
    return rows;
}

}  // namespace

Settings g_settings = DefaultSettings();

Settings DefaultSettings() {
    Settings settings;
    settings.pixelShaderVersion = D3DPS_VERSION(2, 0);
    settings.vertexShaderVersion = D3DVS_VERSION(2, 0);
    settings.pointSizeCap = true;
    settings.formats = DefaultFormats();
    settings.drawLogLimit = 65536;
    return settings;
}

void ResetSettings() { g_settings = DefaultSettings(); }

void AcceptFormat(D3DRESOURCETYPE type, D3DFORMAT format, DWORD usage) {
    const auto row = FindRow(type, format);
    if (row == g_settings.formats.end()) return g_settings.formats.push_back({type, format, usage});
    row->usage |= usage;
}

void RejectFormat(D3DRESOURCETYPE type, D3DFORMAT format, DWORD usage) {
    const auto row = FindRow(type, format);
    if (row == g_settings.formats.end()) return;
    if (usage == kEveryUsage) return void(g_settings.formats.erase(row));
    row->usage &= ~usage;
}

void FailNextCreations(UINT count, HRESULT result) {
    g_settings.faults.failNext = count;
    g_settings.faults.failNextResult = result;
}

void FailEveryCreation(DWORD kinds, HRESULT result) {
    g_settings.faults.failingKinds = kinds;
    g_settings.faults.failingKindsResult = result;
}

void ClearFaults() { g_settings.faults = FaultInjection{}; }

}  // namespace swdevice

namespace swdevice::detail {

bool IsFormatAccepted(D3DRESOURCETYPE type, DWORD usage, D3DFORMAT format) {
    const auto row = FindRow(type, format);
    return row != g_settings.formats.end() && (usage & ~kQueryUsages & ~row->usage) == 0;
}

HRESULT TakeCreationFault(ResourceKind kind) {
    FaultInjection& faults = g_settings.faults;
    if (faults.failingKinds & kind) return faults.failingKindsResult;
    if (faults.failNext == 0) return S_OK;
    --faults.failNext;
    return faults.failNextResult;
}

}  // namespace swdevice::detail
