// D3DX 9 math: vectors, matrices, planes, quaternions and colours.
//
// Row-vector convention throughout, as in D3DX: a point is a row vector
// multiplied on the left of a matrix, row 4 holds the translation, and
// D3DXMatrixMultiply(out, A, B) = A * B applies A first. Every function
// returns its output pointer and accepts the output aliasing an input.
//
// Index
//   ==== Constants ====
//   ==== Types ====
//   ==== Inline functions ====
//   ==== Exported functions ====
#pragma once

#include <array>
#include <cmath>

#include "platform/d3d9types.h"
#include "platform/export.h"

// ==== Constants ====

#define D3DX_PI ((FLOAT)3.141592654f)
#define D3DX_1BYPI ((FLOAT)0.318309886f)

#define D3DXToRadian(degree) ((degree) * (D3DX_PI / 180.0f))
#define D3DXToDegree(radian) ((radian) * (180.0f / D3DX_PI))

// ==== Types ====

struct D3DXVECTOR2 {
    D3DXVECTOR2() = default;
    explicit D3DXVECTOR2(const FLOAT* pf) : x(pf[0]), y(pf[1]) {}
    D3DXVECTOR2(FLOAT fx, FLOAT fy) : x(fx), y(fy) {}

    operator FLOAT*() { return &x; }
    operator const FLOAT*() const { return &x; }

    D3DXVECTOR2& operator+=(const D3DXVECTOR2& v) { x += v.x; y += v.y; return *this; }
    D3DXVECTOR2& operator-=(const D3DXVECTOR2& v) { x -= v.x; y -= v.y; return *this; }
    D3DXVECTOR2& operator*=(FLOAT f) { x *= f; y *= f; return *this; }
    D3DXVECTOR2& operator/=(FLOAT f) { return *this *= 1.0f / f; }

    D3DXVECTOR2 operator+() const { return *this; }
    D3DXVECTOR2 operator-() const { return D3DXVECTOR2(-x, -y); }

    D3DXVECTOR2 operator+(const D3DXVECTOR2& v) const { return D3DXVECTOR2(x + v.x, y + v.y); }
    D3DXVECTOR2 operator-(const D3DXVECTOR2& v) const { return D3DXVECTOR2(x - v.x, y - v.y); }
    D3DXVECTOR2 operator*(FLOAT f) const { return D3DXVECTOR2(x * f, y * f); }
    D3DXVECTOR2 operator/(FLOAT f) const { return *this * (1.0f / f); }
    friend D3DXVECTOR2 operator*(FLOAT f, const D3DXVECTOR2& v) { return v * f; }

    bool operator==(const D3DXVECTOR2& v) const { return x == v.x && y == v.y; }
    bool operator!=(const D3DXVECTOR2& v) const { return !(*this == v); }

    FLOAT x, y;
};

struct D3DXVECTOR3 : public D3DVECTOR {
    D3DXVECTOR3() = default;
    explicit D3DXVECTOR3(const FLOAT* pf) : D3DVECTOR{pf[0], pf[1], pf[2]} {}
    D3DXVECTOR3(const D3DVECTOR& v) : D3DVECTOR(v) {}
    D3DXVECTOR3(FLOAT fx, FLOAT fy, FLOAT fz) : D3DVECTOR{fx, fy, fz} {}

    operator FLOAT*() { return &x; }
    operator const FLOAT*() const { return &x; }

    D3DXVECTOR3& operator+=(const D3DXVECTOR3& v) { x += v.x; y += v.y; z += v.z; return *this; }
    D3DXVECTOR3& operator-=(const D3DXVECTOR3& v) { x -= v.x; y -= v.y; z -= v.z; return *this; }
    D3DXVECTOR3& operator*=(FLOAT f) { x *= f; y *= f; z *= f; return *this; }
    D3DXVECTOR3& operator/=(FLOAT f) { return *this *= 1.0f / f; }

    D3DXVECTOR3 operator+() const { return *this; }
    D3DXVECTOR3 operator-() const { return D3DXVECTOR3(-x, -y, -z); }

