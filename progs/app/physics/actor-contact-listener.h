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

struct Actor;

// What the rules read of the level being played: the level clock, whether
// the worm is dead and the drag timer. The game's per-level record has
// these three fields under these names; until the game lands this
// stand-in carries them, and `ContactLevel` is the one place that names
// the record (the game points it at its own).
struct ContactLevelState {
    int clock_ms = 0;         // the level clock; runs from the first grab
    bool worm_dead = false;
    float drag_time = -1.0f;  // -1 while nothing is held, 0 when a drag begins
};
using ContactLevel = ContactLevelState;

class ActorContactListener : public b2ContactListener {
public:
    void BeginContact(b2Contact* contact) override;
    void PreSolve(b2Contact* contact, const b2Manifold* old_manifold) override;
    void PostSolve(b2Contact* contact, const b2ContactImpulse* impulse) override;

    bool CheckWeld(Actor* self, Actor* other, b2Contact* contact, const b2ContactImpulse* impulse);
    void SetHeadAngle(Actor* a, Actor* b, b2Contact* contact);
    void PlayWeldSounds(Actor* self, Actor* other);

    // The level being played, not owned; without one the level counts as
    // settling (clock 0, nothing held, worm alive).
    const ContactLevel* level = nullptr;

    // The last grab sound asked for and how many were asked for (the
    // sound itself may be missing from the data).
    const char* last_weld_sound = nullptr;
    int weld_sounds = 0;

private:
    const ContactLevel& Level() const;
    void OrientEnd(Actor* end, Actor* surface, b2Contact* contact);
};

#endif
