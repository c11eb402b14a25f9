#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <platform/d3dxarchive.h>

#include "BillboardParticle/cbillboardparticle.h"
#include "BillboardParticle/cbillboardparticleparamupdater.h"
#include "BillboardParticle/cbillboardparticlesystem.h"
#include "BillboardParticle/cbillboardparticlesystemparams.h"
#include "UtilsSrc/cmyxmlparser.h"
#include "cmanager.h"
#include "itexture.h"
#include "particleeffect.h"
#include "platform/swdevice.h"
#include "utils/errorreport_capture.h"
#include "support/testdevice.h"

using Vastrel::Utils::CMyXMLNode;
using Vastrel::Utils::CMyXMLParser;

namespace {

const float kPi = 3.14159265358979f;

// Opens the billboard system's buffers and drawing steps to the tests.
class CTestBillboardSystem : public CBillboardParticleSystem {
public:
    using CBillboardParticleSystem::CBillboardParticleSystem;
    using CBillboardParticleSystem::m_pIB;
    using CBillboardParticleSystem::m_pQuadVB;
    using CBillboardParticleSystem::RenderAxis;
};

// A kind that is not a billboard: its particles have no billboard fields.
class CPlainParticle : public IParticle {
public:
    using IParticle::IParticle;
};

class CPlainSystem : public IParticleSystem {
public:
    explicit CPlainSystem(CParticleSystemManager* pManager) : IParticleSystem(pManager, PST_POINTSPRITE) {}
    IParticle* CreateParticle() override { return new CPlainParticle(this); }
    bool Resize() override { return true; }
    bool BeginReset() override { return true; }
    bool EndReset() override { return true; }
};

struct XmlNode {
    CMyXMLParser parser{"test.xml"};
    CMyXMLNode root;
    explicit XmlNode(const char* name) : root(&parser, name) {}
    CMyXMLNode* operator->() { return &root; }
    CMyXMLNode* get() { return &root; }
};

std::string Attribute(const CMyXMLNode* pNode, const char* name) {
    CString value;
    return pNode->GetAttribute(name, value) ? value.GetString() : "<absent>";
}

void ExpectNear(const D3DXVECTOR3& expected, const D3DXVECTOR3& got, const std::string& label) {
    EXPECT_NEAR(expected.x, got.x, 1e-5f) << label;
    EXPECT_NEAR(expected.y, got.y, 1e-5f) << label;
    EXPECT_NEAR(expected.z, got.z, 1e-5f) << label;
}

D3DXVECTOR3 Position(const BBVertex& vertex) { return D3DXVECTOR3(vertex.x, vertex.y, vertex.z); }

// Writes through a store archive, then reads the bytes back with a load archive.
struct ArchiveBytes {
    CMemFile file;
    std::vector<BYTE> Bytes() const { return std::vector<BYTE>(file.GetData(), file.GetData() + file.GetLength()); }
};

class BillboardTest : public ::testing::Test {
protected:
    void SetUp() override {
        swdevice::ResetSettings();
        m_liveAtStart = swdevice::LiveObjectCount();
        m_d3d = Direct3DCreate9(D3D_SDK_VERSION);
        m_device = CreateTestDevice(m_d3d, WindowedParams(8, 8, D3DFMT_A8R8G8B8));
        ASSERT_NE(nullptr, m_device);
        m_manager.reset(new CParticleSystemManager(m_device, nullptr, nullptr, nullptr, nullptr, false));
        D3DXMatrixIdentity(&m_identity);
        m_manager->SetCameraMatrix(m_identity);  // right x, up y, at z, at the origin
    }

    void TearDown() override {
        m_systems.clear();
        m_manager.reset();
        ReleaseParticleSystemDXResources();
        ITexture::RegisterTextureLoaderFunction(nullptr);
        for (IDirect3DTexture9* pFrame : m_frames) pFrame->Release();
        EXPECT_EQ(0u, m_device->Release());
        EXPECT_EQ(0u, m_d3d->Release());
        swdevice::ResetSettings();
        EXPECT_EQ(m_liveAtStart, swdevice::LiveObjectCount());
    }

    CTestBillboardSystem* MakeSystem(unsigned int cap, BBType bbType, const char* params = "",
                                     const char* texture = "") {
        m_systems.emplace_back(new CTestBillboardSystem(m_manager.get()));
        m_systems.back()->Init(new CPoolParticleContainer(), "", params, cap, 0.0f, 0, texture, bbType);
        return m_systems.back().get();
    }

    CBillboardParticle* AddParticle(CBillboardParticleSystem* pSystem, const D3DXVECTOR3& position,
                                    const D3DXVECTOR2& size = D3DXVECTOR2(1, 1)) {
        CBillboardParticle* pParticle = static_cast<CBillboardParticle*>(pSystem->GetParticleContainer()->Push());
        pParticle->SetLive(pSystem, position);
        pParticle->SetSize(size);
        return pParticle;
    }

    // The vertices the last PreRender wrote, four per live particle.
    std::vector<BBVertex> Quads(CTestBillboardSystem* pSystem) {
        const unsigned int count = pSystem->GetParticleCount() * 4;
        std::vector<BBVertex> vertices(count);
        void* pData = nullptr;
        if (FAILED(pSystem->m_pQuadVB->Lock(0, 0, &pData, D3DLOCK_READONLY))) return {};
        std::memcpy(vertices.data(), pData, count * sizeof(BBVertex));
        pSystem->m_pQuadVB->Unlock();
        return vertices;
    }

    std::vector<swdevice::DrawRecord> RenderAndLog(CBillboardParticleSystem* pSystem,
                                                   SParticleSystemRenderProperties* pProperties = nullptr,
                                                   bool useWorld = true) {
        swdevice::ClearDrawLog(m_device);
        m_device->BeginScene();
        pSystem->Render(m_identity, useWorld, pProperties);
        m_device->EndScene();
        return swdevice::DrawLog(m_device);
    }

    // n frames of 1x1 textures, offered by a loader under "frame<i>".
    CAnimTexture* AddAnimatedTexture(const char* name, int frames) {
        static std::vector<IDirect3DTexture9*>* s_frames = nullptr;
        s_frames = &m_frames;
        std::vector<CString> names;
        for (int i = 0; i < frames; ++i) {
            IDirect3DTexture9* pFrame = nullptr;
            m_device->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &pFrame, nullptr);
            m_frames.push_back(pFrame);
            names.push_back(CString(("frame" + std::to_string(i)).c_str()));
        }
        ITexture::RegisterTextureLoaderFunction([](const CString& file, IDirect3DTexture9** ppTexture) {
            *ppTexture = (*s_frames)[std::stoi(file.GetString() + 5)];
        });
        CAnimTexture* pTexture = new CAnimTexture(m_device, names.data(), frames, 1.0f, true);
        m_manager->GetTextureManager()->Add(name, pTexture);
        return pTexture;
    }

