// D3DX math checked against values worked out by hand: known rotations of the
// unit axes, hand-inverted matrices, projections of chosen points.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>

#include "platform/d3dxfvf.h"
#include "platform/d3dxmath.h"

namespace {

constexpr float kTolerance = 1e-5f;

void ExpectNear(const D3DXVECTOR3& got, const D3DXVECTOR3& expected, const char* label) {
    EXPECT_NEAR(got.x, expected.x, kTolerance) << label;
    EXPECT_NEAR(got.y, expected.y, kTolerance) << label;
    EXPECT_NEAR(got.z, expected.z, kTolerance) << label;
}

void ExpectNear(const D3DXMATRIX& got, const D3DXMATRIX& expected, const char* label) {
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 4; ++col) {
            EXPECT_NEAR(got(row, col), expected(row, col), kTolerance) << label << " at (" << row << ", " << col << ")";
        }
    }
}

D3DXVECTOR3 TransformCoord(const D3DXVECTOR3& v, const D3DXMATRIX& mat) {
    D3DXVECTOR3 out;
    return *D3DXVec3TransformCoord(&out, &v, &mat);
}

D3DXMATRIX Identity() {
    D3DXMATRIX identity;
    return *D3DXMatrixIdentity(&identity);
}

const D3DXVECTOR3 kX(1.0f, 0.0f, 0.0f);
const D3DXVECTOR3 kY(0.0f, 1.0f, 0.0f);
const D3DXVECTOR3 kZ(0.0f, 0.0f, 1.0f);
const float kQuarterTurn = D3DX_PI / 2.0f;

}  // namespace

// ==== Vectors ====

TEST(D3DXVec, NormalizeScalesToUnitLengthAndKeepsZeroAtZero) {
    D3DXVECTOR3 out(9.0f, 9.0f, 9.0f);
    D3DXVECTOR3 zero(0.0f, 0.0f, 0.0f);
    D3DXVec3Normalize(&out, &zero);
    EXPECT_EQ(out, zero);

    D3DXVECTOR3 v(3.0f, 0.0f, -4.0f);
    ExpectNear(*D3DXVec3Normalize(&v, &v), D3DXVECTOR3(0.6f, 0.0f, -0.8f), "in place");

    D3DXVECTOR2 out2(9.0f, 9.0f);
    const D3DXVECTOR2 zero2(0.0f, 0.0f);
    EXPECT_EQ(*D3DXVec2Normalize(&out2, &zero2), zero2);

    D3DXVECTOR4 out4(9.0f, 9.0f, 9.0f, 9.0f);
    const D3DXVECTOR4 zero4(0.0f, 0.0f, 0.0f, 0.0f);
    EXPECT_EQ(*D3DXVec4Normalize(&out4, &zero4), zero4);
    const D3DXVECTOR4 v4(1.0f, 1.0f, 1.0f, 1.0f);
    EXPECT_FLOAT_EQ(D3DXVec4Normalize(&out4, &v4)->w, 0.5f);
}

TEST(D3DXVec, CrossFollowsTheAxisCycleEvenInPlace) {
    D3DXVECTOR3 v = kX;
    D3DXVec3Cross(&v, &v, &kY);
    EXPECT_EQ(v, kZ);
    D3DXVECTOR3 w = kZ;
    D3DXVec3Cross(&w, &kY, &w);
    EXPECT_EQ(w, kX);
}

TEST(D3DXVec, LerpInterpolatesAndExtrapolates) {
    const D3DXVECTOR3 a(0.0f, 10.0f, -4.0f);
    const D3DXVECTOR3 b(4.0f, 20.0f, 4.0f);
    D3DXVECTOR3 out;
    EXPECT_EQ(*D3DXVec3Lerp(&out, &a, &b, 0.25f), D3DXVECTOR3(1.0f, 12.5f, -2.0f));
    EXPECT_EQ(*D3DXVec3Lerp(&out, &a, &b, 2.0f), D3DXVECTOR3(8.0f, 30.0f, 12.0f));
    const D3DXVECTOR2 a2(2.0f, 0.0f), b2(4.0f, -8.0f);
    D3DXVECTOR2 out2;
    EXPECT_EQ(*D3DXVec2Lerp(&out2, &a2, &b2, 0.5f), D3DXVECTOR2(3.0f, -4.0f));
}

