// The behaviours of moving things, hazards and the boss.
#include "physics/actor-behaviors.h"

void ActorBehaviors::MakeHazardBehaviors(Made& made) {}
