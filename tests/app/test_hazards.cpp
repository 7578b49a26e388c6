// The hazards and the boss in small worlds of the bundled actors: homing
// bugs, mines, projectiles, patrolling bugs and the boss's phases, and the
// cases that used to break them (no worm, no direction, changes asked for
// during a step, an ammunition the table does not know).
#include <gtest/gtest.h>
#include <math.h>

#include <box2d/box2d.h>

#include <set>

#include "app-env.h"
#include "game/actor-behaviors-hazards.h"
#include "game/game-level.h"
#include "game/game-lib.h"
#include "manager.h"
#include "particle-effects.h"
#include "physics/actor-behaviors.h"
#include "physics/b2-compat.h"
#include "recording-kd.h"
#include "ui/screen-manager.h"

namespace {

const float kFrame = 1.0f / 60;

std::string Ball(const char* type, const char* tags, int radius) {
    return std::string("<array id=\"info\"><node id=\"type\" value=\"") + type + "\"/><node id=\"tags\" value=\"" +
           tags + "\"/></array><array id=\"circle\"><node id=\"radius\" value=\"" + std::to_string(radius) +
           "\"/><node id=\"offset\" x=\"0\" y=\"0\"/></array>";
}

std::string Box(const char* type, int w, int h) {
    return std::string("<array id=\"info\"><node id=\"type\" value=\"") + type +
           "\"/></array><array id=\"rectangle\"><node id=\"width\" value=\"" + std::to_string(w) +
           "\"/><node id=\"height\" value=\"" + std::to_string(h) + "\"/></array>";
}

b2Joint* FirstJoint(b2Body* body, b2JointType type) {
    for (b2JointEdge* e = body->GetJointList(); e; e = e->next)
        if (e->joint->GetType() == type) return e->joint;
    return nullptr;
}

bool Finite(const Actor* a) {
    b2Vec2 p = a->body->GetPosition(), v = a->body->GetLinearVelocity();
    return isfinite(p.x) && isfinite(p.y) && isfinite(v.x) && isfinite(v.y) && isfinite(a->body->GetAngle());
}

// A level in play with the game's resources loaded, the hazard behaviours
// registered and a 1024 x 600 screen on a camera the test points.
struct HazardWorld {
    AppEnv env;
    int screen_w = sman.virtual_width, screen_h = sman.virtual_height;
    AssetManager assets;
    PhysicsSimulation sim;
    HazardWorld() {
        sman.virtual_width = 1024;
        sman.virtual_height = 600;
        pbman.Clear();
        pbman.Init();
        ActorBehaviors::InitActorBehaviors();
        level.Reset();
        level.play_started = true;
        level.clock_running = true;
        lib.Load(assets);
        sim.InitWorld();
        Look(0, 0);
    }
    ~HazardWorld() {
        sim.FreeWorld();
        lib.Clear();
        assets.ReleaseAllAssets();
        physics_man.shapes.Free();
        ActorBehaviors::FreeActorBehaviors();
        pbman.Clear();
        level.Reset();
        sman.virtual_width = screen_w;
        sman.virtual_height = screen_h;
    }
    void Look(float x, float y) {
        PhysicsSimulation::active_sim = &sim;
        sim.SetCameraTarget(vec2_t{x, y}, false);
    }
    ActorShape* Shape(const std::string& name, const std::string& body) {
        return physics_man.GetShape(env.Write(name, body).c_str());
    }
    Actor* Add(const char* actor, float x, float y, vec2_t move = {0, 0}, float speed = 1.5f) {
        PhysicsSimulation::active_sim = &sim;
        return sim.CreateActor(physics_man.GetShape(actor), {x, y}, move, 0, 0, speed);
    }
    // Two still ends, as much of a worm as the hazards look at.
    void Worm(vec2_t head, vec2_t tail) {
        ActorShape* h = Shape("actors/head.xml", Ball("STATIC", "WORM_HEAD SENSOR", 15));
        ActorShape* t = Shape("actors/tail.xml", Ball("STATIC", "WORM_TAIL SENSOR", 15));
        sim.worm_parts.count = 0;
        sim.worm_parts.InsertLast(sim.CreateActor(h, head, {0, 0}, 0, 0, 1.5f));
        sim.worm_parts.InsertLast(sim.CreateActor(t, tail, {0, 0}, 0, 0, 1.5f));
    }
    void MoveWorm(vec2_t head, vec2_t tail) {
        sim.worm_parts[0]->body->SetTransform(b2Vec2(head.x, head.y), 0);
        sim.worm_parts[1]->body->SetTransform(b2Vec2(tail.x, tail.y), 0);
    }
    void Run(float seconds) {
        for (int i = 0; i < (int)lroundf(seconds / kFrame); i++) sim.Update(kFrame);
    }
    int Count(uint32_t tag) const { return sim.GetNumberOfActorsWithFlags(tag); }
    // Projectiles not seen before; each is marked when counted.
    int NewShots() {
        int n = 0;
        for (int i = 0; i < sim.actors.count; i++) {
            Actor* a = sim.actors[i];
            if (a->Has(TAG_AMMO) && a->counter == 0) {
                a->counter = 1;
                n++;
            }
        }
        return n;
    }
};

}  // namespace

