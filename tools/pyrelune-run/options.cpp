#include "options.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "optionparsing.h"

namespace {

// Bounds that keep a run finite and the software device's buffers reasonable.
constexpr float kMaxSeconds = 3600.0f;
constexpr unsigned int kMaxFps = 1000;
constexpr unsigned int kMaxPixels = 4096;  // per side of the back buffer

// "x,y,z"
bool ParseVector(const std::string& text, D3DXVECTOR3& value) {
    std::string parts[3];
    return SplitThree(text, parts) && ParseFiniteFloat(parts[0], value.x) && ParseFiniteFloat(parts[1], value.y) &&
           ParseFiniteFloat(parts[2], value.z);
}

// "r,g,b" with whole numbers from 0 to 255.
bool ParseColour(const std::string& text, D3DCOLOR& value) {
    std::string parts[3];
    unsigned int r = 0, g = 0, b = 0;
    if (!SplitThree(text, parts) || !ParseUnsigned(parts[0], 0, 255, r) || !ParseUnsigned(parts[1], 0, 255, g) ||
        !ParseUnsigned(parts[2], 0, 255, b))
        return false;
    value = D3DCOLOR_XRGB(r, g, b);
    return true;
}

const OptionRow<HostOptions> kOptionRows[] = {
    {"--seconds", "a number of seconds above 0 and at most 3600",
     [](const std::string& t, HostOptions& o) {
         return ParseFiniteFloat(t, o.seconds) && o.seconds > 0.0f && o.seconds <= kMaxSeconds;
     }},
    {"--fps", "a whole number from 1 to 1000",
     [](const std::string& t, HostOptions& o) { return ParseUnsigned(t, 1, kMaxFps, o.fps); }},
    {"--width", "a whole number of pixels from 1 to 4096",
     [](const std::string& t, HostOptions& o) { return ParseUnsigned(t, 1, kMaxPixels, o.width); }},
    {"--height", "a whole number of pixels from 1 to 4096",
     [](const std::string& t, HostOptions& o) { return ParseUnsigned(t, 1, kMaxPixels, o.height); }},
    {"--seed", "a whole number from 0 to 4294967295",
     [](const std::string& t, HostOptions& o) {
         return ParseUnsigned(t, 0, std::numeric_limits<unsigned int>::max(), o.seed);
     }},
    {"--camera-pos", "three numbers x,y,z",
     [](const std::string& t, HostOptions& o) { return ParseVector(t, o.cameraPosition); }},
    {"--camera-target", "three numbers x,y,z",
     [](const std::string& t, HostOptions& o) { return ParseVector(t, o.cameraTarget); }},
    {"--fov", "a vertical field of view in degrees, above 0 and below 180",
     [](const std::string& t, HostOptions& o) {
         return ParseFiniteFloat(t, o.fovDegrees) && o.fovDegrees > 0.0f && o.fovDegrees < 180.0f;
     }},
    {"--background", "three whole numbers r,g,b from 0 to 255",
     [](const std::string& t, HostOptions& o) { return ParseColour(t, o.background); }},
    {"--background-image", "a PNG or DDS file name",
     [](const std::string& t, HostOptions& o) { return ParsePath(t, o.backgroundImagePath); }},
    {"--save", "a file name", [](const std::string& t, HostOptions& o) { return ParsePath(t, o.savePath); }},
    {"--out", "a folder name", [](const std::string& t, HostOptions& o) { return ParsePath(t, o.outDirectory); }},
    {"--sheet", "a file name", [](const std::string& t, HostOptions& o) { return ParsePath(t, o.sheetPath); }},
    {"--gif", "a file name", [](const std::string& t, HostOptions& o) { return ParsePath(t, o.gifPath); }},
    {"--frames", "a whole number of frames from 1 to 100000",
     [](const std::string& t, HostOptions& o) { return ParseUnsigned(t, 1, 100000, o.captureCount); }},
    {"--every", "a whole number of frames from 1 to 100000",
     [](const std::string& t, HostOptions& o) { return ParseUnsigned(t, 1, 100000, o.captureEvery); }},
};

bool AcceptDocument(const char* argument, HostOptions& options, std::string& error) {
    if (options.documentPath.empty()) {
        options.documentPath = argument;
        return true;
    }
    error = "only one definition document can be run, got a second: '" + std::string(argument) + "'";
    return false;
}

bool CheckCamera(const HostOptions& options, std::string& error) {
    D3DXVECTOR3 view = options.cameraTarget - options.cameraPosition;
    if (D3DXVec3Length(&view) > 1e-6f) return true;
    error = "the camera position and target must differ";
    return false;
}

bool CheckCapture(const HostOptions& options, std::string& error) {
    if (options.captureCount == 0 || options.captureEvery == 1) return true;
    error = "--frames and --every cannot be combined";
    return false;
}

}  // namespace

