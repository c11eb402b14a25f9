// Clipping in homogeneous clip space: the near and far planes, w > 0, and a
// guard band around the viewport that keeps screen coordinates small enough
// for exact fixed-point edge functions. Geometry inside the guard band but
// outside the viewport is left to the scissor of scan conversion.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "platform/d3d9types.h"
#include "platform/nativeshader.h"

namespace swdevice::detail {

// Screen positions stay within this many pixels of the viewport.
constexpr float kGuardBandPixels = 16384.0f;
constexpr int kMaxClippedVertices = 3 + 7;  // a triangle gains at most one vertex per plane

struct ClipVolume {
    float guardX = 1;  // |x| <= guardX · w keeps x inside the guard band
    float guardY = 1;
};

ClipVolume GuardBandFor(const D3DVIEWPORT9& viewport);

// One bit per plane the position is outside of; 0 when inside all.
uint32_t Outcode(const D3DXVECTOR4& clip, const ClipVolume& volume);

using ClipPolygon = std::array<uint32_t, kMaxClippedVertices>;

// Clips the polygon (indices into attributes) against the planes in
// `outcodes`; new vertices are appended to attributes. Returns the new
// vertex count, 0 when nothing is left.
int ClipConvexPolygon(std::vector<VertexOutput>& attributes, uint32_t outcodes, const ClipVolume& volume,
                      ClipPolygon& polygon, int count);

// Clips the segment a-b; false when nothing is left.
bool ClipSegment(std::vector<VertexOutput>& attributes, uint32_t outcodes, const ClipVolume& volume, uint32_t& a,
                 uint32_t& b);

}  // namespace swdevice::detail
