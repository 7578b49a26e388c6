// The timeline and its script functions. See timeline.h.
#include "ui/timeline.h"

#include <string.h>

#include <string>
#include <utility>
#include <vector>

#include "dataman.h"
#include "framework-kd.h"
#include "lua-args.h"
#include "manager.h"
#include "profiles.h"
#include "ui/gameman.h"
#include "ui/screen-manager.h"
#include "ui/timeline-screens.h"
#include "ui/ui-comps.h"

Timeline timeline;

static const char kTransitionScreen[] = "TimelineTransition";

static bool DeveloperMode() { return Manager::GetParms()->developer_mode; }

// ---------------------------------------------------------------------------
// Screens lists.

namespace {

// One name of an event's screens list, its prefixes read.
struct ListedName {
    std::string name;  // without prefixes
    bool keep = false;   // written with a leading '&'
    bool force = false;  // written with the pair "!&"
};

// Split at every comma: a comma that ends the text adds no name, two
// adjacent commas give an empty name, blanks belong to the names. A text
// of 1023 characters or more gives empty names (the token rule).
std::vector<ListedName> SplitScreens(const char* list) {
    std::vector<ListedName> out;
    int len = nStringLength(list);
    if (len == 0) return out;
    int count = 1;
    for (int i = 0; i < len; i++) count += list[i] == ',';
    if (list[len - 1] == ',') count--;
    for (int i = 0; i < count; i++) {
        nString token = nString::Token(list, ",", i);
        const char* p = token.c_str();
        ListedName n;
        bool bang = *p == '!';
        if (bang) p++;
        n.keep = *p == '&';
        if (n.keep) p++;
        n.force = bang && n.keep;
        n.name = p;
        out.push_back(std::move(n));
    }
    return out;
}

// A value that HTML shows as the text itself.
std::string HtmlText(const char* text) {
    std::string out;
    for (const char* p = text ? text : ""; *p; p++) {
        switch (*p) {
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '&': out += "&amp;"; break;
            case '"': out += "&quot;"; break;
            default: out += *p;
        }
    }
    return out;
}

}  // namespace

// ---------------------------------------------------------------------------
// Loading.

int Timeline::GetNumEvents() const {
    DMArray* events = GetEvents();
    return events ? events->GetSize() : 0;
}

DMArray* Timeline::GetEvents() const {
    if (!loaded || !filename.text) return nullptr;
    return dman.GetDatabase(filename.text)->GetArray("timeline");
}

bool Timeline::LoadTimeline(const char* file) {
    kd->PrintDebugf(KD_LOG_SYSTEM, "Timeline::LoadTimeline('%s').\n", file ? file : "");
    if (loaded && file && nStringsMatch(filename.text, file)) return true;
    // A copy first: the name may be a profile value that the save below
    // replaces.
    nString name(file);
    loaded = false;
    filename.Set(nullptr);
    resume_point.Set(nullptr);
    if (!name.text) return false;
    // The timeline is only read, so a damaged file keeps the events
    // before the damage.
    DMDatabase* db = dman.GetDatabase(name.text);
    loaded = true;
    filename.Set(name.text);
    DMArray* events = db->GetArray("timeline");
    if (!events || events->GetSize() == 0) {
        kd->PrintDebugf(KD_LOG_WARNING,
                        "Timeline file '%s' holds no events (array 'timeline'); no timeline event can start.\n",
                        name.text);
        if (!events) return false;
    }
    CheckEvents(events);
    if (prof) prof->SetValue("!SAVE_STATE", "timeline", "value", name.text);
    return true;
}

