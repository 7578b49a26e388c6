// The behaviours of the worm's behaviour.
#include "physics/actor-behaviors.h"

void ActorBehaviors::MakeWormBehavior(Made& made) {}
