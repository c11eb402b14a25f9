#include <cmath>
#include <vector>

#include <afx.h>

#include "support_particles.h"

namespace {

void ExpectNear(const D3DXVECTOR3& expected, const D3DXVECTOR3& got, const char* label) {
    EXPECT_NEAR(expected.x, got.x, 1e-4f) << label;
    EXPECT_NEAR(expected.y, got.y, 1e-4f) << label;
    EXPECT_NEAR(expected.z, got.z, 1e-4f) << label;
}

struct Updater : CoreFixture {
    CStandardParticleSystemParams* set = AddParams("p", 2.0f, 2.0f);
    std::unique_ptr<CTestSystem> system = MakeSystem(4, 0.0f, 0);

    Updater() { AddEmitter("e"); }

    std::unique_ptr<CTestParticle> Born(const D3DXVECTOR3& at = D3DXVECTOR3(0, 0, 0)) {
        std::unique_ptr<CTestParticle> particle(new CTestParticle(system.get()));
        particle->SetLive(system.get(), at);
        return particle;
    }
};

}  // namespace

// ==== Standard parameters ====

TEST(CStandardParticleSystemParams, ReadsKeywordsExactlyAndLifeTimeNumbersInOrder) {
    XmlNode node("ParticleSystemParams");
    node->SetAttribute("lifeTime", "2");
    node->SetAttribute("eternal", "end");
    node->SetAttribute("particleSystemBased", "AROUND_AXIS_BASED");
    node->SetAttribute("aroundAxis", D3DXVECTOR3(0, 2, 0));
    CStandardParticleSystemParams set(nullptr, node.get(), PSPT_STANDARD);
    EXPECT_EQ(2.0f, set.GetMinLifeTime());
    EXPECT_EQ(0.0f, set.GetMaxLifeTime());
    EXPECT_EQ(ETERNAL_NULL, set.GetEternal()) << "matching is exact";
    EXPECT_EQ(PSB_AROUND_AXIS_BASED, set.GetParticleSystemBased());
    EXPECT_EQ(D3DXVECTOR3(0, 2, 0), set.GetAroundAxis()) << "read as written";
}

TEST(CStandardParticleSystemParams, SavesOnlyAttributesWithoutListsAndRoundTrips) {
    CStandardParticleSystemParams set(1.0f, 2.0f, PSPT_STANDARD);
    XmlNode bare("ParticleSystemParams");
    set.Save(bare.get());
    EXPECT_EQ(0u, bare->GetChildrenCount());
    CString text;
    ASSERT_TRUE(bare->GetAttribute("lifeTime", text));
    EXPECT_STREQ("1.00000 2.00000", text);
    ASSERT_TRUE(bare->GetAttribute("eternal", text));
    EXPECT_STREQ("NULL", text);
    set.SetEternal(ETERNAL_PAUSE);
    set.GetColorKeyValues()->AddValue(0.0f, D3DXVECTOR4(1, 0, 0, 1), D3DXVECTOR4(1, 0, 0, 1));
    set.GetVelocityKeyValues()->AddValue(0.0f, 1.0f, 3.0f);
    XmlNode saved("ParticleSystemParams");
    set.Save(saved.get());
    CStandardParticleSystemParams reread(nullptr, saved.get(), PSPT_STANDARD);
    EXPECT_EQ(ETERNAL_PAUSE, reread.GetEternal());
    EXPECT_EQ(1u, reread.GetColorKeyValues()->GetCount());
    EXPECT_EQ(3.0f, reread.GetVelocityKeyValues()->GetValues()[0].max);
    EXPECT_EQ(2u, saved->GetChildrenCount());
}

