// The capabilities the software device reports, from the settings.
#pragma once

#include "platform/swdevice.h"

namespace swdevice::detail {

constexpr DWORD kMaxTextureSize = 4096;
constexpr DWORD kMaxStreams = 16;
constexpr DWORD kMaxStreamStride = 508;
constexpr DWORD kMaxPrimitiveCount = 0xFFFFF;
constexpr DWORD kMaxVertexIndex = 0xFFFFFF;
constexpr float kMaxPointSize = 256.0f;

D3DCAPS9 BuildCaps(const Settings& settings);

}  // namespace swdevice::detail

namespace swdevice::detail {

// Not a reported cap: keeps a wrong length from reserving gigabytes; no
// buffer of the libraries comes near it.
constexpr UINT kMaxBufferBytes = 256u << 20;

}  // namespace swdevice::detail
