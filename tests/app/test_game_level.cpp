// The level start and the level's frame: every bundled level starts with
// the worm hanging from its peg, its tail free and every target in place;
// a second start begins from nothing; the tail is sized on the level's
// worm only; names too long for the record, missing worlds and worlds
// without a worm are refused or run without a crash; the detail switch
// works before any level and during one.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "feature-manager.h"
#include "game-env.h"
#include "game/actor-behaviors-hazards.h"
#include "game/game-lib.h"
#include "game/game-replay.h"
#include "game/hint-labels.h"
#include "services/in-app-purchases.h"

namespace {

// Worm parts this close in the chain never collide (they overlap at rest).
bool NeighboursTouch(b2World* world) {
    for (b2Contact* c = world->GetContactList(); c; c = c->GetNext()) {
        const Actor* a = B2GetFixtureActor(c->GetFixtureA());
        const Actor* b = B2GetFixtureActor(c->GetFixtureB());
        if (c->IsTouching() && a && b && a->IsWormPart() && b->IsWormPart() && abs(a->worm_index - b->worm_index) <= 3)
            return true;
    }
    return false;
}

}  // namespace

TEST(GameLevel, EveryBundledLevelStartsWithTheWormHangingAndEveryTargetInPlace) {
    GameEnv g;
    g.SkipStory();
    const std::vector<std::string> worlds = AppEnv::TimelineWorlds();
    ASSERT_EQ(worlds.size(), 20u);
    // Each level as the game is sold, then as the "HARD_LEVELS" product
    // builds it, with its hard-mode hazards.
    const nString features(feature_man.GetFeatureList());
    for (size_t k = 0; k < 2 * worlds.size(); k++) {
        const bool hard = k >= worlds.size();
        feature_man.SetFeatureList(hard ? "HARD_LEVELS" : features.text);
        const char* file = worlds[k % worlds.size()].c_str();
        SCOPED_TRACE(std::string(file) + (hard ? " (hard)" : ""));
        ASSERT_TRUE(g.game.InitLevel(file));
        EXPECT_STREQ(level.world_file, file);
        ASSERT_EQ(g.sim.worm_parts.count, 3 * g.sim.worm_links + 2);
        Actor* head = g.sim.WormHead();
        Actor* tail = g.sim.WormTail();
        // The settled worm hangs from its head, so the first touch can take
        // the tail.
        EXPECT_TRUE(head->welded);
        EXPECT_FALSE(tail->welded);
        // The boss's level is won by beating the boss: it has no target and
        // no exit, and the camera shows the boss first.
        const bool boss = g.sim.GetNumberOfActorsWithFlags(TAG_BOSS) > 0;
        EXPECT_EQ(level.required_targets, g.sim.GetNumberOfActorsWithFlags(TAG_REQUIRED_TARGET));
        EXPECT_GE(level.required_targets, boss ? 0 : 1);
        EXPECT_EQ(level.targets_collected, 0) << "a target was taken while the level settled";
        for (int i = 0; i < g.sim.actors.count; i++) {
            const Actor* a = g.sim.actors[i];
            EXPECT_FALSE(a->Has(TAG_REQUIRED_TARGET) && a->triggered) << a->shape->name;
        }
        EXPECT_EQ(level.lives, 3);
        EXPECT_EQ(level.story_mode, STORY_NONE);
        // A worm hole or the boss is shown first, from close up; other exits
        // are not.
        const bool hole = g.sim.GetNumberOfActorsWithFlags(TAG_WORM_HOLE) > 0;
        EXPECT_EQ(level.camera_mode, hole || boss ? CAMERA_SHOWING_GOAL : CAMERA_PLAY);
        EXPECT_FLOAT_EQ(g.sim.zoom, hole || boss ? 1.5f : 1.0f);
        EXPECT_EQ(level.no_wormhole, !hole);
        // The game's contact rules run in the world.
        g.Frames(30);
        EXPECT_FALSE(NeighboursTouch(g.sim.world));
        // Where play begins, the camera back on the worm, no hazard comes
        // under the HUD (the clock, the lives, the fruit counter, the pause
        // button): neither its body nor its picture, at rest or along its
        // round (the longest takes 9 s one way) while the worm waits, and
        // wherever it is across the level: the camera follows the worm
        // there.
        for (int i = 0; i < 900 && (level.camera_mode != CAMERA_PLAY || !level.camera_arrived); i++) g.Frame();
        ASSERT_EQ(level.camera_mode, CAMERA_PLAY);
        // The boss's health bar, over its crown, lies across no part of
        // the worm hanging above it.
        for (const Actor* b : g.sim.ActorsWithFlags(TAG_BOSS)) {
            const kd_bitmap_t* frame = lib.Bitmap(LIB_END_BUG_HEALTH_BACK);
            ASSERT_NE(frame, nullptr);
            const float mpp = g.sim.metres_per_pixel, hw = frame->width * 0.5f * mpp, hh = frame->height * 0.5f * mpp;
            const vec2_t bar = {GameEnv::Pos(b).x + b->draw_offset.x,
                                GameEnv::Pos(b).y + b->draw_offset.y - ActorBehaviorMovingHazard::kBossBarAbove};
            for (int i = 0; i < g.sim.worm_parts.count; i++) {
                const Actor* w = g.sim.worm_parts[i];
                const vec2_t p = GameEnv::Pos(w);
                const float r = w->shape->radius * mpp;  // the body's disc (its picture has a margin)
                EXPECT_FALSE(fabsf(p.x - bar.x) < hw + r && fabsf(p.y - bar.y) < hh + r)
                    << "the boss's health bar at " << bar.x << ", " << bar.y << " lies across worm part " << i << " at "
                    << p.x << ", " << p.y;
            }
        }
        // Seen as play begins: the camera follows the worm's sway.
        const auto start_view = g.sim.view_transform;
        std::set<std::string> reported;
        for (int frame = 0; frame < 600; frame++, g.Frame())
            for (const Actor* a : g.sim.ActorsWithFlags(TAG_HAZARD)) {
                const vec2_t at = GameEnv::Pos(a);
                const auto view = g.sim.view_transform;
                g.sim.view_transform = start_view;
                const vec2_t s = g.sim.TransformWorldPositionToScreen(at);
                g.sim.view_transform = view;
                const kd_bitmap_t* picture = a->shape->bitmap;
                const float r = fmaxf(a->shape->radius, picture ? (float)picture->height * 0.5f : 0.0f) * g.sim.zoom;
                if (a->Has(TAG_BOSS) || s.y + r < 0 || s.y - r > 600) continue;
                const std::string where = std::string(a->shape->name) + " from " + std::to_string(a->start_position.x) +
                                          ", " + std::to_string(a->start_position.y);
                if (s.y - r < GameDeziDedi::kHudBand && reported.insert(where).second)
                    ADD_FAILURE() << where << " comes under the HUD " << frame << " frames into play at " << at.x
                                  << ", " << at.y << "; it wants to be lower by "
                                  << (GameDeziDedi::kHudBand - s.y + r) * g.sim.metres_per_pixel / g.sim.zoom << " m";
            }
    }
    feature_man.SetFeatureList(features.text);
}

