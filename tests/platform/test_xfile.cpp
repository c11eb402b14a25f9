// D3DXLoadMeshFromX on the sample files and on hostile input.
//
// Expected counts of the sample files were worked out by reading the files
// with a separate throwaway script (not this reader): per mesh, triangles =
// Σ (corners − 2) over its faces; vertices = positions + one more for every
// further distinct normal value a position is used with; totals over all meshes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>

#include "d3dxmesh_support.h"
#include "swdevice_fixture.h"

namespace {

std::string SampleFile(const char* name) { return std::string(PYRELUNE_TESTDATA_DIR) + "/xfiles/" + name; }

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

class XFileLoad : public SoftwareDeviceTest {
protected:
    HRESULT LoadFile(const std::string& path, ID3DXMesh** mesh, DWORD options = D3DXMESH_SYSTEMMEM) {
        return D3DXLoadMeshFromX(path.c_str(), options, m_device, nullptr, nullptr, nullptr, nullptr, mesh);
    }

    HRESULT LoadBytes(const std::string& bytes, ID3DXMesh** mesh, DWORD options = D3DXMESH_SYSTEMMEM) {
        return D3DXLoadMeshFromXInMemory(bytes.data(), static_cast<DWORD>(bytes.size()), options, m_device, nullptr,
                                         nullptr, nullptr, nullptr, mesh);
    }

    // Loads text that must be valid and returns what the mesh holds.
    MeshContents LoadText(const std::string& text) {
        ID3DXMesh* mesh = nullptr;
        EXPECT_EQ(D3D_OK, LoadBytes(text, &mesh));
        if (!mesh) return {};
        MeshContents contents = ReadMesh(mesh);
        EXPECT_EQ(0u, mesh->Release());
        return contents;
    }

