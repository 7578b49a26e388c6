// The framework's start-up phases and shutdown: the order in which the
// managers come up and go down, recorded against a fixed list: each
// manager uses the ones started before it, and the log lines of start-up
// are what the end-to-end runs wait for.
#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "analytics.h"
#include "feature-manager.h"
#include "fw-support.h"
#include "luaman.h"
#include "manager.h"
#include "profiles.h"
#include "recording-kd.h"
#include "services/achievements.h"
#include "services/in-app-purchases.h"
#include "services/leaderboards.h"
#include "services/news.h"
#include "ui/aiplayer.h"
#include "ui/screen-manager.h"
#include "ui/timeline.h"

namespace {

std::vector<std::string> seq;
std::string features;

// The engine's answer to the feature list question, from the test.
const char* RecCallExtension(const char* command, const char* parameter) {
    if (!strcmp(command, "ProgramInfo") && !strcmp(parameter, "Features")) return features.c_str();
    return nullptr;
}

void RecAddSearchPath(const char* path, bool front) {
    seq.push_back(std::string("AddSearchPath ") + path + (front ? " front" : " back"));
}

// The managers' level-3 lines make the sequence.
void RecDebug(int level, const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    std::string text = RecFormat(format, ap);
    va_end(ap);
    if (level == 3) {
        while (!text.empty() && text.back() == '\n') text.pop_back();
        seq.push_back(text);
    }
}

struct StartUp : ::testing::Test {
    FwEngine e;
    RecordingKd r{kd};
    kd_prog_t record;
    void SetUp() override {
        ASSERT_TRUE(e.started);
        r.table.AddSearchPath = RecAddSearchPath;
        r.table.PrintDebugf = RecDebug;
        r.table.CallExtension = RecCallExtension;
        memset(&record, 0, sizeof record);
        strcpy(record.version, "1.2.3");
        record.parms.width = 1024;
        record.parms.height = 600;
        record.parms.reference_width = 800;
        record.parms.reference_height = 480;
        seq.clear();
        features.clear();
        analyst.Shutdown();
    }
    void TearDown() override { Manager::SetProgramRecord(nullptr); }
    // The engine's parameters event, as the engine sends it.
    void SendParms() {
        kd_event_t ev;
        memset(&ev, 0, sizeof ev);
        ev.type = KD_EVENT_PARMS;
        ev.id = (intptr_t)&r.table;
        ev.x = (intptr_t)&record.parms;
        EXPECT_EQ(Manager::ProcessParmsEvent(ev), 0);
        EXPECT_EQ(kd, &r.table);
    }
};

}  // namespace

TEST_F(StartUp, PreInitializationOrder) {
    SendParms();
    std::vector<std::string> expected = {
        "Manager::PreInitializeBeforeVideoInit.",
        "AddSearchPath user:// front",
        "LuaManager::Initialize.",
        "FeatureManager::Initialize.",
        "AudioManager::Initialize.",
        "LocalizationManager::Initialize.",
        "ProfileManager::Initialize.",
        "Loading all profiles.",
        "PartBurstMan::Init.",
        "GameManager::Initialize.",
        "AIPlayerMan::Initialize.",
    };
    EXPECT_EQ(seq, expected);
    // The Lua manager came first: functions of later managers reach the
    // main state at once.
    EXPECT_TRUE(lua_man.DoesLuaFunctionExist(lua_man.GetMainState(), "FM_ProductFeatureExists"));
    EXPECT_FALSE(ai_man.enabled);
    // The program record is found around the parameters.
    EXPECT_EQ(Manager::GetParms(), &record.parms);
    EXPECT_EQ(Manager::GetProgramRecord(), &record);
    EXPECT_EQ(lua_man.ExecLuaString(nullptr, "tl_v = GetVersionString()"), true);
    lua_getglobal(lua_man.GetMainState(), "tl_v");
    EXPECT_STREQ(lua_tostring(lua_man.GetMainState(), -1), "1.2.3");
    lua_pop(lua_man.GetMainState(), 1);
    Manager::Shutdown();
}

TEST_F(StartUp, DeveloperModeAndAutomatedTesting) {
    record.parms.developer_mode = true;
    features = "AUTO_TESTING_MODE";
    SendParms();
    std::vector<std::string> expected = {
        "Manager::PreInitializeBeforeVideoInit.",
        "AddSearchPath res://data-src back",
        "AddSearchPath user:// front",
        "LuaManager::Initialize.",
        "FeatureManager::Initialize.",
        "AudioManager::Initialize.",
        "LocalizationManager::Initialize.",
        "ProfileManager::Initialize.",
        "Loading all profiles.",
        "PartBurstMan::Init.",
        "GameManager::Initialize.",
        "AIPlayerMan::Initialize.",
        "AIPlayerMan::SelectOrCreateAIProfile.",
    };
    ASSERT_GE(seq.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(seq.begin(), seq.begin() + expected.size()), expected);
    EXPECT_NE(std::find(seq.begin(), seq.end(), "Saving all profiles."), seq.end());
    EXPECT_TRUE(ai_man.enabled);
    ASSERT_TRUE(prof);
    EXPECT_STREQ(prof->GetName(), "dev_AIPlayer");
    Manager::Shutdown();
}

