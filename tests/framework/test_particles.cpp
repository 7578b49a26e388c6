// Particle pools: motion under force and dampening on fixed time steps
// against known positions, curves, delayed starts, death, the full pool
// and its spare record, emitters, and text particles.
#include <gtest/gtest.h>

#include <math.h>

#include "particle-effects.h"
#include "particles.h"

namespace {

int deaths = 0;
void CountDeath(part_t*) { deaths++; }

vec2_t V(float x, float y) { return vec2_t{x, y}; }

}  // namespace

TEST(Particles, ForceAndDampeningOnAFixedStepGiveKnownPositions) {
    PartMan pool(16);
    EXPECT_FLOAT_EQ(pool.force.x, 0);
    EXPECT_FLOAT_EQ(pool.force.y, 9.81f);
    pool.force = V(0, 10);
    part_t* p = pool.SpawnPart(V(1, 2), nullptr, 100);
    p->vx = 10;
    p->mass = 1;
    // 100 steps of 0.01 s: vy after step n is 0.1 n, and y grows by 0.01 vy
    // each step: y = 2 + 0.001 * 100 * 101 / 2.
    for (int i = 0; i < 100; i++) pool.UpdateParts(0.01f);
    EXPECT_NEAR(p->x, 11.0f, 1e-4);
    EXPECT_NEAR(p->y, 2 + 5.05f, 1e-3);
    EXPECT_NEAR(p->vy, 10.0f, 1e-4);
    EXPECT_NEAR(p->age, 1.0f, 1e-4);

    // Mass scales the force; zero mass feels none.
    part_t* heavy = pool.SpawnPart(V(0, 0), nullptr, 100);
    heavy->mass = 2;
    part_t* still = pool.SpawnPart(V(0, 0), nullptr, 100);
    pool.UpdateParts(0.5f);
    EXPECT_NEAR(heavy->vy, 10.0f, 1e-5);
    EXPECT_NEAR(heavy->y, 5.0f, 1e-5);
    EXPECT_FLOAT_EQ(still->y, 0);
}

TEST(Particles, DampeningHalvesTheSpeedPerSecondWhateverTheFrameRate) {
    for (int steps : {1, 10, 100, 60}) {
        PartMan pool(4);
        part_t* p = pool.SpawnPart(V(0, 0), nullptr, 10);
        p->vx = 8;
        p->vy = -4;
        p->dampening = 0.5f;
        for (int i = 0; i < steps; i++) pool.UpdateParts(1.0f / steps);
        EXPECT_NEAR(p->vx, 4.0f, 1e-4) << steps;
        EXPECT_NEAR(p->vy, -2.0f, 1e-4) << steps;
    }
    // Known position with dampening on a fixed step: x = sum 0.1 * 8 * d^k,
    // d = 0.5^0.1, k = 1..10.
    PartMan pool(4);
    part_t* p = pool.SpawnPart(V(0, 0), nullptr, 10);
    p->vx = 8;
    p->dampening = 0.5f;
    for (int i = 0; i < 10; i++) pool.UpdateParts(0.1f);
    double d = pow(0.5, 0.1), x = 0;
    for (int k = 1; k <= 10; k++) x += 0.1 * 8 * pow(d, k);
    EXPECT_NEAR(p->x, x, 1e-4);
}