TEST(GameLevel, ASecondStartBeginsFromNothing) {
    GameEnv g;
    g.SkipStory();
    g.Start("worlds/e01-l01.xml");
    Actor* tail = g.sim.WormTail();
    g.Touch(KD_EVENT_BUTTON_DOWN, g.Screen(tail));
    ASSERT_NE(g.game.mouse_joint, nullptr);
    level.clock_ms = 65000;
    level.lives = 1;
    level.bugs_killed = 4;
    level.fly_ins.InsertLast(DeziDediFlyIn{});

    ASSERT_TRUE(g.game.InitLevel("worlds/e01-l01.xml"));
    EXPECT_EQ(level.clock_ms, 0);
    EXPECT_EQ(level.lives, 3);
    EXPECT_EQ(level.lives_shown, 3);
    EXPECT_EQ(level.bugs_killed, 0);
    EXPECT_EQ(level.fly_ins.count, 0);
    EXPECT_FALSE(level.play_started);
    EXPECT_FLOAT_EQ(level.drag_time, -1.0f);
    // The old world's joint went with it; nothing points into it.
    EXPECT_EQ(g.game.mouse_joint, nullptr);
    EXPECT_EQ(g.game.grabbed, nullptr);
    EXPECT_EQ(g.JointsMarked(ID_MOUSE_JOINTS), 0);
    g.Frames(10);
}

