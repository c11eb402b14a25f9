// Reading the picture files the hosts accept: DDS textures, compressed and
// not, built here byte by byte, and the choice between PNG and DDS.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ddsimage.h"
#include "imagefile.h"
#include "imagelimits.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kFourCCFlag = 0x4;
constexpr std::uint32_t kAlphaPixels = 0x1;
constexpr std::uint32_t kRgb = 0x40;
constexpr std::uint32_t kLuminance = 0x20000;

void PutWord(Bytes& bytes, size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[offset + i] = std::uint8_t(value >> (8 * i));
}

std::uint32_t FourCC(const char* code) {
    return std::uint32_t(std::uint8_t(code[0])) | std::uint32_t(std::uint8_t(code[1])) << 8 |
           std::uint32_t(std::uint8_t(code[2])) << 16 | std::uint32_t(std::uint8_t(code[3])) << 24;
}

// The 128-byte header of a plain 2D texture, followed by the level's bytes.
struct PixelFormat {
    std::uint32_t flags;
    std::uint32_t fourCC;
    std::uint32_t bitCount;
    std::uint32_t masks[4];  // red, green, blue, alpha
};

Bytes MakeDds(std::uint32_t width, std::uint32_t height, const PixelFormat& format, const Bytes& level) {
    Bytes bytes(128, 0);
    PutWord(bytes, 0, FourCC("DDS "));
    PutWord(bytes, 4, 124);
    PutWord(bytes, 8, 0x1007);  // caps, height, width, pixel format
    PutWord(bytes, 12, height);
    PutWord(bytes, 16, width);
    PutWord(bytes, 76, 32);
    PutWord(bytes, 80, format.flags);
    PutWord(bytes, 84, format.fourCC);
    PutWord(bytes, 88, format.bitCount);
    for (int i = 0; i < 4; ++i) PutWord(bytes, 92 + 4 * i, format.masks[i]);
    PutWord(bytes, 108, 0x1000);  // a texture
    bytes.insert(bytes.end(), level.begin(), level.end());
    return bytes;
}

Bytes MakeBlockDds(const char* code, std::uint32_t width, std::uint32_t height, const Bytes& blocks) {
    return MakeDds(width, height, {kFourCCFlag, FourCC(code), 0, {}}, blocks);
}

const PixelFormat kArgb8 = {kRgb | kAlphaPixels, 0, 32, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}};

// Pixel (x, y) as B, G, R, A.
Bytes Texel(const BgraImage& image, unsigned int x, unsigned int y) {
    const size_t at = (size_t(y) * image.width + x) * 4;
    return Bytes(image.bgra.begin() + at, image.bgra.begin() + at + 4);
}

BgraImage Decode(const Bytes& file) {
    BgraImage image;
    EXPECT_TRUE(DecodeDds(file.data(), file.size(), image));
    return image;
}

// A colour block: two RGB565 end points and sixteen 2-bit indices, row by
// row, the first pixel in the lowest bits.
Bytes ColourBlock(std::uint16_t c0, std::uint16_t c1, std::uint32_t indices) {
    return {std::uint8_t(c0), std::uint8_t(c0 >> 8), std::uint8_t(c1), std::uint8_t(c1 >> 8),
            std::uint8_t(indices), std::uint8_t(indices >> 8), std::uint8_t(indices >> 16), std::uint8_t(indices >> 24)};
}

// First row of a 4x4 block: pixel i uses index i.
constexpr std::uint32_t kIndices0123 = 0b11100100;

Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::string WriteTempFile(const char* name, const Bytes& bytes) {
    const std::string path = ::testing::TempDir() + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    return path;
}

}  // namespace

// End points are chosen so that every interpolated channel divides exactly,
// leaving no room for a decoder's rounding to matter.
TEST(DecodeDds, Dxt1InterpolatesTwoThirdsBetweenOpaqueEndPoints) {
    const BgraImage image = Decode(MakeBlockDds("DXT1", 4, 4, ColourBlock(0xF800, 0x001F, kIndices0123)));
    ASSERT_EQ(image.width, 4u);
    EXPECT_EQ(Texel(image, 0, 0), (Bytes{0, 0, 255, 255}));
    EXPECT_EQ(Texel(image, 1, 0), (Bytes{255, 0, 0, 255}));
    EXPECT_EQ(Texel(image, 2, 0), (Bytes{85, 0, 170, 255}));
    EXPECT_EQ(Texel(image, 3, 0), (Bytes{170, 0, 85, 255}));
    EXPECT_EQ(Texel(image, 3, 3), (Bytes{0, 0, 255, 255})) << "index 0 elsewhere";
}

TEST(DecodeDds, Dxt1WithOrderedEndPointsHasAMidpointAndTransparentBlack) {
    // Red 16 of 31 expands to 132.
    const BgraImage image = Decode(MakeBlockDds("DXT1", 4, 4, ColourBlock(0x0000, 0x8000, kIndices0123)));
    EXPECT_EQ(Texel(image, 1, 0), (Bytes{0, 0, 132, 255}));
    EXPECT_EQ(Texel(image, 2, 0), (Bytes{0, 0, 66, 255}));
    EXPECT_EQ(Texel(image, 3, 0), (Bytes{0, 0, 0, 0}));
}

