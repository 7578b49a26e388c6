#include "physics/actor-contact-listener.h"

#include <math.h>

#include "physics/actor-shapes.h"
#include "physics/actor.h"
#include "physics/b2-compat.h"
#include "physics/physics-manager.h"

ContactGame* ActorContactListener::game = nullptr;

const ContactLevel& ActorContactListener::Level() const {
    static const ContactLevel settling = [] {
        ContactLevel l{};
        l.drag_time = -1.0f;
        return l;
    }();
    const ContactLevel* played = level ? level : game ? game->Level() : nullptr;
    return played ? *played : settling;
}

static float Speed(const b2Body* body) { return body ? body->GetLinearVelocity().Length() : 0.0f; }

static void SpawnAtPoints(PhysicsSimulation* sim, b2Contact* contact, fx_t* fx, float angle, int copies) {
    if (!fx) return;
    b2WorldManifold wm;
    contact->GetWorldManifold(&wm);
    int n = contact->GetManifold()->pointCount;
    for (int i = 0; i < n; i++)
        for (int c = 0; c < copies; c++)
            sim->SpawnEffect(sim->front_particles, fx, vec2_t{wm.points[i].x, wm.points[i].y}, angle, 0.01f * c);
}

void ActorContactListener::BeginContact(b2Contact* contact) {
    PhysicsSimulation* sim = PhysicsSimulation::active_sim;
    if (!sim || sim->editor_mode || !contact) return;
    Actor* A = B2GetFixtureActor(contact->GetFixtureA());
    Actor* B = B2GetFixtureActor(contact->GetFixtureB());
    if (!A || !B) return;
    const float v = Speed(A->body) + Speed(B->body);
    if (v > 4.0f) {
        b2WorldManifold wm;
        contact->GetWorldManifold(&wm);
        int n = contact->GetManifold()->pointCount;
        for (int i = 0; i < n; i++) {
            if (A->hit_fx_cooldown < 0.01f && B->hit_fx_cooldown < 0.01f) {
                vec2_t p = {wm.points[i].x, wm.points[i].y};
                if (A->shape) sim->SpawnEffect(sim->front_particles, A->shape->fx_hit, p, A->body->GetAngle());
                if (B->shape) sim->SpawnEffect(sim->front_particles, B->shape->fx_hit, p, B->body->GetAngle());
            }
            // A worm part shows at most one hit effect per half second.
            A->hit_fx_cooldown = A->IsWormPart() ? 0.5f : 0.0f;
            B->hit_fx_cooldown = B->IsWormPart() ? 0.5f : 0.0f;
        }
    }
    if (A->behavior) A->behavior->OnContact(A, B, contact);
    if (B->behavior) B->behavior->OnContact(B, A, contact);
    // A behaviour may have asked for either actor's destruction; that
    // waits for the step's end, so both records are still whole here.
    sim->DealDamage(A, v * 0.04f * (B->shape ? B->shape->damage : 0.0f));
    sim->DealDamage(B, v * 0.04f * (A->shape ? A->shape->damage : 0.0f));
    SetHeadAngle(A, B, contact);
}

static bool DyingHazardLetsWormThrough(const Actor* hazard, const Actor* worm) {
    return hazard->Has(TAG_HAZARD) && worm->IsWormPart() && hazard->state == ACTOR_STATE_DYING && hazard->alpha < 0.99f;
}

void ActorContactListener::PreSolve(b2Contact* contact, const b2Manifold*) {
    if (!contact) return;
    Actor* A = B2GetFixtureActor(contact->GetFixtureA());
    Actor* B = B2GetFixtureActor(contact->GetFixtureB());
    if (!A || !B) return;
    if (DyingHazardLetsWormThrough(A, B) || DyingHazardLetsWormThrough(B, A)) contact->SetEnabled(false);
}

