#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include <afx.h>
#include <platform/swdevice.h>

#include "particleeffect.h"
#include "support_particles.h"

namespace {

struct System : CoreFixture {
    CStandardParticleSystemParams* set = AddParams("p", 10.0f, 10.0f);
    CPointDouble* emitter = AddEmitter("e");

    std::vector<unsigned> BirthsPerUpdate(CTestSystem& system, int updates, float dt) {
        std::vector<unsigned> births;
        for (int i = 0; i < updates; ++i) {
            const unsigned before = system.GetParticleCount();
            system.Update(dt, identity, false);
            births.push_back(system.GetParticleCount() - before);
        }
        return births;
    }
};

}  // namespace

// ==== Emission ====

TEST_F(System, EmissionCarriesTheFractionBetweenUpdates) {
    auto system = MakeSystem(100, 2.0f, 4);
    system->StartEmit();
    EXPECT_EQ((std::vector<unsigned>{0, 4, 0, 4}), BirthsPerUpdate(*system, 4, 0.25f));
}

TEST_F(System, CapCutsBirthsWithoutCarryingThem) {
    auto system = MakeSystem(10, 1.0f, 8);
    system->StartEmit();
    EXPECT_EQ((std::vector<unsigned>{8}), BirthsPerUpdate(*system, 1, 1.0f));
    system->SetParticlePerEmit(5);
    EXPECT_EQ((std::vector<unsigned>{2, 0}), BirthsPerUpdate(*system, 2, 1.0f));
}

TEST_F(System, AbsurdRatesNeverOverflowTheBirthCount) {
    const struct {
        const char* label;
        float rate;
        unsigned births;
    } rows[] = {{"huge", 1e30f, 10}, {"infinite", INFINITY, 10}, {"negative", -5.0f, 0}, {"NaN", std::nanf(""), 0}};
    for (const auto& row : rows) {
        auto system = MakeSystem(10, row.rate, std::numeric_limits<unsigned>::max());
        system->StartEmit();
        EXPECT_EQ((std::vector<unsigned>{row.births}), BirthsPerUpdate(*system, 1, 1.0f)) << row.label;
        system->SetEmitPerSec(1.0f);
        system->SetParticlePerEmit(0);
        system->SetMaxParticle(20);
        system->SetParticlePerEmit(1);
        EXPECT_EQ((std::vector<unsigned>{1}), BirthsPerUpdate(*system, 1, 1.0f)) << row.label << ": recovers";
    }
}

TEST_F(System, ContainerWithoutParticlesGivesNoBirths) {
    CSystemDouble system(manager.get(), "nothing");
    system.IParticleSystem::Init(new CPoolParticleContainer(), "e", "p", 5, 10.0f, 1, "");
    system.StartEmit();
    EXPECT_TRUE(system.IParticleSystem::Update(1.0f, identity, false));
    EXPECT_EQ(0u, system.GetParticleCount());
}

TEST_F(System, DyingSystemFinishesWithItsLastParticle) {
    set->SetMinLifeTime(1.0f);
    set->SetMaxLifeTime(1.0f);
    auto system = MakeSystem(10, 4.0f, 1);
    system->StartEmit();
    system->Update(0.5f, identity, false);
    ASSERT_EQ(2u, system->GetParticleCount());
    system->SetLife(false);
    EXPECT_TRUE(system->Update(0.25f, identity, false));
    EXPECT_EQ(2u, system->GetParticleCount()) << "no births while dying";
    EXPECT_FALSE(system->Update(0.25f, identity, false)) << "the update that empties the container";
}

