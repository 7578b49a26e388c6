// Screenshots under Xvfb: the worm of the bundled data drawn by the
// simulation through the OpenGL ES renderer, its body one strip through
// every part and tinted while hurt, and an effect of the world's front
// layer drawn where it was spawned; and an actor out of view is skipped
// only when no part of its picture can show.
#include <gtest/gtest.h>

#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "fw-x-support.h"
#include "game/game-level.h"
#include "game/game-lib.h"
#include "game/game-rules.h"
#include "manager.h"
#include "particle-effects.h"
#include "physics/actor-behaviors.h"
#include "physics/actor.h"
#include "physics/b2-compat.h"
#include "physics/physics-manager.h"

namespace {

struct Rgb {
    int r, g, b;
};
Rgb At(const FwImage& img, int x, int y) {
    Rgb c;
    img.At(x, y, &c.r, &c.g, &c.b);
    return c;
}
bool Pink(Rgb c) { return c.r > 150 && c.r > c.g + 40 && c.b > c.g - 10; }
bool Black(Rgb c) { return c.r < 12 && c.g < 12 && c.b < 12; }

// With KODO_KEEP_SHOTS set, the frame is kept there as a PPM to look at.
void Keep(const FwImage& img, const char* name) {
    const char* dir = getenv("KODO_KEEP_SHOTS");
    if (!dir) return;
    FILE* f = fopen((std::string(dir) + "/" + name + ".ppm").c_str(), "wb");
    if (!f) return;
    fprintf(f, "P6 %d %d 255\n", img.w, img.h);
    fwrite(img.rgb.data(), 1, img.rgb.size(), f);
    fclose(f);
}

// The simulation drawn over black.
FwImage SimFrame(FwWindowEngine& engine, PhysicsSimulation& sim) {
    return engine.Frame([&] {
        kd->ClearScreen(0, 0, 0);
        sim.Draw();
    });
}

}  // namespace

TEST(ScreenshotWorm, TheBodyIsOneStripThroughEveryPartAndAnEffectLandsWhereItWasSpawned) {
    FwWindowEngine engine;
    ASSERT_TRUE(engine.started);
    GameRules::Install();
    ActorBehaviors::InitActorBehaviors();
    pbman.Clear();
    pbman.Init();
    AssetManager assets;
    lib.Load(assets);
    ASSERT_NE(lib.Bitmap(LIB_WORM_BODY), nullptr);
    level.Reset();
    level.invulnerability = -1;
    {
        PhysicsSimulation sim;
        sim.InitWorld();
        PhysicsSimulation::active_sim = &sim;
        // A straight worm across the screen, one world metre 30 pixels.
        sim.CreateActor(physics_man.GetShape("actors/game-worm-head.xml"), {6, 8}, {0, 0}, 0, 0, 1.5f);
        sim.CreateActor(physics_man.GetShape("actors/game-worm-tail.xml"), {26, 8}, {0, 0}, 0, 0, 1.5f);
        sim.worm_link_distance = 20.0f / 8;
        sim.ConnectWorm();
        ASSERT_EQ(sim.worm_parts.count, 23);
        sim.Update(0);  // the view, no step
        auto frame = [&] { return SimFrame(engine, sim); };

        FwImage img = frame();
        Keep(img, "worm");
        ASSERT_GT(img.w, 0);
        // Along the worm, between the head (180 px) and the tail (780 px),
        // the strip is there at every part and between them; a strip's
        // half width (15 px) off it there is nothing.
        for (int x = 210; x <= 750; x += 12) {
            EXPECT_TRUE(Pink(At(img, x, 240))) << x;
            EXPECT_TRUE(Pink(At(img, x, 233))) << x;
            EXPECT_TRUE(Black(At(img, x, 222))) << x;
            EXPECT_TRUE(Black(At(img, x, 258))) << x;
        }
        EXPECT_FALSE(Black(At(img, 180, 240)));  // the head
        EXPECT_FALSE(Black(At(img, 780, 240)));  // the tail
        const Rgb well = At(img, 480, 240);

        // Hurt, half a second in: the strip takes the tint (1, 0.5, 0.5).
        level.invulnerability = 0.5f;
        img = frame();
        Keep(img, "worm-hurt");
        const Rgb hurt = At(img, 480, 240);
        EXPECT_NEAR(hurt.r, well.r, 6);
        EXPECT_NEAR(hurt.g, well.g / 2, 6);
        EXPECT_NEAR(hurt.b, well.b / 2, 6);
        level.invulnerability = -1;

        // Bent into a hanging arc, the strip follows every part.
        const int n = sim.worm_parts.count;
        for (int k = 0; k < n; k++) {
            const float t = 3.14159265f * (0.1f + 0.8f * k / (n - 1));
            sim.worm_parts[k]->body->SetTransform(b2Vec2(16 + 8 * cosf(t), 4 + 8 * sinf(t)), 0);
        }
        img = frame();
        Keep(img, "worm-arc");
        for (int k = 1; k < n - 1; k++) {
            const b2Vec2 p = sim.worm_parts[k]->body->GetPosition();
            EXPECT_TRUE(Pink(At(img, (int)lroundf(p.x * 30), (int)lroundf(p.y * 30)))) << k;
            // Across the strip along the radius: inside its half width (0.5 m)
            // the strip, beyond it nothing.
            const b2Vec2 out = p - b2Vec2(16, 4);
            const b2Vec2 u = (1.0f / out.Length()) * out;
            const b2Vec2 in_strip = p + 0.3f * u, off_strip = p + 0.8f * u;
            EXPECT_FALSE(Black(At(img, (int)lroundf(in_strip.x * 30), (int)lroundf(in_strip.y * 30)))) << k;
            EXPECT_TRUE(Black(At(img, (int)lroundf(off_strip.x * 30), (int)lroundf(off_strip.y * 30)))) << k;
        }
        EXPECT_TRUE(Black(At(img, 480, 120)));

        // A spark spawned at a world point shows at that point: pinned to
        // a full-size 32-pixel square (8 picture pixels at scale 4).
        fx_t* fx = pbman.GetFX("fxs/trail-dot.lua");
        ASSERT_NE(fx, nullptr);
        fx->alpha = {1, 1};
        fx->scale = {4, 4};
        fx->blend = 0;
        fx->alpha_curve = graph_constant1;
        sim.front_particles.force = {0, 0};
        sim.SpawnEffect(sim.front_particles, fx, {20, 15}, 0);
        ASSERT_EQ(sim.front_particles.live_count, 1);
        sim.front_particles.FirstLive()->age = 0;
        img = frame();
        Keep(img, "effect");
        const Rgb spark = At(img, 600, 450);
        EXPECT_NEAR(spark.r, 255, 8);
        EXPECT_NEAR(spark.g, 160, 8);
        EXPECT_NEAR(spark.b, 0, 8);
        EXPECT_TRUE(Black(At(img, 600, 480)));
        EXPECT_TRUE(Black(At(img, 20, 15)));
        sim.FreeWorld();
    }
    lib.Clear();
    assets.ReleaseAllAssets();
    pbman.Clear();
    physics_man.shapes.Free();
    ActorBehaviors::FreeActorBehaviors();
}