    D3DXVECTOR3 operator+(const D3DXVECTOR3& v) const { return D3DXVECTOR3(x + v.x, y + v.y, z + v.z); }
    D3DXVECTOR3 operator-(const D3DXVECTOR3& v) const { return D3DXVECTOR3(x - v.x, y - v.y, z - v.z); }
    D3DXVECTOR3 operator*(FLOAT f) const { return D3DXVECTOR3(x * f, y * f, z * f); }
    D3DXVECTOR3 operator/(FLOAT f) const { return *this * (1.0f / f); }
    friend D3DXVECTOR3 operator*(FLOAT f, const D3DXVECTOR3& v) { return v * f; }

    bool operator==(const D3DXVECTOR3& v) const { return x == v.x && y == v.y && z == v.z; }
    bool operator!=(const D3DXVECTOR3& v) const { return !(*this == v); }
};

struct D3DXVECTOR4 {
    D3DXVECTOR4() = default;
    explicit D3DXVECTOR4(const FLOAT* pf) : x(pf[0]), y(pf[1]), z(pf[2]), w(pf[3]) {}
    D3DXVECTOR4(const D3DVECTOR& xyz, FLOAT fw) : x(xyz.x), y(xyz.y), z(xyz.z), w(fw) {}
    D3DXVECTOR4(FLOAT fx, FLOAT fy, FLOAT fz, FLOAT fw) : x(fx), y(fy), z(fz), w(fw) {}

    operator FLOAT*() { return &x; }
    operator const FLOAT*() const { return &x; }

    D3DXVECTOR4& operator+=(const D3DXVECTOR4& v) { x += v.x; y += v.y; z += v.z; w += v.w; return *this; }
    D3DXVECTOR4& operator-=(const D3DXVECTOR4& v) { x -= v.x; y -= v.y; z -= v.z; w -= v.w; return *this; }
    D3DXVECTOR4& operator*=(FLOAT f) { x *= f; y *= f; z *= f; w *= f; return *this; }
    D3DXVECTOR4& operator/=(FLOAT f) { return *this *= 1.0f / f; }

    D3DXVECTOR4 operator+() const { return *this; }
    D3DXVECTOR4 operator-() const { return D3DXVECTOR4(-x, -y, -z, -w); }

    D3DXVECTOR4 operator+(const D3DXVECTOR4& v) const { return D3DXVECTOR4(x + v.x, y + v.y, z + v.z, w + v.w); }
    D3DXVECTOR4 operator-(const D3DXVECTOR4& v) const { return D3DXVECTOR4(x - v.x, y - v.y, z - v.z, w - v.w); }
    D3DXVECTOR4 operator*(FLOAT f) const { return D3DXVECTOR4(x * f, y * f, z * f, w * f); }
    D3DXVECTOR4 operator/(FLOAT f) const { return *this * (1.0f / f); }
    friend D3DXVECTOR4 operator*(FLOAT f, const D3DXVECTOR4& v) { return v * f; }

    bool operator==(const D3DXVECTOR4& v) const { return x == v.x && y == v.y && z == v.z && w == v.w; }
    bool operator!=(const D3DXVECTOR4& v) const { return !(*this == v); }

    FLOAT x, y, z, w;
};

struct D3DXMATRIX;
PLATFORM_API D3DXMATRIX* WINAPI D3DXMatrixMultiply(D3DXMATRIX* pOut, const D3DXMATRIX* pM1, const D3DXMATRIX* pM2);

struct D3DXMATRIX : public D3DMATRIX {
    D3DXMATRIX() = default;
    explicit D3DXMATRIX(const FLOAT* pf);
    D3DXMATRIX(const D3DMATRIX& mat) : D3DMATRIX(mat) {}
    D3DXMATRIX(FLOAT f11, FLOAT f12, FLOAT f13, FLOAT f14,
               FLOAT f21, FLOAT f22, FLOAT f23, FLOAT f24,
               FLOAT f31, FLOAT f32, FLOAT f33, FLOAT f34,
               FLOAT f41, FLOAT f42, FLOAT f43, FLOAT f44);

