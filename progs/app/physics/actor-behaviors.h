// The behaviour registry's set-up: the plain behaviour named "DEFAULT"
// first, so it is the fallback for every shape whose behaviour is unknown,
// then the concrete behaviours, which are the game's: it adds its families
// of them before the physics manager starts. The physics manager calls
// InitActorBehaviors and FreeActorBehaviors once at start-up and
// shut-down.
#ifndef APP_ACTOR_BEHAVIORS_H
#define APP_ACTOR_BEHAVIORS_H

#include <memory>
#include <vector>

#include "physics/actor.h"

namespace ActorBehaviors {
// A family of concrete behaviours: it adds them to `made` in registry
// order.
using Made = std::vector<std::unique_ptr<ActorBehavior>>;
using Family = void (*)(Made& made);

// Adds a family; InitActorBehaviors makes the families in the order they
// were added (a family added twice counts once). Families are added before
// the behaviours are made.
void AddFamily(Family family);

// Registers "DEFAULT" (unless a behaviour of that name exists) and the
// families' behaviours; a second call registers nothing twice.
void InitActorBehaviors();
// Removes the behaviours made by InitActorBehaviors from the registry.
void FreeActorBehaviors();
}  // namespace ActorBehaviors

#endif
