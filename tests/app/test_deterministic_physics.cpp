// The first level, a fixed script of pulls on the worm's tail and a fixed
// step give the same worm path on every run and in every build. The hash
// covers the position of the head and of every other worm part after each
// of 600 steps, bit for bit, the way Box2D's own determinism test compares
// bits: a change to the physics, the contact rules or the level shows up
// as a new hash, to be recorded here with its reason.
#include <gtest/gtest.h>
#include <math.h>
#include <string.h>

#include <box2d/box2d.h>

#include "app-env.h"
#include "physics/b2-compat.h"

namespace {

// Recorded with the level as bundled; see the file's head comment.
const uint64_t kRecordedWormPathHash = 0x48f1488d7ccc3a7eull;

struct PlayResult {
    uint64_t hash = 1469598103934665603ull;  // FNV-1a
    b2Vec2 head_end{0, 0};
    int welds = 0;
};

void Mix(uint64_t* h, float f) {
    uint32_t bits;
    memcpy(&bits, &f, sizeof bits);
    for (int i = 0; i < 4; i++) {
        *h ^= (bits >> (8 * i)) & 0xFF;
        *h *= 1099511628211ull;
    }
}

// The game keeps the chain of worm pieces from tangling with itself: pieces
// three or fewer apart never collide. Its filter comes with the game; the
// same rule stands in for it here, so the worm has its game shape.
class WormChainFilter : public b2ContactFilter {
public:
    bool ShouldCollide(b2Fixture* a, b2Fixture* b) override {
        Actor* x = B2GetFixtureActor(a);
        Actor* y = B2GetFixtureActor(b);
        if (x && y && x->IsWormPart() && y->IsWormPart() && abs(x->worm_index - y->worm_index) <= 3) return false;
        return b2ContactFilter::ShouldCollide(a, b);
    }
};

void DestroyWeld(PhysicsSimulation& sim, Actor* end) {
    for (b2JointEdge* e = end->body->GetJointList(); e; e = e->next) {
        if (e->joint->GetType() == e_weldJoint) {
            sim.world->DestroyJoint(e->joint);
            break;
        }
    }
    end->welded = 0;
    end->weld_target = nullptr;
}

// One scripted play of the level: the worm settles hanging from its head,
// its tail is pulled over the second peg and dropped onto it, then pulled
// off again and flung up to the left. The ends grip what the contact rules chose after each step, as the
// worm's behaviour does in the game; a grabbed end that grips is let go.
PlayResult Play() {
    PlayResult run;
    PhysicsSimulation sim;
    ContactLevel level;
    level.drag_time = -1.0f;  // nothing held
    WormChainFilter filter;
    sim.contact_listener.level = &level;
    sim.contact_filter = &filter;
    if (!sim.LoadWorld("worlds/e01-l01.xml")) return run;
    Actor* head = sim.WormHead();
    Actor* tail = sim.WormTail();
    if (!head || !tail) return run;
    const float step = PhysicsSimulation::StepLength();
    b2MouseJoint* pull = nullptr;
    b2Vec2 target(0, 0), velocity(0, 0);
    auto grab = [&](b2Vec2 v) {
        DestroyWeld(sim, tail);
        b2MouseJointDef def;
        def.bodyA = head->body;
        def.bodyB = tail->body;
        def.collideConnected = true;
        def.target = target = tail->body->GetWorldCenter();
        def.maxForce = tail->body->GetMass() * sim.world->GetGravity().Length() * 20 * 0.7f;
        B2SetMouseSpring(&def);
        pull = (b2MouseJoint*)sim.world->CreateJoint(&def);
        velocity = v;
        level.drag_time = 0;
    };
    auto release = [&]() {
        if (pull) sim.world->DestroyJoint(pull);
        pull = nullptr;
        level.drag_time = -1;
        if (!tail->welded) tail->stick_on_touch = 1;
    };
    for (int frame = 0; frame < 600; frame++) {
        if (frame == 60) grab(b2Vec2(5.0f, -6.0f));  // up over the second peg
        if (frame == 110) velocity.SetZero();
        if (frame == 120) release();                // drops onto it and grips
        if (frame == 300 && head->welded) grab(b2Vec2(-4.0f, -2.0f));
        if (frame == 340) release();  // flung while moving
        if (pull) {
            target += step * velocity;
            pull->SetTarget(target);
            level.drag_time += step;
        }
        if (frame >= 60) level.clock_ms += 16;
        sim.Update(step);
        for (Actor* end : {head, tail}) {
            if (!end->weld_target || end->welded) continue;
            b2WeldJointDef weld;
            weld.Initialize(end->body, end->weld_target->body, end->body->GetPosition());
            sim.world->CreateJoint(&weld);
            end->welded = 1;
            run.welds++;
            if (end == tail && pull) release();
        }
        // The head first, then every other part: the head hangs still
        // while the tail is pulled, the rest of the worm carries the swing.
        for (int i = 0; i < sim.worm_parts.count; i++) {
            b2Vec2 p = sim.worm_parts[i]->body->GetPosition();
            Mix(&run.hash, p.x);
            Mix(&run.hash, p.y);
        }
    }
    run.head_end = head->body->GetPosition();
    sim.FreeWorld();
    return run;
}

}  // namespace

TEST(DeterministicPhysics, ScriptedPullsGiveTheRecordedWormPath) {
    AppEnv env;
    PlayResult a = Play();
    // Where the script leads: the tail grips the second peg, is flung off
    // and swings back onto the first; the head never lets go.
    PlayResult b = Play();
    ASSERT_EQ(a.welds, 3) << "the worm's grips changed: the level or the contact rules changed";
    EXPECT_EQ(a.hash, b.hash) << "two runs in one process differ";
    EXPECT_TRUE(isfinite(a.head_end.x) && isfinite(a.head_end.y));
    EXPECT_EQ(a.hash, kRecordedWormPathHash) << std::hex << "hash 0x" << a.hash << std::dec << ", head ends at ("
                                             << a.head_end.x << ", " << a.head_end.y << "), " << a.welds << " grips";
}
