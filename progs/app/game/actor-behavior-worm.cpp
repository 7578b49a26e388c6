// The worm's behaviour: sticking, collecting, killing, getting hurt and
// the drawing of the whole worm.
#include "game/actor-behavior-worm.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "audioman.h"
#include "game/actor-behaviors-collectables.h"
#include "game/actor-behaviors-hazards.h"
#include "game/game-level.h"
#include "game/game-lib.h"
#include "game/game-rules.h"
#include "physics/actor-behaviors.h"
#include "physics/actor-shapes.h"
#include "physics/b2-compat.h"
#include "physics/physics-manager.h"
#include "ui/screen-manager.h"

namespace {

vec2_t Position(const Actor* a) {
    const b2Vec2 p = a->body->GetPosition();
    return vec2_t{p.x, p.y};
}

// The worm's face turns triumphant; a second reason keeps it so longer.
void Triumph() {
    level.expression_time = level.expression == 4 ? level.expression_time + 1.5f : 1.5f;
    level.expression = 4;
}

// The HUD's collected-items counter jumps.
void BounceCounter() {
    level.collect_bounce += 8.0f;
    while (level.collect_bounce > 8.0f) level.collect_bounce -= 2.0f;
}

// How much larger than the reference the screen is drawn, covering it.
float CoverScale(float w, float h) {
    const float rw = (float)sman.reference_width, rh = (float)sman.reference_height;
    if (rw < 1.0f || rh < 1.0f || (w == rw && h == rh)) return 1.0f;
    return fmaxf((w + 2.0f) / rw, (h + 2.0f) / rh);
}

// A collected item flies from where it was taken to its slot in the HUD
// row; the slot follows the number collected so far.
void AddFlyIn(const PhysicsSimulation* sim, const Actor* item, kd_bitmap_t* bitmap, float angle) {
    DeziDediFlyIn f;
    const vec2_t at = sim->TransformWorldPositionToScreen(Position(item));
    f.start_x = at.x;
    f.start_y = at.y;
    float W, H;
    ui_screen.ViewSize(&W, &H);
    const float s = CoverScale(W, H);
    const float w = bitmap ? (float)bitmap->width * s * 0.75f : 0.0f;
    const float h = bitmap ? (float)bitmap->height * s * 0.75f : 0.0f;
    const vec2_t anchor = level.hud_fruit_position;
    f.target_x =
        anchor.x * W - (w * ((float)level.required_targets * 0.5f - (float)level.targets_collected) + w * 0.5f);
    f.target_y = anchor.y * (H + h * 0.5f);
    f.progress = 0.0f;
    f.flying = true;
    f.angle = angle;
    f.spin = randf(-1.0f, 1.0f);
    f.bitmap = bitmap;
    f.kind = 0;
    f.shrink = true;
    level.fly_ins.InsertLast(f);
}

// The world points of a touching contact (none for a sensor).
int ContactPoints(b2Contact* contact, b2WorldManifold* wm) {
    if (!contact) return 0;
    const int n = contact->GetManifold()->pointCount;
    if (n > 0) contact->GetWorldManifold(wm);
    return n;
}

// The push of a hit, given after the step: the step's bodies may not be
// changed from inside it. Every link gets `impulse`, the two ends six times
// as much, each at its centre of mass.
class PushWorm : public WorldChange {
public:
    explicit PushWorm(b2Vec2 j) : impulse(j) {}
    void Apply(PhysicsSimulation* sim) override {
        const int n = sim->worm_parts.count;
        for (int i = 0; i < n; i++) {
            b2Body* body = sim->worm_parts[i]->body;
            if (!body || body->GetType() != b2_dynamicBody) continue;
            const float k = (i == 0 || i == n - 1) ? 6.0f : 1.0f;
            B2ApplyLinearImpulse(body, k * impulse, body->GetWorldCenter());
        }
    }
    b2Vec2 impulse;
};

// The weld of a worm end to what it touched. Made when the step is over;
// dropped when either actor is destroyed first, and not made when the end
// has been freed or welded meanwhile.
class WeldEnd : public WorldChange {
public:
    WeldEnd(Actor* e, Actor* t) : end(e), target(t) {}
    void Apply(PhysicsSimulation* sim) override {
        if (end->weld_target != target || end->welded || level.ending) return;
        if (!sim->world || !end->body || !target->body || sim->actors.Find(target) < 0) return;
        b2WeldJointDef def;
        def.Initialize(target->body, end->body, end->body->GetWorldCenter());
        def.collideConnected = true;
        def.userData.pointer = ID_WELD_JOINTS;
        sim->world->CreateJoint(&def);
        end->welded = 1;
        end->stick_on_touch = 0;
        // Gripping, the worm looks idle again and blinks in 5 to 10 s.
        level.expression = 0;
        level.expression_time = randf(5.0f, 10.0f);
    }
    bool Refers(const Actor* a) const override { return a == end || a == target; }
    Actor* end;
    Actor* target;
};

struct ColorProbe {
    uint32_t color = 0;
    bool seen = false;
};

void CatchColor(kd_vertex_t* v, int count, void* user) {
    ColorProbe* probe = static_cast<ColorProbe*>(user);
    if (count > 0 && !probe->seen) {
        probe->color = v[0].color;
        probe->seen = true;
    }
}

// A colour as the renderer reads it from a vertex, opaque. The byte order
// belongs to the renderer (blue first for the engine's own, red first
// under OpenGL ES) and is not told; the engine packs the drawing colour
// in it, and a rectangle of no size drawn in that colour hands the packed
// form to a vertex processor.
uint32_t PackedColor(float r, float g, float b) {
    ColorProbe probe;
    kd->SetColor(r, g, b);
    kd->SetAlpha(1.0f);
    kd->PushVertexProcessor(CatchColor, &probe);
    kd->DrawRect(0, 0, 0, 0);
    // Not seen: the processor stack was full and the push was ignored.
    if (probe.seen) kd->PopVertexProcessor();
    if (!probe.seen) {
        const uint8_t bytes[4] = {(uint8_t)(b * 255.0f), (uint8_t)(g * 255.0f), (uint8_t)(r * 255.0f), 255};
        memcpy(&probe.color, bytes, sizeof probe.color);
    }
    uint8_t* bytes = reinterpret_cast<uint8_t*>(&probe.color);
    bytes[3] = 255;
    return probe.color;
}

}  // namespace

