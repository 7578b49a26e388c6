// The simulation: world set-up, the fixed step, deferred world changes,
// destruction rules and drawing order.
#include <gtest/gtest.h>
#include <math.h>

#include <box2d/box2d.h>

#include "app-env.h"
#include "feature-manager.h"

namespace {

std::string Box(const char* type, const char* tags = "") {
    return std::string("<array id=\"info\"><node id=\"type\" value=\"") + type + "\"/><node id=\"tags\" value=\"" +
           tags + "\"/></array><array id=\"rectangle\"><node id=\"width\" value=\"30\"/>"
                  "<node id=\"height\" value=\"30\"/></array>";
}

// The position Box2D's semi-implicit Euler gives after n free steps.
float FallenY(float y0, float h, int n) {
    float v = 0, y = y0;
    for (int i = 0; i < n; i++) {
        v += h * 7.0f;
        y += h * v;
    }
    return y;
}

}  // namespace

TEST(PhysicsWorld, InitAndFree) {
    AppEnv env;
    PhysicsSimulation sim;
    EXPECT_EQ(sim.world, nullptr);
    sim.FreeWorld();  // nothing to free
    sim.InitWorld();
    ASSERT_NE(sim.world, nullptr);
    EXPECT_FLOAT_EQ(sim.world->GetGravity().y, 7.0f);
    EXPECT_FLOAT_EQ(sim.world_bounds[0], 10);
    EXPECT_FLOAT_EQ(sim.world_bounds[2], -10);
    ASSERT_NE(sim.ground_body, nullptr);
    EXPECT_EQ(sim.ground_body->GetType(), b2_staticBody);
    EXPECT_EQ(sim.back_particles.pool_size, 1536);
    EXPECT_FLOAT_EQ(sim.metres_per_pixel, 1.0f / 30.0f);
    ActorShape* s = physics_man.GetShape(env.Write("actors/box.xml", Box("DYNAMIC")).c_str());
    sim.CreateActor(s, {0, 0}, {0, 0}, 0, 0, 1.5f);
    sim.ammos = strdup("x");
    sim.FreeWorld();
    EXPECT_EQ(sim.world, nullptr);
    EXPECT_EQ(sim.actors.count, 0);
    EXPECT_EQ(sim.ammos, nullptr);
}

TEST(PhysicsStep, FallingBodyFollowsTheFixedStep) {
    AppEnv env;
    PhysicsSimulation sim;
    sim.InitWorld();
    ActorShape* s = physics_man.GetShape(env.Write("actors/box.xml", Box("DYNAMIC")).c_str());
    Actor* a = sim.CreateActor(s, {1, 2}, {0, 0}, 0, 0, 1.5f);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->body->GetUserData().pointer, (uintptr_t)a);
    const float h = 1.0f / 60.0f;
    // 0.05 s is exactly three steps in single precision.
    sim.Update(0.05f);
    EXPECT_EQ(sim.last_steps, 3);
    EXPECT_NEAR(a->body->GetPosition().y, FallenY(2, h, 3), 1e-5f);
    EXPECT_NEAR(sim.step_accumulator, 0.0f, 1e-6f);
    sim.Update(0.01f);
    EXPECT_EQ(sim.last_steps, 0);
    sim.Update(0.01f);
    EXPECT_EQ(sim.last_steps, 1);
    for (int i = 0; i < 56; i++) sim.Update(h);
    int steps = 4 + 0;
    (void)steps;
    float total = a->body->GetPosition().y;
    // Every frame of one step length ran one step (or carried it over).
    EXPECT_NEAR(total, FallenY(2, h, 60), 2e-2f);
    EXPECT_NEAR(a->body->GetLinearVelocity().y, 7.0f, 0.15f);
    EXPECT_FLOAT_EQ(a->body->GetPosition().x, 1.0f);
    EXPECT_EQ(env.def->updates, 3 + 56);
    sim.FreeWorld();
}

TEST(PhysicsStep, NoStepWithoutTimeButTheViewIsBuilt) {
    AppEnv env;
    PhysicsSimulation sim;
    sim.InitWorld();
    ActorShape* s = physics_man.GetShape(env.Write("actors/box.xml", Box("DYNAMIC")).c_str());
    Actor* a = sim.CreateActor(s, {0, 0}, {0, 0}, 0, 0, 1.5f);
    sim.camera_upper_left = {2, -3};
    sim.zoom = 2;
    sim.Update(0);
    sim.Update(-1);
    EXPECT_EQ(a->body->GetPosition().y, 0.0f);
    EXPECT_FLOAT_EQ(sim.view_transform.m[0], 60);
    EXPECT_FLOAT_EQ(sim.view_transform.m[3], 120);
    EXPECT_FLOAT_EQ(sim.view_transform.m[7], -180);
    EXPECT_FLOAT_EQ(sim.view_transform.m[15], 1);
    EXPECT_EQ(env.def->updates, 2);  // behaviours still run
    EXPECT_EQ(PhysicsSimulation::active_sim, &sim);
    sim.FreeWorld();
}