// ---------------------------------------------------------------- registry and data

TEST(HazardData, EveryHazardActorUsesItsBehaviour) {
    HazardWorld w;
    struct Expect {
        const char* file;
        const char* behavior;
        uint32_t tags;
    } actors[] = {
        {"actors/bug-ammo.xml", "HAZARD_AMMO", TAG_AMMO | TAG_HAZARD | TAG_DESTROYABLE},
        {"actors/bug-flying.xml", "MOVING_HAZARD", TAG_MOVE | TAG_HAZARD | TAG_DESTROYABLE},
        {"actors/bug-flying-shooting.xml", "MOVING_HAZARD", TAG_MOVE | TAG_SHOOTING | TAG_HAZARD | TAG_DESTROYABLE},
        {"actors/bug-homing.xml", "HAZARD_HOMING", TAG_HOMING | TAG_HAZARD | TAG_DESTROYABLE},
        {"actors/mine.xml", "HAZARD_MINE", TAG_MINE | TAG_HAZARD | TAG_DESTROYABLE | TAG_NON_STICK},
        {"actors/bug-boss.xml", "MOVING_HAZARD",
         TAG_BOSS | TAG_SHOOTING | TAG_HAZARD | TAG_DESTROYABLE | TAG_MOVE | TAG_MOVE_LIMIT},
        {"actors/platform-moving.xml", "MOVING", TAG_MOVE | TAG_MOVE_LIMIT | TAG_GRABBABLE},
        {"actors/peg-moving.xml", "MOVING", TAG_MOVE | TAG_MOVE_LIMIT | TAG_GRABBABLE},
    };
    for (const Expect& e : actors) {
        SCOPED_TRACE(e.file);
        ActorShape* s = physics_man.GetShape(e.file);
        ASSERT_NE(s->kind, SHAPE_NONE);
        EXPECT_STREQ(s->behavior->GetName(), e.behavior);
        EXPECT_EQ(ParseActorTags(s->tags) & e.tags, e.tags);
        // Only the game's rules take their hit points: knocks do not.
        if (!(e.tags & TAG_GRABBABLE)) {
            EXPECT_TRUE(ParseActorTags(s->tags) & TAG_IMMORTAL);
        }
        // A moving thing is drawn in the foreground pass only.
        EXPECT_NE(strcmp(e.behavior, "MOVING") == 0 ? s->bitmap_fore : s->bitmap, nullptr);
    }
    EXPECT_FLOAT_EQ(physics_man.GetShape("actors/bug-boss.xml")->hit_points, 9);
    // The homing bug's lift (21.1 N) holds its weight in the world's
    // gravity of 7, so it hovers.
    Actor* homing = w.Add("actors/bug-homing.xml", 0, 0);
    EXPECT_NEAR(homing->body->GetMass() * 7.0f, 21.1f, 0.01f);
    // The two effects of the hazards burst into a handful of pictures.
    for (LibEffect e : {LIB_FX_HAZARD_DESTROYED, LIB_FX_WINGS_BROKEN}) {
        PartMan pool;
        pool.InitParts(100);
        pbman.SpawnFX(&pool, lib.Effect(e), vec2_t{0, 0}, 0, 0);
        EXPECT_GT(pool.live_count, 10) << DeziDediLib::EffectName(e);
        for (part_t* p = pool.FirstLive(); p; p = pool.NextLive(p)) EXPECT_NE(p->bitmap, nullptr);
    }
}

