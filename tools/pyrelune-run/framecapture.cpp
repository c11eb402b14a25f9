#include "framecapture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "contactsheet.h"
#include "pngwriter.h"
#include "surfacereadback.h"

namespace {

constexpr unsigned int kMaxSheetFrames = 36;
constexpr unsigned int kThumbnailWidth = 160;

unsigned int CountCaptured(const HostOptions& options) {
    unsigned int count = 0;
    for (unsigned int frame = 1; frame <= FrameCount(options); ++frame)
        if (IsCapturedFrame(options, frame)) ++count;
    return count;
}

std::string FrameFileName(const std::string& folder, unsigned int frame) {
    char name[32];
    std::snprintf(name, sizeof name, "frame_%04u.png", frame);
    return (std::filesystem::path(folder) / name).string();
}

}  // namespace

FrameCapture::FrameCapture(const HostOptions& options)
    : m_options(options),
      m_capturedTotal(CountCaptured(options)),
      m_sheetStride((m_capturedTotal + kMaxSheetFrames - 1) / kMaxSheetFrames) {}

bool FrameCapture::Begin(std::string& error) {
    std::error_code ignored;
    if (!m_options.outDirectory.empty()) std::filesystem::create_directories(m_options.outDirectory, ignored);
    if (!m_options.outDirectory.empty() && !std::filesystem::is_directory(m_options.outDirectory)) {
        error = "cannot create the folder " + m_options.outDirectory;
        return false;
    }
    if (!m_options.gifPath.empty() && !m_gif.Open(m_options.gifPath, m_options.width, m_options.height)) {
        error = "cannot write " + m_options.gifPath;
        return false;
    }
    return true;
}

bool FrameCapture::Capture(IDirect3DDevice9* pDevice, unsigned int frame) {
    if (!IsCapturedFrame(m_options, frame)) return true;
    RgbImage image;
    if (!ReadBackBuffer(pDevice, image)) return false;
    bool ok = WriteFrame(image, frame);
    if (!m_options.gifPath.empty()) ok = m_gif.AddFrame(image, GifDelayCentiseconds()) && ok;
    KeepThumbnail(image);
    ++m_captured;
    return ok;
}

bool FrameCapture::WriteFrame(const RgbImage& image, unsigned int frame) const {
    if (m_options.outDirectory.empty()) return true;
    return WritePng(FrameFileName(m_options.outDirectory, frame), image);
}

// The sheet's frames are chosen as they come, since only thumbnails are kept.
void FrameCapture::KeepThumbnail(const RgbImage& image) {
    if (m_options.sheetPath.empty() || m_captured % m_sheetStride != 0) return;
    m_thumbnails.push_back(Downscale(image, ThumbnailFactor(image.width, kThumbnailWidth)));
}

// Captured frames share the run's time, so the GIF plays at real speed.
int FrameCapture::GifDelayCentiseconds() const {
    double seconds = static_cast<double>(FrameCount(m_options)) / m_options.fps;
    return std::max(2, static_cast<int>(std::lround(100.0 * seconds / std::max(1u, m_capturedTotal))));
}

bool FrameCapture::WriteSheet() const {
    const std::uint8_t gap[3] = {0, 0, 0};
    return WritePng(m_options.sheetPath, MakeContactSheet(m_thumbnails, gap));
}

bool FrameCapture::Finish() {
    bool ok = true;
    if (!m_options.outDirectory.empty())
        std::printf("pictures: %u frames in %s\n", m_captured, m_options.outDirectory.c_str());
    if (!m_options.sheetPath.empty()) {
        ok = WriteSheet() && ok;
        std::printf("pictures: contact sheet of %zu frames in %s\n", m_thumbnails.size(), m_options.sheetPath.c_str());
    }
    if (!m_options.gifPath.empty()) {
        ok = m_gif.Close() && ok;
        std::printf("pictures: animation of %u frames in %s\n", m_captured, m_options.gifPath.c_str());
    }
    return ok;
}
