// Index
//   ==== Geometry helpers ====
//   ==== Box ====
//   ==== Sphere ====
//   ==== Cylinder ====
//   ==== Torus ====
//   ==== Entry points ====
//
// Every triangle is wound so that cross(b − a, c − a) points out of the shape:
// clockwise seen from outside, the side D3DCULL_CCW keeps.
#include <cmath>
#include <cstdint>

#include "d3dxmeshgeometry.h"

namespace {

using d3dxmesh::MeshGeometry;
using d3dxmesh::MeshVertex;

// ==== Geometry helpers ====

constexpr float kTwoPi = 2.0f * D3DX_PI;

uint32_t AddVertex(MeshGeometry& geometry, const D3DXVECTOR3& position, const D3DXVECTOR3& normal) {
    MeshVertex vertex;
    vertex.position = position;
    vertex.normal = normal;
    geometry.vertices.push_back(vertex);
    return static_cast<uint32_t>(geometry.vertices.size() - 1);
}

void AddTriangle(MeshGeometry& geometry, uint32_t a, uint32_t b, uint32_t c) {
    geometry.indices.insert(geometry.indices.end(), {a, b, c});
    geometry.attributes.push_back(0);
}

// a b c d in clockwise order seen from outside.
void AddQuad(MeshGeometry& geometry, uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    AddTriangle(geometry, a, b, c);
    AddTriangle(geometry, a, c, d);
}

// The point of the unit circle in the xy plane at this fraction of a turn.
D3DXVECTOR3 CirclePoint(uint32_t step, uint32_t steps) {
    float angle = kTwoPi * static_cast<float>(step) / static_cast<float>(steps);
    return D3DXVECTOR3(std::cos(angle), std::sin(angle), 0.0f);
}

// Quads between two rows of `columns` vertices around the z axis; row upper
// lies towards +z of row lower.
void StitchRows(MeshGeometry& geometry, uint32_t upper, uint32_t lower, uint32_t columns) {
    for (uint32_t j = 0; j < columns; ++j) {
        uint32_t next = (j + 1) % columns;
        AddQuad(geometry, upper + j, lower + j, lower + next, upper + next);
    }
}

// Triangles from one apex to a closing row; facingUp picks the winding for a +z or −z side.
void FanToRow(MeshGeometry& geometry, uint32_t apex, uint32_t row, uint32_t columns, bool facingUp) {
    for (uint32_t j = 0; j < columns; ++j) {
        uint32_t next = (j + 1) % columns;
        if (facingUp) {
            AddTriangle(geometry, apex, row + j, row + next);
        } else {
            AddTriangle(geometry, apex, row + next, row + j);
        }
    }
}

bool IsSize(float value) { return value >= 0.0f; }  // false for NaN too

HRESULT Finish(IDirect3DDevice9* device, const MeshGeometry& geometry, LPD3DXMESH* ppMesh) {
    return d3dxmesh::CreateMesh(device, D3DXMESH_MANAGED, geometry, ppMesh);
}

// ==== Box ====

// Outward normal n and two edges with u × v = n.
struct BoxSide {
    D3DXVECTOR3 n, u, v;
};

const BoxSide kBoxSides[] = {
    {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},  {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
    {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}},  {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
    {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},  {{0, 0, -1}, {0, 1, 0}, {1, 0, 0}},
};

D3DXVECTOR3 Scaled(const D3DXVECTOR3& v, const D3DXVECTOR3& half) {
    return D3DXVECTOR3(v.x * half.x, v.y * half.y, v.z * half.z);
}

MeshGeometry BuildBox(const D3DXVECTOR3& half) {
    MeshGeometry geometry;
    geometry.fvf = D3DFVF_XYZ | D3DFVF_NORMAL;
    for (const BoxSide& side : kBoxSides) {
        uint32_t first = AddVertex(geometry, Scaled(side.n - side.u - side.v, half), side.n);
        AddVertex(geometry, Scaled(side.n + side.u - side.v, half), side.n);
        AddVertex(geometry, Scaled(side.n + side.u + side.v, half), side.n);
        AddVertex(geometry, Scaled(side.n - side.u + side.v, half), side.n);
        AddQuad(geometry, first, first + 1, first + 2, first + 3);
    }
    return geometry;
}

// ==== Sphere ====

// Ring `stack` (1 … stacks − 1) counted from the +z pole.
void AddSphereRing(MeshGeometry& geometry, float radius, uint32_t stack, uint32_t stacks, uint32_t slices) {
    float polar = D3DX_PI * static_cast<float>(stack) / static_cast<float>(stacks);
    for (uint32_t j = 0; j < slices; ++j) {
        D3DXVECTOR3 direction = CirclePoint(j, slices) * std::sin(polar);
        direction.z = std::cos(polar);
        AddVertex(geometry, direction * radius, direction);
    }
}

MeshGeometry BuildSphere(float radius, uint32_t slices, uint32_t stacks) {
    MeshGeometry geometry;
    geometry.fvf = D3DFVF_XYZ | D3DFVF_NORMAL;
    uint32_t top = AddVertex(geometry, D3DXVECTOR3(0, 0, radius), D3DXVECTOR3(0, 0, 1));
    for (uint32_t stack = 1; stack < stacks; ++stack) AddSphereRing(geometry, radius, stack, stacks, slices);
    uint32_t bottom = AddVertex(geometry, D3DXVECTOR3(0, 0, -radius), D3DXVECTOR3(0, 0, -1));
    uint32_t firstRow = top + 1;
    uint32_t lastRow = firstRow + (stacks - 2) * slices;
    FanToRow(geometry, top, firstRow, slices, true);
    for (uint32_t row = firstRow; row < lastRow; row += slices) StitchRows(geometry, row, row + slices, slices);
    FanToRow(geometry, bottom, lastRow, slices, false);
    return geometry;
}

// ==== Cylinder ====

struct Frustum {
    float radius1, radius2, length;  // radius1 at z = −length/2, radius2 at +length/2
};

// Scaling by the length (not dividing by it) keeps a flat cylinder's normals finite.
D3DXVECTOR3 SideNormal(const Frustum& shape, const D3DXVECTOR3& around) {
    D3DXVECTOR3 normal(around.x * shape.length, around.y * shape.length, shape.radius1 - shape.radius2);
    return *D3DXVec3Normalize(&normal, &normal);
}

// A row of vertices around the z axis at height z; normalAt maps the unit direction to the normal.
template <class NormalAt>
uint32_t AddCircle(MeshGeometry& geometry, float radius, float z, uint32_t slices, NormalAt normalAt) {
    uint32_t first = static_cast<uint32_t>(geometry.vertices.size());
    for (uint32_t j = 0; j < slices; ++j) {
        D3DXVECTOR3 around = CirclePoint(j, slices);
        AddVertex(geometry, D3DXVECTOR3(around.x * radius, around.y * radius, z), normalAt(around));
    }
    return first;
}

void AddCap(MeshGeometry& geometry, float radius, float z, uint32_t slices, bool facingUp) {
    D3DXVECTOR3 normal(0, 0, facingUp ? 1.0f : -1.0f);
    uint32_t centre = AddVertex(geometry, D3DXVECTOR3(0, 0, z), normal);
    uint32_t rim = AddCircle(geometry, radius, z, slices, [&](const D3DXVECTOR3&) { return normal; });
    FanToRow(geometry, centre, rim, slices, facingUp);
}

MeshGeometry BuildCylinder(const Frustum& shape, uint32_t slices, uint32_t stacks) {
    MeshGeometry geometry;
    geometry.fvf = D3DFVF_XYZ | D3DFVF_NORMAL;
    float halfLength = shape.length * 0.5f;
    AddCap(geometry, shape.radius1, -halfLength, slices, false);
    AddCap(geometry, shape.radius2, halfLength, slices, true);
    uint32_t lower = 0;
    for (uint32_t stack = 0; stack <= stacks; ++stack) {
        float t = static_cast<float>(stack) / static_cast<float>(stacks);
        float radius = shape.radius1 + (shape.radius2 - shape.radius1) * t;
        uint32_t row = AddCircle(geometry, radius, -halfLength + shape.length * t, slices,
                                 [&](const D3DXVECTOR3& around) { return SideNormal(shape, around); });
        if (stack > 0) StitchRows(geometry, row, lower, slices);
        lower = row;
    }
    return geometry;
}

// ==== Torus ====

MeshGeometry BuildTorus(float innerRadius, float outerRadius, uint32_t sides, uint32_t rings) {
    MeshGeometry geometry;
    geometry.fvf = D3DFVF_XYZ | D3DFVF_NORMAL;
    for (uint32_t ring = 0; ring < rings; ++ring) {
        D3DXVECTOR3 around = CirclePoint(ring, rings);
        for (uint32_t side = 0; side < sides; ++side) {
            D3DXVECTOR3 tube = CirclePoint(side, sides);
            D3DXVECTOR3 normal(tube.x * around.x, tube.x * around.y, tube.y);
            AddVertex(geometry, around * outerRadius + normal * innerRadius, normal);
        }
    }
    for (uint32_t ring = 0; ring < rings; ++ring) {
        uint32_t row = ring * sides, nextRow = (ring + 1) % rings * sides;
        for (uint32_t side = 0; side < sides; ++side) {
            uint32_t nextSide = (side + 1) % sides;
            AddQuad(geometry, row + side, nextRow + side, nextRow + nextSide, row + nextSide);
        }
    }
    return geometry;
}

// ==== Entry points ====

// Clears both outputs; false when the mesh cannot be returned.
bool PrepareOutputs(LPD3DXMESH* ppMesh, LPD3DXBUFFER* ppAdjacency) {
    if (ppAdjacency) *ppAdjacency = nullptr;
    if (ppMesh) *ppMesh = nullptr;
    return ppMesh != nullptr;
}

// The shapes always have 16-bit indices.
bool FitsShortIndices(uint64_t vertexCount) { return vertexCount <= d3dxmesh::kMaxShortIndexVertices; }

}  // namespace

HRESULT WINAPI D3DXCreateBox(LPDIRECT3DDEVICE9 pDevice, FLOAT Width, FLOAT Height, FLOAT Depth, LPD3DXMESH* ppMesh,
                             LPD3DXBUFFER* ppAdjacency) {
    if (!PrepareOutputs(ppMesh, ppAdjacency) || !pDevice) return D3DERR_INVALIDCALL;
    if (!IsSize(Width) || !IsSize(Height) || !IsSize(Depth)) return D3DERR_INVALIDCALL;
    return Finish(pDevice, BuildBox(D3DXVECTOR3(Width, Height, Depth) * 0.5f), ppMesh);
}

HRESULT WINAPI D3DXCreateSphere(LPDIRECT3DDEVICE9 pDevice, FLOAT Radius, UINT Slices, UINT Stacks,
                                LPD3DXMESH* ppMesh, LPD3DXBUFFER* ppAdjacency) {
    if (!PrepareOutputs(ppMesh, ppAdjacency) || !pDevice) return D3DERR_INVALIDCALL;
    if (!IsSize(Radius) || Slices < 2 || Stacks < 2) return D3DERR_INVALIDCALL;
    if (!FitsShortIndices(uint64_t{Slices} * (Stacks - 1) + 2)) return D3DERR_INVALIDCALL;
    return Finish(pDevice, BuildSphere(Radius, Slices, Stacks), ppMesh);
}

HRESULT WINAPI D3DXCreateCylinder(LPDIRECT3DDEVICE9 pDevice, FLOAT Radius1, FLOAT Radius2, FLOAT Length,
                                  UINT Slices, UINT Stacks, LPD3DXMESH* ppMesh, LPD3DXBUFFER* ppAdjacency) {
    if (!PrepareOutputs(ppMesh, ppAdjacency) || !pDevice) return D3DERR_INVALIDCALL;
    if (!IsSize(Radius1) || !IsSize(Radius2) || !IsSize(Length) || Slices < 2 || Stacks < 1) {
        return D3DERR_INVALIDCALL;
    }
    if (!FitsShortIndices(uint64_t{Slices} * (uint64_t{Stacks} + 3) + 2)) return D3DERR_INVALIDCALL;
    return Finish(pDevice, BuildCylinder(Frustum{Radius1, Radius2, Length}, Slices, Stacks), ppMesh);
}

HRESULT WINAPI D3DXCreateTorus(LPDIRECT3DDEVICE9 pDevice, FLOAT InnerRadius, FLOAT OuterRadius, UINT Sides,
                               UINT Rings, LPD3DXMESH* ppMesh, LPD3DXBUFFER* ppAdjacency) {
    if (!PrepareOutputs(ppMesh, ppAdjacency) || !pDevice) return D3DERR_INVALIDCALL;
    if (!IsSize(InnerRadius) || !IsSize(OuterRadius) || Sides < 3 || Rings < 3) return D3DERR_INVALIDCALL;
    if (!FitsShortIndices(uint64_t{Sides} * Rings)) return D3DERR_INVALIDCALL;
    return Finish(pDevice, BuildTorus(InnerRadius, OuterRadius, Sides, Rings), ppMesh);
}
