// The behaviours of collectables, the worm hole, the end bug, free-turning
// pegs, breakable blocks and the moon, and the helpers the behaviours
// share.
#include "game/actor-behaviors-collectables.h"

#include <limits.h>
#include <math.h>
#include <stdlib.h>

#include "audioman.h"
#include "game/actor-behaviors-hazards.h"
#include "game/game-level.h"
#include "game/game-rules.h"
#include "particle-effects.h"
#include "physics/actor-behaviors.h"
#include "physics/actor-shapes.h"
#include "physics/b2-compat.h"
#include "physics/physics-manager.h"
#include "profiles.h"

// ---------------------------------------------------------------- helpers

void RaiseProfileStatistic(const char* name) {
    if (!prof || !name) return;
    const char* text = prof->GetValue("GAME", name, "amount");
    long n = 0;
    if (text) {
        char* end = nullptr;
        n = strtol(text, &end, 10);
        if (end == text || n < 0) n = 0;
    }
    if (n < INT_MAX) n++;
    prof->SetValuef("GAME", name, "amount", "%d", (int)n);
}

void PlayLibSound(LibSound slot, float low, float high) {
    kd_sound_t* s = lib.Sound(slot);
    // Centred: a fixed pan would put every hit on one side of the stereo
    // picture.
    if (s) aman.PlaySound(s, 1.0f, 0.0f, low == high ? low : randf(low, high));
}

void SpawnLibEffect(PhysicsSimulation* sim, LibEffect slot, vec2_t at, float angle) {
    if (sim) sim->SpawnEffect(sim->front_particles, lib.Effect(slot), at, angle);
}

float RopeLength(const PhysicsSimulation* sim) {
    const kd_bitmap_t* rope = lib.Bitmap(LIB_ROPE);
    const float px = rope && rope->height > 0 ? (float)rope->height : 66.0f;
    return px * (sim ? sim->metres_per_pixel : 1.0f / 30.0f);
}

void StartRope(const PhysicsSimulation* sim) {
    level.rope_state = 1;
    level.rope_y = (sim ? sim->world_bounds[1] : 0.0f) - RopeLength(sim);
}

static vec2_t Position(const Actor* a) {
    const b2Vec2 p = a->body->GetPosition();
    return vec2_t{p.x, p.y};
}

namespace {
class ShockwaveChange : public WorldChange {
public:
    explicit ShockwaveChange(vec2_t a) : at(a) {}
    void Apply(PhysicsSimulation* sim) override { EndLevelShockwave(sim, at); }
    vec2_t at;
};
}  // namespace

void EndLevelShockwave(PhysicsSimulation* sim, vec2_t at) {
    if (!sim || !sim->world || !isfinite(at.x) || !isfinite(at.y)) return;
    if (sim->IsStepping()) {
        sim->QueueChange(new ShockwaveChange(at));
        return;
    }
    SpawnLibEffect(sim, LIB_FX_LEVEL_END_SHOCKWAVE, at, 0.0f);
    for (int i = 0; i < sim->actors.count; i++) {
        Actor* a = sim->actors[i];
        if (!a->Has(TAG_HAZARD) || a->triggered || !a->body) continue;
        b2Body* body = a->body;
        const vec2_t p = Position(a);
        vec2_t dir;
        if (body->GetType() == b2_dynamicBody && UnitVector(vec2_t{p.x - at.x, p.y - at.y}, &dir)) {
            B2ApplyForce(body, b2Vec2(50.0f * dir.x, 50.0f * dir.y), body->GetWorldCenter());
            const float inertia = body->GetInertia();
            const float spin = randf(-20.0f, 20.0f);
            if (inertia > 0.0f) body->SetAngularVelocity(body->GetAngularVelocity() + spin / inertia);
        }
        if (a->shape) sim->SpawnEffect(sim->front_particles, a->shape->fx_destroyed, p, body->GetAngle());
        a->state = HAZARD_DYING;
        a->triggered = 1;
    }
}

