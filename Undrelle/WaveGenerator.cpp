// CWaveGenerator: device resources, the per-frame noise upload or CPU grid,
// and the render sequence that draws both maps.
//
// Index
//   ==== Constants and vertex layouts ====
//   ==== Kept device state ====
//   ==== Construction and destruction ====
//   ==== Textures and buffers ====
//   ==== Update ====
//   ==== CPU grid ====
//   ==== Render ====
//   ==== Device loss ====
//
// CPU grid texel mapping: grid point (row r, column c) reads texel
// (c * 128 / columns, r * 128 / rows) of both noise images, and its one-step
// neighbours wrap around the grid, so they wrap around the images too.
#include "Undrelle/WaveGenerator.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>

#include "Corvantis/cd3dwatch.h"
#include "Undrelle/waveshaders.h"
#include "windows.h"

// Defined by the build's resource registration for this library.
HMODULE Undrelle_ModuleHandle();

namespace {

// ==== Constants and vertex layouts ====

constexpr int kHeightMapEffectId = 101;
constexpr int kNormalMapEffectId = 102;
constexpr UINT kErrorCaptionId = 722;

constexpr D3DCOLOR kMidGrey = 0xff7f7f7f;  // height 0.5: still water
constexpr D3DCOLOR kWhite = 0xffffffff;

// Elapsed times are a 32-bit count where this library comes from; larger
// values (possible only where long has 64 bits) saturate, so that one long
// pause cannot push the time past the precision a frame step needs.
constexpr unsigned long kMaxElapsedMilliseconds = 0xFFFFFFFFul;

// Map formats by preference; 8-bit ARGB is the fallback every adapter has.
const D3DFORMAT kMapFormats[] = {D3DFMT_A16B16G16R16, D3DFMT_A16B16G16R16F, D3DFMT_A32B32G32R32F};

constexpr int kNoiseSide = CWaveNoise::IMAGE_SIDE;

// Keeps the grid buffer's byte size well inside a UINT.
constexpr int kMaxGridSide = 4096;

// Height units of the noise images per unit of grid height.
constexpr float kGridHeightScale = 1.0f / 65536.0f;

const D3DXVECTOR3 kFlatNormal(0.0f, 0.0f, 1.0f);

struct QuadVertex {
    D3DXVECTOR3 position;
    float u, v;
};
static_assert(sizeof(QuadVertex) == 20, "the quad's stride is 20 bytes");
constexpr DWORD kQuadFvf = D3DFVF_XYZ | D3DFVF_TEX1;

// Two triangles over the unit square; the effects place them from (u, v).
const QuadVertex kQuad[6] = {
    {{0, 0, 0}, 0, 0}, {{0, 1, 0}, 0, 1}, {{1, 1, 0}, 1, 1},
    {{1, 1, 0}, 1, 1}, {{1, 0, 0}, 1, 0}, {{0, 0, 0}, 0, 0},
};

// Grid vertex for the "T10" effect, which places it from (u, v).
struct ShadedGridVertex {
    D3DXVECTOR3 position;
    D3DXVECTOR3 normal;
    float u, v;
};
static_assert(sizeof(ShadedGridVertex) == 32, "the shaded grid's stride is 32 bytes");

// Grid vertex for fixed function: pre-transformed, the normal as its colour.
struct ColouredGridVertex {
    float x, y, z, rhw;
    D3DCOLOR colour;
};
static_assert(sizeof(ColouredGridVertex) == 20, "the coloured grid's stride is 20 bytes");

struct GridLayout {
    UINT stride;
    DWORD fvf;
};

GridLayout GridLayoutFor(bool fixedFunction) {
    if (fixedFunction) return {sizeof(ColouredGridVertex), D3DFVF_XYZRHW | D3DFVF_DIFFUSE};
    return {sizeof(ShadedGridVertex), D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1};
}

BYTE NormalChannel(float component) {
    return static_cast<BYTE>(std::clamp((component + 1.0f) * 127.5f, 0.0f, 255.0f));
}

D3DCOLOR NormalColour(const D3DXVECTOR3& normal) {
    return D3DCOLOR_ARGB(255, NormalChannel(normal.x), NormalChannel(normal.y), NormalChannel(normal.z));
}

void PlaceGridVertex(ShadedGridVertex& vertex, float u, float v, float /*width*/, float /*height*/) {
    vertex = {D3DXVECTOR3(u, v, 0.0f), kFlatNormal, u, v};
}

void PlaceGridVertex(ColouredGridVertex& vertex, float u, float v, float width, float height) {
    vertex = {u * width, v * height, 0.5f, 1.0f, NormalColour(kFlatNormal)};
}

void SetGridNormal(ShadedGridVertex& vertex, const D3DXVECTOR3& normal) { vertex.normal = normal; }
void SetGridNormal(ColouredGridVertex& vertex, const D3DXVECTOR3& normal) { vertex.colour = NormalColour(normal); }

bool IsDrawableGrid(int columns, int rows) {
    return columns >= 2 && rows >= 2 && columns <= kMaxGridSide && rows <= kMaxGridSide;
}

// Wraps a grid index one step outside [0, count) back into it.
int WrapGridIndex(int index, int count) { return (index + count) % count; }

// One texel row of a noise texture in its luminance format.
void WriteTexelRow(BYTE* row, const int* values, bool eightBit) {
    for (int x = 0; x < kNoiseSide; ++x) {
        if (eightBit) {
            row[x] = CWaveNoise::EncodeL8(values[x]);
        } else {
            const unsigned short texel = CWaveNoise::EncodeL16(values[x]);
            std::memcpy(row + 2 * x, &texel, sizeof texel);
        }
    }
}

void ShowEffectErrors(ID3DXBuffer* errors) {
    const std::string text(static_cast<const char*>(errors->GetBufferPointer()), errors->GetBufferSize());
    char caption[64] = "";
    LoadStringA(Undrelle_ModuleHandle(), kErrorCaptionId, caption, sizeof caption);
    MessageBoxA(nullptr, text.c_str(), caption, MB_ICONERROR);
}

// Runs pass 0 of a technique around body; nothing when the effect is missing
// or refuses the technique. Begin saves the device state the pass changes.
template <class Body>
void RunSinglePass(ID3DXEffect* effect, const char* technique, Body body) {
    UINT passes = 0;
    if (!effect || FAILED(effect->SetTechnique(technique)) || FAILED(effect->Begin(&passes, 0))) return;
    if (SUCCEEDED(effect->BeginPass(0))) {
        body(*effect);
        effect->EndPass();
    }
    effect->End();
}

// ==== Kept device state ====

struct RenderStateSetting {
    D3DRENDERSTATETYPE state;
    DWORD value;
};

// What drawing a map needs: no lighting, fog, culling, clipping, blending,
// alpha test, depth or stencil.
const RenderStateSetting kMapRenderStates[] = {
    {D3DRS_LIGHTING, FALSE},         {D3DRS_FOGENABLE, FALSE},        {D3DRS_CULLMODE, D3DCULL_NONE},
    {D3DRS_CLIPPING, FALSE},         {D3DRS_ALPHABLENDENABLE, FALSE}, {D3DRS_ALPHATESTENABLE, FALSE},
    {D3DRS_ZENABLE, FALSE},          {D3DRS_ZWRITEENABLE, FALSE},     {D3DRS_STENCILENABLE, FALSE},
};

// The host's values of the map render states: Apply keeps them and sets the
// map's values, Restore writes the kept ones back.
class KeptRenderStates {
public:
    explicit KeptRenderStates(IDirect3DDevice9* device) : m_device(device) {}

