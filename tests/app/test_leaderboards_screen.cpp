// The leaderboards screen on a layout of its own: the category arrows
// fading at the ends, stepping past the last category, and the rows drawn
// into the view and measured for the touch field at any scale.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/screen-leaderboards.h"
#include "luaman.h"
#include "recording-kd.h"
#include "services-fixture.h"
#include "ui/screen-manager.h"
#include "ui/ui-comps.h"
#include "ui/ui-layout.h"
#include "ui/ui-rectangle.h"
#include "ui/ui-touchfield.h"
#include "ui/ui-widgets.h"

namespace {

const char* kLayout =
    "CreateComp ('Marker', 'Scissor')\n"
    "CreateComp ('TouchField', 'TF')\n"
    "CreateComp ('Marker', 'Scores')\n"
    "SetProperty ('custom_draw', 1)\n"
    "CreateComp ('Marker', 'PrevCategory')\n"
    "CreateComp ('Marker', 'NextCategory')\n";

std::string Categories(int n) {
    std::string s = "<root><array id=\"CATEGORIES\">";
    for (int i = 1; i <= n; i++) s += "<node id=\"C" + std::to_string(i) + "\" display_name=\"Cat\"/>";
    return s + "</array></root>";
}

// The rank texts drawn: "<y> <rank>." each.
std::vector<std::string>& drawn() { return rec().calls; }
float RDrawTextf(kd_font_t*, float, float y, const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    std::string text = RecFormat(format, ap);
    va_end(ap);
    if (strcmp(format, "%d.") == 0) drawn().push_back(std::to_string((int)y) + " " + text);
    return 0;
}
float RTextHeight(kd_font_t*, const char*, ...) { return 20; }

struct LeaderboardsScreen : ::testing::Test {
    std::unique_ptr<ServicesEnv> env;
    std::unique_ptr<RecordingKd> r;  // a copy of the started engine's table
    kd_font_t font{};
    ScreenLeaderboards& screen = screen_Leaderboards;

    void Start(int categories) {
        env.reset(new ServicesEnv(
            {{"leaderboards/leaderboards.xml", Categories(categories)}, {"ui/fw/leaderboards.lua", kLayout}}));
        r.reset(new RecordingKd(kd));
        r->table.DrawTextf = RDrawTextf;
        r->table.GetTextHeightf = RTextHeight;
        r->Install();
        lua_man.Initialize();
        UIRegisterWidgetKinds();
        ui_screen = UIScreenValues();
        ui_template_set = nullptr;
        sman.default_font = &font;
        env->Profile("Ann");
        ASSERT_TRUE(screen.PreLoad());
        rec().Clear();
    }
    void TearDown() override {
        screen.Unload();
        UILayoutDeleteComps(screen.uiset);
        delete screen.uiset;
        screen.uiset = nullptr;
        sman.default_font = nullptr;
        leaderboards_man.Reset();
        dman.ReleaseDatabase(LeaderboardsManager::kDefinitionsFile);
        lua_man.Shutdown();
        r.reset();
        env.reset();
    }
    bool Fading(const char* name) { return screen.GetComp(name)->fading; }
    void Click(const char* name) { screen.ProcessUICompClick(screen.GetComp(name), 0); }
    // A component at a place of the screen in pixels.
    UIComp* Place(const char* name, float x, float y, float w, float h) {
        UIComp* c = screen.GetComp(name);
        c->position_type = UI_POS_ABSOLUTE;
        c->position = {x, y, 0};
        if (c->type == UI_MARKER) ((UICompMarker*)c)->area_width = w, ((UICompMarker*)c)->area_height = h;
        c->UpdateDimensions();
        return c;
    }
};

}  // namespace

TEST_F(LeaderboardsScreen, ArrowsFadeAtTheEndsAndTheLastCategoryStepsNowhere) {
    Start(1);
    screen.Update(0);
    EXPECT_TRUE(Fading("PrevCategory") && Fading("NextCategory"));  // one category: both
    Click("NextCategory");
    EXPECT_TRUE(rec().prints.empty());

    TearDown();
    Start(3);
    screen.Update(0);
    EXPECT_TRUE(Fading("PrevCategory"));
    EXPECT_FALSE(Fading("NextCategory"));
    Click("NextCategory");
    screen.Update(0);
    EXPECT_FALSE(Fading("PrevCategory") || Fading("NextCategory"));
    Click("NextCategory");
    screen.Update(0);
    EXPECT_STREQ(screen.client->GetCategory(), "C3");
    EXPECT_TRUE(Fading("NextCategory"));
    EXPECT_FALSE(Fading("PrevCategory"));
    // On the last category Next changes nothing and requests nothing.
    rec().Clear();
    Click("NextCategory");
    EXPECT_STREQ(screen.client->GetCategory(), "C3");
    EXPECT_TRUE(rec().prints.empty());
    // The menus' message selects a category; any other is not this
    // screen's.
    EXPECT_EQ(screen.ProcessScreenMessage(nullptr, "SetCategory", "C1"), 1);
    EXPECT_STREQ(screen.client->GetCategory(), "C1");
    EXPECT_EQ(screen.ProcessScreenMessage(nullptr, "Other", "C2"), 0);
}

TEST_F(LeaderboardsScreen, RowsAreDrawnInsideTheViewAndMeasuredForTheTouchField) {
    Start(1);
    for (int i = 0; i < 25; i++) leaderboards_man.SubmitScore("C1", 1000 - i, 1);
    UICompTouchField* tf = (UICompTouchField*)screen.GetComp("TF");
    // Rows of 20 - 2 = 18 pixels from y 100; the view from 100 to 280:
    // the row whose top is at 280 lies on the bottom edge and is not drawn.
    Place("Scissor", 50, 100, 500, 180);
    UIComp* scores = Place("Scores", 50, 100, 500, 10);
    screen.DrawUIComp(scores);
    ASSERT_EQ(drawn().size(), 10u);
    EXPECT_EQ(drawn().front(), "100 1.");
    EXPECT_EQ(drawn().back(), "262 10.");
    EXPECT_FLOAT_EQ(tf->content_height, 25 * 18);

    // At twice the size, rows are 36 high; a row reaching into the view
    // from above is drawn, the touch field's height is unscaled.
    drawn().clear();
    scores->scale = 2;
    scores = Place("Scores", 50, 100 - 30, 500, 10);
    screen.DrawUIComp(scores);
    ASSERT_FALSE(drawn().empty());
    EXPECT_EQ(drawn().front(), "70 1.");  // its top at 70, below 100 - 36
    EXPECT_EQ(drawn().back(), "250 6.");  // the 7th's top, 286, is past the view
    EXPECT_FLOAT_EQ(tf->content_height, 25 * 18);
}
