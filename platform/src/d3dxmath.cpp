// D3DX 9 math. Index:
//   ==== Vectors ====
//   ==== Matrices ====
//   ==== Camera and projection matrices ====
//   ==== Planes ====
//   ==== Quaternions ====
#include "platform/d3dxmath.h"

#include <cmath>

namespace {

using d3dx_detail::NormalizedOrZero;

// (x, y, z, w) * M as a row vector.
D3DXVECTOR4 RowTimesMatrix(FLOAT x, FLOAT y, FLOAT z, FLOAT w, const D3DXMATRIX& M) {
    FLOAT out[4];
    for (int col = 0; col < 4; ++col) {
        out[col] = x * M.m[0][col] + y * M.m[1][col] + z * M.m[2][col] + w * M.m[3][col];
    }
    return D3DXVECTOR4(out);
}

D3DXVECTOR3 Xyz(const D3DXVECTOR4& v) { return D3DXVECTOR3(v.x, v.y, v.z); }

}  // namespace

// ==== Vectors ====

D3DXVECTOR4* WINAPI D3DXVec3Transform(D3DXVECTOR4* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM) {
    *pOut = RowTimesMatrix(pV->x, pV->y, pV->z, 1.0f, *pM);
    return pOut;
}

// A w of zero divides by zero and yields infinities, as in D3DX.
D3DXVECTOR3* WINAPI D3DXVec3TransformCoord(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM) {
    const D3DXVECTOR4 h = RowTimesMatrix(pV->x, pV->y, pV->z, 1.0f, *pM);
    *pOut = Xyz(h) / h.w;
    return pOut;
}

D3DXVECTOR3* WINAPI D3DXVec3TransformNormal(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM) {
    *pOut = Xyz(RowTimesMatrix(pV->x, pV->y, pV->z, 0.0f, *pM));
    return pOut;
}

D3DXVECTOR4* WINAPI D3DXVec4Transform(D3DXVECTOR4* pOut, const D3DXVECTOR4* pV, const D3DXMATRIX* pM) {
    *pOut = RowTimesMatrix(pV->x, pV->y, pV->z, pV->w, *pM);
    return pOut;
}

// ==== Matrices ====

namespace {

// The 2x2 minors of the top two rows (s) and of the bottom two rows (c), from
// which both the determinant and the adjugate follow (Laplace expansion).
struct Minors {
    explicit Minors(const D3DXMATRIX& M) : a(M.m) {
        s[0] = a[0][0] * a[1][1] - a[1][0] * a[0][1];
        s[1] = a[0][0] * a[1][2] - a[1][0] * a[0][2];
        s[2] = a[0][0] * a[1][3] - a[1][0] * a[0][3];
        s[3] = a[0][1] * a[1][2] - a[1][1] * a[0][2];
        s[4] = a[0][1] * a[1][3] - a[1][1] * a[0][3];
        s[5] = a[0][2] * a[1][3] - a[1][2] * a[0][3];
        c[0] = a[2][0] * a[3][1] - a[3][0] * a[2][1];
        c[1] = a[2][0] * a[3][2] - a[3][0] * a[2][2];
        c[2] = a[2][0] * a[3][3] - a[3][0] * a[2][3];
        c[3] = a[2][1] * a[3][2] - a[3][1] * a[2][2];
        c[4] = a[2][1] * a[3][3] - a[3][1] * a[2][3];
        c[5] = a[2][2] * a[3][3] - a[3][2] * a[2][3];
    }

    FLOAT Determinant() const {
        return s[0] * c[5] - s[1] * c[4] + s[2] * c[3] + s[3] * c[2] - s[4] * c[1] + s[5] * c[0];
    }

