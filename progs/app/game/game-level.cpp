#include "game/game-level.h"

#include <math.h>
#include <stdlib.h>

#include "profiles.h"

DeziDediLevel level;

// Value-initialisation zeroes every plain field; the array assignment frees
// the old fly-ins.
void DeziDediLevel::Reset() { *this = DeziDediLevel{}; }

void DeziDediLevel::AdvanceClock(float dt) {
    // The engine's steps are whole milliseconds held in a float: the
    // small margin keeps one of them from coming out a millisecond short.
    const double ms = clock_rest + (double)dt * 1000.0;
    const int whole = (int)floor(ms + 1e-4);
    clock_ms += whole;
    clock_rest = ms - whole;
}

bool DeziDediLevel::CountTimePlayed(Profile* p) {
    const int seconds = clock_ms / 1000 - seconds_counted;
    if (!p || seconds <= 0) return false;
    const char* before = p->GetValue("GAME", "total_time_played", "time");
    p->SetValuef("GAME", "total_time_played", "time", "%ld", (before ? atol(before) : 0) + seconds);
    seconds_counted += seconds;
    return true;
}