    void Apply() {
        for (size_t i = 0; i < std::size(kMapRenderStates); ++i) {
            m_device->GetRenderState(kMapRenderStates[i].state, &m_kept[i]);
            m_device->SetRenderState(kMapRenderStates[i].state, kMapRenderStates[i].value);
        }
    }

    void Restore() const {
        for (size_t i = 0; i < std::size(kMapRenderStates); ++i) {
            m_device->SetRenderState(kMapRenderStates[i].state, m_kept[i]);
        }
    }

private:
    IDirect3DDevice9* m_device;
    std::array<DWORD, std::size(kMapRenderStates)> m_kept{};
};

// The host's render target 0, depth-stencil surface and viewport.
class KeptTargets {
public:
    explicit KeptTargets(IDirect3DDevice9* device) : m_device(device) {
        CD3DWatch::SafeGetRenderTarget(__FILE__, __LINE__, m_device, 0, &m_renderTarget);
        CD3DWatch::SafeGetDepthStencilSurface(__FILE__, __LINE__, m_device, &m_depthStencil);
        m_device->GetViewport(&m_viewport);
    }

    // The viewport goes last: setting a render target resets it.
    void Restore() {
        if (m_renderTarget) m_device->SetRenderTarget(0, m_renderTarget);
        m_device->SetDepthStencilSurface(m_depthStencil);
        m_device->SetViewport(&m_viewport);
        SafeRelease(__FILE__, __LINE__, &m_renderTarget);
        SafeRelease(__FILE__, __LINE__, &m_depthStencil);
    }

private:
    IDirect3DDevice9* m_device;
    IDirect3DSurface9* m_renderTarget = nullptr;
    IDirect3DSurface9* m_depthStencil = nullptr;
    D3DVIEWPORT9 m_viewport{};
};

}  // namespace

