// The worm's behaviour in small worlds of bundled actors: what it collects
// and breaks, what hurts it and for how long it is spared, what its tail
// kills, how its ends stick, and what it draws.
#include <gtest/gtest.h>
#include <math.h>

#include <vector>

#include "behavior-env.h"
#include "game/actor-behavior-worm.h"
#include "game/actor-behaviors-collectables.h"
#include "physics/actor-shapes.h"
#include "ui/screen-manager.h"

namespace {

ActorBehaviorWorm* Worm() { return static_cast<ActorBehaviorWorm*>(ActorBehavior::GetActorBehavior("WORM")); }

}  // namespace

// ---------------------------------------------------------------- collecting

TEST(WormCollects, EachFruitCountsOnceAndAnEggBreaksOnlyUnderTheWorm) {
    BehaviorWorld w;
    w.Bounds(0, 0, 20, 15);
    // The worm lies across a fruit and falls through it onto an egg.
    Actor* fruit = w.Add("actors/fruit-apple.xml", 5, 4);
    Actor* egg = w.Add("actors/egg.xml", 5, 7);
    Actor* spare_egg = w.Add("actors/egg.xml", 12, 7);
    Actor* falling = w.Add(w.Own("actors/crate.xml", Ball("DYNAMIC", "", 15)), 12, 5);
    w.Worm(3, 7, 3);
    level.required_targets = w.sim.GetNumberOfActorsWithFlags(TAG_REQUIRED_TARGET);
    ASSERT_EQ(level.required_targets, 3);
    SoundSpy sounds;

    ASSERT_TRUE(w.RunUntil([&] { return w.sim.actors.Find(egg) < 0; }, 180));
    // Many parts passed through the fruit: one fruit, one egg.
    EXPECT_EQ(level.targets_collected, 2);
    EXPECT_TRUE(fruit->triggered);
    EXPECT_FLOAT_EQ(fruit->alpha, 0.0f);  // the flying copy replaces it
    EXPECT_EQ(w.sim.collected_fruit.count, 1);
    EXPECT_EQ(w.Statistic("fruits_collected"), 1);
    EXPECT_EQ(w.Statistic("eggs_collected"), 1);
    EXPECT_EQ(sounds.Count(LIB_SND_COLLECTING_FRUIT), 1);
    EXPECT_EQ(sounds.Count(LIB_SND_EGG_HIT), 1);
    ASSERT_EQ(level.fly_ins.count, 2);
    EXPECT_EQ(level.fly_ins[0].bitmap, lib.Bitmap(LIB_FRUIT));
    EXPECT_EQ(level.fly_ins[1].bitmap, lib.Bitmap(LIB_EGG));
    // The HUD row fills from the left: each item one slot (0.75 of its
    // picture at this screen size) right of the one before.
    const float slot = lib.Bitmap(LIB_FRUIT)->width * 0.75f;
    EXPECT_NEAR(level.fly_ins[0].target_x, 0.5f * sman.reference_width - (slot * (1.5f - 1) + slot / 2), 1e-3f);
    EXPECT_TRUE(level.fly_ins[0].flying && level.fly_ins[0].shrink);
    EXPECT_GT(level.collect_bounce, 0.0f);
    EXPECT_EQ(level.expression, 1);  // happy

    // A crate passing through the other egg does not break it.
    ASSERT_TRUE(w.RunUntil([&] { return falling->body->GetPosition().y > 8; }, 180));
    EXPECT_GE(w.sim.actors.Find(spare_egg), 0);
    EXPECT_GT(spare_egg->hit_points, 0.0f);
    EXPECT_EQ(level.targets_collected, 2);
    EXPECT_FALSE(level.all_collected);
}

