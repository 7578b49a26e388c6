// The other actors' behaviours in small worlds: fruit settling, the rope
// sequence at the worm hole, the end bug, free-spinning pegs, breakable
// blocks and the exit's shockwave; their registration; and the effect
// scripts the game loads.
#include <gtest/gtest.h>
#include <math.h>

#include <vector>

#include "behavior-env.h"
#include "game/actor-behavior-worm.h"
#include "game/actor-behaviors-collectables.h"
#include "physics/actor-shapes.h"

namespace {

int JointsOf(const Actor* a) {
    int n = 0;
    for (b2JointEdge* e = a->body->GetJointList(); e; e = e->next) n++;
    return n;
}

}  // namespace

// ---------------------------------------------------------------- registry and data

TEST(Behaviours, RegisteredInOrderAfterTheDefault) {
    BehaviorWorld w;
    std::vector<std::string> names;
    for (int i = 0; i < ActorBehavior::all_abs.count; i++) names.push_back(ActorBehavior::all_abs[i]->GetName());
    const std::vector<std::string> hazards = {"MOVING", "MOVING_HAZARD", "HAZARD_AMMO", "HAZARD_HOMING", "HAZARD_MINE"};
    std::vector<std::string> expected = {"DEFAULT", "WORM"};
    // The hazards come with their own family; until then they are absent.
    if (ActorBehavior::GetActorBehavior("MOVING")) expected.insert(expected.end(), hazards.begin(), hazards.end());
    for (const char* n : {"COLLECTABLE", "WORM_HOLE", "END_BUG", "ROTATE_FREE", "DESTROYABLE_BLOCK", "MOON"})
        expected.push_back(n);
    EXPECT_EQ(names, expected);
    if (!ActorBehavior::GetActorBehavior("MOVING")) {
        // An actor naming one is driven by the default, with one line.
        FwLog log;
        ActorShape* s = w.Shape("actors/platform-moving.xml");
        EXPECT_EQ(s->behavior, ActorBehavior::GetActorBehavior(nullptr));
        int lines = 0;
        for (const std::string& l : log.Lines()) lines += l.find("unknown behavior 'MOVING'") != std::string::npos;
        EXPECT_EQ(lines, 1);
    }
}

TEST(Behaviours, EveryEffectTheGameLoadsHasParticlesToShow) {
    FwLog log;
    BehaviorWorld w;
    for (int i = 0; i < LIB_NUM_EFFECTS; i++) {
        SCOPED_TRACE(DeziDediLib::EffectName(i));
        const fx_t* fx = lib.Effect((LibEffect)i);
        // The hazards' two scripts come with the hazards.
        if (i == LIB_FX_HAZARD_DESTROYED || i == LIB_FX_WINGS_BROKEN) continue;
        ASSERT_NE(fx, nullptr);
        for (;; fx++) {
            EXPECT_GT(fx->num_parts, 0);
            EXPECT_GT(fx->num_bitmaps, 0);
            for (int b = 0; b < fx->num_bitmaps; b++) EXPECT_NE(fx->bitmaps[b], nullptr);
            if (!fx->continued) break;
        }
    }
    // And the effects named by the actors of this family.
    for (const char* f :
         {"actors/egg.xml", "actors/block-small.xml", "actors/block-big.xml", "actors/block-long.xml"}) {
        ActorShape* s = w.Shape(f);
        EXPECT_TRUE(s->fx_hit || s->fx_destroyed) << f;
    }
    for (const std::string& l : log.Lines()) {
        EXPECT_EQ(l.find("unknown burst parm"), std::string::npos) << l;
        EXPECT_EQ(l.find("ExecLuaFile"), std::string::npos) << l;
    }
}

// ---------------------------------------------------------------- fruit

TEST(Fruit, FadesInRocksAndSettlesWhereItBelongs) {
    BehaviorWorld w;
    Actor* fruit = w.Add("actors/fruit-apple.xml", 5, 5, 1.0f);
    EXPECT_FLOAT_EQ(fruit->body->GetAngle(), 0);  // made upright
    const int joints = JointsOf(fruit);
    fruit->alpha = 0;
    level.clock_ms = 1571;  // a quarter turn of the rocking
    w.Run(6);
    EXPECT_NEAR(fruit->alpha, 0.5f, 1e-3f);
    EXPECT_NEAR(fruit->angle_offset, 0.2f, 1e-3f);
    EXPECT_EQ(JointsOf(fruit), joints);  // at home: nothing more holds it

    // Displaced, it glides back at 10 m/s and is then welded in place.
    fruit->draw_offset = {1, 0};
    w.Run(3);
    EXPECT_NEAR(fruit->draw_offset.x, 0.5f, 1e-3f);
    w.Run(4);
    EXPECT_EQ(fruit->draw_offset.x, 0);
    EXPECT_EQ(JointsOf(fruit), joints + 1);
    w.Run(10);
    EXPECT_EQ(JointsOf(fruit), joints + 1);
}