TEST(GameLevel, TheTailIsSizedOnTheLevelsWormAlone) {
    GameEnv g;
    g.SkipStory();
    ActorShape* def = physics_man.GetShape("actors/game-worm-tail.xml");
    ActorShape* head_def = physics_man.GetShape("actors/game-worm-head.xml");
    const float radius = def->radius, density = def->density, damage = def->damage;
    g.Start("worlds/e01-l01.xml");

    Actor* tail = g.sim.WormTail();
    ASSERT_NE(tail->shape, def);
    EXPECT_STREQ(tail->shape->name, def->name);
    EXPECT_FLOAT_EQ(tail->shape->damage, 15.0f);
    EXPECT_FLOAT_EQ(tail->shape->radius, head_def->radius);
    const b2Fixture* f = tail->body->GetFixtureList();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->GetNext(), nullptr);
    EXPECT_NEAR(f->GetShape()->m_radius, head_def->radius * g.sim.metres_per_pixel, 1e-6);
    EXPECT_FLOAT_EQ(f->GetDensity(), head_def->density);
    // The shared definition keeps the file's values, so the object
    // editor saves what the file says.
    EXPECT_FLOAT_EQ(def->radius, radius);
    EXPECT_FLOAT_EQ(def->density, density);
    EXPECT_FLOAT_EQ(def->damage, damage);
    ASSERT_TRUE(def->Save("actors/game-worm-tail.xml"));
    ShapeCache fresh;
    ActorShape* saved = fresh.GetShape("actors/game-worm-tail.xml");
    EXPECT_FLOAT_EQ(saved->radius, radius);
    EXPECT_STREQ(saved->material, def->material);
    // A world saved in play names the tail's definition file.
    ASSERT_TRUE(g.sim.SaveWorld("worlds/world-state.xml"));
    PhysicsSimulation again;
    ASSERT_TRUE(again.LoadWorld("worlds/world-state.xml"));
    EXPECT_NE(again.WormTail(), nullptr);
    again.FreeWorld();
}

TEST(GameLevel, TheBigBallAndTheExtraLifeFollowThePurchases) {
    GameEnv g;
    g.SkipStory();
    g.env.Write("local-in-app-purchases.xml",
                " <array id=\"purchases\">\n"
                "  <node id=\"BIG_BALL\" store_ack=\"1\" />\n"
                "  <node id=\"EXTRA_LIFE\" store_ack=\"1\" />\n"
                " </array>\n");
    ASSERT_TRUE(iap_man.Initialize());
    ActorShape* head = physics_man.GetShape("actors/game-worm-head.xml");
    ActorShape* def = physics_man.GetShape("actors/game-worm-tail.xml");
    const float file_radius = def->radius;

    g.game.InitLevel("worlds/e01-l01.xml");
    const ActorShape* tail = g.sim.WormTail()->shape;
    EXPECT_FLOAT_EQ(tail->radius, head->radius * 1.25f);
    EXPECT_FLOAT_EQ(tail->density, head->density * 0.66f);
    EXPECT_FLOAT_EQ(tail->damage, 30.0f);
    EXPECT_NEAR(g.sim.WormTail()->body->GetFixtureList()->GetShape()->m_radius,
                head->radius * 1.25f * g.sim.metres_per_pixel, 1e-6);
    EXPECT_EQ(level.lives, 4);
    EXPECT_EQ(level.lives_shown, 4);
    EXPECT_FLOAT_EQ(def->radius, file_radius);

    // Switched off for this player: the tail is the head's size again.
    g.profile.SetValue("ACTIVE_IAPS", "BIG_BALL", "active", "0");
    g.game.InitLevel("worlds/e01-l01.xml");
    EXPECT_FLOAT_EQ(g.sim.WormTail()->shape->radius, head->radius);
    EXPECT_FLOAT_EQ(g.sim.WormTail()->shape->damage, 15.0f);
    EXPECT_EQ(level.lives, 4);
    iap_man.Reset();
}

