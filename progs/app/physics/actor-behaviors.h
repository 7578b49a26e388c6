// The behaviour registry's set-up: the plain behaviour named "DEFAULT"
// first, so it is the fallback for every shape whose behaviour is unknown,
// then the concrete behaviours. The physics manager calls these once at
// start-up and shut-down.
#ifndef APP_ACTOR_BEHAVIORS_H
#define APP_ACTOR_BEHAVIORS_H

#include "physics/actor.h"

namespace ActorBehaviors {
// Registers "DEFAULT" (unless a behaviour of that name exists) and the
// concrete behaviours; a second call registers nothing twice.
void InitActorBehaviors();
// Removes the behaviours made by InitActorBehaviors from the registry.
void FreeActorBehaviors();
}  // namespace ActorBehaviors

#endif
