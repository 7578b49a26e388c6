// The menus of the bundled data tree, read as the program reads them:
// the templates and every screen that ui/autoexec.lua creates load
// without a warning; every picture, font and sound they name is there;
// each events script compiles, defines OnLoad and OnClick, and runs its
// handlers (a click on every component, keys, messages, the transition)
// against the screen's real components with the screen manager's,
// the timeline's and the achievements' functions standing in, reaching
// only components, properties and screens that exist; the story screens
// take every message the bundled timeline sends them; and every text
// shown, the story's too, has its translation. What the scripts drive is
// followed through: Play resumes the timeline, the extras lead to the
// achievements and the shop, the level tiles start their levels, the
// chevrons page the episodes, and the credits roll in their touch field,
// wait for a finger and come round again.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "dataman.h"
#include "framework-kd.h"
#include "fw-support.h"
#include "localization.h"
#include "luaman.h"
#include "manager.h"
#include "profiles.h"
#include "recording-kd.h"
#include "ui/screen-manager.h"
#include "ui/timeline.h"
#include "ui/ui-comps.h"
#include "ui/ui-editbox.h"
#include "ui/ui-layout.h"
#include "ui/ui-listbox.h"
#include "ui/ui-props.h"
#include "ui/ui-textbox.h"
#include "ui/ui-touchfield.h"
#include "ui/ui-touchgrid.h"
#include "ui/ui-widgets.h"

namespace fs = std::filesystem;