namespace {

// Destroys whatever touches the floor, from inside the step.
class DestroyOnTouch : public b2ContactListener {
public:
    PhysicsSimulation* sim = nullptr;
    int contacts = 0;
    Actor* created = (Actor*)1;
    void BeginContact(b2Contact* c) override {
        contacts++;
        Actor* a = (Actor*)c->GetFixtureA()->GetBody()->GetUserData().pointer;
        Actor* b = (Actor*)c->GetFixtureB()->GetBody()->GetUserData().pointer;
        Actor* mover = a->body->GetType() == b2_dynamicBody ? a : b;
        sim->DestroyActor(mover, false);
        sim->DestroyActor(mover, false);  // twice: still one change
        pending_inside = sim->PendingChanges();
        created = sim->CreateActor(mover->shape, {0, 0}, {0, 0}, 0, 0, 1);
        still_there = sim->actors.Find(mover) >= 0;
    }
    int pending_inside = -1;
    bool still_there = false;
};

}  // namespace

TEST(DeferredChanges, DestroyFromAContactWaitsForTheStepEnd) {
    AppEnv env;
    FwLog log;
    DestroyOnTouch listener;
    PhysicsSimulation sim;
    listener.sim = &sim;
    sim.InitWorld();
    sim.world->SetContactListener(&listener);
    ActorShape* floor = physics_man.GetShape(env.Write("actors/floor.xml", Box("STATIC")).c_str());
    ActorShape* box = physics_man.GetShape(env.Write("actors/box.xml", Box("DYNAMIC")).c_str());
    sim.CreateActor(floor, {0, 1.2f}, {0, 0}, 0, 0, 1);
    Actor* falling = sim.CreateActor(box, {0, 0}, {0, 0}, 0, 0, 1);
    ASSERT_EQ(sim.actors.count, 2);
    for (int i = 0; i < 120 && listener.contacts == 0; i++) sim.Update(1.0f / 60);
    ASSERT_GT(listener.contacts, 0);
    EXPECT_EQ(listener.pending_inside, 1);
    EXPECT_TRUE(listener.still_there);
    EXPECT_EQ(listener.created, nullptr);
    EXPECT_TRUE(log.Contains("CreateActor: the world is stepping"));
    EXPECT_EQ(sim.PendingChanges(), 0);
    EXPECT_EQ(sim.actors.count, 1);
    EXPECT_EQ(sim.actors.Find(falling), -1);
    EXPECT_EQ(sim.world->GetBodyCount(), 2);  // ground body and floor
    sim.FreeWorld();
}

namespace {

class CountChange : public WorldChange {
public:
    CountChange(int* n, Actor* a = nullptr) : count(n), actor(a) {}
    void Apply(PhysicsSimulation*) override { (*count)++; }
    bool Refers(const Actor* a) const override { return a && a == actor; }
    int* count;
    Actor* actor;
};

class QueueInside : public b2ContactListener {
public:
    PhysicsSimulation* sim = nullptr;
    int* applied = nullptr;
    Actor* doomed = nullptr;
    bool done = false;
    void BeginContact(b2Contact*) override {
        if (done) return;
        done = true;
        sim->QueueChange(new CountChange(applied));
        sim->DestroyActor(doomed, false);
        sim->QueueChange(new CountChange(applied, doomed));  // dropped: its actor goes first
        seen_applied = *applied;
    }
    int seen_applied = -1;
};

}  // namespace

