// The timeline and its transition: loading timeline files (the developer's
// checks, a damaged or missing file), the next event and jumps, screens
// lists and transition types, delivery to the key screen and the game,
// the script functions and the saved position (resume, restart, a
// position that names a removed event), the transition's phases on the
// main thread and with the "TimelineLoader" thread (also when other code
// takes the transition off the stack while its thread runs), the
// developer's timeline screen and the bundled timeline with its screens.
// The loader's tests start threads: this file runs in the ThreadSanitizer
// job too.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dataman.h"
#include "feature-manager.h"
#include "fw-support.h"
#include "luaman.h"
#include "manager.h"
#include "profiles.h"
#include "recording-kd.h"
#include "ui/gameman.h"
#include "ui/screen-manager.h"
#include "ui/screens-builtin.h"
#include "ui/timeline-screens.h"
#include "ui/timeline.h"
#include "ui/ui-comps.h"
#include "ui/ui-image.h"
#include "ui/ui-layout.h"
#include "ui/ui-textbox.h"
#include "ui/ui-widgets.h"

namespace {

struct TestScreen : Screen {
    std::vector<std::string> messages;
    int enters = 0;
    explicit TestScreen(const char* n) : Screen(n) {}
    void Enter() override { enters++; }
    int ProcessScreenMessage(Screen*, const char* m, const char* v) override {
        messages.push_back(std::string(m) + "=" + v);
        return 1;
    }
};

// Preloaded by the loader thread: a page of texts to localize and measure,
// work in Lua on load, and a pause. Without the page the screen takes no
// bitmaps, whose loading would hold the frames' clock for a frame.
struct SlowScreen : TestScreen {
    bool page;
    explicit SlowScreen(const char* n, bool with_page = true) : TestScreen(n), page(with_page) {}
    bool PreLoad() override {
        if (page) LoadUI("user://page.lua");
        usleep(60000);
        return true;
    }
};

const char* kPage =
    "UIEvents ('user://page-events.lua');\n"
    "for i = 1, 4 do\n"
    "  CreateComp ('Textbox', 'line' .. i);\n"
    "  SetProperty ('textbox.font', 'fonts/small.sft');\n"
    "  SetProperty ('textbox.text', 'Line number ' .. i);\n"
    "end\n";
const char* kPageEvents =
    "function OnLoad () local s = 0 for i = 1, 20000 do s = s + i end loaded = s end\n"
    "function OnClick (name) end\n";

class RecGame : public GameImplementation {
public:
    const char* GetName() override { return "Worms"; }
    bool InitLevel(const char* level) override {
        levels.push_back(level ? level : "");
        return !level || strcmp(level, "unreadable") != 0;
    }
    bool IsLevelInProgress() override { return true; }
    bool IsSaveGameStateSupported() override { return true; }
    bool SaveGameState(const char* path) override {
        std::string s = "level " + (levels.empty() ? std::string() : levels.back());
        return WriteSaveFile(path, s.data(), (unsigned)s.size());
    }
    bool LoadGameState(const char* path) override {
        loaded_from.push_back(path);
        return true;
    }
    std::vector<std::string> levels, loaded_from;
};

struct RecProcessor : TimelineProcessor {
    std::vector<std::string> calls;
    void ProcessTimelineEvent(DMNode* n) override { calls.push_back(std::string("process ") + n->GetId()); }
    bool ExportTimelineEvent(FILE* f, DMNode* n) override {
        if (!nStringsMatch(n->GetId(), "B")) return false;
        fputs("<p>custom B</p>\n", f);
        return true;
    }
    void ResetSimulation() override { calls.push_back("reset"); }
    void SimulateTimelineEvent(const char* target, DMNode* n) override {
        calls.push_back(std::string("simulate ") + n->GetId() + " to " + target);
    }
};

int Count(const std::vector<std::string>& lines, const std::string& text) {
    int n = 0;
    for (const auto& l : lines) n += l.find(text) != std::string::npos;
    return n;
}

std::string Eval(lua_State* L, const std::string& code) { return FwEvalLua(L, code); }

// The frame's work for the threaded tests: the screen manager's update
// and drawing, and the test's own step inside the frame (where the
// loader thread cannot run beside it).
std::function<void()> in_frame;
void FrameUpdate(float dt) {
    if (in_frame) in_frame();
    sman.Update(dt);
}
void FrameDraw(float dt) { sman.DrawScreens(dt); }

TimelineTransition& tr = Screen_TimelineTransition;

struct TL : ::testing::Test {
    std::string dir;
    std::unique_ptr<FwEngine> engine;
    kd_prog_t record;
    RecGame game;
    RecProcessor processor;
    std::vector<std::unique_ptr<TestScreen>> screens;
    std::string file;

    void SetUp() override {
        dir = FwDataTreeFolder("kodo-timeline");
        ASSERT_FALSE(dir.empty());
        engine.reset(new FwEngine(dir));
        ASSERT_TRUE(engine->started);
        memset(&record, 0, sizeof record);
        Manager::SetProgramRecord(&record);
        feature_man.SetFeatureList("");
        lua_man.Initialize();
        ScreenMan::RegisterLuaFunctions();
        UIRegisterWidgetKinds();
        ui_screen = UIScreenValues();
        ui_screen.reference_width = ui_screen.virtual_width = ui_screen.actual_width = 1024;
        ui_screen.reference_height = ui_screen.virtual_height = ui_screen.actual_height = 600;
        sman.stack.count = 0;
        sman.UnlockCursors();
        sman.zero_next_time_step = false;
        profile_man.Initialize();
        ASSERT_TRUE(prof);
        GameManager::num_games = 0;
        game_man = GameManager();
        GameManager::AddGameImplementation(&game);
        timeline = Timeline();
        timeline.Init();
        WriteNative(engine->UserPath("page.lua"), kPage);
        WriteNative(engine->UserPath("page-events.lua"), kPageEvents);
        Screen::PreLoadScreen(&tr, true);
        ASSERT_TRUE(tr.GetComp("fader"));
    }
    void TearDown() override {
        in_frame = nullptr;
        tr.enter_speed = 3;
        WaitForLoader();
        sman.Shutdown();
        screens.clear();
        timeline.FreeTimeline();
        Manager::SetProgramRecord(nullptr);
        GameManager::num_games = 0;
        game_man = GameManager();
        feature_man.SetFeatureList("");
        lua_man.Shutdown();
        engine.reset();
        std::filesystem::remove_all(dir);
    }
    void WaitForLoader() {
        for (int i = 0; i < 500 && tr.loader.state.load() == TIMELINE_LOADER_LOADING; i++) usleep(10000);
    }
    TestScreen* Make(const char* name, bool preload = true) {
        screens.emplace_back(new TestScreen(name));
        if (preload) Screen::PreLoadScreen(screens.back().get(), false);
        return screens.back().get();
    }
    // A timeline file of these nodes, loaded; each test's file has a name
    // of its own (the data manager caches files by name).
    void Load(const std::string& nodes) {
        static int n = 0;
        file = "user://timeline-" + std::to_string(++n) + ".xml";
        WriteNative(engine->UserPath(file.substr(7)),
                    "<root>\n<array id=\"timeline\">\n" + nodes + "</array>\n</root>\n");
        ASSERT_TRUE(timeline.LoadTimeline(file.c_str()));
    }
    // Frames on the main thread alone.
    void Frames(int n) {
        for (int i = 0; i < n; i++) sman.Update(1.0f / 60);
    }
    // Frames until the transition has gone, at most `limit`; the count.
    int UntilTransitionGone(int limit = 400) {
        int n = 0;
        while (n < limit && sman.IsScreenInStack(&tr)) {
            Frames(1);
            n++;
        }
        return n;
    }
    std::vector<std::string> Stack() const {
        std::vector<std::string> s;
        for (int i = 0; i < sman.stack.count; i++) s.push_back(sman.stack.data[i]->GetName());
        return s;
    }
    std::string Listed() const {
        std::string s;
        for (int i = 0; i < tr.screens.count; i++)
            s += std::string(i ? " " : "") + tr.screens[i].screen->GetName() + (tr.screens[i].re_push ? ":1" : ":0");
        return s;
    }
    lua_State* L() { return lua_man.GetMainState(); }
    const char* Saved() { return prof->GetValue("!TIMELINES", file.c_str(), "event"); }
};

}  // namespace