TEST(CStandardParticleSystemParams, ArchiveRecordKeepsEverythingButTheCollectorList) {
    CStandardParticleSystemParams set(0.5f, 1.5f, PSPT_STANDARD);
    set.SetParticleSystemBased(PSB_AROUND_POINT_BASED);
    set.SetAroundPoint(D3DXVECTOR3(1, 2, 3));
    set.SetOrbitalVelocity(3.0f);
    set.RefreshRotationMatrix(0.25f);
    set.GetForceKeyValues()->AddValue(0.0f, 9.8f, 9.8f);
    set.GetPositterKeyValues()->AddValue(1.0f, "gate");
    CMemFile file;
    {
        CArchive store(&file, CArchive::store);
        set.Copy(store);
    }
    file.SeekToBegin();
    CArchive load(&file, CArchive::load);
    CStandardParticleSystemParams copy(0.0f, 0.0f, PSPT_STANDARD, load);
    EXPECT_EQ(0.5f, copy.GetMinLifeTime());
    EXPECT_EQ(1.5f, copy.GetMaxLifeTime());
    EXPECT_EQ(PSB_AROUND_POINT_BASED, copy.GetParticleSystemBased());
    EXPECT_EQ(D3DXVECTOR3(1, 2, 3), copy.GetAroundPoint());
    EXPECT_EQ(0, std::memcmp(set.GetRotationMatrix(), copy.GetRotationMatrix(), sizeof(D3DXMATRIX)));
    EXPECT_EQ(9.8f, copy.GetForceKeyValues()->GetValues()[0].min);
    EXPECT_EQ(0u, copy.GetPositterKeyValues()->GetCount());
}

TEST(CStandardParticleSystemParams, AroundAxisIgnoresZeroAndNormalises) {
    CStandardParticleSystemParams set(0.0f, 0.0f, PSPT_STANDARD);
    set.SetAroundAxis(D3DXVECTOR3(0, 0, 0));
    EXPECT_EQ(D3DXVECTOR3(0, 1, 0), set.GetAroundAxis());
    set.SetAroundAxis(D3DXVECTOR3(0, 0, 2));
    EXPECT_EQ(D3DXVECTOR3(0, 0, 1), set.GetAroundAxis());
}

TEST(CStandardParticleSystemParams, OrbitStepTurnsAboutTheAxisThroughThePoint) {
    CStandardParticleSystemParams set(0.0f, 0.0f, PSPT_STANDARD);
    set.SetAroundPoint(D3DXVECTOR3(1, 0, 0));
    set.SetOrbitalVelocity(static_cast<float>(M_PI));
    const D3DXVECTOR3 start(2, 0, 0);
    D3DXVECTOR3 moved;
    set.RefreshRotationMatrix(1.0f);
    ExpectNear(D3DXVECTOR3(0, 0, 0), *D3DXVec3TransformCoord(&moved, &start, set.GetRotationMatrix()), "half turn");
    set.RefreshRotationMatrix(0.5f);
    ExpectNear(D3DXVECTOR3(1, 0, -1), *D3DXVec3TransformCoord(&moved, &start, set.GetRotationMatrix()), "quarter");
}

TEST(CStandardParticleSystemParams, CollectorSetGivesAPathInsteadOfMovementCurves) {
    CStandardParticleSystemParams set(1.0f, 1.0f, PSPT_STANDARD);
    set.GetColorKeyValues()->AddValue(0.0f, D3DXVECTOR4(1, 1, 1, 1), D3DXVECTOR4(1, 1, 1, 1));
    set.GetVelocityKeyValues()->AddValue(0.0f, 5.0f, 5.0f);
    std::unique_ptr<IParticleParamUpdater> plain(set.CreateParticleParamUpdater());
    set.SetParticleParamUpdater(plain.get());
    auto* standard = static_cast<CStandardParticleParamUpdater*>(plain.get());
    EXPECT_NE(nullptr, standard->GetVelocityInterpolator());
    EXPECT_EQ(nullptr, standard->GetTextureInterpolator()) << "empty lists give no curve";
    set.GetPositterKeyValues()->AddValue(1.0f, "gate");
    std::unique_ptr<IParticleParamUpdater> collector(set.CreateParticleParamUpdater());
    set.SetParticleParamUpdater(collector.get());
    standard = static_cast<CStandardParticleParamUpdater*>(collector.get());
    EXPECT_NE(nullptr, standard->GetColorInterpolator());
    EXPECT_NE(nullptr, standard->GetPosInterpolator());
    EXPECT_EQ(nullptr, standard->GetVelocityInterpolator());
}

