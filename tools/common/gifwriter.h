// Writes an animated GIF through giflib, one palette per frame so each
// frame keeps its own colours.
#pragma once

#include <string>

#include "rgbimage.h"

struct GifFileType;

class GifWriter {
public:
    GifWriter() = default;
    ~GifWriter();
    GifWriter(const GifWriter&) = delete;
    GifWriter& operator=(const GifWriter&) = delete;

    // Every frame must be width x height. The animation loops forever.
    bool Open(const std::string& path, unsigned int width, unsigned int height);
    // delayCentiseconds: how long the frame shows.
    bool AddFrame(const RgbImage& frame, int delayCentiseconds);
    // Finishes the file; false if anything on the way failed.
    bool Close();

private:
    bool WriteLoopExtension();

    GifFileType* m_pFile = nullptr;
    unsigned int m_width = 0;
    unsigned int m_height = 0;
    bool m_failed = false;
};
