// Actors with their tag joints, the worm assembly, the walls, damage,
// explosions and the behaviour registry.
#include <gtest/gtest.h>
#include <math.h>

#include <algorithm>
#include <string>
#include <vector>

#include <box2d/box2d.h>

#include "physics/actor-behaviors.h"
#include "physics/b2-compat.h"
#include "physics/world-file.h"
#include "app-env.h"

namespace {

std::string Shape(const char* type, const char* tags, const char* extra = "", int size = 30) {
    return std::string("<array id=\"info\"><node id=\"type\" value=\"") + type + "\"/><node id=\"tags\" value=\"" +
           tags + "\"/>" + extra + "</array><array id=\"rectangle\"><node id=\"width\" value=\"" +
           std::to_string(size) + "\"/><node id=\"height\" value=\"" + std::to_string(size) + "\"/></array>";
}

std::string Ball(const char* type, const char* tags, int radius) {
    return std::string("<array id=\"info\"><node id=\"type\" value=\"") + type + "\"/><node id=\"tags\" value=\"" +
           tags + "\"/></array><array id=\"circle\"><node id=\"radius\" value=\"" + std::to_string(radius) +
           "\"/><node id=\"offset\" x=\"0\" y=\"0\"/></array>";
}

ActorShape* Make(AppEnv& env, const std::string& name, const std::string& body) {
    return physics_man.GetShape(env.Write(name, body).c_str());
}

int JointCount(b2Body* body, b2JointType type) {
    int n = 0;
    for (b2JointEdge* e = body->GetJointList(); e; e = e->next)
        if (e->joint->GetType() == type) n++;
    return n;
}

b2Joint* FirstJoint(b2Body* body, b2JointType type) {
    for (b2JointEdge* e = body->GetJointList(); e; e = e->next)
        if (e->joint->GetType() == type) return e->joint;
    return nullptr;
}

}  // namespace

TEST(ActorJoints, RotationJointsByTagOnlyForDynamicBodies) {
    AppEnv env;
    PhysicsSimulation sim;
    sim.InitWorld();
    Actor* free_ = sim.CreateActor(Make(env, "actors/rf.xml", Shape("DYNAMIC", "ROTATE_FREE")), {0, 0}, {0, 0}, 0, 0, 1);
    Actor* rot = sim.CreateActor(Make(env, "actors/r.xml", Shape("DYNAMIC", "ROTATE")), {3, 0}, {0, 0}, 0, 0, 1);
    Actor* still = sim.CreateActor(Make(env, "actors/rs.xml", Shape("STATIC", "ROTATE, ROTATE_FREE, MOVE, COLLECTABLE")),
                                   {6, 0}, {5, 0}, 0, 0, 1);
    ASSERT_TRUE(free_ && rot && still);
    auto* j = (b2RevoluteJoint*)FirstJoint(free_->body, e_revoluteJoint);
    ASSERT_NE(j, nullptr);
    EXPECT_TRUE(j->IsMotorEnabled());
    EXPECT_FLOAT_EQ(j->GetMotorSpeed(), 0.0f);
    EXPECT_FLOAT_EQ(j->GetMaxMotorTorque(), 100.0f);
    EXPECT_FALSE(j->IsLimitEnabled());
    EXPECT_EQ(j->GetBodyA(), sim.ground_body);
    EXPECT_FALSE(j->GetCollideConnected());
    j = (b2RevoluteJoint*)FirstJoint(rot->body, e_revoluteJoint);
    ASSERT_NE(j, nullptr);
    EXPECT_FLOAT_EQ(j->GetMotorSpeed(), 0.5f);
    EXPECT_FLOAT_EQ(j->GetMaxMotorTorque(), 700.0f);
    EXPECT_EQ(still->body->GetJointList(), nullptr);
    // The rotating one turns about its place and does not fall.
    for (int i = 0; i < 60; i++) sim.Update(1.0f / 60);
    EXPECT_NEAR(rot->body->GetPosition().y, 0.0f, 0.01f);
    EXPECT_GT(rot->body->GetAngle(), 0.3f);
    EXPECT_NEAR(free_->body->GetPosition().y, 0.0f, 0.01f);
    sim.FreeWorld();
}

