// Index
//   ==== Interface identity ====
//   ==== Buffer placement ====    D3DXMESH options → usage and pool
//   ==== Attribute table ====
//   ==== Mesh object ====
//   ==== Creation ====
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "d3dxmeshgeometry.h"
#include "platform/d3d9iids.h"
#include "platform/d3dxfvf.h"
#include "swdevice_comobject.h"

// ==== Interface identity ====

const IID IID_ID3DXBaseMesh = {0x7ED943DD, 0x52E8, 0x40B5, {0xA8, 0xD8, 0x76, 0x68, 0x5C, 0x40, 0x63, 0x30}};
const IID IID_ID3DXMesh = {0x4020E5C2, 0x1403, 0x4929, {0x88, 0x3F, 0xE2, 0xE8, 0x49, 0xFA, 0xC1, 0x95}};

template <>
bool swdevice::detail::IsInInterfaceChain<ID3DXMesh>(REFIID riid) {
    for (const IID* iid : {&IID_IUnknown, &IID_ID3DXBaseMesh, &IID_ID3DXMesh}) {
        if (std::memcmp(&riid, iid, sizeof(IID)) == 0) return true;
    }
    return false;
}

namespace d3dxmesh {

namespace {

struct ComRelease {
    void operator()(IUnknown* object) const { object->Release(); }
};
template <class T>
using ComPtr = std::unique_ptr<T, ComRelease>;

// ==== Buffer placement ====

struct BufferPlacement {
    DWORD usage;
    D3DPOOL pool;
};

// The option bits that concern one of the two buffers.
struct BufferOptions {
    DWORD systemMem, managed, writeOnly, dynamic, softwareProcessing;
};

constexpr BufferOptions kVertexBufferOptions{D3DXMESH_VB_SYSTEMMEM, D3DXMESH_VB_MANAGED, D3DXMESH_VB_WRITEONLY,
                                              D3DXMESH_VB_DYNAMIC, D3DXMESH_VB_SOFTWAREPROCESSING};
constexpr BufferOptions kIndexBufferOptions{D3DXMESH_IB_SYSTEMMEM, D3DXMESH_IB_MANAGED, D3DXMESH_IB_WRITEONLY,
                                             D3DXMESH_IB_DYNAMIC, D3DXMESH_IB_SOFTWAREPROCESSING};

struct UsageBit {
    DWORD option;
    DWORD usage;
};

constexpr UsageBit kSharedUsageBits[] = {
    {D3DXMESH_DONOTCLIP, D3DUSAGE_DONOTCLIP},
    {D3DXMESH_POINTS, D3DUSAGE_POINTS},
    {D3DXMESH_RTPATCHES, D3DUSAGE_RTPATCHES},
    {D3DXMESH_NPATCHES, D3DUSAGE_NPATCHES},
};

// The managed pool refuses dynamic buffers, and a buffer lives in one pool.
bool NamesConflictingPools(DWORD options, const BufferOptions& bits) {
    bool managed = options & bits.managed;
    return managed && (options & (bits.systemMem | bits.dynamic));
}

BufferPlacement PlaceBuffer(DWORD options, const BufferOptions& bits) {
    DWORD usage = 0;
    for (const UsageBit& bit : kSharedUsageBits) usage |= (options & bit.option) ? bit.usage : 0;
    if (options & bits.writeOnly) usage |= D3DUSAGE_WRITEONLY;
    if (options & bits.dynamic) usage |= D3DUSAGE_DYNAMIC;
    if (options & bits.softwareProcessing) usage |= D3DUSAGE_SOFTWAREPROCESSING;
    if (options & bits.systemMem) return {usage, D3DPOOL_SYSTEMMEM};
    return {usage, (options & bits.dynamic) ? D3DPOOL_DEFAULT : D3DPOOL_MANAGED};
}

// ==== Attribute table ====

// Reads 16- or 32-bit indices; empty when the index buffer could not be read.
class IndexView {
public:
    IndexView() = default;
    IndexView(const void* data, bool wide) : m_data(static_cast<const BYTE*>(data)), m_wide(wide) {}

