#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/crt_rand.h"
#include "UtilsSrc/calc.h"
#include "UtilsSrc/utility.h"

using Vastrel::Utils::Calc;
using Vastrel::Utils::Utility;

namespace {

constexpr double kScale = 3.051850947599719e-5;

// The next numbers of a generator seeded like the library's.
struct ReferenceDraws {
    explicit ReferenceDraws(unsigned int seed) : state(seed) {}
    double Next() {
        state = state * 214013u + 2531011u;
        return ((state >> 16) & 0x7FFF) * kScale;
    }
    unsigned int state;
};

}  // namespace

TEST(Calc, RandomInitSeedsTheSharedGenerator) {
    Utility::RandomInit(1234);
    const int first = crt::rand();
    crt::srand(1234);
    EXPECT_EQ(crt::rand(), first);
}

TEST(Calc, VectorRangesDrawComponentsInOrderXYZW) {
    Utility::RandomInit(99);
    const D3DXVECTOR4 got = Calc<D3DXVECTOR4>::GetRandomValue(D3DXVECTOR4(0, 10, -4, 100), D3DXVECTOR4(1, 20, 4, 100));
    ReferenceDraws draws(99);
    EXPECT_EQ(got.x, static_cast<float>(0 + draws.Next() * 1.0f));
    EXPECT_EQ(got.y, static_cast<float>(10 + draws.Next() * 10.0f));
    EXPECT_EQ(got.z, static_cast<float>(-4 + draws.Next() * 8.0f));
    EXPECT_EQ(got.w, 100.0f);
    draws.Next();  // an empty range still consumes its draw
    EXPECT_EQ(crt::rand() * kScale, draws.Next());
}

TEST(Calc, MaximumFormsScaleByTheDraw) {
    Utility::RandomInit(5);
    ReferenceDraws draws(5);
    EXPECT_EQ(Calc<float>::GetRandomValue(5.0f, 5.0f), 5.0f);
    draws.Next();
    EXPECT_EQ(Calc<float>::GetRandomValue(8.0f), static_cast<float>(draws.Next() * 8.0f));
    const D3DXVECTOR2 v = Calc<D3DXVECTOR2>::GetRandomValue(D3DXVECTOR2(2, -2));
    EXPECT_EQ(v.x, static_cast<float>(draws.Next() * 2.0f));
    EXPECT_EQ(v.y, static_cast<float>(draws.Next() * -2.0f));
}

TEST(Calc, UnsignedMaximumIsReachedOnlyByTheTopDraw) {
    crt::srand(1);
    int topDraws = 0;
    for (int i = 0; i < 200000; ++i) {
        const unsigned int got = Calc<unsigned int>::GetRandomValue(10u);
        ASSERT_LE(got, 10u);
        topDraws += got == 10u;
    }
    crt::srand(1);
    int expectedTop = 0;
    for (int i = 0; i < 200000; ++i) expectedTop += crt::rand() == 32767;
    EXPECT_GT(expectedTop, 0);
    EXPECT_EQ(topDraws, expectedTop);
}

TEST(Calc, InterpolationExtrapolatesAndAnglesConvert) {
    EXPECT_EQ(Calc<float>::LinearInterpolation(1.0f, 3.0f, 0.5f), 2.0f);
    EXPECT_EQ(Calc<float>::LinearInterpolation(1.0f, 3.0f, 2.0f), 5.0f);
    EXPECT_EQ(Calc<D3DXVECTOR3>::LinearInterpolation(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(2, 4, 6), -0.5f),
              D3DXVECTOR3(-1, -2, -3));
    EXPECT_EQ(Calc<float>::DegreeToRadian(180.0f), 180.0f * 0.017453292f);
}

TEST(Calc, RetmidWrapsIntoTheRange) {
    const struct {
        float value, a, b, expected;
    } cases[] = {
        {7.5f, 0, 5, 2.5f}, {-1, 0, 5, 4},   {5, 0, 5, 5},      {0, 0, 5, 0},    {3, 2, 2, 2},
        {7.5f, 5, 0, 2.5f}, {10, 0, 5, 5},   {-5, 0, 5, 0},     {12, 0, 5, 2},   {-0.5f, -1, 1, -0.5f},
        {5000.25f, 0, 1, 0.25f}, {10000, 0, 1, 1}, {-10000, 0, 1, 0}, {-4999.75f, 0, 1, 0.25f},
    };
    for (const auto& c : cases) {
        float value = c.value;
        Calc<float>::retmid(value, c.a, c.b);
        EXPECT_EQ(value, c.expected) << "retmid(" << c.value << ", " << c.a << ", " << c.b << ")";
    }
}

TEST(Calc, RetmidReturnsPromptlyForFarAndNonFiniteValues) {
    const float inf = std::numeric_limits<float>::infinity();
    const float far[] = {1e30f, -1e30f, 3.4e38f, 16777217.0f * 8};
    for (const float start : far) {
        float value = start;
        Calc<float>::retmid(value, 0.0f, 0.1f);
        EXPECT_GE(value, 0.0f) << start;
        EXPECT_LE(value, 0.1f) << start;
    }
    const float nonFinite[] = {inf, -inf, std::numeric_limits<float>::quiet_NaN()};
    for (const float start : nonFinite) {
        float value = start;
        Calc<float>::retmid(value, 5.0f, 2.0f);
        EXPECT_EQ(value, 2.0f) << start;
    }
}
