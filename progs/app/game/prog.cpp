// The program's side of the engine boundary: the program record and its
// five callbacks. The framework and the game hang off these.
//
// Not yet here: the game's physics manager, the timeline's default
// transition and the "Loading" screen in KD_Init; saving the timeline's
// game state in KD_Shutdown; the pause menu over a running game on window
// deactivation. They come with the game and the screens.
#include <string.h>

#include "framework-kd.h"
#include "kodo.h"
#include "manager.h"
#include "profiles.h"
#include "ui/screen-manager.h"
static kd_prog_t prog;
static bool paused = false;

static bool KD_Init() {
    kd = prog.kd;
    Manager::InitializeAll();
    kd->PrintDebugf(3, "Program initialized.\n");
    return true;
}

static void KD_Shutdown() {
    Manager::Shutdown();
    kd->PrintDebugf(3, "Program shut down.\n");
}

static void KD_Update(float dt) {
    if (!paused) sman.Update(dt);
}

static void KD_Draw(float dt) {
    // The screen stack is drawn here once screens exist.
    kd->SetAlpha(1.0f);
    kd->SetColor(1, 1, 1);
    kd->SetBlend(0);
}

static int KD_EventProc(kd_event_t event) {
    if (event.type == KD_EVENT_RENDERER_REINIT) profile_man.SaveProfiles();
    return sman.ProcessEvent(event);
}

kd_prog_t* KD_GetInterface() {
    memset(&prog, 0, sizeof prog);
    prog.interface_version = KODO_INTERFACE_VERSION;
    prog.parms.reference_counting = true;
    prog.parms.windowed = false;
    prog.parms.flags = true;
    prog.Init = KD_Init;
    prog.Shutdown = KD_Shutdown;
    prog.Update = KD_Update;
    prog.Draw = KD_Draw;
    prog.EventProc = KD_EventProc;
    Manager::SetProgramRecord(&prog);
    return &prog;
}
