// Screens and the screen manager: the registry and preloading, the stack
// (order, refusals, animated pops, re-pushes), clicks by pointer, the
// virtual screen's scales and what is drawn, the bitmap cache passes, the
// property paths of the script functions, a screen switch, and the
// screen browser's lent bitmaps and sets and its picture, which takes no
// input.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include "fw-support.h"
#include "luaman.h"
#include "manager.h"
#include "ui/aiplayer.h"
#include "ui/screen-listbox.h"
#include "ui/screen-manager.h"
#include "ui/screens-builtin.h"
#include "ui/ui-button.h"
#include "ui/ui-layout.h"
#include "ui/ui-widgets.h"
#include "widget-fakes.h"

namespace {

struct TestScreen : Screen {
    int draws = 0, clicks = 0, enters = 0, leaves = 0;
    explicit TestScreen(const char* n) : Screen(n) {}
    ~TestScreen() override {
        if (!uiset) return;
        UILayoutDeleteComps(uiset);
        delete uiset;
    }
    void Draw(float) override {
        draws++;
        DrawUI();
    }
    void Enter() override { enters++; }
    void Leave() override { leaves++; }
    int ProcessUICompClick(UIComp*, int) override { return ++clicks, 0; }
};

struct Screens : ::testing::Test {
    FwEngine e;
    RecordingKd r{kd};
    wf::FakeBitmap button{"b.png", 100, 40};
    wf::FakeBitmap img{"img.png", 10, 10};
    wf::FakeBitmap img2{"img2.png", 10, 10};
    std::vector<std::unique_ptr<TestScreen>> screens;

    void SetUp() override {
        ASSERT_TRUE(e.started);
        wf::InstallFakes(r.table);
        r.Install();
        wf::StartScreens();
        sman.press_only_hover = false;
        sman.clock = sman.prev_clock = 0;
        sman.zero_next_time_step = false;
    }
    void TearDown() override {
        sman.Shutdown();
        screens.clear();
        sman.UnlockCursors();
        ui_widget_hooks = UIWidgetHooks();
        lua_man.Shutdown();
    }
    // A preloaded screen, with a layout when given.
    TestScreen* Make(const char* name, const std::string& layout = "") {
        screens.emplace_back(new TestScreen(name));
        TestScreen* s = screens.back().get();
        if (!layout.empty()) {
            std::string file = std::string(name) + ".lua";
            WriteNative(e.UserPath(file), layout);
            EXPECT_TRUE(s->LoadUI(("user://" + file).c_str()));
        }
        Screen::PreLoadScreen(s, false);
        return s;
    }
    static std::string Eval(lua_State* L, const std::string& code) { return FwEvalLua(L, code); }
    static kd_event_t Pointer(int type, float x, float y, int id = 0) {
        kd_event_t ev{};
        ev.type = type;
        ev.id = id;
        ev.x = (intptr_t)x;
        ev.y = (intptr_t)y;
        ev.button = 510;
        return ev;
    }
    void Click(float x0, float y0, float x1, float y1) {
        kd_event_t down = Pointer(KD_EVENT_BUTTON_DOWN, x0, y0), up = Pointer(KD_EVENT_BUTTON_UP, x1, y1);
        sman.ProcessEvent(down);
        sman.ProcessEvent(up);
    }
    static std::string Global(lua_State* L, const char* name) { return Eval(L, std::string("return ") + name); }
};

const char* kButtonLayout =
    "UIEvents ('user://events.lua');\n"
    "CreateComp ('Button', 'ok');\n"
    "SetProperty ('button.bm_idle', 'b.png');\n"
    "SetProperty ('position', 0.5, 0.5);\n"
    "SetProperty ('align', 'CENTER');\n"
    "SetProperty ('OnClick', 'user://click.lua');\n";

}  // namespace