// ---------------------------------------------------------------- homing bugs

TEST(HazardHoming, HangsBeforeTheFirstGrabThenBreaksLooseAndTurnsTowardTheWorm) {
    HazardWorld w;
    Actor* slow = w.Add("actors/bug-homing.xml", 0, 0, {0, 0}, 1.5f);
    Actor* fast = w.Add("actors/bug-homing.xml", 16, 0, {0, 0}, 3.0f);
    w.Worm({8, -3}, {8, 3});  // both bugs within 10 of an end

    // Before the first grab it hangs where it is, however near the worm.
    level.play_started = false;
    w.Run(1.0f);
    ASSERT_NE(FirstJoint(slow->body, e_revoluteJoint), nullptr);
    EXPECT_NEAR(slow->body->GetPosition().x, 0, 0.02f);
    EXPECT_NEAR(slow->body->GetPosition().y, 0, 0.02f);
    EXPECT_NE(slow->state, 4);

    level.play_started = true;
    w.Run(kFrame);
    EXPECT_EQ(FirstJoint(slow->body, e_revoluteJoint), nullptr);
    EXPECT_EQ(slow->state, 4);  // breaking loose, with its warning
    w.Run(1.0f);
    // Flying level at the worm (its lift holds it up), each at its own
    // speed: move speed 3 chases twice as fast as 1.5.
    b2Vec2 vs = slow->body->GetLinearVelocity(), vf = fast->body->GetLinearVelocity();
    EXPECT_GT(vs.x, 0.2f);
    EXPECT_LT(vf.x, -0.4f);
    EXPECT_LT(fabsf(vs.y), 0.1f * vs.Length());
    EXPECT_NEAR(vf.Length() / vs.Length(), 2.0f, 0.1f);
    EXPECT_EQ(slow->mirrored, 1);  // facing right, the way it flies
    EXPECT_EQ(fast->mirrored, 0);
    EXPECT_NEAR(slow->body->GetPosition().y, 0, 0.1f);

    // The worm moves behind it: it turns round and follows.
    w.MoveWorm({-8, -3}, {-8, 3});
    w.Run(4.0f);
    EXPECT_LT(slow->body->GetLinearVelocity().x, -0.2f);
    EXPECT_EQ(slow->mirrored, 0);
    EXPECT_NEAR(slow->body->GetPosition().y, 0, 0.3f);

    // Knocked out (as the worm's tail does): gone on the next update, with
    // its puff of smoke where it was.
    const b2Vec2 at = slow->body->GetPosition();
    slow->triggered = 1;
    slow->state = 3;
    w.Run(kFrame);
    w.Run(kFrame);
    EXPECT_EQ(w.sim.actors.Find(slow), -1);
    part_t* p = w.sim.front_particles.FirstLive();
    ASSERT_NE(p, nullptr);
    // The particle layer counts world pixels.
    EXPECT_NEAR(p->x * w.sim.metres_per_pixel, at.x, 1.0f);
    EXPECT_NEAR(p->y * w.sim.metres_per_pixel, at.y, 1.0f);
}

// ---------------------------------------------------------------- mines

