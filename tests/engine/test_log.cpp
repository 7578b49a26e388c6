// The log and console: numbered log files, numbered and timed lines,
// level filtering, splitting, long messages, the line limit, popups and
// the console's input history.
#include <regex>
#include <thread>

#include "fs-fixture.h"

class Log : public FsTest {
protected:
    void SetUp() override {
        FsTest::SetUp();
        kd_state.console_enabled = true;
        kd_state.logging = true;
    }
    std::string LogText() {
        char* native = KD_ConvertStaticPathToNativeOSPath(kd_con.logName);
        std::string text = native ? ReadFile(native) : "";
        free(native);
        return text;
    }
};

TEST_F(Log, FirstFreeNumberAndNumberedTimedLines) {
    WriteFile("data/Dev/Game/logs/kodo-0001.log", "old");
    WriteFile("data/Dev/Game/logs/kodo-0002.log", "old");
    KDI_InitConsole();
    ASSERT_TRUE(kd_con.enabled);
    EXPECT_STREQ(kd_con.logName, "user://logs/kodo-0003.log");
    KD_PrintDebugf(1, "first %s\n", "line");
    KD_Printf("second");
    std::string text = LogText();
    std::regex expected(
        "KODO \\(core version 2958\\)\n-{25}\nLogging started on \\d{4}-\\d\\d-\\d\\d\\."
        "0001: \\[\\d\\d:\\d\\d\\.\\d\\d\\] first line\n"
        "0002: \\[\\d\\d:\\d\\d\\.\\d\\d\\] second\n");
    EXPECT_TRUE(std::regex_match(text, expected)) << text;
    EXPECT_EQ(ReadFile("data/Dev/Game/logs/kodo-0001.log"), "old");
    EXPECT_EQ(kd_state.open_file_handles, 0);
}

TEST_F(Log, LevelsBelowTheVerboseLevelAreDropped) {
    kd_state.verbose_level = 1;
    KDI_InitConsole();
    LogCapture log;
    KD_Printf("info via Printf\n");
    KD_PrintDebugf(0, "info\n");
    KD_PrintDebugf(1, "warning\n");
    KD_PrintDebugf(3, "system\n");
    KD_PrintDebugf(-5, "negative\n");  // below every level
    ASSERT_EQ(kd_con.lines.count, 2);
    EXPECT_STREQ(kd_con.lines[0].text, "warning\n");
    EXPECT_EQ(kd_con.lines[0].level, 1);
    EXPECT_EQ(kd_con.lines[1].level, 3);
    EXPECT_EQ(kd_con.counters[0], 0);
    EXPECT_EQ(kd_con.counters[1], 1);
    EXPECT_EQ(log.lines.size(), 2u);
    // Odd levels count as errors.
    KD_PrintDebugf(40, "odd\n");
    EXPECT_EQ(kd_con.lines[2].level, 2);
}

TEST_F(Log, MultiLineTextsBecomeOneLinePerPiece) {
    kd_state.logging = false;
    KDI_InitConsole();
    KD_PrintDebugf(1, "a\nb");
    ASSERT_EQ(kd_con.lines.count, 2);
    EXPECT_STREQ(kd_con.lines[0].text, "a");
    EXPECT_STREQ(kd_con.lines[1].text, "b");
    EXPECT_EQ(kd_con.lines[1].number, kd_con.lines[0].number + 1);
    // Pieces longer than a token buffer are kept too.
    std::string longPiece(300, 'x');
    KD_PrintDebugf(1, "%s\ntail\n", longPiece.c_str());
    ASSERT_EQ(kd_con.lines.count, 4);
    EXPECT_EQ(std::string(kd_con.lines[2].text), longPiece);
    EXPECT_STREQ(kd_con.lines[3].text, "tail");
}

// Over-long messages are cut, never lost; in the file a long line keeps
// its line end so the next line starts afresh.
TEST_F(Log, LongMessagesAreCutNotDropped) {
    KDI_InitConsole();
    std::string huge(5000, 'h');
    KD_PrintDebugf(1, "%s", huge.c_str());
    ASSERT_EQ(kd_con.lines.count, 1);
    EXPECT_EQ(strlen(kd_con.lines[0].text), 4095u);
    std::string wide(2000, 'w');
    KD_PrintDebugf(1, "%s\n", wide.c_str());
    KD_PrintDebugf(1, "after\n");
    std::string text = LogText();
    EXPECT_NE(text.find("] " + wide + "\n0003: ["), std::string::npos);
    EXPECT_NE(text.find("] after\n"), std::string::npos);
}