TEST_F(TL, LoadingFilesTheDevelopersChecksAndDamagedOrMissingFiles) {
    record.parms.developer_mode = true;
    RecordingKd r{kd};
    r.Install();
    Load("<node id=\"A\" type=\"STORY\" screens=\"X\"/>\n"
         "<node id=\"A\" type=\"STORY\" screens=\"X\"/>\n"
         "<node id=\"B\" type=\"STORY\"/>\n"
         "<node id=\"C\" type=\"STORY\" screens=\"X\" ui=\"x.lua\"/>\n"
         "<node id=\"J1\" type=\"JUMP\" event=\"nowhere\"/>\n"
         "<node id=\"J2\" type=\"JUMP\" event=\"J1\"/>\n");
    EXPECT_EQ(Count(rec().popups, "Duplicate id 'A' in timeline '" + file + "'"), 2);
    EXPECT_TRUE(rec().PopupContains("Event id 'B' is missing 'screens' definition"));
    EXPECT_TRUE(rec().PopupContains("Event id 'C' has 'ui' defined"));
    EXPECT_TRUE(rec().PopupContains("Jump 'J1' in timeline '" + file + "' leads to no event ('nowhere')"));
    EXPECT_TRUE(rec().PopupContains("Jump 'J2' in timeline '" + file + "' leads to another jump ('J1')"));
    EXPECT_FALSE(rec().PopupContains("Event id 'J1' is missing"));
    EXPECT_TRUE(
        rec().PopupContains("Event id 'A' in timeline '" + file + "' names screen 'X', which is not registered."));
    EXPECT_EQ(timeline.GetNumEvents(), 6);
    EXPECT_STREQ(prof->GetValue("!SAVE_STATE", "timeline", "value"), file.c_str());

    // Outside developer mode the same checks run at every load, and their
    // texts go to the log, where a popup would leave no trace.
    record.parms.developer_mode = false;
    rec().Clear();
    Load(
        "<node id=\"N\" screens=\"X\" game=\"Nope\"/>\n<node id=\"N\" type=\"T\" screens=\"X\"/>\n"
        "<node id=\"J\" type=\"JUMP\" event=\"gone\"/>\n");
    for (const char* line : {"Event id 'N' is missing 'type' definition", "names game 'Nope', which is not registered",
                             "Duplicate id 'N'", "Jump 'J' in timeline '", "names screen 'X', which is not registered"})
        EXPECT_TRUE(rec().DebugContains(line)) << line;
    EXPECT_TRUE(rec().popups.empty());
    record.parms.developer_mode = true;

    // The file already loaded: true, and the profile is not written again.
    prof->SetValue("!SAVE_STATE", "timeline", "value", "other.xml");
    EXPECT_TRUE(timeline.LoadTimeline(file.c_str()));
    EXPECT_STREQ(prof->GetValue("!SAVE_STATE", "timeline", "value"), "other.xml");

    // Damaged: the events before the damage, and one line naming the file.
    WriteNative(engine->UserPath("damaged.xml"),
                "<root>\n<array id=\"timeline\">\n<node id=\"D1\" type=\"T\" screens=\"X\"/>\n"
                "<node id=\"D2\" type=\"T\" screens=\"X\"/>\n<node id=\"D3\" type=\"T\" scr");
    rec().Clear();
    EXPECT_TRUE(timeline.LoadTimeline("user://damaged.xml"));
    EXPECT_EQ(timeline.GetNumEvents(), 2);
    EXPECT_TRUE(timeline.EventExists("D2"));
    EXPECT_TRUE(rec().DebugContains(
        "Database file 'user://damaged.xml' is damaged at line 5; the 1 arrays with 2 nodes read before it are kept."));

    // Missing: no events, the name kept for saves; starting, ending and
    // asking do nothing and say nothing more.
    rec().Clear();
    EXPECT_FALSE(timeline.LoadTimeline("user://missing.xml"));
    EXPECT_STREQ(timeline.GetTimelineFilename(), "user://missing.xml");
    EXPECT_TRUE(rec().DebugContains("Timeline file 'user://missing.xml' holds no events"));
    size_t popups = rec().popups.size();
    timeline.StartEvent(nullptr, false, TRANSITION_DEFAULT);
    timeline.StartEvent("A", false, TRANSITION_DEFAULT);
    timeline.EndEvent();
    timeline.SimulateGameToTimelineEvent("A");
    EXPECT_EQ(rec().popups.size(), popups);
    EXPECT_FALSE(sman.IsScreenInStack(&tr));
    EXPECT_FALSE(timeline.EventExists("A"));
    EXPECT_EQ(timeline.GetNextEventId("A"), nullptr);
}

