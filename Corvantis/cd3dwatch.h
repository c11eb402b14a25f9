// The device-resource guard: every Direct3D resource the libraries create
// goes through a CD3DWatch call, and every release through SafeRelease.
//
// The guarded calls forward to Direct3D or D3DX and record each failure
// (caller's path and line, call name, result) in a bounded record that a
// host or test can read and clear. A failed call always leaves its
// out-pointer null.
//
// Tracking, off by default, additionally remembers every resource a guarded
// call created; SafeRelease of a resource the guard did not create is then
// recorded as a failure of "SafeRelease". Off, SafeRelease just releases.
#pragma once

#include <vector>

#include "Corvantis/corvantis_export.h"
#include "platform/cstring.h"
#include "platform/d3d9interfaces.h"
#include "platform/d3dxeffect.h"

// One failed guarded call.
struct SD3DWatchFailure {
    CString path;
    int line;
    CString call;
    HRESULT result;
};

class CORVANTIS_API CD3DWatch {
public:
    // ==== Guarded calls: (path, line, then the wrapped call's arguments) ====

    static HRESULT SafeCreateVertexBuffer(const CString& path, int line, IDirect3DDevice9* pDevice, UINT Length,
                                          DWORD Usage, DWORD FVF, D3DPOOL Pool,
                                          IDirect3DVertexBuffer9** ppVertexBuffer, HANDLE* pSharedHandle);
    static HRESULT SafeCreateIndexBuffer(const CString& path, int line, IDirect3DDevice9* pDevice, UINT Length,
                                         DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                         IDirect3DIndexBuffer9** ppIndexBuffer, HANDLE* pSharedHandle);
    static HRESULT SafeCreateTexture(const CString& path, int line, IDirect3DDevice9* pDevice, UINT Width,
                                     UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                     IDirect3DTexture9** ppTexture, HANDLE* pSharedHandle);
    static HRESULT SafeGetDirect3D(const CString& path, int line, IDirect3DDevice9* pDevice, IDirect3D9** ppD3D9);
    static HRESULT SafeGetRenderTarget(const CString& path, int line, IDirect3DDevice9* pDevice,
                                       DWORD RenderTargetIndex, IDirect3DSurface9** ppRenderTarget);
    static HRESULT SafeGetDepthStencilSurface(const CString& path, int line, IDirect3DDevice9* pDevice,
                                              IDirect3DSurface9** ppZStencilSurface);
    static HRESULT SafeGetSurfaceLevel(const CString& path, int line, IDirect3DTexture9* pTexture, UINT Level,
                                       IDirect3DSurface9** ppSurfaceLevel);
    static HRESULT SafeCreateEffectFromResource(const CString& path, int line, LPDIRECT3DDEVICE9 pDevice,
                                                HMODULE hSrcModule, LPCSTR pSrcResource,
                                                const D3DXMACRO* pDefines, LPD3DXINCLUDE pInclude, DWORD Flags,
                                                LPD3DXEFFECTPOOL pPool, LPD3DXEFFECT* ppEffect,
                                                LPD3DXBUFFER* ppCompilationErrors);

    // D3DX meshes (cd3dwatchmesh.cpp). ID3DXMesh is named with "struct" so that
    // this header does not pull in the mesh layer.
    static HRESULT SafeCreateBox(const CString& path, int line, LPDIRECT3DDEVICE9 pDevice, FLOAT Width,
                                 FLOAT Height, FLOAT Depth, struct ID3DXMesh** ppMesh, LPD3DXBUFFER* ppAdjacency);
    static HRESULT SafeCreateSphere(const CString& path, int line, LPDIRECT3DDEVICE9 pDevice, FLOAT Radius,
                                    UINT Slices, UINT Stacks, struct ID3DXMesh** ppMesh, LPD3DXBUFFER* ppAdjacency);
    static HRESULT SafeCreateCylinder(const CString& path, int line, LPDIRECT3DDEVICE9 pDevice, FLOAT Radius1,
                                      FLOAT Radius2, FLOAT Length, UINT Slices, UINT Stacks,
                                      struct ID3DXMesh** ppMesh, LPD3DXBUFFER* ppAdjacency);
    static HRESULT SafeCreateTorus(const CString& path, int line, LPDIRECT3DDEVICE9 pDevice, FLOAT InnerRadius,
                                   FLOAT OuterRadius, UINT Sides, UINT Rings, struct ID3DXMesh** ppMesh,
                                   LPD3DXBUFFER* ppAdjacency);
    static HRESULT SafeLoadMeshFromX(const CString& path, int line, LPCSTR pFilename, DWORD Options,
                                     LPDIRECT3DDEVICE9 pD3DDevice, LPD3DXBUFFER* ppAdjacency,
                                     LPD3DXBUFFER* ppMaterials, LPD3DXBUFFER* ppEffectInstances,
                                     DWORD* pNumMaterials, struct ID3DXMesh** ppMesh);
    static HRESULT SafeGetVertexBuffer(const CString& path, int line, struct ID3DXMesh* pMesh,
                                       IDirect3DVertexBuffer9** ppVB);
    static HRESULT SafeGetIndexBuffer(const CString& path, int line, struct ID3DXMesh* pMesh,
                                      IDirect3DIndexBuffer9** ppIB);

    // ==== Hooks of SafeRelease ====

    // The lock is recursive; the result is always true.
    static bool _LockSemaphore();
    static void _UnlockSemaphore();
    // True while tracking is on.
    static bool _IsOperating();
    // True when a guarded call created the resource and it is still tracked.
    static bool _IsContainingData(IUnknown* pResource);
    // Stops tracking the resource.
    static void _ClearDataIfNeeded(IUnknown* pResource);
    // Records a release of an untracked resource.
    static void _HandleError(const CString& path, int line);

    // ==== Record ====

    // The most recent failures, oldest first; at most kMaxFailures are kept.
    static std::vector<SD3DWatchFailure> GetFailures();
    static void ClearFailures();
    // Turning tracking off forgets every tracked resource.
    static void SetTracking(bool on);

    static constexpr size_t kMaxFailures = 256;  // keeps a long-running host's record bounded
};

// Releases *pp and sets it to null; a null pointer is left alone.
template <class T>
inline void SafeRelease(const CString& path, int line, T** pp) {
    CD3DWatch::_LockSemaphore();
    if (pp && *pp) {
        if (!CD3DWatch::_IsOperating()) {
            (*pp)->Release();
        } else if (CD3DWatch::_IsContainingData(*pp)) {
            CD3DWatch::_ClearDataIfNeeded(*pp);
            (*pp)->Release();
        } else {
            CD3DWatch::_HandleError(path, line);
            (*pp)->Release();
        }
        *pp = nullptr;
    }
    CD3DWatch::_UnlockSemaphore();
}
