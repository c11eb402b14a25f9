#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "Undrelle/cwavenoise.h"
#include "platform/crt_rand.h"

namespace {

constexpr int CELLS = CWaveNoise::GRID_CELLS;
constexpr int SIDE = CWaveNoise::IMAGE_SIDE;
constexpr int TEXELS = CWaveNoise::IMAGE_TEXELS;

std::unique_ptr<CWaveNoise> BuildWithSeed(unsigned int seed) {
    auto noise = std::make_unique<CWaveNoise>();
    crt::srand(seed);
    noise->Build();
    return noise;
}

// The table takes a while to build: tests copy this one, built with seed 1.
const CWaveNoise& Seed1() {
    static const std::unique_ptr<CWaveNoise> noise = BuildWithSeed(1);
    return *noise;
}

std::unique_ptr<CWaveNoise> FreshSeed1() { return std::make_unique<CWaveNoise>(Seed1()); }

// Perlin's reference noise, written out the classic way, float throughout.
struct ReferenceNoise {
    static constexpr int B = 4096;
    int p[B + B + 2];
    float g3[B + B + 2][3];

    static float Random() { return static_cast<float>(crt::rand() % (B + B) - B) / B; }
    void Init() {
        int i = 0;
        for (; i < B; ++i) {
            p[i] = i;
            for (int skipped = 0; skipped < 3; ++skipped) Random();  // g1 and g2, unused in 3-D
            for (float& c : g3[i]) c = Random();
            const float s =
                std::sqrt(g3[i][0] * g3[i][0] + g3[i][1] * g3[i][1] + g3[i][2] * g3[i][2]);
            for (float& c : g3[i]) c = c / s;
        }
        while (--i) std::swap(p[i], p[crt::rand() % B]);
        for (i = 0; i < B + 2; ++i) {
            p[B + i] = p[i];
            std::copy(g3[i], g3[i] + 3, g3[B + i]);
        }
    }
    static void Setup(float v, int& b0, int& b1, float& r0, float& r1) {
        const float t = v + B;
        b0 = static_cast<int>(t) & 255;
        b1 = (b0 + 1) & 255;
        r0 = t - static_cast<int>(t);
        r1 = r0 - 1.0f;
    }
    static float Curve(float t) {
        const float s = t * t * (3.0f - 2.0f * t);
        return (1.0f - std::cos(3.14159265f * s)) / 2.0f;
    }
    static float Lerp(float t, float a, float b) { return a + t * (b - a); }
    float At(int q, float rx, float ry, float rz) const {
        return rx * g3[q][0] + ry * g3[q][1] + rz * g3[q][2];
    }
    float Noise3(float x, float y, float z) const {
        int bx0, bx1, by0, by1, bz0, bz1;
        float rx0, rx1, ry0, ry1, rz0, rz1;
        Setup(x, bx0, bx1, rx0, rx1);
        Setup(y, by0, by1, ry0, ry1);
        Setup(z, bz0, bz1, rz0, rz1);
        const int i = p[bx0], j = p[bx1];
        const int b00 = p[i + by0], b10 = p[j + by0], b01 = p[i + by1], b11 = p[j + by1];
        const float sx = Curve(rx0), sy = Curve(ry0), sz = Curve(rz0);
        const float c =
            Lerp(sy, Lerp(sx, At(b00 + bz0, rx0, ry0, rz0), At(b10 + bz0, rx1, ry0, rz0)),
                 Lerp(sx, At(b01 + bz0, rx0, ry1, rz0), At(b11 + bz0, rx1, ry1, rz0)));
        const float d =
            Lerp(sy, Lerp(sx, At(b00 + bz1, rx0, ry0, rz1), At(b10 + bz1, rx1, ry0, rz1)),
                 Lerp(sx, At(b01 + bz1, rx0, ry1, rz1), At(b11 + bz1, rx1, ry1, rz1)));
        return Lerp(sz, c, d);
    }
    // Tileable sum over the corners (a, b, c) in order, a outermost.
    float Tileable(float x, float y, float z, float w, float h, float d) const {
        float sum = 0.0f;
        for (int corner = 0; corner < 8; ++corner) {
            const int a = corner >> 2, b = (corner >> 1) & 1, c = corner & 1;
            sum += Noise3(x - a * w, y - b * h, z - c * d) * (a ? x : w - x) * (b ? y : h - y) *
                   (c ? z : d - z);
        }
        return sum / (w * h * d);
    }
};

// A layer's share of an octave's weight at a given blend phase.
int ExpectedLayerWeight(double phase, float octaveWeight) {
    const double s = std::sin(phase * 1.0471975803375244);
    return static_cast<int>(s * s * 2.0 / 3.0 * octaveWeight * 16384.0);
}

// Octave grid expected from two consecutive layers at equal shares.
void ExpectTwoLayerBlend(const CWaveNoise& noise, int octave, int first) {
    const int share = ExpectedLayerWeight(1.0, noise.GetOctaveWeights()[octave]);
    EXPECT_EQ(share, ExpectedLayerWeight(2.0, noise.GetOctaveWeights()[octave]));
    EXPECT_NEAR(share, noise.GetOctaveWeights()[octave] * 8192.0f, 1.0f);
    const int* table = noise.GetNoiseTable();
    const int* layer0 = table + (first & 255) * CELLS;
    const int* layer1 = table + ((first + 1) & 255) * CELLS;
    const int* grid = noise.GetOctaveGrid(octave);
    for (int c = 0; c < CELLS; ++c) {
        ASSERT_EQ(grid[c], ((layer0[c] * share) >> 15) + ((layer1[c] * share) >> 15))
            << "octave " << octave << " cell " << c;
    }
}

}  // namespace

