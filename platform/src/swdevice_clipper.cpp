#include "swdevice_clipper.h"

#include <algorithm>

namespace swdevice::detail {

namespace {

constexpr int kPlanes = 7;
constexpr float kMinimumW = 1e-6f;

// Signed distance to plane `plane`: inside when >= 0.
float Distance(const D3DXVECTOR4& p, int plane, const ClipVolume& v) {
    switch (plane) {
        case 0: return p.z;  // near: z >= 0
        case 1: return p.w - p.z;  // far: z <= w
        case 2: return p.w - kMinimumW;
        case 3: return v.guardX * p.w + p.x;
        case 4: return v.guardX * p.w - p.x;
        case 5: return v.guardY * p.w + p.y;
        default: return v.guardY * p.w - p.y;
    }
}

D3DXVECTOR4 Lerp(const D3DXVECTOR4& a, const D3DXVECTOR4& b, float t) { return a + (b - a) * t; }

// Every output register moves linearly in clip space, which keeps the later
// perspective-correct interpolation exact.
VertexOutput Between(const VertexOutput& a, const VertexOutput& b, float t) {
    VertexOutput v;
    v.position = Lerp(a.position, b.position, t);
    for (int i = 0; i < 2; ++i) v.color[i] = Lerp(a.color[i], b.color[i], t);
    for (int i = 0; i < 8; ++i) v.texcoord[i] = Lerp(a.texcoord[i], b.texcoord[i], t);
    v.fog = a.fog + (b.fog - a.fog) * t;
    v.pointSize = a.pointSize + (b.pointSize - a.pointSize) * t;
    return v;
}

// The crossing of edge inside-outside with the plane. Always computed from
// the inside end, so the two triangles sharing an edge get the same vertex.
uint32_t Intersect(std::vector<VertexOutput>& attributes, uint32_t inside, uint32_t outside, int plane,
                   const ClipVolume& volume) {
    const float dIn = Distance(attributes[inside].position, plane, volume);
    const float dOut = Distance(attributes[outside].position, plane, volume);
    const VertexOutput v = Between(attributes[inside], attributes[outside], dIn / (dIn - dOut));
    attributes.push_back(v);
    return uint32_t(attributes.size() - 1);
}

int ClipAgainstPlane(std::vector<VertexOutput>& attributes, int plane, const ClipVolume& volume,
                     ClipPolygon& polygon, int count) {
    ClipPolygon result{};
    int kept = 0;
    for (int i = 0; i < count; ++i) {
        const uint32_t current = polygon[i];
        const uint32_t next = polygon[(i + 1) % count];
        const bool currentIn = Distance(attributes[current].position, plane, volume) >= 0.0f;
        const bool nextIn = Distance(attributes[next].position, plane, volume) >= 0.0f;
        if (currentIn) result[kept++] = current;
        if (currentIn == nextIn) continue;
        result[kept++] = currentIn ? Intersect(attributes, current, next, plane, volume)
                                   : Intersect(attributes, next, current, plane, volume);
    }
    polygon = result;
    return kept;
}

}  // namespace

ClipVolume GuardBandFor(const D3DVIEWPORT9& viewport) {
    ClipVolume volume;
    volume.guardX = std::max(1.0f, 2.0f * kGuardBandPixels / float(std::max<DWORD>(viewport.Width, 1)));
    volume.guardY = std::max(1.0f, 2.0f * kGuardBandPixels / float(std::max<DWORD>(viewport.Height, 1)));
    return volume;
}

uint32_t Outcode(const D3DXVECTOR4& clip, const ClipVolume& volume) {
    uint32_t code = 0;
    for (int plane = 0; plane < kPlanes; ++plane) {
        if (!(Distance(clip, plane, volume) >= 0.0f)) code |= 1u << plane;
    }
    return code;
}

int ClipConvexPolygon(std::vector<VertexOutput>& attributes, uint32_t outcodes, const ClipVolume& volume,
                      ClipPolygon& polygon, int count) {
    for (int plane = 0; plane < kPlanes && count >= 3; ++plane) {
        if (outcodes & (1u << plane)) count = ClipAgainstPlane(attributes, plane, volume, polygon, count);
    }
    return count >= 3 ? count : 0;
}

bool ClipSegment(std::vector<VertexOutput>& attributes, uint32_t outcodes, const ClipVolume& volume, uint32_t& a,
                 uint32_t& b) {
    for (int plane = 0; plane < kPlanes; ++plane) {
        if (!(outcodes & (1u << plane))) continue;
        const bool aIn = Distance(attributes[a].position, plane, volume) >= 0.0f;
        const bool bIn = Distance(attributes[b].position, plane, volume) >= 0.0f;
        if (!aIn && !bIn) return false;
        if (!aIn) a = Intersect(attributes, b, a, plane, volume);
        if (!bIn) b = Intersect(attributes, a, b, plane, volume);
    }
    return true;
}

}  // namespace swdevice::detail