TEST(GameLevel, FruitOutsideTheWorldIsRemovedBeforeTheCount) {
    GameEnv g;
    std::string world = g.env.Write("worlds/outside.xml",
                                    " <array id=\"info\">\n"
                                    "  <node id=\"world_bounds\" x1=\"-10\" y1=\"-10\" x2=\"10\" y2=\"5\" />\n"
                                    " </array>\n"
                                    " <array id=\"actors\">\n"
                                    "  <node actor=\"actors/peg.xml\" x=\"-5\" y=\"-4\" />\n"
                                    "  <node actor=\"actors/game-worm-head.xml\" x=\"-5\" y=\"-5.15\" />\n"
                                    "  <node actor=\"actors/game-worm-tail.xml\" x=\"-2.5\" y=\"-2.8\" />\n"
                                    "  <node actor=\"actors/fruit-apple.xml\" x=\"4\" y=\"-6\" />\n"
                                    "  <node actor=\"actors/fruit-apple.xml\" x=\"12\" y=\"-6\" />\n"
                                    "  <node actor=\"actors/fruit-apple.xml\" x=\"0\" y=\"-30\" />\n"
                                    " </array>\n");
    ASSERT_TRUE(g.game.InitLevel(world.c_str()));
    EXPECT_EQ(level.required_targets, 1);
    EXPECT_EQ(g.sim.GetNumberOfActorsWithFlags(TAG_REQUIRED_TARGET), 1);
    // No wormhole and no boss: the camera starts on the worm.
    EXPECT_EQ(level.camera_mode, CAMERA_PLAY);
    EXPECT_TRUE(level.no_wormhole);
}

TEST(GameLevel, BadWorldsLeaveAnEmptyLevelThatRuns) {
    GameEnv g;
    auto play = [&]() {
        // Touches, frames and drawing on whatever the start left.
        g.Touch(KD_EVENT_BUTTON_DOWN, {300, 300});
        g.Touch(KD_EVENT_POINTER_MOVE, {340, 280}, {300, 300});
        g.Frames(20);
        g.Touch(KD_EVENT_BUTTON_UP, {340, 280});
        g.Frames(5);
        g.game.DrawBeforeUI();
        g.game.DrawAfterUI();
    };
    {
        // Too long for the level record: refused with a line, never cut to
        // another world's name.
        FwLog log;
        const std::string name = "worlds/" + std::string(60, 'x') + ".xml";
        EXPECT_FALSE(g.game.InitLevel(name.c_str()));
        EXPECT_TRUE(log.Contains("is longer than 63 characters"));
        EXPECT_STREQ(level.world_file, "");
        EXPECT_EQ(g.sim.world, nullptr);
        play();
    }
    {
        // Missing: no level starts (the timeline then shows the menu); an
        // empty world with its walls and no worm stays. The camera has no
        // worm to follow and stays where the world put it.
        FwLog log;
        EXPECT_FALSE(g.game.InitLevel("worlds/no-such-world.xml"));
        EXPECT_TRUE(log.Contains("World 'worlds/no-such-world.xml' cannot be opened; no level is started."));
        EXPECT_NE(g.sim.world, nullptr);
        EXPECT_LT(g.sim.worm_parts.count, 2);
        const vec2_t before = g.sim.GetCameraTarget();
        level.camera_mode = CAMERA_PLAY;
        play();
        EXPECT_FLOAT_EQ(g.sim.GetCameraTarget().x, before.x);
        EXPECT_FLOAT_EQ(g.sim.GetCameraTarget().y, before.y);
    }
    {
        // A head and no tail: one worm part, nothing to grab or follow.
        std::string world = g.env.Write("worlds/headless.xml",
                                        " <array id=\"actors\">\n"
                                        "  <node actor=\"actors/game-worm-head.xml\" x=\"0\" y=\"0\" />\n"
                                        " </array>\n");
        EXPECT_TRUE(g.game.InitLevel(world.c_str()));
        EXPECT_EQ(g.sim.worm_parts.count, 1);
        level.camera_mode = CAMERA_PLAY;
        play();
        EXPECT_EQ(g.game.mouse_joint, nullptr);
    }
    // No name at all: an empty world as well.
    EXPECT_TRUE(g.game.InitLevel(nullptr));
    EXPECT_EQ(g.sim.worm_parts.count, 0);
    play();
}

