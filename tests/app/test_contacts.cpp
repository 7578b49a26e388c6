// The contact rules: hit effects, damage, OnContact calls, welding of the
// worm's ends, their turning towards surfaces, dying hazards, and that no
// rule changes the world while it steps.
#include <gtest/gtest.h>
#include <math.h>

#include <box2d/box2d.h>

#include <functional>

#include "app-env.h"
#include "physics/b2-compat.h"
#include "physics/actor-contact-listener.h"

namespace {

std::string Box(const char* type, const char* tags, const char* extra = "") {
    return std::string("<array id=\"info\"><node id=\"type\" value=\"") + type + "\"/><node id=\"tags\" value=\"" +
           tags + "\"/>" + extra +
           "</array><array id=\"rectangle\"><node id=\"width\" value=\"30\"/>"
           "<node id=\"height\" value=\"30\"/></array>";
}

std::string Ball(const char* type, const char* tags, int radius) {
    return std::string("<array id=\"info\"><node id=\"type\" value=\"") + type + "\"/><node id=\"tags\" value=\"" +
           tags + "\"/></array><array id=\"circle\"><node id=\"radius\" value=\"" + std::to_string(radius) +
           "\"/><node id=\"offset\" x=\"0\" y=\"0\"/></array>";
}

// Records the OnContact calls it gets.
struct Recorder : ActorBehavior {
    Recorder() : ActorBehavior("RECORDER") {}
    bool OnContact(Actor* self, Actor* other, b2Contact*) override {
        calls.push_back({self, other});
        return false;
    }
    std::vector<std::pair<Actor*, Actor*>> calls;
};

struct ContactWorld {
    AppEnv env;
    ContactLevel level;
    PhysicsSimulation sim;
    ActorContactListener& listener = sim.contact_listener;  // registered by InitWorld
    ContactWorld() {
        level.drag_time = -1.0f;  // nothing held
        listener.level = &level;
        sim.InitWorld();
        PhysicsSimulation::active_sim = &sim;
    }
    ~ContactWorld() { sim.FreeWorld(); }
    ActorShape* Shape(const std::string& name, const std::string& body) {
        return physics_man.GetShape(env.Write(name, body).c_str());
    }
    Actor* Add(ActorShape* s, float x, float y) { return sim.CreateActor(s, {x, y}, {0, 0}, 0, 0, 1); }
    void RunUntil(const std::function<bool()>& done, int max_frames = 240) {
        for (int i = 0; i < max_frames && !done(); i++) sim.Update(1.0f / 60);
    }
};

b2ContactImpulse Push(float n) {
    b2ContactImpulse imp = {};
    imp.count = 1;
    imp.normalImpulses[0] = n;
    return imp;
}

}  // namespace

TEST(ContactDamage, BothWaysAtTheCombinedSpeed) {
    ContactWorld w;
    Recorder rec;  // after the default, which stays the fallback
    w.sim.world->SetGravity(b2Vec2(0, 0));
    ActorShape* a = w.Shape("actors/a.xml", Box("DYNAMIC", "", "<node id=\"behavior\" value=\"RECORDER\"/>"));
    ActorShape* b = w.Shape("actors/b.xml", Box("DYNAMIC", "", "<node id=\"damage\" value=\"50\"/>"));
    Actor* A = w.Add(a, 0, 0);
    Actor* B = w.Add(b, 0.9f, 0);  // overlapping: the contact begins in the first step
    A->body->SetLinearVelocity(b2Vec2(2, 0));
    B->body->SetLinearVelocity(b2Vec2(-2, 0));
    A->hit_fx_cooldown = 0.3f;
    w.sim.Update(1.0f / 60);
    ASSERT_EQ(rec.calls.size(), 1u);  // B's behaviour is the counting default
    EXPECT_EQ(rec.calls[0].first, A);
    EXPECT_EQ(rec.calls[0].second, B);
    // Exactly 4: no hit effect (the cool-downs stay) but damage all the same.
    EXPECT_NEAR(A->hit_points, 100 - 4 * 0.04f * 50, 1e-3f);
    EXPECT_NEAR(B->hit_points, 100 - 4 * 0.04f * 100, 1e-3f);
    EXPECT_FLOAT_EQ(A->hit_fx_cooldown, 0.3f);
}

