#include "options.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// Bounds that keep a run finite and the software device's buffers reasonable.
constexpr float kMaxSeconds = 3600.0f;
constexpr unsigned int kMaxFps = 1000;
constexpr unsigned int kMaxPixels = 4096;  // per side of the back buffer

// from_chars ignores the locale, so "1.5" means the same everywhere.
template <typename T>
bool ParseWhole(const std::string& text, T& value) {
    const char* end = text.data() + text.size();
    std::from_chars_result result = std::from_chars(text.data(), end, value);
    return !text.empty() && result.ec == std::errc() && result.ptr == end;
}

bool ParseUnsigned(const std::string& text, unsigned int low, unsigned int high, unsigned int& value) {
    unsigned long long parsed = 0;
    if (!ParseWhole(text, parsed) || parsed < low || parsed > high) return false;
    value = static_cast<unsigned int>(parsed);
    return true;
}

bool ParseFiniteFloat(const std::string& text, float& value) {
    return ParseWhole(text, value) && std::isfinite(value);
}

// "x,y,z"
bool ParseVector(const std::string& text, D3DXVECTOR3& value) {
    size_t first = text.find(',');
    size_t second = first == std::string::npos ? first : text.find(',', first + 1);
    if (second == std::string::npos) return false;
    return ParseFiniteFloat(text.substr(0, first), value.x) &&
           ParseFiniteFloat(text.substr(first + 1, second - first - 1), value.y) &&
           ParseFiniteFloat(text.substr(second + 1), value.z);
}

struct OptionRow {
    const char* name;
    const char* expects;
    bool (*apply)(const std::string& text, HostOptions& options);
};

const OptionRow kOptionRows[] = {
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
    {"--save", "a file name",
     [](const std::string& t, HostOptions& o) {
         o.savePath = t;
         return !t.empty();
     }},
};

const OptionRow* FindRow(const std::string& name) {
    for (const OptionRow& row : kOptionRows)
        if (name == row.name) return &row;
    return nullptr;
}

// Applies one "--name value" or "--name=value"; index moves past what was used.
bool ApplyOption(int argc, char** argv, int& index, HostOptions& options, std::string& error) {
    std::string name = argv[index];
    std::string value;
    bool inlineValue = false;
    if (size_t equals = name.find('='); equals != std::string::npos) {
        value = name.substr(equals + 1);
        name.erase(equals);
        inlineValue = true;
    }
    const OptionRow* row = FindRow(name);
    if (!row) {
        error = "unknown option '" + name + "'";
        return false;
    }
    if (!inlineValue) {
        if (index + 1 >= argc) {
            error = "option " + name + " needs " + row->expects;
            return false;
        }
        value = argv[++index];
    }
    if (row->apply(value, options)) return true;
    error = "bad value '" + value + "' for " + name + ": expected " + row->expects;
    return false;
}

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

}  // namespace

bool ParseOptions(int argc, char** argv, HostOptions& options, std::string& error) {
    for (int index = 1; index < argc; ++index) {
        const char* argument = argv[index];
        if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0) {
            options.showHelp = true;
            return true;
        }
        bool ok = std::strncmp(argument, "--", 2) == 0 ? ApplyOption(argc, argv, index, options, error)
                                                        : AcceptDocument(argument, options, error);
        if (!ok) return false;
    }
    if (options.documentPath.empty()) {
        error = "no definition document given";
        return false;
    }
    return CheckCamera(options, error);
}

const char* UsageText() {
    return "usage: pyrelune-run DOCUMENT.xml [options]\n"
           "  --seconds S          simulated time (default 3)\n"
           "  --fps N              frames per simulated second (default 30)\n"
           "  --width W --height H back-buffer size (default 640 x 480)\n"
           "  --seed N             random seed (default 1)\n"
           "  --camera-pos x,y,z   camera position (default 0,3,-12)\n"
           "  --camera-target x,y,z point the camera looks at (default 0,2,0)\n"
           "  --save FILE          write the loaded pieces and systems to FILE\n"
           "exit codes: 0 ok, 1 the document failed to load, 2 bad options,\n"
           "            3 the device could not be created\n";
}

unsigned int FrameCount(const HostOptions& options) {
    double frames = std::round(static_cast<double>(options.seconds) * options.fps);
    return frames < 1.0 ? 1u : static_cast<unsigned int>(frames);
}
