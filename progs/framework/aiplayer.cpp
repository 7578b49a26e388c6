// Minimal automated-player manager: see aiplayer.h.
#include "aiplayer.h"

#include "fw-hooks.h"
#include "kodo.h"

extern kodo_t* kd;

AIPlayerMan ai_man;

void AIPlayerMan::Initialize() {
    if (kd) kd->PrintDebugf(3, "AIPlayerMan::Initialize.\n");
    enabled = FW_FeatureExists("AUTO_TESTING_MODE");
}

void AIPlayerMan::SelectOrCreateAIProfile() {
    if (kd) kd->PrintDebugf(3, "AIPlayerMan::SelectOrCreateAIProfile.\n");
    FW_SelectOrCreateProfile("dev_AIPlayer");
    // No players are registered yet: the first registered one becomes
    // current and prepares the profile here once they exist.
    FW_SaveAllProfiles();
}