    IDirect3D9* m_d3d = nullptr;
    IDirect3DDevice9* m_device = nullptr;
    std::unique_ptr<CParticleSystemManager> m_manager;
    std::vector<std::unique_ptr<CTestBillboardSystem>> m_systems;
    std::vector<IDirect3DTexture9*> m_frames;
    D3DXMATRIXA16 m_identity;
    size_t m_liveAtStart = 0;
};

// ==== Quads ====

TEST_F(BillboardTest, PlaneAlignedQuadHasTheDocumentedCornersAndTextureCoordinates) {
    CTestBillboardSystem* pSystem = MakeSystem(4, BBT_PLANE_ALIGNED);
    CBillboardParticle* pParticle = AddParticle(pSystem, D3DXVECTOR3(0, 0, 0), D3DXVECTOR2(2, 1));
    pParticle->SetColor(0x80FF0000);
    BBVertex direct[4];
    EXPECT_EQ(direct + 4, pParticle->SetVertexBuffer(pSystem, direct, m_identity, BBT_PLANE_ALIGNED, nullptr, 1.0f));
    RenderAndLog(pSystem);
    const std::vector<BBVertex> drawn = Quads(pSystem);
    ASSERT_EQ(4u, drawn.size());
    const BBVertex expected[4] = {{1, -0.5f, 0, 0x80FF0000, 0, 0},
                                  {-1, -0.5f, 0, 0x80FF0000, 1, 0},
                                  {-1, 0.5f, 0, 0x80FF0000, 1, 1},
                                  {1, 0.5f, 0, 0x80FF0000, 0, 1}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(0, std::memcmp(&expected[i], &direct[i], sizeof(BBVertex))) << "vertex " << i << " (direct)";
        EXPECT_EQ(0, std::memcmp(&expected[i], &drawn[i], sizeof(BBVertex))) << "vertex " << i << " (drawn)";
    }
}

// Drawn through the software device with an orthographic projection of
// 8 x 8 units onto the 8 x 8 back buffer (screen x = x + 4, y = 4 - y): the
// quad 4 wide and 2 high centred on (1, 1) spans screen [3, 7) x [2, 4), so
// by the top-left rule exactly columns 3 to 6 of rows 2 and 3 are covered.
TEST_F(BillboardTest, PlaneAlignedQuadLandsOnTheExpectedPixels) {
    CTestBillboardSystem* pSystem = MakeSystem(1, BBT_PLANE_ALIGNED);
    AddParticle(pSystem, D3DXVECTOR3(1, 1, 0), D3DXVECTOR2(4, 2))->SetColor(0xFFFF0000);
    D3DXMATRIX projection;
    m_device->SetTransform(D3DTS_VIEW, &m_identity);
    m_device->SetTransform(D3DTS_PROJECTION, D3DXMatrixOrthoLH(&projection, 8, 8, -1, 1));
    m_device->SetRenderState(D3DRS_LIGHTING, FALSE);
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    ASSERT_EQ(1u, RenderAndLog(pSystem).size());

    IDirect3DSurface9* pBackBuffer = nullptr;
    ASSERT_EQ(D3D_OK, m_device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &pBackBuffer));
    D3DLOCKED_RECT locked;
    ASSERT_EQ(D3D_OK, pBackBuffer->LockRect(&locked, nullptr, D3DLOCK_READONLY));
    for (int y = 0; y < 8; ++y) {
        const DWORD* row = reinterpret_cast<const DWORD*>(static_cast<const BYTE*>(locked.pBits) + y * locked.Pitch);
        for (int x = 0; x < 8; ++x) {
            const bool covered = x >= 3 && x <= 6 && y >= 2 && y <= 3;
            EXPECT_EQ(covered ? 0xFF0000u : 0u, row[x] & 0xFFFFFF) << "pixel " << x << ", " << y;
        }
    }
    pBackBuffer->UnlockRect();
    pBackBuffer->Release();
}

TEST_F(BillboardTest, QuadsCollapseWhenTheyHaveNoFacing) {
    CTestBillboardSystem* pSystem = MakeSystem(2, BBT_MOVE_ORIENTED);
    CBillboardParticle* pStill = AddParticle(pSystem, D3DXVECTOR3(1, 2, 3), D3DXVECTOR2(4, 4));
    pStill->SetCurrentDirection(D3DXVECTOR3(0, 0, 0));
    BBVertex quad[4];
    pStill->SetVertexBuffer(pSystem, quad, m_identity, BBT_MOVE_ORIENTED, nullptr, 1.0f);
    for (int i = 0; i < 4; ++i) ExpectNear(D3DXVECTOR3(1, 2, 3), Position(quad[i]), "standing still, vertex " + std::to_string(i));

    // Seen straight along the camera's up vector: facing x up is zero.
    D3DXMATRIX camera = m_identity;
    camera._42 = 5.0f;
    CBillboardParticle* pBelow = AddParticle(pSystem, D3DXVECTOR3(0, 0, 0), D3DXVECTOR2(4, 4));
    pBelow->SetVertexBuffer(pSystem, quad, camera, BBT_POINT_ORIENTED, nullptr, 1.0f);
    for (int i = 0; i < 4; ++i) ExpectNear(D3DXVECTOR3(0, 0, 0), Position(quad[i]), "below the camera, vertex " + std::to_string(i));
}

TEST_F(BillboardTest, QuarterTurnAboutTheFacingExchangesWidthAndHeight) {
    CTestBillboardSystem* pSystem = MakeSystem(1, BBT_PLANE_ALIGNED);
    CBillboardParticle* pParticle = AddParticle(pSystem, D3DXVECTOR3(0, 0, 0), D3DXVECTOR2(2, 1));
    pParticle->SetRotation(D3DXVECTOR3(0, 0, kPi / 2));
    BBVertex quad[4];
    pParticle->SetVertexBuffer(pSystem, quad, m_identity, BBT_PLANE_ALIGNED, nullptr, 1.0f);
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(0.5f, std::fabs(quad[i].x), 1e-5f) << "vertex " << i;
        EXPECT_NEAR(1.0f, std::fabs(quad[i].y), 1e-5f) << "vertex " << i;
        EXPECT_NEAR(0.0f, quad[i].z, 1e-5f) << "vertex " << i;
    }
}