TEST(CStandardPSParamsFactory, IsRegisteredAsStandard) {
    CPSParamsManager registry;
    XmlNode node("ParticleSystemParams");
    node->SetAttribute("name", "smoke");
    node->SetAttribute("type", "STANDARD");
    node->SetAttribute("lifeTime", "1 3");
    registry.LoadParams(nullptr, nullptr, node.get());
    auto* set = dynamic_cast<CStandardParticleSystemParams*>(registry.Get("smoke"));
    ASSERT_NE(nullptr, set);
    EXPECT_EQ(3.0f, set->GetMaxLifeTime());
    EXPECT_EQ(PSPT_STANDARD, set->GetPSParamsType());
}

// ==== Standard parameter updater ====

TEST_F(Updater, MortalParticleDiesWhenItsAgeReachesItsLife) {
    set->GetColorKeyValues()->AddValue(0.0f, D3DXVECTOR4(0, 0, 0, 1), D3DXVECTOR4(0, 0, 0, 1));
    set->GetColorKeyValues()->AddValue(1.0f, D3DXVECTOR4(1, 0, 0, 1), D3DXVECTOR4(1, 0, 0, 1));
    auto particle = Born();
    EXPECT_TRUE(particle->Update(0.5f));
    EXPECT_TRUE(particle->Update(0.5f));
    EXPECT_TRUE(particle->Update(0.5f));
    EXPECT_EQ(0xFFBF0000u, particle->GetColor()) << "read at 0.75 of the life";
    EXPECT_FALSE(particle->Update(0.5f));
    set->SetMaxLifeTime(0.0f);
    set->SetMinLifeTime(0.0f);
    EXPECT_FALSE(Born()->Update(0.01f)) << "a zero life ends at the first update";
}

TEST_F(Updater, EternalParticlesDieOnlyAfterTheirDecidingEvent) {
    set->SetMinLifeTime(1.0f);
    set->SetMaxLifeTime(1.0f);
    set->SetEternal(ETERNAL_END);
    auto untouched = Born();
    auto paused = Born();
    auto ended = Born();
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(untouched->Update(1.0f));
    paused->OnTimer(IPSTimer::TIMER_PAUSE);
    paused->OnTimer(IPSTimer::TIMER_END);
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(paused->Update(1.0f)) << "PAUSE came first and stays";
    EXPECT_TRUE(ended->Update(5.0f));
    ended->OnTimer(IPSTimer::TIMER_END);
    EXPECT_TRUE(ended->Update(0.5f)) << "the event resets the age";
    EXPECT_FALSE(ended->Update(0.5f));
    set->SetEternal(ETERNAL_PAUSE);
    auto pausing = Born();
    pausing->OnTimer(IPSTimer::TIMER_PAUSE);
    EXPECT_FALSE(pausing->Update(1.0f));
}

TEST_F(Updater, ColourPacksTruncatedChannelsWrapsRgbAndDefinesNonFinite) {
    const struct {
        const char* label;
        D3DXVECTOR4 colour;
        DWORD expected;
    } rows[] = {
        {"half green", D3DXVECTOR4(1.0f, 0.5f, 0.0f, 1.0f), 0xFFFF7F00u},
        {"red above one wraps", D3DXVECTOR4(1.2f, 0.0f, 0.0f, 1.0f), 0xFF320000u},
        {"NaN and infinities", D3DXVECTOR4(std::nanf(""), INFINITY, -INFINITY, 1.0f), 0xFF000000u},
        {"huge values", D3DXVECTOR4(1e30f, -1e30f, 0.0f, 1e20f), 0x00000000u},
        {"negative wraps", D3DXVECTOR4(0.0f, 0.0f, -1.0f / 255.0f, 1.0f), 0xFF0000FFu},
    };
    for (const auto& row : rows) {
        CKeyValues<D3DXVECTOR4>* colours = set->GetColorKeyValues();
        *colours = CKeyValues<D3DXVECTOR4>();
        colours->AddValue(0.0f, row.colour, row.colour);
        auto particle = Born();
        particle->Update(0.1f);
        EXPECT_EQ(row.expected, particle->GetColor()) << row.label << std::hex << " got " << particle->GetColor();
    }
}