TEST(ActorJoints, MovementAlongTheNormalisedVector) {
    AppEnv env;
    PhysicsSimulation sim;
    sim.InitWorld();
    Actor* mover = sim.CreateActor(Make(env, "actors/m.xml", Shape("DYNAMIC", "MOVE")), {0, 0}, {3, 4}, 0, 0, 2);
    Actor* limited =
        sim.CreateActor(Make(env, "actors/ml.xml", Shape("DYNAMIC", "MOVE,MOVE_LIMIT")), {5, 0}, {3, 4}, 0, 0, 2);
    Actor* boss =
        sim.CreateActor(Make(env, "actors/b.xml", Shape("DYNAMIC", "MOVE MOVE_LIMIT BOSS")), {10, 0}, {0, 2}, 0, 0, 1);
    Actor* only_limit =
        sim.CreateActor(Make(env, "actors/ol.xml", Shape("DYNAMIC", "MOVE_LIMIT")), {15, 0}, {0, 2}, 0, 0, 1);
    Actor* stuck = sim.CreateActor(Make(env, "actors/s.xml", Shape("DYNAMIC", "MOVE")), {20, 0}, {0, 0.5f}, 0, 0, 3);
    // Movements without a direction: no NaN axis reaches Box2D.
    Actor* zero = sim.CreateActor(Make(env, "actors/s.xml", Shape("DYNAMIC", "MOVE")), {25, 0}, {0, 0}, 0, 0, 3);
    Actor* tiny = sim.CreateActor(Make(env, "actors/s.xml", Shape("DYNAMIC", "MOVE")), {30, 0}, {1e-20f, 0}, 0, 0, 3);
    auto* j = (b2PrismaticJoint*)FirstJoint(mover->body, e_prismaticJoint);
    ASSERT_NE(j, nullptr);
    EXPECT_NEAR(j->GetLocalAxisA().x, 0.6f, 1e-3f);
    EXPECT_NEAR(j->GetLocalAxisA().y, 0.8f, 1e-3f);
    EXPECT_TRUE(j->IsMotorEnabled());
    EXPECT_FLOAT_EQ(j->GetMotorSpeed(), 2.0f);
    EXPECT_FLOAT_EQ(j->GetMaxMotorForce(), 400.0f);
    EXPECT_FALSE(j->IsLimitEnabled());
    j = (b2PrismaticJoint*)FirstJoint(limited->body, e_prismaticJoint);
    ASSERT_NE(j, nullptr);
    EXPECT_TRUE(j->IsLimitEnabled());
    EXPECT_FLOAT_EQ(j->GetLowerLimit(), 0.0f);
    EXPECT_NEAR(j->GetUpperLimit(), 5.0f, 1e-5f);
    j = (b2PrismaticJoint*)FirstJoint(boss->body, e_prismaticJoint);
    ASSERT_NE(j, nullptr);
    EXPECT_FLOAT_EQ(j->GetMaxMotorForce(), 100000.0f);
    EXPECT_EQ(only_limit->body->GetJointList(), nullptr);  // MOVE_LIMIT alone is not MOVE
    j = (b2PrismaticJoint*)FirstJoint(stuck->body, e_prismaticJoint);
    ASSERT_NE(j, nullptr);
    EXPECT_FALSE(j->IsMotorEnabled());
    EXPECT_FLOAT_EQ(j->GetMotorSpeed(), 0.0f);
    EXPECT_TRUE(j->IsLimitEnabled());
    EXPECT_FLOAT_EQ(j->GetUpperLimit(), 0.0f);
    for (int i = 0; i < 180; i++) sim.Update(1.0f / 60);
    // The limited one travelled to the end of its window and stopped there.
    b2Vec2 p = limited->body->GetPosition();
    EXPECT_NEAR(p.x, 5 + 3, 0.05f);
    EXPECT_NEAR(p.y, 4, 0.05f);
    // The free one keeps going along the axis at the motor speed.
    EXPECT_NEAR(mover->body->GetPosition().x / mover->body->GetPosition().y, 0.75f, 0.01f);
    EXPECT_GT(mover->body->GetPosition().x, 2.0f);
    // Too short a vector: it stays where it was, gravity or not.
    EXPECT_NEAR(stuck->body->GetPosition().y, 0.0f, 0.02f);
    for (Actor* a : {zero, tiny}) {
        auto* pj = (b2PrismaticJoint*)FirstJoint(a->body, e_prismaticJoint);
        ASSERT_NE(pj, nullptr);
        EXPECT_NEAR(pj->GetLocalAxisA().Length(), 1.0f, 1e-3f);
        EXPECT_TRUE(isfinite(a->body->GetPosition().x) && isfinite(a->body->GetPosition().y));
        EXPECT_NEAR(a->body->GetPosition().y, 0.0f, 0.02f);
    }
    vec2_t unit;
    EXPECT_FALSE(UnitVector({1e-30f, 0}, &unit));
    EXPECT_FALSE(UnitVector({NAN, 1}, &unit));
    ASSERT_TRUE(UnitVector({0, -1e-3f}, &unit));
    EXPECT_NEAR(unit.y, -1.0f, 2e-3f);
    sim.FreeWorld();
}