TEST_F(Screens, RegistryRingAndPreloadingOneAtATime) {
    TestScreen* x = Make("X");
    EXPECT_EQ(Screen::GetScreenByIndex(1), x);
    TestScreen* y = Make("Y");
    EXPECT_EQ(Screen::GetScreenByIndex(1), y);
    EXPECT_EQ(Screen::GetScreenByIndex(2), x);
    EXPECT_EQ(Screen::GetScreenByIndex(Screen::total_num_screens), nullptr);
    EXPECT_EQ(Screen::GetScreenByIndex(-1), nullptr);
    EXPECT_EQ(Screen::GetScreen("Nobody"), nullptr);
    EXPECT_TRUE(rec().PopupContains("Screen::GetScreen ('Nobody') -- screen not found!"));
    EXPECT_TRUE(x->leaving);  // until entered

    // Every screen not yet preloaded goes, one per call; the call that
    // preloads the last says so. One is preloaded out of turn first: the
    // last of the ring (like the loading screen), which must not keep the
    // answer from coming.
    screens.emplace_back(new TestScreen("P1"));
    screens.emplace_back(new TestScreen("P2"));
    Screen* last = Screen::GetScreenByIndex(Screen::total_num_screens - 1);
    sman.PreloadScreen(last);
    int calls = 0;
    bool done = false;
    while (!done && calls < 100) {
        int before = Screen::total_num_screens_preloaded;
        done = Screen::PreLoadAllScreens(true);
        calls++;
        if (!done) {
            EXPECT_EQ(Screen::total_num_screens_preloaded, before + 1);
        }
    }
    EXPECT_TRUE(done);
    EXPECT_TRUE(sman.all_screens_preloaded);
    EXPECT_EQ(Screen::total_num_screens_preloaded, Screen::total_num_screens);
    EXPECT_TRUE(Screen::PreLoadAllScreens(true));
    // A screen that goes leaves the ring and the counts.
    int total = Screen::total_num_screens;
    screens.pop_back();
    EXPECT_EQ(Screen::total_num_screens, total - 1);
    EXPECT_EQ(Screen::PeekScreen("P2"), nullptr);
}

TEST_F(Screens, StackOrderRefusalsPeekAndRePush) {
    TestScreen *a = Make("A"), *b = Make("B"), *c = Make("C");
    TestScreen* unloaded = new TestScreen("Unloaded");
    screens.emplace_back(unloaded);
    EXPECT_EQ(sman.PopScreen(0), nullptr);  // empty stack
    EXPECT_EQ(sman.PeekScreen(0), nullptr);
    sman.PushScreen(a);
    sman.PushScreen(b);
    sman.PushScreen(c, 1);  // under the top
    ASSERT_EQ(sman.stack.count, 3);
    EXPECT_EQ(sman.stack[0], a);
    EXPECT_EQ(sman.stack[1], c);
    EXPECT_EQ(sman.stack[2], b);
    EXPECT_EQ(sman.PeekScreen(0), b);
    EXPECT_EQ(sman.PeekScreen(5), a);  // past the bottom: the bottom

    rec().Clear();
    sman.PushScreen(b);
    EXPECT_TRUE(rec().PopupContains("Screen 'B' already in stack (leaving=FALSE). Not doing anything."));
    EXPECT_EQ(sman.stack.count, 3);
    EXPECT_EQ(b->enters, 1);
    sman.PushScreen(unloaded);
    EXPECT_TRUE(rec().PopupContains("Trying to push screen 'Unloaded' which has not been preloaded yet."));
    EXPECT_EQ(sman.stack.count, 3);

    // A re-push asked for inside a pop is not refused: it waits until the
    // popped entry has left the array, then the screen comes back on top.
    b->re_push = true;
    rec().Clear();
    sman.PopScreen(b, false);
    EXPECT_EQ(b->leaves, 1);
    EXPECT_FALSE(b->in_stack);
    EXPECT_FALSE(b->re_push);
    sman.UpdateScreens(0.01f);
    EXPECT_FALSE(rec().PopupContains("already in stack"));
    EXPECT_EQ(sman.TopScreen(), b);
    EXPECT_TRUE(b->in_stack);
    EXPECT_EQ(b->enters, 2);
    EXPECT_EQ(sman.stack.count, 3);

    // A depth below zero, which any script may give, means the top; one
    // past the bottom, the bottom. Nothing is written or read outside.
    TestScreen *d = Make("D"), *top = Make("E");
    sman.PushScreen(d, -31);
    sman.PushScreen(top, -100);
    ASSERT_EQ(sman.stack.count, 5);
    EXPECT_EQ(sman.stack[3], d);
    EXPECT_EQ(sman.stack[4], top);
    EXPECT_EQ(sman.PopScreen(-31), top);
    EXPECT_EQ(sman.PopScreen(100), a);
}

