// Event service, navigator, keyboard, trace and script; no display needed
// (CTest runs this without DISPLAY).

#include <bps/bps.h>
#include <bps/navigator.h>
#include <bps/screen.h>
#include <bps/virtualkeyboard.h>
#include <host/host.h>
#include <screen/screen.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fstream>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "test_util.h"

using namespace host_test;

namespace {

class Core : public ::testing::Test {
protected:
    void SetUp() override {
        dir = make_temp_dir();
        host_script_clear();
        ASSERT_EQ(BPS_SUCCESS, bps_initialize());
        ASSERT_EQ(BPS_SUCCESS, navigator_request_events(0));
    }
    void TearDown() override {
        navigator_stop_events(0);
        bps_shutdown();
        host_script_clear();
        unsetenv("KODO_HOST_TRACE");
        host_trace_reopen();
        run("rm -rf '" + dir + "'");
    }
    std::string dir;
};

TEST_F(Core, ScriptAcceptsGoodLinesAndReportsBadOnesWithTheirLineNumber) {
    const char *text =
        "# a comment\n"
        "\n"
        "0 touch_down 10 20\n"
        "5 touch_move 11 21 3\n"
        "6 frobnicate\n"               // line 5: unknown command
        "x touch_up 1 2\n"             // line 6: bad time
        "7 touch_up 1\n"               // line 7: missing y
        "8 key NOSUCHKEY\n"            // line 8
        "9 state sideways\n"           // line 9
        "10 swipe now\n"               // line 10: extra argument
        "11 screenshot\n"              // line 11: no path
        "12 key RETURN\n"
        "-5 exit\n"                    // line 13: negative time
        "13 exit\n";
    testing::internal::CaptureStderr();
    int n = host_script_load_text(text, "t.script");
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(4, n);
    EXPECT_EQ(4, host_script_pending());
    for (int line : {5, 6, 7, 8, 9, 10, 11, 13})
        EXPECT_NE(std::string::npos, err.find("t.script:" + std::to_string(line) + ":")) << err;
    EXPECT_EQ(std::string::npos, err.find("t.script:3:"));
    // Each bad line is reported exactly once.
    EXPECT_EQ(8, std::count(err.begin(), err.end(), '\n'));
}

TEST_F(Core, ScriptFileThatCannotBeReadFails) {
    errno = 0;
    EXPECT_EQ(-1, host_script_load((dir + "/missing.script").c_str()));
    EXPECT_EQ(ENOENT, errno);
}

TEST_F(Core, ScriptLinesRunInTimeOrderWhenDue) {
    ASSERT_EQ(3, host_script_load_text("150 exit\n"
                                       "40 state thumbnail\n"
                                       "40 swipe\n",
                                       "order"));
    // Nothing is due yet: the call returns at once with no event.
    bps_event_t *e = reinterpret_cast<bps_event_t *>(1);
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(BPS_SUCCESS, bps_get_event(&e, 0));
    EXPECT_EQ(nullptr, e);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(30));

    auto evs = collect(2000, 3);
    ASSERT_EQ(3u, evs.size());
    EXPECT_EQ(NAVIGATOR_WINDOW_STATE, evs[0].code);
    EXPECT_EQ(NAVIGATOR_WINDOW_THUMBNAIL, evs[0].window_state);
    EXPECT_EQ(NAVIGATOR_SWIPE_DOWN, evs[1].code);  // same time: file order
    EXPECT_EQ(NAVIGATOR_EXIT, evs[2].code);
    for (auto &ev : evs) EXPECT_EQ(navigator_get_domain(), ev.domain);
    EXPECT_EQ(0, host_script_pending());
}

