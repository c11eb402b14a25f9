// Choosing frames and reading the picture options.
#include <vector>

#include <gtest/gtest.h>

#include "optionparsing.h"
#include "options.h"

namespace {

bool Parse(std::vector<std::string> arguments, HostOptions& options, std::string& error) {
    arguments.insert(arguments.begin(), {"pyrelune-run", "doc.xml"});
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    return ParseOptions(static_cast<int>(argv.size()), argv.data(), options, error);
}

std::vector<unsigned int> Captured(const HostOptions& options) {
    std::vector<unsigned int> frames;
    for (unsigned int frame = 1; frame <= FrameCount(options); ++frame)
        if (IsCapturedFrame(options, frame)) frames.push_back(frame);
    return frames;
}

}  // namespace

TEST(IsCapturedFrame, SpreadsTheRequestedCountAndEndsOnTheLastFrame) {
    HostOptions options;
    options.seconds = 1.0f;
    options.fps = 10;
    options.captureCount = 4;
    EXPECT_EQ(Captured(options), (std::vector<unsigned int>{3, 5, 8, 10}));
    options.captureCount = 1;
    EXPECT_EQ(Captured(options), (std::vector<unsigned int>{10}));
}

TEST(IsCapturedFrame, CapturesEveryFrameWhenMoreAreAskedThanRun) {
    HostOptions options;
    options.seconds = 0.3f;
    options.fps = 10;
    options.captureCount = 50;
    EXPECT_EQ(Captured(options), (std::vector<unsigned int>{1, 2, 3}));
}

TEST(IsCapturedFrame, TakesEveryKthFrame) {
    HostOptions options;
    options.seconds = 1.0f;
    options.fps = 10;
    options.captureEvery = 4;
    EXPECT_EQ(Captured(options), (std::vector<unsigned int>{4, 8}));
}

TEST(ParseOptions, ReadsThePictureOptions) {
    HostOptions options;
    std::string error;
    ASSERT_TRUE(Parse({"--out", "pics", "--sheet=s.png", "--gif", "a.gif", "--frames", "6", "--background",
                       "255,0,7", "--fov", "60", "--background-image", "backdrop.dds"},
                      options, error))
        << error;
    EXPECT_EQ(options.outDirectory, "pics");
    EXPECT_EQ(options.sheetPath, "s.png");
    EXPECT_EQ(options.gifPath, "a.gif");
    EXPECT_EQ(options.captureCount, 6u);
    EXPECT_EQ(options.background, D3DCOLOR_XRGB(255, 0, 7));
    EXPECT_EQ(options.fovDegrees, 60.0f);
    EXPECT_EQ(options.backgroundImagePath, "backdrop.dds");
    EXPECT_TRUE(WritesPictures(options));
}

TEST(ParseOptions, RejectsBadPictureOptions) {
    const std::vector<std::vector<std::string>> bad = {
        {"--background", "256,0,0"}, {"--background", "1,2"}, {"--background", "1,2,3,4"},
        {"--fov", "180"},           {"--fov", "0"},          {"--frames", "0"},
        {"--every", "0"},           {"--out", ""},           {"--frames", "3", "--every", "2"},
        {"--background-image", ""}};
    for (const std::vector<std::string>& arguments : bad) {
        HostOptions options;
        std::string error;
        EXPECT_FALSE(Parse(arguments, options, error)) << arguments[0] << " " << arguments[1];
        EXPECT_FALSE(error.empty());
    }
}

TEST(ParseOptions, WritesNoPicturesUnlessAsked) {
    HostOptions options;
    std::string error;
    ASSERT_TRUE(Parse({"--frames", "3"}, options, error));
    EXPECT_FALSE(WritesPictures(options));
}

TEST(SplitThree, NeedsExactlyThreeParts) {
    std::string parts[3];
    ASSERT_TRUE(SplitThree("1,,3", parts));
    EXPECT_EQ(parts[1], "");
    EXPECT_EQ(parts[2], "3");
    EXPECT_FALSE(SplitThree("1,2", parts));
    EXPECT_FALSE(SplitThree("1,2,3,", parts));
}
