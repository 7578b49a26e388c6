// The physics manager's start-up and shape cache, the queries by position,
// box, shape and tag, and the camera: limits, the fit of the whole world,
// the view transform both ways and what counts as in view.
#include <gtest/gtest.h>
#include <math.h>

#include <box2d/box2d.h>

#include "app-env.h"
#include "physics/actor-behaviors.h"
#include "ui/screen-manager.h"

namespace {

std::string Box(const char* type, const char* tags = "", int size = 30) {
    return std::string("<array id=\"info\"><node id=\"type\" value=\"") + type + "\"/><node id=\"tags\" value=\"" +
           tags + "\"/></array><array id=\"rectangle\"><node id=\"width\" value=\"" + std::to_string(size) +
           "\"/><node id=\"height\" value=\"" + std::to_string(size) + "\"/></array>";
}

// A 1024 x 600 virtual screen for the camera, put back afterwards.
struct Screen {
    int w = sman.virtual_width, h = sman.virtual_height;
    Screen() {
        sman.virtual_width = 1024;
        sman.virtual_height = 600;
    }
    ~Screen() {
        sman.virtual_width = w;
        sman.virtual_height = h;
    }
};

struct World {
    AppEnv env;
    Screen screen;
    PhysicsSimulation sim;
    World() { sim.InitWorld(); }
    ~World() { sim.FreeWorld(); }
    ActorShape* Shape(const std::string& name, const std::string& body) {
        return physics_man.GetShape(env.Write(name, body).c_str());
    }
    void Bounds(float x1, float y1, float x2, float y2) {
        float b[4] = {x1, y1, x2, y2};
        memcpy(sim.world_bounds, b, sizeof b);
    }
};

}  // namespace

TEST(PhysicsManager, InitializeRegistersTheDefaultFirstOnce) {
    FwEngine engine;
    FwLog log;
    GameRules::Install();
    ASSERT_EQ(ActorBehavior::all_abs.count, 0);
    physics_man.Initialize();
    const int made = ActorBehavior::all_abs.count;
    physics_man.Initialize();
    EXPECT_EQ(physics_man.initialized, 1);
    ASSERT_GE(made, 1);
    EXPECT_EQ(ActorBehavior::all_abs.count, made);
    EXPECT_STREQ(ActorBehavior::all_abs[0]->GetName(), "DEFAULT");
    EXPECT_STREQ(ActorBehavior::all_abs[1]->GetName(), "WORM");
    int lines = 0;
    for (auto& l : log.Lines()) lines += l.find("PhysicsManager Initializing.") != std::string::npos;
    EXPECT_EQ(lines, 1);
    // Definitions are shared by name; an unknown behaviour name is the
    // default with a line.
    std::string f = "user://odd.xml";
    WriteNative(engine.UserPath("odd.xml"),
                "<root><array id=\"info\"><node id=\"behavior\" value=\"NO_SUCH\"/></array></root>");
    ActorShape* s = physics_man.GetShape(f.c_str());
    EXPECT_EQ(physics_man.GetShape(f.c_str()), s);
    EXPECT_EQ(s->behavior, ActorBehavior::all_abs[0]);
    EXPECT_TRUE(log.Contains("unknown behavior 'NO_SUCH'; using the default"));
    EXPECT_EQ(physics_man.GetShape(nullptr), nullptr);
    EXPECT_EQ(physics_man.GetAmmoShape(nullptr), nullptr);
    physics_man.Shutdown();
    EXPECT_EQ(physics_man.initialized, 0);
    EXPECT_EQ(ActorBehavior::all_abs.count, 0);
    EXPECT_EQ(physics_man.shapes.Count(), 0);
}