TEST(WormCollects, TheLastFruitOpensTheExitAndLetsTheRopeDown) {
    BehaviorWorld w;
    w.Bounds(0, 0, 20, 15);
    w.Add("actors/wormhole.xml", 15, 10);
    Actor* egg = w.Add("actors/egg.xml", 2, 5);
    Actor* fruit = w.Add("actors/fruit-orange.xml", 6, 5);
    w.Worm(8, 10, 3);
    level.required_targets = 2;
    // The egg taken last opens nothing; the fruit taken last does.
    Worm()->OnContact(w.Tail(), fruit, nullptr);
    EXPECT_FALSE(level.all_collected);
    EXPECT_EQ(level.rope_state, 0);
    level.targets_collected = 0;
    fruit->triggered = 0;
    Worm()->OnContact(w.Head(), egg, nullptr);
    {
        SoundSpy sounds;
        Worm()->OnContact(w.Head(), fruit, nullptr);
        EXPECT_EQ(sounds.Count(LIB_SND_FRUITS_COLLECTED), 1);
    }
    EXPECT_TRUE(level.all_collected);
    EXPECT_EQ(level.camera_mode, CAMERA_ALL_COLLECTED);
    EXPECT_EQ(level.rope_state, 1);
    EXPECT_NEAR(level.rope_y, 0 - 66.0f / 30, 1e-5f);  // above the world by one rope piece
    // Without a worm hole there is no rope.
    level.all_collected = false;
    level.rope_state = 0;
    level.targets_collected = 1;
    fruit->triggered = 0;
    w.sim.DestroyActor(w.sim.GetActorByShape(w.Shape("actors/wormhole.xml")), false);
    Worm()->OnContact(w.Head(), fruit, nullptr);
    EXPECT_TRUE(level.all_collected);
    EXPECT_EQ(level.rope_state, 0);
}

// ---------------------------------------------------------------- getting hurt

TEST(WormHurt, AHitCostsALifePushesAwayAndSparesTheWormTwoSeconds) {
    BehaviorWorld w;
    Actor* thorns = w.Add("actors/thorns.xml", 5, 5);
    w.Worm(3.5f, 6.5f, 3.5f);
    SoundSpy sounds;
    ASSERT_TRUE(w.RunUntil([&] { return level.lives < 3; }, 120));
    EXPECT_EQ(level.lives, 2);  // many parts touched it in that step
    EXPECT_FLOAT_EQ(level.invulnerability, 2.0f);
    EXPECT_EQ(thorns->state, 2);
    EXPECT_EQ(sounds.Count(LIB_SND_DAMAGE_1) + sounds.Count(LIB_SND_DAMAGE_2) + sounds.Count(LIB_SND_DAMAGE_3), 1);
    EXPECT_GT(w.FrontParticles().size(), 0u);  // red splashes
    // Pushed off the thorns, upwards, after the step.
    w.Run(1);
    EXPECT_LT(w.Head()->body->GetLinearVelocity().y, -5.0f);
    EXPECT_LT(w.Tail()->body->GetLinearVelocity().y, -5.0f);
    EXPECT_FALSE(level.worm_dead);

    // The level counts the two seconds down; touches before they are over
    // do nothing, the first one after costs the next life.
    float t = 0;
    int lost_at_ms = -1;
    for (int frame = 0; frame < 180 && lost_at_ms < 0; frame++) {
        Worm()->OnContact(w.Head(), thorns, nullptr);
        if (level.lives < 2) lost_at_ms = (int)lroundf(t * 1000);
        level.invulnerability = fmaxf(level.invulnerability - 1.0f / 60, -1.0f);
        t += 1.0f / 60;
    }
    EXPECT_NEAR(lost_at_ms, 2000, 20);
    EXPECT_EQ(level.lives, 1);
}

