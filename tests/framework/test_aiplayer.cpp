// The automated player on screens of the test's own: the registry and the
// manager (no player, a sixth player, the developer's toggle), drags over
// frames with the events they send, the generic screen policy (its wait,
// its retries, its fallbacks, its refusal of a button off the screen),
// and a click on a button whose own script reloads the layout.
#include <gtest/gtest.h>

#include <math.h>

#include <memory>
#include <string>
#include <vector>

#include "fw-support.h"
#include "luaman.h"
#include "manager.h"
#include "recording-kd.h"
#include "ui/aiplayer.h"
#include "ui/screen-manager.h"
#include "ui/ui-comps.h"
#include "ui/ui-layout.h"
#include "ui/ui-widgets.h"
#include "widget-fakes.h"

namespace {

struct EventScreen : Screen {
    std::vector<kd_event_t> events;
    explicit EventScreen(const char* n) : Screen(n) {}
    ~EventScreen() override {
        if (!uiset) return;
        UILayoutDeleteComps(uiset);
        delete uiset;
    }
    int ProcessEvent(kd_event_t* e) override {
        if (e->type == KD_EVENT_BUTTON_DOWN || e->type == KD_EVENT_BUTTON_UP || e->type == KD_EVENT_POINTER_MOVE)
            events.push_back(*e);
        return 1;
    }
    int Count(int type) const {
        int n = 0;
        for (const kd_event_t& e : events) n += e.type == type;
        return n;
    }
};

// A player that names the button to press and counts its questions.
struct NamingPlayer : AIPlayer {
    const char* wanted = nullptr;
    const char* name = "Namer";
    int asked = 0;
    const char* GetName() override { return name; }
    const char* GetCompToPress(Screen*, const char*) override { return asked++, wanted; }
};

struct AIPlayers : ::testing::Test {
    FwEngine e;
    RecordingKd r{kd};
    wf::FakeBitmap button{"b.png", 100, 40};
    std::vector<std::unique_ptr<EventScreen>> screens;

    void SetUp() override {
        ASSERT_TRUE(e.started);
        wf::InstallFakes(r.table);
        r.Install();
        wf::StartScreens();
        sman.zero_next_time_step = false;
        AIPlayerMan::ClearRegistry();
        ai_man = AIPlayerMan();
    }
    void TearDown() override {
        sman.Shutdown();
        screens.clear();
        sman.UnlockCursors();
        AIPlayerMan::ClearRegistry();
        ai_man = AIPlayerMan();
        AIPlayerMan::in_level_play = nullptr;
        lua_man.Shutdown();
    }
    // A screen pushed and fully in, with a layout when given.
    EventScreen* Show(const char* name, const std::string& layout = "") {
        screens.emplace_back(new EventScreen(name));
        EventScreen* s = screens.back().get();
        if (!layout.empty()) {
            WriteNative(e.UserPath(std::string(name) + ".lua"), layout);
            EXPECT_TRUE(s->LoadUI((std::string("user://") + name + ".lua").c_str()));
        }
        Screen::PreLoadScreen(s, false);
        sman.PushScreen(s);
        sman.UpdateScreens(1.0f);
        sman.UpdateScreens(1.0f);
        EXPECT_GE(s->trans, 1.0f);
        return s;
    }
    static std::string Button(const char* name, float x, float y) {
        return std::string("CreateComp ('Button', '") + name + "');\nSetProperty ('button.bm_idle', 'b.png');\n" +
               "SetProperty ('position', " + std::to_string(x) + ", " + std::to_string(y) +
               ");\nSetProperty ('align', 'CENTER');\n";
    }
    static int Clicks() {
        int n = 0;
        for (const std::string& p : rec().prints) n += p.rfind("AI clicked", 0) == 0;
        return n;
    }
};

}  // namespace