void ActorContactListener::PostSolve(b2Contact* contact, const b2ContactImpulse* impulse) {
    if (!contact || !impulse || Level().worm_dead) return;
    Actor* A = B2GetFixtureActor(contact->GetFixtureA());
    Actor* B = B2GetFixtureActor(contact->GetFixtureB());
    if (!A || !B) return;
    if (CheckWeld(A, B, contact, impulse)) SetHeadAngle(A, B, contact);
    if (!Level().worm_dead && CheckWeld(B, A, contact, impulse)) SetHeadAngle(A, B, contact);
}

bool ActorContactListener::CheckWeld(Actor* self, Actor* other, b2Contact* contact, const b2ContactImpulse* impulse) {
    if (!self || !other || !self->body || !other->body || !impulse) return false;
    const float t = Level().drag_time;
    // Just after a grab the ends do not stick (the player is pulling them
    // off), unless they are set to stick on their next touch.
    if (t >= -0.001f && t <= 0.1f && !self->stick_on_touch) return false;
    if (!self->Has(TAG_WORM_HEAD | TAG_WORM_TAIL)) return false;
    if (self->welded) return false;
    if (other->body->GetType() != b2_staticBody && !other->Has(TAG_GRABBABLE)) return false;
    float threshold = 25.0f;
    if (t >= -0.5f) threshold = 25.0f / fmaxf(5.0f * t, 0.001f);
    const float push = impulse->count > 0 ? impulse->normalImpulses[0] : 0.0f;
    if (push <= threshold && !self->stick_on_touch) return false;
    if (other->Has(TAG_NON_STICK)) return false;
    // Only the tail holds on slippery things.
    if (other->Has(TAG_SLIPPERY) && !self->Has(TAG_WORM_TAIL)) return false;

    // The worm behaviour makes the joint after the step.
    self->weld_target = other;
    self->stick_on_touch = 0;
    PlayWeldSounds(self, other);
    PhysicsSimulation* sim = PhysicsSimulation::active_sim;
    if (sim && contact && other->shape && other->shape->fx_hit)
        SpawnAtPoints(sim, contact, other->shape->fx_hit, other->body->GetAngle(), 4);
    return true;
}

void ActorContactListener::OrientEnd(Actor* end, Actor* surface, b2Contact* contact) {
    if (!end->Has(TAG_WORM_HEAD | TAG_WORM_TAIL) || end->welded || !end->body || !surface->body) return;
    if (surface->body->GetType() != b2_staticBody && !surface->Has(TAG_GRABBABLE)) return;
    const b2Manifold* m = contact->GetManifold();
    const float half_pi = 1.5707964f;
    if (m->type != b2Manifold::e_circles) {
        end->angle_offset =
            atan2f(m->localNormal.y, m->localNormal.x) + half_pi + surface->body->GetAngle() - end->body->GetAngle();
    } else {
        b2Vec2 e = end->body->GetPosition(), s = surface->body->GetPosition();
        end->angle_offset = atan2f(e.y - s.y, e.x - s.x) + half_pi - end->body->GetAngle();
    }
}

void ActorContactListener::SetHeadAngle(Actor* a, Actor* b, b2Contact* contact) {
    if (!a || !b || !contact) return;
    OrientEnd(a, b, contact);
    OrientEnd(b, a, contact);
}

void ActorContactListener::PlayWeldSounds(Actor* self, Actor* other) {
    // The welds made while the level settles, before the first grab, are
    // silent.
    if (Level().clock_ms < 1 || !self || !other) return;
    GrabSound sound;
    if (self->Has(TAG_WORM_HEAD) || other->Has(TAG_WORM_HEAD))
        sound = GRAB_SOUND_HEAD;
    else if (self->Has(TAG_WORM_TAIL) || other->Has(TAG_WORM_TAIL))
        sound = (self->Has(TAG_SLIPPERY) || other->Has(TAG_SLIPPERY)) ? GRAB_SOUND_TAIL_HARD : GRAB_SOUND_TAIL;
    else
        return;
    last_weld_sound = game ? game->GrabSoundName(sound) : nullptr;
    weld_sounds++;
    if (game) game->PlayGrabSound(sound);
}