    bool Empty() const { return m_data == nullptr; }
    uint32_t operator[](size_t i) const {
        if (m_wide) return Load<uint32_t>(i);
        return Load<uint16_t>(i);
    }

private:
    template <class T>
    T Load(size_t i) const {
        T value;
        std::memcpy(&value, m_data + i * sizeof(T), sizeof(T));
        return value;
    }

    const BYTE* m_data = nullptr;
    bool m_wide = false;
};

constexpr size_t kCornersPerFace = 3;

// The vertex span of faces [first, last); all vertices when indices are unknown.
void SpanVertices(const IndexView& indices, DWORD first, DWORD last, DWORD vertexCount, D3DXATTRIBUTERANGE& range) {
    if (indices.Empty()) {
        range.VertexStart = 0;
        range.VertexCount = vertexCount;
        return;
    }
    uint32_t low = UINT32_MAX, high = 0;
    for (size_t corner = first * kCornersPerFace; corner < last * kCornersPerFace; ++corner) {
        low = std::min(low, indices[corner]);
        high = std::max(high, indices[corner]);
    }
    range.VertexStart = low;
    range.VertexCount = high - low + 1;
}

std::vector<D3DXATTRIBUTERANGE> BuildAttributeTable(const std::vector<DWORD>& attributes, const IndexView& indices,
                                                    DWORD vertexCount) {
    std::vector<D3DXATTRIBUTERANGE> table;
    for (DWORD first = 0, last = 0; first < attributes.size(); first = last) {
        while (last < attributes.size() && attributes[last] == attributes[first]) ++last;
        D3DXATTRIBUTERANGE range{attributes[first], first, last - first, 0, 0};
        SpanVertices(indices, first, last, vertexCount, range);
        table.push_back(range);
    }
    return table;
}

// ==== Mesh object ====

struct MeshBuffers {
    ComPtr<IDirect3DVertexBuffer9> vertices;
    ComPtr<IDirect3DIndexBuffer9> indices;
};

template <class Buffer>
HRESULT HandOut(Buffer* buffer, Buffer** ppBuffer) {
    if (!ppBuffer) return D3DERR_INVALIDCALL;
    buffer->AddRef();
    *ppBuffer = buffer;
    return D3D_OK;
}

// Holds a reference on its device (through the shared lifetime) and one on
// each buffer; released together when the last public reference goes.
class Mesh final : public swdevice::detail::ComObject<ID3DXMesh> {
public:
    Mesh(IDirect3DDevice9* device, DWORD options, DWORD fvf, DWORD vertexCount, MeshBuffers buffers,
         std::vector<DWORD> attributes)
        : ComObject(device, Owner::Self),
          m_device(device),
          m_options(options),
          m_fvf(fvf),
          m_vertexCount(vertexCount),
          m_buffers(std::move(buffers)),
          m_attributes(std::move(attributes)) {
        RebuildAttributeTable();
    }

