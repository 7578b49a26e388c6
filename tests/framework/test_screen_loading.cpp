// The loading screen on real engine frames: its "App Loading" thread
// preloads every screen (layouts with texts to localize and measure, and
// Lua work on load) while frames run, the worm never moves backward, and
// the menu comes once, 0.8 s after the last screen; a main thread that
// comes back in time finds several screens preloaded between two frames,
// one that comes back late finds the thread waiting for it after a few
// screens, so the worm still moves. Without the thread
// (product feature) loading waits for the screen to be fully in and goes
// one screen per frame; halted, nothing moves until a click. This test
// starts a thread: it runs in the ThreadSanitizer job too.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "feature-manager.h"
#include "fw-support.h"
#include "luaman.h"
#include "screen-loading.h"
#include "ui/screen-manager.h"
#include "ui/screens-builtin.h"
#include "ui/ui-layout.h"
#include "ui/ui-widgets.h"

namespace {

// A page like a menu's: a few components with texts, and work on load.
const char* kPage =
    "UIEvents ('user://page-events.lua');\n"
    "for i = 1, 6 do\n"
    "  CreateComp ('Textbox', 'line' .. i);\n"
    "  SetProperty ('textbox.font', 'fonts/small.sft');\n"
    "  SetProperty ('textbox.text', 'Line number ' .. i);\n"
    "  SetProperty ('position', 0.5, i / 8);\n"
    "end\n";
const char* kPageEvents =
    "function OnLoad ()\n"
    "  local s = 0\n"
    "  for i = 1, 20000 do s = s + i end\n"
    "  loaded = s\n"
    "end\n";

// A page whose preload takes at least 5 ms, so that the screens one
// stretch of the thread preloads can be counted against its length.
struct SlowPage : ScreenTemplate {
    using ScreenTemplate::ScreenTemplate;
    bool PreLoad() override {
        usleep(5000);
        return ScreenTemplate::PreLoad();
    }
};

float progress_seen = 0;
bool went_back = false;

void Frame(float dt) {
    sman.Update(dt);
    if (screen_Loading.shown_progress < progress_seen) went_back = true;
    progress_seen = screen_Loading.shown_progress;
}
// The most screens preloaded from one frame drawn to the next.
int most_per_frame = 0;
int preloaded_when_drawn = 0;
void Draw(float dt) {
    sman.DrawScreens(dt);
    most_per_frame = std::max(most_per_frame, Screen::total_num_screens_preloaded - preloaded_when_drawn);
    preloaded_when_drawn = Screen::total_num_screens_preloaded;
}

struct Loading : ::testing::Test {
    std::string dir;
    std::unique_ptr<FwEngine> engine;
    std::vector<std::unique_ptr<Screen>> pages;

    void SetUp() override {
        dir = FwDataTreeFolder("kodo-loading");
        ASSERT_FALSE(dir.empty());
        engine.reset(new FwEngine(dir));
        ASSERT_TRUE(engine->started);
        lua_man.Initialize();
        ScreenMan::RegisterLuaFunctions();
        UIRegisterWidgetKinds();
        ui_screen = UIScreenValues();
        ui_screen.reference_width = ui_screen.virtual_width = ui_screen.actual_width = 1024;
        ui_screen.reference_height = ui_screen.virtual_height = ui_screen.actual_height = 600;
        WriteNative(engine->UserPath("page.lua"), kPage);
        WriteNative(engine->UserPath("page-events.lua"), kPageEvents);
        // A fresh start for the screens every test shares.
        for (int i = 0;; i++) {
            Screen* s = Screen::GetScreenByIndex(i);
            if (!s) break;
            s->preloaded = false;
        }
        Screen::total_num_screens_preloaded = 0;
        sman.all_screens_preloaded = false;
        sman.stack.count = 0;
        screen_Loading.shown_progress = 0;
        progress_seen = 0;
        went_back = false;
        most_per_frame = preloaded_when_drawn = 0;
        for (int i = 0; i < 30; i++) {
            std::string name = "Page" + std::to_string(i);
            pages.emplace_back(new SlowPage(name.c_str(), "user://page.lua"));
        }
        pages.emplace_back(new ScreenTemplate("MainMenu", "user://page.lua"));
    }
    void TearDown() override {
        sman.Shutdown();
        for (auto& p : pages) {
            if (p->uiset) {
                UILayoutDeleteComps(p->uiset);
                delete p->uiset;
            }
        }
        pages.clear();
        feature_man.SetFeatureList("");
        lua_man.Shutdown();
        engine.reset();
        std::filesystem::remove_all(dir);
    }
    void Start() {
        sman.PreloadScreen(&screen_Loading);
        sman.PushScreen(&screen_Loading, 0);
    }
    // Frames until the menu is on top, at most `limit`; the count. With
    // `late_ms`, the main thread comes back that late after each frame
    // while screens are left to preload, as on a busy machine.
    int RunUntilMenu(int limit, int late_ms = 0) {
        int frames = 0;
        while (frames < limit && !(sman.TopScreen() && nStringsMatch(sman.TopScreen()->GetName(), "MainMenu"))) {
            FwRunFrames(1, 16, Frame, Draw);
            if (late_ms && !sman.all_screens_preloaded) usleep(late_ms * 1000);
            frames++;
        }
        return frames;
    }
};

int Count(const FwLog& log, const std::string& text) {
    int n = 0;
    for (const std::string& line : log.Lines()) n += line.find(text) != std::string::npos;
    return n;
}

}  // namespace

