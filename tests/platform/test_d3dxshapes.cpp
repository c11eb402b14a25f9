#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "d3dxmesh_support.h"
#include "swdevice_fixture.h"

namespace {

using ShapeFactory = std::function<HRESULT(IDirect3DDevice9*, ID3DXMesh**)>;

struct ShapeCase {
    const char* label;
    ShapeFactory create;
    DWORD vertices;
    DWORD faces;
};

const ShapeCase kShapes[] = {
    {"box 2x4x6", [](auto* d, auto** m) { return D3DXCreateBox(d, 2, 4, 6, m, nullptr); }, 24, 12},
    {"sphere 8x8", [](auto* d, auto** m) { return D3DXCreateSphere(d, 3, 8, 8, m, nullptr); }, 8 * 7 + 2, 2 * 8 * 7},
    {"sphere 3x2", [](auto* d, auto** m) { return D3DXCreateSphere(d, 1, 3, 2, m, nullptr); }, 5, 6},
    {"cone 8x8", [](auto* d, auto** m) { return D3DXCreateCylinder(d, 2, 0, 4, 8, 8, m, nullptr); }, 8 * 11 + 2,
     2 * 8 * 9},
    {"cylinder 5x1", [](auto* d, auto** m) { return D3DXCreateCylinder(d, 1, 1, 2, 5, 1, m, nullptr); }, 5 * 4 + 2,
     2 * 5 * 2},
    {"torus 8x8", [](auto* d, auto** m) { return D3DXCreateTorus(d, 1, 5, 8, 8, m, nullptr); }, 64, 128},
    {"torus 3x5", [](auto* d, auto** m) { return D3DXCreateTorus(d, 0.5f, 2, 3, 5, m, nullptr); }, 15, 30},
};

class D3DXShapes : public SoftwareDeviceTest {
protected:
    ID3DXMesh* Create(const ShapeFactory& create) {
        ID3DXMesh* mesh = nullptr;
        EXPECT_EQ(D3D_OK, create(m_device, &mesh));
        return mesh;
    }

