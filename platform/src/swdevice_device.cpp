// Index
//   ==== Creation and lifetime ====
//   ==== Device, swap chain and loss ====
//   ==== Resources ====
//   ==== Targets, scene and Clear ====
//   ==== State ====
//   ==== Drawing ====
//   ==== Bindings and shaders ====
#include "swdevice_device.h"

#include <cstdio>
#include <new>

#include "swdevice_caps.h"
#include "swdevice_clear.h"
#include "swdevice_direct3d.h"
#include "swdevice_drawvalidation.h"
#include "swdevice_resourcefactory.h"
#include "swdevice_settings.h"

namespace swdevice::detail {

namespace {

constexpr UINT kReportedTextureMemory = 256u << 20;

}  // namespace

// ==== Creation and lifetime ====

HRESULT CreateSoftwareDevice(IDirect3D9* direct3d, const D3DPRESENT_PARAMETERS& params,
                             IDirect3DDevice9** ppDevice) {
    try {
        *ppDevice = new SoftwareDevice(direct3d, params);
        return D3D_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

SoftwareDevice::SoftwareDevice(IDirect3D9* direct3d, const D3DPRESENT_PARAMETERS& params)
    : ComObject(direct3d, Owner::Self),
      m_direct3d(direct3d),
      m_caps(BuildCaps(g_settings)),
      m_bindings(this),
      m_rasterizer(CreateRasterizer()) {
    StartFresh(CreateSwapChainSurfaces(params, this), params);
}

SoftwareDevice::~SoftwareDevice() = default;

// What creation and a successful Reset share: new swap chain, default state.
void SoftwareDevice::StartFresh(SwapChainSurfaces surfaces, const D3DPRESENT_PARAMETERS& params) {
    m_bindings.Restart(surfaces.backBuffer.get(), surfaces.depthStencil.get());
    m_swapChain = std::move(surfaces);
    m_params = params;
    m_state.ResetToDefaults(m_swapChain.depthStencil != nullptr,
                            D3DVIEWPORT9{0, 0, params.BackBufferWidth, params.BackBufferHeight, 0.0f, 1.0f});
    m_inScene = false;
}

// ==== Device, swap chain and loss ====

HRESULT SoftwareDevice::TestCooperativeLevel() { return m_cooperativeLevel.Test(); }

UINT SoftwareDevice::GetAvailableTextureMem() { return kReportedTextureMemory; }

HRESULT SoftwareDevice::GetDirect3D(IDirect3D9** ppD3D9) {
    if (!ppD3D9) return D3DERR_INVALIDCALL;
    m_direct3d->AddRef();
    *ppD3D9 = m_direct3d;
    return D3D_OK;
}

// The caps chosen when the device was created.
HRESULT SoftwareDevice::GetDeviceCaps(D3DCAPS9* pCaps) {
    if (!pCaps) return D3DERR_INVALIDCALL;
    *pCaps = m_caps;
    return D3D_OK;
}

// A windowed device reports the desktop mode.
HRESULT SoftwareDevice::GetDisplayMode(UINT iSwapChain, D3DDISPLAYMODE* pMode) {
    if (iSwapChain != 0 || !pMode) return D3DERR_INVALIDCALL;
    *pMode = DesktopMode();
    return D3D_OK;
}

bool SoftwareDevice::SwapChainInUse() const {
    const Surface* depth = m_swapChain.depthStencil.get();
    return m_swapChain.backBuffer->PublicRefs() > 0 || (depth && depth->PublicRefs() > 0);
}

// Like D3D9, Reset refuses while default-pool resources or swap-chain
// references are alive, and a refused Reset leaves the device needing one.
HRESULT SoftwareDevice::Reset(D3DPRESENT_PARAMETERS* pPresentationParameters) {
    if (!pPresentationParameters) return D3DERR_INVALIDCALL;
    D3DPRESENT_PARAMETERS params = *pPresentationParameters;
    if (FAILED(ResolvePresentParameters(params))) return D3DERR_INVALIDCALL;
    m_bindings.Restart(m_swapChain.backBuffer.get(), m_swapChain.depthStencil.get());
    if (m_pools.DefaultPoolResources() > 0 || SwapChainInUse()) {
        std::fprintf(stderr, "Device::Reset: %u default-pool resources or a swap-chain surface still held\n",
                     m_pools.DefaultPoolResources());
        m_cooperativeLevel.ResetFailed();
        return D3DERR_INVALIDCALL;
    }
    try {
        StartFresh(CreateSwapChainSurfaces(params, this), params);
    } catch (const std::bad_alloc&) {
        m_cooperativeLevel.ResetFailed();
        return E_OUTOFMEMORY;
    }
    m_cooperativeLevel.ResetSucceeded();
    *pPresentationParameters = params;
    return D3D_OK;
}

HRESULT SoftwareDevice::Present(const RECT*, const RECT*, HWND, const void*) {
    return m_cooperativeLevel.IsLost() ? D3DERR_DEVICELOST : D3D_OK;
}

HRESULT SoftwareDevice::GetBackBuffer(UINT iSwapChain, UINT iBackBuffer, D3DBACKBUFFER_TYPE Type,
                                      IDirect3DSurface9** ppBackBuffer) {
    if (!ppBackBuffer) return D3DERR_INVALIDCALL;
    *ppBackBuffer = nullptr;
    if (iSwapChain != 0 || iBackBuffer != 0 || Type != D3DBACKBUFFER_TYPE_MONO) return D3DERR_INVALIDCALL;
    m_swapChain.backBuffer->AddRef();
    *ppBackBuffer = m_swapChain.backBuffer.get();
    return D3D_OK;
}

// ==== Resources ====

HRESULT SoftwareDevice::CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format,
                                      D3DPOOL Pool, IDirect3DTexture9** ppTexture, HANDLE* pSharedHandle) {
    return detail::CreateTexture(Origin(), {Width, Height, Levels, Usage, Format, Pool}, ppTexture, pSharedHandle);
}

HRESULT SoftwareDevice::CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                                           IDirect3DVertexBuffer9** ppVertexBuffer, HANDLE* pSharedHandle) {
    return detail::CreateVertexBuffer(Origin(), Length, Usage, FVF, Pool, ppVertexBuffer, pSharedHandle);
}

HRESULT SoftwareDevice::CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                          IDirect3DIndexBuffer9** ppIndexBuffer, HANDLE* pSharedHandle) {
    return detail::CreateIndexBuffer(Origin(), Length, Usage, Format, Pool, ppIndexBuffer, pSharedHandle);
}

