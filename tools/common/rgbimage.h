// An 8-bit RGB picture, rows top to bottom, as the hosts write them out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct RgbImage {
    unsigned int width = 0;
    unsigned int height = 0;
    std::vector<std::uint8_t> rgb;  // 3 bytes per pixel, no row padding

    RgbImage() = default;
    RgbImage(unsigned int w, unsigned int h) : width(w), height(h), rgb(static_cast<size_t>(w) * h * 3, 0) {}

    std::uint8_t* Pixel(unsigned int x, unsigned int y) { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
    const std::uint8_t* Pixel(unsigned int x, unsigned int y) const {
        return &rgb[(static_cast<size_t>(y) * width + x) * 3];
    }
};
