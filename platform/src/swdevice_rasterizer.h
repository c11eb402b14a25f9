// Where validated draws become pixels. The device hands every draw that
// passed validation to its rasteriser after logging it.
#pragma once

#include <memory>

#include "swdevice_drawcall.h"

namespace swdevice::detail {

class Rasterizer {
public:
    virtual ~Rasterizer() = default;
    // Reads only through the call's pointers, and only the ranges validation checked.
    virtual void Draw(const DrawCall& call) = 0;
};

// The device's rasteriser: vertex processing, primitive assembly and
// clipping, scan conversion, and the pixel pipeline (fixed function or the
// bound effect pass's native shaders), drawn in two row bands when the
// draw is large enough for a second thread to pay.
std::unique_ptr<Rasterizer> CreateRasterizer();

}  // namespace swdevice::detail