TEST(HazardMine, LitByTheWormOnScreenItBurstsOnceIntoEightProjectiles) {
    HazardWorld w;
    Actor* mine = w.Add("actors/mine.xml", 0, 0);
    w.Worm({4, -1}, {4, 1});

    // Off screen the worm beside it does not light the fuse; nor does the
    // editor's world.
    w.Look(100, 100);
    w.Run(3.0f);
    EXPECT_EQ(mine->state_time, 0);
    w.Look(0, 0);
    w.sim.editor_mode = 1;
    w.Run(3.0f);
    EXPECT_EQ(mine->state_time, 0);
    w.sim.editor_mode = 0;

    // Lit on screen; leaving the screen does not put it out.
    w.Run(0.5f);
    EXPECT_GT(mine->state_time, 0.4f);
    w.Look(100, 100);
    w.Run(1.4f);
    EXPECT_EQ(w.Count(TAG_AMMO), 0);
    int shots = 0;
    for (int i = 0; i < 30 && !shots; i++) {
        w.sim.Update(kFrame);
        shots = w.NewShots();
    }
    ASSERT_EQ(shots, 8);
    EXPECT_TRUE(mine->triggered);
    // A ring 2 m out, flying outwards.
    for (int i = 0; i < w.sim.actors.count; i++) {
        Actor* a = w.sim.actors[i];
        if (!a->Has(TAG_AMMO)) continue;
        b2Vec2 p = a->body->GetPosition(), v = a->body->GetLinearVelocity();
        EXPECT_NEAR(p.Length(), 2.0f, 0.3f);
        EXPECT_GT(b2Dot(p, v), 0);
    }
    w.Run(kFrame);
    EXPECT_EQ(w.Count(TAG_MINE), 0);
    w.Run(3.0f);
    EXPECT_EQ(w.NewShots(), 0);  // once

    // One knocked out by the worm before its time goes without a burst.
    w.Look(0, 0);
    Actor* other = w.Add("actors/mine.xml", 0, -5);
    w.Run(1.0f);
    EXPECT_GT(other->state_time, 0.9f);
    other->triggered = 1;
    other->state = 3;
    w.Run(3.0f);
    EXPECT_EQ(w.Count(TAG_MINE), 0);
    EXPECT_EQ(w.NewShots(), 0);
}

// ---------------------------------------------------------------- projectiles

namespace {

// The game's filter as far as the hazards are concerned.
struct HazardFilter : b2ContactFilter {
    bool ShouldCollide(b2Fixture* a, b2Fixture* b) override {
        if (!HazardsMayCollide(B2GetFixtureActor(a), B2GetFixtureActor(b))) return false;
        return b2ContactFilter::ShouldCollide(a, b);
    }
};

bool Overlap(const Actor* a, const Actor* b) {
    const b2Fixture* fa = a->body->GetFixtureList();
    const b2Fixture* fb = b->body->GetFixtureList();
    return fa && fb &&
           b2TestOverlap(fa->GetShape(), 0, fb->GetShape(), 0, a->body->GetTransform(), b->body->GetTransform());
}

}  // namespace

TEST(HazardAmmo, ShotsPassThroughTheirShooterAndAreSpentOnTheirFirstTouch) {
    HazardFilter filter;
    HazardWorld w;
    w.sim.world->SetContactFilter(&filter);
    Actor* boss = w.Add("actors/bug-boss.xml", 0, 0);
    Actor* wasp = w.Add("actors/bug-flying-shooting.xml", 8, 0);
    w.Add("actors/peg.xml", 0, 6.5f);  // a static floor under both
    w.Add("actors/peg.xml", 8, 6.5f);
    w.Worm({-0.5f, 4}, {0.5f, 4});  // straight below the boss

    ASSERT_TRUE(ActorBehaviorMovingHazard::Shoot(boss));
    ASSERT_EQ(w.NewShots(), 2);
    // The boss's pair starts inside the boss: only the filter's rule lets
    // them out.
    int inside = 0;
    for (int i = 0; i < w.sim.actors.count; i++)
        if (w.sim.actors[i]->Has(TAG_AMMO)) inside += Overlap(w.sim.actors[i], boss);
    EXPECT_GT(inside, 0);
    w.MoveWorm({7.5f, 4}, {8.5f, 4});
    ASSERT_TRUE(ActorBehaviorMovingHazard::Shoot(wasp));
    EXPECT_EQ(w.NewShots(), 1);
    const b2Vec2 boss_at = boss->body->GetPosition();
    w.Run(0.15f);
    // All three on their way down, none spent by its shooter, which did
    // not budge.
    int flying = 0;
    for (int i = 0; i < w.sim.actors.count; i++) {
        Actor* a = w.sim.actors[i];
        if (!a->Has(TAG_AMMO)) continue;
        flying++;
        EXPECT_FALSE(a->triggered);
        EXPECT_GT(a->body->GetLinearVelocity().y, 1.0f);
    }
    EXPECT_EQ(flying, 3);
    EXPECT_NEAR((boss->body->GetPosition() - boss_at).Length(), 0, 0.01f);
    // Spent where they meet the worm or the pegs under it.
    w.Run(1.5f);
    EXPECT_EQ(w.Count(TAG_AMMO), 0);

    // Two touching each other both survive, until their time is up (the
    // shooters hold their fire meanwhile).
    level.play_started = false;
    w.sim.world->SetGravity(b2Vec2(0, 0));
    ActorShape* ammo = physics_man.GetShape("actors/bug-ammo.xml");
    Actor* a = w.sim.CreateActor(ammo, {-20, -20}, {0, 0}, 0, 0, 1.5f);
    Actor* b = w.sim.CreateActor(ammo, {-19.7f, -20}, {0, 0}, 0, 0, 1.5f);
    w.Run(0.5f);
    EXPECT_FALSE(a->triggered);
    EXPECT_FALSE(b->triggered);
    EXPECT_EQ(w.Count(TAG_AMMO), 2);
    w.Run(7.2f);
    EXPECT_EQ(w.Count(TAG_AMMO), 0);
}

