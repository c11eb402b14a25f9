// Buffers the effect functions hand back to their callers.
#pragma once

#include <string>

#include "platform/d3dxeffect.h"

// A buffer holding text and its terminating NUL.
HRESULT CreateTextBuffer(const std::string& text, LPD3DXBUFFER* ppBuffer);
