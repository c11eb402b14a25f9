#include "swdevice_bindings.h"

namespace swdevice::detail {

namespace {

template <class T>
void HandOut(T* object, T** out) {
    if (object) object->AddRef();
    *out = object;
}

}  // namespace

// Null resolves to null; anything else must be one of this device's objects.
template <class T, class I>
bool DeviceBindings::Resolve(I* object, T** resolved) const {
    *resolved = dynamic_cast<T*>(object);
    return !object || (*resolved && (*resolved)->Device() == m_device);
}

HRESULT DeviceBindings::SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData,
                                        UINT OffsetInBytes, UINT Stride) {
    VertexBuffer* buffer;
    if (StreamNumber >= kMaxStreams || Stride > kMaxStreamStride || !Resolve(pStreamData, &buffer)) {
        return D3DERR_INVALIDCALL;
    }
    StreamSource& stream = m_streams[StreamNumber];
    stream.buffer.Reset(buffer);
    stream.offset = OffsetInBytes;
    stream.stride = Stride;
    return D3D_OK;
}

HRESULT DeviceBindings::GetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9** ppStreamData,
                                        UINT* pOffsetInBytes, UINT* pStride) const {
    if (!ppStreamData || !pOffsetInBytes || !pStride) return D3DERR_INVALIDCALL;
    *ppStreamData = nullptr;
    if (StreamNumber >= kMaxStreams) return D3DERR_INVALIDCALL;
    const StreamSource& stream = m_streams[StreamNumber];
    HandOut<IDirect3DVertexBuffer9>(stream.buffer.Get(), ppStreamData);
    *pOffsetInBytes = stream.offset;
    *pStride = stream.stride;
    return D3D_OK;
}

HRESULT DeviceBindings::SetIndices(IDirect3DIndexBuffer9* pIndexData) {
    IndexBuffer* buffer;
    if (!Resolve(pIndexData, &buffer)) return D3DERR_INVALIDCALL;
    m_indices.Reset(buffer);
    return D3D_OK;
}

HRESULT DeviceBindings::GetIndices(IDirect3DIndexBuffer9** ppIndexData) const {
    if (!ppIndexData) return D3DERR_INVALIDCALL;
    HandOut<IDirect3DIndexBuffer9>(m_indices.Get(), ppIndexData);
    return D3D_OK;
}

HRESULT DeviceBindings::SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture) {
    Texture* texture;
    if (Stage >= kSamplers || !Resolve(pTexture, &texture)) return D3DERR_INVALIDCALL;
    m_textures[Stage].Reset(texture);
    return D3D_OK;
}

HRESULT DeviceBindings::GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture) const {
    if (!ppTexture) return D3DERR_INVALIDCALL;
    *ppTexture = nullptr;
    if (Stage >= kSamplers) return D3DERR_INVALIDCALL;
    HandOut<IDirect3DBaseTexture9>(m_textures[Stage].Get(), ppTexture);
    return D3D_OK;
}

HRESULT DeviceBindings::SetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9* pRenderTarget) {
    Surface* surface;
    if (RenderTargetIndex != 0 || !pRenderTarget || !Resolve(pRenderTarget, &surface) ||
        !(surface->Description().Usage & D3DUSAGE_RENDERTARGET)) {
        return D3DERR_INVALIDCALL;
    }
    m_renderTarget.Reset(surface);
    return D3D_OK;
}

HRESULT DeviceBindings::GetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9** ppRenderTarget) const {
    if (!ppRenderTarget) return D3DERR_INVALIDCALL;
    *ppRenderTarget = nullptr;
    if (RenderTargetIndex != 0) return D3DERR_INVALIDCALL;
    HandOut<IDirect3DSurface9>(m_renderTarget.Get(), ppRenderTarget);
    return D3D_OK;
}

HRESULT DeviceBindings::SetDepthStencilSurface(IDirect3DSurface9* pNewZStencil) {
    Surface* surface;
    if (!Resolve(pNewZStencil, &surface)) return D3DERR_INVALIDCALL;
    if (surface && !(surface->Description().Usage & D3DUSAGE_DEPTHSTENCIL)) return D3DERR_INVALIDCALL;
    m_depthStencil.Reset(surface);
    return D3D_OK;
}

HRESULT DeviceBindings::GetDepthStencilSurface(IDirect3DSurface9** ppZStencilSurface) const {
    if (!ppZStencilSurface) return D3DERR_INVALIDCALL;
    *ppZStencilSurface = nullptr;
    if (!m_depthStencil.Get()) return D3DERR_NOTFOUND;
    HandOut<IDirect3DSurface9>(m_depthStencil.Get(), ppZStencilSurface);
    return D3D_OK;
}

void DeviceBindings::Restart(Surface* renderTarget, Surface* depthStencil) {
    for (StreamSource& stream : m_streams) {
        stream.buffer.Reset(nullptr);
        stream.offset = stream.stride = 0;
    }
    m_indices.Reset(nullptr);
    for (Bound<Texture>& texture : m_textures) texture.Reset(nullptr);
    m_renderTarget.Reset(renderTarget);
    m_depthStencil.Reset(depthStencil);
    m_fvf = 0;
}

}  // namespace swdevice::detail