TEST_F(BillboardTest, PointOrientedQuadFacesTheCameraAndTurnsWithAllThreeAngles) {
    CTestBillboardSystem* pSystem = MakeSystem(1, BBT_POINT_ORIENTED);
    CBillboardParticle* pParticle = AddParticle(pSystem, D3DXVECTOR3(0, 0, 5), D3DXVECTOR2(2, 2));
    BBVertex quad[4];
    pParticle->SetVertexBuffer(pSystem, quad, m_identity, BBT_POINT_ORIENTED, nullptr, 1.0f);
    // Facing (0, 0, -1): right = facing x up = (1, 0, 0), up = (0, 1, 0).
    ExpectNear(D3DXVECTOR3(1, -1, 5), Position(quad[0]), "unturned vertex 0");
    // Half a turn about right and up brings the quad back into its plane, mirrored twice.
    pParticle->SetRotation(D3DXVECTOR3(kPi, kPi, 0));
    pParticle->SetVertexBuffer(pSystem, quad, m_identity, BBT_POINT_ORIENTED, nullptr, 1.0f);
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(5.0f, quad[i].z, 1e-5f) << "vertex " << i;
}

TEST_F(BillboardTest, TextureCornerShiftsTheCoordinatesWithoutWrapping) {
    CTestBillboardSystem* pSystem = MakeSystem(1, BBT_PLANE_ALIGNED);
    CBillboardParticle* pParticle = AddParticle(pSystem, D3DXVECTOR3(0, 0, 0));
    pParticle->SetTextureCorner(D3DXVECTOR2(0.25f, 0));
    BBVertex quad[4];
    pParticle->SetVertexBuffer(pSystem, quad, m_identity, BBT_PLANE_ALIGNED, nullptr, 1.0f);
    EXPECT_EQ(0.25f, quad[0].u);
    EXPECT_EQ(1.25f, quad[1].u);
    EXPECT_EQ(1.25f, quad[2].u);
    EXPECT_EQ(0.25f, quad[3].u);
    EXPECT_EQ(1.0f, quad[2].v);
}

TEST_F(BillboardTest, AxialAndTargetQuadsUseTheSystemsAxisAndTarget) {
    CTestBillboardSystem* pSystem = MakeSystem(1, BBT_AXIAL);
    pSystem->SetAxis(D3DXVECTOR3(0, 0, 2));
    CBillboardParticle* pParticle = AddParticle(pSystem, D3DXVECTOR3(0, 0, 0), D3DXVECTOR2(2, 2));
    BBVertex quad[4];
    pParticle->SetVertexBuffer(pSystem, quad, m_identity, BBT_AXIAL, nullptr, 1.0f);
    ExpectNear(D3DXVECTOR3(1, 0, -1), Position(quad[0]), "axial vertex 0: up is the axis");

    pSystem->SetTargetPoint(D3DXVECTOR3(0, 0, -3));
    pParticle->SetVertexBuffer(pSystem, quad, m_identity, BBT_TARGET_ORIENTED, nullptr, 1.0f);
    // Facing (0, 0, -1) as for a camera straight ahead.
    ExpectNear(D3DXVECTOR3(1, -1, 0), Position(quad[0]), "target vertex 0");
}

// The documented quad with the D3DX helpers: basis by type, then the turn as
// the product of axis quaternions applied to right and up as normals.
void ReferenceQuad(const CBillboardParticle& particle, const D3DXMATRIX& camera, BBType type,
                   const CBillboardParticleSystem& system, D3DXVECTOR3 corners[4]) {
    const D3DXVECTOR3 cameraRight(camera._11, camera._12, camera._13), cameraUp(camera._21, camera._22, camera._23);
    const D3DXVECTOR3 cameraAt(camera._31, camera._32, camera._33), cameraPos(camera._41, camera._42, camera._43);
    const D3DXVECTOR3 centre = particle.GetPos();
    const D3DXVECTOR3 toCamera = cameraPos - centre, toTarget = system.GetTargetPoint() - centre;
    D3DXVECTOR3 facing = cameraAt, right = cameraRight, up = cameraUp;
    if (type == BBT_POINT_ORIENTED) D3DXVec3Normalize(&facing, &toCamera);
    if (type == BBT_MOVE_ORIENTED) facing = particle.GetCurrentDirection();
    if (type == BBT_TARGET_ORIENTED) D3DXVec3Normalize(&facing, &toTarget);
    if (type == BBT_AXIAL) D3DXVec3Cross(&facing, &cameraRight, &(up = system.GetAxis()));
    if (type != BBT_PLANE_ALIGNED && type != BBT_AXIAL) {
        D3DXVec3Cross(&right, &facing, &cameraUp);
        D3DXVec3Cross(&up, &right, &facing);
    }
    const D3DXVECTOR3 rotation = particle.GetRotation();
    D3DXQUATERNION q, turn;
    D3DXQuaternionRotationAxis(&q, &facing, rotation.z);
    if (rotation.x != 0.0f || rotation.y != 0.0f) {
        D3DXQuaternionMultiply(&q, &q, D3DXQuaternionRotationAxis(&turn, &right, rotation.x));
        D3DXQuaternionMultiply(&q, &q, D3DXQuaternionRotationAxis(&turn, &up, rotation.y));
    }
    D3DXMATRIX m;
    D3DXMatrixRotationQuaternion(&m, &q);
    D3DXVec3TransformNormal(&right, &right, &m);
    D3DXVec3TransformNormal(&up, &up, &m);
    right *= -particle.GetSize().x * 0.5f;
    up *= particle.GetSize().y * 0.5f;
    corners[0] = centre - right - up;
    corners[1] = centre + right - up;
    corners[2] = centre + right + up;
    corners[3] = centre - right + up;
}

// A camera turned about all three axes, away from the origin.
D3DXMATRIX TiltedCamera() {
    D3DXMATRIX camera;
    D3DXMatrixRotationYawPitchRoll(&camera, 0.4f, 0.3f, 0.2f);
    camera._41 = 1.0f;
    camera._42 = 2.0f;
    camera._43 = -8.0f;
    return camera;
}

