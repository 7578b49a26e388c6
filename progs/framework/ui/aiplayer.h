// The automated player's manager, as far as framework start-up needs it.
//
// Minimal here: Initialize (enabled when the product feature
// "AUTO_TESTING_MODE" exists) and selecting the "dev_AIPlayer" profile.
// The automated player adds the registry of players, event synthesis and
// drags, the generic screen policy, playing each frame, the developer
// toggle and the overlay.
#ifndef FRAMEWORK_AIPLAYER_H
#define FRAMEWORK_AIPLAYER_H

class AIPlayerMan {
public:
    void Initialize();
    void SelectOrCreateAIProfile();
    bool enabled = false;
};

extern AIPlayerMan ai_man;

#endif
