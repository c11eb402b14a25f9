// The Microsoft C runtime's random generator, bit for bit.
//
// One process-wide state, shared by the libraries and the host: seeding it
// with crt::srand(n) reproduces the same sequence on every machine. It lives
// in its own namespace so that the host's own ::rand is left alone. Not
// thread-safe: everything runs on the host's rendering thread.
#pragma once

#include "platform/export.h"

namespace crt {

// The largest value rand() returns (the C runtime's RAND_MAX).
constexpr int CRT_RAND_MAX = 32767;

// state = state * 214013 + 2531011; returns (state >> 16) & 0x7FFF.
PLATFORM_API int rand();

// Sets the state; the state before any call to srand is 1.
PLATFORM_API void srand(unsigned int seed);

}  // namespace crt
