// The device-resource guard: forwarding, the failure record and tracking.
#include "Corvantis/cd3dwatch.h"

#include "platform/d3dxmesh.h"

#include <deque>
#include <map>
#include <mutex>

namespace {

// The guard's one state of the process: the failure record and the tracked
// resources (acquisitions per resource: getters hand out the same surface
// more than once). Guarded by the recursive lock that SafeRelease takes.
struct GuardState {
    std::recursive_mutex lock;
    std::deque<SD3DWatchFailure> failures;
    bool tracking = false;
    std::map<IUnknown*, int> tracked;
};

// Never destroyed: objects of other libraries may release through the guard
// while the process exits.
GuardState& State() {
    static GuardState* state = new GuardState;
    return *state;
}

void RecordFailure(const CString& path, int line, const char* call, HRESULT result) {
    GuardState& state = State();
    std::lock_guard<std::recursive_mutex> hold(state.lock);
    if (state.failures.size() >= CD3DWatch::kMaxFailures) state.failures.pop_front();
    state.failures.push_back(SD3DWatchFailure{path, line, call, result});
}

void Track(IUnknown* resource) {
    GuardState& state = State();
    std::lock_guard<std::recursive_mutex> hold(state.lock);
    if (state.tracking) ++state.tracked[resource];
}

// The common tail of every guarded call: a failure is recorded and leaves
// the out-pointer null; a success is tracked.
template <class T>
HRESULT Guard(const CString& path, int line, const char* call, HRESULT result, T** out) {
    if (FAILED(result)) {
        if (out) *out = nullptr;
        RecordFailure(path, line, call, result);
    } else if (out && *out) {
        Track(*out);
    }
    return result;
}

// Refuses a call on a null object before it is made.
template <class T>
HRESULT Refuse(const CString& path, int line, const char* call, T** out) {
    return Guard(path, line, call, D3DERR_INVALIDCALL, out);
}

}  // namespace

HRESULT CD3DWatch::SafeCreateVertexBuffer(const CString& path, int line, IDirect3DDevice9* pDevice, UINT Length,
                                          DWORD Usage, DWORD FVF, D3DPOOL Pool,
                                          IDirect3DVertexBuffer9** ppVertexBuffer, HANDLE* pSharedHandle) {
    const char* call = "CreateVertexBuffer";
    if (!pDevice) return Refuse(path, line, call, ppVertexBuffer);
    return Guard(path, line, call,
                 pDevice->CreateVertexBuffer(Length, Usage, FVF, Pool, ppVertexBuffer, pSharedHandle),
                 ppVertexBuffer);
}

HRESULT CD3DWatch::SafeCreateIndexBuffer(const CString& path, int line, IDirect3DDevice9* pDevice, UINT Length,
                                         DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                         IDirect3DIndexBuffer9** ppIndexBuffer, HANDLE* pSharedHandle) {
    const char* call = "CreateIndexBuffer";
    if (!pDevice) return Refuse(path, line, call, ppIndexBuffer);
    return Guard(path, line, call,
                 pDevice->CreateIndexBuffer(Length, Usage, Format, Pool, ppIndexBuffer, pSharedHandle),
                 ppIndexBuffer);
}

HRESULT CD3DWatch::SafeCreateTexture(const CString& path, int line, IDirect3DDevice9* pDevice, UINT Width,
                                     UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                     IDirect3DTexture9** ppTexture, HANDLE* pSharedHandle) {
    const char* call = "CreateTexture";
    if (!pDevice) return Refuse(path, line, call, ppTexture);
    return Guard(path, line, call,
                 pDevice->CreateTexture(Width, Height, Levels, Usage, Format, Pool, ppTexture, pSharedHandle),
                 ppTexture);
}

HRESULT CD3DWatch::SafeGetDirect3D(const CString& path, int line, IDirect3DDevice9* pDevice, IDirect3D9** ppD3D9) {
    const char* call = "GetDirect3D";
    if (!pDevice) return Refuse(path, line, call, ppD3D9);
    return Guard(path, line, call, pDevice->GetDirect3D(ppD3D9), ppD3D9);
}