// ==== Construction and destruction ====

CWaveGenerator::CWaveGenerator(IDirect3DDevice9* device, int width, int height)
    : m_pDevice(device),
      m_pNoiseTexture0(nullptr),
      m_pNoiseTexture1(nullptr),
      m_pHeightMap(nullptr),
      m_pNormalMap(nullptr),
      m_pHeightMapEffect(nullptr),
      m_pNormalMapEffect(nullptr),
      m_pQuadBuffer(nullptr),
      m_pGridBuffer(nullptr),
      m_material{},
      m_viewport{},
      m_smallNoise(false),
      m_noPs20(false),
      m_noPs11(false),
      m_strip(false),
      m_mapWidth(width),
      m_mapHeight(height),
      m_gridColumns(0),
      m_gridRows(0),
      m_speed(1.0f) {
    if (!m_pDevice) return;  // nothing to draw with: Update stays a no-op
    ReadCaps();
    InitMaterial();
    CreateEffects();
    m_noise.Build();
    CreateTextures();
    CreateBuffers();
}

CWaveGenerator::~CWaveGenerator() {
    SafeRelease(__FILE__, __LINE__, &m_pNoiseTexture0);
    SafeRelease(__FILE__, __LINE__, &m_pNoiseTexture1);
    SafeRelease(__FILE__, __LINE__, &m_pHeightMap);
    SafeRelease(__FILE__, __LINE__, &m_pNormalMap);
    SafeRelease(__FILE__, __LINE__, &m_pQuadBuffer);
    SafeRelease(__FILE__, __LINE__, &m_pGridBuffer);
    SafeRelease(__FILE__, __LINE__, &m_pHeightMapEffect);
    SafeRelease(__FILE__, __LINE__, &m_pNormalMapEffect);
}

// Each missing shader generation halves both sides of the maps.
void CWaveGenerator::ReadCaps() {
    D3DCAPS9 caps{};
    m_pDevice->GetDeviceCaps(&caps);
    m_noPs20 = caps.PixelShaderVersion < D3DPS_VERSION(2, 0);
    m_noPs11 = caps.PixelShaderVersion < D3DPS_VERSION(1, 1);
    for (bool halve : {m_noPs20, m_noPs11}) {
        if (!halve) continue;
        m_mapWidth /= 2;
        m_mapHeight /= 2;
    }
}

void CWaveGenerator::InitMaterial() {
    m_material = D3DMATERIAL9{};
    m_material.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    m_material.Ambient = {1.0f, 1.0f, 1.0f, 1.0f};
}

void CWaveGenerator::CreateEffects() {
    if (m_noPs11) return;
    CreateEffect(kHeightMapEffectId, &m_pHeightMapEffect);
    CreateEffect(kNormalMapEffectId, &m_pNormalMapEffect);
}