TEST(WormHurt, TheLastLifeKillsPushingHarderUnlessLivesAreOff) {
    BehaviorWorld w;
    w.sim.world->SetGravity(b2Vec2(0, 0));
    ActorShape* bug = w.Own("actors/bug.xml", Ball("DYNAMIC", "HAZARD DESTROYABLE HOMING", 15));
    w.Worm(3, 6, 5);
    auto push = [&](int lives) {
        level.lives = lives;
        level.invulnerability = -1;
        for (int i = 0; i < w.sim.worm_parts.count; i++) w.sim.worm_parts[i]->body->SetLinearVelocity(b2Vec2(0, 0));
        Actor* hb = w.Add(bug, 3, 5.95f);  // just under the head, touching
        w.Run(1);
        float v = w.Head()->body->GetLinearVelocity().y;
        w.sim.DestroyActor(hb, false);
        return v;
    };
    SoundSpy sounds;
    const float two = push(2);
    EXPECT_EQ(level.lives, 1);
    EXPECT_FALSE(level.worm_dead);
    const float one = push(1);
    EXPECT_EQ(level.lives, 0);
    EXPECT_TRUE(level.worm_dead);
    EXPECT_EQ(sounds.Count(LIB_SND_DIES_WORM), 1);
    // Away from the bug below, ten-thirds as hard on the last life.
    EXPECT_LT(two, -1.0f);
    EXPECT_NEAR(one / two, 1 / 0.3f, 0.35f);
    // No spin from the push: it goes through each part's centre (pushed
    // at the world's origin, the head would turn at hundreds of rad/s).
    EXPECT_LT(fabsf(w.Head()->body->GetAngularVelocity()), 0.5f);

    // With lives off the worm lives on at zero.
    level.worm_dead = false;
    level.lives_enabled = false;
    push(1);
    EXPECT_EQ(level.lives, 0);
    EXPECT_FALSE(level.worm_dead);
    // Nothing hurts a dead worm or once the level is over.
    level.invulnerability = -1;
    level.lives = 2;
    level.level_over = true;
    Actor* hb = w.Add(bug, 20, 20);
    Worm()->OnContact(w.Head(), hb, nullptr);
    EXPECT_EQ(level.lives, 2);
}

// ---------------------------------------------------------------- killing

TEST(WormKills, TheTailEndKillsFastTheHeadIsHurt) {
    BehaviorWorld w;
    w.sim.world->SetGravity(b2Vec2(0, 0));
    ActorShape* bug_s = w.Own("actors/bug.xml", Ball("DYNAMIC", "HAZARD DESTROYABLE", 15));
    w.LooseWorm(0, 10, 0, 11);
    Actor* tail = w.Tail();
    const int n = w.sim.worm_parts.count;
    // The tail and the six links before it kill; the head never does.
    EXPECT_TRUE(ActorBehaviorWorm::IsKillingPart(tail, n));
    EXPECT_TRUE(ActorBehaviorWorm::IsKillingPart(w.sim.worm_parts[n - 6], n));
    EXPECT_FALSE(ActorBehaviorWorm::IsKillingPart(w.sim.worm_parts[n - 7], n));
    EXPECT_FALSE(ActorBehaviorWorm::IsKillingPart(w.Head(), n));

    // A slow touch of the tail does nothing.
    Actor* bug = w.Add(bug_s, 11.2f, 0);
    tail->body->SetLinearVelocity(b2Vec2(2, 0));
    ASSERT_TRUE(w.RunUntil([&] { return Touching(w.sim.world, tail, bug) != nullptr; }, 60));
    EXPECT_EQ(bug->state, 0);
    EXPECT_EQ(level.bugs_killed, 0);
    w.sim.DestroyActor(bug, false);

    // A fast one kills: counted in the level, the streak and the profile.
    SoundSpy sounds;
    bug = w.Add(bug_s, tail->body->GetPosition().x + 1.3f, tail->body->GetPosition().y);
    tail->body->SetLinearVelocity(b2Vec2(12, 0));
    ASSERT_TRUE(w.RunUntil([&] { return bug->state == 3; }, 30));
    EXPECT_TRUE(bug->triggered);
    EXPECT_EQ(level.bugs_killed, 1);
    EXPECT_EQ(level.kill_streak, 1);
    EXPECT_FLOAT_EQ(level.kill_streak_time, 0.65f);
    EXPECT_EQ(w.Statistic("bugs_killed"), 1);
    EXPECT_EQ(level.expression, 4);  // triumphant
    EXPECT_EQ(sounds.Count(LIB_SND_HITTING_BUG), 1);
    // Flung away from the worm, ten times the blow's speed.
    EXPECT_GT(bug->fling_velocity.x, 50.0f);
    EXPECT_EQ(level.lives, 3);
    // A dying bug does not hurt.
    Worm()->OnContact(w.Head(), bug, nullptr);
    EXPECT_EQ(level.lives, 3);

    // The head is hurt by a live bug.
    Actor* other = w.Add(bug_s, 30, 30);
    Worm()->OnContact(w.Head(), other, nullptr);
    EXPECT_EQ(level.lives, 2);
    EXPECT_EQ(other->state, 2);
}