TEST_F(TL, NextEventsJumpsAndTheCurrentEventOutlivingItsDatabase) {
    Make("X");
    Load("<node id=\"A\" type=\"T\" screens=\"X\"/>\n"
         "<node id=\"B\" type=\"T\" screens=\"X\"/>\n"
         "<node id=\"J\" type=\"JUMP\" event=\"A\"/>\n"
         "<node id=\"C\" type=\"T\" screens=\"X\"/>\n"
         "<node id=\"J2\" type=\"JUMP\" event=\"J3\"/>\n"
         "<node id=\"J3\" type=\"JUMP\" event=\"A\"/>\n"
         "<node id=\"D\" type=\"T\" screens=\"X\"/>\n");
    EXPECT_STREQ(timeline.GetNextEventId("A"), "B");
    EXPECT_STREQ(timeline.GetNextEventId("B"), "A");   // the jump that follows stands for its target
    EXPECT_STREQ(timeline.GetNextEventId("C"), "J3");  // one jump only: a jump to a jump is not followed
    EXPECT_STREQ(timeline.GetNextEventId("D"), "A");   // the last is followed by the first
    EXPECT_EQ(timeline.GetNextEventId("nope"), nullptr);

    // Ending the last event starts the first.
    timeline.SendEventParametersToKeyScreen("D");
    timeline.EndEvent();
    EXPECT_STREQ(tr.event_id.text, "A");
    EXPECT_TRUE(sman.IsScreenInStack(&tr));

    // The current event is the timeline's own copy: a released database
    // and a switch of timelines leave it whole (AddressSanitizer would
    // see a read of freed memory otherwise).
    timeline.SendEventParametersToKeyScreen("B");
    std::string old_file = file;
    dman.ReleaseDatabase(old_file.c_str());
    EXPECT_STREQ(timeline.GetCurrentEventId(), "B");
    EXPECT_STREQ(timeline.GetNextEventId("B"), "A");  // the file is read again
    Load("<node id=\"Z\" type=\"T\" screens=\"X\"/>\n");
    dman.ReleaseDatabase(old_file.c_str());
    EXPECT_STREQ(timeline.GetCurrentEventId(), "B");
    EXPECT_EQ(std::string(timeline.GetCurrentEventId()), "B");
}

TEST_F(TL, ScreensListsRePushFlagsKeyScreensAndTransitionTypes) {
    RecordingKd r{kd};
    r.Install();
    TestScreen* s1 = Make("S1");
    Make("S2");
    Make("S3");
    sman.PushScreen(s1, 0);
    Load("<node id=\"TRAIL\" type=\"T\" screens=\"S1,S2,\"/>\n"
         "<node id=\"GAP\" type=\"T\" screens=\"S2,,S3\"/>\n"
         "<node id=\"AMP\" type=\"T\" screens=\"&S2,S3\"/>\n"
         "<node id=\"FORCE\" type=\"T\" screens=\"!&S1,S3\"/>\n"
         "<node id=\"BANG\" type=\"T\" screens=\"!S1\"/>\n"
         "<node id=\"FADE\" type=\"T\" screens=\"S1,S2\" transition=\"FADE_BLACK\"/>\n"
         "<node id=\"DYN\" type=\"T\" screens=\"S2\" transition=\"DYNAMIC\"/>\n"
         "<node id=\"ODD\" type=\"T\" screens=\"S2\" transition=\"SLOW\"/>\n"
         "<node id=\"KEY\" type=\"T\" screens=\"S1,&S3\" key_screen=\"S2\"/>\n"
         "<node id=\"NONE\" type=\"T\"/>\n");
    auto start = [](const char* id, int type) { timeline.StartEvent(id, false, type); };

    start("TRAIL", TRANSITION_AUTOMATIC);
    EXPECT_EQ(Listed(), "S1:0 S2:1");  // the first, stacked, is kept
    EXPECT_EQ(tr.transition_type, TRANSITION_DYNAMIC);
    EXPECT_FLOAT_EQ(tr.GetComp("fader")->color.a, 0.0f);
    EXPECT_STREQ(timeline.GetKeyScreenForEvent("TRAIL")->GetName(), "S2");
    start("GAP", TRANSITION_AUTOMATIC);
    EXPECT_EQ(Listed(), "S2:1 S3:1");
    EXPECT_TRUE(rec().PopupContains("Screen::GetScreen ('') -- screen not found!"));
    EXPECT_EQ(tr.transition_type, TRANSITION_FADE_BLACK);
    EXPECT_FLOAT_EQ(tr.GetComp("fader")->color.a, 1.0f);
    start("AMP", TRANSITION_FADE_BLACK);
    EXPECT_EQ(Listed(), "S2:0 S3:1");  // '&' keeps whether or not the screen is stacked
    start("FORCE", TRANSITION_FADE_BLACK);
    EXPECT_EQ(Listed(), "S1:1 S3:1");  // "!&" re-pushes even the stacked first screen
    start("BANG", TRANSITION_FADE_BLACK);
    EXPECT_EQ(Listed(), "S1:0");       // '!' alone only goes
    start("FADE", TRANSITION_AUTOMATIC);
    EXPECT_EQ(tr.transition_type, TRANSITION_FADE_BLACK);  // the event's type wins
    start("DYN", TRANSITION_FADE_BLACK);
    EXPECT_EQ(tr.transition_type, TRANSITION_DYNAMIC);
    start("ODD", TRANSITION_DYNAMIC);
    EXPECT_EQ(tr.transition_type, TRANSITION_DYNAMIC);  // an unknown word is ignored
    timeline.SetDefaultTransitionType(TRANSITION_DYNAMIC);
    start("GAP", TRANSITION_DEFAULT);
    EXPECT_EQ(tr.transition_type, TRANSITION_DYNAMIC);
    timeline.SetDefaultTransitionType(TRANSITION_AUTOMATIC);
    start("TRAIL", TRANSITION_DEFAULT);
    EXPECT_EQ(tr.transition_type, TRANSITION_DYNAMIC);

    EXPECT_STREQ(timeline.GetKeyScreenForEvent("KEY")->GetName(), "S2");
    EXPECT_STREQ(timeline.GetKeyScreenForEvent("AMP")->GetName(), "S3");  // prefixes stripped
    EXPECT_EQ(timeline.GetKeyScreenForEvent("NONE"), nullptr);
    EXPECT_TRUE(rec().PopupContains("No Key Screen found for event id 'NONE'"));
    EXPECT_EQ(timeline.GetKeyScreenForEvent("nope"), nullptr);
    EXPECT_TRUE(rec().PopupContains("Unknown event id 'nope' in Timeline::GetKeyScreenForEvent."));

    // A list of 1023 characters or more gives empty names only.
    std::string long_list(1100, 'S');
    long_list[500] = ',';
    Load("<node id=\"LONG\" type=\"T\" screens=\"" + long_list + "\"/>\n");
    start("LONG", TRANSITION_FADE_BLACK);
    EXPECT_EQ(Listed(), "");
    start("unknown", TRANSITION_FADE_BLACK);
    EXPECT_TRUE(rec().DebugContains("Timeline::StartEvent error: timeline event with id 'unknown' doesn't exist."));
    EXPECT_TRUE(tr.event_refused);
    EXPECT_EQ(Listed(), "");
}

