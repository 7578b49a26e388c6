// The behaviours of the level's other actors: fruit ("COLLECTABLE"), the
// exit ("WORM_HOLE") with the rope that comes down to it, the greedy bug
// on the exit ("END_BUG"), free-spinning pegs ("ROTATE_FREE"), breakable
// blocks ("DESTROYABLE_BLOCK") and the moon ("MOON"); and the small helpers
// the behaviours share.
//
// The rope sequence in `level.rope_state`: 0 none; 1 the rope comes down
// from above the world (started when the last fruit is taken, or by the
// level flow when an end of the worm nears the hole); 2 it has reached the
// hole; 3 the level ends and the hole, with whatever end of the worm grips
// it, is hauled up out of the world.
#ifndef APP_ACTOR_BEHAVIORS_COLLECTABLES_H
#define APP_ACTOR_BEHAVIORS_COLLECTABLES_H

#include "game/game-lib.h"
#include "physics/actor.h"

class PhysicsSimulation;

// Actor::state of the end bug.
enum EndBugState {
    END_BUG_IDLE = 0,
    END_BUG_BLINKING = 1,  // half a second
    END_BUG_OUCH = 2,      // touched by the worm, half a second
};

// ---------------------------------------------------------------- helpers

// One more of the player's statistic "GAME"/<name>/"amount" in the active
// profile (kept in memory; the profile is saved by the level's end). A
// value that is not a number counts as 0; the count stops at its maximum.
void RaiseProfileStatistic(const char* name);
// Plays a `lib` sound at volume 1, centred, at a frequency factor uniform
// in [low, high]; nothing for an empty slot.
void PlayLibSound(LibSound slot, float low = 1.0f, float high = 1.0f);
// A worm sound at a random pitch (0.9 to 1.1).
inline void PlayLibSoundVaried(LibSound slot) { PlayLibSound(slot, 0.9f, 1.1f); }
// An effect of `lib` on the simulation's front particle layer.
void SpawnLibEffect(PhysicsSimulation* sim, LibEffect slot, vec2_t at, float angle);
// The length of one rope piece in metres: the rope bitmap's height, or 66
// pixels when the bitmap is missing.
float RopeLength(const PhysicsSimulation* sim);
// Lets the rope down from above the world (rope state 1).
void StartRope(const PhysicsSimulation* sim);
// The exit's shockwave: its effect at `at`, and every hazard not hit yet
// is blown away from it, left dying (state 3) and marked hit (`triggered`).
// A hazard exactly at `at` has no direction to be blown in: it dies where
// it is. Queued when called during a step.
void EndLevelShockwave(PhysicsSimulation* sim, vec2_t at);

// ---------------------------------------------------------------- behaviours

// Fruit: fades in, rocks with the level clock, glides back to its place
// when displaced and is then held there by a weld to the ground. Taking
// it is the worm's business.
class ActorBehaviorCollectable : public ActorBehavior {
public:
    ActorBehaviorCollectable() : ActorBehavior("COLLECTABLE") {}
    void Init(Actor* actor) override;
    void Draw(Actor* actor) override;
    void Update(Actor* actor, float dt) override;
};

class ActorBehaviorWormHole : public ActorBehavior {
public:
    ActorBehaviorWormHole() : ActorBehavior("WORM_HOLE") {}
    void Init(Actor* actor) override;
    // The two ropes from the top of the world down to the hole; nothing
    // for a hole without a fixture (it has no width to hang them by).
    void DrawForeground(Actor* actor) override;
    void Update(Actor* actor, float dt) override;
};

class ActorBehaviorEndBug : public ActorBehavior {
public:
    ActorBehaviorEndBug() : ActorBehavior("END_BUG") {}
    void Init(Actor* actor) override;
    // Drawn in the foreground pass, wings behind the body.
    void Draw(Actor*) override {}
    void DrawForeground(Actor* actor) override;
    void Update(Actor* actor, float dt) override;
    // Says ouch when an end of the worm touches it.
    bool OnContact(Actor* self, Actor* other, b2Contact* contact) override;
};

// Creaks every 0.35 radians while it spins fast.
class ActorBehaviorRotateFree : public ActorBehavior {
public:
    ActorBehaviorRotateFree() : ActorBehavior("ROTATE_FREE") {}
    void Update(Actor* actor, float dt) override;
};

// Counts the player's broken blocks and bursts by its size: four bursts
// along a long block, four over a big one, one for the rest.
class ActorBehaviorDestroyableBlock : public ActorBehavior {
public:
    ActorBehaviorDestroyableBlock() : ActorBehavior("DESTROYABLE_BLOCK") {}
    void OnDestroyed(Actor* actor) override;
};

class ActorBehaviorMoon : public ActorBehavior {
public:
    ActorBehaviorMoon() : ActorBehavior("MOON") {}
    void Update(Actor*, float) override {}
};

#endif