// ---------------------------------------------------------------- contacts

bool ActorBehaviorWorm::OnContact(Actor* self, Actor* other, b2Contact* contact) {
    if (!self || !other) return true;
    if (other->Has(TAG_REQUIRED_TARGET) && other->hit_points > 0)
        WormHitRequiredTarget(self, other);
    else if (other->Has(TAG_HAZARD) && other->hit_points > 0)
        WormHitHazard(self, other, contact);
    return true;
}

bool ActorBehaviorWorm::IsKillingPart(const Actor* part, int parts) {
    return part->Has(TAG_WORM_TAIL) || (part->Has(TAG_WORM_BODY) && part->worm_index > parts - 7);
}

void ActorBehaviorWorm::WormHitHazard(Actor* self, Actor* other, b2Contact* contact) {
    PhysicsSimulation* sim = PhysicsSimulation::active_sim;
    const int n = sim ? sim->worm_parts.count : 0;
    if (IsKillingPart(self, n)) {
        HitBug(self, other, contact);
        return;
    }
    if (level.invulnerability < 0 && !level.level_over && !level.worm_dead && other->state != HAZARD_DYING)
        GetHit(self, other, contact);
}

void ActorBehaviorWorm::HitBug(Actor* self, Actor* other, b2Contact* contact) {
    PhysicsSimulation* sim = PhysicsSimulation::active_sim;
    if (!sim || !other->Has(TAG_DESTROYABLE) || other->state == HAZARD_DYING || !self->body || !other->body) return;
    const b2Vec2 d = other->body->GetPosition() - self->body->GetPosition();
    const b2Vec2 v = self->body->GetLinearVelocity();
    // The speed of the blow along the line to the bug (scaled by the
    // distance between the centres).
    const float m = fabsf(b2Dot(d, v));
    if (contact && m < 5.0f) return;

    if (!other->Has(TAG_BOSS)) {
        if (!other->Has(TAG_AMMO)) {
            RaiseProfileStatistic("bugs_killed");
            level.kill_streak_time = 0.65f;
            level.kill_streak++;
            level.bugs_killed++;
        }
        other->triggered = 1;
        other->state = HAZARD_DYING;
    } else {
        if (other->hit_cooldown >= 0.01f || level.worm_dead) return;
        sim->SetHitPoints(other, other->hit_points - 1.0f);
        other->hit_cooldown = 0.5f;
        kd->Printf("Boss hit: %d hit points left\n", (int)ceilf(fmaxf(other->hit_points, 0.0f)));
        if (other->hit_points <= 0.01f) {
            KillBoss(self, other, contact);
        } else {
            PlayLibSoundVaried(LIB_SND_HITTING_BOSS);
            // A killed boss stays dying: back in the hit pose it would
            // recover, hurt the worm and die a second time.
            other->state = HAZARD_HIT;
            other->state_time = 0.0f;
        }
    }
    if (!contact) return;

    Triumph();
    if (!other->Has(TAG_AMMO | TAG_BOSS)) {
        vec2_t dir;
        const float speed = v.Length();
        if (UnitVector(vec2_t{d.x, d.y}, &dir) && speed > kMinDirectionLength)
            other->fling_velocity = vec2_t{dir.x * speed * 10.0f, dir.y * speed * 10.0f};
    }
    PlayKillSound(other);
    if (m > 5.0f) {
        b2WorldManifold wm;
        const int points = ContactPoints(contact, &wm);
        int k = level.kill_streak - 1;
        k = k < 0 ? 0 : (k > 3 ? 3 : k);
        for (int i = 0; i < points; i++) {
            const vec2_t p = {wm.points[i].x, wm.points[i].y};
            if (other->shape)
                sim->SpawnEffect(sim->front_particles, other->shape->fx_destroyed, p, other->body->GetAngle());
            SpawnLibEffect(sim, LIB_FX_SPLASH, p, 0.0f);
            // The streak's bursts grow with each kill and stay on the last.
            if (!other->Has(TAG_AMMO))
                SpawnLibEffect(sim, (LibEffect)(LIB_FX_POW_0 + k), vec2_t{p.x, p.y - 1.0f}, 0.0f);
        }
    }
    if (m > 20.0f) level.shake_time = 0.1f;
}

