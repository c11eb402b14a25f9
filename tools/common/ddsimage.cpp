#include "ddsimage.h"

#include <utility>

#include <squish.h>

#include "imagelimits.h"

namespace {

// ==== File layout ====
// The magic number, a 124-byte header holding a 32-byte pixel format, then
// the top mip level. Offsets are from the start of the file; all fields are
// little-endian 32-bit words.
constexpr std::size_t kDataOffset = 128;
enum FieldOffset : std::size_t {
    kHeaderSize = 4,
    kHeight = 12,
    kWidth = 16,
    kFormatSize = 76,
    kFormatFlags = 80,
    kFourCC = 84,
    kBitCount = 88,
    kRedMask = 92,
    kGreenMask = 96,
    kBlueMask = 100,
    kAlphaMask = 104,
    kCaps2 = 112,
};
constexpr std::uint32_t kExpectedHeaderSize = 124;
constexpr std::uint32_t kExpectedFormatSize = 32;

// Pixel format flags.
constexpr std::uint32_t kHasAlphaMask = 0x1;
constexpr std::uint32_t kAlphaOnly = 0x2;
constexpr std::uint32_t kHasFourCC = 0x4;
constexpr std::uint32_t kRgb = 0x40;
constexpr std::uint32_t kLuminance = 0x20000;
// caps2 flags of textures that hold more than one picture.
constexpr std::uint32_t kCubeMap = 0x200;
constexpr std::uint32_t kVolume = 0x200000;

constexpr std::uint32_t MakeFourCC(char a, char b, char c, char d) {
    return std::uint32_t(std::uint8_t(a)) | std::uint32_t(std::uint8_t(b)) << 8 |
           std::uint32_t(std::uint8_t(c)) << 16 | std::uint32_t(std::uint8_t(d)) << 24;
}
constexpr std::uint32_t kMagic = MakeFourCC('D', 'D', 'S', ' ');

std::uint32_t ReadWord(const std::uint8_t* data, std::size_t offset) {
    return std::uint32_t(data[offset]) | std::uint32_t(data[offset + 1]) << 8 | std::uint32_t(data[offset + 2]) << 16 |
           std::uint32_t(data[offset + 3]) << 24;
}

// ==== Header ====
struct DdsHeader {
    unsigned int width = 0;
    unsigned int height = 0;
    std::uint32_t formatFlags = 0;
    std::uint32_t fourCC = 0;
    std::uint32_t bitCount = 0;
    std::uint32_t masks[4] = {};  // red, green, blue, alpha
};

bool SideInRange(std::uint32_t side) { return side >= 1 && side <= kMaxImageSide; }

bool ReadHeader(const std::uint8_t* data, std::size_t size, DdsHeader& header) {
    if (size < kDataOffset || !LooksLikeDds(data, size)) return false;
    if (ReadWord(data, kHeaderSize) != kExpectedHeaderSize || ReadWord(data, kFormatSize) != kExpectedFormatSize)
        return false;
    if (ReadWord(data, kCaps2) & (kCubeMap | kVolume)) return false;
    header.width = ReadWord(data, kWidth);
    header.height = ReadWord(data, kHeight);
    if (!SideInRange(header.width) || !SideInRange(header.height)) return false;
    header.formatFlags = ReadWord(data, kFormatFlags);
    header.fourCC = ReadWord(data, kFourCC);
    header.bitCount = ReadWord(data, kBitCount);
    const std::size_t maskFields[4] = {kRedMask, kGreenMask, kBlueMask, kAlphaMask};
    for (int channel = 0; channel < 4; ++channel) header.masks[channel] = ReadWord(data, maskFields[channel]);
    return true;
}

void AllocatePixels(const DdsHeader& header, BgraImage& image) {
    image.width = header.width;
    image.height = header.height;
    image.bgra.assign(std::size_t(header.width) * header.height * 4, 0);
}

// ==== Block-compressed levels ====
// libsquish's flag for a FourCC; 0 for one not read here. DXT2 and DXT4
// hold premultiplied colour, which the particle blend modes do not expect.
int SquishFormat(std::uint32_t fourCC) {
    switch (fourCC) {
    case MakeFourCC('D', 'X', 'T', '1'): return squish::kDxt1;
    case MakeFourCC('D', 'X', 'T', '3'): return squish::kDxt3;
    case MakeFourCC('D', 'X', 'T', '5'): return squish::kDxt5;
    default: return 0;
    }
}

// Blocks cover 4 x 4 pixels, partial ones at the right and bottom edges too.
std::size_t BlockLevelBytes(const DdsHeader& header, int format) {
    const std::size_t blockBytes = format == squish::kDxt1 ? 8 : 16;
    return std::size_t((header.width + 3) / 4) * ((header.height + 3) / 4) * blockBytes;
}

// libsquish writes R, G, B, A.
void SwapRedAndBlue(std::vector<std::uint8_t>& pixels) {
    for (std::size_t i = 0; i + 3 < pixels.size(); i += 4) std::swap(pixels[i], pixels[i + 2]);
}

bool DecodeBlocks(const DdsHeader& header, const std::uint8_t* level, std::size_t available, BgraImage& image) {
    const int format = SquishFormat(header.fourCC);
    if (format == 0 || BlockLevelBytes(header, format) > available) return false;
    AllocatePixels(header, image);
    squish::DecompressImage(image.bgra.data(), int(header.width), int(header.height), level, format);
    SwapRedAndBlue(image.bgra);
    return true;
}

// ==== Uncompressed levels ====
// One channel of a packed pixel, scaled from its mask's range to 0-255.
// A zero mask stands for a channel the format lacks, read as a constant.
struct ChannelReader {
    std::uint32_t mask = 0;
    unsigned int shift = 0;
    std::uint64_t maximum = 0;  // the mask shifted down
    std::uint8_t constant = 0;

