// Actor tags, the joints an actor gets from its tags, the worm assembled
// from its head, its tail and generated segments, the walls around the
// world, damage and explosions.
#include "physics/actor.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include "physics/actor-shapes.h"
#include "physics/b2-compat.h"
#include "physics/physics-manager.h"
#include "physics/world-file.h"

// ---------------------------------------------------------------- tags

const char* const actor_tag_names[30] = {
    "REQUIRED_TARGET", "BONUS_TARGET", "IMMORTAL", "WORM_BODY", "WORM_HEAD", "WORM_TAIL",
    "WORM_HOLE", "END_BUG", "SENSOR", "NON_STICK", "ROTATE_FREE", "GRABBABLE",
    "ROTATE", "MOVE", "MOVE_LIMIT", "HAZARD", "SLIPPERY", "COLLECTABLE",
    "DESTROYABLE", "SIDE_WALL", "MOON", "EXIT", "DESTROYABLE_BLOCK_LONG", "DESTROYABLE_BLOCK_BIG",
    "DESTROYABLE_BLOCK_SMALL", "SHOOTING", "MINE", "AMMO", "BOSS", "HOMING",
};

static bool IsTagSeparator(char c) { return c == ' ' || c == ',' || c == ';'; }

uint32_t ParseActorTags(const char* text) {
    uint32_t flags = 0;
    if (!text) return 0;
    for (int bit = 0; bit < 30; bit++) {
        const char* name = actor_tag_names[bit];
        size_t len = strlen(name);
        for (const char* at = strstr(text, name); at; at = strstr(at + 1, name)) {
            bool starts = at == text || IsTagSeparator(at[-1]);
            bool ends = at[len] == 0 || IsTagSeparator(at[len]);
            if (starts && ends) {
                flags |= 1u << bit;
                break;
            }
        }
    }
    return flags;
}

float randf(float a, float b) { return (float)(a + (double)(b - a) * (double)rand() / (double)RAND_MAX); }

float FastInvSqrt(float x) {
    float half = 0.5f * x;
    uint32_t i;
    memcpy(&i, &x, sizeof i);
    i = 0x5F3759DFu - (i >> 1);
    float y;
    memcpy(&y, &i, sizeof y);
    return y * (1.5f - half * y * y);
}

bool UnitVector(vec2_t v, vec2_t* unit) {
    const float len2 = v.x * v.x + v.y * v.y;
    if (!(len2 >= kMinDirectionLength * kMinDirectionLength) || !isfinite(len2)) return false;
    const float inv = FastInvSqrt(len2);
    *unit = vec2_t{v.x * inv, v.y * inv};
    return true;
}

// ---------------------------------------------------------------- joints

void PhysicsSimulation::AddJoints(Actor* actor) {
    if (!actor || !actor->body || !world || !ground_body) return;
    b2Body* body = actor->body;
    const bool dynamic = body->GetType() == b2_dynamicBody;
    const b2Vec2 centre = body->GetWorldCenter();

    if (actor->Has(TAG_HOMING)) {
        body->SetFixedRotation(true);
        body->ResetMassData();
    }
    if (actor->Has(TAG_ROTATE_FREE) && dynamic) {
        // A brake, not a drive: spins given by hits die down.
        b2RevoluteJointDef def;
        def.Initialize(ground_body, body, centre);
        def.enableMotor = true;
        def.motorSpeed = 0.0f;
        def.maxMotorTorque = 100.0f;
        def.enableLimit = false;
        def.collideConnected = false;
        world->CreateJoint(&def);
    }
    if (actor->Has(TAG_ROTATE) && dynamic) {
        b2RevoluteJointDef def;
        def.Initialize(ground_body, body, centre);
        def.enableMotor = true;
        def.motorSpeed = 0.5f;
        def.maxMotorTorque = 700.0f;
        world->CreateJoint(&def);
    }
    if (actor->Has(TAG_MOVE) && dynamic) {
        // Without a direction the axis is arbitrary: such a movement is
        // shorter than 1 and holds the actor in place below.
        const vec2_t m = actor->move;
        vec2_t unit = {1.0f, 0.0f};
        const float len = UnitVector(m, &unit) ? sqrtf(m.x * m.x + m.y * m.y) : 0.0f;
        const b2Vec2 axis(unit.x, unit.y);
        b2PrismaticJointDef def;
        def.Initialize(ground_body, body, centre, axis);
        def.enableMotor = true;
        def.motorSpeed = actor->move_speed;
        def.maxMotorForce = 400.0f;
        def.enableLimit = false;
        if (actor->Has(TAG_MOVE_LIMIT)) {
            def.enableLimit = true;
            def.lowerTranslation = 0.0f;
            def.upperTranslation = len;
            if (actor->Has(TAG_BOSS)) def.maxMotorForce = 100000.0f;
        }
        if (len < 1.0f) {
            // Too short to travel: held in place along the axis.
            def.enableMotor = false;
            def.motorSpeed = 0.0f;
            def.maxMotorForce = 0.0f;
            def.enableLimit = true;
            def.lowerTranslation = 0.0f;
            def.upperTranslation = 0.0f;
        }
        world->CreateJoint(&def);
    }
    if (actor->Has(TAG_COLLECTABLE) && dynamic) {
        b2WeldJointDef def;
        def.Initialize(ground_body, body, centre);
        def.collideConnected = true;
        world->CreateJoint(&def);
    }
}

