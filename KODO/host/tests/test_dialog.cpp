// Prompts and file dialogs: the dialog program is started directly with
// its arguments as a list, and an input script's replies take its place
// (the program is then never started). A stand-in `zenity` on PATH writes
// the arguments it got, one per line, and answers what the test says.

#include <bps/bps.h>
#include <host/dialog.h>
#include <host/host.h>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "test_util.h"

using namespace host_test;

namespace {

std::string g_dir;

std::string read_all(const std::string &path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The stand-in answers "$ANSWER" and ends with "$STATUS".
void write_stand_in() {
    std::ofstream out(g_dir + "/zenity");
    out << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done >\"" << g_dir
        << "/args.txt\"\nprintf '%s\\n' \"$ANSWER\"\nexit \"$STATUS\"\n";
    out.close();
    chmod((g_dir + "/zenity").c_str(), 0755);
}

int ask(int kind, const char *title, const char *text, const char *filters, std::string *reply) {
    char buffer[64];
    int got = host_dialog(kind, title, text, filters, buffer, sizeof buffer);
    *reply = buffer;
    return got;
}

// Runs first: once a script is loaded, the process answers from scripts.
TEST(Dialog, AZenityGetsItsArgumentsAsAListAndItsStatusDecides) {
    g_dir = make_temp_dir();
    write_stand_in();
    std::string path = std::string(getenv("PATH") ? getenv("PATH") : "");
    setenv("PATH", (g_dir + ":" + path).c_str(), 1);
    setenv("DISPLAY", ":97", 1);
    setenv("ANSWER", "new name", 1);
    setenv("STATUS", "0", 1);

    // Shell syntax in the default text reaches the program unchanged.
    std::string reply;
    const char *tricky = "it's \"x\" $(touch boom) ; `id`";
    ASSERT_EQ(1, ask(HOST_DIALOG_TEXT, "Component Name", tricky, nullptr, &reply));
    EXPECT_EQ("new name", reply);
    EXPECT_EQ(std::string("zenity\n") +
                  "--title=Component Name\n--entry\n--text=Component Name\n--entry-text=" + tricky + "\n",
              "zenity\n" + read_all(g_dir + "/args.txt"));
    EXPECT_NE(0, access("boom", F_OK));

    // The save chooser: its folder, overwrite check and filters; an answer
    // longer than the buffer is cut, not overrun.
    setenv("ANSWER", std::string(200, 'p').c_str(), 1);
    const char filters[] = "World definitions\0*.xml\0All\0*.*;*.txt\0";
    ASSERT_EQ(1, ask(HOST_DIALOG_SAVE_FILE, "Save", "/tmp/w", filters, &reply));
    EXPECT_EQ(std::string(63, 'p'), reply);
    EXPECT_EQ(
        "--title=Save\n--file-selection\n--save\n--confirm-overwrite\n--filename=/tmp/w/\n"
        "--file-filter=World definitions | *.xml\n--file-filter=All | *.* *.txt\n",
        read_all(g_dir + "/args.txt"));

    // Cancel: any status but 0 answers nothing.
    setenv("STATUS", "1", 1);
    EXPECT_EQ(0, ask(HOST_DIALOG_OPEN_FILE, "Open", "/tmp", nullptr, &reply));
    EXPECT_EQ("", reply);

    // No display, or no program: nothing can be shown.
    unsetenv("DISPLAY");
    EXPECT_EQ(-1, ask(HOST_DIALOG_TEXT, "T", "", nullptr, &reply));
    setenv("DISPLAY", ":97", 1);
    setenv("PATH", "/nonexistent", 1);
    EXPECT_EQ(-1, ask(HOST_DIALOG_TEXT, "T", "", nullptr, &reply));
    setenv("PATH", (g_dir + ":" + path).c_str(), 1);
}

TEST(Dialog, WithAScriptTheRepliesAnswerInOrderAndNoProgramStarts) {
    ASSERT_EQ(BPS_SUCCESS, bps_initialize());
    unlink((g_dir + "/args.txt").c_str());
    setenv("STATUS", "0", 1);
    testing::internal::CaptureStderr();
    int n = host_script_load_text(
        "0 reply \"a \\\"b\\\" c\\\\\"\n"
        "1 reply cancel\n"
        "2 reply \"\"\n"
        "3 reply\n"               // refused: no text
        "4 reply \"open\n"        // refused: no closing quote
        "5 reply \"x\" \"y\"\n",  // refused: two texts
        "replies");
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(3, n) << err;
    EXPECT_NE(std::string::npos, err.find("replies:4:")) << err;
    EXPECT_NE(std::string::npos, err.find("replies:5:")) << err;
    EXPECT_NE(std::string::npos, err.find("replies:6:")) << err;
    collect(100);  // runs the lines: the replies are queued

    std::string reply;
    EXPECT_EQ(1, ask(HOST_DIALOG_TEXT, "T", "default", nullptr, &reply));
    EXPECT_EQ("a \"b\" c\\", reply);
    EXPECT_EQ(0, ask(HOST_DIALOG_OPEN_FILE, "Open", "/tmp", nullptr, &reply));
    EXPECT_EQ(1, ask(HOST_DIALOG_SAVE_FILE, "Save", "/tmp", nullptr, &reply));
    EXPECT_EQ("", reply);
    // Nothing queued: nothing, with one line naming the prompt.
    testing::internal::CaptureStderr();
    EXPECT_EQ(0, ask(HOST_DIALOG_TEXT, "Parent Name", "", nullptr, &reply));
    err = testing::internal::GetCapturedStderr();
    EXPECT_NE(std::string::npos, err.find("'Parent Name'")) << err;
    EXPECT_EQ(1, std::count(err.begin(), err.end(), '\n'));
    EXPECT_NE(0, access((g_dir + "/args.txt").c_str(), F_OK)) << "a dialog program ran under a script";
    bps_shutdown();
    run("rm -rf '" + g_dir + "'");
}

}  // namespace
