#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "PointSpriteParticle/cpointspriteparticle.h"
#include "PointSpriteParticle/cpointspriteparticleparamupdater.h"
#include "PointSpriteParticle/cpointspriteparticlesystem.h"
#include "PointSpriteParticle/cpointspriteparticlesystemparams.h"
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

// Opens the protected buffer to the tests.
class CInspectedPointSprite : public CPointSpriteParticleSystem {
public:
    using CPointSpriteParticleSystem::CPointSpriteParticleSystem;

    IDirect3DVertexBuffer9* Buffer() const { return m_pVB; }
    D3DVERTEXBUFFER_DESC BufferDesc() const {
        D3DVERTEXBUFFER_DESC desc{};
        m_pVB->GetDesc(&desc);
        return desc;
    }
    std::vector<PSVertex> ReadVertices(unsigned count) const {
        std::vector<PSVertex> vertices(count);
        void* pData = nullptr;
        if (FAILED(m_pVB->Lock(0, count * sizeof(PSVertex), &pData, D3DLOCK_READONLY))) return {};
        std::memcpy(vertices.data(), pData, count * sizeof(PSVertex));
        m_pVB->Unlock();
        return vertices;
    }
    // A cap the base would refuse, to reach the buffer's own size check.
    void ForceCap(unsigned int cap) { m_nMaxParticle = cap; }
};

// A kind whose particles carry no size, to use a point-sprite set with.
class CPlainParticle : public IParticle {
public:
    using IParticle::IParticle;
};

class CPlainSystem : public IParticleSystem {
public:
    CPlainSystem(CParticleSystemManager* pManager, ParticleSystemType type) : IParticleSystem(pManager, type) {}
    IParticle* CreateParticle() override { return new CPlainParticle(this); }
    bool Resize() override { return true; }
    bool BeginReset() override { return true; }
    bool EndReset() override { return true; }
};

std::map<std::string, IDirect3DTexture9*>* g_images = nullptr;

void TestLoader(const CString& file, IDirect3DTexture9** ppTexture) {
    const auto found = g_images->find(file.str());
    if (found != g_images->end()) *ppTexture = found->second;
}