void ActorBehaviorWorm::KillBoss(Actor*, Actor* boss, b2Contact*) {
    PhysicsSimulation* sim = PhysicsSimulation::active_sim;
    boss->triggered = 1;
    boss->state = HAZARD_DYING;
    PlayLibSound(LIB_SND_DIES_BOSS);
    if (sim && boss->body)
        sim->SpawnEffect(sim->middle_particles, lib.Effect(LIB_FX_WINGS_BROKEN), Position(boss), 0.0f);
}

void ActorBehaviorWorm::PlayKillSound(const Actor* bug) {
    if (bug->Has(TAG_AMMO)) return;
    if (bug->Has(TAG_HOMING))
        PlayLibSoundVaried(LIB_SND_HITTING_HOMING);
    else if (bug->Has(TAG_MINE))
        PlayLibSoundVaried(LIB_SND_HITTING_MINE);
    else if (bug->Has(TAG_BOSS))
        return;
    else if (bug->Has(TAG_SHOOTING))
        PlayLibSoundVaried(LIB_SND_HITTING_SHOOTING);
    else
        PlayLibSoundVaried(LIB_SND_HITTING_BUG);
}

void ActorBehaviorWorm::GetHit(Actor* self, Actor* other, b2Contact* contact) {
    PhysicsSimulation* sim = PhysicsSimulation::active_sim;
    level.invulnerability = 2.0f;

    // Pushed away from what hurt it: full strength only on the last life.
    b2WorldManifold wm;
    const int points = ContactPoints(contact, &wm);
    vec2_t away;
    bool has_direction = false;
    if (points > 0) {
        // The world normal runs from fixture A to fixture B.
        const bool hazard_is_a = contact->GetFixtureA()->GetBody() == other->body;
        away = hazard_is_a ? vec2_t{wm.normal.x, wm.normal.y} : vec2_t{-wm.normal.x, -wm.normal.y};
        has_direction = UnitVector(away, &away);
    } else if (self->body && other->body) {
        const b2Vec2 d = self->body->GetPosition() - other->body->GetPosition();
        has_direction = UnitVector(vec2_t{d.x, d.y}, &away);
    }
    if (sim && has_direction) {
        const float k = 7.0f * (level.lives > 1 ? 0.3f : 1.0f);
        sim->QueueChange(new PushWorm(b2Vec2(away.x * k, away.y * k)));
    }

    other->state = HAZARD_HIT;
    other->state_time = 0.0f;
    for (int i = 0; i < points && sim; i++)
        SpawnLibEffect(sim, LIB_FX_SPLASH_RED, vec2_t{wm.points[i].x, wm.points[i].y}, 0.0f);

    if (level.lives > 0) level.lives--;
    kd->Printf("Worm hurt, lives left: %d\n", level.lives);
    if (level.lives == 0 && level.lives_enabled) {
        PlayLibSoundVaried(LIB_SND_DIES_WORM);
        level.worm_dead = true;
        aman.StopMusic(1.0f);
    } else {
        PlayLibSoundVaried((LibSound)(LIB_SND_DAMAGE_1 + rand() % 3));
    }
    // A homing bug dies of the collision.
    if (other->Has(TAG_HOMING)) {
        other->triggered = 1;
        other->state = HAZARD_DYING;
        if (sim) sim->SetHitPoints(other, other->hit_points - 1.0f);
    }
}

