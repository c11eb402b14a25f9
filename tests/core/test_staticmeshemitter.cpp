#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <platform/crt_rand.h>
#include <platform/d3dxarchive.h>
#include <platform/swdevice.h>

#include "UtilsSrc/cmyxmlparser.h"
#include "support_doubles.h"

using Vastrel::Utils::CMyXMLNode;
using Vastrel::Utils::CMyXMLParser;

namespace {

const char* const kTiger = PYRELUNE_TESTDATA_DIR "/xfiles/dxsdk_tiger.x";
const char* const kCube = PYRELUNE_TESTDATA_DIR "/xfiles/assimp_test_cube_binary.x";

// Without ".." steps: relative paths are computed from the names as written.
CString DocumentInTestData() {
    const std::string folder = std::filesystem::weakly_canonical(PYRELUNE_TESTDATA_DIR "/xfiles").string();
    return CString((folder + "/effect.xml").c_str());
}

const std::vector<D3DXVECTOR3> kTriangle = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
const std::vector<D3DXVECTOR3> kQuad = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};

float Unit(int r) { return static_cast<float>(r * 3.051850947599719e-5); }

// Barycentric test in the z = 0 plane.
bool InTriangle(const D3DXVECTOR3& p, const D3DXVECTOR3& a, const D3DXVECTOR3& b, const D3DXVECTOR3& c) {
    const float d = (b.y - c.y) * (a.x - c.x) + (c.x - b.x) * (a.y - c.y);
    const float u = ((b.y - c.y) * (p.x - c.x) + (c.x - b.x) * (p.y - c.y)) / d;
    const float v = ((c.y - a.y) * (p.x - c.x) + (a.x - c.x) * (p.y - c.y)) / d;
    const float eps = 1e-5f;
    return p.z == 0.0f && u >= -eps && v >= -eps && u + v <= 1.0f + eps;
}

bool IsOneOf(const D3DXVECTOR3& p, const std::vector<D3DXVECTOR3>& positions) {
    return std::find(positions.begin(), positions.end(), p) != positions.end();
}

struct MeshFixture : ::testing::Test {
    CTestDevice device;
    std::vector<IUnknown*> owned;

    ~MeshFixture() override {
        for (IUnknown* object : owned) object->Release();
    }

    IDirect3DVertexBuffer9* Vertices(const std::vector<D3DXVECTOR3>& positions) {
        IDirect3DVertexBuffer9* buffer = nullptr;
        const UINT size = static_cast<UINT>(positions.size() * sizeof(D3DXVECTOR3));
        EXPECT_EQ(D3D_OK, device.Get()->CreateVertexBuffer(size, 0, D3DFVF_XYZ, D3DPOOL_MANAGED, &buffer, nullptr));
        Fill(buffer, positions.data(), size);
        owned.push_back(buffer);
        return buffer;
    }

    template <class Index>
    IDirect3DIndexBuffer9* Indices(const std::vector<Index>& indices) {
        IDirect3DIndexBuffer9* buffer = nullptr;
        const UINT size = static_cast<UINT>(indices.size() * sizeof(Index));
        const D3DFORMAT format = sizeof(Index) == 2 ? D3DFMT_INDEX16 : D3DFMT_INDEX32;
        EXPECT_EQ(D3D_OK, device.Get()->CreateIndexBuffer(size, 0, format, D3DPOOL_MANAGED, &buffer, nullptr));
        Fill(buffer, indices.data(), size);
        owned.push_back(buffer);
        return buffer;
    }

    template <class Buffer>
    static void Fill(Buffer* buffer, const void* data, UINT size) {
        void* target = nullptr;
        ASSERT_EQ(D3D_OK, buffer->Lock(0, size, &target, 0));
        std::memcpy(target, data, size);
        buffer->Unlock();
    }

    template <class Index>
    std::unique_ptr<CStaticMeshEmitter> FromBuffers(const std::vector<D3DXVECTOR3>& positions,
                                                    const std::vector<Index>& indices, bool faceEmit,
                                                    unsigned int indexCount) {
        return std::make_unique<CStaticMeshEmitter>(device.Get(), Vertices(positions), D3DFVF_XYZ, 12,
                                                    static_cast<unsigned int>(positions.size()), Indices(indices),
                                                    indexCount, faceEmit, CString());
    }