TEST(ActorJoints, FastInverseSquareRoot) {
    EXPECT_NEAR(FastInvSqrt(25.0f), 0.2f, 0.2f * 0.002f);
    EXPECT_NEAR(FastInvSqrt(1.0f), 1.0f, 0.002f);
    EXPECT_NEAR(FastInvSqrt(0.01f), 10.0f, 10.0f * 0.002f);
}

TEST(ActorJoints, CollectablesWeldedAndHomingFixedRotation) {
    AppEnv env;
    PhysicsSimulation sim;
    sim.InitWorld();
    Actor* fruit = sim.CreateActor(Make(env, "actors/c.xml", Shape("DYNAMIC", "COLLECTABLE")), {0, 0}, {0, 0}, 0, 0, 1);
    Actor* bug = sim.CreateActor(Make(env, "actors/h.xml", Shape("DYNAMIC", "HOMING")), {3, 0}, {0, 0}, 0, 0, 1);
    b2Joint* w = FirstJoint(fruit->body, e_weldJoint);
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->GetCollideConnected());
    EXPECT_TRUE(bug->body->IsFixedRotation());
    EXPECT_EQ(bug->body->GetJointList(), nullptr);
    for (int i = 0; i < 30; i++) sim.Update(1.0f / 60);
    EXPECT_NEAR(fruit->body->GetPosition().y, 0.0f, 0.01f);
    EXPECT_GT(bug->body->GetPosition().y, 0.1f);
    sim.FreeWorld();
}

TEST(ActorCreation, BehaviourInitSeesABareRecord) {
    struct Peek : ActorBehavior {
        Peek() : ActorBehavior("PEEK") {}
        void Init(Actor* a) override {
            flags = a->flags;
            hp = a->hit_points;
            had_body = a->body != nullptr;
        }
        uint32_t flags = 99;
        float hp = 99;
        bool had_body = false;
    } peek;
    AppEnv env;
    PhysicsSimulation sim;
    sim.InitWorld();
    ActorShape* s = Make(env, "actors/p.xml", Shape("DYNAMIC", "HAZARD", "<node id=\"behavior\" value=\"PEEK\"/>"));
    Actor* a = sim.CreateActor(s, {0, 0}, {1, 2}, 0, 7, 2.5f);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(peek.flags, 0u);
    EXPECT_EQ(peek.hp, 0.0f);
    EXPECT_TRUE(peek.had_body);
    EXPECT_EQ(a->flags, (uint32_t)TAG_HAZARD);
    EXPECT_FLOAT_EQ(a->hit_points, 100);
    EXPECT_EQ(a->worm_index, 7);
    EXPECT_FLOAT_EQ(a->move_speed, 2.5f);
    EXPECT_EQ(a->stick_on_touch, 1);
    EXPECT_FLOAT_EQ(a->alpha, 1);
    EXPECT_EQ(a->enabled, 1);
    EXPECT_EQ(a->weld_target, nullptr);
    sim.FreeWorld();
}

// ---------------------------------------------------------------- worm

namespace {

struct WormWorld {
    AppEnv& env;
    PhysicsSimulation sim;
    Actor* head = nullptr;
    Actor* tail = nullptr;
    explicit WormWorld(AppEnv& e, b2Vec2 h, b2Vec2 t, bool with_head = true) : env(e) {
        Make(env, "actors/game-worm-body.xml", Ball("DYNAMIC", "WORM_BODY", 4));
        ActorShape* hs = Make(env, "actors/head.xml", Ball("DYNAMIC", "WORM_HEAD", 6));
        ActorShape* ts = Make(env, "actors/tail.xml", Ball("DYNAMIC", "WORM_TAIL", 6));
        ActorShape* rock = Make(env, "actors/rock.xml", Shape("STATIC", ""));
        sim.InitWorld();
        sim.world->SetGravity(b2Vec2(0, 0));
        sim.CreateActor(rock, {50, 50}, {0, 0}, 0, 0, 1);
        tail = sim.CreateActor(ts, {t.x, t.y}, {0, 0}, 0, 0, 1);
        if (with_head) head = sim.CreateActor(hs, {h.x, h.y}, {0, 0}, 0, 0, 1);
    }
    ~WormWorld() { sim.FreeWorld(); }
};

}  // namespace

