// The program's own state beside its record (prog.cpp): the foreground
// particle layer and the question the news service asks.
#ifndef GAME_PROG_STATE_H
#define GAME_PROG_STATE_H

#include "particles.h"

// Particles drawn over the UI; constructed at program start.
extern PartMan pman_fg;

// True once the active profile has played more than 90 s; false without
// a profile.
bool NewsManager_PlayedEnoughToShowNews();

#endif
