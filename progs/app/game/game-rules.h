// What the game hands the physics core, which knows nothing of it: its
// behaviour families, the contact rules' view of the level being played
// and of the grab sounds, and the data files no world or actor
// definition may be read from or written over.
#ifndef APP_GAME_RULES_H
#define APP_GAME_RULES_H

#include "physics/actor-behaviors.h"

namespace GameRules {
// The families, in the registry's order: the worm, the moving things and
// hazards, then the collectables and the rest of the level's actors.
void MakeWormBehavior(ActorBehaviors::Made& made);          // actor-behavior-worm.cpp
void MakeHazardBehaviors(ActorBehaviors::Made& made);       // actor-behaviors-hazards.cpp
void MakeCollectableBehaviors(ActorBehaviors::Made& made);  // actor-behaviors-collectables.cpp

// Hands the families, the contact rules' side and the reserved names over; before the
// physics manager starts (a second call changes nothing).
void Install();
}  // namespace GameRules

#endif
