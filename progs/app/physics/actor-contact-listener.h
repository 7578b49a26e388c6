// The game's contact rules that belong to no single behaviour: hit effects
// and damage on impact, the behaviours' OnContact calls, the sticking of
// the worm's head and tail to what they hit, the turning of the ends
// towards the surface they touch and the passing of the worm through
// dying hazards.
//
// Everything here runs inside b2World::Step, where Box2D aborts on any
// change of the world: the rules only write actor fields (a weld is left
// in `weld_target` for the worm behaviour to make after the step) and
// whatever a behaviour wants to create or destroy goes through the
// simulation's queue of world changes.
#ifndef APP_CONTACT_LISTENER_H
#define APP_CONTACT_LISTENER_H

#include <box2d/box2d.h>

#include "game/game-level.h"

struct Actor;

// What the rules read of the level being played: the game's record.
using ContactLevel = DeziDediLevel;

class ActorContactListener : public b2ContactListener {
public:
    void BeginContact(b2Contact* contact) override;
    void PreSolve(b2Contact* contact, const b2Manifold* old_manifold) override;
    void PostSolve(b2Contact* contact, const b2ContactImpulse* impulse) override;

    bool CheckWeld(Actor* self, Actor* other, b2Contact* contact, const b2ContactImpulse* impulse);
    void SetHeadAngle(Actor* a, Actor* b, b2Contact* contact);
    void PlayWeldSounds(Actor* self, Actor* other);

    // The level being played: the game's `level`. A test may point it at a
    // record of its own; without one the level counts as settling (clock
    // 0, nothing held, worm alive).
    const ContactLevel* level = &::level;

    // The name of the last grab sound asked for and how many were asked
    // for (the sound is the game's `lib` slot, which may be empty).
    const char* last_weld_sound = nullptr;
    int weld_sounds = 0;

private:
    const ContactLevel& Level() const;
    void OrientEnd(Actor* end, Actor* surface, b2Contact* contact);
};

#endif
