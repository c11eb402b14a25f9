// Index
//   ==== Vertex splitting ====
//   ==== Merging ====
//   ==== Loading ====       D3DXLoadMeshFromXA, D3DXLoadMeshFromXInMemory
#include "d3dxmeshbuilder.h"

#include <array>
#include <cstring>
#include <fstream>
#include <map>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>

#include "xfilelimits.h"

namespace d3dxmesh {

namespace {

// ==== Vertex splitting ====

// A normal's bit pattern with -0 folded into +0, so that equal normals compare
// equal and NaNs from a hostile file still order strictly.
std::array<uint32_t, 3> NormalBits(const D3DXVECTOR3& normal) {
    std::array<uint32_t, 3> bits{};
    const float components[] = {normal.x, normal.y, normal.z};
    for (size_t i = 0; i < bits.size(); ++i) {
        float value = components[i] == 0.0f ? 0.0f : components[i];
        std::memcpy(&bits[i], &value, sizeof(float));
    }
    return bits;
}

using SplitKey = std::tuple<uint32_t, std::array<uint32_t, 3>>;  // position index, normal bits

// Gives each face corner a vertex: the first normal a position meets stays on
// the position's own vertex, every other distinct normal gets an appended copy.
class VertexSplitter {
public:
    VertexSplitter(const xfile::MeshData& mesh, MeshGeometry& out)
        : m_mesh(mesh), m_out(out), m_base(out.vertices.size()), m_claimed(mesh.positions.size(), false) {}

    uint32_t VertexFor(size_t corner) {
        uint32_t position = m_mesh.faces.corners[corner];
        if (m_mesh.normals.empty()) return Global(position);
        const D3DXVECTOR3& normal = m_mesh.normals[m_mesh.normalFaces.corners[corner]];
        MeshVertex& own = m_out.vertices[m_base + position];
        if (!m_claimed[position]) {
            m_claimed[position] = true;
            own.normal = normal;
        }
        if (NormalBits(own.normal) == NormalBits(normal)) return Global(position);
        return Copy(position, normal);
    }

private:
    uint32_t Global(uint32_t position) const { return static_cast<uint32_t>(m_base + position); }

    uint32_t Copy(uint32_t position, const D3DXVECTOR3& normal) {
        auto [entry, added] = m_copies.try_emplace(SplitKey(position, NormalBits(normal)),
                                                   static_cast<uint32_t>(m_out.vertices.size()));
        if (added) {
            MeshVertex copy = m_out.vertices[m_base + position];
            copy.normal = normal;
            m_out.vertices.push_back(copy);
        }
        return entry->second;
    }

    const xfile::MeshData& m_mesh;
    MeshGeometry& m_out;
    size_t m_base;  // index of the mesh's first vertex in the merged mesh
    std::vector<bool> m_claimed;
    std::map<SplitKey, uint32_t> m_copies;
};

// ==== Merging ====

void AppendPositions(const xfile::MeshData& mesh, MeshGeometry& out) {
    for (size_t i = 0; i < mesh.positions.size(); ++i) {
        MeshVertex vertex;
        vertex.position = mesh.positions[i];
        if (!mesh.texcoords.empty()) vertex.texcoord = mesh.texcoords[i];
        out.vertices.push_back(vertex);
    }
}

// Triangles (first, i, i + 1) for every later corner pair of each face.
void AppendFans(const xfile::MeshData& mesh, DWORD firstAttribute, VertexSplitter& splitter, MeshGeometry& out) {
    const xfile::FaceList& faces = mesh.faces;
    for (size_t face = 0; face < faces.FaceCount(); ++face) {
        size_t first = faces.starts[face];
        uint32_t anchor = splitter.VertexFor(first);
        for (size_t corner = first + 1; corner + 1 < first + faces.CornerCount(face); ++corner) {
            out.indices.insert(out.indices.end(), {anchor, splitter.VertexFor(corner), splitter.VertexFor(corner + 1)});
            out.attributes.push_back(firstAttribute + mesh.faceMaterials[face]);
        }
    }
}

DWORD SceneFvf(const xfile::Scene& scene) {
    DWORD fvf = D3DFVF_XYZ;
    for (const xfile::MeshData& mesh : scene.meshes) {
        if (!mesh.normals.empty()) fvf |= D3DFVF_NORMAL;
        if (!mesh.texcoords.empty()) fvf |= D3DFVF_TEX1;
    }
    return fvf;
}

}  // namespace

MeshGeometry BuildGeometry(const xfile::Scene& scene) {
    MeshGeometry geometry;
    geometry.fvf = SceneFvf(scene);
    uint64_t firstAttribute = 0;
    for (const xfile::MeshData& mesh : scene.meshes) {
        VertexSplitter splitter(mesh, geometry);
        AppendPositions(mesh, geometry);
        AppendFans(mesh, static_cast<DWORD>(firstAttribute), splitter, geometry);
        firstAttribute += mesh.materialCount;
        if (firstAttribute > UINT32_MAX) throw xfile::FormatError("too many materials");
    }
    return geometry;
}

}  // namespace d3dxmesh

