#include <cmath>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include <platform/crt_rand.h>
#include <platform/d3dxarchive.h>

#include "UtilsSrc/cmyxmlparser.h"
#include "support_doubles.h"

using Vastrel::Utils::CMyXMLNode;

namespace {

const int kSamples = 6000;

float Length(const D3DXVECTOR3& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

std::vector<D3DXVECTOR3> Sample(const IEmitter& emitter, int count = kSamples) {
    crt::srand(7);
    std::vector<D3DXVECTOR3> points;
    for (int i = 0; i < count; ++i) points.push_back(emitter.GetEmitPoint());
    return points;
}

// The n-th value (from 0) of the sequence seeded with seed.
std::vector<int> RandSequence(unsigned int seed, int count) {
    crt::srand(seed);
    std::vector<int> values;
    for (int i = 0; i < count; ++i) values.push_back(crt::rand());
    return values;
}

float Unit(int r) { return static_cast<float>(r * 3.051850947599719e-5); }

template <class Emitter>
std::unique_ptr<Emitter> FromArchive(IDirect3DDevice9* pDevice, const Emitter& source, ULONGLONG expectedBytes) {
    CMemFile file;
    {
        CArchive store(&file, CArchive::store);
        source.Copy(store);
    }
    EXPECT_EQ(expectedBytes, file.GetLength());
    file.SeekToBegin();
    CArchive load(&file, CArchive::load);
    int type = -1;
    load >> type;
    EXPECT_EQ(source.GetEmitterIntType(), type);
    return std::make_unique<Emitter>(pDevice, load);
}

std::unique_ptr<CMyXMLNode> SavedNode(const IEmitter& emitter) {
    auto node = std::make_unique<CMyXMLNode>(nullptr, "Emitter");
    emitter.Save(node.get());
    return node;
}

CString Attribute(const CMyXMLNode& node, const char* name) {
    CString value;
    node.GetAttribute(name, value);
    return value;
}

struct ShapeFixture : ::testing::Test {
    CTestDevice device;
};

}  // namespace

TEST_F(ShapeFixture, PointEmitterFollowsTheTransformAndDrawsNothing) {
    CPointEmitter emitter(device.Get());
    D3DXMATRIX m;
    emitter.SetMatrix(*D3DXMatrixTranslation(&m, 1.0f, 2.0f, 3.0f));
    emitter.RefreshRotationMatrix(0.0f);
    const std::vector<int> expected = RandSequence(11, 1);
    crt::srand(11);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(D3DXVECTOR3(1.0f, 2.0f, 3.0f), emitter.GetEmitPoint());
    EXPECT_EQ(expected[0], crt::rand()) << "the point emitter consumed random numbers";
}

TEST_F(ShapeFixture, BoxFacePointsLieOnTheSurfaceEvenlyPerFace) {
    CBoxEmitter box(device.Get(), 2.0f, 4.0f, 6.0f, CBoxEmitter::FACE);
    int perFace[6] = {};
    for (const D3DXVECTOR3& p : Sample(box)) {
        ASSERT_TRUE(std::fabs(p.x) <= 1.0f && std::fabs(p.y) <= 2.0f && std::fabs(p.z) <= 3.0f);
        const int face = p.y == 2.0f ? 0 : p.y == -2.0f ? 1 : p.x == 1.0f ? 2 : p.x == -1.0f ? 3 : p.z == 3.0f ? 4
                       : p.z == -3.0f ? 5 : -1;
        ASSERT_NE(-1, face) << "off the surface: " << p.x << " " << p.y << " " << p.z;
        ++perFace[face];
    }
    for (int face = 0; face < 6; ++face) EXPECT_NEAR(kSamples / 6, perFace[face], 150) << "face " << face;
}

TEST_F(ShapeFixture, BoxInsideSpreadsEachAxisOverItsFullRange) {
    CBoxEmitter box(device.Get(), 2.0f, 4.0f, 6.0f, CBoxEmitter::INSIDE);
    const float half[3] = {1.0f, 2.0f, 3.0f};
    int quarters[3][4] = {};
    for (const D3DXVECTOR3& p : Sample(box)) {
        for (int axis = 0; axis < 3; ++axis) {
            const float t = (p[axis] + half[axis]) / (2.0f * half[axis]);
            ASSERT_TRUE(t >= 0.0f && t <= 1.0f);
            ++quarters[axis][std::min(3, static_cast<int>(t * 4.0f))];
        }
    }
    for (int axis = 0; axis < 3; ++axis)
        for (int q = 0; q < 4; ++q) EXPECT_NEAR(kSamples / 4, quarters[axis][q], 200) << axis << "/" << q;
}

// The draws of one point, in order, come straight from the generator.
TEST_F(ShapeFixture, DrawOrderIsFixed) {
    const std::vector<int> r = RandSequence(99, 6);
    CBoxEmitter box(device.Get(), 2.0f, 4.0f, 6.0f, CBoxEmitter::INSIDE);
    crt::srand(99);
    const D3DXVECTOR3 p = box.GetEmitPoint();
    EXPECT_FLOAT_EQ(-1.0f + 2.0f * Unit(r[0]), p.x);
    EXPECT_FLOAT_EQ(-2.0f + 4.0f * Unit(r[1]), p.y);
    EXPECT_FLOAT_EQ(-3.0f + 6.0f * Unit(r[2]), p.z);
    EXPECT_EQ(r[3], crt::rand());

    CCylinderEmitter cylinder(device.Get(), 1.0f, 1.0f, 4.0f, CCylinderEmitter::FACE);
    crt::srand(99);
    EXPECT_FLOAT_EQ(-2.0f + 4.0f * Unit(r[0]), cylinder.GetEmitPoint().z) << "height is drawn first";
    EXPECT_EQ(r[3], crt::rand());
}

TEST_F(ShapeFixture, DrawsPerPointByKindAndType) {
    struct Row {
        const char* label;
        std::unique_ptr<IEmitter> emitter;
        int draws;
    };
    Row rows[] = {
        {"box face", std::make_unique<CBoxEmitter>(device.Get(), 1.0f, 1.0f, 1.0f, CBoxEmitter::FACE), 4},
        {"sphere face", std::make_unique<CSphereEmitter>(device.Get(), 1.0f, CSphereEmitter::FACE), 3},
        {"sphere inside", std::make_unique<CSphereEmitter>(device.Get(), 1.0f, CSphereEmitter::INSIDE), 4},
        {"cylinder inside", std::make_unique<CCylinderEmitter>(device.Get(), 1.0f, 1.0f, 1.0f,
                                                               CCylinderEmitter::INSIDE), 4},
        {"torus face", std::make_unique<CTorusEmitter>(device.Get(), 1.0f, 2.0f, CTorusEmitter::FACE), 4},
        {"torus inside", std::make_unique<CTorusEmitter>(device.Get(), 1.0f, 2.0f, CTorusEmitter::INSIDE), 5},
    };
    for (const Row& row : rows) {
        const std::vector<int> r = RandSequence(5, row.draws + 1);
        crt::srand(5);
        row.emitter->GetEmitPoint();
        EXPECT_EQ(r[row.draws], crt::rand()) << row.label;
    }
}

TEST_F(ShapeFixture, SphereFacePointsLieAtTheRadius) {
    CSphereEmitter sphere(device.Get(), 3.0f, CSphereEmitter::FACE);
    for (const D3DXVECTOR3& p : Sample(sphere)) ASSERT_NEAR(3.0f, Length(p), 1e-4f);
    sphere.SetType(CSphereEmitter::INSIDE);
    for (const D3DXVECTOR3& p : Sample(sphere)) ASSERT_LE(Length(p), 3.0f + 1e-4f);
}

TEST_F(ShapeFixture, ConeRadiusShrinksLinearlyTowardsPlusZ) {
    CCylinderEmitter cone(device.Get(), 2.0f, 0.0f, 4.0f, CCylinderEmitter::FACE);
    for (const D3DXVECTOR3& p : Sample(cone)) {
        ASSERT_TRUE(p.z >= -2.0f && p.z <= 2.0f);
        ASSERT_NEAR((2.0f - p.z) * 0.5f, std::hypot(p.x, p.y), 1e-4f) << "at z = " << p.z;
    }
}

TEST_F(ShapeFixture, ZeroLengthCylinderIsAFiniteDiscAtTheMeanRadius) {
    CCylinderEmitter disc(device.Get(), 1.0f, 3.0f, 0.0f, CCylinderEmitter::FACE);
    for (const D3DXVECTOR3& p : Sample(disc)) {
        ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y)) << "NaN on a zero-length cylinder";
        ASSERT_EQ(0.0f, p.z);
        ASSERT_NEAR(2.0f, std::hypot(p.x, p.y), 1e-4f);
    }
}

