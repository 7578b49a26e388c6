// Achievements: unlocking into the profile, the queue of notification bars
// and how one is drawn, the game centre's protocol, and the screen shown
// without a game centre.
#include <gtest/gtest.h>

#include <math.h>

#include <map>
#include <string>
#include <vector>

#include "luaman.h"
#include "recording-kd.h"
#include "services-fixture.h"

namespace {

const char* kDefinitions =
    "<?xml version=\"1.0\"?>\n<root>\n<array id=\"ACHIEVEMENTS\">\n"
    "<node id=\"FIRST\" name=\"First!\" icon=\"gfx/first.png\"/>\n"
    "<node id=\"SECOND\" name=\"Second\" icon=\"gfx/second.png\"/>\n"
    "<node id=\"BARE\"/>\n"
    "</array>\n</root>\n";

std::vector<std::string>& calls() { return rec().calls; }

std::string F(float v) {
    char b[32];
    snprintf(b, sizeof b, "%.2f", v);
    return b;
}

// Bitmaps by name: 64 x 64 icons, and the built-in empty "!NONE".
std::map<std::string, kd_bitmap_t> bitmaps;
kd_bitmap_t* Fake(const char* name, int size) {
    kd_bitmap_t& bm = bitmaps[name];
    memset(&bm, 0, sizeof bm);
    bm.name = (char*)bitmaps.find(name)->first.c_str();
    bm.width = bm.height = size;
    return &bm;
}
kd_bitmap_t* RLoadBitmap(const char* name, int mode) {
    calls().push_back(std::string("load ") + name);
    return Fake(name, 64);
}
kd_bitmap_t* RGetBitmap(const char* name) { return Fake(name, strcmp(name, "!NONE") == 0 ? 0 : 64); }
void RReleaseBitmap(kd_bitmap_t* bm) { calls().push_back(std::string("release ") + bm->name); }
void RDrawRect(float x, float y, float w, float h) {
    calls().push_back("rect " + F(x) + " " + F(y) + " " + F(w) + " " + F(h));
}
void RDrawBitmapRS(kd_bitmap_t* bm, float x, float y, float a, float s) {
    calls().push_back(std::string("icon ") + bm->name + " " + F(x) + " " + F(y) + " " + F(s));
}
float RDrawTextf(kd_font_t*, float x, float y, const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    calls().push_back("text " + F(x) + " " + F(y) + " " + RecFormat(format, ap));
    va_end(ap);
    return 0;
}
void RSetAlpha(float a) { calls().push_back("alpha " + F(a)); }
float RGetTextWidthf(kd_font_t*, const char*, ...) { return 100; }
float RGetTextHeightf(kd_font_t*, const char*, ...) { return 20; }

struct Achievements : ::testing::Test {
    ServicesEnv env{{{"achievements/achievements.xml", kDefinitions}}};
    FakeScreens screens;
    RecordingKd r{kd};
    kd_font_t font{};
    void SetUp() override {
        kodo_t& t = r.table;
        t.LoadBitmap = RLoadBitmap;
        t.GetBitmap = RGetBitmap;
        t.ReleaseBitmap = RReleaseBitmap;
        t.DrawRect = RDrawRect;
        t.DrawBitmapRS = RDrawBitmapRS;
        t.DrawTextf = RDrawTextf;
        t.SetAlpha = RSetAlpha;
        t.GetTextWidthf = RGetTextWidthf;
        t.GetTextHeightf = RGetTextHeightf;
        engine_call_extension = t.CallExtension;
        t.CallExtension = FakeGameCenter;
        game_center_present = false;
        r.Install();
        ASSERT_TRUE(lua_man.Initialize());
        env.Profile("Ann");
        screens.font = &font;
    }
    void TearDown() override { lua_man.Shutdown(); }
    bool Lua(const std::string& code) { return lua_man.ExecLuaString(nullptr, code.c_str()); }
    const char* Ack(const char* id) { return prof->GetValue("ACHIEVEMENTS", id, "game_center_ack"); }
    // The calls made by one draw of the bars.
    std::vector<std::string> Drawn() {
        calls().clear();
        achievement_man.DrawAchievementPopups();
        std::vector<std::string> out;
        for (auto& c : calls())
            if (c.rfind("alpha", 0) != 0) out.push_back(c);
        return out;
    }
};

}  // namespace

