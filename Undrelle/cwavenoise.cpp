#include "Undrelle/cwavenoise.h"

#include <cmath>
#include <memory>

#include "Undrelle/gradientnoise.h"
#include "platform/crt_rand.h"

namespace {

constexpr int GRID_MASK = CWaveNoise::GRID_SIDE - 1;
constexpr int LAYER_MASK = CWaveNoise::LAYER_COUNT - 1;
// Octaves per image: image n holds octaves 4n to 4n + 3.
constexpr int OCTAVES_PER_IMAGE = CWaveNoise::OCTAVE_COUNT / CWaveNoise::IMAGE_COUNT;

// The table's periods: 16 x 16 cells, 256 layers.
constexpr float TABLE_WIDTH = static_cast<float>(CWaveNoise::GRID_SIDE);
constexpr float TABLE_DEPTH = static_cast<float>(CWaveNoise::LAYER_COUNT);
// Each table point is shifted diagonally by (rand() % 100) steps of this size.
constexpr double JITTER_STEP = 0.00729927;
// Noise values of about -1..1 become table entries of about -32768..32768.
constexpr float TABLE_AMPLITUDE = 16384.0f * 2.0f;

constexpr double SECONDS_PER_MILLISECOND = 0.001;
// Octave i weighs OCTAVE_FALLOFF^i before normalising.
constexpr double OCTAVE_FALLOFF = 0.56;
// Each octave runs this much faster than the one before.
constexpr double OCTAVE_SPEEDUP = 1.27;
// The three layer blend weights are sin^2 at phases a third of pi apart;
// this is pi / 3 as computed from a float pi.
constexpr double PI_OVER_3 = 1.0471975803375244;
// Layer shares are scaled by 16384 and the products shifted down by 15, so an
// octave carries half the table's amplitude times its weight.
constexpr double LAYER_WEIGHT_SCALE = 16384.0;
constexpr int LAYER_WEIGHT_SHIFT = 15;

// The smoothed range of image 0: from the second texel of the second row to
// the end of the second-to-last row, so every neighbour lies inside the array.
constexpr int SMOOTH_FIRST = CWaveNoise::IMAGE_SIDE + 1;
constexpr int SMOOTH_LAST = CWaveNoise::IMAGE_TEXELS - CWaveNoise::IMAGE_SIDE - 1;
constexpr int ROW = CWaveNoise::IMAGE_SIDE;

}  // namespace

// ==== Construction and access ====

CWaveNoise::CWaveNoise() = default;

const int* CWaveNoise::GetNoiseTable() const { return m_noiseTable.data(); }

const int* CWaveNoise::GetOctaveGrid(int octave) const {
    if (octave < 0 || octave >= OCTAVE_COUNT) {
        return nullptr;
    }
    return m_octaveGrids.data() + octave * GRID_CELLS;
}

const float* CWaveNoise::GetOctaveWeights() const { return m_octaveWeights.data(); }

const int* CWaveNoise::GetImage(int n) const {
    if (n < 0 || n >= IMAGE_COUNT) {
        return nullptr;
    }
    return m_images.data() + n * IMAGE_TEXELS;
}

double CWaveNoise::GetTime() const { return m_time; }

const int* CWaveNoise::Layer(int layer) const {
    return m_noiseTable.data() + (layer & LAYER_MASK) * GRID_CELLS;
}

// ==== Noise table ====

namespace {

int TableEntry(const detail::GradientNoise& noise, int x, int y, int z) {
    const double jitter = (crt::rand() % 100) * JITTER_STEP;
    const float value = noise.EvaluateTileable(
        static_cast<float>(x + jitter), static_cast<float>(y + jitter),
        static_cast<float>(z + jitter), TABLE_WIDTH, TABLE_WIDTH, TABLE_DEPTH);
    return static_cast<int>(value * TABLE_AMPLITUDE);
}

}  // namespace

void CWaveNoise::Build() {
    // About 130 KB of tables, needed only here.
    const auto noise = std::make_unique<detail::GradientNoise>();
    // Drawn a second time on purpose: both draws belong to the random
    // sequence that a seed must reproduce, and the second tables are used.
    noise->Initialise();
    int index = 0;
    for (int z = 0; z < LAYER_COUNT; ++z) {
        for (int y = 0; y < GRID_SIDE; ++y) {
            for (int x = 0; x < GRID_SIDE; ++x) {
                m_noiseTable[index++] = TableEntry(*noise, x, y, z);
            }
        }
    }
}

// ==== Animation ====

void CWaveNoise::Advance(unsigned long milliseconds, float speed) {
    AdvanceTime(milliseconds, speed);
    ComputeOctaveWeights();
    BuildOctaveGrids();
    BuildImages();
    SmoothFirstImage(m_images.data());
}

void CWaveNoise::AdvanceTime(unsigned long milliseconds, float speed) {
    // The scaled milliseconds are a float product; only the seconds are double.
    const float scaled = static_cast<float>(milliseconds) * speed;
    m_time += scaled * SECONDS_PER_MILLISECOND;
}

void CWaveNoise::ComputeOctaveWeights() {
    float sum = 0.0f;
    for (int i = 0; i < OCTAVE_COUNT; ++i) {
        m_octaveWeights[i] = static_cast<float>(std::pow(OCTAVE_FALLOFF, i));
        sum += m_octaveWeights[i];
    }
    for (float& weight : m_octaveWeights) {
        weight /= sum;
    }
}

void CWaveNoise::BuildOctaveGrids() {
    double timeFactor = 1.0;
    for (int octave = 0; octave < OCTAVE_COUNT; ++octave) {
        BlendOctave(octave, timeFactor * m_time);
        timeFactor *= OCTAVE_SPEEDUP;
    }
}