TEST(ContactDamage, WormPartsCoolDownTheirHitEffects) {
    ContactWorld w;
    w.sim.world->SetGravity(b2Vec2(0, 0));
    ActorShape* part = w.Shape("actors/wb.xml", Box("DYNAMIC", "WORM_BODY"));
    ActorShape* rock = w.Shape("actors/r.xml", Box("DYNAMIC", ""));
    Actor* A = w.Add(part, 0, 0);
    Actor* B = w.Add(part, 0.9f, 0);
    Actor* C = w.Add(rock, 10, 0);
    Actor* D = w.Add(part, 10.9f, 0);
    A->body->SetLinearVelocity(b2Vec2(3, 0));
    B->body->SetLinearVelocity(b2Vec2(-3, 0));
    C->hit_fx_cooldown = 0.4f;
    C->body->SetLinearVelocity(b2Vec2(5, 0));
    w.sim.Update(1.0f / 60);
    EXPECT_FLOAT_EQ(A->hit_fx_cooldown, 0.5f);
    EXPECT_FLOAT_EQ(B->hit_fx_cooldown, 0.5f);
    EXPECT_FLOAT_EQ(C->hit_fx_cooldown, 0.0f);
    EXPECT_FLOAT_EQ(D->hit_fx_cooldown, 0.5f);
}

TEST(ContactRules, NothingInTheEditor) {
    ContactWorld w;
    w.sim.world->SetGravity(b2Vec2(0, 0));
    w.sim.editor_mode = 1;
    ActorShape* rock = w.Shape("actors/r.xml", Box("DYNAMIC", ""));
    Actor* A = w.Add(rock, 0, 0);
    w.Add(rock, 0.9f, 0);
    A->body->SetAwake(true);
    A->body->SetLinearVelocity(b2Vec2(5, 0));
    w.sim.Update(1.0f / 60);
    EXPECT_FLOAT_EQ(A->hit_points, 100);
}

namespace {

// A behaviour that, on touching anything, destroys the other actor and
// sets off an explosion: both must wait for the step's end.
struct Destroyer : ActorBehavior {
    Destroyer() : ActorBehavior("DESTROYER") {}
    bool OnContact(Actor* self, Actor* other, b2Contact*) override {
        PhysicsSimulation* sim = PhysicsSimulation::active_sim;
        if (!sim->IsStepping()) outside_step = true;
        sim->DestroyActor(other, true);
        sim->SimulateExplosion(vec2_t{self->body->GetPosition().x, self->body->GetPosition().y}, 3, 5, self);
        pending_inside = sim->PendingChanges();
        still_there = sim->actors.Find(other) >= 0;
        return true;
    }
    bool outside_step = false;
    int pending_inside = -1;
    bool still_there = false;
};

}  // namespace

TEST(ContactRules, WorldChangesFromContactsWaitForTheStepEnd) {
    ContactWorld w;
    Destroyer destroyer;
    ActorShape* bomb = w.Shape("actors/bomb.xml", Box("DYNAMIC", "", "<node id=\"behavior\" value=\"DESTROYER\"/>"));
    ActorShape* floor = w.Shape("actors/floor.xml", Box("STATIC", "IMMORTAL"));
    ActorShape* box = w.Shape("actors/box.xml", Box("DYNAMIC", ""));
    Actor* fl = w.Add(floor, 0, 2);
    Actor* b = w.Add(bomb, 0, 0);
    Actor* bystander = w.Add(box, 1.5f, 1);  // resting in the air far from the floor: gravity only
    bystander->body->SetGravityScale(0);
    w.RunUntil([&] { return destroyer.pending_inside >= 0; });
    ASSERT_GE(destroyer.pending_inside, 0);
    EXPECT_FALSE(destroyer.outside_step);
    EXPECT_EQ(destroyer.pending_inside, 2);  // the destruction and the explosion
    EXPECT_TRUE(destroyer.still_there);
    EXPECT_EQ(w.sim.PendingChanges(), 0);
    EXPECT_EQ(w.sim.actors.Find(fl), -1);
    EXPECT_GE(w.sim.actors.Find(b), 0);  // spared by its own explosion
    EXPECT_GT(bystander->body->GetLinearVelocity().x, 0.1f);
}

// ---------------------------------------------------------------- welding

namespace {

struct WeldWorld : ContactWorld {
    Actor* head;
    Actor* tail;
    Actor* body;
    Actor* peg;
    Actor* slippery;
    Actor* non_stick;
    Actor* loose;
    Actor* grab;
    WeldWorld() {
        head = Add(Shape("actors/head.xml", Ball("DYNAMIC", "WORM_HEAD", 6)), 0, 0);
        tail = Add(Shape("actors/tail.xml", Ball("DYNAMIC", "WORM_TAIL", 6)), 3, 0);
        body = Add(Shape("actors/body.xml", Ball("DYNAMIC", "WORM_BODY", 6)), 6, 0);
        peg = Add(Shape("actors/peg.xml", Ball("STATIC", "", 15)), 0, 5);
        slippery = Add(Shape("actors/slip.xml", Ball("STATIC", "SLIPPERY", 15)), 3, 5);
        non_stick = Add(Shape("actors/ns.xml", Ball("STATIC", "NON_STICK", 15)), 6, 5);
        loose = Add(Shape("actors/loose.xml", Ball("DYNAMIC", "", 15)), 9, 5);
        grab = Add(Shape("actors/grab.xml", Ball("DYNAMIC", "GRABBABLE", 15)), 12, 5);
    }
};

}  // namespace