TEST_F(TL, DeliveryMessagesTheGameAResumedSaveAndThePosition) {
    RecordingKd r{kd};
    r.Install();
    TestScreen* s1 = Make("S1");
    TestScreen* s2 = Make("S2");
    Load("<node id=\"L1\" type=\"GAME\" screens=\"S1,S2\" game=\"Worms\" parm_Title=\"Hi\" parm_Score=\"3\"/>\n"
         "<node id=\"L2\" type=\"GAME\" screens=\"S1\" game=\"Worms\" level=\"worlds/w2.xml\"/>\n"
         "<node id=\"L3\" type=\"GAME\" screens=\"S1\" game=\"Nope\"/>\n");
    timeline.SetCustomEventProcessor(&processor);
    timeline.SendEventParametersToKeyScreen("L1");
    EXPECT_EQ(s2->messages, (std::vector<std::string>{"Title=Hi", "Score=3"}));  // to the key screen, in order
    EXPECT_TRUE(s1->messages.empty());
    EXPECT_EQ(game.levels, (std::vector<std::string>{"L1"}));  // no level: the event's own id
    EXPECT_EQ(processor.calls, (std::vector<std::string>{"process L1"}));
    EXPECT_STREQ(timeline.GetCurrentEventId(), "L1");
    EXPECT_STREQ(Saved(), "L1");
    EXPECT_TRUE(game.loaded_from.empty());

    // Resumed with a save game beside the position: the game loads it.
    timeline.StartEvent("L2", true, TRANSITION_FADE_BLACK);
    EXPECT_STREQ(timeline.GetCurrentEventId(), "L1");  // until delivered
    timeline.SendEventParametersToKeyScreen("L2");
    EXPECT_EQ(game.levels.back(), "worlds/w2.xml");
    ASSERT_EQ(game.loaded_from.size(), 1u);
    EXPECT_STREQ(Saved(), "L2");

    timeline.SendEventParametersToKeyScreen("L3");
    EXPECT_TRUE(rec().PopupContains("event referring to unknown game 'Nope'"));
    timeline.SendEventParametersToKeyScreen("L9");
    EXPECT_TRUE(rec().PopupContains("Unknown event id 'L9' in Timeline::SendEventParametersToKeyScreen."));
    timeline.SetCustomEventProcessor(nullptr);
}

TEST_F(TL, ScriptFunctionsAndTheSavedPosition) {
    RecordingKd r{kd};
    r.Install();
    Make("S1");
    Make("S2");
    Load(
        "<node id=\"A\" type=\"STORY\" screens=\"S1\"/>\n"
        "<node id=\"B\" type=\"GAME\" screens=\"S2\" game=\"Worms\"/>\n"
        "<node id=\"TO_MENU\" type=\"JUMP\" event=\"MENU\"/>\n"
        "<node id=\"MENU\" type=\"MENU\" screens=\"S1\"/>\n");
    game_man.SetActiveGame("Worms");
    prof->SetValue("LEVELS", "E01_L01", "completed", "1");
    prof->SetValue("!TIMELINES", file.c_str(), "event", "B");

    // Nothing current: no type at all, a nil id; ending, saving and the
    // program's save at exit keep the position saved before.
    EXPECT_EQ(Eval(L(), "return GetCurrentTimelineEventType ()"), "");
    EXPECT_EQ(Eval(L(), "return GetCurrentTimelineEvent ()"), "nil");
    EXPECT_EQ(Eval(L(), "EndTimelineEvent () return SavedTimelineEventExists ()"), "boolean:true");
    EXPECT_TRUE(rec().PopupContains("Warning: null timeline event."));
    EXPECT_TRUE(timeline.SaveGameState());
    EXPECT_STREQ(Saved(), "B");
    EXPECT_EQ(Eval(L(), "return EventExists ('A'), EventExists ('Q'), EventExists ({})"),
              "boolean:true boolean:false boolean:false");

    // A wrong argument starts nothing.
    EXPECT_EQ(Eval(L(), "BeginTimelineEvent ({})"), "");
    EXPECT_FALSE(sman.IsScreenInStack(&tr));

    timeline.SendEventParametersToKeyScreen("A");
    EXPECT_EQ(Eval(L(), "return GetCurrentTimelineEventType (), GetCurrentTimelineEvent ()"),
              "string:STORY string:A");
    EXPECT_EQ(Eval(L(), "SaveAtNextTimelineEvent ()"), "");
    EXPECT_STREQ(Saved(), "B");
    // The saves that follow (the program's at exit) keep that place: the
    // event the player is done with is never saved over it.
    EXPECT_TRUE(timeline.SaveGameState());
    EXPECT_STREQ(Saved(), "B");

    // While a transition runs, ending starts nothing but saves the
    // position; beginning another event replaces the running one.
    EXPECT_EQ(Eval(L(), "BeginTimelineEvent ('B')"), "");
    EXPECT_STREQ(tr.event_id.text, "B");
    EXPECT_STREQ(Saved(), "B");
    EXPECT_EQ(Eval(L(), "EndTimelineEvent ()"), "");
    EXPECT_STREQ(tr.event_id.text, "B");
    EXPECT_EQ(Eval(L(), "BeginTimelineEvent ('MENU')"), "");
    EXPECT_STREQ(tr.event_id.text, "MENU");
    EXPECT_EQ(Count(rec().popups, "already in stack"), 0);
    sman.ForgetScreen(&tr);

    // A position that names an event the timeline no longer has, or one
    // no Play can start (a jump): the first event, with a line, and the
    // rest of the profile kept.
    for (const char* gone : {"GONE", "TO_MENU"}) {
        prof->SetValue("!TIMELINES", file.c_str(), "event", gone);
        EXPECT_EQ(Eval(L(), "ResumeSavedTimelineEvent ()"), "");
        EXPECT_STREQ(tr.event_id.text, "A") << gone;
        EXPECT_FALSE(tr.event_refused) << gone;
        EXPECT_FALSE(timeline.GetResumeFlag());
        EXPECT_STREQ(prof->GetValue("LEVELS", "E01_L01", "completed"), "1");
        sman.ForgetScreen(&tr);
    }
    EXPECT_TRUE(
        rec().DebugContains("The saved timeline position 'GONE' cannot be resumed: it is no event of '" + file + "'"));
    EXPECT_TRUE(rec().DebugContains("The saved timeline position 'TO_MENU' cannot be resumed: it is a jump"));

    // A profile that names a timeline without events: the loaded one stays.
    prof->SetValue("!SAVE_STATE", "timeline", "value", "user://no-such-timeline.xml");
    prof->SetValue("!TIMELINES", file.c_str(), "event", "B");
    EXPECT_EQ(Eval(L(), "ResumeSavedTimelineEvent ()"), "");
    EXPECT_STREQ(timeline.GetTimelineFilename(), file.c_str());
    EXPECT_STREQ(tr.event_id.text, "B");
    EXPECT_TRUE(timeline.GetResumeFlag());
    sman.ForgetScreen(&tr);

    // Resuming starts the saved event, the menu the player is at too (the
    // menu's Play ends that one instead); ending the last event starts
    // the first.
    timeline.SendEventParametersToKeyScreen("MENU");
    EXPECT_STREQ(Saved(), "MENU");
    EXPECT_EQ(Eval(L(), "ResumeSavedTimelineEvent ()"), "");
    EXPECT_STREQ(tr.event_id.text, "MENU");
    sman.ForgetScreen(&tr);
    EXPECT_EQ(Eval(L(), "EndTimelineEvent ()"), "");
    EXPECT_STREQ(tr.event_id.text, "A");
    sman.ForgetScreen(&tr);
    // The event after the place moves it on, where the timeline starts
    // over too; an event before it (a level replayed) leaves it, whatever
    // saves it, and a restart starts the event being played.
    timeline.SendEventParametersToKeyScreen("A");
    EXPECT_STREQ(Saved(), "A");
    timeline.SendEventParametersToKeyScreen("B");
    timeline.SendEventParametersToKeyScreen("A");
    EXPECT_TRUE(timeline.SaveGameState());
    EXPECT_EQ(Eval(L(), "SaveAtNextTimelineEvent ()"), "");
    EXPECT_STREQ(Saved(), "B");
    EXPECT_EQ(Eval(L(), "RestartTimelineEvent ()"), "");
    EXPECT_STREQ(tr.event_id.text, "A");
    sman.ForgetScreen(&tr);
    // A level resumes as saved.
    timeline.SendEventParametersToKeyScreen("B");
    timeline.ResumeSavedEvent();
    EXPECT_STREQ(tr.event_id.text, "B");
    sman.ForgetScreen(&tr);

    // Restarting deletes the save game.
    ASSERT_TRUE(prof->GetValue("!TIMELINES", file.c_str(), "savefile"));
    EXPECT_EQ(Eval(L(), "RestartTimelineEvent ()"), "");
    EXPECT_EQ(prof->GetValue("!TIMELINES", file.c_str(), "savefile"), nullptr);
    EXPECT_STREQ(tr.event_id.text, "B");
    EXPECT_FALSE(timeline.GetResumeFlag());
}

