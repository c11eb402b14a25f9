// Command-line options of undrelle-run.
#pragma once

#include <string>

struct WaterOptions {
    unsigned int width = 256;  // of the maps
    unsigned int height = 256;
    unsigned int updates = 30;
    unsigned int stepMilliseconds = 33;  // simulated time per update
    unsigned int seed = 1;
    std::string outDirectory = "undrelle-out";
    std::string gifPath;  // empty: no animation of the normal map
    bool stretchHeights = true;  // heightmap.png spans black to white; false: the map's own values
    bool showHelp = false;
};

// False, with the reason in error, when the arguments cannot be used.
bool ParseWaterOptions(int argc, char** argv, WaterOptions& options, std::string& error);

const char* WaterUsageText();
