#include "physics/physics-manager.h"

#include <assert.h>
#include <math.h>
#include <string.h>

#include "physics/actor-shapes.h"
#include "physics/actor.h"
#include "physics/b2-compat.h"
#include "feature-manager.h"
#include "manager.h"
#include "particle-effects.h"
#include "ui/screen-manager.h"

PhysicsSimulation* PhysicsSimulation::active_sim = nullptr;
bool PhysicsSimulation::high_details = true;

PhysicsSimulation::PhysicsSimulation() : shapes(&shape_cache) { view_transform = kd_transform_identity; }

PhysicsSimulation::~PhysicsSimulation() {
    DropPending();
    if (active_sim == this) active_sim = nullptr;
}

float PhysicsSimulation::StepLength() {
    return feature_man.ProductFeatureExists("OPTIMIZED_REFRESH") ? 0.01f : 1.0f / 60.0f;
}

bool PhysicsSimulation::IsStepping() const { return world && world->IsLocked(); }

// ---------------------------------------------------------------- world

void PhysicsSimulation::InitWorld() {
    if (world) FreeWorld();
    step_accumulator = 0;
    damage_clock = 0;
    back_particles.InitParts(PMAN_DEFAULT_SIZE);
    front_particles.InitParts(PMAN_DEFAULT_SIZE);
    middle_particles.InitParts(PMAN_DEFAULT_SIZE);
    world_bounds[0] = 10;
    world_bounds[1] = 10;
    world_bounds[2] = -10;
    world_bounds[3] = -10;
    world = new b2World(b2Vec2(0.0f, 7.0f));
    if (contact_listener) world->SetContactListener(contact_listener);
    if (debug_draw) {
        debug_draw->SetFlags(b2Draw::e_shapeBit);
        world->SetDebugDraw(debug_draw);
    }
    metres_per_pixel = 1.0f / 30.0f;
    pixels_per_metre = 30.0f;
    b2BodyDef ground;
    ground_body = world->CreateBody(&ground);
}

void PhysicsSimulation::FreeWorld() {
    if (!world) return;
    if (world->IsLocked()) {
        // Deleting the world from inside its own step would pull it out
        // from under Box2D.
        kd->PrintDebugf(1, "PhysicsSimulation::FreeWorld: called during a step; ignored.\n");
        return;
    }
    DropPending();
    delete world;
    world = nullptr;
    ground_body = nullptr;
    free(ammos);
    ammos = nullptr;
    for (int i = 0; i < actors.count; i++) delete actors[i];
    actors.count = 0;
    actors.Free();
    worm_parts.Free();
    collected_fruit.Free();
    query_results.Free();
    FreeBackgrounds();
}

// ---------------------------------------------------------------- deferred changes

void PhysicsSimulation::QueueChange(WorldChange* change) {
    if (!change) return;
    if (!IsStepping()) {
        change->Apply(this);
        delete change;
        return;
    }
    pending.InsertLast(change);
}

void PhysicsSimulation::ApplyQueuedChanges() {
    // A change may queue another or destroy an actor that a later change
    // names (which drops that change); take them one at a time.
    while (pending.count > 0 && !IsStepping()) {
        WorldChange* c = pending[0];
        pending.RemoveIndex(0);
        c->Apply(this);
        delete c;
    }
}

void PhysicsSimulation::DropPending() {
    for (int i = 0; i < pending.count; i++) delete pending[i];
    pending.Free();
}

namespace {
class DestroyActorChange : public WorldChange {
public:
    DestroyActorChange(Actor* a, bool fx) : actor(a), with_effects(fx) {}
    void Apply(PhysicsSimulation* sim) override { sim->DestroyActor(actor, with_effects); }
    bool Refers(const Actor* a) const override { return a == actor; }
    Actor* actor;
    bool with_effects;
};
}  // namespace

// ---------------------------------------------------------------- actors