// Zero angles take a shortcut and tiny ones must land next to them; angles
// of many turns lose no precision.
TEST_F(BillboardTest, TurnsMatchTheQuaternionStepsForEveryTypeAndAngleMix) {
    const D3DXVECTOR3 rotations[] = {{0, 0, 0},    {0, 0, 1e-6f},  {1e-6f, 0, 0},   {0, -1e-6f, 0},
                                     {0, 0, 0.7f}, {0.9f, 0, 0},   {0, -1.2f, 0},   {0.4f, -2.5f, 1.3f},
                                     {kPi, kPi, 0}, {-3.0f, 2.0f, 0}, {0, 5.0f, -0.3f}, {200.5f, -1000.25f, 4e5f}};
    const BBType types[] = {BBT_POINT_ORIENTED, BBT_PLANE_ALIGNED, BBT_AXIAL, BBT_MOVE_ORIENTED, BBT_TARGET_ORIENTED};
    const D3DXMATRIX camera = TiltedCamera();
    CTestBillboardSystem* pSystem = MakeSystem(1, BBT_POINT_ORIENTED);
    pSystem->SetAxis(D3DXVECTOR3(0.3f, 2.0f, 0.5f));  // not square to the camera's right
    pSystem->SetTargetPoint(D3DXVECTOR3(4, -3, 2));
    CBillboardParticle* pParticle = AddParticle(pSystem, D3DXVECTOR3(0.5f, -1, 3), D3DXVECTOR2(2, 1.5f));
    pParticle->SetCurrentDirection(D3DXVECTOR3(0.6f, 0, 0.8f));
    for (BBType type : types) {
        for (const D3DXVECTOR3& rotation : rotations) {
            pParticle->SetRotation(rotation);
            BBVertex quad[4];
            pParticle->SetVertexBuffer(pSystem, quad, camera, type, nullptr, 1.0f);
            D3DXVECTOR3 expected[4];
            ReferenceQuad(*pParticle, camera, type, *pSystem, expected);
            for (int i = 0; i < 4; ++i)
                ExpectNear(expected[i], Position(quad[i]),
                           "type " + std::to_string(type) + ", rotation (" + std::to_string(rotation.x) + ", " +
                               std::to_string(rotation.y) + ", " + std::to_string(rotation.z) + "), vertex " +
                               std::to_string(i));
        }
    }
}

TEST_F(BillboardTest, TurnsGoAboutTheFacingFirstThenAboutTheUnturnedRight) {
    CTestBillboardSystem* pSystem = MakeSystem(1, BBT_PLANE_ALIGNED);
    CBillboardParticle* pParticle = AddParticle(pSystem, D3DXVECTOR3(0, 0, 0), D3DXVECTOR2(2, 1));
    pParticle->SetRotation(D3DXVECTOR3(kPi / 2, 0, kPi / 2));
    BBVertex quad[4];
    pParticle->SetVertexBuffer(pSystem, quad, m_identity, BBT_PLANE_ALIGNED, nullptr, 1.0f);
    // Right (1, 0, 0) goes to up, then to the facing; up goes to -right and stays.
    ExpectNear(D3DXVECTOR3(0.5f, 0, 1), Position(quad[0]), "vertex 0");
    ExpectNear(D3DXVECTOR3(-0.5f, 0, 1), Position(quad[3]), "vertex 3");
}

// The fill works out what a frame's quads share once; every quad must still
// come out as SetVertexBuffer writes it alone.
TEST_F(BillboardTest, FilledBufferHoldsTheSingleQuadsOfEveryType) {
    const BBType types[] = {BBT_POINT_ORIENTED, BBT_PLANE_ALIGNED, BBT_AXIAL, BBT_MOVE_ORIENTED, BBT_TARGET_ORIENTED};
    const D3DXMATRIX camera = TiltedCamera();
    m_manager->SetCameraMatrix(camera);
    CTestBillboardSystem* pSystem = MakeSystem(3, BBT_POINT_ORIENTED);
    pSystem->SetAxis(D3DXVECTOR3(0, 1, 0.2f));
    pSystem->SetTargetPoint(D3DXVECTOR3(1, 1, 1));
    D3DXMATRIX systemMatrix;
    pSystem->SetMatrix(*D3DXMatrixTranslation(&systemMatrix, 0.5f, 0, -1));
    const D3DXVECTOR3 rotations[] = {{0, 0, 0}, {0, 0, 1.1f}, {0.3f, -0.8f, 2.0f}};
    std::vector<CBillboardParticle*> particles;
    for (int i = 0; i < 3; ++i) {
        particles.push_back(AddParticle(pSystem, D3DXVECTOR3(i - 1.0f, 0.5f * i, 2.0f - i), D3DXVECTOR2(1 + i, 2)));
        particles.back()->SetRotation(rotations[i]);
        particles.back()->SetCurrentDirection(D3DXVECTOR3(0, 0.6f, -0.8f));
        particles.back()->SetColor(0xFF102030 + i);
        particles.back()->SetTextureCorner(D3DXVECTOR2(0.25f * i, 0.5f));
    }
    for (BBType type : types) {
        pSystem->SetBillboardType(type);
        RenderAndLog(pSystem);
        const std::vector<BBVertex> drawn = Quads(pSystem);
        ASSERT_EQ(12u, drawn.size());
        for (size_t p = 0; p < particles.size(); ++p) {
            BBVertex single[4];
            particles[p]->SetVertexBuffer(pSystem, single, camera, type, &systemMatrix, 1.0f);
            for (int i = 0; i < 4; ++i)
                EXPECT_EQ(0, std::memcmp(&single[i], &drawn[4 * p + i], sizeof(BBVertex)))
                    << "type " << type << ", particle " << p << ", vertex " << i;
        }
    }
}

TEST_F(BillboardTest, SizeFactorAndTransformFollowTheWorldFlag) {
    CTestBillboardSystem* pSystem = MakeSystem(1, BBT_PLANE_ALIGNED);
    AddParticle(pSystem, D3DXVECTOR3(1, 0, 0), D3DXVECTOR2(2, 2));
    pSystem->SetScale(1.5f);
    D3DXMATRIX systemMatrix;
    pSystem->SetMatrix(*D3DXMatrixTranslation(&systemMatrix, 0, 1, 0));
    D3DXMATRIXA16 world;
    D3DXMatrixScaling(&world, 2, 2, 2);

    swdevice::ClearDrawLog(m_device);
    pSystem->Render(world, false, nullptr);
    std::vector<BBVertex> quad = Quads(pSystem);
    ASSERT_EQ(4u, quad.size());
    // Centre: (1, 0, 0) scaled by 1.5, moved by (0, 1, 0), scaled by 2. Half size 3.
    ExpectNear(D3DXVECTOR3(3 + 3, 2 - 3, 0), Position(quad[0]), "world applied, vertex 0");
    ExpectNear(D3DXVECTOR3(3 - 3, 2 + 3, 0), Position(quad[2]), "world applied, vertex 2");

    pSystem->Render(world, true, nullptr);
    quad = Quads(pSystem);
    ExpectNear(D3DXVECTOR3(1 + 1, 1 - 1, 0), Position(quad[0]), "system matrix only, vertex 0");
}

// ==== Buffers ====

