#include "Undrelle/gradientnoise.h"

#include <cmath>
#include <utility>

#include "platform/crt_rand.h"

namespace detail {
namespace {

// Lattice cells repeat every 256 although the tables hold 4096 entries.
constexpr int LATTICE_MASK = 255;
constexpr float PI = 3.14159265358979f;

// Where a coordinate falls on one lattice axis.
struct LatticeAxis {
    int low;       // cell index below the point
    int high;      // the next cell, wrapped
    float near;    // offset from the lower cell, 0..1
    float far;     // offset from the upper cell, -1..0
    float weight;  // eased blend factor along this axis
};

// The cubic ease passed once more through a cosine ease, so the noise is
// smooth in its second derivative at the lattice points.
float Ease(float t) {
    const float cubic = t * t * (3.0f - 2.0f * t);
    return (1.0f - std::cos(PI * cubic)) / 2.0f;
}

float Lerp(float t, float a, float b) { return a + t * (b - a); }

LatticeAxis LocateOnAxis(float coordinate, int tableSize) {
    // The shift keeps t positive, so truncation is the floor.
    const float t = coordinate + static_cast<float>(tableSize);
    const int whole = static_cast<int>(t);
    LatticeAxis axis;
    axis.low = whole & LATTICE_MASK;
    axis.high = (axis.low + 1) & LATTICE_MASK;
    axis.near = t - static_cast<float>(whole);
    axis.far = axis.near - 1.0f;
    axis.weight = Ease(axis.near);
    return axis;
}

// One tileable corner's share: the distance to the opposite side of the period.
float CornerShare(float coordinate, float period, int corner) {
    return corner == 0 ? period - coordinate : coordinate;
}

// A gradient component in [-1, 1) with steps of 1/tableSize.
float DrawComponent(int tableSize) {
    return static_cast<float>(crt::rand() % (tableSize + tableSize) - tableSize) / tableSize;
}

}  // namespace

GradientNoise::GradientNoise() { Initialise(); }

void GradientNoise::Initialise() {
    for (int i = 0; i < TABLE_SIZE; ++i) {
        DrawEntry(i);
    }
    ShufflePermutation();
    MirrorTables();
}

void GradientNoise::DrawEntry(int index) {
    m_permutation[index] = index;
    // The one- and two-dimensional gradients of the classic construction are
    // never read by the 3-D noise, but their draws keep the random sequence.
    for (int skipped = 0; skipped < 3; ++skipped) {
        DrawComponent(TABLE_SIZE);
    }
    Gradient g{DrawComponent(TABLE_SIZE), DrawComponent(TABLE_SIZE), DrawComponent(TABLE_SIZE)};
    const float length = std::sqrt(g.x * g.x + g.y * g.y + g.z * g.z);
    // A zero draw would divide 0 by 0; it stays a zero gradient instead.
    if (length > 0.0f) {
        g = {g.x / length, g.y / length, g.z / length};
    }
    m_gradients[index] = g;
}

void GradientNoise::ShufflePermutation() {
    for (int i = TABLE_SIZE - 1; i > 0; --i) {
        std::swap(m_permutation[i], m_permutation[crt::rand() % TABLE_SIZE]);
    }
}

void GradientNoise::MirrorTables() {
    // In order: the last two copies read entries this loop has just written.
    for (int i = 0; i < TABLE_SIZE + 2; ++i) {
        m_permutation[TABLE_SIZE + i] = m_permutation[i];
        m_gradients[TABLE_SIZE + i] = m_gradients[i];
    }
}

float GradientNoise::Evaluate(float x, float y, float z) const {
    const LatticeAxis ax = LocateOnAxis(x, TABLE_SIZE);
    const LatticeAxis ay = LocateOnAxis(y, TABLE_SIZE);
    const LatticeAxis az = LocateOnAxis(z, TABLE_SIZE);
    const int i = m_permutation[ax.low];
    const int j = m_permutation[ax.high];
    const int b00 = m_permutation[i + ay.low];
    const int b10 = m_permutation[j + ay.low];
    const int b01 = m_permutation[i + ay.high];
    const int b11 = m_permutation[j + ay.high];

    const auto corner = [this](int base, int bz, float rx, float ry, float rz) {
        const Gradient& g = m_gradients[base + bz];
        return rx * g.x + ry * g.y + rz * g.z;
    };
    const auto face = [&](int bz, float rz) {
        const float front = Lerp(ax.weight, corner(b00, bz, ax.near, ay.near, rz),
                                 corner(b10, bz, ax.far, ay.near, rz));
        const float back = Lerp(ax.weight, corner(b01, bz, ax.near, ay.far, rz),
                                corner(b11, bz, ax.far, ay.far, rz));
        return Lerp(ay.weight, front, back);
    };
    return Lerp(az.weight, face(az.low, az.near), face(az.high, az.far));
}

float GradientNoise::EvaluateTileable(float x, float y, float z, float width, float height,
                                      float depth) const {
    float sum = 0.0f;
    for (int a = 0; a < 2; ++a) {
        for (int b = 0; b < 2; ++b) {
            for (int c = 0; c < 2; ++c) {
                sum += Evaluate(x - a * width, y - b * height, z - c * depth) *
                       CornerShare(x, width, a) * CornerShare(y, height, b) *
                       CornerShare(z, depth, c);
            }
        }
    }
    return sum / (width * height * depth);
}

}  // namespace detail
