#include "physics/physics-manager.h"

#include <assert.h>
#include <math.h>
#include <string.h>

#include <algorithm>

#include "physics/actor-behaviors.h"
#include "physics/actor-shapes.h"
#include "physics/actor.h"
#include "physics/b2-compat.h"
#include "dataman.h"
#include "feature-manager.h"
#include "manager.h"
#include "particle-effects.h"
#include "ui/screen-manager.h"

PhysicsManager physics_man;

PhysicsSimulation* PhysicsSimulation::active_sim = nullptr;
bool PhysicsSimulation::high_details = true;

PhysicsSimulation::PhysicsSimulation() { view_transform = kd_transform_identity; }

PhysicsSimulation::~PhysicsSimulation() {
    DropPending();
    if (active_sim == this) active_sim = nullptr;
}

float PhysicsSimulation::StepLength() {
    return feature_man.ProductFeatureExists("OPTIMIZED_REFRESH") ? 0.01f : 1.0f / 60.0f;
}

bool PhysicsSimulation::IsStepping() const { return world && world->IsLocked(); }

static int PictureSpan(const kd_bitmap_t* bm) { return bm ? bm->width + bm->height : 0; }

// How far a plain actor's two pictures reach from its body (metres, at the
// given metres per pixel): MayShow's margin, half as big again as a
// picture's diagonal, with width plus height standing for the diagonal
// (never shorter). Zero for a shape without pictures.
static float PicturesReach(const ActorShape* shape, float scale) {
    const int span = std::max(PictureSpan(shape->bitmap), PictureSpan(shape->bitmap_fore));
    return 0.75f * (float)span * fabsf(scale);
}

// How far a body's origin may lie from its fixture's box, whatever the
// body's angle: the distance to the nearest vertex (a circle's centre).
static float OriginToFixture(const b2Fixture* fixture) {
    const b2Shape* shape = fixture->GetShape();
    if (shape->GetType() == b2Shape::e_circle) return static_cast<const b2CircleShape*>(shape)->m_p.Length();
    if (shape->GetType() != b2Shape::e_polygon) return INFINITY;
    const b2PolygonShape* poly = static_cast<const b2PolygonShape*>(shape);
    float d = INFINITY;
    for (int i = 0; i < B2PolygonCount(*poly); i++) d = fminf(d, poly->m_vertices[i].Length());
    return d;
}

// ---------------------------------------------------------------- world

// Box2D's time-of-impact pass looks at every contact again for each impact
// it finds: in a crowd (hundreds of mines or bugs pressed together) one step
// would not end. A crowded world steps without it. The contacts of fixtures
// made since the last step are found first, as the step itself would find
// them before anything else (a new fixture tells it to), so that a world
// crowded from its start counts them at its first step.
bool PhysicsSimulation::ChooseImpactPass(b2World* w, bool new_fixtures) {
    if (new_fixtures) const_cast<b2ContactManager&>(w->GetContactManager()).FindNewContacts();
    const bool on = w->GetContactCount() <= PHYSICS_MAX_IMPACT_CONTACTS;
    w->SetContinuousPhysics(on);
    return on;
}

void PhysicsSimulation::InitWorld() {
    if (world) FreeWorld();
    step_accumulator = 0;
    impact_pass_off_said = false;
    new_fixtures = false;
    damage_clock = 0;
    projectile_known = false;
    back_particles.InitParts(PMAN_DEFAULT_SIZE);
    front_particles.InitParts(PMAN_DEFAULT_SIZE);
    middle_particles.InitParts(PMAN_DEFAULT_SIZE);
    world_bounds[0] = 10;
    world_bounds[1] = 10;
    world_bounds[2] = -10;
    world_bounds[3] = -10;
    world = new b2World(b2Vec2(0.0f, 7.0f));
    world->SetContactListener(&contact_listener);
    if (contact_filter) world->SetContactFilter(contact_filter);
    debug_draw.SetFlags(b2Draw::e_shapeBit);
    world->SetDebugDraw(&debug_draw);
    metres_per_pixel = 1.0f / 30.0f;
    pixels_per_metre = 30.0f;
    debug_draw.metres_per_pixel = metres_per_pixel;
    b2BodyDef ground;
    ground_body = world->CreateBody(&ground);
}