    // (vertices, faces) the debug drawing hands to the device.
    std::pair<UINT, UINT> DrawnCounts(const CStaticMeshEmitter& emitter) {
        swdevice::ClearDrawLog(device.Get());
        D3DXMATRIX identity;
        device.Get()->BeginScene();
        emitter.Render(*D3DXMatrixIdentity(&identity));
        device.Get()->EndScene();
        const std::vector<swdevice::DrawRecord> log = swdevice::DrawLog(device.Get());
        if (log.empty()) return {0, 0};
        return {log.back().numVertices, log.back().primitiveCount};
    }
};

std::vector<D3DXVECTOR3> Sample(const IEmitter& emitter, int count) {
    crt::srand(3);
    std::vector<D3DXVECTOR3> points;
    for (int i = 0; i < count; ++i) points.push_back(emitter.GetEmitPoint());
    return points;
}

}  // namespace

TEST_F(MeshFixture, WithoutGeometryEmitsTheUntransformedOrigin) {
    CStaticMeshEmitter emitter(device.Get());
    D3DXMATRIX m;
    emitter.SetMatrix(*D3DXMatrixTranslation(&m, 4.0f, 5.0f, 6.0f));
    emitter.RefreshRotationMatrix(0.0f);
    EXPECT_EQ(D3DXVECTOR3(0.0f, 0.0f, 0.0f), emitter.GetEmitPoint());
}

TEST_F(MeshFixture, XFilesLoadWithTheirCounts) {
    struct Row {
        const char* file;
        UINT vertices, faces;
    };
    const Row rows[] = {{kTiger, 303, 602}, {kCube, 24, 12}};
    for (const Row& row : rows) {
        CStaticMeshEmitter emitter(device.Get(), row.file, true);
        EXPECT_EQ(CString(row.file), emitter.GetFileName());
        EXPECT_EQ(std::make_pair(row.vertices, row.faces), DrawnCounts(emitter)) << row.file;
    }
}

TEST_F(MeshFixture, MissingFileReportsAndKeepsTheGeometry) {
    CStaticMeshEmitter emitter(device.Get(), kCube, false);
    const std::vector<D3DXVECTOR3> before = Sample(emitter, 50);
    CReportCatcher reports;
    EXPECT_FALSE(emitter.SetMesh(CString(PYRELUNE_TESTDATA_DIR "/xfiles/no_such_file.x")));
    EXPECT_EQ(std::vector<int>{113}, reports.ids);
    EXPECT_EQ(before, Sample(emitter, 50));
}

TEST_F(MeshFixture, VertexEmissionPicksEachVertexEvenly) {
    auto emitter = FromBuffers<WORD>(kTriangle, {0, 1, 2}, false, 3);
    int hits[3] = {};
    for (const D3DXVECTOR3& p : Sample(*emitter, 3000)) {
        const auto found = std::find(kTriangle.begin(), kTriangle.end(), p);
        ASSERT_NE(kTriangle.end(), found);
        ++hits[found - kTriangle.begin()];
    }
    for (int hit : hits) EXPECT_NEAR(1000, hit, 100);
}

TEST_F(MeshFixture, FaceEmissionStaysInsideTheTriangles) {
    auto one = FromBuffers<WORD>(kTriangle, {0, 1, 2}, true, 3);
    for (const D3DXVECTOR3& p : Sample(*one, 2000)) ASSERT_TRUE(InTriangle(p, kTriangle[0], kTriangle[1], kTriangle[2]));

    // The truncated face draw reaches the second face only on rand() == 32767.
    auto two = FromBuffers<WORD>(kQuad, {0, 1, 2, 1, 3, 2}, true, 6);
    int onFirst = 0;
    for (const D3DXVECTOR3& p : Sample(*two, 2000)) onFirst += InTriangle(p, kQuad[0], kQuad[1], kQuad[2]);
    EXPECT_GE(onFirst, 1995);
}

