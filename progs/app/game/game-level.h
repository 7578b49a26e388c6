// The one record of the level being played: `level`, zeroed at every level
// start. The game, the actor behaviours and the contact rules all read and
// write it; behaviours keep no state of their own, so whatever must last
// from one frame to the next of a level lives here (or in the actor).
#ifndef APP_GAME_LEVEL_H
#define APP_GAME_LEVEL_H

#include "kodo.h"
#include "nstring.h"
#include "physics/actor-contact-listener.h"

class Profile;

// A collection record: a collected item flying from where it was taken to
// its slot in the HUD row.
struct DeziDediFlyIn {
    float start_x = 0, start_y = 0;    // screen units
    float target_x = 0, target_y = 0;  // screen units
    float progress = 0;                // below 0: not started; 0 to 1 on the way
    bool flying = false;               // false: drawn still at the start
    float angle = 0;                   // radians
    float spin = 0;                    // set by its maker; drawing does not use it
    kd_bitmap_t* bitmap = nullptr;
    int kind = 0;         // 0: an item flying to its HUD slot
    bool shrink = false;  // drawn smaller as it flies
};

// Camera modes of `camera_mode`.
enum {
    CAMERA_PLAY = 0,
    CAMERA_SHOWING_GOAL = 2,
    CAMERA_INTRO_SKIPPED = 3,
    CAMERA_RETURNING = 5,
    CAMERA_ALL_COLLECTED = 6,
};

// Story modes of `story_mode`.
enum {
    STORY_NONE = 0,
    STORY_PROLOGUE = 1,
    STORY_FIRST_LEVEL_HINTS = 2,
};

// The contact rules read the clock, the grab time and the worm's death
// (ContactLevel); the rest is the game's.
struct DeziDediLevel : ContactLevel {
    char world_file[64] = {};
    bool clock_running = false;               // the clock has passed one second in play; mines arm
    bool level_over = false;                  // the result is decided
    bool camera_arrived = false;              // the camera has reached the worm once
    bool camera_hurry = false;                // the screen was touched before that
    bool play_started = false;                // the worm has been grabbed; the clock runs from then
    float ready_time = 0;                     // the "Ready?" text (s)
    int screen_width = 0, screen_height = 0;  // the virtual screen size at the last check
    bool all_collected = false;               // the exit is open
    bool ending = false;                      // an end is in the exit, or the boss is dead
    int camera_mode = 0;
    float camera_mode_time = 0;
    int rope_state = 0;  // the rope and end-bug sequence at the wormhole
    float rope_y = 0;
    float wing_time = 0;
    int required_targets = 0;
    int targets_collected = 0;
    int eggs = 0;  // of the required targets, the eggs
    int eggs_collected = 0;
    int lives = 0;
    int lives_shown = 0;  // follows `lives` down, a burst per lost life
    int bugs_killed = 0;
    int kill_streak = 0;
    float kill_streak_time = 0;
    // The part of a millisecond the clock (`clock_ms`) has run but not
    // yet shown: a step of 1/60 s is not a whole number of milliseconds,
    // and dropping the rest every frame would slow the clock by 4 %.
    double clock_rest = 0;
    float anim_time = 0;
    float collect_bounce = 0;
    float invulnerability = 0;  // seconds left after a hit
    float expression_time = 0;
    int expression = 0;
    float shake_time = 0;
    nArray<DeziDediFlyIn> fly_ins;
    int weather_theme;  // 0 none, 1 to 3
    int episode;
    bool no_wormhole;
    int story_mode;
    bool lives_enabled;  // losing the last life kills the worm; the counter shows
    // Where the HUD's row of collected items is anchored: the relative
    // position of the game screen's "Fruit" component, set by the level
    // start. Collected items fly to their slot in that row.
    vec2_t hud_fruit_position;

    // Of the clock's whole seconds, those added to the player's total time
    // played.
    int seconds_counted = 0;

    // Runs the clock on by `dt` seconds, carrying what is not yet a whole
    // millisecond to the next step.
    void AdvanceClock(float dt);
    // Adds the clock's whole seconds not yet counted to the profile's total
    // time played (the caller saves it); whether there were any. Called
    // wherever a level ends: the game screen left (the menu, the program's
    // end) and a level started on it (Next, Replay, Restart), which resets
    // the record; each second counts once, whichever comes first.
    bool CountTimePlayed(Profile* p);
    // Every field to its zero value, the fly-ins emptied (their storage kept).
    void Reset();
};

extern DeziDediLevel level;

#endif