// ---------------------------------------------------------------- worm

static void WakeOrSleep(b2Body* body, bool editor) {
    if (!body) return;
    // Asleep, a body loses its velocities and forces: the editor's world
    // stands still.
    body->SetAwake(!editor);
}

Actor* PhysicsSimulation::CreateWormBody(vec2_t position, int index) {
    ActorShape* shape = physics_man.GetShape("actors/game-worm-body.xml");
    Actor* a = CreateActor(shape, position, vec2_t{0, 0}, 0.0f, index, 1.5f);
    if (a) WakeOrSleep(a->body, editor_mode != 0);
    return a;
}

// The rope keeps two neighbours from parting further than `max_length`;
// the spring pulls them towards `spring_length` and lets them touch.
static void LinkWormParts(b2World* world, Actor* prev, Actor* next, float max_length, float spring_length) {
    b2DistanceJointDef rope;
    B2InitRope(&rope, next->body, prev->body, b2Vec2(0, 0), b2Vec2(0, 0), max_length);
    rope.collideConnected = false;
    world->CreateJoint(&rope);

    b2DistanceJointDef spring;
    spring.Initialize(prev->body, next->body, prev->body->GetPosition(), next->body->GetPosition());
    spring.length = spring_length;
    B2SetDistanceSpring(&spring, 10.0f, 0.5f);
    spring.collideConnected = true;
    world->CreateJoint(&spring);
}

void PhysicsSimulation::ConnectWorm() {
    Actor* head = nullptr;
    Actor* tail = nullptr;
    for (int i = 0; i < actors.count; i++) {
        Actor* a = actors[i];
        if (a->Has(TAG_WORM_HEAD)) {
            worm_parts.InsertLast(a);
            a->worm_index = 0;
            head = a;
        }
        if (a->Has(TAG_WORM_TAIL)) {
            a->worm_index = worm_links + 1;
            tail = a;
        }
    }
    if (worm_links < 1 || worm_links > WORLD_MAX_WORM_LINKS) {
        kd->PrintDebugf(KD_LOG_WARNING, "PhysicsSimulation::ConnectWorm: %d links is not in 1..%d; using 7.\n",
                        worm_links, WORLD_MAX_WORM_LINKS);
        worm_links = 7;
        if (tail) tail->worm_index = worm_links + 1;
    }
    if (head && tail && head != tail && head->body && tail->body && world && !IsStepping()) {
        const float d = worm_link_distance;
        const int L = worm_links;
        const float rope = 2.0f * d / 2.25f;
        const b2Vec2 H = head->body->GetPosition(), T = tail->body->GetPosition();
        Actor* prev = head;
        for (int k = 1; k <= 3 * L; k++) {
            float f = (float)k / (float)(L + 1) / 3.0f;
            vec2_t p = {H.x + f * (T.x - H.x), H.y + f * (T.y - H.y)};
            Actor* segment = CreateWormBody(p, k);
            if (!segment) break;
            worm_parts.InsertLast(segment);
            LinkWormParts(world, prev, segment, rope, (d / 3.0f) * 0.75f);
            prev = segment;
        }
        LinkWormParts(world, prev, tail, rope, (d / 3.0f) * 0.5f);
        tail->worm_index = prev->worm_index + 1;
        worm_parts.InsertLast(tail);
    }
    UpdateActorOrder();
}

// ---------------------------------------------------------------- walls

