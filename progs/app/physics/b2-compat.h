// The one place where the game meets the Box2D version it is built with.
// The game's physics was written against the 2.2 interface; Debian ships
// 2.4.1, whose differences (user data records, the extra wake flag of the
// impulse calls, the renamed debug draw and body flag, the vertex count,
// spring joints described by stiffness and damping, no rope joint) are
// absorbed here so the rest of the game reads the same on either.
//
// 2.4.1 is built with assertions: a malformed polygon, a negative density
// or a change of the world during a step aborts the process. Shapes are
// validated before they get here (actor-shapes.h) and world changes made
// from callbacks are queued (physics-manager.h).
//
// B2_USER_SETTINGS must stay undefined: it changes the layout of the
// library's structures.
#ifndef APP_B2_COMPAT_H
#define APP_B2_COMPAT_H

#include <float.h>
#include <math.h>
#include <stdint.h>

#include <box2d/box2d.h>

struct Actor;

// Actors ride in the body's user data.
inline void B2SetBodyActor(b2Body* body, Actor* actor) {
    if (body) body->GetUserData().pointer = (uintptr_t)actor;
}
inline Actor* B2GetBodyActor(const b2Body* body) {
    return body ? (Actor*)const_cast<b2Body*>(body)->GetUserData().pointer : nullptr;
}
inline Actor* B2GetFixtureActor(const b2Fixture* fixture) {
    return fixture ? B2GetBodyActor(fixture->GetBody()) : nullptr;
}

inline void B2SetBodyDefActive(b2BodyDef* def, bool on) { def->enabled = on; }
inline void B2SetBodyActive(b2Body* body, bool on) { body->SetEnabled(on); }
inline bool B2IsBodyActive(const b2Body* body) { return body->IsEnabled(); }

inline void B2ApplyLinearImpulse(b2Body* body, const b2Vec2& impulse, const b2Vec2& point) {
    body->ApplyLinearImpulse(impulse, point, true);
}
inline void B2ApplyForce(b2Body* body, const b2Vec2& force, const b2Vec2& point) {
    body->ApplyForce(force, point, true);
}
inline void B2ApplyAngularImpulse(b2Body* body, float impulse) { body->ApplyAngularImpulse(impulse, true); }

inline void B2DrawDebugData(b2World* world) { world->DebugDraw(); }

inline int32 B2PolygonCount(const b2PolygonShape& p) { return p.m_count; }
inline void B2SetPolygonCount(b2PolygonShape& p, int32 n) { p.m_count = n; }

// A distance joint as a spring of a frequency (Hz) and a damping ratio.
// 2.4 makes a freshly initialised joint rigid (min = max = the current
// length), so the spring is given its full range.
inline void B2SetDistanceSpring(b2DistanceJointDef* def, float hz, float ratio) {
    b2LinearStiffness(def->stiffness, def->damping, hz, ratio, def->bodyA, def->bodyB);
    def->minLength = 0.0f;
    def->maxLength = FLT_MAX;
}

// The 2.2 rope joint: resists only stretching past `max_length`.
inline void B2InitRope(b2DistanceJointDef* def, b2Body* a, b2Body* b, const b2Vec2& local_a,
                       const b2Vec2& local_b, float max_length) {
    def->bodyA = a;
    def->bodyB = b;
    def->localAnchorA = local_a;
    def->localAnchorB = local_b;
    def->length = max_length;
    def->minLength = 0.0f;
    def->maxLength = max_length;
    def->stiffness = 0.0f;
    def->damping = 0.0f;
}

// The 2.2 mouse joint spring (5 Hz, ratio 0.7 on body B's mass).
inline void B2SetMouseSpring(b2MouseJointDef* def, float hz = 5.0f, float ratio = 0.7f) {
    float m = def->bodyB ? def->bodyB->GetMass() : 0.0f;
    float omega = 2.0f * b2_pi * hz;
    def->stiffness = m * omega * omega;
    def->damping = 2.0f * m * ratio * omega;
}

#endif