// ---------------------------------------------------------------- patrolling bugs

TEST(HazardFlying, APatrollingBugTurnsAtWallsButNotAtMovingPlatforms) {
    HazardWorld w;
    w.sim.world->SetGravity(b2Vec2(0, 0));
    Actor* to_wall = w.Add("actors/bug-flying.xml", 0, 0, {20, 0}, 1.5f);
    Actor* to_plank = w.Add("actors/bug-flying.xml", 0, 5, {20, 0}, 1.5f);
    w.sim.CreateActor(w.Shape("actors/stone.xml", Box("STATIC", 30, 90)), {3, 0}, {0, 0}, 0, 0, 1.5f);
    // A platform on its own track (held still here by a short one).
    w.Add("actors/platform-moving.xml", 5.5f, 5, {0, 0.5f}, 1.5f);
    w.Run(2.5f);
    auto* j = (b2PrismaticJoint*)FirstJoint(to_wall->body, e_prismaticJoint);
    ASSERT_NE(j, nullptr);
    EXPECT_FLOAT_EQ(j->GetMotorSpeed(), -1.5f);
    EXPECT_LT(to_wall->body->GetLinearVelocity().x, -1.0f);
    EXPECT_EQ(to_wall->mirrored, 0);  // facing left again
    j = (b2PrismaticJoint*)FirstJoint(to_plank->body, e_prismaticJoint);
    ASSERT_NE(j, nullptr);
    EXPECT_FLOAT_EQ(j->GetMotorSpeed(), 1.5f);
    EXPECT_GT(to_plank->body->GetPosition().x, 1.5f);  // it got there and pushes on
    EXPECT_EQ(to_plank->mirrored, 1);

    // Knocked out: no more patrol, flung away, faded and removed.
    to_wall->triggered = 1;
    to_wall->state = 3;
    to_wall->fling_velocity = vec2_t{0, -20};
    w.Run(kFrame);
    EXPECT_EQ(FirstJoint(to_wall->body, e_prismaticJoint), nullptr);
    EXPECT_NEAR(to_wall->body->GetLinearVelocity().y, -5, 0.1f);
    w.Run(1.0f);
    EXPECT_GT(to_wall->alpha, 0.85f);  // still tumbling: slow fade
    to_wall->body->SetLinearVelocity(b2Vec2(0, 0));
    w.Run(0.5f);  // landed: a quarter of a second
    EXPECT_EQ(w.Count(TAG_HAZARD), 1);
}

// ---------------------------------------------------------------- the boss

namespace {

std::vector<std::vector<kd_vertex_t>> health_quads;
kd_bitmap_t* health_bitmap = nullptr;
void RecordQuad(kd_bitmap_t* bm, kd_vertex_t* v) {
    if (bm && bm == health_bitmap) health_quads.push_back(std::vector<kd_vertex_t>(v, v + 4));
}

}  // namespace

