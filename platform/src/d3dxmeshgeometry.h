// The device-independent form of a mesh that the shape creators and the .x
// loader build, and the one function that turns it into an ID3DXMesh.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/d3dxmath.h"
#include "platform/d3dxmesh.h"

namespace d3dxmesh {

constexpr size_t kMaxShortIndexVertices = 0xFFFF;  // more vertices need 32-bit indices

struct MeshVertex {
    D3DXVECTOR3 position{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 normal{0.0f, 0.0f, 0.0f};
    D3DXVECTOR2 texcoord{0.0f, 0.0f};
};

struct MeshGeometry {
    DWORD fvf = D3DFVF_XYZ;  // D3DFVF_XYZ, optionally | D3DFVF_NORMAL | D3DFVF_TEX1: the fields written
    std::vector<MeshVertex> vertices;
    std::vector<uint32_t> indices;  // three per face
    std::vector<DWORD> attributes;  // one per face
};

// Creates the buffers through the device (pools and usage from Options) and
// fills them. Indices are 32-bit with D3DXMESH_32BIT or more than 65535
// vertices. Returns the device's failure, or D3DERR_INVALIDCALL for options
// that name two pools for one buffer; *ppMesh stays null on failure.
HRESULT CreateMesh(IDirect3DDevice9* device, DWORD options, const MeshGeometry& geometry, ID3DXMesh** ppMesh);

}  // namespace d3dxmesh
