// Turns the meshes read from a .x file into one mesh geometry.
#pragma once

#include "d3dxmeshgeometry.h"
#include "xfilereader.h"

namespace d3dxmesh {

// Merges the scene's meshes as D3DXLoadMeshFromX describes (platform/d3dxmesh.h):
// fans from each face's first corner, vertices split where a position meets
// several normals, attribute ids offset by the materials of earlier meshes.
// Throws xfile::FormatError when the attribute ids would overflow.
MeshGeometry BuildGeometry(const xfile::Scene& scene);

}  // namespace d3dxmesh
