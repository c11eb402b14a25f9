#include "pngwriter.h"

#include <cstring>

#include <png.h>

bool WritePng(const std::string& path, const RgbImage& image) {
    if (image.width == 0 || image.height == 0) return false;
    png_image out;
    std::memset(&out, 0, sizeof out);
    out.version = PNG_IMAGE_VERSION;
    out.width = image.width;
    out.height = image.height;
    out.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&out, path.c_str(), 0, image.rgb.data(), 0, nullptr) != 0;
}
