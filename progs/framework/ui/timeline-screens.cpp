// The timeline's transition screen with its loader thread, and the
// developer's timeline screen. See timeline-screens.h.
#include "ui/timeline-screens.h"

#include <string.h>

#include <mutex>
#include <string>
#include <vector>

#include "dataman.h"
#include "feature-manager.h"
#include "framework-kd.h"
#include "manager.h"
#include "ui/gameman.h"
#include "ui/screen-listbox.h"
#include "ui/screen-manager.h"
#include "ui/screens-builtin.h"
#include "ui/timeline.h"
#include "ui/ui-comps.h"

TimelineTransition Screen_TimelineTransition;
ScreenTimeline screen_Timeline;

// Makes a listed screen ready to push: preloaded (its layout built, its
// texts localized and measured, its scripts run) and the bitmaps it loads
// on enter taken.
static void LoadListedScreen(Screen* s) {
    if (!s->preloaded) Screen::PreLoadScreen(s, true);
    if (s->uiset) s->uiset->ApplyCacheModeOnEnter();
}

void TimelineTransition_LoadingThread(void* arg) {
    TimelineLoaderRecord* record = (TimelineLoaderRecord*)arg;
    if (!record) return;
    record->state.store(TIMELINE_LOADER_LOADING);
    sman.loading_count++;
    unsigned int start = kd->GetTime();
    for (int i = 0; i < record->screens.count; i++) {
        if (Manager::ShutdownSignalled()) break;
        Screen* s = record->screens[i];
        if (!s) continue;
        // One screen between two frames, then the next frame's turn (for
        // a tenth of a second at most: a transition that other code took
        // off the stack counts no frames).
        kd->SynchronizeWithMainThreadBegin();
        unsigned frame = record->frames.load();
        {
            std::lock_guard<std::recursive_mutex> hold(Screen::PreloadLock());
            LoadListedScreen(s);
        }
        kd->SynchronizeWithMainThreadEnd();
        for (int waited = 0; waited < 100 && record->frames.load() == frame; waited++) kd->Sleep(1);
    }
    kd->Printf("Loading thread spent %d msecs loading stuff.\n", (int)(kd->GetTime() - start));
    sman.loading_count--;
    // The last act: the main thread takes the record back once it reads it.
    record->state.store(TIMELINE_LOADER_LOADED, std::memory_order_release);
}

// ---------------------------------------------------------------------------
// Transition.

bool TimelineTransition::PreLoad() {
    LoadUI("ui/fw/timeline-transition.lua");
    event_id.Set(nullptr);
    screens.count = 0;
    // A thread still at work keeps its record until it is done.
    if (loader.state.load(std::memory_order_acquire) != TIMELINE_LOADER_LOADING) {
        loader.state.store(TIMELINE_LOADER_IDLE);
        loader.screens.count = 0;
    }
    return true;
}

void TimelineTransition::Enter() {
    phase = 0;
    anim_key = 0;
    timer = 0;
}

void TimelineTransition::Restart() {
    generation++;
    phase = 0;
    leaving = false;
}

void TimelineTransition::Update(float dt) {
    loader.frames++;
    if (trans >= 1.0f && !leaving && phase == 0) {
        phase = 1;
        DoTheTransition();
    }
    if (phase != 0) {
        DoTheTransition();
        if (phase == 5) leaving = true;
    }
    Screen::Update(dt);
}

void TimelineTransition::Draw(float) {
    if (transition_type != TRANSITION_FADE_BLACK) return;
    kd->SetBlend(0);
    kd->SetColor(0, 0, 0);
    kd->SetAlpha(trans);
    kd->DrawRect(sman.virtual_x, sman.virtual_y, (float)sman.virtual_width, (float)sman.virtual_height);
    kd->SetColor(1, 1, 1);
    kd->SetAlpha(1);
}

void TimelineTransition::DoTheTransition() {
    if (phase == 2)
        for (int i = 0; i < sman.stack.count; i++)
            if (sman.stack.data[i] != this && sman.stack.data[i]->leaving) return;
    // News the event may show goes above the transition, whose phases
    // pause until it has gone; news it may not show holds nothing up.
    if (transition_news.Shown("Before_" + std::string(event_id.c_str()))) return;
    if (sman.TopScreen() != this) return;
    switch (phase) {
        case 1: PopOldScreens(); break;
        case 2: DeliverAndLoad(); break;
        case 3: PushNewScreens(); break;
        case 4: phase = 5; break;
        default: break;
    }
}

void TimelineTransition::PopOldScreens() {
    kd->Printf("DoTransitionPhasePop.\n");
    int me = sman.GetScreenIndexInStack(this);
    std::vector<Screen*> below(sman.stack.data, sman.stack.data + (me > 0 ? me : 0));
    for (Screen* s : below) {
        bool keep = false;
        for (int k = 0; k < screens.count && !keep; k++) keep = screens[k].screen == s && !screens[k].re_push;
        if (keep) continue;
        kd->Printf("DoTransitionPhasePop: removing '%s'\n", s->GetName());
        sman.PopScreen(s, true);
    }
    phase = 2;
}

