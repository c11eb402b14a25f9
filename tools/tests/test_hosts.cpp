// The hosts end to end: what they write is a real picture of the run, not
// an empty background.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <png.h>

#include "pngwriter.h"

namespace {

struct Picture {
    unsigned int width = 0;
    unsigned int height = 0;
    std::vector<png_byte> rgb;
};

Picture ReadPng(const std::string& path) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    Picture picture;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return picture;
    image.format = PNG_FORMAT_RGB;
    picture.rgb.resize(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr)) {
        picture.width = image.width;
        picture.height = image.height;
    }
    return picture;
}

std::string Folder(const char* name) {
    std::string folder = ::testing::TempDir() + name;
    std::filesystem::remove_all(folder);
    return folder;
}

int RunCommand(const std::string& command) { return std::system((command + " > /dev/null").c_str()); }

std::vector<png_byte> PixelAt(const Picture& picture, unsigned int x, unsigned int y) {
    const size_t at = (size_t(y) * picture.width + x) * 3;
    return {picture.rgb.begin() + at, picture.rgb.begin() + at + 3};
}

// How far a colour lies from the straight line between two others, in
// 8-bit steps: bilinear mixes of the two stay within rounding of it.
float OffLine(const std::vector<png_byte>& colour, const std::vector<png_byte>& a, const std::vector<png_byte>& b) {
    const float t = float(colour[0] - a[0]) / float(b[0] - a[0]);
    float worst = 0.0f;
    for (int c = 0; c < 3; ++c) worst = std::max(worst, std::fabs(a[c] + t * (b[c] - a[c]) - colour[c]));
    return worst;
}

std::pair<png_byte, png_byte> RedRange(const Picture& picture) {
    png_byte lowest = 255, highest = 0;
    for (size_t i = 0; i < picture.rgb.size(); i += 3) {
        lowest = std::min(lowest, picture.rgb[i]);
        highest = std::max(highest, picture.rgb[i]);
    }
    return {lowest, highest};
}

}  // namespace

// Fire is additive orange on blue: lit by mistake it would come out black,
// and with the distortion or depth broken it would not show at all.
TEST(PyreluneRun, FireFramesShowWarmParticlesOverTheBackground) {
    const std::string folder = Folder("fire-frames");
    ASSERT_EQ(RunCommand(std::string(PYRELUNE_RUN) + " " + PYRELUNE_SOURCE_DIR + "/examples/fire.xml --seconds 1 "
                         "--fps 10 --width 160 --height 120 --background 0,0,64 --frames 2 --out " + folder +
                         " --sheet " + folder + "/sheet.png"),
              0);
    Picture frame = ReadPng(folder + "/frame_0010.png");
    ASSERT_EQ(frame.width, 160u);
    unsigned int warm = 0;
    for (size_t i = 0; i < frame.rgb.size(); i += 3)
        if (frame.rgb[i] > 128 && frame.rgb[i] > frame.rgb[i + 2]) ++warm;
    EXPECT_GT(warm, 50u);
    EXPECT_EQ(ReadPng(folder + "/frame_0005.png").width, 160u);
    EXPECT_FALSE(std::filesystem::exists(folder + "/frame_0004.png"));
    EXPECT_EQ(ReadPng(folder + "/sheet.png").width, 2u * (160 + 2) + 2);
}

// A 2x2 picture stretched over the frame: each corner shows its quadrant,
// where the fire never reaches.
TEST(PyreluneRun, StretchesTheBackgroundImageOverTheFrame) {
    const std::string folder = Folder("backdrop-frames");
    RgbImage quadrants(2, 2);
    const std::uint8_t colours[4][3] = {{200, 0, 0}, {0, 200, 0}, {0, 0, 200}, {200, 200, 200}};
    for (unsigned int i = 0; i < 4; ++i) std::copy(colours[i], colours[i] + 3, quadrants.Pixel(i % 2, i / 2));
    std::filesystem::create_directories(folder);
    ASSERT_TRUE(WritePng(folder + "/quadrants.png", quadrants));
    ASSERT_EQ(RunCommand(std::string(PYRELUNE_RUN) + " " + PYRELUNE_SOURCE_DIR + "/examples/fire.xml --seconds 0.5 "
                         "--fps 10 --width 160 --height 120 --frames 1 --background-image " + folder +
                         "/quadrants.png --out " + folder),
              0);
    const Picture frame = ReadPng(folder + "/frame_0005.png");
    ASSERT_EQ(frame.width, 160u);
    EXPECT_EQ(PixelAt(frame, 0, 0), (std::vector<png_byte>{200, 0, 0}));
    EXPECT_EQ(PixelAt(frame, 159, 0), (std::vector<png_byte>{0, 200, 0}));
    EXPECT_EQ(PixelAt(frame, 0, 119), (std::vector<png_byte>{0, 0, 200}));
    EXPECT_EQ(PixelAt(frame, 159, 119), (std::vector<png_byte>{200, 200, 200}));
}