TEST_F(ShapeFixture, TorusFacePointsLieAtTheTubeRadiusFromTheRing) {
    CTorusEmitter torus(device.Get(), 1.0f, 5.0f, CTorusEmitter::FACE);
    for (const D3DXVECTOR3& p : Sample(torus))
        ASSERT_NEAR(1.0f, std::hypot(std::hypot(p.x, p.y) - 5.0f, p.z), 1e-4f);
    torus.SetType(CTorusEmitter::INSIDE);
    for (const D3DXVECTOR3& p : Sample(torus))
        ASSERT_LE(std::hypot(std::hypot(p.x, p.y) - 5.0f, p.z), 1.0f + 1e-4f);
}

TEST_F(ShapeFixture, PointsFollowTheEmitterMatrix) {
    CSphereEmitter sphere(device.Get(), 1.0f, CSphereEmitter::FACE);
    D3DXMATRIX m;
    sphere.SetMatrix(*D3DXMatrixTranslation(&m, 10.0f, 0.0f, 0.0f));
    sphere.RefreshRotationMatrix(0.0f);
    for (const D3DXVECTOR3& p : Sample(sphere, 200))
        ASSERT_NEAR(1.0f, Length(p - D3DXVECTOR3(10.0f, 0.0f, 0.0f)), 1e-4f);
}