namespace {

// Splits an octave's time into the blend fraction and its first layer,
// wrapped to the table. Reducing before the conversion keeps any time
// (huge, negative or overflowed) a valid layer.
int SplitOctaveTime(double octaveTime, double* fraction) {
    if (!std::isfinite(octaveTime)) {
        *fraction = 0.0;
        return 0;
    }
    double whole = 0.0;
    *fraction = std::modf(octaveTime, &whole);
    double layer = std::fmod(whole, static_cast<double>(CWaveNoise::LAYER_COUNT));
    if (layer < 0.0) {
        layer += CWaveNoise::LAYER_COUNT;
    }
    return static_cast<int>(layer);
}

// A layer's fixed-point share of an octave; the three phases' sin^2 add up to
// 3/2, so the three shares add up to about octaveWeight * 16384.
int LayerWeight(double phase, float octaveWeight) {
    const double s = std::sin(phase * PI_OVER_3);
    return static_cast<int>(s * s * 2.0 / 3.0 * octaveWeight * LAYER_WEIGHT_SCALE);
}

}  // namespace

void CWaveNoise::BlendOctave(int octave, double octaveTime) {
    double fraction = 0.0;
    const int layer = SplitOctaveTime(octaveTime, &fraction);
    const float octaveWeight = m_octaveWeights[octave];
    const int weight0 = LayerWeight(fraction + 2.0, octaveWeight);
    const int weight1 = LayerWeight(fraction + 1.0, octaveWeight);
    const int weight2 = LayerWeight(fraction, octaveWeight);
    const int* layer0 = Layer(layer);
    const int* layer1 = Layer(layer + 1);
    const int* layer2 = Layer(layer + 2);
    int* grid = m_octaveGrids.data() + octave * GRID_CELLS;
    for (int c = 0; c < GRID_CELLS; ++c) {
        grid[c] = ((layer0[c] * weight0) >> LAYER_WEIGHT_SHIFT) +
                  ((layer1[c] * weight1) >> LAYER_WEIGHT_SHIFT) +
                  ((layer2[c] * weight2) >> LAYER_WEIGHT_SHIFT);
    }
}

// ==== Images ====

namespace {

int GridCell(const int* grid, int row, int column) {
    return grid[row * CWaveNoise::GRID_SIDE + column];
}

// Bilinear sample of an octave grid stretched so one cell spans 2^shift texels.
int SampleGrid(const int* grid, int x, int y, int shift) {
    const int size = 1 << shift;
    const int cx0 = (x >> shift) & GRID_MASK;
    const int cx1 = (cx0 + 1) & GRID_MASK;
    const int cy0 = (y >> shift) & GRID_MASK;
    const int cy1 = (cy0 + 1) & GRID_MASK;
    const int fx = x & (size - 1);
    const int fy = y & (size - 1);
    const int top = GridCell(grid, cy0, cx0) * (size - fx) + GridCell(grid, cy0, cx1) * fx;
    const int bottom = GridCell(grid, cy1, cx0) * (size - fx) + GridCell(grid, cy1, cx1) * fx;
    return (top * (size - fy) + bottom * fy) >> (2 * shift);
}

// One texel from four consecutive octave grids: the coarsest stretched over
// the whole image, the finest repeated eight times without interpolation.
int ImageTexel(const int* octaves, int x, int y) {
    const int* finest = octaves + 3 * CWaveNoise::GRID_CELLS;
    return GridCell(finest, y & GRID_MASK, x & GRID_MASK) + SampleGrid(octaves, x, y, 3) +
           SampleGrid(octaves + CWaveNoise::GRID_CELLS, x, y, 2) +
           SampleGrid(octaves + 2 * CWaveNoise::GRID_CELLS, x, y, 1);
}

}  // namespace

int CWaveNoise::SampleImage(int n, int x, int y) const {
    if (n < 0 || n >= IMAGE_COUNT) {
        return 0;
    }
    return ImageTexel(GetOctaveGrid(n * OCTAVES_PER_IMAGE), x, y);
}

void CWaveNoise::BuildImages() {
    int* texel = m_images.data();
    for (int n = 0; n < IMAGE_COUNT; ++n) {
        const int* octaves = GetOctaveGrid(n * OCTAVES_PER_IMAGE);
        for (int y = 0; y < IMAGE_SIDE; ++y) {
            for (int x = 0; x < IMAGE_SIDE; ++x) {
                *texel++ = ImageTexel(octaves, x, y);
            }
        }
    }
}

namespace {

// Weights 1/4 for the texel, 1/8 for its edge and 1/16 for its corner
// neighbours; neighbours before c already hold smoothed values.
int SmoothedTexel(const int* e, int c) {
    const int edges = e[c - ROW] + e[c - 1] + e[c + 1] + e[c + ROW];
    const int corners = e[c - ROW - 1] + e[c - ROW + 1] + e[c + ROW - 1] + e[c + ROW + 1];
    return static_cast<int>(0.125 * edges + 0.0625 * corners + 0.25 * e[c]);
}

}  // namespace

void CWaveNoise::SmoothFirstImage(int* images) {
    // One pass over the flat array, so the first and last columns take their
    // left and right neighbours from the adjacent rows.
    for (int c = SMOOTH_FIRST; c <= SMOOTH_LAST; ++c) {
        images[c] = SmoothedTexel(images, c);
    }
}

// ==== Texel encoding ====

unsigned short CWaveNoise::EncodeL16(int value) {
    // Unsigned arithmetic: the low 16 bits wrap without overflow for any value.
    return static_cast<unsigned short>(static_cast<unsigned int>(value) - 32768u);
}

unsigned char CWaveNoise::EncodeL8(int value) {
    return static_cast<unsigned char>(value / 256 - 128);
}