TEST(DeferredChanges, QueuedChangesRunAfterTheStepAndDieWithTheirActor) {
    AppEnv env;
    PhysicsSimulation sim;
    int applied = 0;
    sim.QueueChange(new CountChange(&applied));  // no world: at once
    EXPECT_EQ(applied, 1);
    QueueInside listener;
    listener.sim = &sim;
    listener.applied = &applied;
    sim.InitWorld();
    sim.world->SetContactListener(&listener);
    ActorShape* floor = physics_man.GetShape(env.Write("actors/floor.xml", Box("STATIC")).c_str());
    ActorShape* box = physics_man.GetShape(env.Write("actors/box.xml", Box("DYNAMIC")).c_str());
    sim.CreateActor(floor, {0, 1.2f}, {0, 0}, 0, 0, 1);
    sim.CreateActor(box, {0, 0}, {0, 0}, 0, 0, 1);
    listener.doomed = sim.CreateActor(box, {5, 0}, {0, 0}, 0, 0, 1);
    for (int i = 0; i < 120 && !listener.done; i++) sim.Update(1.0f / 60);
    ASSERT_TRUE(listener.done);
    EXPECT_EQ(listener.seen_applied, 1);  // nothing ran inside the step
    EXPECT_EQ(applied, 2);                // the first ran after it, the second was dropped
    EXPECT_EQ(sim.actors.count, 2);
    // Queued changes of a freed world are dropped unrun.
    listener.done = false;
    sim.FreeWorld();
    EXPECT_EQ(sim.PendingChanges(), 0);
}

TEST(Destruction, UpdateRulesForWormPartsBossesAndEditor) {
    AppEnv env;
    PhysicsSimulation sim;
    sim.InitWorld();
    sim.world_bounds[0] = -10;
    sim.world_bounds[1] = -10;
    sim.world_bounds[2] = 10;
    sim.world_bounds[3] = 10;
    ActorShape* plain = physics_man.GetShape(env.Write("actors/p.xml", Box("STATIC")).c_str());
    ActorShape* worm = physics_man.GetShape(env.Write("actors/w.xml", Box("STATIC", "WORM_BODY")).c_str());
    ActorShape* boss = physics_man.GetShape(env.Write("actors/b.xml", Box("STATIC", "BOSS")).c_str());
    Actor* extra = sim.CreateActor(plain, {0, 0}, {0, 0}, 0, 0, 1);
    Actor* far_plain = sim.CreateActor(plain, {100, 0}, {0, 0}, 0, 0, 1);
    Actor* far_worm = sim.CreateActor(worm, {100, 0}, {0, 0}, 0, 0, 1);
    Actor* near_worm = sim.CreateActor(worm, {0, 0}, {0, 0}, 0, 0, 1);
    Actor* the_boss = sim.CreateActor(boss, {0, 0}, {0, 0}, 0, 0, 1);
    Actor* healthy = sim.CreateActor(plain, {0, 0}, {0, 0}, 0, 0, 1);
    // Plain actors are looked at once their hit points are set; the record
    // follows a new order and a destruction before them.
    Actor* gone = sim.CreateActor(plain, {0, 0}, {0, 0}, 0, 0, 1);
    sim.UpdateActorOrder();
    ASSERT_EQ(sim.actors[0], extra);
    sim.DestroyActor(extra, false);
    sim.SetHitPoints(gone, -1);
    sim.Update(0.01f);
    EXPECT_EQ(sim.actors.count, 5);
    near_worm->weld_target = far_plain;
    for (Actor* a : {far_plain, far_worm, near_worm, the_boss}) sim.SetHitPoints(a, 0);

    sim.editor_mode = 1;
    sim.Update(0.01f);
    EXPECT_EQ(sim.actors.count, 5);
    sim.editor_mode = 0;
    sim.Update(0.01f);
    EXPECT_EQ(sim.actors.count, 3);
    EXPECT_EQ(sim.actors.Find(gone), -1);
    EXPECT_NE(sim.actors.Find(far_worm), -1);
    EXPECT_NE(sim.actors.Find(the_boss), -1);
    EXPECT_NE(sim.actors.Find(healthy), -1);
    EXPECT_EQ(env.def->destroyed, 3);  // with effects: OnDestroyed ran
    sim.FreeWorld();
}

TEST(Destruction, BehaviourCanRefuse) {
    AppEnv env;
    CountingBehavior keep("KEEP", false);
    ActorShape* s = physics_man.GetShape(
        env.Write("actors/k.xml", "<array id=\"info\"><node id=\"behavior\" value=\"KEEP\"/></array>").c_str());
    EXPECT_EQ(s->behavior, &keep);
    PhysicsSimulation sim;
    sim.InitWorld();
    Actor* a = sim.CreateActor(s, {0, 0}, {0, 0}, 0, 0, 1);
    EXPECT_EQ(keep.inits, 1);
    a->hit_points = -5;
    sim.Update(0.01f);
    EXPECT_EQ(sim.actors.count, 1);
    sim.FreeWorld();
}

