// Draw validation: a draw may only read vertices and indices that lie inside
// the buffers bound to the device (or the caller's DrawPrimitiveUP array).
#pragma once

#include "swdevice_drawcall.h"

namespace swdevice::detail {

// Null when the draw is valid, else what is wrong with it, for the log.
const char* FindDrawProblem(const DrawRequest& request, const DeviceBindings& bindings, bool inScene);

}  // namespace swdevice::detail
