// The scriptable component's script: its handlers with the set's current
// component, key names, and scripts that are missing, fail, loop for ever
// or replace themselves. The advert's whole protocol, answered by the
// test as a platform with an advert service would, and unanswered as on
// this platform.
#include <string.h>

#include "luaman.h"
#include "ui/screen-manager.h"
#include "ui/ui-ad.h"
#include "ui/ui-scriptable.h"
#include "widget-fixture.h"

namespace {

struct ScriptableTest : WidgetFixture {
    UISet* set = nullptr;
    void SetUp() override {
        WidgetFixture::SetUp();
        // The screen functions, for scripts that call them.
        ScreenMan::RegisterLuaFunctions();
        set = Load("");
    }
    // A scriptable of `set` running the script text saved as user://<file>.
    UICompScriptable* Make(const char* file, const std::string& text) {
        WriteNative(e.UserPath(file), text);
        UICompScriptable* c = new UICompScriptable();
        c->name = nStringDuplicate("s");
        c->owner_set = set;
        set->Add(c);
        c->SetScript((std::string("user://") + file).c_str());
        return c;
    }
    // The global number `name` of the component's state.
    static double Global(UICompScriptable* c, const char* name) {
        if (!c->L) return -1;
        lua_getglobal(c->L, name);
        double v = lua_tonumber(c->L, -1);
        lua_pop(c->L, 1);
        return v;
    }
    static bool Logged(const std::string& text) { return Recorded::Has(rec().debug, text); }
};

}  // namespace

TEST_F(ScriptableTest, HandlersRunWithTheComponentAsTheSetsCurrentOne) {
    UICompScriptable* c = Make("ok.lua",
                               "created = 0; updates = 0; clicks = 0\n"
                               "function OnCreate () created = 1 end\n"
                               "function OnUpdate (dt) updates = updates + dt end\n"
                               "function OnDraw (x, y) drawn_x = x end\n"
                               "function OnClick () clicks = clicks + 1; current = GetActiveCompName () end\n"
                               "function OnKeyPress (k) key = k end\n");
    ASSERT_TRUE(c->L);
    EXPECT_EQ(Global(c, "created"), 1);
    EXPECT_TRUE(c->IsMethodImplemented(UICompScriptable::ON_DRAW));
    EXPECT_FALSE(c->IsMethodImplemented(UICompScriptable::ON_DELETE));
    c->Update(0.6f);
    c->Update(0.6f);
    EXPECT_NEAR(Global(c, "updates"), 1.2, 1e-6);
    EXPECT_NEAR(c->phase, 0.2f, 1e-6);
    c->position_type = UI_POS_ABSOLUTE;
    c->position = {42, 7, 0};
    c->Draw();
    EXPECT_EQ(Global(c, "drawn_x"), 42);
    EXPECT_EQ(c->ProcessClick(), 1);
    ASSERT_TRUE(c->L) << (rec().debug.empty() ? "" : rec().debug.back());
    lua_getglobal(c->L, "current");
    EXPECT_STREQ(lua_tostring(c->L, -1), "s");
    lua_pop(c->L, 1);
    EXPECT_EQ(set->current, nullptr);  // only during the call
    EXPECT_EQ(c->ProcessKey(300), 1);
    lua_getglobal(c->L, "key");
    EXPECT_STREQ(lua_tostring(c->L, -1), "UNKNOWN");
    lua_pop(c->L, 1);
    EXPECT_EQ(set->current, c);  // stays
    // Without "OnClick" a click is still answered.
    UICompScriptable* quiet = Make("quiet.lua", "x = 1\n");
    EXPECT_EQ(quiet->ProcessClick(), 1);
    EXPECT_EQ(quiet->ProcessKey(13), 0);
}

TEST_F(ScriptableTest, ABrokenScriptIsLoggedWithItsLineAndTheComponentStops) {
    UICompScriptable* c = Make("bad.lua", "function OnUpdate (dt)\n  n = n + 1\nend\n");  // n is nil
    ASSERT_TRUE(c->L);
    c->Update(0.1f);
    EXPECT_TRUE(Logged("user://bad.lua:2: attempt to perform arithmetic")) << (rec().debug.empty() ? "" : rec().debug[0]);
    EXPECT_FALSE(c->L);
    rec().Clear();
    c->Update(0.1f);
    c->Draw();
    EXPECT_EQ(c->ProcessClick(), 1);
    EXPECT_TRUE(rec().debug.empty());
    // Not compiling, missing: logged, no state.
    UICompScriptable* d = Make("syntax.lua", "function (\n");
    EXPECT_FALSE(d->L);
    EXPECT_TRUE(Logged("user://syntax.lua:1:"));
    UICompScriptable* m = new UICompScriptable();
    set->Add(m);
    m->SetScript("user://nothing-here.lua");
    EXPECT_FALSE(m->L);
    EXPECT_TRUE(Logged("script file 'user://nothing-here.lua' not found"));
    EXPECT_EQ(Get(m, "scriptable.script"), "user://nothing-here.lua");
}

