// Minimal screen manager: see screen-manager.h.
#include "ui/screen-manager.h"

#include "audioman.h"
#include "framework-kd.h"
#include "luaman.h"
#include "manager.h"
#include "profiles.h"

vec2_t mpos = {0, 0};
ScreenMan sman;

int ScreenMan::ProcessEvent(kd_event_t& event) {
    switch (event.type) {
        case KD_EVENT_PARMS: {
            // The engine's table and the program parameters arrive before
            // the video starts; nothing of the framework may run earlier.
            if (event.id) kd = (kodo_t*)event.id;
            kd_parms_t* parms = (kd_parms_t*)event.x;
            if (parms) Manager::SetParms(parms);
            Manager::PreInitializeBeforeVideoInit();
            kd_prog_t* record = Manager::GetProgramRecord();
            if (parms && record && parms != &record->parms && (prof != nullptr))
                parms->windowed = record->parms.windowed;
            break;
        }
        case KD_EVENT_ACTIVATION:
            application_active = event.id == 0;
            break;
        default:
            // Input goes to the automated player, the top screen, the
            // cursors and the components once the screen stack exists.
            break;
    }
    return 0;
}

void ScreenMan::InitScreens(int ref_width, int ref_height) {
    kd->PrintDebugf(3, "ScreenMan::InitScreens.\n");
    reference_width = ref_width;
    reference_height = ref_height;
    kd_parms_t* parms = Manager::GetParms();
    virtual_width = parms->width;
    virtual_height = parms->height;
    // The screen and UI script functions ("LoadUI", "UIEvents",
    // "CreateScreen" and the others) are registered here, once the screens
    // exist, with one lua_man.AddLuaFunctions call on their table
    // (lua-args.h).
}

void ScreenMan::Shutdown() {
    kd->PrintDebugf(3, "ScreenMan::Shutdown.\n");
    // Nothing stacked yet: the stack is popped here once it exists.
}

void ScreenMan::Update(float dt) {
    if (zero_next_time_step) {
        dt = 0;
        zero_next_time_step = false;
    }
    last_dt = dt;
    // Hook: the audio and profile managers live in files of their own
    // (fw-hooks.h); their updates are no-ops until they are linked in.
    aman.Update(dt);
    profile_man.Update(dt);
    // The screens of the stack are updated here once they exist.
}

UISet* ScreenMan::GetStateUISet(lua_State* L) { return (UISet*)LuaManager::GetLuaStateOwner(L); }