// A layout that loads itself, directly or round a cycle, is refused with
// the chain named; the layouts loaded keep what they made.
TEST_F(Screens, ALayoutLoadingItselfIsRefusedWithItsChain) {
    rec().Clear();
    TestScreen* self = Make("Self", "CreateComp ('Button', 'a');\nLoadUI ('user://Self.lua');\n");
    EXPECT_TRUE(
        rec().DebugContains("LoadUI refused: 'user://Self.lua' -> 'user://Self.lua' loads a layout already "
                            "being loaded."));
    ASSERT_NE(self->uiset, nullptr);
    EXPECT_NE(self->GetComp("a"), nullptr);
    WriteNative(e.UserPath("B.lua"), "CreateComp ('Button', 'b');\nLoadUI ('user://A.lua');\n");
    TestScreen* a = Make("A", "LoadUI ('user://B.lua');\n");
    EXPECT_TRUE(rec().DebugContains("LoadUI refused: 'user://A.lua' -> 'user://B.lua' -> 'user://A.lua' loads"));
    ASSERT_NE(a->uiset, nullptr);
    EXPECT_NE(a->GetComp("b"), nullptr);
}

// A layout loaded again replaces the screen's set; the old set and its Lua
// state go at a later frame once nothing refers to them (here the editor's
// selection), never while its own script runs.
TEST_F(Screens, ReplacedSetsAreFreedOnceNothingRefersToThem) {
    TestScreen* s = Make("Reload", "CreateComp ('Button', 'a');\nCreateComp ('Button', 'b');\n");
    sman.PushScreen(s);
    auto reload = [&]() {
        ASSERT_TRUE(s->LoadUI("user://Reload.lua"));
        sman.UpdateScreens(0.01f);  // a cursor may stay over the old set one frame
        sman.UpdateScreens(0.01f);
    };
    reload();
    const int states = lua_man.GetNumberOfOpenStates();
    for (int i = 0; i < 200; i++) reload();
    EXPECT_EQ(lua_man.GetNumberOfOpenStates(), states);

    UISet* old = s->uiset;
    sman.edit_selection = old->GetComp("b");
    reload();
    EXPECT_EQ(lua_man.GetNumberOfOpenStates(), states + 1);  // the selection holds it
    EXPECT_STREQ(sman.edit_selection->name, "b");
    sman.edit_selection = nullptr;
    sman.UpdateScreens(0.01f);
    EXPECT_EQ(lua_man.GetNumberOfOpenStates(), states);

    // A set whose own handler loads the layout again lives through it.
    WriteNative(e.UserPath("again.lua"),
                "function OnClick () LoadUI ('user://Reload.lua') SetProperty ('a:alpha', 0.5) end\n");
    lua_man.ExecLuaFile(s->uiset->L, "user://again.lua");
    lua_man.CallLuaFunction(s->uiset->L, "OnClick");
    sman.UpdateScreens(0.01f);
    sman.UpdateScreens(0.01f);
    EXPECT_EQ(lua_man.GetNumberOfOpenStates(), states);
}

TEST_F(Screens, AnimatedPopTakesAThirdOfASecondAndTimeStepsAreSafe) {
    TestScreen* s = Make("S");
    sman.PushScreen(s);
    sman.UpdateScreens(1.0f);
    ASSERT_FLOAT_EQ(s->trans, 1.0f);
    EXPECT_TRUE(s->shown);
    sman.PopScreen(s, true);
    int updates = 0;
    while (s->leaves == 0 && updates < 100) {
        sman.UpdateScreens(1.0f / 60);
        updates++;
    }
    // 20 steps take the phase to 0; the leave comes in the update that
    // finds it there, and the entry goes in the same pass.
    EXPECT_GE(updates, 20);
    EXPECT_LE(updates, 22);
    EXPECT_FALSE(sman.IsScreenInStack(s));

    sman.UpdateScreens(500);
    EXPECT_FLOAT_EQ(sman.last_dt, 200);

    // Intervals: true in the update whose clock crosses a multiple.
    sman.Update(0.4f);
    EXPECT_FALSE(sman.IsIntervalElapsed(0.5f));
    sman.Update(0.2f);
    EXPECT_TRUE(sman.IsIntervalElapsed(0.5f));
    sman.Update(0.2f);
    EXPECT_FALSE(sman.IsIntervalElapsed(0.5f));
    // Below a millisecond the period would be 0: every update counts, and
    // nothing divides by zero.
    EXPECT_TRUE(sman.IsIntervalElapsed(0.0001f));
    EXPECT_TRUE(sman.IsIntervalElapsedOffset(0, 7));
    sman.Update(0);
    EXPECT_FALSE(sman.IsIntervalElapsed(0.0001f));

    // After a long piece of work the screens get no time, the clock the
    // real time.
    const int clock = sman.clock;
    sman.ResetNextFrameTimeDelta();
    sman.Update(0.25f);
    EXPECT_EQ(sman.last_dt, 0.0f);
    EXPECT_EQ(sman.clock - clock, 250);
}

