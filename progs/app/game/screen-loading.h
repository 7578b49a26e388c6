// The loading screen: the first screen of the program. While a worm
// stretches across the screen as a progress bar, every registered screen
// is preloaded, on the worker thread "App Loading" (or, with the product
// feature "NO_MULTITHREADED_LOADING", one screen per frame). 0.8 s after
// the last one it switches to "MainMenu".
//
// The worker preloads one screen at a time inside
// KD_SynchronizeWithMainThreadBegin/End, so it never runs during a frame
// (preloading runs Lua, builds components, localizes texts and measures
// them with the engine's text state, none of which is locked), and the
// frames between two screens still move the worm: once no frame has been
// drawn for 50 ms it waits for one before the next screen. Events reach the
// program outside frames, so the event procedure takes the same
// screen-preload lock (Screen::PreloadLock) around its work.
#ifndef GAME_SCREEN_LOADING_H
#define GAME_SCREEN_LOADING_H

#include <atomic>

#include "ui/screen.h"

class ScreenLoading : public Screen {
public:
    ScreenLoading() : Screen("Loading") {}
    bool PreLoad() override;
    void Draw(float dt) override;
    void Update(float dt) override;
    void Enter() override;
    void Leave() override {}
    int ProcessUICompClick(UIComp* comp, int value) override;

    bool thread_started = false;
    bool halted = false;
    float time_since_loaded = 0;
    float time_on_screen = 0;
    float shown_progress = 0;
    kd_bitmap_t* body = nullptr;
    kd_bitmap_t* tail = nullptr;
    kd_bitmap_t* head = nullptr;
    kd_bitmap_t* head_end = nullptr;
    kd_bitmap_t* bug = nullptr;
    // Counted by Draw, and when it last ran (kd->GetTime): the loading
    // thread waits for a frame once none has been drawn for a while.
    std::atomic<unsigned> frames_drawn{0};
    std::atomic<unsigned> drawn_at{0};

private:
    // Preloads on the main thread (the feature, or no thread to be had).
    bool per_frame = false;
    // Set by the first Draw. The loading thread waits for it: on a
    // machine with few cores it would take the CPU the first frame needs.
    bool drawn = false;
};

extern ScreenLoading screen_Loading;

// The worker: preloads until every screen is, or the engine shuts down.
void ScreenLoading_LoadingThread(void*);

#endif