TEST_F(System, TimelineEventsStopEmissionAndReachParticles) {
    set->SetEternal(ETERNAL_END);
    set->SetMinLifeTime(1.0f);
    set->SetMaxLifeTime(1.0f);
    auto system = MakeSystem(10, 4.0f, 1);
    system->AddTimer(1.0f, IPSTimer::TIMER_END);
    system->StartEmit();
    system->Update(0.75f, identity, false);
    ASSERT_EQ(3u, system->GetParticleCount());
    system->Update(0.5f, identity, false);
    EXPECT_FALSE(system->IsNeedEmit());
    EXPECT_EQ(3u, system->GetParticleCount()) << "eternal particles outlive their life until the END";
    system->Update(0.5f, identity, false);
    EXPECT_EQ(0u, system->GetParticleCount());
}

TEST_F(System, AroundPointBirthsLandOnTheCircle) {
    set->SetParticleSystemBased(PSB_AROUND_POINT_BASED);
    set->SetRadius(2.0f);
    set->SetAroundPoint(D3DXVECTOR3(0, 5, 0));
    set->SetOrbitalVelocity(0.0f);
    emitters.Remove("e");
    AddEmitter("e", D3DXVECTOR3(3, 1, 0));
    auto system = MakeSystem(1, 1.0f, 1);
    system->StartEmit();
    system->Update(1.0f, identity, false);
    const D3DXVECTOR3 pos = system->GetParticleContainer()->First()->GetPos();
    EXPECT_NEAR(2.0f, pos.x, 1e-5f);
    EXPECT_NEAR(5.0f, pos.y, 1e-5f);
}

// ==== Parameter sets replaced under running particles ====

TEST_F(System, ReplacingTheSetBetweenUpdatesRebindsLiveAndSpareParticles) {
    set->GetColorKeyValues()->AddValue(0.0f, D3DXVECTOR4(1, 0, 0, 1), D3DXVECTOR4(1, 0, 0, 1));
    auto system = MakeSystem(8, 4.0f, 1);
    system->StartEmit();
    system->Update(0.5f, identity, false);
    ASSERT_EQ(2u, system->GetParticleCount());
    for (int round = 0; round < 3; ++round) {
        CStandardParticleSystemParams* fresh = AddParams("p", 10.0f, 10.0f);
        fresh->GetColorKeyValues()->AddValue(0.0f, D3DXVECTOR4(0, 1, 0, 1), D3DXVECTOR4(0, 1, 0, 1));
        fresh->SetEternal(ETERNAL_PAUSE);
        system->Update(0.5f, identity, false);
        for (IParticle* p : Walk(*system->GetParticleContainer())) EXPECT_EQ(0xFF00FF00u, p->GetColor());
    }
    EXPECT_EQ(8u, system->GetParticleCount());
    params.Remove("p");
    EXPECT_TRUE(system->Update(0.5f, identity, false));
    EXPECT_EQ(0u, system->GetParticleCount()) << "without a set, old and newborn particles die at their update";
}

// ==== Caps ====

TEST_F(System, CapsBeyondTheLimitAreReportedAndIgnored) {
    CReportCatcher reports;
    auto system = MakeSystem(10, 0.0f, 0);
    system->SetMaxParticle(0xFFFFFFFFu);
    EXPECT_EQ(10u, system->GetMaxParticle());
    XmlNode node("ParticleSystem");
    node->SetAttribute("maxParticle", "-1");
    node->SetAttribute("emitPerSec", "1");
    node->SetAttribute("particlePerEmit", "1");
    system->Init(node.get());
    EXPECT_EQ(10u, system->GetMaxParticle());
    EXPECT_EQ(10, CTestParticle::liveCount);
    EXPECT_EQ(2u, reports.ids.size());
}

// ==== Documents and records ====