TEST_F(Screens, ClicksNeedTheScreenFullyInAndTheReleaseNearTheButton) {
    WriteNative(e.UserPath("events.lua"), "clicks = 0\nfunction OnClick (name) clicks = clicks + 1; last = name end\n");
    WriteNative(e.UserPath("click.lua"), "scripted = (scripted or 0) + 1\n");
    TestScreen* m = Make("Menu", kButtonLayout);
    ASSERT_TRUE(m->uiset && m->uiset->L);
    lua_State* L = m->uiset->L;
    sman.PushScreen(m);
    // The enter's bitmap loads zero the first time step.
    sman.UpdateScreens(1.0f);
    EXPECT_EQ(m->trans, 0.0f);
    sman.UpdateScreens(1.0f);

    // The button is 100 x 40 round (400, 300).
    Click(400, 300, 400, 300);
    EXPECT_EQ(Global(L, "clicks"), "number:1");
    EXPECT_EQ(Global(L, "last"), "string:ok");
    EXPECT_EQ(Global(L, "scripted"), "number:1");
    EXPECT_EQ(m->clicks, 1);
    // Released 10 units right of the button: still a click; 20: none.
    Click(400, 300, 460, 300);
    EXPECT_EQ(Global(L, "clicks"), "number:2");
    Click(400, 300, 470, 300);
    EXPECT_EQ(Global(L, "clicks"), "number:2");
    EXPECT_EQ(m->clicks, 2);

    // A press during the enter transition locks once the screen is in; the
    // release after it clicks.
    sman.PopScreen(m, false);
    sman.UpdateScreens(0.01f);
    sman.PushScreen(m);
    ASSERT_LT(m->trans, 1.0f);
    kd_event_t down = Pointer(KD_EVENT_BUTTON_DOWN, 400, 300), up = Pointer(KD_EVENT_BUTTON_UP, 400, 300);
    sman.ProcessEvent(down);
    EXPECT_FALSE(sman.IsCursorLockedTo(m->GetComp("ok")));
    sman.UpdateScreens(1.0f);
    sman.UpdateScreens(1.0f);
    EXPECT_TRUE(sman.IsCursorLockedTo(m->GetComp("ok")));
    sman.ProcessEvent(up);
    EXPECT_EQ(m->clicks, 3);

    // Touch ids beyond the eight cursors drive none.
    kd_event_t far = Pointer(KD_EVENT_BUTTON_DOWN, 400, 300, 9);
    EXPECT_EQ(sman.ProcessEvent(far), 1);
    far.type = KD_EVENT_POINTER_MOVE;
    far.id = 100000;
    sman.ProcessEvent(far);
    far.id = -3;
    sman.ProcessEvent(far);
    for (const UICursor& c : sman.cursor) EXPECT_FALSE(c.pressed);

    // Small answers of the input half.
    EXPECT_STREQ(KD_GetKeyName(44), "UNKNOWN");
    EXPECT_STREQ(KD_GetKeyName(510), "MOUSE_BUTTON_0");
    UIComp* ok = m->GetComp("ok");
    EXPECT_EQ(sman.GetInteractiveComp1D(m->uiset, ok, 1), ok);  // the last stays
    TestScreen* loading = Make("Loading");
    sman.PushScreen(loading);
    kd_event_t close{};
    close.type = KD_EVENT_WINDOW_CLOSE;
    EXPECT_EQ(sman.ProcessEvent(close), 0);
}

