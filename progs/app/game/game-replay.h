// The replay of a fixed input into a level, for runs that must go the
// same way every time (the determinism test of the real program). While
// a replay is loaded, every game frame advances the level by exactly one
// fixed physics step whatever the frame's real length, the random
// numbers start from the same seed at the level start and from a seed of
// the step's own at each step, and the input
// reaches the game at the steps it names rather than when the platform
// delivers it. At the "end" line the worm head's position and a hash of
// the whole worm's path are logged and the program is asked to end.
//
// The product value "fixed_step" ("1") gives the frames
// the same fixed step without a replay: a run driven by an input script
// paced by frames then plays the same level time between its lines on
// any machine, however long the frames really take.
//
// The input file is named by the product value "game_replay" (the
// program settings' APPLICATION node). Its lines, in any order:
//   # comment
//   <step> down|move|up <x> <y>   a touch at a point of the screen
//   <step> click <component>      a click on a component of the game screen
//   <step> end
// A line that cannot be read is reported with its file and number and
// skipped.
#ifndef APP_GAME_REPLAY_H
#define APP_GAME_REPLAY_H

#include <stdint.h>

#include "kodo.h"
#include "nstring.h"

class GameDeziDedi;

class GameReplay {
public:
    enum Kind { DOWN, MOVE, UP, CLICK, END };
    struct Line {
        int step;
        int kind;
        float x, y;
        char comp[32];
    };
    enum { kMaxLines = 100000, kMaxStep = 10000000 };

    // Reads the file named by the product value, when there is one.
    void LoadFromSettings();
    // Replaces the input with the lines of a text; false when no line was
    // usable. `name` names the text in reports.
    bool Parse(const char* text, const char* name);
    void Clear();

    bool Active() const { return lines.count > 0; }
    // The time step a frame gets: the physics step once a replayed level
    // (or any level, with "fixed_step") has started, else the frame's own.
    // The whole program's frame takes it, not only the level's: effects,
    // their emitters and the screens' scripts act by the time that passes,
    // and would act as much as the machine's pace gave them.
    float FrameStep(float dt) const;

    // A level starts: the step count and the hash start again.
    void LevelStarting();
    // Around each frame in which the level runs.
    void BeforeStep(GameDeziDedi* game);
    void AfterStep(GameDeziDedi* game);

    int step = 0;
    bool level_started = false;
    uint64_t hash = 0;
    bool finished = false;
    bool fixed_step = false;
    nArray<Line> lines;

private:
    vec2_t last_touch = {0, 0};
};

extern GameReplay game_replay;

#endif