// Every surface can be locked, so Lockable changes nothing.
HRESULT SoftwareDevice::CreateRenderTarget(UINT Width, UINT Height, D3DFORMAT Format, D3DMULTISAMPLE_TYPE MultiSample,
                                           DWORD, BOOL, IDirect3DSurface9** ppSurface, HANDLE* pSharedHandle) {
    const SurfaceRequest request = {Width, Height, Format, MultiSample, D3DUSAGE_RENDERTARGET};
    return detail::CreateSurface(Origin(), request, ppSurface, pSharedHandle);
}

HRESULT SoftwareDevice::CreateDepthStencilSurface(UINT Width, UINT Height, D3DFORMAT Format,
                                                  D3DMULTISAMPLE_TYPE MultiSample, DWORD, BOOL,
                                                  IDirect3DSurface9** ppSurface, HANDLE* pSharedHandle) {
    const SurfaceRequest request = {Width, Height, Format, MultiSample, D3DUSAGE_DEPTHSTENCIL};
    return detail::CreateSurface(Origin(), request, ppSurface, pSharedHandle);
}

// ==== Targets, scene and Clear ====

// As in D3D9, a new render target brings a viewport covering all of it.
HRESULT SoftwareDevice::SetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9* pRenderTarget) {
    const HRESULT hr = m_bindings.SetRenderTarget(RenderTargetIndex, pRenderTarget);
    if (FAILED(hr)) return hr;
    const D3DSURFACE_DESC& desc = m_bindings.RenderTarget()->Description();
    m_state.ResetViewport(desc.Width, desc.Height);
    return D3D_OK;
}

