#include <gtest/gtest.h>

#include "platform/crt_rand.h"

// Reference sequences of the Microsoft C runtime's rand().
TEST(CrtRand, DefaultSeedMatchesMicrosoftSequence) {
    crt::srand(1);
    const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358};
    for (int value : expected) EXPECT_EQ(crt::rand(), value);
}

TEST(CrtRand, SeedZeroAndReseedingReproduce) {
    crt::srand(0);
    const int expected[] = {38, 7719, 21238, 2437, 8855, 11797, 8365, 32285};
    for (int value : expected) EXPECT_EQ(crt::rand(), value);
    crt::srand(0);
    EXPECT_EQ(crt::rand(), 38);
}

TEST(CrtRand, StaysWithinRange) {
    crt::srand(12345);
    for (int i = 0; i < 100000; ++i) {
        const int v = crt::rand();
        ASSERT_GE(v, 0);
        ASSERT_LE(v, crt::CRT_RAND_MAX);
    }
}