// DXT3 and DXT5 colour blocks always use four colours, whatever the order of
// their end points.
TEST(DecodeDds, Dxt3TakesExplicitFourBitAlphaAndFourColours) {
    const Bytes alpha = {0x10, 0xF8, 0, 0, 0, 0, 0, 0};  // first row: 0, 1, 8, 15
    const BgraImage image =
        Decode(MakeBlockDds("DXT3", 4, 4, Concat(alpha, ColourBlock(0x0000, 0xFFFF, kIndices0123))));
    EXPECT_EQ(Texel(image, 0, 0), (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(Texel(image, 1, 0), (Bytes{255, 255, 255, 17}));
    EXPECT_EQ(Texel(image, 2, 0), (Bytes{85, 85, 85, 136}));
    EXPECT_EQ(Texel(image, 3, 0), (Bytes{170, 170, 170, 255}));
}

// Two alpha end points and sixteen 3-bit indices packed into 48 bits.
Bytes AlphaBlock(std::uint8_t a0, std::uint8_t a1, std::uint64_t indices) {
    Bytes block = {a0, a1};
    for (int i = 0; i < 6; ++i) block.push_back(std::uint8_t(indices >> (8 * i)));
    return block;
}

// Pixels 0 to 7 take indices 0 to 7.
constexpr std::uint64_t kAlphaIndices = 0b111'110'101'100'011'010'001'000;

std::vector<int> FirstEightAlphas(const BgraImage& image) {
    std::vector<int> alphas;
    for (unsigned int i = 0; i < 8; ++i) alphas.push_back(Texel(image, i % 4, i / 4)[3]);
    return alphas;
}

TEST(DecodeDds, Dxt5InterpolatesAlphaInBothModes) {
    const Bytes white = ColourBlock(0xFFFF, 0xFFFF, 0);
    const BgraImage eight = Decode(MakeBlockDds("DXT5", 4, 4, Concat(AlphaBlock(210, 0, kAlphaIndices), white)));
    EXPECT_EQ(FirstEightAlphas(eight), (std::vector<int>{210, 0, 180, 150, 120, 90, 60, 30}));
    const BgraImage six = Decode(MakeBlockDds("DXT5", 4, 4, Concat(AlphaBlock(0, 250, kAlphaIndices), white)));
    EXPECT_EQ(FirstEightAlphas(six), (std::vector<int>{0, 250, 50, 100, 150, 200, 0, 255}));
    EXPECT_EQ(Texel(six, 0, 0), (Bytes{255, 255, 255, 0}));
}

TEST(DecodeDds, PartialBlocksCoverSidesThatAreNotMultiplesOfFour) {
    const Bytes blocks = Concat(ColourBlock(0xF800, 0xF800, 0), ColourBlock(0x001F, 0x001F, 0));
    const BgraImage image = Decode(MakeBlockDds("DXT1", 5, 3, blocks));
    ASSERT_EQ(image.bgra.size(), 5u * 3u * 4u);
    EXPECT_EQ(Texel(image, 3, 2), (Bytes{0, 0, 255, 255}));
    EXPECT_EQ(Texel(image, 4, 2), (Bytes{255, 0, 0, 255}));
}

TEST(DecodeDds, Argb8RoundTripsEveryByte) {
    Bytes level;
    for (std::uint8_t i = 0; i < 6 * 4; ++i) level.push_back(std::uint8_t(i * 11));
    const BgraImage image = Decode(MakeDds(3, 2, kArgb8, level));
    EXPECT_EQ(image.width, 3u);
    EXPECT_EQ(image.height, 2u);
    EXPECT_EQ(image.bgra, level);
}

// One pixel of each uncompressed layout, read through its masks.
TEST(DecodeDds, ReadsUncompressedLayoutsThroughTheirMasks) {
    struct Case {
        const char* label;
        PixelFormat format;
        Bytes pixel;
        Bytes expected;  // B, G, R, A
    };
    const Case cases[] = {
        {"X8R8G8B8 ignores the unused byte", {kRgb, 0, 32, {0xFF0000, 0xFF00, 0xFF, 0}}, {1, 2, 3, 4}, {1, 2, 3, 255}},
        {"A8B8G8R8", {kRgb | kAlphaPixels, 0, 32, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}}, {1, 2, 3, 4}, {3, 2, 1, 4}},
        {"R8G8B8", {kRgb, 0, 24, {0xFF0000, 0xFF00, 0xFF, 0}}, {10, 20, 30}, {10, 20, 30, 255}},
        {"R5G6B5 scales each field", {kRgb, 0, 16, {0xF800, 0x07E0, 0x001F, 0}}, {0xE0, 0xFF}, {0, 255, 255, 255}},
        {"A1R5G5B5", {kRgb | kAlphaPixels, 0, 16, {0x7C00, 0x03E0, 0x001F, 0x8000}}, {0x1F, 0x80}, {255, 0, 0, 255}},
        {"L8 is grey", {kLuminance, 0, 8, {0xFF, 0, 0, 0}}, {77}, {77, 77, 77, 255}},
        {"A8L8", {kLuminance | kAlphaPixels, 0, 16, {0xFF, 0, 0, 0xFF00}}, {9, 200}, {9, 9, 9, 200}},
        {"A8 is black", {0x2, 0, 8, {0, 0, 0, 0xFF}}, {99}, {0, 0, 0, 99}},
        {"an alpha mask without its flag is ignored", {kRgb, 0, 32, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}},
         {1, 2, 3, 4}, {1, 2, 3, 255}},
    };
    for (const Case& c : cases) {
        const Bytes file = MakeDds(1, 1, c.format, c.pixel);
        BgraImage image;
        ASSERT_TRUE(DecodeDds(file.data(), file.size(), image)) << c.label;
        EXPECT_EQ(image.bgra, c.expected) << c.label;
    }
}