TEST_F(Achievements, UnlocksGoToTheProfileAndQueueOneBarEach) {
    // Off: nothing is unlocked, but the game's notices still show.
    achievement_man.UnlockAchievement("FIRST");
    EXPECT_FALSE(achievement_man.IsAchievementUnlocked("FIRST"));
    achievement_man.ShowPopupText("Level 1");
    EXPECT_EQ(achievement_man.GetNumberOfQueuedPopups(), 1);
    achievement_man.Reset();

    achievement_man.Initialize();
    ASSERT_TRUE(achievement_man.IsInitialized());
    // Twice: one bar, and the second call marks it unacknowledged again.
    ASSERT_TRUE(Lua("AM_UnlockAchievement('FIRST')"));
    prof->SetValue("ACHIEVEMENTS", "FIRST", "game_center_ack", "1");
    achievement_man.UnlockAchievement("FIRST");
    EXPECT_STREQ(Ack("FIRST"), "0");
    EXPECT_EQ(achievement_man.GetNumberOfQueuedPopups(), 1);
    ASSERT_TRUE(Lua("unlocked = AM_IsAchievementUnlocked('FIRST') and not AM_IsAchievementUnlocked('SECOND')"));
    lua_getglobal(lua_man.GetMainState(), "unlocked");
    EXPECT_TRUE(lua_toboolean(lua_man.GetMainState(), -1));
    lua_pop(lua_man.GetMainState(), 1);
    // Unknown ids unlock nothing.
    achievement_man.UnlockAchievement("NOPE");
    achievement_man.UnlockAchievement(nullptr);
    EXPECT_EQ(achievement_man.GetNumberOfUnlockedAchievements(), 1);
    EXPECT_STREQ(achievement_man.GetUnlockedAchievementByIndex(0), "FIRST");

    // Two more in the same frame: the three bars show together for 2.75 s,
    // so that none is left over for the screens that follow.
    achievement_man.UnlockAchievement("SECOND");
    achievement_man.UnlockAchievement("BARE");
    ASSERT_EQ(achievement_man.GetNumberOfQueuedPopups(), 3);
    EXPECT_STREQ(achievement_man.GetPopup(0)->text.text, "First!");
    EXPECT_STREQ(achievement_man.GetPopup(2)->icon->name, "!NONE");  // no icon
    EXPECT_EQ(achievement_man.GetPopup(2)->text.text, nullptr);      // no name
    calls().clear();
    for (int frame = 0; frame < 27; frame++) achievement_man.UpdateAchievementPopups(0.1f);
    EXPECT_EQ(achievement_man.GetNumberOfQueuedPopups(), 3);  // 2.7 s
    achievement_man.UpdateAchievementPopups(0.1f);
    EXPECT_EQ(achievement_man.GetNumberOfQueuedPopups(), 0);
    EXPECT_EQ(calls(), (std::vector<std::string>{"release gfx/first.png", "release gfx/second.png"}));

    // Hidden notifications: unlocks show nothing, notices still do.
    achievement_man.Reset();
    prof->RemoveCategory("ACHIEVEMENTS");
    feature_man.SetFeatureList("HIDE_ACHIEVEMENT_NOTIFICATIONS");
    achievement_man.Initialize();
    achievement_man.UnlockAchievement("SECOND");
    EXPECT_TRUE(achievement_man.IsAchievementUnlocked("SECOND"));
    EXPECT_EQ(achievement_man.GetNumberOfQueuedPopups(), 0);
    achievement_man.ShowPopupText("Level 2");
    EXPECT_EQ(achievement_man.GetNumberOfQueuedPopups(), 1);
    // A runaway script cannot pile up notices without end.
    for (int i = 0; i < 200; i++) achievement_man.ShowPopupText("again");
    EXPECT_EQ(achievement_man.GetNumberOfQueuedPopups(), (int)AchievementManager::kMaxQueuedPopups);
}