TEST(Weld, FirstTouchAtLevelStartSticksWhateverTheImpulse) {
    WeldWorld w;
    b2ContactImpulse weak = Push(0.001f);
    EXPECT_TRUE(w.listener.CheckWeld(w.head, w.peg, nullptr, &weak));
    EXPECT_EQ(w.head->weld_target, w.peg);
    EXPECT_EQ(w.head->stick_on_touch, 0);
    EXPECT_EQ(w.listener.weld_sounds, 0);  // the level clock has not started
    // Afterwards it needs more than 25.
    w.head->weld_target = nullptr;
    b2ContactImpulse at = Push(25), above = Push(25.01f);
    EXPECT_FALSE(w.listener.CheckWeld(w.head, w.peg, nullptr, &at));
    EXPECT_TRUE(w.listener.CheckWeld(w.head, w.peg, nullptr, &above));
    w.head->welded = 1;
    EXPECT_FALSE(w.listener.CheckWeld(w.head, w.peg, nullptr, &above));
    b2ContactImpulse huge = Push(1e6f);
    EXPECT_FALSE(w.listener.CheckWeld(w.body, w.peg, nullptr, &huge));  // not an end
}

TEST(Weld, ThresholdFollowsTheDragTimer) {
    WeldWorld w;
    w.tail->stick_on_touch = 0;
    b2ContactImpulse huge = Push(1e6f);
    w.level.drag_time = 0.05f;  // just grabbed: nothing sticks
    EXPECT_FALSE(w.listener.CheckWeld(w.tail, w.peg, nullptr, &huge));
    w.level.drag_time = 0.0f;
    EXPECT_FALSE(w.listener.CheckWeld(w.tail, w.peg, nullptr, &huge));
    w.level.drag_time = 1.0f;  // 25 / 5
    b2ContactImpulse five = Push(5), more = Push(5.01f);
    EXPECT_FALSE(w.listener.CheckWeld(w.tail, w.peg, nullptr, &five));
    EXPECT_TRUE(w.listener.CheckWeld(w.tail, w.peg, nullptr, &more));
    w.level.drag_time = 2.0f;  // 25 / 10
    b2ContactImpulse a = Push(2.5f), b = Push(2.51f);
    EXPECT_FALSE(w.listener.CheckWeld(w.tail, w.peg, nullptr, &a));
    EXPECT_TRUE(w.listener.CheckWeld(w.tail, w.peg, nullptr, &b));
}

TEST(Weld, SurfacesThatHoldAndThatDoNot) {
    WeldWorld w;
    w.level.clock_ms = 5;
    b2ContactImpulse huge = Push(1e6f);
    EXPECT_FALSE(w.listener.CheckWeld(w.head, w.slippery, nullptr, &huge));
    EXPECT_FALSE(w.listener.CheckWeld(w.head, w.non_stick, nullptr, &huge));
    EXPECT_FALSE(w.listener.CheckWeld(w.head, w.loose, nullptr, &huge));
    EXPECT_EQ(w.head->weld_target, nullptr);
    EXPECT_TRUE(w.listener.CheckWeld(w.head, w.grab, nullptr, &huge));
    EXPECT_STREQ(w.listener.last_weld_sound, "sfx/worm-head-grab");
    EXPECT_TRUE(w.listener.CheckWeld(w.tail, w.slippery, nullptr, &huge));
    EXPECT_EQ(w.tail->weld_target, w.slippery);
    EXPECT_STREQ(w.listener.last_weld_sound, "sfx/worm-tail-grab-hard");
    w.tail->weld_target = nullptr;
    EXPECT_TRUE(w.listener.CheckWeld(w.tail, w.peg, nullptr, &huge));
    EXPECT_STREQ(w.listener.last_weld_sound, "sfx/worm-tail-grab");
    EXPECT_EQ(w.listener.weld_sounds, 3);
}