void PhysicsSimulation::FreeWorld() {
    if (!world) return;
    if (world->IsLocked()) {
        // Deleting the world from inside its own step would pull it out
        // from under Box2D.
        kd->PrintDebugf(KD_LOG_WARNING, "PhysicsSimulation::FreeWorld: called during a step; ignored.\n");
        return;
    }
    DropPending();
    delete world;
    world = nullptr;
    ground_body = nullptr;
    free(ammos);
    ammos = nullptr;
    projectile_known = false;
    projectile_shape = nullptr;
    for (int i = 0; i < actors.count; i++) delete actors[i];
    actors.count = 0;
    actors.Free();
    for (std::vector<Actor*>& list : tagged) list.clear();
    actor_passes.clear();
    culled_shapes.clear();
    ActorsChanged();
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
        kd->PrintDebugf(KD_LOG_WARNING, "PhysicsSimulation::CreateActor: the world is stepping; queue the creation.\n");
        return nullptr;
    }
    if (!isfinite(position.x) || !isfinite(position.y) || !isfinite(angle)) {
        kd->PrintDebugf(KD_LOG_WARNING, "PhysicsSimulation::CreateActor: '%s' has no finite position; not made.\n",
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
    if (body->GetFixtureList()) new_fixtures = true;
    AddJoints(a);
    body->SetAwake(true);
    B2SetBodyActive(body, true);
    B2SetBodyActor(body, a);
    a->order = actors.count;
    actors.InsertLast(a);
    ListTags(a, true);
    NotePasses(a);
    ActorsChanged();
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
                part_t* part = SpawnBitmapPart(front_particles, shape->bitmap, vec2_t{p.x, p.y}, 0.2f);
                part->start_angle = part->end_angle = angle;
                front_particles.ApplyReferenceScaleToPart(part);
            }
            if (shape) SpawnEffect(front_particles, shape->fx_destroyed, vec2_t{p.x, p.y}, angle);
        }
        if (actor->behavior) actor->behavior->OnDestroyed(actor);
    }
    // The behaviour may have destroyed it already.
    if (actors.Find(actor) < 0) return;
    if (actor_watcher) actor_watcher->ActorDestroyed(actor);
    if (actor->body && world) world->DestroyBody(actor->body);
    actor->body = nullptr;
    const int at = actor->order >= 0 && actor->order < actors.count && actors[actor->order] == actor
                       ? actor->order
                       : actors.Find(actor);
    actors.RemoveIndex(at);
    if ((size_t)at < actor_passes.size()) actor_passes.erase(actor_passes.begin() + at);
    ListTags(actor, false);
    ActorsChanged();
    worm_parts.Remove(actor);
    collected_fruit.Remove(actor);
    query_results.Remove(actor);
    // No record may keep pointing at the freed actor; a worm end welded to
    // it lost its joint with the body and is free again. The same walk
    // moves the indices of those after it down.
    for (int i = 0; i < actors.count; i++) {
        Actor* b = actors[i];
        b->order = i;
        if (b->weld_target != actor) continue;
        b->weld_target = nullptr;
        b->welded = 0;
    }
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
    Reindex();
    ActorsChanged();
}

void PhysicsSimulation::ListTags(Actor* actor, bool add) {
    for (int bit = 0; bit < 32; bit++) {
        if (!(actor->flags & (1u << bit))) continue;
        std::vector<Actor*>& list = tagged[bit];
        if (add)
            list.push_back(actor);
        else
            list.erase(std::remove(list.begin(), list.end(), actor), list.end());
    }
}

void PhysicsSimulation::Reindex() {
    actor_passes.resize((size_t)actors.count);
    for (std::vector<Actor*>& list : tagged) list.clear();
    for (int i = 0; i < actors.count; i++) {
        Actor* a = actors[i];
        a->order = i;
        actor_passes[(size_t)i] = a->passes;
        ListTags(a, true);
    }
}