TEST(HazardBoss, ChangesPhaseAtItsThresholdsAndShowsItsHealth) {
    HazardFilter filter;
    HazardWorld w;
    w.sim.contact_filter = &filter;
    w.env.Write("worlds/boss.xml",
                "<array id=\"info\"><node id=\"world_bounds\" x1=\"-20\" y1=\"-15\" x2=\"20\" y2=\"10\"/>"
                "<node id=\"worm_links\" value=\"2\"/></array><array id=\"actors\">"
                "<node actor=\"actors/bug-boss.xml\" x=\"0\" y=\"0\" move_x=\"0\" move_y=\"0\" x2=\"6\" y2=\"0\" "
                "move_x2=\"6\" move_y2=\"-5\" x3=\"-6\" y3=\"-5\" move_x3=\"-6\" move_y3=\"0\"/>"
                "<node actor=\"actors/peg.xml\" x=\"0\" y=\"7\"/>"
                "<node actor=\"actors/game-worm-head.xml\" x=\"-1\" y=\"6\"/>"
                "<node actor=\"actors/game-worm-tail.xml\" x=\"1\" y=\"6\"/></array>");
    ASSERT_TRUE(w.sim.LoadWorld("user://worlds/boss.xml"));
    Actor* boss = w.sim.GetActorByShape(physics_man.GetShape("actors/bug-boss.xml"));
    ASSERT_NE(boss, nullptr);
    ASSERT_EQ(boss->path.count, 4);
    auto centre = [&] { return boss->body->GetWorldCenter(); };
    auto at = [&](float x, float y) { return (centre() - b2Vec2(x, y)).Length(); };
    const b2Vec2 start = centre();

    // Full health: it waits where it was put, firing a pair every 2.5 s
    // (its clock runs at double speed) at the worm below.
    int shots = 0;
    for (int i = 0; i < 306; i++) {
        w.sim.Update(kFrame);
        shots += w.NewShots();
    }
    EXPECT_EQ(boss->counter, 0);
    EXPECT_LT((centre() - start).Length(), 0.05f);
    EXPECT_EQ(shots, 4);

    // 6 hit points: off to the first path point, then on to the second.
    boss->hit_points = 6;
    w.Run(kFrame);
    EXPECT_EQ(boss->counter, 1);
    auto* j = (b2PrismaticJoint*)FirstJoint(boss->body, e_prismaticJoint);
    ASSERT_NE(j, nullptr);
    EXPECT_FLOAT_EQ(j->GetMotorSpeed(), 4.5f);
    for (int i = 0; i < 300 && boss->counter == 1; i++) w.Run(kFrame);
    EXPECT_EQ(boss->counter, 2);
    EXPECT_LT(at(6, 0), 0.6f);
    w.Run(4.0f);
    EXPECT_EQ(boss->counter, 2);  // waits there until 3 hit points
    EXPECT_LT(at(6, -5), 0.1f);

    // 3 hit points: to the third and on to the fourth, where it stays.
    boss->hit_points = 3;
    for (int i = 0; i < 600 && boss->counter < 4; i++) w.Run(kFrame);
    EXPECT_EQ(boss->counter, 4);
    w.Run(6.0f);
    EXPECT_LT(at(-6, 0), 0.1f);
    for (int i = 0; i < w.sim.actors.count; i++) ASSERT_TRUE(Finite(w.sim.actors[i]));

    // The health bar over it: cut at hit points / 9.
    health_bitmap = lib.Bitmap(LIB_END_BUG_HEALTH);
    ASSERT_NE(health_bitmap, nullptr);
    RecordingKd rk(kd);
    rk.table.DrawBitmap4V = RecordQuad;
    rk.Install();
    health_quads.clear();
    boss->hit_points = 9;
    w.sim.Draw();
    boss->hit_points = 4.5f;
    w.sim.Draw();
    ASSERT_EQ(health_quads.size(), 2u);
    const float full = health_quads[0][1].x - health_quads[0][0].x;
    EXPECT_NEAR(full, health_bitmap->width * w.sim.metres_per_pixel, 1e-4f);
    EXPECT_NEAR(health_quads[1][1].x - health_quads[1][0].x, full / 2, 1e-4f);
    EXPECT_FLOAT_EQ(health_quads[1][1].u, 0.5f);
    EXPECT_NEAR(health_quads[0][0].y,
                boss->body->GetPosition().y - ActorBehaviorMovingHazard::kBossBarAbove -
                    health_bitmap->height * w.sim.metres_per_pixel / 2,
                1e-4f);

    // Beaten (as the worm's last hit does): it drops, stays in the world
    // in its dead pose, and the bar goes.
    boss->hit_points = 0;
    boss->triggered = 1;
    boss->state = 3;
    health_quads.clear();
    w.Run(1.0f);
    w.sim.Draw();
    EXPECT_TRUE(health_quads.empty());
    EXPECT_GE(w.sim.actors.Find(boss), 0);
    EXPECT_EQ(FirstJoint(boss->body, e_prismaticJoint), nullptr);
    EXPECT_GT(centre().y, -0.5f);  // fallen from its perch at y = 0
    EXPECT_FLOAT_EQ(boss->alpha, 1);
    EXPECT_EQ(boss->counter, 4);
}