HRESULT SoftwareDevice::GetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9** ppRenderTarget) {
    return m_bindings.GetRenderTarget(RenderTargetIndex, ppRenderTarget);
}

HRESULT SoftwareDevice::SetDepthStencilSurface(IDirect3DSurface9* pNewZStencil) {
    return m_bindings.SetDepthStencilSurface(pNewZStencil);
}

HRESULT SoftwareDevice::GetDepthStencilSurface(IDirect3DSurface9** ppZStencilSurface) {
    return m_bindings.GetDepthStencilSurface(ppZStencilSurface);
}

HRESULT SoftwareDevice::BeginScene() {
    if (m_inScene) return D3DERR_INVALIDCALL;
    m_inScene = true;
    return D3D_OK;
}

HRESULT SoftwareDevice::EndScene() {
    if (!m_inScene) return D3DERR_INVALIDCALL;
    m_inScene = false;
    return D3D_OK;
}

HRESULT SoftwareDevice::Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z,
                              DWORD Stencil) {
    const ClearRequest request = {Count, pRects, Flags, Color, Z, Stencil};
    const HRESULT hr = ClearTargets(request, m_bindings.RenderTarget(), m_bindings.DepthStencil(), m_state.Viewport());
    if (FAILED(hr)) std::fprintf(stderr, "Device::Clear: invalid flags, rectangles or depth value\n");
    return hr;
}

// ==== State ====

HRESULT SoftwareDevice::SetTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix) {
    return m_state.SetTransform(State, pMatrix);
}

HRESULT SoftwareDevice::GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX* pMatrix) {
    return m_state.GetTransform(State, pMatrix);
}

HRESULT SoftwareDevice::SetViewport(const D3DVIEWPORT9* pViewport) {
    const D3DSURFACE_DESC& target = m_bindings.RenderTarget()->Description();
    return m_state.SetViewport(pViewport, target.Width, target.Height);
}

HRESULT SoftwareDevice::GetViewport(D3DVIEWPORT9* pViewport) { return m_state.GetViewport(pViewport); }

HRESULT SoftwareDevice::SetMaterial(const D3DMATERIAL9* pMaterial) { return m_state.SetMaterial(pMaterial); }

HRESULT SoftwareDevice::GetMaterial(D3DMATERIAL9* pMaterial) { return m_state.GetMaterial(pMaterial); }

HRESULT SoftwareDevice::SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) {
    return m_state.SetRenderState(State, Value);
}

HRESULT SoftwareDevice::GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) {
    return m_state.GetRenderState(State, pValue);
}

HRESULT SoftwareDevice::GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD* pValue) {
    return m_state.GetTextureStageState(Stage, Type, pValue);
}

HRESULT SoftwareDevice::SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) {
    return m_state.SetTextureStageState(Stage, Type, Value);
}

HRESULT SoftwareDevice::GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue) {
    return m_state.GetSamplerState(Sampler, Type, pValue);
}

HRESULT SoftwareDevice::SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) {
    return m_state.SetSamplerState(Sampler, Type, Value);
}

// ==== Drawing ====

HRESULT SoftwareDevice::DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount) {
    DrawRequest request;
    request.type = PrimitiveType;
    request.primitiveCount = PrimitiveCount;
    request.startVertex = StartVertex;
    return Draw("DrawPrimitive", request);
}

HRESULT SoftwareDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, INT BaseVertexIndex,
                                             UINT MinVertexIndex, UINT NumVertices, UINT startIndex,
                                             UINT primCount) {
    DrawRequest request;
    request.type = PrimitiveType;
    request.primitiveCount = primCount;
    request.indexed = true;
    request.baseVertexIndex = BaseVertexIndex;
    request.minVertexIndex = MinVertexIndex;
    request.numVertices = NumVertices;
    request.startIndex = startIndex;
    return Draw("DrawIndexedPrimitive", request);
}