void TimelineTransition::DeliverAndLoad() {
    // A record still busy or left loaded by a transition that other code
    // took off the stack while its thread ran: wait for the thread, then
    // take the record back. The event is delivered once, below.
    int state = loader.state.load(std::memory_order_acquire);
    if (state == TIMELINE_LOADER_LOADING) return;
    if (state == TIMELINE_LOADER_LOADED) loader.state.store(TIMELINE_LOADER_IDLE);

    int started = generation;
    nString id(event_id);
    const bool delivered = !event_refused && timeline.SendEventParametersToKeyScreen(id.text);
    // A screen's handler started another event meanwhile: the phases
    // begin again for that one.
    if (generation != started) return;
    // An event that could not start after all (its level did not load)
    // brings the menu, as one refused at its start does.
    if (!delivered) {
        event_refused = true;
        screens.count = 0;
    }
    phase = 3;

    bool threaded = !feature_man.ProductFeatureExists("NO_MULTITHREADED_LOADING");
    if (threaded) {
        loader.screens.count = 0;
        for (int i = 0; i < screens.count; i++) loader.screens.InsertLast(screens[i].screen);
        loader.state.store(TIMELINE_LOADER_LOADING);
        unsigned long thread = kd->CreateThread("TimelineLoader", TimelineTransition_LoadingThread, &loader, 0);
        if (thread != (unsigned long)-1) return;
        kd->PrintDebugf(KD_LOG_WARNING,
                        "Unable to start the timeline's loader thread; the screens load as they are pushed.\n");
    }
    // The screens load on the main thread as they are pushed, next frame.
    loader.state.store(TIMELINE_LOADER_LOADED);
    sman.ResetNextFrameTimeDelta();
}

void TimelineTransition::PushNewScreens() {
    if (loader.state.load(std::memory_order_acquire) != TIMELINE_LOADER_LOADED) return;
    unsigned int start = kd->GetTime();
    kd->Printf("DoTransitionPhasePush.\n");
    int depth = sman.GetNumberOfScreensInStack() - sman.GetScreenIndexInStack(this);
    // A transition that would leave the screen empty brings the main menu
    // (a screen, not the timeline's menu event, which a broken timeline may
    // lack), so the player is never left without input.
    if (screens.count == 0) {
        kd->PrintDebugf(KD_LOG_WARNING, "Timeline event '%s' has no screen to push; 'MainMenu' is pushed.\n",
                        event_id.c_str());
        if (Screen* menu = Screen::PeekScreen("MainMenu")) screens.InsertLast(TimelineListedScreen{menu, false});
        // The player is told, over the menu, that this part of the game
        // could not start, rather than left to wonder why Play led back.
        Screen* popup = event_refused ? Screen::PeekScreen("PopupOk") : nullptr;
        if (popup) {
            sman.SendScreenMessage(nullptr, popup, "text", "TIMELINE_EVENT_REFUSED");
            screens.InsertLast(TimelineListedScreen{popup, true});
        }
    }
    for (int i = screens.count - 1; i >= 0; i--) {
        Screen* s = screens[i].screen;
        if (!s) continue;
        if (sman.IsScreenInStack(s)) {
            kd->Printf("DoTransitionPhasePush: screen '%s' is already in stack no need to do anything\n",
                       s->GetName());
        } else {
            kd->Printf("DoTransitionPhasePush: pushing '%s'\n", s->GetName());
            // Loaded here when no thread did (or the screen came later).
            LoadListedScreen(s);
            sman.PushScreen(s, depth);
        }
        // The next (earlier listed) screen goes just beneath this one; a
        // screen the manager refused leaves the place as it was.
        int at = sman.GetScreenIndexInStack(s);
        if (at >= 0) depth = sman.GetNumberOfScreensInStack() - at;
    }
    phase = 4;
    kd->Printf("Pushing screens from main thread took %d msecs.\n", (int)(kd->GetTime() - start));
    loader.state.store(TIMELINE_LOADER_IDLE);
}

// ---------------------------------------------------------------------------
// The developer's timeline screen.

bool ScreenTimeline::PreLoad() {
    LoadUI("ui/fw/timeline.lua");
    return true;
}

static UIComp* EventList(Screen* s) {
    UIComp* list = s->GetComp("Events");
    return list && list->type == UI_LISTBOX ? list : nullptr;
}

void ScreenTimeline::Enter() {
    anim_key = 0;
    timer = 0;
    shown.Set(nullptr);
    UIComp* list = EventList(this);
    if (!list) return;
    UIListboxClear(list);
    DMArray* events = timeline.GetEvents();
    for (int i = 0; events && i < events->GetSize(); i++) {
        DMNode* node = events->GetNode(i);
        const char* id = node->GetId() ? node->GetId() : "";
        const char* type = node->GetValue("type");
        UIListboxAddLine(list, kd->GetBitmap("!NONE"), id, id);
        nString right(type ? type : "");
        if (nStringsMatch(type, "GAME")) {
            right.Set("GAME=");
            right.Append(node->GetValue("game"));
        }
        UIListboxSetLastLineTextRight(list, right.c_str());
    }
}

void ScreenTimeline::Update(float dt) {
    Screen::Update(dt);
    UIComp* list = EventList(this);
    if (!list) return;
    nString id = UIListboxSelectedId(list, uiset ? uiset->L : nullptr);
    // Measured again only when the selection changes.
    if (!id.IsEmpty() && !nStringsMatch(id.text, shown.text)) ShowEvent(id.text);
}

void ScreenTimeline::ShowEvent(const char* id) {
    shown.Set(id);
    TimelineEventInfo info;
    info.type = info.game = info.screens = "";
    timeline.GetEventInfo(&info, id);
    sman.SetText(GetComp("QuestName"), "%s", info.game);
    sman.SetText(GetComp("QuestDesc"), "%s", info.screens);
}

int ScreenTimeline::ProcessUICompClick(UIComp* comp, int) {
    UIComp* list = EventList(this);
    if (!comp || !comp->name || !strstr(comp->name, "Play") || !list) return 1;
    nString id = UIListboxSelectedId(list, uiset ? uiset->L : nullptr);
    if (!id.IsEmpty()) PlayEvent(id.text);
    return 1;
}

void ScreenTimeline::PlayEvent(const char* id) {
    if (!id) return;
    nString target(id);
    game_man.DeleteSaveGame();
    timeline.SimulateGameToTimelineEvent(target.text);
}