// ---------------------------------------------------------------- rope

TEST(Rope, ComesDownToTheHoleAndHaulsItUpWithTheGrippingEnd) {
    BehaviorWorld w;
    w.Bounds(0, 0, 20, 15);
    Actor* hole = w.Add("actors/wormhole.xml", 10, 10);
    Actor* fruit = w.Add("actors/fruit-apple.xml", 4, 5);
    // Loose parts: the free tail is not dragged up by its links.
    w.LooseWorm(9, 19, 8.2f, 11);
    Actor* head = w.Head();
    Actor* tail = w.Tail();
    level.required_targets = 1;
    const float L = 66.0f / 30;
    const float rest = 10 - 0.6f - L / 2;

    // The last fruit starts it: the rope comes down from above the world.
    static_cast<ActorBehaviorWorm*>(ActorBehavior::GetActorBehavior("WORM"))->OnContact(tail, fruit, nullptr);
    ASSERT_EQ(level.rope_state, 1);
    float last_y = level.rope_y;
    int frames = 0;
    while (level.rope_state == 1 && frames < 200) {
        w.Run(1);
        frames++;
        EXPECT_GE(level.rope_y, last_y);
        last_y = level.rope_y;
    }
    EXPECT_EQ(level.rope_state, 2);
    EXPECT_NEAR(level.rope_y, rest, 1e-4f);
    EXPECT_NEAR(frames / 60.0f, (rest + L) / 10, 0.05f);  // 10 m/s

    // Drawn: two ropes 0.8 of the hole's half width either side of it,
    // tiled every 0.93 of a piece from the rope's end up to the top.
    {
        DrawSpy spy;
        hole->behavior->DrawForeground(hole);
        const int pieces = (int)ceilf((rest + 0.1f) / (0.93f * L)) + 1;
        ASSERT_EQ(spy.Count(lib.Bitmap(LIB_ROPE)), 2 * pieces);
        const float half = 46.0f / 30;
        EXPECT_NEAR(spy.sprites[0].x, 10 - 0.8f * half, 1e-4f);
        EXPECT_NEAR(spy.sprites[1].x, 10 + 0.8f * half, 1e-4f);
        EXPECT_NEAR(spy.sprites[0].y, rest + 0.1f, 1e-4f);
        EXPECT_LE(spy.sprites.back().y, 0.0f);
        EXPECT_GT(spy.sprites[spy.sprites.size() - 3].y, 0.0f);
    }

    // The head grips the hole; the level ends and the hole is hauled up,
    // the gripping head with it; the free tail stays behind.
    head->weld_target = hole;
    w.Run(30);
    ASSERT_EQ(head->welded, 1);
    EXPECT_EQ(level.rope_state, 2);
    level.ending = true;
    w.Run(1);
    EXPECT_EQ(level.rope_state, 3);
    const float head_y = head->body->GetPosition().y;
    const float tail_y = tail->body->GetPosition().y;
    w.Run(60);
    EXPECT_NEAR(hole->body->GetPosition().y, 10 - 1.5f, 0.03f);
    EXPECT_NEAR(level.rope_y, hole->body->GetPosition().y - 0.6f - L / 2, 1e-4f);
    EXPECT_LT(head->body->GetPosition().y, head_y - 1.3f);
    EXPECT_GT(tail->body->GetPosition().y, tail_y);
    // It stops 100 m above the world.
    for (int i = 0; i < 300; i++) w.sim.Update(0.25f);
    EXPECT_NEAR(hole->body->GetPosition().y, -100, 0.4f);
}

TEST(Rope, AHoleWithoutAFixtureOrARopeWithoutAPictureDrawsNoRope) {
    BehaviorWorld w;
    w.Bounds(0, 0, 20, 15);
    Actor* bare = w.Add(w.Own("actors/bare-hole.xml",
                              "<array id=\"info\"><node id=\"type\" value=\"STATIC\"/>"
                              "<node id=\"tags\" value=\"WORM_HOLE EXIT\"/>"
                              "<node id=\"behavior\" value=\"WORM_HOLE\"/></array>"),
                        10, 10);
    ASSERT_EQ(bare->body->GetFixtureList(), nullptr);
    StartRope(&w.sim);
    w.Run(200);
    EXPECT_EQ(level.rope_state, 2);  // the sequence runs on
    DrawSpy spy;
    bare->behavior->DrawForeground(bare);
    EXPECT_TRUE(spy.sprites.empty());

    // Without its picture the rope is 66 pixels a piece, and not drawn.
    Actor* hole = w.Add("actors/wormhole.xml", 5, 10);
    lib.bitmaps[LIB_ROPE] = nullptr;
    StartRope(&w.sim);
    EXPECT_NEAR(level.rope_y, -66.0f / 30, 1e-5f);
    w.Run(1);
    hole->behavior->DrawForeground(hole);
    EXPECT_TRUE(spy.sprites.empty());
}

