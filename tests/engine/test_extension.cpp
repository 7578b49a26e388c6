// Extension commands: platform answers, engine commands and path switches.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>

#include "kd-file.h"
#include "kd-settings.h"
#include "kd-xmldb.h"
#include "test-support.h"

namespace {

std::string Ask(const char* command, const char* parameter) {
    const char* a = KD_CallExtension(command, parameter);
    return a ? std::string(a) : std::string("<null>");
}

class Extension : public ::testing::Test {
protected:
    void SetUp() override {
        KDPI_ResolvePlatformInfo();
        ResetTestProg();
        kd_prog = KD_GetInterface();
    }
    void TearDown() override { kd_prog = nullptr; }
};

}  // namespace

TEST_F(Extension, PlatformInfo) {
    EXPECT_EQ(Ask("PlatformInfo", "ScreenSizeId"), "LARGE");
    EXPECT_EQ(Ask("PlatformInfo", "PlatformId"), "QNX");
    EXPECT_EQ(Ask("PlatformInfo", "DeviceModel"), "QNX");
    EXPECT_EQ(Ask("PlatformInfo", "OSMajor"), "QNX");
    EXPECT_EQ(Ask("PlatformInfo", "OSMinor"), "6.5+");
    EXPECT_EQ(Ask("PlatformInfo", "KodoImp"), "KD_QNX");
    EXPECT_EQ(Ask("PlatformInfo", "UniqueId"), "UNKNOWN");
    EXPECT_EQ(Ask("PlatformInfo", "GPUDesc"), "");
    EXPECT_EQ(Ask("PlatformInfo", "CPUDesc"), "");
    EXPECT_EQ(Ask("PlatformInfo", "DesktopWidth"), "0");
    EXPECT_EQ(Ask("PlatformInfo", "DesktopHeight"), "0");
    EXPECT_EQ(Ask("PlatformInfo", "PerformanceClass"), "<null>");
    EXPECT_EQ(Ask("PlatformInfo", nullptr), "<null>");
    EXPECT_EQ(Ask("platforminfo", "ScreenSizeId"), "<null>");  // exact commands
}

// A script asking for pages without end: while one xdg-open runs (the
// stand-in ends once the test makes "go", or its folder is gone) the calls
// of the next second are dropped with one line; after it ends the next
// page opens.
TEST_F(Extension, OpenUrlStartsOneOpenerAtATime) {
    TempWorkDir dir;
    std::string opened = dir.path + "/opened.txt", go = dir.path + "/go";
    mkdir("bin", 0755);
    std::ofstream("bin/xdg-open") << "#!/bin/sh\necho \"$1\" >>" << opened << "\nwhile [ -d " << dir.path
                                  << " ] && [ ! -e " << go << " ]; do sleep 0.01; done\n";
    chmod("bin/xdg-open", 0755);
    std::string path = getenv("PATH") ? getenv("PATH") : "";
    setenv("PATH", (dir.path + "/bin:" + path).c_str(), 1);
    std::string script = getenv("KODO_HOST_SCRIPT") ? getenv("KODO_HOST_SCRIPT") : "";
    unsetenv("KODO_HOST_SCRIPT");
    LogCapture log;
    for (int i = 0; i < 50; i++) Ask("OpenURL", "http://example.invalid/flood");
    int lines = 0;
    for (auto& l : log.lines) lines += l.find("other pages are still being opened") != std::string::npos;
    EXPECT_EQ(lines, 1);
    close(open(go.c_str(), O_CREAT | O_WRONLY, 0644));
    auto count = [&] {
        std::ifstream f(opened);
        return (int)std::count(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>(), '\n');
    };
    for (int i = 0; i < 1000 && count() < 2; i++) {
        Ask("OpenURL", "http://example.invalid/next");
        usleep(10000);
    }
    EXPECT_EQ(count(), 2);
    setenv("PATH", path.c_str(), 1);
    if (!script.empty()) setenv("KODO_HOST_SCRIPT", script.c_str(), 1);
}

TEST_F(Extension, NullsAndUnknownCommands) {
    EXPECT_EQ(KD_CallExtension(nullptr, "x"), nullptr);
    EXPECT_EQ(KD_CallExtension(nullptr, nullptr), nullptr);
    EXPECT_EQ(Ask("OpenURL", nullptr), "<null>");
    EXPECT_EQ(Ask("ComposeMail", nullptr), "<null>");
    EXPECT_EQ(Ask("ComposeMail", "hello"), "OK");
    EXPECT_EQ(Ask("GetLanguage", nullptr), "<null>");
    EXPECT_EQ(Ask("Clipboard", "Get"), "<null>");
    EXPECT_EQ(Ask("Hacks", "AllowAllResolutions"), "<null>");
    EXPECT_TRUE(kd_state.allow_all_resolutions);
    kd_state.allow_all_resolutions = false;
    EXPECT_EQ(Ask("UI", "BeginKeyboardInput"), "<null>");
    EXPECT_EQ(Ask("RefreshMemUsageEstimates", nullptr), "<null>");
    EXPECT_EQ(Ask("ListResourceUsage", nullptr), "<null>");
}

