#include <gtest/gtest.h>

#include "UtilsSrc/ctickmanager.h"
#include "platform/perfcounter.h"

using Vastrel::Utils::CTickManager;

namespace {

class ManualTicks : public CTickManager {
public:
    ManualTicks(DWORD interval, DWORD start) : CTickManager(interval), now(start) { Reset(); }

    DWORD now;

protected:
    DWORD Now() const override { return now; }
};

}  // namespace

TEST(CTickManager, GetWaitsForMoreThanTheInterval) {
    ManualTicks ticks(100, 1000);
    ticks.now = 1100;
    EXPECT_FALSE(ticks.Get());
    ticks.now = 1101;
    EXPECT_TRUE(ticks.Get());
    EXPECT_EQ(ticks.GetManagerElapsedTime(), 101u);
    EXPECT_FALSE(ticks.Get()) << "the tick restarts the interval";
}

TEST(CTickManager, ReadingsSurviveTheCounterWrap) {
    ManualTicks ticks(100, 0xFFFFFFF0u);
    ticks.now = 0x50;
    EXPECT_FALSE(ticks.Get());
    EXPECT_EQ(ticks.GetElapsedTime(), 0x60u);
    ticks.now = 0x60;
    EXPECT_TRUE(ticks.Get());
    EXPECT_EQ(ticks.GetManagerElapsedTime(), 0x70u);
}

TEST(CTickManager, ElapsedTimeCountsFromThePreviousCall) {
    ManualTicks ticks(10, 500);
    ticks.now = 530;
    EXPECT_EQ(ticks.GetElapsedTime(), 30u);
    ticks.now = 545;
    EXPECT_EQ(ticks.GetElapsedTime(), 15u);
    ticks.Reset();
    EXPECT_EQ(ticks.GetElapsedTime(), 0u);
    EXPECT_EQ(ticks.GetManagerElapsedTime(), 0u);
}

TEST(CTickManager, DelayDividesLongRequestsByTwentyUntilBelowFifty) {
    struct Row {
        DWORD requested, waited;
    };
    const Row rows[] = {{0, 0},    {49, 49},      {50, 2},           {999, 49},
                        {1000, 2}, {19999, 49}, {0xFFFFFFFFu, 3}};
    for (const Row& row : rows) {
        EXPECT_EQ(Vastrel::Utils::detail::DelayMilliseconds(row.requested), row.waited)
            << "Delay(" << row.requested << ")";
    }
    CTickManager::Delay(1000);
}

TEST(CTickManager, RealClockCountsMillisecondsOfTheHighResolutionCounter) {
    LARGE_INTEGER counter, frequency;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    const DWORD expected = static_cast<DWORD>(counter.QuadPart / (frequency.QuadPart / 1000));
    const DWORD tick = CTickManager(0).GetCurrentTick();
    EXPECT_LT(tick - expected, 1000u) << "tick " << tick << ", counter in ms " << expected;
}