TEST(Weld, ADroppedHeadIsMarkedForWeldingWithoutAJoint) {
    WeldWorld w;
    int joints = w.sim.world->GetJointCount();
    w.RunUntil([&] { return w.head->weld_target != nullptr; });
    EXPECT_EQ(w.head->weld_target, w.peg);
    EXPECT_EQ(w.head->welded, 0);  // the worm behaviour makes the joint later
    EXPECT_EQ(w.sim.world->GetJointCount(), joints);
    // The head settles on the dynamic, non-grabbable ball: no weld there.
    EXPECT_EQ(w.body->weld_target, nullptr);
}

TEST(Weld, NothingOnceTheWormIsDead) {
    WeldWorld w;
    w.level.worm_dead = true;
    w.RunUntil([&] { return w.head->body->GetPosition().y > 4; }, 120);
    EXPECT_EQ(w.head->weld_target, nullptr);
}

// ---------------------------------------------------------------- head angle

TEST(HeadAngle, TurnsTheEndTowardsTheSurface) {
    ContactWorld w;
    ActorShape* head_s = w.Shape("actors/head.xml", Ball("DYNAMIC", "WORM_HEAD NON_STICK", 6));
    ActorShape* peg_s = w.Shape("actors/peg.xml", Ball("STATIC", "", 15));
    ActorShape* floor_s = w.Shape("actors/floor.xml", Box("STATIC", ""));
    Actor* head = w.Add(head_s, 0.3f, 0);
    Actor* peg = w.Add(peg_s, 0, 1);
    Actor* head2 = w.Add(head_s, 5, 0);
    Actor* floor = w.Add(floor_s, 5, 1);
    head->stick_on_touch = head2->stick_on_touch = 0;
    w.level.drag_time = 0.05f;  // no welds: only the turning
    auto touching = [&](Actor* a, Actor* b) -> b2Contact* {
        for (b2Contact* c = w.sim.world->GetContactList(); c; c = c->GetNext()) {
            Actor* x = B2GetFixtureActor(c->GetFixtureA());
            Actor* y = B2GetFixtureActor(c->GetFixtureB());
            if (c->IsTouching() && ((x == a && y == b) || (x == b && y == a))) return c;
        }
        return nullptr;
    };
    w.RunUntil([&] { return touching(head, peg) && touching(head2, floor); });
    b2Contact* c = touching(head, peg);
    ASSERT_NE(c, nullptr);
    // Two circles: along the line from the peg's centre to the head's.
    w.listener.SetHeadAngle(peg, head, c);
    b2Vec2 e = head->body->GetPosition(), s = peg->body->GetPosition();
    EXPECT_NEAR(head->angle_offset, atan2f(e.y - s.y, e.x - s.x) + 1.5707964f - head->body->GetAngle(), 1e-5f);
    EXPECT_NEAR(peg->angle_offset, 0.0f, 1e-6f);  // the peg is no end
    // A face: the floor's normal points up, so the head stands upright.
    c = touching(head2, floor);
    ASSERT_NE(c, nullptr);
    w.listener.SetHeadAngle(head2, floor, c);
    EXPECT_NEAR(head2->angle_offset + head2->body->GetAngle(), 0.0f, 1e-5f);
    // A welded end keeps its angle.
    head2->welded = 1;
    head2->angle_offset = 7;
    w.listener.SetHeadAngle(head2, floor, c);
    EXPECT_FLOAT_EQ(head2->angle_offset, 7);
}

// ---------------------------------------------------------------- hazards

TEST(DyingHazard, LetsTheWormThroughOnlyWhileFading) {
    ContactWorld w;
    ActorShape* hazard_s = w.Shape("actors/hz.xml", Box("STATIC", "HAZARD"));
    ActorShape* part_s = w.Shape("actors/wb.xml", Box("DYNAMIC", "WORM_BODY IMMORTAL"));
    ActorShape* rock_s = w.Shape("actors/rock.xml", Box("DYNAMIC", "IMMORTAL"));
    Actor* fading = w.Add(hazard_s, 0, 2);
    Actor* solid = w.Add(hazard_s, 3, 2);
    Actor* through = w.Add(part_s, 0, 0);
    Actor* rests = w.Add(part_s, 3, 0);
    Actor* fading2 = w.Add(hazard_s, 6, 2);
    Actor* rock = w.Add(rock_s, 6, 0);  // no worm part: it is not let through
    fading->state = fading2->state = 3;
    fading->alpha = fading2->alpha = 0.5f;
    solid->state = 3;
    solid->alpha = 1.0f;
    for (int i = 0; i < 90; i++) w.sim.Update(1.0f / 60);
    EXPECT_GT(through->body->GetPosition().y, 3.0f);
    EXPECT_LT(rests->body->GetPosition().y, 1.1f);
    EXPECT_LT(rock->body->GetPosition().y, 1.1f);
}