TEST_F(ScriptableTest, AnEndlessLoopIsStoppedAndReported) {
    // In the file's main chunk, and in a handler called every frame.
    UICompScriptable* c = Make("spin.lua", "function OnUpdate (dt)\n  while true do end\nend\n");
    ASSERT_TRUE(c->L);
    unsigned int t0 = kd->GetTime();
    c->Update(0.1f);
    EXPECT_LT(kd->GetTime() - t0, 10000u);
    EXPECT_TRUE(Logged("user://spin.lua:2: ran more than"));
    EXPECT_FALSE(c->L);
    UICompScriptable* d = Make("spin-load.lua", "x = 0\nrepeat x = x + 1 until false\n");
    EXPECT_FALSE(d->L);
    EXPECT_TRUE(Logged("user://spin-load.lua:2: ran more than"));
    // A budget per call: a script that works a little every frame goes on.
    UICompScriptable* busy = Make("busy.lua", "function OnUpdate () for i = 1, 200000 do end end\n");
    for (int i = 0; i < 200; i++) busy->Update(0.01f);
    EXPECT_TRUE(busy->L);
}

TEST_F(ScriptableTest, AScriptThatReplacesItsOwnScriptTakesEffectAfterItsCall) {
    WriteNative(e.UserPath("next.lua"), "replaced = 1\n");
    UICompScriptable* c = Make("self.lua", "function OnUpdate () SetProperty ('s:scriptable.script', 'user://next.lua') end\n");
    set->current = c;
    c->Update(0.1f);
    ASSERT_TRUE(c->L);
    EXPECT_EQ(Global(c, "replaced"), 1);
    EXPECT_FALSE(c->IsMethodImplemented(UICompScriptable::ON_UPDATE));
}

// ---------------------------------------------------------------------------
// The advert.

namespace {

struct AdTest : WidgetFixture {
    std::map<std::string, std::string> answers;  // command -> reply
    void SetUp() override {
        WidgetFixture::SetUp();
        wf::ExtensionReply() = [this](const std::string& cmd, const char*) -> const char* {
            auto it = answers.find(cmd);
            return it == answers.end() ? nullptr : it->second.c_str();
        };
    }
    static UICompAd* Sized(float w, float h) {
        UICompAd* a = new UICompAd();
        a->scale_type = UI_SCALE_ACTUAL_SIZE;
        a->position_type = UI_POS_ABSOLUTE;
        a->position = {10.9f, 20.6f, 0};
        a->rect_width = w, a->rect_height = h;
        a->UpdateDimensions();
        return a;
    }
    static std::vector<std::string> Ads() { return wf::CallsStarting("Extension ADS_"); }
};

}  // namespace

TEST_F(AdTest, TheFormatFollowsTheSize) {
    std::unique_ptr<UICompAd> banner(Sized(320, 50)), large(Sized(300, 250)), none(Sized(310, 60)),
        full(Sized(760, 570));
    EXPECT_EQ(banner->GetPreferredAdType(), UI_AD_BANNER);
    EXPECT_EQ(large->GetPreferredAdType(), UI_AD_LARGE);
    EXPECT_EQ(none->GetPreferredAdType(), UI_AD_NONE);
    EXPECT_EQ(full->GetPreferredAdType(), UI_AD_FULLSCREEN);
    none->PreloadAd();
    EXPECT_TRUE(Ads().empty());  // no format fits: nothing is asked for
    full->PreloadAd();
    EXPECT_EQ(Ads(), std::vector<std::string>{"Extension ADS_REQUEST_AD(FULLSCREEN)"});
}

TEST_F(AdTest, APlatformWithAdvertsIsAskedShownAndDismissed) {
    answers["ADS_REQUEST_AD"] = "42";
    std::unique_ptr<UICompAd> a(Sized(320, 50));
    // The first entry holds no advert yet: it is only placed (nothing to place).
    a->OnScreenEnter(nullptr);
    EXPECT_TRUE(Ads().empty());
    a->OnScreenLeave(nullptr);
    EXPECT_EQ(Ads(), (std::vector<std::string>{"Extension ADS_DISMISS_AD(0)", "Extension ADS_REQUEST_AD(LANDSCAPE)"}));
    EXPECT_EQ(a->loaded_ad_type, UI_AD_BANNER);
    EXPECT_EQ(a->ad_id, 42);
    // Not ready yet: placed, not shown.
    wf::Calls().clear();
    a->OnScreenEnter(nullptr);
    EXPECT_EQ(Ads(), (std::vector<std::string>{"Extension ADS_SET_AD_POSITION(42,10,20)", "Extension ADS_IS_AD_READY(42)"}));
    answers["ADS_IS_AD_READY"] = "OK";
    wf::Calls().clear();
    a->OnScreenEnter(nullptr);
    EXPECT_EQ(Ads(), (std::vector<std::string>{"Extension ADS_SET_AD_POSITION(42,10,20)", "Extension ADS_IS_AD_READY(42)",
                                               "Extension ADS_SHOW_AD(42)"}));
}

TEST_F(AdTest, APlatformThatAnswersNothingShowsNothing) {
    std::unique_ptr<UICompAd> a(Sized(320, 50));
    for (int i = 0; i < 3; i++) {
        a->OnScreenLeave(nullptr);
        a->OnScreenEnter(nullptr);
    }
    // The protocol runs: every leave dismisses and asks again...
    EXPECT_EQ(wf::CallsStarting("Extension ADS_REQUEST_AD").size(), 3u);
    // ...but with no answer no advert is held, placed or shown.
    EXPECT_EQ(a->loaded_ad_type, UI_AD_NONE);
    EXPECT_TRUE(wf::CallsStarting("Extension ADS_SET_AD_POSITION").empty());
    EXPECT_TRUE(wf::CallsStarting("Extension ADS_SHOW_AD").empty());
}
