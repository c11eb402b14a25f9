// D3DX 9 meshes: ID3DXBaseMesh, ID3DXMesh, the shape creators and the .x file
// loader, with the SDK's names, signatures, method order and flag values for
// the subset that is implemented.
//
// A mesh is an indexed triangle list in a vertex buffer and an index buffer
// created through its device, plus one attribute id per face. The shapes have
// position + normal vertices (D3DFVF_XYZ | D3DFVF_NORMAL) and 16-bit indices.
//
// Index
//   ==== Options and result codes ====
//   ==== Descriptions ====
//   ==== Interfaces ====
//   ==== Shapes ====
//   ==== Loading .x files ====
#pragma once

#include "platform/d3d9interfaces.h"
#include "platform/d3dxfvf.h"  // D3DXGetFVFVertexSize belongs with the mesh functions in the SDK
#include "platform/export.h"
#include "platform/wintypes.h"

// ==== Options and result codes ====

// Options of mesh creation and loading (D3DXMESH). The VB_ / IB_ bits apply
// to one buffer; the combined values to both.
enum _D3DXMESH {
    D3DXMESH_32BIT = 0x001,  // 32-bit indices
    D3DXMESH_DONOTCLIP = 0x002,
    D3DXMESH_POINTS = 0x004,
    D3DXMESH_RTPATCHES = 0x008,
    D3DXMESH_NPATCHES = 0x4000,
    D3DXMESH_VB_SYSTEMMEM = 0x010,
    D3DXMESH_VB_MANAGED = 0x020,
    D3DXMESH_VB_WRITEONLY = 0x040,
    D3DXMESH_VB_DYNAMIC = 0x080,
    D3DXMESH_VB_SOFTWAREPROCESSING = 0x8000,
    D3DXMESH_IB_SYSTEMMEM = 0x100,
    D3DXMESH_IB_MANAGED = 0x200,
    D3DXMESH_IB_WRITEONLY = 0x400,
    D3DXMESH_IB_DYNAMIC = 0x800,
    D3DXMESH_IB_SOFTWAREPROCESSING = 0x10000,
    D3DXMESH_VB_SHARE = 0x1000,
    D3DXMESH_USEHWONLY = 0x2000,
    D3DXMESH_SYSTEMMEM = 0x110,
    D3DXMESH_MANAGED = 0x220,
    D3DXMESH_WRITEONLY = 0x440,
    D3DXMESH_DYNAMIC = 0x880,
    D3DXMESH_SOFTWAREPROCESSING = 0x18000,
};

#ifndef MAKE_DDHRESULT
#define _FACDD 0x876
#define MAKE_DDHRESULT(code) MAKE_HRESULT(1, _FACDD, code)
#endif
#ifndef D3DXERR_INVALIDDATA
#define D3DXERR_INVALIDDATA MAKE_DDHRESULT(2905)
#endif

// ==== Descriptions ====

// A run of faces sharing one attribute id, and the vertices they use.
struct D3DXATTRIBUTERANGE {
    DWORD AttribId;
    DWORD FaceStart;
    DWORD FaceCount;
    DWORD VertexStart;
    DWORD VertexCount;
};
typedef D3DXATTRIBUTERANGE* LPD3DXATTRIBUTERANGE;

// ==== Interfaces ====

struct ID3DXBuffer;  // declared with the effects
typedef ID3DXBuffer* LPD3DXBUFFER;

extern PLATFORM_API const IID IID_ID3DXBaseMesh;
extern PLATFORM_API const IID IID_ID3DXMesh;

struct ID3DXBaseMesh : IUnknown {
    // Draws the faces whose attribute id is AttribId through the device:
    // stream 0, indices, FVF, then one indexed triangle list per run of faces.
    virtual HRESULT DrawSubset(DWORD AttribId) = 0;
    virtual DWORD GetNumFaces() = 0;
    virtual DWORD GetNumVertices() = 0;
    virtual DWORD GetFVF() = 0;
    virtual DWORD GetNumBytesPerVertex() = 0;
    virtual DWORD GetOptions() = 0;
    virtual HRESULT GetDevice(LPDIRECT3DDEVICE9* ppDevice) = 0;
    // Both add a reference to the buffer they return; the caller releases it.
    virtual HRESULT GetVertexBuffer(LPDIRECT3DVERTEXBUFFER9* ppVB) = 0;
    virtual HRESULT GetIndexBuffer(LPDIRECT3DINDEXBUFFER9* ppIB) = 0;
    virtual HRESULT LockVertexBuffer(DWORD Flags, LPVOID* ppData) = 0;
    virtual HRESULT UnlockVertexBuffer() = 0;
    virtual HRESULT LockIndexBuffer(DWORD Flags, LPVOID* ppData) = 0;
    virtual HRESULT UnlockIndexBuffer() = 0;
    // One entry per run of consecutive faces with the same attribute id, in
    // face order. pAttribTable null: only the entry count is written.
    virtual HRESULT GetAttributeTable(D3DXATTRIBUTERANGE* pAttribTable, DWORD* pAttribTableSize) = 0;
};
typedef ID3DXBaseMesh* LPD3DXBASEMESH;

