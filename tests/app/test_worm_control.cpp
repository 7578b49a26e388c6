// Touches on the worm in the first level, frame by frame as the game
// screen hands them on: the free end is taken while the other one holds,
// follows the finger with the worm pulled together, and is flung when let
// go away from it; a touch near neither end drags the camera, which
// otherwise follows the worm without ever jumping. Leaving the level
// while holding the worm leaves nothing behind, and the contact rules
// decide which pairs of the level collide.
#include <gtest/gtest.h>

#include "game-env.h"

namespace {

struct Play : ::testing::Test {
    GameEnv g;
    Actor* head = nullptr;
    Actor* tail = nullptr;
    void SetUp() override {
        g.SkipStory();
        g.Start("worlds/e01-l01.xml");
        head = g.sim.WormHead();
        tail = g.sim.WormTail();
        ASSERT_TRUE(head && tail);
        ASSERT_TRUE(head->welded);
        ASSERT_FALSE(tail->welded);
    }
    // A drag of the finger from `from` by (dx, dy) over `frames` frames.
    void Drag(vec2_t from, float dx, float dy, int frames) {
        vec2_t prev = from;
        for (int i = 1; i <= frames; i++) {
            const vec2_t p = {from.x + dx * i / frames, from.y + dy * i / frames};
            g.Touch(KD_EVENT_POINTER_MOVE, p, prev);
            prev = p;
            g.Frame();
        }
    }
};

float Length(const PhysicsSimulation& sim) {
    float d = 0;
    for (int i = 1; i < sim.worm_parts.count; i++)
        d += GameEnv::Dist(GameEnv::Pos(sim.worm_parts[i - 1]), GameEnv::Pos(sim.worm_parts[i]));
    return d;
}

}  // namespace

TEST_F(Play, TheFreeEndIsTakenDraggedAndFlung) {
    const vec2_t start = g.Screen(tail);
    const float rest = Length(g.sim);
    g.Touch(KD_EVENT_BUTTON_DOWN, start);
    ASSERT_NE(g.game.mouse_joint, nullptr);
    EXPECT_EQ(g.game.grabbed, tail);
    EXPECT_TRUE(level.play_started);
    EXPECT_FLOAT_EQ(level.drag_time, 0.0f);
    // The worm pulls itself together while held: one spring per link.
    EXPECT_EQ(g.JointsMarked(ID_MOUSE_JOINTS), g.sim.worm_parts.count - 1);

    // 200 pixels up and to the right: the tail follows the finger and the
    // worm stretches towards it.
    Drag(start, 160, -120, 30);
    const vec2_t finger = {start.x + 160, start.y - 120};
    g.Frames(40);
    EXPECT_LT(GameEnv::Dist(g.Screen(tail), finger), 60.0f);
    EXPECT_GT(Length(g.sim), rest * 1.2f);
    EXPECT_GT(level.drag_time, 0.5f);
    EXPECT_GT(level.clock_ms, 0);

    // Let go at the finger while the tail swings away from it: flung.
    g.Touch(KD_EVENT_POINTER_MOVE, {finger.x + 80, finger.y - 60}, finger);
    g.Frames(3);
    g.Touch(KD_EVENT_BUTTON_UP, {finger.x + 80, finger.y - 60});
    EXPECT_TRUE(g.game.fling_requested);
    g.Frame();
    EXPECT_EQ(g.game.mouse_joint, nullptr);
    EXPECT_EQ(g.JointsMarked(ID_MOUSE_JOINTS), 0);
    EXPECT_EQ(g.game.held_end, nullptr);
    EXPECT_EQ(g.game.grabbed, tail);
    EXPECT_TRUE(tail->stick_on_touch);
    EXPECT_FLOAT_EQ(level.drag_time, -1.0f);
    const b2Vec2 v = tail->body->GetLinearVelocity();
    EXPECT_GT(v.Length(), 1.0f);
}