TEST(Queries, ByPointBoxShapeAndTag) {
    World w;
    PhysicsSimulation& sim = w.sim;
    sim.world->SetGravity(b2Vec2(0, 0));
    ActorShape* box = w.Shape("actors/box.xml", Box("DYNAMIC", "GRABBABLE"));
    ActorShape* rock = w.Shape("actors/rock.xml", Box("STATIC", "HAZARD SENSOR"));
    Actor* a = sim.CreateActor(box, {0, 0}, {0, 0}, 0, 1, 1);
    Actor* b = sim.CreateActor(rock, {0.2f, 0}, {0, 0}, 0, 2, 1);  // overlaps a
    Actor* c = sim.CreateActor(box, {5, 5}, {0, 0}, 0, 3, 1);
    PhysicsSimulation other;
    PhysicsSimulation::active_sim = &other;

    EXPECT_EQ(sim.GetActorAt({3, 3}), nullptr);
    EXPECT_EQ(PhysicsSimulation::active_sim, &sim);
    Actor* at = sim.GetActorAt({0.1f, 0});
    EXPECT_TRUE(at == a || at == b);
    EXPECT_EQ(sim.query_results.count, 2);
    EXPECT_EQ(at, sim.query_results[0]);  // the first the world reports
    EXPECT_EQ(sim.GetActorAt({5, 5}), c);

    nArray<Actor*> found = sim.QueryActorInsideBox({2.5f, 2.5f}, 6, 6);
    EXPECT_EQ(found.count, 3);
    EXPECT_EQ(sim.QueryActorInsideBox({2.5f, 2.5f}, 1, 1).count, 0);
    EXPECT_EQ(found.count, 3);  // a copy of its own

    EXPECT_EQ(sim.GetActorByShape(box), a);
    EXPECT_EQ(sim.GetActorByShape(nullptr), nullptr);
    EXPECT_EQ(sim.GetNumberOfActorsWithShape(box), 2);
    EXPECT_EQ(sim.GetNumberOfActorsWithFlags(TAG_GRABBABLE | TAG_SENSOR), 3);
    EXPECT_EQ(sim.GetNumberOfActorsWithFlags(TAG_HAZARD), 1);
    EXPECT_FALSE(sim.HasActorWithFlags(TAG_BOSS | TAG_EXIT));

    // At rest: only awake bodies faster than 0.35 m/s count.
    EXPECT_TRUE(sim.ActorsAtRest());
    c->body->SetLinearVelocity(b2Vec2(0.3f, 0.15f));
    EXPECT_TRUE(sim.ActorsAtRest());
    c->body->SetLinearVelocity(b2Vec2(0.3f, 0.3f));
    EXPECT_FALSE(sim.ActorsAtRest());
    c->body->SetAwake(false);
    EXPECT_TRUE(sim.ActorsAtRest());

    w.Bounds(-10, -10, 10, 10);
    EXPECT_FALSE(sim.IsOutsideWorld({-10.5f, 0}, 1));
    EXPECT_TRUE(sim.IsOutsideWorld({-11.5f, 0}, 1));
    EXPECT_TRUE(sim.IsOutsideWorld({0, 11.01f}, 1));
    EXPECT_FALSE(sim.IsOutsideWorld({0, 10}, 0));

    // The kept answers follow the actors: a destroyed one is not given,
    // its tags no longer count, and a new one counts at once.
    sim.DestroyActor(a, false);
    EXPECT_EQ(sim.GetActorByShape(box), c);
    EXPECT_EQ(sim.GetNumberOfActorsWithFlags(TAG_GRABBABLE | TAG_SENSOR), 2);
    sim.DestroyActor(b, false);
    EXPECT_FALSE(sim.HasActorWithFlags(TAG_HAZARD));
    EXPECT_EQ(sim.GetActorByShape(rock), nullptr);
    Actor* d = sim.CreateActor(rock, {8, 8}, {0, 0}, 0, 4, 1);
    EXPECT_EQ(sim.GetActorByShape(rock), d);
    EXPECT_EQ(sim.GetNumberOfActorsWithFlags(TAG_HAZARD), 1);
    sim.FreeWorld();
    sim.InitWorld();
    EXPECT_EQ(sim.GetNumberOfActorsWithFlags(TAG_HAZARD), 0);
    EXPECT_EQ(sim.GetActorByShape(rock), nullptr);
    PhysicsSimulation::active_sim = nullptr;
}

TEST(Camera, LimitsKeepTheViewInsideTheWorld) {
    World w;
    PhysicsSimulation& sim = w.sim;
    const float hw = 1024 * 0.5f / 30, hh = 600 * 0.5f / 30;  // 17.07 x 10 m at zoom 1
    w.Bounds(-50, -40, 50, 10);
    vec2_t t = sim.GetCameraLimit({-100, 0});
    EXPECT_NEAR(t.x, -50 + hw, 1e-4f);
    EXPECT_NEAR(t.y, 0, 1e-4f);
    t = sim.GetCameraLimit({100, 100});
    EXPECT_NEAR(t.x, 50 - hw, 1e-4f);
    EXPECT_NEAR(t.y, 10 - hh, 1e-4f);
    t = sim.GetCameraLimit({0, -100});
    EXPECT_NEAR(t.y, -40 + hh, 1e-4f);
    // Narrower and lower than the view: left and bottom edges aligned.
    w.Bounds(0, 0, 10, 5);
    t = sim.GetCameraLimit({-100, -100});
    EXPECT_NEAR(t.x, hw, 1e-4f);
    EXPECT_NEAR(t.y, 5 - hh, 1e-4f);

    sim.SetCameraTarget({3, 4}, false);
    EXPECT_NEAR(sim.GetCameraTarget().x, 3, 1e-4f);
    EXPECT_NEAR(sim.GetCameraUpperLeft().x, hw - 3, 1e-4f);
    EXPECT_NEAR(sim.GetCameraUpperLeft().y, hh - 4, 1e-4f);
    sim.SetCameraZoom(2);
    EXPECT_NEAR(sim.GetCameraTarget().y, 4, 1e-4f);  // the zoom keeps the target
    EXPECT_NEAR(sim.GetCameraUpperLeft().x, hw / 2 - 3, 1e-4f);
    FwLog log;
    sim.SetCameraZoom(0);
    sim.SetCameraZoom(NAN);
    sim.SetCameraTarget({INFINITY, 0}, true);
    EXPECT_FLOAT_EQ(sim.zoom, 2);
    EXPECT_NEAR(sim.GetCameraTarget().x, 3, 1e-4f);
    EXPECT_TRUE(log.Contains("zoom 0 refused"));
}

