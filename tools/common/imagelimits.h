// Limits on the image files the hosts read: they may come from anywhere, so
// nothing in a header is trusted to size an allocation beyond these.
#pragma once

#include <cstddef>

// Pixels per side of a texture or backdrop; particle textures are far smaller.
constexpr unsigned int kMaxImageSide = 4096;
// Bytes read from one file: a 4096 x 4096 32-bit texture with every mip level
// is about 85 MiB, so no usable file is larger.
constexpr std::size_t kMaxImageFileBytes = std::size_t(128) << 20;