TEST_F(Log, FprintfNeverCutsAValue) {
    kd_file_t* f = KD_OpenFile("user://long.txt", "w");
    ASSERT_NE(f, nullptr);
    std::string value(3000, 'v');
    EXPECT_EQ(KD_fprintf(f, "<%s>", value.c_str()), 3002);
    EXPECT_EQ(KD_fprintf(f, "%d", 42), 2);
    KD_CloseFile(f);
    EXPECT_EQ(ReadFile("data/Dev/Game/long.txt"), "<" + value + ">42");
}

// Developer mode's copy on stderr stops at the log's bound, with one line.
TEST_F(Log, TheCopyOnStderrStopsAtTheLogsBound) {
    kd_state.logging = false;
    kd_state.developer_mode = true;
    KDI_InitConsole();
    std::string line(1000, 'e');
    testing::internal::CaptureStderr();
    for (int i = 0; i < 5000; i++) KD_PrintDebugf(1, "%s\n", line.c_str());
    std::string copy = testing::internal::GetCapturedStderr();
    kd_state.developer_mode = false;
    const std::string last = "This run's copy of the log on stderr has reached 4 MB: the rest of it is dropped.\n";
    EXPECT_LE(copy.size(), (4u << 20) + last.size());
    EXPECT_EQ(copy.find(last), copy.size() - last.size());
    EXPECT_EQ(copy.find("dropped"), copy.rfind("dropped"));
}

static void LoaderThread(void*) { KD_PrintDebugf(1, "from the worker\n"); }

TEST_F(Log, WorkerLinesNameTheirThread) {
    KDI_InitConsole();
    KD_PrintDebugf(1, "from main\n");
    KD_CreateThread("loader", LoaderThread, nullptr, 0);
    // Counted until the thread has let go of everything of the engine's.
    for (int i = 0; i < 2000 && KDT_GetNumberOfThreadsRunning() > 0; i++) KDT_Sleep(1);
    ASSERT_EQ(KDT_GetNumberOfThreadsRunning(), 0);
    std::string text = LogText();
    EXPECT_TRUE(std::regex_search(text, std::regex("0001: \\[\\d\\d:\\d\\d\\.\\d\\d\\] from main\n")));
    EXPECT_TRUE(std::regex_search(text, std::regex("0002: \\[\\d\\d:\\d\\d\\.\\d\\d\\] \\[loader\\]> from the worker\n")));
    ASSERT_EQ(kd_con.lines.count, 2);
    EXPECT_STREQ(kd_con.lines[0].thread, "MAIN");
    EXPECT_STREQ(kd_con.lines[1].thread, "loader");
}

TEST_F(Log, TheConsoleKeepsAtMost8192Lines) {
    kd_state.logging = false;
    KDI_InitConsole();
    for (int i = 1; i <= 8193; i++) KD_PrintDebugf(1, "line %d\n", i);
    ASSERT_EQ(kd_con.lines.count, 8192);
    EXPECT_STREQ(kd_con.lines[0].text, "...");
    EXPECT_EQ(kd_con.lines[0].number, 0);
    EXPECT_EQ(kd_con.lines[0].thread, nullptr);
    EXPECT_STREQ(kd_con.lines[1].text, "line 3\n");
    EXPECT_STREQ(kd_con.lines[8191].text, "line 8193\n");
}

TEST_F(Log, DisabledConsoleKeepsAndWritesNothing) {
    kd_state.console_enabled = false;
    KDI_InitConsole();
    KD_PrintDebugf(1, "nothing kept\n");
    EXPECT_EQ(kd_con.lines.count, 0);
    EXPECT_FALSE(std::filesystem::exists("data/Dev/Game/logs"));
}

