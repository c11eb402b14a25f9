// undrelle-run's own code: its options and the stretched height-map picture.
#include <cmath>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "heightpicture.h"
#include "options.h"
#include "softwaredevice.h"

namespace {

bool Parse(std::vector<std::string> arguments, WaterOptions& options) {
    arguments.insert(arguments.begin(), "undrelle-run");
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    std::string error;
    return ParseWaterOptions(static_cast<int>(argv.size()), argv.data(), options, error);
}

std::vector<std::uint8_t> Greys(const RgbImage& picture) {
    std::vector<std::uint8_t> greys;
    for (size_t i = 0; i < picture.rgb.size(); i += 3) {
        EXPECT_EQ(picture.rgb[i], picture.rgb[i + 1]);
        EXPECT_EQ(picture.rgb[i], picture.rgb[i + 2]);
        greys.push_back(picture.rgb[i]);
    }
    return greys;
}

// Reads back a 2x1 render-target map whose texel (1, 0) holds the given bytes.
float RedOfSecondTexel(D3DFORMAT format, const void* texel, size_t bytes) {
    SoftwareDevice device(4, 4);
    IDirect3DTexture9* pMap = nullptr;
    device.Get()->CreateTexture(2, 1, 1, D3DUSAGE_RENDERTARGET, format, D3DPOOL_DEFAULT, &pMap, nullptr);
    if (!pMap) {
        ADD_FAILURE() << "no render-target texture in format " << format;
        return NAN;
    }
    D3DLOCKED_RECT locked;
    pMap->LockRect(0, &locked, nullptr, 0);
    std::memcpy(static_cast<BYTE*>(locked.pBits) + bytes, texel, bytes);
    pMap->UnlockRect(0);
    HeightField field;
    const bool read = ReadHeights(pMap, field);
    pMap->Release();
    return read && field.heights.size() == 2 ? field.heights[1] : NAN;
}

}  // namespace

TEST(ParseWaterOptions, StretchesTheHeightPictureUnlessRawIsAsked) {
    WaterOptions options;
    ASSERT_TRUE(Parse({}, options));
    EXPECT_TRUE(options.stretchHeights);
    ASSERT_TRUE(Parse({"--height-picture", "raw"}, options));
    EXPECT_FALSE(options.stretchHeights);
    ASSERT_TRUE(Parse({"--height-picture=stretched"}, options));
    EXPECT_TRUE(options.stretchHeights);
    for (const char* bad : {"", "Raw", "stretch"}) EXPECT_FALSE(Parse({"--height-picture", bad}, options)) << bad;
}

TEST(StretchHeights, SpansBlackToWhiteAndReportsTheRange) {
    const HeightField field{4, 1, {0.45f, 0.4f, 0.6f, 0.55f}};
    const StretchedHeights stretched = StretchHeights(field);
    EXPECT_EQ(stretched.lowest, 0.4f);
    EXPECT_EQ(stretched.highest, 0.6f);
    ASSERT_EQ(stretched.picture.width, 4u);
    EXPECT_EQ(Greys(stretched.picture), (std::vector<std::uint8_t>{64, 0, 255, 191}));
}

TEST(StretchHeights, ShowsAFlatFieldAsMidGreyAndLeavesNonFiniteHeightsOutOfTheRange) {
    EXPECT_EQ(Greys(StretchHeights({2, 1, {0.3f, 0.3f}}).picture), (std::vector<std::uint8_t>{128, 128}));
    const StretchedHeights stretched = StretchHeights({3, 1, {NAN, 0.2f, 0.6f}});
    EXPECT_EQ(stretched.lowest, 0.2f);
    EXPECT_EQ(stretched.highest, 0.6f);
    EXPECT_EQ(Greys(stretched.picture), (std::vector<std::uint8_t>{0, 0, 255}));
}

// Full precision matters: the heights differ by less than one 8-bit step.
TEST(ReadHeights, ReadsTheRedChannelOfEveryMapFormatAtItsOwnPrecision) {
    const std::uint16_t unorm16[4] = {32900, 0, 0, 65535};
    const std::uint16_t half[4] = {0x3801, 0, 0, 0x3C00};  // just above 0.5
    const float wide[4] = {0.50123f, 0.0f, 0.0f, 1.0f};
    const std::uint8_t bgra[4] = {0, 0, 200, 255};
    EXPECT_FLOAT_EQ(RedOfSecondTexel(D3DFMT_A16B16G16R16, unorm16, 8), 32900 / 65535.0f);
    EXPECT_FLOAT_EQ(RedOfSecondTexel(D3DFMT_A16B16G16R16F, half, 8), 0.5f + std::ldexp(1.0f, -11));
    EXPECT_FLOAT_EQ(RedOfSecondTexel(D3DFMT_A32B32G32R32F, wide, 16), 0.50123f);
    EXPECT_FLOAT_EQ(RedOfSecondTexel(D3DFMT_A8R8G8B8, bgra, 4), 200 / 255.0f);
}

TEST(ReadHeights, RefusesOtherFormats) {
    const float texel = 0.5f;
    EXPECT_TRUE(std::isnan(RedOfSecondTexel(D3DFMT_R32F, &texel, 4)));
    HeightField field;
    EXPECT_FALSE(ReadHeights(nullptr, field));
}