    FLOAT& operator()(UINT Row, UINT Col) { return m[Row][Col]; }
    FLOAT operator()(UINT Row, UINT Col) const { return m[Row][Col]; }

    // The 16 floats in row order.
    operator FLOAT*() { return &m[0][0]; }
    operator const FLOAT*() const { return &m[0][0]; }

    D3DXMATRIX& operator*=(const D3DXMATRIX& mat) { return *D3DXMatrixMultiply(this, this, &mat); }
    D3DXMATRIX& operator+=(const D3DXMATRIX& mat);
    D3DXMATRIX& operator-=(const D3DXMATRIX& mat);
    D3DXMATRIX& operator*=(FLOAT f);
    D3DXMATRIX& operator/=(FLOAT f) { return *this *= 1.0f / f; }

    D3DXMATRIX operator+() const { return *this; }
    D3DXMATRIX operator-() const { return *this * -1.0f; }

    D3DXMATRIX operator*(const D3DXMATRIX& mat) const { return D3DXMATRIX(*this) *= mat; }
    D3DXMATRIX operator+(const D3DXMATRIX& mat) const { return D3DXMATRIX(*this) += mat; }
    D3DXMATRIX operator-(const D3DXMATRIX& mat) const { return D3DXMATRIX(*this) -= mat; }
    D3DXMATRIX operator*(FLOAT f) const { return D3DXMATRIX(*this) *= f; }
    D3DXMATRIX operator/(FLOAT f) const { return D3DXMATRIX(*this) /= f; }
    friend D3DXMATRIX operator*(FLOAT f, const D3DXMATRIX& mat) { return mat * f; }

    bool operator==(const D3DXMATRIX& mat) const;
    bool operator!=(const D3DXMATRIX& mat) const { return !(*this == mat); }
};

// A D3DXMATRIX on a 16-byte boundary, for SIMD-friendly storage.
struct alignas(16) D3DXMATRIXA16 : public D3DXMATRIX {
    D3DXMATRIXA16() = default;
    explicit D3DXMATRIXA16(const FLOAT* pf) : D3DXMATRIX(pf) {}
    D3DXMATRIXA16(const D3DMATRIX& mat) : D3DXMATRIX(mat) {}
    D3DXMATRIXA16(FLOAT f11, FLOAT f12, FLOAT f13, FLOAT f14,
                  FLOAT f21, FLOAT f22, FLOAT f23, FLOAT f24,
                  FLOAT f31, FLOAT f32, FLOAT f33, FLOAT f34,
                  FLOAT f41, FLOAT f42, FLOAT f43, FLOAT f44)
        : D3DXMATRIX(f11, f12, f13, f14, f21, f22, f23, f24, f31, f32, f33, f34, f41, f42, f43, f44) {}

    D3DXMATRIXA16& operator=(const D3DXMATRIX& rhs) {
        D3DXMATRIX::operator=(rhs);
        return *this;
    }
};

struct D3DXQUATERNION;
PLATFORM_API D3DXQUATERNION* WINAPI D3DXQuaternionMultiply(D3DXQUATERNION* pOut, const D3DXQUATERNION* pQ1,
                                                           const D3DXQUATERNION* pQ2);

struct D3DXQUATERNION {
    D3DXQUATERNION() = default;
    explicit D3DXQUATERNION(const FLOAT* pf) : x(pf[0]), y(pf[1]), z(pf[2]), w(pf[3]) {}
    D3DXQUATERNION(FLOAT fx, FLOAT fy, FLOAT fz, FLOAT fw) : x(fx), y(fy), z(fz), w(fw) {}

    operator FLOAT*() { return &x; }
    operator const FLOAT*() const { return &x; }

    D3DXQUATERNION& operator+=(const D3DXQUATERNION& q) { x += q.x; y += q.y; z += q.z; w += q.w; return *this; }
    D3DXQUATERNION& operator-=(const D3DXQUATERNION& q) { x -= q.x; y -= q.y; z -= q.z; w -= q.w; return *this; }
    // this * q is D3DXQuaternionMultiply(this, q): the rotation this, then q.
    D3DXQUATERNION& operator*=(const D3DXQUATERNION& q) { return *D3DXQuaternionMultiply(this, this, &q); }
    D3DXQUATERNION& operator*=(FLOAT f) { x *= f; y *= f; z *= f; w *= f; return *this; }
    D3DXQUATERNION& operator/=(FLOAT f) { return *this *= 1.0f / f; }