struct ID3DXMesh : ID3DXBaseMesh {
    // One DWORD attribute id per face; unlocking rebuilds the attribute table.
    virtual HRESULT LockAttributeBuffer(DWORD Flags, DWORD** ppData) = 0;
    virtual HRESULT UnlockAttributeBuffer() = 0;
};
typedef ID3DXMesh* LPD3DXMESH;

// ==== Shapes ====
// All four return a managed-pool mesh with position + normal vertices, 16-bit
// indices and attribute id 0 on every face, front faces wound clockwise as
// D3D culls by default. ppAdjacency is accepted and always set to null.
// Negative sizes or too few segments: D3DERR_INVALIDCALL and a null mesh.

// Centred on the origin: 24 vertices (four per side, each with the side's
// normal) and 12 faces.
PLATFORM_API HRESULT WINAPI D3DXCreateBox(LPDIRECT3DDEVICE9 pDevice, FLOAT Width, FLOAT Height, FLOAT Depth,
                                          LPD3DXMESH* ppMesh, LPD3DXBUFFER* ppAdjacency);

// Poles on the z axis; Slices ≥ 2 around it, Stacks ≥ 2 from pole to pole:
// Slices·(Stacks−1)+2 vertices, 2·Slices·(Stacks−1) faces.
PLATFORM_API HRESULT WINAPI D3DXCreateSphere(LPDIRECT3DDEVICE9 pDevice, FLOAT Radius, UINT Slices, UINT Stacks,
                                             LPD3DXMESH* ppMesh, LPD3DXBUFFER* ppAdjacency);

// Along z from −Length/2 (Radius1) to +Length/2 (Radius2), both ends capped;
// Slices ≥ 2, Stacks ≥ 1: Slices·(Stacks+3)+2 vertices, 2·Slices·(Stacks+1)
// faces. A length of 0 gives a flat disc with finite normals.
PLATFORM_API HRESULT WINAPI D3DXCreateCylinder(LPDIRECT3DDEVICE9 pDevice, FLOAT Radius1, FLOAT Radius2,
                                               FLOAT Length, UINT Slices, UINT Stacks, LPD3DXMESH* ppMesh,
                                               LPD3DXBUFFER* ppAdjacency);

// In the xy plane around the z axis; OuterRadius reaches the middle of the
// tube, InnerRadius is the tube's radius. Sides ≥ 3 around the tube, Rings ≥ 3
// around the axis: Sides·Rings vertices, 2·Sides·Rings faces.
PLATFORM_API HRESULT WINAPI D3DXCreateTorus(LPDIRECT3DDEVICE9 pDevice, FLOAT InnerRadius, FLOAT OuterRadius,
                                            UINT Sides, UINT Rings, LPD3DXMESH* ppMesh, LPD3DXBUFFER* ppAdjacency);

// ==== Loading .x files ====

// Reads a text or uncompressed binary .x file and merges all its meshes into
// one: frame transforms baked into positions (and normals), n-gons split into
// fans from their first corner, face order kept. Vertices carry normals when
// any mesh has them and one texture coordinate set when any has them (zeros
// for meshes without). Attribute ids number the materials of all meshes in
// file order; a mesh without a material list has one.
//
// A position used with several normals gets one vertex per distinct normal
// (compared by value): the first keeps the position's own index, the others
// are appended after that mesh's positions in the order its faces use them.
//
// Indices are 16-bit unless D3DXMESH_32BIT is asked for or there are more than
// 65535 vertices. D3DXMESH_VB_/IB_SYSTEMMEM put a buffer in D3DPOOL_SYSTEMMEM,
// D3DXMESH_VB_/IB_DYNAMIC in D3DPOOL_DEFAULT, anything else in D3DPOOL_MANAGED.
//
// Materials and effect instances are not read: ppAdjacency, ppMaterials and
// ppEffectInstances are set to null and *pNumMaterials to 0.
// Results: D3DXERR_INVALIDDATA for a file that is not a well-formed .x file
// (compressed files included), E_FAIL when it cannot be read or holds no
// faces, E_OUTOFMEMORY, D3DERR_INVALIDCALL for bad arguments, or the device's
// failure from creating a buffer; on failure *ppMesh is null.
PLATFORM_API HRESULT WINAPI D3DXLoadMeshFromXA(LPCSTR pFilename, DWORD Options, LPDIRECT3DDEVICE9 pD3DDevice,
                                               LPD3DXBUFFER* ppAdjacency, LPD3DXBUFFER* ppMaterials,
                                               LPD3DXBUFFER* ppEffectInstances, DWORD* pNumMaterials,
                                               LPD3DXMESH* ppMesh);

#define D3DXLoadMeshFromX D3DXLoadMeshFromXA

// The same from SizeOfMemory bytes of a .x file in memory.
PLATFORM_API HRESULT WINAPI D3DXLoadMeshFromXInMemory(LPCVOID Memory, DWORD SizeOfMemory, DWORD Options,
                                                      LPDIRECT3DDEVICE9 pD3DDevice, LPD3DXBUFFER* ppAdjacency,
                                                      LPD3DXBUFFER* ppMaterials, LPD3DXBUFFER* ppEffectInstances,
                                                      DWORD* pNumMaterials, LPD3DXMESH* ppMesh);