TEST(ActorOrder, GroupsFollowTheUntaggedInPassOrder) {
    AppEnv env;
    PhysicsSimulation sim;
    sim.InitWorld();
    ActorShape* plain = physics_man.GetShape(env.Write("actors/p.xml", Box("STATIC")).c_str());
    ActorShape* wall = physics_man.GetShape(env.Write("actors/s.xml", Box("STATIC", "SIDE_WALL")).c_str());
    ActorShape* head = physics_man.GetShape(env.Write("actors/h.xml", Box("STATIC", "WORM_HEAD")).c_str());
    Actor* w1 = sim.CreateActor(wall, {0, 0}, {0, 0}, 0, 1, 1);
    Actor* p1 = sim.CreateActor(plain, {0, 0}, {0, 0}, 0, 2, 1);
    Actor* w2 = sim.CreateActor(wall, {0, 0}, {0, 0}, 0, 3, 1);
    Actor* h = sim.CreateActor(head, {0, 0}, {0, 0}, 0, 4, 1);
    Actor* p2 = sim.CreateActor(plain, {0, 0}, {0, 0}, 0, 5, 1);
    sim.UpdateActorOrder();
    ASSERT_EQ(sim.actors.count, 5);
    Actor* want[5] = {p1, p2, h, w2, w1};
    for (int i = 0; i < 5; i++) EXPECT_EQ(sim.actors[i], want[i]) << i;
    // The actors by tag follow the new order.
    EXPECT_EQ(sim.ActorsWithFlags(TAG_SIDE_WALL | TAG_WORM_HEAD), (std::vector<Actor*>{h, w2, w1}));
    EXPECT_EQ(sim.GetNumberOfActorsWithFlags(TAG_SIDE_WALL | TAG_WORM_HEAD), 3);
    sim.Draw();  // the null renderer takes the whole pass
    sim.FreeWorld();
}

TEST(PhysicsStep, OptimizedRefreshStepIsTenMilliseconds) {
    AppEnv env;
    nString saved(feature_man.GetFeatureList());
    EXPECT_FLOAT_EQ(PhysicsSimulation::StepLength(), 1.0f / 60.0f);
    feature_man.SetFeatureList("AUTOSCALE,OPTIMIZED_REFRESH");
    EXPECT_FLOAT_EQ(PhysicsSimulation::StepLength(), 0.01f);
    PhysicsSimulation sim;
    sim.InitWorld();
    sim.Update(0.05f);
    EXPECT_EQ(sim.last_steps, 5);
    // The engine bounds a frame's time; the simulation runs all it is given.
    sim.Update(0.3f);
    EXPECT_EQ(sim.last_steps, 30);
    feature_man.SetFeatureList(saved.text);
    sim.FreeWorld();
}

// The time-of-impact pass runs while a world holds at most the limit's
// contacts, and is off past it, said once a world (pairs of boxes 10 m
// apart: one contact each).
TEST(PhysicsStep, ACrowdedWorldStepsWithoutTheImpactPassAndSaysSoOnce) {
    AppEnv env;
    ActorShape* s = physics_man.GetShape(env.Write("actors/box.xml", Box("DYNAMIC")).c_str());
    const int limit = PhysicsSimulation::PHYSICS_MAX_IMPACT_CONTACTS;
    PhysicsSimulation sim;
    for (int extra : {0, 1, 1}) {
        sim.InitWorld();
        for (int i = 0; i < limit + extra; i++) {
            const float x = 10.0f * (float)(i % 50), y = 10.0f * (float)(i / 50);
            sim.CreateActor(s, {x, y}, {0, 0}, 0, 0, 1.5f);
            sim.CreateActor(s, {x + 0.2f, y}, {0, 0}, 0, 0, 1.5f);
        }
        FwLog log;
        sim.Update(1.0f / 60.0f);  // the new actors' contacts count at once
        EXPECT_EQ(sim.world->GetContinuousPhysics(), extra == 0);
        sim.Update(1.0f / 60.0f);
        sim.Update(1.0f / 60.0f);
        EXPECT_EQ(sim.world->GetContactCount(), limit + extra);
        EXPECT_EQ(sim.world->GetContinuousPhysics(), extra == 0);
        int said = 0;
        for (const std::string& line : log.Lines())
            said += line.find("without the time-of-impact pass") != std::string::npos;
        EXPECT_EQ(said, extra) << "once a world, and only past the limit";
    }
    sim.FreeWorld();
}