    D3DXMATRIX Adjugate() const {
        return D3DXMATRIX(
            a[1][1] * c[5] - a[1][2] * c[4] + a[1][3] * c[3], -a[0][1] * c[5] + a[0][2] * c[4] - a[0][3] * c[3],
            a[3][1] * s[5] - a[3][2] * s[4] + a[3][3] * s[3], -a[2][1] * s[5] + a[2][2] * s[4] - a[2][3] * s[3],
            -a[1][0] * c[5] + a[1][2] * c[2] - a[1][3] * c[1], a[0][0] * c[5] - a[0][2] * c[2] + a[0][3] * c[1],
            -a[3][0] * s[5] + a[3][2] * s[2] - a[3][3] * s[1], a[2][0] * s[5] - a[2][2] * s[2] + a[2][3] * s[1],
            a[1][0] * c[4] - a[1][1] * c[2] + a[1][3] * c[0], -a[0][0] * c[4] + a[0][1] * c[2] - a[0][3] * c[0],
            a[3][0] * s[4] - a[3][1] * s[2] + a[3][3] * s[0], -a[2][0] * s[4] + a[2][1] * s[2] - a[2][3] * s[0],
            -a[1][0] * c[3] + a[1][1] * c[1] - a[1][2] * c[0], a[0][0] * c[3] - a[0][1] * c[1] + a[0][2] * c[0],
            -a[3][0] * s[3] + a[3][1] * s[1] - a[3][2] * s[0], a[2][0] * s[3] - a[2][1] * s[1] + a[2][2] * s[0]);
    }

    const FLOAT (&a)[4][4];
    FLOAT s[6];
    FLOAT c[6];
};

}  // namespace

D3DXMATRIX* WINAPI D3DXMatrixMultiply(D3DXMATRIX* pOut, const D3DXMATRIX* pM1, const D3DXMATRIX* pM2) {
    D3DXMATRIX product;
    for (int row = 0; row < 4; ++row) {
        const D3DXVECTOR4 r = RowTimesMatrix(pM1->m[row][0], pM1->m[row][1], pM1->m[row][2], pM1->m[row][3], *pM2);
        product.m[row][0] = r.x;
        product.m[row][1] = r.y;
        product.m[row][2] = r.z;
        product.m[row][3] = r.w;
    }
    *pOut = product;
    return pOut;
}

FLOAT WINAPI D3DXMatrixDeterminant(const D3DXMATRIX* pM) { return Minors(*pM).Determinant(); }

