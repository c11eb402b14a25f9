#include "gifwriter.h"

#include <vector>

#include <fcntl.h>
#include <gif_lib.h>
#include <unistd.h>

namespace {

constexpr int kPaletteSize = 256;

struct Quantised {
    std::vector<GifByteType> indices;
    GifColorType palette[kPaletteSize] = {};
    int paletteSize = kPaletteSize;
};

bool Quantise(const RgbImage& frame, Quantised& out) {
    const size_t count = static_cast<size_t>(frame.width) * frame.height;
    std::vector<GifByteType> red(count), green(count), blue(count);
    for (size_t i = 0; i < count; ++i) {
        red[i] = frame.rgb[i * 3];
        green[i] = frame.rgb[i * 3 + 1];
        blue[i] = frame.rgb[i * 3 + 2];
    }
    out.indices.resize(count);
    return GifQuantizeBuffer(frame.width, frame.height, &out.paletteSize, red.data(), green.data(), blue.data(),
                             out.indices.data(), out.palette) == GIF_OK;
}

bool WriteDelay(GifFileType* pFile, int delayCentiseconds) {
    GraphicsControlBlock control = {};
    control.DisposalMode = DISPOSAL_UNSPECIFIED;
    control.DelayTime = delayCentiseconds;
    control.TransparentColor = NO_TRANSPARENT_COLOR;
    GifByteType bytes[4];
    EGifGCBToExtension(&control, bytes);
    return EGifPutExtension(pFile, GRAPHICS_EXT_FUNC_CODE, sizeof bytes, bytes) == GIF_OK;
}

bool WritePixels(GifFileType* pFile, const Quantised& frame, unsigned int width, unsigned int height) {
    ColorMapObject* pMap = GifMakeMapObject(kPaletteSize, frame.palette);
    if (!pMap) return false;
    bool ok = EGifPutImageDesc(pFile, 0, 0, width, height, false, pMap) == GIF_OK;
    GifFreeMapObject(pMap);
    std::vector<GifByteType> row(width);
    for (unsigned int y = 0; ok && y < height; ++y) {
        row.assign(frame.indices.begin() + static_cast<size_t>(y) * width,
                   frame.indices.begin() + static_cast<size_t>(y + 1) * width);
        ok = EGifPutLine(pFile, row.data(), width) == GIF_OK;
    }
    return ok;
}

}  // namespace

GifWriter::~GifWriter() { Close(); }

bool GifWriter::Open(const std::string& path, unsigned int width, unsigned int height) {
    // Opened here, not by giflib, which would make the file private to its owner.
    int descriptor = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (descriptor < 0) return false;
    int error = 0;
    m_pFile = EGifOpenFileHandle(descriptor, &error);
    if (!m_pFile) {
        close(descriptor);
        return false;
    }
    m_width = width;
    m_height = height;
    EGifSetGifVersion(m_pFile, true);  // 89a: delays and looping
    m_failed = EGifPutScreenDesc(m_pFile, width, height, 8, 0, nullptr) != GIF_OK || !WriteLoopExtension();
    return !m_failed;
}

// The NETSCAPE2.0 block: loop count 0 means forever.
bool GifWriter::WriteLoopExtension() {
    static const GifByteType kApplication[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
    static const GifByteType kLoopForever[] = {1, 0, 0};
    return EGifPutExtensionLeader(m_pFile, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
           EGifPutExtensionBlock(m_pFile, sizeof kApplication, kApplication) == GIF_OK &&
           EGifPutExtensionBlock(m_pFile, sizeof kLoopForever, kLoopForever) == GIF_OK &&
           EGifPutExtensionTrailer(m_pFile) == GIF_OK;
}

bool GifWriter::AddFrame(const RgbImage& frame, int delayCentiseconds) {
    if (!m_pFile || m_failed) return false;
    Quantised quantised;
    m_failed = frame.width != m_width || frame.height != m_height || !Quantise(frame, quantised) ||
               !WriteDelay(m_pFile, delayCentiseconds) || !WritePixels(m_pFile, quantised, m_width, m_height);
    return !m_failed;
}

bool GifWriter::Close() {
    if (!m_pFile) return false;
    int error = 0;
    bool closed = EGifCloseFile(m_pFile, &error) == GIF_OK;
    m_pFile = nullptr;
    return closed && !m_failed;
}