TEST(WormKills, ABossIsHitOnceInHalfASecondAndStaysDead) {
    BehaviorWorld w;
    w.sim.world->SetGravity(b2Vec2(0, 0));
    ActorShape* boss_s = w.Own("actors/boss.xml", Ball("DYNAMIC", "HAZARD DESTROYABLE BOSS SHOOTING", 15,
                                                       "<node id=\"hit_points\" value=\"2\"/>"));
    w.Worm(0, 4, 0);
    Actor* boss = w.Add(boss_s, 20, 0);
    SoundSpy sounds;
    Worm()->HitBug(w.Tail(), boss, nullptr);  // no contact: no speed needed
    EXPECT_FLOAT_EQ(boss->hit_points, 1);
    EXPECT_EQ(boss->state, 2);
    Worm()->HitBug(w.Tail(), boss, nullptr);  // within the cool-down
    EXPECT_FLOAT_EQ(boss->hit_points, 1);
    boss->hit_cooldown = 0;
    Worm()->HitBug(w.Tail(), boss, nullptr);
    EXPECT_EQ(boss->state, 3);
    EXPECT_TRUE(boss->triggered);
    EXPECT_EQ(sounds.Count(LIB_SND_DIES_BOSS), 1);
    EXPECT_EQ(level.bugs_killed, 0);  // the boss ends the level, it is not counted
    // Dead, it neither dies again nor hurts the worm's head.
    boss->hit_cooldown = 0;
    Worm()->HitBug(w.Tail(), boss, nullptr);
    Worm()->OnContact(w.Head(), boss, nullptr);
    EXPECT_EQ(sounds.Count(LIB_SND_DIES_BOSS), 1);
    EXPECT_EQ(level.lives, 3);
}

// ---------------------------------------------------------------- sticking

TEST(WormSticks, AnEndWeldsToAPegAfterTheStep) {
    BehaviorWorld w;
    w.Add("actors/peg.xml", 3, 5);
    w.Worm(3, 5, 3.5f);
    Actor* head = w.Head();
    ASSERT_TRUE(w.RunUntil([&] { return head->weld_target != nullptr; }, 120));
    EXPECT_EQ(head->welded, 0);  // asked for inside the step, made after it
    EXPECT_EQ(w.JointsMarked(ID_WELD_JOINTS), 0);
    level.expression = 1;
    w.Run(1);
    EXPECT_EQ(head->welded, 1);
    EXPECT_EQ(head->stick_on_touch, 0);
    EXPECT_EQ(w.JointsMarked(ID_WELD_JOINTS), 1);
    EXPECT_EQ(level.expression, 0);
    EXPECT_GE(level.expression_time, 5.0f);
    EXPECT_LE(level.expression_time, 10.0f);
    const b2Vec2 at = head->body->GetPosition();
    w.Run(60);
    EXPECT_LT((head->body->GetPosition() - at).Length(), 0.05f);  // it hangs there

    // While the level ends no new weld is made.
    Actor* end = w.Add("actors/game-worm-tail.xml", 30, 30);
    end->body->SetGravityScale(0);
    const int welds = w.JointsMarked(ID_WELD_JOINTS);
    level.ending = true;
    end->weld_target = w.sim.actors[0];
    w.Run(2);
    EXPECT_EQ(end->welded, 0);
    EXPECT_EQ(w.JointsMarked(ID_WELD_JOINTS), welds);
}

namespace {
// A grabbable thing that breaks as soon as anything touches it; its
// destruction waits for the step's end.
struct BreaksOnTouch : ActorBehavior {
    BreaksOnTouch() : ActorBehavior("BREAKS_ON_TOUCH") {}
    bool OnContact(Actor* self, Actor*, b2Contact*) override {
        PhysicsSimulation::active_sim->DestroyActor(self, true);
        return true;
    }
};
}  // namespace

