#include "swdevice_primitives.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "swdevice_clipper.h"
#include "swdevice_vertexformat.h"

namespace swdevice::detail {

namespace {

// Keeps pre-transformed positions, which are never clipped, in the range the
// fixed-point edge functions handle.
constexpr float kScreenLimit = 2.0f * kGuardBandPixels;

UINT ReadIndex(const BYTE* indices, UINT indexSize, uint64_t i) {
    if (indexSize == 2) {
        WORD index;
        std::memcpy(&index, indices + i * 2, 2);
        return index;
    }
    DWORD index;
    std::memcpy(&index, indices + i * 4, 4);
    return index;
}

float SnapToSubpixel(float value) {
    const float limited = std::isfinite(value) ? std::clamp(value, -kScreenLimit, kScreenLimit) : 0.0f;
    return std::nearbyint(limited * kSubpixelScale) / kSubpixelScale;
}

class Assembler {
public:
    Assembler(const DrawCall& call, bool pretransformed, const VertexRange& range, ScreenGeometry& geometry)
        : m_call(call),
          m_pretransformed(pretransformed),
          m_range(range),
          m_geometry(geometry),
          m_volume(GuardBandFor(call.record.viewport)),
          m_cullMode(call.record.states.render[D3DRS_CULLMODE]),
          m_fillMode(call.record.states.render[D3DRS_FILLMODE]) {}

    void Run() {
        ProjectProcessedVertices();
        const UINT count = m_call.record.primitiveCount;
        for (UINT i = 0; i < count; ++i) AssemblePrimitive(i);
    }

private:
    // ==== Vertices ====

    // Attribute index of the draw's k-th vertex (or index).
    uint32_t Vertex(uint64_t k) const {
        const DrawRecord& r = m_call.record;
        if (!r.indexed) return uint32_t(r.startVertex + k - m_range.first);
        return uint32_t(int64_t(r.baseVertexIndex) + ReadIndex(m_call.indices, m_call.indexSize, k) - m_range.first);
    }

    void ProjectProcessedVertices() {
        const size_t count = m_geometry.attributes.size();
        m_geometry.vertices.resize(count);
        m_outcodes.resize(count);
        for (size_t i = 0; i < count; ++i) {
            m_outcodes[i] = m_pretransformed ? 0 : Outcode(m_geometry.attributes[i].position, m_volume);
            if (m_outcodes[i] == 0) m_geometry.vertices[i] = Project(uint32_t(i));
        }
    }

    // Clip space to pixels (x right, y down); pre-transformed vertices are already there.
    ScreenVertex Project(uint32_t index) const {
        const VertexOutput& v = m_geometry.attributes[index];
        const D3DVIEWPORT9& vp = m_call.record.viewport;
        ScreenVertex s;
        s.attributes = index;
        s.pointSize = v.pointSize;
        if (m_pretransformed) {
            s.x = SnapToSubpixel(v.position.x);
            s.y = SnapToSubpixel(v.position.y);
            s.z = v.position.z;
            s.rhw = v.position.w;
            return s;
        }
        s.rhw = 1.0f / v.position.w;
        s.x = SnapToSubpixel(vp.X + (v.position.x * s.rhw + 1.0f) * 0.5f * vp.Width);
        s.y = SnapToSubpixel(vp.Y + (1.0f - v.position.y * s.rhw) * 0.5f * vp.Height);
        s.z = vp.MinZ + v.position.z * s.rhw * (vp.MaxZ - vp.MinZ);
        return s;
    }

    // A vertex made by clipping: attributes and screen vertices stay index-aligned.
    void ProjectNewVertices() {
        const size_t first = m_geometry.vertices.size();
        m_geometry.vertices.resize(m_geometry.attributes.size());
        for (size_t i = first; i < m_geometry.vertices.size(); ++i) m_geometry.vertices[i] = Project(uint32_t(i));
    }

    // ==== Topology ====

    void AssemblePrimitive(UINT i) {
        switch (m_call.record.primitiveType) {
            case D3DPT_POINTLIST: return AddPoint(Vertex(i));
            case D3DPT_LINELIST: return AddLine(Vertex(2 * uint64_t(i)), Vertex(2 * uint64_t(i) + 1));
            case D3DPT_LINESTRIP: return AddLine(Vertex(i), Vertex(i + 1));
            case D3DPT_TRIANGLELIST: return AddTriangle(Vertex(3 * uint64_t(i)), Vertex(3 * uint64_t(i) + 1),
                                                        Vertex(3 * uint64_t(i) + 2));
            // Odd strip triangles swap their first two vertices to keep the strip's winding.
            case D3DPT_TRIANGLESTRIP:
                return (i & 1) ? AddTriangle(Vertex(i + 1), Vertex(i), Vertex(i + 2))
                               : AddTriangle(Vertex(i), Vertex(i + 1), Vertex(i + 2));
            case D3DPT_TRIANGLEFAN: return AddTriangle(Vertex(0), Vertex(i + 1), Vertex(i + 2));
            default: return;
        }
    }