    D3DXQUATERNION operator+() const { return *this; }
    D3DXQUATERNION operator-() const { return D3DXQUATERNION(-x, -y, -z, -w); }

    D3DXQUATERNION operator+(const D3DXQUATERNION& q) const { return D3DXQUATERNION(*this) += q; }
    D3DXQUATERNION operator-(const D3DXQUATERNION& q) const { return D3DXQUATERNION(*this) -= q; }
    D3DXQUATERNION operator*(const D3DXQUATERNION& q) const { return D3DXQUATERNION(*this) *= q; }
    D3DXQUATERNION operator*(FLOAT f) const { return D3DXQUATERNION(*this) *= f; }
    D3DXQUATERNION operator/(FLOAT f) const { return D3DXQUATERNION(*this) /= f; }
    friend D3DXQUATERNION operator*(FLOAT f, const D3DXQUATERNION& q) { return q * f; }

    bool operator==(const D3DXQUATERNION& q) const { return x == q.x && y == q.y && z == q.z && w == q.w; }
    bool operator!=(const D3DXQUATERNION& q) const { return !(*this == q); }

    FLOAT x, y, z, w;
};

// ax + by + cz + d = 0; (a, b, c) is the normal, not necessarily unit length.
struct D3DXPLANE {
    D3DXPLANE() = default;
    explicit D3DXPLANE(const FLOAT* pf) : a(pf[0]), b(pf[1]), c(pf[2]), d(pf[3]) {}
    D3DXPLANE(FLOAT fa, FLOAT fb, FLOAT fc, FLOAT fd) : a(fa), b(fb), c(fc), d(fd) {}

    operator FLOAT*() { return &a; }
    operator const FLOAT*() const { return &a; }

    D3DXPLANE& operator*=(FLOAT f) { a *= f; b *= f; c *= f; d *= f; return *this; }
    D3DXPLANE& operator/=(FLOAT f) { return *this *= 1.0f / f; }

    D3DXPLANE operator+() const { return *this; }
    D3DXPLANE operator-() const { return D3DXPLANE(-a, -b, -c, -d); }

    D3DXPLANE operator*(FLOAT f) const { return D3DXPLANE(*this) *= f; }
    D3DXPLANE operator/(FLOAT f) const { return D3DXPLANE(*this) /= f; }
    friend D3DXPLANE operator*(FLOAT f, const D3DXPLANE& p) { return p * f; }

    bool operator==(const D3DXPLANE& p) const { return a == p.a && b == p.b && c == p.c && d == p.d; }
    bool operator!=(const D3DXPLANE& p) const { return !(*this == p); }

    FLOAT a, b, c, d;
};

// Derives from D3DCOLORVALUE (D3DX converts with casts instead): the layout is
// the same and the conversions to D3DCOLORVALUE*/& become well-defined.
struct D3DXCOLOR : public D3DCOLORVALUE {
    D3DXCOLOR() = default;
    D3DXCOLOR(DWORD argb);
    explicit D3DXCOLOR(const FLOAT* pf) : D3DCOLORVALUE{pf[0], pf[1], pf[2], pf[3]} {}
    D3DXCOLOR(const D3DCOLORVALUE& c) : D3DCOLORVALUE(c) {}
    D3DXCOLOR(FLOAT fr, FLOAT fg, FLOAT fb, FLOAT fa) : D3DCOLORVALUE{fr, fg, fb, fa} {}

    // Saturates each component to [0, 1] and rounds to the nearest step of 1/255.
    operator DWORD() const;

    operator FLOAT*() { return &r; }
    operator const FLOAT*() const { return &r; }