void ActorBehaviorWorm::WormHitRequiredTarget(Actor* self, Actor* other) {
    PhysicsSimulation* sim = PhysicsSimulation::active_sim;
    if (!sim || !other->body) return;
    if (!other->Has(TAG_COLLECTABLE)) {
        // An egg: it breaks, and the simulation removes it on its next
        // update (never from inside the step).
        RaiseProfileStatistic("eggs_collected");
        level.targets_collected++;
        level.eggs_collected++;
        BounceCounter();
        PlayLibSound(LIB_SND_EGG_HIT);
        AddFlyIn(sim, other, lib.Bitmap(LIB_EGG), other->body->GetAngle());
        if (other->shape)
            sim->SpawnEffect(sim->front_particles, other->shape->fx_hit, Position(other), other->body->GetAngle());
        sim->SetHitPoints(other, -1.0f);
        return;
    }
    if (other->triggered) return;  // each fruit counts once
    RaiseProfileStatistic("fruits_collected");
    other->triggered = 1;
    level.targets_collected++;
    if (sim->collected_fruit.Find(other) < 0) sim->collected_fruit.InsertLast(other);
    BounceCounter();
    level.expression_time = 0.2f;
    level.expression = 1;
    PlayLibSound(level.targets_collected == level.required_targets ? LIB_SND_FRUITS_COLLECTED
                                                                   : LIB_SND_COLLECTING_FRUIT);
    AddFlyIn(sim, other, lib.Bitmap(LIB_FRUIT), other->angle_offset);
    // The flying copy replaces the fruit in the world.
    other->alpha = 0.0f;
    if (other->shape)
        sim->SpawnEffect(sim->front_particles, other->shape->fx_hit, Position(other), other->body->GetAngle());
    const Actor* head = sim->WormHead() ? sim->WormHead() : self;
    if (head->body) SpawnLibEffect(sim, LIB_FX_HEARTS, Position(head), 0.0f);

    if (!level.all_collected) {
        level.all_collected = level.targets_collected == level.required_targets;
        if (level.all_collected && sim->HasActorWithFlags(TAG_WORM_HOLE)) {
            level.camera_mode = CAMERA_ALL_COLLECTED;
            level.camera_mode_time = 0.0f;
            StartRope(sim);
        }
    }
}

// ---------------------------------------------------------------- update

void ActorBehaviorWorm::Update(Actor* self, float dt) {
    self->hit_fx_cooldown = fmaxf(self->hit_fx_cooldown - dt, 0.0f);
    PhysicsSimulation* sim = PhysicsSimulation::active_sim;
    if (!sim || !self->weld_target || self->welded || level.ending) return;
    sim->QueueChange(new WeldEnd(self, self->weld_target));
}

// ---------------------------------------------------------------- drawing

