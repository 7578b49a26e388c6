// The least cursor record that the widget kinds read: where the pointer
// is, whether it is pressed, and the components it is over, locked to and
// focused on. The screen manager's cursor work completes it (idle time,
// game-pad movement) and owns the eight cursors.
#ifndef FRAMEWORK_UI_CURSOR_MIN_H
#define FRAMEWORK_UI_CURSOR_MIN_H

#include "kodo.h"

class UIComp;

struct UICursor {
    vec2_t position = {0, 0};
    UIComp* over = nullptr;
    UIComp* locked = nullptr;
    UIComp* focus = nullptr;
    bool pressed = false;
    // Seconds since the cursor last moved; above 5 it counts as absent.
    float idle_time = 0;
};

#endif
