// A decoded picture with alpha, in the byte order of a D3DFMT_A8R8G8B8 texel
// (B, G, R, A in memory), so rows copy straight into a locked texture.
#pragma once

#include <cstdint>
#include <vector>

struct BgraImage {
    unsigned int width = 0;
    unsigned int height = 0;
    std::vector<std::uint8_t> bgra;  // rows top to bottom, 4 bytes per pixel, no row padding
};
