#include "swdevice_scanconvert.h"

#include <algorithm>
#include <cmath>

#include "swdevice_clipper.h"

namespace swdevice::detail {

namespace {

constexpr int64_t kOne = int64_t(1) << kSubpixelBits;  // one pixel in fixed point
// Screen positions stay far inside this (see the guard band); it keeps float
// to int conversions defined whatever a vertex held.
constexpr float kGuardLimit = 4.0f * kGuardBandPixels;

int64_t ToFixed(float value) { return std::llround(double(value) * kOne); }

int64_t FloorDiv(int64_t a, int64_t b) {  // b > 0
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

int64_t CeilDiv(int64_t a, int64_t b) { return -FloorDiv(-a, b); }

// Pixel range [first, last] of coordinates whose centres lie in [low, high).
struct Range {
    int first, last;
};

// Half-open coverage of [low, high) by integer centres: first = ceil(low), last = ceil(high) - 1.
Range CentresIn(float low, float high, int boundLow, int boundHigh) {
    const float lo = std::clamp(std::ceil(low), float(boundLow), float(boundHigh));
    const float hi = std::clamp(std::ceil(high), float(boundLow), float(boundHigh));
    return {int(lo), int(hi) - 1};
}

// One triangle edge a→b in fixed point. The interior (clockwise on screen)
// has E > 0; pixels exactly on the edge belong to it only when it is a top
// edge (horizontal, going right) or a left edge (going up).
struct Edge {
    int64_t dx, dy, xa, ya, bias;

    Edge(int64_t ax, int64_t ay, int64_t bx, int64_t by) : dx(bx - ax), dy(by - ay), xa(ax), ya(ay) {
        const bool topLeft = dy < 0 || (dy == 0 && dx > 0);
        bias = topLeft ? 0 : 1;
    }

    // Narrows [lo, hi] to the pixels of row y (fixed) this edge covers:
    // E(px) = dx (y - ya) - dy (px - xa) must be >= bias.
    void Narrow(int64_t y, int64_t& lo, int64_t& hi) const {
        const int64_t c = dx * (y - ya) + dy * xa - bias;
        const int64_t step = dy * kOne;
        if (step == 0) {
            if (c < 0) hi = lo - 1;
        } else if (step < 0) {
            lo = std::max(lo, CeilDiv(-c, -step));
        } else {
            hi = std::min(hi, FloorDiv(c, step));
        }
    }
};

Plane PlaneThrough(const ScreenVertex* const* v, float f0, float f1, float f2, double inverseArea) {
    const double x1 = v[1]->x - v[0]->x, y1 = v[1]->y - v[0]->y;
    const double x2 = v[2]->x - v[0]->x, y2 = v[2]->y - v[0]->y;
    const double d1 = double(f1) - f0, d2 = double(f2) - f0;
    return {f0, float((d1 * y2 - d2 * y1) * inverseArea), float((d2 * x1 - d1 * x2) * inverseArea)};
}

Plane Constant(float value) { return {value, 0.0f, 0.0f}; }

}  // namespace

ScanConverter::ScanConverter(const ScreenGeometry& geometry, const VaryingSet& varyings, const PixelStage& pixels,
                             const PixelRect& bounds, bool pointSprites)
    : m_geometry(geometry), m_varyings(varyings), m_pixels(pixels), m_bounds(bounds), m_pointSprites(pointSprites) {}

void ScanConverter::Draw(int top, int bottom) const {
    PixelRect rows = m_bounds;
    rows.top = std::max(rows.top, top);
    rows.bottom = std::min(rows.bottom, bottom);
    if (rows.top >= rows.bottom || rows.left >= rows.right) return;
    for (const Primitive& primitive : m_geometry.primitives) {
        switch (primitive.kind) {
            case PrimitiveKind::Triangle: DrawTriangle(primitive, rows); break;
            case PrimitiveKind::Line: DrawLine(primitive, rows); break;
            case PrimitiveKind::Sprite: DrawSprite(primitive, rows); break;
        }
    }
}

// Each varying × rhw of the three vertices, as planes in the interpolants.
void ScanConverter::SetVaryingPlanes(const ScreenVertex* const* v, Interpolants& planes) const {
    const double area = double(v[1]->x - v[0]->x) * (v[2]->y - v[0]->y) -
                        double(v[2]->x - v[0]->x) * (v[1]->y - v[0]->y);
    const double inverseArea = 1.0 / area;
    planes.originX = v[0]->x;
    planes.originY = v[0]->y;
    planes.z = PlaneThrough(v, v[0]->z, v[1]->z, v[2]->z, inverseArea);
    planes.rhw = PlaneThrough(v, v[0]->rhw, v[1]->rhw, v[2]->rhw, inverseArea);
    for (int i = 0; i < m_varyings.count; ++i) {
        const int slot = m_varyings.slots[i];
        for (int c = 0; c < 4; ++c) {
            float f[3];
            for (int k = 0; k < 3; ++k) f[k] = Varying(m_geometry.attributes[v[k]->attributes], slot)[c] * v[k]->rhw;
            planes.varyings[4 * i + c] = PlaneThrough(v, f[0], f[1], f[2], inverseArea);
        }
    }
}

void ScanConverter::DrawTriangle(const Primitive& primitive, const PixelRect& rows) const {
    const ScreenVertex* v[3] = {&m_geometry.vertices[primitive.vertices[0]], &m_geometry.vertices[primitive.vertices[1]],
                                &m_geometry.vertices[primitive.vertices[2]]};
    int64_t x[3], y[3];
    for (int k = 0; k < 3; ++k) x[k] = ToFixed(v[k]->x), y[k] = ToFixed(v[k]->y);
    const int64_t area = (x[1] - x[0]) * (y[2] - y[0]) - (x[2] - x[0]) * (y[1] - y[0]);
    if (area == 0) return;
    if (area < 0) std::swap(v[1], v[2]), std::swap(x[1], x[2]), std::swap(y[1], y[2]);
    const int64_t firstRow = std::max<int64_t>(rows.top, CeilDiv(std::min({y[0], y[1], y[2]}), kOne));
    const int64_t lastRow = std::min<int64_t>(rows.bottom - 1, FloorDiv(std::max({y[0], y[1], y[2]}), kOne));
    if (firstRow > lastRow) return;
    const int64_t firstColumn = std::max<int64_t>(rows.left, CeilDiv(std::min({x[0], x[1], x[2]}), kOne));
    const int64_t lastColumn = std::min<int64_t>(rows.right - 1, FloorDiv(std::max({x[0], x[1], x[2]}), kOne));
    const Edge edges[3] = {Edge(x[0], y[0], x[1], y[1]), Edge(x[1], y[1], x[2], y[2]), Edge(x[2], y[2], x[0], y[0])};
    Interpolants planes;
    SetVaryingPlanes(v, planes);
    for (int64_t row = firstRow; row <= lastRow; ++row) {
        int64_t lo = firstColumn, hi = lastColumn;
        for (const Edge& edge : edges) edge.Narrow(row * kOne, lo, hi);
        if (lo <= hi) m_pixels.ShadeSpan(planes, int(row), int(lo), int(hi + 1));
    }
}

// One pixel per step along the major axis, from the first end up to but not
// including the second, on the row (or column) nearest the line.
void ScanConverter::DrawLine(const Primitive& primitive, const PixelRect& rows) const {
    const ScreenVertex* a = &m_geometry.vertices[primitive.vertices[0]];
    const ScreenVertex* b = &m_geometry.vertices[primitive.vertices[1]];
    const bool xMajor = std::fabs(b->x - a->x) >= std::fabs(b->y - a->y);
    const float length = xMajor ? b->x - a->x : b->y - a->y;
    if (length == 0.0f) return;
    if (length < 0.0f) std::swap(a, b);
    const float major0 = xMajor ? a->x : a->y, major1 = xMajor ? b->x : b->y;
    const float minor0 = xMajor ? a->y : a->x, minor1 = xMajor ? b->y : b->x;
    const float span = major1 - major0;
    // A plane that changes along the major axis only: value at a, slope per pixel.
    const auto along = [&](float fa, float fb) {
        const float slope = (fb - fa) / span;
        return xMajor ? Plane{fa, slope, 0.0f} : Plane{fa, 0.0f, slope};
    };
    Interpolants planes;
    planes.originX = a->x;
    planes.originY = a->y;
    planes.z = along(a->z, b->z);
    planes.rhw = along(a->rhw, b->rhw);
    for (int i = 0; i < m_varyings.count; ++i) {
        const D3DXVECTOR4& va = Varying(m_geometry.attributes[a->attributes], m_varyings.slots[i]);
        const D3DXVECTOR4& vb = Varying(m_geometry.attributes[b->attributes], m_varyings.slots[i]);
        for (int c = 0; c < 4; ++c) planes.varyings[4 * i + c] = along(va[c] * a->rhw, vb[c] * b->rhw);
    }
    const Range steps = xMajor ? CentresIn(major0, major1, rows.left, rows.right)
                               : CentresIn(major0, major1, rows.top, rows.bottom);
    for (int m = steps.first; m <= steps.last; ++m) {
        const float minor = minor0 + (minor1 - minor0) * ((float(m) - major0) / span);
        const int n = int(std::clamp(std::floor(minor + 0.5f), -kGuardLimit, kGuardLimit));
        const int px = xMajor ? m : n, py = xMajor ? n : m;
        if (px >= rows.left && px < rows.right && py >= rows.top && py < rows.bottom) {
            m_pixels.ShadeSpan(planes, py, px, px + 1);
        }
    }
}

// A square of pointSize pixels centred on the vertex, with flat varyings;
// with point sprites on, every texture coordinate runs 0..1 across it.
void ScanConverter::DrawSprite(const Primitive& primitive, const PixelRect& rows) const {
    const ScreenVertex& v = m_geometry.vertices[primitive.vertices[0]];
    const float size = std::min(v.pointSize, 2.0f * kGuardLimit);
    if (!(size > 0.0f)) return;
    const float left = v.x - 0.5f * size, top = v.y - 0.5f * size;
    const Range columns = CentresIn(left, left + size, rows.left, rows.right);
    const Range lines = CentresIn(top, top + size, rows.top, rows.bottom);
    if (columns.first > columns.last || lines.first > lines.last) return;
    Interpolants planes;
    planes.originX = left;
    planes.originY = top;
    planes.z = Constant(v.z);
    planes.rhw = Constant(v.rhw);
    const VertexOutput& attributes = m_geometry.attributes[v.attributes];
    for (int i = 0; i < m_varyings.count; ++i) {
        const int slot = m_varyings.slots[i];
        const D3DXVECTOR4& value = Varying(attributes, slot);
        for (int c = 0; c < 4; ++c) planes.varyings[4 * i + c] = Constant(value[c] * v.rhw);
        if (!m_pointSprites || slot < kTexcoordSlot) continue;
        planes.varyings[4 * i] = {0.0f, v.rhw / size, 0.0f};
        planes.varyings[4 * i + 1] = {0.0f, 0.0f, v.rhw / size};
        planes.varyings[4 * i + 2] = Constant(0.0f);
        planes.varyings[4 * i + 3] = Constant(v.rhw);
    }
    for (int row = lines.first; row <= lines.last; ++row) m_pixels.ShadeSpan(planes, row, columns.first, columns.last + 1);
}

}  // namespace swdevice::detail
