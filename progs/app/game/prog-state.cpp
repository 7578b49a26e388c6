#include "prog-state.h"

#include "profiles.h"

PartMan pman_fg;

bool NewsManager_PlayedEnoughToShowNews() {
    if (!prof) return false;
    return (float)prof->GetActiveTime() > 90000.0f;
}