Actor* PhysicsSimulation::CreateActor(ActorShape* shape, vec2_t position, vec2_t move, float angle, int index,
                                      float move_speed) {
    if (!world || !shape) return nullptr;
    if (IsStepping()) {
        kd->PrintDebugf(1, "PhysicsSimulation::CreateActor: the world is stepping; queue the creation.\n");
        return nullptr;
    }
    if (!isfinite(position.x) || !isfinite(position.y) || !isfinite(angle)) {
        kd->PrintDebugf(1, "PhysicsSimulation::CreateActor: '%s' has no finite position; not made.\n",
                        shape->name ? shape->name : "");
        return nullptr;
    }
    b2BodyDef def;
    def.type = shape->body_type == BODY_STATIC      ? b2_staticBody
               : shape->body_type == BODY_KINEMATIC ? b2_kinematicBody
                                                    : b2_dynamicBody;
    def.position.Set(position.x, position.y);
    def.angle = angle;
    def.linearDamping = shape->linear_damping;
    def.angularDamping = shape->angular_damping;
    def.allowSleep = true;
    def.awake = true;
    def.fixedRotation = false;
    def.bullet = false;
    B2SetBodyDefActive(&def, true);
    def.gravityScale = 1.0f;
    b2Body* body = world->CreateBody(&def);

    Actor* a = new Actor();  // value-initialised: every field zero
    a->shape = shape;
    a->body = body;
    a->behavior = shape->behavior ? shape->behavior : ActorBehavior::GetActorBehavior(nullptr);
    if (a->behavior) a->behavior->Init(a);

    a->stick_on_touch = 1;
    a->alpha = 1.0f;
    a->enabled = 1;
    a->hit_points = shape->hit_points;
    a->start_position = position;
    a->move = move;
    a->worm_index = index;
    a->move_speed = move_speed;
    a->flags = ParseActorTags(shape->tags);

    shape->CreateFixtureForBody(body, metres_per_pixel, a);
    AddJoints(a);
    body->SetAwake(true);
    B2SetBodyActive(body, true);
    B2SetBodyActor(body, a);
    actors.InsertLast(a);
    return a;
}

void PhysicsSimulation::DestroyActor(Actor* actor, bool with_effects) {
    if (!actor || actors.Find(actor) < 0) return;
    if (IsStepping()) {
        for (int i = 0; i < pending.count; i++)
            if (pending[i]->Refers(actor) && dynamic_cast<DestroyActorChange*>(pending[i])) return;
        pending.InsertLast(new DestroyActorChange(actor, with_effects));
        return;
    }
    DestroyNow(actor, with_effects);
}

void PhysicsSimulation::DestroyNow(Actor* actor, bool with_effects) {
    ActorShape* shape = actor->shape;
    if (!editor_mode && with_effects) {
        const uint32_t quiet = TAG_REQUIRED_TARGET | TAG_HAZARD | TAG_DESTROYABLE_BLOCK_LONG |
                               TAG_DESTROYABLE_BLOCK_BIG | TAG_DESTROYABLE_BLOCK_SMALL;
        if (!(actor->flags & quiet) && actor->body) {
            b2Vec2 p = actor->body->GetPosition();
            float angle = actor->body->GetAngle();
            if (shape && shape->bitmap) {
                part_t* part = front_particles.SpawnPart(vec2_t{p.x, p.y}, shape->bitmap, 0.2f);
                part->start_angle = part->end_angle = angle;
                front_particles.ApplyReferenceScaleToPart(part);
            }
            if (shape && shape->fx_destroyed) pbman.SpawnFX(&front_particles, shape->fx_destroyed, vec2_t{p.x, p.y}, angle, 0);
        }
        if (actor->behavior) actor->behavior->OnDestroyed(actor);
    }
    // The behaviour may have destroyed it already.
    if (actors.Find(actor) < 0) return;
    if (actor->body && world) world->DestroyBody(actor->body);
    actor->body = nullptr;
    actors.Remove(actor);
    worm_parts.Remove(actor);
    collected_fruit.Remove(actor);
    query_results.Remove(actor);
    // No record may keep pointing at the freed actor.
    for (int i = 0; i < actors.count; i++)
        if (actors[i]->weld_target == actor) actors[i]->weld_target = nullptr;
    for (int i = pending.count - 1; i >= 0; i--) {
        if (pending[i]->Refers(actor)) {
            delete pending[i];
            pending.RemoveIndex(i);
        }
    }
    delete actor;
}