TEST(Particles, CurvesOverTheLife) {
    PartMan pool(1);  // fills the preset curves
    EXPECT_FLOAT_EQ(graph_linear_1_0.Evaluate(0.25f), 0.75f);
    EXPECT_FLOAT_EQ(graph_linear_0_1.Evaluate(0.25f), 0.25f);
    EXPECT_FLOAT_EQ(graph_constant1.Evaluate(0.7f), 1.0f);
    EXPECT_FLOAT_EQ(graph_smooth_fade.Evaluate(0.05f), 0.5f);
    EXPECT_FLOAT_EQ(graph_smooth_fade.Evaluate(0.55f), 0.5f);
    EXPECT_FLOAT_EQ(graph_fade_in_out.Evaluate(0.5f), 1.0f);
    EXPECT_FLOAT_EQ(graph_fade_in_out.Evaluate(0.95f), 0.5f);
    EXPECT_FLOAT_EQ(graph_fade_in_out.Evaluate(1.5f), 0.0f);  // past the last point

    // Two points are read as a line over the whole life, x ignored.
    graph_t g{};
    g.AddPoint(0.2f, 1);
    g.AddPoint(1, 0);
    EXPECT_FLOAT_EQ(g.Evaluate(0.1f), 0.9f);
    EXPECT_FLOAT_EQ(g.Evaluate(0.5f), 0.5f);
    // Three points: before the first x, the first y.
    g.Clear();
    g.AddPoint(0.2f, 3);
    g.AddPoint(0.4f, 5);
    g.AddPoint(0.6f, 1);
    EXPECT_FLOAT_EQ(g.Evaluate(0.1f), 3);
    EXPECT_FLOAT_EQ(g.Evaluate(0.3f), 4);
    EXPECT_FLOAT_EQ(g.Evaluate(0.5f), 3);
    // Points past 16 are ignored.
    g.Clear();
    for (int i = 0; i < 20; i++) g.AddPoint(i / 20.0f, (float)i);
    EXPECT_EQ(g.num_points, 16);
    EXPECT_FLOAT_EQ(g.Evaluate(0.99f), 15);
}

TEST(Particles, DelayedStartDeathAndKilling) {
    PartMan pool(8);
    deaths = 0;
    part_t* p = pool.SpawnPart(V(0, 0), nullptr, 1);
    p->age = -0.5f;
    p->vx = 10;
    p->death_func = CountDeath;
    for (int i = 0; i < 4; i++) pool.UpdateParts(0.1f);
    EXPECT_FLOAT_EQ(p->x, 0);  // not started: still
    pool.UpdateParts(0.1f);
    EXPECT_NEAR(p->age, 0.0f, 1e-6);
    pool.UpdateParts(0.1f);
    EXPECT_NEAR(p->x, 1.0f, 1e-5);
    EXPECT_EQ(pool.live_count, 1);
    for (int i = 0; i < 9; i++) pool.UpdateParts(0.1f);
    EXPECT_EQ(deaths, 0);
    pool.UpdateParts(0.11f);  // age passes age to die
    EXPECT_EQ(deaths, 1);
    EXPECT_EQ(pool.live_count, 0);
    EXPECT_EQ(pool.FirstLive(), nullptr);
    // A killed record is reused first; a second kill changes nothing.
    part_t* q = pool.SpawnPart(V(0, 0), nullptr, 1);
    EXPECT_EQ(q, p);
    pool.KillPart(q);
    pool.KillPart(q);
    EXPECT_EQ(pool.live_count, 0);
    part_t* r = pool.SpawnPart(V(0, 0), nullptr, 1);
    EXPECT_EQ(r, p);
    EXPECT_EQ(pool.live_count, 1);
}

TEST(Particles, AFullPoolHandsOutTheSpareRecord) {
    PartMan pool;
    EXPECT_EQ(pool.pool_size, 1536);
    for (int i = 0; i < 1536; i++) ASSERT_FALSE(pool.IsHoax(pool.SpawnPart(V(0, 0), nullptr, 1)));
    part_t* h = pool.SpawnPartTextf(V(0, 0), nullptr, 1, "spare %d", 1);
    EXPECT_TRUE(pool.IsHoax(h));
    EXPECT_STREQ(h->text, "spare 1");
    EXPECT_EQ(pool.live_count, 1536);
    pool.KillPart(h);  // in no list: nothing happens
    EXPECT_EQ(pool.live_count, 1536);
    pool.UpdateParts(0.5f);
    EXPECT_EQ(pool.live_count, 1536);
    pool.UpdateParts(0.6f);
    EXPECT_EQ(pool.live_count, 0);
    int n = 0;
    for (part_t* p = pool.FirstLive(); p; p = pool.NextLive(p)) n++;
    EXPECT_EQ(n, 0);
    // Everything is free again.
    for (int i = 0; i < 1536; i++) ASSERT_FALSE(pool.IsHoax(pool.GetFreePart()));
    pool.ResetParts();
    EXPECT_EQ(pool.live_count, 0);
}

