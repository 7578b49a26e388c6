// The behaviours of moving things, hazards and the boss.
#include "game/actor-behaviors-hazards.h"

#include <math.h>

#include "game/actor-behaviors-collectables.h"
#include "game/game-level.h"
#include "game/game-lib.h"
#include "game/game-rules.h"
#include "physics/actor-behaviors.h"
#include "physics/actor-shapes.h"
#include "physics/b2-compat.h"
#include "physics/physics-manager.h"
#include "ui/screen-manager.h"

void GameRules::MakeHazardBehaviors(ActorBehaviors::Made& made) {
    made.emplace_back(new ActorBehaviorMoving());
    made.emplace_back(new ActorBehaviorMovingHazard());
    made.emplace_back(new ActorBehaviorHazardAmmo());
    made.emplace_back(new ActorBehaviorHazardHoming());
    made.emplace_back(new ActorBehaviorHazardMine());
}

bool HazardsMayCollide(const Actor* a, const Actor* b) {
    if (!a || !b) return true;
    const uint32_t firing = TAG_SHOOTING | TAG_MINE;
    return !((a->Has(TAG_AMMO) && b->Has(firing)) || (b->Has(TAG_AMMO) && a->Has(firing)));
}

// ---------------------------------------------------------------- helpers

namespace {

const float kPi = 3.14159265f;

vec2_t Position(const Actor* a) {
    const b2Vec2 p = a->body->GetPosition();
    return vec2_t{p.x, p.y};
}

float Distance(vec2_t a, vec2_t b) { return sqrtf((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y)); }

// The point between the worm's head and tail, which the hazards aim at.
// False when the world has no worm (the editor's, or a broken level).
bool WormMidpoint(const PhysicsSimulation* sim, vec2_t* m) {
    const Actor* head = sim->WormHead();
    const Actor* tail = sim->WormTail();
    if (!head || !tail || !head->body || !tail->body) return false;
    const vec2_t h = Position(head), t = Position(tail);
    *m = vec2_t{(h.x + t.x) * 0.5f, (h.y + t.y) * 0.5f};
    return true;
}

// Whether the worm's head or its tail is closer to p than `reach`.
bool WormEndWithin(const PhysicsSimulation* sim, vec2_t p, float reach) {
    const Actor* ends[2] = {sim->WormHead(), sim->WormTail()};
    for (const Actor* e : ends)
        if (e && e->body && Distance(Position(e), p) < reach) return true;
    return false;
}

// The direction from the actor towards the worm; false without a worm or
// with the worm right on the actor's centre.
bool TowardsWorm(const PhysicsSimulation* sim, const Actor* a, vec2_t* dir) {
    vec2_t m;
    if (!WormMidpoint(sim, &m)) return false;
    const vec2_t p = Position(a);
    return UnitVector(vec2_t{m.x - p.x, m.y - p.y}, dir);
}

b2Joint* FirstJoint(b2Body* body, b2JointType type) {
    for (b2JointEdge* e = body->GetJointList(); e; e = e->next)
        if (e->joint->GetType() == type) return e->joint;
    return nullptr;
}

// Box2D aborts on a joint destroyed during its step; behaviours update
// between steps, so the guard only keeps a stray call harmless.
void DestroyFirstJoint(PhysicsSimulation* sim, b2Body* body, b2JointType type) {
    if (sim->IsStepping()) return;
    if (b2Joint* j = FirstJoint(body, type)) sim->world->DestroyJoint(j);
}

void FaceTheWayItFlies(Actor* a) {
    const float vx = a->body->GetLinearVelocity().x;
    if (vx > 0.2f) a->mirrored = 1;
    if (vx < -0.2f) a->mirrored = 0;
}

// A spent hazard: its hit points go (the simulation removes it on its next
// update) and its destruction effect shows, once.
void Spend(PhysicsSimulation* sim, Actor* a) {
    if (a->hit_points < 0) return;
    sim->SetHitPoints(a, -1);
    fx_t* fx = a->shape ? a->shape->fx_destroyed : nullptr;
    sim->SpawnEffect(sim->front_particles, fx, Position(a), a->body->GetAngle());
}

// Idle for `action_timer` seconds, then a blink of half a second; a hit
// pose also lasts half a second, dying is final and breaking loose (homing
// bugs only) lasts two. `clock` is the field that counts the seconds in
// the current state.
void StepExpression(Actor* a, float* clock, bool can_break_loose) {
    if (a->action_timer < 1) a->action_timer = randf(5, 15);
    auto enter = [&](HazardState state) {
        a->state = state;
        *clock = 0;
    };
    switch (a->state) {
        case HAZARD_IDLE:
            if (*clock > a->action_timer) {
                enter(HAZARD_BLINKING);
                a->action_timer = randf(5, 15);
            }
            break;
        case HAZARD_BLINKING:
        case HAZARD_HIT:
            if (*clock > 0.5f) enter(HAZARD_IDLE);
            break;
        case HAZARD_DYING: break;
        case HAZARD_BREAKING_LOOSE:
            if (!can_break_loose || *clock > 2) enter(HAZARD_IDLE);
            break;
        default: enter(HAZARD_IDLE);
    }
}

// A projectile made after the running step when asked for during one; the
// creation can still fail (no world, a position that is not finite), and
// then nothing is pushed.
class LaunchProjectile : public WorldChange {
public:
    LaunchProjectile(ActorShape* s, vec2_t p, vec2_t j) : shape(s), at(p), impulse(j) {}
    void Apply(PhysicsSimulation* sim) override {
        Actor* p = sim->CreateActor(shape, at, vec2_t{0, 0}, 0, 0, 1.5f);
        if (!p || !p->body) return;
        p->body->SetAwake(true);
        B2ApplyLinearImpulse(p->body, b2Vec2(impulse.x, impulse.y), p->body->GetWorldCenter());
    }
    ActorShape* shape;
    vec2_t at, impulse;
};

void Launch(PhysicsSimulation* sim, vec2_t at, vec2_t impulse) {
    ActorShape* shape = sim->ProjectileShape();
    if (shape) sim->QueueChange(new LaunchProjectile(shape, at, impulse));
}

// The boss's new movement joint; dropped when the boss goes first.
class BossJoint : public WorldChange {
public:
    BossJoint(Actor* a, vec2_t t, float s) : actor(a), target(t), speed(s) {}
    void Apply(PhysicsSimulation* sim) override {
        b2Body* body = actor->body;
        if (!body || !sim->world || !sim->ground_body) return;
        if (b2Joint* j = FirstJoint(body, e_prismaticJoint)) sim->world->DestroyJoint(j);
        const b2Vec2 c = body->GetWorldCenter();
        const vec2_t d = {target.x - c.x, target.y - c.y};
        vec2_t axis = {1, 0};
        const float length = UnitVector(d, &axis) ? sqrtf(d.x * d.x + d.y * d.y) : 0.0f;
        b2PrismaticJointDef def;
        def.Initialize(sim->ground_body, body, c, b2Vec2(axis.x, axis.y));
        def.enableLimit = true;
        def.lowerTranslation = 0;
        def.upperTranslation = length;
        // Already there: the zero window holds it.
        def.enableMotor = length > 0;
        def.maxMotorForce = 100000.0f;
        def.motorSpeed = 3 * speed;
        sim->world->CreateJoint(&def);
    }
    bool Refers(const Actor* a) const override { return a == actor; }
    Actor* actor;
    vec2_t target;
    float speed;
};

// The virtual screen's width over its height, by which the shooters'
// reach is flattened into an ellipse.
float ScreenAspect() {
    float w, h;
    ui_screen.ViewSize(&w, &h);
    return h >= 1 && w >= 1 ? w / h : 1.0f;
}

}  // namespace