TEST_F(Play, OnlyAnEndWhoseOtherEndHoldsCanBeTaken) {
    // Far from both ends: no grab, a camera drag.
    const vec2_t far = {g.Screen(tail).x + 400, g.Screen(tail).y - 150};
    g.Touch(KD_EVENT_BUTTON_DOWN, far);
    EXPECT_EQ(g.game.mouse_joint, nullptr);
    EXPECT_TRUE(g.game.camera_drag);
    g.Touch(KD_EVENT_BUTTON_UP, far);
    EXPECT_FALSE(g.game.camera_drag);
    EXPECT_FLOAT_EQ(g.game.camera_hold, 1.0f);
    g.Frame();

    // The head, the worm's only hold: it stays stuck (a touch there may
    // take the free tail hanging near it, never the head).
    g.Touch(KD_EVENT_BUTTON_DOWN, g.Screen(head));
    EXPECT_NE(g.game.grabbed, head);
    EXPECT_TRUE(head->welded);
    g.Touch(KD_EVENT_BUTTON_UP, g.Screen(head));
    g.Frames(30);
    EXPECT_EQ(g.game.mouse_joint, nullptr);

    // Once the level is ending nothing can be taken.
    level.ending = true;
    g.Touch(KD_EVENT_BUTTON_DOWN, g.Screen(tail));
    EXPECT_EQ(g.game.mouse_joint, nullptr);
    g.Touch(KD_EVENT_BUTTON_UP, g.Screen(tail));
    level.ending = false;
    g.Frames(60);

    // A finger that slides onto the free end takes it.
    const vec2_t t = g.Screen(tail);
    g.Touch(KD_EVENT_BUTTON_DOWN, {t.x + 300, t.y});
    g.Touch(KD_EVENT_BUTTON_UP, {t.x + 300, t.y});
    g.game.finger_down = true;  // the same finger, back down, not dragging
    g.Touch(KD_EVENT_POINTER_MOVE, {t.x + 10, t.y}, {t.x + 300, t.y});
    EXPECT_NE(g.game.mouse_joint, nullptr);
    EXPECT_EQ(g.game.held_end, tail);
    // Let go on the end: dropped, not flung.
    g.Touch(KD_EVENT_BUTTON_UP, g.Screen(tail));
    EXPECT_TRUE(g.game.release_requested);
    EXPECT_FALSE(g.game.fling_requested);
    g.Frame();
    EXPECT_EQ(g.game.mouse_joint, nullptr);
    EXPECT_TRUE(tail->stick_on_touch);
}

TEST_F(Play, AHeldEndThatGripsLetsGoOfTheFinger) {
    g.Touch(KD_EVENT_BUTTON_DOWN, g.Screen(tail));
    ASSERT_NE(g.game.mouse_joint, nullptr);
    Drag(g.Screen(tail), 60, -40, 10);
    // The contact rules choose a peg for the held end; the worm's
    // behaviour welds it after the step.
    Actor* peg = nullptr;
    for (int i = 0; i < g.sim.actors.count && !peg; i++)
        if (g.sim.actors[i]->Has(TAG_GRABBABLE) && g.sim.actors[i] != head->weld_target) peg = g.sim.actors[i];
    ASSERT_NE(peg, nullptr);
    tail->weld_target = peg;
    g.Frames(2);
    ASSERT_TRUE(tail->welded);
    // The grip ends the drag at once; the finger is still down.
    EXPECT_EQ(g.game.mouse_joint, nullptr);
    EXPECT_EQ(g.JointsMarked(ID_MOUSE_JOINTS), 0);
    EXPECT_TRUE(g.game.finger_down);
    // The same touch may slide onto the other end, now that this one holds.
    g.Touch(KD_EVENT_POINTER_MOVE, g.Screen(head), g.Screen(tail));
    EXPECT_EQ(g.game.grabbed, head);
    EXPECT_FALSE(head->welded);
    EXPECT_EQ(g.JointsMarked(ID_WELD_JOINTS), 1);
    g.Touch(KD_EVENT_BUTTON_UP, g.Screen(head));
    g.Frames(5);
}

TEST_F(Play, LeavingTheLevelWhileHoldingTheWormLeavesNothingBehind) {
    g.Touch(KD_EVENT_BUTTON_DOWN, g.Screen(tail));
    ASSERT_NE(g.game.mouse_joint, nullptr);
    g.Frames(5);
    level.clock_ms = 65900;
    g.profile.SetValue("GAME", "total_time_played", "time", "100");
    // The pause menu's "Menu": the game screen is left with the finger
    // still on the worm, then the game is unloaded.
    sman.PopScreen(&screen_GameDeziDedi, false);
    // The whole seconds played are banked.
    EXPECT_STREQ(g.profile.GetValue("GAME", "total_time_played", "time"), "165");
    EXPECT_EQ(g.sim.world, nullptr);
    EXPECT_EQ(g.game.mouse_joint, nullptr);
    EXPECT_EQ(g.game.grabbed, nullptr);
    EXPECT_FALSE(level.play_started);
    g.game.Unload();
    g.game.Load();
    // Frames, touches and drawing with no world at all.
    g.Frame();
    g.Touch(KD_EVENT_BUTTON_DOWN, {100, 100});
    g.Touch(KD_EVENT_BUTTON_UP, {100, 100});
    g.game.DrawBeforeUI();
}