// ==== Loading ====

namespace {

// Empty when the file cannot be opened; FormatError past the size limit.
bool ReadWholeFile(const char* path, std::string& bytes) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) return false;
    std::streamoff size = file.tellg();
    if (size < 0) return false;
    if (static_cast<uint64_t>(size) > xfile::kMaxFileBytes) throw xfile::FormatError("file too large");
    bytes.resize(static_cast<size_t>(size));
    file.seekg(0);
    return static_cast<bool>(file.read(bytes.data(), size));
}

HRESULT BuildMesh(std::string_view bytes, DWORD options, IDirect3DDevice9* device, ID3DXMesh** ppMesh) {
    d3dxmesh::MeshGeometry geometry = d3dxmesh::BuildGeometry(xfile::ReadScene(bytes));
    if (geometry.attributes.empty()) return E_FAIL;
    return d3dxmesh::CreateMesh(device, options, geometry, ppMesh);
}

HRESULT LoadFile(const char* path, DWORD options, IDirect3DDevice9* device, ID3DXMesh** ppMesh) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) return E_FAIL;
    return BuildMesh(bytes, options, device, ppMesh);
}

// Internal exceptions become the results D3DX reports.
template <class Load>
HRESULT Guarded(Load load) {
    try {
        return load();
    } catch (const xfile::FormatError&) {
        return D3DXERR_INVALIDDATA;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::length_error&) {
        return E_OUTOFMEMORY;
    }
}

template <class T>
void Clear(T* out) {
    if (out) *out = T{};
}

void ClearOutputs(LPD3DXBUFFER* ppAdjacency, LPD3DXBUFFER* ppMaterials, LPD3DXBUFFER* ppEffectInstances,
                  DWORD* pNumMaterials, LPD3DXMESH* ppMesh) {
    Clear(ppAdjacency);
    Clear(ppMaterials);
    Clear(ppEffectInstances);
    Clear(pNumMaterials);
    Clear(ppMesh);
}

}  // namespace

HRESULT WINAPI D3DXLoadMeshFromXA(LPCSTR pFilename, DWORD Options, LPDIRECT3DDEVICE9 pD3DDevice,
                                  LPD3DXBUFFER* ppAdjacency, LPD3DXBUFFER* ppMaterials,
                                  LPD3DXBUFFER* ppEffectInstances, DWORD* pNumMaterials, LPD3DXMESH* ppMesh) {
    ClearOutputs(ppAdjacency, ppMaterials, ppEffectInstances, pNumMaterials, ppMesh);
    if (!pFilename || !pD3DDevice || !ppMesh) return D3DERR_INVALIDCALL;
    return Guarded([&] { return LoadFile(pFilename, Options, pD3DDevice, ppMesh); });
}

HRESULT WINAPI D3DXLoadMeshFromXInMemory(LPCVOID Memory, DWORD SizeOfMemory, DWORD Options,
                                         LPDIRECT3DDEVICE9 pD3DDevice, LPD3DXBUFFER* ppAdjacency,
                                         LPD3DXBUFFER* ppMaterials, LPD3DXBUFFER* ppEffectInstances,
                                         DWORD* pNumMaterials, LPD3DXMESH* ppMesh) {
    ClearOutputs(ppAdjacency, ppMaterials, ppEffectInstances, pNumMaterials, ppMesh);
    if ((!Memory && SizeOfMemory) || !pD3DDevice || !ppMesh) return D3DERR_INVALIDCALL;
    if (SizeOfMemory > xfile::kMaxFileBytes) return D3DXERR_INVALIDDATA;
    std::string_view bytes(static_cast<const char*>(Memory), SizeOfMemory);
    return Guarded([&] { return BuildMesh(bytes, Options, pD3DDevice, ppMesh); });
}