D3DXMATRIX* WINAPI D3DXMatrixTranspose(D3DXMATRIX* pOut, const D3DXMATRIX* pM) {
    D3DXMATRIX transposed;
    for (int i = 0; i < 16; ++i) transposed.m[i % 4][i / 4] = pM->m[i / 4][i % 4];
    *pOut = transposed;
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixInverse(D3DXMATRIX* pOut, FLOAT* pDeterminant, const D3DXMATRIX* pM) {
    const Minors minors(*pM);
    const FLOAT det = minors.Determinant();
    if (det == 0.0f) return nullptr;
    *pOut = minors.Adjugate() / det;
    if (pDeterminant) *pDeterminant = det;
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixScaling(D3DXMATRIX* pOut, FLOAT sx, FLOAT sy, FLOAT sz) {
    *pOut = D3DXMATRIX(sx, 0.0f, 0.0f, 0.0f,
                       0.0f, sy, 0.0f, 0.0f,
                       0.0f, 0.0f, sz, 0.0f,
                       0.0f, 0.0f, 0.0f, 1.0f);
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixTranslation(D3DXMATRIX* pOut, FLOAT x, FLOAT y, FLOAT z) {
    *pOut = D3DXMATRIX(1.0f, 0.0f, 0.0f, 0.0f,
                       0.0f, 1.0f, 0.0f, 0.0f,
                       0.0f, 0.0f, 1.0f, 0.0f,
                       x, y, z, 1.0f);
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixRotationX(D3DXMATRIX* pOut, FLOAT Angle) {
    const FLOAT c = std::cos(Angle);
    const FLOAT s = std::sin(Angle);
    *pOut = D3DXMATRIX(1.0f, 0.0f, 0.0f, 0.0f,
                       0.0f, c, s, 0.0f,
                       0.0f, -s, c, 0.0f,
                       0.0f, 0.0f, 0.0f, 1.0f);
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixRotationY(D3DXMATRIX* pOut, FLOAT Angle) {
    const FLOAT c = std::cos(Angle);
    const FLOAT s = std::sin(Angle);
    *pOut = D3DXMATRIX(c, 0.0f, -s, 0.0f,
                       0.0f, 1.0f, 0.0f, 0.0f,
                       s, 0.0f, c, 0.0f,
                       0.0f, 0.0f, 0.0f, 1.0f);
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixRotationZ(D3DXMATRIX* pOut, FLOAT Angle) {
    const FLOAT c = std::cos(Angle);
    const FLOAT s = std::sin(Angle);
    *pOut = D3DXMATRIX(c, s, 0.0f, 0.0f,
                       -s, c, 0.0f, 0.0f,
                       0.0f, 0.0f, 1.0f, 0.0f,
                       0.0f, 0.0f, 0.0f, 1.0f);
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixRotationAxis(D3DXMATRIX* pOut, const D3DXVECTOR3* pV, FLOAT Angle) {
    D3DXVECTOR3 n;
    D3DXVec3Normalize(&n, pV);
    const FLOAT c = std::cos(Angle);
    const FLOAT s = std::sin(Angle);
    const FLOAT t = 1.0f - c;
    *pOut = D3DXMATRIX(t * n.x * n.x + c, t * n.x * n.y + s * n.z, t * n.x * n.z - s * n.y, 0.0f,
                       t * n.x * n.y - s * n.z, t * n.y * n.y + c, t * n.y * n.z + s * n.x, 0.0f,
                       t * n.x * n.z + s * n.y, t * n.y * n.z - s * n.x, t * n.z * n.z + c, 0.0f,
                       0.0f, 0.0f, 0.0f, 1.0f);
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixRotationQuaternion(D3DXMATRIX* pOut, const D3DXQUATERNION* pQ) {
    const FLOAT x = pQ->x, y = pQ->y, z = pQ->z, w = pQ->w;
    *pOut = D3DXMATRIX(1.0f - 2.0f * (y * y + z * z), 2.0f * (x * y + z * w), 2.0f * (x * z - y * w), 0.0f,
                       2.0f * (x * y - z * w), 1.0f - 2.0f * (x * x + z * z), 2.0f * (y * z + x * w), 0.0f,
                       2.0f * (x * z + y * w), 2.0f * (y * z - x * w), 1.0f - 2.0f * (x * x + y * y), 0.0f,
                       0.0f, 0.0f, 0.0f, 1.0f);
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixRotationYawPitchRoll(D3DXMATRIX* pOut, FLOAT Yaw, FLOAT Pitch, FLOAT Roll) {
    D3DXMATRIX roll, pitch, yaw;
    D3DXMatrixRotationZ(&roll, Roll);
    D3DXMatrixRotationX(&pitch, Pitch);
    D3DXMatrixRotationY(&yaw, Yaw);
    *pOut = roll * pitch * yaw;
    return pOut;
}

// ==== Camera and projection matrices ====

D3DXMATRIX* WINAPI D3DXMatrixLookAtLH(D3DXMATRIX* pOut, const D3DXVECTOR3* pEye, const D3DXVECTOR3* pAt,
                                      const D3DXVECTOR3* pUp) {
    D3DXVECTOR3 zaxis, xaxis, yaxis;
    const D3DXVECTOR3 forward = *pAt - *pEye;
    D3DXVec3Normalize(&zaxis, &forward);
    D3DXVec3Normalize(&xaxis, D3DXVec3Cross(&xaxis, pUp, &zaxis));
    D3DXVec3Cross(&yaxis, &zaxis, &xaxis);
    *pOut = D3DXMATRIX(xaxis.x, yaxis.x, zaxis.x, 0.0f,
                       xaxis.y, yaxis.y, zaxis.y, 0.0f,
                       xaxis.z, yaxis.z, zaxis.z, 0.0f,
                       -D3DXVec3Dot(&xaxis, pEye), -D3DXVec3Dot(&yaxis, pEye), -D3DXVec3Dot(&zaxis, pEye), 1.0f);
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixPerspectiveFovLH(D3DXMATRIX* pOut, FLOAT fovy, FLOAT Aspect, FLOAT zn, FLOAT zf) {
    const FLOAT yScale = 1.0f / std::tan(fovy / 2.0f);
    const FLOAT xScale = yScale / Aspect;
    const FLOAT q = zf / (zf - zn);
    *pOut = D3DXMATRIX(xScale, 0.0f, 0.0f, 0.0f,
                       0.0f, yScale, 0.0f, 0.0f,
                       0.0f, 0.0f, q, 1.0f,
                       0.0f, 0.0f, -zn * q, 0.0f);
    return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixOrthoLH(D3DXMATRIX* pOut, FLOAT w, FLOAT h, FLOAT zn, FLOAT zf) {
    return D3DXMatrixOrthoOffCenterLH(pOut, -w / 2.0f, w / 2.0f, -h / 2.0f, h / 2.0f, zn, zf);
}

D3DXMATRIX* WINAPI D3DXMatrixOrthoOffCenterLH(D3DXMATRIX* pOut, FLOAT l, FLOAT r, FLOAT b, FLOAT t, FLOAT zn,
                                              FLOAT zf) {
    *pOut = D3DXMATRIX(2.0f / (r - l), 0.0f, 0.0f, 0.0f,
                       0.0f, 2.0f / (t - b), 0.0f, 0.0f,
                       0.0f, 0.0f, 1.0f / (zf - zn), 0.0f,
                       (l + r) / (l - r), (t + b) / (b - t), zn / (zn - zf), 1.0f);
    return pOut;
}

// ==== Planes ====

D3DXPLANE* WINAPI D3DXPlaneFromPointNormal(D3DXPLANE* pOut, const D3DXVECTOR3* pPoint, const D3DXVECTOR3* pNormal) {
    *pOut = D3DXPLANE(pNormal->x, pNormal->y, pNormal->z, -D3DXVec3Dot(pPoint, pNormal));
    return pOut;
}

D3DXPLANE* WINAPI D3DXPlaneNormalize(D3DXPLANE* pOut, const D3DXPLANE* pP) {
    const D3DXVECTOR3 normal(pP->a, pP->b, pP->c);
    *pOut = NormalizedOrZero(*pP, D3DXVec3Length(&normal));
    return pOut;
}

D3DXVECTOR3* WINAPI D3DXPlaneIntersectLine(D3DXVECTOR3* pOut, const D3DXPLANE* pP, const D3DXVECTOR3* pV1,
                                           const D3DXVECTOR3* pV2) {
    const D3DXVECTOR3 direction = *pV2 - *pV1;
    const FLOAT approach = D3DXPlaneDotNormal(pP, &direction);
    if (approach == 0.0f) return nullptr;
    const FLOAT t = -D3DXPlaneDotCoord(pP, pV1) / approach;
    *pOut = *pV1 + direction * t;
    return pOut;
}

// ==== Quaternions ====

FLOAT WINAPI D3DXQuaternionLength(const D3DXQUATERNION* pQ) { return std::sqrt(D3DXQuaternionLengthSq(pQ)); }

D3DXQUATERNION* WINAPI D3DXQuaternionRotationAxis(D3DXQUATERNION* pOut, const D3DXVECTOR3* pV, FLOAT Angle) {
    D3DXVECTOR3 n;
    D3DXVec3Normalize(&n, pV);
    const FLOAT s = std::sin(Angle / 2.0f);
    *pOut = D3DXQUATERNION(n.x * s, n.y * s, n.z * s, std::cos(Angle / 2.0f));
    return pOut;
}

// The Hamilton product q2 * q1, so that the result rotates by q1 first, then q2.
D3DXQUATERNION* WINAPI D3DXQuaternionMultiply(D3DXQUATERNION* pOut, const D3DXQUATERNION* pQ1,
                                              const D3DXQUATERNION* pQ2) {
    const D3DXQUATERNION& a = *pQ2;
    const D3DXQUATERNION& b = *pQ1;
    *pOut = D3DXQUATERNION(a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
                           a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
                           a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w,
                           a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z);
    return pOut;
}

D3DXQUATERNION* WINAPI D3DXQuaternionNormalize(D3DXQUATERNION* pOut, const D3DXQUATERNION* pQ) {
    *pOut = NormalizedOrZero(*pQ, D3DXQuaternionLength(pQ));
    return pOut;
}
