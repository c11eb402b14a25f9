// Reading pictures back from the device and writing them out.
#include <cmath>
#include <cstring>
#include <vector>

#include <gif_lib.h>
#include <gtest/gtest.h>
#include <png.h>

#include "contactsheet.h"
#include "gifwriter.h"
#include "pngwriter.h"
#include "softwaredevice.h"
#include "surfacereadback.h"

namespace {

std::string TempPath(const char* name) { return ::testing::TempDir() + name; }

RgbImage Gradient(unsigned int width, unsigned int height) {
    RgbImage image(width, height);
    for (unsigned int y = 0; y < height; ++y)
        for (unsigned int x = 0; x < width; ++x) {
            image.Pixel(x, y)[0] = static_cast<std::uint8_t>(x * 40);
            image.Pixel(x, y)[1] = static_cast<std::uint8_t>(y * 70);
            image.Pixel(x, y)[2] = static_cast<std::uint8_t>(200 - x - y);
        }
    return image;
}

// Writes one texel at (1, 0) of a 2x1 render-target texture and reads it back.
std::vector<std::uint8_t> RoundTripTexel(D3DFORMAT format, const void* texel, size_t bytes) {
    SoftwareDevice device(4, 4);
    IDirect3DTexture9* pTexture = nullptr;
    EXPECT_TRUE(SUCCEEDED(device.Get()->CreateTexture(2, 1, 1, D3DUSAGE_RENDERTARGET, format, D3DPOOL_DEFAULT,
                                                      &pTexture, nullptr)));
    if (!pTexture) return {};
    D3DLOCKED_RECT locked;
    pTexture->LockRect(0, &locked, nullptr, 0);
    std::memcpy(static_cast<BYTE*>(locked.pBits) + bytes, texel, bytes);
    pTexture->UnlockRect(0);
    RgbImage image;
    bool read = ReadTextureLevel0(pTexture, image);
    pTexture->Release();
    if (!read) return {};
    return {image.Pixel(1, 0), image.Pixel(1, 0) + 3};
}

}  // namespace

TEST(HalfToFloat, DecodesNormalSubnormalAndInfinite) {
    EXPECT_EQ(HalfToFloat(0x3C00), 1.0f);
    EXPECT_EQ(HalfToFloat(0x3800), 0.5f);
    EXPECT_EQ(HalfToFloat(0xC000), -2.0f);
    EXPECT_EQ(HalfToFloat(0x0001), std::ldexp(1.0f, -24));
    EXPECT_TRUE(std::isinf(HalfToFloat(0x7C00)));
}

TEST(ReadSurface, SwapsArgbBytesIntoRgb) {
    const std::uint8_t bgra[4] = {10, 20, 30, 255};
    EXPECT_EQ(RoundTripTexel(D3DFMT_A8R8G8B8, bgra, 4), (std::vector<std::uint8_t>{30, 20, 10}));
}

TEST(ReadSurface, ScalesSixteenBitChannelsInRgbaOrder) {
    const std::uint16_t rgba[4] = {65535, 32768, 0, 65535};
    EXPECT_EQ(RoundTripTexel(D3DFMT_A16B16G16R16, rgba, 8), (std::vector<std::uint8_t>{255, 128, 0}));
}

TEST(ReadSurface, ClampsHalfFloatChannels) {
    const std::uint16_t rgba[4] = {0x3800, 0xBC00, 0x4000, 0x3C00};  // 0.5, -1, 2, 1
    EXPECT_EQ(RoundTripTexel(D3DFMT_A16B16G16R16F, rgba, 8), (std::vector<std::uint8_t>{128, 0, 255}));
}

TEST(ReadSurface, ClampsFloatChannels) {
    const float rgba[4] = {0.25f, 1.5f, -0.5f, 1.0f};
    EXPECT_EQ(RoundTripTexel(D3DFMT_A32B32G32R32F, rgba, 16), (std::vector<std::uint8_t>{64, 255, 0}));
}

TEST(ReadSurface, RefusesFormatsItCannotShow) {
    SoftwareDevice device(4, 4);
    IDirect3DTexture9* pTexture = nullptr;
    ASSERT_TRUE(SUCCEEDED(device.Get()->CreateTexture(2, 2, 1, 0, D3DFMT_L8, D3DPOOL_MANAGED, &pTexture, nullptr)));
    RgbImage image;
    EXPECT_FALSE(ReadTextureLevel0(pTexture, image));
    pTexture->Release();
}