void PhysicsSimulation::UpdateActorOrder() {
    static const uint32_t passes[8] = {TAG_WORM_HEAD, TAG_WORM_TAIL, TAG_WORM_BODY, TAG_COLLECTABLE,
                                       TAG_WORM_HOLE, TAG_END_BUG,   TAG_MOON,      TAG_SIDE_WALL};
    for (uint32_t tag : passes) {
        int n = actors.count;
        nArray<Actor*> moved;
        for (int i = n - 1; i >= 0; i--) {
            if (actors[i]->flags & tag) {
                moved.InsertLast(actors[i]);
                actors.RemoveIndex(i);
            }
        }
        for (int i = 0; i < moved.count; i++) actors.InsertLast(moved[i]);
    }
}

// The tag joints, the worm and the walls are in actor.cpp.

// ---------------------------------------------------------------- update

void PhysicsSimulation::Update(float dt) {
    back_particles.draw_scale = middle_particles.draw_scale = front_particles.draw_scale = metres_per_pixel;
    active_sim = this;
    back_particles.UpdateParts(dt);
    middle_particles.UpdateParts(dt);
    front_particles.UpdateParts(dt);

    // Damage effects at most every 0.1 s of frame time.
    bool damage_tick = false;
    if (dt > 0) damage_clock += dt;
    if (damage_clock >= 0.1f) {
        damage_tick = true;
        damage_clock = fmodf(damage_clock, 0.1f);
    }

    if (!editor_mode && world) {
        const float x1 = world_bounds[0], y1 = world_bounds[1], x2 = world_bounds[2], y2 = world_bounds[3];
        for (int i = 0; i < actors.count; i++) {
            Actor* a = actors[i];
            if (a->Has(TAG_BOSS) || !a->body) continue;
            b2Vec2 p = a->body->GetPosition();
            ActorShape* s = a->shape;
            if (damage_tick && s && s->fx_damaged && s->hit_points != 0 && a->hit_points / s->hit_points < 0.5f)
                pbman.SpawnFX(&front_particles, s->fx_damaged, vec2_t{p.x, p.y}, a->body->GetAngle(), 0);
            if (a->hit_points <= 0 && a->behavior && a->behavior->ShouldBeDestroyed(a)) {
                bool outside = p.x + 1 < x1 || p.y + 1 < y1 || p.x - 1 > x2 || p.y - 1 > y2;
                if (a->IsWormPart() && outside) continue;
                int before = actors.count;
                DestroyActor(a, true);
                if (actors.count < before) i--;  // revisit this index
            }
        }
    }
    for (int i = 0; i < actors.count; i++) {
        Actor* a = actors[i];
        if (a->behavior) a->behavior->Update(a, dt);
    }

    float s = zoom * pixels_per_metre;
    const vec2_t& t = camera_upper_left;
    float m[16] = {s, 0, 0, s * t.x, 0, s, 0, s * t.y, 0, 0, 1, 0, 0, 0, 0, 1};
    memcpy(view_transform.m, m, sizeof m);

    last_steps = 0;
    if (dt <= 0 || !world) return;
    step_accumulator += dt;
    const float step = StepLength();
    int n = (int)(step_accumulator / step);
    if (n < 0) n = 0;
    for (int i = 0; i < n; i++) {
        world->Step(step, 3, 3);
        ApplyQueuedChanges();
        step_accumulator -= step;
        last_steps++;
    }
}

// ---------------------------------------------------------------- draw

