// A contact sheet: downscaled frames laid out in a grid, read left to
// right, top to bottom.
#pragma once

#include <vector>

#include "rgbimage.h"

// Averages factor x factor blocks; edge blocks average what they cover.
RgbImage Downscale(const RgbImage& image, unsigned int factor);

// The smallest whole factor that brings the width to at most maxWidth.
unsigned int ThumbnailFactor(unsigned int width, unsigned int maxWidth);

// Equal-sized thumbnails in a near-square grid with a gap of kSheetGap
// pixels in the gap colour. Empty for no thumbnails.
constexpr unsigned int kSheetGap = 2;
RgbImage MakeContactSheet(const std::vector<RgbImage>& thumbnails, const std::uint8_t gap[3]);