// A compile error is shown and the effect stays null; its pass then draws nothing.
void CWaveGenerator::CreateEffect(int resourceId, ID3DXEffect** effect) {
    ID3DXBuffer* errors = nullptr;
    CD3DWatch::SafeCreateEffectFromResource(__FILE__, __LINE__, m_pDevice, Undrelle_ModuleHandle(),
                                            MAKEINTRESOURCEA(resourceId), nullptr, nullptr,
                                            D3DXSHADER_NO_PRESHADER, nullptr, effect, &errors);
    if (!errors) return;
    ShowEffectErrors(errors);
    SafeRelease(__FILE__, __LINE__, &errors);
}

IDirect3DTexture9* CWaveGenerator::GetHeightMap() const { return m_pHeightMap; }

IDirect3DTexture9* CWaveGenerator::GetNormalMap() const { return m_pNormalMap; }

float CWaveGenerator::GetSpeed() const { return m_speed; }

void CWaveGenerator::SetSpeed(float speed) {
    if (std::isfinite(speed)) m_speed = speed;
}

const CWaveNoise& CWaveGenerator::GetNoise() const { return m_noise; }

IDirect3DTexture9* CWaveGenerator::GetNoiseTexture(int n) const {
    if (n == 0) return m_pNoiseTexture0;
    return n == 1 ? m_pNoiseTexture1 : nullptr;
}

// ==== Textures and buffers ====

void CWaveGenerator::CreateTextures() {
    D3DFORMAT mapFormat = D3DFMT_A8R8G8B8;
    D3DFORMAT noiseFormat = D3DFMT_L8;
    ChooseFormats(mapFormat, noiseFormat);
    m_smallNoise = noiseFormat == D3DFMT_L8;
    const UINT width = static_cast<UINT>(std::max(m_mapWidth, 0));
    const UINT height = static_cast<UINT>(std::max(m_mapHeight, 0));
    if (!m_noPs20) {
        CreateTextureIfMissing(&m_pNoiseTexture0, kNoiseSide, kNoiseSide, 1, D3DUSAGE_DYNAMIC, noiseFormat);
        CreateTextureIfMissing(&m_pNoiseTexture1, kNoiseSide, kNoiseSide, 1, D3DUSAGE_DYNAMIC, noiseFormat);
        CreateTextureIfMissing(&m_pHeightMap, width, height, 1, D3DUSAGE_RENDERTARGET, mapFormat);
    }
    CreateTextureIfMissing(&m_pNormalMap, width, height, 0, D3DUSAGE_RENDERTARGET | D3DUSAGE_AUTOGENMIPMAP,
                           mapFormat);
    m_viewport = {0, 0, width, height, 0.0f, 1.0f};
}

// Leaves the fallbacks in place when the Direct3D object is unavailable.
void CWaveGenerator::ChooseFormats(D3DFORMAT& mapFormat, D3DFORMAT& noiseFormat) {
    D3DDISPLAYMODE mode{};
    m_pDevice->GetDisplayMode(0, &mode);
    IDirect3D9* d3d = nullptr;
    CD3DWatch::SafeGetDirect3D(__FILE__, __LINE__, m_pDevice, &d3d);
    if (!d3d) return;
    const auto accepts = [&](DWORD usage, D3DFORMAT format) {
        return SUCCEEDED(d3d->CheckDeviceFormat(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, mode.Format, usage,
                                                D3DRTYPE_TEXTURE, format));
    };
    const auto found = std::find_if(std::begin(kMapFormats), std::end(kMapFormats),
                                    [&](D3DFORMAT format) { return accepts(D3DUSAGE_RENDERTARGET, format); });
    if (found != std::end(kMapFormats)) mapFormat = *found;
    if (accepts(D3DUSAGE_DYNAMIC, D3DFMT_L16)) noiseFormat = D3DFMT_L16;
    SafeRelease(__FILE__, __LINE__, &d3d);
}

void CWaveGenerator::CreateTextureIfMissing(IDirect3DTexture9** texture, UINT width, UINT height, UINT levels,
                                            DWORD usage, D3DFORMAT format) {
    if (*texture) return;
    CD3DWatch::SafeCreateTexture(__FILE__, __LINE__, m_pDevice, width, height, levels, usage, format,
                                 D3DPOOL_DEFAULT, texture, nullptr);
}

void CWaveGenerator::CreateBuffers() {
    CreateQuadBuffer();
    if (m_noPs20) CreateGridBuffer();
}