DWORD Bits(float value) {
    DWORD bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

bool SameMatrix(const D3DMATRIX& a, const D3DXMATRIX& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

class PointSprite : public ::testing::Test {
protected:
    void SetUp() override {
        m_liveAtStart = swdevice::LiveObjectCount();
        m_d3d = Direct3DCreate9(D3D_SDK_VERSION);
        m_device = CreateTestDevice(m_d3d, WindowedParams(8, 8, D3DFMT_A8R8G8B8));
        ASSERT_NE(nullptr, m_device);
        m_manager.reset(new CParticleSystemManager(m_device, nullptr, nullptr, nullptr, nullptr, false));
        D3DXMatrixIdentity(&m_identity);
        g_images = &m_images;
        ITexture::RegisterTextureLoaderFunction(&TestLoader);
    }

    void TearDown() override {
        m_systems.clear();
        m_manager.reset();
        ReleaseParticleSystemDXResources();  // the manager made the shared effect on this device
        ITexture::RegisterTextureLoaderFunction(nullptr);
        g_images = nullptr;
        m_device->SetTexture(0, nullptr);
        for (auto& image : m_images) EXPECT_EQ(0u, image.second->Release());
        swdevice::ClearFaults();
        EXPECT_EQ(0u, m_device->Release());
        EXPECT_EQ(0u, m_d3d->Release());
        EXPECT_EQ(m_liveAtStart, swdevice::LiveObjectCount());
    }

    CInspectedPointSprite* MakeSystem(unsigned cap, const char* texture = "", const char* params = "p") {
        m_systems.emplace_back(new CInspectedPointSprite(m_manager.get()));
        m_systems.back()->Init(new CPoolParticleContainer(), "e", params, cap, 0.0f, 0, texture);
        return m_systems.back().get();
    }

    // A particle born at position, drawn with size and colour.
    static CPointSpriteParticle* Spawn(IParticleSystem* pSystem, const D3DXVECTOR3& position, float size,
                                       DWORD color = 0xFFFFFFFF, float frame = 0.0f) {
        auto* pParticle = static_cast<CPointSpriteParticle*>(pSystem->GetParticleContainer()->Push());
        pParticle->SetLive(pSystem, position);
        pParticle->SetSize(size);
        pParticle->SetColor(color);
        pParticle->SetTextureFrame(frame);
        return pParticle;
    }

    IDirect3DTexture9* OfferImage(const std::string& name) {
        IDirect3DTexture9* pTexture = nullptr;
        EXPECT_EQ(D3D_OK, m_device->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &pTexture, nullptr));
        m_images[name] = pTexture;
        return pTexture;
    }

    // A set "p" with lives of life seconds and sizes from 1 at birth to 3 at death.
    CPointSpriteParticleSystemParams* AddSizedParams(float life) {
        auto* pParams = new CPointSpriteParticleSystemParams(life, life);
        pParams->GetSizeKeyValues()->AddValue(0.0f, 1.0f, 1.0f);
        pParams->GetSizeKeyValues()->AddValue(1.0f, 3.0f, 3.0f);
        m_manager->GetParamsManager()->Add("p", pParams);
        return pParams;
    }

    void RenderScene(const IParticleSystem& system, const D3DXMATRIXA16& matrix, bool useWorld) {
        m_device->BeginScene();
        system.Render(matrix, useWorld, nullptr);
        m_device->EndScene();
    }

    std::vector<swdevice::DrawRecord> Draws() const { return swdevice::DrawLog(m_device); }

    DWORD DeviceState(D3DRENDERSTATETYPE state) const {
        DWORD value = 0;
        m_device->GetRenderState(state, &value);
        return value;
    }

    size_t m_liveAtStart = 0;
    IDirect3D9* m_d3d = nullptr;
    IDirect3DDevice9* m_device = nullptr;
    std::map<std::string, IDirect3DTexture9*> m_images;
    std::unique_ptr<CParticleSystemManager> m_manager;
    std::vector<std::unique_ptr<CInspectedPointSprite>> m_systems;
    D3DXMATRIXA16 m_identity;
    ErrorReportCapture m_reports;
};

// ==== Vertex buffer ====

TEST_F(PointSprite, BufferHoldsOneVertexPerSlotAndFollowsTheCap) {
    CInspectedPointSprite* system = MakeSystem(100);
    ASSERT_NE(nullptr, system->Buffer());
    const D3DVERTEXBUFFER_DESC desc = system->BufferDesc();
    EXPECT_EQ(2000u, desc.Size);
    EXPECT_EQ(0x248u, desc.Usage);
    EXPECT_EQ(0x62u, desc.FVF);
    EXPECT_EQ(D3DPOOL_DEFAULT, desc.Pool);
    system->SetMaxParticle(50);
    EXPECT_EQ(1000u, system->BufferDesc().Size);
    system->SetMaxParticle(0);
    EXPECT_EQ(nullptr, system->Buffer()) << "a cap of 0 makes no buffer";
}

TEST_F(PointSprite, ResetsAndDeviceLossDropAndRemakeTheBuffer) {
    CInspectedPointSprite* system = MakeSystem(10);
    EXPECT_TRUE(system->BeginReset());
    EXPECT_EQ(nullptr, system->Buffer());
    EXPECT_TRUE(system->EndReset());
    EXPECT_EQ(200u, system->BufferDesc().Size);
    system->OnLostDevice();
    EXPECT_EQ(nullptr, system->Buffer());
    system->OnRestoreDevice();
    EXPECT_EQ(200u, system->BufferDesc().Size);
}

TEST_F(PointSprite, EmptySystemDoesNotStopTheManagersResetOfTheOthers) {
    auto* empty = new CInspectedPointSprite(m_manager.get());
    empty->Init(new CPoolParticleContainer(), "e", "p", 0, 0.0f, 0, "");
    auto* full = new CInspectedPointSprite(m_manager.get());
    full->Init(new CPoolParticleContainer(), "e", "p", 10, 0.0f, 0, "");
    m_manager->Add("a", empty);  // first in name order
    m_manager->Add("b", full);
    EXPECT_TRUE(m_manager->BeginReset());
    EXPECT_EQ(nullptr, full->Buffer());
    EXPECT_TRUE(m_manager->EndReset());
    EXPECT_EQ(nullptr, empty->Buffer());
    ASSERT_NE(nullptr, full->Buffer());
    EXPECT_EQ(200u, full->BufferDesc().Size);
}

TEST_F(PointSprite, CapWhoseBufferBytesPass32BitsMakesNoBuffer) {
    CInspectedPointSprite* system = MakeSystem(4);
    system->ForceCap(0x0CCCCCCDu);  // times 20 wraps to 4 bytes in 32 bits
    system->CreateVertexBuffer();
    EXPECT_EQ(nullptr, system->Buffer());
    EXPECT_FALSE(m_reports.reports.empty());
}

TEST_F(PointSprite, FailedBufferLeavesTheSystemNotDrawing) {
    CInspectedPointSprite* system = MakeSystem(2);
    swdevice::FailNextCreations(1);
    system->SetMaxParticle(8);
    ASSERT_EQ(nullptr, system->Buffer());
    for (int i = 0; i < 8; ++i) Spawn(system, D3DXVECTOR3(float(i), 0, 0), 1.0f);
    swdevice::ClearDrawLog(m_device);
    RenderScene(*system, m_identity, true);
    EXPECT_TRUE(Draws().empty());
    EXPECT_EQ(FALSE, DeviceState(D3DRS_POINTSPRITEENABLE));
}

// ==== Drawing ====

TEST_F(PointSprite, NoLiveParticleSetsAndDrawsNothing) {
    CInspectedPointSprite* system = MakeSystem(4);
    D3DXMATRIX before;
    m_device->GetTransform(D3DTS_WORLD, &before);
    swdevice::ClearDrawLog(m_device);
    D3DXMATRIXA16 moved;
    D3DXMatrixTranslation(&moved, 5, 6, 7);
    RenderScene(*system, moved, false);
    EXPECT_TRUE(Draws().empty());
    EXPECT_EQ(FALSE, DeviceState(D3DRS_POINTSPRITEENABLE));
    EXPECT_EQ(Bits(1.0f), DeviceState(D3DRS_POINTSCALE_A));
    D3DXMATRIX after;
    m_device->GetTransform(D3DTS_WORLD, &after);
    EXPECT_TRUE(SameMatrix(after, before));
}

TEST_F(PointSprite, SizeFactorAndWorldTransformFollowTheHostMatrix) {
    D3DXMATRIXA16 doubled;
    D3DXMatrixScaling(&doubled, 2, 2, 2);
    doubled._41 = 9.0f;  // the translation must not count
    D3DXMATRIX own;
    D3DXMatrixTranslation(&own, 1, 2, 3);
    struct Case {
        const char* label;
        bool useWorld;
        float factor;
        D3DXMATRIX world;
    };
    const Case cases[] = {
        {"host matrix applies", false, 2.0f, own * doubled},
        {"world space", true, 1.0f, own},
    };
    for (const Case& c : cases) {
        CInspectedPointSprite* system = MakeSystem(4);
        system->SetMatrix(own);
        Spawn(system, D3DXVECTOR3(1, 2, 3), 0.5f, 0x80FF0000);
        Spawn(system, D3DXVECTOR3(-1, 0, 4), 3.0f, 0x1234ABCD);
        swdevice::ClearDrawLog(m_device);
        RenderScene(*system, doubled, c.useWorld);
        const std::vector<PSVertex> vertices = system->ReadVertices(2);
        ASSERT_EQ(2u, vertices.size()) << c.label;
        EXPECT_EQ(D3DXVECTOR3(1, 2, 3), vertices[0].position) << c.label;
        EXPECT_FLOAT_EQ(0.5f * c.factor, vertices[0].size) << c.label;
        EXPECT_EQ(0x80FF0000u, vertices[0].color) << c.label;
        EXPECT_EQ(D3DXVECTOR3(-1, 0, 4), vertices[1].position) << c.label;
        EXPECT_FLOAT_EQ(3.0f * c.factor, vertices[1].size) << c.label;
        EXPECT_EQ(0x1234ABCDu, vertices[1].color) << c.label;
        const std::vector<swdevice::DrawRecord> draws = Draws();
        ASSERT_EQ(1u, draws.size()) << c.label;
        EXPECT_TRUE(SameMatrix(draws[0].world, c.world)) << c.label;
    }
}

TEST_F(PointSprite, OneDrawCallWithThePointStatesWhichRenderThenRestores) {
    IDirect3DTexture9* image = OfferImage("spark.png");
    m_manager->GetTextureManager()->Add("spark", new CTexture(m_device, CString("spark.png")));
    CInspectedPointSprite* system = MakeSystem(8, "spark");
    for (int i = 0; i < 3; ++i) Spawn(system, D3DXVECTOR3(float(i), 0, 0), 1.0f);
    const D3DRENDERSTATETYPE touched[] = {D3DRS_POINTSPRITEENABLE, D3DRS_POINTSCALEENABLE, D3DRS_POINTSIZE_MIN,
                                          D3DRS_POINTSCALE_A,      D3DRS_POINTSCALE_B,     D3DRS_POINTSCALE_C,
                                          D3DRS_ALPHABLENDENABLE,  D3DRS_ZWRITEENABLE,     D3DRS_SRCBLEND,
                                          D3DRS_DESTBLEND,         D3DRS_DIFFUSEMATERIALSOURCE};
    std::vector<DWORD> before;
    for (D3DRENDERSTATETYPE state : touched) before.push_back(DeviceState(state));
    DWORD colorOpBefore = 0;
    m_device->GetTextureStageState(0, D3DTSS_COLOROP, &colorOpBefore);
    swdevice::ClearDrawLog(m_device);

    RenderScene(*system, m_identity, true);

    const std::vector<swdevice::DrawRecord> draws = Draws();
    ASSERT_EQ(1u, draws.size());
    const swdevice::DrawRecord& draw = draws[0];
    EXPECT_EQ(D3DPT_POINTLIST, draw.primitiveType);
    EXPECT_EQ(0u, draw.startVertex);
    EXPECT_EQ(3u, draw.primitiveCount);
    EXPECT_EQ(system->Buffer(), draw.streamBuffer);
    EXPECT_EQ(20u, draw.streamStride);
    EXPECT_EQ(0x62u, draw.fvf);
    EXPECT_EQ(image, draw.textures[0]);
    const DWORD expected[] = {TRUE,  TRUE,  Bits(0.0f), Bits(0.0f), Bits(0.0f), Bits(1.0f),
                              TRUE,  FALSE, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DMCS_COLOR1};
    for (size_t i = 0; i < sizeof touched / sizeof touched[0]; ++i)
        EXPECT_EQ(expected[i], draw.states.RenderState(touched[i])) << "state " << touched[i];
    EXPECT_EQ(DWORD{D3DTOP_MODULATE}, draw.states.TextureStageState(0, D3DTSS_COLOROP));

    for (size_t i = 0; i < sizeof touched / sizeof touched[0]; ++i)
        EXPECT_EQ(before[i], DeviceState(touched[i])) << "state " << touched[i] << " after Render";
    DWORD colorOpAfter = 0;
    m_device->GetTextureStageState(0, D3DTSS_COLOROP, &colorOpAfter);
    EXPECT_EQ(colorOpBefore, colorOpAfter);
    IDirect3DBaseTexture9* bound = nullptr;
    m_device->GetTexture(0, &bound);
    EXPECT_EQ(nullptr, bound) << "PostRender unbinds the texture";
}

TEST_F(PointSprite, AnimatedTextureDrawsEachParticleWithItsFrame) {
    IDirect3DTexture9* frames[] = {OfferImage("f0"), OfferImage("f1"), OfferImage("f2")};
    const CString names[] = {"f0", "f1", "f2"};
    m_manager->GetTextureManager()->Add("anim", new CAnimTexture(m_device, names, 3, 1.0f, true));
    CInspectedPointSprite* system = MakeSystem(8, "anim");
    const float particleFrames[] = {2.0f, 0.0f, 1.0f, 2.0f};
    for (float frame : particleFrames) Spawn(system, D3DXVECTOR3(frame, 0, 0), 1.0f, 0xFFFFFFFF, frame);
    swdevice::ClearDrawLog(m_device);

    RenderScene(*system, m_identity, true);

    const std::vector<swdevice::DrawRecord> draws = Draws();
    ASSERT_EQ(4u, draws.size());
    for (unsigned i = 0; i < 4; ++i) {
        EXPECT_EQ(D3DPT_POINTLIST, draws[i].primitiveType) << "particle " << i;
        EXPECT_EQ(i, draws[i].startVertex) << "particle " << i;
        EXPECT_EQ(1u, draws[i].primitiveCount) << "particle " << i;
        EXPECT_EQ(frames[int(particleFrames[i])], draws[i].textures[0]) << "particle " << i;
    }
}

// ==== Documents and archives ====

TEST_F(PointSprite, SavedElementIsTheBaseElementTypedPointSprite) {
    CInspectedPointSprite* system = MakeSystem(7, "spark");
    CMyXMLParser parser("test.xml");
    CMyXMLNode element(&parser, "ParticleSystem");
    system->Save(&element);
    CString value;
    ASSERT_TRUE(element.GetAttribute("type", value));
    EXPECT_STREQ("POINTSPRITE", value);
    ASSERT_TRUE(element.GetAttribute("maxParticle", value));
    EXPECT_STREQ("7", value);
    std::vector<std::string> children;
    for (const CMyXMLNode* child : element.GetChildrens()) children.push_back(child->GetName().str());
    EXPECT_EQ((std::vector<std::string>{"Blend", "ParticleSystemParams", "Emitter", "Texture"}), children);
}

TEST_F(PointSprite, ArchiveRecordIsTheBaseRecordAndRebuildsWithoutBuffer) {
    CInspectedPointSprite* system = MakeSystem(12);
    system->SetScale(0.25f);
    CMemFile file;
    {
        CArchive store(&file, CArchive::store);
        system->Copy(store);
    }
    ASSERT_EQ(129u, file.GetLength());
    file.SeekToBegin();
    CArchive load(&file, CArchive::load);
    int type = -1;
    load >> type;
    EXPECT_EQ(1, type);
    CInspectedPointSprite copy(m_manager.get(), load);
    EXPECT_EQ(PST_POINTSPRITE, copy.GetParticleSystemType());
    EXPECT_EQ(12u, copy.GetMaxParticle());
    EXPECT_EQ(0.25f, copy.GetScale());
    EXPECT_EQ(nullptr, copy.Buffer());
    copy.Resize();
    EXPECT_EQ(240u, copy.BufferDesc().Size);
}

// ==== Parameter set and updater ====

TEST_F(PointSprite, SizeFollowsItsCurveOverAMortalLife) {
    AddSizedParams(2.0f);
    CInspectedPointSprite* system = MakeSystem(1);
    CPointSpriteParticle* particle = Spawn(system, D3DXVECTOR3(0, 0, 0), 7.0f);
    const float expected[] = {1.5f, 2.0f, 2.5f};
    for (float size : expected) {
        ASSERT_TRUE(particle->Update(0.5f));
        EXPECT_FLOAT_EQ(size, particle->GetSize());
    }
    EXPECT_FALSE(particle->Update(0.5f)) << "the life of 2 s is used up";
}

TEST_F(PointSprite, EternalSizeRunsOnItsOwnClock) {
    AddSizedParams(0.1f)->SetEternal(ETERNAL_END);
    CInspectedPointSprite* system = MakeSystem(1);
    CPointSpriteParticle* particle = Spawn(system, D3DXVECTOR3(0, 0, 0), 7.0f);
    ASSERT_TRUE(particle->Update(0.25f));
    ASSERT_TRUE(particle->Update(0.25f));
    EXPECT_FLOAT_EQ(2.0f, particle->GetSize()) << "past its life time, looked up at 0.5 s";
}

TEST_F(PointSprite, SetOfAnotherKindLeavesTheSizeAlone) {
    m_manager->GetParamsManager()->Add("p", new CStandardParticleSystemParams(1.0f, 1.0f, PSPT_STANDARD));
    CInspectedPointSprite* system = MakeSystem(1);
    CPointSpriteParticle* particle = Spawn(system, D3DXVECTOR3(0, 0, 0), 1.0f);
    ASSERT_TRUE(particle->Update(0.5f));
    EXPECT_EQ(1.0f, particle->GetSize());
}

// Run under the sanitizers: writing a size into these particles would land
// past their end.
TEST_F(PointSprite, PointSpriteSetOnParticlesWithoutSizeTouchesOnlyTheStandardFields) {
    CPointSpriteParticleSystemParams* params = AddSizedParams(2.0f);
    params->GetColorKeyValues()->AddValue(0.0f, D3DXVECTOR4(1, 0, 0, 1), D3DXVECTOR4(1, 0, 0, 1));
    struct Case {
        const char* label;
        ParticleSystemType claimed;
    };
    const Case cases[] = {
        {"another kind", PST_BILLBOARD},
        {"a kind claiming the point-sprite type", PST_POINTSPRITE},
    };
    for (const Case& c : cases) {
        CPlainSystem system(m_manager.get(), c.claimed);
        system.Init(new CPoolParticleContainer(), "e", "p", 2, 0.0f, 0, "");
        IParticle* particle = system.GetParticleContainer()->Push();
        particle->SetLive(&system, D3DXVECTOR3(0, 0, 0));
        for (int step = 0; step < 3; ++step) ASSERT_TRUE(particle->Update(0.5f)) << c.label;
        EXPECT_EQ(0xFFFF0000u, particle->GetColor()) << c.label;
    }
}

TEST_F(PointSprite, SavedSetCarriesOneTypeAndItsSizeList) {
    CPointSpriteParticleSystemParams params(1.0f, 2.0f);
    params.GetSizeKeyValues()->AddValue(0.0f, 1.0f, 2.0f);
    params.GetSizeKeyValues()->AddValue(1.0f, 4.0f, 4.0f);
    CMyXMLParser parser("test.xml");
    CMyXMLNode element(&parser, "ParticleSystemParams");
    params.Save(&element);
    EXPECT_EQ(1u, element.GetAttributes().count("type"));
    CString type;
    element.GetAttribute("type", type);
    EXPECT_STREQ("POINTSPRITE", type);
    CPointSpriteParticleSystemParams reread(nullptr, &element);
    EXPECT_EQ(PSPT_POINTSPRITE, reread.GetPSParamsType());
    ASSERT_EQ(2u, reread.GetSizeKeyValues()->GetCount());
    EXPECT_EQ(2.0f, reread.GetSizeKeyValues()->GetValues()[0].max);
    EXPECT_EQ(4.0f, reread.GetSizeKeyValues()->GetValues()[1].min);
}

TEST_F(PointSprite, ArchivedSetComesBackWithAnEmptySizeList) {
    CPointSpriteParticleSystemParams params(1.0f, 2.0f);
    params.GetSizeKeyValues()->AddValue(0.0f, 1.0f, 2.0f);
    params.GetColorKeyValues()->AddValue(0.5f, D3DXVECTOR4(1, 1, 1, 1), D3DXVECTOR4(1, 1, 1, 1));
    CMemFile file;
    {
        CArchive store(&file, CArchive::store);
        params.Copy(store);
    }
    file.SeekToBegin();
    CArchive load(&file, CArchive::load);
    int type = -1;
    load >> type;
    EXPECT_EQ(2, type);
    CPointSpriteParticleSystemParams copy(0.0f, 0.0f, load);
    EXPECT_EQ(PSPT_POINTSPRITE, copy.GetPSParamsType());
    EXPECT_EQ(2.0f, copy.GetMaxLifeTime());
    EXPECT_EQ(1u, copy.GetColorKeyValues()->GetCount());
    EXPECT_EQ(0u, copy.GetSizeKeyValues()->GetCount());
}

}  // namespace
