// undrelle-run: animates the water on the software device for a number of
// updates and writes its height and normal maps as pictures. Times are
// simulated, so the pictures depend only on the options.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include <Undrelle/Undrelle.h>
#include <platform/crt_rand.h>

#include "gifwriter.h"
#include "heightpicture.h"
#include "options.h"
#include "pngwriter.h"
#include "progressbar.h"
#include "softwaredevice.h"
#include "surfacereadback.h"

namespace {

enum ExitCode { kExitOk = 0, kExitBadOptions = 2, kExitNoDevice = 3, kExitNoPictures = 4 };

std::string OutputPath(const WaterOptions& options, const char* name) {
    return (std::filesystem::path(options.outDirectory) / name).string();
}

bool WritePicture(const RgbImage& image, const std::string& path, const std::string& note = "") {
    if (!WritePng(path, image)) return false;
    std::printf("pictures: %ux%u map in %s%s\n", image.width, image.height, path.c_str(), note.c_str());
    return true;
}

// A missing map (no height map without version 2.0 pixel shaders) is
// reported and skipped, not an error.
bool WriteMap(IDirect3DTexture9* pMap, const std::string& path) {
    if (!pMap) {
        std::printf("no map for %s on this device\n", path.c_str());
        return true;
    }
    RgbImage image;
    return ReadTextureLevel0(pMap, image) && WritePicture(image, path);
}

// Prints the stretched range, so that a grey level can be read back as a height.
bool WriteStretchedHeightMap(IDirect3DTexture9* pMap, const std::string& path) {
    HeightField field;
    if (!ReadHeights(pMap, field)) return false;
    const StretchedHeights stretched = StretchHeights(field);
    char range[96];
    std::snprintf(range, sizeof range, ", heights %.5f (black) to %.5f (white)", stretched.lowest, stretched.highest);
    return WritePicture(stretched.picture, path, range);
}

bool WriteHeightMap(IDirect3DTexture9* pMap, const WaterOptions& options) {
    const std::string path = OutputPath(options, "heightmap.png");
    if (pMap && options.stretchHeights) return WriteStretchedHeightMap(pMap, path);
    return WriteMap(pMap, path);
}

bool AddGifFrame(GifWriter& gif, IDirect3DTexture9* pNormalMap, unsigned int stepMilliseconds) {
    RgbImage image;
    return ReadTextureLevel0(pNormalMap, image) && gif.AddFrame(image, std::max(2u, stepMilliseconds / 10));
}

// False when a frame of the animation could not be written.
bool Animate(CWaveGenerator& water, const WaterOptions& options, GifWriter* pGif) {
    ProgressBar progress(options.updates);
    bool ok = true;
    for (unsigned int update = 1; update <= options.updates; ++update) {
        water.Update(options.stepMilliseconds);
        if (pGif) ok = AddGifFrame(*pGif, water.GetNormalMap(), options.stepMilliseconds) && ok;
        progress.Step(update);
    }
    return ok;
}

bool OpenGif(GifWriter& gif, const WaterOptions& options) {
    if (options.gifPath.empty()) return true;
    return gif.Open(options.gifPath, options.width, options.height);
}

int Run(IDirect3DDevice9* pDevice, const WaterOptions& options) {
    crt::srand(options.seed);
    CWaveGenerator water(pDevice, static_cast<int>(options.width), static_cast<int>(options.height));
    if (!water.GetNormalMap()) {
        std::fprintf(stderr, "undrelle-run: the water maps could not be created\n");
        return kExitNoDevice;
    }
    std::error_code ignored;
    std::filesystem::create_directories(options.outDirectory, ignored);
    GifWriter gif;
    bool ok = OpenGif(gif, options) && Animate(water, options, options.gifPath.empty() ? nullptr : &gif);
    ok = WriteHeightMap(water.GetHeightMap(), options) && ok;
    ok = WriteMap(water.GetNormalMap(), OutputPath(options, "normalmap.png")) && ok;
    if (!options.gifPath.empty()) {
        ok = gif.Close() && ok;
        std::printf("pictures: animation of %u updates in %s\n", options.updates, options.gifPath.c_str());
    }
    if (ok) return kExitOk;
    std::fprintf(stderr, "undrelle-run: some pictures could not be written\n");
    return kExitNoPictures;
}

}  // namespace

int main(int argc, char** argv) {
    WaterOptions options;
    std::string error;
    if (!ParseWaterOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "undrelle-run: %s\n%s", error.c_str(), WaterUsageText());
        return kExitBadOptions;
    }
    if (options.showHelp) {
        std::fputs(WaterUsageText(), stdout);
        return kExitOk;
    }
    SoftwareDevice device(options.width, options.height);
    if (!device.Valid()) {
        std::fprintf(stderr, "undrelle-run: the software Direct3D 9 device could not be created\n");
        return kExitNoDevice;
    }
    std::printf("undrelle-run: %u updates of %u ms, seed %u, maps %ux%u\n", options.updates,
                options.stepMilliseconds, options.seed, options.width, options.height);
    return Run(device.Get(), options);
}