TEST_F(Loading, TheThreadPreloadsEveryScreenWhileFramesRun) {
    // The main thread back within the thread's 50 ms, then far later: in
    // time, the thread spends no frame on each screen; late, it stops
    // after at most 50 ms of screens (10 of these) to leave it a frame.
    for (int late_ms : {40, 300}) {
        SCOPED_TRACE(late_ms);
        if (late_ms != 40) {
            TearDown();
            SetUp();
        }
        FwLog log;
        Start();
        int frames = RunUntilMenu(1200, late_ms);
        ASSERT_LT(frames, 1200) << "the menu never came";
        EXPECT_TRUE(sman.all_screens_preloaded);
        EXPECT_EQ(Screen::total_num_screens_preloaded, Screen::total_num_screens);
        for (auto& p : pages) {
            ASSERT_TRUE(p->uiset);
            EXPECT_EQ(p->uiset->GetNumberOfComps(), 6);
            lua_getglobal(p->uiset->L, "loaded");
            EXPECT_EQ(lua_tointeger(p->uiset->L, -1), 200010000);
            lua_pop(p->uiset->L, 1);
        }
        EXPECT_FALSE(went_back);
        EXPECT_GE(most_per_frame, 2);
        EXPECT_LE(most_per_frame, 15);
        EXPECT_FLOAT_EQ(screen_Loading.shown_progress, 1.0f);
        EXPECT_EQ(Count(log, "Spawned loading thread."), 1);
        EXPECT_EQ(Count(log, "PushScreen: 'Transition'"), 1);  // the switch happens once
        EXPECT_EQ(Count(log, "PushScreen: 'MainMenu'"), 1);
        EXPECT_FALSE(sman.IsScreenInStack(&screen_Loading));
        // 0.8 s after the last screen at 16 ms a frame, then the transition.
        EXPECT_GT(frames, 50);
    }
}

TEST_F(Loading, WithoutTheThreadOneScreenPerFrameOnceFullyIn) {
    feature_man.SetFeatureList("NO_MULTITHREADED_LOADING");
    FwLog log;
    Start();
    // Fully in after a third of a second (the first step is zeroed by the
    // enter's bitmap loads): nothing loads before.
    FwRunFrames(15, 16, Frame, Draw);
    EXPECT_LT(screen_Loading.trans, 1.0f);
    EXPECT_EQ(Screen::total_num_screens_preloaded, 1);  // itself
    FwRunFrames(15, 16, Frame, Draw);
    int before = Screen::total_num_screens_preloaded;
    EXPECT_GT(before, 1);
    FwRunFrames(1, 16, Frame, Draw);
    EXPECT_EQ(Screen::total_num_screens_preloaded, before + 1);
    ASSERT_LT(RunUntilMenu(1200), 1200);
    EXPECT_EQ(Count(log, "Spawned loading thread."), 0);
    EXPECT_FALSE(went_back);
}

TEST_F(Loading, HaltedNothingMovesUntilAClick) {
    feature_man.SetFeatureList("STOP_AT_LOADING_SCREEN");
    FwLog log;
    Start();
    FwRunFrames(40, 16, Frame, Draw);
    EXPECT_TRUE(screen_Loading.halted);
    EXPECT_EQ(Screen::total_num_screens_preloaded, 1);
    EXPECT_EQ(screen_Loading.shown_progress, 0.0f);
    EXPECT_EQ(Count(log, "Spawned loading thread."), 0);
    screen_Loading.ProcessUICompClick(nullptr, 0);
    EXPECT_FALSE(screen_Loading.halted);
    ASSERT_LT(RunUntilMenu(1200), 1200);
    EXPECT_EQ(Count(log, "Spawned loading thread."), 1);
}