TEST(CWaveNoise, TableMatchesReferenceNoiseForSeed1) {
    const int* table = Seed1().GetNoiseTable();
    auto reference = std::make_unique<ReferenceNoise>();
    crt::srand(1);
    reference->Init();
    reference->Init();
    for (int index = 0; index < CWaveNoise::LAYER_COUNT * CELLS; ++index) {
        const double j = (crt::rand() % 100) * 0.00729927;
        if (index >= 40 && index % 997 != 0) continue;
        const int x = index % 16, y = index / 16 % 16, z = index / 256;
        const float f =
            reference->Tileable(float(x + j), float(y + j), float(z + j), 16.0f, 16.0f, 256.0f);
        ASSERT_EQ(table[index], static_cast<int>(f * 32768.0f)) << "entry " << index;
    }
}

TEST(CWaveNoise, TablePinnedForSeed1) {
    const int* table = Seed1().GetNoiseTable();
    const std::vector<int> first(table, table + 8);
    EXPECT_EQ(first, (std::vector<int>{14612, 3917, -7722, 1015, -601, 3217, -1857, 1791}));
    uint64_t hash = 1469598103934665603ull;
    for (int i = 0; i < CWaveNoise::LAYER_COUNT * CELLS; ++i)
        hash = (hash ^ static_cast<uint32_t>(table[i])) * 1099511628211ull;
    EXPECT_EQ(hash, 0x3ae12dedd82c8326ull);
}

TEST(CWaveNoise, TableIsReproducibleForASeed) {
    const int* seed1 = Seed1().GetNoiseTable();
    const int size = CWaveNoise::LAYER_COUNT * CELLS;
    EXPECT_TRUE(std::equal(seed1, seed1 + size, BuildWithSeed(1)->GetNoiseTable()));
    EXPECT_FALSE(std::equal(seed1, seed1 + size, BuildWithSeed(2)->GetNoiseTable()));
}

TEST(CWaveNoise, OctaveWeightsFallBy056AndAddUpToOne) {
    auto noise = FreshSeed1();
    noise->Advance(0, 1.0f);
    const float* weights = noise->GetOctaveWeights();
    float sum = 0.0f;
    for (int i = 0; i < CWaveNoise::OCTAVE_COUNT; ++i) sum += weights[i];
    EXPECT_NEAR(sum, 1.0f, 1e-6f);
    EXPECT_NEAR(weights[1] / weights[0], 0.56f, 1e-6f);
    EXPECT_NEAR(weights[7] / weights[6], 0.56f, 1e-6f);
}

TEST(CWaveNoise, OctavesBlendLayersByTime) {
    auto noise = FreshSeed1();
    noise->Advance(0, 1.0f);
    for (int octave = 0; octave < CWaveNoise::OCTAVE_COUNT; ++octave)
        ExpectTwoLayerBlend(*noise, octave, 0);
    const std::vector<int> atZero(noise->GetOctaveGrid(0), noise->GetOctaveGrid(0) + CELLS);

    noise->Advance(1000, 1.0f);
    EXPECT_EQ(noise->GetTime(), 1.0);
    ExpectTwoLayerBlend(*noise, 0, 1);

    noise->Advance(255000, 1.0f);
    EXPECT_EQ(noise->GetTime(), 256.0);
    EXPECT_EQ(std::vector<int>(noise->GetOctaveGrid(0), noise->GetOctaveGrid(0) + CELLS), atZero);
}

TEST(CWaveNoise, NegativeAndHugeTimesWrapTheLayerIndex) {
    auto noise = FreshSeed1();
    noise->Advance(1000, -1.0f);
    ExpectTwoLayerBlend(*noise, 0, 255);

    noise = FreshSeed1();
    noise->Advance(ULONG_MAX, 1.0f);
    ASSERT_GT(noise->GetTime(), 1e15);
    ExpectTwoLayerBlend(*noise, 0, static_cast<int>(static_cast<uint64_t>(noise->GetTime()) & 255));

    noise->Advance(ULONG_MAX, 3e38f);
    EXPECT_TRUE(std::isinf(noise->GetTime()));
    ExpectTwoLayerBlend(*noise, 0, 0);  // an overflowed time rests on layer 0
}