TEST_F(Screens, VirtualScreenScalesAndCoveringScreens) {
    sman.reference_width = 800;
    sman.reference_height = 600;
    sman.SetVirtualScreenDimensions(1024, 600);
    EXPECT_FLOAT_EQ(sman.scale_width, 1.28f);
    EXPECT_FLOAT_EQ(sman.scale_height, 1.0f);
    EXPECT_FLOAT_EQ(sman.scale_ref, 1.0f);
    EXPECT_FLOAT_EQ(sman.scale_cover, 1.2825f);
    EXPECT_FLOAT_EQ(ui_screen.scale_cover, 1.2825f);  // one copy
    sman.SetVirtualScreenDimensions(800, 600);
    EXPECT_EQ(sman.scale_cover, 1.0f);
    EXPECT_EQ(sman.scale_width, 1.0f);
    // A reference size without area would divide by zero.
    sman.reference_width = sman.reference_height = 0;
    sman.SetVirtualScreenDimensions(1024, 600);
    EXPECT_TRUE(isfinite(sman.scale_cover) && isfinite(sman.scale_width) && isfinite(sman.scale_ref));
    EXPECT_STREQ(ScreenMan::GetResolutionName(768, 1024), "iPad, PC/Mac default");

    // Only the topmost covering screen and those above it are drawn.
    TestScreen *a = Make("A"), *b = Make("B"), *c = Make("C");
    b->covers_screen = true;
    sman.PushScreen(a);
    sman.PushScreen(b);
    sman.PushScreen(c);
    sman.DrawScreens(0.016f);
    EXPECT_EQ(a->draws, 0);
    EXPECT_EQ(b->draws, 1);
    EXPECT_EQ(c->draws, 1);

    // The loading indicator is in a third of a second after loading starts
    // and out a third of a second after it ends.
    sman.loading_count = 1;
    for (int i = 0; i < 20; i++) sman.UpdateLoadingIndicator(1.0f / 60);
    EXPECT_FLOAT_EQ(sman.loading_alpha, 1.0f);
    sman.loading_count = 0;
    for (int i = 0; i < 20; i++) sman.UpdateLoadingIndicator(1.0f / 60);
    EXPECT_FLOAT_EQ(sman.loading_alpha, 0.0f);
}

TEST_F(Screens, BitmapsLoadedOnEnterAreTakenOnceAndReleasedByMode) {
    TestScreen* s = Make("Pictures",
                         "CreateComp ('Image', 'kept');\n"
                         "SetProperty ('cache_mode', 'LOAD_ON_ENTER');\n"
                         "SetProperty ('image.bitmap', 'img.png');\n"
                         "CreateComp ('Image', 'released');\n"
                         "SetProperty ('image.bitmap', 'img2.png');\n");
    wf::Calls().clear();
    for (int visit = 0; visit < 3; visit++) {
        sman.PushScreen(s);
        s->uiset->ApplyCacheModeOnEnter();  // a second pass takes nothing more
        sman.PopScreen(s, false);
        s->uiset->ApplyCacheModeOnLeave();  // nor does a leave without an enter
        sman.UpdateScreens(0.01f);
    }
    auto count = [](const std::string& call) {
        int n = 0;
        for (const std::string& c : wf::Calls()) n += c == call;
        return n;
    };
    EXPECT_EQ(count("LoadBitmap img.png 4"), 1);
    EXPECT_EQ(count("ReleaseBitmap img.png"), 0);
    EXPECT_EQ(count("LoadBitmap img2.png 4"), 3);
    EXPECT_EQ(count("ReleaseBitmap img2.png"), 3);
}