TEST_F(AIPlayers, RegistryManagerAndToggle) {
    EventScreen* s = Show("Plain", Button("Ok", 0.5f, 0.5f));
    // Enabled with nobody registered: nothing is chosen, nothing is sent.
    ai_man.enabled = true;
    for (int i = 0; i < 400; i++) ai_man.PlayTheGame(0.05f);
    EXPECT_EQ(ai_man.current, nullptr);
    EXPECT_TRUE(s->events.empty());
    ai_man.Draw();

    // Five register; a sixth is ignored.
    NamingPlayer p[6];
    const char* names[6] = {"A", "B", "C", "D", "E", "F"};
    for (int i = 0; i < 6; i++) {
        p[i].name = names[i];
        AIPlayerMan::RegisterAI(&p[i]);
    }
    EXPECT_EQ(AIPlayerMan::GetNumberOfAIs(), 5);
    EXPECT_EQ(AIPlayerMan::GetAI(5), nullptr);
    EXPECT_EQ(AIPlayerMan::GetAIByName("E"), &p[4]);
    EXPECT_EQ(AIPlayerMan::GetAIByName("F"), nullptr);

    // The first registered plays, and stays the player.
    ai_man.PlayTheGame(0.01f);
    EXPECT_EQ(ai_man.current, &p[0]);
    ai_man.UseAI(&p[2]);
    for (int i = 0; i < 80; i++) ai_man.PlayTheGame(0.05f);
    EXPECT_GT(p[2].asked, 0);
    EXPECT_EQ(p[0].asked, 0);

    // 'A' flips the player only in developer mode with a level in play.
    kd_event_t a{};
    a.type = KD_EVENT_KEY_DOWN;
    a.id = 'A';
    bool in_play = false;
    static bool* play = nullptr;
    play = &in_play;
    AIPlayerMan::in_level_play = [] { return *play; };
    kd_parms_t* parms = Manager::GetParms();
    const bool developer = parms->developer_mode;
    parms->developer_mode = true;
    ai_man.ProcessEvent(&a);
    EXPECT_TRUE(ai_man.enabled);
    in_play = true;
    ai_man.ProcessEvent(&a);
    EXPECT_FALSE(ai_man.enabled);
    EXPECT_TRUE(Recorded::Has(rec().prints, "AI Player is now DISABLED"));
    parms->developer_mode = false;
    ai_man.ProcessEvent(&a);
    EXPECT_FALSE(ai_man.enabled);
    parms->developer_mode = developer;
}

TEST_F(AIPlayers, DragsRunOverFramesAndEndExactlyAtTheirEnd) {
    EventScreen* s = Show("Field");
    AIPlayer p;
    // Not positive: one second.
    p.Drag(vec2_t{10, 10}, vec2_t{110, 10}, 0, false);
    int frames = 0;
    while (p.dragging && frames < 100) {
        p.Update(0.1f);
        frames++;
    }
    EXPECT_EQ(frames, 10);
    EXPECT_EQ(s->Count(KD_EVENT_BUTTON_DOWN), 1);
    EXPECT_EQ(s->Count(KD_EVENT_BUTTON_UP), 1);

    // Half a second at 60 frames a second: 30 moves, the last one at the
    // end point, then the release there; the press and the pointer follow.
    s->events.clear();
    const float dt = 1.0f / 60;
    p.Drag(vec2_t{100, 300}, vec2_t{700, 150}, 0.5f, false);
    EXPECT_EQ(kd->GetKeyStatef(KD_KEY_POINTER_X), 100.0f);
    while (p.dragging) p.Update(dt);
    const int moves = s->Count(KD_EVENT_POINTER_MOVE);
    EXPECT_NEAR(moves, 0.5f / dt, 1.0f);
    ASSERT_GE(s->events.size(), 3u);
    const kd_event_t& last_move = s->events[s->events.size() - 2];
    EXPECT_EQ(last_move.type, KD_EVENT_POINTER_MOVE);
    EXPECT_EQ(last_move.x, 700);
    EXPECT_EQ(last_move.y, 150);
    EXPECT_EQ(s->events.back().type, KD_EVENT_BUTTON_UP);
    EXPECT_EQ(s->events.back().x, 700);
    EXPECT_EQ(s->events.front().type, KD_EVENT_BUTTON_DOWN);
    EXPECT_EQ(s->events.front().button, KD_KEY_MOUSE_BUTTON_0);
    EXPECT_EQ(kd->GetKeyStatef(KD_KEY_POINTER_X), 700.0f);
    EXPECT_EQ(p.timer, 0.0f);

    // Without a press: no press and no release.
    s->events.clear();
    p.Drag(vec2_t{0, 0}, vec2_t{50, 50}, 0.2f, true);
    while (p.dragging) p.Update(dt);
    EXPECT_EQ(s->Count(KD_EVENT_BUTTON_DOWN) + s->Count(KD_EVENT_BUTTON_UP), 0);
    EXPECT_GT(s->Count(KD_EVENT_POINTER_MOVE), 10);
}