// The checks of a loaded file, at every load: a fault found here would
// otherwise show only as a black screen when the event comes.
void Timeline::CheckEvents(DMArray* events) const {
    const char* file = filename.c_str();
    int n = events->GetSize();
    for (int i = 0; i < n; i++) {
        DMNode* node = events->GetNode(i);
        const char* id = node->GetId() ? node->GetId() : "";
        if (nStringsMatch(node->GetValue("type"), "JUMP")) {
            // A jump follows one jump only, and a target that is missing
            // starts nothing the author meant.
            const char* target = node->GetValue("event");
            DMNode* to = target ? events->GetNode(target) : nullptr;
            if (!to)
                ReportDataFault("Jump '%s' in timeline '%s' leads to no event ('%s').\n", id, file,
                                target ? target : "");
            else if (nStringsMatch(to->GetValue("type"), "JUMP"))
                ReportDataFault("Jump '%s' in timeline '%s' leads to another jump ('%s'), which is not followed.\n", id,
                                file, target);
            continue;
        }
        if (!node->GetValue("type"))
            ReportDataFault("Event id '%s' is missing 'type' definition in timeline '%s'.\n", id, file);
        else if (!KnownType(node->GetValue("type")))
            ReportDataFault("Event id '%s' in timeline '%s' is of type '%s', which the program does not show.\n", id,
                            file, node->GetValue("type"));
        if (!node->GetValue("screens"))
            ReportDataFault("Event id '%s' is missing 'screens' definition in timeline '%s'.\n", id, file);
        for (const ListedName& listed : SplitScreens(node->GetValue("screens")))
            if (!Screen::PeekScreen(listed.name.c_str()))
                ReportDataFault("Event id '%s' in timeline '%s' names screen '%s', which is not registered.\n", id,
                                file, listed.name.c_str());
        const char* game = node->GetValue("game");
        if (game && !GameManager::GetGameByName(game))
            ReportDataFault("Event id '%s' in timeline '%s' names game '%s', which is not registered.\n", id, file,
                            game);
        if (node->GetValue("ui"))
            ReportDataFault(
                "Event id '%s' has 'ui' defined in timeline '%s'. The UI is tied to Screen at load time "
                "and cannot be altered afterwards.\n",
                id, file);
    }
    for (int i = 0; i < n; i++)
        for (int k = 0; k < n; k++) {
            const char* a = events->GetNode(i)->GetId();
            if (i != k && nStringsMatch(a, events->GetNode(k)->GetId()))
                ReportDataFault("Duplicate id '%s' in timeline '%s'.\n", a, file);
        }
}

bool Timeline::KnownType(const char* type) const {
    if (!known_types.text || nStringsMatch(type, "JUMP")) return true;
    for (int i = 0;; i++) {
        nString one = nString::Token(known_types.text, ",", i);
        if (one.IsEmpty()) return false;
        if (nStringsMatch(one.text, type)) return true;
    }
}

// Why an event cannot be shown (empty when it can): started anyway it
// would leave nothing on the screen, and be saved as the place to resume.
nString Timeline::WhyEventCannotStart(const DMNode* node) const {
    nString why;
    const char* type = node->GetValue("type");
    const char* game = node->GetValue("game");
    bool any_screen = false;
    for (const ListedName& listed : SplitScreens(node->GetValue("screens")))
        any_screen = any_screen || Screen::PeekScreen(listed.name.c_str());
    if (!type)
        why.Set("it has no 'type'");
    else if (nStringsMatch(type, "JUMP"))
        why.Set("it is a jump, reached from another jump");
    else if (!KnownType(type))
        why.Format("its type '%s' is not one the program shows (%s)", type, known_types.text);
    else if (nStringsMatch(type, "GAME") && !game)
        why.Set("it is a GAME event without a 'game'");
    else if (game && !GameManager::GetGameByName(game))
        why.Format("its game '%s' is not registered", game);
    else if (!any_screen)
        why.Format("none of its screens ('%s') is registered",
                   node->GetValue("screens") ? node->GetValue("screens") : "");
    return why;
}

void Timeline::FreeTimeline() {
    loaded = false;
    filename.Set(nullptr);
    resume_point.Set(nullptr);
}

// ---------------------------------------------------------------------------
// Questions about events.

bool Timeline::EventExists(const char* id) const {
    DMArray* events = GetEvents();
    return events && id && events->GetNode(id);
}

const char* Timeline::GetEventType(const char* id) const {
    DMArray* events = GetEvents();
    DMNode* node = events && id ? events->GetNode(id) : nullptr;
    return node ? node->GetValue("type") : nullptr;
}

void Timeline::GetEventInfo(TimelineEventInfo* info, const char* id) const {
    DMArray* events = GetEvents();
    DMNode* node = events && id && info ? events->GetNode(id) : nullptr;
    if (!node || !node->GetValue("type")) return;
    info->type = node->GetValue("type");
    const char* game = node->GetValue("game");
    const char* screens = node->GetValue("screens");
    info->game = game ? game : "n/a";
    info->screens = screens ? screens : "n/a";
}

const char* Timeline::GetNextEventId(const char* id) const {
    DMArray* events = GetEvents();
    if (!events || !id) return nullptr;
    int at = events->GetNodeIndexById(id);
    if (at < 0) return nullptr;
    DMNode* next = events->GetNode((at + 1) % events->GetSize());
    // The node's id (a node may repeat "id"; the lookups go by this one).
    if (!nStringsMatch(next->GetValue("type"), "JUMP")) return next->GetId();
    // One jump is followed, never a chain of them.
    DMNode* jump = events->GetNode(next->GetId());
    return jump ? jump->GetValue("event") : nullptr;
}

