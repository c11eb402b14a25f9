#include "contactsheet.h"

#include <algorithm>
#include <cmath>

namespace {

void AverageBlock(const RgbImage& image, unsigned int x0, unsigned int y0, unsigned int factor, std::uint8_t* out) {
    const unsigned int x1 = std::min(image.width, x0 + factor);
    const unsigned int y1 = std::min(image.height, y0 + factor);
    unsigned int sum[3] = {0, 0, 0};
    for (unsigned int y = y0; y < y1; ++y)
        for (unsigned int x = x0; x < x1; ++x)
            for (int c = 0; c < 3; ++c) sum[c] += image.Pixel(x, y)[c];
    const unsigned int count = (x1 - x0) * (y1 - y0);
    for (int c = 0; c < 3; ++c) out[c] = static_cast<std::uint8_t>((sum[c] + count / 2) / count);
}

void Blit(const RgbImage& source, RgbImage& target, unsigned int left, unsigned int top) {
    for (unsigned int y = 0; y < source.height; ++y)
        std::copy_n(source.Pixel(0, y), source.width * 3, target.Pixel(left, top + y));
}

void Fill(RgbImage& image, const std::uint8_t colour[3]) {
    for (size_t i = 0; i < image.rgb.size(); i += 3) std::copy_n(colour, 3, &image.rgb[i]);
}

}  // namespace

RgbImage Downscale(const RgbImage& image, unsigned int factor) {
    factor = std::max(1u, factor);
    RgbImage small((image.width + factor - 1) / factor, (image.height + factor - 1) / factor);
    for (unsigned int y = 0; y < small.height; ++y)
        for (unsigned int x = 0; x < small.width; ++x)
            AverageBlock(image, x * factor, y * factor, factor, small.Pixel(x, y));
    return small;
}

unsigned int ThumbnailFactor(unsigned int width, unsigned int maxWidth) {
    return std::max(1u, (width + maxWidth - 1) / std::max(1u, maxWidth));
}

RgbImage MakeContactSheet(const std::vector<RgbImage>& thumbnails, const std::uint8_t gap[3]) {
    if (thumbnails.empty()) return RgbImage();
    const unsigned int count = static_cast<unsigned int>(thumbnails.size());
    const unsigned int columns = static_cast<unsigned int>(std::ceil(std::sqrt(static_cast<double>(count))));
    const unsigned int rows = (count + columns - 1) / columns;
    const unsigned int cellWidth = thumbnails[0].width + kSheetGap;
    const unsigned int cellHeight = thumbnails[0].height + kSheetGap;
    RgbImage sheet(columns * cellWidth + kSheetGap, rows * cellHeight + kSheetGap);
    Fill(sheet, gap);
    for (unsigned int i = 0; i < count; ++i)
        Blit(thumbnails[i], sheet, kSheetGap + (i % columns) * cellWidth, kSheetGap + (i / columns) * cellHeight);
    return sheet;
}