// The exact point, from known draws, also proves the 16-bit indices were widened.
TEST_F(MeshFixture, FacePointFollowsTheDrawOrder) {
    auto emitter = FromBuffers<WORD>(kTriangle, {0, 1, 2}, true, 3);
    crt::srand(21);
    const int face = crt::rand();
    const float u1 = Unit(crt::rand()), u2 = Unit(crt::rand()), u3 = Unit(crt::rand());
    const int next = crt::rand();
    ASSERT_NE(32767, face);
    const D3DXVECTOR3 p1 = kTriangle[0] + (kTriangle[1] - kTriangle[0]) * u1;
    const D3DXVECTOR3 p2 = kTriangle[2] + (kTriangle[1] - kTriangle[2]) * u2;
    const D3DXVECTOR3 expected = p1 + (p2 - p1) * u3;
    crt::srand(21);
    const D3DXVECTOR3 got = emitter->GetEmitPoint();
    EXPECT_NEAR(expected.x, got.x, 1e-6f);
    EXPECT_NEAR(expected.y, got.y, 1e-6f);
    EXPECT_EQ(next, crt::rand());
}

TEST_F(MeshFixture, ThirtyTwoBitIndicesWork) {
    auto emitter = FromBuffers<DWORD>(kQuad, {3, 2, 1}, true, 3);
    for (const D3DXVECTOR3& p : Sample(*emitter, 500)) ASSERT_TRUE(InTriangle(p, kQuad[3], kQuad[2], kQuad[1]));
}

TEST_F(MeshFixture, HostileGeometryNeverLeavesTheArrays) {
    struct Row {
        const char* label;
        std::vector<DWORD> indices;
        unsigned int indexCount;
        UINT facesKept;
    };
    const Row rows[] = {
        {"index count not a multiple of 3", {0, 1, 2, 3}, 4, 1},
        {"index past the vertex array", {0, 1, 2, 0, 1, 99}, 6, 1},
        {"zero faces, two indices", {0, 1}, 2, 0},
        {"count larger than the buffer", {0, 1, 2}, 3000, 1},
        {"huge index only", {0xFFFFFFFF, 1, 2}, 3, 0},
    };
    for (const Row& row : rows) {
        auto emitter = FromBuffers<DWORD>(kQuad, row.indices, true, row.indexCount);
        for (const D3DXVECTOR3& p : Sample(*emitter, 300)) {
            const bool onKept = row.facesKept ? InTriangle(p, kQuad[0], kQuad[1], kQuad[2]) : IsOneOf(p, kQuad);
            ASSERT_TRUE(onKept) << row.label;
        }
    }
}

TEST_F(MeshFixture, HostileVertexCountsAndStridesAreClamped) {
    IDirect3DVertexBuffer9* vertices = Vertices(kTriangle);
    IDirect3DIndexBuffer9* indices = Indices<WORD>({0, 1, 2});
    CStaticMeshEmitter tooMany(device.Get(), vertices, D3DFVF_XYZ, 12, 1000000, indices, 3, false, CString());
    for (const D3DXVECTOR3& p : Sample(tooMany, 300)) ASSERT_TRUE(IsOneOf(p, kTriangle));
    CStaticMeshEmitter noStride(device.Get(), vertices, D3DFVF_XYZ, 0, 3, indices, 3, true, CString());
    EXPECT_EQ(D3DXVECTOR3(0.0f, 0.0f, 0.0f), noStride.GetEmitPoint());
}

TEST_F(MeshFixture, SetMeshCopiesAndMovesByTheMatrix) {
    CStaticMeshEmitter emitter(device.Get());
    IDirect3DVertexBuffer9* vertices = Vertices(kTriangle);
    IDirect3DIndexBuffer9* indices = Indices<WORD>({0, 1, 2});
    EXPECT_FALSE(emitter.SetMesh(nullptr, indices, nullptr));
    EXPECT_FALSE(emitter.SetMesh(vertices, nullptr, nullptr));

    D3DXMATRIXA16 up;
    D3DXMatrixTranslation(&up, 0.0f, 10.0f, 0.0f);
    ASSERT_TRUE(emitter.SetMesh(vertices, indices, &up));
    emitter.SetFaceEmit(false);
    std::vector<D3DXVECTOR3> moved;
    for (const D3DXVECTOR3& p : kTriangle) moved.push_back(p + D3DXVECTOR3(0.0f, 10.0f, 0.0f));
    for (const D3DXVECTOR3& p : Sample(emitter, 300)) ASSERT_TRUE(IsOneOf(p, moved));
    EXPECT_EQ(std::make_pair(3u, 1u), DrawnCounts(emitter));

    ASSERT_TRUE(emitter.SetMesh(vertices, indices, nullptr));
    for (const D3DXVECTOR3& p : Sample(emitter, 300)) ASSERT_TRUE(IsOneOf(p, kTriangle));
    EXPECT_TRUE(emitter.GetFileName().IsEmpty());
}

