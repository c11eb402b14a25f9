// The pictures of a run: the frames the options select, read back from the
// device and written as PNG files, a contact sheet and an animated GIF.
#pragma once

#include <string>
#include <vector>

#include <d3d9.h>

#include "gifwriter.h"
#include "options.h"
#include "rgbimage.h"

class FrameCapture {
public:
    explicit FrameCapture(const HostOptions& options);

    // Creates the output folder and opens the GIF; false, with the reason in
    // error, when they cannot be made.
    bool Begin(std::string& error);
    // Reads the back buffer if the frame is selected. False when a picture
    // could not be read or written.
    bool Capture(IDirect3DDevice9* pDevice, unsigned int frame);
    // Writes the sheet, closes the GIF and prints where the pictures are.
    bool Finish();

private:
    bool WriteFrame(const RgbImage& image, unsigned int frame) const;
    void KeepThumbnail(const RgbImage& image);
    bool WriteSheet() const;
    int GifDelayCentiseconds() const;

    const HostOptions& m_options;
    unsigned int m_capturedTotal;  // frames the run will capture
    unsigned int m_captured = 0;
    unsigned int m_sheetStride;  // every n-th captured frame goes on the sheet
    std::vector<RgbImage> m_thumbnails;
    GifWriter m_gif;
};