    D3DXCOLOR& operator+=(const D3DXCOLOR& c) { r += c.r; g += c.g; b += c.b; a += c.a; return *this; }
    D3DXCOLOR& operator-=(const D3DXCOLOR& c) { r -= c.r; g -= c.g; b -= c.b; a -= c.a; return *this; }
    D3DXCOLOR& operator*=(FLOAT f) { r *= f; g *= f; b *= f; a *= f; return *this; }
    D3DXCOLOR& operator/=(FLOAT f) { return *this *= 1.0f / f; }

    D3DXCOLOR operator+() const { return *this; }
    D3DXCOLOR operator-() const { return D3DXCOLOR(-r, -g, -b, -a); }

    D3DXCOLOR operator+(const D3DXCOLOR& c) const { return D3DXCOLOR(*this) += c; }
    D3DXCOLOR operator-(const D3DXCOLOR& c) const { return D3DXCOLOR(*this) -= c; }
    D3DXCOLOR operator*(FLOAT f) const { return D3DXCOLOR(*this) *= f; }
    D3DXCOLOR operator/(FLOAT f) const { return D3DXCOLOR(*this) /= f; }
    friend D3DXCOLOR operator*(FLOAT f, const D3DXCOLOR& c) { return c * f; }

    bool operator==(const D3DXCOLOR& c) const { return r == c.r && g == c.g && b == c.b && a == c.a; }
    bool operator!=(const D3DXCOLOR& c) const { return !(*this == c); }
};

inline D3DXMATRIX::D3DXMATRIX(const FLOAT* pf) {
    for (UINT i = 0; i < 16; ++i) m[i / 4][i % 4] = pf[i];
}

inline D3DXMATRIX::D3DXMATRIX(FLOAT f11, FLOAT f12, FLOAT f13, FLOAT f14,
                              FLOAT f21, FLOAT f22, FLOAT f23, FLOAT f24,
                              FLOAT f31, FLOAT f32, FLOAT f33, FLOAT f34,
                              FLOAT f41, FLOAT f42, FLOAT f43, FLOAT f44)
    : D3DXMATRIX(std::array<FLOAT, 16>{f11, f12, f13, f14, f21, f22, f23, f24,
                                       f31, f32, f33, f34, f41, f42, f43, f44}.data()) {}

inline D3DXMATRIX& D3DXMATRIX::operator+=(const D3DXMATRIX& mat) {
    for (UINT i = 0; i < 16; ++i) m[i / 4][i % 4] += mat.m[i / 4][i % 4];
    return *this;
}

inline D3DXMATRIX& D3DXMATRIX::operator-=(const D3DXMATRIX& mat) {
    for (UINT i = 0; i < 16; ++i) m[i / 4][i % 4] -= mat.m[i / 4][i % 4];
    return *this;
}

inline D3DXMATRIX& D3DXMATRIX::operator*=(FLOAT f) {
    for (UINT i = 0; i < 16; ++i) m[i / 4][i % 4] *= f;
    return *this;
}

inline bool D3DXMATRIX::operator==(const D3DXMATRIX& mat) const {
    for (UINT i = 0; i < 16; ++i) {
        if (m[i / 4][i % 4] != mat.m[i / 4][i % 4]) return false;
    }
    return true;
}

inline D3DXCOLOR::D3DXCOLOR(DWORD argb)
    : D3DCOLORVALUE{static_cast<FLOAT>((argb >> 16) & 0xff) / 255.0f,
                    static_cast<FLOAT>((argb >> 8) & 0xff) / 255.0f,
                    static_cast<FLOAT>(argb & 0xff) / 255.0f,
                    static_cast<FLOAT>((argb >> 24) & 0xff) / 255.0f} {}

namespace d3dx_detail {
inline DWORD ColorChannelToByte(FLOAT value) {
    if (!(value > 0.0f)) return 0;  // also catches NaN
    if (value >= 1.0f) return 0xff;
    return static_cast<DWORD>(value * 255.0f + 0.5f);
}
}  // namespace d3dx_detail

inline D3DXCOLOR::operator DWORD() const {
    using d3dx_detail::ColorChannelToByte;
    return (ColorChannelToByte(a) << 24) | (ColorChannelToByte(r) << 16) | (ColorChannelToByte(g) << 8) |
           ColorChannelToByte(b);
}

