#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "UtilsSrc/cmyxmlparser.h"
#include "iparticlesystem.h"

using Vastrel::Utils::CMyXMLNode;

namespace {

// Records each firing as "<type>@<clock after the advance>" rounded to 0.1 s.
class CRecordingTimer : public IPSTimer {
public:
    void OnTimer(const TimerProps& props, float lateness) override {
        fired.push_back(std::to_string(props.eType) + "@" + std::to_string(int((props.fTime - lateness) * 10 + 0.5f)));
        if (stopOnEnd && props.eType == TIMER_END) StopTimer();
    }

    // Advances n times by dt and returns the events fired, or "-" for an advance that fired none.
    std::vector<std::string> Run(int n, float dt) {
        std::vector<std::string> log;
        for (int i = 0; i < n; ++i) {
            fired.clear();
            UpdateTimer(dt);
            log.push_back(fired.empty() ? "-" : fired.front());
        }
        return log;
    }

    std::vector<std::string> fired;
    bool stopOnEnd = false;
};

struct TimelineFixture : ::testing::Test {
    CRecordingTimer timer;

    void SetUp() override {
        timer.AddTimer(1.0f, IPSTimer::TIMER_START);
        timer.AddTimer(3.0f, IPSTimer::TIMER_END);
        timer.StartTimer();
    }
};

}  // namespace

TEST_F(TimelineFixture, LoopToZeroRepeatsThePassInStepsOfPointFour) {
    const std::vector<std::string> expected = {"-", "-", "0@12", "-", "-", "-", "-", "2@32",
                                               "-", "-", "0@12", "-", "-", "-", "-", "2@32"};
    EXPECT_EQ(expected, timer.Run(16, 0.4f));
    EXPECT_NEAR(0.0f, timer.GetTickCount(), 1e-5f);
}

TEST_F(TimelineFixture, LoopToTwoFiresTheEarlierEventAtOnce) {
    timer.SetLoop(true, 2.0f);
    timer.Run(8, 0.4f);
    EXPECT_FLOAT_EQ(2.0f, timer.GetTickCount());
    const std::vector<std::string> expected = {"0@24", "-", "2@32"};
    EXPECT_EQ(expected, timer.Run(3, 0.4f));
    EXPECT_FLOAT_EQ(2.0f, timer.GetTickCount());
}

TEST_F(TimelineFixture, WithoutLoopNothingFiresAgain) {
    timer.SetLoop(false, 0.0f);
    timer.Run(8, 0.4f);
    const std::vector<std::string> quiet(10, "-");
    EXPECT_EQ(quiet, timer.Run(10, 0.4f));
    EXPECT_NEAR(7.2f, timer.GetTickCount(), 1e-4f);
}

TEST_F(TimelineFixture, AnEventExactlyAtTheClockWaitsForTheNextAdvance) {
    timer.SetLoop(false, 0.0f);
    EXPECT_EQ((std::vector<std::string>{"-", "-", "0@15"}), timer.Run(3, 0.5f));  // lands on 1.0, then passes it
}

// The boundary choice: landing exactly on the last event fires it before the jump back.
TEST_F(TimelineFixture, LandingExactlyOnTheLastEventFiresItBeforeTheLoop) {
    EXPECT_EQ((std::vector<std::string>{"-", "-", "0@15", "-", "-", "2@30"}), timer.Run(6, 0.5f));
    EXPECT_EQ(0.0f, timer.GetTickCount());
    EXPECT_EQ((std::vector<std::string>{"-", "-", "0@15"}), timer.Run(3, 0.5f));
}

TEST_F(TimelineFixture, AStopInsideOnTimerRewindsButKeepsTheEventSpent) {
    timer.stopOnEnd = true;
    timer.Run(8, 0.4f);
    EXPECT_EQ(0.0f, timer.GetTickCount());
    EXPECT_FALSE(timer.UpdateTimer(0.4f));
    timer.StartTimer();
    EXPECT_EQ(std::vector<std::string>(8, "-"), timer.Run(8, 0.4f));  // spent until the loop jumps back
    EXPECT_EQ((std::vector<std::string>{"-", "-", "0@12"}), timer.Run(3, 0.4f));
}

