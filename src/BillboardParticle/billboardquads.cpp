// Index
//   ==== Vector maths ====
//   ==== Turns ====
//   ==== Orientations ====
//   ==== Quads ====
#include "billboardquads.h"

#include <cmath>

#include "cbillboardparticle.h"

namespace {

const unsigned int kCornersPerQuad = 4;

// ==== Vector maths ====
// Written out with the arithmetic of their D3DX counterparts where those are
// calls into the platform library: per quad, the calls would cost more than
// the maths.

D3DXVECTOR3 Row(const D3DXMATRIX& matrix, int row) {
    return D3DXVECTOR3(matrix.m[row][0], matrix.m[row][1], matrix.m[row][2]);
}

D3DXVECTOR3 Crossed(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    D3DXVECTOR3 product;
    return *D3DXVec3Cross(&product, &a, &b);
}

// D3DXVec3Normalize: a zero vector stays zero.
D3DXVECTOR3 UnitOrZero(const D3DXVECTOR3& vector) {
    const float length = std::sqrt(D3DXVec3LengthSq(&vector));
    return length == 0.0f ? D3DXVECTOR3(0.0f, 0.0f, 0.0f) : vector / length;
}

// D3DXVec3TransformCoord by a copy of the matrix, kept with the frame so that
// vertex writes cannot alias it. An affine matrix gives w = 1 exactly, so its
// divide is skipped.
class CPlacement {
public:
    explicit CPlacement(const D3DXMATRIX* pTransform)
        : m_bMoves(pTransform != nullptr), m_bAffine(!pTransform || IsAffine(*pTransform)) {
        if (pTransform) m_transform = *pTransform;
    }

    D3DXVECTOR3 Apply(const D3DXVECTOR3& position) const {
        if (!m_bMoves) return position;
        const D3DXVECTOR3 moved(Column(position, 0), Column(position, 1), Column(position, 2));
        return m_bAffine ? moved : moved / Column(position, 3);
    }

private:
    static bool IsAffine(const D3DXMATRIX& m) { return m._14 == 0.0f && m._24 == 0.0f && m._34 == 0.0f && m._44 == 1.0f; }

    float Column(const D3DXVECTOR3& p, int column) const {
        const float(&m)[4][4] = m_transform.m;
        return p.x * m[0][column] + p.y * m[1][column] + p.z * m[2][column] + m[3][column];
    }

