// The program's side of the engine boundary: the program record and its
// five callbacks. The framework and the game hang off these.
#include <string.h>

#include "kodo.h"

kodo_t* kd = nullptr;
static kd_prog_t prog;

static bool KD_Init() {
    kd = prog.kd;
    kd->PrintDebugf(3, "Program initialized.\n");
    return true;
}

static void KD_Shutdown() { kd->PrintDebugf(3, "Program shut down.\n"); }

static void KD_Update(float dt) {}

static void KD_Draw(float dt) {
    kd->ClearScreen(0.1f, 0.2f, 0.3f);
    kd->SetAlpha(1.0f);
    kd->SetColor(1, 1, 1);
    kd->SetBlend(0);
}

static int KD_EventProc(kd_event_t event) {
    if (event.type == KD_EVENT_PARMS) kd = (kodo_t*)event.id;
    return 0;
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
    return &prog;
}