namespace {

bool Exists(const std::string& name) {
    kd_file_t* f = kd->OpenFile(name.c_str(), "rb");
    if (f) kd->CloseFile(f);
    return f != nullptr;
}

// What the stand-ins of the screen manager's functions saw.
struct Seen {
    std::vector<std::pair<std::string, std::string>> screens;  // from autoexec: name, layout
    std::vector<std::string> calls;
    float phase = 1;
    bool Known(const std::string& screen) const {
        for (auto& s : screens)
            if (s.first == screen) return true;
        // Built by the game in code (its buttons are the code's), and
        // pushed by the menus by name.
        return screen == "Leaderboards";
    }
};
Seen seen;

const char* Arg(lua_State* L, int i) { return lua_type(L, i) == LUA_TSTRING ? lua_tostring(L, i) : ""; }

int CreateScreen(lua_State* L) {
    seen.screens.emplace_back(Arg(L, 1), Arg(L, 2));
    return 0;
}

// "comp:prop" of the script's own set: the component and the property.
UIComp* Resolve(lua_State* L, std::string& prop) {
    UISet* set = UISet::FromState(L);
    std::string path = Arg(L, 1);
    size_t colon = path.find(':');
    if (!set || colon == std::string::npos || path[0] == '/') {
        ADD_FAILURE() << "path '" << path << "' names no component";
        return nullptr;
    }
    prop = path.substr(colon + 1);
    UIComp* c = set->GetComp(path.substr(0, colon).c_str());
    if (!c) ADD_FAILURE() << "no component '" << path.substr(0, colon) << "' in " << set->file.c_str();
    return c;
}

// Screen properties: the ones the screen manager knows, on screens that
// exist; a default component that exists.
bool ScreenPath(lua_State* L) {
    std::string path = Arg(L, 1);
    if (path.empty() || path[0] != '/') return false;
    size_t colon = path.find(':');
    std::string screen = path.substr(1, colon == std::string::npos ? std::string::npos : colon - 1);
    std::string prop = colon == std::string::npos ? "" : path.substr(colon + 1);
    if (!screen.empty() && !seen.Known(screen)) ADD_FAILURE() << "no screen '" << screen << "'";
    static const std::set<std::string> props = {
        "default_comp", "enter_trans_duration", "leave_trans_duration", "covers_screen", "trans", "name"};
    if (!props.count(prop)) ADD_FAILURE() << "no screen property in '" << path << "'";
    if (prop == "default_comp" && !UISet::FromState(L)->GetComp(Arg(L, 2)))
        ADD_FAILURE() << "default component '" << Arg(L, 2) << "' missing";
    seen.calls.push_back("SetProperty " + path);
    return true;
}

int SetPropertyPath(lua_State* L) {
    if (ScreenPath(L)) return 0;
    std::string prop;
    if (UIComp* c = Resolve(L, prop)) {
        if (c->SetProperty(prop.c_str(), L) < 0) ADD_FAILURE() << "unknown property " << Arg(L, 1);
        seen.calls.push_back(std::string("SetProperty ") + Arg(L, 1));
    }
    return 0;
}

int GetPropertyPath(lua_State* L) {
    std::string prop;
    UIComp* c = Resolve(L, prop);
    if (!c) return 0;
    int top = lua_gettop(L);
    int n = c->GetProperty(prop.c_str(), L);
    return n > 0 && lua_gettop(L) == top + n ? n : 0;
}

int GetComps(lua_State* L) {
    UISet* set = UISet::FromState(L);
    for (int i = 0; i < set->GetNumberOfComps(); i++) lua_pushstring(L, set->GetCompByIndex(i)->name);
    return set->GetNumberOfComps();
}

// Calls that name a screen.
int ScreenCall(lua_State* L) {
    const char* fn = lua_tostring(L, lua_upvalueindex(1));
    std::string screen = Arg(L, 1);
    if (!screen.empty() && !seen.Known(screen)) ADD_FAILURE() << fn << " names no screen: '" << screen << "'";
    seen.calls.push_back(std::string(fn) + " " + screen);
    return 0;
}

int SetUIFocus(lua_State* L) {
    if (!UISet::FromState(L)->GetComp(Arg(L, 1))) ADD_FAILURE() << "no focus component '" << Arg(L, 1) << "'";
    seen.calls.push_back(std::string("SetUIFocus ") + Arg(L, 1));
    return 0;
}

int Record(lua_State* L) {
    const char* fn = lua_tostring(L, lua_upvalueindex(1));
    seen.calls.push_back(std::string(fn) + " " + Arg(L, 1));
    if (!strcmp(fn, "SwitchMusic") && !Exists(std::string(Arg(L, 1)) + ".mp3"))
        ADD_FAILURE() << "no music " << Arg(L, 1);
    return 0;
}

int Phase(lua_State* L) {
    lua_pushnumber(L, seen.phase);
    return 1;
}

int ScreenHeight(lua_State* L) {
    lua_pushinteger(L, 600);
    return 1;
}

void StandIns(lua_State* L) {
    lua_register(L, "SetProperty", SetPropertyPath);
    lua_register(L, "GetProperty", GetPropertyPath);
    lua_register(L, "GetComps", GetComps);
    lua_register(L, "SetUIFocus", SetUIFocus);
    lua_register(L, "GetActiveScreenTransPhase", Phase);
    lua_register(L, "GetScreenHeight", ScreenHeight);
    // No current event: the timeline has delivered none yet.
    lua_register(L, "GetCurrentTimelineEvent", [](lua_State*) { return 0; });
    for (const char* fn : {"PushScreen", "PopScreen", "SwitchScreen", "SendScreenMessage"}) {
        lua_pushstring(L, fn);
        lua_pushcclosure(L, ScreenCall, 1);
        lua_setglobal(L, fn);
    }
    for (const char* fn :
         {"KodoShutdown", "SwitchMusic", "ResumeSavedTimelineEvent", "BeginTimelineEvent", "EndTimelineEvent",
          "RestartTimelineEvent", "SaveAtNextTimelineEvent", "AM_ShowAchievements"}) {
        lua_pushstring(L, fn);
        lua_pushcclosure(L, Record, 1);
        lua_setglobal(L, fn);
    }
}

// Calls a global function when it exists; a Lua error fails the test.
void Call(lua_State* L, const char* fn, const std::vector<std::string>& args, const char* file) {
    lua_getglobal(L, fn);
    if (!lua_isfunction(L, -1)) {
        lua_pop(L, 1);
        return;
    }
    for (const std::string& a : args) lua_pushstring(L, a.c_str());
    if (lua_pcall(L, (int)args.size(), 0, 0) != 0) {
        ADD_FAILURE() << file << ": " << fn << " failed: " << lua_tostring(L, -1);
        lua_pop(L, 1);
    }
}

// Runs a line of Lua (for handlers that take numbers); an error fails.
void RunLua(lua_State* L, const std::string& code, const char* file) {
    if (luaL_dostring(L, code.c_str()) != 0) {
        ADD_FAILURE() << file << ": " << code << ": " << lua_tostring(L, -1);
        lua_pop(L, 1);
    }
}

// One frame of a screen: its script's OnUpdate, then its components.
void Frame(lua_State* L, UISet* set, float dt, const char* file) {
    RunLua(L, "if OnUpdate then OnUpdate(" + std::to_string(dt) + ") end", file);
    for (int i = 0; i < set->GetNumberOfComps(); i++) set->GetCompByIndex(i)->Update(dt);
}

bool Defines(lua_State* L, const char* fn) {
    lua_getglobal(L, fn);
    bool f = lua_isfunction(L, -1);
    lua_pop(L, 1);
    return f;
}

// Popups other than the line a missing game function gives.
std::vector<std::string> Warnings() {
    std::vector<std::string> w;
    for (const std::string& p : rec().popups)
        if (p.find("' is not available yet.") == std::string::npos) w.push_back(p);
    return w;
}

// The screen a timeline event's messages go to: "key_screen", else the
// last of "screens" without its prefixes.
std::string KeyScreen(DMNode* event) {
    const char* key = event->GetValue("key_screen");
    if (key) return key;
    std::string list = event->GetValue("screens") ? event->GetValue("screens") : "";
    std::string last = list.substr(list.rfind(',') == std::string::npos ? 0 : list.rfind(',') + 1);
    if (!last.empty() && last[0] == '!') last.erase(0, 1);
    if (!last.empty() && last[0] == '&') last.erase(0, 1);
    return last;
}

template <class T>
T* FieldOf(UIComp* c, const UIPropRow& row) {
    return row.field.at ? *(T**)row.field.at(c) : nullptr;
}

// The bundled tree as "res://", through links to its folders, so that
// whatever is written to "res://" lands in the test's own folder.
struct MenuEnv {
    std::string dir;
    std::unique_ptr<FwEngine> engine;
    std::unique_ptr<RecordingKd> r;
    kd_prog_t record;
    std::string locale = "en";
    std::vector<std::unique_ptr<UISet>> sets;
    Screen screen;
    MenuEnv() {
        char tmpl[] = "/tmp/kodo-menus-XXXXXX";
        if (mkdtemp(tmpl)) dir = tmpl;
        fs::create_directories(dir + "/app/native");
        const char* data = getenv("KODO_TEST_DATA");
        if (data)
            for (const auto& e : fs::directory_iterator(data))
                fs::create_symlink(e.path(), dir + "/app/native/" + e.path().filename().string());
        engine.reset(new FwEngine(dir));
        r.reset(new RecordingKd(kd));
        r->Install();
        memset(&record, 0, sizeof record);
        record.parms.width = 1024;
        record.parms.height = 600;
        record.parms.locale = &locale[0];
        Manager::SetProgramRecord(&record);
        ui_screen = UIScreenValues();
        ui_screen.virtual_width = ui_screen.actual_width = 1024;
        ui_screen.virtual_height = ui_screen.actual_height = 600;
        ui_widget_hooks = UIWidgetHooks();
        ui_template_set = nullptr;
        UIRegisterWidgetKinds();
        loc_man.Initialize();
        profile_man.Initialize();
    }
    ~MenuEnv() {
        for (auto& s : sets) UILayoutDeleteComps(s.get());
        sets.clear();
        ui_template_set = nullptr;
        Manager::SetProgramRecord(nullptr);
        r.reset();
        engine.reset();
        fs::remove_all(dir);
    }
    // The first set is the templates': the named templates later in its
    // file are made from the defaults before them.
    UISet* Load(const std::string& file, Screen* owner) {
        sets.emplace_back(new UISet(file.c_str(), owner));
        UISet* set = sets.back().get();
        if (!ui_template_set) ui_template_set = set;
        EXPECT_TRUE(UILayoutRun(set, file.c_str())) << file;
        for (int i = 0; i < set->GetNumberOfComps(); i++) set->GetCompByIndex(i)->is_loaded = true;
        return set;
    }
};

// Every picture, handler script and sound a component names is a file
// of the tree.
void CheckFilesNamed(UIComp* c, const std::string& where) {
    const UIKind& k = c->Kind();
    for (int i = 0; i < k.num_rows; i++) {
        const UIPropRow& row = k.rows[i];
        if (row.kind != UI_BITMAP || (row.flags & UI_ALIAS)) continue;
        kd_bitmap_t* bm = FieldOf<kd_bitmap_t>(c, row);
        if (!UIBitmapIsPlaceholder(bm)) {
            EXPECT_TRUE(Exists(bm->name)) << where << ": " << row.name << " " << bm->name;
        }
    }
    for (int h = 0; h < UI_NUM_HANDLERS; h++)
        if (c->GetHandler(h) && *c->GetHandler(h)) {
            EXPECT_TRUE(Exists(c->GetHandler(h))) << where;
        }
    for (kd_sound_t* s : {c->snd_over, c->snd_press, c->snd_release})
        if (s) {
            EXPECT_TRUE(Exists(std::string(s->name) + ".wav") || Exists(s->name)) << where << ": " << s->name;
        }
}

}  // namespace