Screen* Timeline::GetKeyScreenForEvent(const char* id) const {
    DMArray* events = GetEvents();
    DMNode* node = events && id ? events->GetNode(id) : nullptr;
    if (!node) {
        kd->Popupf(1, "Unknown event id '%s' in Timeline::GetKeyScreenForEvent.\n", id ? id : "");
        return nullptr;
    }
    if (const char* key = node->GetValue("key_screen")) return Screen::GetScreen(key);
    std::vector<ListedName> names = SplitScreens(node->GetValue("screens"));
    if (names.empty()) {
        kd->Popupf(1, "No Key Screen found for event id '%s' in Timeline::GetKeyScreenForEvent.\n", id);
        return nullptr;
    }
    return Screen::GetScreen(names.back().name.c_str());
}

// ---------------------------------------------------------------------------
// Starting and delivering.

void Timeline::StartEvent(const char* id, bool resume_it, int type) {
    DMArray* events = GetEvents();
    if (!events) return;
    // A copy: the id may live in the profile, the database or the
    // transition screen, all of which change below.
    nString wanted(id);
    if (!wanted.text) {
        DMNode* first = events->GetNode(0);
        if (!first || !first->GetId()) return;
        wanted.Set(first->GetId());
    }
    // A restart of the event begun off the story stays off it.
    if (!nStringsMatch(begun_off_story.text, wanted.text)) begun_off_story.Set(nullptr);
    DMNode* node = events->GetNode(wanted.text);
    nString why = node ? WhyEventCannotStart(node) : nString("it does not exist");
    if (!node)
        ReportDataFault("Timeline::StartEvent error: timeline event with id '%s' doesn't exist.\n", wanted.text);
    else if (!why.IsEmpty())
        ReportDataFault("Timeline event '%s' cannot start: %s; the main menu is shown.\n", wanted.text, why.text);
    kd->Printf("Timeline starting event '%s' after transition\n", wanted.text);
    TimelineTransition& tr = Screen_TimelineTransition;
    // Normally preloaded with every screen at start-up; a start before
    // that must not be refused by the push.
    if (!tr.preloaded) Screen::PreLoadScreen(&tr, true);
    tr.event_id.Set(wanted.text);
    // Nothing of an event that cannot start is delivered or saved; the
    // transition, left with nothing to push, brings the main menu.
    tr.event_refused = !why.IsEmpty();
    resume = resume_it;

    tr.screens.count = 0;
    std::vector<ListedName> names;
    if (!tr.event_refused) names = SplitScreens(node->GetValue("screens"));
    bool first_stacked = false;
    for (size_t i = 0; i < names.size(); i++) {
        // An unknown name is reported here and takes no part.
        Screen* s = Screen::GetScreen(names[i].name.c_str());
        bool stacked = s && sman.IsScreenInStack(s);
        if (i == 0) first_stacked = stacked;
        if (!s) continue;
        TimelineListedScreen listed;
        listed.screen = s;
        listed.re_push = !names[i].keep;
        if (i == 0 && stacked) listed.re_push = false;
        if (names[i].force) listed.re_push = true;
        tr.screens.InsertLast(listed);
    }

    if (type == TRANSITION_DEFAULT) type = default_transition;
    if (type == TRANSITION_AUTOMATIC) type = first_stacked ? TRANSITION_DYNAMIC : TRANSITION_FADE_BLACK;
    const char* forced = node ? node->GetValue("transition") : nullptr;
    if (nStringsMatch(forced, "FADE_BLACK")) type = TRANSITION_FADE_BLACK;
    if (nStringsMatch(forced, "DYNAMIC")) type = TRANSITION_DYNAMIC;
    // Only the two drawable types reach the screen.
    if (type != TRANSITION_DYNAMIC) type = TRANSITION_FADE_BLACK;
    kd->Printf("SetTransitionType %d (%s)\n", type, type == TRANSITION_FADE_BLACK ? "FADE_BLACK" : "DYNAMIC");
    tr.transition_type = type;
    if (UIComp* fader = tr.GetComp("fader")) fader->color.a = type == TRANSITION_FADE_BLACK ? 1.0f : 0.0f;

    if (sman.IsScreenInStack(&tr) && tr.in_stack) {
        tr.Restart();
        return;
    }
    // Popped a moment ago and not yet taken out of the stack: out at once,
    // or the push would be refused and the event lost.
    if (sman.IsScreenInStack(&tr)) sman.ForgetScreen(&tr);
    sman.PushScreen(kTransitionScreen, 0);
}