TEST(GameLevel, TheDetailSwitchWorksBeforeAnyLevelAndDuringOne) {
    GameEnv g;
    PhysicsSimulation::high_details = true;
    lua_State* L = screen_GameDeziDedi.uiset ? screen_GameDeziDedi.uiset->L : nullptr;
    ASSERT_NE(L, nullptr);
    // No level has run: the switch flips and nothing is loaded.
    ASSERT_TRUE(lua_man.ExecLuaString(L, "ChangeDetailLevel ()"));
    EXPECT_FALSE(PhysicsSimulation::high_details);
    EXPECT_EQ(g.sim.background_1, nullptr);

    g.SkipStory();
    g.Start("worlds/e01-l01.xml");
    // The level start takes the profile's choice: high unless it says low.
    EXPECT_TRUE(PhysicsSimulation::high_details);
    ASSERT_NE(g.sim.background_2, nullptr);
    ASSERT_TRUE(lua_man.ExecLuaString(L, "ChangeDetailLevel ()"));
    EXPECT_FALSE(PhysicsSimulation::high_details);
    ASSERT_NE(g.sim.background_1, nullptr);
    EXPECT_EQ(g.sim.background_2, nullptr);
    EXPECT_NE(strstr(g.sim.background_1->name, "combined"), nullptr);
    ASSERT_TRUE(lua_man.ExecLuaString(L, "ChangeDetailLevel ()"));
    EXPECT_NE(g.sim.background_2, nullptr);

    // Leaving the level frees the world; the switch then only flips.
    sman.PopScreen(&screen_GameDeziDedi, false);
    EXPECT_EQ(g.sim.world, nullptr);
    g.game.ChangeDetailLevel(false);
    EXPECT_EQ(g.sim.background_1, nullptr);
    PhysicsSimulation::high_details = true;
}