TEST_F(Achievements, BarsRestWhereTheyHideNothingAndSlideIn) {
    achievement_man.Initialize();
    achievement_man.UnlockAchievement("FIRST");
    // 1024 x 600, scale 1, a 64-pixel icon, text 100 wide: the bar is its
    // content's size (64 + 16 + 100 and 20 each side), the icon's height,
    // in the middle of the bottom edge (y = 552).
    achievement_man.UpdateAchievementPopups(1.0f);
    float swell = 1 + 0.2f * sinf(0.975f * 3.14159265f);  // (1.0 - 0.35) * 1.5
    EXPECT_EQ(Drawn(),
              (std::vector<std::string>{"rect 402.00 520.00 220.00 64.00",
                                        "icon gfx/first.png 454.00 552.00 " + F(swell), "text 502.00 552.00 First!"}));
    // At the start it stands a little to the left, transparent.
    achievement_man.Reset();
    achievement_man.Initialize();
    prof->RemoveCategory("ACHIEVEMENTS");
    achievement_man.UnlockAchievement("FIRST");
    calls().clear();
    achievement_man.DrawAchievementPopups();
    EXPECT_EQ(calls()[0], "alpha 0.00");
    EXPECT_EQ(calls()[3], "icon gfx/first.png 424.00 552.00 1.00");

    // A button in the middle of the bottom: the bar goes to the bottom's
    // left, clear of it with its slide; buttons along the whole bottom
    // (a screen changed under it): the bar ends with its screen, never
    // moved over the new one, and the one queued after it takes the top.
    achievement_man.Reset();
    achievement_man.ShowPopup("First!", "gfx/first.png");
    screens.readable = {{400, 500, 624, 600}};
    achievement_man.UpdateAchievementPopups(1.0f);
    EXPECT_EQ(Drawn()[0], "rect 38.00 520.00 220.00 64.00");
    achievement_man.ShowPopup("First!", "gfx/first.png");
    achievement_man.ShowPopup("First!", "gfx/first.png");
    screens.readable.push_back({0, 560, 1024, 600});
    achievement_man.UpdateAchievementPopups(0.1f);
    EXPECT_EQ(achievement_man.GetNumberOfQueuedPopups(), 2);
    EXPECT_NE(Drawn()[0].find(" 16.00 220.00 64.00"), std::string::npos) << Drawn()[0];  // sliding in

    // Covered everywhere, a bar waits with its time standing; uncovered,
    // it shows. Two bars share the bottom, one each side.
    achievement_man.Reset();
    screens.readable = {{0, 0, 1024, 600}};
    achievement_man.ShowPopup("First!", "gfx/first.png");
    achievement_man.ShowPopup("First!", "gfx/first.png");
    for (int frame = 0; frame < 50; frame++) achievement_man.UpdateAchievementPopups(0.1f);
    EXPECT_EQ(achievement_man.GetNumberOfQueuedPopups(), 2);
    EXPECT_TRUE(Drawn().empty());
    screens.readable.clear();
    achievement_man.UpdateAchievementPopups(1.0f);
    std::vector<std::string> both = Drawn();
    ASSERT_EQ(both.size(), 6u);
    EXPECT_EQ(both[0], "rect 38.00 520.00 220.00 64.00");
    EXPECT_EQ(both[3], "rect 766.00 520.00 220.00 64.00");
    for (int frame = 0; frame < 18; frame++) achievement_man.UpdateAchievementPopups(0.1f);
    EXPECT_EQ(achievement_man.GetNumberOfQueuedPopups(), 0);
    // One that never finds a place is given up in the end.
    screens.readable = {{0, 0, 1024, 600}};
    achievement_man.ShowPopup("First!", "gfx/first.png");
    for (int frame = 0; frame < 199; frame++) achievement_man.UpdateAchievementPopups(0.1f);
    EXPECT_EQ(achievement_man.GetNumberOfQueuedPopups(), 1);
    for (int frame = 0; frame < 3; frame++) achievement_man.UpdateAchievementPopups(0.1f);
    EXPECT_EQ(achievement_man.GetNumberOfQueuedPopups(), 0);
    screens.readable.clear();

    // A text-only notice: the bar is twice the text's height; at scale 2.
    achievement_man.ShowPopupText("Level 1");
    screens.scale = 2;
    achievement_man.UpdateAchievementPopups(1.0f);
    std::vector<std::string> drawn = Drawn();
    ASSERT_EQ(drawn.size(), 3u);
    EXPECT_EQ(drawn[0], "rect 356.00 512.00 312.00 80.00");
    // Without the screen manager's font nothing is drawn.
    screens.font = nullptr;
    EXPECT_TRUE(Drawn().empty());
}

