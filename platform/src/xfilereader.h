// Reads DirectX .x files (text and uncompressed binary) into a neutral
// description of their meshes. No device is involved: d3dxmeshbuilder turns
// the result into an ID3DXMesh.
//
// What is read: Frame (with its FrameTransformMatrix, nested frames
// multiplying), Mesh, MeshNormals, MeshTextureCoords and MeshMaterialList.
// Templates, data references ("{ name }") and every other object are skipped.
// The file is untrusted: anything it cannot describe throws FormatError.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/d3dxmath.h"
#include "xfiletokenizer.h"

namespace xfile {

// Faces as the file stores them: any number of corners each.
struct FaceList {
    std::vector<uint32_t> starts;   // offset of each face's first corner in corners
    std::vector<uint32_t> corners;  // indices of the corners, face after face

    size_t FaceCount() const { return starts.size(); }
    size_t CornerCount(size_t face) const;
};

struct MeshData {
    std::vector<D3DXVECTOR3> positions;  // frame transforms already applied
    FaceList faces;
    std::vector<D3DXVECTOR3> normals;  // empty when the mesh has none; transformed and unit length
    FaceList normalFaces;              // same shape as faces, indexing normals
    std::vector<D3DXVECTOR2> texcoords;  // empty, or one per position
    std::vector<uint32_t> faceMaterials;  // one per face, below materialCount
    uint32_t materialCount = 1;           // a mesh without a material list has one default material
};

// Every mesh of the file, in file order.
struct Scene {
    std::vector<MeshData> meshes;
};

// Throws FormatError; std::bad_alloc passes through.
Scene ReadScene(std::string_view file);

}  // namespace xfile
