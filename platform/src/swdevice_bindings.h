// What is bound to the device: stream sources, indices, textures, the
// render target and the depth-stencil surface, and the FVF. Each binding
// keeps its object alive (see Lifetime) without changing its public count.
#pragma once

#include <array>

#include "swdevice_buffers.h"
#include "swdevice_caps.h"
#include "swdevice_texture.h"

namespace swdevice::detail {

template <class T>
class Bound {
public:
    Bound() = default;
    Bound(const Bound&) = delete;
    Bound& operator=(const Bound&) = delete;
    ~Bound() { Reset(nullptr); }

    void Reset(T* object) {
        if (object) object->AddBinding();
        T* previous = m_object;
        m_object = object;
        if (previous) previous->ReleaseBinding();
    }
    T* Get() const { return m_object; }

private:
    T* m_object = nullptr;
};

struct StreamSource {
    Bound<VertexBuffer> buffer;
    UINT offset = 0;
    UINT stride = 0;
};

class DeviceBindings {
public:
    // Objects must belong to device; others are refused with D3DERR_INVALIDCALL.
    explicit DeviceBindings(IDirect3DDevice9* device) : m_device(device) {}

    HRESULT SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData, UINT OffsetInBytes, UINT Stride);
    HRESULT GetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9** ppStreamData, UINT* pOffsetInBytes,
                            UINT* pStride) const;
    HRESULT SetIndices(IDirect3DIndexBuffer9* pIndexData);
    HRESULT GetIndices(IDirect3DIndexBuffer9** ppIndexData) const;
    HRESULT SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture);
    HRESULT GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture) const;
    HRESULT SetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9* pRenderTarget);
    HRESULT GetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9** ppRenderTarget) const;
    HRESULT SetDepthStencilSurface(IDirect3DSurface9* pNewZStencil);
    HRESULT GetDepthStencilSurface(IDirect3DSurface9** ppZStencilSurface) const;
    void SetFVF(DWORD FVF) { m_fvf = FVF; }
    DWORD FVF() const { return m_fvf; }

    // Unbinds everything and binds the given surfaces (Reset, destruction).
    void Restart(Surface* renderTarget, Surface* depthStencil);

    const StreamSource& Stream(UINT index) const { return m_streams[index]; }
    IndexBuffer* Indices() const { return m_indices.Get(); }
    Texture* BoundTexture(UINT stage) const { return m_textures[stage].Get(); }
    Surface* RenderTarget() const { return m_renderTarget.Get(); }
    Surface* DepthStencil() const { return m_depthStencil.Get(); }

private:
    template <class T, class I>
    bool Resolve(I* object, T** resolved) const;

    IDirect3DDevice9* m_device;
    std::array<StreamSource, kMaxStreams> m_streams;
    Bound<IndexBuffer> m_indices;
    std::array<Bound<Texture>, kSamplers> m_textures;
    Bound<Surface> m_renderTarget;
    Bound<Surface> m_depthStencil;
    DWORD m_fvf = 0;
};

}  // namespace swdevice::detail
