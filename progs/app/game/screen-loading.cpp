// The loading screen. See screen-loading.h.
#include "screen-loading.h"

#include <math.h>
#include <string.h>

#include <atomic>

#include "feature-manager.h"
#include "framework-kd.h"
#include "manager.h"
#include "ui/gameman.h"
#include "ui/screen-manager.h"
#include "ui/ui-comps.h"

ScreenLoading screen_Loading;

// Without a frame for this long the worm stands still: the thread leaves
// the next frame its turn before it goes on.
static const unsigned kFrameOverdueMs = 50;

void ScreenLoading_LoadingThread(void*) {
    kd->Printf("Spawned loading thread.\n");
    // When the last wait for a frame ended: the next wait comes no sooner
    // than the overdue time after it, even for a loading screen not drawn.
    unsigned waited_until = kd->GetTime();
    for (;;) {
        bool done;
        kd->SynchronizeWithMainThreadBegin();
        const unsigned frame = screen_Loading.frames_drawn.load();
        {
            std::lock_guard<std::recursive_mutex> hold(Screen::PreloadLock());
            done = Screen::PreLoadAllScreens(true);
        }
        kd->SynchronizeWithMainThreadEnd();
        if (done || Manager::ShutdownSignalled()) break;
        // The frame's lock goes to whichever thread runs first: a main
        // thread that takes its frame on time finds the lock free in the
        // millisecond between two screens, but on a busy machine this one
        // may take it again and again, the worm standing still until the
        // last screen. So once a frame is overdue the thread waits for one
        // (a second at most, for a loading screen that is not drawn); a
        // wait after every screen would cost a frame each.
        const unsigned now = kd->GetTime();
        if (now - screen_Loading.drawn_at.load() < kFrameOverdueMs || now - waited_until < kFrameOverdueMs) {
            kd->Sleep(1);
            continue;
        }
        for (int waited = 0; waited < 1000 && screen_Loading.frames_drawn.load() == frame; waited++) {
            if (Manager::ShutdownSignalled()) return;
            kd->Sleep(1);
        }
        waited_until = kd->GetTime();
    }
}

bool ScreenLoading::PreLoad() {
    LoadUI("ui/fw/loading.lua");
    body = kd->LoadBitmap("actors/gfx/worm/worm-body.png", 4);
    tail = kd->LoadBitmap("actors/gfx/worm/worm-tail.png", 4);
    head = kd->LoadBitmap("actors/gfx/worm/worm-head.png", 4);
    head_end = kd->LoadBitmap("actors/gfx/worm/worm-head-level-end.png", 4);
    bug = kd->LoadBitmap("actors/gfx/bug-flying.png", 4);
    halted = false;
    return true;
}

void ScreenLoading::Enter() {
    time_since_loaded = 0;
    time_on_screen = 0;
    thread_started = false;
    drawn = false;
    per_frame = feature_man.ProductFeatureExists("NO_MULTITHREADED_LOADING");
    halted = feature_man.ProductFeatureExists("STOP_AT_LOADING_SCREEN");
}

int ScreenLoading::ProcessUICompClick(UIComp*, int) {
    halted = false;
    return 1;
}

void ScreenLoading::Update(float dt) {
    if (halted) return;
    time_on_screen += dt;
    int total = Screen::total_num_screens;
    float f = total > 0 ? (float)Screen::total_num_screens_preloaded / (float)total : 1.0f;
    bool all = sman.all_screens_preloaded;
    if (all)
        shown_progress += fminf(10 * dt, f - shown_progress);
    else
        shown_progress += dt * 10 * fmaxf(f - 0.1f - shown_progress, 0);

    if (sman.TopScreen() != this) return;
    if (all) {
        time_since_loaded += dt;
        if (time_since_loaded > 0.8f) {
            game_man.SetActiveGame("DeziDedi");
            sman.SwitchScreen("MainMenu");
        }
    }
    if (!per_frame && !thread_started && drawn) {
        thread_started = true;
        unsigned long id = kd->CreateThread("App Loading", ScreenLoading_LoadingThread, nullptr, 0);
        // Without a thread the screens still load, one per frame.
        if (id == (unsigned long)-1) {
            kd->PrintDebugf(KD_LOG_WARNING, "Unable to start the loading thread; loading on the main thread.\n");
            per_frame = true;
        }
    }
    if (per_frame && !all && trans >= 1.0f) Screen::PreLoadAllScreens(true);
}

void ScreenLoading::Draw(float dt) {
    drawn = true;
    drawn_at = kd->GetTime();
    frames_drawn++;
    DrawUI();
    UIComp* wh = GetComp("WormHead");
    UIComp* we = GetComp("WormHeadEnd");
    UIComp* wt = GetComp("WormTail");
    UIComp* fruit = GetComp("Fruit");
    if (wh && we && wt && fruit) {
        float a = fminf(6 * time_on_screen, 1);
        float alpha = fminf(a, fruit->GetStaticAlpha());
        kd->SetAlpha(alpha);
        vec2_t H = wh->GetStaticPos(), E = we->GetStaticPos(), T = wt->GetStaticPos(), F = fruit->GetStaticPos();
        float s = sman.scale_cover;
        float t = time_since_loaded;
        if (t > 0.1f) {
            F.x += (t - 0.1f) * 500 * s;
            F.y -= (t - 0.1f) * 250 * s;
        }
        float X = H.x + (E.x - H.x) * shown_progress;
        if (bug) kd->DrawBitmapRS(bug, F.x, F.y, 10 * t, s);
        if (body) {
            float h = (float)body->height;
            float y0 = T.y - h * s / 2;
            float z = kd->GetDepthDefault();
            uint32_t colour = 0x00FFFFFFu | ((uint32_t)(alpha * 255.0f) << 24);
            kd_vertex_t v[4] = {{T.x, y0, z, colour, 0, 0},
                                {X, y0, z, colour, 1, 0},
                                {T.x, y0 + h * s, z, colour, 0, 1},
                                {X, y0 + h * s, z, colour, 1, 1}};
            kd->DrawBitmap4V(body, v);
        }
        if (tail) kd->DrawBitmapRS(tail, X, H.y, 0, s);
        if (head) kd->DrawBitmapRS(head, T.x, T.y, 0, s);
        kd->SetAlpha(fminf(shown_progress, a));
        if (head_end) kd->DrawBitmapRS(head_end, T.x, T.y, 0, s);
    }
    kd->SetAlpha(1.0f);
}