TEST_F(BillboardTest, IndexBufferIsSixteenBitUpTo10922Slots) {
    struct Row {
        unsigned int slots;
        D3DFORMAT format;
        UINT bytes;
    };
    for (const Row& row : {Row{10922, D3DFMT_INDEX16, 10922 * 12}, Row{10923, D3DFMT_INDEX32, 10923 * 24}}) {
        CTestBillboardSystem* pSystem = MakeSystem(row.slots, BBT_PLANE_ALIGNED);
        ASSERT_NE(nullptr, pSystem->m_pIB) << row.slots;
        D3DINDEXBUFFER_DESC desc{};
        pSystem->m_pIB->GetDesc(&desc);
        EXPECT_EQ(row.format, desc.Format) << row.slots;
        EXPECT_EQ(row.bytes, desc.Size) << row.slots;
        EXPECT_EQ(D3DPOOL_MANAGED, desc.Pool) << row.slots;
        D3DVERTEXBUFFER_DESC vertexDesc{};
        pSystem->m_pQuadVB->GetDesc(&vertexDesc);
        EXPECT_EQ(row.slots * 96u, vertexDesc.Size) << row.slots;
        EXPECT_EQ(static_cast<DWORD>(D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY), vertexDesc.Usage) << row.slots;
    }
}

TEST_F(BillboardTest, IndicesMakeTwoTrianglesPerSlot) {
    CTestBillboardSystem* pSystem = MakeSystem(10923, BBT_PLANE_ALIGNED);
    void* pData = nullptr;
    ASSERT_EQ(D3D_OK, pSystem->m_pIB->Lock(0, 0, &pData, D3DLOCK_READONLY));
    const DWORD* pIndices = static_cast<const DWORD*>(pData);
    const DWORD first[6] = {1, 2, 0, 3, 0, 2};
    const DWORD b = 4 * 10922;
    const DWORD last[6] = {b + 1, b + 2, b, b + 3, b, b + 2};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(first[i], pIndices[i]) << "first slot, index " << i;
        EXPECT_EQ(last[i], pIndices[6 * 10922 + i]) << "last slot, index " << i;
    }
    pSystem->m_pIB->Unlock();
}

TEST_F(BillboardTest, FailedBuffersLeaveTheSystemNotDrawing) {
    struct Row {
        const char* label;
        DWORD kinds;
    };
    for (const Row& row : {Row{"vertex buffers", swdevice::kVertexBuffer}, Row{"index buffer", swdevice::kIndexBuffer}}) {
        swdevice::FailEveryCreation(row.kinds);
        CTestBillboardSystem* pSystem = MakeSystem(8, BBT_PLANE_ALIGNED);
        swdevice::ClearFaults();
        AddParticle(pSystem, D3DXVECTOR3(0, 0, 0));
        EXPECT_TRUE(RenderAndLog(pSystem).empty()) << row.label;
        pSystem->SetMaxParticle(16);  // a new cap makes new buffers
        AddParticle(pSystem, D3DXVECTOR3(0, 0, 0));
        EXPECT_EQ(1u, RenderAndLog(pSystem).size()) << row.label;
    }
}

TEST_F(BillboardTest, ResetCyclesTheQuadBufferAndCapZeroDoesNotStopTheManager) {
    CTestBillboardSystem* pEmpty = MakeSystem(0, BBT_PLANE_ALIGNED);
    EXPECT_TRUE(pEmpty->BeginReset());
    EXPECT_TRUE(pEmpty->EndReset());
    EXPECT_EQ(nullptr, pEmpty->m_pQuadVB);

    CTestBillboardSystem* pSystem = MakeSystem(4, BBT_PLANE_ALIGNED);
    AddParticle(pSystem, D3DXVECTOR3(0, 0, 0));
    EXPECT_TRUE(pSystem->BeginReset());
    EXPECT_EQ(nullptr, pSystem->m_pQuadVB);
    EXPECT_TRUE(RenderAndLog(pSystem).empty());
    EXPECT_TRUE(pSystem->EndReset());
    EXPECT_EQ(1u, RenderAndLog(pSystem).size());

    pSystem->OnLostDevice();
    EXPECT_TRUE(RenderAndLog(pSystem).empty());
    pSystem->OnRestoreDevice();
    EXPECT_EQ(1u, RenderAndLog(pSystem).size());
}

// ==== Drawing ====

TEST_F(BillboardTest, OneIndexedListForTheWholeSystem) {
    CTestBillboardSystem* pSystem = MakeSystem(8, BBT_PLANE_ALIGNED);
    for (int i = 0; i < 3; ++i) AddParticle(pSystem, D3DXVECTOR3(static_cast<float>(i), 0, 0));
    const std::vector<swdevice::DrawRecord> log = RenderAndLog(pSystem);
    ASSERT_EQ(1u, log.size());
    const swdevice::DrawRecord& draw = log[0];
    EXPECT_EQ(D3DPT_TRIANGLELIST, draw.primitiveType);
    EXPECT_TRUE(draw.indexed);
    EXPECT_EQ(12u, draw.numVertices);
    EXPECT_EQ(6u, draw.primitiveCount);
    EXPECT_EQ(0u, draw.startIndex);
    EXPECT_EQ(24u, draw.streamStride);
    EXPECT_EQ(0x142u, draw.fvf);
    EXPECT_EQ(D3DFMT_INDEX16, draw.indexFormat);
    EXPECT_EQ(static_cast<DWORD>(D3DTADDRESS_WRAP), draw.states.sampler[0][D3DSAMP_ADDRESSU]);
    EXPECT_EQ(static_cast<DWORD>(D3DTADDRESS_WRAP), draw.states.sampler[0][D3DSAMP_ADDRESSV]);
    EXPECT_EQ(0, std::memcmp(&m_identity, &draw.world, sizeof(D3DMATRIX)));
    EXPECT_EQ(-1, draw.pass);
}

TEST_F(BillboardTest, OnlyAxialQuadsAreDrawnFromBothSides) {
    const DWORD expected[] = {D3DCULL_CCW, D3DCULL_CCW, D3DCULL_NONE, D3DCULL_CCW, D3DCULL_CCW};
    for (int type = BBT_POINT_ORIENTED; type <= BBT_TARGET_ORIENTED; ++type) {
        CTestBillboardSystem* pSystem = MakeSystem(1, static_cast<BBType>(type));
        AddParticle(pSystem, D3DXVECTOR3(0, 0, 5));
        const std::vector<swdevice::DrawRecord> log = RenderAndLog(pSystem);
        ASSERT_EQ(1u, log.size()) << "type " << type;
        EXPECT_EQ(expected[type], log[0].states.RenderState(D3DRS_CULLMODE)) << "type " << type;
    }
}