// ---------------------------------------------------------------- faults

TEST(HazardFaults, AWorldWithoutAWormNeverFiresNorCrashes) {
    HazardWorld w;
    Actor* wasp = w.Add("actors/bug-flying-shooting.xml", 0, 0, {4, 0});
    Actor* boss = w.Add("actors/bug-boss.xml", 5, 0);
    const b2Vec2 c = boss->body->GetWorldCenter();
    boss->path.InsertLast(vec2_t{c.x, c.y});
    boss->path.InsertLast(vec2_t{c.x, c.y});
    Actor* homing = w.Add("actors/bug-homing.xml", -5, 0);
    Actor* mine = w.Add("actors/mine.xml", 0, 3);
    // No worm; then a head alone, as a broken level has.
    for (int round = 0; round < 2; round++) {
        SCOPED_TRACE(round);
        for (int editor = 0; editor < 2; editor++) {
            w.sim.editor_mode = (uint8_t)editor;
            for (int i = 0; i < 300; i++) {
                w.sim.Update(kFrame);
                w.sim.Draw();
            }
        }
        w.sim.editor_mode = 0;
        EXPECT_EQ(w.NewShots(), 0);
        EXPECT_FLOAT_EQ(mine->state_time, 0);
        EXPECT_TRUE(Finite(wasp) && Finite(boss) && Finite(homing));
        EXPECT_NEAR(homing->body->GetPosition().y, 0, 0.5f);  // it hovers
        w.Worm({1, 1}, {2, 2});
        w.sim.worm_parts.RemoveIndex(1);
    }
    // The boss told to fly to where it already is holds still.
    boss->hit_points = 5;
    w.Run(1.0f);
    EXPECT_EQ(boss->counter, 2);
    EXPECT_TRUE(Finite(boss));
    EXPECT_LT((boss->body->GetWorldCenter() - c).Length(), 0.05f);
}

TEST(HazardFaults, TheWormRightOnAHazardGivesItNoDirection) {
    HazardWorld w;
    Actor* wasp = w.Add("actors/bug-flying-shooting.xml", 0, 0);
    Actor* homing = w.Add("actors/bug-homing.xml", 10, 0);
    w.Worm({-1, 0}, {1, 0});  // midpoint on the wasp's centre
    EXPECT_FALSE(ActorBehaviorMovingHazard::Shoot(wasp));
    EXPECT_EQ(w.sim.PendingChanges(), 0);
    w.MoveWorm({9, 0}, {11, 0});  // and on the homing bug's
    homing->state = 4;  // breaking loose, its warning lines pointing at the worm
    homing->timer = 0;
    for (int i = 0; i < 120; i++) {
        homing->body->SetTransform(b2Vec2(10, 0), 0);
        w.sim.Update(kFrame);
        w.sim.Draw();
    }
    EXPECT_EQ(w.NewShots(), 0);
    EXPECT_TRUE(Finite(homing));
    EXPECT_TRUE(Finite(wasp));
}

