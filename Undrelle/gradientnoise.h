// Perlin's classic three-dimensional gradient noise, built from the C runtime
// generator, plus the tileable blend of it that the wave noise table uses.
//
// Everything is float: the results must match bit for bit wherever the same
// seed is used, so no step may widen to double.
#pragma once

#include <array>

namespace detail {

class GradientNoise {
public:
    // Draws the tables once.
    GradientNoise();

    // Draws a fresh set of tables from the C runtime generator.
    void Initialise();

    // Gradient noise at a point within a few hundred units of the origin.
    float Evaluate(float x, float y, float z) const;

    // Noise that tiles with the given periods, for points inside one period.
    float EvaluateTileable(float x, float y, float z, float width, float height, float depth) const;

private:
    struct Gradient {
        float x;
        float y;
        float z;
    };

    // Gradients drawn per lattice entry, and the table length with its mirror.
    static constexpr int TABLE_SIZE = 4096;
    static constexpr int TABLE_LENGTH = TABLE_SIZE + TABLE_SIZE + 2;

    void DrawEntry(int index);
    void ShufflePermutation();
    void MirrorTables();

    std::array<int, TABLE_LENGTH> m_permutation{};
    std::array<Gradient, TABLE_LENGTH> m_gradients{};
};

}  // namespace detail