// ---------------------------------------------------------------- collectable

// Every behaviour that starts upright: the body turned to angle 0 where it
// stands.
static void Upright(Actor* actor) {
    if (actor && actor->body) actor->body->SetTransform(actor->body->GetPosition(), 0.0f);
}

void ActorBehaviorCollectable::Init(Actor* actor) { Upright(actor); }

void ActorBehaviorCollectable::Draw(Actor* actor) {
    kd->SetAlpha(actor->alpha);
    ActorBehavior::Draw(actor);
    kd->SetAlpha(1.0f);
}

namespace {
// The weld that holds a fruit in place once it has glided home; made after
// the step when asked for during one, and dropped with the fruit.
class HoldInPlace : public WorldChange {
public:
    explicit HoldInPlace(Actor* a) : actor(a) {}
    void Apply(PhysicsSimulation* sim) override {
        if (!sim->world || !sim->ground_body || !actor->body) return;
        b2WeldJointDef def;
        def.Initialize(sim->ground_body, actor->body, actor->body->GetWorldCenter());
        def.collideConnected = true;
        sim->world->CreateJoint(&def);
    }
    bool Refers(const Actor* a) const override { return a == actor; }
    Actor* actor;
};
}  // namespace

void ActorBehaviorCollectable::Update(Actor* actor, float dt) {
    PhysicsSimulation* sim = PhysicsSimulation::active_sim;
    b2Body* body = actor->body;
    if (!sim || !body) return;
    if (!actor->triggered) {
        if (actor->alpha < 0.01f) body->SetTransform(b2Vec2(actor->start_position.x, actor->start_position.y), 0.0f);
        actor->alpha = fminf(actor->alpha + 5.0f * dt, 1.0f);
    }
    // All fruit rock together with the level clock.
    actor->angle_offset = sinf((float)level.clock_ms / 1000.0f) / 5.0f;

    const float step = 10.0f * dt;
    vec2_t& d = actor->draw_offset;
    vec2_t unit;
    if (UnitVector(d, &unit) && d.x * d.x + d.y * d.y > step * step) {
        d.x -= unit.x * step;
        d.y -= unit.y * step;
    } else if (d.x != 0.0f || d.y != 0.0f) {
        d = vec2_t{0.0f, 0.0f};
        if (body->GetType() != b2_staticBody) body->SetLinearVelocity(b2Vec2(0.0f, 0.0f));
        sim->QueueChange(new HoldInPlace(actor));
    }
}

// ---------------------------------------------------------------- worm hole

void ActorBehaviorWormHole::Init(Actor* actor) { Upright(actor); }

// How far above the hole's centre the rope ends.
static float RopeRest(float hole_y, float rope_length) { return hole_y - 0.6f - rope_length / 2.0f; }

void ActorBehaviorWormHole::Update(Actor* actor, float dt) {
    PhysicsSimulation* sim = PhysicsSimulation::active_sim;
    b2Body* body = actor->body;
    if (!sim || !body) return;
    if (!level.all_collected || level.ending)
        actor->alpha = fminf(actor->alpha + 0.75f * dt, 1.0f);
    else
        actor->alpha = fmaxf(actor->alpha - 0.75f * dt, 0.0f);

    const float L = RopeLength(sim);
    const b2Vec2 hole = body->GetPosition();
    if (level.rope_state == 1) {
        level.rope_y += 10.0f * dt;
        const float rest = RopeRest(hole.y, L);
        if (level.rope_y > rest) {
            level.rope_y = rest;
            level.rope_state = 2;
        }
    } else if (level.rope_state == 2) {
        if (level.ending) level.rope_state = 3;
    } else if (level.rope_state == 3) {
        const float top = sim->world_bounds[1];
        if (hole.y > top - 100.0f && sim->worm_parts.count > 0) {
            const float up = 1.5f * dt;
            body->SetTransform(b2Vec2(hole.x, hole.y - up), body->GetAngle());
            level.rope_y = RopeRest(hole.y - up, L);
            // Only an end that grips is carried along; a free one stays.
            Actor* ends[2] = {sim->worm_parts[0], sim->worm_parts[sim->worm_parts.count - 1]};
            for (int k = 0; k < 2; k++) {
                Actor* end = ends[k];
                if (k == 1 && end == ends[0]) break;
                if (!end->welded || !end->body) continue;
                const b2Vec2 p = end->body->GetPosition();
                end->body->SetTransform(b2Vec2(p.x, p.y - up), end->body->GetAngle());
            }
        }
    }
}