TEST(Camera, FitsTheWorldAndMapsBothWays) {
    World w;
    PhysicsSimulation& sim = w.sim;
    // Twice as wide for the screen as it is high: the height decides, the
    // sides reach past the screen.
    w.Bounds(-40, -10, 40, 10);
    sim.SetCameraToFitWorldOnScreen();
    const float zy = 600 / (30.0f * 20);
    EXPECT_FLOAT_EQ(sim.zoom, zy);
    EXPECT_NEAR(sim.GetCameraTarget().x, 0, 1e-5f);
    EXPECT_NEAR(sim.GetCameraTarget().y, 0, 1e-5f);
    sim.Update(0);  // builds the view transform
    vec2_t top_left = sim.TransformWorldPositionToScreen({-40, -10});
    EXPECT_LT(top_left.x, 0);
    EXPECT_NEAR(top_left.y, 0, 1e-3f);
    vec2_t bottom = sim.TransformWorldPositionToScreen({0, 10});
    EXPECT_NEAR(bottom.x, 512, 1e-3f);
    EXPECT_NEAR(bottom.y, 600, 1e-3f);
    for (vec2_t p : {vec2_t{-40, -10}, vec2_t{3.25f, -7.5f}, vec2_t{123.0f, 45.0f}}) {
        vec2_t back = sim.TransformScreenPositionToWorld(sim.TransformWorldPositionToScreen(p));
        EXPECT_NEAR(back.x, p.x, 1e-4f);
        EXPECT_NEAR(back.y, p.y, 1e-4f);
    }

    // Bounds of no size divide by nothing: the zoom stays, with a line.
    FwLog log;
    w.Bounds(5, 5, 5, 5);
    sim.SetCameraToFitWorldOnScreen();
    EXPECT_FLOAT_EQ(sim.zoom, zy);
    EXPECT_FLOAT_EQ(sim.GetCameraTarget().x, 5);
    EXPECT_TRUE(log.Contains("have no size to fit"));
    // One axis of no size: the other decides.
    w.Bounds(0, 0, 0, 30);
    sim.SetCameraToFitWorldOnScreen();
    EXPECT_FLOAT_EQ(sim.zoom, 600 / (30.0f * 30));
    EXPECT_TRUE(isfinite(sim.camera_upper_left.x) && isfinite(sim.camera_upper_left.y));
}

TEST(Camera, InViewWhollyOrPartlyAndNeverWithoutAFixture) {
    World w;
    PhysicsSimulation& sim = w.sim;
    ActorShape* box = w.Shape("actors/box.xml", Box("STATIC", "", 60));  // 2 m
    ActorShape* bare = w.Shape("actors/bare.xml", "<array id=\"info\"></array>");
    sim.SetCameraTarget({0, 0}, false);  // view -17.07..17.07 x -10..10
    Actor* inside = sim.CreateActor(box, {0, 0}, {0, 0}, 0, 0, 1);
    Actor* edge = sim.CreateActor(box, {17.5f, 0}, {0, 0}, 0, 0, 1);
    Actor* touching = sim.CreateActor(box, {0, 11}, {0, 0}, 0, 0, 1);
    Actor* away = sim.CreateActor(box, {30, 0}, {0, 0}, 0, 0, 1);
    Actor* nothing = sim.CreateActor(bare, {0, 0}, {0, 0}, 0, 0, 1);
    ASSERT_EQ(nothing->body->GetFixtureList(), nullptr);
    EXPECT_TRUE(sim.IsInView(inside));
    EXPECT_FALSE(sim.IsInView(edge));
    EXPECT_TRUE(sim.IsPartlyInView(edge));
    EXPECT_FALSE(sim.IsInView(touching));
    EXPECT_TRUE(sim.IsPartlyInView(touching));  // edges touching count
    EXPECT_FALSE(sim.IsPartlyInView(away));
    EXPECT_FALSE(sim.IsInView(nothing));
    EXPECT_FALSE(sim.IsPartlyInView(nothing));
    // A disabled body has no proxy in the world; it is still measured.
    inside->body->SetEnabled(false);
    EXPECT_TRUE(sim.IsInView(inside));
}
