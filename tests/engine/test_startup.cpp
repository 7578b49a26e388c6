#include <gtest/gtest.h>

#include "test-support.h"

class Startup : public ::testing::Test {
protected:
    TempWorkDir dir;
    void SetUp() override { ResetTestProg(); }
};

// The log lines of start-up and shutdown come in the documented order.
TEST_F(Startup, StartAndShutdownLinesInOrder) {
    LogCapture log;
    ASSERT_TRUE(StartEngine());
    EXPECT_EQ(test_prog.init_calls, 1);
    EXPECT_TRUE(kd_state.initialised);
    StopEngine();
    EXPECT_EQ(test_prog.shutdown_calls, 1);

    const char* order[] = {
        "Logging Verbose Level set to",
        "KODO Core PreInitialized.",
        "Endianness: 1234.",
        "Initializing RendImp.",
        "Initializing Program 'Test Program'..",
        "KODO Shutdown.",
        "Waiting for threads to exit... (0 threads)",
        "Releasing Input Implementations.",
        "Releasing sounds.",
        "Releasing fonts.",
        "Releasing Sound Implementation.",
        "Kodo RendImp Shutdown.",
        "Closing File Openers...",
    };
    int previous = -1;
    for (const char* line : order) {
        int at = log.IndexOf(line);
        EXPECT_GT(at, previous) << line;
        previous = at;
    }
}

TEST_F(Startup, ParametersEventReachesTheProgramBeforeInit) {
    ASSERT_TRUE(StartEngine());
    ASSERT_FALSE(test_prog.events.empty());
    const kd_event_t& first = test_prog.events.front();
    EXPECT_EQ(first.type, KD_EVENT_PARMS);
    EXPECT_EQ((kodo_t*)first.id, kd);
    EXPECT_EQ((kd_parms_t*)first.x, &kd_prog->parms);
    StopEngine();
}

TEST_F(Startup, ProgramWhoseInitFailsGetsFramesButNoShutdown) {
    test_prog.init_result = false;
    LogCapture log;
    ASSERT_TRUE(StartEngine());
    EXPECT_FALSE(kd_state.program_initialised);
    kd_state.active = true;
    KDI_Frame(8);
    KDI_Frame(8);
    EXPECT_EQ(test_prog.update_calls, 2);
    EXPECT_EQ(test_prog.draw_calls, 2);
    StopEngine();
    EXPECT_EQ(test_prog.shutdown_calls, 0);
}

TEST_F(Startup, SignalShutdownSetsQuitAndTheRecordFlag) {
    ASSERT_TRUE(StartEngine());
    EXPECT_FALSE(kd_state.quit);
    EXPECT_TRUE(kd->SignalShutdown());
    EXPECT_TRUE(kd_state.quit);
    EXPECT_TRUE(kd_prog->parms.shutdown_signalled);
    StopEngine();
}

TEST_F(Startup, UserDataIsSearchedBeforeProgramData) {
    ASSERT_TRUE(StartEngine());
    if (kd->GetNumberOfSearchPaths() >= 2) {
        EXPECT_STREQ(kd->GetSearchPath(0), "user://");
        EXPECT_STREQ(kd->GetSearchPath(1), "res://");
    }
    StopEngine();
}

TEST_F(Startup, ClockStartsNearZero) {
    ASSERT_TRUE(StartEngine());
    EXPECT_LT(kd->GetTime(), 1000u);
    StopEngine();
}
