// Reads DirectDraw Surface (.dds) files: the top level of a 2D texture,
// either uncompressed in any 8-, 16-, 24- or 32-bit RGB, luminance or alpha
// layout its bit masks describe (A8R8G8B8, X8R8G8B8, R8G8B8, R5G6B5, L8, A8
// and the like), or block-compressed as DXT1, DXT3 or DXT5. Blocks are
// decoded here, through libsquish, because the software device does not
// sample block-compressed formats. Further mip levels are ignored.
#pragma once

#include <cstddef>
#include <cstdint>

#include "bgraimage.h"

// Whether the bytes start with the DDS magic number.
bool LooksLikeDds(const std::uint8_t* data, std::size_t size);

// False, with image left empty, for a truncated or malformed file, a side
// of 0 or above kMaxImageSide, a cube map or volume, or a layout not read here.
bool DecodeDds(const std::uint8_t* data, std::size_t size, BgraImage& image);
