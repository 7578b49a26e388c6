// Timeline files from the input, run with a stand-in game: the input's
// first byte counts the operation bytes that follow it; the rest is the
// timeline file. The operations start events (by index, by text, the
// first), end them, begin, resume, restart and simulate them through the
// script functions and the timeline, deliver them directly, follow the
// chain of next events, and run frames of the screen manager so that
// transitions pop, deliver and push (on the main thread: the feature
// NO_MULTITHREADED_LOADING). The screens lists may name the test's four
// screens, the framework's own, or nothing that exists.
//
// Checked: no crash, no hang; following the next event from any event
// is one step each time (a jump leads to one event, never round a loop
// of jumps); a started transition always finishes within a bounded
// number of frames.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "dataman.h"
#include "feature-manager.h"
#include "luaman.h"
#include "manager.h"
#include "profiles.h"
#include "ui/gameman.h"
#include "ui/screen-manager.h"
#include "ui/timeline-screens.h"
#include "ui/timeline.h"
#include "ui/ui-widgets.h"

kodo_t* FuzzEngineSetup();

namespace {

const char kFile[] = "user://fuzz-timeline.xml";

class StandInGame : public GameImplementation {
public:
    const char* GetName() override { return "StandIn"; }
    bool InitLevel(const char*) override { return in_progress = true; }
    bool IsLevelInProgress() override { return in_progress; }
    bool IsSaveGameStateSupported() override { return true; }
    bool SaveGameState(const char* path) override { return WriteSaveFile(path, "state", 5); }
    bool LoadGameState(const char*) override { return true; }
    bool in_progress = false;
};

struct PlainScreen : Screen {
    explicit PlainScreen(const char* n) : Screen(n) {}
};

StandInGame game;
kd_prog_t record;

void Frames(int n) {
    for (int i = 0; i < n; i++) sman.Update(1.0f / 30);
}

const char* EventAt(int index) {
    DMArray* events = timeline.GetEvents();
    if (!events || events->GetSize() == 0) return nullptr;
    DMNode* node = events->GetNode(index % events->GetSize());
    return node ? node->GetId() : nullptr;
}

// From every event, the next one is one step away: an id of the file or
// a jump's target text, found without walking a chain.
void CheckNextEvents() {
    DMArray* events = timeline.GetEvents();
    for (int i = 0; events && i < events->GetSize(); i++) {
        const char* id = events->GetNode(i)->GetId();
        if (!id || events->GetNodeIndexById(id) != i) continue;
        const char* next = timeline.GetNextEventId(id);
        if (!next) continue;
        bool known = events->GetNode(next) != nullptr;
        for (int k = 0; k < events->GetSize() && !known; k++)
            known = nStringsMatch(events->GetNode(k)->GetValue("event"), next);
        if (!known) abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    kd = FuzzEngineSetup();
    memset(&record, 0, sizeof record);
    record.parms.developer_mode = true;  // the developer's checks of each file run too
    Manager::SetProgramRecord(&record);
    lua_man.Initialize();
    ScreenMan::RegisterLuaFunctions();
    UIRegisterWidgetKinds();
    feature_man.SetFeatureList("NO_MULTITHREADED_LOADING");
    profile_man.Initialize();
    GameManager::AddGameImplementation(&game);
    static PlainScreen screens[] = {PlainScreen("S0"), PlainScreen("S1"), PlainScreen("S2"), PlainScreen("S3")};
    for (PlainScreen& s : screens) Screen::PreLoadScreen(&s, false);
    timeline.Init();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 16384) return 0;
    size_t ops = data[0] % 64;
    if (ops + 1 > size) ops = size - 1;
    const uint8_t* op = data + 1;
    std::string text((const char*)data + 1 + ops, size - 1 - ops);

    kd_file_t* f = kd->OpenFile(kFile, "wb");
    if (!f) return 0;
    kd->WriteFile(text.data(), (unsigned)text.size(), f);
    kd->CloseFile(f);
    dman.ReleaseDatabase(kFile);
    timeline = Timeline();
    timeline.Init();
    timeline.SetDefaultTransitionType(TRANSITION_FADE_BLACK);
    game_man.SetActiveGame("StandIn");
    timeline.LoadTimeline(kFile);
    CheckNextEvents();

    lua_State* L = lua_man.GetMainState();
    for (size_t i = 0; i < ops; i++) {
        uint8_t o = op[i];
        int arg = o >> 4;
        switch (o % 12) {
            case 0: timeline.StartEvent(EventAt(arg), arg & 1, arg % 4); break;
            case 1: timeline.StartEvent(nullptr, false, TRANSITION_AUTOMATIC); break;
            case 2: timeline.EndEvent(); break;
            case 3: Frames(1 + arg * 4); break;
            case 4: lua_man.ExecLuaString(L, "EndTimelineEvent ()"); break;
            case 5: {
                std::string call = "BeginTimelineEvent ('";
                const char* id = EventAt(arg);
                call += (arg & 8) ? "!FIRST" : (id && !strpbrk(id, "'\\\n\r") ? id : "nope");
                lua_man.ExecLuaString(L, (call + "')").c_str());
                break;
            }
            case 6: timeline.ResumeSavedEvent(); break;
            case 7: timeline.RestartEvent(); break;
            case 8: lua_man.ExecLuaString(L, "SaveAtNextTimelineEvent ()"); break;
            case 9: timeline.SimulateGameToTimelineEvent(EventAt(arg)); break;
            case 10: timeline.SendEventParametersToKeyScreen(EventAt(arg)); break;
            default: timeline.LoadTimeline((arg & 1) ? "user://missing-timeline.xml" : kFile); break;
        }
    }
    // Every transition finishes: a few seconds of frames at most.
    int frames = 0;
    while (sman.IsScreenInStack(&Screen_TimelineTransition) && frames < 300) {
        Frames(1);
        frames++;
    }
    if (sman.IsScreenInStack(&Screen_TimelineTransition)) abort();

    sman.Shutdown();
    sman.UnlockCursors();
    timeline.FreeTimeline();
    dman.ReleaseDatabase(kFile);
    dman.ReleaseDatabase("user://missing-timeline.xml");
    return 0;
}
