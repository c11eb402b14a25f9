#include "heightpicture.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "surfacereadback.h"

namespace {

constexpr float kFlatGrey = 128.0f;

template <typename T>
T Load(const BYTE* texel) {
    T value;
    std::memcpy(&value, texel, sizeof value);
    return value;
}

// Red is the first channel in the ABGR formats and the third byte in A8R8G8B8.
float RedUnorm16(const BYTE* texel) { return Load<std::uint16_t>(texel) / 65535.0f; }
float RedHalf(const BYTE* texel) { return HalfToFloat(Load<std::uint16_t>(texel)); }
float RedFloat(const BYTE* texel) { return Load<float>(texel); }
float RedUnorm8(const BYTE* texel) { return texel[2] / 255.0f; }

struct HeightFormat {
    D3DFORMAT format;
    unsigned int texelBytes;
    float (*red)(const BYTE* texel);
};

// The water library's map formats, its preferred ones first.
const HeightFormat kHeightFormats[] = {
    {D3DFMT_A16B16G16R16, 8, RedUnorm16},
    {D3DFMT_A16B16G16R16F, 8, RedHalf},
    {D3DFMT_A32B32G32R32F, 16, RedFloat},
    {D3DFMT_A8R8G8B8, 4, RedUnorm8},
};

const HeightFormat* FindHeightFormat(D3DFORMAT format) {
    const auto found = std::find_if(std::begin(kHeightFormats), std::end(kHeightFormats),
                                    [format](const HeightFormat& row) { return row.format == format; });
    return found == std::end(kHeightFormats) ? nullptr : found;
}

void ReadRows(const D3DLOCKED_RECT& locked, const HeightFormat& format, HeightField& field) {
    for (unsigned int y = 0; y < field.height; ++y) {
        const BYTE* texel = static_cast<const BYTE*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch;
        for (unsigned int x = 0; x < field.width; ++x, texel += format.texelBytes)
            field.heights.push_back(format.red(texel));
    }
}

void FindRange(const std::vector<float>& heights, StretchedHeights& stretched) {
    bool found = false;
    for (float height : heights) {
        if (!std::isfinite(height)) continue;
        stretched.lowest = found ? std::min(stretched.lowest, height) : height;
        stretched.highest = found ? std::max(stretched.highest, height) : height;
        found = true;
    }
}

std::uint8_t Grey(float height, float lowest, float highest) {
    if (!(highest > lowest)) return static_cast<std::uint8_t>(kFlatGrey);
    const float grey = (height - lowest) / (highest - lowest) * 255.0f;
    if (!(grey > 0.0f)) return 0;  // NaN too
    return static_cast<std::uint8_t>(std::lround(std::min(grey, 255.0f)));
}

}  // namespace

bool ReadHeights(IDirect3DTexture9* pMap, HeightField& field) {
    D3DSURFACE_DESC desc;
    if (!pMap || FAILED(pMap->GetLevelDesc(0, &desc))) return false;
    const HeightFormat* format = FindHeightFormat(desc.Format);
    D3DLOCKED_RECT locked;
    if (!format || FAILED(pMap->LockRect(0, &locked, nullptr, D3DLOCK_READONLY))) return false;
    field = HeightField{desc.Width, desc.Height, {}};
    field.heights.reserve(static_cast<size_t>(desc.Width) * desc.Height);
    ReadRows(locked, *format, field);
    pMap->UnlockRect(0);
    return true;
}

StretchedHeights StretchHeights(const HeightField& field) {
    StretchedHeights stretched;
    FindRange(field.heights, stretched);
    stretched.picture = RgbImage(field.width, field.height);
    for (size_t i = 0; i < field.heights.size(); ++i) {
        const std::uint8_t grey = Grey(field.heights[i], stretched.lowest, stretched.highest);
        std::fill_n(stretched.picture.rgb.begin() + 3 * i, 3, grey);
    }
    return stretched;
}
