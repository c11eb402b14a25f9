#include "imagefile.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include <png.h>

#include "ddsimage.h"
#include "imagelimits.h"

namespace {

// The whole file, or false when it is missing, not a regular file, empty or too big.
bool ReadFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return false;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size == 0 || size > kMaxImageFileBytes) return false;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    bytes.resize(static_cast<std::size_t>(size));
    const bool read = std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
    std::fclose(file);
    return read;
}

bool SidesInRange(const png_image& image) {
    return image.width >= 1 && image.height >= 1 && image.width <= kMaxImageSide && image.height <= kMaxImageSide;
}

// The header is read first, so an absurd size is refused before anything is allocated.
bool DecodePng(const std::uint8_t* data, std::size_t size, BgraImage& image) {
    image = BgraImage();
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&png, data, size)) return false;
    if (!SidesInRange(png)) {
        png_image_free(&png);
        return false;
    }
    png.format = PNG_FORMAT_BGRA;
    image.width = png.width;
    image.height = png.height;
    image.bgra.resize(PNG_IMAGE_SIZE(png));
    if (png_image_finish_read(&png, nullptr, image.bgra.data(), 0, nullptr)) return true;
    image = BgraImage();
    return false;
}

}  // namespace

bool ReadImageFile(const std::string& path, BgraImage& image) {
    image = BgraImage();
    std::vector<std::uint8_t> bytes;
    if (!ReadFileBytes(path, bytes)) return false;
    if (LooksLikeDds(bytes.data(), bytes.size())) return DecodeDds(bytes.data(), bytes.size(), image);
    return DecodePng(bytes.data(), bytes.size(), image);
}