void CWaveGenerator::CreateQuadBuffer() {
    if (m_pQuadBuffer) return;
    CD3DWatch::SafeCreateVertexBuffer(__FILE__, __LINE__, m_pDevice, sizeof kQuad, 0, kQuadFvf, D3DPOOL_MANAGED,
                                      &m_pQuadBuffer, nullptr);
    void* data = nullptr;
    if (!m_pQuadBuffer || FAILED(m_pQuadBuffer->Lock(0, 0, &data, 0))) return;
    std::memcpy(data, kQuad, sizeof kQuad);
    m_pQuadBuffer->Unlock();
}

// Two vertices per grid point, (r, c) and (r + 1, c): row r is one strip.
void CWaveGenerator::CreateGridBuffer() {
    m_gridColumns = m_mapWidth;
    m_gridRows = m_mapHeight;
    m_strip = true;
    if (m_pGridBuffer || !IsDrawableGrid(m_gridColumns, m_gridRows)) return;
    const size_t points = static_cast<size_t>(m_gridColumns) * m_gridRows;
    m_gridNormals.assign(points, kFlatNormal);
    const GridLayout layout = GridLayoutFor(m_noPs11);
    CD3DWatch::SafeCreateVertexBuffer(__FILE__, __LINE__, m_pDevice, static_cast<UINT>(points * 2 * layout.stride),
                                      D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, layout.fvf, D3DPOOL_DEFAULT,
                                      &m_pGridBuffer, nullptr);
    EditGridVertices([this](auto* vertices) { FillGrid(vertices); });
}

template <class Vertex>
void CWaveGenerator::FillGrid(Vertex* vertices) const {
    const float width = static_cast<float>(m_mapWidth);
    const float height = static_cast<float>(m_mapHeight);
    for (int r = 0; r < m_gridRows; ++r) {
        for (int c = 0; c < m_gridColumns; ++c) {
            Vertex* pair = vertices + 2 * (static_cast<size_t>(r) * m_gridColumns + c);
            const float u = static_cast<float>(c) / m_gridColumns;
            PlaceGridVertex(pair[0], u, static_cast<float>(r) / m_gridRows, width, height);
            PlaceGridVertex(pair[1], u, static_cast<float>(r + 1) / m_gridRows, width, height);
        }
    }
}

// Locks the grid buffer and hands its vertices, typed by layout, to edit.
template <class Edit>
void CWaveGenerator::EditGridVertices(Edit edit) {
    void* data = nullptr;
    if (!m_pGridBuffer || FAILED(m_pGridBuffer->Lock(0, 0, &data, 0))) return;
    if (m_noPs11) edit(static_cast<ColouredGridVertex*>(data));
    else edit(static_cast<ShadedGridVertex*>(data));
    m_pGridBuffer->Unlock();
}

// ==== Update ====

void CWaveGenerator::Update(unsigned long elapsedMilliseconds) {
    if (!m_pNormalMap) return;
    m_noise.Advance(std::min(elapsedMilliseconds, kMaxElapsedMilliseconds), m_speed);
    if (m_noPs20) {
        ComputeGridNormals();
        WriteGridNormals();
    } else {
        UploadNoise();
    }
    Render();
}

void CWaveGenerator::UploadNoise() {
    UploadImage(m_pNoiseTexture0, m_noise.GetImage(0));
    UploadImage(m_pNoiseTexture1, m_noise.GetImage(1));
}

// Every texel is rewritten, so the old contents can go.
void CWaveGenerator::UploadImage(IDirect3DTexture9* texture, const int* image) const {
    D3DLOCKED_RECT locked{};
    if (!texture || FAILED(texture->LockRect(0, &locked, nullptr, D3DLOCK_DISCARD))) return;
    BYTE* rows = static_cast<BYTE*>(locked.pBits);
    for (int y = 0; y < kNoiseSide; ++y) {
        WriteTexelRow(rows + static_cast<ptrdiff_t>(y) * locked.Pitch, image + y * kNoiseSide, m_smallNoise);
    }
    texture->UnlockRect(0);
}

// ==== CPU grid ====