    // A point is drawn whole or not at all, by where its centre lies.
    void AddPoint(uint32_t v) {
        if (m_outcodes[v]) return;
        m_geometry.primitives.push_back({PrimitiveKind::Sprite, {v, v, v}});
    }

    void AddLine(uint32_t a, uint32_t b) {
        const uint32_t codes = m_outcodes[a] | m_outcodes[b];
        if (m_outcodes[a] & m_outcodes[b]) return;
        if (codes) {
            if (!ClipSegment(m_geometry.attributes, codes, m_volume, a, b)) return;
            ProjectNewVertices();
        }
        m_geometry.primitives.push_back({PrimitiveKind::Line, {a, b, b}});
    }

    void AddTriangle(uint32_t a, uint32_t b, uint32_t c) {
        ClipPolygon polygon{a, b, c};
        int count = 3;
        const uint32_t codes = m_outcodes[a] | m_outcodes[b] | m_outcodes[c];
        if (m_outcodes[a] & m_outcodes[b] & m_outcodes[c]) return;
        if (codes) {
            count = ClipConvexPolygon(m_geometry.attributes, codes, m_volume, polygon, count);
            ProjectNewVertices();
        }
        if (count == 0 || IsCulled(polygon, count)) return;
        EmitPolygon(polygon, count);
    }

    // ==== Culling and fill mode ====

    // Twice the signed area in pixels; positive for clockwise on screen (y down).
    double SignedArea(const ClipPolygon& polygon, int count) const {
        double area = 0.0;
        for (int i = 0; i < count; ++i) {
            const ScreenVertex& p = m_geometry.vertices[polygon[i]];
            const ScreenVertex& q = m_geometry.vertices[polygon[(i + 1) % count]];
            area += double(p.x) * q.y - double(q.x) * p.y;
        }
        return area;
    }

    // Clockwise triangles are front faces: D3DCULL_CCW removes the others.
    bool IsCulled(const ClipPolygon& polygon, int count) const {
        const double area = SignedArea(polygon, count);
        if (area == 0.0) return true;
        if (m_cullMode == D3DCULL_CCW) return area < 0.0;
        if (m_cullMode == D3DCULL_CW) return area > 0.0;
        return false;
    }

    void EmitPolygon(const ClipPolygon& polygon, int count) {
        for (int i = 0; i < count; ++i) {
            if (m_fillMode == D3DFILL_WIREFRAME) {
                m_geometry.primitives.push_back({PrimitiveKind::Line, {polygon[i], polygon[(i + 1) % count], 0}});
            } else if (m_fillMode == D3DFILL_POINT) {
                m_geometry.primitives.push_back({PrimitiveKind::Sprite, {polygon[i], polygon[i], polygon[i]}});
            } else if (i + 2 < count) {
                m_geometry.primitives.push_back({PrimitiveKind::Triangle, {polygon[0], polygon[i + 1], polygon[i + 2]}});
            }
        }
    }

    const DrawCall& m_call;
    bool m_pretransformed;
    VertexRange m_range;
    ScreenGeometry& m_geometry;
    ClipVolume m_volume;
    DWORD m_cullMode;
    DWORD m_fillMode;
    std::vector<uint32_t> m_outcodes;
};

}  // namespace

VertexRange FindVertexRange(const DrawCall& call) {
    const DrawRecord& r = call.record;
    const uint64_t count = VerticesForPrimitives(r.primitiveType, r.primitiveCount);
    if (!r.indexed) return {r.startVertex, UINT(count)};
    UINT lowest = 0xFFFFFFFF;
    UINT highest = 0;
    for (uint64_t i = 0; i < count; ++i) {
        const UINT index = ReadIndex(call.indices, call.indexSize, i);
        lowest = std::min(lowest, index);
        highest = std::max(highest, index);
    }
    return {UINT(r.baseVertexIndex + int64_t(lowest)), highest - lowest + 1};
}

void AssemblePrimitives(const DrawCall& call, bool pretransformed, const VertexRange& range,
                        ScreenGeometry& geometry) {
    geometry.vertices.clear();
    geometry.primitives.clear();
    Assembler(call, pretransformed, range, geometry).Run();
}

}  // namespace swdevice::detail