bool ParseOptions(int argc, char** argv, HostOptions& options, std::string& error) {
    for (int index = 1; index < argc; ++index) {
        const char* argument = argv[index];
        if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0) {
            options.showHelp = true;
            return true;
        }
        bool ok = std::strncmp(argument, "--", 2) == 0 ? ApplyOption(kOptionRows, argc, argv, index, options, error)
                                                        : AcceptDocument(argument, options, error);
        if (!ok) return false;
    }
    if (options.documentPath.empty()) {
        error = "no definition document given";
        return false;
    }
    return CheckCamera(options, error) && CheckCapture(options, error);
}

const char* UsageText() {
    return "usage: pyrelune-run DOCUMENT.xml [options]\n"
           "  --seconds S          simulated time (default 3)\n"
           "  --fps N              frames per simulated second (default 30)\n"
           "  --width W --height H back-buffer size (default 640 x 480)\n"
           "  --seed N             random seed (default 1)\n"
           "  --camera-pos x,y,z   camera position (default 0,3,-12)\n"
           "  --camera-target x,y,z point the camera looks at (default 0,2,0)\n"
           "  --fov DEGREES        vertical field of view (default 45)\n"
           "  --background r,g,b   colour behind the particles (default 16,16,24)\n"
           "  --background-image FILE\n"
           "                       a PNG or DDS picture stretched over the back buffer\n"
           "                       before the particles, so heat haze has a scene to bend\n"
           "  --save FILE          write the loaded pieces and systems to FILE\n"
           "pictures (nothing is drawn to disk unless one is given):\n"
           "  --out DIR            write captured frames as DIR/frame_NNNN.png\n"
           "  --sheet FILE.png     a contact sheet of the captured frames\n"
           "  --gif FILE.gif       an animated GIF of the captured frames\n"
           "  --frames N           capture N frames spread over the run, ending on the last\n"
           "  --every K            capture every K-th frame (default 1)\n"
           "exit codes: 0 ok, 1 the document or the background image failed to load,\n"
           "            2 bad options, 3 the device could not be created,\n"
           "            4 pictures could not be written\n";
}

unsigned int FrameCount(const HostOptions& options) {
    double frames = std::round(static_cast<double>(options.seconds) * options.fps);
    return frames < 1.0 ? 1u : static_cast<unsigned int>(frames);
}

bool WritesPictures(const HostOptions& options) {
    return !options.outDirectory.empty() || !options.sheetPath.empty() || !options.gifPath.empty();
}

// Frame f is captured when floor(f * N / total) steps up: exactly N frames
// (or every frame if N exceeds the total), the last always among them.
bool IsCapturedFrame(const HostOptions& options, unsigned int frame) {
    if (options.captureCount == 0) return frame % options.captureEvery == 0;
    const unsigned long long total = FrameCount(options);
    return frame * static_cast<unsigned long long>(options.captureCount) / total >
           (frame - 1) * static_cast<unsigned long long>(options.captureCount) / total;
}