TEST(Particles, TextParticlesOwnTheirText) {
    PartMan pool(4);
    char source[64] = "hello";
    part_t* p = pool.SpawnPartTextf(V(0, 0), nullptr, 1, "%s %d", source, 5);
    source[0] = 'j';
    EXPECT_STREQ(p->text, "hello 5");
    EXPECT_EQ(p->draw_func, PMAN_Draw_Text);
    EXPECT_EQ(p->bitmap, nullptr);
    std::string longText(3000, 'x');
    part_t* q = pool.SpawnPartTextf(V(0, 0), nullptr, 1, "%s", longText.c_str());
    EXPECT_EQ(strlen(q->text), 1023u);  // at most 1023 characters
    pool.KillPart(p);
    EXPECT_EQ(p->text, nullptr);
    // Defaults of a plain spawn.
    part_t* r = pool.SpawnPart(V(3, 4), nullptr, 2);
    EXPECT_EQ(r->scale_curve, &graph_constant1);
    EXPECT_EQ(r->alpha_curve, &graph_linear_1_0);
    EXPECT_EQ(r->draw_func, PMAN_Draw_Normal);
    EXPECT_FLOAT_EQ(r->dampening, 1);
    EXPECT_FLOAT_EQ(r->age_to_die, 2);
    EXPECT_EQ(r->text, nullptr);
}

TEST(Particles, EmittersSpawnByTimeAndByDistance) {
    PartMan pool(256);
    pool.force = V(0, 0);
    fx_t child{};
    child.num_parts = 1;
    child.age_to_die = {10, 10};
    child.alpha = child.scale = child.dampening = {1, 1};
    // By time: an interval of 0.1 s spawns about ten times per second.
    part_t* e = pool.SpawnPart(V(0, 0), nullptr, 1.0f);
    e->emitter_fx = &child;
    e->emitter_type = 1;
    e->emitter_interval = 0.1f;
    e->emitter_counter = 0;
    for (int i = 0; i < 100; i++) pool.UpdateParts(0.01f);
    EXPECT_GE(pool.live_count - 1, 9);
    EXPECT_LE(pool.live_count - 1, 11);

    // By distance: one spawn per 5 units moved, at the particle.
    PartMan road(256);
    road.force = V(0, 0);
    part_t* d = road.SpawnPart(V(0, 0), nullptr, 100);
    d->vx = 10;
    d->emitter_fx = &child;
    d->emitter_type = 0;
    d->emitter_interval = 5;
    d->emitter_counter = 5;
    for (int i = 0; i < 20; i++) road.UpdateParts(0.1f);  // 20 units
    EXPECT_EQ(road.live_count - 1, 4);
    float lastX = 0;
    for (part_t* p = road.FirstLive(); p; p = road.NextLive(p))
        if (p != d) lastX = p->x;
    EXPECT_NEAR(lastX, 20.0f, 1e-3);

    // An interval of 0 cannot make the update loop: at most one spawn per step.
    PartMan zero(64);
    part_t* z = zero.SpawnPart(V(0, 0), nullptr, 100);
    z->vx = 1;
    z->emitter_fx = &child;
    z->emitter_type = 0;
    z->emitter_interval = 0;
    for (int i = 0; i < 10; i++) zero.UpdateParts(0.1f);
    EXPECT_EQ(zero.live_count, 11);
}