TEST_F(BillboardTest, RenderPutsEveryStateItChangedBack) {
    CTestBillboardSystem* pSystem = MakeSystem(2, BBT_AXIAL, "", "anim");
    AddAnimatedTexture("anim", 2);
    AddParticle(pSystem, D3DXVECTOR3(0, 0, 5));
    const D3DRENDERSTATETYPE states[] = {D3DRS_CULLMODE, D3DRS_ALPHABLENDENABLE, D3DRS_ZWRITEENABLE,
                                         D3DRS_SRCBLEND, D3DRS_DESTBLEND, D3DRS_DIFFUSEMATERIALSOURCE};
    std::vector<DWORD> before;
    for (D3DRENDERSTATETYPE state : states) {
        DWORD value = 0;
        m_device->GetRenderState(state, &value);
        before.push_back(value);
    }
    DWORD colorOp = 0;
    m_device->GetTextureStageState(0, D3DTSS_COLOROP, &colorOp);
    ASSERT_EQ(1u, RenderAndLog(pSystem).size());
    for (size_t i = 0; i < before.size(); ++i) {
        DWORD value = 0;
        m_device->GetRenderState(states[i], &value);
        EXPECT_EQ(before[i], value) << "render state " << states[i];
    }
    DWORD colorOpAfter = 0;
    m_device->GetTextureStageState(0, D3DTSS_COLOROP, &colorOpAfter);
    EXPECT_EQ(colorOp, colorOpAfter);
    IDirect3DIndexBuffer9* pIndices = nullptr;
    m_device->GetIndices(&pIndices);
    EXPECT_EQ(nullptr, pIndices);
    IDirect3DBaseTexture9* pBound = nullptr;
    m_device->GetTexture(0, &pBound);
    EXPECT_EQ(nullptr, pBound);
}

TEST_F(BillboardTest, AnimatedTextureDrawsOneStripPerParticleWithItsFrame) {
    CTestBillboardSystem* pSystem = MakeSystem(4, BBT_PLANE_ALIGNED, "", "anim");
    AddAnimatedTexture("anim", 3);
    for (int i = 0; i < 3; ++i) AddParticle(pSystem, D3DXVECTOR3(0, 0, 5))->SetTextureFrame(static_cast<float>(2 - i));
    const std::vector<swdevice::DrawRecord> log = RenderAndLog(pSystem);
    ASSERT_EQ(3u, log.size());
    for (UINT i = 0; i < 3; ++i) {
        EXPECT_EQ(D3DPT_TRIANGLESTRIP, log[i].primitiveType) << i;
        EXPECT_EQ(4 * i, log[i].minVertexIndex) << i;
        EXPECT_EQ(4u, log[i].numVertices) << i;
        EXPECT_EQ(6 * i, log[i].startIndex) << i;
        EXPECT_EQ(2u, log[i].primitiveCount) << i;
        EXPECT_EQ(m_frames[2 - i], log[i].textures[0]) << i;
    }
}

TEST_F(BillboardTest, EffectPathRunsTheSystemsTechniqueWithWorldSpaceVertices) {
    ASSERT_NE(nullptr, GetParticleEffect());
    CTestBillboardSystem* pSystem = MakeSystem(4, BBT_PLANE_ALIGNED);
    AddParticle(pSystem, D3DXVECTOR3(0, 0, 5));
    SParticleSystemRenderProperties properties;
    pSystem->SetDistortSpace(true);
    std::vector<swdevice::DrawRecord> log = RenderAndLog(pSystem, &properties);
    ASSERT_EQ(1u, log.size());
    EXPECT_EQ(PSRT_DISTORT, properties.eTechnique);
    EXPECT_EQ("Distort", log[0].technique);
    EXPECT_EQ(0, log[0].pass);

    pSystem->SetDistortSpace(false);
    log = RenderAndLog(pSystem, &properties);
    ASSERT_EQ(1u, log.size());
    EXPECT_EQ("", log[0].technique);
    EXPECT_EQ(-1, log[0].pass);
}

namespace {

std::vector<swdevice::DrawRecord> DrawAxis(IDirect3DDevice9* pDevice, CTestBillboardSystem* pSystem) {
    swdevice::ClearDrawLog(pDevice);
    pDevice->BeginScene();
    pSystem->RenderAxis();
    pDevice->EndScene();
    return swdevice::DrawLog(pDevice);
}

}  // namespace

TEST_F(BillboardTest, AxisLineIsDrawnWithItsOwnStatesAndLeavesTheDeviceAsFound) {
    CTestBillboardSystem* pSystem = MakeSystem(1, BBT_AXIAL);
    DWORD fillBefore = 0;
    m_device->GetRenderState(D3DRS_FILLMODE, &fillBefore);
    const std::vector<swdevice::DrawRecord> log = DrawAxis(m_device, pSystem);
    ASSERT_EQ(1u, log.size());
    EXPECT_EQ(D3DPT_LINELIST, log[0].primitiveType);
    EXPECT_EQ(1u, log[0].primitiveCount);
    EXPECT_EQ(static_cast<DWORD>(D3DFVF_XYZ), log[0].fvf);
    EXPECT_EQ(0xFFDDFF99u, log[0].states.RenderState(D3DRS_TEXTUREFACTOR));
    EXPECT_EQ(static_cast<DWORD>(D3DFILL_WIREFRAME), log[0].states.RenderState(D3DRS_FILLMODE));
    EXPECT_EQ(static_cast<DWORD>(D3DTA_TFACTOR), log[0].states.TextureStageState(0, D3DTSS_COLORARG1));
    DWORD fillAfter = 0;
    m_device->GetRenderState(D3DRS_FILLMODE, &fillAfter);
    EXPECT_EQ(fillBefore, fillAfter);
}

TEST_F(BillboardTest, AxisLineIsDrawnInWorldSpaceAndTheHostsWorldTransformComesBack) {
    CTestBillboardSystem* pSystem = MakeSystem(1, BBT_AXIAL);
    D3DXMATRIX hostWorld;
    m_device->SetTransform(D3DTS_WORLD, D3DXMatrixTranslation(&hostWorld, 3, -2, 7));
    const std::vector<swdevice::DrawRecord> log = DrawAxis(m_device, pSystem);
    ASSERT_EQ(1u, log.size());
    EXPECT_EQ(0, std::memcmp(&m_identity, &log[0].world, sizeof(D3DMATRIX))) << "world while drawing";
    D3DMATRIX worldAfter;
    m_device->GetTransform(D3DTS_WORLD, &worldAfter);
    EXPECT_EQ(0, std::memcmp(&hostWorld, &worldAfter, sizeof(D3DMATRIX))) << "world afterwards";
}

// ==== Updater ====