TEST(D3DXVec, TransformCoordDividesByWButTransformDoesNot) {
    D3DXMATRIX halve = Identity();
    halve._44 = 2.0f;
    halve._41 = 2.0f;
    const D3DXVECTOR3 p(2.0f, 4.0f, 6.0f);
    ExpectNear(TransformCoord(p, halve), D3DXVECTOR3(2.0f, 2.0f, 3.0f), "(4, 4, 6, 2) / 2");

    D3DXVECTOR4 h;
    D3DXVec3Transform(&h, &p, &halve);
    EXPECT_EQ(h, D3DXVECTOR4(4.0f, 4.0f, 6.0f, 2.0f));

    D3DXVECTOR3 n;
    ExpectNear(*D3DXVec3TransformNormal(&n, &p, &halve), p, "directions ignore row 4");
}

// ==== Matrices ====

TEST(D3DXMatrix, MultiplyAppliesTheLeftMatrixFirst) {
    D3DXMATRIX translate, scale, product;
    D3DXMatrixTranslation(&translate, 1.0f, 0.0f, 0.0f);
    D3DXMatrixScaling(&scale, 2.0f, 3.0f, 4.0f);
    D3DXMatrixMultiply(&product, &translate, &scale);
    ExpectNear(TransformCoord(kX, product), D3DXVECTOR3(4.0f, 0.0f, 0.0f), "translate then scale");
    ExpectNear(TransformCoord(kX, scale * translate), D3DXVECTOR3(3.0f, 0.0f, 0.0f), "scale then translate");

    D3DXMatrixMultiply(&translate, &translate, &scale);
    EXPECT_EQ(translate, product) << "output aliasing the first input";
}

TEST(D3DXMatrix, InverseOfScaleAndTranslationMatchesHandResult) {
    D3DXMATRIX scale, translate;
    D3DXMatrixScaling(&scale, 2.0f, 4.0f, 8.0f);
    D3DXMatrixTranslation(&translate, 1.0f, 2.0f, 3.0f);
    D3DXMATRIX m = scale * translate;
    float det = 0.0f;
    ASSERT_EQ(D3DXMatrixInverse(&m, &det, &m), &m);
    EXPECT_FLOAT_EQ(det, 64.0f);
    ExpectNear(m, D3DXMATRIX(0.5f, 0.0f, 0.0f, 0.0f,
                             0.0f, 0.25f, 0.0f, 0.0f,
                             0.0f, 0.0f, 0.125f, 0.0f,
                             -0.5f, -0.5f, -0.375f, 1.0f),
               "in place, determinant written");
}

TEST(D3DXMatrix, InverseOfDenseMatrixUndoesIt) {
    const D3DXMATRIX m(2.0f, -1.0f, 0.5f, 3.0f,
                       1.0f, 4.0f, -2.0f, 0.0f,
                       0.0f, 1.5f, 3.0f, -1.0f,
                       5.0f, 0.0f, 1.0f, 2.0f);
    D3DXMATRIX inverse;
    ASSERT_NE(D3DXMatrixInverse(&inverse, nullptr, &m), nullptr);
    ExpectNear(m * inverse, Identity(), "M * M^-1");
    ExpectNear(inverse * m, Identity(), "M^-1 * M");
}

TEST(D3DXMatrix, InverseOfSingularMatrixReturnsNullAndWritesNothing) {
    const D3DXMATRIX singular(1.0f, 2.0f, 3.0f, 4.0f,
                              2.0f, 4.0f, 6.0f, 8.0f,
                              0.0f, 1.0f, 0.0f, 1.0f,
                              5.0f, 0.0f, 1.0f, 2.0f);
    D3DXMATRIX out(std::array<float, 16>{7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7}.data());
    const D3DXMATRIX before = out;
    float det = 42.0f;
    EXPECT_EQ(D3DXMatrixInverse(&out, &det, &singular), nullptr);
    EXPECT_EQ(out, before);
    EXPECT_EQ(det, 42.0f);
}