bool ActorBehaviorWorm::DrawBodyStrip(const PhysicsSimulation* sim, float c) {
    const int n = sim ? sim->worm_parts.count : 0;
    kd_bitmap_t* bm = lib.Bitmap(LIB_WORM_BODY);
    const Actor* head = n > 1 ? sim->worm_parts[0] : nullptr;
    if (!bm || !head || !head->shape || n > 4096) return false;
    for (int k = 0; k < n; k++)
        if (!sim->worm_parts[k]->body) return false;
    const float r = head->shape->radius * sim->metres_per_pixel;

    // The strip's half width at each part, across the worm's direction
    // there. Two parts lying on each other give no direction; they take
    // their neighbour's.
    std::vector<vec2_t> p(n), side(n);
    std::vector<bool> known(n);
    for (int k = 0; k < n; k++) p[k] = Position(sim->worm_parts[k]);
    int any = -1;
    for (int k = 0; k < n; k++) {
        const vec2_t a = p[k == 0 ? 0 : (k == n - 1 ? n - 2 : k - 1)];
        const vec2_t b = p[k == 0 ? 1 : (k == n - 1 ? n - 1 : k + 1)];
        vec2_t u;
        known[k] = UnitVector(vec2_t{b.y - a.y, -(b.x - a.x)}, &u);
        side[k] = known[k] ? vec2_t{u.x * r, u.y * r} : vec2_t{0, 0};
        if (known[k] && any < 0) any = k;
    }
    if (any < 0) return false;
    for (int k = 0; k < n; k++)
        if (!known[k]) side[k] = k < any ? side[any] : side[k - 1];

    const uint32_t color = PackedColor(1.0f, c, c);
    const float z = kd->GetDepthDefault();
    // The picture is stretched once along the whole worm.
    for (int k = 0; k + 1 < n; k++) {
        const float u0 = (float)k / (float)n, u1 = (float)(k + 1) / (float)n;
        const vec2_t a = p[k], b = p[k + 1], sa = side[k], sb = side[k + 1];
        kd_vertex_t v[4] = {
            {a.x - sa.x, a.y - sa.y, z, color, u0, 0.0f},
            {b.x - sb.x, b.y - sb.y, z, color, u1, 0.0f},
            {a.x + sa.x, a.y + sa.y, z, color, u0, 1.0f},
            {b.x + sb.x, b.y + sb.y, z, color, u1, 1.0f},
        };
        kd->DrawBitmap4V(bm, v);
    }
    return true;
}

void ActorBehaviorWorm::DrawForeground(Actor* self) {
    PhysicsSimulation* sim = PhysicsSimulation::active_sim;
    if (!sim || !self->body) return;
    // Hurt, the worm pulses red once a second.
    const float c =
        level.invulnerability >= 0 ? 0.5f + 0.25f * (cosf(2.0f * 3.14159265f * level.invulnerability) + 1.0f) : 1.0f;
    kd->SetColor(1.0f, c, c);
    const bool head = self->Has(TAG_WORM_HEAD), tail = self->Has(TAG_WORM_TAIL);
    if (head) DrawBodyStrip(sim, c);

    ActorShape* shape = self->shape;
    if (shape && shape->bitmap_fore && (head || tail)) {
        const bool grips = self->welded != 0;
        kd_bitmap_t* bm = grips ? shape->bitmap_fore : shape->bitmap;
        if (head) {
            // Later faces win: triumph, then a blink, then the hurt face.
            auto pick = [&](LibBitmap slot) {
                if (kd_bitmap_t* b = lib.Bitmap(slot)) bm = b;
            };
            if (level.expression == 4 || level.ending) pick(grips ? LIB_WORM_HEAD_GRAB_STARS : LIB_WORM_HEAD_LEVEL_END);
            if (level.expression == 3) pick(grips ? LIB_WORM_HEAD_GRAB_EYES_CLOSED : LIB_WORM_HEAD_EYES_CLOSED);
            if (level.invulnerability > 0 || level.worm_dead) pick(LIB_WORM_HEAD_HURT);
        }
        if (bm) {
            SelectFrameByDamage(bm, self);
            // The end pictures have 26 pixels per radius unit.
            const b2Vec2 at = self->body->GetPosition();
            kd->DrawBitmapRS(bm, at.x, at.y, self->angle_offset + self->body->GetAngle(),
                             shape->radius * sim->metres_per_pixel / 26.0f);
        }
    }
    kd->SetAlpha(1.0f);
    kd->SetColor(1.0f, 1.0f, 1.0f);
}

// ---------------------------------------------------------------- registration

void GameRules::MakeWormBehavior(ActorBehaviors::Made& made) { made.emplace_back(new ActorBehaviorWorm()); }