// The place moves only along the story: a level begun from the level
// selection (the one after the place too), its restarts, its win and the
// levels it leads on to leave it; a win of the place's own level moves it.
TEST_F(TL, ThePlaceMovesOnlyAlongTheStory) {
    Make("S1");
    Load(
        "<node id=\"L1\" type=\"GAME\" screens=\"S1\" game=\"Worms\"/>\n"
        "<node id=\"L2\" type=\"GAME\" screens=\"S1\" game=\"Worms\"/>\n"
        "<node id=\"L3\" type=\"GAME\" screens=\"S1\" game=\"Worms\"/>\n"
        "<node id=\"L4\" type=\"GAME\" screens=\"S1\" game=\"Worms\"/>\n");
    game_man.SetActiveGame("Worms");
    // Delivers the event the transition holds, as its last phase does.
    auto deliver = [&] {
        nString id(tr.event_id);
        sman.ForgetScreen(&tr);
        timeline.SendEventParametersToKeyScreen(id.text);
    };
    // A new player: a level from the selection, won, and the one its Next
    // leads to set no place; the story's first event does. A save that
    // fails says so instead of "saved".
    EXPECT_EQ(Eval(L(), "BeginTimelineEvent ('L3')"), "");
    deliver();
    EXPECT_EQ(Eval(L(), "SaveAtNextTimelineEvent ()"), "");
    EXPECT_EQ(Eval(L(), "EndTimelineEvent ()"), "");
    deliver();
    EXPECT_EQ(Saved(), nullptr);
    {
        FwLog log;
        std::filesystem::rename(engine->UserPath("profiles"), engine->UserPath("away"));
        WriteNative(engine->UserPath("profiles"), "a file where the folder was");
        EXPECT_EQ(Eval(L(), "BeginTimelineEvent ('!FIRST')"), "");
        deliver();
        EXPECT_TRUE(log.Contains("The timeline position 'L1' could not be saved."));
        EXPECT_FALSE(log.Contains("Timeline position 'L1' saved."));
        std::filesystem::remove(engine->UserPath("profiles"));
        std::filesystem::rename(engine->UserPath("away"), engine->UserPath("profiles"));
    }
    EXPECT_TRUE(timeline.SaveGameState());
    EXPECT_STREQ(Saved(), "L1");
    prof->SetValue("!TIMELINES", file.c_str(), "event", "L2");
    for (const char* begun : {"L3", "L4", "L1"}) {
        EXPECT_EQ(Eval(L(), std::string("BeginTimelineEvent ('") + begun + "')"), "");
        deliver();
        EXPECT_EQ(Eval(L(), "RestartTimelineEvent ()"), "");
        deliver();
        EXPECT_STREQ(timeline.GetCurrentEventId(), begun);
        EXPECT_EQ(Eval(L(), "SaveAtNextTimelineEvent ()"), "");  // won
        EXPECT_EQ(Eval(L(), "EndTimelineEvent ()"), "");         // its Next
        deliver();
        EXPECT_TRUE(timeline.SaveGameState());
        EXPECT_STREQ(Saved(), "L2") << "begun at " << begun;
    }
    EXPECT_STREQ(timeline.GetCurrentEventId(), "L2");  // L1's Next
    EXPECT_EQ(Eval(L(), "SaveAtNextTimelineEvent ()"), "");
    EXPECT_STREQ(Saved(), "L3");
    EXPECT_EQ(Eval(L(), "EndTimelineEvent ()"), "");
    deliver();
    EXPECT_EQ(Eval(L(), "SaveAtNextTimelineEvent ()"), "");
    EXPECT_STREQ(Saved(), "L4");
}