void PhysicsSimulation::AddWalls() {
    if (!world || IsStepping()) return;
    ActorShape* shape = physics_man.GetShape("actors/wall.xml");
    const float m = metres_per_pixel;
    const float w = shape && shape->bitmap ? shape->bitmap->width * m : 0.0f;
    const float h = shape && shape->bitmap ? shape->bitmap->height * m : 0.0f;
    if (!(h > 0.0f) || !(w >= 0.0f) || !isfinite(h)) {
        // The walls are laid half a bitmap apart: without a bitmap height
        // the row would never end.
        kd->PrintDebugf(KD_LOG_WARNING, "PhysicsSimulation::AddWalls: 'actors/wall.xml' has no bitmap; no walls.\n");
        return;
    }
    const float x1 = world_bounds[0], y1 = world_bounds[1], x2 = world_bounds[2], y2 = world_bounds[3];
    const float half_pi = 1.5707964f;
    auto wall = [&](float x, float y, float angle) {
        Actor* a = CreateActor(shape, vec2_t{x, y}, vec2_t{0, 0}, angle, 0, 1.5f);
        if (a) WakeOrSleep(a->body, editor_mode != 0);
    };
    // Counted steps rather than a summed position, so the number of walls
    // does not depend on rounding. A side longer than the cap would take
    // millions of bodies: it gets the cap's worth and a line.
    const float step = h / 2;
    auto count = [&](float span, const char* side) {
        if (!(span > 0)) return 0;
        double n = ceil((double)span / step);
        if (n > WORLD_MAX_WALLS_PER_SIDE) {
            kd->PrintDebugf(KD_LOG_WARNING,
                            "PhysicsSimulation::AddWalls: the %s side needs %.0f walls; only the first %d are made.\n",
                            side, n, WORLD_MAX_WALLS_PER_SIDE);
            return (int)WORLD_MAX_WALLS_PER_SIDE;
        }
        return (int)n;
    };
    const int nx = count(x2 - x1, "top and bottom"), ny = count(y2 - y1, "left and right");
    for (int i = 0; i < nx; i++) wall(x1 + i * step + h / 4, y1 + w / 4, -half_pi);
    for (int i = 0; i < nx; i++) wall(x1 + i * step + h / 4, y2 - w / 4, half_pi);
    for (int i = 0; i < ny; i++) wall(x1 + w / 4, y1 + i * step + h / 4, 3.14159265f);
    for (int i = 0; i < ny; i++) wall(x2 - w / 4, y1 + i * step + h / 4, 0.0f);
}

// ---------------------------------------------------------------- damage

bool PhysicsSimulation::DealDamage(Actor* actor, float amount) {
    if (!actor || editor_mode || actor->Has(TAG_IMMORTAL)) return false;
    if (actor->shape && actor->shape->body_type == BODY_STATIC) return false;
    SetHitPoints(actor, actor->hit_points - amount);
    return actor->hit_points < 0;
}

namespace {

// An explosion asked for during a step (by a contact rule) waits for the
// step to end. The spared actor is often the one that explodes and is
// destroyed in the same step, so the change does not die with it.
class ExplosionChange : public WorldChange {
public:
    ExplosionChange(vec2_t c, float r, float f, Actor* s) : centre(c), radius(r), force(f), spared(s) {}
    void Apply(PhysicsSimulation* sim) override {
        if (sim->actors.Find(spared) < 0) spared = nullptr;
        sim->SimulateExplosion(centre, radius, force, spared);
    }
    vec2_t centre;
    float radius, force;
    Actor* spared;
};

}  // namespace

void PhysicsSimulation::SimulateExplosion(vec2_t centre, float radius, float force, Actor* spared) {
    if (!world || !(radius > 0.0f) || !isfinite(radius) || !isfinite(centre.x) || !isfinite(centre.y)) return;
    if (IsStepping()) {
        QueueChange(new ExplosionChange(centre, radius, force, spared));
        return;
    }
    nArray<Actor*> hit = QueryActorInsideBox(centre, 2 * radius, 2 * radius);
    for (int i = 0; i < hit.count; i++) {
        Actor* a = hit[i];
        if (a == spared || !a->body) continue;
        b2Vec2 p = a->body->GetPosition();
        b2Vec2 d(p.x - centre.x, p.y - centre.y);
        float r = d.Length();
        float f = 1.0f - r / radius;
        if (f < 0) f = 0;
        if (f > 1) f = 1;
        // Against RAND_MAX: on this platform rand() goes far past 32767,
        // and an offset of kilometres would spin the body wildly.
        float ox = (float)rand() / (float)RAND_MAX * 0.4f - 0.2f;
        float oy = (float)rand() / (float)RAND_MAX * 0.4f - 0.2f;
        // At the very centre there is no direction to push in.
        if (!(r > kMinDirectionLength)) continue;
        if (a->body->GetType() != b2_dynamicBody) continue;
        b2Vec2 J = (force * f / r) * d;
        b2Vec2 at = a->body->GetWorldCenter() + b2Vec2(ox, oy);
        B2ApplyLinearImpulse(a->body, J, at);
    }
}
