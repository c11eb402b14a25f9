#include "platform/crt_rand.h"

#include <cstdint>

namespace crt {
namespace {

// The shared generator state; the C runtime starts from 1.
uint32_t g_state = 1;

}  // namespace

int rand() {
    g_state = g_state * 214013u + 2531011u;
    return static_cast<int>((g_state >> 16) & 0x7FFFu);
}

void srand(unsigned int seed) { g_state = seed; }

}  // namespace crt