void PhysicsSimulation::DrawParallax(kd_bitmap_t* bm, float f) {
    if (!bm || !background_1 || bm->width < 1 || bm->height < 1 || background_1->width < 1 ||
        background_1->height < 1)
        return;
    const float m = metres_per_pixel, ppm = pixels_per_metre;
    float rw = (float)sman.reference_width, rh = (float)sman.reference_height;
    float vw = (float)sman.virtual_width, vh = (float)sman.virtual_height;
    if (rw < 1 || rh < 1 || vw < 1 || vh < 1) return;
    float c = fmaxf((vw + 2) / rw, (vh + 2) / rh);
    float x1 = world_bounds[0], y1 = world_bounds[1];
    float W = world_bounds[2] - x1, H = world_bounds[3] - y1;
    if (W <= 0 || H <= 0) return;
    float Sw = vw * m / c, Sh = vh * m / c;
    float gx = (W - Sw) / W, gy = (H - Sh) / H;
    float k0 = fmaxf(fmaxf(W / background_1->width, H / background_1->height), 0.055f);
    float k = (1 - fminf(f * gx, f * gy)) * k0;
    if (k <= 0) return;
    vec2_t P = camera_position;
    vec2_t Q = {x1 + P.x + Sw / 2, y1 + P.y + Sh / 2};
    float L = -camera_upper_left.x, T = -camera_upper_left.y;
    float ua = (L - (x1 - f * Q.x)) / k, va = (T - (y1 - f * Q.y)) / k;
    float ub = ua + 1.01f * vw / (k * ppm * c), vb = va + 1.01f * vh / (k * ppm * c);
    float bw = (float)bm->width, bh = (float)bm->height;
    float z = kd->GetDepthDefault();
    float R = L + k * (ub - ua), B = T + k * (vb - va);
    kd_vertex_t v[4] = {
        {L, T, z, 0xFFFFFFFFu, ua / bw, va / bh},
        {R, T, z, 0xFFFFFFFFu, ub / bw, va / bh},
        {L, B, z, 0xFFFFFFFFu, ua / bw, vb / bh},
        {R, B, z, 0xFFFFFFFFu, ub / bw, vb / bh},
    };
    kd->DrawBitmap4V(bm, v);
    if (f > 0.5f && high_details) {
        // The back particles sit between the two layers.
        back_particles.draw_scale = m;
        back_particles.camera.x = -(x1 - 0.45f * Q.x) * ppm;
        back_particles.camera.y = -(y1 - 0.45f * Q.y) * ppm;
        back_particles.DrawParts();
    }
}

void PhysicsSimulation::Draw() {
    active_sim = this;
    kd->SetColor(1, 1, 1);
    if (background_1 || background_2) {
        kd->PushTransform(&view_transform);
        if (!editor_mode) {
            if (background_1) {
                DrawParallax(background_1, 0.55f);
                if (background_2) DrawParallax(background_2, 0.25f);
            }
        } else {
            float x1 = world_bounds[0], y1 = world_bounds[1];
            float W = world_bounds[2] - x1, H = world_bounds[3] - y1;
            float rw = (float)sman.reference_width, rh = (float)sman.reference_height;
            float m = metres_per_pixel;
            float s = fmaxf(W / (rw * m), H / (rh * m));
            kd_bitmap_t* bgs[2] = {background_1, background_2};
            for (kd_bitmap_t* bm : bgs) {
                if (!bm) continue;
                float a = (bm->width & 1) ? 0.5f : 0.0f, b = (bm->height & 1) ? 0.5f : 0.0f;
                kd->DrawBitmapRS(bm, x1 + a + m * s * bm->width / 2, y1 + b + m * s * bm->height / 2, 0, m * s);
            }
        }
        kd->PopTransform();
    }
    kd->PushTransform(&view_transform);
    middle_particles.draw_scale = metres_per_pixel;
    middle_particles.DrawParts();
    kd->SetColor(1, 1, 1);
    kd->SetAlpha(1);
    for (int i = 0; i < actors.count; i++)
        if (actors[i]->behavior) actors[i]->behavior->Draw(actors[i]);
    for (int i = 0; i < actors.count; i++) {
        Actor* a = actors[i];
        if (!a->behavior) continue;
        a->behavior->DrawForeground(a);
        a->behavior->ActorBehavior::DrawEditModeData(a);
    }
    kd->SetColor(1, 1, 1);
    kd->SetAlpha(1);
    front_particles.draw_scale = metres_per_pixel;
    front_particles.DrawParts();
    // Only the held state: reading bit 0 would swallow a press meant for
    // someone else.
    if (world && Manager::GetParms()->developer_mode && (kd->GetKeyStatei('D') & ~1)) B2DrawDebugData(world);
    kd->PopTransform();
}
