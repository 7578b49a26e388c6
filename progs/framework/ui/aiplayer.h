// The automated player's manager, as far as the framework needs it today.
//
// A stand-in until the automated player lands: it is disabled, takes no
// events and plays nothing. Initialize reads the product feature
// "AUTO_TESTING_MODE" and selecting the "dev_AIPlayer" profile works; the
// registry of players, event synthesis and drags, the generic screen
// policy, the developer toggle and the overlay come with it.
#ifndef FRAMEWORK_AIPLAYER_H
#define FRAMEWORK_AIPLAYER_H

#include "kodo.h"

class AIPlayerMan {
public:
    void Initialize();
    void SelectOrCreateAIProfile();
    // Stand-ins: no player is registered, so nothing is synthesised,
    // played or drawn.
    int ProcessEvent(kd_event_t*) { return 0; }
    void PlayTheGame(float) {}
    void Draw() {}
    // Set by the feature; with no player registered it changes nothing.
    bool enabled = false;
};

extern AIPlayerMan ai_man;

#endif