// Each row breaks one thing in an otherwise good 4x4 A8R8G8B8 file.
TEST(DecodeDds, RejectsMalformedHeadersAndAbsurdSizes) {
    struct Case {
        const char* label;
        size_t offset;
        std::uint32_t value;
    };
    const Case cases[] = {
        {"wrong magic", 0, FourCC("DDS!")},
        {"header size", 4, 128},
        {"pixel format size", 76, 24},
        {"zero height", 12, 0},
        {"zero width", 16, 0},
        {"a side over the limit", 16, kMaxImageSide + 1},
        {"the largest width", 16, 0xFFFFFFFF},
        {"the largest height", 12, 0xFFFFFFFF},
        {"no colour flag", 80, kAlphaPixels},
        {"12 bits a pixel", 88, 12},
        {"0 bits a pixel", 88, 0},
        {"a mask outside the pixel", 88, 16},
        {"a cube map", 112, 0x200 | 0xFC00},
        {"a volume", 112, 0x200000},
        {"an unknown block format", 80, kFourCCFlag},
    };
    const Bytes good = MakeDds(4, 4, kArgb8, Bytes(4 * 4 * 4, 0x5A));
    BgraImage image;
    ASSERT_TRUE(DecodeDds(good.data(), good.size(), image));
    for (const Case& c : cases) {
        Bytes bad = good;
        PutWord(bad, c.offset, c.value);
        EXPECT_FALSE(DecodeDds(bad.data(), bad.size(), image)) << c.label;
        EXPECT_TRUE(image.bgra.empty()) << c.label;
    }
}

TEST(DecodeDds, RejectsFormatsItDoesNotRead) {
    const Bytes block(16, 0);
    for (const char* code : {"DXT2", "DXT4", "DX10", "ATI2"}) {
        BgraImage image;
        const Bytes file = MakeBlockDds(code, 4, 4, block);
        EXPECT_FALSE(DecodeDds(file.data(), file.size(), image)) << code;
    }
}

// Every cut, down to nothing, must be refused without reading past the end
// (the sanitizer build checks the reads).
TEST(DecodeDds, RejectsEveryTruncation) {
    const Bytes files[] = {
        MakeBlockDds("DXT5", 8, 4, Bytes(32, 0x33)),
        MakeBlockDds("DXT1", 5, 5, Bytes(32, 0x33)),
        MakeDds(3, 3, {kRgb, 0, 24, {0xFF0000, 0xFF00, 0xFF, 0}}, Bytes(27, 0x33)),
    };
    for (const Bytes& file : files) {
        BgraImage image;
        ASSERT_TRUE(DecodeDds(file.data(), file.size(), image));
        for (size_t size = 0; size < file.size(); ++size)
            EXPECT_FALSE(DecodeDds(file.data(), size, image)) << size << " of " << file.size() << " bytes";
    }
}

// The first bytes decide, so a DDS file with a .png name still loads.
TEST(ReadImageFile, TellsDdsFromPngByContent) {
    const std::string misnamed = WriteTempFile("backdrop-dds.png", MakeDds(1, 1, kArgb8, {1, 2, 3, 4}));
    BgraImage image;
    ASSERT_TRUE(ReadImageFile(misnamed, image));
    EXPECT_EQ(image.bgra, (Bytes{1, 2, 3, 4}));
    // A PNG signature and IHDR chunk, cut off before any pixel data.
    const Bytes pngStart = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    EXPECT_FALSE(ReadImageFile(WriteTempFile("cut.dds", pngStart), image));
    EXPECT_FALSE(ReadImageFile(WriteTempFile("empty.png", {}), image));
    EXPECT_FALSE(ReadImageFile(::testing::TempDir() + "absent.dds", image));
    EXPECT_FALSE(ReadImageFile(::testing::TempDir(), image)) << "a folder";
    EXPECT_TRUE(image.bgra.empty());
}