TEST_F(TL, TransitionPhasesOnTheMainThread) {
    feature_man.SetFeatureList("NO_MULTITHREADED_LOADING");
    FwLog log;
    TestScreen* s1 = Make("S1");
    TestScreen* s2 = Make("S2");
    TestScreen* s3 = Make("S3");
    TestScreen* keep = Make("Keep");
    TestScreen* above = Make("Above");
    sman.PushScreen(s1, 0);
    sman.PushScreen(keep, 0);
    sman.PushScreen(s2, 0);
    Frames(30);
    Load("<node id=\"E\" type=\"T\" screens=\"&S1,&Keep,S2,S3\" parm_Go=\"1\"/>\n"
         "<node id=\"EMPTY\" type=\"T\" screens=\"\"/>\n");
    timeline.StartEvent("E", false, TRANSITION_FADE_BLACK);

    // Each frame: the cover fades in; while another screen lies above it
    // the phases stand still; the old screens go while it is whole; the event is
    // delivered once no screen at all is leaving (also one that other
    // code sent off); the new screens come the frame after; the cover
    // fades out.
    int frame = 0, delivered_at = -1, pushed_at = -1, full_at = -1, out_at = -1, phase2_at = -1, gone_at = -1;
    float last_trans = 0;
    while (sman.IsScreenInStack(&tr) && frame < 400) {
        if (frame == 5) sman.PushScreen(above, 0);
        if (frame == 45) {
            EXPECT_LE(tr.phase, 1);  // fully in, but no screen popped
            EXPECT_FALSE(s2->leaving);
            sman.PopScreen(above, false);
        }
        if (phase2_at > 0 && frame == phase2_at + 10) sman.PopScreen(keep, true);
        Frames(1);
        frame++;
        if (tr.trans >= 1.0f && full_at < 0) full_at = frame;
        if (full_at < 0) {
            EXPECT_GE(tr.trans, last_trans);
        }
        if (tr.leaving && out_at < 0) out_at = frame;
        if (out_at > 0) {
            EXPECT_LE(tr.trans, last_trans);
        }
        last_trans = tr.trans;
        if (tr.phase == 2 && phase2_at < 0) phase2_at = frame;
        if (phase2_at > 0 && gone_at < 0 && !sman.IsScreenInStack(keep)) gone_at = frame;
        if (delivered_at < 0 && !s3->messages.empty()) {
            delivered_at = frame;
            EXPECT_FALSE(sman.IsScreenInStack(s2));
            EXPECT_FALSE(sman.IsScreenInStack(s3));
        }
        if (pushed_at < 0 && sman.IsScreenInStack(s3)) pushed_at = frame;
    }
    ASSERT_LT(frame, 400);
    EXPECT_GE(delivered_at, gone_at);  // it waited for the screen other code popped
    EXPECT_GT(delivered_at, phase2_at + 25);
    EXPECT_EQ(pushed_at, delivered_at + 1);
    EXPECT_GT(out_at, pushed_at);
    EXPECT_EQ(s3->messages, std::vector<std::string>{"Go=1"});
    // S1 kept; Keep (popped by other code) and S2 (re-pushed) come anew.
    EXPECT_EQ(Stack(), (std::vector<std::string>{"S1", "Keep", "S2", "S3"}));
    EXPECT_EQ(s1->enters, 1);
    EXPECT_EQ(keep->enters, 2);
    EXPECT_EQ(s2->enters, 2);
    EXPECT_TRUE(log.Contains("DoTransitionPhasePush: screen 'S1' is already in stack no need to do anything"));
    EXPECT_TRUE(log.Contains("DoTransitionPhasePop: removing 'S2'"));
    EXPECT_FALSE(log.Contains("DoTransitionPhasePop: removing 'Keep'"));
    EXPECT_FALSE(log.Contains("Loading thread spent"));

    // An event that cannot start (an empty list, a jump reached from a
    // jump, a screen or game that is not registered, no type, a type the
    // program does not show, a GAME without a game, a level that does not
    // load) pops every screen and brings the main menu with the message
    // that says so, and a line; nothing of it is current or saved as the
    // place to resume.
    TestScreen* menu = Make("MainMenu");
    TestScreen* popup = Make("PopupOk");
    timeline.SetKnownEventTypes("T,GAME");
    Load(
        "<node id=\"EMPTY\" type=\"T\" screens=\"\"/>\n"
        "<node id=\"J1\" type=\"JUMP\" event=\"J2\"/>\n<node id=\"J2\" type=\"JUMP\" event=\"J1\"/>\n"
        "<node id=\"GONE\" type=\"T\" screens=\"NoSuchScreen\"/>\n"
        "<node id=\"NOGAME\" type=\"GAME\" screens=\"S3\" game=\"NoSuchGame\"/>\n"
        "<node id=\"NOTYPE\" screens=\"S3\" parm_Go=\"2\"/>\n"
        "<node id=\"ODD\" type=\"LEVEL\" screens=\"S3\" parm_Go=\"3\"/>\n"
        "<node id=\"GAMELESS\" type=\"GAME\" screens=\"S3\" parm_Go=\"4\"/>\n"
        "<node id=\"UNREAD\" type=\"GAME\" screens=\"S3\" game=\"Worms\" level=\"unreadable\"/>\n");
    EXPECT_TRUE(
        log.Contains("Event id 'ODD' in timeline '" + file + "' is of type 'LEVEL', which the program does not show."));
    const char* refused[][2] = {{"EMPTY", "none of its screens ('') is registered"},
                                {"J2", "it is a jump, reached from another jump"},
                                {"GONE", "none of its screens ('NoSuchScreen') is registered"},
                                {"NOGAME", "its game 'NoSuchGame' is not registered"},
                                {"NOTYPE", "it has no 'type'"},
                                {"ODD", "its type 'LEVEL' is not one the program shows (T,GAME)"},
                                {"GAMELESS", "it is a GAME event without a 'game'"},
                                {"UNREAD", "its level 'unreadable' did not load; the main menu is shown."}};
    for (auto& c : refused) {
        timeline.StartEvent(c[0], false, TRANSITION_FADE_BLACK);
        ASSERT_LT(UntilTransitionGone(), 400);
        Frames(2);
        EXPECT_TRUE(log.Contains(std::string("Timeline event '") + c[0] + "' cannot start: " + c[1])) << c[0];
        EXPECT_TRUE(
            log.Contains(std::string("Timeline event '") + c[0] + "' has no screen to push; 'MainMenu' is pushed."));
        EXPECT_EQ(Stack(), (std::vector<std::string>{"MainMenu", "PopupOk"})) << c[0];
        EXPECT_STRNE(timeline.GetCurrentEventId(), c[0]);
        EXPECT_TRUE(timeline.SaveGameState());  // the program's at exit
        EXPECT_STRNE(Saved(), c[0]);
    }
    EXPECT_EQ(menu->enters, (int)(sizeof refused / sizeof refused[0]));
    EXPECT_EQ(popup->messages.size(), sizeof refused / sizeof refused[0]);
    EXPECT_EQ(popup->messages.back(), "text=TIMELINE_EVENT_REFUSED");
    EXPECT_EQ(s3->messages, std::vector<std::string>{"Go=1"});
    timeline.SetKnownEventTypes(nullptr);
}

TEST_F(TL, TheCoverIsBlackAtTheFadesAlphaAndDynamicDrawsNothing) {
    RecordingKd r{kd};
    r.table.SetAlpha = [](float a) { rec().calls.push_back("alpha " + std::to_string(a)); };
    r.table.SetColor = [](float red, float g, float b) {
        rec().calls.push_back("color " + std::to_string(red + g + b));
    };
    r.table.DrawRect = [](float x, float y, float w, float h) {
        rec().calls.push_back("rect " + std::to_string((int)x) + " " + std::to_string((int)y) + " " +
                              std::to_string((int)w) + " " + std::to_string((int)h));
    };
    r.Install();
    sman.virtual_x = 12;
    tr.transition_type = TRANSITION_FADE_BLACK;
    for (float t : {0.0f, 0.25f, 1.0f}) {
        rec().calls.clear();
        tr.trans = t;
        tr.Draw(0);
        EXPECT_EQ(rec().calls, (std::vector<std::string>{"color 0.000000", "alpha " + std::to_string(t),
                                                         "rect 12 0 1024 600", "color 3.000000", "alpha 1.000000"}));
    }
    rec().calls.clear();
    tr.transition_type = TRANSITION_DYNAMIC;
    tr.Draw(0);
    EXPECT_TRUE(rec().calls.empty());
    sman.virtual_x = 0;
}