// The passes an actor starts with; SetHitPoints adds the update pass.
void PhysicsSimulation::NotePasses(Actor* a) {
    const bool plain = a->behavior && a->behavior->plain;
    const b2Fixture* fixture = a->body ? a->body->GetFixtureList() : nullptr;
    const float extent = fixture ? OriginToFixture(fixture) : INFINITY;
    a->passes = 0;
    if (!plain || !(a->hit_points > 0)) a->passes |= ACTOR_PASS_UPDATE;
    if (!plain || !isfinite(extent)) {
        a->passes |= ACTOR_PASS_DRAW;
    } else {
        auto known = std::find_if(culled_shapes.begin(), culled_shapes.end(),
                                  [&](const CulledShape& c) { return c.shape == a->shape; });
        if (known == culled_shapes.end())
            culled_shapes.push_back(CulledShape{a->shape, extent});
        else
            known->extent = fmaxf(known->extent, extent);
    }
    actor_passes.push_back(a->passes);
}

void PhysicsSimulation::SetHitPoints(Actor* actor, float hit_points) {
    if (!actor) return;
    actor->hit_points = hit_points;
    if (actor->passes & ACTOR_PASS_UPDATE) return;
    actor->passes |= ACTOR_PASS_UPDATE;
    const int i = actor->order;
    if (i >= 0 && i < actors.count && actors[i] == actor && (size_t)i < actor_passes.size())
        actor_passes[(size_t)i] |= ACTOR_PASS_UPDATE;
}

// The first index from `from` on whose actor has any of the passes, or
// past the last; eight actors at a time. An index beyond the record (an
// actor that came some other way) has them all.
int PhysicsSimulation::NextWithPass(int from, uint8_t pass) const {
    const int n = (int)actor_passes.size();
    const uint8_t* p = actor_passes.data();
    const uint64_t mask = 0x0101010101010101ull * pass;
    int i = from;
    for (; i + 8 <= n; i += 8) {
        uint64_t eight;
        memcpy(&eight, p + i, sizeof eight);
        if (eight & mask) break;
    }
    for (; i < n; i++)
        if (p[i] & pass) return i;
    return i;
}

// `actors` changed behind the simulation's back: assert in debug; in
// release every actor is looked at and tested one by one again.
void PhysicsSimulation::SyncPasses() {
    if (actor_passes.size() == (size_t)actors.count) return;
    KD_ASSERT(!"the actors changed without CreateActor or DestroyActor");
    for (int i = 0; i < actors.count; i++) actors[i]->passes = ACTOR_PASS_UPDATE | ACTOR_PASS_DRAW;
    Reindex();
}

void PhysicsSimulation::ActorsChanged() { shape_answers.count = 0; }

// The tag joints, the worm and the walls are in actor.cpp.

// ---------------------------------------------------------------- effects

void PhysicsSimulation::SpawnEffect(PartMan& layer, fx_t* fx, vec2_t at, float angle, float age_offset) {
    if (!fx || !isfinite(at.x) || !isfinite(at.y)) return;
    pbman.SpawnFX(&layer, fx, vec2_t{at.x * pixels_per_metre, at.y * pixels_per_metre}, angle, age_offset);
}