// ---------------------------------------------------------------- flying bugs

void ActorBehaviorMovingHazard::Init(Actor* a) {
    if (a && a->body) a->body->SetTransform(a->body->GetPosition(), 0);
}

bool ActorBehaviorMovingHazard::OnContact(Actor* self, Actor* other, b2Contact*) {
    // Turning round at walls and the ground; a moving platform or another
    // bug does not turn it.
    if (!self || !other || !self->body || !other->body || other->body->GetType() != b2_staticBody) return true;
    for (b2JointEdge* e = self->body->GetJointList(); e; e = e->next) {
        if (e->joint->GetType() != e_prismaticJoint) continue;
        auto* j = (b2PrismaticJoint*)e->joint;
        j->SetMotorSpeed(-j->GetMotorSpeed());
    }
    return true;
}

void ActorBehaviorMovingHazard::CreateJointForBoss(Actor* actor, vec2_t target, float speed) {
    PhysicsSimulation* sim = PhysicsSimulation::active_sim;
    if (!sim || !actor || !actor->body || !isfinite(target.x) || !isfinite(target.y)) return;
    sim->QueueChange(new BossJoint(actor, target, speed));
}

bool ActorBehaviorMovingHazard::Shoot(Actor* bug) {
    PhysicsSimulation* sim = PhysicsSimulation::active_sim;
    vec2_t a;
    if (!sim || !bug || !bug->body || !TowardsWorm(sim, bug, &a)) return false;
    PlayLibSoundVaried(LIB_SND_SHOOTING);
    // Aimed a little high (+y is down): the shot falls on its way.
    a.y -= 0.2f + 0.1f * randf(0, 1);
    const vec2_t p = Position(bug);
    const vec2_t q = {p.x + a.x, p.y + a.y};
    const vec2_t impulse = {0.9f * a.x, 0.9f * a.y};
    if (bug->Has(TAG_BOSS)) {
        Launch(sim, vec2_t{q.x - 0.9f * a.y, q.y + 0.9f * a.x}, impulse);
        Launch(sim, vec2_t{q.x + 0.9f * a.y, q.y - 0.9f * a.x}, impulse);
    } else {
        Launch(sim, q, impulse);
    }
    return true;
}

