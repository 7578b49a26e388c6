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

// What the rules read of the level being played. The game's level record
// extends it.
struct ContactLevel {
    int clock_ms = 0;        // the level clock; welds before it starts are silent
    bool worm_dead = false;  // the last life is lost: nothing welds any more
    float drag_time = 0;     // seconds since an end was grabbed; -1 while nothing is held
};

// The grab sounds a weld asks for.
enum GrabSound { GRAB_SOUND_HEAD, GRAB_SOUND_TAIL, GRAB_SOUND_TAIL_HARD };

// The game's side of the rules: the level being played and the grab
// sounds, which are the game's. The game hands its own to
// ActorContactListener::game before it steps a world.
class ContactGame {
public:
    virtual const ContactLevel* Level() const = 0;
    virtual const char* GrabSoundName(GrabSound sound) const = 0;
    virtual void PlayGrabSound(GrabSound sound) = 0;

protected:
    ~ContactGame() = default;
};

class ActorContactListener : public b2ContactListener {
public:
    void BeginContact(b2Contact* contact) override;
    void PreSolve(b2Contact* contact, const b2Manifold* old_manifold) override;
    void PostSolve(b2Contact* contact, const b2ContactImpulse* impulse) override;

    bool CheckWeld(Actor* self, Actor* other, b2Contact* contact, const b2ContactImpulse* impulse);
    void SetHeadAngle(Actor* a, Actor* b, b2Contact* contact);
    void PlayWeldSounds(Actor* self, Actor* other);

    // The game's side, shared by every simulation; null without a game.
    static ContactGame* game;

    // The level being played: null for the game's. A test may point it at
    // a record of its own; without a record the level counts as settling
    // (clock 0, nothing held, worm alive).
    const ContactLevel* level = nullptr;

    // The name of the last grab sound asked for and how many were asked
    // for (the game may have no sound loaded for it).
    const char* last_weld_sound = nullptr;
    int weld_sounds = 0;

private:
    const ContactLevel& Level() const;
    void OrientEnd(Actor* end, Actor* surface, b2Contact* contact);
};

#endif