HRESULT CD3DWatch::SafeGetRenderTarget(const CString& path, int line, IDirect3DDevice9* pDevice,
                                       DWORD RenderTargetIndex, IDirect3DSurface9** ppRenderTarget) {
    const char* call = "GetRenderTarget";
    if (!pDevice) return Refuse(path, line, call, ppRenderTarget);
    return Guard(path, line, call, pDevice->GetRenderTarget(RenderTargetIndex, ppRenderTarget), ppRenderTarget);
}

HRESULT CD3DWatch::SafeGetDepthStencilSurface(const CString& path, int line, IDirect3DDevice9* pDevice,
                                              IDirect3DSurface9** ppZStencilSurface) {
    const char* call = "GetDepthStencilSurface";
    if (!pDevice) return Refuse(path, line, call, ppZStencilSurface);
    return Guard(path, line, call, pDevice->GetDepthStencilSurface(ppZStencilSurface), ppZStencilSurface);
}

HRESULT CD3DWatch::SafeGetSurfaceLevel(const CString& path, int line, IDirect3DTexture9* pTexture, UINT Level,
                                       IDirect3DSurface9** ppSurfaceLevel) {
    const char* call = "GetSurfaceLevel";
    if (!pTexture) return Refuse(path, line, call, ppSurfaceLevel);
    return Guard(path, line, call, pTexture->GetSurfaceLevel(Level, ppSurfaceLevel), ppSurfaceLevel);
}

HRESULT CD3DWatch::SafeCreateEffectFromResource(const CString& path, int line, LPDIRECT3DDEVICE9 pDevice,
                                                HMODULE hSrcModule, LPCSTR pSrcResource,
                                                const D3DXMACRO* pDefines, LPD3DXINCLUDE pInclude, DWORD Flags,
                                                LPD3DXEFFECTPOOL pPool, LPD3DXEFFECT* ppEffect,
                                                LPD3DXBUFFER* ppCompilationErrors) {
    const HRESULT result = Guard(path, line, "D3DXCreateEffectFromResource",
                                 D3DXCreateEffectFromResourceA(pDevice, hSrcModule, pSrcResource, pDefines,
                                                               pInclude, Flags, pPool, ppEffect,
                                                               ppCompilationErrors),
                                 ppEffect);
    // The error text is a resource the caller releases too.
    if (ppCompilationErrors && *ppCompilationErrors) Track(*ppCompilationErrors);
    return result;
}

HRESULT CD3DWatch::SafeCreateBox(const CString& path, int line, LPDIRECT3DDEVICE9 pDevice, FLOAT Width, FLOAT Height,
                                 FLOAT Depth, ID3DXMesh** ppMesh, LPD3DXBUFFER* ppAdjacency) {
    return Guard(path, line, "D3DXCreateBox", D3DXCreateBox(pDevice, Width, Height, Depth, ppMesh, ppAdjacency), ppMesh);
}

HRESULT CD3DWatch::SafeCreateSphere(const CString& path, int line, LPDIRECT3DDEVICE9 pDevice, FLOAT Radius, UINT Slices,
                                    UINT Stacks, ID3DXMesh** ppMesh, LPD3DXBUFFER* ppAdjacency) {
    return Guard(path, line, "D3DXCreateSphere", D3DXCreateSphere(pDevice, Radius, Slices, Stacks, ppMesh, ppAdjacency), ppMesh);
}

HRESULT CD3DWatch::SafeCreateCylinder(const CString& path, int line, LPDIRECT3DDEVICE9 pDevice, FLOAT Radius1,
                                      FLOAT Radius2, FLOAT Length, UINT Slices, UINT Stacks, ID3DXMesh** ppMesh,
                                      LPD3DXBUFFER* ppAdjacency) {
    return Guard(path, line, "D3DXCreateCylinder", D3DXCreateCylinder(pDevice, Radius1, Radius2, Length, Slices, Stacks, ppMesh, ppAdjacency),
                     ppMesh);
}

