#include "options.h"

#include <cstring>
#include <limits>

#include "optionparsing.h"

namespace {

constexpr unsigned int kMaxSide = 4096;

const OptionRow<WaterOptions> kOptionRows[] = {
    {"--width", "a whole number of pixels from 1 to 4096",
     [](const std::string& t, WaterOptions& o) { return ParseUnsigned(t, 1, kMaxSide, o.width); }},
    {"--height", "a whole number of pixels from 1 to 4096",
     [](const std::string& t, WaterOptions& o) { return ParseUnsigned(t, 1, kMaxSide, o.height); }},
    {"--updates", "a whole number from 1 to 100000",
     [](const std::string& t, WaterOptions& o) { return ParseUnsigned(t, 1, 100000, o.updates); }},
    {"--step", "a whole number of milliseconds from 0 to 10000",
     [](const std::string& t, WaterOptions& o) { return ParseUnsigned(t, 0, 10000, o.stepMilliseconds); }},
    {"--seed", "a whole number from 0 to 4294967295",
     [](const std::string& t, WaterOptions& o) {
         return ParseUnsigned(t, 0, std::numeric_limits<unsigned int>::max(), o.seed);
     }},
    {"--out", "a folder name", [](const std::string& t, WaterOptions& o) { return ParsePath(t, o.outDirectory); }},
    {"--gif", "a file name", [](const std::string& t, WaterOptions& o) { return ParsePath(t, o.gifPath); }},
    {"--height-picture", "'stretched' or 'raw'", [](const std::string& t, WaterOptions& o) {
         o.stretchHeights = t == "stretched";
         return o.stretchHeights || t == "raw";
     }},
};

}  // namespace

bool ParseWaterOptions(int argc, char** argv, WaterOptions& options, std::string& error) {
    for (int index = 1; index < argc; ++index) {
        if (std::strcmp(argv[index], "--help") == 0 || std::strcmp(argv[index], "-h") == 0) {
            options.showHelp = true;
            return true;
        }
        if (std::strncmp(argv[index], "--", 2) != 0) {
            error = "unexpected argument '" + std::string(argv[index]) + "'";
            return false;
        }
        if (!ApplyOption(kOptionRows, argc, argv, index, options, error)) return false;
    }
    return true;
}

const char* WaterUsageText() {
    return "usage: undrelle-run [options]\n"
           "  --width W --height H size of the maps (default 256 x 256)\n"
           "  --updates N          updates to run (default 30)\n"
           "  --step MS            simulated milliseconds per update (default 33)\n"
           "  --seed N             random seed (default 1)\n"
           "  --out DIR            folder for heightmap.png and normalmap.png (default undrelle-out)\n"
           "  --gif FILE.gif       an animation of the normal map, one frame per update\n"
           "  --height-picture stretched|raw\n"
           "                       heightmap.png from the lowest height (black) to the highest\n"
           "                       (white), both printed, or the map's values as they are\n"
           "                       (default stretched; the heights span a few percent of grey)\n"
           "exit codes: 0 ok, 2 bad options, 3 the device or the maps could not be created,\n"
           "            4 pictures could not be written\n";
}
