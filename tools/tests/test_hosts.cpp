// The hosts end to end: what they write is a real picture of the run, not
// an empty background.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include <gtest/gtest.h>
#include <png.h>

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
