// Primitive assembly: the draw's topology and indices become screen-space
// triangles, lines and point sprites, clipped, projected through the
// viewport, culled and expanded by the fill mode.
#pragma once

#include "swdevice_drawcall.h"
#include "swdevice_rastertypes.h"

namespace swdevice::detail {

// The stream vertices a draw reads: [first, first + count).
struct VertexRange {
    UINT first = 0;
    UINT count = 0;
};

VertexRange FindVertexRange(const DrawCall& call);

// geometry.attributes holds the processed vertices of `range`; fills the
// screen vertices and primitives, appending clipped vertices to attributes.
void AssemblePrimitives(const DrawCall& call, bool pretransformed, const VertexRange& range,
                        ScreenGeometry& geometry);

}  // namespace swdevice::detail