TEST_F(System, DocumentReportsMissingPiecesAndUnknownBlendNames) {
    CReportCatcher reports;
    XmlNode node("ParticleSystem");
    Vastrel::Utils::CMyXMLNode* blend = node->AddChildren("Blend");
    blend->SetAttribute("src", "srcalpha");
    blend->SetAttribute("dest", "ONE");
    node->AddChildren("ParticleSystemParams");
    node->AddChildren("Emitter");
    node->AddChildren("Texture");
    CTestSystem system(manager.get());
    system.Init(node.get());
    EXPECT_EQ((std::vector<int>{104, 105, 106, 107, 108, 110, 111, 112, 115, 114}), reports.ids);
    EXPECT_EQ(static_cast<DWORD>(D3DBLEND_SRCALPHA), system.GetSrcBlend());
    EXPECT_EQ(static_cast<DWORD>(D3DBLEND_ONE), system.GetDestBlend());
    EXPECT_STREQ("POOL", system.GetParticleContainer()->GetTypeName());
}

TEST_F(System, TimerBeforeTheEmitterKeepsTheSystemIdleAndPlacementResets) {
    XmlNode node("ParticleSystem");
    node->SetAttribute("maxParticle", "5");
    node->SetAttribute("emitPerSec", "1");
    node->SetAttribute("particlePerEmit", "1");
    node->SetAttribute("containerType", "SIMPLE");
    Vastrel::Utils::CMyXMLNode* time = node->AddChildren("Timer")->AddChildren("Time");
    time->SetAttribute("time", 1.0f);
    time->SetAttribute("type", "START");
    node->AddChildren("ParticleSystemParams")->SetAttribute("name", "p");
    Vastrel::Utils::CMyXMLNode* emitterNode = node->AddChildren("Emitter");
    emitterNode->SetAttribute("name", "e");
    emitterNode->SetAttribute("started", true);
    CTestSystem system(manager.get());
    system.SetScale(4.0f);
    system.Init(node.get());
    EXPECT_FALSE(system.IsNeedEmit());
    EXPECT_EQ(1.0f, system.GetScale());
    EXPECT_STREQ("SIMPLE", system.GetParticleContainer()->GetTypeName());
}

TEST_F(System, SaveAndLoadKeepFlagsBlendNamesAndPieces) {
    auto system = MakeSystem(7, 3.5f, 2);
    system->SetSortingParticles(true);
    system->SetDistortSpace(true);
    system->SetRecieveShadow(true);
    system->SetSrcBlend(D3DBLEND_DESTCOLOR);
    system->SetDestBlend(D3DBLEND_INVBLENDFACTOR);
    system->SetTexture("t");
    system->ShowEmitter(true);
    system->StartEmit();
    XmlNode saved("ParticleSystem");
    system->Save(saved.get());
    CTestSystem reread(manager.get());
    reread.Init(saved.get());
    EXPECT_EQ(7u, reread.GetMaxParticle());
    EXPECT_EQ(3.5f, reread.GetEmitPerSec());
    EXPECT_TRUE(reread.GetSortingParticles() && reread.GetDistortSpace() && reread.GetRecieveShadow());
    EXPECT_EQ(static_cast<DWORD>(D3DBLEND_DESTCOLOR), reread.GetSrcBlend());
    EXPECT_EQ(static_cast<DWORD>(D3DBLEND_INVBLENDFACTOR), reread.GetDestBlend());
    EXPECT_TRUE(reread.IsShowEmitter() && reread.IsNeedEmit());
    EXPECT_NE(nullptr, reread.GetEmitter());
    EXPECT_NE(nullptr, reread.GetParticleParams());
    XmlNode again("ParticleSystem");
    reread.Save(again.get());
    CString texture;
    again->GetChildren(3)->GetAttribute("name", texture);
    EXPECT_STREQ("t", texture);
}

TEST_F(System, ArchiveRecordIs129BytesAfterTheTypeWordAndRoundTrips) {
    auto system = MakeSystem(9, 2.5f, 3);
    system->SetAxis(D3DXVECTOR3(0, 0, 2));
    system->SetScale(0.5f);
    system->EnableAlphaBlend(false);
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
    CTestSystem copy(manager.get(), load);
    EXPECT_EQ(9u, copy.GetMaxParticle());
    EXPECT_EQ(3u, copy.GetParticlePerEmit());
    EXPECT_EQ(D3DXVECTOR3(0, 0, 1), copy.GetAxis());
    EXPECT_EQ(0.5f, copy.GetScale());
    EXPECT_FALSE(copy.IsEnabledAlphaBlend());
    EXPECT_EQ(nullptr, copy.GetParticleContainer());
    EXPECT_TRUE(copy.Update(0.1f, identity, false)) << "no container: nothing to do";
}