TEST(Worm, AssembledFromHeadTailAndSegments) {
    AppEnv env;
    WormWorld w(env, b2Vec2(0, 0), b2Vec2(4.8f, 2.4f));
    w.sim.ConnectWorm();
    PhysicsSimulation& sim = w.sim;
    ASSERT_EQ(sim.worm_parts.count, 23);
    EXPECT_EQ(sim.worm_parts[0], w.head);
    EXPECT_EQ(sim.worm_parts[22], w.tail);
    EXPECT_EQ(w.head->worm_index, 0);
    EXPECT_EQ(w.tail->worm_index, 22);
    for (int k = 1; k <= 21; k++) {
        Actor* p = sim.worm_parts[k];
        EXPECT_EQ(p->worm_index, k);
        EXPECT_TRUE(p->Has(TAG_WORM_BODY));
        EXPECT_NEAR(p->body->GetPosition().x, 4.8f * k / 24, 1e-5f);
        EXPECT_NEAR(p->body->GetPosition().y, 2.4f * k / 24, 1e-5f);
    }
    EXPECT_FLOAT_EQ(w.tail->body->GetPosition().x, 4.8f);  // the tail is not moved
    // Two joints per link: a rope that holds and a spring that lets them touch.
    const float rope = 2 * 0.7f / 2.25f;
    for (int k = 1; k <= 22; k++) {
        b2Body* b = sim.worm_parts[k]->body;
        b2Body* prev = sim.worm_parts[k - 1]->body;
        int ropes = 0, springs = 0;
        for (b2JointEdge* e = b->GetJointList(); e; e = e->next) {
            if (e->other != prev) continue;
            auto* d = (b2DistanceJoint*)e->joint;
            ASSERT_EQ(d->GetType(), e_distanceJoint);
            if (d->GetStiffness() == 0) {
                ropes++;
                EXPECT_EQ(d->GetBodyA(), b);
                EXPECT_NEAR(d->GetMaxLength(), rope, 1e-5f);
                EXPECT_FALSE(d->GetCollideConnected());
            } else {
                springs++;
                EXPECT_EQ(d->GetBodyA(), prev);
                EXPECT_NEAR(d->GetLength(), k == 22 ? 0.7f / 3 * 0.5f : 0.7f / 3 * 0.75f, 1e-5f);
                EXPECT_TRUE(d->GetCollideConnected());
                EXPECT_GT(d->GetMaxLength(), 1e6f);
            }
        }
        EXPECT_EQ(ropes, 1) << k;
        EXPECT_EQ(springs, 1) << k;
    }
    // Drawing order: others first, then head, tail, the segments.
    EXPECT_FALSE(sim.actors[0]->IsWormPart());
    EXPECT_EQ(sim.actors[1], w.head);
    EXPECT_EQ(sim.actors[2], w.tail);
}

TEST(Worm, RopesHoldWhenTheEndsArePulledApart) {
    AppEnv env;
    WormWorld w(env, b2Vec2(0, 0), b2Vec2(4, 0));
    PhysicsSimulation& sim = w.sim;
    sim.ConnectWorm();
    ASSERT_EQ(sim.worm_parts.count, 23);
    const float rope = 2 * 0.7f / 2.25f;
    auto longest = [&]() {
        float worst = 0;
        for (int k = 1; k < sim.worm_parts.count; k++) {
            b2Vec2 d = sim.worm_parts[k]->body->GetPosition() - sim.worm_parts[k - 1]->body->GetPosition();
            worst = fmaxf(worst, d.Length());
        }
        return worst;
    };
    // Yanked apart at 60 m/s every frame: the chain is stretched by the
    // solver's few iterations but never torn.
    float worst = 0;
    for (int step = 0; step < 120; step++) {
        w.head->body->SetLinearVelocity(b2Vec2(-60, 0));
        w.tail->body->SetLinearVelocity(b2Vec2(60, 0));
        sim.Update(1.0f / 60);
        worst = fmaxf(worst, longest());
    }
    EXPECT_LE(worst, rope * 2);
    // Let go once with the same speed: the ropes take it up.
    for (int step = 0; step < 120; step++) sim.Update(1.0f / 60);
    EXPECT_LE(longest(), rope * 1.02f);
    b2Vec2 span = w.tail->body->GetPosition() - w.head->body->GetPosition();
    EXPECT_LE(span.Length(), 22 * rope * 1.02f);
}