// ---------------------------------------------------------------- end bug

TEST(EndBug, SaysOuchOnceBlinksAndFliesOffWithTheRope) {
    BehaviorWorld w;
    w.sim.world->SetGravity(b2Vec2(0, 0));
    Actor* bug = w.Add("actors/end-bug.xml", 5, 5, 0.5f);
    EXPECT_FLOAT_EQ(bug->body->GetAngle(), 0);
    w.LooseWorm(0, 10, 20, 11);
    SoundSpy sounds;
    ActorBehavior* b = bug->behavior;
    b->OnContact(bug, w.sim.worm_parts[1], nullptr);  // a link: nothing
    EXPECT_EQ(bug->state, 0);
    b->OnContact(bug, w.Head(), nullptr);
    b->OnContact(bug, w.Tail(), nullptr);
    EXPECT_EQ(bug->state, 2);
    EXPECT_EQ(sounds.Count(LIB_SND_HITTING_GREEDY_BUG), 1);
    {
        DrawSpy spy;
        b->DrawForeground(bug);
        ASSERT_EQ(spy.sprites.size(), 3u);  // two wings, then the body
        EXPECT_EQ(spy.sprites[0].bm, lib.Bitmap(LIB_BUG_WING_RIGHT));
        EXPECT_FLOAT_EQ(spy.sprites[0].angle, 2.0f);  // folded
        EXPECT_FLOAT_EQ(spy.sprites[1].angle, -2.0f);
        EXPECT_NEAR(spy.sprites[1].x, 5 - 0.6f, 1e-5f);
        EXPECT_EQ(spy.sprites[2].bm, lib.Bitmap(LIB_END_BUG_OUCH));
    }
    w.Run(31);
    EXPECT_EQ(bug->state, 0);  // half a second of ouch
    // It blinks 5 to 15 s later, for half a second.
    int frames = 0;
    while (bug->state == 0 && frames < 16 * 60) {
        w.Run(1);
        frames++;
    }
    EXPECT_EQ(bug->state, 1);
    EXPECT_GE(frames, 5 * 60 - 31);
    {
        DrawSpy spy;
        b->DrawForeground(bug);
        EXPECT_EQ(spy.sprites.back().bm, lib.Bitmap(LIB_END_BUG_BLINK));
    }
    // The rope sequence: it rises faster and faster and beats its wings.
    const float y = bug->body->GetPosition().y;
    level.rope_state = 1;
    w.Run(60);
    EXPECT_NEAR(level.wing_time, 3.0f, 1e-3f);
    EXPECT_NEAR(bug->body->GetLinearVelocity().y, -5.0f, 0.01f);
    EXPECT_LT(bug->body->GetPosition().y, y - 2.0f);
}

// ---------------------------------------------------------------- free-spinning peg

TEST(RotateFree, CreaksEveryThirdOfARadianOnlyWhileFast) {
    BehaviorWorld w;
    Actor* peg = w.Add("actors/peg-wheel.xml", 5, 5);
    ActorBehavior* b = peg->behavior;
    SoundSpy sounds;
    auto spin = [&](float rate, float seconds) {
        for (float t = 0; t < seconds - 1e-4f; t += 0.01f) {
            peg->body->SetAngularVelocity(rate);
            b->Update(peg, 0.01f);
        }
    };
    spin(0.5f, 4);  // exactly 0.5 rad/s: two radians, and not a sound
    EXPECT_EQ(sounds.Count(LIB_SND_ROTATING_PEG), 0);
    spin(-2, 0.01f);  // fast again: what it turned counts at once
    EXPECT_EQ(sounds.Count(LIB_SND_ROTATING_PEG), 1);
    spin(-2, 1.0f);  // 2 rad: a creak per 0.35 rad
    EXPECT_NEAR(sounds.Count(LIB_SND_ROTATING_PEG), 1 + 5, 1);
}

// ---------------------------------------------------------------- blocks