TEST(D3DXMatrix, DeterminantOfTriangularMatrixAndRowSwap) {
    const D3DXMATRIX upper(2.0f, 5.0f, 7.0f, 1.0f,
                           0.0f, 3.0f, 4.0f, 2.0f,
                           0.0f, 0.0f, 4.0f, 9.0f,
                           0.0f, 0.0f, 0.0f, 0.5f);
    EXPECT_FLOAT_EQ(D3DXMatrixDeterminant(&upper), 12.0f);
    const D3DXMATRIX swapped(0.0f, 0.0f, 0.0f, 0.5f,
                             0.0f, 3.0f, 4.0f, 2.0f,
                             0.0f, 0.0f, 4.0f, 9.0f,
                             2.0f, 5.0f, 7.0f, 1.0f);
    EXPECT_FLOAT_EQ(D3DXMatrixDeterminant(&swapped), -12.0f);
}

TEST(D3DXMatrix, TransposeAndIdentityTest) {
    D3DXMATRIX m = Identity();
    EXPECT_TRUE(D3DXMatrixIsIdentity(&m));
    m._42 = 3.0f;
    EXPECT_FALSE(D3DXMatrixIsIdentity(&m));
    D3DXMatrixTranspose(&m, &m);
    EXPECT_EQ(m._24, 3.0f);
    EXPECT_EQ(m._42, 0.0f);
}

TEST(D3DXMatrix, RotationsTakeAxesWhereD3DXTakesThem) {
    D3DXMATRIX rx, ry, rz, axisZ, axisDiagonal, ypr, rollOnly, fromQuat;
    D3DXMatrixRotationX(&rx, kQuarterTurn);
    D3DXMatrixRotationY(&ry, kQuarterTurn);
    D3DXMatrixRotationZ(&rz, kQuarterTurn);
    const D3DXVECTOR3 longZ(0.0f, 0.0f, 5.0f);
    D3DXMatrixRotationAxis(&axisZ, &longZ, kQuarterTurn);
    const D3DXVECTOR3 diagonal(1.0f, 1.0f, 1.0f);
    D3DXMatrixRotationAxis(&axisDiagonal, &diagonal, 2.0f * D3DX_PI / 3.0f);
    D3DXMatrixRotationYawPitchRoll(&ypr, kQuarterTurn, kQuarterTurn, 0.0f);
    D3DXMatrixRotationYawPitchRoll(&rollOnly, 0.0f, 0.0f, kQuarterTurn);
    D3DXQUATERNION q;
    const D3DXVECTOR3 longY(0.0f, 3.0f, 0.0f);
    D3DXMatrixRotationQuaternion(&fromQuat, D3DXQuaternionRotationAxis(&q, &longY, kQuarterTurn));

    const struct {
        const char* label;
        const D3DXMATRIX& rotation;
        D3DXVECTOR3 from;
        D3DXVECTOR3 to;
    } cases[] = {
        {"RotationX 90: y to z", rx, kY, kZ},
        {"RotationY 90: z to x", ry, kZ, kX},
        {"RotationZ 90: x to y", rz, kX, kY},
        {"RotationAxis (0,0,5) 90: x to y", axisZ, kX, kY},
        {"RotationAxis (1,1,1) 120: x to y", axisDiagonal, kX, kY},
        {"RotationAxis (1,1,1) 120: y to z", axisDiagonal, kY, kZ},
        {"YawPitchRoll: pitch before yaw", ypr, kY, kX},
        {"YawPitchRoll roll only: x to y", rollOnly, kX, kY},
        {"quaternion (0,3,0) 90: z to x", fromQuat, kZ, kX},
    };
    for (const auto& c : cases) ExpectNear(TransformCoord(c.from, c.rotation), c.to, c.label);
}