part_t* PhysicsSimulation::SpawnBitmapPart(PartMan& layer, kd_bitmap_t* bitmap, vec2_t at, float life) {
    return layer.SpawnPart(vec2_t{at.x * pixels_per_metre, at.y * pixels_per_metre}, bitmap, life);
}

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

    SyncPasses();
    // An unharmed plain actor has neither smoke nor death to show and no
    // update of its own: skipped without reading it.
    const uint8_t pass = ACTOR_PASS_UPDATE;
    if (!editor_mode && world) {
#ifndef NDEBUG
        for (int i = 0; i < actors.count; i++)
            KD_ASSERT((actor_passes[(size_t)i] & pass) || actors[i]->hit_points == actors[i]->shape->hit_points);
#endif
        for (int i = NextWithPass(0, pass); i < actors.count; i = NextWithPass(i + 1, pass)) {
            Actor* a = actors[i];
            if (a->Has(TAG_BOSS) || !a->body) continue;
            ActorShape* s = a->shape;
            const bool smokes =
                damage_tick && s && s->fx_damaged && s->hit_points != 0 && a->hit_points / s->hit_points < 0.5f;
            // An unharmed actor's body is not read: its memory stays cold.
            if (!smokes && !(a->hit_points <= 0)) continue;
            b2Vec2 p = a->body->GetPosition();
            if (smokes) SpawnEffect(front_particles, s->fx_damaged, vec2_t{p.x, p.y}, a->body->GetAngle());
            if (a->hit_points <= 0 && a->behavior && a->behavior->ShouldBeDestroyed(a)) {
                // A worm part that fell out of the world stays: the level's
                // rules end the level instead.
                if (a->IsWormPart() && IsOutsideWorld(vec2_t{p.x, p.y}, 1.0f)) continue;
                int before = actors.count;
                DestroyActor(a, true);
                if (actors.count < before) i--;  // revisit this index
            }
        }
    }
    for (int i = NextWithPass(0, pass); i < actors.count; i = NextWithPass(i + 1, pass)) {
        Actor* a = actors[i];
        if (a->behavior && !a->behavior->plain) a->behavior->Update(a, dt);
    }

    float s = zoom * pixels_per_metre;
    const vec2_t& t = camera_upper_left;
    float m[16] = {s, 0, 0, s * t.x, 0, s, 0, s * t.y, 0, 0, 1, 0, 0, 0, 0, 1};
    memcpy(view_transform.m, m, sizeof m);

    last_steps = 0;
    if (dt <= 0 || !world) return;
    // The engine bounds a frame's time (a longer one counts as 30 ms), so
    // a frame never asks for more than a few steps.
    step_accumulator += dt;
    const float step = StepLength();
    int n = (int)(step_accumulator / step);
    if (n < 0) n = 0;
    for (int i = 0; i < n; i++) {
        const bool on = ChooseImpactPass(world, new_fixtures);
        new_fixtures = false;
        if (!on && !impact_pass_off_said) {
            impact_pass_off_said = true;
            kd->PrintDebugf(KD_LOG_WARNING,
                            "PhysicsSimulation: %d contacts in the world (more than %d): its steps go without the "
                            "time-of-impact pass while it is this crowded.\n",
                            world->GetContactCount(), (int)PHYSICS_MAX_IMPACT_CONTACTS);
        }
        world->Step(step, 3, 3);
        ApplyQueuedChanges();
        step_accumulator -= step;
        last_steps++;
    }
}

// ---------------------------------------------------------------- draw

static void ViewRect(const PhysicsSimulation* sim, float* l, float* t, float* r, float* b);

// A plain actor draws its shape's two pictures at its body and nothing
// else (ActorBehavior's own Draw and DrawForeground). Hidden when both lie
// wholly outside the view, with MayShow's margin (PicturesReach and a
// metre), so whatever MayShow would draw is kept. A NaN is not hidden
// here (the view query finds no body at a NaN, though).
static bool PlainActorHidden(const Actor* a, const float* view, float scale) {
    if (!a->body || !a->shape) return true;
    if (!PictureSpan(a->shape->bitmap) && !PictureSpan(a->shape->bitmap_fore)) return true;
    const float reach = PicturesReach(a->shape, scale) + 1.0f + fabsf(a->draw_offset.x) + fabsf(a->draw_offset.y);
    const b2Vec2 p = a->body->GetPosition();
    return p.x + reach < view[0] || p.x - reach > view[2] || p.y + reach < view[1] || p.y - reach > view[3];
}

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

