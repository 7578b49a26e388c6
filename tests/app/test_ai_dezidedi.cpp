// The worm game's automated player: its choices on the game's screens (an
// unknown screen gets "Ok", the main menu's rare "Extras" is drawn as
// often as meant), the level selection's episode counter, the prologue
// in which only the story panel is clicked, and the in-level shortcuts:
// hazards killed by the tail, the head sent into the wormhole or the
// moon, everything mortal killed where there is no exit, and nothing at
// all when the worm is missing.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "game-env.h"
#include "game/ai-dezidedi.h"
#include "ui/ui-comps.h"
#include "ui/ui-layout.h"

namespace {

struct ClickScreen : Screen {
    std::map<std::string, int> clicks;
    explicit ClickScreen(const char* n) : Screen(n) {}
    ~ClickScreen() override {
        if (!uiset) return;
        UILayoutDeleteComps(uiset);
        delete uiset;
    }
    int ProcessUICompClick(UIComp* c, int) override { return clicks[c->name]++, 1; }
};

std::string World(const std::string& actors) {
    return " <array id=\"info\">\n"
           "  <node id=\"world_bounds\" x1=\"-12\" y1=\"-14\" x2=\"16\" y2=\"4\" />\n"
           " </array>\n"
           " <array id=\"actors\">\n"
           "  <node actor=\"actors/peg.xml\" x=\"0\" y=\"-6\" />\n"
           "  <node actor=\"actors/game-worm-head.xml\" x=\"0\" y=\"-7.15\" />\n"
           "  <node actor=\"actors/game-worm-tail.xml\" x=\"2.5\" y=\"-4.8\" />\n" +
           actors + " </array>\n";
}

struct AIDezi : ::testing::Test {
    GameEnv g;
    AIDeziDedi& ai = ai_dezidedi;

    AIDezi() {
        ai.episode = 1;
        ai.dragging = false;
    }

    Actor* Find(const char* file) { return g.sim.GetActorByShape(physics_man.GetShape(file)); }
    int Count(const char* file, bool triggered) {
        const ActorShape* shape = physics_man.GetShape(file);
        int n = 0;
        for (int i = 0; i < g.sim.actors.count; i++)
            n += g.sim.actors[i]->shape == shape && (bool)g.sim.actors[i]->triggered == triggered;
        return n;
    }
    // Each world under a name of its own: the data manager keeps what it read.
    void Start(const std::string& name, const std::string& actors) {
        g.SkipStory();
        g.Start(g.env.Write("worlds/" + name + ".xml", World(actors)).c_str());
        ASSERT_TRUE(g.sim.WormHead() && g.sim.WormTail());
    }
};

}  // namespace

TEST_F(AIDezi, ScreenChoicesAndTheEpisodeCounter) {
    EXPECT_STREQ(ai.GetName(), "DeziDediAI");
    EXPECT_STREQ(ai.GetCompToPress(nullptr, "SomethingNew"), "Ok");
    EXPECT_STREQ(ai.GetCompToPress(nullptr, "GameLevelFailed"), "PlayAgain");
    // "Extras" one time in ten, not one in 65536.
    int extras = 0;
    std::map<std::string, int> seen;
    for (int i = 0; i < 20000; i++) {
        extras += nStringsMatch(ai.GetCompToPress(nullptr, "MainMenu"), "Extras");
        seen[ai.GetCompToPress(nullptr, "Profiles")]++;
    }
    EXPECT_NEAR(extras / 20000.0, 0.1, 0.02);
    EXPECT_EQ(seen.size(), 3u);
    EXPECT_NEAR(seen["New"] / 20000.0, 1 / 3.0, 0.03);

    // The level selection: the counter steps 1, 2, 3, 1 on every press,
    // though only the first episode's tile exists, which alone is
    // pressed, and only when the counter named it.
    ClickScreen select("LevelSelect");
    WriteNative(g.env.engine->UserPath("select.lua"),
                "CreateComp ('Button', 'Episode1_Level1');\nSetProperty ('button.bm_idle', 'ui/gfx/button.png');\n"
                "SetProperty ('position', 0.5, 0.5);\n");
    ASSERT_TRUE(select.LoadUI("user://select.lua"));
    Screen::PreLoadScreen(&select, false);
    sman.PushScreen(&select);
    select.trans = 1.0f;
    select.leaving = false;
    EXPECT_TRUE(ai.IsComplexScreen());
    EXPECT_FALSE(ai.IsInGame());
    int presses[4] = {};
    for (int i = 0; i < 400; i++) {
        const int before = ai.episode;
        ai.UpdateComplexScreen(0.01f, &select, "LevelSelect");
        ASSERT_TRUE(ai.episode == before || ai.episode == before % 3 + 1) << before << " -> " << ai.episode;
        if (ai.episode != before) presses[before]++;
    }
    EXPECT_GT(presses[1], 40);
    EXPECT_GT(presses[3], 40);
    EXPECT_EQ(select.clicks["Episode1_Level1"], presses[1]);
    EXPECT_TRUE(ai.dragging);  // some draws drag the grid
    sman.PopScreen(&select, false);
    sman.UpdateScreens(0.01f);
}