    ChannelReader(std::uint32_t channelMask, std::uint8_t absentValue) : mask(channelMask), constant(absentValue) {
        if (mask == 0) return;
        while (((mask >> shift) & 1u) == 0) ++shift;
        maximum = mask >> shift;
    }

    std::uint8_t Read(std::uint32_t pixel) const {
        if (mask == 0) return constant;
        return std::uint8_t((std::uint64_t((pixel & mask) >> shift) * 255u + maximum / 2) / maximum);
    }
};

// The readers in B, G, R, A order. Luminance fills all three colours from
// the red mask; alpha counts only when a flag says the alpha mask is real.
struct PixelLayout {
    std::size_t bytesPerPixel;
    ChannelReader channels[4];
};

PixelLayout MakeLayout(const DdsHeader& header) {
    const std::uint32_t* m = header.masks;
    const bool luminance = (header.formatFlags & kLuminance) != 0;
    const bool rgb = (header.formatFlags & kRgb) != 0;
    const std::uint32_t blue = luminance ? m[0] : rgb ? m[2] : 0;
    const std::uint32_t green = luminance ? m[0] : rgb ? m[1] : 0;
    const std::uint32_t red = luminance || rgb ? m[0] : 0;
    const std::uint32_t alpha = header.formatFlags & (kHasAlphaMask | kAlphaOnly) ? m[3] : 0;
    return {header.bitCount / 8, {{blue, 0}, {green, 0}, {red, 0}, {alpha, 255}}};
}

// Whole bytes per pixel, a colour or alpha flag, and masks inside the pixel.
bool LayoutIsReadable(const DdsHeader& header) {
    const std::uint32_t bits = header.bitCount;
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    if ((header.formatFlags & (kRgb | kLuminance | kAlphaOnly)) == 0) return false;
    const std::uint32_t pixelMask = bits == 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
    for (std::uint32_t mask : header.masks)
        if (mask & ~pixelMask) return false;
    return true;
}

std::uint32_t ReadPixel(const std::uint8_t* source, std::size_t bytes) {
    std::uint32_t pixel = 0;
    for (std::size_t i = 0; i < bytes; ++i) pixel |= std::uint32_t(source[i]) << (8 * i);
    return pixel;
}

void ConvertPixels(const PixelLayout& layout, const std::uint8_t* level, BgraImage& image) {
    std::uint8_t* target = image.bgra.data();
    const std::size_t count = std::size_t(image.width) * image.height;
    for (std::size_t i = 0; i < count; ++i, level += layout.bytesPerPixel, target += 4) {
        const std::uint32_t pixel = ReadPixel(level, layout.bytesPerPixel);
        for (int channel = 0; channel < 4; ++channel) target[channel] = layout.channels[channel].Read(pixel);
    }
}

// Rows are taken as tightly packed: writers disagree on the header's pitch
// field, so it is not trusted.
bool DecodeUncompressed(const DdsHeader& header, const std::uint8_t* level, std::size_t available,
                        BgraImage& image) {
    if (!LayoutIsReadable(header)) return false;
    const PixelLayout layout = MakeLayout(header);
    if (std::size_t(header.width) * header.height * layout.bytesPerPixel > available) return false;
    AllocatePixels(header, image);
    ConvertPixels(layout, level, image);
    return true;
}

}  // namespace

bool LooksLikeDds(const std::uint8_t* data, std::size_t size) { return size >= 4 && ReadWord(data, 0) == kMagic; }

bool DecodeDds(const std::uint8_t* data, std::size_t size, BgraImage& image) {
    image = BgraImage();
    DdsHeader header;
    if (!ReadHeader(data, size, header)) return false;
    const std::uint8_t* level = data + kDataOffset;
    const std::size_t available = size - kDataOffset;
    const bool decoded = header.formatFlags & kHasFourCC ? DecodeBlocks(header, level, available, image)
                                                         : DecodeUncompressed(header, level, available, image);
    if (!decoded) image = BgraImage();
    return decoded;
}