TEST_F(TL, AnEventBegunDuringATransitionIsTheOneDeliveredAndOnlyOnce) {
    feature_man.SetFeatureList("NO_MULTITHREADED_LOADING");
    TestScreen* s1 = Make("S1");
    TestScreen* s2 = Make("S2");
    TestScreen* s3 = Make("S3");
    Load("<node id=\"E1\" type=\"T\" screens=\"S1\" parm_Is=\"E1\"/>\n"
         "<node id=\"E2\" type=\"T\" screens=\"S2\" parm_Is=\"E2\"/>\n"
         "<node id=\"E3\" type=\"T\" screens=\"S3\" parm_Is=\"E3\"/>\n");
    // While fading in: E1 never comes.
    timeline.StartEvent("E1", false, TRANSITION_FADE_BLACK);
    Frames(5);
    EXPECT_EQ(Eval(L(), "BeginTimelineEvent ('E2')"), "");
    ASSERT_LT(UntilTransitionGone(), 400);
    EXPECT_TRUE(s1->messages.empty());
    EXPECT_EQ(s2->messages, std::vector<std::string>{"Is=E2"});
    EXPECT_EQ(Stack(), std::vector<std::string>{"S2"});
    // After the delivery, while fading out: E3 comes after E2's screens.
    s2->messages.clear();
    timeline.StartEvent("E1", false, TRANSITION_FADE_BLACK);
    int n = 0;
    while (!tr.leaving && n++ < 400) Frames(1);
    EXPECT_EQ(s1->messages, std::vector<std::string>{"Is=E1"});
    timeline.StartEvent("E3", false, TRANSITION_FADE_BLACK);
    EXPECT_FALSE(tr.leaving);
    ASSERT_LT(UntilTransitionGone(), 400);
    Frames(2);
    EXPECT_EQ(s1->messages, std::vector<std::string>{"Is=E1"});
    EXPECT_EQ(s3->messages, std::vector<std::string>{"Is=E3"});
    EXPECT_EQ(Stack(), std::vector<std::string>{"S3"});
    EXPECT_STREQ(timeline.GetCurrentEventId(), "E3");
}

TEST_F(TL, TheLoaderThreadPreloadsAndLoadsWhileFramesRun) {
    FwLog log;
    std::vector<SlowScreen*> slow;
    for (const char* n : {"Slow1", "Slow2", "Slow3", "Slow4"}) {
        screens.emplace_back(new SlowScreen(n));
        slow.push_back(static_cast<SlowScreen*>(screens.back().get()));
    }
    Load("<node id=\"E\" type=\"T\" screens=\"Slow1,Slow2,Slow3,Slow4\" parm_Hello=\"1\"/>\n");
    int loading_frames = 0;
    in_frame = [&] {
        if (sman.loading_count > 0) loading_frames++;
    };
    bool started = false;
    in_frame = [&] {
        if (!started) timeline.StartEvent("E", false, TRANSITION_FADE_BLACK);
        started = true;
        if (sman.loading_count > 0) loading_frames++;
    };
    int frames = 0;
    while (frames < 600 && (!started || sman.IsScreenInStack(&tr))) {
        FwRunFrames(1, 16, FrameUpdate, FrameDraw);
        frames++;
    }
    in_frame = nullptr;
    ASSERT_LT(frames, 600);
    // A frame ran after each screen the thread preloaded.
    EXPECT_GE(loading_frames, 3);
    EXPECT_EQ(sman.loading_count, 0);
    EXPECT_EQ(tr.loader.state, TIMELINE_LOADER_IDLE);
    EXPECT_EQ(Stack(), (std::vector<std::string>{"Slow1", "Slow2", "Slow3", "Slow4"}));
    for (SlowScreen* s : slow) {
        ASSERT_TRUE(s->uiset);
        EXPECT_TRUE(s->uiset->cache_applied);
        lua_getglobal(s->uiset->L, "loaded");
        EXPECT_EQ(lua_tointeger(s->uiset->L, -1), 200010000);
        lua_pop(s->uiset->L, 1);
    }
    EXPECT_EQ(slow[3]->messages, std::vector<std::string>{"Hello=1"});
    EXPECT_EQ(Count(log.Lines(), "Loading thread spent"), 1);
    EXPECT_EQ(Count(log.Lines(), "..Preloading Screen 'Slow"), 4);
}

// Other code takes the transition off the stack while its thread loads;
// the next transition waits for that thread, then delivers its own event
// once, and the first event was delivered once too.
TEST_F(TL, ATransitionTakenOffTheStackWhileItsThreadRuns) {
    FwLog log;
    std::vector<TestScreen*> slow;
    for (const char* n : {"Slow1", "Slow2", "Slow3", "Slow4", "Slow5", "Slow6", "Slow7", "Slow8"}) {
        screens.emplace_back(new SlowScreen(n, false));
        slow.push_back(screens.back().get());
    }
    TestScreen* after = Make("After");
    Load("<node id=\"A\" type=\"T\" screens=\"Slow1,Slow2,Slow3,Slow4,Slow5,Slow6,Slow7,Slow8\" parm_Is=\"A\"/>\n"
         "<node id=\"B\" type=\"T\" screens=\"After\" parm_Is=\"B\"/>\n");
    // B comes in within two frames, long before A's thread is done.
    tr.enter_speed = 30;
    int step = 0;
    bool waited = false;
    in_frame = [&] {
        if (step == 0) {
            timeline.StartEvent("A", false, TRANSITION_FADE_BLACK);
            step = 1;
        } else if (step == 1 && tr.loader.state.load() == TIMELINE_LOADER_LOADING) {
            sman.PopScreen(&tr, false);  // gone at once, its thread still at work
            timeline.StartEvent("B", false, TRANSITION_FADE_BLACK);
            step = 2;
        } else if (step == 2 && tr.phase == 2 && tr.loader.state.load() == TIMELINE_LOADER_LOADING) {
            waited = true;
        }
    };
    int frames = 0;
    while (frames < 900 && (step < 2 || sman.IsScreenInStack(&tr))) {
        FwRunFrames(1, 16, FrameUpdate, FrameDraw);
        frames++;
    }
    in_frame = nullptr;
    ASSERT_LT(frames, 900);
    EXPECT_TRUE(waited);
    EXPECT_EQ(slow.back()->messages, std::vector<std::string>{"Is=A"});
    EXPECT_EQ(after->messages, std::vector<std::string>{"Is=B"});
    EXPECT_EQ(Stack(), std::vector<std::string>{"After"});
    EXPECT_EQ(Count(log.Lines(), "Loading thread spent"), 2);
    EXPECT_EQ(tr.loader.state, TIMELINE_LOADER_IDLE);
    EXPECT_STREQ(timeline.GetCurrentEventId(), "B");
}