void ActorBehaviorWormHole::DrawForeground(Actor* actor) {
    PhysicsSimulation* sim = PhysicsSimulation::active_sim;
    if (!sim || sim->editor_mode || level.rope_state == 0 || !actor->body) return;
    kd_bitmap_t* rope = lib.Bitmap(LIB_ROPE);
    const b2Fixture* fixture = actor->body->GetFixtureList();
    if (!rope || !fixture || !isfinite(level.rope_y)) return;
    b2AABB box;
    fixture->GetShape()->ComputeAABB(&box, actor->body->GetTransform(), 0);
    const float w = (box.upperBound.x - box.lowerBound.x) / 2.0f;
    const b2Vec2 hole = actor->body->GetPosition();
    const float top = sim->world_bounds[1];
    const float y0 = level.rope_y + 0.1f;
    const float step = 0.93f * RopeLength(sim);
    if (!(step > 0.0f) || !(top < y0 + step)) return;
    // A rope longer than any world needs is a broken world; it is cut.
    const int max_tiles = 4096;
    float y = y0;
    for (int i = 0; i < max_tiles; i++, y -= step) {
        kd->DrawBitmapRS(rope, hole.x - 0.8f * w, y, 0.0f, sim->metres_per_pixel);
        kd->DrawBitmapRS(rope, hole.x + 0.8f * w, y, 0.0f, sim->metres_per_pixel);
        if (y <= top) break;
    }
}

// ---------------------------------------------------------------- end bug

void ActorBehaviorEndBug::Init(Actor* actor) { Upright(actor); }

bool ActorBehaviorEndBug::OnContact(Actor* self, Actor* other, b2Contact*) {
    if (!self || !other || !other->Has(TAG_WORM_HEAD | TAG_WORM_TAIL)) return true;
    if (self->state != END_BUG_OUCH) PlayLibSound(LIB_SND_HITTING_GREEDY_BUG, 0.9f, 1.1f);
    self->state = END_BUG_OUCH;
    self->state_time = 0.0f;
    return true;
}

void ActorBehaviorEndBug::Update(Actor* actor, float dt) {
    b2Body* body = actor->body;
    if (level.rope_state != 0) {
        // It flies off as the rope comes down.
        if (body && body->GetType() != b2_staticBody) {
            b2Vec2 v = body->GetLinearVelocity();
            body->SetLinearVelocity(b2Vec2(v.x, v.y - 5.0f * dt));
        }
        level.wing_time += 3.0f * dt;
    }
    actor->state_time += dt;
    if (actor->action_timer < 1.0f) actor->action_timer = randf(5.0f, 15.0f);
    switch (actor->state) {
        case END_BUG_IDLE:
            if (actor->state_time > actor->action_timer) {
                actor->state = END_BUG_BLINKING;
                actor->state_time = 0.0f;
                actor->action_timer = randf(5.0f, 15.0f);
            }
            break;
        case END_BUG_BLINKING:
        case END_BUG_OUCH:
            if (actor->state_time > 0.5f) {
                actor->state = END_BUG_IDLE;
                actor->state_time = 0.0f;
            }
            break;
        default:
            actor->state = END_BUG_IDLE;
            actor->state_time = 0.0f;
            break;
    }
}