TEST_F(Log, PopupsShowOncePerText) {
    EnableDeveloperPopups();
    KDI_InitConsole();
    LogCapture log;
    KD_Popupf(1, "hello %d\n", 1);
    KD_Popupf(1, "hello %d\n", 1);
    KD_Popupf(1, "hello %d\n", 2);
    int ones = 0;
    for (auto& l : log.lines) ones += l == "KD: hello 1\n";
    EXPECT_EQ(ones, 1);
    EXPECT_TRUE(log.Contains("KD: hello 2"));

    log.lines.clear();
    kd_state.verbose_level = 2;
    KD_Popupf(1, "below the level\n");
    kd_state.verbose_level = 0;
    kd_state.developer_mode = false;
    KD_Popupf(1, "not a developer\n");
    EXPECT_TRUE(log.lines.empty());
    EXPECT_TRUE(LogText().find("below the level") == std::string::npos);
}

TEST_F(Log, PopupsFromWorkersWaitForTheFrame) {
    EnableDeveloperPopups();
    KDI_InitConsole();
    LogCapture log;
    std::thread worker([] { KD_Popupf(1, "from a worker\n"); });
    worker.join();
    EXPECT_FALSE(log.Contains("KD: from a worker"));
    KDI_FlushPopups();
    EXPECT_TRUE(log.Contains("KD: from a worker"));
    log.lines.clear();
    KDI_FlushPopups();
    EXPECT_TRUE(log.lines.empty());
}

static std::vector<std::string> entered_lines;
static int CaptureEvent(kd_event_t e) {
    if (e.type == KD_EVENT_CONSOLE_LINE) entered_lines.push_back((const char*)e.id);
    return 0;
}

TEST_F(Log, InputLineAndHistory) {
    kd_state.logging = false;
    KDI_InitConsole();
    record.EventProc = CaptureEvent;
    kd_prog = &record;
    kd_state.initialised = true;
    entered_lines.clear();
    auto type = [](const char* s) {
        for (const char* p = s; *p; p++) {
            kd_event_t e{};
            e.type = KD_EVENT_CHAR;
            e.id = (unsigned char)*p;
            kd_con.ProcessEvent(&e);
        }
    };
    auto key = [](int k) {
        kd_event_t e{};
        e.type = KD_EVENT_KEY_DOWN;
        e.id = k;
        kd_con.ProcessEvent(&e);
    };
    type("one\r");
    type("two\r");
    type("thrx\bee\r");
    ASSERT_EQ(entered_lines.size(), 3u);
    EXPECT_EQ(entered_lines[2], "three");
    EXPECT_STREQ(kd_con.lines[2].text, "three\n");

    const char* cycle[] = {"three", "two", "one", "", "three", "two"};
    for (const char* want : cycle) {
        key(38);
        EXPECT_STREQ(kd_con.input, want);
    }
    type("\r");  // entering while browsing drops the temporary entry
    EXPECT_EQ(kd_con.history.count, 4);
    EXPECT_STREQ(kd_con.history[3], "two");

    type("abc");
    key(36);  // HOME
    type("X");
    EXPECT_STREQ(kd_con.input, "Xabc");
    key(35);  // END
    EXPECT_EQ(kd_con.cursor, 4);
    std::string flood(600, 'f');
    type(flood.c_str());
    EXPECT_EQ(strlen(kd_con.input), 511u);
}

TEST_F(Log, ToggleOnlyWhenEnabled) {
    kd_state.console_toggle_key = '`';
    kd_state.logging = false;
    kd_state.console_enabled = false;
    KDI_InitConsole();
    kd_event_t e{};
    e.type = KD_EVENT_CHAR;
    e.id = '`';
    EXPECT_TRUE(KDI_ConsoleHandleEvent(&e));  // never reaches the program
    EXPECT_FALSE(kd_con.open);
    kd_state.console_enabled = true;
    KDI_InitConsole();
    EXPECT_TRUE(KDI_ConsoleHandleEvent(&e));
    EXPECT_TRUE(kd_con.open);
    EXPECT_TRUE(kd_parms.console_open);
    kd_event_t other{};
    other.type = KD_EVENT_CONSOLE_LINE;
    EXPECT_FALSE(KDI_ConsoleHandleEvent(&other));
    EXPECT_TRUE(KDI_ConsoleHandleEvent(&e));
    EXPECT_FALSE(kd_con.open);
    kd_state.console_toggle_key = -89;
}