TEST_F(Screens, PropertyPathsReachComponentsAndScreens) {
    TestScreen* m = Make("Menu", "CreateComp ('Button', 'ok');\n");
    lua_State* L = m->uiset->L;
    sman.PushScreen(m);

    EXPECT_EQ(Eval(L, "SetProperty ('/Menu:enter_trans_duration', 0.5)"), "");
    EXPECT_FLOAT_EQ(m->enter_speed, 2.0f);
    EXPECT_EQ(Eval(L, "return GetProperty ('/Menu:name')"), "string:Menu");
    EXPECT_EQ(Eval(L, "return GetProperty ('/:NAME')"), "string:Menu");
    rec().Clear();
    EXPECT_EQ(Eval(L, "return GetProperty ('/Menu')"), "");
    EXPECT_TRUE(rec().PopupContains("ResolveCompProperty '/Menu' formatting is bad."));
    rec().Clear();
    EXPECT_EQ(Eval(L, "return GetProperty ('/Nowhere/b:alpha')"), "");
    EXPECT_TRUE(rec().PopupContains("Screen::GetScreen ('Nowhere') -- screen not found!"));
    EXPECT_TRUE(rec().PopupContains("ResolveCompProperty '/Nowhere/b:alpha' Screen 'Nowhere' not found."));
    EXPECT_EQ(Eval(L, "return PeekScreen (0), PeekScreen (3)"), "string:Menu string:Menu");

    // A path without a component name sets the current component.
    EXPECT_EQ(Eval(L, "SetProperty ('ok:alpha', 0.5) return GetProperty ('/Menu/ok:alpha')"), "number:0.5");
    EXPECT_EQ(Eval(L, "CreateComp ('Button', 'second') SetProperty ('button.text', 'OK') "
                      "return GetProperty ('second:button.text'), GetProperty ('ok:button.text')"),
              "string:OK string:");
    EXPECT_EQ(Eval(L, "UICompEvent ('onclick')"), "");
    EXPECT_STREQ(m->GetComp("second")->GetHandler(UI_HANDLER_ON_CLICK), "onclick");

    // A parent loop set from a script is refused with a line.
    rec().Clear();
    EXPECT_EQ(Eval(L, "SetProperty ('ok:parent', 'second') SetProperty ('second:parent', 'ok')"), "");
    EXPECT_TRUE(rec().DebugContains("Parent 'ok' of 'second' would make a loop; parent left as it was."));
    EXPECT_EQ(m->GetComp("second")->parent, nullptr);
    EXPECT_EQ(m->GetComp("ok")->parent, m->GetComp("second"));
    m->GetComp("ok")->GetStaticPos();  // ends

    EXPECT_EQ(Eval(L, "CreateComp ('Listbox', 'list') AddListboxLine ('list', '100% sure %s %d') "
                      "return GetProperty ('list:listbox.line[0].text')"),
              "string:100% sure %s %d");
}

TEST_F(Screens, SwitchGoesThroughTheTransition) {
    TestScreen *a = Make("A"), *b = Make("B");
    Screen::PreLoadScreen(&Screen_ScreenTransition, false);
    sman.PushScreen(a);
    sman.SwitchScreen("B");
    EXPECT_EQ(sman.TopScreen(), &Screen_ScreenTransition);
    // Switching again while it runs only restarts it, with the new target.
    sman.SwitchScreen("B");
    EXPECT_EQ(sman.GetNumberOfScreensInStack(), 2);
    for (int frame = 0; frame < 120 && sman.IsScreenInStack(&Screen_ScreenTransition); frame++) {
        sman.Update(1.0f / 30);
        sman.DrawScreens(1.0f / 30);
    }
    ASSERT_EQ(sman.GetNumberOfScreensInStack(), 1);
    EXPECT_EQ(sman.TopScreen(), b);
    EXPECT_EQ(a->leaves, 1);
    EXPECT_EQ(b->enters, 1);

    // A target that was never preloaded (made while running) is preloaded
    // first: the stack never ends up empty.
    TestScreen* late = new TestScreen("Late");
    screens.emplace_back(late);
    ASSERT_FALSE(late->preloaded);
    sman.SwitchScreen("Late");
    for (int frame = 0; frame < 120 && sman.IsScreenInStack(&Screen_ScreenTransition); frame++) {
        sman.Update(1.0f / 30);
        sman.DrawScreens(1.0f / 30);
    }
    EXPECT_EQ(sman.TopScreen(), late);
    EXPECT_EQ(late->enters, 1);
}

