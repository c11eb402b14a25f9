// The water maps compared with reference pictures checked in beside this
// file (tests/water/reference/): seed 1, 64 x 64 maps, ten updates of 33 ms,
// on each pixel shader tier. They catch any change in what the maps hold,
// from the noise through the shaders to the rasteriser.
//
// The maps are 16 bits per channel and so are the references (16-bit RGB
// PNG; alpha is always opaque and left out). A channel may differ by 1 of
// 65535: the values pass through float filtering and interpolation before
// they are rounded, and an equivalent reordering of that arithmetic can flip
// the last bit. Anything larger is a real change.
//
// On a mismatch the map made now is written to the folder named in the
// failure message. To regenerate the references after an intended change:
//   PYRELUNE_REGENERATE_REFERENCES=1 ctest -R WaterReference
// rewrites them in the source tree (the tests then report SKIPPED); look at
// them before checking them in.
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "Undrelle.h"
#include "platform/crt_rand.h"
#include "platform/swdevice.h"
#include "support/testdevice.h"

namespace {

constexpr unsigned int kSeed = 1;
constexpr int kMapSide = 64;
constexpr int kUpdates = 10;
constexpr unsigned long kStepMilliseconds = 33;
constexpr int kTolerance = 1;  // of 65535, per channel; see the file comment

const std::filesystem::path kReferenceDir = std::filesystem::path(PYRELUNE_SOURCE_DIR) / "tests/water/reference";
const std::filesystem::path kActualDir = PYRELUNE_WATER_ACTUAL_DIR;

// 16-bit RGB, rows top to bottom, no padding.
struct Picture {
    unsigned int width = 0;
    unsigned int height = 0;
    std::vector<std::uint16_t> rgb;
};

bool operator==(const Picture& a, const Picture& b) {
    return a.width == b.width && a.height == b.height && a.rgb == b.rgb;
}

// Linear 16-bit data is written and read back unconverted by libpng.
png_image LinearRgbImage() {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.format = PNG_FORMAT_LINEAR_RGB;
    return image;
}

bool WritePicture(const std::filesystem::path& path, const Picture& picture) {
    png_image image = LinearRgbImage();
    image.width = picture.width;
    image.height = picture.height;
    std::filesystem::create_directories(path.parent_path());
    return png_image_write_to_file(&image, path.c_str(), 0, picture.rgb.data(), 0, nullptr) != 0;
}

bool ReadPicture(const std::filesystem::path& path, Picture& picture) {
    png_image image = LinearRgbImage();
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_LINEAR_RGB;
    picture.rgb.resize(PNG_IMAGE_SIZE(image) / sizeof(std::uint16_t));
    if (!png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr)) return false;
    picture.width = image.width;
    picture.height = image.height;
    return true;
}

// Level 0 of a map in the software device's preferred map format.
Picture ReadMap(IDirect3DTexture9* map) {
    Picture picture;
    D3DSURFACE_DESC desc{};
    D3DLOCKED_RECT locked{};
    if (!map || FAILED(map->GetLevelDesc(0, &desc)) || desc.Format != D3DFMT_A16B16G16R16) return picture;
    if (FAILED(map->LockRect(0, &locked, nullptr, D3DLOCK_READONLY))) return picture;
    picture.width = desc.Width;
    picture.height = desc.Height;
    for (unsigned int y = 0; y < desc.Height; ++y) {
        const BYTE* row = static_cast<const BYTE*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch;
        for (unsigned int x = 0; x < desc.Width; ++x) {
            std::uint16_t rgba[4];
            std::memcpy(rgba, row + 8 * x, sizeof rgba);
            picture.rgb.insert(picture.rgb.end(), rgba, rgba + 3);
        }
    }
    map->UnlockRect(0);
    return picture;
}

// Empty when the pictures agree within the tolerance, else what differs.
std::string Differences(const Picture& reference, const Picture& actual) {
    std::ostringstream out;
    if (reference.width != actual.width || reference.height != actual.height) {
        out << "size " << actual.width << "x" << actual.height << ", expected " << reference.width << "x"
            << reference.height;
        return out.str();
    }
    size_t channels = 0;
    int largest = 0;
    size_t first = 0;
    for (size_t i = 0; i < actual.rgb.size(); ++i) {
        const int difference = std::abs(int(actual.rgb[i]) - int(reference.rgb[i]));
        if (difference <= kTolerance) continue;
        if (channels++ == 0) first = i;
        largest = std::max(largest, difference);
    }
    if (channels == 0) return "";
    const size_t texel = first / 3;
    out << channels << " channels differ by more than " << kTolerance << " (largest " << largest
        << "), the first at texel (" << texel % actual.width << ", " << texel / actual.width << ")";
    return out.str();
}

bool RegenerationAsked() {
    const char* value = std::getenv("PYRELUNE_REGENERATE_REFERENCES");
    return value && std::string(value) == "1";
}