TEST_F(System, AxisIgnoresZeroAndNormalises) {
    auto system = MakeSystem(1, 0.0f, 0);
    system->SetAxis(D3DXVECTOR3(0, 0, 0));
    EXPECT_EQ(D3DXVECTOR3(0, 1, 0), system->GetAxis());
    system->SetAxis(D3DXVECTOR3(0, 0, 2));
    EXPECT_EQ(D3DXVECTOR3(0, 0, 1), system->GetAxis());
}

// ==== Drawing ====

TEST_F(System, RenderChoosesTheTechniqueAndRestoresStates) {
    auto system = MakeSystem(4, 0.0f, 0);
    SParticleSystemRenderProperties props;
    system->SetDistortSpace(true);
    system->SetRecieveShadow(true);
    system->Render(identity, false, &props);
    EXPECT_EQ(PSRT_NORMAL, props.eTechnique) << "no live particle: nothing chosen";
    system->GetParticleContainer()->Push()->SetLive(system.get(), D3DXVECTOR3(0, 0, 0));
    system->Render(identity, false, &props);
    EXPECT_EQ(PSRT_DISTORT, props.eTechnique);
    system->SetDistortSpace(false);
    system->Render(identity, false, &props);
    EXPECT_EQ(PSRT_DIFFUSE_SHADOW, props.eTechnique);
    DWORD zwrite = 0;
    device.Get()->GetRenderState(D3DRS_ZWRITEENABLE, &zwrite);
    EXPECT_EQ(static_cast<DWORD>(TRUE), zwrite) << "PostRender put the state back";
}

TEST_F(System, AroundAxisIsDrawnAsALineAndARing) {
    set->SetParticleSystemBased(PSB_AROUND_AXIS_BASED);
    auto system = MakeSystem(4, 0.0f, 0);
    system->GetParticleContainer()->Push()->SetLive(system.get(), D3DXVECTOR3(0, 0, 0));
    D3DXMATRIXA16 placed;  // the particles' world transform, which the lines must leave in place
    D3DXMatrixTranslation(&placed, 1, 2, 3);
    device.Get()->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    swdevice::ClearDrawLog(device.Get());
    device.Get()->BeginScene();
    system->Render(placed, true, nullptr);
    device.Get()->EndScene();
    const std::vector<swdevice::DrawRecord> log = swdevice::DrawLog(device.Get());
    ASSERT_EQ(2u, log.size());
    EXPECT_EQ(D3DPT_LINELIST, log[0].primitiveType);
    EXPECT_EQ(1u, log[0].primitiveCount);
    EXPECT_EQ(18u, log[1].primitiveCount);
    EXPECT_EQ(0xFF0000FFu, log[1].states.RenderState(D3DRS_TEXTUREFACTOR));
    EXPECT_EQ(static_cast<DWORD>(D3DFVF_XYZ), log[1].fvf);
    DWORD fill = 0;
    device.Get()->GetRenderState(D3DRS_FILLMODE, &fill);
    EXPECT_EQ(static_cast<DWORD>(D3DFILL_SOLID), fill);
    D3DMATRIX worldAfter;
    device.Get()->GetTransform(D3DTS_WORLD, &worldAfter);
    EXPECT_EQ(0, std::memcmp(&placed, &worldAfter, sizeof worldAfter)) << "the particles' world transform";
    DWORD fvfAfter = 0;
    device.Get()->GetFVF(&fvfAfter);
    EXPECT_EQ(static_cast<DWORD>(D3DFVF_XYZ | D3DFVF_DIFFUSE), fvfAfter);
}