    // Loads bytes that may be broken: either a mesh comes back or a clean failure.
    void ExpectCleanResult(const std::string& bytes) {
        ID3DXMesh* mesh = reinterpret_cast<ID3DXMesh*>(0x1);
        HRESULT hr = LoadBytes(bytes, &mesh);
        if (SUCCEEDED(hr)) {
            ASSERT_NE(nullptr, mesh);
            EXPECT_EQ(0u, mesh->Release());
            return;
        }
        EXPECT_TRUE(hr == D3DXERR_INVALIDDATA || hr == E_FAIL) << std::hex << hr;
        EXPECT_EQ(nullptr, mesh);
    }
};

const char kHeader[] = "xof 0303txt 0032\n";

// ==== Sample files ====

struct SampleCase {
    const char* file;
    DWORD vertices;
    DWORD faces;
    DWORD fvf;
};

const SampleCase kSamples[] = {
    {"assimp_test_cube_text.x", 24, 12, D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1},
    {"assimp_test_cube_binary.x", 24, 12, D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1},
    {"dxsdk_tiger.x", 303, 602, D3DFVF_XYZ | D3DFVF_TEX1},
    {"dxsdk_heli.x", 780, 793, D3DFVF_XYZ | D3DFVF_NORMAL},
    {"dxsdk_lobby_skybox.x", 24, 12, D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1},
    {"dxsdk_sphere0.x", 56, 108, D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1},
};

TEST_F(XFileLoad, LoadsEverySampleWithItsVertexAndFaceCounts) {
    for (const SampleCase& sample : kSamples) {
        SCOPED_TRACE(sample.file);
        ID3DXMesh* mesh = nullptr;
        ASSERT_EQ(D3D_OK, LoadFile(SampleFile(sample.file), &mesh));
        EXPECT_EQ(sample.vertices, mesh->GetNumVertices());
        EXPECT_EQ(sample.faces, mesh->GetNumFaces());
        EXPECT_EQ(sample.fvf, mesh->GetFVF());
        MeshContents contents = ReadMesh(mesh);
        for (uint32_t index : contents.indices) ASSERT_LT(index, sample.vertices);
        EXPECT_EQ(0u, mesh->Release());
    }
}

TEST_F(XFileLoad, TextAndBinaryCubeGiveTheSameGeometry) {
    MeshContents text = LoadText(ReadFile(SampleFile("assimp_test_cube_text.x")));
    MeshContents binary = LoadText(ReadFile(SampleFile("assimp_test_cube_binary.x")));
    ASSERT_EQ(text.positions.size(), binary.positions.size());
    EXPECT_EQ(text.indices, binary.indices);
    for (size_t i = 0; i < text.positions.size(); ++i) {
        D3DXVECTOR3 difference = text.positions[i] - binary.positions[i];
        EXPECT_NEAR(0.0f, D3DXVec3Length(&difference), 1e-6f) << "vertex " << i;
        EXPECT_EQ(text.normals[i], binary.normals[i]) << "vertex " << i;
    }
}

TEST_F(XFileLoad, SkyboxFrameScalesItsSixMeshes) {
    MeshContents skybox = LoadText(ReadFile(SampleFile("dxsdk_lobby_skybox.x")));
    ASSERT_EQ(24u, skybox.positions.size());
    for (const D3DXVECTOR3& p : skybox.positions) {
        EXPECT_FLOAT_EQ(3.0f, std::fabs(p.x));
        EXPECT_FLOAT_EQ(3.0f, std::fabs(p.y));
        EXPECT_FLOAT_EQ(3.0f, std::fabs(p.z));
    }
    EXPECT_EQ((std::vector<DWORD>{0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5}), skybox.attributes);
}

TEST_F(XFileLoad, OptionsChooseThePoolAndTheIndexWidth) {
    struct OptionCase {
        const char* label;
        DWORD options;
        D3DPOOL pool;
        D3DFORMAT format;
    };
    const OptionCase cases[] = {
        {"SYSTEMMEM", D3DXMESH_SYSTEMMEM, D3DPOOL_SYSTEMMEM, D3DFMT_INDEX16},
        {"MANAGED", D3DXMESH_MANAGED, D3DPOOL_MANAGED, D3DFMT_INDEX16},
        {"none", 0, D3DPOOL_MANAGED, D3DFMT_INDEX16},
        {"SYSTEMMEM | 32BIT", D3DXMESH_SYSTEMMEM | D3DXMESH_32BIT, D3DPOOL_SYSTEMMEM, D3DFMT_INDEX32},
    };
    for (const OptionCase& option : cases) {
        SCOPED_TRACE(option.label);
        ID3DXMesh* mesh = nullptr;
        ASSERT_EQ(D3D_OK, LoadFile(SampleFile("dxsdk_tiger.x"), &mesh, option.options));
        EXPECT_EQ(option.options, mesh->GetOptions());
        IDirect3DVertexBuffer9* vertices = nullptr;
        IDirect3DIndexBuffer9* indices = nullptr;
        ASSERT_EQ(D3D_OK, mesh->GetVertexBuffer(&vertices));
        ASSERT_EQ(D3D_OK, mesh->GetIndexBuffer(&indices));
        D3DVERTEXBUFFER_DESC vertexDesc{};
        D3DINDEXBUFFER_DESC indexDesc{};
        vertices->GetDesc(&vertexDesc);
        indices->GetDesc(&indexDesc);
        EXPECT_EQ(option.pool, vertexDesc.Pool);
        EXPECT_EQ(option.pool, indexDesc.Pool);
        EXPECT_EQ(option.format, indexDesc.Format);
        EXPECT_EQ(303u * D3DXGetFVFVertexSize(D3DFVF_XYZ | D3DFVF_TEX1), vertexDesc.Size);
        EXPECT_EQ(1u, vertices->Release());
        EXPECT_EQ(1u, indices->Release());
        EXPECT_EQ(0u, mesh->Release());
    }
}

TEST_F(XFileLoad, SwitchesTo32BitIndicesPast65535Vertices) {
    std::string text = std::string(kHeader) + "Mesh { 70000;";
    for (int i = 0; i < 70000; ++i) text += std::to_string(i) + ";0;0;,";
    text += "; 1; 3;0,1,69999;; }";
    ID3DXMesh* mesh = nullptr;
    ASSERT_EQ(D3D_OK, LoadBytes(text, &mesh));
    EXPECT_EQ(DWORD{D3DXMESH_SYSTEMMEM | D3DXMESH_32BIT}, mesh->GetOptions());
    EXPECT_EQ((std::vector<uint32_t>{0, 1, 69999}), ReadMesh(mesh).indices);
    EXPECT_EQ(0u, mesh->Release());
}

// ==== Geometry rules on small files ====

// Nested frames multiply (inner first); a mesh outside any frame stays put.
TEST_F(XFileLoad, NestedFrameTransformsApplyInnerFirst) {
    MeshContents mesh = LoadText(std::string(kHeader) + R"(
        Frame Outer {
          FrameTransformMatrix { 2,0,0,0, 0,2,0,0, 0,0,2,0, 10,0,0,1;; }
          Frame Inner {
            FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,1,0,1;; }
            Mesh { 3; 1;0;0;, 0;0;0;, 0;0;1;; 1; 3;0,1,2;; }
          }
        }
        Mesh Loose { 3; 1;0;0;, 0;0;0;, 0;0;1;; 1; 3;0,1,2;; }
    )");
    const D3DXVECTOR3 expected[] = {{12, 2, 0}, {10, 2, 0}, {10, 2, 2}, {1, 0, 0}, {0, 0, 0}, {0, 0, 1}};
    ASSERT_EQ(std::size(expected), mesh.positions.size());
    for (size_t i = 0; i < mesh.positions.size(); ++i) {
        EXPECT_EQ(expected[i], mesh.positions[i]) << "vertex " << i;
    }
    EXPECT_EQ((std::vector<uint32_t>{0, 1, 2, 3, 4, 5}), mesh.indices);
}