// As in D3D9, stream 0 is unset afterwards.
HRESULT SoftwareDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT PrimitiveCount,
                                        const void* pVertexStreamZeroData, UINT VertexStreamZeroStride) {
    if (!pVertexStreamZeroData) return D3DERR_INVALIDCALL;
    DrawRequest request;
    request.type = PrimitiveType;
    request.primitiveCount = PrimitiveCount;
    request.userVertices = pVertexStreamZeroData;
    request.userStride = VertexStreamZeroStride;
    const HRESULT hr = Draw("DrawPrimitiveUP", request);
    if (SUCCEEDED(hr)) m_bindings.SetStreamSource(0, nullptr, 0, 0);
    return hr;
}

// A lost device accepts draws and draws nothing, as D3D9 does.
HRESULT SoftwareDevice::Draw(const char* method, const DrawRequest& request) {
    if (const char* problem = FindDrawProblem(request, m_bindings, m_inScene)) {
        std::fprintf(stderr, "Device::%s: %s\n", method, problem);
        return D3DERR_INVALIDCALL;
    }
    if (m_cooperativeLevel.IsLost()) return D3D_OK;
    const DrawCall call = AssembleDrawCall(request, m_state, m_bindings, m_pass);
    m_log.Add(call.record);
    m_rasterizer->Draw(call);
    return D3D_OK;
}

// ==== Bindings and shaders ====

HRESULT SoftwareDevice::SetFVF(DWORD FVF) {
    m_bindings.SetFVF(FVF);
    return D3D_OK;
}

HRESULT SoftwareDevice::GetFVF(DWORD* pFVF) {
    if (!pFVF) return D3DERR_INVALIDCALL;
    *pFVF = m_bindings.FVF();
    return D3D_OK;
}

// The device creates no shader objects, so any shader but null is another device's.
HRESULT SoftwareDevice::SetVertexShader(IDirect3DVertexShader9* pShader) {
    return pShader ? D3DERR_INVALIDCALL : D3D_OK;
}

HRESULT SoftwareDevice::GetVertexShader(IDirect3DVertexShader9** ppShader) {
    if (!ppShader) return D3DERR_INVALIDCALL;
    *ppShader = nullptr;
    return D3D_OK;
}

HRESULT SoftwareDevice::SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData, UINT OffsetInBytes,
                                        UINT Stride) {
    return m_bindings.SetStreamSource(StreamNumber, pStreamData, OffsetInBytes, Stride);
}

HRESULT SoftwareDevice::GetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9** ppStreamData,
                                        UINT* pOffsetInBytes, UINT* pStride) {
    return m_bindings.GetStreamSource(StreamNumber, ppStreamData, pOffsetInBytes, pStride);
}

HRESULT SoftwareDevice::SetIndices(IDirect3DIndexBuffer9* pIndexData) { return m_bindings.SetIndices(pIndexData); }

HRESULT SoftwareDevice::GetIndices(IDirect3DIndexBuffer9** ppIndexData) { return m_bindings.GetIndices(ppIndexData); }

HRESULT SoftwareDevice::SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture) {
    return m_bindings.SetTexture(Stage, pTexture);
}

HRESULT SoftwareDevice::GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture) {
    return m_bindings.GetTexture(Stage, ppTexture);
}

HRESULT SoftwareDevice::SetPixelShader(IDirect3DPixelShader9* pShader) {
    return pShader ? D3DERR_INVALIDCALL : D3D_OK;
}

HRESULT SoftwareDevice::GetPixelShader(IDirect3DPixelShader9** ppShader) {
    if (!ppShader) return D3DERR_INVALIDCALL;
    *ppShader = nullptr;
    return D3D_OK;
}

}  // namespace swdevice::detail