// ==== Inline functions ====

inline FLOAT D3DXVec2LengthSq(const D3DXVECTOR2* pV) { return pV->x * pV->x + pV->y * pV->y; }
inline FLOAT D3DXVec2Dot(const D3DXVECTOR2* pV1, const D3DXVECTOR2* pV2) { return pV1->x * pV2->x + pV1->y * pV2->y; }

inline D3DXVECTOR2* D3DXVec2Add(D3DXVECTOR2* pOut, const D3DXVECTOR2* pV1, const D3DXVECTOR2* pV2) {
    *pOut = *pV1 + *pV2;
    return pOut;
}

inline D3DXVECTOR2* D3DXVec2Subtract(D3DXVECTOR2* pOut, const D3DXVECTOR2* pV1, const D3DXVECTOR2* pV2) {
    *pOut = *pV1 - *pV2;
    return pOut;
}

inline D3DXVECTOR2* D3DXVec2Scale(D3DXVECTOR2* pOut, const D3DXVECTOR2* pV, FLOAT s) {
    *pOut = *pV * s;
    return pOut;
}

// pV1 + s (pV2 - pV1)
inline D3DXVECTOR2* D3DXVec2Lerp(D3DXVECTOR2* pOut, const D3DXVECTOR2* pV1, const D3DXVECTOR2* pV2, FLOAT s) {
    *pOut = *pV1 + (*pV2 - *pV1) * s;
    return pOut;
}

inline FLOAT D3DXVec3LengthSq(const D3DXVECTOR3* pV) { return pV->x * pV->x + pV->y * pV->y + pV->z * pV->z; }

inline FLOAT D3DXVec3Dot(const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2) {
    return pV1->x * pV2->x + pV1->y * pV2->y + pV1->z * pV2->z;
}

inline D3DXVECTOR3* D3DXVec3Cross(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2) {
    *pOut = D3DXVECTOR3(pV1->y * pV2->z - pV1->z * pV2->y,
                        pV1->z * pV2->x - pV1->x * pV2->z,
                        pV1->x * pV2->y - pV1->y * pV2->x);
    return pOut;
}

inline D3DXVECTOR3* D3DXVec3Add(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2) {
    *pOut = *pV1 + *pV2;
    return pOut;
}

inline D3DXVECTOR3* D3DXVec3Subtract(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2) {
    *pOut = *pV1 - *pV2;
    return pOut;
}

inline D3DXVECTOR3* D3DXVec3Scale(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV, FLOAT s) {
    *pOut = *pV * s;
    return pOut;
}

// pV1 + s (pV2 - pV1)
inline D3DXVECTOR3* D3DXVec3Lerp(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2, FLOAT s) {
    *pOut = *pV1 + (*pV2 - *pV1) * s;
    return pOut;
}

inline FLOAT D3DXVec4LengthSq(const D3DXVECTOR4* pV) {
    return pV->x * pV->x + pV->y * pV->y + pV->z * pV->z + pV->w * pV->w;
}

inline FLOAT D3DXVec4Dot(const D3DXVECTOR4* pV1, const D3DXVECTOR4* pV2) {
    return pV1->x * pV2->x + pV1->y * pV2->y + pV1->z * pV2->z + pV1->w * pV2->w;
}

inline D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* pOut) {
    *pOut = D3DXMATRIX(1.0f, 0.0f, 0.0f, 0.0f,
                       0.0f, 1.0f, 0.0f, 0.0f,
                       0.0f, 0.0f, 1.0f, 0.0f,
                       0.0f, 0.0f, 0.0f, 1.0f);
    return pOut;
}

// Exact comparison, as D3DX does.
inline BOOL D3DXMatrixIsIdentity(const D3DXMATRIX* pM) {
    D3DXMATRIX identity;
    return *pM == *D3DXMatrixIdentity(&identity);
}

