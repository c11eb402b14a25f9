// The software Direct3D 9 device's extension API: what hosts and tests use to
// configure, break and inspect the device. Not part of Direct3D 9; library
// code never includes it.
//
// Index
//   ==== Settings ====        capabilities, accepted formats, fault injection
//   ==== Draw log ====        one record per validated draw call
//   ==== Device control ====  device loss, draw-log access, live objects
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "platform/d3d9interfaces.h"
#include "platform/d3d9types.h"
#include "platform/export.h"

namespace swdevice {

// ==== Settings ====

// RejectFormat with this usage removes the format for every usage.
constexpr DWORD kEveryUsage = 0xFFFFFFFF;

// One row of what CheckDeviceFormat accepts: the format is accepted for the
// resource type with usage 0 and with any combination of the usage bits.
struct FormatSupport {
    D3DRESOURCETYPE type;
    D3DFORMAT format;
    DWORD usage;
};

// Bits of FaultInjection::failingKinds.
enum ResourceKind : DWORD {
    kVertexBuffer = 1,
    kIndexBuffer = 2,
    kTexture = 4,
    kSurface = 8,  // render targets and depth-stencil surfaces
};

// Only creations that pass argument validation count; a failed creation
// leaves the out-pointer null and returns the configured result.
struct FaultInjection {
    UINT failNext = 0;  // the next N creations fail; counts down
    HRESULT failNextResult = D3DERR_OUTOFVIDEOMEMORY;
    DWORD failingKinds = 0;  // ResourceKind bits: every such creation fails
    HRESULT failingKindsResult = D3DERR_OUTOFVIDEOMEMORY;
};

struct Settings {
    DWORD pixelShaderVersion;   // D3DPS_VERSION(2, 0), (1, 1) or 0 for none
    DWORD vertexShaderVersion;  // D3DVS_VERSION(...)
    bool pointSizeCap;          // reports D3DFVFCAPS_PSIZE in FVFCaps
    std::vector<FormatSupport> formats;
    FaultInjection faults;
    size_t drawLogLimit;  // records kept per device; the oldest go first
};

// The process-wide settings of the software device. Read by IDirect3D9
// (GetDeviceCaps, CheckDeviceFormat), by CreateDevice (which copies the caps
// into the new device) and by every resource creation (accepted formats,
// faults). Not thread-safe: change it from the thread that uses the device,
// and call ResetSettings() between tests.
extern PLATFORM_API Settings g_settings;

// Version 2.0 shaders, the PSIZE bit, every format the libraries use.
PLATFORM_API Settings DefaultSettings();
PLATFORM_API void ResetSettings();
PLATFORM_API void AcceptFormat(D3DRESOURCETYPE type, D3DFORMAT format, DWORD usage);
// Clears the usage bits from the row (kEveryUsage removes the row).
PLATFORM_API void RejectFormat(D3DRESOURCETYPE type, D3DFORMAT format, DWORD usage = kEveryUsage);
PLATFORM_API void FailNextCreations(UINT count, HRESULT result = D3DERR_OUTOFVIDEOMEMORY);
PLATFORM_API void FailEveryCreation(DWORD kinds, HRESULT result = D3DERR_OUTOFVIDEOMEMORY);
PLATFORM_API void ClearFaults();

// ==== Draw log ====

constexpr UINT kTextureStages = 8;
constexpr UINT kTextureStageStateCount = D3DTSS_CONSTANT + 1;
constexpr UINT kSamplers = 16;
constexpr UINT kSamplerStateCount = D3DSAMP_DMAPOFFSET + 1;
constexpr UINT kLoggedTextures = 2;

// Every state table of the fixed-function pipeline, indexed by the D3D9 enum value.
struct PipelineStates {
    std::array<DWORD, D3D_MAX_RENDERSTATES> render{};
    std::array<std::array<DWORD, kTextureStageStateCount>, kTextureStages> textureStage{};
    std::array<std::array<DWORD, kSamplerStateCount>, kSamplers> sampler{};

    DWORD RenderState(D3DRENDERSTATETYPE state) const { return render[state]; }
    DWORD TextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type) const {
        return textureStage[stage][type];
    }
};

// What a draw call saw. Interface pointers identify objects only: the record
// holds no reference, so compare them but never call through them.
struct DrawRecord {
    D3DPRIMITIVETYPE primitiveType = D3DPT_POINTLIST;
    UINT primitiveCount = 0;
    bool indexed = false;
    UINT startVertex = 0;  // DrawPrimitive only
    INT baseVertexIndex = 0;  // DrawIndexedPrimitive only, down to startIndex
    UINT minVertexIndex = 0;
    UINT numVertices = 0;
    UINT startIndex = 0;
    const IDirect3DVertexBuffer9* streamBuffer = nullptr;  // null for DrawPrimitiveUP
    UINT streamOffset = 0;
    UINT streamStride = 0;
    DWORD fvf = 0;
    const IDirect3DIndexBuffer9* indexBuffer = nullptr;
    D3DFORMAT indexFormat = D3DFMT_UNKNOWN;
    const IDirect3DSurface9* renderTarget = nullptr;
    PipelineStates states;
    std::array<const IDirect3DBaseTexture9*, kLoggedTextures> textures{};
    D3DMATRIX world{};
    D3DMATRIX view{};
    D3DMATRIX projection{};
    D3DVIEWPORT9 viewport{};
    std::string technique;  // "" when no effect pass was bound
    int pass = -1;          // -1 when no effect pass was bound
};

// ==== Device control ====

// The device reports D3DERR_DEVICELOST from TestCooperativeLevel (and
// Present) for lostReports calls, then D3DERR_DEVICENOTRESET until a Reset
// succeeds. False when the device is not a software device.
PLATFORM_API bool SimulateDeviceLoss(IDirect3DDevice9* device, UINT lostReports = 1);

// A copy of the device's draw log, oldest first (empty for other devices).
PLATFORM_API std::vector<DrawRecord> DrawLog(IDirect3DDevice9* device);
PLATFORM_API void ClearDrawLog(IDirect3DDevice9* device);

// Direct3D objects, devices, resources and surfaces alive in the process;
// back to zero once everything has been released.
PLATFORM_API size_t LiveObjectCount();

}  // namespace swdevice
