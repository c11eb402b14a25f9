// Four floats in one register for the fast span loops. Each operation is
// the scalar one in every lane, in the same order, so results match the
// scalar code to the bit (the build never contracts or reassociates).
#pragma once

#include <cstdint>

#include "platform/d3dxmath.h"

namespace swdevice::detail {

using Float4 = float __attribute__((vector_size(16)));
using Int4 = int32_t __attribute__((vector_size(16)));

inline Float4 Splat(float v) { return Float4{v, v, v, v}; }
inline Float4 ToFloat4(const D3DXVECTOR4& v) { return Float4{v.x, v.y, v.z, v.w}; }

// std::clamp(v, 0, 1) in each lane, with the same results for NaN and -0.
inline Float4 Saturate(Float4 v) {
    v = v < Splat(0.0f) ? Splat(0.0f) : v;
    return Splat(1.0f) < v ? Splat(1.0f) : v;
}

}  // namespace swdevice::detail