TEST_F(AIPlayers, TheScreenPolicyWaitsRetriesFallsBackAndStaysOnTheScreen) {
    // A screen with nothing to press: nothing for 3 s, then a try every
    // frame, until a usual button appears.
    EventScreen* s = Show("Quiet", "CreateComp ('Image', 'picture');\n");
    NamingPlayer p;
    p.wanted = "Missing";
    for (int i = 0; i < 29; i++) p.Update(0.1f);
    EXPECT_EQ(p.asked, 0);
    for (int i = 0; i < 5; i++) p.Update(0.1f);
    EXPECT_EQ(p.asked, 4);
    EXPECT_EQ(Clicks(), 0);
    WriteNative(e.UserPath("Go.lua"), Button("Go", 0.5f, 0.5f));
    ASSERT_TRUE(s->LoadUI("user://Go.lua"));
    sman.UpdateScreens(0.01f);
    p.Update(0.01f);
    EXPECT_TRUE(Recorded::Has(rec().prints, "AI clicked Go"));
    EXPECT_EQ(p.timer, 0.0f);
    // The pointer was left over the button's centre.
    EXPECT_EQ(kd->GetKeyStatef(KD_KEY_POINTER_X), 400.0f);
    EXPECT_EQ(kd->GetKeyStatef(KD_KEY_POINTER_Y), 300.0f);

    // The player's own choice before the usual ones; a button whose
    // three test points are all off the screen is never pressed.
    rec().prints.clear();
    EventScreen* off = Show("Off", Button("Ok", 0.5f, 0.5f) + Button("Far", -2.0f, 0.5f));
    p.wanted = "Far";
    for (int i = 0; i < 100; i++) p.Update(0.1f);
    EXPECT_EQ(Clicks(), 0);
    // One test point on the screen is enough.
    WriteNative(e.UserPath("Edge.lua"), Button("Far", 0.01f, 0.01f) + Button("Ok", 0.5f, 0.5f));
    ASSERT_TRUE(off->LoadUI("user://Edge.lua"));
    sman.UpdateScreens(0.01f);
    p.Update(0.01f);
    EXPECT_TRUE(Recorded::Has(rec().prints, "AI clicked Far"));
    (void)off;
}

TEST_F(AIPlayers, AButtonWhoseClickReloadsItsLayoutIsClickedSafely) {
    WriteNative(e.UserPath("reload.lua"), "reloads = (reloads or 0) + 1\nLoadUI ('user://Self.lua')\n");
    std::string layout = Button("Ok", 0.25f, 0.25f) + "SetProperty ('OnClick', 'user://reload.lua');\n";
    EventScreen* s = Show("Self", layout);
    UIComp* ok = s->GetComp("Ok");
    ASSERT_NE(ok, nullptr);
    AIPlayer p;
    for (int round = 0; round < 3; round++) {
        p.ClickComponent(s, s->GetComp("Ok"));
        // The old set goes once nothing refers to it.
        sman.UpdateScreens(0.01f);
        sman.UpdateScreens(0.01f);
        EXPECT_EQ(kd->GetKeyStatef(KD_KEY_POINTER_X), 200.0f);
        EXPECT_EQ(kd->GetKeyStatef(KD_KEY_POINTER_Y), 150.0f);
    }
    EXPECT_EQ(FwEvalLua(s->uiset->L, "return reloads"), "nil");  // a new set's state
    EXPECT_NE(s->GetComp("Ok"), nullptr);
}