    // Builds the shape, hands its contents to check, releases it.
    void WithContents(const ShapeFactory& create, const std::function<void(const MeshContents&)>& check) {
        ID3DXMesh* mesh = Create(create);
        ASSERT_NE(nullptr, mesh);
        check(ReadMesh(mesh));
        EXPECT_EQ(0u, mesh->Release());
    }
};

float DistanceFromZAxis(const D3DXVECTOR3& p) { return std::hypot(p.x, p.y); }

TEST_F(D3DXShapes, HaveTheVertexAndFaceCountsAndFormatOfD3DX) {
    for (const ShapeCase& shape : kShapes) {
        SCOPED_TRACE(shape.label);
        ID3DXMesh* mesh = Create(shape.create);
        ASSERT_NE(nullptr, mesh);
        EXPECT_EQ(shape.vertices, mesh->GetNumVertices());
        EXPECT_EQ(shape.faces, mesh->GetNumFaces());
        EXPECT_EQ(DWORD{D3DFVF_XYZ | D3DFVF_NORMAL}, mesh->GetFVF());
        EXPECT_EQ(24u, mesh->GetNumBytesPerVertex());
        IDirect3DIndexBuffer9* indices = nullptr;
        ASSERT_EQ(D3D_OK, mesh->GetIndexBuffer(&indices));
        D3DINDEXBUFFER_DESC desc{};
        indices->GetDesc(&desc);
        EXPECT_EQ(D3DFMT_INDEX16, desc.Format);
        EXPECT_EQ(D3DPOOL_MANAGED, desc.Pool);
        EXPECT_EQ(shape.faces * 6, desc.Size);
        EXPECT_EQ(1u, indices->Release());
        EXPECT_EQ(0u, mesh->Release());
    }
}

TEST_F(D3DXShapes, WindEveryFaceClockwiseSeenFromOutsideWithUnitNormals) {
    for (const ShapeCase& shape : kShapes) {
        SCOPED_TRACE(shape.label);
        WithContents(shape.create, [](const MeshContents& mesh) {
            for (const D3DXVECTOR3& normal : mesh.normals) EXPECT_NEAR(1.0f, D3DXVec3Length(&normal), 1e-5f);
            for (size_t face = 0; face < mesh.attributes.size(); ++face) {
                D3DXVECTOR3 outward = mesh.normals[mesh.indices[face * 3]] + mesh.normals[mesh.indices[face * 3 + 1]] +
                                      mesh.normals[mesh.indices[face * 3 + 2]];
                D3DXVECTOR3 winding = FaceNormal(mesh, face);
                EXPECT_GE(D3DXVec3Dot(&winding, &outward), 0.0f) << "face " << face;
                EXPECT_EQ(0u, mesh.attributes[face]);
            }
        });
    }
}

TEST_F(D3DXShapes, BoxSpansItsSizeCentredOnTheOrigin) {
    WithContents([](auto* d, auto** m) { return D3DXCreateBox(d, 2, 4, 6, m, nullptr); },
                 [](const MeshContents& mesh) {
                     for (const D3DXVECTOR3& p : mesh.positions) {
                         EXPECT_FLOAT_EQ(1.0f, std::fabs(p.x));
                         EXPECT_FLOAT_EQ(2.0f, std::fabs(p.y));
                         EXPECT_FLOAT_EQ(3.0f, std::fabs(p.z));
                     }
                 });
}

TEST_F(D3DXShapes, SphereVerticesLieAtTheRadiusWithPolesOnZ) {
    WithContents([](auto* d, auto** m) { return D3DXCreateSphere(d, 3, 8, 8, m, nullptr); },
                 [](const MeshContents& mesh) {
                     for (size_t i = 0; i < mesh.positions.size(); ++i) {
                         EXPECT_NEAR(3.0f, D3DXVec3Length(&mesh.positions[i]), 1e-5f);
                         D3DXVECTOR3 scaled = mesh.normals[i] * 3.0f - mesh.positions[i];
                         EXPECT_NEAR(0.0f, D3DXVec3Length(&scaled), 1e-5f);
                     }
                     EXPECT_FLOAT_EQ(3.0f, mesh.positions.front().z);
                     EXPECT_FLOAT_EQ(-3.0f, mesh.positions.back().z);
                 });
}

// Radius 1 at −length/2, radius 2 at +length/2; caps included.
TEST_F(D3DXShapes, CylinderRunsAlongZFromRadius1ToRadius2) {
    WithContents([](auto* d, auto** m) { return D3DXCreateCylinder(d, 2, 0.5f, 4, 8, 3, m, nullptr); },
                 [](const MeshContents& mesh) {
                     int atBottomRim = 0, atTopRim = 0;
                     for (const D3DXVECTOR3& p : mesh.positions) {
                         ASSERT_LE(std::fabs(p.z), 2.0f + 1e-6f);
                         float expected = 2.0f + (0.5f - 2.0f) * (p.z + 2.0f) / 4.0f;
                         float r = DistanceFromZAxis(p);
                         if (r > 1e-6f) {
                             EXPECT_NEAR(expected, r, 1e-5f) << "z " << p.z;
                         }
                         atBottomRim += p.z == -2.0f && std::fabs(r - 2.0f) < 1e-5f;
                         atTopRim += p.z == 2.0f && std::fabs(r - 0.5f) < 1e-5f;
                     }
                     EXPECT_EQ(16, atBottomRim);  // side ring and cap rim
                     EXPECT_EQ(16, atTopRim);
                 });
}

TEST_F(D3DXShapes, FlatCylinderHasNoNaN) {
    WithContents([](auto* d, auto** m) { return D3DXCreateCylinder(d, 1, 2, 0, 6, 2, m, nullptr); },
                 [](const MeshContents& mesh) {
                     for (size_t i = 0; i < mesh.positions.size(); ++i) {
                         for (float value : {mesh.positions[i].x, mesh.positions[i].y, mesh.positions[i].z,
                                             mesh.normals[i].x, mesh.normals[i].y, mesh.normals[i].z}) {
                             ASSERT_TRUE(std::isfinite(value)) << "vertex " << i;
                         }
                     }
                 });
}

// Every vertex lies at the inner radius from the ring of the outer radius in the xy plane.
TEST_F(D3DXShapes, TorusTubeSurroundsTheOuterRingInTheXYPlane) {
    WithContents([](auto* d, auto** m) { return D3DXCreateTorus(d, 1, 5, 8, 8, m, nullptr); },
                 [](const MeshContents& mesh) {
                     for (const D3DXVECTOR3& p : mesh.positions) {
                         float ringDistance = std::hypot(DistanceFromZAxis(p) - 5.0f, p.z);
                         EXPECT_NEAR(1.0f, ringDistance, 1e-5f);
                     }
                 });
}

struct InvalidCall {
    const char* label;
    ShapeFactory create;
};

TEST_F(D3DXShapes, RejectInvalidArgumentsWithANullMesh) {
    const InvalidCall calls[] = {
        {"negative width", [](auto* d, auto** m) { return D3DXCreateBox(d, -1, 1, 1, m, nullptr); }},
        {"NaN depth", [](auto* d, auto** m) { return D3DXCreateBox(d, 1, 1, NAN, m, nullptr); }},
        {"null device", [](auto*, auto** m) { return D3DXCreateBox(nullptr, 1, 1, 1, m, nullptr); }},
        {"one slice", [](auto* d, auto** m) { return D3DXCreateSphere(d, 1, 1, 4, m, nullptr); }},
        {"one stack", [](auto* d, auto** m) { return D3DXCreateSphere(d, 1, 4, 1, m, nullptr); }},
        {"beyond 16-bit", [](auto* d, auto** m) { return D3DXCreateSphere(d, 1, 1000, 1000, m, nullptr); }},
        {"huge counts", [](auto* d, auto** m) { return D3DXCreateTorus(d, 1, 2, 0xFFFFFFFF, 0xFFFFFFFF, m, nullptr); }},
        {"negative length", [](auto* d, auto** m) { return D3DXCreateCylinder(d, 1, 1, -1, 4, 1, m, nullptr); }},
        {"zero stacks", [](auto* d, auto** m) { return D3DXCreateCylinder(d, 1, 1, 1, 4, 0, m, nullptr); }},
        {"two sides", [](auto* d, auto** m) { return D3DXCreateTorus(d, 1, 2, 2, 8, m, nullptr); }},
    };
    for (const InvalidCall& call : calls) {
        SCOPED_TRACE(call.label);
        ID3DXMesh* mesh = reinterpret_cast<ID3DXMesh*>(0x1);
        EXPECT_EQ(D3DERR_INVALIDCALL, call.create(m_device, &mesh));
        EXPECT_EQ(nullptr, mesh);
    }
    EXPECT_EQ(D3DERR_INVALIDCALL, D3DXCreateBox(m_device, 1, 1, 1, nullptr, nullptr));
}

TEST_F(D3DXShapes, DrawSubsetDrawsEveryFaceOfAttributeZeroOnly) {
    ID3DXMesh* mesh = Create([](auto* d, auto** m) { return D3DXCreateSphere(d, 1, 6, 4, m, nullptr); });
    ASSERT_NE(nullptr, mesh);
    IDirect3DVertexBuffer9* vertices = nullptr;
    ASSERT_EQ(D3D_OK, mesh->GetVertexBuffer(&vertices));
    swdevice::ClearDrawLog(m_device);
    ASSERT_EQ(D3D_OK, m_device->BeginScene());
    EXPECT_EQ(D3D_OK, mesh->DrawSubset(1));
    EXPECT_TRUE(swdevice::DrawLog(m_device).empty());
    EXPECT_EQ(D3D_OK, mesh->DrawSubset(0));
    ASSERT_EQ(D3D_OK, m_device->EndScene());
    auto log = swdevice::DrawLog(m_device);
    ASSERT_EQ(1u, log.size());
    EXPECT_EQ(D3DPT_TRIANGLELIST, log[0].primitiveType);
    EXPECT_TRUE(log[0].indexed);
    EXPECT_EQ(mesh->GetNumFaces(), log[0].primitiveCount);
    EXPECT_EQ(mesh->GetNumVertices(), log[0].numVertices);
    EXPECT_EQ(vertices, log[0].streamBuffer);
    EXPECT_EQ(24u, log[0].streamStride);
    EXPECT_EQ(DWORD{D3DFVF_XYZ | D3DFVF_NORMAL}, log[0].fvf);
    EXPECT_EQ(D3DFMT_INDEX16, log[0].indexFormat);
    m_device->SetStreamSource(0, nullptr, 0, 0);
    m_device->SetIndices(nullptr);
    EXPECT_EQ(1u, vertices->Release());
    EXPECT_EQ(0u, mesh->Release());
}

TEST_F(D3DXShapes, HoldTheirDeviceAndGiveBuffersWithAReference) {
    ID3DXMesh* mesh = Create([](auto* d, auto** m) { return D3DXCreateBox(d, 1, 1, 1, m, nullptr); });
    ASSERT_NE(nullptr, mesh);
    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(D3D_OK, mesh->GetDevice(&device));
    EXPECT_EQ(m_device, device);
    device->Release();
    IUnknown* unknown = nullptr;
    ASSERT_EQ(S_OK, mesh->QueryInterface(IID_ID3DXBaseMesh, reinterpret_cast<void**>(&unknown)));
    EXPECT_EQ(1u, unknown->Release());
    EXPECT_EQ(E_NOINTERFACE, mesh->QueryInterface(IID_IDirect3DVertexBuffer9, reinterpret_cast<void**>(&unknown)));
    IDirect3DVertexBuffer9* vertices = nullptr;
    ASSERT_EQ(D3D_OK, mesh->GetVertexBuffer(&vertices));
    EXPECT_EQ(0u, mesh->Release());
    EXPECT_EQ(0u, vertices->Release());  // the buffer outlives the mesh until its own last release
}

TEST_F(D3DXShapes, FailedBufferCreationReturnsTheDevicesErrorAndLeaksNothing) {
    for (UINT failing : {1u, 2u}) {
        SCOPED_TRACE(failing == 1 ? "vertex buffer fails" : "index buffer fails");
        ID3DXMesh* mesh = nullptr;
        swdevice::FailNextCreations(failing == 1 ? 1 : 0);
        if (failing == 2) swdevice::FailEveryCreation(swdevice::kIndexBuffer);
        EXPECT_EQ(D3DERR_OUTOFVIDEOMEMORY, D3DXCreateTorus(m_device, 1, 2, 4, 4, &mesh, nullptr));
        EXPECT_EQ(nullptr, mesh);
        swdevice::ClearFaults();
    }
}

}  // namespace