TEST(WormSticks, ATargetDestroyedInTheStepOfTheWeldLeavesTheEndFree) {
    BehaviorWorld w;
    BreaksOnTouch breaks;
    // One target dies of the blow's damage (removed at the next update),
    // the other by a contact rule (removed right after the step).
    ActorShape* frail =
        w.Own("actors/frail.xml", Ball("DYNAMIC", "GRABBABLE", 15, "<node id=\"hit_points\" value=\"0.001\"/>"));
    ActorShape* breaking = w.Own("actors/breaking.xml", Ball("DYNAMIC", "GRABBABLE IMMORTAL", 15,
                                                             "<node id=\"behavior\" value=\"BREAKS_ON_TOUCH\"/>"));
    Actor* a = w.Add(frail, 3, 4.4f);
    Actor* b = w.Add(breaking, 6, 4.4f);
    a->body->SetGravityScale(0);
    b->body->SetGravityScale(0);
    w.Worm(3, 6, 3);
    Actor* head = w.Head();
    Actor* tail = w.Tail();
    bool asked = false;
    for (int i = 0; i < 120 && w.sim.actors.Find(a) >= 0; i++) {
        w.sim.Update(1.0f / 60);
        asked = asked || head->weld_target == a;
    }
    EXPECT_TRUE(asked);  // the weld was asked for in the step that broke it
    EXPECT_LT(w.sim.actors.Find(a), 0);
    EXPECT_LT(w.sim.actors.Find(b), 0);
    w.Run(3);
    for (Actor* end : {head, tail}) {
        EXPECT_EQ(end->weld_target, nullptr);
        EXPECT_EQ(end->welded, 0);
    }
    EXPECT_EQ(w.JointsMarked(ID_WELD_JOINTS), 0);
    // Nothing holds the ends: they fall on.
    const float y = head->body->GetPosition().y;
    w.Run(30);
    EXPECT_GT(head->body->GetPosition().y, y + 0.5f);

    // A target destroyed after the weld takes the joint with it.
    Actor* peg = w.Add(w.Own("actors/p.xml", Ball("DYNAMIC", "GRABBABLE", 20)), 20, 20);
    peg->body->SetGravityScale(0);
    head->weld_target = peg;
    w.Run(1);
    ASSERT_EQ(w.JointsMarked(ID_WELD_JOINTS), 1);
    w.sim.DestroyActor(peg, false);
    EXPECT_EQ(w.JointsMarked(ID_WELD_JOINTS), 0);
    EXPECT_EQ(head->welded, 0);
    EXPECT_EQ(head->weld_target, nullptr);
}

// ---------------------------------------------------------------- drawing

namespace {
uint8_t Byte(uint32_t c, int i) {
    uint8_t b[4];
    memcpy(b, &c, 4);
    return b[i];
}
}  // namespace

