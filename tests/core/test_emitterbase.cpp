#include <cmath>

#include <gtest/gtest.h>

#include <platform/d3dxarchive.h>

#include "UtilsSrc/cmyxmlparser.h"
#include "support_doubles.h"

using Vastrel::Utils::CMyXMLNode;

namespace {

void ExpectNear(const D3DXVECTOR3& expected, const D3DXVECTOR3& got, const char* label) {
    EXPECT_NEAR(expected.x, got.x, 1e-4f) << label;
    EXPECT_NEAR(expected.y, got.y, 1e-4f) << label;
    EXPECT_NEAR(expected.z, got.z, 1e-4f) << label;
}

struct EmitterFixture : ::testing::Test {
    CTestDevice device;
    CPointDouble emitter{device.Get()};

    void Place(float x, float y, float z) {
        D3DXMATRIX m;
        emitter.SetMatrix(*D3DXMatrixTranslation(&m, x, y, z));
    }
};

class CArchivedPoint : public IEmitter {
public:
    CArchivedPoint(IDirect3DDevice9* pDevice, CArchive& ar) : IEmitter(pDevice, ET_POINT, ar) {}
    D3DXVECTOR3 GetEmitPoint() const override { return D3DXVECTOR3(0.0f, 0.0f, 0.0f); }
};

}  // namespace

TEST_F(EmitterFixture, AStillEmitterEmitsFromItsMatrix) {
    Place(1.0f, 2.0f, 3.0f);
    emitter.RefreshRotationMatrix(5.0f);
    EXPECT_TRUE(D3DXMatrixIsIdentity(&static_cast<const D3DXMATRIX&>(emitter.GetRotationMatrix())));
    ExpectNear(D3DXVECTOR3(1.0f, 2.0f, 3.0f), emitter.GetEmitPoint(), "still");
}

TEST_F(EmitterFixture, OrbitStartPositions) {
    struct Row {
        const char* label;
        EEmitterMovementType movement;
        D3DXVECTOR3 matrixPosition, aroundPoint, expected;
    };
    const Row rows[] = {
        {"around point", EMT_AROUND_POINT, {5, 0, 0}, {0, 0, 0}, {2, 0, 0}},
        {"around axis", EMT_AROUND_AXIS, {5, 0, 0}, {0, 3, 0}, {2, 3, 0}},
        {"on the axis line: falls back across it", EMT_AROUND_POINT, {0, 4, 0}, {0, 0, 0}, {2, 0, 0}},
    };
    for (const Row& row : rows) {
        Place(row.matrixPosition.x, row.matrixPosition.y, row.matrixPosition.z);
        emitter.SetAroundPoint(row.aroundPoint);
        emitter.SetRadius(2.0f);
        emitter.SetEmitterMovementType(row.movement);
        emitter.RefreshPosition();
        ExpectNear(row.expected, emitter.GetPosition(), row.label);
    }
}

TEST_F(EmitterFixture, TwoHalfStepsTurnByTheFullAngle) {
    Place(5.0f, 0.0f, 0.0f);
    emitter.SetRadius(2.0f);
    emitter.SetOrbitalVelocity(2.0f);
    emitter.SetEmitterMovementType(EMT_AROUND_POINT);
    emitter.RefreshPosition();
    emitter.RefreshRotationMatrix(0.5f);
    emitter.RefreshRotationMatrix(0.5f);
    // A left-handed turn of 2 radians about +y carries (2, 0, 0) to (2 cos 2, 0, -2 sin 2).
    ExpectNear(D3DXVECTOR3(2.0f * std::cos(2.0f), 0.0f, -2.0f * std::sin(2.0f)), emitter.GetEmitPoint(), "orbit");
}

TEST_F(EmitterFixture, AroundAxisIgnoresZeroAndNormalises) {
    emitter.SetAroundAxis(D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    ExpectNear(D3DXVECTOR3(0.0f, 1.0f, 0.0f), emitter.GetAroundAxis(), "zero kept");
    emitter.SetAroundAxis(D3DXVECTOR3(0.0f, 0.0f, 5.0f));
    ExpectNear(D3DXVECTOR3(0.0f, 0.0f, 1.0f), emitter.GetAroundAxis(), "normalised");
}

TEST_F(EmitterFixture, SaveAndLoadTheSharedElement) {
    Place(5.0f, 0.0f, 0.0f);
    emitter.SetEmitterMovementType(EMT_AROUND_POINT);
    emitter.SetRadius(2.5f);
    emitter.SetOrbitalVelocity(0.25f);
    CMyXMLNode element(nullptr, "Emitter");
    emitter.Save(&element);
    ASSERT_EQ(1u, element.GetChildrens().size());
    EXPECT_EQ(CString("Matrix"), element.GetChildrens()[0]->GetName());
    CString movement;
    ASSERT_TRUE(element.GetAttribute("movementType", movement));
    EXPECT_EQ(CString("AROUND_POINT"), movement);

    CPointDouble loaded(device.Get());
    loaded.LoadData(&element);
    EXPECT_EQ(EMT_AROUND_POINT, loaded.GetEmitterMovementType());
    EXPECT_EQ(2.5f, loaded.GetRadius());
    EXPECT_EQ(0.25f, loaded.GetOrbitalVelocity());
    ExpectNear(D3DXVECTOR3(2.5f, 0.0f, 0.0f), loaded.GetPosition(), "position refreshed");
    EXPECT_EQ(5.0f, loaded.GetMatrix()._41);

    element.SetAttribute("movementType", CString("around_axis"));
    loaded.LoadData(&element);
    EXPECT_EQ(EMT_AROUND_POINT, loaded.GetEmitterMovementType());
}

TEST_F(EmitterFixture, ArchiveRecordIsAHundredAndFourBytesAndReadsBack) {
    Place(1.0f, 2.0f, 0.0f);
    emitter.SetEmitterMovementType(EMT_AROUND_AXIS);
    emitter.SetRadius(3.0f);
    CMemFile file;
    {
        CArchive store(&file, CArchive::store);
        emitter.Copy(store);
    }
    EXPECT_EQ(104u, file.GetLength());
    file.SeekToBegin();
    CArchive load(&file, CArchive::load);
    int type = -1;
    load >> type;
    EXPECT_EQ(ET_POINT, type);
    CArchivedPoint copy(device.Get(), load);
    EXPECT_EQ(2.0f, copy.GetMatrix()._42);
    EXPECT_EQ(EMT_AROUND_AXIS, copy.GetEmitterMovementType());
    EXPECT_EQ(3.0f, copy.GetRadius());
    ExpectNear(D3DXVECTOR3(3.0f, 2.0f, 0.0f), copy.GetPosition(), "position refreshed");
}

TEST_F(EmitterFixture, CopiesHoldTheirOwnReferences) {
    Place(1.0f, 0.0f, 0.0f);
    {
        CPointDouble copy(emitter);
        CPointDouble assigned(device.Get());
        assigned = copy;
        assigned = assigned;
        ExpectNear(D3DXVECTOR3(1.0f, 0.0f, 0.0f), assigned.GetMatrixPosition(), "copied");
    }
    emitter.RefreshRotationMatrix(0.0f);
    ExpectNear(D3DXVECTOR3(1.0f, 0.0f, 0.0f), emitter.GetEmitPoint(), "source intact");
}
