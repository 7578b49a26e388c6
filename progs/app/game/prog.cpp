// The program's side of the engine boundary: the program record and its
// five callbacks. The framework and the game hang off these: the
// parameters event starts the framework, every other event and frame
// goes through the screen manager.
#include <string.h>

#include <mutex>

#include "framework-kd.h"
#include "game/ai-dezidedi.h"
#include "game/game-dezidedi.h"
#include "game/game-replay.h"
#include "game/game-rules.h"
#include "game/screen-game-dezidedi.h"
#include "kodo.h"
#include "manager.h"
#include "physics/physics-manager.h"
#include "profiles.h"
#include "prog-state.h"
#include "screen-leaderboards.h"
#include "screen-loading.h"
#include "services/news.h"
#include "services/service-steps.h"
#include "ui/screen-manager.h"
#include "ui/timeline.h"
#include "ui/ui-steps.h"

static kd_prog_t prog;

static bool KD_Init() {
    kd = prog.kd;
    news_man.played_enough = NewsManager_PlayedEnoughToShowNews;
    // The kinds of event the game's timeline holds; another is a fault of
    // the file, refused rather than shown as an empty screen.
    timeline.SetKnownEventTypes("GAME,STORY,MENU");
    Manager::InitializeAll();
    GameRules::Install();
    physics_man.Initialize();
    game_replay.LoadFromSettings();
    timeline.SetDefaultTransitionType(TRANSITION_FADE_BLACK);
    ScreenGameDeziDedi::RegisterLuaFunctions();
    // By its object, which also links the loading screen in.
    Screen* loading = &screen_Loading;
    sman.PreloadScreen(loading);
    sman.PushScreen(loading, 0);
    // Named by its object too, which links it in: only scripts push it.
    kd->PrintDebugf(KD_LOG_SYSTEM, "Screen '%s' is ready for the menus.\n", screen_Leaderboards.GetName());
    // Named by its object too, which links it in: it registers itself.
    kd->PrintDebugf(KD_LOG_SYSTEM, "Automated player '%s' is registered.\n", ai_dezidedi.GetName());
    kd->PrintDebugf(KD_LOG_SYSTEM, "Program initialized.\n");
    return true;
}

static void KD_Shutdown() {
    // Only a start-up that finished loading has a game state to keep: the
    // player's position in the timeline.
    if (sman.all_screens_preloaded) timeline.SaveGameState();
    Manager::Shutdown();
    kd->PrintDebugf(KD_LOG_SYSTEM, "Program shut down.\n");
}

static void KD_Update(float dt) {
    if (prog.parms.console_open) return;
    sman.Update(game_replay.FrameStep(dt));
}

static void KD_Draw(float dt) {
    sman.DrawScreens(game_replay.FrameStep(dt));
    kd->SetAlpha(1.0f);
    kd->SetColor(1, 1, 1);
    kd->SetBlend(0);
}

static int KD_EventProc(kd_event_t event) {
    // Events come outside the frames, when a loading thread (the loading
    // screen's or the timeline's) may be preloading a screen.
    std::lock_guard<std::recursive_mutex> hold(Screen::PreloadLock());
    // The parameters come first, once, before the video starts: the
    // framework comes up on them.
    if (event.type == KD_EVENT_PARMS) return Manager::ProcessParmsEvent(event);
    if (event.type == KD_EVENT_ACTIVATION) {
        // A running level pauses whenever the window loses or regains focus.
        Screen* top = sman.TopScreen();
        if (top == &screen_GameDeziDedi && !prog.parms.developer_mode)
            sman.PushScreen("GamePopMenu", 0);
    }
    // The player's data goes to disk before the display is rebuilt; the
    // developer's tools' window is no change of the player's.
    if (event.type == KD_EVENT_RENDERER_REINIT && !sman.ToolsReInit()) profile_man.SaveProfiles();
    return sman.ProcessEvent(event);
}

kd_prog_t* KD_GetInterface() {
    memset(&prog, 0, sizeof prog);
    prog.parms.reference_counting = true;
    prog.Init = KD_Init;
    prog.Shutdown = KD_Shutdown;
    prog.Update = KD_Update;
    prog.Draw = KD_Draw;
    prog.EventProc = KD_EventProc;
    prog.interface_version = KODO_INTERFACE_VERSION;
    prog.parms.windowed = false;
    Manager::SetProgramRecord(&prog);
    // The libraries above the framework hook into its start-up before the
    // engine starts it.
    AddUIManagerSteps();
    AddServiceManagerSteps();
    return &prog;
}