enum class MapKind { Height, Normal };

struct ReferenceCase {
    const char* label;  // the test's name
    DWORD pixelShaderVersion;
    MapKind map;
    const char* file;
};

const ReferenceCase kCases[] = {
    {"HeightMapPs20", D3DPS_VERSION(2, 0), MapKind::Height, "height_seed1.png"},
    {"NormalMapPs20", D3DPS_VERSION(2, 0), MapKind::Normal, "normal_seed1.png"},
    {"NormalMapPs11CpuGrid", D3DPS_VERSION(1, 1), MapKind::Normal, "normal_ps11_seed1.png"},
    {"NormalMapFixedFunction", 0, MapKind::Normal, "normal_fixedfunction_seed1.png"},
};

void PrintTo(const ReferenceCase& c, std::ostream* out) { *out << c.file; }

class WaterReference : public ::testing::TestWithParam<ReferenceCase> {
protected:
    void SetUp() override {
        swdevice::ResetSettings();
        swdevice::g_settings.pixelShaderVersion = GetParam().pixelShaderVersion;
    }

    void TearDown() override { swdevice::ResetSettings(); }

    // The map after the fixed run, on a fresh device.
    Picture MakeMap() {
        IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
        IDirect3DDevice9* device = CreateDevice(d3d);
        Picture picture;
        if (device) {
            picture = RunWater(device);
            EXPECT_EQ(0u, device->Release());
        }
        if (d3d) {
            EXPECT_EQ(0u, d3d->Release());
        }
        return picture;
    }

private:
    static IDirect3DDevice9* CreateDevice(IDirect3D9* d3d) {
        return d3d ? CreateTestDevice(d3d, WindowedParams(kMapSide, kMapSide, D3DFMT_X8R8G8B8)) : nullptr;
    }

    Picture RunWater(IDirect3DDevice9* device) const {
        crt::srand(kSeed);
        CWaveGenerator water(device, kMapSide, kMapSide);
        for (int update = 0; update < kUpdates; ++update) water.Update(kStepMilliseconds);
        return ReadMap(GetParam().map == MapKind::Height ? water.GetHeightMap() : water.GetNormalMap());
    }
};

}  // namespace

TEST(ReferencePicture, RoundTripsSixteenBitChannelsExactly) {
    Picture picture;
    picture.width = 3;
    picture.height = 2;
    picture.rgb = {0, 1, 2, 255, 256, 257, 32767, 32768, 32769, 65533, 65534, 65535, 4660, 22136, 39612, 1, 0, 65535};
    const std::filesystem::path path = kActualDir / "roundtrip.png";
    ASSERT_TRUE(WritePicture(path, picture));
    Picture read;
    ASSERT_TRUE(ReadPicture(path, read));
    EXPECT_TRUE(read == picture);
}

TEST(ReferencePicture, ReportsTheFirstTexelOutsideTheTolerance) {
    Picture reference;
    reference.width = 2;
    reference.height = 2;
    reference.rgb.assign(12, 1000);
    Picture actual = reference;
    actual.rgb[0] = 1001;  // within the tolerance
    actual.rgb[10] = 998;
    actual.rgb[11] = 1500;
    EXPECT_EQ("2 channels differ by more than 1 (largest 500), the first at texel (1, 1)",
              Differences(reference, actual));
    actual.rgb[10] = actual.rgb[11] = 1000;
    EXPECT_EQ("", Differences(reference, actual));
    actual.width = 4;
    actual.height = 1;
    EXPECT_EQ("size 4x1, expected 2x2", Differences(reference, actual));
}

TEST_P(WaterReference, MatchesTheCheckedInPicture) {
    const ReferenceCase& c = GetParam();
    const Picture actual = MakeMap();
    ASSERT_FALSE(actual.rgb.empty()) << "no 16-bit " << (c.map == MapKind::Height ? "height" : "normal") << " map";
    const std::filesystem::path referencePath = kReferenceDir / c.file;
    if (RegenerationAsked()) {
        ASSERT_TRUE(WritePicture(referencePath, actual)) << referencePath;
        GTEST_SKIP() << "regenerated " << referencePath;
    }
    Picture reference;
    const bool haveReference = ReadPicture(referencePath, reference);
    const std::string differences = haveReference ? Differences(reference, actual) : "no readable reference";
    if (differences.empty()) return;
    const std::filesystem::path actualPath = kActualDir / c.file;
    ASSERT_TRUE(WritePicture(actualPath, actual)) << actualPath;
    ADD_FAILURE() << referencePath << ": " << differences << ".\nThe map made now is in " << actualPath
                  << ".\nIf the change is intended, rerun with PYRELUNE_REGENERATE_REFERENCES=1.";
}

INSTANTIATE_TEST_SUITE_P(Seed1, WaterReference, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ReferenceCase>& info) { return info.param.label; });