// The browser shows a layout and nothing else: a screen nobody entered is
// lent its bitmaps until the browser moves on, and none of a screen's own
// enter or leave code runs; after a reload of a screen it showed, it
// edits and draws the screen's new set, not the old one.
TEST_F(Screens, TheBrowserLendsBitmapsAndFollowsAReloadedSet) {
    const std::string picture =
        "CreateComp ('Image', 'pic');\n"
        "SetProperty ('cache_mode', 'LOAD_ON_ENTER_RELEASE_ON_LEAVE');\n"
        "SetProperty ('image.bitmap', 'img.png');\n";
    TestScreen *below = Make("Below", picture), *other = Make("Other", picture);
    ScreenScreenBrowser& b = screen_ScreenScreenBrowser;
    Screen::PreLoadScreen(&b, false);
    sman.PushScreen(below);
    sman.PushScreen(&b);
    b.Show(Screen::GetScreenIndexByName("Other"));
    EXPECT_TRUE(other->uiset->cache_applied);
    b.Show(Screen::GetScreenIndexByName("Below"));
    EXPECT_FALSE(other->uiset->cache_applied);
    EXPECT_EQ(other->enters + other->leaves, 0);
    sman.PopScreen(&b, false);
    sman.UpdateScreens(0.01f);
    ui_widget_hooks.edit_mode = true;
    kd_event_t reload{};
    reload.type = KD_EVENT_KEY_DOWN;
    reload.id = 'L';
    UISet* old = below->uiset;
    sman.ProcessEditModeEvent(&reload);
    ASSERT_NE(below->uiset, old);
    sman.PushScreen(&b);
    EXPECT_EQ(b.uiset, b.own_set);
    b.Show(Screen::GetScreenIndexByName("Below"));
    EXPECT_EQ(b.uiset, below->uiset);
    sman.PopScreen(&b, false);
    sman.UpdateScreens(0.01f);
}

// The browser's picture of a screen is only a picture: a click on its
// button, a key, the wheel and updates run none of the screen's script
// or C++ code, its script is not told it is on top, and the developer's
// A there leaves the automated player off, though a level is in play. The same click on the screen itself
// reaches both.
TEST_F(Screens, TheBrowsersPictureTakesNoInputAndRunsNoCode) {
    WriteNative(e.UserPath("events.lua"),
                "calls = 0\nfunction OnClick (n) calls = calls + 1 end\nOnUpdate = OnClick\nOnKeyDown = OnClick\n"
                "OnMouseDown = OnClick\nOnCursorEnter = OnClick\n");
    WriteNative(e.UserPath("click.lua"), "calls = calls + 1\n");
    TestScreen* shown = Make("Shown", kButtonLayout);
    lua_State* L = shown->uiset->L;
    ScreenScreenBrowser& b = screen_ScreenScreenBrowser;
    Screen::PreLoadScreen(&b, false);
    sman.PushScreen(&b);
    b.Show(Screen::GetScreenIndexByName("Shown"));
    kd_parms_t* parms = Manager::GetParms();
    const bool developer = parms->developer_mode;
    parms->developer_mode = true;
    AIPlayerMan::in_level_play = [] { return true; };
    auto input = [&] {
        for (int i = 0; i < 3; i++) sman.UpdateScreens(0.5f);
        Click(400, 300, 400, 300);
        kd_event_t key{};
        key.type = KD_EVENT_KEY_DOWN;
        key.id = 'A';
        sman.ProcessEvent(key);
        key.type = KD_EVENT_WHEEL;
        sman.ProcessEvent(key);
    };
    EXPECT_EQ(Eval(L, "return IsTopScreen ()"), "boolean:false");  // the browser is
    input();                                                       // its A steps on to another screen last
    EXPECT_EQ(Global(L, "calls"), "number:0");
    EXPECT_EQ(shown->clicks, 0);
    EXPECT_FALSE(ai_man.enabled);
    sman.PopScreen(&b, false);
    sman.PushScreen(shown);
    input();
    EXPECT_NE(Global(L, "calls"), "number:0");
    EXPECT_EQ(shown->clicks, 1);
    EXPECT_TRUE(ai_man.enabled);
    EXPECT_EQ(Eval(L, "return IsTopScreen ()"), "boolean:true");
    ai_man.enabled = false;
    AIPlayerMan::in_level_play = nullptr;
    parms->developer_mode = developer;
}
