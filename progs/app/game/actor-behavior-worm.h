// The behaviour "WORM" that every part of the worm carries (head, body
// links and tail). It decides what a touch of the worm does: a free end
// welds to what the contact rules chose, fruit is collected and eggs
// break, the tail end of the worm kills bugs, and anything else harmful
// costs a life, pushes the worm away and leaves it invulnerable for two
// seconds. It also draws the whole worm: the body as one textured strip
// through every part and the head and tail with their expressions.
//
// Like every behaviour it keeps no state: the parts' actor records, the
// active simulation and the game's `level` hold it all. OnContact runs
// inside the world's step, so whatever it changes in the world (the push
// of a hit) is queued for the step's end; the welds are made by Update,
// outside the step.
#ifndef APP_ACTOR_BEHAVIOR_WORM_H
#define APP_ACTOR_BEHAVIOR_WORM_H

#include "physics/actor.h"

class PhysicsSimulation;

class ActorBehaviorWorm : public ActorBehavior {
public:
    ActorBehaviorWorm() : ActorBehavior("WORM") {}

    // The worm is drawn in the foreground pass only.
    void Draw(Actor*) override {}
    // The body strip (when called for the head) and the head or tail.
    void DrawForeground(Actor* self) override;
    // Counts down the hit effect cool-down and makes the weld the contact
    // rules asked for.
    void Update(Actor* self, float dt) override;
    bool OnContact(Actor* self, Actor* other, b2Contact* contact) override;
    // Worm parts are never removed by the hit-point rule.
    bool ShouldBeDestroyed(Actor*) override { return false; }

    // Fruit (COLLECTABLE) is collected once; anything else required is an
    // egg, which breaks.
    void WormHitRequiredTarget(Actor* self, Actor* other);
    // The tail end of the worm kills; elsewhere the worm is hurt.
    void WormHitHazard(Actor* self, Actor* other, b2Contact* contact);
    // Without a contact the kill needs no speed and shows no effects.
    void HitBug(Actor* self, Actor* other, b2Contact* contact);
    void GetHit(Actor* self, Actor* other, b2Contact* contact);
    void KillBoss(Actor* self, Actor* boss, b2Contact* contact);
    static void PlayKillSound(const Actor* bug);

    // Draws the body strip through the worm's parts with the drawing colour
    // (1, c, c); false when there is nothing to draw.
    static bool DrawBodyStrip(const PhysicsSimulation* sim, float c);
    // The worm's last parts that kill what they hit: the tail and the six
    // links before it.
    static bool IsKillingPart(const Actor* part, int parts);
};

#endif