// The boss waits where the world put it until it is down to 6 hit points,
// flies to its first path point and on to the second; at 3 it flies to the
// third and on to the fourth. Short paths end the route early.
static void FollowBossRoute(Actor* a) {
    const nArray<vec2_t>& p = a->path;
    const b2Vec2 c = a->body->GetWorldCenter();
    auto near = [&](vec2_t t) { return Distance(vec2_t{c.x, c.y}, t) < 0.5f; };
    if (a->counter == 0 && a->hit_points <= 6 && p.count >= 2) {
        ActorBehaviorMovingHazard::CreateJointForBoss(a, p[0], 1.5f);
        a->counter = 1;
    }
    if (a->counter == 1 && p.count >= 2 && near(p[0])) {
        ActorBehaviorMovingHazard::CreateJointForBoss(a, p[1], 0.75f);
        a->counter = 2;
    }
    if (a->counter == 2 && a->hit_points <= 3 && p.count >= 4) {
        ActorBehaviorMovingHazard::CreateJointForBoss(a, p[2], 1.75f);
        a->counter = 3;
    }
    if (a->counter == 3 && p.count >= 4 && near(p[2])) {
        ActorBehaviorMovingHazard::CreateJointForBoss(a, p[3], 1.0f);
        a->counter = 4;
    }
}

