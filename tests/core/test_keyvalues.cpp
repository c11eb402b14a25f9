#include <vector>

#include <gtest/gtest.h>

#include <afx.h>

#include "support_particles.h"

namespace {

CLinearInterpolator<float> Curve(const IKeyValues* owner, std::vector<std::pair<float, float>> keys) {
    CLinearInterpolator<float> curve(owner);
    for (auto& key : keys) curve.AddValue(key.first, key.second);
    return curve;
}

float At(IInterpolator<float>& curve, float time, bool advance = false) {
    float value = -99.0f;
    curve.GetValue(time, value, advance);
    return value;
}

}  // namespace

TEST(CLinearInterpolator, LooksUpBetweenKeysAndHoldsTheEnds) {
    CLinearInterpolator<float> curve = Curve(nullptr, {{0.0f, 10.0f}, {1.0f, 20.0f}});
    const struct {
        const char* label;
        float time;
        float expected;
    } rows[] = {{"middle", 0.5f, 15.0f}, {"before", -1.0f, 10.0f}, {"after", 2.0f, 20.0f}, {"last key", 1.0f, 20.0f}};
    for (const auto& row : rows) EXPECT_EQ(row.expected, At(curve, row.time)) << row.label;
    CLinearInterpolator<float> single = Curve(nullptr, {{0.3f, 5.0f}});
    EXPECT_EQ(5.0f, At(single, 0.0f));
    EXPECT_EQ(5.0f, At(single, 7.0f));
    CLinearInterpolator<float> empty(nullptr);
    float untouched = 3.0f;
    EXPECT_FALSE(empty.GetValue(0.5f, untouched, false));
    EXPECT_EQ(3.0f, untouched);
}

TEST(CLinearInterpolator, AddValueReplacesAnEqualKeyAndGrowsPastTheInlineRoom) {
    CLinearInterpolator<float> curve(nullptr);
    for (int key = 0; key < 10; ++key) curve.AddValue(static_cast<float>(key), static_cast<float>(key * 2));
    curve.AddValue(3.0f, 100.0f);
    EXPECT_EQ(10u, curve.GetCount());
    EXPECT_EQ(100.0f, At(curve, 3.0f));
    EXPECT_EQ(18.0f, At(curve, 9.0f));
    CLinearInterpolator<float> copy = curve;
    EXPECT_EQ(100.0f, At(copy, 3.0f)) << "copies own their keys";
}

TEST(CLinearInterpolator, AdvancingLoopsBackToTheLoopTimeDroppingTheOvershoot) {
    CKeyValues<float> owner;
    owner.SetLoop(true, 0.5f);
    CLinearInterpolator<float> curve = Curve(&owner, {{0.0f, 0.0f}, {1.0f, 10.0f}, {2.0f, 20.0f}});
    At(curve, 1.0f, true);
    EXPECT_EQ(5.0f, At(curve, 1.1f, true));
    EXPECT_EQ(0.5f, curve.GetTime());
    owner.SetLoop(false, 0.5f);
    At(curve, 2.0f, true);
    EXPECT_EQ(20.0f, At(curve, 5.0f, true));
    EXPECT_FLOAT_EQ(7.5f, curve.GetTime());
}

TEST(CLinearInterpolator, LoopTimeBeyondTheLastKeyPinsTheClock) {
    CKeyValues<float> owner;
    owner.SetLoop(true, 3.0f);
    CLinearInterpolator<float> curve = Curve(&owner, {{0.0f, 0.0f}, {2.0f, 20.0f}});
    At(curve, 2.5f, true);
    EXPECT_EQ(2.5f, curve.GetTime()) << "no jump until the clock passes 3.0";
    At(curve, 1.0f, true);
    EXPECT_EQ(3.0f, curve.GetTime());
    EXPECT_EQ(20.0f, At(curve, 1.0f, true));
    EXPECT_EQ(3.0f, curve.GetTime());
}

TEST(CKeyValues, LoadsUnsortedKeysInOrderAndFillsAMissingBoundFromTheOther) {
    XmlNode node("ColorKeyValues");
    node->SetAttribute("Loop", false);
    node->SetAttribute("LoopTime", 0.25f);
    const char* keys[] = {"1.0", "0.0", "0.5"};
    for (const char* key : keys) {
        Vastrel::Utils::CMyXMLNode* entry = node->AddChildren("AddValue");
        entry->SetAttribute("key", key);
        entry->SetAttribute("min", "2");
    }
    node->AddChildren("Other");
    CKeyValues<float> list;
    list.LoadValues(node.get());
    ASSERT_EQ(3u, list.GetCount());
    EXPECT_EQ(0.0f, list.GetValues()[0].key);
    EXPECT_EQ(0.5f, list.GetValues()[1].key);
    EXPECT_EQ(1.0f, list.GetValues()[2].key);
    EXPECT_EQ(2.0f, list.GetValues()[1].max) << "a missing max takes the min";
    float loopTime = 0.0f;
    EXPECT_FALSE(list.GetLoop(loopTime));
    EXPECT_EQ(0.25f, loopTime);
}

