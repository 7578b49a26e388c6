// The behaviours of things that move and things that fight back: moving
// platforms and pegs, the flying bugs (patrolling, shooting and the boss),
// homing bugs, mines and the projectiles they fire. Like every behaviour
// they keep no state of their own: it lives in the actor record and in the
// game's `level` record.
//
// Everything these behaviours add to the world (projectiles, the boss's
// movement joints) goes through the simulation's queue of world changes,
// so it is safe to ask for from a contact callback: it is carried out at
// once when the world is idle and after the running step otherwise.
#ifndef APP_ACTOR_BEHAVIORS_HAZARDS_H
#define APP_ACTOR_BEHAVIORS_HAZARDS_H

#include "physics/actor.h"

// Actor::state of the flying bugs, projectiles, homing bugs and mines; the
// worm's blows set HIT and DYING.
enum HazardState {
    HAZARD_IDLE = 0,
    HAZARD_BLINKING = 1,               // half a second
    HAZARD_HIT = 2,                    // the hit pose, half a second
    HAZARD_DYING = ACTOR_STATE_DYING,  // final
    HAZARD_BREAKING_LOOSE = 4,         // a homing bug leaving its pivot, two seconds
};

// Platforms and pegs carried along their movement by the joint every MOVE
// actor gets. The picture is the definition's foreground one, drawn over
// the actors of the first pass.
class ActorBehaviorMoving : public ActorBehavior {
public:
    ActorBehaviorMoving() : ActorBehavior("MOVING") {}
    void Draw(Actor*) override {}
};

// Flying bugs. A bug patrols on its movement joint and turns round when it
// touches something static; a SHOOTING bug fires at the worm every 4.5 s
// while the worm is near and the bug is on screen; the BOSS fires pairs at
// twice that rate, shows a health bar and, as it loses hit points, flies a
// route of up to four path points.
class ActorBehaviorMovingHazard : public ActorBehavior {
public:
    ActorBehaviorMovingHazard() : ActorBehavior("MOVING_HAZARD") {}
    void Init(Actor* actor) override;
    void Draw(Actor* actor) override;
    void Update(Actor* actor, float dt) override;
    bool OnContact(Actor* self, Actor* other, b2Contact* contact) override;

    // Replaces the boss's movement joint by one that carries its centre
    // to `target` at 3 x `speed`. A target closer than the direction
    // epsilon holds the boss where it is.
    static void CreateJointForBoss(Actor* actor, vec2_t target, float speed);
    // Fires at the worm now: one projectile, a pair for the BOSS. False,
    // and nothing fired, when the world has no worm or the worm sits on
    // the bug's centre.
    static bool Shoot(Actor* bug);
    // How far above the boss's drawn centre its health bar is (m): just
    // over its crown, clear of the worm hanging above the boss at the
    // level's start.
    static constexpr float kBossBarAbove = 1.9f;
};

// Projectiles: they spin, sink slowly and are spent on their first touch
// of anything but another projectile, or after 7.5 s.
class ActorBehaviorHazardAmmo : public ActorBehavior {
public:
    ActorBehaviorHazardAmmo() : ActorBehavior("HAZARD_AMMO") {}
    void Init(Actor* actor) override;
    void Draw(Actor* actor) override;
    void Update(Actor* actor, float dt) override;
    bool OnContact(Actor* self, Actor* other, b2Contact* contact) override;
};

// A bug hanging from a pivot until the worm comes within reach after the
// first grab; then it breaks loose and chases the worm.
class ActorBehaviorHazardHoming : public ActorBehavior {
public:
    ActorBehaviorHazardHoming() : ActorBehavior("HAZARD_HOMING") {}
    void Init(Actor* actor) override;
    void Draw(Actor* actor) override;
    void Update(Actor* actor, float dt) override;
};

// A mine whose fuse is lit by the worm's approach while it is on screen;
// two seconds later it bursts into eight projectiles, once.
class ActorBehaviorHazardMine : public ActorBehavior {
public:
    ActorBehaviorHazardMine() : ActorBehavior("HAZARD_MINE") {}
    void Init(Actor* actor) override;
    void Draw(Actor* actor) override;
    void Update(Actor* actor, float dt) override;
    // Scatters the eight projectiles and marks the mine spent; nothing for
    // a mine already spent.
    static void Burst(Actor* mine);
};

// The hazards' rule for the game's contact filter: a projectile passes
// through shooters and mines, which fire it from inside or right beside
// themselves.
bool HazardsMayCollide(const Actor* a, const Actor* b);

#endif