namespace {
// Lists the actors whose fixtures the world finds near the view.
class NearViewQuery : public b2QueryCallback {
public:
    NearViewQuery(const nArray<Actor*>& a, std::vector<int>& l) : actors(a), list(l) {}
    bool ReportFixture(b2Fixture* fixture) override {
        const Actor* a = B2GetFixtureActor(fixture);
        if (a && a->order >= 0 && a->order < actors.count && actors[a->order] == a) list.push_back(a->order);
        return true;
    }
    const nArray<Actor*>& actors;
    std::vector<int>& list;
};
}  // namespace

float PhysicsSimulation::QueryMargin() const {
    float margin = 0;
    for (const CulledShape& c : culled_shapes)
        margin = fmaxf(margin, PicturesReach(c.shape, metres_per_pixel) + c.extent);
    return margin + 1.0f;
}

// Thousands of plain actors beside the level cost neither a test each nor
// a read of their memory: the world's tree gives those near the view (its
// boxes hold their fixtures, and the margin covers the pictures around
// them), and only those are tested as before. A plain actor's pictures
// sit on its body: nothing sets its `draw_offset`.
void PhysicsSimulation::CollectDrawn(const float* view) {
    SyncPasses();
    drawn.clear();
    const float margin = QueryMargin();
    b2AABB near;
    near.lowerBound.Set(view[0] - margin, view[1] - margin);
    near.upperBound.Set(view[2] + margin, view[3] + margin);
    if (!near.IsValid()) {
        // A view of NaN: everything is tested.
        for (int i = 0; i < actors.count; i++) drawn.push_back(i);
    } else {
        for (int i = NextWithPass(0, ACTOR_PASS_DRAW); i < actors.count; i = NextWithPass(i + 1, ACTOR_PASS_DRAW))
            drawn.push_back(i);
        NearViewQuery query(actors, drawn);
        if (world) world->QueryAABB(&query, near);
        std::sort(drawn.begin(), drawn.end());
        drawn.erase(std::unique(drawn.begin(), drawn.end()), drawn.end());
    }
    // `shown` only for the editor's walk over every actor.
    if (editor_mode) shown.assign((size_t)actors.count, 0);
    size_t kept = 0;
    for (int i : drawn) {
        const Actor* a = actors[i];
        if (!a->behavior || (a->behavior->plain && PlainActorHidden(a, view, metres_per_pixel))) continue;
        drawn[kept++] = i;
        if (editor_mode) shown[(size_t)i] = 1;
    }
    drawn.resize(kept);
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
    float view[4];
    ViewRect(this, &view[0], &view[1], &view[2], &view[3]);
    CollectDrawn(view);
    const int collected = actors.count;
    for (int i : drawn)
        if (i < actors.count) actors[i]->behavior->Draw(actors[i]);
    if (editor_mode) {
        for (int i = 0; i < actors.count; i++) {
            Actor* a = actors[i];
            // (An actor made while drawing has no entry: it is drawn.)
            const bool skip = (size_t)i < shown.size() ? shown[(size_t)i] == 0 : !a->behavior;
            if (!skip) a->behavior->DrawForeground(a);
            if (a->behavior) a->behavior->ActorBehavior::DrawEditModeData(a);
        }
    } else {
        for (int i : drawn)
            if (i < actors.count) actors[i]->behavior->DrawForeground(actors[i]);
        for (int i = collected; i < actors.count; i++)
            if (actors[i]->behavior) actors[i]->behavior->DrawForeground(actors[i]);
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

// ---------------------------------------------------------------- physics manager

void PhysicsManager::Initialize() {
    if (initialized) return;
    kd->Printf("PhysicsManager Initializing.\n");
    // "DEFAULT" first: it is the fallback of every unknown behaviour name.
    ActorBehaviors::InitActorBehaviors();
    initialized = 1;
}

void PhysicsManager::Shutdown() {
    shapes.Free();
    ActorBehaviors::FreeActorBehaviors();
    initialized = 0;
}

ActorShape* PhysicsManager::GetShape(const char* file) { return file ? shapes.GetShape(file) : nullptr; }

ActorShape* PhysicsManager::GetAmmoShape(const char* id) {
    if (!id) return nullptr;
    const char* actor = dman.GetDatabase("ammos.xml")->GetValue("ammos", id, "actor");
    if (!actor) kd->PrintDebugf(KD_LOG_WARNING, "ammos.xml: no actor for the ammunition '%s'.\n", id);
    return GetShape(actor);
}

// An ammunition's actor as a shape that can be fired: null when the table
// names no actor or the actor has no outline (a missing file gives one).
static ActorShape* FireableShape(const char* actor) {
    ActorShape* s = physics_man.GetShape(actor);
    return s && s->kind != SHAPE_NONE ? s : nullptr;
}

ActorShape* PhysicsSimulation::ProjectileShape() {
    const char* text = ammos ? ammos : "";
    if (projectile_known && nStringsMatch(projectile_for.c_str(), text)) return projectile_shape;
    projectile_known = true;
    projectile_for.Set(text);

    // The first name of the list, without the blanks around it ("seed,
    // pebble" and " seed" both name "seed").
    nString id = nString::Token(text, ",", 0);
    const char* from = id.c_str();
    while (*from == ' ') from++;
    size_t n = strlen(from);
    while (n > 0 && from[n - 1] == ' ') n--;
    nString want;
    want.Format("%.*s", (int)n, from);

    DMDatabase* table = dman.GetDatabase("ammos.xml");
    const char* first_id = table->GetValue("ammos", 0, "id");
    ActorShape* shape = nullptr;
    if (!want.IsEmpty()) shape = FireableShape(table->GetValue("ammos", want.text, "actor"));
    if (!shape) {
        shape = FireableShape(table->GetValue("ammos", 0, "actor"));
        if (shape && !want.IsEmpty())
            kd->PrintDebugf(KD_LOG_WARNING,
                            "ammos.xml: no usable actor for the ammunition '%s'; firing the default '%s'.\n", want.text,
                            first_id ? first_id : "");
    }
    if (!shape) {
        // The game's own projectile: a broken table does not disarm the
        // shooters and mines.
        shape = FireableShape("actors/bug-ammo.xml");
        kd->PrintDebugf(KD_LOG_WARNING, "ammos.xml: no usable default ammunition; firing 'actors/bug-ammo.xml'%s.\n",
                        shape ? "" : ", which is missing too: nothing is fired");
    }
    projectile_shape = shape;
    return shape;
}

// ---------------------------------------------------------------- queries

bool PhysicsQuery::ReportFixture(b2Fixture* fixture) {
    PhysicsSimulation* sim = PhysicsSimulation::active_sim;
    Actor* a = B2GetFixtureActor(fixture);
    if (sim && a) sim->query_results.InsertLast(a);
    return true;
}

nArray<Actor*> PhysicsSimulation::QueryActorInsideBox(vec2_t centre, float width, float height) {
    active_sim = this;
    query_results.count = 0;
    if (world && isfinite(centre.x) && isfinite(centre.y) && width >= 0 && height >= 0) {
        b2AABB box;
        box.lowerBound.Set(centre.x - width / 2, centre.y - height / 2);
        box.upperBound.Set(centre.x + width / 2, centre.y + height / 2);
        PhysicsQuery query;
        world->QueryAABB(&query, box);
    }
    return query_results;
}

Actor* PhysicsSimulation::GetActorAt(vec2_t p) {
    QueryActorInsideBox(p, 2 * metres_per_pixel, 2 * metres_per_pixel);
    return query_results.count ? query_results[0] : nullptr;
}

Actor* PhysicsSimulation::GetActorByShape(const ActorShape* shape) const {
    // An actor given another shape (the level's own copy of the worm's
    // tail) makes its answer stale.
    for (int i = 0; i < shape_answers.count; i++) {
        const ShapeAnswer& answer = shape_answers[i];
        if (answer.shape != shape) continue;
        if (!answer.actor || answer.actor->shape == shape) return answer.actor;
        shape_answers.RemoveIndex(i);
        break;
    }
    Actor* found = nullptr;
    for (int i = 0; i < actors.count && !found; i++)
        if (actors[i]->shape == shape) found = actors[i];
    shape_answers.InsertLast(ShapeAnswer{shape, found});
    return found;
}

int PhysicsSimulation::GetNumberOfActorsWithShape(const ActorShape* shape) const {
    int n = 0;
    for (int i = 0; i < actors.count; i++) n += actors[i]->shape == shape;
    return n;
}

bool PhysicsSimulation::HasActorWithFlags(uint32_t mask) const {
    for (int bit = 0; bit < 32; bit++)
        if ((mask & (1u << bit)) && !tagged[bit].empty()) return true;
    return false;
}

int PhysicsSimulation::GetNumberOfActorsWithFlags(uint32_t mask) const { return (int)ActorsWithFlags(mask).size(); }

const std::vector<Actor*>& PhysicsSimulation::ActorsWithFlags(uint32_t mask) const {
    tag_union.clear();
    int lists = 0, last = 0;
    for (int bit = 0; bit < 32; bit++) {
        if (!(mask & (1u << bit)) || tagged[bit].empty()) continue;
        lists++;
        last = bit;
    }
    if (lists == 0) return tag_union;
    if (lists == 1) return tagged[last];
    // Several: an actor with two of them comes once.
    for (int bit = 0; bit < 32; bit++)
        if (mask & (1u << bit)) tag_union.insert(tag_union.end(), tagged[bit].begin(), tagged[bit].end());
    std::sort(tag_union.begin(), tag_union.end(), [](const Actor* a, const Actor* b) { return a->order < b->order; });
    tag_union.erase(std::unique(tag_union.begin(), tag_union.end()), tag_union.end());
    return tag_union;
}

bool PhysicsSimulation::ActorsAtRest() const {
    for (int i = 0; i < actors.count; i++) {
        const b2Body* b = actors[i]->body;
        if (b && b->IsAwake() && b->GetLinearVelocity().Length() > 0.35f) return false;
    }
    return true;
}

bool PhysicsSimulation::IsOutsideWorld(vec2_t p, float margin) const {
    return p.x + margin < world_bounds[0] || p.y + margin < world_bounds[1] || p.x - margin > world_bounds[2] ||
           p.y - margin > world_bounds[3];
}

// ---------------------------------------------------------------- camera and view

vec2_t PhysicsSimulation::GetCameraLimit(vec2_t t) const {
    float vw, vh;
    ui_screen.ViewSize(&vw, &vh);
    const float hw = vw * 0.5f * metres_per_pixel / zoom, hh = vh * 0.5f * metres_per_pixel / zoom;
    vec2_t r;
    r.x = fmaxf(world_bounds[0] + hw, fminf(t.x, world_bounds[2] - hw));
    r.y = fminf(world_bounds[3] - hh, fmaxf(t.y, world_bounds[1] + hh));
    return r;
}

void PhysicsSimulation::SetCameraTarget(vec2_t target, bool limit) {
    if (!isfinite(target.x) || !isfinite(target.y)) {
        kd->PrintDebugf(KD_LOG_WARNING, "PhysicsSimulation::SetCameraTarget: no finite target; the camera stays.\n");
        return;
    }
    if (limit) target = GetCameraLimit(target);
    float vw, vh;
    ui_screen.ViewSize(&vw, &vh);
    camera_upper_left.x = vw * 0.5f * metres_per_pixel / zoom - target.x;
    camera_upper_left.y = vh * 0.5f * metres_per_pixel / zoom - target.y;
    camera_position = vec2_t{-target.x, -target.y};
}

void PhysicsSimulation::SetCameraZoom(float z) {
    if (!(z > 0) || !isfinite(z)) {
        kd->PrintDebugf(KD_LOG_WARNING, "PhysicsSimulation::SetCameraZoom: zoom %g refused; it stays %g.\n", (double)z,
                        (double)zoom);
        return;
    }
    zoom = z;
    SetCameraTarget(GetCameraTarget(), false);
}

void PhysicsSimulation::SetCameraToFitWorldOnScreen() {
    const float x1 = world_bounds[0], y1 = world_bounds[1], x2 = world_bounds[2], y2 = world_bounds[3];
    const float w = fabsf(x1 - x2), h = fabsf(y1 - y2);
    float vw, vh;
    ui_screen.ViewSize(&vw, &vh);
    // An axis without extent has nothing to fit: its quotient would be
    // infinite.
    const float min_extent = 1e-3f;
    const float zx = w > min_extent ? vw / (pixels_per_metre * w) : 0.0f;
    const float zy = h > min_extent ? vh / (pixels_per_metre * h) : 0.0f;
    const float z = fmaxf(zx, zy);
    SetCameraTarget(vec2_t{(x1 + x2) * 0.5f, (y1 + y2) * 0.5f}, false);
    if (z > 0 && isfinite(z))
        SetCameraZoom(z);
    else
        kd->PrintDebugf(KD_LOG_WARNING,
                        "PhysicsSimulation: world bounds %g, %g, %g, %g have no size to fit; zoom stays %g.\n",
                        (double)x1, (double)y1, (double)x2, (double)y2, (double)zoom);
}

vec2_t PhysicsSimulation::TransformWorldPositionToScreen(vec2_t p) const {
    const float* m = view_transform.m;
    return vec2_t{m[0] * p.x + m[1] * p.y + m[3], m[4] * p.x + m[5] * p.y + m[7]};
}

// The view transform never mixes depth into x and y (its third row and
// column are those of the identity), so its inverse is that of the 2-D
// affine part.
vec2_t PhysicsSimulation::TransformScreenPositionToWorld(vec2_t p) const {
    const float* m = view_transform.m;
    const float det = m[0] * m[5] - m[1] * m[4];
    if (det == 0 || !isfinite(det)) return p;
    const float x = p.x - m[3], y = p.y - m[7];
    return vec2_t{(m[5] * x - m[1] * y) / det, (m[0] * y - m[4] * x) / det};
}

// The box of the actor's one fixture at the body's current place. Box2D's
// own proxy box would do, but asking for it on a disabled body aborts.
static bool ActorBox(const Actor* a, b2AABB* box) {
    const b2Fixture* f = a && a->body ? a->body->GetFixtureList() : nullptr;
    if (!f) return false;
    f->GetShape()->ComputeAABB(box, a->body->GetTransform(), 0);
    return true;
}

static void ViewRect(const PhysicsSimulation* sim, float* l, float* t, float* r, float* b) {
    float vw, vh;
    ui_screen.ViewSize(&vw, &vh);
    *l = -sim->camera_upper_left.x;
    *t = -sim->camera_upper_left.y;
    *r = vw * sim->metres_per_pixel / sim->zoom + *l;
    *b = vh * sim->metres_per_pixel / sim->zoom + *t;
}

bool PhysicsSimulation::IsInView(const Actor* actor) const {
    b2AABB box;
    if (!ActorBox(actor, &box)) return false;
    float l, t, r, b;
    ViewRect(this, &l, &t, &r, &b);
    return box.lowerBound.x >= l && box.upperBound.x <= r && box.lowerBound.y >= t && box.upperBound.y <= b;
}

bool PhysicsSimulation::MayShow(vec2_t c, const kd_bitmap_t* bm, float scale) const {
    if (!bm) return false;
    const float w = (float)bm->width, h = (float)bm->height;
    const float reach = 0.75f * sqrtf(w * w + h * h) * fabsf(scale) + 1.0f;
    float l, t, r, b;
    ViewRect(this, &l, &t, &r, &b);
    // Written so that a NaN anywhere draws, as before.
    return !(c.x + reach < l || c.x - reach > r || c.y + reach < t || c.y - reach > b);
}

bool PhysicsSimulation::IsPartlyInView(const Actor* actor) const {
    b2AABB box;
    if (!ActorBox(actor, &box)) return false;
    float l, t, r, b;
    ViewRect(this, &l, &t, &r, &b);
    return box.lowerBound.x <= r && box.upperBound.x >= l && box.lowerBound.y <= b && box.upperBound.y >= t;
}