TEST_F(StartUp, InitializeAllWithoutFeatures) {
    SendParms();
    seq.clear();
    Manager::InitializeAll();
    std::vector<std::string> expected = {
        "Manager::InitializeAll.",
        "Analyst::RegisterLuaFunctions.",
        "ScreenMan::InitScreens.",
        "PartBurstMan::Init.",
        "Timeline::Init.",
        "Timeline::LoadTimeline('timeline.xml').",
    };
    EXPECT_EQ(seq, expected);
    EXPECT_FALSE(analyst.IsEnabled());
    EXPECT_EQ(sman.reference_width, 800);
    EXPECT_EQ(sman.reference_height, 480);
    EXPECT_EQ(sman.virtual_width, 1024);
    EXPECT_EQ(sman.virtual_height, 600);
    EXPECT_STREQ(timeline.GetTimelineFilename(), "timeline.xml");
    Manager::Shutdown();
}

TEST_F(StartUp, InitializeAllWithEveryFeatureThenShutdown) {
    features = "ACHIEVEMENTS,LEADERBOARDS,IN_APP_PURCHASES,ANALYST,NEWS";
    WriteNative(e.UserPath("timeline.xml"),
                "<timeline><array id=\"events\"><node id=\"a\"/><node id=\"b\"/></array></timeline>");
    SendParms();
    seq.clear();
    Manager::InitializeAll();
    std::vector<std::string> expected = {
        "Manager::InitializeAll.",
        "AchievementManager::Initialize.",
        "LeaderboardsManager::Initialize.",
        "InAppPurchasesManager::Initialize.",
        "Analyst::RegisterLuaFunctions.",
        "ScreenMan::InitScreens.",
        "PartBurstMan::Init.",
        "NewsManager::Initialize (983 x 480).",  // 1024 x 0.96, 600 x 0.8, truncated
        "Timeline::Init.",
        "Timeline::LoadTimeline('timeline.xml').",
    };
    EXPECT_EQ(seq, expected);
    EXPECT_TRUE(analyst.IsEnabled());

    // A frame: the managers' updates through the screen manager; a zero
    // time step applies once.
    sman.zero_next_time_step = true;
    sman.Update(0.5f);
    EXPECT_EQ(sman.last_dt, 0.0f);
    sman.Update(0.25f);
    EXPECT_EQ(sman.last_dt, 0.25f);
    EXPECT_FALSE(sman.zero_next_time_step);

    // Window activation follows the engine's events.
    kd_event_t ev;
    memset(&ev, 0, sizeof ev);
    ev.type = KD_EVENT_ACTIVATION;
    ev.id = 1;
    sman.ProcessEvent(ev);
    EXPECT_FALSE(sman.application_active);
    ev.id = 0;
    sman.ProcessEvent(ev);
    EXPECT_TRUE(sman.application_active);

    seq.clear();
    lua_State* main = lua_man.GetMainState();
    ASSERT_TRUE(main);
    EXPECT_TRUE(lua_man.IsStateOpen(main));
    Manager::Shutdown();
    std::vector<std::string> down = {
        "Manager::Shutdown.",
        "LocalizationManager::Shutdown.",
        "ScreenMan::Shutdown.",
        "LuaManager::Shutdown.",
    };
    EXPECT_EQ(seq, down);
    EXPECT_EQ(timeline.GetNumEvents(), 0);
    EXPECT_EQ(lua_man.GetMainState(), nullptr);
    EXPECT_FALSE(lua_man.IsStateOpen(main));
    EXPECT_FALSE(analyst.IsEnabled());
}

TEST_F(StartUp, AssetRegistryReleasesWhatItLoaded) {
    r.Install();
    AssetManager am;
    // Engine slots that are still stand-ins may answer null; the registry
    // lists whatever comes back and never releases null.
    kd_bitmap_t* none = am.LoadBitmap(nullptr);
    (void)none;
    EXPECT_EQ(am.bitmaps.count, 0);
    am.LoadBitmap("a.png");
    am.LoadSound("a.wav");
    am.LoadFont("a.sft");
    EXPECT_EQ(am.bitmaps.count, 1);
    EXPECT_EQ(am.sounds.count, 1);
    EXPECT_EQ(am.fonts.count, 1);
    int other;
    am.ReleaseBitmap((kd_bitmap_t*)&other);  // not listed: ignored
    EXPECT_EQ(am.bitmaps.count, 1);
    am.ReleaseAllAssets();
    EXPECT_EQ(am.bitmaps.count, 0);
    EXPECT_EQ(am.sounds.count, 0);
    EXPECT_EQ(am.fonts.count, 1);  // fonts stay
    EXPECT_GE(am.bitmaps.capacity, 32);  // storage kept
}