bool Timeline::SendEventParametersToKeyScreen(const char* id) {
    DMArray* events = GetEvents();
    if (!events) return false;
    nString wanted(id);
    if (!wanted.text) {
        DMNode* first = events->GetNode(0);
        wanted.Set(first ? first->GetId() : nullptr);
    }
    DMNode* node = wanted.text ? events->GetNode(wanted.text) : nullptr;
    if (!node) {
        kd->Popupf(1, "Unknown event id '%s' in Timeline::SendEventParametersToKeyScreen.\n", wanted.c_str());
        return false;
    }
    nString before(current_event);
    current_event.Set(node->GetId());
    event_start_time = kd->GetTime();

    // Copied out first: the screens' handlers run scripts that may switch
    // the timeline under the node.
    std::vector<std::pair<std::string, std::string>> parms;
    for (int i = 0; i < node->GetNumberOfValues(); i++) {
        DMValue* v = node->GetValueAt(i);
        const char* name = v->GetName();
        if (name && !strncmp(name, "parm_", 5)) parms.emplace_back(name + 5, v->GetValue() ? v->GetValue() : "");
    }
    nString game(node->GetValue("game"));
    nString level(node->GetValue("level") ? node->GetValue("level") : current_event.text);

    nString delivered(current_event);
    if (Screen* key = GetKeyScreenForEvent(delivered.text))
        for (const auto& p : parms) sman.SendScreenMessage(nullptr, key, p.first.c_str(), p.second.c_str());

    if (game.text) {
        if (game_man.SetActiveGame(game.text)) {
            if (!game_man.GetActiveGame()->InitLevel(level.text)) {
                // The player goes back to the menu (the transition shows
                // it) and resumes where the last good event left off.
                ReportDataFault(
                    "Timeline event '%s' cannot start: its level '%s' did not load; the main menu is shown.\n",
                    delivered.text, level.text);
                current_event.Set(before.text);
                return false;
            }
        } else {
            kd->Popupf(1, "Timeline::SendEventParametersToKeyScreen: event referring to unknown game '%s'\n", game.text);
        }
        if (resume && game_man.SaveGameExists()) game_man.LoadSaveGame();
    }
    if (processor) {
        DMArray* now = GetEvents();
        if (DMNode* again = now ? now->GetNode(delivered.text) : nullptr) processor->ProcessTimelineEvent(again);
    }
    resume_point.Set(delivered.text);
    SaveGameState();
    return true;
}

// ---------------------------------------------------------------------------
// Ending, restarting and resuming.

void Timeline::EndEvent() {
    if (sman.IsScreenInStack(kTransitionScreen)) return;
    if (!GetEvents() || !current_event.text) return;
    resume = false;
    float seconds = (float)(kd->GetTime() - event_start_time) / 1000.0f;
    kd->Printf("Timeline ending event '%s'. Event duration was %.2f\n", current_event.text, seconds);
    nString next(GetNextEventId(current_event.text));
    StartEvent(next.text, false, TRANSITION_DEFAULT);
}

bool Timeline::SavedEventExists() const { return prof && prof->GetValue("!TIMELINES", GetTimelineFilename(), "event"); }

// The profile names the timeline it was saved with. A name that gives no
// events (a file that is gone, a doctored profile) would leave the player
// with no timeline at all: the loaded one stays.
void Timeline::SwitchToSavedTimeline() {
    nString saved(prof->GetValue("!SAVE_STATE", "timeline", "value"));
    if (!saved.text || (loaded && nStringsMatch(saved.text, filename.text))) return;
    DMArray* events = dman.GetDatabase(saved.text)->GetArray("timeline");
    if (!events || events->GetSize() == 0) {
        kd->PrintDebugf(KD_LOG_WARNING, "The profile names timeline '%s', which holds no events; '%s' stays.\n",
                        saved.text, filename.c_str());
        return;
    }
    LoadTimeline(saved.text);
}

