// Reading a mesh's buffers back in tests: positions, normals, indices and
// attribute ids as plain vectors.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "d3dx9.h"

struct MeshContents {
    std::vector<D3DXVECTOR3> positions;
    std::vector<D3DXVECTOR3> normals;  // empty without D3DFVF_NORMAL
    std::vector<uint32_t> indices;
    std::vector<DWORD> attributes;
};

inline D3DXVECTOR3 FloatsAt(const BYTE* bytes) {
    D3DXVECTOR3 v;
    std::memcpy(&v, bytes, sizeof(v));
    return v;
}

inline void ReadVertices(ID3DXMesh* mesh, MeshContents& contents) {
    void* data = nullptr;
    ASSERT_EQ(D3D_OK, mesh->LockVertexBuffer(D3DLOCK_READONLY, &data));
    const BYTE* bytes = static_cast<const BYTE*>(data);
    for (DWORD i = 0; i < mesh->GetNumVertices(); ++i, bytes += mesh->GetNumBytesPerVertex()) {
        contents.positions.push_back(FloatsAt(bytes));
        if (mesh->GetFVF() & D3DFVF_NORMAL) contents.normals.push_back(FloatsAt(bytes + sizeof(D3DXVECTOR3)));
    }
    ASSERT_EQ(D3D_OK, mesh->UnlockVertexBuffer());
}

inline void ReadIndices(ID3DXMesh* mesh, MeshContents& contents) {
    void* data = nullptr;
    ASSERT_EQ(D3D_OK, mesh->LockIndexBuffer(D3DLOCK_READONLY, &data));
    bool wide = mesh->GetOptions() & D3DXMESH_32BIT;
    for (DWORD i = 0; i < mesh->GetNumFaces() * 3; ++i) {
        uint32_t index = 0;
        std::memcpy(&index, static_cast<const BYTE*>(data) + i * (wide ? 4 : 2), wide ? 4 : 2);
        contents.indices.push_back(index);
    }
    ASSERT_EQ(D3D_OK, mesh->UnlockIndexBuffer());
}

inline MeshContents ReadMesh(ID3DXMesh* mesh) {
    MeshContents contents;
    ReadVertices(mesh, contents);
    ReadIndices(mesh, contents);
    DWORD* attributes = nullptr;
    EXPECT_EQ(D3D_OK, mesh->LockAttributeBuffer(D3DLOCK_READONLY, &attributes));
    contents.attributes.assign(attributes, attributes + mesh->GetNumFaces());
    EXPECT_EQ(D3D_OK, mesh->UnlockAttributeBuffer());
    return contents;
}

// cross(b − a, c − a) of triangle `face`: points out of a front face.
inline D3DXVECTOR3 FaceNormal(const MeshContents& contents, size_t face) {
    const D3DXVECTOR3& a = contents.positions[contents.indices[face * 3]];
    D3DXVECTOR3 ab = contents.positions[contents.indices[face * 3 + 1]] - a;
    D3DXVECTOR3 ac = contents.positions[contents.indices[face * 3 + 2]] - a;
    D3DXVECTOR3 cross;
    return *D3DXVec3Cross(&cross, &ab, &ac);
}