TEST(WormDraws, OneStripThroughEveryPartTintedWhileHurt) {
    BehaviorWorld w;
    w.Worm(2, 8, 5);
    const int n = w.sim.worm_parts.count;
    const float r = 15.0f / 30;
    {
        DrawSpy spy;
        Worm()->DrawForeground(w.Head());
        ASSERT_EQ((int)spy.quads.size(), n - 1);
        const DrawnQuad& first = spy.quads.front();
        const DrawnQuad& last = spy.quads.back();
        EXPECT_EQ(first.bm, lib.Bitmap(LIB_WORM_BODY));
        // Stretched once along the worm, as wide as the head.
        EXPECT_FLOAT_EQ(first.v[0].u, 0);
        EXPECT_FLOAT_EQ(last.v[1].u, (float)(n - 1) / n);
        EXPECT_NEAR(first.v[0].x, 2, 1e-4f);
        EXPECT_NEAR(first.v[0].y, 5 + r, 1e-3f);
        EXPECT_NEAR(first.v[2].y, 5 - r, 1e-3f);
        EXPECT_EQ(first.v[0].v, 0);
        EXPECT_EQ(first.v[2].v, 1);
        EXPECT_NEAR(last.v[3].x, 8, 1e-4f);
        for (int i = 0; i < 4; i++) EXPECT_EQ(Byte(first.v[i].color, 1), 255);
        // The head at its free pose, 26 picture pixels per radius unit.
        ASSERT_EQ(spy.sprites.size(), 1u);
        EXPECT_EQ(spy.sprites[0].bm, w.Head()->shape->bitmap);
        EXPECT_FLOAT_EQ(spy.sprites[0].scale, r / 26);
    }
    {
        // A quarter second into the hurt: (1, 0.75, 0.75); the hurt face.
        DrawSpy spy;
        level.invulnerability = 0.25f;
        Worm()->DrawForeground(w.Head());
        const uint32_t c = spy.quads[0].v[0].color;
        EXPECT_EQ(Byte(c, 0), 191);  // blue
        EXPECT_EQ(Byte(c, 1), 191);  // green
        EXPECT_EQ(Byte(c, 2), 255);  // red
        EXPECT_EQ(Byte(c, 3), 255);
        EXPECT_EQ(spy.sprites[0].bm, lib.Bitmap(LIB_WORM_HEAD_HURT));
    }
    {
        // Two parts on the same spot have no direction between them: the
        // strip stays finite and as wide there as beside them.
        DrawSpy spy;
        level.invulnerability = -1;
        w.sim.worm_parts[3]->body->SetTransform(w.sim.worm_parts[4]->body->GetPosition(), 0);
        w.sim.worm_parts[2]->body->SetTransform(w.sim.worm_parts[4]->body->GetPosition(), 0);
        Worm()->DrawForeground(w.Head());
        ASSERT_EQ((int)spy.quads.size(), n - 1);
        for (const DrawnQuad& q : spy.quads)
            for (const kd_vertex_t& v : q.v) ASSERT_TRUE(isfinite(v.x) && isfinite(v.y));
        const DrawnQuad& q = spy.quads[3];
        EXPECT_NEAR(fabsf(q.v[2].y - q.v[0].y), 2 * r, 3e-3f);  // the fast square root's error
    }
}

TEST(WormDraws, TheEndsShowTheirPoseAndTheHeadItsFace) {
    BehaviorWorld w;
    w.Worm(2, 8, 5);
    Actor* head = w.Head();
    Actor* tail = w.Tail();
    auto head_picture = [&] {
        DrawSpy spy;
        Worm()->DrawForeground(head);
        return spy.sprites.empty() ? nullptr : spy.sprites.back().bm;
    };
    head->welded = 1;
    EXPECT_EQ(head_picture(), head->shape->bitmap_fore);
    level.expression = 4;
    EXPECT_EQ(head_picture(), lib.Bitmap(LIB_WORM_HEAD_GRAB_STARS));
    head->welded = 0;
    EXPECT_EQ(head_picture(), lib.Bitmap(LIB_WORM_HEAD_LEVEL_END));
    level.expression = 3;
    EXPECT_EQ(head_picture(), lib.Bitmap(LIB_WORM_HEAD_EYES_CLOSED));
    head->welded = 1;
    EXPECT_EQ(head_picture(), lib.Bitmap(LIB_WORM_HEAD_GRAB_EYES_CLOSED));
    level.worm_dead = true;
    EXPECT_EQ(head_picture(), lib.Bitmap(LIB_WORM_HEAD_HURT));
    // The tail: its own poses, turned by its angle offset, and no strip.
    DrawSpy spy;
    tail->angle_offset = 0.5f;
    tail->welded = 1;
    Worm()->DrawForeground(tail);
    EXPECT_TRUE(spy.quads.empty());
    ASSERT_EQ(spy.sprites.size(), 1u);
    EXPECT_EQ(spy.sprites[0].bm, tail->shape->bitmap_fore);
    EXPECT_FLOAT_EQ(spy.sprites[0].angle, 0.5f + tail->body->GetAngle());
}
