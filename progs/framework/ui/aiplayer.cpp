// Minimal automated-player manager: see aiplayer.h.
#include "ui/aiplayer.h"

#include "feature-manager.h"
#include "framework-kd.h"
#include "kodo.h"
#include "profiles.h"

AIPlayerMan ai_man;

void AIPlayerMan::Initialize() {
    kd->PrintDebugf(KD_LOG_SYSTEM, "AIPlayerMan::Initialize.\n");
    enabled = feature_man.ProductFeatureExists("AUTO_TESTING_MODE");
}

void AIPlayerMan::SelectOrCreateAIProfile() {
    kd->PrintDebugf(KD_LOG_SYSTEM, "AIPlayerMan::SelectOrCreateAIProfile.\n");
    profile_man.SelectOrCreateProfile("dev_AIPlayer");
    // No players are registered yet: the first registered one becomes
    // current and prepares the profile here once they exist.
    profile_man.SaveProfiles();
}