class BillboardUpdaterTest : public BillboardTest {
protected:
    CBillboardParticleSystemParams* AddParams(float life) {
        CBillboardParticleSystemParams* pParams = new CBillboardParticleSystemParams(life, life);
        m_manager->GetParamsManager()->Add("bb", pParams);
        return pParams;
    }
};

TEST_F(BillboardUpdaterTest, SizeCurveIsReadAtTheFractionOfLife) {
    CBillboardParticleSystemParams* pParams = AddParams(2.0f);
    pParams->GetSizeKeyValues()->AddValue(0.0f, D3DXVECTOR2(1, 1), D3DXVECTOR2(1, 1));
    pParams->GetSizeKeyValues()->AddValue(1.0f, D3DXVECTOR2(3, 5), D3DXVECTOR2(3, 5));
    CTestBillboardSystem* pSystem = MakeSystem(1, BBT_PLANE_ALIGNED, "bb");
    CBillboardParticle* pParticle = AddParticle(pSystem, D3DXVECTOR3(0, 0, 0));
    ASSERT_TRUE(pParticle->Update(1.0f));
    EXPECT_EQ(D3DXVECTOR2(2, 3), pParticle->GetSize());
}

TEST_F(BillboardUpdaterTest, DirectionOfTravelIsZeroForAStandingParticle) {
    CBillboardParticleSystemParams* pParams = AddParams(10.0f);
    CTestBillboardSystem* pSystem = MakeSystem(2, BBT_MOVE_ORIENTED, "bb");
    CBillboardParticle* pStill = AddParticle(pSystem, D3DXVECTOR3(1, 1, 1));
    ASSERT_TRUE(pStill->Update(0.1f));
    EXPECT_EQ(D3DXVECTOR3(0, 0, 0), pStill->GetCurrentDirection());

    pParams->GetVelocityDirKeyValues()->AddValue(0.0f, D3DXVECTOR3(0, 0, 3), D3DXVECTOR3(0, 0, 3));
    pParams->GetVelocityKeyValues()->AddValue(0.0f, 2.0f, 2.0f);
    pSystem->SetParticleContainer(new CPoolParticleContainer());  // particles with the new curves
    CBillboardParticle* pMoving = AddParticle(pSystem, D3DXVECTOR3(0, 0, 0));
    ASSERT_TRUE(pMoving->Update(0.1f));
    ExpectNear(D3DXVECTOR3(0, 0, 1), pMoving->GetCurrentDirection(), "moving along z");
}

TEST_F(BillboardUpdaterTest, TextureFlowMovesTheCornerOnlyWhileEnabled) {
    CBillboardParticleSystemParams* pParams = AddParams(10.0f);
    pParams->SetTextureFlowEnabled(true);
    pParams->SetTextureFlowDirection(D3DXVECTOR2(1, 0));
    pParams->SetTextureFlowSpeed(0.5f);
    CTestBillboardSystem* pSystem = MakeSystem(1, BBT_PLANE_ALIGNED, "bb");
    CBillboardParticle* pParticle = AddParticle(pSystem, D3DXVECTOR3(0, 0, 0));
    for (int step = 0; step < 4; ++step) ASSERT_TRUE(pParticle->Update(0.5f));
    EXPECT_EQ(D3DXVECTOR2(1, 0), pParticle->GetTextureCorner());

    pParams->SetTextureFlowEnabled(false);
    ASSERT_TRUE(pParticle->Update(0.5f));
    EXPECT_EQ(D3DXVECTOR2(0, 0), pParticle->GetTextureCorner());
}

TEST_F(BillboardUpdaterTest, RotationIsReadAtTheFractionOfLifeEvenForEternalParticles) {
    CBillboardParticleSystemParams* pParams = AddParams(4.0f);
    pParams->SetEternal(ETERNAL_END);
    pParams->GetRotationKeyValues()->AddValue(0.0f, D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0));
    pParams->GetRotationKeyValues()->AddValue(1.0f, D3DXVECTOR3(0, 0, 4), D3DXVECTOR3(0, 0, 4));
    CTestBillboardSystem* pSystem = MakeSystem(1, BBT_PLANE_ALIGNED, "bb");
    CBillboardParticle* pParticle = AddParticle(pSystem, D3DXVECTOR3(0, 0, 0));
    ASSERT_TRUE(pParticle->Update(1.0f));
    EXPECT_EQ(D3DXVECTOR3(0, 0, 1), pParticle->GetRotation());
}

TEST_F(BillboardUpdaterTest, BillboardSetLeavesOtherKindsParticlesAlone) {
    CBillboardParticleSystemParams* pParams = AddParams(10.0f);
    pParams->GetSizeKeyValues()->AddValue(0.0f, D3DXVECTOR2(3, 3), D3DXVECTOR2(3, 3));
    pParams->GetRotationKeyValues()->AddValue(0.0f, D3DXVECTOR3(1, 1, 1), D3DXVECTOR3(1, 1, 1));
    pParams->GetVelocityDirKeyValues()->AddValue(0.0f, D3DXVECTOR3(1, 0, 0), D3DXVECTOR3(1, 0, 0));
    pParams->GetVelocityKeyValues()->AddValue(0.0f, 1.0f, 1.0f);
    pParams->SetTextureFlowEnabled(true);
    CPlainSystem system(m_manager.get());
    system.Init(new CPoolParticleContainer(), "", "bb", 2, 0.0f, 0, "");
    IParticle* pParticle = system.GetParticleContainer()->Push();
    pParticle->SetLive(&system, D3DXVECTOR3(0, 0, 0));
    for (int step = 0; step < 3; ++step) ASSERT_TRUE(pParticle->Update(1.0f));
    ExpectNear(D3DXVECTOR3(3, 0, 0), pParticle->GetPos(), "moved the standard way");
}

TEST_F(BillboardUpdaterTest, BillboardUpdaterBornUnderAStandardSetHasNoFlow) {
    CBillboardParticleSystemParams* pParams = AddParams(10.0f);
    pParams->SetTextureFlowEnabled(true);
    m_manager->GetParamsManager()->Add("standard", new CStandardParticleSystemParams(10.0f, 10.0f, PSPT_STANDARD));
    CTestBillboardSystem* pSystem = MakeSystem(1, BBT_PLANE_ALIGNED, "bb");
    CBillboardParticle* pParticle = AddParticle(pSystem, D3DXVECTOR3(0, 0, 0));
    ASSERT_TRUE(pParticle->Update(0.5f));
    EXPECT_EQ(D3DXVECTOR2(0, 0.5f), pParticle->GetTextureCorner());
    pSystem->SetParticleSystemParams("standard");  // the particle keeps its billboard updater
    pParticle->SetLive(pSystem, D3DXVECTOR3(0, 0, 0));
    ASSERT_TRUE(pParticle->Update(0.5f));
    EXPECT_EQ(D3DXVECTOR2(0, 0), pParticle->GetTextureCorner());
}