TEST_F(ShapeFixture, AFixedSeedRepeatsTheSequence) {
    CTorusEmitter torus(device.Get(), 0.5f, 2.0f, CTorusEmitter::INSIDE);
    EXPECT_EQ(Sample(torus, 100), Sample(torus, 100));
}

TEST_F(ShapeFixture, XmlSizesAndEmitTypeRoundTrip) {
    CCylinderEmitter cylinder(device.Get(), 1.5f, 0.25f, 3.0f, CCylinderEmitter::FACE);
    auto node = SavedNode(cylinder);
    EXPECT_EQ(CString("CYLINDER"), Attribute(*node, "type"));
    EXPECT_EQ(CString("FACE"), Attribute(*node, "emitType"));
    CCylinderEmitter loaded(device.Get(), node.get());
    EXPECT_EQ(1.5f, loaded.GetRadius1());
    EXPECT_EQ(0.25f, loaded.GetRadius2());
    EXPECT_EQ(3.0f, loaded.GetLength());
    EXPECT_EQ(CCylinderEmitter::FACE, loaded.GetType());

    CBoxEmitter box(device.Get(), 2.0f, 4.0f, 6.0f, CBoxEmitter::FACE);
    CBoxEmitter boxLoaded(device.Get(), SavedNode(box).get());
    EXPECT_EQ(D3DXVECTOR3(2.0f, 4.0f, 6.0f),
              D3DXVECTOR3(boxLoaded.GetWidth(), boxLoaded.GetHeight(), boxLoaded.GetDepth()));
    CTorusEmitter torus(device.Get(), 0.5f, 4.0f, CTorusEmitter::FACE);
    CTorusEmitter torusLoaded(device.Get(), SavedNode(torus).get());
    EXPECT_EQ(0.5f, torusLoaded.GetInnerRadius());
    EXPECT_EQ(4.0f, torusLoaded.GetOuterRadius());
}

TEST_F(ShapeFixture, XmlWithoutEmitTypeOrSizesGivesAnInsideUnitShape) {
    CMyXMLNode node(nullptr, "Emitter");
    node.SetAttribute("type", "SPHERE");
    node.SetAttribute("emitType", "face");  // case matters
    CSphereEmitter sphere(device.Get(), &node);
    EXPECT_EQ(CSphereEmitter::INSIDE, sphere.GetType());
    EXPECT_EQ(1.0f, sphere.GetRadius());
    EXPECT_EQ(CString("INSIDE"), Attribute(*SavedNode(sphere), "emitType"));

    CBoxEmitter box(device.Get(), &node);
    EXPECT_EQ(D3DXVECTOR3(1.0f, 1.0f, 1.0f), D3DXVECTOR3(box.GetWidth(), box.GetHeight(), box.GetDepth()));
    CCylinderEmitter cylinder(device.Get(), &node);
    EXPECT_EQ(D3DXVECTOR3(1.0f, 1.0f, 1.0f),
              D3DXVECTOR3(cylinder.GetRadius1(), cylinder.GetRadius2(), cylinder.GetLength()));
    CTorusEmitter torus(device.Get(), &node);
    EXPECT_EQ(0.25f, torus.GetInnerRadius());
    EXPECT_EQ(1.0f, torus.GetOuterRadius());
}