TEST(Timeline, EventListRules) {
    CRecordingTimer timer;
    EXPECT_TRUE(timer.AddTimer(2.0f, IPSTimer::TIMER_PAUSE));
    EXPECT_FALSE(timer.AddTimer(2.0f, IPSTimer::TIMER_END));
    EXPECT_TRUE(timer.AddTimer(1.0f, IPSTimer::TIMER_START));
    ASSERT_EQ(2, timer.GetTimesCount());
    EXPECT_EQ(1.0f, timer.GetTimes()[0].fTime);
    EXPECT_EQ(IPSTimer::TIMER_PAUSE, timer.GetTimes()[1].eType);
    EXPECT_TRUE(timer.SetTimer(2.0f, IPSTimer::TIMER_END));
    EXPECT_FALSE(timer.SetTimer(5.0f, IPSTimer::TIMER_END));
    EXPECT_EQ(timer.GetTimes().end(), timer.GetTimerIterator(5.0f));
    EXPECT_TRUE(timer.RemoveTimer(1.0f));
    EXPECT_FALSE(timer.RemoveTimer(1.0f));
    EXPECT_EQ(IPSTimer::TIMER_END, timer.GetTimes()[0].eType);
}

TEST(Timeline, WithoutEventsStartSendsOneStartAndNothingLoops) {
    CRecordingTimer timer;
    EXPECT_FALSE(timer.UpdateTimer(1.0f));
    timer.StartTimer();
    EXPECT_EQ((std::vector<std::string>{"0@0"}), timer.fired);
    EXPECT_EQ((std::vector<std::string>{"-", "-"}), timer.Run(2, 1.0f));
    EXPECT_FLOAT_EQ(2.0f, timer.GetTickCount());
}

TEST(Timeline, PauseKeepsTheClockAndClearRestoresDefaults) {
    CRecordingTimer timer;
    timer.AddTimer(5.0f, IPSTimer::TIMER_END);
    timer.SetLoop(false, 3.0f);
    timer.StartTimer();
    timer.UpdateTimer(1.5f);
    timer.PauseTimer();
    EXPECT_FALSE(timer.UpdateTimer(1.0f));
    EXPECT_EQ(1.5f, timer.GetTickCount());
    timer.ClearTimer();
    float loopTime = -1.0f;
    EXPECT_TRUE(timer.GetLoop(loopTime));
    EXPECT_EQ(0.0f, loopTime);
    EXPECT_EQ(0, timer.GetTimesCount());
    EXPECT_EQ(0.0f, timer.GetTickCount());
}

TEST(TimelineDocument, SaveThenInitReproducesEventsAndLoop) {
    CRecordingTimer saved;
    saved.AddTimer(1.0f, IPSTimer::TIMER_START);
    saved.AddTimer(2.5f, IPSTimer::TIMER_PAUSE);
    saved.SetLoop(false, 0.5f);
    CMyXMLNode owner(nullptr, "ParticleSystem");
    saved.SaveTimer(&owner);
    ASSERT_EQ(1u, owner.GetChildrens().size());

    CRecordingTimer loaded;
    loaded.InitTimer(owner.GetChildrens()[0]);
    float loopTime = 0.0f;
    EXPECT_FALSE(loaded.GetLoop(loopTime));
    EXPECT_EQ(0.5f, loopTime);
    ASSERT_EQ(2, loaded.GetTimesCount());
    EXPECT_EQ(2.5f, loaded.GetTimes()[1].fTime);
    EXPECT_EQ(IPSTimer::TIMER_PAUSE, loaded.GetTimes()[1].eType);
}

TEST(TimelineDocument, NothingIsSavedWithoutEvents) {
    CRecordingTimer timer;
    timer.SetLoop(false, 2.0f);
    CMyXMLNode owner(nullptr, "ParticleSystem");
    timer.SaveTimer(&owner);
    EXPECT_TRUE(owner.GetChildrens().empty());
}

TEST(TimelineDocument, UnknownOrIncompleteTimesAreSkipped) {
    CMyXMLNode element(nullptr, "Timer");
    auto add = [&](const char* name, const char* time, const char* type) {
        CMyXMLNode* child = element.AddChildren(name);
        if (time) child->SetAttribute("time", CString(time));
        if (type) child->SetAttribute("type", CString(type));
    };
    add("Time", "1.0", "start");
    add("Time", "2.0", nullptr);
    add("Time", nullptr, "END");
    add("Tick", "3.0", "END");
    add("Time", "4.0", "END");
    CRecordingTimer timer;
    timer.InitTimer(&element);
    ASSERT_EQ(1, timer.GetTimesCount());
    EXPECT_EQ(4.0f, timer.GetTimes()[0].fTime);
}