void Timeline::StartSavedEvent(bool resume_it) {
    if (!prof) return;
    SwitchToSavedTimeline();
    nString saved(prof->GetValue("!TIMELINES", GetTimelineFilename(), "event"));
    if (!resume_it) game_man.DeleteSaveGame();
    DMArray* events = GetEvents();
    if (!events) return;
    DMNode* node = saved.text ? events->GetNode(saved.text) : nullptr;
    nString why = node ? WhyEventCannotStart(node) : nString();
    if (saved.text && (!node || !why.IsEmpty())) {
        // A game update may have taken the event out, or the position is
        // one no Play could ever start (a jump): the player starts over,
        // and keeps everything else the profile holds.
        if (!node) why.Format("it is no event of '%s'", GetTimelineFilename());
        kd->PrintDebugf(KD_LOG_WARNING,
                        "The saved timeline position '%s' cannot be resumed: %s; starting at the first event.\n",
                        saved.text, why.text);
        saved.Set(nullptr);
    }
    if (!saved.text) {
        StartEvent(nullptr, false, TRANSITION_FADE_BLACK);
        return;
    }
    StartEvent(saved.text, resume_it, TRANSITION_FADE_BLACK);
}

// The event being played starts afresh: the saved place may lie further
// on (a level replayed from the level selection). Before any event the
// saved one starts.
void Timeline::RestartEvent() {
    if (!EventExists(current_event.text)) {
        StartSavedEvent(false);
        return;
    }
    game_man.DeleteSaveGame();
    StartEvent(current_event.text, false, TRANSITION_FADE_BLACK);
}
void Timeline::ResumeSavedEvent() { StartSavedEvent(true); }

void Timeline::BeginOffStory(const char* id) {
    StartEvent(id, true, TRANSITION_DEFAULT);
    begun_off_story.Set(id);
}

void Timeline::SimulateGameToTimelineEvent(const char* id) {
    nString target(id);
    DMArray* events = GetEvents();
    if (processor && events) processor->ResetSimulation();
    for (int i = 0; events && i < events->GetSize(); i++) {
        DMNode* node = events->GetNode(i);
        if (nStringsMatch(node->GetId(), target.text)) break;
        current_event.Set(node->GetId());
        if (processor) processor->SimulateTimelineEvent(target.text, node);
    }
    StartEvent(target.text, false, TRANSITION_DEFAULT);
}

bool Timeline::SaveGameState() {
    SavePosition(resume_point.text ? resume_point.text : current_event.text);
    return true;
}

void Timeline::SaveAtNextEvent() {
    nString next(GetNextEventId(current_event.text));
    if (!next.text) {
        kd->Popupf(1, "Warning: null timeline event.");
        return;
    }
    resume_point.Set(next.text);
    SavePosition(next.text);
}

// Whether saving the event moves the player's place: only along the
// story, to the event that follows the place (a won level, a story's
// Continue; the timeline starting over after the closing menu). An event
// begun from the level selection, earlier or later, leaves the place
// where it was, even the one after it: Play goes on where the story
// stopped. A saved jump stands for its target; a place the timeline does
// not hold is no place. Without a place the story begins at its own first
// event, so only that event sets one: a level a new player picks from the
// level selection must not make Play skip the story up to it.
bool Timeline::MovesPlace(const char* id) const {
    DMArray* events = GetEvents();
    if (!events || events->GetNodeIndexById(id) < 0) return true;
    const char* place = prof ? prof->GetValue("!TIMELINES", GetTimelineFilename(), "event") : nullptr;
    DMNode* at = place ? events->GetNode(place) : nullptr;
    if (at && nStringsMatch(at->GetValue("type"), "JUMP")) at = events->GetNode(at->GetValue("event"));
    if (at && nStringsMatch(at->GetId(), id)) return true;
    if (nStringsMatch(begun_off_story.text, id)) return false;
    return at ? nStringsMatch(GetNextEventId(at->GetId()), id) : nStringsMatch(events->GetNode(0)->GetId(), id);
}

void Timeline::SavePosition(const char* event_id) {
    // Without an event there is no position, and saving "" would erase
    // the one saved before (a run that never left the menu).
    if (!event_id || !game_man.GetActiveGame()) return;
    nString id(event_id);
    if (!MovesPlace(id.text)) {
        const char* place = prof ? prof->GetValue("!TIMELINES", GetTimelineFilename(), "event") : nullptr;
        if (place)
            kd->Printf("Timeline keeps the position '%s': '%s' does not follow it in the story.\n", place, id.text);
        else
            kd->Printf("Timeline saves no position: '%s' is not where the story begins.\n", id.text);
        return;
    }
    if (game_man.SaveCurrentGame(id.text))
        kd->Printf("Timeline position '%s' saved.\n", id.text);
    else
        kd->PrintDebugf(KD_LOG_WARNING, "The timeline position '%s' could not be saved.\n", id.text);
}