TEST(CKeyValues, XmlAndArchiveRoundTripsKeepKeysAndRanges) {
    CKeyValues<D3DXVECTOR3> list;
    list.SetLoop(false, 1.5f);
    list.AddValue(0.5f, D3DXVECTOR3(1, 2, 3), D3DXVECTOR3(4, 5, 6));
    list.AddValue(0.0f, D3DXVECTOR3(-1, 0, 0.12345f), D3DXVECTOR3(0, 0, 0));
    XmlNode parent("Params");
    CKeyValues<D3DXVECTOR3>().SaveValues(parent.get(), "Empty");
    EXPECT_EQ(0u, parent->GetChildrenCount()) << "an empty list writes no element";
    list.SaveValues(parent.get(), "VelocityDirKeyValues");
    CKeyValues<D3DXVECTOR3> reread;
    reread.LoadValues(parent->GetChildren(0));
    CMemFile file;
    {
        CArchive store(&file, CArchive::store);
        list.Copy(store);
    }
    EXPECT_EQ(1u + 4u + 4u + 2u * 28u, file.GetLength());
    file.SeekToBegin();
    CKeyValues<D3DXVECTOR3> pasted;
    {
        CArchive load(&file, CArchive::load);
        pasted.Paste(load);
    }
    for (const CKeyValues<D3DXVECTOR3>* copy : {&reread, &pasted}) {
        ASSERT_EQ(2u, copy->GetCount());
        for (unsigned i = 0; i < 2; ++i) {
            EXPECT_EQ(list.GetValues()[i].key, copy->GetValues()[i].key);
            EXPECT_NEAR(list.GetValues()[i].min.z, copy->GetValues()[i].min.z, 1e-5f);
            EXPECT_EQ(list.GetValues()[i].max, copy->GetValues()[i].max);
        }
        float loopTime = 0.0f;
        EXPECT_FALSE(copy->GetLoop(loopTime));
        EXPECT_EQ(1.5f, loopTime);
    }
}

TEST(CKeyValues, FillingDrawsOneValuePerKeyAndReusesTheStorage) {
    CKeyValues<float> list;
    list.AddValue(0.0f, 1.0f, 1.0f);
    list.AddValue(1.0f, 2.0f, 4.0f);
    list.AddValue(1.0f, 7.0f, 7.0f);
    CLinearInterpolator<float> curve(&list);
    list.SetInterpolator(&curve);
    list.SetInterpolator(&curve);
    EXPECT_EQ(2u, curve.GetCount()) << "equal keys and re-births share one entry";
    EXPECT_EQ(7.0f, At(curve, 1.0f)) << "the last of equal keys wins";
}

TEST(CPositterKeyValues, AddReplacesAnEqualKeyAndLookupsReportAbsence) {
    CPositterKeyValues list(nullptr);
    EXPECT_TRUE(list.AddValue(0.5f, "a"));
    EXPECT_FALSE(list.AddValue(0.5f, "b"));
    EXPECT_TRUE(list.AddValue(0.2f, "c"));
    ASSERT_EQ(2u, list.GetCount());
    EXPECT_STREQ("c", list.GetValue(0u).name);
    EXPECT_STREQ("b", list.GetValue(0.5f).name);
    EXPECT_EQ(-1.0f, list.GetValue(7u).key);
    EXPECT_TRUE(list.GetValue(7u).name.IsEmpty());
    EXPECT_EQ(-1.0f, list.GetValue(0.3f).key);
    list.RemoveValue(0.2f);
    EXPECT_EQ(1u, list.GetCount());
}

TEST_F(CoreFixture, PositterPathStartsAtBirthAndPassesResolvedEmitters) {
    AddEmitter("gate", D3DXVECTOR3(0, 10, 0));
    CPositterKeyValues list(&emitters);
    list.AddValue(1.0f, "gate");
    list.AddValue(0.5f, "missing");
    CTestSystem system(manager.get());
    CTestParticle particle(&system);
    particle.SetPos(D3DXVECTOR3(2, 0, 0));
    CLinearInterpolator<D3DXVECTOR3> path(&list);
    list.SetInterpolator(&path, &particle);
    EXPECT_EQ(2u, path.GetCount()) << "the missing emitter adds nothing";
    D3DXVECTOR3 value;
    path.GetValue(0.5f, value, false);
    EXPECT_EQ(D3DXVECTOR3(1, 5, 0), value);
    XmlNode parent("Params");
    CPositterKeyValues(nullptr).SaveValues(parent.get());
    list.SaveValues(parent.get());
    ASSERT_EQ(1u, parent->GetChildrenCount()) << "a list without a registry writes nothing";
    CPositterKeyValues reread(&emitters);
    reread.LoadValues(parent->GetChildren(0));
    EXPECT_STREQ("gate", reread.GetValue(1.0f).name);
}