TEST(GameLevel, ThePrologueIsToldOnceOverTheFirstLevel) {
    GameEnv g;
    g.game.InitLevel("worlds/e01-l01.xml");
    EXPECT_EQ(level.story_mode, STORY_PROLOGUE);
    UIComp* panel = GameDeziDedi::Comp("StoryPanel");
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->IsVisible());
    // Touches go to the story, not the worm, and the camera is on the worm.
    EXPECT_EQ(level.camera_mode, CAMERA_PLAY);
    Actor* tail = g.sim.WormTail();
    g.Frames(60);
    g.Touch(KD_EVENT_BUTTON_DOWN, g.Screen(tail));
    EXPECT_EQ(g.game.mouse_joint, nullptr);
    g.Touch(KD_EVENT_BUTTON_UP, g.Screen(tail));

    const int lines = dman.GetDatabase("dialogue.xml")->GetArray("prologue")->GetSize();
    ASSERT_GT(lines, 1);
    // The bug's bubble shows its line only until the worm answers, and no
    // line of the story before the level is told again.
    DMArray* told = dman.GetDatabase("dialogue.xml")->GetArray("prologue");
    bool bug_spoke = false;
    for (int i = 1; i < lines; i++) {
        EXPECT_EQ(screen_GameDeziDedi.ProcessUICompClick(panel, 0), 1);
        const bool bug = nStringsMatch(told->GetNodeValue(i, "speaker"), "bug");
        EXPECT_EQ(GameDeziDedi::Comp("BossTalk")->visible, bug) << i;
        bug_spoke = bug_spoke || bug;
        DMArray* story = dman.GetDatabase("timeline.xml")->GetArray("timeline");
        for (int e = 0; story && e < story->GetSize(); e++)
            EXPECT_FALSE(nStringsMatch(told->GetNodeValue(i, "line"), story->GetNodeValue(e, "parm_Line"))) << i;
    }
    EXPECT_TRUE(bug_spoke);
    EXPECT_EQ(level.story_mode, STORY_PROLOGUE);
    screen_GameDeziDedi.ProcessUICompClick(panel, 0);
    EXPECT_EQ(level.story_mode, STORY_FIRST_LEVEL_HINTS);
    EXPECT_FALSE(panel->IsVisible());
    EXPECT_TRUE(g.profile.TagExists("INFO", "STORY_START_SHOWN"));
    // Now the worm can be taken.
    g.Touch(KD_EVENT_BUTTON_DOWN, g.Screen(tail));
    EXPECT_NE(g.game.mouse_joint, nullptr);

    // The next start of the first level gives hints, not the prologue.
    g.game.InitLevel("worlds/e01-l01.xml");
    EXPECT_EQ(level.story_mode, STORY_FIRST_LEVEL_HINTS);
    EXPECT_FALSE(panel->IsVisible());
}

// The first level's hint texts: two ends side by side under a peg, a
// fruit by them and a target under the HUD. Each text sits by its own
// ring, none covers another, a peg or the HUD, and a text keeps its side
// from one frame to the next while that side stays clear.
TEST(GameLevel, HintTextsSitByTheirTargetsAndHideNothing) {
    HintLabel labels[4] = {
        {{500, 300}, 40, 110, 34, HINT_ABOVE, -1, {}},  // a fruit
        {{430, 330}, 36, 100, 34, HINT_ABOVE, -1, {}},  // the head
        {{470, 340}, 36, 100, 34, HINT_ABOVE, -1, {}},  // the tail, by it
        {{200, 60}, 40, 110, 34, HINT_ABOVE, -1, {}},   // a fruit under the HUD
    };
    const HintObstacle round[] = {{{430, 260}, 20}, {{500, 300}, 40}, {{430, 330}, 36}, {{470, 340}, 36}};
    for (int frame = 0; frame < 2; frame++) {
        PlaceHintLabels(labels, 4, round, 4, 1024, 600, 90);
        for (int i = 0; i < 4; i++) {
            const HintLabel& l = labels[i];
            SCOPED_TRACE(i);
            // By its ring: the nearest point of the text is at the ring's edge.
            const float nx = fmaxf(l.box.x0, fminf(l.target.x, l.box.x1)) - l.target.x;
            const float ny = fmaxf(l.box.y0, fminf(l.target.y, l.box.y1)) - l.target.y;
            EXPECT_LE(sqrtf(nx * nx + ny * ny), l.ring + 40);
            EXPECT_GE(l.box.y0, 90);
            EXPECT_FLOAT_EQ(l.box.Overlap({410, 240, 450, 280}), 0) << "over the peg";
            for (int j = 0; j < i; j++) EXPECT_FLOAT_EQ(l.box.Overlap(labels[j].box), 0) << "over text " << j;
        }
    }
    // With its preferred side taken, a text stays on the side it had
    // (below would be as clear), and goes back once the preferred is clear.
    HintLabel fruit = {{500, 300}, 40, 110, 34, HINT_ABOVE, HINT_LEFT, {}};
    const HintObstacle peg = {{500, 240}, 20};
    PlaceHintLabels(&fruit, 1, &peg, 1, 1024, 600, 90);
    EXPECT_EQ(fruit.side, HINT_LEFT);
    PlaceHintLabels(&fruit, 1, nullptr, 0, 1024, 600, 90);
    EXPECT_EQ(fruit.side, HINT_ABOVE);

    // The first level as it starts: three fruit in a row under pegs, the
    // tail's ring beside the first and the worm hanging above the tail, the
    // hole out of view to the right (its arrow at the edge). Each text
    // keeps a text's height from every ring but its own, so that it reads
    // as its own target's, and covers no ring, peg or piece of the worm; the
    // hole has none.
    HintLabel start[5] = {
        {{345, 285}, 42, 125, 34, HINT_ABOVE, -1, {}},   // the apple
        {{525, 315}, 42, 125, 34, HINT_ABOVE, -1, {}},   // the strawberry
        {{735, 315}, 42, 125, 34, HINT_ABOVE, -1, {}},   // the orange
        {{1100, 380}, 63, 125, 34, HINT_BELOW, -1, {}},  // the hole
        {{220, 362}, 30, 110, 34, HINT_ABOVE, -1, {}},   // the tail
    };
    std::vector<HintObstacle> things = {{{420, 240}, 20}, {{630, 210}, 20}, {{840, 240}, 20}, {{210, 270}, 20}};
    for (int i = 0; i < 5; i++) things.push_back({start[i].target, start[i].ring});
    for (float y = 240; y < 362; y += 12) things.push_back({{215 + (y - 240) / 12, y}, 12});
    for (int frame = 0; frame < 2; frame++) {
        PlaceHintLabels(start, 5, things.data(), (int)things.size(), 1024, 600, 90);
        EXPECT_EQ(start[3].side, -1) << "a text for a target out of view";
        for (int i = 0; i < 5; i++) {
            if (i == 3) continue;
            const HintRect& b = start[i].box;
            SCOPED_TRACE(i);
            EXPECT_GE(b.y0, 90);
            for (int j = 0; j < 5; j++) {
                const vec2_t c = start[j].target;
                const float dx = fmaxf(fmaxf(b.x0 - c.x, c.x - b.x1), 0.0f);
                const float dy = fmaxf(fmaxf(b.y0 - c.y, c.y - b.y1), 0.0f);
                if (j == i) continue;
                EXPECT_GE(hypotf(dx, dy) - start[j].ring, start[i].h) << "by ring " << j;
            }
            for (const HintObstacle& o : things) {
                if (GameEnv::Dist(o.at, start[i].target) < 1) continue;
                const HintRect square = {o.at.x - o.radius, o.at.y - o.radius, o.at.x + o.radius, o.at.y + o.radius};
                EXPECT_FLOAT_EQ(b.Overlap(square), 0) << "over the thing at " << o.at.x << ", " << o.at.y;
            }
        }
    }
}

