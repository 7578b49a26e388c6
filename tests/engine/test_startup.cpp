#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "test-support.h"

class Startup : public ::testing::Test {
protected:
    TempWorkDir dir;
    void SetUp() override { ResetTestProg(); }
};

// The log lines of start-up and shutdown come in a fixed order: each step
// relies on the ones before it (the renderer on the core, the program on
// the renderer), and shutdown releases them in reverse.
TEST_F(Startup, StartAndShutdownLinesInOrder) {
    LogCapture log;
    ASSERT_TRUE(StartEngine());
    // The sound feeder runs on the engine's own thread service.
    EXPECT_EQ(KDT_GetNumberOfThreadsRunning(), 1);
    EXPECT_EQ(test_prog.init_calls, 1);
    EXPECT_TRUE(kd_state.initialised);
    StopEngine();
    EXPECT_EQ(test_prog.shutdown_calls, 1);
    EXPECT_EQ(KDT_GetNumberOfThreadsRunning(), 0);

    const char* order[] = {
        "Logging Verbose Level set to",
        "KODO Core PreInitialized.",
        "Endianness: 1234.",
        "Initializing RendImp.",
        "Initializing Program 'Test Program'..",
        "KODO Shutdown.",
        "Waiting for threads to exit... (1 threads)",  // the sound feeder, like any thread
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
    ASSERT_GE(kd->GetNumberOfSearchPaths(), 2);
    EXPECT_STREQ(kd->GetSearchPath(0), "user://");
    EXPECT_STREQ(kd->GetSearchPath(1), "res://");
    StopEngine();
}

// Lines printed before the console starts (the interface check, a damaged
// settings file) are in the log file itself, before the start-up lines.
TEST_F(Startup, LinesBeforeTheConsoleReachTheLogFile) {
    std::filesystem::create_directories("app/native");
    std::ofstream("app/native/prog.xml")
        << "<root><array id=\"PARAMETERS\"><node id=\"DEVELOPER\" logging=\"1\" console=\"1\"/>\n"
           "<node id=\"APPLICATION\" fps_limit=\"30\" bad/></array></root>";
    test_prog.version = 1200;
    ASSERT_TRUE(StartEngine());
    StopEngine();
    std::string log;
    for (auto& e : std::filesystem::recursive_directory_iterator("data"))
        if (e.path().filename() == "kodo-0001.log") log = (std::stringstream() << std::ifstream(e.path()).rdbuf()).str();
    ASSERT_FALSE(log.empty()) << "no log file";
    size_t version = log.find("incompatible KODO interface (1200 instead of 1201)");
    const char* damage_line = "KD_XML 'res://prog.xml' is damaged at line 2";
    size_t damage = log.find(damage_line);
    size_t started = log.find("KODO Core PreInitialized.");
    EXPECT_NE(version, std::string::npos) << log;
    EXPECT_NE(damage, std::string::npos) << log;
    EXPECT_LT(version, started);
    EXPECT_LT(damage, started);
    EXPECT_EQ(log.find(damage_line, damage + 1), std::string::npos) << "written once";
}

TEST_F(Startup, ClockStartsNearZero) {
    ASSERT_TRUE(StartEngine());
    EXPECT_LT(kd->GetTime(), 1000u);
    StopEngine();
}