void CWaveGenerator::ComputeGridNormals() {
    if (m_gridNormals.empty()) return;
    for (int r = 0; r < m_gridRows; ++r) {
        for (int c = 0; c < m_gridColumns; ++c) {
            m_gridNormals[static_cast<size_t>(r) * m_gridColumns + c] = GridNormal(r, c);
        }
    }
}

// The same four cross products as the "T20" effect, over one grid step.
D3DXVECTOR3 CWaveGenerator::GridNormal(int row, int column) const {
    const int centre = GridHeight(row, column);
    const auto rise = [&](int r, int c) { return static_cast<float>(GridHeight(r, c) - centre) * kGridHeightScale; };
    const float du = 1.0f / m_gridColumns;
    const float dv = 1.0f / m_gridRows;
    const D3DXVECTOR3 offsets[4] = {
        D3DXVECTOR3(-du, 0.0f, rise(row, column - 1)),
        D3DXVECTOR3(0.0f, -dv, rise(row - 1, column)),
        D3DXVECTOR3(du, 0.0f, rise(row, column + 1)),
        D3DXVECTOR3(0.0f, dv, rise(row + 1, column)),
    };
    D3DXVECTOR3 normal = WaveShaders::NeighbourCrossSum(offsets);
    D3DXVec3Normalize(&normal, &normal);
    return normal;
}

// Both noise images at the texel under a grid point; indices one step
// outside the grid wrap to its other side.
int CWaveGenerator::GridHeight(int row, int column) const {
    const int64_t r = WrapGridIndex(row, m_gridRows);
    const int64_t c = WrapGridIndex(column, m_gridColumns);
    const int64_t texel = r * kNoiseSide / m_gridRows * kNoiseSide + c * kNoiseSide / m_gridColumns;
    return m_noise.GetImage(0)[texel] + m_noise.GetImage(1)[texel];
}

void CWaveGenerator::WriteGridNormals() {
    EditGridVertices([this](auto* vertices) { WriteGridNormalsAs(vertices); });
}

// The last row and column keep the flat normal they were built with.
template <class Vertex>
void CWaveGenerator::WriteGridNormalsAs(Vertex* vertices) const {
    for (int r = 0; r + 1 < m_gridRows; ++r) {
        for (int c = 0; c + 1 < m_gridColumns; ++c) {
            const size_t point = static_cast<size_t>(r) * m_gridColumns + c;
            SetGridNormal(vertices[2 * point], m_gridNormals[point]);
            SetGridNormal(vertices[2 * point + 1], m_gridNormals[point + m_gridColumns]);
        }
    }
}

// ==== Render ====

void CWaveGenerator::Render() {
    KeptTargets targets(m_pDevice);
    const bool ownScene = SUCCEEDED(m_pDevice->BeginScene());
    m_pDevice->SetViewport(&m_viewport);
    KeptRenderStates states(m_pDevice);
    states.Apply();
    if (!m_noPs20) RenderHeightMap();
    RenderNormalMap();
    // Stream 0 would keep our buffer referenced, and a reset refuses while a
    // default-pool buffer lives.
    m_pDevice->SetStreamSource(0, nullptr, 0, 0);
    states.Restore();
    targets.Restore();
    if (ownScene) m_pDevice->EndScene();
}

// The quad stays bound for the "T20" normal pass.
void CWaveGenerator::RenderHeightMap() {
    m_pDevice->SetStreamSource(0, m_pQuadBuffer, 0, sizeof(QuadVertex));
    m_pDevice->SetFVF(kQuadFvf);
    IDirect3DSurface9* target = BindTarget(m_pHeightMap, kMidGrey);
    if (target) {
        RunSinglePass(m_pHeightMapEffect, "T1X", [this](ID3DXEffect& effect) {
            effect.SetTexture("Noise0", m_pNoiseTexture0);
            effect.SetTexture("Noise1", m_pNoiseTexture1);
            effect.CommitChanges();
            DrawQuad();
        });
    }
    SafeRelease(__FILE__, __LINE__, &target);
}

void CWaveGenerator::RenderNormalMap() {
    IDirect3DSurface9* target = BindTarget(m_pNormalMap, m_noPs11 ? kWhite : kMidGrey);
    if (target && m_noPs11) DrawFixedFunctionNormals();
    else if (target) DrawNormalMapEffect();
    SafeRelease(__FILE__, __LINE__, &target);
}