inline FLOAT D3DXQuaternionLengthSq(const D3DXQUATERNION* pQ) {
    return pQ->x * pQ->x + pQ->y * pQ->y + pQ->z * pQ->z + pQ->w * pQ->w;
}

inline D3DXQUATERNION* D3DXQuaternionIdentity(D3DXQUATERNION* pOut) {
    *pOut = D3DXQUATERNION(0.0f, 0.0f, 0.0f, 1.0f);
    return pOut;
}

// Plane against a 4D vector: a x + b y + c z + d w.
inline FLOAT D3DXPlaneDot(const D3DXPLANE* pP, const D3DXVECTOR4* pV) {
    return pP->a * pV->x + pP->b * pV->y + pP->c * pV->z + pP->d * pV->w;
}

// Plane against a point (w = 1): the signed distance times the normal's length.
inline FLOAT D3DXPlaneDotCoord(const D3DXPLANE* pP, const D3DXVECTOR3* pV) {
    return pP->a * pV->x + pP->b * pV->y + pP->c * pV->z + pP->d;
}

// Plane against a direction (w = 0).
inline FLOAT D3DXPlaneDotNormal(const D3DXPLANE* pP, const D3DXVECTOR3* pV) {
    return pP->a * pV->x + pP->b * pV->y + pP->c * pV->z;
}

// Lengths and normalisation are inline: particle loops call them per particle.
namespace d3dx_detail {

// Scales by 1/length; a zero length gives exact zeros instead of NaNs, as D3DX does.
template <typename Vector>
Vector NormalizedOrZero(const Vector& v, FLOAT length) {
    return length == 0.0f ? Vector() : v / length;
}

}  // namespace d3dx_detail

inline FLOAT D3DXVec2Length(const D3DXVECTOR2* pV) { return std::sqrt(D3DXVec2LengthSq(pV)); }
inline D3DXVECTOR2* D3DXVec2Normalize(D3DXVECTOR2* pOut, const D3DXVECTOR2* pV) {
    *pOut = d3dx_detail::NormalizedOrZero(*pV, D3DXVec2Length(pV));
    return pOut;
}

inline FLOAT D3DXVec3Length(const D3DXVECTOR3* pV) { return std::sqrt(D3DXVec3LengthSq(pV)); }
// The zero vector normalises to (0, 0, 0).
inline D3DXVECTOR3* D3DXVec3Normalize(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV) {
    *pOut = d3dx_detail::NormalizedOrZero(*pV, D3DXVec3Length(pV));
    return pOut;
}

inline FLOAT D3DXVec4Length(const D3DXVECTOR4* pV) { return std::sqrt(D3DXVec4LengthSq(pV)); }
inline D3DXVECTOR4* D3DXVec4Normalize(D3DXVECTOR4* pOut, const D3DXVECTOR4* pV) {
    *pOut = d3dx_detail::NormalizedOrZero(*pV, D3DXVec4Length(pV));
    return pOut;
}

// ==== Exported functions ====

// (x, y, z, 1) * M; the result is not divided by w.
PLATFORM_API D3DXVECTOR4* WINAPI D3DXVec3Transform(D3DXVECTOR4* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM);
// (x, y, z, 1) * M, divided by the resulting w.
PLATFORM_API D3DXVECTOR3* WINAPI D3DXVec3TransformCoord(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM);
// (x, y, z, 0) * M: rotation and scale only, no translation.
PLATFORM_API D3DXVECTOR3* WINAPI D3DXVec3TransformNormal(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV,
                                                         const D3DXMATRIX* pM);

PLATFORM_API D3DXVECTOR4* WINAPI D3DXVec4Transform(D3DXVECTOR4* pOut, const D3DXVECTOR4* pV, const D3DXMATRIX* pM);