// The bundled DXT1 backdrop at its own size behind the heat haze. Its top
// rows, above the haze, match the PNG of the same picture exactly; in the
// upper half, above the glowing plate, the haze moves the checker without
// painting over it, so pixels change but stay mixes of its two colours.
TEST(PyreluneRun, HeatHazeBendsTheDdsBackdrop) {
    const std::string folder = Folder("haze-backdrop");
    const std::string textures = std::string(PYRELUNE_SOURCE_DIR) + "/examples/textures";
    ASSERT_EQ(RunCommand(std::string(PYRELUNE_RUN) + " " + PYRELUNE_SOURCE_DIR + "/examples/heat_haze.xml "
                         "--seconds 2 --fps 10 --width 128 --height 96 --frames 1 --background-image " + textures +
                         "/backdrop.dds --out " + folder),
              0);
    const Picture frame = ReadPng(folder + "/frame_0020.png");
    const Picture backdrop = ReadPng(textures + "/backdrop.png");
    ASSERT_EQ(frame.width, backdrop.width);
    ASSERT_EQ(frame.height, backdrop.height);
    const size_t rowBytes = frame.width * 3u;
    EXPECT_TRUE(std::equal(frame.rgb.begin(), frame.rgb.begin() + 10 * rowBytes, backdrop.rgb.begin()));
    const std::vector<png_byte> light = PixelAt(backdrop, 0, 0), dark = PixelAt(backdrop, 8, 0);
    unsigned int moved = 0;
    float worst = 0.0f;
    for (unsigned int y = 0; y < frame.height / 2; ++y)
        for (unsigned int x = 0; x < frame.width; ++x) {
            if (PixelAt(frame, x, y) != PixelAt(backdrop, x, y)) ++moved;
            worst = std::max(worst, OffLine(PixelAt(frame, x, y), light, dark));
        }
    EXPECT_GT(moved, 50u);
    EXPECT_LT(worst, 2.0f);
}

// Normals point out of the water, so every texel's blue (z) is in the upper
// half, and waves make the red and green (x, y) vary.
TEST(UndrelleRun, WritesANormalMapOfWaves) {
    const std::string folder = Folder("water-maps");
    ASSERT_EQ(RunCommand(std::string(UNDRELLE_RUN) + " --width 64 --height 64 --updates 3 --out " + folder), 0);
    Picture normals = ReadPng(folder + "/normalmap.png");
    ASSERT_EQ(normals.width, 64u);
    png_byte lowestBlue = 255, lowestRed = 255, highestRed = 0;
    for (size_t i = 0; i < normals.rgb.size(); i += 3) {
        lowestBlue = std::min(lowestBlue, normals.rgb[i + 2]);
        lowestRed = std::min(lowestRed, normals.rgb[i]);
        highestRed = std::max(highestRed, normals.rgb[i]);
    }
    EXPECT_GT(lowestBlue, 128);
    EXPECT_GT(highestRed - lowestRed, 20);
    EXPECT_EQ(ReadPng(folder + "/heightmap.png").width, 64u);
}

// The heights span a few percent around mid-grey: raw they are faint, and
// stretched they reach black and white.
TEST(UndrelleRun, StretchesTheHeightMapPictureUnlessRawIsAsked) {
    const std::string folder = Folder("water-heights");
    const std::string command = std::string(UNDRELLE_RUN) + " --width 32 --height 32 --updates 2 --out " + folder;
    ASSERT_EQ(RunCommand(command + "/stretched"), 0);
    ASSERT_EQ(RunCommand(command + "/raw --height-picture raw"), 0);
    const auto [black, white] = RedRange(ReadPng(folder + "/stretched/heightmap.png"));
    EXPECT_EQ(black, 0);
    EXPECT_EQ(white, 255);
    const auto [lowest, highest] = RedRange(ReadPng(folder + "/raw/heightmap.png"));
    EXPECT_GT(lowest, 96);
    EXPECT_LT(highest, 160);
    EXPECT_EQ(WEXITSTATUS(RunCommand(std::string(UNDRELLE_RUN) + " --height-picture grey 2>/dev/null")), 2);
}

TEST(PyreluneRun, FailsWhenThePicturesCannotBeWritten) {
    const std::string blocker = Folder("blocker");
    std::filesystem::create_directories(std::filesystem::path(blocker).parent_path());
    std::FILE* file = std::fopen(blocker.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    int status = RunCommand(std::string(PYRELUNE_RUN) + " " + PYRELUNE_SOURCE_DIR +
                            "/examples/fire.xml --seconds 0.1 --width 16 --height 16 --out " + blocker +
                            " 2>/dev/null");
    EXPECT_EQ(WEXITSTATUS(status), 4);
}