    HRESULT DrawSubset(DWORD AttribId) override {
        bool bound = false;
        for (const D3DXATTRIBUTERANGE& range : m_table) {
            if (range.AttribId != AttribId) continue;
            if (!bound) {
                HRESULT hr = BindBuffers();
                if (FAILED(hr)) return hr;
                bound = true;
            }
            HRESULT hr = m_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, range.VertexStart, range.VertexCount,
                                                        range.FaceStart * kCornersPerFace, range.FaceCount);
            if (FAILED(hr)) return hr;
        }
        return D3D_OK;
    }
    DWORD GetNumFaces() override { return static_cast<DWORD>(m_attributes.size()); }
    DWORD GetNumVertices() override { return m_vertexCount; }
    DWORD GetFVF() override { return m_fvf; }
    DWORD GetNumBytesPerVertex() override { return D3DXGetFVFVertexSize(m_fvf); }
    DWORD GetOptions() override { return m_options; }
    HRESULT GetDevice(LPDIRECT3DDEVICE9* ppDevice) override { return HandOut(m_device, ppDevice); }
    HRESULT GetVertexBuffer(LPDIRECT3DVERTEXBUFFER9* ppVB) override {
        return HandOut(m_buffers.vertices.get(), ppVB);
    }
    HRESULT GetIndexBuffer(LPDIRECT3DINDEXBUFFER9* ppIB) override { return HandOut(m_buffers.indices.get(), ppIB); }
    HRESULT LockVertexBuffer(DWORD Flags, LPVOID* ppData) override {
        return m_buffers.vertices->Lock(0, 0, ppData, Flags);
    }
    HRESULT UnlockVertexBuffer() override { return m_buffers.vertices->Unlock(); }
    HRESULT LockIndexBuffer(DWORD Flags, LPVOID* ppData) override {
        return m_buffers.indices->Lock(0, 0, ppData, Flags);
    }
    HRESULT UnlockIndexBuffer() override { return m_buffers.indices->Unlock(); }
    HRESULT GetAttributeTable(D3DXATTRIBUTERANGE* pAttribTable, DWORD* pAttribTableSize) override {
        if (!pAttribTableSize) return D3DERR_INVALIDCALL;
        *pAttribTableSize = static_cast<DWORD>(m_table.size());
        if (pAttribTable) std::copy(m_table.begin(), m_table.end(), pAttribTable);
        return D3D_OK;
    }
    HRESULT LockAttributeBuffer(DWORD, DWORD** ppData) override {
        if (!ppData) return D3DERR_INVALIDCALL;
        *ppData = m_attributes.data();
        return D3D_OK;
    }
    HRESULT UnlockAttributeBuffer() override {
        RebuildAttributeTable();
        return D3D_OK;
    }

private:
    HRESULT BindBuffers() {
        HRESULT hr = m_device->SetStreamSource(0, m_buffers.vertices.get(), 0, GetNumBytesPerVertex());
        if (SUCCEEDED(hr)) hr = m_device->SetIndices(m_buffers.indices.get());
        if (SUCCEEDED(hr)) hr = m_device->SetFVF(m_fvf);
        return hr;
    }

    // Reads the indices back so that the ranges follow edits made through LockIndexBuffer.
    void RebuildAttributeTable() {
        void* data = nullptr;
        bool readable = SUCCEEDED(m_buffers.indices->Lock(0, 0, &data, D3DLOCK_READONLY));
        IndexView indices = readable ? IndexView(data, m_options & D3DXMESH_32BIT) : IndexView();
        m_table = BuildAttributeTable(m_attributes, indices, m_vertexCount);
        if (readable) m_buffers.indices->Unlock();
    }