// The old rope joint, a distance joint with only a maximum length here,
// holds two bodies yanked apart at 60 m/s.
TEST(Worm, OneRopeHoldsTwoPartsPulledApart) {
    AppEnv env;
    WormWorld w(env, b2Vec2(0, 0), b2Vec2(0.3f, 0));
    const float rope = 2 * 0.7f / 2.25f;
    b2DistanceJointDef def;
    B2InitRope(&def, w.tail->body, w.head->body, b2Vec2(0, 0), b2Vec2(0, 0), rope);
    w.sim.world->CreateJoint(&def);
    float worst = 0;
    for (int step = 0; step < 120; step++) {
        w.head->body->SetLinearVelocity(b2Vec2(-60, 0));
        w.tail->body->SetLinearVelocity(b2Vec2(60, 0));
        w.sim.Update(1.0f / 60);
        worst = fmaxf(worst, (w.tail->body->GetPosition() - w.head->body->GetPosition()).Length());
    }
    EXPECT_LE(worst, rope * 1.02f);
    EXPECT_GT(worst, rope * 0.9f);
}

TEST(Worm, NoHeadNoWorm) {
    AppEnv env;
    WormWorld w(env, b2Vec2(0, 0), b2Vec2(4, 0), false);
    w.sim.worm_links = 5;
    w.sim.ConnectWorm();
    EXPECT_EQ(w.sim.worm_parts.count, 0);
    EXPECT_EQ(w.tail->worm_index, 6);
    EXPECT_EQ(w.sim.actors.count, 2);
    EXPECT_EQ(w.sim.WormTail(), nullptr);

    // A head without a tail is the one part listed: neither end is
    // given out, so nothing that follows both ends reads past the list.
    WormWorld h(env, b2Vec2(0, 0), b2Vec2(4, 0));
    h.sim.DestroyActor(h.tail, false);
    h.sim.ConnectWorm();
    ASSERT_EQ(h.sim.worm_parts.count, 1);
    EXPECT_EQ(h.sim.WormHead(), nullptr);
    EXPECT_EQ(h.sim.WormTail(), nullptr);
}

// A worm needs a link between its ends (its body strip is stretched over
// the pieces): a count below one or above the cap is refused with a line
// and the default seven links are built.
TEST(Worm, LinkCountsOutOfRangeAreRefused) {
    for (int links : {0, -3, (int)WORLD_MAX_WORM_LINKS + 1}) {
        AppEnv env;
        FwLog log;
        WormWorld w(env, b2Vec2(0, 0), b2Vec2(4, 0));
        w.sim.worm_links = links;
        w.sim.ConnectWorm();
        EXPECT_EQ(w.sim.worm_parts.count, 23) << links;
        EXPECT_EQ(w.tail->worm_index, 22) << links;
        EXPECT_TRUE(log.Contains("links is not in 1..")) << links;
    }
    AppEnv env;
    WormWorld w(env, b2Vec2(0, 0), b2Vec2(4, 0));
    w.sim.worm_links = 1;
    w.sim.ConnectWorm();
    ASSERT_EQ(w.sim.worm_parts.count, 5);
    EXPECT_EQ(w.sim.WormHead(), w.head);
    EXPECT_EQ(w.sim.WormTail(), w.tail);
    EXPECT_EQ(w.tail->worm_index, 4);
    EXPECT_EQ(JointCount(w.tail->body, e_distanceJoint), 2);  // rope and spring to the last piece
}

TEST(Worm, EditorSegmentsSleep) {
    AppEnv env;
    WormWorld w(env, b2Vec2(0, 0), b2Vec2(4, 0));
    w.sim.editor_mode = 1;
    w.sim.ConnectWorm();
    ASSERT_EQ(w.sim.worm_parts.count, 23);
    EXPECT_FALSE(w.sim.worm_parts[5]->body->IsAwake());
    w.sim.editor_mode = 0;
    Actor* extra = w.sim.CreateWormBody({9, 9}, 3);
    ASSERT_NE(extra, nullptr);
    EXPECT_TRUE(extra->body->IsAwake());
    EXPECT_FLOAT_EQ(extra->move_speed, 1.5f);
}

// ---------------------------------------------------------------- walls

namespace {
int CountAt(PhysicsSimulation& sim, float angle) {
    int n = 0;
    for (int i = 0; i < sim.actors.count; i++)
        if (fabsf(sim.actors[i]->body->GetAngle() - angle) < 1e-4f) n++;
    return n;
}
}  // namespace