void ActorBehaviorMovingHazard::Update(Actor* a, float dt) {
    PhysicsSimulation* sim = PhysicsSimulation::active_sim;
    if (!a || !a->body || !sim) return;
    b2Body* body = a->body;
    const bool boss = a->Has(TAG_BOSS);

    a->state_time += dt;
    // The shot clock; the boss's runs at double speed.
    if (level.play_started) a->timer += boss ? 2 * dt : dt;
    // Once the level is ending no new shot comes; one about to go runs on.
    if ((level.ending || level.worm_dead) && a->timer >= 0 && a->timer < 2) a->timer = 0;
    a->hit_cooldown = fmaxf(a->hit_cooldown - dt, 0.0f);

    if (!a->triggered) {
        // Invisible while the prologue runs, then half a second to fade in.
        a->alpha = level.story_mode == STORY_PROLOGUE ? 0.0f : fminf(a->alpha + 2 * dt, 1.0f);
        FaceTheWayItFlies(a);
    } else {
        DestroyFirstJoint(sim, body, e_prismaticJoint);
        if (!boss) {
            // Slowly while it tumbles away, fast once it has landed.
            float rate = a->alpha > 0.8f ? 0.1f : 4.0f;
            if (a->alpha < 0.9f && body->GetLinearVelocity().Length() < 0.1f) rate = 4.0f;
            a->alpha -= rate * dt;
            if (a->alpha < 0.01f) {
                a->alpha = 0;
                if (a->Has(TAG_DESTROYABLE)) Spend(sim, a);
            }
        }
        const vec2_t f = a->fling_velocity;
        if (f.x * f.x + f.y * f.y > 0.01f * 0.01f) {
            if (body->GetType() != b2_staticBody) {
                body->SetAwake(true);
                body->SetLinearVelocity(b2Vec2(f.x * 0.25f, f.y * 0.25f));
            }
            a->fling_velocity = vec2_t{0, 0};
        }
    }

    StepExpression(a, &a->state_time, false);

    if (a->timer > 4.5f) {
        // A shooter fires only when alive, on screen and with the worm in
        // reach; a skipped shot waits for the next turn of the clock.
        if (a->Has(TAG_SHOOTING) && a->state != HAZARD_DYING && a->enabled && sim->IsPartlyInView(a)) Shoot(a);
        a->timer = -0.5f;
    }
    vec2_t m;
    if (a->Has(TAG_SHOOTING) && a->timer >= 0 && a->timer < 2.5f && a->state != HAZARD_DYING && WormMidpoint(sim, &m)) {
        const vec2_t p = Position(a);
        const float dx = m.x - p.x, dy = ScreenAspect() * (m.y - p.y);
        a->enabled = sqrtf(dx * dx + dy * dy) < 30;
    }
    // A killed boss stays where it fell.
    if (boss && !a->triggered) FollowBossRoute(a);
}

static void DrawBossWings(const Actor* a, vec2_t p, float angle, float mpp) {
    kd_bitmap_t* left = lib.Bitmap(LIB_BUG_WING_LEFT);
    kd_bitmap_t* right = lib.Bitmap(LIB_BUG_WING_RIGHT);
    const float flap = 0.75f * sinf((1 - 2 * level.anim_time) * kPi);
    const kd_bitmap_t* body_bm = a->shape ? a->shape->bitmap : nullptr;
    const float y = p.y + (body_bm ? body_bm->height : 0) * 0.05f * mpp;
    if (!a->mirrored) {
        if (right) kd->DrawBitmapRS(right, p.x + 0.6f, y, angle + flap, mpp);
        if (left) kd->DrawBitmapRS(left, p.x - 0.6f, y, angle - flap, mpp);
    } else {
        KD_DrawBitmapMirroredHorRS(left, p.x + 0.6f, y, angle + flap, mpp);
        KD_DrawBitmapMirroredHorRS(right, p.x - 0.6f, y, angle - flap, mpp);
    }
}

// The frame above the boss, filled from the left by its hit points out of 9.
static void DrawBossHealth(const Actor* a, vec2_t p, float scale) {
    const float y = p.y - ActorBehaviorMovingHazard::kBossBarAbove;
    if (kd_bitmap_t* back = lib.Bitmap(LIB_END_BUG_HEALTH_BACK)) kd->DrawBitmapRS(back, p.x, y, 0, scale);
    kd_bitmap_t* fill = lib.Bitmap(LIB_END_BUG_HEALTH);
    if (!fill) return;
    const float f = fminf(fmaxf(a->hit_points / 9.0f, 0.0f), 1.0f);
    const float w = fill->width * scale, h = fill->height * scale;
    const float x0 = p.x - w / 2, y0 = y - h / 2, x1 = x0 + w * f, y1 = y0 + h;
    const float z = kd->GetDepthDefault();
    const uint32_t white = 0xFFFFFFFFu;
    kd_vertex_t v[4] = {
        {x0, y0, z, white, 0, 0},
        {x1, y0, z, white, f, 0},
        {x0, y1, z, white, 0, 1},
        {x1, y1, z, white, f, 1},
    };
    kd->DrawBitmap4V(fill, v);
}