TEST_F(Extension, ProgramAndProductAnswers) {
    strcpy(kd_prog->id, "worm");
    EXPECT_EQ(Ask("ProgramInfo", "ProgramId"), "worm");
    kd_prog = nullptr;
    EXPECT_EQ(Ask("ProgramInfo", "ProgramId"), "null");
    kd_prog = KD_GetInterface();

    const char* text =
        "<root><array id=\"PARAMETERS\"><node id=\"APPLICATION\" features=\"A,B\" game_center_id=\"gc\"/></array>"
        "<array id=\"VARIANTS\"><node id=\"QNX\" features=\"C\"/></array></root>";
    kd_dman.ReleaseDatabase("res://prog.xml");
    KD_DMDatabase* db = kd_dman.CreateDatabase("res://prog.xml");
    ASSERT_TRUE(db->LoadXMLFromMemory("res://prog.xml", text, (int)strlen(text)));
    KDI_ApplyProgramSettings(db, nullptr);
    EXPECT_EQ(Ask("ProgramInfo", "Features"), "A,B,C");
    EXPECT_EQ(Ask("GetProductValue", "game_center_id"), "gc");
    EXPECT_EQ(Ask("GetProductValue", "none"), "<null>");
    EXPECT_EQ(Ask("GetProductValue", nullptr), "<null>");

    kd_state.current_eye = KD_EYE_LEFT;
    EXPECT_EQ(Ask("Renderer", "EyeMode"), "Left");
    kd_state.current_eye = KD_EYE_RIGHT;
    EXPECT_EQ(Ask("Renderer", "EyeMode"), "Right");
    kd_state.current_eye = KD_EYE_MONO;
    EXPECT_EQ(Ask("Renderer", "EyeMode"), "Mono");
}

TEST_F(Extension, DatesAndTimeStamps) {
    EXPECT_TRUE(std::regex_match(Ask("GetDate", nullptr), std::regex("[0-9]{4}-[0-9]{2}-[0-9]{2}")));
    EXPECT_TRUE(
        std::regex_match(Ask("GetTimeStamp", nullptr), std::regex("[0-9]{4}-[0-9]{2}-[0-9]{2}:[0-9]{2}-[0-9]{2}")));
}

TEST_F(Extension, SwitchingUserPaths) {
    KDI_InitFileSystem();
    LogCapture log;
    std::string before = KDFS_GetRoot(1);
    EXPECT_EQ(Ask("SwitchProgramBasePath", "../escape"), "<null>");
    EXPECT_TRUE(log.Contains("SwitchProgramBasePath new path parameter invalid."));
    EXPECT_EQ(KDFS_GetRoot(1), before);
    EXPECT_EQ(Ask("SwitchProgramBasePath", nullptr), "<null>");
    EXPECT_EQ(Ask("SwitchProgramBasePath", std::string(200, 'n').c_str()), "<null>");
    EXPECT_EQ(KDFS_GetRoot(1), before);

    EXPECT_EQ(Ask("switchprogrambasepath", "Level Pack"), "<null>");
    EXPECT_STREQ(kd_state.title, "Level_Pack");
    std::string root1 = KDFS_GetRoot(1);
    EXPECT_EQ(root1.substr(root1.size() - 11), "/Level_Pack");
    EXPECT_STREQ(KDFS_GetRoot(0), KDFS_GetRoot(1));

    EXPECT_EQ(Ask("SwitchUserDataPath", "/tmp/u0"), "<null>");
    EXPECT_STREQ(KDFS_GetRoot(0), "/tmp/u0");
    EXPECT_EQ(Ask("SwitchSharedUserDataPath", "/tmp/u1"), "<null>");
    EXPECT_STREQ(KDFS_GetRoot(1), "/tmp/u1");
    // A path that does not fit the root is refused whole.
    EXPECT_EQ(Ask("SwitchSharedUserDataPath", ("/tmp/" + std::string(400, 'p')).c_str()), "<null>");
    EXPECT_STREQ(KDFS_GetRoot(1), "/tmp/u1");
}