namespace {

const char* fixed_step_value = nullptr;
kodo_t* engine_kd = nullptr;
const char* FixedStepSetting(const char* command, const char* parameter) {
    if (!strcmp(command, "GetProductValue") && parameter && !strcmp(parameter, "fixed_step")) return fixed_step_value;
    return engine_kd->CallExtension(command, parameter);
}

}  // namespace

// The program settings' "fixed_step" switch is on for "1" alone; a value
// it cannot read leaves it off, with a line naming it.
TEST(GameLevel, TheFixedStepSwitchIsReadAsANumberAndRefusedOtherwise) {
    AppEnv env;
    engine_kd = kd;
    kodo_t table = *kd;
    table.CallExtension = FixedStepSetting;
    kd = &table;
    const struct {
        const char* value;
        bool on, refused;
    } cases[] = {{"1", true, false},     {nullptr, false, false}, {"0", false, false}, {"0.0", false, false},
                 {"false", false, true}, {"no", false, true},     {"-1", false, true}, {"true", false, true}};
    for (const auto& c : cases) {
        fixed_step_value = c.value;
        FwLog log;
        game_replay.LoadFromSettings();
        const std::string v = c.value ? c.value : "(none)";
        EXPECT_EQ(game_replay.fixed_step, c.on) << v;
        EXPECT_EQ(log.Contains("value '" + v + "' of 'fixed_step' is not a whole number in 0..1; using 0"), c.refused)
            << v;
    }
    kd = engine_kd;
}