void ActorBehaviorMovingHazard::Draw(Actor* a) {
    PhysicsSimulation* sim = PhysicsSimulation::active_sim;
    if (!a || !a->body || !sim || level.story_mode == STORY_PROLOGUE) return;
    const bool boss = a->Has(TAG_BOSS), shooting = a->Has(TAG_SHOOTING);
    const vec2_t body_p = Position(a);
    const vec2_t p = {body_p.x + a->draw_offset.x, body_p.y + a->draw_offset.y};
    float angle = a->body->GetAngle();
    const float mpp = sim->metres_per_pixel;
    float scale = mpp;
    if (shooting && !boss && a->enabled) {
        // Swells over the last 1.5 s before a shot and shrinks back in the
        // half second after it.
        const float t = a->timer;
        const float u = t < 0 ? t : fmaxf(t - 3, 0.0f);
        scale *= 1 + 0.15f * (1 - cosf(2 * kPi * u));
    }
    if (boss && !a->triggered) DrawBossWings(a, p, angle, mpp);

    kd->SetAlpha(fminf(2 * a->alpha, 1.0f));
    kd_bitmap_t* bm;
    if (a->triggered) {
        bm = lib.Bitmap(boss ? LIB_END_BUG_DEAD : shooting ? LIB_BUG_SHOOTING_DEAD : LIB_BUG_FLYING_DEAD);
    } else if (boss && a->timer > 3) {
        bm = lib.Bitmap(LIB_END_BUG_SHOOTING);
    } else if (a->state == HAZARD_BLINKING) {
        bm = lib.Bitmap(boss ? LIB_END_BUG_BLINK : shooting ? LIB_BUG_SHOOTING_BLINK : LIB_BUG_FLYING_BLINK);
    } else if (a->state == HAZARD_HIT) {
        bm = lib.Bitmap(boss ? LIB_END_BUG_OUCH : shooting ? LIB_BUG_SHOOTING_HAPPY : LIB_BUG_FLYING_HAPPY);
    } else {
        bm = a->shape ? a->shape->bitmap : nullptr;
        if (bm && shooting && (a->timer > 3 || a->timer < 0))
            bm = lib.Bitmap(boss ? LIB_END_BUG_BLINK : LIB_BUG_SHOOTING_HAPPY);
        angle += a->angle_offset;
    }
    DrawPicture(bm, a, p.x, p.y, angle, scale);
    kd->SetAlpha(1);
    if (boss && a->state != HAZARD_DYING) DrawBossHealth(a, p, scale);
}

// ---------------------------------------------------------------- projectiles

void ActorBehaviorHazardAmmo::Init(Actor* a) {
    if (!a || !a->body) return;
    b2Body* body = a->body;
    body->SetTransform(body->GetPosition(), kPi * randf(0, 1));
    if (body->GetType() == b2_staticBody) return;
    const float r1 = randf(0, 1);
    const float sign = randf(0, 1) <= 0.5f ? 1.0f : -1.0f;
    body->SetAngularVelocity(sign * (5 + 10 * r1));
    body->SetAwake(true);
}

void ActorBehaviorHazardAmmo::Draw(Actor* a) {
    if (!a) return;
    kd->SetAlpha(fminf(2 * a->alpha, 1.0f));
    ActorBehavior::Draw(a);
    kd->SetAlpha(1);
}

