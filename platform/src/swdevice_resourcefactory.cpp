#include "swdevice_resourcefactory.h"

#include <cstdio>
#include <new>

#include "swdevice_caps.h"
#include "swdevice_settings.h"
#include "swdevice_vertexformat.h"

namespace swdevice::detail {

namespace {

constexpr DWORD kBufferUsages = D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC | D3DUSAGE_POINTS | D3DUSAGE_DONOTCLIP |
                                D3DUSAGE_SOFTWAREPROCESSING | D3DUSAGE_RTPATCHES | D3DUSAGE_NPATCHES;
constexpr DWORD kTextureUsages = D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL | D3DUSAGE_DYNAMIC |
                                 D3DUSAGE_AUTOGENMIPMAP;

// Shared handles belong to Direct3D 9Ex; plain D3D9 refuses them.
template <class T>
bool PrepareOut(T** out, HANDLE* sharedHandle) {
    if (!out) return false;
    *out = nullptr;
    return sharedHandle == nullptr;
}

// The injected fault first, then the object; std::bad_alloc becomes E_OUTOFMEMORY.
template <class T, class Make>
HRESULT Construct(ResourceKind kind, Make make, T** out) {
    const HRESULT fault = TakeCreationFault(kind);
    if (FAILED(fault)) return fault;
    try {
        *out = make();
        return D3D_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

bool IsValidBufferPool(D3DPOOL pool, DWORD usage) {
    if (pool == D3DPOOL_MANAGED && (usage & D3DUSAGE_DYNAMIC)) return false;
    return pool == D3DPOOL_DEFAULT || pool == D3DPOOL_MANAGED || pool == D3DPOOL_SYSTEMMEM;
}

bool IsValidBuffer(UINT length, DWORD usage, D3DPOOL pool) {
    return length > 0 && length <= kMaxBufferBytes && !(usage & ~kBufferUsages) && IsValidBufferPool(pool, usage);
}

// D3D9 wants room for at least one vertex when an FVF is given.
bool IsValidVertexLayout(UINT length, DWORD fvf) {
    return fvf == 0 || (FvfVertexSize(fvf) != 0 && length >= FvfVertexSize(fvf));
}

bool IsValidTexturePool(const TextureRequest& r) {
    const bool gpuOnly = r.usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL);
    if (gpuOnly && r.pool != D3DPOOL_DEFAULT) return false;
    if ((r.usage & D3DUSAGE_DYNAMIC) && (r.pool == D3DPOOL_MANAGED || gpuOnly)) return false;
    return r.pool >= D3DPOOL_DEFAULT && r.pool <= D3DPOOL_SCRATCH;
}

// AUTOGENMIPMAP textures ask for 0 or 1 level and get the whole chain.
UINT StoredLevels(const TextureRequest& r) {
    const UINT chain = FullMipChainLength(r.width, r.height);
    if (r.usage & D3DUSAGE_AUTOGENMIPMAP) return r.levels <= 1 ? chain : 0;
    if (r.levels == 0) return chain;
    return r.levels <= chain ? r.levels : 0;
}

bool IsValidTexture(const TextureRequest& r) {
    const bool sized = r.width > 0 && r.height > 0 && r.width <= kMaxTextureSize && r.height <= kMaxTextureSize;
    return sized && !(r.usage & ~kTextureUsages) && IsValidTexturePool(r) && StoredLevels(r) > 0 &&
           FindFormat(r.format) && IsFormatAccepted(D3DRTYPE_TEXTURE, r.usage, r.format);
}

bool IsValidSurface(const SurfaceRequest& r) {
    const bool sized = r.width > 0 && r.height > 0 && r.width <= kMaxTextureSize && r.height <= kMaxTextureSize;
    return sized && r.multiSample == D3DMULTISAMPLE_NONE && FindFormat(r.format) &&
           IsFormatAccepted(D3DRTYPE_SURFACE, r.usage, r.format);
}

HRESULT Refuse(const char* method) {
    std::fprintf(stderr, "Device::%s: invalid arguments\n", method);
    return D3DERR_INVALIDCALL;
}

}  // namespace

HRESULT CreateVertexBuffer(const ResourceOrigin& origin, UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                           IDirect3DVertexBuffer9** ppVertexBuffer, HANDLE* pSharedHandle) {
    if (!PrepareOut(ppVertexBuffer, pSharedHandle) || !IsValidBuffer(Length, Usage, Pool) ||
        !IsValidVertexLayout(Length, FVF)) {
        return Refuse("CreateVertexBuffer");
    }
    const D3DVERTEXBUFFER_DESC desc = {D3DFMT_VERTEXDATA, D3DRTYPE_VERTEXBUFFER, Usage, Pool, Length, FVF};
    return Construct(kVertexBuffer, [&] { return new VertexBuffer(origin, desc); }, ppVertexBuffer);
}

HRESULT CreateIndexBuffer(const ResourceOrigin& origin, UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                          IDirect3DIndexBuffer9** ppIndexBuffer, HANDLE* pSharedHandle) {
    if (!PrepareOut(ppIndexBuffer, pSharedHandle) || !IsValidBuffer(Length, Usage, Pool) || IndexSize(Format) == 0) {
        return Refuse("CreateIndexBuffer");
    }
    const D3DINDEXBUFFER_DESC desc = {Format, D3DRTYPE_INDEXBUFFER, Usage, Pool, Length};
    return Construct(kIndexBuffer, [&] { return new IndexBuffer(origin, desc); }, ppIndexBuffer);
}

HRESULT CreateTexture(const ResourceOrigin& origin, const TextureRequest& request, IDirect3DTexture9** ppTexture,
                      HANDLE* pSharedHandle) {
    if (!PrepareOut(ppTexture, pSharedHandle) || !IsValidTexture(request)) return Refuse("CreateTexture");
    const D3DSURFACE_DESC top = {request.format, D3DRTYPE_TEXTURE, request.usage, request.pool,
                                 D3DMULTISAMPLE_NONE, 0, request.width, request.height};
    return Construct(kTexture, [&] { return new Texture(origin, top, StoredLevels(request)); }, ppTexture);
}

HRESULT CreateSurface(const ResourceOrigin& origin, const SurfaceRequest& request, IDirect3DSurface9** ppSurface,
                      HANDLE* pSharedHandle) {
    if (!PrepareOut(ppSurface, pSharedHandle) || !IsValidSurface(request)) return Refuse("CreateSurface");
    const D3DSURFACE_DESC desc = {request.format, D3DRTYPE_SURFACE, request.usage, D3DPOOL_DEFAULT,
                                  D3DMULTISAMPLE_NONE, 0, request.width, request.height};
    return Construct(kSurface, [&] { return new Surface(origin, desc); }, ppSurface);
}

}  // namespace swdevice::detail
