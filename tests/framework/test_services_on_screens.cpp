// The player services on the real screen manager: the store's result
// reaches the purchase service through the manager's event handling, and
// the service pushes, pops and messages the purchase screens by name; the
// achievement bar is updated and drawn with the screens, and the
// achievements screen is shown by name.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <memory>
#include <string>
#include <vector>

#include "luaman.h"
#include "recording-kd.h"
#include "services-fixture.h"
#include "ui/screen-manager.h"
#include "ui/ui-comps.h"

namespace {

struct RecScreen : Screen {
    std::vector<std::string> messages;
    explicit RecScreen(const char* n) : Screen(n) {}
    int ProcessScreenMessage(Screen*, const char* message, const char* value) override {
        messages.push_back(std::string(message) + "=" + (value ? value : ""));
        return 1;
    }
};

std::vector<std::string>& rects() { return rec().calls; }
void RDrawRect(float x, float y, float w, float h) {
    rects().push_back(std::to_string((int)x) + " " + std::to_string((int)y) + " " + std::to_string((int)w) + " " +
                      std::to_string((int)h));
}
float RTextSize(kd_font_t*, const char*, ...) { return 20; }
float RDrawTextf(kd_font_t*, float, float, const char*, ...) { return 0; }

struct ServicesOnScreens : ::testing::Test {
    ServicesEnv env{{{"in-app-purchases/in-app-purchases.xml",
                      "<root><array id=\"ITEMS\"><node id=\"BIG_BALL\" name=\"Big Ball\"/></array></root>"},
                     {"achievements/achievements.xml",
                      "<root><array id=\"ACHIEVEMENTS\"><node id=\"FIRST\" name=\"First!\"/></array></root>"},
                     {"ui/menu.lua",
                      "CreateComp ('Button', 'Quit');\nSetProperty ('position', 0.5, 0.92);\n"
                      "SetProperty ('align', 'CENTER');\n"
                      "CreateComp ('Image', 'Counter');\nSetProperty ('position', 0.1, 0.92);\n"
                      "SetProperty ('align', 'CENTER');\nSetProperty ('visible', 0);\n"}}};
    RecordingKd r{kd};
    std::vector<std::unique_ptr<RecScreen>> screens;
    kd_font_t font{};

    void SetUp() override {
        r.table.DrawRect = RDrawRect;
        r.table.GetTextWidthf = RTextSize;
        r.table.GetTextHeightf = RTextSize;
        r.table.DrawTextf = RDrawTextf;
        r.Install();
        lua_man.Initialize();
        ui_screen = UIScreenValues();
        ui_screen.virtual_width = ui_screen.actual_width = 1024;
        ui_screen.virtual_height = ui_screen.actual_height = 600;
        sman.stack.count = 0;
        sman.zero_next_time_step = false;
        sman.default_font = &font;
        env.Profile("Ann");
        for (const char* name : {"MainMenu", "Unlocks", "PurchaseInProgress", "IAPPopup", "Achievements"}) {
            screens.emplace_back(new RecScreen(name));
            Screen::PreLoadScreen(screens.back().get(), false);
        }
    }
    void TearDown() override {
        sman.Shutdown();
        screens.clear();
        sman.default_font = nullptr;
        lua_man.Shutdown();
    }
    RecScreen* Get(const char* name) {
        for (auto& s : screens)
            if (strcmp(s->name.text, name) == 0) return s.get();
        return nullptr;
    }
    std::vector<std::string> Stack() {
        std::vector<std::string> names;
        for (int i = 0; i < sman.stack.count; i++) names.push_back(sman.stack.data[i]->name.text);
        return names;
    }
    // Frames of the screen manager until the animated pops are over.
    void Frames(int n) {
        for (int i = 0; i < n; i++) sman.Update(0.25f);
    }
};

}  // namespace

TEST_F(ServicesOnScreens, PurchaseScreensFollowTheStore) {
    ASSERT_TRUE(iap_man.Initialize());
    sman.PushScreen("MainMenu");
    sman.PushScreen("Unlocks");
    setenv("KODO_HOST_STORE", "open", 1);  // the platform's store can sell
    iap_man.PurchaseItem("BIG_BALL");
    unsetenv("KODO_HOST_STORE");
    EXPECT_EQ(Stack(), (std::vector<std::string>{"MainMenu", "Unlocks", "PurchaseInProgress"}));

    // The store's success, as the platform delivers it.
    kd_event_t e{};
    e.type = 34;
    e.x = (intptr_t) "BIG_BALL";
    e.y = 1;
    sman.ProcessEvent(e);
    Frames(8);
    EXPECT_EQ(Stack(), (std::vector<std::string>{"MainMenu", "IAPPopup"}));
    EXPECT_EQ(Get("IAPPopup")->messages, (std::vector<std::string>{"Title=Success!", "Text=Big Ball purchased."}));
    EXPECT_TRUE(iap_man.IsItemPurchased("BIG_BALL"));
    // Other screens never hear the store.
    EXPECT_TRUE(Get("MainMenu")->messages.empty());
}

TEST_F(ServicesOnScreens, AchievementBarRunsWithTheFramesAndTheScreenIsShownByName) {
    achievement_man.Initialize();
    // The menu's Quit, 200 x 60 in the middle of the bottom edge.
    ASSERT_TRUE(Get("MainMenu")->LoadUI("ui/menu.lua"));
    UIComp* quit = Get("MainMenu")->uiset->GetComp("Quit");
    ASSERT_NE(quit, nullptr);
    sman.PushScreen("MainMenu");
    quit->width = 200;
    quit->height = 60;
    achievement_man.UnlockAchievement("FIRST");
    ASSERT_EQ(achievement_man.GetNumberOfQueuedPopups(), 1);
    Frames(4);
    rects().clear();
    sman.DrawScreens(0);
    // The bar: its content's width (no icon: the gap, the text and 20 each
    // side), twice the text's height, on the bottom edge beside Quit.
    EXPECT_EQ(rects(), std::vector<std::string>{"38 532 76 40"});
    // Without Quit, a second bar shares the bottom edge with it.
    quit->visible = false;
    achievement_man.ShowPopupText("Level 1");
    Frames(4);
    rects().clear();
    sman.DrawScreens(0);
    EXPECT_EQ(rects(), (std::vector<std::string>{"38 532 76 40", "910 532 76 40"}));
    Frames(8);
    EXPECT_EQ(achievement_man.GetNumberOfQueuedPopups(), 0);
    // An image without a picture is a place the program draws into (a
    // game's counter on the bottom left): a bar keeps off it too.
    UIComp* counter = Get("MainMenu")->uiset->GetComp("Counter");
    ASSERT_NE(counter, nullptr);
    quit->visible = counter->visible = true;
    counter->width = 120;
    counter->height = 40;
    achievement_man.ShowPopupText("Level 2");
    Frames(4);
    rects().clear();
    sman.DrawScreens(0);
    EXPECT_EQ(rects(), std::vector<std::string>{"910 532 76 40"});
    Frames(12);

    ASSERT_TRUE(lua_man.ExecLuaString(nullptr, "AM_ShowAchievements()"));
    EXPECT_EQ(Stack(), (std::vector<std::string>{"MainMenu", "Achievements"}));
}