void ActorBehaviorHazardAmmo::Update(Actor* a, float dt) {
    PhysicsSimulation* sim = PhysicsSimulation::active_sim;
    if (!a || !a->body || !sim) return;
    a->state_time += dt;
    b2Body* body = a->body;
    if (body->GetType() == b2_dynamicBody) {
        // A little lift: projectiles sink more slowly than other things.
        B2ApplyLinearImpulse(body, b2Vec2(0, -0.35f * dt), body->GetWorldCenter());
    }
    if (a->state_time > 7.5f) {
        a->triggered = 1;
        a->state = HAZARD_DYING;
    }
    if (a->triggered) Spend(sim, a);
}

bool ActorBehaviorHazardAmmo::OnContact(Actor* self, Actor* other, b2Contact*) {
    // Projectiles pass each other by; anything else spends one. Only the
    // flag is set here, inside the step: the update removes it.
    if (!self || !other || other->Has(TAG_AMMO) || self->triggered) return true;
    self->triggered = 1;
    PlayLibSoundVaried(LIB_SND_HITTING_AMMO);
    return true;
}

// ---------------------------------------------------------------- homing bugs

void ActorBehaviorHazardHoming::Init(Actor* a) {
    if (a && a->body) a->body->SetTransform(a->body->GetPosition(), 0);
}

// The hanging bug bobs on its pivot and turns round every two swings.
static void Sway(Actor* a) {
    a->draw_offset = vec2_t{0.02f * sinf(a->state_time), 0.1f * cosf(a->state_time)};
    if (a->state_time > 4 * kPi) {
        a->state_time -= 4 * kPi;
        a->mirrored = !a->mirrored;
    }
}

void ActorBehaviorHazardHoming::Update(Actor* a, float dt) {
    PhysicsSimulation* sim = PhysicsSimulation::active_sim;
    if (!a || !a->body || !sim) return;
    b2Body* body = a->body;
    // A random start within four swings, so neighbours do not bob together.
    if (a->state_time < 0.001f) a->state_time = 2 * kPi * 4 * randf(0, 1) + 0.01f;
    a->state_time += dt;
    a->timer += dt;
    StepExpression(a, &a->timer, true);

    b2Joint* pivot = FirstJoint(body, e_revoluteJoint);
    if (!level.play_started || level.ending) {
        // Hanging where it is: before the first grab, and pinned again
        // during the exit sequence.
        if (!pivot && sim->ground_body && !sim->IsStepping()) {
            b2RevoluteJointDef def;
            def.Initialize(sim->ground_body, body, body->GetWorldCenter());
            def.collideConnected = true;
            sim->world->CreateJoint(&def);
        } else if (pivot) {
            Sway(a);
        }
        if (body->GetType() != b2_staticBody) body->SetLinearVelocity(b2Vec2(0, 0));
    } else {
        if (pivot) {
            if (WormEndWithin(sim, Position(a), 10) && !sim->IsStepping()) {
                sim->world->DestroyJoint(pivot);
                a->state = HAZARD_BREAKING_LOOSE;
                a->timer = 0;
                PlayLibSoundVaried(LIB_SND_HOMING_STARTS);
            } else {
                Sway(a);
            }
        }
        // Steering: the velocity is pulled towards 1.3 x k towards the worm
        // (k = 1 at the normal speed of 1.5); the constant lifts the bug
        // against gravity. Without a direction (no worm, or the worm right
        // on it) it only brakes and hovers.
        vec2_t d = {0, 0};
        TowardsWorm(sim, a, &d);
        if (body->GetType() == b2_dynamicBody) {
            const float k = 2 * a->move_speed / 1.5f;
            const b2Vec2 v = body->GetLinearVelocity();
            const float dx = 1.3f * k * d.x - v.x, dy = 1.3f * k * d.y - v.y;
            B2ApplyLinearImpulse(body, b2Vec2(2 * dx * dt, (2 * dy - 21.1f) * dt), b2Vec2(0, 0));
        }
    }
    if (a->triggered) {
        Spend(sim, a);
        return;
    }
    FaceTheWayItFlies(a);
}