// ==== Documents and archives ====

TEST_F(BillboardTest, ElementNamesTheTypeAndReadsBack) {
    struct Row {
        const char* text;
        BBType expected;
    };
    for (const Row& row : {Row{"AXIAL", BBT_AXIAL}, Row{"TARGET_ORIENTED", BBT_TARGET_ORIENTED},
                           Row{"axial", BBT_PLANE_ALIGNED}, Row{nullptr, BBT_PLANE_ALIGNED}}) {
        ErrorReportCapture reports;  // the element names no pieces
        XmlNode element("ParticleSystem");
        element->SetAttribute("maxParticle", 3);
        if (row.text) element->SetAttribute("bbType", row.text);
        CTestBillboardSystem system(m_manager.get());
        system.Init(element.get());
        const char* label = row.text ? row.text : "absent";
        EXPECT_EQ(row.expected, system.GetBillboardType()) << label;
        EXPECT_NE(nullptr, system.m_pQuadVB) << label;

        XmlNode saved("ParticleSystem");
        system.Save(saved.get());
        EXPECT_EQ("BILLBOARD", Attribute(saved.get(), "type")) << label;
        CTestBillboardSystem reread(m_manager.get());
        reread.Init(saved.get());
        EXPECT_EQ(row.expected, reread.GetBillboardType()) << label;
        EXPECT_EQ(3u, reread.GetMaxParticle()) << label;
    }
}

TEST_F(BillboardTest, ArchiveRecordIsTheSharedRecordAndTheType) {
    CTestBillboardSystem* pSystem = MakeSystem(7, BBT_TARGET_ORIENTED);
    pSystem->SetScale(2.5f);
    ArchiveBytes first;
    {
        CArchive store(&first.file, CArchive::store);
        pSystem->Copy(store);
    }
    const std::vector<BYTE> bytes = first.Bytes();
    ASSERT_EQ(133u, bytes.size());
    EXPECT_EQ(std::vector<BYTE>({0, 0, 0, 0}), std::vector<BYTE>(bytes.begin(), bytes.begin() + 4));
    EXPECT_EQ(std::vector<BYTE>({4, 0, 0, 0}), std::vector<BYTE>(bytes.end() - 4, bytes.end()));

    first.file.SeekToBegin();
    CArchive load(&first.file, CArchive::load);
    int type = -1;
    load >> type;
    CTestBillboardSystem copy(m_manager.get(), load);
    EXPECT_EQ(BBT_TARGET_ORIENTED, copy.GetBillboardType());
    EXPECT_EQ(2.5f, copy.GetScale());
    EXPECT_EQ(nullptr, copy.m_pQuadVB);
    ArchiveBytes second;
    {
        CArchive store(&second.file, CArchive::store);
        copy.Copy(store);
    }
    EXPECT_EQ(bytes, second.Bytes());
}

TEST(CBillboardParticleSystemParams, ArchiveRecordKeepsFlowAndSizes) {
    CBillboardParticleSystemParams set(1.0f, 2.0f);
    set.SetTextureFlowEnabled(true);
    set.SetTextureFlowDirection(D3DXVECTOR2(0.5f, -1));
    set.SetTextureFlowSpeed(3.0f);
    set.GetSizeKeyValues()->AddValue(0.5f, D3DXVECTOR2(1, 2), D3DXVECTOR2(3, 4));
    set.GetColorKeyValues()->AddValue(0.0f, D3DXVECTOR4(1, 1, 1, 1), D3DXVECTOR4(1, 1, 1, 1));
    ArchiveBytes first;
    {
        CArchive store(&first.file, CArchive::store);
        set.Copy(store);
    }
    first.file.SeekToBegin();
    CArchive load(&first.file, CArchive::load);
    int type = -1;
    load >> type;
    EXPECT_EQ(PSPT_BILLBOARD, type);
    CBillboardParticleSystemParams copy(0.0f, 0.0f, load);
    EXPECT_EQ(2.0f, copy.GetMaxLifeTime());
    EXPECT_TRUE(copy.GetTextureFlowEnabled());
    EXPECT_EQ(D3DXVECTOR2(0.5f, -1), copy.GetTextureFlowDirection());
    EXPECT_EQ(3.0f, copy.GetTextureFlowSpeed());
    ASSERT_EQ(1u, copy.GetSizeKeyValues()->GetCount());
    EXPECT_EQ(D3DXVECTOR2(3, 4), copy.GetSizeKeyValues()->GetValues()[0].max);
    EXPECT_EQ(1u, copy.GetColorKeyValues()->GetCount());
    ArchiveBytes second;
    {
        CArchive store(&second.file, CArchive::store);
        copy.Copy(store);
    }
    EXPECT_EQ(first.Bytes(), second.Bytes());
}

TEST(CBillboardParticleSystemParams, ElementWritesOneTypeAndReadsBack) {
    CBillboardParticleSystemParams set(1.0f, 2.0f);
    set.SetTextureFlowEnabled(true);
    set.SetTextureFlowDirection(D3DXVECTOR2(1, 0));
    set.SetTextureFlowSpeed(0.5f);
    set.GetSizeKeyValues()->AddValue(1.0f, D3DXVECTOR2(3, 5), D3DXVECTOR2(3, 5));
    XmlNode saved("ParticleSystemParams");
    set.Save(saved.get());
    EXPECT_EQ("BILLBOARD", Attribute(saved.get(), "type"));
    EXPECT_EQ(1u, saved->GetChildrenCount());
    CBillboardParticleSystemParams reread(nullptr, saved.get());
    EXPECT_EQ(PSPT_BILLBOARD, reread.GetPSParamsType());
    EXPECT_TRUE(reread.GetTextureFlowEnabled());
    EXPECT_EQ(D3DXVECTOR2(1, 0), reread.GetTextureFlowDirection());
    EXPECT_EQ(0.5f, reread.GetTextureFlowSpeed());
    ASSERT_EQ(1u, reread.GetSizeKeyValues()->GetCount());
    EXPECT_EQ(D3DXVECTOR2(3, 5), reread.GetSizeKeyValues()->GetValues()[0].min);

    XmlNode bare("ParticleSystemParams");
    CBillboardParticleSystemParams defaults(nullptr, bare.get());
    EXPECT_FALSE(defaults.GetTextureFlowEnabled());
    EXPECT_EQ(D3DXVECTOR2(0, 1), defaults.GetTextureFlowDirection());
    EXPECT_EQ(1.0f, defaults.GetTextureFlowSpeed());
}

}  // namespace