HRESULT CD3DWatch::SafeCreateTorus(const CString& path, int line, LPDIRECT3DDEVICE9 pDevice, FLOAT InnerRadius,
                                   FLOAT OuterRadius, UINT Sides, UINT Rings, ID3DXMesh** ppMesh,
                                   LPD3DXBUFFER* ppAdjacency) {
    return Guard(path, line, "D3DXCreateTorus", D3DXCreateTorus(pDevice, InnerRadius, OuterRadius, Sides, Rings, ppMesh, ppAdjacency),
                     ppMesh);
}

HRESULT CD3DWatch::SafeLoadMeshFromX(const CString& path, int line, LPCSTR pFilename, DWORD Options,
                                     LPDIRECT3DDEVICE9 pD3DDevice, LPD3DXBUFFER* ppAdjacency,
                                     LPD3DXBUFFER* ppMaterials, LPD3DXBUFFER* ppEffectInstances,
                                     DWORD* pNumMaterials, ID3DXMesh** ppMesh) {
    return Guard(path, line, "D3DXLoadMeshFromX", D3DXLoadMeshFromXA(pFilename, Options, pD3DDevice, ppAdjacency, ppMaterials,
                                        ppEffectInstances, pNumMaterials, ppMesh),
                     ppMesh);
}

HRESULT CD3DWatch::SafeGetVertexBuffer(const CString& path, int line, ID3DXMesh* pMesh, IDirect3DVertexBuffer9** ppVB) {
    if (!pMesh) return Refuse(path, line, "GetVertexBuffer", ppVB);
    return Guard(path, line, "GetVertexBuffer", pMesh->GetVertexBuffer(ppVB), ppVB);
}

HRESULT CD3DWatch::SafeGetIndexBuffer(const CString& path, int line, ID3DXMesh* pMesh, IDirect3DIndexBuffer9** ppIB) {
    if (!pMesh) return Refuse(path, line, "GetIndexBuffer", ppIB);
    return Guard(path, line, "GetIndexBuffer", pMesh->GetIndexBuffer(ppIB), ppIB);
}

bool CD3DWatch::_LockSemaphore() {
    State().lock.lock();
    return true;
}

void CD3DWatch::_UnlockSemaphore() { State().lock.unlock(); }

bool CD3DWatch::_IsOperating() {
    std::lock_guard<std::recursive_mutex> hold(State().lock);
    return State().tracking;
}

bool CD3DWatch::_IsContainingData(IUnknown* pResource) {
    std::lock_guard<std::recursive_mutex> hold(State().lock);
    return State().tracked.count(pResource) != 0;
}

void CD3DWatch::_ClearDataIfNeeded(IUnknown* pResource) {
    GuardState& state = State();
    std::lock_guard<std::recursive_mutex> hold(state.lock);
    const auto found = state.tracked.find(pResource);
    if (found != state.tracked.end() && --found->second == 0) state.tracked.erase(found);
}

void CD3DWatch::_HandleError(const CString& path, int line) {
    RecordFailure(path, line, "SafeRelease", E_POINTER);
}

std::vector<SD3DWatchFailure> CD3DWatch::GetFailures() {
    std::lock_guard<std::recursive_mutex> hold(State().lock);
    return std::vector<SD3DWatchFailure>(State().failures.begin(), State().failures.end());
}

void CD3DWatch::ClearFailures() {
    std::lock_guard<std::recursive_mutex> hold(State().lock);
    State().failures.clear();
}

void CD3DWatch::SetTracking(bool on) {
    GuardState& state = State();
    std::lock_guard<std::recursive_mutex> hold(state.lock);
    state.tracking = on;
    if (!on) state.tracked.clear();
}