TEST(Blocks, ShowTheirDamageAndBurstBySize) {
    BehaviorWorld w;
    w.sim.world->SetGravity(b2Vec2(0, 0));
    Actor* crate = w.Add("actors/block-small.xml", 2, 2);
    ASSERT_EQ(crate->shape->bitmap->frame_count, 4);
    // Knocked against a peg, it cracks: frame by the hit points left.
    w.Add("actors/peg.xml", 4, 2);
    crate->body->SetLinearVelocity(b2Vec2(20, 0));
    ASSERT_TRUE(w.RunUntil([&] { return crate->hit_points < crate->shape->hit_points; }, 60));
    const float left = crate->hit_points / crate->shape->hit_points;
    ASSERT_GT(left, 0.0f);
    {
        DrawSpy spy;
        crate->behavior->Draw(crate);
        ASSERT_EQ(spy.sprites.size(), 1u);
        EXPECT_EQ(spy.sprites[0].frame, (int)(4 * (1 - left)));
        EXPECT_GT(spy.sprites[0].frame, 0);
    }
    crate->hit_points = crate->shape->hit_points;
    {
        DrawSpy spy;
        crate->behavior->Draw(crate);
        EXPECT_EQ(spy.sprites[0].frame, 0);
    }

    // Broken: counted, and one burst for a small block, four along a long
    // one and four over a big one.
    fx_t* dot = pbman.GetFX("fxs/trail-dot.lua");  // one particle where it is spawned
    ASSERT_NE(dot, nullptr);
    const float a = 0.3f;
    Actor* log_ = w.Add("actors/block-long.xml", 10, 10, a);
    Actor* big = w.Add("actors/block-big.xml", 20, 10);
    for (Actor* block : {crate, log_, big}) block->shape->fx_destroyed = dot;
    const b2Vec2 c = crate->body->GetPosition();
    w.sim.front_particles.ResetParts();
    for (Actor* block : {crate, log_, big}) w.sim.DealDamage(block, 1e6f);
    w.Run(1);
    EXPECT_EQ(w.sim.actors.Find(crate), -1);
    EXPECT_EQ(w.Statistic("blocks_destroyed"), 3);
    std::vector<b2Vec2> at = w.FrontParticles();
    ASSERT_EQ(at.size(), 9u);
    EXPECT_NEAR(at[0].x, c.x, 1e-3f);
    EXPECT_NEAR(at[0].y, c.y, 1e-3f);
    const float H = 128.0f / 30;  // the log's picture height
    const float along[4] = {3.0f / 8, 1.0f / 8, -3.0f / 8, -1.0f / 8};
    for (int k = 0; k < 4; k++) {
        EXPECT_NEAR(at[1 + k].x, 10 + along[k] * H * sinf(a), 2e-3f) << k;
        EXPECT_NEAR(at[1 + k].y, 10 - along[k] * H * cosf(a), 2e-3f) << k;
    }
    const float q = 64.0f / 30 / 4;
    EXPECT_NEAR(at[5].x, 20 + q, 1e-3f);
    EXPECT_NEAR(at[5].y, 10 + q, 1e-3f);
    EXPECT_NEAR(at[8].x, 20 - q, 1e-3f);
    EXPECT_NEAR(at[8].y, 10 - q, 1e-3f);
}

// ---------------------------------------------------------------- shockwave

TEST(Shockwave, BlowsLiveHazardsAwayAndLeavesThemDying) {
    BehaviorWorld w;
    w.sim.world->SetGravity(b2Vec2(0, 0));
    ActorShape* bug = w.Own("actors/bug.xml", Ball("DYNAMIC", "HAZARD DESTROYABLE", 15));
    Actor* right = w.Add(bug, 3, 0);
    Actor* centre = w.Add(bug, 0, 0);
    Actor* hit = w.Add(bug, 0, 3);
    Actor* thorns = w.Add("actors/thorns.xml", -5, 0);
    Actor* crate = w.Add(w.Own("actors/crate.xml", Ball("DYNAMIC", "", 15)), 0, -3);
    hit->triggered = 1;
    hit->state = 2;
    EndLevelShockwave(&w.sim, {0, 0});
    w.Run(1);
    EXPECT_GT(right->body->GetLinearVelocity().x, 0.1f);
    EXPECT_NEAR(right->body->GetLinearVelocity().y, 0, 1e-4f);
    // At the centre there is no way out: it dies where it is.
    const b2Vec2 v = centre->body->GetLinearVelocity();
    EXPECT_TRUE(isfinite(v.x) && isfinite(v.y));
    EXPECT_EQ(v.Length(), 0.0f);
    for (Actor* a : {right, centre, thorns}) {
        EXPECT_EQ(a->state, 3);
        EXPECT_TRUE(a->triggered);
    }
    EXPECT_EQ(hit->state, 2);  // hit before: left alone
    EXPECT_EQ(hit->body->GetLinearVelocity().Length(), 0.0f);
    EXPECT_EQ(crate->state, 0);  // no hazard
    EXPECT_GT(w.FrontParticles().size(), 0u);
}
