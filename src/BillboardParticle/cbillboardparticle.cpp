#include "cbillboardparticle.h"

#include <cmath>

namespace {

D3DXVECTOR3 Row(const D3DXMATRIX& matrix, int row) {
    return D3DXVECTOR3(matrix.m[row][0], matrix.m[row][1], matrix.m[row][2]);
}

D3DXVECTOR3 Normalized(const D3DXVECTOR3& vector) {
    D3DXVECTOR3 unit;
    D3DXVec3Normalize(&unit, &vector);
    return unit;
}

// Facing, right and up of one quad. Right and up are not normalised: where
// they are crossed from the facing vector and the camera's up, their length is
// the sine of the angle between the two, and the quad collapses when the
// particle is seen straight along the camera's up.
struct SBasis {
    D3DXVECTOR3 facing;
    D3DXVECTOR3 right;
    D3DXVECTOR3 up;
};

SBasis CrossedBasis(const D3DXVECTOR3& facing, const D3DXVECTOR3& cameraUp) {
    SBasis basis;
    basis.facing = facing;
    D3DXVec3Cross(&basis.right, &facing, &cameraUp);
    D3DXVec3Cross(&basis.up, &basis.right, &facing);
    return basis;
}

SBasis AxialBasis(const D3DXVECTOR3& cameraRight, const D3DXVECTOR3& axis) {
    SBasis basis;
    basis.right = cameraRight;
    basis.up = axis;
    D3DXVec3Cross(&basis.facing, &cameraRight, &axis);
    return basis;
}

// The quaternion, product and matrix steps are written out here with the same
// arithmetic as their D3DX counterparts: as out-of-line calls they cost more
// than the rest of the quad together.
D3DXQUATERNION AxisTurn(const D3DXVECTOR3& axis, float angle) {
    const float length = std::sqrt(axis.x * axis.x + axis.y * axis.y + axis.z * axis.z);
    const D3DXVECTOR3 unit = length == 0.0f ? D3DXVECTOR3(0.0f, 0.0f, 0.0f) : axis / length;
    const float s = std::sin(angle / 2.0f);
    return D3DXQUATERNION(unit.x * s, unit.y * s, unit.z * s, std::cos(angle / 2.0f));
}

// first, then second (the Hamilton product second * first).
D3DXQUATERNION Then(const D3DXQUATERNION& b, const D3DXQUATERNION& a) {
    return D3DXQUATERNION(a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y, a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
                          a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w, a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z);
}

// v as a normal through the rotation matrix of q.
D3DXVECTOR3 TurnNormal(const D3DXVECTOR3& v, const D3DXQUATERNION& q) {
    const float x = q.x, y = q.y, z = q.z, w = q.w;
    const float m[3][3] = {{1.0f - 2.0f * (y * y + z * z), 2.0f * (x * y + z * w), 2.0f * (x * z - y * w)},
                           {2.0f * (x * y - z * w), 1.0f - 2.0f * (x * x + z * z), 2.0f * (y * z + x * w)},
                           {2.0f * (x * z + y * w), 2.0f * (y * z - x * w), 1.0f - 2.0f * (x * x + y * y)}};
    float out[3];
    for (int column = 0; column < 3; ++column)
        out[column] = v.x * m[0][column] + v.y * m[1][column] + v.z * m[2][column] + 0.0f;
    return D3DXVECTOR3(out[0], out[1], out[2]);
}

// rz turns about the facing vector; rx and ry then about right and up. A zero
// rotation leaves the basis exactly as it is, so it is skipped.
void Rotate(SBasis& basis, const D3DXVECTOR3& rotation) {
    if (rotation.x == 0.0f && rotation.y == 0.0f && rotation.z == 0.0f) return;
    D3DXQUATERNION q = AxisTurn(basis.facing, rotation.z);
    if (rotation.x != 0.0f || rotation.y != 0.0f) {
        q = Then(q, AxisTurn(basis.right, rotation.x));
        q = Then(q, AxisTurn(basis.up, rotation.y));
    }
    basis.right = TurnNormal(basis.right, q);
    basis.up = TurnNormal(basis.up, q);
}

BBVertex* WriteCorner(BBVertex* pOut, const D3DXVECTOR3& position, D3DCOLOR color, float u, float v) {
    *pOut = BBVertex{position.x, position.y, position.z, color, u, v};
    return pOut + 1;
}

}  // namespace

CBillboardParticle::CBillboardParticle(IParticleSystem* pSystem) : IParticle(pSystem) {}

BBVertex* CBillboardParticle::SetVertexBuffer(const CBillboardParticleSystem* pSystem, BBVertex* pOut,
                                              const D3DXMATRIX& camera, int bbType, const D3DXMATRIX* pTransform,
                                              float sizeFactor) const {
    D3DXVECTOR3 centre = m_vPos;
    if (pTransform) D3DXVec3TransformCoord(&centre, &centre, pTransform);
    SBasis basis;
    switch (bbType) {
        case BBT_POINT_ORIENTED:
            basis = CrossedBasis(Normalized(Row(camera, 3) - centre), Row(camera, 1));
            break;
        case BBT_AXIAL:
            basis = AxialBasis(Row(camera, 0), pSystem->GetAxis());
            break;
        case BBT_MOVE_ORIENTED:
            basis = CrossedBasis(m_vCurrentDirection, Row(camera, 1));
            break;
        case BBT_TARGET_ORIENTED:
            basis = CrossedBasis(Normalized(pSystem->GetTargetPoint() - m_vPos), Row(camera, 1));
            break;
        default:  // plane-aligned, also for a type no document names
            basis = SBasis{Row(camera, 2), Row(camera, 0), Row(camera, 1)};
            break;
    }
    Rotate(basis, m_vRotation);
    // u grows against the camera's right, v along its up.
    const D3DXVECTOR3 right = basis.right * (-sizeFactor * m_vSize.x * 0.5f);
    const D3DXVECTOR3 up = basis.up * (sizeFactor * m_vSize.y * 0.5f);
    const float u = m_vTextureCorner.x;
    const float v = m_vTextureCorner.y;
    pOut = WriteCorner(pOut, centre - right - up, m_dwColor, u, v);
    pOut = WriteCorner(pOut, centre + right - up, m_dwColor, u + 1.0f, v);
    pOut = WriteCorner(pOut, centre + right + up, m_dwColor, u + 1.0f, v + 1.0f);
    return WriteCorner(pOut, centre - right + up, m_dwColor, u, v + 1.0f);
}
