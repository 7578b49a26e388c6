// The timeline's two screens.
//
// - "TimelineTransition" (`Screen_TimelineTransition`) carries out a
//   started timeline event: it fades in over the old screens, pops those
//   the new event does not keep, delivers the event, has the new screens
//   loaded on the worker thread "TimelineLoader" (on the main thread with
//   the product feature "NO_MULTITHREADED_LOADING"), pushes them beneath
//   itself and fades out. FADE_BLACK draws a black cover whose alpha
//   follows the screen's fade; DYNAMIC draws nothing.
// - "Timeline" (`screen_Timeline`) is a developer screen: the events of
//   the loaded timeline in a list, the selected one's game and screens,
//   and a Play button that replays the game up to it.
//
// The loader thread and the main thread share the loader record: the
// main thread fills the screens to load before it starts the thread and
// touches them again only once it has read state 2, which the thread
// writes (releasing) as its last act. The thread preloads a screen that
// is not preloaded yet (Lua, UI files, localization, text measuring) and
// takes the bitmaps each screen loads on enter, one screen at a time
// inside KD_SynchronizeWithMainThreadBegin/End and under the screens'
// preload lock (Screen::PreloadLock, also held by the program's event
// procedure), so it never runs beside a frame or an event; after each
// screen it waits for a frame to pass.
#ifndef FRAMEWORK_UI_TIMELINE_SCREENS_H
#define FRAMEWORK_UI_TIMELINE_SCREENS_H

#include <atomic>

#include "nstring.h"
#include "ui/screen.h"

enum TimelineLoaderState { TIMELINE_LOADER_IDLE = 0, TIMELINE_LOADER_LOADING = 1, TIMELINE_LOADER_LOADED = 2 };

// Shared with the loader thread; its address is the thread's argument.
struct TimelineLoaderRecord {
    std::atomic<int> state{TIMELINE_LOADER_IDLE};
    nArray<Screen*> screens;
    // Counted by the transition's every update: the thread loads one
    // screen a frame, so that the frames (and the fade) keep moving.
    std::atomic<unsigned> frames{0};
};

// A screen of the started event with its re-push flag: false keeps the
// screen when it is stacked already.
struct TimelineListedScreen {
    Screen* screen = nullptr;
    bool re_push = true;
};

class TimelineTransition : public Screen {
public:
    TimelineTransition() : Screen("TimelineTransition") {}
    bool PreLoad() override;
    void Draw(float dt) override;
    void Update(float dt) override;
    void Enter() override;
    void Leave() override {}
    int ProcessUICompClick(UIComp*, int) override { return 1; }
    int ProcessScreenMessage(Screen*, const char*, const char*) override { return 0; }

    // One step of the phase machine.
    void DoTheTransition();
    // A new event while this screen is stacked: the phases start over for
    // it, the screen fading back in from where it is.
    void Restart();

    TimelineLoaderRecord loader;
    int transition_type = 0;  // TRANSITION_FADE_BLACK or TRANSITION_DYNAMIC
    // 0 fading in, 1 pop, 2 deliver and load, 3 push, 4, 5 fading out.
    int phase = 0;
    nArray<TimelineListedScreen> screens;
    nString event_id;
    // The event cannot start: it is neither delivered nor saved.
    bool event_refused = false;
    // Counts the restarts, so that a delivery during which a new event
    // began does not carry on with the old one.
    int generation = 0;

private:
    void PopOldScreens();
    void DeliverAndLoad();
    void PushNewScreens();
};

class ScreenTimeline : public Screen {
public:
    ScreenTimeline() : Screen("Timeline") {}
    bool PreLoad() override;
    void Draw(float dt) override { DrawUI(); }
    void Update(float dt) override;
    void Enter() override;
    int ProcessUICompClick(UIComp* comp, int value) override;

    // The game and screens of an event in "QuestName" and "QuestDesc".
    void ShowEvent(const char* id);
    // Replays the game up to the event and starts it (developer mode).
    void PlayEvent(const char* id);

private:
    nString shown;  // the event whose texts are up
};

extern TimelineTransition Screen_TimelineTransition;
extern ScreenTimeline screen_Timeline;

// The body of the "TimelineLoader" thread; `record` is a
// TimelineLoaderRecord (nothing happens for null).
void TimelineTransition_LoadingThread(void* record);

#endif