TEST_F(Updater, ForceBuildsUpSpeedAlongItsDirection) {
    set->GetForceDirKeyValues()->AddValue(0.0f, D3DXVECTOR3(0, 5, 0), D3DXVECTOR3(0, 5, 0));
    set->GetForceKeyValues()->AddValue(0.0f, 2.0f, 2.0f);
    auto particle = Born();
    const float expectedY[] = {0.02f, 0.06f, 0.12f};
    for (float y : expectedY) {
        particle->Update(0.1f);
        EXPECT_NEAR(y, particle->GetPos().y, 1e-6f);
    }
}

TEST_F(Updater, VelocityDirectionTurnsWithTheEmitter) {
    CPointDouble* emitter = AddEmitter("e");
    emitter->SetEmitterMovementType(EMT_AROUND_AXIS);
    emitter->SetOrbitalVelocity(static_cast<float>(M_PI / 2));
    emitter->RefreshRotationMatrix(1.0f);
    set->GetVelocityDirKeyValues()->AddValue(0.0f, D3DXVECTOR3(1, 0, 0), D3DXVECTOR3(1, 0, 0));
    set->GetVelocityKeyValues()->AddValue(0.0f, 1.0f, 1.0f);
    auto particle = Born();
    particle->Update(1.0f);
    ExpectNear(D3DXVECTOR3(0, 0, -1), particle->GetPos(), "turned 90 degrees about y");
}

TEST_F(Updater, CollectorParticlesFollowThePathOnly) {
    AddEmitter("gate", D3DXVECTOR3(0, 4, 0));
    XmlNode node("ParticleSystemParams");
    node->SetAttribute("lifeTime", "2 2");
    auto* collector = new CStandardParticleSystemParams(&emitters, node.get(), PSPT_STANDARD);
    collector->GetPositterKeyValues()->AddValue(1.0f, "gate");
    collector->GetVelocityKeyValues()->AddValue(0.0f, 100.0f, 100.0f);
    params.Add("p", collector);
    auto particle = Born(D3DXVECTOR3(2, 0, 0));
    particle->Update(1.0f);
    ExpectNear(D3DXVECTOR3(1, 2, 0), particle->GetPos(), "half way");
}

TEST_F(Updater, OrbitingParticlesMoveByTheSetsStep) {
    set->SetParticleSystemBased(PSB_AROUND_POINT_BASED);
    set->SetOrbitalVelocity(static_cast<float>(M_PI));
    set->RefreshRotationMatrix(0.5f);
    auto particle = Born(D3DXVECTOR3(1, 0, 0));
    particle->Update(0.1f);
    ExpectNear(D3DXVECTOR3(0, 0, -1), particle->GetPos(), "quarter turn");
}

namespace {

// A host's own curve: whatever the keys say, it answers with one colour.
class CFixedColourCurve : public CLinearInterpolator<D3DXVECTOR4> {
public:
    CFixedColourCurve() : CLinearInterpolator<D3DXVECTOR4>(nullptr) {}
    bool GetValue(float, D3DXVECTOR4& out, bool) override {
        out = D3DXVECTOR4(0.0f, 0.0f, 1.0f, 1.0f);
        return true;
    }
};

}  // namespace

// The linear curves are read without virtual calls; a host's subclass must
// still be asked through its own GetValue.
TEST_F(Updater, CurvesOfAHostsOwnClassAreReadThroughTheirOverride) {
    const D3DXVECTOR4 red(1.0f, 0.0f, 0.0f, 1.0f);
    set->GetColorKeyValues()->AddValue(0.0f, red, red);
    auto particle = Born();
    particle->Update(0.1f);
    EXPECT_EQ(0xFFFF0000u, particle->GetColor());

    auto* pUpdater = static_cast<CStandardParticleParamUpdater*>(particle->GetParamUpdater());
    pUpdater->SetColorInterpolator(new CFixedColourCurve());
    particle->Update(0.1f);
    EXPECT_EQ(0xFF0000FFu, particle->GetColor());
}