void ActorBehaviorEndBug::DrawForeground(Actor* actor) {
    PhysicsSimulation* sim = PhysicsSimulation::active_sim;
    if (!sim || !actor->body) return;
    const float m = sim->metres_per_pixel;
    const b2Vec2 p = actor->body->GetPosition();
    const float angle = actor->body->GetAngle();
    const float t = level.wing_time;
    // Folded at rest; they open and then beat while the rope comes down.
    const float f = t < 0.5f ? 2.0f - 4.0f * t : 0.75f * sinf((1.0f - 2.0f * t) * 3.14159265f);
    const kd_bitmap_t* own = actor->shape ? actor->shape->bitmap : nullptr;
    const float wing_y = p.y - (own ? (float)own->height * 0.1f * m : 0.0f) + 1.0f;
    if (kd_bitmap_t* right = lib.Bitmap(LIB_BUG_WING_RIGHT)) kd->DrawBitmapRS(right, p.x + 0.6f, wing_y, angle + f, m);
    if (kd_bitmap_t* left = lib.Bitmap(LIB_BUG_WING_LEFT)) kd->DrawBitmapRS(left, p.x - 0.6f, wing_y, angle - f, m);
    kd->SetAlpha(1.0f);
    kd_bitmap_t* pose = actor->state == END_BUG_BLINKING ? lib.Bitmap(LIB_END_BUG_BLINK)
                        : actor->state == END_BUG_OUCH   ? lib.Bitmap(LIB_END_BUG_OUCH)
                                                         : nullptr;
    if (pose)
        kd->DrawBitmapRS(pose, p.x + actor->draw_offset.x, p.y + actor->draw_offset.y, angle, m);
    else
        ActorBehavior::Draw(actor);
}

// ---------------------------------------------------------------- free-spinning peg

void ActorBehaviorRotateFree::Update(Actor* actor, float dt) {
    if (!actor->body) return;
    const float w = fabsf(actor->body->GetAngularVelocity());
    actor->state_time += dt * w;
    if (w > 0.5f && actor->state_time > 0.35f) {
        PlayLibSound(LIB_SND_ROTATING_PEG, 0.8f, 1.2f);
        actor->state_time = 0.0f;
    }
}

// ---------------------------------------------------------------- breakable block

void ActorBehaviorDestroyableBlock::OnDestroyed(Actor* actor) {
    RaiseProfileStatistic("blocks_destroyed");
    PhysicsSimulation* sim = PhysicsSimulation::active_sim;
    ActorShape* shape = actor->shape;
    if (!sim || !shape || !shape->fx_destroyed || !actor->body) return;
    const float H = shape->bitmap ? (float)shape->bitmap->height * sim->metres_per_pixel : 0.0f;
    const float a = actor->body->GetAngle();
    const vec2_t c = Position(actor);
    auto burst = [&](float dx, float dy) {
        sim->SpawnEffect(sim->front_particles, shape->fx_destroyed, vec2_t{c.x + dx, c.y + dy}, a);
    };
    if (actor->Has(TAG_DESTROYABLE_BLOCK_LONG)) {
        // Along the block's length, which stands upright at angle 0.
        for (float k : {3.0f / 8.0f, 1.0f / 8.0f, -3.0f / 8.0f, -1.0f / 8.0f}) burst(k * H * sinf(a), -k * H * cosf(a));
    } else if (actor->Has(TAG_DESTROYABLE_BLOCK_BIG)) {
        const float q = H / 4.0f;
        burst(q, q);
        burst(q, -q);
        burst(-q, q);
        burst(-q, -q);
    } else {
        burst(0.0f, 0.0f);
    }
}

// ---------------------------------------------------------------- registration

void GameRules::MakeCollectableBehaviors(ActorBehaviors::Made& made) {
    made.emplace_back(new ActorBehaviorCollectable());
    made.emplace_back(new ActorBehaviorWormHole());
    made.emplace_back(new ActorBehaviorEndBug());
    made.emplace_back(new ActorBehaviorRotateFree());
    made.emplace_back(new ActorBehaviorDestroyableBlock());
    made.emplace_back(new ActorBehaviorMoon());
}
