// Command-line options of pyrelune-run.
#pragma once

#include <string>

#include <d3dx9.h>

struct HostOptions {
    std::string documentPath;
    std::string savePath;  // empty: nothing is saved
    float seconds = 3.0f;
    unsigned int fps = 30;
    unsigned int width = 640;
    unsigned int height = 480;
    unsigned int seed = 1;
    D3DXVECTOR3 cameraPosition{0.0f, 3.0f, -12.0f};
    D3DXVECTOR3 cameraTarget{0.0f, 2.0f, 0.0f};
    float fovDegrees = 45.0f;  // vertical
    D3DCOLOR background = D3DCOLOR_XRGB(16, 16, 24);
    std::string backgroundImagePath;  // PNG or DDS stretched over the background; empty: none
    // Pictures; empty paths write nothing.
    std::string outDirectory;  // one PNG per captured frame
    std::string sheetPath;     // contact sheet PNG
    std::string gifPath;       // animated GIF
    unsigned int captureCount = 0;  // frames spread over the run; 0: use captureEvery
    unsigned int captureEvery = 1;  // every K-th frame
    bool showHelp = false;
};

// False, with the reason in error, when the arguments cannot be used.
bool ParseOptions(int argc, char** argv, HostOptions& options, std::string& error);

const char* UsageText();

// Frames to simulate: seconds * fps rounded, at least one.
unsigned int FrameCount(const HostOptions& options);

// Whether any picture is asked for.
bool WritesPictures(const HostOptions& options);

// Whether frame (1 to FrameCount) is captured: captureCount frames spread
// evenly and ending on the last, or else every captureEvery-th frame.
bool IsCapturedFrame(const HostOptions& options, unsigned int frame);