void CWaveGenerator::DrawNormalMapEffect() {
    RunSinglePass(m_pNormalMapEffect, m_noPs20 ? "T10" : "T20", [this](ID3DXEffect& effect) {
        effect.SetFloat("fInvMapWidth", 1.0f / m_mapWidth);
        effect.SetFloat("fInvMapHeight", 1.0f / m_mapHeight);
        effect.SetTexture("HeightMap", m_pHeightMap);
        effect.CommitChanges();
        if (m_noPs20) DrawGrid();
        else DrawQuad();
    });
}

// The vertex colours are the normals: the stages pass them straight through.
void CWaveGenerator::DrawFixedFunctionNormals() {
    m_pDevice->SetMaterial(&m_material);
    m_pDevice->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_MATERIAL);
    m_pDevice->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    m_pDevice->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    m_pDevice->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    m_pDevice->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    m_pDevice->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    DrawGrid();
}

// Binds level 0 as render target 0 and clears it; null (nothing bound) when
// the texture or its surface is missing. The caller releases the surface.
IDirect3DSurface9* CWaveGenerator::BindTarget(IDirect3DTexture9* texture, D3DCOLOR clearColour) {
    IDirect3DSurface9* surface = nullptr;
    if (!texture) return nullptr;
    CD3DWatch::SafeGetSurfaceLevel(__FILE__, __LINE__, texture, 0, &surface);
    if (surface && FAILED(m_pDevice->SetRenderTarget(0, surface))) SafeRelease(__FILE__, __LINE__, &surface);
    if (surface) m_pDevice->Clear(0, nullptr, D3DCLEAR_TARGET, clearColour, 1.0f, 0);
    return surface;
}

void CWaveGenerator::DrawQuad() {
    if (m_pQuadBuffer) m_pDevice->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2);
}

void CWaveGenerator::DrawGrid() {
    if (!m_pGridBuffer || !m_strip) return;
    const GridLayout layout = GridLayoutFor(m_noPs11);
    m_pDevice->SetStreamSource(0, m_pGridBuffer, 0, layout.stride);
    m_pDevice->SetFVF(layout.fvf);
    const UINT rowVertices = 2 * static_cast<UINT>(m_gridColumns);
    for (int r = 0; r + 1 < m_gridRows; ++r) {
        m_pDevice->DrawPrimitive(D3DPT_TRIANGLESTRIP, rowVertices * r, rowVertices - 2);
    }
}

// ==== Device loss ====

void CWaveGenerator::OnLostDevice() {
    if (!m_pNormalMap) return;
    ForgetEffectTextures();
    SafeRelease(__FILE__, __LINE__, &m_pNoiseTexture0);
    SafeRelease(__FILE__, __LINE__, &m_pNoiseTexture1);
    SafeRelease(__FILE__, __LINE__, &m_pHeightMap);
    SafeRelease(__FILE__, __LINE__, &m_pNormalMap);
    SafeRelease(__FILE__, __LINE__, &m_pGridBuffer);
    if (m_pHeightMapEffect) m_pHeightMapEffect->OnLostDevice();
    if (m_pNormalMapEffect) m_pNormalMapEffect->OnLostDevice();
}

// The effects hold references to the textures they were given; the device
// cannot reset while those live.
void CWaveGenerator::ForgetEffectTextures() {
    if (m_pHeightMapEffect) {
        m_pHeightMapEffect->SetTexture("Noise0", nullptr);
        m_pHeightMapEffect->SetTexture("Noise1", nullptr);
    }
    if (m_pNormalMapEffect) m_pNormalMapEffect->SetTexture("HeightMap", nullptr);
}

// The managed quad buffer survived; the rest is made again as at construction.
void CWaveGenerator::OnRestoreDevice() {
    if (!m_pDevice) return;
    if (m_pHeightMapEffect) m_pHeightMapEffect->OnResetDevice();
    if (m_pNormalMapEffect) m_pNormalMapEffect->OnResetDevice();
    CreateBuffers();
    CreateTextures();
}