TEST_F(TL, TheDevelopersTimelineScreenAndTheHtmlExport) {
    Make("S1");
    Load("<node id=\"A\" type=\"STORY\" screens=\"S1\"/>\n"
         "<node id=\"B\" type=\"GAME\" screens=\"S1\" game=\"Worms\"/>\n"
         "<node id=\"C\" type=\"...\" screens=\"S1\"/>\n"
         "<node id=\"D&E\" type=\"GAME\" screens=\"S1\" game=\"Worms\"/>\n");
    Screen::PreLoadScreen(&screen_Timeline, true);
    for (const char* c : {"Events", "QuestName", "QuestDesc", "Play"}) EXPECT_TRUE(screen_Timeline.GetComp(c)) << c;
    sman.PushScreen(&screen_Timeline, 0);
    screen_Timeline.ShowEvent("B");
    auto text = [](const char* name) {
        UIComp* c = screen_Timeline.GetComp(name);
        return c && c->type == UI_TEXTBOX ? std::string(static_cast<UICompTextbox*>(c)->text) : std::string("?");
    };
    EXPECT_EQ(text("QuestName"), "Worms");
    EXPECT_EQ(text("QuestDesc"), "S1");
    screen_Timeline.ShowEvent("A");
    EXPECT_EQ(text("QuestName"), "n/a");

    // Play, in any mode: the save game goes and the events ahead are
    // simulated in file order before the target starts.
    timeline.SetCustomEventProcessor(&processor);
    game_man.SetActiveGame("Worms");
    timeline.SendEventParametersToKeyScreen("A");
    timeline.SendEventParametersToKeyScreen("B");
    ASSERT_TRUE(prof->GetValue("!TIMELINES", file.c_str(), "savefile"));
    ASSERT_FALSE(record.parms.developer_mode);
    processor.calls.clear();
    screen_Timeline.PlayEvent("D&E");
    EXPECT_EQ(processor.calls, (std::vector<std::string>{"reset", "simulate A to D&E", "simulate B to D&E",
                                                         "simulate C to D&E"}));
    EXPECT_EQ(prof->GetValue("!TIMELINES", file.c_str(), "savefile"), nullptr);
    EXPECT_STREQ(tr.event_id.text, "D&E");

    std::string html = engine->UserPath("export.html");
    timeline.ExportHTML(html.c_str());
    EXPECT_EQ(ReadNative(html),
              "<html>\n\n<body>\n\n<h1>Timeline export</h1>\n\n"
              "<br>\n\n<h2>Event 'A' of type 'STORY'</h2>\n\n"
              "<br>\n\n<p>custom B</p>\n"
              "<br>\n\n"
              "<br>\n\n<h2>Event 'D&amp;E' of type 'GAME'</h2>\n\n"
              "</body>\n\n</html>\n\n");
    timeline.SetCustomEventProcessor(nullptr);
}

TEST_F(TL, TheBundledTimelineAndItsStoryScreens) {
    ASSERT_TRUE(timeline.LoadTimeline("timeline.xml"));
    DMArray* events = timeline.GetEvents();
    ASSERT_TRUE(events);
    int levels = 0, dynamic = 0, keep = 0, force = 0, stories = 0;
    std::vector<std::string> episodes;
    bool jump_to_menu = false, menu = false;
    for (int i = 0; i < events->GetSize(); i++) {
        DMNode* n = events->GetNode(i);
        std::string id = n->GetId();
        EXPECT_EQ(events->GetNodeIndexById(id.c_str()), i) << "duplicate id " << id;
        const char* type = n->GetValue("type");
        const char* screen_list = n->GetValue("screens");
        if (nStringsMatch(type, "JUMP")) {
            EXPECT_TRUE(timeline.EventExists(n->GetValue("event"))) << id;
            jump_to_menu |= nStringsMatch(n->GetValue("event"), "MENU");
            continue;
        }
        ASSERT_TRUE(screen_list) << id;
        std::string list = screen_list;
        keep += list.find('&') != std::string::npos && list.find("!&") == std::string::npos;
        force += list.find("!&") != std::string::npos;
        dynamic += nStringsMatch(n->GetValue("transition"), "DYNAMIC");
        menu |= id == "MENU" && list.find("MainMenu") != std::string::npos;
        if (nStringsMatch(type, "STORY")) {
            stories++;
            EXPECT_TRUE(list.find("Story") != std::string::npos) << id;
        }
        if (nStringsMatch(type, "GAME")) {
            // "E01_L01": the game's episode and level, and its world file.
            ASSERT_EQ(id.size(), 7u) << id;
            EXPECT_EQ(id[0], 'E');
            EXPECT_EQ(id[4], 'L');
            EXPECT_STREQ(n->GetValue("game"), "DeziDedi");
            std::string world = "worlds/e" + id.substr(1, 2) + "-l" + id.substr(5, 2) + ".xml";
            EXPECT_EQ(std::string(n->GetValue("level")), world);
            if (std::find(episodes.begin(), episodes.end(), id.substr(0, 3)) == episodes.end())
                episodes.push_back(id.substr(0, 3));
            levels++;
        }
    }
    EXPECT_GE(levels, 6);
    EXPECT_GE(episodes.size(), 2u);
    EXPECT_GE(stories, 2);
    EXPECT_TRUE(menu);
    EXPECT_TRUE(jump_to_menu);
    EXPECT_GE(keep, 1);
    EXPECT_GE(force, 1);
    EXPECT_EQ(dynamic, 1);
    for (const char* w : {"worlds/e01-l01.xml", "worlds/e01-l02.xml", "worlds/e01-l03.xml"}) {
        kd_file_t* f = kd->OpenFile(w, "rb");
        EXPECT_TRUE(f) << w;
        if (f) kd->CloseFile(f);
    }

    // The story screens, as the start-up script makes them, with the
    // components the automated player presses and the messages the
    // story events send.
    ScreenCreateScripted("Story", "ui/story.lua");
    ScreenCreateScripted("StoryDialog", "ui/story-dialog.lua");
    Screen* story = Screen::PeekScreen("Story");
    Screen* dialog = Screen::PeekScreen("StoryDialog");
    ASSERT_TRUE(story && dialog);
    Screen::PreLoadScreen(story, true);
    Screen::PreLoadScreen(dialog, true);
    ASSERT_TRUE(story->GetComp("Continue") && dialog->GetComp("DialogNext"));
    timeline.SendEventParametersToKeyScreen("E01_STORY_2");
    UIComp* panel = story->GetComp("Panel");
    ASSERT_TRUE(panel && panel->type == UI_IMAGE);
    kd_bitmap_t* bm = static_cast<UICompImage*>(panel)->bitmap;
    ASSERT_TRUE(bm);
    EXPECT_STREQ(bm->name, "ui/gfx/story/prologue-2.jpg");
    UIComp* caption = story->GetComp("Caption");
    ASSERT_TRUE(caption && caption->type == UI_TEXTBOX);
    EXPECT_NE(std::string(static_cast<UICompTextbox*>(caption)->text).find("greedy bug"), std::string::npos);
    timeline.SendEventParametersToKeyScreen("E01_STORY_3");
    UIComp* line = dialog->GetComp("Line");
    ASSERT_TRUE(line && line->type == UI_TEXTBOX);
    EXPECT_NE(std::string(static_cast<UICompTextbox*>(line)->text).find("Mine now"), std::string::npos);
    sman.Shutdown();  // frees the screens' sets, before the screens go
    delete story;
    delete dialog;
}