PLATFORM_API FLOAT WINAPI D3DXMatrixDeterminant(const D3DXMATRIX* pM);
PLATFORM_API D3DXMATRIX* WINAPI D3DXMatrixTranspose(D3DXMATRIX* pOut, const D3DXMATRIX* pM);
// Returns NULL for a singular matrix and then writes neither pOut nor pDeterminant.
PLATFORM_API D3DXMATRIX* WINAPI D3DXMatrixInverse(D3DXMATRIX* pOut, FLOAT* pDeterminant, const D3DXMATRIX* pM);
PLATFORM_API D3DXMATRIX* WINAPI D3DXMatrixScaling(D3DXMATRIX* pOut, FLOAT sx, FLOAT sy, FLOAT sz);
PLATFORM_API D3DXMATRIX* WINAPI D3DXMatrixTranslation(D3DXMATRIX* pOut, FLOAT x, FLOAT y, FLOAT z);
// Angles in radians; RotationZ(pi/2) takes +x to +y.
PLATFORM_API D3DXMATRIX* WINAPI D3DXMatrixRotationX(D3DXMATRIX* pOut, FLOAT Angle);
PLATFORM_API D3DXMATRIX* WINAPI D3DXMatrixRotationY(D3DXMATRIX* pOut, FLOAT Angle);
PLATFORM_API D3DXMATRIX* WINAPI D3DXMatrixRotationZ(D3DXMATRIX* pOut, FLOAT Angle);
// The axis need not be unit length.
PLATFORM_API D3DXMATRIX* WINAPI D3DXMatrixRotationAxis(D3DXMATRIX* pOut, const D3DXVECTOR3* pV, FLOAT Angle);
// Uses the quaternion as given: a non-unit one does not give a pure rotation.
PLATFORM_API D3DXMATRIX* WINAPI D3DXMatrixRotationQuaternion(D3DXMATRIX* pOut, const D3DXQUATERNION* pQ);
// Roll about z, then pitch about x, then yaw about y.
PLATFORM_API D3DXMATRIX* WINAPI D3DXMatrixRotationYawPitchRoll(D3DXMATRIX* pOut, FLOAT Yaw, FLOAT Pitch, FLOAT Roll);
PLATFORM_API D3DXMATRIX* WINAPI D3DXMatrixLookAtLH(D3DXMATRIX* pOut, const D3DXVECTOR3* pEye, const D3DXVECTOR3* pAt,
                                                   const D3DXVECTOR3* pUp);
PLATFORM_API D3DXMATRIX* WINAPI D3DXMatrixPerspectiveFovLH(D3DXMATRIX* pOut, FLOAT fovy, FLOAT Aspect, FLOAT zn,
                                                           FLOAT zf);
PLATFORM_API D3DXMATRIX* WINAPI D3DXMatrixOrthoLH(D3DXMATRIX* pOut, FLOAT w, FLOAT h, FLOAT zn, FLOAT zf);
PLATFORM_API D3DXMATRIX* WINAPI D3DXMatrixOrthoOffCenterLH(D3DXMATRIX* pOut, FLOAT l, FLOAT r, FLOAT b, FLOAT t,
                                                           FLOAT zn, FLOAT zf);

// The normal is stored as given, not normalised.
PLATFORM_API D3DXPLANE* WINAPI D3DXPlaneFromPointNormal(D3DXPLANE* pOut, const D3DXVECTOR3* pPoint,
                                                        const D3DXVECTOR3* pNormal);
// Divides by the normal's length; a zero normal gives the zero plane.
PLATFORM_API D3DXPLANE* WINAPI D3DXPlaneNormalize(D3DXPLANE* pOut, const D3DXPLANE* pP);
// Intersects the infinite line through pV1 and pV2; a parallel line returns NULL and writes nothing.
PLATFORM_API D3DXVECTOR3* WINAPI D3DXPlaneIntersectLine(D3DXVECTOR3* pOut, const D3DXPLANE* pP,
                                                        const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2);

PLATFORM_API FLOAT WINAPI D3DXQuaternionLength(const D3DXQUATERNION* pQ);
// The axis need not be unit length.
PLATFORM_API D3DXQUATERNION* WINAPI D3DXQuaternionRotationAxis(D3DXQUATERNION* pOut, const D3DXVECTOR3* pV,
                                                               FLOAT Angle);
PLATFORM_API D3DXQUATERNION* WINAPI D3DXQuaternionNormalize(D3DXQUATERNION* pOut, const D3DXQUATERNION* pQ);
