// The behaviour registry's set-up: the plain behaviour named "DEFAULT"
// first, so it is the fallback for every shape whose behaviour is unknown,
// then the concrete behaviours. The physics manager calls these once at
// start-up and shut-down.
#ifndef APP_ACTOR_BEHAVIORS_H
#define APP_ACTOR_BEHAVIORS_H

#include <memory>
#include <vector>

#include "physics/actor.h"

namespace ActorBehaviors {
// Registers "DEFAULT" (unless a behaviour of that name exists) and the
// concrete behaviours; a second call registers nothing twice.
void InitActorBehaviors();
// Removes the behaviours made by InitActorBehaviors from the registry.
void FreeActorBehaviors();

// The concrete behaviours, each family in a file of its own; each adds its
// behaviours to `made` in registry order. InitActorBehaviors calls them in
// the order the registry keeps: DEFAULT, WORM, the moving things and
// hazards, then the collectables and the rest of the level's actors.
using Made = std::vector<std::unique_ptr<ActorBehavior>>;
void MakeWormBehavior(Made& made);         // actor-behavior-worm.cpp
void MakeHazardBehaviors(Made& made);      // actor-behaviors-hazards.cpp
void MakeCollectableBehaviors(Made& made);  // actor-behaviors-collectables.cpp
}  // namespace ActorBehaviors

#endif