// A wait holds the lines after it until its text is in the file, and a
// second wait for the same text needs a second occurrence; the held time
// moves the later lines, so they keep their spacing. "frames" holds them
// for frames of the program.
TEST_F(Core, WaitAndFramesHoldTheScript) {
    std::string pattern = dir + "/run-*.log";
    std::string script = "0 wait " + pattern + " PushScreen: 'Menu'\n"
                         "20 swipe\n"
                         "30 wait " + pattern + " PushScreen: 'Menu'\n"
                         "40 exit\n";
    ASSERT_EQ(4, host_script_load_text(script.c_str(), "wait"));
    EXPECT_TRUE(collect(150).empty());  // no file yet
    { std::ofstream(dir + "/run-1.log") << "PushScreen: 'Loading'\n"; }
    EXPECT_TRUE(collect(150).empty());  // not the text waited for
    { std::ofstream(dir + "/run-1.log", std::ios::app) << "PushScreen: 'Menu'\n"; }
    auto t0 = std::chrono::steady_clock::now();
    auto evs = collect(2000, 1);
    ASSERT_EQ(1u, evs.size());
    EXPECT_EQ(NAVIGATOR_SWIPE_DOWN, evs[0].code);
    // Due 20 ms after the wait ended, not at once (its own time is long past).
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(10));
    EXPECT_TRUE(collect(150).empty());  // the second wait finds nothing new
    { std::ofstream(dir + "/run-1.log", std::ios::app) << "PushScreen: 'Menu'\n"; }
    evs = collect(2000, 1);
    ASSERT_EQ(1u, evs.size());
    EXPECT_EQ(NAVIGATOR_EXIT, evs[0].code);
    EXPECT_EQ(0, host_script_pending());

    // "exit_after": the exit comes once the text has been there twice,
    // while a wait for something else still holds the script.
    std::string after = "0 exit_after 2 " + pattern + " Level completed:\n0 wait " + pattern + " never\n";
    ASSERT_EQ(2, host_script_load_text(after.c_str(), "after"));
    { std::ofstream(dir + "/run-1.log", std::ios::app) << "Level completed: 'A'\n"; }
    EXPECT_TRUE(collect(600).empty());
    { std::ofstream(dir + "/run-1.log", std::ios::app) << "Level completed: 'B'\n"; }
    evs = collect(2000, 1);
    ASSERT_EQ(1u, evs.size());
    EXPECT_EQ(NAVIGATOR_EXIT, evs[0].code);
    host_script_clear();

    // "frames": held until the program has taken its events that many
    // times more, however long that takes.
    ASSERT_EQ(2, host_script_load_text("0 frames 5\n0 swipe\n", "frames"));
    bps_event_t *e = nullptr;
    for (int i = 0; i < 5; i++) {
        ASSERT_EQ(BPS_SUCCESS, bps_get_event(&e, 0));
        EXPECT_EQ(nullptr, e) << "frame " << i;
    }
    ASSERT_EQ(BPS_SUCCESS, bps_get_event(&e, 0));
    ASSERT_NE(nullptr, e);
    EXPECT_EQ(NAVIGATOR_SWIPE_DOWN, bps_event_get_code(e));

    // A wait whose text never comes fails the run at its frame deadline,
    // however often its file grows meanwhile: the rest of the script is
    // dropped, the program told to exit, the wait named on stderr.
    EXPECT_EQ(0, host_script_failed());
    std::string never = "0 wait frames=5 " + pattern + " never\n0 swipe\n";
    ASSERT_EQ(2, host_script_load_text(never.c_str(), "never"));
    testing::internal::CaptureStderr();
    for (int i = 0; i < 5; i++) {
        { std::ofstream(dir + "/run-1.log", std::ios::app) << "still loading\n"; }
        ASSERT_EQ(BPS_SUCCESS, bps_get_event(&e, 0));
        EXPECT_EQ(nullptr, e) << "frame " << i;
    }
    ASSERT_EQ(BPS_SUCCESS, bps_get_event(&e, 0));
    std::string err = testing::internal::GetCapturedStderr();
    ASSERT_NE(nullptr, e);
    EXPECT_EQ(NAVIGATOR_EXIT, bps_event_get_code(e));
    EXPECT_EQ(1, host_script_failed());
    EXPECT_EQ(0, host_script_pending());
    EXPECT_NE(std::string::npos, err.find("'0 wait frames=5 " + pattern + " never' failed")) << err;
    EXPECT_NE(std::string::npos, err.find("within 5 frames")) << err;
    host_script_clear();
    EXPECT_EQ(0, host_script_failed());
}

