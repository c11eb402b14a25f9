// Writes pictures as 8-bit RGB PNG files through libpng.
#pragma once

#include <string>

#include "rgbimage.h"

// False when the file cannot be written or the image is empty.
bool WritePng(const std::string& path, const RgbImage& image);