TEST_F(Achievements, GameCenterHearsOfUnlocksUntilItAcknowledges) {
    // Without a game centre its events are ignored.
    achievement_man.Initialize();
    kd_event_t ack = ServiceEvent(20, (intptr_t) "SECOND", 1, 0);
    achievement_man.ProcessEvent(&ack);
    EXPECT_FALSE(achievement_man.IsAchievementUnlocked("SECOND"));
    // ... and the achievements screen of the game is shown instead.
    screens.registered = {"Achievements"};
    achievement_man.ShowAchievements();
    EXPECT_EQ(screens.calls, std::vector<std::string>{"push Achievements"});
    achievement_man.ShowAchievements();  // already up
    EXPECT_EQ(screens.calls.size(), 1u);
    achievement_man.Reset();

    feature_man.SetFeatureList("GAME_CENTER");
    game_center_present = true;
    calls().clear();
    achievement_man.Initialize();
    achievement_man.UnlockAchievement("FIRST");
    achievement_man.UnlockAchievement("FIRST");
    achievement_man.ShowAchievements();
    EXPECT_EQ(calls(),
              (std::vector<std::string>{"gc Authenticate", "load gfx/first.png", "gc UnlockAchievement,FIRST,100",
                                        "gc IsAuthenticated", "gc ShowAchievements"}));
    // An acknowledgement, also for an achievement never unlocked here.
    achievement_man.ProcessEvent(&ack);
    EXPECT_STREQ(Ack("SECOND"), "1");
    std::string huge(5000, 'h');
    kd_event_t bad = ServiceEvent(20, (intptr_t)huge.c_str(), 1, 0);
    achievement_man.ProcessEvent(&bad);
    EXPECT_EQ(prof->GetNumberOfValuesInCategory("ACHIEVEMENTS"), 2);
    // A login stores the player and resends what is unacknowledged.
    calls().clear();
    kd_event_t login = ServiceEvent(19, 1, (intptr_t) "G:123", (intptr_t)huge.c_str());
    achievement_man.ProcessEvent(&login);
    EXPECT_EQ(calls(), std::vector<std::string>{"gc UnlockAchievement,FIRST,100"});
    EXPECT_STREQ(prof->GetValue("GAME_CENTER", "profile", "uid"), "G:123");
    EXPECT_EQ(strlen(prof->GetValue("GAME_CENTER", "profile", "alias")), (size_t)AchievementManager::kMaxText);
    // A failed login changes nothing.
    calls().clear();
    login.id = 0x100;
    achievement_man.ProcessEvent(&login);
    EXPECT_TRUE(calls().empty());
}