TEST_F(ShapeFixture, ArchiveRecordsHaveTheirSizesAndReadBackExactly) {
    const float odd = 0.1f + 0.2f;  // not exactly representable in text
    CCylinderEmitter cylinder(device.Get(), odd, 0.7f, 3.3f, CCylinderEmitter::FACE);
    auto loaded = FromArchive(device.Get(), cylinder, 104 + 16);
    EXPECT_EQ(odd, loaded->GetRadius1());
    EXPECT_EQ(0.7f, loaded->GetRadius2());
    EXPECT_EQ(3.3f, loaded->GetLength());
    EXPECT_EQ(CCylinderEmitter::FACE, loaded->GetType());

    FromArchive(device.Get(), CPointEmitter(device.Get()), 104);
    EXPECT_EQ(2.5f, FromArchive(device.Get(), CBoxEmitter(device.Get(), 1.0f, 2.5f, 3.0f, CBoxEmitter::FACE), 120)
                        ->GetHeight());
    EXPECT_EQ(CSphereEmitter::FACE,
              FromArchive(device.Get(), CSphereEmitter(device.Get(), 2.0f, CSphereEmitter::FACE), 112)->GetType());
    EXPECT_EQ(4.0f,
              FromArchive(device.Get(), CTorusEmitter(device.Get(), 1.0f, 4.0f, CTorusEmitter::FACE), 116)
                  ->GetOuterRadius());
}

TEST_F(ShapeFixture, DebugMeshesHaveTheShapeCounts) {
    struct Row {
        const char* label;
        std::unique_ptr<IEmitter> emitter;
        DWORD vertices, faces;
    };
    Row rows[] = {
        {"box", std::make_unique<CBoxEmitter>(device.Get(), 1.0f, 2.0f, 3.0f, CBoxEmitter::FACE), 24, 12},
        {"sphere 8x8", std::make_unique<CSphereEmitter>(device.Get(), 1.0f, CSphereEmitter::FACE), 58, 112},
        {"cylinder 8x8", std::make_unique<CCylinderEmitter>(device.Get(), 1.0f, 0.5f, 2.0f, CCylinderEmitter::FACE),
         90, 144},
        {"torus 8x8", std::make_unique<CTorusEmitter>(device.Get(), 0.5f, 2.0f, CTorusEmitter::FACE), 64, 128},
    };
    for (Row& row : rows) {
        row.emitter->CreateMesh();
        ID3DXMesh* mesh = row.emitter->GetMesh();
        ASSERT_NE(nullptr, mesh) << row.label;
        EXPECT_EQ(row.vertices, mesh->GetNumVertices()) << row.label;
        EXPECT_EQ(row.faces, mesh->GetNumFaces()) << row.label;
        row.emitter->CreateMesh();  // replaces, never leaks: the device checks on release
    }
    CPointEmitter point(device.Get());
    point.CreateMesh();
    EXPECT_EQ(nullptr, point.GetMesh());
}

TEST_F(ShapeFixture, RegistryBuildsEachShapeKindByTypeName) {
    CEmitterManager registry;
    const char* const types[] = {"POINT", "SPHERE", "BOX", "CYLINDER", "TORUS"};
    for (int kind = 0; kind < 5; ++kind) {
        CMyXMLNode node(nullptr, "Emitter");
        node.SetAttribute("name", types[kind]);
        node.SetAttribute("type", types[kind]);
        registry.LoadEmitter(device.Get(), &node);
        IEmitter* emitter = registry.Get(types[kind]);
        ASSERT_NE(nullptr, emitter) << types[kind];
        EXPECT_EQ(kind, emitter->GetEmitterIntType()) << types[kind];
    }
}