TEST(ScreenshotWorm, AnActorOutOfViewIsDrawnWhileItsPictureReachesIntoTheView) {
    FwWindowEngine engine;
    ASSERT_TRUE(engine.started);
    ActorBehaviors::InitActorBehaviors();
    PhysicsSimulation sim;
    sim.InitWorld();
    PhysicsSimulation::active_sim = &sim;
    ActorShape* block = physics_man.GetShape("actors/block-big.xml");  // 2 m, its picture 60 px
    ASSERT_TRUE(block && block->bitmap);
    // The body wholly left of the view (0..34 m), and the middle of its
    // picture too, but the picture's right part reaches into the view.
    Actor* edge = sim.CreateActor(block, {-2.0f, 10.0f}, {0, 0}, 0, 0, 1);
    ASSERT_TRUE(edge && edge->body);
    edge->draw_offset = {1.6f, 0.0f};
    sim.Update(0);
    ASSERT_FALSE(sim.IsPartlyInView(edge));
    auto frame = [&] { return SimFrame(engine, sim); };
    FwImage img = frame();
    Keep(img, "edge-actor");
    EXPECT_FALSE(Black(At(img, 5, 300)));
    EXPECT_TRUE(Black(At(img, 40, 300)));
    // Moved on until its picture lies a little past the edge, it is gone;
    // one in view still shows.
    edge->draw_offset = {0.0f, 0.0f};
    Actor* inside = sim.CreateActor(block, {20.0f, 10.0f}, {0, 0}, 0, 0, 1);
    ASSERT_TRUE(inside);
    img = frame();
    EXPECT_TRUE(Black(At(img, 5, 300)));
    EXPECT_FALSE(Black(At(img, 600, 300)));
    // A plain actor (the default behaviour, found through the world's view
    // query) the same: drawn while its picture reaches in, though its
    // fixture, a point beside the picture, lies wholly outside the view
    // and beyond thousands of others far away.
    ActorShape* peg = physics_man.GetShape("actors/peg.xml");  // its picture 44 px
    ASSERT_TRUE(peg && peg->bitmap && peg->behavior && peg->behavior->plain);
    ActorShape pin;
    pin.CopyFrom(*peg);
    pin.radius = 2;
    for (int i = 0; i < 2000; i++) sim.CreateActor(peg, {100.0f + (float)(i % 50), (float)(i / 50)}, {0, 0}, 0, 0, 1);
    Actor* plain = sim.CreateActor(&pin, {-0.5f, 15.0f}, {0, 0}, 0, 0, 1);
    ASSERT_TRUE(plain);
    sim.Update(0);
    ASSERT_FALSE(sim.IsPartlyInView(plain));
    img = frame();
    Keep(img, "edge-plain-actor");
    EXPECT_FALSE(Black(At(img, 2, 450)));
    // Destroying others before it moves its place in the order; moved on
    // until its picture is out, it is gone.
    sim.DestroyActor(inside, false);
    sim.DestroyActor(sim.actors[3], false);
    img = frame();
    EXPECT_FALSE(Black(At(img, 2, 450)));
    plain->body->SetTransform(b2Vec2(-1.2f, 15.0f), 0);
    img = frame();
    EXPECT_TRUE(Black(At(img, 2, 450)));
    sim.FreeWorld();
    PhysicsSimulation::active_sim = nullptr;
}