namespace {

// Asks for projectiles and a boss route from inside the step, as a
// contact rule would.
struct FromContact : ActorBehavior {
    FromContact() : ActorBehavior("FROM_CONTACT") {}
    bool OnContact(Actor*, Actor*, b2Contact*) override {
        PhysicsSimulation* sim = PhysicsSimulation::active_sim;
        if (done || !sim->IsStepping()) return true;
        done = true;
        made_directly = sim->CreateActor(physics_man.GetShape("actors/bug-ammo.xml"), {0, -8}, {0, 0}, 0, 0, 1.5f);
        // A mine touched twice in one step still bursts once.
        ActorBehaviorHazardMine::Burst(mine);
        ActorBehaviorHazardMine::Burst(mine);
        ActorBehaviorMovingHazard::CreateJointForBoss(boss, vec2_t{14, -8}, 1);
        pending = sim->PendingChanges();
        return true;
    }
    Actor* mine = nullptr;
    Actor* boss = nullptr;
    bool done = false;
    Actor* made_directly = nullptr;
    int pending = -1;
};

}  // namespace

TEST(HazardFaults, ProjectilesAndJointsAskedForDuringAStepComeAfterIt) {
    HazardWorld w;
    FromContact rule;
    ActorShape* trigger = w.Shape("actors/trigger.xml",
                                  "<array id=\"info\"><node id=\"behavior\" value=\"FROM_CONTACT\"/></array>"
                                  "<array id=\"circle\"><node id=\"radius\" value=\"9\"/></array>");
    rule.mine = w.Add("actors/mine.xml", 0, -8);
    rule.boss = w.Add("actors/bug-boss.xml", 10, -8);
    w.sim.CreateActor(trigger, {-20, 0}, {0, 0}, 0, 0, 1.5f);
    w.Add("actors/peg.xml", -20, 2);
    for (int i = 0; i < 120 && !rule.done; i++) w.sim.Update(kFrame);
    ASSERT_TRUE(rule.done);
    EXPECT_EQ(rule.made_directly, nullptr);
    EXPECT_EQ(rule.pending, 9);
    // Carried out right after the step.
    EXPECT_EQ(w.sim.PendingChanges(), 0);
    EXPECT_EQ(w.NewShots(), 8);
    w.Run(0.5f);
    EXPECT_EQ(w.Count(TAG_MINE), 0);  // spent by its burst
    auto* j = (b2PrismaticJoint*)FirstJoint(rule.boss->body, e_prismaticJoint);
    ASSERT_NE(j, nullptr);
    EXPECT_FLOAT_EQ(j->GetMotorSpeed(), 3.0f);
    EXPECT_GT(rule.boss->body->GetWorldCenter().x, 10.5f);  // on its way
}

TEST(HazardFaults, AnAmmunitionTheTableDoesNotKnowFiresTheDefaultWithOneLine) {
    HazardWorld w;
    Actor* wasp = w.Add("actors/bug-flying-shooting.xml", 0, 0);
    w.Worm({-1, 3}, {1, 3});
    ActorShape* seed = physics_man.GetShape("actors/bug-ammo.xml");
    auto fire = [&] {
        FwLog log;
        for (int i = 0; i < 3; i++) EXPECT_TRUE(ActorBehaviorMovingHazard::Shoot(wasp));
        int lines = 0;
        for (const std::string& l : log.Lines()) lines += l.find("ammos.xml") != std::string::npos;
        return lines;
    };
    auto last_shot = [&]() -> ActorShape* {
        for (int i = w.sim.actors.count - 1; i >= 0; i--)
            if (w.sim.actors[i]->Has(TAG_AMMO)) return w.sim.actors[i]->shape;
        return nullptr;
    };

    w.sim.ammos = strdup(" seed ");
    EXPECT_EQ(fire(), 0);
    EXPECT_EQ(last_shot(), seed);
    free(w.sim.ammos);
    w.sim.ammos = strdup("pebble, seed");
    EXPECT_EQ(fire(), 1);  // one line, however many shots
    EXPECT_EQ(last_shot(), seed);

    // A table whose entry names a missing file, and whose first entry does
    // too: the game's own projectile.
    w.env.Write("ammos.xml", "<array id=\"ammos\"><node id=\"rock\" actor=\"actors/no-rock.xml\"/>"
                             "<node id=\"pebble\" actor=\"actors/no-pebble.xml\"/></array>\n");
    dman.ReleaseDatabase("ammos.xml");
    free(w.sim.ammos);
    w.sim.ammos = strdup("pebble");
    EXPECT_EQ(fire(), 1);
    EXPECT_EQ(last_shot(), seed);
    dman.ReleaseDatabase("ammos.xml");
}