TEST(ReadBackBuffer, SeesTheClearColour) {
    SoftwareDevice device(8, 6);
    device.Get()->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(1, 2, 3), 1.0f, 0);
    RgbImage image;
    ASSERT_TRUE(ReadBackBuffer(device.Get(), image));
    EXPECT_EQ(image.width, 8u);
    EXPECT_EQ(image.height, 6u);
    EXPECT_EQ(std::vector<std::uint8_t>(image.Pixel(7, 5), image.Pixel(7, 5) + 3),
              (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST(WritePng, RoundTripsEveryByte) {
    const RgbImage image = Gradient(5, 3);
    const std::string path = TempPath("roundtrip.png");
    ASSERT_TRUE(WritePng(path, image));
    png_image read;
    std::memset(&read, 0, sizeof read);
    read.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&read, path.c_str()));
    read.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(read));
    ASSERT_TRUE(png_image_finish_read(&read, nullptr, pixels.data(), 0, nullptr));
    EXPECT_EQ(read.width, 5u);
    EXPECT_EQ(read.height, 3u);
    EXPECT_EQ(pixels, image.rgb);
}

TEST(WritePng, FailsForAnEmptyImageOrAMissingFolder) {
    EXPECT_FALSE(WritePng(TempPath("empty.png"), RgbImage()));
    EXPECT_FALSE(WritePng(TempPath("no/such/folder/x.png"), Gradient(2, 2)));
}

TEST(Downscale, AveragesBlocksIncludingPartialEdges) {
    RgbImage image(3, 1);
    image.Pixel(0, 0)[0] = 10;
    image.Pixel(1, 0)[0] = 20;
    image.Pixel(2, 0)[0] = 99;
    RgbImage small = Downscale(image, 2);
    ASSERT_EQ(small.width, 2u);
    ASSERT_EQ(small.height, 1u);
    EXPECT_EQ(small.Pixel(0, 0)[0], 15);
    EXPECT_EQ(small.Pixel(1, 0)[0], 99);
}

TEST(ThumbnailFactor, BringsTheWidthUnderTheLimit) {
    EXPECT_EQ(ThumbnailFactor(640, 160), 4u);
    EXPECT_EQ(ThumbnailFactor(641, 160), 5u);
    EXPECT_EQ(ThumbnailFactor(100, 160), 1u);
}

TEST(MakeContactSheet, LaysFramesOutInANearSquareGrid) {
    std::vector<RgbImage> thumbnails(5, RgbImage(2, 1));
    thumbnails[4].Pixel(1, 0)[1] = 77;
    const std::uint8_t gap[3] = {9, 9, 9};
    RgbImage sheet = MakeContactSheet(thumbnails, gap);
    // Three columns, two rows of 2x1 cells with 2-pixel gaps around each.
    EXPECT_EQ(sheet.width, 3 * (2 + kSheetGap) + kSheetGap);
    EXPECT_EQ(sheet.height, 2 * (1 + kSheetGap) + kSheetGap);
    EXPECT_EQ(sheet.Pixel(0, 0)[0], 9);
    // The fifth frame is second in the second row.
    EXPECT_EQ(sheet.Pixel(kSheetGap + (2 + kSheetGap) + 1, kSheetGap + (1 + kSheetGap))[1], 77);
    EXPECT_EQ(sheet.Pixel(kSheetGap, kSheetGap)[0], 0);
}

TEST(GifWriter, WritesLoopingFramesWithTheirColours) {
    const std::string path = TempPath("frames.gif");
    RgbImage red(4, 2), green(4, 2);
    for (size_t i = 0; i < red.rgb.size(); i += 3) {
        red.rgb[i] = 255;
        green.rgb[i + 1] = 255;
    }
    GifWriter writer;
    ASSERT_TRUE(writer.Open(path, 4, 2));
    EXPECT_TRUE(writer.AddFrame(red, 10));
    EXPECT_TRUE(writer.AddFrame(green, 10));
    EXPECT_FALSE(writer.AddFrame(RgbImage(3, 2), 10)) << "a frame of another size";
    EXPECT_FALSE(writer.Close()) << "the failed frame is reported";

    ASSERT_TRUE(writer.Open(path, 4, 2));
    ASSERT_TRUE(writer.AddFrame(red, 10));
    ASSERT_TRUE(writer.AddFrame(green, 10));
    ASSERT_TRUE(writer.Close());
    int error = 0;
    GifFileType* pGif = DGifOpenFileName(path.c_str(), &error);
    ASSERT_NE(pGif, nullptr);
    ASSERT_EQ(DGifSlurp(pGif), GIF_OK);
    ASSERT_EQ(pGif->ImageCount, 2);
    const SavedImage& second = pGif->SavedImages[1];
    const GifColorType colour = second.ImageDesc.ColorMap->Colors[second.RasterBits[0]];
    EXPECT_LT(colour.Red, 16);
    EXPECT_GT(colour.Green, 240);
    DGifCloseFile(pGif, &error);
}