void Timeline::ExportHTML(const char* path) {
    FILE* f = path ? fopen(path, "wt") : nullptr;
    if (!f) {
        kd->Popupf(1, "Unable to open '%s'\n", path ? path : "");
        return;
    }
    fputs("<html>\n\n<body>\n\n<h1>Timeline export</h1>\n\n", f);
    DMArray* events = GetEvents();
    for (int i = 0; events && i < events->GetSize(); i++) {
        DMNode* node = events->GetNode(i);
        fputs("<br>\n\n", f);
        fflush(f);
        const char* type = node->GetValue("type");
        if (nStringsMatch(type, "...")) continue;
        if (processor && processor->ExportTimelineEvent(f, node)) continue;
        fprintf(f, "<h2>Event '%s' of type '%s'</h2>\n\n", HtmlText(node->GetId()).c_str(), HtmlText(type).c_str());
    }
    fputs("</body>\n\n</html>\n\n", f);
    fclose(f);
}

int Timeline::ProcessEvent(kd_event_t* e) {
    if (e && DeveloperMode() && e->type == KD_EVENT_KEY_DOWN && e->id == 'C') EndEvent();
    return 0;
}

void Timeline::Update(float) {
    if (DeveloperMode() && kd->GetKeyStatei('C')) EndEvent();
}

// ---------------------------------------------------------------------------
// Script functions.

namespace {

int luaf_SetActiveTimeline(lua_State* L) {
    LuaArgs a(L, __func__);
    if (const char* file = a.Text(1)) timeline.LoadTimeline(file);
    return 0;
}

int luaf_EndTimelineEvent(lua_State* L) {
    kd->Printf("End timeline event.\n");
    timeline.EndEvent();
    if (!timeline.GetCurrentEventId()) kd->Popupf(1, "Warning: null timeline event.");
    timeline.SaveGameState();
    return 0;
}

int luaf_BeginTimelineEvent(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* id = a.OptText(1);
    // A slip in the argument must not send the player to the first event.
    if (a.Failed()) return 0;
    if (nStringsMatch(id, "!FIRST"))
        timeline.StartEvent(nullptr, false, TRANSITION_DEFAULT);
    else
        timeline.BeginOffStory(id);
    timeline.SaveGameState();
    return 0;
}

int luaf_SaveAtNextTimelineEvent(lua_State* L) {
    kd->Printf("Save at next timeline event.\n");
    timeline.SaveAtNextEvent();
    return 0;
}

int luaf_ResumeSavedTimelineEvent(lua_State*) {
    timeline.ResumeSavedEvent();
    return 0;
}

int luaf_RestartTimelineEvent(lua_State*) {
    timeline.RestartEvent();
    return 0;
}

int luaf_SavedTimelineEventExists(lua_State* L) { return LuaReturnBool(L, timeline.SavedEventExists()); }

// No value at all when there is no current event.
int luaf_GetCurrentTimelineEventType(lua_State* L) {
    return LuaReturnText(L, timeline.GetEventType(timeline.GetCurrentEventId()));
}

// nil when there is no current event.
int luaf_GetCurrentTimelineEvent(lua_State* L) {
    if (!timeline.GetCurrentEventId()) {
        lua_pushnil(L);
        return 1;
    }
    return LuaReturnText(L, timeline.GetCurrentEventId());
}

int luaf_EventExists(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* id = a.Text(1);
    return LuaReturnBool(L, id && timeline.EventExists(id));
}

const LuaBinding kTimelineBindings[] = {
    LUA_BINDING(SetActiveTimeline),
    LUA_BINDING(EndTimelineEvent),
    LUA_BINDING(BeginTimelineEvent),
    LUA_BINDING(SaveAtNextTimelineEvent),
    LUA_BINDING(ResumeSavedTimelineEvent),
    LUA_BINDING(RestartTimelineEvent),
    LUA_BINDING(SavedTimelineEventExists),
    LUA_BINDING(GetCurrentTimelineEventType),
    LUA_BINDING(GetCurrentTimelineEvent),
    LUA_BINDING(EventExists),
};
static_assert(std::size(kTimelineBindings) == 10, "the timeline's script functions");

}  // namespace

bool Timeline::Init() {
    kd->PrintDebugf(KD_LOG_SYSTEM, "Timeline::Init.\n");
    lua_man.AddLuaFunctions(kTimelineBindings);
    return true;
}