TEST_F(Core, ServiceLinesArriveAsServiceResults) {
    testing::internal::CaptureStderr();
    int n = host_script_load_text("0 service 34 x=\"BIG_BALL\" y=1\n"
                                  "0 service 33 x=\"EXTRA LIFE\" fifth=\"0,99 \\\"EUR\\\" \\\\\"  y=-1\n"
                                  "0 service 19\n"
                                  "0 service 18 id=1\n"         // line 4: not a service result
                                  "0 service 34 z=1\n"          // line 5: unknown field
                                  "0 service 34 x=\"open\n"     // line 6: no closing quote
                                  "0 service 34 y=one\n"        // line 7: not a number
                                  "0 service 34 x=\"a\"b\n"     // line 8: text runs on
                                  "0 service 34 y=99999999999\n", // line 9: out of range
                                  "svc");
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(3, n);
    for (int line = 4; line <= 9; line++) EXPECT_NE(std::string::npos, err.find("svc:" + std::to_string(line) + ":")) << err;
    auto evs = collect(1000, 3);
    ASSERT_EQ(3u, evs.size());
    for (auto &ev : evs) EXPECT_EQ(service_get_domain(), ev.domain);
    EXPECT_EQ(34, evs[0].type);
    EXPECT_EQ((std::vector<std::string>{"n:0", "t:BIG_BALL", "n:1", "n:0"}),
              std::vector<std::string>(evs[0].service, evs[0].service + 4));
    EXPECT_EQ(33, evs[1].type);
    EXPECT_EQ((std::vector<std::string>{"n:0", "t:EXTRA LIFE", "n:-1", "t:0,99 \"EUR\" \\"}),
              std::vector<std::string>(evs[1].service, evs[1].service + 4));
    EXPECT_EQ(19, evs[2].type);
    EXPECT_EQ(-1, service_event_get_field(nullptr, 0, nullptr, nullptr));
}

TEST_F(Core, StatesSwipeAndHostKeys) {
    ASSERT_EQ(6, host_script_load_text("0 state invisible\n"
                                       "0 state fullscreen\n"
                                       "0 key F9\n"    // full screen -> thumbnail
                                       "0 key F9\n"    // and back
                                       "0 key F10\n"   // swipe down
                                       "0 swipe\n",
                                       "states"));
    auto evs = collect(1000, 6);
    ASSERT_EQ(6u, evs.size());
    int want_state[] = {NAVIGATOR_WINDOW_INVISIBLE, NAVIGATOR_WINDOW_FULLSCREEN, NAVIGATOR_WINDOW_THUMBNAIL,
                        NAVIGATOR_WINDOW_FULLSCREEN};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(NAVIGATOR_WINDOW_STATE, evs[i].code);
        EXPECT_EQ(want_state[i], evs[i].window_state);
    }
    EXPECT_EQ(NAVIGATOR_SWIPE_DOWN, evs[4].code);
    EXPECT_EQ(NAVIGATOR_SWIPE_DOWN, evs[5].code);
    EXPECT_TRUE(collect(50).empty());  // F9/F10 never reach the program as keys
}

TEST_F(Core, SigtermAndSigintBecomeExitRequests) {
    raise(SIGTERM);
    auto evs = collect(500, 1);
    ASSERT_EQ(1u, evs.size());
    EXPECT_EQ(navigator_get_domain(), evs[0].domain);
    EXPECT_EQ(NAVIGATOR_EXIT, evs[0].code);
    raise(SIGINT);
    evs = collect(500, 1);
    ASSERT_EQ(1u, evs.size());
    EXPECT_EQ(NAVIGATOR_EXIT, evs[0].code);
    EXPECT_TRUE(collect(30).empty());
}

TEST_F(Core, EmptyQueueGivesNullAndPositiveTimeoutWaitsAtMostThatLong) {
    bps_event_t *e = reinterpret_cast<bps_event_t *>(1);
    EXPECT_EQ(BPS_SUCCESS, bps_get_event(&e, 0));
    EXPECT_EQ(nullptr, e);
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(BPS_SUCCESS, bps_get_event(&e, 50));
    auto took = std::chrono::steady_clock::now() - t0;
    EXPECT_EQ(nullptr, e);
    EXPECT_GE(took, std::chrono::milliseconds(45));
    EXPECT_EQ(BPS_FAILURE, bps_get_event(nullptr, 0));
}

TEST_F(Core, NavigatorEventsOnlyWhileRequested) {
    navigator_stop_events(0);
    ASSERT_EQ(1, host_script_load_text("0 swipe\n", "s"));
    EXPECT_TRUE(collect(100).empty());
    EXPECT_EQ(0, host_script_pending());  // the line ran; its event was not wanted
}