TEST(D3DXMatrix, RotationQuaternionUsesTheQuaternionUnnormalised) {
    const D3DXQUATERNION doubled(2.0f, 0.0f, 0.0f, 0.0f);
    D3DXMATRIX m;
    D3DXMatrixRotationQuaternion(&m, &doubled);
    EXPECT_FLOAT_EQ(m._11, 1.0f);
    EXPECT_FLOAT_EQ(m._22, -7.0f) << "1 - 2 * 2^2; a unit quaternion would give -1";
    EXPECT_FLOAT_EQ(m._33, -7.0f);
}

TEST(D3DXMatrix, LookAtLHPutsTheTargetOnThePositiveZAxis) {
    const D3DXVECTOR3 eye(5.0f, 0.0f, 0.0f), at(0.0f, 0.0f, 0.0f), up(0.0f, 2.0f, 0.0f);
    D3DXMATRIX view;
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    ExpectNear(TransformCoord(at, view), D3DXVECTOR3(0.0f, 0.0f, 5.0f), "target straight ahead");
    ExpectNear(TransformCoord(kZ, view), D3DXVECTOR3(1.0f, 0.0f, 5.0f), "+z is to the right looking down -x");
    ExpectNear(TransformCoord(kY, view), D3DXVECTOR3(0.0f, 1.0f, 5.0f), "up stays up");
}

TEST(D3DXMatrix, ProjectionsMapTheViewVolumeToTheUnitCube) {
    D3DXMATRIX fov, ortho, offCenter;
    D3DXMatrixPerspectiveFovLH(&fov, kQuarterTurn, 2.0f, 1.0f, 10.0f);
    D3DXMatrixOrthoLH(&ortho, 4.0f, 2.0f, 1.0f, 11.0f);
    D3DXMatrixOrthoOffCenterLH(&offCenter, 0.0f, 10.0f, 0.0f, 20.0f, 0.0f, 1.0f);
    const struct {
        const char* label;
        const D3DXMATRIX& projection;
        D3DXVECTOR3 point;
        D3DXVECTOR3 expected;
    } cases[] = {
        {"fov: near centre", fov, D3DXVECTOR3(0.0f, 0.0f, 1.0f), D3DXVECTOR3(0.0f, 0.0f, 0.0f)},
        {"fov: far centre", fov, D3DXVECTOR3(0.0f, 0.0f, 10.0f), D3DXVECTOR3(0.0f, 0.0f, 1.0f)},
        {"fov: top-right corner at z 4", fov, D3DXVECTOR3(8.0f, 4.0f, 4.0f), D3DXVECTOR3(1.0f, 1.0f, 10.0f / 12.0f)},
        {"ortho: near corner", ortho, D3DXVECTOR3(2.0f, 1.0f, 1.0f), D3DXVECTOR3(1.0f, 1.0f, 0.0f)},
        {"ortho: far corner", ortho, D3DXVECTOR3(-2.0f, -1.0f, 11.0f), D3DXVECTOR3(-1.0f, -1.0f, 1.0f)},
        {"off-centre: origin", offCenter, D3DXVECTOR3(0.0f, 0.0f, 0.0f), D3DXVECTOR3(-1.0f, -1.0f, 0.0f)},
        {"off-centre: far corner", offCenter, D3DXVECTOR3(10.0f, 20.0f, 1.0f), D3DXVECTOR3(1.0f, 1.0f, 1.0f)},
    };
    for (const auto& c : cases) ExpectNear(TransformCoord(c.point, c.projection), c.expected, c.label);
}