TEST(CWaveNoise, ImagesSumFourOctavesAndTileEvery128Texels) {
    auto noise = FreshSeed1();
    noise->Advance(1234, 1.0f);
    for (int n = 0; n < CWaveNoise::IMAGE_COUNT; ++n) {
        const int* g[4];
        for (int o = 0; o < 4; ++o) g[o] = noise->GetOctaveGrid(4 * n + o);
        // On every eighth texel each octave sits exactly on a cell.
        EXPECT_EQ(noise->SampleImage(n, 40, 72),
                  g[0][9 * 16 + 5] + g[1][2 * 16 + 10] + g[2][4 * 16 + 4] + g[3][8 * 16 + 8]);
        // Half-way between two cells of the coarsest octave.
        EXPECT_EQ(noise->SampleImage(n, 4, 0),
                  ((g[0][0] + g[0][1]) * 32 >> 6) + g[1][1] + g[2][2] + g[3][4]);
        for (int y = 0; y < SIDE; y += 3) {
            for (int x = 0; x < SIDE; x += 5) {
                const int texel = noise->SampleImage(n, x, y);
                ASSERT_EQ(noise->SampleImage(n, x + SIDE, y), texel);
                ASSERT_EQ(noise->SampleImage(n, x, y + SIDE), texel);
                ASSERT_EQ(noise->SampleImage(n, x - SIDE, y - SIDE), texel);
            }
        }
    }
}

TEST(CWaveNoise, OnlyImageZeroIsSmoothed) {
    auto noise = FreshSeed1();
    noise->Advance(777, 2.0f);
    std::vector<int> raw(CWaveNoise::IMAGE_COUNT * TEXELS);
    for (int i = 0; i < CWaveNoise::IMAGE_COUNT * TEXELS; ++i)
        raw[i] = noise->SampleImage(i / TEXELS, i % SIDE, i / SIDE % SIDE);
    EXPECT_TRUE(std::equal(raw.begin() + TEXELS, raw.end(), noise->GetImage(1)));
    CWaveNoise::SmoothFirstImage(raw.data());
    EXPECT_TRUE(std::equal(raw.begin(), raw.begin() + TEXELS, noise->GetImage(0)));
    EXPECT_EQ(noise->GetImage(2), nullptr);
}

TEST(CWaveNoiseSmoothing, LinearRampIsAFixedPoint) {
    std::vector<int> ramp(2 * TEXELS);
    for (int i = 0; i < 2 * TEXELS; ++i) ramp[i] = 3 * i - 5000;
    const std::vector<int> before = ramp;
    CWaveNoise::SmoothFirstImage(ramp.data());
    EXPECT_EQ(ramp, before);
}

TEST(CWaveNoiseSmoothing, NeighboursComeFromTheFlatArrayInPlace) {
    std::vector<int> e(2 * TEXELS, 0);
    e[5 * SIDE] = 1600;  // first column of row 5
    e[TEXELS] = 1600;    // image 1's first texel
    CWaveNoise::SmoothFirstImage(e.data());
    EXPECT_EQ(e[3 * SIDE + 126], 0);
    EXPECT_EQ(e[3 * SIDE + 127], 100);     // row 3's last column: lower right is row 5's first
    EXPECT_EQ(e[4 * SIDE], 212);           // 0.125 * (1600 + the smoothed 100)
    EXPECT_EQ(e[4 * SIDE + 1], 126);       // 0.125 * 212 + 0.0625 * 1600
    EXPECT_EQ(e[TEXELS - SIDE - 1], 100);  // the last smoothed texel sees image 1
    EXPECT_EQ(e[TEXELS], 1600);
    EXPECT_TRUE(
        std::all_of(e.begin() + TEXELS - SIDE, e.begin() + TEXELS, [](int v) { return v == 0; }));
}

TEST(CWaveNoise, TexelEncodingsCentreZero) {
    struct Row {
        const char* label;
        int value;
        unsigned l16;
        unsigned l8;
    };
    const Row rows[] = {
        {"zero", 0, 0x8000, 128},          {"one", 1, 0x8001, 128},
        {"minus one", -1, 0x7FFF, 128},    {"minus 255 truncates up", -255, 0x7F01, 128},
        {"minus 256", -256, 0x7F00, 127},  {"top of range", 32767, 0xFFFF, 255},
        {"bottom of range", -32768, 0, 0}, {"past the top wraps", 32768, 0, 0},
        {"int max", INT_MAX, 0x7FFF, 127}, {"int min", INT_MIN, 0x8000, 128},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(CWaveNoise::EncodeL16(row.value), row.l16) << row.label;
        EXPECT_EQ(CWaveNoise::EncodeL8(row.value), row.l8) << row.label;
    }
}