TEST(Walls, LaidHalfABitmapApartRoundTheBounds) {
    AppEnv env;
    Make(env, "actors/wall.xml",
         Shape("STATIC", "SIDE_WALL", "<node id=\"bitmap\" value=\"images/ring.png\"/>"));  // 16 x 16 pixels
    PhysicsSimulation sim;
    sim.InitWorld();
    ASSERT_NE(physics_man.GetShape("actors/wall.xml")->bitmap, nullptr);
    const float h = 16.0f / 30, w = 16.0f / 30;
    float b[4] = {0, 0, 2, 1};
    memcpy(sim.world_bounds, b, sizeof b);
    sim.AddWalls();
    // 2 / (h/2) = 7.5 → 8 along top and bottom; 1 / (h/2) = 3.75 → 4 on each side.
    EXPECT_EQ(sim.actors.count, 24);
    EXPECT_EQ(CountAt(sim, -1.5707964f), 8);
    EXPECT_EQ(CountAt(sim, 1.5707964f), 8);
    EXPECT_EQ(CountAt(sim, 3.14159265f), 4);
    EXPECT_EQ(CountAt(sim, 0.0f), 4);
    Actor* first = sim.actors[0];
    EXPECT_NEAR(first->body->GetPosition().x, h / 4, 1e-5f);
    EXPECT_NEAR(first->body->GetPosition().y, w / 4, 1e-5f);
    Actor* last = sim.actors[23];
    EXPECT_NEAR(last->body->GetPosition().x, 2 - w / 4, 1e-5f);
    EXPECT_NEAR(last->body->GetPosition().y, 3 * h / 2 + h / 4, 1e-5f);
    EXPECT_TRUE(last->Has(TAG_SIDE_WALL));
    sim.FreeWorld();

    // Zero width: only the sides; tiny sides still get their first wall.
    sim.InitWorld();
    float z[4] = {0, 0, 0, 1};
    memcpy(sim.world_bounds, z, sizeof z);
    sim.AddWalls();
    EXPECT_EQ(sim.actors.count, 8);
    sim.FreeWorld();
    sim.InitWorld();
    float t[4] = {0, 0, 0.1f, 0.1f};
    memcpy(sim.world_bounds, t, sizeof t);
    sim.editor_mode = 1;
    sim.AddWalls();
    EXPECT_EQ(sim.actors.count, 4);
    EXPECT_FALSE(sim.actors[0]->body->IsAwake());
    sim.FreeWorld();
}

// Bounds of +-1e5 m would take millions of walls: each side gets the cap's
// worth and a line.
TEST(Walls, ASideLongerThanTheCapGetsTheCapAndALine) {
    AppEnv env;
    FwLog log;
    Make(env, "actors/wall.xml", Shape("STATIC", "SIDE_WALL", "<node id=\"bitmap\" value=\"images/ring.png\"/>"));
    PhysicsSimulation sim;
    sim.InitWorld();
    float b[4] = {-1e5f, -1e5f, 1e5f, 10};
    memcpy(sim.world_bounds, b, sizeof b);
    sim.AddWalls();
    EXPECT_EQ(sim.actors.count, 4 * WORLD_MAX_WALLS_PER_SIDE);
    EXPECT_TRUE(log.Contains("the top and bottom side needs 750000 walls; only the first 1024 are made"));
    EXPECT_TRUE(log.Contains("the left and right side needs"));
    sim.FreeWorld();
}

TEST(Walls, AWallWithoutBitmapGivesNoWallsAndDoesNotHang) {
    AppEnv env;
    FwLog log;
    Make(env, "actors/wall.xml", Shape("STATIC", "SIDE_WALL"));
    PhysicsSimulation sim;
    sim.InitWorld();
    float b[4] = {0, 0, 20, 10};
    memcpy(sim.world_bounds, b, sizeof b);
    sim.AddWalls();
    EXPECT_EQ(sim.actors.count, 0);
    EXPECT_TRUE(log.Contains("AddWalls"));
    sim.FreeWorld();
}

// ---------------------------------------------------------------- damage

// The weld joint goes with the destroyed body, so the end it held is free:
// a `welded` flag left set would keep it stuck in mid-air.
TEST(Destroy, DestroyingAWeldTargetFreesTheEnd) {
    AppEnv env;
    PhysicsSimulation sim;
    sim.InitWorld();
    Actor* peg = sim.CreateActor(Make(env, "actors/peg.xml", Shape("DYNAMIC", "GRABBABLE")), {0, 0}, {0, 0}, 0, 0, 1);
    Actor* head = sim.CreateActor(Make(env, "actors/hd.xml", Ball("DYNAMIC", "WORM_HEAD", 6)), {1, 0}, {0, 0}, 0, 0, 1);
    Actor* other = sim.CreateActor(Make(env, "actors/hd.xml", Ball("DYNAMIC", "WORM_HEAD", 6)), {3, 0}, {0, 0}, 0, 0, 1);
    head->weld_target = peg;
    head->welded = 1;
    other->weld_target = head;  // unrelated to the peg: kept
    other->welded = 1;
    sim.DestroyActor(peg, false);
    EXPECT_EQ(head->weld_target, nullptr);
    EXPECT_EQ(head->welded, 0);
    EXPECT_EQ(other->weld_target, head);
    EXPECT_EQ(other->welded, 1);
    sim.FreeWorld();
}