    IDirect3DDevice9* m_device;  // referenced through the lifetime's container
    DWORD m_options;
    DWORD m_fvf;
    DWORD m_vertexCount;
    MeshBuffers m_buffers;
    std::vector<DWORD> m_attributes;
    std::vector<D3DXATTRIBUTERANGE> m_table;
};

// ==== Creation ====

size_t PackVertex(const MeshVertex& vertex, DWORD fvf, BYTE* out) {
    size_t offset = 0;
    auto put = [&](const void* field, size_t bytes) {
        std::memcpy(out + offset, field, bytes);
        offset += bytes;
    };
    put(&vertex.position, sizeof(D3DXVECTOR3));
    if (fvf & D3DFVF_NORMAL) put(&vertex.normal, sizeof(D3DXVECTOR3));
    if (fvf & D3DFVF_TEX1) put(&vertex.texcoord, sizeof(D3DXVECTOR2));
    return offset;
}

template <class Buffer, class Fill>
HRESULT FillBuffer(Buffer* buffer, Fill fill) {
    void* data = nullptr;
    HRESULT hr = buffer->Lock(0, 0, &data, 0);
    if (FAILED(hr)) return hr;
    fill(static_cast<BYTE*>(data));
    return buffer->Unlock();
}

HRESULT CreateVertexBuffer(IDirect3DDevice9* device, DWORD options, const MeshGeometry& geometry,
                           ComPtr<IDirect3DVertexBuffer9>& out) {
    UINT stride = D3DXGetFVFVertexSize(geometry.fvf);
    if (geometry.vertices.size() > UINT32_MAX / stride) return E_OUTOFMEMORY;
    BufferPlacement placement = PlaceBuffer(options, kVertexBufferOptions);
    IDirect3DVertexBuffer9* buffer = nullptr;
    HRESULT hr = device->CreateVertexBuffer(static_cast<UINT>(geometry.vertices.size() * stride), placement.usage,
                                            geometry.fvf, placement.pool, &buffer, nullptr);
    if (FAILED(hr)) return hr;
    out.reset(buffer);
    return FillBuffer(buffer, [&](BYTE* bytes) {
        for (const MeshVertex& vertex : geometry.vertices) bytes += PackVertex(vertex, geometry.fvf, bytes);
    });
}

template <class Index>
void StoreIndices(const std::vector<uint32_t>& indices, BYTE* bytes) {
    for (size_t i = 0; i < indices.size(); ++i) {
        Index index = static_cast<Index>(indices[i]);
        std::memcpy(bytes + i * sizeof(Index), &index, sizeof(Index));
    }
}

HRESULT CreateIndexBuffer(IDirect3DDevice9* device, DWORD options, const MeshGeometry& geometry,
                          ComPtr<IDirect3DIndexBuffer9>& out) {
    bool wide = options & D3DXMESH_32BIT;
    size_t indexBytes = wide ? sizeof(uint32_t) : sizeof(uint16_t);
    if (geometry.indices.size() > UINT32_MAX / indexBytes) return E_OUTOFMEMORY;
    BufferPlacement placement = PlaceBuffer(options, kIndexBufferOptions);
    IDirect3DIndexBuffer9* buffer = nullptr;
    HRESULT hr = device->CreateIndexBuffer(static_cast<UINT>(geometry.indices.size() * indexBytes), placement.usage,
                                           wide ? D3DFMT_INDEX32 : D3DFMT_INDEX16, placement.pool, &buffer, nullptr);
    if (FAILED(hr)) return hr;
    out.reset(buffer);
    return FillBuffer(buffer, [&](BYTE* bytes) {
        if (wide) return StoreIndices<uint32_t>(geometry.indices, bytes);
        StoreIndices<uint16_t>(geometry.indices, bytes);
    });
}

bool IsWellFormed(const MeshGeometry& geometry) {
    if (geometry.vertices.empty() || geometry.attributes.empty()) return false;
    if (geometry.indices.size() != geometry.attributes.size() * kCornersPerFace) return false;
    for (uint32_t index : geometry.indices) {
        if (index >= geometry.vertices.size()) return false;
    }
    return true;
}

bool HasValidOptions(DWORD options) {
    return !NamesConflictingPools(options, kVertexBufferOptions) &&
           !NamesConflictingPools(options, kIndexBufferOptions);
}

}  // namespace

HRESULT CreateMesh(IDirect3DDevice9* device, DWORD options, const MeshGeometry& geometry, ID3DXMesh** ppMesh) {
    if (!ppMesh) return D3DERR_INVALIDCALL;
    *ppMesh = nullptr;
    if (!device || !HasValidOptions(options) || !IsWellFormed(geometry)) return D3DERR_INVALIDCALL;
    if (geometry.vertices.size() > kMaxShortIndexVertices) options |= D3DXMESH_32BIT;
    MeshBuffers buffers;
    HRESULT hr = CreateVertexBuffer(device, options, geometry, buffers.vertices);
    if (SUCCEEDED(hr)) hr = CreateIndexBuffer(device, options, geometry, buffers.indices);
    if (FAILED(hr)) return hr;
    *ppMesh = new Mesh(device, options, geometry.fvf, static_cast<DWORD>(geometry.vertices.size()),
                       std::move(buffers), geometry.attributes);
    return D3D_OK;
}

}  // namespace d3dxmesh
