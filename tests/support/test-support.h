// Helpers shared by the engine tests.
#ifndef TEST_SUPPORT_H
#define TEST_SUPPORT_H

#include <string>
#include <vector>

#include "kd-internal.h"

// The program record the engine loads in tests. Tests shape it before
// KDI_PreInit and read its counters afterwards.
struct TestProg {
    int version = KODO_INTERFACE_VERSION;
    bool init_result = true;
    int init_calls = 0, shutdown_calls = 0, update_calls = 0, draw_calls = 0;
    std::vector<int> draw_eyes;
    std::vector<kd_event_t> events;
    void (*on_update)(float dt) = nullptr;
    void (*on_draw)(float dt) = nullptr;
    const char* title = "Test Program";
    const char* developer = "Test Dev";
};
extern TestProg test_prog;
void ResetTestProg();

// Collects log lines through the engine's log sink: every line printed, or
// with `kLogFile` exactly the lines the log file gets, when it gets them.
class LogCapture {
public:
    enum Kind { kPrinted, kLogFile };
    explicit LogCapture(Kind kind = kPrinted);
    ~LogCapture();
    Kind kind;
    std::vector<std::string> lines;
    bool Contains(const std::string& text) const;
    // Index of the first line holding `text`, or -1.
    int IndexOf(const std::string& text) const;
};

// Makes and enters a fresh temporary working folder; leaves and removes
// it on destruction.
class TempWorkDir {
public:
    TempWorkDir();
    ~TempWorkDir();
    std::string path;

private:
    std::string previous;
};

// Runs start-up on the null renderer with the test program.
bool StartEngine();
void StopEngine();

#endif