TEST_F(XFileLoad, SplitsNGonsIntoFansFromTheirFirstCorner) {
    MeshContents mesh = LoadText(std::string(kHeader) + R"(
        Mesh { 6; 0;0;0;, 1;0;0;, 2;1;0;, 1;2;0;, 0;2;0;, 5;5;5;;
               2; 5;0,1,2,3,4;, 3;5,0,4;; }
    )");
    EXPECT_EQ((std::vector<uint32_t>{0, 1, 2, 0, 2, 3, 0, 3, 4, 5, 0, 4}), mesh.indices);
}

// Two triangles share corners 0 and 2 but not their normals: those two get a
// second vertex each, appended in the order the faces use them.
TEST_F(XFileLoad, GivesAPositionOneVertexPerDistinctNormal) {
    MeshContents mesh = LoadText(std::string(kHeader) + R"(
        Mesh { 4; 0;0;0;, 1;0;0;, 1;1;0;, 0;1;0;;
               2; 3;0,1,2;, 3;0,2,3;;
          MeshNormals { 3; 0;0;-1;, 0;1;0;, 0;0;-1;;
                        2; 3;0,0,0;, 3;1,1,2;; } }
    )");
    ASSERT_EQ(6u, mesh.positions.size());
    EXPECT_EQ((std::vector<uint32_t>{0, 1, 2, 4, 5, 3}), mesh.indices);
    EXPECT_EQ(mesh.positions[0], mesh.positions[4]);
    EXPECT_EQ(mesh.positions[2], mesh.positions[5]);
    EXPECT_EQ(D3DXVECTOR3(0, 0, -1), mesh.normals[2]);
    EXPECT_EQ(D3DXVECTOR3(0, 1, 0), mesh.normals[5]);
    EXPECT_EQ(D3DXVECTOR3(0, 0, -1), mesh.normals[3]);  // same value as index 0: no split
}