TEST_F(Core, TraceRecordsUrlsKeyboardAndScriptLines) {
    std::string trace = dir + "/trace.txt";
    setenv("KODO_HOST_TRACE", trace.c_str(), 1);
    host_trace_reopen();
    // The browser is a stand-in xdg-open on the PATH that writes down its
    // arguments; with an input script, or for another scheme, it is not
    // started.
    std::string bin = dir + "/bin", args = dir + "/args.txt";
    mkdir(bin.c_str(), 0755);
    {
        std::ofstream f(bin + "/xdg-open");
        f << "#!/bin/sh\necho \"$#:$1\" > " << args << ".part && mv " << args << ".part " << args << "\n";
    }
    chmod((bin + "/xdg-open").c_str(), 0755);
    std::string path = getenv("PATH") ? getenv("PATH") : "";
    setenv("PATH", (bin + ":" + path).c_str(), 1);
    setenv("KODO_HOST_SCRIPT", "script.txt", 1);
    EXPECT_EQ(BPS_SUCCESS, navigator_invoke("http://example.invalid/scripted", nullptr));
    unsetenv("KODO_HOST_SCRIPT");
    EXPECT_EQ(BPS_SUCCESS, navigator_invoke("file:///etc/passwd", nullptr));
    EXPECT_EQ(BPS_SUCCESS, navigator_invoke("http://example.invalid/page?a=1 b;c", nullptr));
    for (int i = 0; i < 500 && read_file(args).empty(); i++) usleep(10000);
    setenv("PATH", path.c_str(), 1);
    EXPECT_EQ("1:http://example.invalid/page?a=1 b;c\n", read_file(args));  // one argument, no shell
    std::string opened = read_file(trace);
    size_t at = opened.find("(pid ");
    ASSERT_NE(std::string::npos, at);
    int pid = atoi(opened.c_str() + at + 5);
    // Reaped: no zombie stays behind.
    std::string proc = "/proc/" + std::to_string(pid);
    for (int i = 0; i < 500 && access(proc.c_str(), F_OK) == 0; i++) usleep(10000);
    EXPECT_NE(0, access(proc.c_str(), F_OK));
    char *err = reinterpret_cast<char *>(1);
    EXPECT_EQ(BPS_FAILURE, navigator_invoke(nullptr, &err));
    ASSERT_NE(nullptr, err);
    bps_free(err);
    EXPECT_EQ(BPS_SUCCESS, virtualkeyboard_request_events(0));
    virtualkeyboard_change_options(VIRTUALKEYBOARD_LAYOUT_DEFAULT, VIRTUALKEYBOARD_ENTER_DEFAULT);
    virtualkeyboard_show();
    virtualkeyboard_hide();
    ASSERT_EQ(2, host_script_load_text("0 swipe\n0 screenshot /nonexistent/x.png\n", "t"));
    testing::internal::CaptureStderr();
    collect(200, 1);
    collect(50);
    testing::internal::GetCapturedStderr();
    std::string t = read_file(trace);
    EXPECT_EQ(
        "url http://example.invalid/scripted\n"
        "url not opened: an input script runs\n"
        "url file:///etc/passwd\n"
        "url not opened: not an http:// or https:// link\n"
        "url http://example.invalid/page?a=1 b;c\n"
        "url opened by xdg-open (pid " +
            std::to_string(pid) +
            ")\n"
            "keyboard options layout=0 enter=0\n"
            "keyboard show\n"
            "keyboard hide\n"
            "script 0 swipe\n"
            "script 0 screenshot /nonexistent/x.png\n"
            "screenshot /nonexistent/x.png failed: no window\n",
        t);
}

TEST_F(Core, ScriptFromEnvironmentIsReadAtInitialize) {
    bps_shutdown();
    std::string path = dir + "/env.script";
    {
        std::ofstream f(path);
        f << "0 exit\n";
    }
    setenv("KODO_HOST_SCRIPT", path.c_str(), 1);
    ASSERT_EQ(BPS_SUCCESS, bps_initialize());
    unsetenv("KODO_HOST_SCRIPT");
    ASSERT_EQ(BPS_SUCCESS, navigator_request_events(0));
    auto evs = collect(500, 1);
    ASSERT_EQ(1u, evs.size());
    EXPECT_EQ(NAVIGATOR_EXIT, evs[0].code);
}

TEST(NoDisplay, ScreenContextFailsCleanly) {
    unsetenv("DISPLAY");
    screen_context_t ctx = reinterpret_cast<screen_context_t>(1);
    testing::internal::CaptureStderr();
    errno = 0;
    EXPECT_EQ(-1, screen_create_context(&ctx, SCREEN_APPLICATION_CONTEXT));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(ENODEV, errno);
    EXPECT_EQ(nullptr, ctx);
    EXPECT_NE(std::string::npos, err.find("screen_create_context")) << err;
    EXPECT_EQ(nullptr, host_get_x11_display());
}

}  // namespace
