#include "game/game-level.h"

DeziDediLevel level;

// Value-initialisation zeroes every plain field; the array assignment frees
// the old fly-ins.
void DeziDediLevel::Reset() { *this = DeziDediLevel{}; }