void ActorBehaviorHazardHoming::Draw(Actor* a) {
    PhysicsSimulation* sim = PhysicsSimulation::active_sim;
    if (!a || !a->body || !sim) return;
    const float alpha = fminf(2 * a->alpha, 1.0f);
    kd->SetAlpha(alpha);
    const vec2_t body_p = Position(a);
    const vec2_t p = {body_p.x + a->draw_offset.x, body_p.y + a->draw_offset.y};
    const float angle = a->body->GetAngle(), mpp = sim->metres_per_pixel;
    if (a->state == HAZARD_BLINKING) {
        DrawPicture(lib.Bitmap(LIB_BUG_HOMING_BLINK), a, p.x, p.y, angle, mpp);
    } else if (a->state == HAZARD_BREAKING_LOOSE) {
        DrawPicture(lib.Bitmap(LIB_BUG_HOMING_HAPPY), a, p.x, p.y, angle, mpp);
        // The warning lines flash twice between the bug and the worm.
        vec2_t d;
        kd_bitmap_t* lines = lib.Bitmap(LIB_BUG_HOMING_AGGRO_LINES);
        if (lines && TowardsWorm(sim, a, &d)) {
            const float t = a->timer;
            if (t < 0.5f)
                kd->SetAlpha(2 * t);
            else if (t > 0.5f && t <= 1.5f)
                kd->SetAlpha(2 * fabsf(t - 1));
            else if (t > 1.5f)
                kd->SetAlpha(2 * (2 - t));
            kd->DrawBitmapRS(lines, p.x + 1.5f * d.x, p.y + 1.5f * d.y, atan2f(d.y, d.x) - kPi, mpp);
        }
    } else {
        ActorBehavior::Draw(a);
    }
    kd->SetAlpha(1);
}

// ---------------------------------------------------------------- mines

void ActorBehaviorHazardMine::Init(Actor* a) {
    if (a && a->body) a->body->SetTransform(a->body->GetPosition(), 0);
}

void ActorBehaviorHazardMine::Burst(Actor* mine) {
    PhysicsSimulation* sim = PhysicsSimulation::active_sim;
    if (!sim || !mine || !mine->body || mine->triggered) return;
    const vec2_t c = Position(mine);
    for (int i = 0; i < 8; i++) {
        const float a = (i + randf(0, 1) * kPi / 4) * kPi / 4;
        const vec2_t dir = {cosf(a), sinf(a)};
        Launch(sim, vec2_t{c.x + 2 * dir.x, c.y + 2 * dir.y}, vec2_t{0.9f * dir.x, 0.9f * dir.y});
    }
    mine->triggered = 1;
    PlayLibSoundVaried(LIB_SND_MINE_EXPLODES);
}

void ActorBehaviorHazardMine::Update(Actor* a, float dt) {
    PhysicsSimulation* sim = PhysicsSimulation::active_sim;
    if (!a || !a->body || !sim) return;
    if (level.play_started && level.clock_running && !a->triggered && !sim->editor_mode) {
        // Lit by the worm's approach while on screen; once lit it burns on.
        if ((WormEndWithin(sim, Position(a), 10) && sim->IsPartlyInView(a)) || a->state_time > 0.001f)
            a->state_time += dt;
    }
    if (a->state_time > 2) Burst(a);
    // Burst, or killed by the worm before its time.
    if (a->triggered) Spend(sim, a);
}

void ActorBehaviorHazardMine::Draw(Actor* a) {
    PhysicsSimulation* sim = PhysicsSimulation::active_sim;
    kd_bitmap_t* bm = a && a->shape ? a->shape->bitmap : nullptr;
    if (!bm || !a->body || !sim) return;
    // Swells and throbs while the fuse burns: half as big again at the
    // burst.
    const float f = a->state_time;
    const vec2_t p = Position(a);
    kd->DrawBitmapRS(bm, p.x + a->draw_offset.x, p.y + a->draw_offset.y, a->angle_offset + a->body->GetAngle(),
                     (1 + 0.25f * (f + sinf(kPi * f))) * sim->metres_per_pixel);
}