    D3DXMATRIX m_transform;
    bool m_bMoves;
    bool m_bAffine;
};

// ==== Turns ====
// A particle turns its quad by rz about the facing, then by rx about the right
// and ry about the up vector as they were before turning: the product of
// three axis quaternions, applied to right and up as normals.

struct SSinCos {
    float sine;
    float cosine;
};

// Angles up to here are reduced by quarter turns in double precision with an
// error far below a float's; larger ones (and infinities, NaNs) go to libm.
const double kLargestReducedAngle = 65536.0;
const double kQuarterTurn = 1.57079632679489661923;
const double kQuarterTurnsPerRadian = 0.63661977236758134308;

// Sine and cosine of r in [-pi/4, pi/4]: Taylor terms up to r^9 and r^10,
// whose remainders stay under a twentieth of a float's last place.
SSinCos SinCosNearZero(double r) {
    const double r2 = r * r;
    const double sine = r + r * r2 * (-1.0 / 6 + r2 * (1.0 / 120 + r2 * (-1.0 / 5040 + r2 * (1.0 / 362880))));
    const double cosine =
        1.0 + r2 * (-1.0 / 2 + r2 * (1.0 / 24 + r2 * (-1.0 / 720 + r2 * (1.0 / 40320 + r2 * (-1.0 / 3628800)))));
    return SSinCos{static_cast<float>(sine), static_cast<float>(cosine)};
}

// sinf and cosf within float rounding, inline: three libm calls per quad
// would cost more than everything else the quad needs. A zero angle gives
// exactly (0, 1).
SSinCos SinCos(float angle) {
    if (angle == 0.0f) return SSinCos{0.0f, 1.0f};
    if (!(std::fabs(angle) <= kLargestReducedAngle)) return SSinCos{std::sin(angle), std::cos(angle)};
    const double quarters = angle * kQuarterTurnsPerRadian;
    const long long turns = static_cast<long long>(quarters + std::copysign(0.5, quarters));  // nearest
    const SSinCos near = SinCosNearZero(angle - static_cast<double>(turns) * kQuarterTurn);
    // Turned on by the quarter turns as a complex product with entries 0 and
    // +-1 (exact), looked up rather than branched on: quadrants of particles
    // follow no pattern.
    static const SSinCos kQuarterTurns[4] = {{0.0f, 1.0f}, {1.0f, 0.0f}, {0.0f, -1.0f}, {-1.0f, 0.0f}};
    const SSinCos& turn = kQuarterTurns[static_cast<unsigned int>(turns) & 3];
    return SSinCos{near.sine * turn.cosine + near.cosine * turn.sine, near.cosine * turn.cosine - near.sine * turn.sine};
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

// A crossed basis (right = facing x camera up, up = right x facing) is square,
// |up| = |right| |facing|, and right x up points against the facing. In that
// frame the three axis turns are the fixed-axis rotations below, so right and
// up turn into combinations of right, up and facing: one sine and cosine per
// angle and no quaternion products. facingLength is |facing|.
void TurnCrossed(SBasis& basis, const D3DXVECTOR3& rotation, float facingLength) {
    const float rightLength = std::sqrt(D3DXVec3LengthSq(&basis.right));
    if (rightLength == 0.0f) return;  // a collapsed quad stays collapsed
    const SSinCos a = SinCos(-rotation.z);  // about the facing, seen from the right-handed frame
    const SSinCos b = SinCos(rotation.x);
    const SSinCos c = SinCos(rotation.y);
    const float sbsa = b.sine * a.sine;
    const float sbca = b.sine * a.cosine;
    // The turned right and up in units of right, up and -facing.
    const D3DXVECTOR3 right(c.cosine * a.cosine + c.sine * sbsa, b.cosine * a.sine, c.cosine * sbsa - c.sine * a.cosine);
    const D3DXVECTOR3 up(c.sine * sbca - c.cosine * a.sine, b.cosine * a.cosine, c.sine * a.sine + c.cosine * sbca);
    const D3DXVECTOR3 facing = basis.facing * rightLength;
    const SBasis before = basis;
    basis.right = before.right * right.x + before.up * (right.y / facingLength) - facing * (right.z / facingLength);
    basis.up = before.right * (up.x * facingLength) + before.up * up.y - facing * up.z;
}

D3DXQUATERNION AxisTurn(const D3DXVECTOR3& unitAxis, float angle) {
    const SSinCos half = SinCos(angle / 2.0f);
    return D3DXQUATERNION(unitAxis.x * half.sine, unitAxis.y * half.sine, unitAxis.z * half.sine, half.cosine);
}

// a, then b (the Hamilton product b * a), as D3DXQuaternionMultiply(a, b).
D3DXQUATERNION Then(const D3DXQUATERNION& a, const D3DXQUATERNION& b) {
    return D3DXQUATERNION(b.w * a.x + b.x * a.w + b.y * a.z - b.z * a.y, b.w * a.y - b.x * a.z + b.y * a.w + b.z * a.x,
                          b.w * a.z + b.x * a.y - b.y * a.x + b.z * a.w, b.w * a.w - b.x * a.x - b.y * a.y - b.z * a.z);
}

// v as a normal (a row vector) through the rotation matrix of q.
D3DXVECTOR3 TurnNormal(const D3DXVECTOR3& v, const D3DXQUATERNION& q) {
    const float x = q.x, y = q.y, z = q.z, w = q.w;
    const float m[3][3] = {{1.0f - 2.0f * (y * y + z * z), 2.0f * (x * y + z * w), 2.0f * (x * z - y * w)},
                           {2.0f * (x * y - z * w), 1.0f - 2.0f * (x * x + z * z), 2.0f * (y * z + x * w)},
                           {2.0f * (x * z + y * w), 2.0f * (y * z - x * w), 1.0f - 2.0f * (x * x + y * y)}};
    return D3DXVECTOR3(v.x * m[0][0] + v.y * m[1][0] + v.z * m[2][0], v.x * m[0][1] + v.y * m[1][1] + v.z * m[2][1],
                       v.x * m[0][2] + v.y * m[1][2] + v.z * m[2][2]);
}

// Any basis, square or not, about its unit axes.
void TurnAboutAxes(SBasis& basis, const SBasis& axes, const D3DXVECTOR3& rotation) {
    D3DXQUATERNION turn = AxisTurn(axes.facing, rotation.z);
    turn = Then(turn, AxisTurn(axes.right, rotation.x));
    turn = Then(turn, AxisTurn(axes.up, rotation.y));
    basis.right = TurnNormal(basis.right, turn);
    basis.up = TurnNormal(basis.up, turn);
}

// ==== Orientations ====
// Each gives a particle's basis from its centre and turns it; plane-aligned
// and axial quads share one basis per frame.

// Right = facing x camera up, up = right x facing.
class CCrossedOrientation {
public:
    explicit CCrossedOrientation(const D3DXMATRIX& camera) : m_cameraUp(Row(camera, 1)) {}

protected:
    SBasis Facing(const D3DXVECTOR3& facing) const {
        const D3DXVECTOR3 right = Crossed(facing, m_cameraUp);
        return SBasis{facing, right, Crossed(right, facing)};
    }

private:
    D3DXVECTOR3 m_cameraUp;
};

// Facings normalised here: unit length, or zero with a collapsed quad.
class CFacingCamera : public CCrossedOrientation {
public:
    explicit CFacingCamera(const D3DXMATRIX& camera) : CCrossedOrientation(camera), m_cameraPos(Row(camera, 3)) {}
    SBasis Basis(const CBillboardParticle&, const D3DXVECTOR3& centre) const {
        return Facing(UnitOrZero(m_cameraPos - centre));
    }
    void Turn(SBasis& basis, const D3DXVECTOR3& rotation) const { TurnCrossed(basis, rotation, 1.0f); }

private:
    D3DXVECTOR3 m_cameraPos;
};

// Faces the target from the particle's own position, before the transform.
class CFacingTarget : public CCrossedOrientation {
public:
    CFacingTarget(const D3DXMATRIX& camera, const D3DXVECTOR3& target) : CCrossedOrientation(camera), m_target(target) {}
    SBasis Basis(const CBillboardParticle& particle, const D3DXVECTOR3&) const {
        return Facing(UnitOrZero(m_target - particle.GetPos()));
    }
    void Turn(SBasis& basis, const D3DXVECTOR3& rotation) const { TurnCrossed(basis, rotation, 1.0f); }

private:
    D3DXVECTOR3 m_target;
};

// The direction of travel is taken as it is: its length scales the quad.
class CFacingTravel : public CCrossedOrientation {
public:
    using CCrossedOrientation::CCrossedOrientation;
    SBasis Basis(const CBillboardParticle& particle, const D3DXVECTOR3&) const {
        return Facing(particle.GetCurrentDirection());
    }
    void Turn(SBasis& basis, const D3DXVECTOR3& rotation) const {
        TurnCrossed(basis, rotation, std::sqrt(D3DXVec3LengthSq(&basis.facing)));
    }
};

class CFixedOrientation {
public:
    explicit CFixedOrientation(const SBasis& basis)
        : m_basis(basis), m_axes{UnitOrZero(basis.facing), UnitOrZero(basis.right), UnitOrZero(basis.up)} {}
    SBasis Basis(const CBillboardParticle&, const D3DXVECTOR3&) const { return m_basis; }
    void Turn(SBasis& basis, const D3DXVECTOR3& rotation) const { TurnAboutAxes(basis, m_axes, rotation); }

private:
    SBasis m_basis;
    SBasis m_axes;  // the turn axes: the basis normalised
};

SBasis PlaneAlignedBasis(const D3DXMATRIX& camera) { return SBasis{Row(camera, 2), Row(camera, 0), Row(camera, 1)}; }

// Not square when the axis leans towards the camera's right.
SBasis AxialBasis(const D3DXMATRIX& camera, const D3DXVECTOR3& axis) {
    const D3DXVECTOR3 right = Row(camera, 0);
    return SBasis{Crossed(right, axis), right, axis};
}

// Calls visit with the orientation of the billboard type, so the choice is
// made once per call rather than once per particle.
template <typename Visit>
BBVertex* WithOrientation(const detail::SQuadSettings& settings, Visit visit) {
    const D3DXMATRIX& camera = *settings.pCamera;
    switch (settings.bbType) {
        case BBT_POINT_ORIENTED:
            return visit(CFacingCamera(camera));
        case BBT_AXIAL:
            return visit(CFixedOrientation(AxialBasis(camera, settings.pSystem->GetAxis())));
        case BBT_MOVE_ORIENTED:
            return visit(CFacingTravel(camera));
        case BBT_TARGET_ORIENTED:
            return visit(CFacingTarget(camera, settings.pSystem->GetTargetPoint()));
        default:  // plane-aligned, also for a type no document names
            return visit(CFixedOrientation(PlaneAlignedBasis(camera)));
    }
}

// ==== Quads ====

// Field by field: building whole vertices on the stack first makes the
// compiler reload them in pieces the store buffer cannot forward.
void WriteCorner(BBVertex& vertex, const D3DXVECTOR3& position, D3DCOLOR color, float u, float v) {
    vertex.x = position.x;
    vertex.y = position.y;
    vertex.z = position.z;
    vertex.color = color;
    vertex.u = u;
    vertex.v = v;
}

// Corners 0 to 3 at centre -+right -+up, with u growing along +right and v along +up.
BBVertex* WriteCorners(BBVertex* pOut, const D3DXVECTOR3& centre, const D3DXVECTOR3& right, const D3DXVECTOR3& up,
                       D3DCOLOR color, const D3DXVECTOR2& corner) {
    const D3DXVECTOR3 back = centre - right;
    const D3DXVECTOR3 ahead = centre + right;
    WriteCorner(pOut[0], back - up, color, corner.x, corner.y);
    WriteCorner(pOut[1], ahead - up, color, corner.x + 1.0f, corner.y);
    WriteCorner(pOut[2], ahead + up, color, corner.x + 1.0f, corner.y + 1.0f);
    WriteCorner(pOut[3], back + up, color, corner.x, corner.y + 1.0f);
    return pOut + kCornersPerQuad;
}

template <typename Orientation>
BBVertex* WriteParticleQuad(const CPlacement& placement, float sizeFactor, const Orientation& orientation,
                            const CBillboardParticle& particle, BBVertex* pOut) {
    const D3DXVECTOR3 centre = placement.Apply(particle.GetPos());
    SBasis basis = orientation.Basis(particle, centre);
    const D3DXVECTOR3 rotation = particle.GetRotation();
    if (rotation != D3DXVECTOR3(0.0f, 0.0f, 0.0f)) orientation.Turn(basis, rotation);
    // Negated: u grows against the camera's right.
    const D3DXVECTOR3 right = basis.right * (-sizeFactor * particle.GetSize().x * 0.5f);
    const D3DXVECTOR3 up = basis.up * (sizeFactor * particle.GetSize().y * 0.5f);
    return WriteCorners(pOut, centre, right, up, particle.GetColor(), particle.GetTextureCorner());
}

// The fill loop, with everything it calls inlined into it: only then can the
// compiler keep the vectors of a quad in registers instead of passing them
// through the stack in pieces that stall the loads reading them back.
template <typename Orientation>
[[gnu::flatten]] BBVertex* WriteEachQuad(const CPlacement& placement, float sizeFactor, const Orientation& orientation,
                                         IParticleContainer& particles, BBVertex* pOut, const BBVertex* pEnd) {
    for (IParticle* pParticle = particles.First(); pParticle && pOut != pEnd; pParticle = particles.Next())
        pOut = WriteParticleQuad(placement, sizeFactor, orientation, static_cast<CBillboardParticle&>(*pParticle), pOut);
    return pOut;
}

}  // namespace

namespace detail {

BBVertex* WriteQuad(const SQuadSettings& settings, const CBillboardParticle& particle, BBVertex* pOut) {
    const CPlacement placement(settings.pTransform);
    return WithOrientation(settings, [&](const auto& orientation) {
        return WriteParticleQuad(placement, settings.sizeFactor, orientation, particle, pOut);
    });
}

BBVertex* WriteQuads(const SQuadSettings& settings, IParticleContainer& particles, BBVertex* pOut,
                     unsigned int count) {
    const CPlacement placement(settings.pTransform);
    const BBVertex* const pEnd = pOut + count * kCornersPerQuad;
    return WithOrientation(settings, [&](const auto& orientation) {
        return WriteEachQuad(placement, settings.sizeFactor, orientation, particles, pOut, pEnd);
    });
}

}  // namespace detail