// An end destroyed while a finger holds it (an end that contact damage
// can remove) takes the grab and the finger's joint with it; the level is
// lost with one line rather than played on with a body piece as the end.
TEST_F(Play, AHeldEndThatIsDestroyedTakesTheGrabWithItAndLosesTheLevel) {
    FwLog log;
    g.Touch(KD_EVENT_BUTTON_DOWN, g.Screen(tail));
    ASSERT_EQ(g.game.held_end, tail);
    ASSERT_NE(g.game.mouse_joint, nullptr);
    g.Frames(3);
    g.sim.DestroyActor(tail, true);
    EXPECT_EQ(g.game.grabbed, nullptr);
    EXPECT_EQ(g.game.held_end, nullptr);
    EXPECT_EQ(g.game.mouse_joint, nullptr);
    g.Frames(5);
    g.Touch(KD_EVENT_POINTER_MOVE, {500, 300}, {480, 300});
    g.Touch(KD_EVENT_BUTTON_UP, {500, 300});
    g.Frames(5);
    EXPECT_TRUE(level.level_over);
    EXPECT_TRUE(log.Contains("World 'worlds/e01-l01.xml': the worm's tail was destroyed; the level is lost."));
}

TEST_F(Play, AFingerAwayFromTheWormDragsTheCamera) {
    // The level is wider than the screen: the view may go right.
    const vec2_t at = {700, 300};
    const vec2_t start = g.sim.GetCameraTarget();
    g.Touch(KD_EVENT_BUTTON_DOWN, at);
    ASSERT_TRUE(g.game.camera_drag);
    vec2_t prev = at;
    for (int i = 1; i <= 10; i++) {
        const vec2_t p = {at.x - 20.0f * i, at.y};
        kd_event_t e = GameDeziDedi::TouchEvent(KD_EVENT_POINTER_MOVE, p, prev);
        EXPECT_TRUE(g.game.ProcessEventCamera(&e));
        prev = p;
        g.Frame();
    }
    g.Touch(KD_EVENT_BUTTON_UP, prev);
    g.Frames(20);
    // Dragged 200 pixels to the left, the view went right, and stays there
    // for a second before it follows the worm again.
    const float moved = g.sim.GetCameraTarget().x - start.x;
    EXPECT_GT(moved, 3.0f);
    EXPECT_EQ(g.game.mouse_joint, nullptr);
    g.Frames(20);
    EXPECT_NEAR(g.sim.GetCameraTarget().x - start.x, moved, 0.2f);
    g.Frames(120);
    EXPECT_LT(g.sim.GetCameraTarget().x - start.x, moved - 1.0f);
}

TEST_F(Play, TheCameraFollowsTheWormWithoutJumping) {
    // A fling sends the worm through the level; the camera follows at a
    // bounded speed and stays inside the world.
    g.Touch(KD_EVENT_BUTTON_DOWN, g.Screen(tail));
    Drag(g.Screen(tail), 200, -150, 20);
    g.Touch(KD_EVENT_BUTTON_UP, {g.Screen(tail).x + 150, g.Screen(tail).y - 150});
    const vec2_t first = g.sim.GetCameraTarget();
    vec2_t last = first;
    const float dt = 1.0f / 60;
    float moved = 0;
    for (int i = 0; i < 240; i++) {
        g.Frame(dt);
        const vec2_t now = g.sim.GetCameraTarget();
        const float step = GameEnv::Dist(now, last);
        ASSERT_LE(step, 8.0f * 2.5f * dt + 1e-4f) << "frame " << i;
        EXPECT_FALSE(g.sim.IsOutsideWorld(now, 0));
        moved += step;
        last = now;
    }
    EXPECT_GT(moved, 0.5f);
    EXPECT_NEAR(g.sim.zoom, 1.0f, 1e-4);
}

