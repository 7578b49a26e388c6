// The behaviours of collectables, the worm hole, the end bug, free-turning pegs, breakable blocks and the moon.
#include "physics/actor-behaviors.h"

void ActorBehaviors::MakeCollectableBehaviors(Made& made) {}