// A short material list repeats its last entry; later meshes number their
// materials after the earlier ones'.
TEST_F(XFileLoad, NumbersMaterialsAcrossMeshesAndRepeatsTheLastListed) {
    ID3DXMesh* mesh = nullptr;
    ASSERT_EQ(D3D_OK, LoadBytes(std::string(kHeader) + R"(
        Material Shared { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; }
        Mesh { 4; 0;0;0;, 1;0;0;, 1;1;0;, 0;1;0;;
               3; 3;0,1,2;, 3;0,2,3;, 3;1,2,3;;
          MeshMaterialList { 2; 2; 0, 1;; { Shared } { Shared } } }
        Mesh { 3; 0;0;0;, 1;0;0;, 1;1;0;; 1; 3;0,1,2;; }
    )", &mesh));
    EXPECT_EQ((std::vector<DWORD>{0, 1, 1, 2}), ReadMesh(mesh).attributes);
    DWORD entries = 0;
    ASSERT_EQ(D3D_OK, mesh->GetAttributeTable(nullptr, &entries));
    ASSERT_EQ(3u, entries);
    D3DXATTRIBUTERANGE table[3];
    ASSERT_EQ(D3D_OK, mesh->GetAttributeTable(table, &entries));
    EXPECT_EQ(1u, table[1].AttribId);
    EXPECT_EQ(1u, table[1].FaceStart);
    EXPECT_EQ(2u, table[1].FaceCount);
    EXPECT_EQ(0u, table[1].VertexStart);
    EXPECT_EQ(4u, table[1].VertexCount);
    EXPECT_EQ(4u, table[2].VertexStart);
    EXPECT_EQ(0u, mesh->Release());
}

TEST_F(XFileLoad, ReadsBinaryWith64BitFloats) {
    std::string file = "xof 0303bin 0064";
    auto word = [&](uint16_t v) { file.append(reinterpret_cast<const char*>(&v), 2); };
    auto dword = [&](uint32_t v) { file.append(reinterpret_cast<const char*>(&v), 4); };
    word(1);
    dword(4);
    file += "Mesh";
    word(10);
    word(6);
    dword(1);
    dword(3);
    word(7);
    dword(9);
    for (double v : {0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 0.25, 0.0}) file.append(reinterpret_cast<const char*>(&v), 8);
    word(6);
    for (uint32_t v : {5, 1, 3, 0, 1, 2}) dword(v);
    word(11);
    MeshContents mesh = LoadText(file);
    ASSERT_EQ(3u, mesh.positions.size());
    EXPECT_EQ(D3DXVECTOR3(0, 0.25f, 0), mesh.positions[2]);
}

// ==== Hostile input ====

struct HostileCase {
    const char* label;
    std::string bytes;
    HRESULT expected;
};

std::string Text(const char* body) { return std::string(kHeader) + body; }

TEST_F(XFileLoad, RejectsBrokenFilesCleanly) {
    const HostileCase cases[] = {
        {"empty file", "", D3DXERR_INVALIDDATA},
        {"wrong magic", "xyz 0303txt 0032 Mesh {}", D3DXERR_INVALIDDATA},
        {"compressed", "xof 0303tzip0032 garbage", D3DXERR_INVALIDDATA},
        {"odd float size", "xof 0303txt 0016 ", D3DXERR_INVALIDDATA},
        {"no mesh", Text("Header { 1; 0; 1; }"), E_FAIL},
        {"mesh without faces", Text("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 0;; }"), E_FAIL},
        {"huge vertex count", Text("Mesh { 4000000000; 0;0;0;; 1; 3;0,0,0;; }"), D3DXERR_INVALIDDATA},
        {"huge face count", Text("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 99999999; 3;0,1,2;; }"), D3DXERR_INVALIDDATA},
        {"huge corner count", Text("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 4294967295;0,1,2;; }"),
         D3DXERR_INVALIDDATA},
        {"index past vertices", Text("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,3;; }"), D3DXERR_INVALIDDATA},
        {"two-corner face", Text("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 2;0,1;; }"), D3DXERR_INVALIDDATA},
        {"fractional count", Text("Mesh { 2.5; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }"), D3DXERR_INVALIDDATA},
        {"negative count", Text("Mesh { -3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }"), D3DXERR_INVALIDDATA},
        {"NaN count", Text("Mesh { nan; 0;0;0;; 1; 3;0,0,0;; }"), D3DXERR_INVALIDDATA},
        {"normal faces differ", Text("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; "
                                     "MeshNormals { 1; 0;0;1;; 2; 3;0,0,0;, 3;0,0,0;; } }"),
         D3DXERR_INVALIDDATA},
        {"too few texcoords", Text("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; "
                                   "MeshTextureCoords { 2; 0;0;, 1;1;; } }"),
         D3DXERR_INVALIDDATA},
        {"material past list", Text("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; "
                                    "MeshMaterialList { 1; 1; 7;; } }"),
         D3DXERR_INVALIDDATA},
        {"unterminated object", Text("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;"), D3DXERR_INVALIDDATA},
        {"unterminated string", Text("Mesh { \"abc"), D3DXERR_INVALIDDATA},
        {"unterminated template", Text("template Mesh { <3D82AB44-62DA-11cf-AB39-0020AF71E433>"),
         D3DXERR_INVALIDDATA},
        {"stray close brace", Text("}"), D3DXERR_INVALIDDATA},
        {"binary unknown token", std::string("xof 0303bin 0032\x63\x00", 18), D3DXERR_INVALIDDATA},
        {"binary huge list", std::string("xof 0303bin 0032\x06\x00\xff\xff\xff\x7f", 22), D3DXERR_INVALIDDATA},
        {"binary truncated name", std::string("xof 0303bin 0032\x01\x00\x10\x00\x00\x00Me", 24),
         D3DXERR_INVALIDDATA},
    };
    for (const HostileCase& hostile : cases) {
        SCOPED_TRACE(hostile.label);
        ID3DXMesh* mesh = reinterpret_cast<ID3DXMesh*>(0x1);
        EXPECT_EQ(hostile.expected, LoadBytes(hostile.bytes, &mesh));
        EXPECT_EQ(nullptr, mesh);
    }
}

TEST_F(XFileLoad, BoundsNestingDepth) {
    std::string deep(kHeader);
    for (int i = 0; i < 100000; ++i) deep += "Frame{";
    ID3DXMesh* mesh = nullptr;
    EXPECT_EQ(D3DXERR_INVALIDDATA, LoadBytes(deep, &mesh));
    std::string binaryDeep = "xof 0303bin 0032";
    for (int i = 0; i < 100000; ++i) binaryDeep += std::string("\x01\x00\x05\x00\x00\x00Frame\x0a\x00", 13);
    EXPECT_EQ(D3DXERR_INVALIDDATA, LoadBytes(binaryDeep, &mesh));
}

TEST_F(XFileLoad, SkipsUnknownObjectsTemplatesAndReferences) {
    MeshContents mesh = LoadText(Text(R"(
        template Strange { <01234567-89AB-CDEF-0123-456789ABCDEF> DWORD n; array FLOAT f[n]; [...] }
        Strange odd-name { 2; 1.5, 2.5;; Nested { "text"; { Ref } } }
        Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; { SomeReference } Unknown { 1; } }
    )"));
    EXPECT_EQ(3u, mesh.positions.size());
}

// Every prefix of a real file must load or fail cleanly, without reading past the end.
TEST_F(XFileLoad, TruncatedSamplesFailCleanly) {
    struct Truncation {
        const char* file;
        size_t step;
    };
    const Truncation samples[] = {
        {"assimp_test_cube_binary.x", 1}, {"dxsdk_sphere0.x", 1}, {"assimp_test_cube_text.x", 3},
        {"dxsdk_lobby_skybox.x", 5},      {"dxsdk_tiger.x", 41},  {"dxsdk_heli.x", 59},
    };
    for (const Truncation& sample : samples) {
        SCOPED_TRACE(sample.file);
        std::string bytes = ReadFile(SampleFile(sample.file));
        for (size_t length = 0; length < bytes.size(); length += sample.step) {
            ASSERT_NO_FATAL_FAILURE(ExpectCleanResult(bytes.substr(0, length))) << "length " << length;
        }
    }
}

// Deterministic noise after each header and in place of bytes of a binary file.
TEST_F(XFileLoad, GarbageFailsCleanly) {
    uint32_t state = 12345;
    auto noise = [&] { return static_cast<char>((state = state * 1103515245u + 12345u) >> 24); };
    std::string binary = ReadFile(SampleFile("assimp_test_cube_binary.x"));
    for (int round = 0; round < 300; ++round) {
        std::string garbage(round % 2 ? "xof 0303bin 0032" : "xof 0302txt 0064");
        for (int i = 0; i < 400; ++i) garbage += noise();
        ASSERT_NO_FATAL_FAILURE(ExpectCleanResult(garbage)) << "round " << round;
        std::string damaged = binary;
        for (int i = 0; i < 4; ++i) damaged[16 + static_cast<uint8_t>(noise()) * 10 % (binary.size() - 16)] = noise();
        ASSERT_NO_FATAL_FAILURE(ExpectCleanResult(damaged)) << "round " << round;
    }
}

// ==== Arguments and device failures ====

TEST_F(XFileLoad, ClearsEveryOutputAndRejectsMissingArguments) {
    ID3DXBuffer* adjacency = reinterpret_cast<ID3DXBuffer*>(0x1);
    ID3DXBuffer* materials = reinterpret_cast<ID3DXBuffer*>(0x1);
    ID3DXBuffer* effects = reinterpret_cast<ID3DXBuffer*>(0x1);
    DWORD materialCount = 99;
    ID3DXMesh* mesh = nullptr;
    std::string path = SampleFile("dxsdk_tiger.x");
    ASSERT_EQ(D3D_OK, D3DXLoadMeshFromX(path.c_str(), D3DXMESH_SYSTEMMEM, m_device, &adjacency, &materials,
                                        &effects, &materialCount, &mesh));
    EXPECT_EQ(nullptr, adjacency);
    EXPECT_EQ(nullptr, materials);
    EXPECT_EQ(nullptr, effects);
    EXPECT_EQ(0u, materialCount);
    EXPECT_EQ(0u, mesh->Release());

    const char* file = path.c_str();
    EXPECT_EQ(D3DERR_INVALIDCALL, D3DXLoadMeshFromX(nullptr, 0, m_device, nullptr, nullptr, nullptr, nullptr, &mesh));
    EXPECT_EQ(D3DERR_INVALIDCALL, D3DXLoadMeshFromX(file, 0, nullptr, nullptr, nullptr, nullptr, nullptr, &mesh));
    EXPECT_EQ(D3DERR_INVALIDCALL, D3DXLoadMeshFromX(file, 0, m_device, nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(D3DERR_INVALIDCALL, LoadFile(path, &mesh, D3DXMESH_SYSTEMMEM | D3DXMESH_MANAGED));
    EXPECT_EQ(E_FAIL, LoadFile(SampleFile("no_such_file.x"), &mesh));
    EXPECT_EQ(nullptr, mesh);
}

TEST_F(XFileLoad, PassesOnTheDevicesFailureWithoutLeaking) {
    swdevice::FailEveryCreation(swdevice::kIndexBuffer, E_OUTOFMEMORY);
    ID3DXMesh* mesh = nullptr;
    EXPECT_EQ(E_OUTOFMEMORY, LoadFile(SampleFile("dxsdk_heli.x"), &mesh));
    EXPECT_EQ(nullptr, mesh);
}

}  // namespace