TEST(Damage, LowersHitPointsExceptImmortalStaticOrInTheEditor) {
    AppEnv env;
    PhysicsSimulation sim;
    sim.InitWorld();
    Actor* a = sim.CreateActor(Make(env, "actors/d.xml", Shape("DYNAMIC", "")), {0, 0}, {0, 0}, 0, 0, 1);
    Actor* imm = sim.CreateActor(Make(env, "actors/i.xml", Shape("DYNAMIC", "IMMORTAL")), {2, 0}, {0, 0}, 0, 0, 1);
    Actor* st = sim.CreateActor(Make(env, "actors/st.xml", Shape("STATIC", "")), {4, 0}, {0, 0}, 0, 0, 1);
    EXPECT_FALSE(sim.DealDamage(a, 60));
    EXPECT_FLOAT_EQ(a->hit_points, 40);
    EXPECT_FALSE(sim.DealDamage(a, 40));  // exactly zero is not below zero
    EXPECT_TRUE(sim.DealDamage(a, 10));
    EXPECT_TRUE(sim.DealDamage(a, 10));  // keeps going down
    EXPECT_FLOAT_EQ(a->hit_points, -20);
    EXPECT_FALSE(sim.DealDamage(imm, 500));
    EXPECT_FLOAT_EQ(imm->hit_points, 100);
    EXPECT_FALSE(sim.DealDamage(st, 500));
    EXPECT_FLOAT_EQ(st->hit_points, 100);
    sim.editor_mode = 1;
    Actor* b = sim.CreateActor(Make(env, "actors/d.xml", Shape("DYNAMIC", "")), {6, 0}, {0, 0}, 0, 0, 1);
    EXPECT_FALSE(sim.DealDamage(b, 500));
    EXPECT_FLOAT_EQ(b->hit_points, 100);
    EXPECT_FALSE(sim.DealDamage(nullptr, 1));
    sim.FreeWorld();
}

TEST(Explosion, PushesDynamicBodiesAwayByDistance) {
    AppEnv env;
    PhysicsSimulation sim;
    sim.InitWorld();
    ActorShape* box = Make(env, "actors/x.xml", Shape("DYNAMIC", ""));
    ActorShape* rock = Make(env, "actors/xr.xml", Shape("STATIC", ""));
    Actor* near_ = sim.CreateActor(box, {1, 0}, {0, 0}, 0, 0, 1);
    Actor* below = sim.CreateActor(box, {0, 1.5f}, {0, 0}, 0, 0, 1);
    Actor* far_ = sim.CreateActor(box, {5, 0}, {0, 0}, 0, 0, 1);
    Actor* spared = sim.CreateActor(box, {-1, 0}, {0, 0}, 0, 0, 1);
    Actor* centre = sim.CreateActor(box, {0, 0}, {0, 0}, 0, 0, 1);
    Actor* almost = sim.CreateActor(box, {1e-7f, 0}, {0, 0}, 0, 0, 1);
    Actor* st = sim.CreateActor(rock, {0, -1}, {0, 0}, 0, 0, 1);
    const float mass = near_->body->GetMass();
    ASSERT_GT(mass, 0);
    sim.SimulateExplosion({0, 0}, 2, 10, spared);
    // f = 1 - 1/2: half the force along +x; the random offset only turns it.
    EXPECT_NEAR(near_->body->GetLinearVelocity().x, 5 / mass, 1e-4f);
    EXPECT_NEAR(near_->body->GetLinearVelocity().y, 0, 1e-4f);
    // An offset of at most 0.2 m on each axis: |w| <= |J| x 0.29 m / I.
    const float turn_limit = 5 * 0.29f / near_->body->GetInertia();
    EXPECT_LE(fabsf(near_->body->GetAngularVelocity()), turn_limit);
    EXPECT_NEAR(below->body->GetLinearVelocity().y, 10 * 0.25f / mass, 1e-4f);
    EXPECT_EQ(far_->body->GetLinearVelocity().Length(), 0.0f);
    EXPECT_EQ(spared->body->GetLinearVelocity().Length(), 0.0f);
    b2Vec2 c = centre->body->GetLinearVelocity();
    EXPECT_TRUE(isfinite(c.x) && isfinite(c.y));
    EXPECT_EQ(c.Length(), 0.0f);
    EXPECT_EQ(almost->body->GetLinearVelocity().Length(), 0.0f);  // no direction either: no huge push
    EXPECT_EQ(st->body->GetLinearVelocity().Length(), 0.0f);
    sim.SimulateExplosion({0, 0}, 0, 10, nullptr);  // no radius: nothing, no division by zero
    EXPECT_NEAR(near_->body->GetLinearVelocity().x, 5 / mass, 1e-4f);
    sim.FreeWorld();
}