TEST_F(AIDezi, DuringThePrologueOnlyTheStoryPanelIsClicked) {
    ASSERT_TRUE(g.game.InitLevel("worlds/e01-l01.xml"));
    ASSERT_EQ(level.story_mode, STORY_PROLOGUE);
    screen_GameDeziDedi.trans = 1.0f;
    screen_GameDeziDedi.leaving = false;
    EXPECT_TRUE(ai.IsInGame());
    Actor* head = g.sim.WormHead();
    Actor* const grip = head->weld_target;
    const int hazards = Count("actors/bug-flying.xml", true);
    int lines = g.game.dialogue_line;
    for (int i = 0; i < 200 && level.story_mode == STORY_PROLOGUE; i++) {
        bool press = true;
        ai.GetGamePositionToPress(press);
        EXPECT_FALSE(press);
        EXPECT_EQ(head->weld_target, grip);
        EXPECT_EQ(Count("actors/bug-flying.xml", true), hazards);
        EXPECT_TRUE(g.game.dialogue_line > lines || level.story_mode != STORY_PROLOGUE);
        lines = g.game.dialogue_line;
    }
    EXPECT_NE(level.story_mode, STORY_PROLOGUE);
}

TEST_F(AIDezi, TheTailKillsHazardsAndTheHeadGoesIntoTheWormhole) {
    std::string bugs =
        "  <node actor=\"actors/wormhole.xml\" x=\"6.5\" y=\"-6\" />\n"
        "  <node actor=\"actors/bug-flying-shooting.xml\" x=\"-8\" y=\"-12\" />\n";
    for (int i = 0; i < 5; i++)
        bugs += "  <node actor=\"actors/bug-flying.xml\" x=\"" + std::to_string(-8 + 3 * i) + "\" y=\"-2\" />\n";
    Start("bugs", bugs);
    Actor* head = g.sim.WormHead();
    Actor* hole = Find("actors/wormhole.xml");
    Actor* const grip = head->weld_target;
    ASSERT_NE(grip, hole);
    level.all_collected = false;

    // Without a worm nothing happens.
    const int parts = g.sim.worm_parts.count;
    g.sim.worm_parts.count = 0;
    AIDeziDedi::TakeLevelShortcuts(&g.sim);
    g.sim.worm_parts.count = parts;
    EXPECT_EQ(Count("actors/bug-flying-shooting.xml", true) + Count("actors/bug-flying.xml", true), 0);
    EXPECT_EQ(head->weld_target, grip);

    // The shooting bug first and alone; then four at a time; then the
    // last one and, with none left, the head's weld to the hole.
    AIDeziDedi::TakeLevelShortcuts(&g.sim);
    EXPECT_EQ(Count("actors/bug-flying-shooting.xml", true), 1);
    EXPECT_EQ(Count("actors/bug-flying.xml", true), 0);
    AIDeziDedi::TakeLevelShortcuts(&g.sim);
    EXPECT_EQ(Count("actors/bug-flying.xml", true), 4);
    EXPECT_EQ(head->weld_target, grip);
    AIDeziDedi::TakeLevelShortcuts(&g.sim);
    EXPECT_EQ(Count("actors/bug-flying.xml", true), 5);
    EXPECT_EQ(head->weld_target, hole);
    EXPECT_TRUE(level.all_collected);

    // The worm's own rules take it through the exit: the level is won.
    for (int i = 0; i < 600 && !level.level_over; i++) g.Frame();
    EXPECT_TRUE(level.ending);
    EXPECT_TRUE(level.level_over);
    EXPECT_FALSE(level.worm_dead);

    // The head is touched about one time in five.
    int pressed = 0;
    screen_GameDeziDedi.trans = 1.0f;
    for (int i = 0; i < 5000; i++) {
        bool press = false;
        const vec2_t p = ai.GetGamePositionToPress(press);
        if (!press) continue;
        pressed++;
        EXPECT_LT(GameEnv::Dist(p, g.Screen(head)), 1.0f);
    }
    EXPECT_NEAR(pressed / 5000.0, 0.2, 0.03);
}

TEST_F(AIDezi, AMoonIsTheExitAndWithoutAnExitEverythingMortalDies) {
    Start("moon", "  <node actor=\"actors/moon.xml\" x=\"6.5\" y=\"-8\" />\n");
    AIDeziDedi::TakeLevelShortcuts(&g.sim);
    EXPECT_EQ(g.sim.WormHead()->weld_target, Find("actors/moon.xml"));
    g.game.FreeWorld();
    level.Reset();

    Start("no-exit", "  <node actor=\"actors/fruit-apple.xml\" x=\"-6\" y=\"-10\" />\n");
    Actor* fruit = Find("actors/fruit-apple.xml");
    Actor* peg = Find("actors/peg.xml");
    ASSERT_NE(fruit, nullptr);
    ASSERT_NE(peg, nullptr);
    AIDeziDedi::TakeLevelShortcuts(&g.sim);
    EXPECT_EQ(fruit->hit_points, -1.0f);
    EXPECT_GT(peg->hit_points, 0.0f);  // immortal
    EXPECT_NE(g.sim.WormHead()->weld_target, fruit);
}