TEST(D3DXMatrix, A16IsAlignedOnTheHeapToo) {
    auto matrices = std::make_unique<D3DXMATRIXA16[]>(3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(reinterpret_cast<std::uintptr_t>(&matrices[i]) % 16, 0u) << i;
}

// ==== Planes ====

TEST(D3DXPlane, FromPointNormalKeepsTheNormalAsGiven) {
    const D3DXVECTOR3 point(1.0f, 2.0f, 3.0f), normal(0.0f, 2.0f, 0.0f);
    D3DXPLANE plane;
    D3DXPlaneFromPointNormal(&plane, &point, &normal);
    EXPECT_EQ(plane, D3DXPLANE(0.0f, 2.0f, 0.0f, -4.0f));
    const D3DXVECTOR3 above(5.0f, 7.0f, 9.0f);
    EXPECT_FLOAT_EQ(D3DXPlaneDotCoord(&plane, &above), 10.0f);
    EXPECT_FLOAT_EQ(D3DXPlaneDotNormal(&plane, &above), 14.0f);
    EXPECT_EQ(*D3DXPlaneNormalize(&plane, &plane), D3DXPLANE(0.0f, 1.0f, 0.0f, -2.0f));
}

TEST(D3DXPlane, IntersectLineUsesTheInfiniteLine) {
    const D3DXPLANE y2(0.0f, 1.0f, 0.0f, -2.0f);
    const D3DXVECTOR3 origin(0.0f, 0.0f, 0.0f), diagonal(1.0f, 1.0f, 1.0f);
    D3DXVECTOR3 out;
    ASSERT_EQ(D3DXPlaneIntersectLine(&out, &y2, &origin, &diagonal), &out);
    ExpectNear(out, D3DXVECTOR3(2.0f, 2.0f, 2.0f), "beyond the second point");
}

TEST(D3DXPlane, IntersectLineParallelReturnsNullAndWritesNothing) {
    const D3DXPLANE y2(0.0f, 1.0f, 0.0f, -2.0f);
    const struct {
        const char* label;
        D3DXVECTOR3 v1, v2;
    } cases[] = {
        {"parallel off the plane", D3DXVECTOR3(0.0f, 0.0f, 0.0f), D3DXVECTOR3(1.0f, 0.0f, 5.0f)},
        {"lying in the plane", D3DXVECTOR3(0.0f, 2.0f, 0.0f), D3DXVECTOR3(3.0f, 2.0f, 0.0f)},
        {"degenerate line", D3DXVECTOR3(1.0f, 1.0f, 1.0f), D3DXVECTOR3(1.0f, 1.0f, 1.0f)},
    };
    for (const auto& c : cases) {
        D3DXVECTOR3 out(7.0f, 7.0f, 7.0f);
        EXPECT_EQ(D3DXPlaneIntersectLine(&out, &y2, &c.v1, &c.v2), nullptr) << c.label;
        EXPECT_EQ(out, D3DXVECTOR3(7.0f, 7.0f, 7.0f)) << c.label;
    }
}

// ==== Quaternions ====

TEST(D3DXQuaternion, MultiplyRotatesByTheFirstThenTheSecond) {
    D3DXQUATERNION aboutX, aboutY, product;
    D3DXQuaternionRotationAxis(&aboutX, &kX, kQuarterTurn);
    D3DXQuaternionRotationAxis(&aboutY, &kY, kQuarterTurn);
    D3DXQuaternionMultiply(&product, &aboutX, &aboutY);
    EXPECT_NEAR(product.x, 0.5f, kTolerance);
    EXPECT_NEAR(product.y, 0.5f, kTolerance);
    EXPECT_NEAR(product.z, -0.5f, kTolerance);
    EXPECT_NEAR(product.w, 0.5f, kTolerance);

    D3DXMATRIX m;
    D3DXMatrixRotationQuaternion(&m, &product);
    ExpectNear(TransformCoord(kY, m), kX, "y -> z about x, then z -> x about y");
    EXPECT_EQ(aboutX * aboutY, product);
}

TEST(D3DXQuaternion, RotationAxisNormalisesTheAxis) {
    const D3DXVECTOR3 longZ(0.0f, 0.0f, 2.0f);
    D3DXQUATERNION q;
    D3DXQuaternionRotationAxis(&q, &longZ, D3DX_PI);
    EXPECT_NEAR(q.x, 0.0f, kTolerance);
    EXPECT_NEAR(q.z, 1.0f, kTolerance);
    EXPECT_NEAR(q.w, 0.0f, kTolerance);
}

TEST(D3DXQuaternion, NormalizeAndLength) {
    D3DXQUATERNION q(0.0f, 0.0f, 3.0f, 4.0f);
    EXPECT_FLOAT_EQ(D3DXQuaternionLength(&q), 5.0f);
    EXPECT_EQ(*D3DXQuaternionNormalize(&q, &q), D3DXQUATERNION(0.0f, 0.0f, 0.6f, 0.8f));
    const D3DXQUATERNION zero(0.0f, 0.0f, 0.0f, 0.0f);
    EXPECT_EQ(*D3DXQuaternionNormalize(&q, &zero), zero);
    EXPECT_EQ(*D3DXQuaternionIdentity(&q), D3DXQUATERNION(0.0f, 0.0f, 0.0f, 1.0f));
}

// ==== Colours and constants ====

TEST(D3DXCOLOR, ConvertsFromAndToArgbWords) {
    const D3DXCOLOR c(0x80FF4000u);
    EXPECT_FLOAT_EQ(c.a, 128.0f / 255.0f);
    EXPECT_FLOAT_EQ(c.r, 1.0f);
    EXPECT_FLOAT_EQ(c.g, 64.0f / 255.0f);
    EXPECT_FLOAT_EQ(c.b, 0.0f);
    EXPECT_EQ(static_cast<DWORD>(c), 0x80FF4000u);
}

TEST(D3DXCOLOR, ToArgbSaturatesAndRounds) {
    const struct {
        const char* label;
        D3DXCOLOR color;
        DWORD expected;
    } cases[] = {
        {"out of range clamps", D3DXCOLOR(2.0f, -1.0f, 0.5f, 1.0f), 0xFFFF0080u},
        {"rounds to nearest", D3DXCOLOR(0.1f, 0.0f, 0.0f, 0.0f), 0x001A0000u},
        {"arithmetic result", D3DXCOLOR(0.25f, 0.25f, 0.0f, 0.5f) * 2.0f - D3DXCOLOR(0.0f, 0.5f, 0.0f, 0.0f),
         0xFF800000u},
    };
    for (const auto& c : cases) EXPECT_EQ(static_cast<DWORD>(c.color), c.expected) << c.label;
}

TEST(D3DXMath, DegreeRadianMacros) {
    EXPECT_FLOAT_EQ(D3DXToRadian(180.0f), D3DX_PI);
    EXPECT_FLOAT_EQ(D3DXToDegree(D3DX_PI / 4.0f), 45.0f);
}

// ==== FVF sizes ====

TEST(D3DXGetFVFVertexSize, AddsEachComponent) {
    const struct {
        const char* label;
        DWORD fvf;
        UINT size;
    } cases[] = {
        {"XYZ|PSIZE|DIFFUSE", 0x62, 20},
        {"XYZ|DIFFUSE|TEX1", 0x142, 24},
        {"XYZ|NORMAL|TEX1", 0x112, 32},
        {"XYZ|NORMAL", 0x012, 24},
        {"XYZRHW|DIFFUSE", D3DFVF_XYZRHW | D3DFVF_DIFFUSE, 20},
        {"XYZW", D3DFVF_XYZW, 16},
        {"XYZB3|NORMAL", D3DFVF_XYZB3 | D3DFVF_NORMAL, 36},
        {"XYZB5|LASTBETA_UBYTE4", D3DFVF_XYZB5 | D3DFVF_LASTBETA_UBYTE4, 32},
        {"XYZ|SPECULAR", D3DFVF_XYZ | D3DFVF_SPECULAR, 16},
        {"XYZ|TEX2, sizes 3 and 1", D3DFVF_XYZ | D3DFVF_TEX2 | D3DFVF_TEXCOORDSIZE3(0) | D3DFVF_TEXCOORDSIZE1(1), 28},
        {"TEX1 size 4, later bits ignored", D3DFVF_TEX1 | D3DFVF_TEXCOORDSIZE4(0) | D3DFVF_TEXCOORDSIZE4(1), 16},
        {"XYZ|TEX8", D3DFVF_XYZ | D3DFVF_TEX8, 76},
        {"texture count 15 capped at eight", D3DFVF_XYZ | D3DFVF_TEXCOUNT_MASK, 76},
        {"empty", 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(D3DXGetFVFVertexSize(c.fvf), c.size) << c.label << " (fvf 0x" << std::hex << c.fvf << ")";
    }
}