TEST(MenuData, EveryScreenLoadsRunsItsHandlersAndIsTranslated) {
    ASSERT_TRUE(getenv("KODO_TEST_DATA"));
    MenuEnv env;
    ASSERT_TRUE(env.engine->started);
    static bool registered = (ScreenMan::RegisterLuaFunctions(), timeline.Init(), true);
    ASSERT_TRUE(registered);
    seen = Seen();
    // The level selection is built from the timeline's levels.
    ASSERT_TRUE(timeline.LoadTimeline("timeline.xml"));

    // The templates: a default for every type; the text box's has a font,
    // the button's its sounds.
    UISet* templates = env.Load("ui/templates.lua", nullptr);
    for (int t = 1; t < UI_NUM_TYPES; t++) {
        std::string name = std::string("Default") + UIComp::GetCompTypeString(t);
        EXPECT_TRUE(templates->GetComp(name.c_str())) << name;
    }
    UIComp* text = templates->GetComp("DefaultTextbox");
    ASSERT_TRUE(text);
    lua_State* L = templates->L;
    lua_pushstring(L, "textbox.font");
    ASSERT_EQ(text->GetProperty("textbox.font", L), 1);
    EXPECT_STREQ(lua_tostring(L, -1), "fonts/medium.sft");
    lua_settop(L, 0);
    UIComp* button = templates->GetComp("DefaultButton");
    ASSERT_TRUE(button);
    EXPECT_TRUE(button->snd_over && button->snd_press && button->snd_release);
    for (int i = 0; i < templates->GetNumberOfComps(); i++)
        CheckFilesNamed(templates->GetCompByIndex(i), "ui/templates.lua");
    EXPECT_EQ(Warnings(), std::vector<std::string>{});

    // The screens autoexec creates.
    lua_State* main = lua_man.OpenLuaState(0);
    ASSERT_TRUE(main);
    lua_register(main, "CreateScreen", CreateScreen);
    lua_man.ExecLuaFile(main, "ui/autoexec.lua");
    lua_man.CloseLuaState(main);
    for (const char* name :
         {"MainMenu", "GamePopMenu", "PopupOk", "Options", "Extras", "Credits", "Help", "Profiles", "NewProfile",
          "LevelSelect"})
        EXPECT_TRUE(seen.Known(name)) << name;
    // Names the automated player presses.
    std::map<std::string, std::vector<std::string>> pressed = {
        {"MainMenu", {"Play", "Extras"}},
        {"Extras", {"Options", "Profiles", "Credits", "Back"}},
        {"Options", {"Ok"}},
        {"Credits", {"fader"}},
        {"Help", {"Back"}},
        {"Profiles", {"Cancel", "New", "Ok"}},
        {"NewProfile", {"Cancel"}},
        {"GamePopMenu", {"Options", "Resume"}},
        {"PopupOk", {"Ok"}},
        {"LevelSelect", {"Episode1_Level1", "Episode2_Level1", "Back"}}};

    DMArray* events = dman.GetDatabase("timeline.xml")->GetArray("timeline");
    EXPECT_TRUE(events);
    int stories = 0;
    for (auto& [name, file] : seen.screens) {
        SCOPED_TRACE(file);
        rec().Clear();
        UISet* set = env.Load(file, &env.screen);
        EXPECT_GT(set->GetNumberOfComps(), 0);
        for (const std::string& comp : pressed[name]) EXPECT_TRUE(set->GetComp(comp.c_str())) << comp;
        for (int i = 0; i < set->GetNumberOfComps(); i++) CheckFilesNamed(set->GetCompByIndex(i), file);
        EXPECT_EQ(Warnings(), std::vector<std::string>{});

        // The events script, in the set's own state.
        ASSERT_FALSE(set->events_file.IsEmpty());
        L = set->L;
        StandIns(L);
        lua_man.ExecLuaFile(L, set->events_file.c_str());
        EXPECT_EQ(Warnings(), std::vector<std::string>{});
        EXPECT_TRUE(Defines(L, "OnLoad") && Defines(L, "OnClick"));
        const char* f = set->events_file.c_str();
        Call(L, "OnLoad", {}, f);
        Call(L, "OnEnter", {}, f);
        for (float phase : {0.0f, 0.5f, 1.0f}) {
            seen.phase = phase;
            RunLua(L, "if OnUpdate then OnUpdate(0.02) end", f);
        }
        Call(L, "OnScreenMessage", {"text", "Leaderboards are available only in GameCenter."}, f);
        Call(L, "OnScreenMessage", {"Refresh", ""}, f);
        Call(L, "OnKeyDown", {"DOWN"}, f);
        // A click on each component; the buttons, boxes and sliders each
        // do something, and a missing game function costs one message.
        for (int i = 0; i < set->GetNumberOfComps(); i++) {
            UIComp* c = set->GetCompByIndex(i);
            size_t before = seen.calls.size(), popups = rec().popups.size();
            Call(L, "OnClick", {c->name}, f);
            EXPECT_LE(rec().popups.size(), popups + 1) << c->name;
            bool acts = seen.calls.size() > before || rec().popups.size() > popups;
            if (c->type == UI_BUTTON || c->type == UI_CHECKBOX) {
                EXPECT_TRUE(acts) << "a click on " << c->name;
            }
        }
        Call(L, "OnKeyDown", {"ESCAPE"}, f);
        Call(L, "OnLeave", {}, f);

        // The messages of the timeline's events whose key screen this is
        // (the story's pictures and lines): each one sets something.
        for (int e = 0; events && e < events->GetSize(); e++) {
            DMNode* event = events->GetNode(e);
            if (KeyScreen(event) != name) continue;
            for (int v = 0; v < event->GetNumberOfValues(); v++) {
                std::string parm = event->GetValueAt(v)->GetName();
                if (parm.rfind("parm_", 0) != 0) continue;
                size_t before = seen.calls.size();
                Call(L, "OnScreenMessage", {parm.substr(5), event->GetValueAt(v)->GetValue()}, f);
                EXPECT_GT(seen.calls.size(), before) << event->GetId() << " " << parm;
                stories++;
            }
        }

        // What the player's choices keep.
        if (name == "MainMenu") {
            // Play is the timeline's: the saved event, or the first; at
            // the menu the timeline's end led to, the first again.
            seen.calls.clear();
            Call(L, "OnClick", {"Play"}, f);
            EXPECT_EQ(seen.calls, std::vector<std::string>{"ResumeSavedTimelineEvent "});
            seen.calls.clear();
            RunLua(L, "GetCurrentTimelineEvent = function () return 'MENU' end", f);
            Call(L, "OnClick", {"Play"}, f);
            EXPECT_EQ(seen.calls, std::vector<std::string>{"EndTimelineEvent "});
            seen.calls.clear();
            Call(L, "OnClick", {"Levels"}, f);
            EXPECT_EQ(seen.calls, std::vector<std::string>{"PushScreen LevelSelect"});
        } else if (name == "Extras") {
            seen.calls.clear();
            Call(L, "OnClick", {"Achievements"}, f);
            Call(L, "OnClick", {"Unlocks"}, f);
            Call(L, "OnClick", {"Leaderboards"}, f);
            EXPECT_EQ(seen.calls,
                      (std::vector<std::string>{"AM_ShowAchievements ", "PushScreen Unlocks", "PushScreen Leaderboards",
                                                "SendScreenMessage Leaderboards"}));
        } else if (name == "LevelSelect") {
            // A tile for each level of the timeline, and each starts its
            // level's event; a page for each episode with a level.
            int tiles = 0, buttons = 0;
            for (int i = 0; i < set->GetNumberOfComps(); i++) {
                int e, l;
                buttons += sscanf(set->GetCompByIndex(i)->name, "Episode%d_Level%d", &e, &l) == 2;
            }
            for (int e = 1; e <= 3; e++)
                for (int l = 1; l <= 10; l++) {
                    char id[16];
                    snprintf(id, sizeof id, "E%02d_L%02d", e, l);
                    std::string tile = "Episode" + std::to_string(e) + "_Level" + std::to_string(l);
                    EXPECT_EQ(set->GetComp(tile.c_str()) != nullptr, timeline.EventExists(id)) << tile;
                    if (!set->GetComp(tile.c_str())) continue;
                    seen.calls.clear();
                    Call(L, "OnClick", {tile}, f);
                    EXPECT_EQ(seen.calls, std::vector<std::string>{std::string("BeginTimelineEvent ") + id});
                    tiles++;
                }
            EXPECT_EQ(tiles, 20);
            EXPECT_EQ(buttons, tiles);
            // The chevrons page the grid; the title and the chevrons follow.
            auto* grid = static_cast<UICompTouchGrid*>(set->GetComp("Episodes"));
            auto* title = static_cast<UICompTextbox*>(set->GetComp("EpisodeTitle"));
            EXPECT_EQ(grid->x.num_steps, 2);
            grid->x.Select(0);
            Call(L, "OnEnter", {}, f);
            EXPECT_STREQ(title->text, "Episode 1: The Apple Garden");
            EXPECT_FALSE(set->GetComp("Prev")->active);
            Call(L, "OnClick", {"Next"}, f);
            Call(L, "OnClick", {"Next"}, f);
            Frame(L, set, 0.02f, f);
            EXPECT_EQ(grid->x.selected, 1);
            EXPECT_STREQ(title->text, "Episode 2: Garden at Dusk");
            EXPECT_TRUE(set->GetComp("Prev")->active);
            EXPECT_FALSE(set->GetComp("Next")->active);
        } else if (name == "Credits") {
            // The roll: the content is the emblem, the text and the tile,
            // longer than the screen.
            auto* scroll = static_cast<UICompTouchField*>(set->GetComp("Scroll"));
            Call(L, "OnEnter", {}, f);
            float bottom = scroll->y.maximum;
            EXPECT_GT(bottom, 150);
            EXPECT_LT(set->GetComp("Tile")->position.y * 600, scroll->content_height);
            EXPECT_GT(set->GetComp("Tile")->position.y * 600, scroll->content_height - 100);
            // It waits a moment, then climbs.
            for (int i = 0; i < 50; i++) Frame(L, set, 0.02f, f);
            EXPECT_EQ(scroll->y.value, 0);
            for (int i = 0; i < 100; i++) Frame(L, set, 0.05f, f);
            float climbed = scroll->y.value;
            EXPECT_GT(climbed, 60);
            // A finger on it has the field to itself: no target is set.
            RunLua(L, "OnMouseDown(500, 300, 'MOUSE_LEFT', 0)", f);
            seen.calls.clear();
            for (int i = 0; i < 100; i++) Frame(L, set, 0.05f, f);
            EXPECT_EQ(std::count(seen.calls.begin(), seen.calls.end(), "SetProperty Scroll:touchfield.target_value_y"), 0);
            // Let go, the roll goes on from where it is, not from the top.
            RunLua(L, "OnMouseUp(500, 300, 'MOUSE_LEFT', 0)", f);
            float held = scroll->y.value;
            for (int i = 0; i < 60; i++) Frame(L, set, 0.05f, f);
            EXPECT_GT(scroll->y.value, held + 20);
            // It stops at the end, never past it, and comes round to the top.
            float highest = 0;
            bool back_at_top = false;
            for (int i = 0; i < 2000 && !back_at_top; i++) {
                Frame(L, set, 0.05f, f);
                highest = std::max(highest, scroll->y.value);
                back_at_top = highest >= bottom - 1 && scroll->y.value < 1;
            }
            EXPECT_LE(highest, bottom);
            EXPECT_TRUE(back_at_top) << "highest " << highest << " of " << bottom;
        } else if (name == "Options") {
            bool lower = prof->TagExists("GAME", "lower_details");
            Call(L, "OnClick", {"LowerDetails"}, f);
            EXPECT_NE(prof->TagExists("GAME", "lower_details"), lower);
            Call(L, "OnEnter", {}, f);
            Call(L, "OnClick", {"LowerDetails"}, f);
            EXPECT_EQ(prof->TagExists("GAME", "lower_details"), lower);
            // Settings that could not be saved are said over the menu.
            const std::string blocked = env.engine->UserPath("profiles/index.xml.tmp");
            ASSERT_TRUE(fs::create_directory(blocked));
            seen.calls.clear();
            Call(L, "OnClick", {"Ok"}, f);
            EXPECT_EQ(seen.calls,
                      (std::vector<std::string>{"PopScreen ", "SendScreenMessage PopupOk", "PushScreen PopupOk"}));
            EXPECT_TRUE(rec().PopupContains("Unable to open file 'user://profiles/index.xml'"));
            rec().popups.clear();
            fs::remove(blocked);
        } else if (name == "NewProfile") {
            prof->SetName("Bo");  // a named player, not the fresh one a new one replaces
            int before = profile_man.GetNumberOfProfiles();
            auto* field = static_cast<UICompEditbox*>(set->GetComp("Name"));
            Call(L, "OnEnter", {}, f);
            field->SetText("Ann");
            seen.calls.clear();
            Call(L, "OnClick", {"Name"}, f);  // a touch on the field makes nobody
            EXPECT_EQ(profile_man.GetNumberOfProfiles(), before);
            Call(L, "OnKeyDown", {"RETURN"}, f);
            Call(L, "OnClick", {"Name"}, f);
            EXPECT_EQ(profile_man.GetNumberOfProfiles(), before + 1);
            EXPECT_STREQ(prof->GetName(), "Ann");
            EXPECT_EQ(seen.calls.back(), "PopScreen ");
            Call(L, "OnEnter", {}, f);
            field->SetText("Ann");
            Call(L, "OnClick", {"Ok"}, f);  // taken: refused with the line
            EXPECT_EQ(profile_man.GetNumberOfProfiles(), before + 1);
            EXPECT_TRUE(set->GetComp("Problem")->visible);
        } else if (name == "Profiles") {
            // The one playing is listed first (so it shows however many
            // there are), marked and selected; OK takes the line chosen.
            prof->SetName("Cy");
            Profile* cy = prof;
            profile_man.CreateNewProfile()->SetName("Dee");
            Call(L, "OnEnter", {}, f);
            auto* list = static_cast<UICompListbox*>(set->GetComp("ProfileList"));
            ASSERT_EQ(list->GetNumberOfLines(), profile_man.GetNumberOfProfiles());
            EXPECT_STREQ(list->GetLine(0)->text, "Dee");
            EXPECT_STREQ(list->GetLine(0)->text_right, "playing");
            EXPECT_EQ(list->selected, 0);
            for (int i = 1; i < list->GetNumberOfLines(); i++)
                if (!strcmp(list->GetLine(i)->text, "Cy")) list->selected = i;
            Call(L, "OnClick", {"Ok"}, f);
            EXPECT_EQ(prof, cy);
        }
        EXPECT_EQ(Warnings(), std::vector<std::string>{});
    }

    EXPECT_GT(stories, 4);

    // Every text shown is in the language file.
    std::vector<std::string> untranslated;
    for (int i = 0; i < loc_man.GetNumberOfEntries(); i++) {
        const LocalizationManager::Entry* e = loc_man.GetEntry(i);
        if (!e->fromFile && e->source && e->translation) untranslated.push_back(e->source);
    }
    EXPECT_EQ(untranslated, std::vector<std::string>{});
    timeline.FreeTimeline();
}