// ---------------------------------------------------------------- registry

TEST(BehaviourRegistry, LookupsByExactName) {
    EXPECT_EQ(ActorBehavior::GetActorBehavior(nullptr), nullptr);  // nothing registered yet
    EXPECT_EQ(ActorBehavior::GetActorBehavior("DEFAULT"), nullptr);
    ActorBehaviors::InitActorBehaviors();
    ActorBehavior* def = ActorBehavior::GetActorBehavior("DEFAULT");
    ASSERT_NE(def, nullptr);
    EXPECT_EQ(ActorBehavior::GetActorBehavior(nullptr), def);
    EXPECT_EQ(ActorBehavior::all_abs[0], def);
    EXPECT_EQ(ActorBehavior::GetActorBehavior("default"), nullptr);
    const int made = ActorBehavior::all_abs.count;
    ActorBehaviors::InitActorBehaviors();  // registers nothing twice
    EXPECT_EQ(ActorBehavior::all_abs.count, made);
    {
        ActorBehavior other("OTHER");
        ActorBehavior twin("OTHER");
        EXPECT_EQ(ActorBehavior::GetActorBehavior("OTHER"), &other);  // the first of a name
        EXPECT_EQ(ActorBehavior::GetActorBehavior(nullptr), def);
        EXPECT_EQ(ActorBehavior::all_abs.count, made + 2);
    }
    EXPECT_EQ(ActorBehavior::GetActorBehavior("OTHER"), nullptr);
    EXPECT_TRUE(def->OnContact(nullptr, nullptr, nullptr));
    EXPECT_TRUE(def->ShouldBeDestroyed(nullptr));
    ActorBehavior nameless(nullptr);
    EXPECT_STREQ(nameless.GetName(), "");
    ActorBehaviors::FreeActorBehaviors();
    EXPECT_EQ(ActorBehavior::GetActorBehavior("DEFAULT"), nullptr);
    EXPECT_EQ(ActorBehavior::GetActorBehavior(nullptr), &nameless);
}

TEST(BehaviourRegistry, ShapesFallBackToTheDefault) {
    AppEnv env;
    ActorShape* s = Make(env, "actors/u.xml", Shape("DYNAMIC", "", "<node id=\"behavior\" value=\"NO_SUCH\"/>"));
    EXPECT_EQ(s->behavior, env.def.get());
}

// The editor's guides (here the move limit's line from the start) are
// drawn in editor mode only.
static std::vector<std::string> drawn_lines;
static void RecordLine(float x0, float y0, float x1, float y1) {
    char text[96];
    snprintf(text, sizeof text, "%g,%g-%g,%g", x0, y0, x1, y1);
    drawn_lines.push_back(text);
}

TEST(BehaviourDraw, EditGuidesOnlyInTheEditor) {
    AppEnv env;
    PhysicsSimulation sim;
    sim.InitWorld();
    Actor* a = sim.CreateActor(Make(env, "actors/bo.xml", Shape("DYNAMIC", "BOSS MOVE_LIMIT HAZARD")), {0, 0},
                               {2, 0}, 0, 0, 1);
    a->hard_only = 1;
    a->path.InsertLast(vec2_t{1, 1});
    a->path.InsertLast(vec2_t{2, 2});
    a->path.InsertLast(vec2_t{3, 3});
    a->mirrored = 1;
    char guide[96];
    snprintf(guide, sizeof guide, "%g,%g-%g,%g", a->start_position.x, a->start_position.y,
             a->start_position.x + a->move.x, a->start_position.y + a->move.y);
    kodo_t recording = *kd;
    recording.DrawLine = RecordLine;
    kodo_t* saved = kd;
    kd = &recording;
    drawn_lines.clear();
    sim.Draw();
    std::vector<std::string> playing = drawn_lines;
    drawn_lines.clear();
    sim.editor_mode = 1;
    sim.show_edit_info = 1;
    sim.Draw();
    kd = saved;
    EXPECT_EQ(std::count(playing.begin(), playing.end(), guide), 0);
    EXPECT_EQ(std::count(drawn_lines.begin(), drawn_lines.end(), guide), 1);
    sim.FreeWorld();
}