TEST_F(MeshFixture, FactoryResolvesTheFileAgainstTheDocumentAndSavesItRelative) {
    CMyXMLParser parser(DocumentInTestData());
    CMyXMLNode node(&parser, "Emitter");
    node.SetAttribute("name", "tiger");
    node.SetAttribute("type", "STATICMESH_FROMXFILE");
    node.SetAttribute("fileName", "dxsdk_tiger.x");
    node.SetAttribute("emitType", "VERTEX");
    CEmitterManager registry;
    registry.LoadEmitter(device.Get(), &node);
    auto* emitter = dynamic_cast<CStaticMeshEmitter*>(registry.Get("tiger"));
    ASSERT_NE(nullptr, emitter);
    EXPECT_FALSE(emitter->GetFaceEmit());
    EXPECT_EQ(std::make_pair(303u, 602u), DrawnCounts(*emitter));

    CMyXMLNode saved(&parser, "Emitter");
    emitter->Save(&saved);
    CString fileName, emitType;
    saved.GetAttribute("fileName", fileName);
    saved.GetAttribute("emitType", emitType);
    EXPECT_EQ(CString(".\\dxsdk_tiger.x"), fileName);
    EXPECT_EQ(CString("VERTEX"), emitType);
}

TEST_F(MeshFixture, ElementWithoutEmitTypeEmitsFromFacesAndSavesFace) {
    CMyXMLParser parser(DocumentInTestData());
    CMyXMLNode node(&parser, "Emitter");
    node.SetAttribute("name", "cube");
    node.SetAttribute("type", "STATICMESH_FROMXFILE");
    node.SetAttribute("fileName", "assimp_test_cube_binary.x");
    CEmitterManager registry;
    registry.LoadEmitter(device.Get(), &node);
    IEmitter* emitter = registry.Get("cube");
    ASSERT_NE(nullptr, emitter);
    CMyXMLNode saved(&parser, "Emitter");
    emitter->Save(&saved);
    CString emitType;
    saved.GetAttribute("emitType", emitType);
    EXPECT_EQ(CString("FACE"), emitType);
}

TEST_F(MeshFixture, ArchiveReloadsFromTheFileOrReportsWithoutOne) {
    CStaticMeshEmitter fromFile(device.Get(), kCube, false);
    CMemFile file;
    {
        CArchive store(&file, CArchive::store);
        fromFile.Copy(store);
        CStaticMeshEmitter fromBuffers(device.Get(), Vertices(kTriangle), D3DFVF_XYZ, 12, 3,
                                       Indices<WORD>({0, 1, 2}), 3, true, CString());
        fromBuffers.Copy(store);
    }
    const ULONGLONG fileRecord = 104 + 4 + 4 + 1 + std::strlen(kCube) + 1;
    EXPECT_EQ(fileRecord + 104 + 4 + 4 + 1 + 1, file.GetLength());
    file.SeekToBegin();
    CArchive load(&file, CArchive::load);
    int type = -1;
    load >> type;
    CStaticMeshEmitter reloaded(device.Get(), load);
    EXPECT_FALSE(reloaded.GetFaceEmit());
    EXPECT_EQ(std::make_pair(24u, 12u), DrawnCounts(reloaded));
    EXPECT_EQ(Sample(fromFile, 50), Sample(reloaded, 50));

    CReportCatcher reports;
    load >> type;
    CStaticMeshEmitter empty(device.Get(), load);
    EXPECT_EQ(std::vector<int>{113}, reports.ids);
    EXPECT_EQ(D3DXVECTOR3(0.0f, 0.0f, 0.0f), empty.GetEmitPoint());
}

TEST_F(MeshFixture, CopiesHoldTheirOwnBufferReferences) {
    auto source = FromBuffers<WORD>(kTriangle, {0, 1, 2}, false, 3);
    CStaticMeshEmitter copy(*source);
    CStaticMeshEmitter assigned(device.Get(), kCube, true);
    assigned = copy;
    source.reset();
    EXPECT_EQ(std::make_pair(3u, 1u), DrawnCounts(assigned));
    for (const D3DXVECTOR3& p : Sample(copy, 100)) ASSERT_TRUE(IsOneOf(p, kTriangle));
}
