// The water's noise, made on the CPU.
//
// Build fills a table of tileable 3-D gradient noise once (256 layers of
// 16 x 16 cells). Every Advance then blends eight octaves of that table along
// its layer axis by the animation time and assembles them into two 128 x 128
// images: image 0 holds the low octaves (smoothed), image 1 the high ones.
// The wave generator uploads the images into its noise textures. Everything
// is plain memory; no device objects, and nothing is allocated by Advance.
#pragma once

#include <array>

#include "Undrelle/undrelle_api.h"

class UNDRELLE_API CWaveNoise {
public:
    static constexpr int GRID_SIDE = 16;
    static constexpr int GRID_CELLS = GRID_SIDE * GRID_SIDE;
    static constexpr int LAYER_COUNT = 256;
    static constexpr int OCTAVE_COUNT = 8;
    static constexpr int IMAGE_SIDE = 128;
    static constexpr int IMAGE_TEXELS = IMAGE_SIDE * IMAGE_SIDE;
    static constexpr int IMAGE_COUNT = 2;

    // Everything zero, time 0; call Build before the first Advance.
    CWaveNoise();

    // Fills the noise table from the C runtime generator; the host seeds it.
    void Build();

    // Moves the time on by milliseconds x speed and rebuilds the octave grids
    // and both images.
    void Advance(unsigned long milliseconds, float speed);

    // LAYER_COUNT x GRID_CELLS entries, index (layer * 16 + row) * 16 + column.
    const int* GetNoiseTable() const;
    // GRID_CELLS entries of one octave; null for an unknown octave.
    const int* GetOctaveGrid(int octave) const;
    // OCTAVE_COUNT weights, adding up to 1.
    const float* GetOctaveWeights() const;
    // IMAGE_TEXELS entries, row-major; null for an unknown image.
    const int* GetImage(int n) const;
    // Seconds, already scaled by the speed.
    double GetTime() const;

    // Image n's value at (x, y) before smoothing, from the current octave grids.
    // Any coordinates: the images tile every IMAGE_SIDE texels. An unknown
    // image reads as 0.
    int SampleImage(int n, int x, int y) const;

    // Smooths image 0 in place. images holds both images back to back: the last
    // smoothed texel reads image 1's first texel as its lower-right neighbour.
    static void SmoothFirstImage(int* images);

    // Texels for 16-bit luminance: 0 maps to the middle of the range.
    static unsigned short EncodeL16(int value);
    // Texels for 8-bit luminance: value / 256, 0 at the middle of the range.
    static unsigned char EncodeL8(int value);

private:
    void AdvanceTime(unsigned long milliseconds, float speed);
    void ComputeOctaveWeights();
    void BuildOctaveGrids();
    void BlendOctave(int octave, double octaveTime);
    void BuildImages();
    const int* Layer(int layer) const;

    std::array<int, LAYER_COUNT * GRID_CELLS> m_noiseTable{};
    std::array<int, OCTAVE_COUNT * GRID_CELLS> m_octaveGrids{};
    std::array<int, IMAGE_COUNT * IMAGE_TEXELS> m_images{};
    std::array<float, OCTAVE_COUNT> m_octaveWeights{};
    double m_time = 0.0;
};
