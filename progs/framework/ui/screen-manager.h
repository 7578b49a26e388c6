// The screen manager, as far as framework start-up needs it.
//
// Minimal here: the parameters event that starts the framework (event 18),
// window activation (event 10), the reference and virtual screen sizes,
// the application-active and zero-time-step flags, the per-frame update of
// the audio and profile managers, and the owner look-up of a Lua state.
// The screen manager adds the screen stack, screen messages, cursors and
// focus, the UI sets and component templates, input dispatch, drawing of
// the stack, the virtual-screen scales and animation, the loading
// indicator, the developer modes and its 52 script functions.
#ifndef FRAMEWORK_SCREEN_MANAGER_H
#define FRAMEWORK_SCREEN_MANAGER_H

#include <lua.hpp>

#include "kodo.h"

class UIComp;
class UISet;

// One of the eight pointer or game-pad cursors: where it is, whether it is
// pressed, and the components it is over, locked to and focused on.
struct UICursor {
    vec2_t position = {0, 0};
    UIComp* over = nullptr;
    UIComp* locked = nullptr;
    UIComp* focus = nullptr;
    bool pressed = false;
    // Seconds since the cursor last moved; above 5 it counts as absent.
    float idle_time = 0;
};

class ScreenMan {
public:
    // Answers 0 (no screen has consumed the event).
    int ProcessEvent(kd_event_t& event);
    void InitScreens(int reference_width, int reference_height);
    // Pops every screen of the stack.
    void Shutdown();
    void Update(float dt);
    // The owner stored in a state's owner block by the UI set that opened
    // it; null for other states.
    UISet* GetStateUISet(lua_State* L);

    int reference_width = 800, reference_height = 600;
    int virtual_width = 0, virtual_height = 0;
    bool application_active = true;
    // Set by whoever did a long piece of work inside a frame (music switch,
    // save, load): the next update runs with a time step of 0.
    bool zero_next_time_step = false;
    bool all_screens_preloaded = false;
    // The time step handed to the managers by the last update.
    float last_dt = 0;
};

extern ScreenMan sman;
extern vec2_t mpos;

#endif