TEST(GameCamera, TheGoalIsShownThenTheCameraComesBackOrATouchSkipsIt) {
    GameEnv g;
    g.SkipStory();
    g.game.InitLevel("worlds/e01-l01.xml");
    Actor* hole = g.sim.GetActorByShape(physics_man.GetShape("actors/wormhole.xml"));
    ASSERT_NE(hole, nullptr);
    ASSERT_EQ(level.camera_mode, CAMERA_SHOWING_GOAL);
    EXPECT_TRUE(g.sim.IsPartlyInView(hole));
    const vec2_t at_goal = g.sim.GetCameraTarget();
    // The world does not advance during the intro.
    const vec2_t tail = GameEnv::Pos(g.sim.WormTail());
    g.Frames(30);
    EXPECT_EQ(level.camera_mode, CAMERA_SHOWING_GOAL);
    EXPECT_FLOAT_EQ(GameEnv::Pos(g.sim.WormTail()).x, tail.x);
    g.Frames(40);
    EXPECT_NE(level.camera_mode, CAMERA_SHOWING_GOAL);
    for (int i = 0; i < 600 && !level.camera_arrived; i++) g.Frame();
    EXPECT_TRUE(level.camera_arrived);
    EXPECT_EQ(level.camera_mode, CAMERA_PLAY);
    EXPECT_GT(GameEnv::Dist(g.sim.GetCameraTarget(), at_goal), 5.0f);

    // Again, with a touch during the intro: straight back to the worm, and
    // the touch takes nothing.
    g.game.InitLevel("worlds/e01-l01.xml");
    g.Frames(10);
    g.Touch(KD_EVENT_BUTTON_DOWN, g.Screen(g.sim.WormTail()));
    EXPECT_EQ(level.camera_mode, CAMERA_INTRO_SKIPPED);
    EXPECT_TRUE(level.camera_hurry);
    EXPECT_EQ(g.game.mouse_joint, nullptr);
    g.Touch(KD_EVENT_BUTTON_UP, g.Screen(g.sim.WormTail()));
    int frames = 0;
    while (!level.camera_arrived && frames < 600) {
        g.Frame();
        frames++;
    }
    EXPECT_TRUE(level.camera_arrived);
    EXPECT_FALSE(level.camera_hurry);
}

TEST(WormContactFilter, ThePairsThatMayCollide) {
    GameEnv g;
    g.SkipStory();
    g.Start("worlds/e01-l01.xml");
    PhysicsSimulation& sim = g.sim;
    auto add = [&](const char* file, float x) {
        return sim.CreateActor(physics_man.GetShape(file), {x, -12}, {0, 0}, 0, 0, 1.5f);
    };
    auto collide = [&](Actor* a, Actor* b) {
        return g.game.contact_filter.ShouldCollide(a->body->GetFixtureList(), b->body->GetFixtureList());
    };
    Actor* wall = nullptr;
    for (int i = 0; i < sim.actors.count && !wall; i++)
        if (sim.actors[i]->Has(TAG_SIDE_WALL)) wall = sim.actors[i];
    Actor* hole = sim.GetActorByShape(physics_man.GetShape("actors/wormhole.xml"));
    Actor* end_bug = sim.GetActorByShape(physics_man.GetShape("actors/end-bug.xml"));
    Actor* ammo = add("actors/bug-ammo.xml", -2);
    Actor* shooter = add("actors/bug-flying-shooting.xml", 0);
    Actor* mine = add("actors/mine.xml", 2);
    ASSERT_TRUE(wall && hole && end_bug && ammo && shooter && mine);
    Actor* p0 = sim.worm_parts[0];

    // The chain: three apart never, four apart may.
    EXPECT_FALSE(collide(p0, sim.worm_parts[3]));
    EXPECT_FALSE(collide(sim.worm_parts[5], sim.worm_parts[2]));
    EXPECT_TRUE(collide(p0, sim.worm_parts[4]));
    EXPECT_TRUE(collide(p0, wall));

    // Projectiles pass through what fires them, not through the rest.
    EXPECT_FALSE(collide(ammo, shooter));
    EXPECT_FALSE(collide(mine, ammo));
    EXPECT_TRUE(collide(ammo, wall));
    EXPECT_TRUE(collide(ammo, p0));

    // Before the exit opens the worm bumps the end bug; after, it does not.
    EXPECT_TRUE(collide(p0, end_bug));
    level.all_collected = true;
    EXPECT_FALSE(collide(end_bug, sim.WormTail()));

    // At the end the worm passes through everything but itself and the exit.
    level.ending = true;
    EXPECT_FALSE(collide(p0, wall));
    EXPECT_FALSE(collide(shooter, sim.WormTail()));
    EXPECT_TRUE(collide(p0, hole));
    EXPECT_TRUE(collide(hole, sim.worm_parts[10]));
    EXPECT_TRUE(collide(p0, sim.worm_parts[4]));
    EXPECT_FALSE(collide(p0, sim.worm_parts[2]));
    EXPECT_FALSE(collide(hole, wall));
    EXPECT_TRUE(collide(ammo, wall));
    // Without an exit in the world the end changes nothing.
    sim.DestroyActor(hole, false);
    EXPECT_TRUE(collide(p0, wall));
}
