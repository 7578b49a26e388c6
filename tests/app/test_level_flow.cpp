// How a level ends, played with real grabs in small worlds: the worm takes
// the fruit and grips the worm hole, and the level is won once, with its
// records on disk and its messages to the result screen; the worm loses
// its lives on thorns and the level is lost; a win and a loss in the same
// frame make one result; a restart begins from nothing; records of a
// million seconds and more read back whole. And the level's small
// services: the hint hand on the tail, the stretch sound once per
// stretch, a weather sheet that ends, platforms that turn.
#include <gtest/gtest.h>

#include <string.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "behavior-env.h"
#include "game-env.h"
#include "game/game-records.h"
#include "recording-kd.h"
#include "ui/timeline.h"

namespace {

// The result screens, catching what the game sends them.
struct ResultScreen : Screen {
    explicit ResultScreen(const char* screen_name) : Screen(screen_name) {}
    int ProcessScreenMessage(Screen*, const char* message, const char* value) override {
        messages.emplace_back(message ? message : "", value ? value : "");
        return 1;
    }
    std::vector<std::pair<std::string, std::string>> messages;
};

const char* kWorld =
    " <array id=\"info\">\n"
    "  <node id=\"world_bounds\" x1=\"-12\" y1=\"-14\" x2=\"16\" y2=\"4\" />\n"
    "  <node id=\"worm_links\" value=\"7\" />\n"
    "  <node id=\"worm_link_distance\" value=\"0.65\" />\n"
    "  <node id=\"ideal_time\" value=\"20\" />\n"
    " </array>\n"
    " <array id=\"actors\">\n"
    "  <node actor=\"actors/peg.xml\" x=\"0\" y=\"-6\" />\n"
    "  <node actor=\"actors/game-worm-head.xml\" x=\"0\" y=\"-7.15\" />\n"
    "  <node actor=\"actors/game-worm-tail.xml\" x=\"2.5\" y=\"-4.8\" />\n"
    "  <node actor=\"actors/fruit-apple.xml\" x=\"1\" y=\"-10\" />\n"
    "  <node actor=\"actors/egg.xml\" x=\"1\" y=\"-9.3\" />\n"
    "  <node actor=\"actors/egg.xml\" x=\"-10\" y=\"-12\" />\n"
    "  <node actor=\"actors/wormhole.xml\" x=\"6.5\" y=\"-6\" />\n"
    "  <node actor=\"actors/thorns.xml\" x=\"-1.5\" y=\"-3.5\" angle=\"90\" />\n"
    " </array>\n";

struct Flow : ::testing::Test {
    GameEnv g;
    ResultScreen completed{"GameLevelCompleted"};
    ResultScreen failed{"GameLevelFailed"};
    std::string world;

    void SetUp() override {
        g.SkipStory();
        // Where the program keeps its profiles.
        std::filesystem::create_directories(g.env.engine->UserPath("profiles"));
        world = g.env.Write("worlds/flow.xml", kWorld);
        // The level's place in the game, as the timeline delivers it.
        const std::string events = g.env.Write("flow-timeline.xml",
                                               " <array id=\"timeline\">\n"
                                               "  <node id=\"E01_L03\" type=\"GAME\" />\n"
                                               " </array>\n");
        ASSERT_TRUE(timeline.LoadTimeline(events.c_str()));
        timeline.SendEventParametersToKeyScreen("E01_L03");
        ASSERT_STREQ(GameDeziDedi::CurrentLevelEventId(), "E01_L03");
        sman.PreloadScreen(&completed);
        sman.PreloadScreen(&failed);
        g.Start(world.c_str());
        ASSERT_TRUE(g.sim.WormHead() && g.sim.WormTail());
    }
    void TearDown() override { timeline.FreeTimeline(); }

    // The profile as saved, as text.
    std::string SavedProfile() {
        std::ifstream in(g.env.engine->UserPath("profiles/1.xml"));
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    Actor* Find(const char* file) { return g.sim.GetActorByShape(physics_man.GetShape(file)); }
    vec2_t ScreenAt(vec2_t world_point) { return g.sim.TransformWorldPositionToScreen(world_point); }

    // Takes the tail and leads it to a world point over `frames` frames,
    // then holds it there for `hold` frames (or until it grips).
    void LeadTail(vec2_t to, int frames, int hold) {
        Actor* tail = g.sim.WormTail();
        vec2_t from = g.Screen(tail);
        if (!g.game.mouse_joint) g.Touch(KD_EVENT_BUTTON_DOWN, from);
        const vec2_t target = ScreenAt(to);
        vec2_t prev = from;
        for (int i = 1; i <= frames + hold; i++) {
            const float k = i < frames ? (float)i / (float)frames : 1.0f;
            const vec2_t p = {from.x + (target.x - from.x) * k, from.y + (target.y - from.y) * k};
            g.Touch(KD_EVENT_POINTER_MOVE, p, prev);
            prev = p;
            g.Frame();
            if (i > frames && tail->welded) break;
        }
    }
    void Release() {
        g.Touch(KD_EVENT_BUTTON_UP, g.Screen(g.sim.WormTail()));
        g.Frame();
    }
    int Results() { return (int)(completed.messages.size() / 5 + failed.in_stack); }
    int FramesUntilOver(int max) {
        int n = 0;
        while (!level.level_over && n < max) {
            g.Frame();
            n++;
        }
        return n;
    }
};

}  // namespace

TEST_F(Flow, TheWormTakesTheFruitGripsTheHoleAndWinsOnce) {
    Actor* hole = Find("actors/wormhole.xml");
    Actor* fruit = Find("actors/fruit-apple.xml");
    ASSERT_TRUE(hole && fruit);
    // The fruit and two eggs, one beside it, one far off.
    EXPECT_EQ(level.required_targets, 3);
    EXPECT_EQ(level.eggs, 2);

    // The hole is near from the start, and nearness alone opens it: the
    // fruit is still to take.
    EXPECT_TRUE(level.all_collected);
    EXPECT_EQ(level.targets_collected, 0);
    EXPECT_FALSE(level.ending);

    // Through the fruit and into the hole, which the tail grips.
    LeadTail(GameEnv::Pos(fruit), 60, 30);
    EXPECT_EQ(level.targets_collected, 2);
    EXPECT_EQ(level.eggs_collected, 1);
    EXPECT_TRUE(level.all_collected);
    LeadTail(GameEnv::Pos(hole), 30, 240);
    ASSERT_TRUE(g.sim.WormTail()->welded);
    EXPECT_EQ(g.sim.WormTail()->weld_target, hole);
    g.Frame();
    EXPECT_TRUE(level.ending);
    const int clock = level.clock_ms;
    EXPECT_GT(clock, 0);

    // A moment after the grip the level is won: the clock stopped there.
    const float since_grip = g.game.ending_time;
    const int frames = FramesUntilOver(200);
    EXPECT_NEAR(since_grip + frames / 60.0f, 1.5f, 0.1f);
    EXPECT_EQ(level.clock_ms, clock);
    EXPECT_FALSE(g.game.IsLevelInProgress());
    EXPECT_TRUE(completed.in_stack);
    // Won with an egg left: no Egg Hunter ("AllEggs").
    const int T = clock / 1000;
    const std::vector<std::pair<std::string, std::string>> want = {{"NewRecord", "YES"},
                                                                   {"FlawlessPlay", "YES"},
                                                                   {"AllEggs", "NO"},
                                                                   {"BestStars", "0"},
                                                                   {"NextStar", "Superb! All stars collected!"},
                                                                   {"StarsGained", "3"}};
    EXPECT_EQ(completed.messages, want);

    // The records, on disk.
    const std::string saved = SavedProfile();
    const std::string t = "\"" + std::to_string(T) + "\"";
    for (const std::string& v : {"last_time=" + t, "best_time=" + t, std::string("best_stars=\"3\""),
                                 std::string("flawless_play=\"1\""), std::string("levels_completed=\"1\""),
                                 std::string("stars_collected=\"3\""), std::string("all_levels_completed=\"0\""),
                                 std::string("last_level=\"0\"")})
        EXPECT_NE(saved.find(v), std::string::npos) << v << " in\n" << saved;
    EXPECT_STREQ(g.profile.GetValue("GAME", "last_played", "level"), "3");

    // The world runs on under the result, and nothing ends a second time:
    // not even the worm dying now.
    level.worm_dead = true;
    g.Frames(200);
    EXPECT_EQ(completed.messages.size(), 6u);
    EXPECT_FALSE(failed.in_stack);
}

TEST_F(Flow, ThornsTakeTheLivesAndTheLevelIsLostThenARestartBeginsAfresh) {
    Actor* thorns = Find("actors/thorns.xml");
    ASSERT_TRUE(thorns);
    // The thorns stand beside the hanging worm: the tail led across them
    // drags the worm's front into them, and back again away from them.
    const vec2_t at = GameEnv::Pos(thorns);
    int hits = 0;
    for (int round = 0; round < 8 && !level.worm_dead; round++) {
        const int before = level.lives;
        LeadTail(vec2_t{at.x - 3.5f, at.y + 2.5f}, 20, 20);
        LeadTail(vec2_t{at.x + 4.5f, at.y}, 20, 20);
        hits += before - level.lives;
        // The two seconds of invulnerability.
        g.Frames(100);
    }
    Release();
    ASSERT_TRUE(level.worm_dead) << hits << " hits";
    EXPECT_EQ(level.lives, 0);
    EXPECT_EQ(hits, 3);
    const int frames = FramesUntilOver(200);
    EXPECT_LE(frames / 60.0f, 1.6f);
    EXPECT_TRUE(failed.in_stack);
    EXPECT_FALSE(completed.in_stack);
    EXPECT_EQ(g.profile.GetValue("LEVELS", "E01_L03", "last_time"), nullptr) << "a lost level records no time";
    g.Frames(120);
    EXPECT_EQ(Results(), 1);

    // Played again: everything of the lost run is gone.
    sman.PopScreen(&failed, false);
    g.Frame();
    g.Start(world.c_str());
    EXPECT_FALSE(level.level_over);
    EXPECT_FALSE(level.worm_dead);
    EXPECT_EQ(level.lives, 3);
    EXPECT_EQ(level.clock_ms, 0);
    EXPECT_EQ(g.game.ending_time, 0.0f);
    EXPECT_TRUE(g.game.IsLevelInProgress());
    EXPECT_TRUE(g.sim.WormHead()->welded);
    g.Frames(200);
    EXPECT_FALSE(level.level_over);
}

TEST_F(Flow, TheClockKeepsWhatIsNotYetAWholeMillisecond) {
    // The replay's fixed step of 1/60 s, ten seconds of it; then the
    // engine's whole milliseconds, which come out exact.
    level.play_started = true;
    g.Frames(600);
    EXPECT_EQ(level.clock_ms, 10000);
    for (int i = 0; i < 100; i++) g.Frame(0.033f);
    EXPECT_EQ(level.clock_ms, 13300);
    EXPECT_FALSE(level.ending);
}

TEST_F(Flow, TheArrowPointsAtAGoalWhateverItsEnabledFlag) {
    // A shooter far from the worm drops its `enabled` flag; its arrow
    // stays while its body is in the world's step.
    static int arrows;
    RecordingKd r{kd};
    r.table.DrawBitmapRS = [](kd_bitmap_t* b, float, float, float, float) {
        arrows += b && b == lib.Bitmap(LIB_WORMHOLE_ARROW);
    };
    r.Install();
    Actor* hole = Find("actors/wormhole.xml");
    hole->enabled = false;
    g.game.arrow_alpha = 1;
    arrows = 0;
    g.game.DrawBeforeUI();
    EXPECT_EQ(arrows, 1);
    hole->body->SetEnabled(false);
    arrows = 0;
    g.game.DrawBeforeUI();
    EXPECT_EQ(arrows, 0);
}

TEST_F(Flow, AMoonExitOpensWhenTheLastTargetIsAnEgg) {
    std::string moon = kWorld;
    moon.replace(moon.find("actors/wormhole.xml"), strlen("actors/wormhole.xml"), "actors/moon.xml");
    moon.replace(moon.find("actors/fruit-apple.xml"), strlen("actors/fruit-apple.xml"), "actors/egg.xml");
    g.Start(g.env.Write("worlds/moon.xml", moon).c_str());
    ASSERT_EQ(level.required_targets, 3);  // eggs only
    g.Frames(10);
    EXPECT_FALSE(level.all_collected);
    // The egg breaks: counted, as its behaviour counts it, without opening
    // anything itself.
    level.targets_collected = level.required_targets;
    g.Frame();
    EXPECT_TRUE(level.all_collected);
}

TEST_F(Flow, AWinAndALossInOneFrameMakeOneResult) {
    // The last fruit taken and a fatal hit in the same frame, with the
    // tail already gripping the hole.
    Actor* hole = Find("actors/wormhole.xml");
    level.all_collected = true;
    level.targets_collected = level.required_targets;
    LeadTail(GameEnv::Pos(hole), 30, 240);
    ASSERT_TRUE(g.sim.WormTail()->welded);
    level.lives = 0;
    level.worm_dead = true;
    FramesUntilOver(200);
    g.Frames(200);
    EXPECT_TRUE(completed.in_stack != failed.in_stack);
    EXPECT_EQ(Results(), 1);
    const char* flawless = g.profile.GetValue("LEVELS", "E01_L03", "flawless_play");
    EXPECT_EQ(flawless, nullptr);
}

// A win the disk does not take (here a folder in the way of the save)
// is not shown as kept: no new record, a message over the result, and no
// "completed" line, which says the record is on disk.
TEST_F(Flow, AWinThatIsNotSavedIsNotShownAsKept) {
    ResultScreen popup{"PopupOk"};
    sman.PreloadScreen(&popup);
    std::filesystem::create_directories(g.env.engine->UserPath("profiles/1.xml.tmp"));
    RecordingKd r{kd};
    r.Install();
    g.game.WinLevel(false);
    ASSERT_FALSE(completed.messages.empty());
    EXPECT_EQ(completed.messages.front(), std::make_pair(std::string("NewRecord"), std::string("NO")));
    EXPECT_TRUE(popup.in_stack);
    EXPECT_EQ(popup.messages, (std::vector<std::pair<std::string, std::string>>{{"text", "LEVEL_NOT_SAVED"}}));
    EXPECT_TRUE(rec().DebugContains("Level 'E01_L03' won, but its record could not be saved"));
    EXPECT_FALSE(Recorded::Has(rec().prints, "Level completed"));
    EXPECT_FALSE(std::filesystem::exists(g.env.engine->UserPath("profiles/1.xml")));
}

// A win the profile cannot keep (the game's own room past what scripts
// may fill is full, as a modded game's values might make it) is told as
// one the disk did not take, and the save's line names the value.
TEST_F(Flow, AWinTheFullProfileCannotKeepIsNotShownAsKept) {
    ResultScreen popup{"PopupOk"};
    sman.PreloadScreen(&popup);
    int n = 0;
    for (size_t size : {16000, 4000, 1000, 250, 60})
        for (bool kept = true; kept; n++) {
            const std::string name = std::to_string(n);
            prof->SetValue("MOD", name.c_str(), "value", std::string(size, 'm').c_str());
            kept = prof->GetValue("MOD", name.c_str(), "value") != nullptr;
        }
    EXPECT_FALSE(prof->Save());  // the last of each size was refused
    RecordingKd r{kd};
    r.Install();
    g.game.WinLevel(false);
    ASSERT_FALSE(completed.messages.empty());
    EXPECT_EQ(completed.messages.front(), std::make_pair(std::string("NewRecord"), std::string("NO")));
    EXPECT_EQ(popup.messages, (std::vector<std::pair<std::string, std::string>>{{"text", "LEVEL_NOT_SAVED"}}));
    EXPECT_TRUE(rec().DebugContains("The game's value 'LEVELS/E01_L03/"));
    EXPECT_TRUE(rec().DebugContains("Level 'E01_L03' won, but its record could not be saved"));
    EXPECT_FALSE(Recorded::Has(rec().prints, "Level completed"));
}

TEST(LevelRecords, StarsNewRecordsAndMillionsReadBackWhole) {
    GameEnv g;
    Profile& p = g.profile;
    // Stars against an ideal of 30 s: 3 up to 30, 2 up to 45, then 1; an
    // odd ideal rounds the two-star time up.
    EXPECT_EQ(StarsForTime(30, 30), 3);
    EXPECT_EQ(StarsForTime(45, 30), 2);
    EXPECT_EQ(StarsForTime(46, 30), 1);
    EXPECT_EQ(StarsForTime(38, 25), 2);
    EXPECT_EQ(StarsForTime(39, 25), 1);

    // The first win is a record; a slower one is not and keeps the best,
    // and its stars do not lower the best stars.
    LevelRecord r = WriteLevelRecords(&p, "E02_L10", 41999, 30, false, 2, 4);
    EXPECT_TRUE(r.new_record);
    EXPECT_EQ(r.seconds, 41);
    EXPECT_EQ(r.stars, 2);
    EXPECT_EQ(r.previous_best_stars, 0);
    r = WriteLevelRecords(&p, "E02_L10", 50000, 30, true, 2, 0);
    EXPECT_FALSE(r.new_record);
    EXPECT_EQ(r.previous_best, 41);
    EXPECT_EQ(r.previous_best_stars, 2);
    EXPECT_STREQ(p.GetValue("LEVELS", "E02_L10", "best_time"), "41");
    EXPECT_STREQ(p.GetValue("LEVELS", "E02_L10", "last_time"), "50");
    EXPECT_STREQ(p.GetValue("LEVELS", "E02_L10", "last_stars"), "1");
    EXPECT_STREQ(p.GetValue("LEVELS", "E02_L10", "best_stars"), "2");
    EXPECT_STREQ(p.GetValue("LEVELS", "E02_L10", "flawless_play"), "1");
    // Level 10's id has no zero before the 10.
    EXPECT_STREQ(p.GetValue("GAME", "episode_2", "levels_completed"), "1");
    EXPECT_STREQ(p.GetValue("GAME", "episode_2", "best_total_time"), "41");

    // Times of a million seconds and more, as numbers and on disk.
    p.SetValue("LEVELS", "E02_L01", "best_time", "1500000");
    p.SetValue("LEVELS", "E02_L01", "best_stars", "1");
    r = WriteLevelRecords(&p, "E02_L01", 1234567000, 30, false, 2, 0);
    EXPECT_TRUE(r.new_record);
    EXPECT_EQ(r.previous_best, 1500000);
    std::filesystem::create_directories(g.env.engine->UserPath("profiles"));
    ASSERT_TRUE(p.Save());
    std::ifstream in(g.env.engine->UserPath("profiles/1.xml"));
    std::stringstream saved;
    saved << in.rdbuf();
    for (const char* v : {"best_time=\"1234567\"", "last_time=\"1234567\"", "best_total_time=\"1234608\""})
        EXPECT_NE(saved.str().find(v), std::string::npos) << v << " in\n" << saved.str();

    // A damaged value counts as absent, and is replaced by a good one.
    p.SetValue("LEVELS", "E02_L02", "best_time", "1.5e+06");
    r = WriteLevelRecords(&p, "E02_L02", 61000, 30, false, 2, 0);
    EXPECT_TRUE(r.new_record);
    EXPECT_STREQ(p.GetValue("LEVELS", "E02_L02", "best_time"), "61");
}

TEST_F(Flow, TheHandFollowsTheTailTheStretchSoundsOnceAndTheWeatherEnds) {
    // The hand over the tail, wherever the tail goes, until the first grab.
    level.story_mode = STORY_FIRST_LEVEL_HINTS;
    Actor* tail = g.sim.WormTail();
    tail->body->SetTransform(tail->body->GetPosition() + b2Vec2(3, 0), 0);
    g.game.UpdateTutorials(0.1f);
    EXPECT_LT(GameEnv::Dist(g.game.tutorial.hand_position, g.Screen(tail)), 1.0f);
    // A worm of one part has no tail: no hand, and nothing breaks.
    Actor* parts[64];
    const int n = g.sim.worm_parts.count;
    ASSERT_LE(n, 64);
    for (int i = 0; i < n; i++) parts[i] = g.sim.worm_parts[i];
    while (g.sim.worm_parts.count > 1) g.sim.worm_parts.RemoveIndex(g.sim.worm_parts.count - 1);
    const vec2_t before = g.game.tutorial.hand_position;
    for (int i = 0; i < 30; i++) g.game.UpdateTutorials(0.1f);
    g.game.DrawTutorials();
    EXPECT_EQ(g.game.tutorial.hand_position.x, before.x);
    g.sim.worm_parts.Free();
    for (int i = 0; i < n; i++) g.sim.worm_parts.InsertLast(parts[i]);
    level.story_mode = STORY_NONE;

    // Stretched far, the worm sounds once, however long it stays so;
    // shrunk back and stretched again, once more.
    SoundSpy sounds;
    const b2Vec2 rest = tail->body->GetPosition();
    const b2Vec2 far = g.sim.WormHead()->body->GetPosition() + b2Vec2(12, 0);
    auto place = [&](b2Vec2 p) {
        tail->body->SetTransform(p, 0);
        for (int i = 0; i < 3; i++) g.game.UpdateSounds(1.0f / 60);
    };
    place(far);
    EXPECT_EQ(sounds.Count(LIB_SND_STRETCHING), 1);
    place(rest);
    EXPECT_FALSE(g.game.stretched);
    place(far);
    EXPECT_EQ(sounds.Count(LIB_SND_STRETCHING), 2);
    place(rest);

    // A reference screen of no size makes weather cells under a metre: the
    // sheet still steps on and ends, within its cap of cells.
    level.weather_theme = 1;
    const int reference = ui_screen.reference_width;
    ui_screen.reference_width = 0;
    g.sim.back_particles.InitParts(4096);
    g.game.UpdateWeather(100);
    ui_screen.reference_width = reference;
    int live = 0;
    for (part_t* p = g.sim.back_particles.FirstLive(); p; p = g.sim.back_particles.NextLive(p)) live++;
    EXPECT_GT(live, 0);
    EXPECT_LE(live, 32 * 32 * 8);
    EXPECT_FLOAT_EQ(g.game.weather_time, 0.0f);
}

TEST_F(Flow, PlatformsTurnAtTheEndsOfTheirTrackAndWhenBlocked) {
    // A plank with a track of 4 m to the right turns at both ends.
    Actor* plank = g.sim.CreateActor(physics_man.GetShape("actors/platform-moving.xml"), {-6, -12.5f}, {4, 0}, 0, 0, 2.0f);
    // A block without a track end runs right into a wall and turns back.
    ActorShape* slider = physics_man.GetShape(
        g.env.Write("actors/slider.xml",
                    "<array id=\"info\"><node id=\"type\" value=\"DYNAMIC\"/><node id=\"tags\" value=\"MOVE\"/></array>"
                    "<array id=\"rectangle\"><node id=\"width\" value=\"30\"/><node id=\"height\" value=\"30\"/></array>")
            .c_str());
    ActorShape* wall = physics_man.GetShape(
        g.env.Write("actors/stop.xml",
                    "<array id=\"info\"><node id=\"type\" value=\"STATIC\"/></array>"
                    "<array id=\"rectangle\"><node id=\"width\" value=\"30\"/><node id=\"height\" value=\"120\"/></array>")
            .c_str());
    Actor* block = g.sim.CreateActor(slider, {8, -12}, {10, 0}, 0, 0, 2.0f);
    g.sim.CreateActor(wall, {11, -12}, {0, 0}, 0, 0, 0);
    ASSERT_TRUE(plank && plank->body && block && block->body);
    g.sim.world->SetGravity(b2Vec2(0, 0));

    float plank_min = 1e9f, plank_max = -1e9f, block_max = -1e9f;
    bool plank_back = false, block_back = false;
    for (int i = 0; i < 600; i++) {
        g.Frame();
        const float px = plank->body->GetPosition().x, bx = block->body->GetPosition().x;
        plank_max = fmaxf(plank_max, px);
        if (plank_max > -2.2f && px < plank_max - 1.0f) plank_back = true;
        if (plank_back) plank_min = fminf(plank_min, px);
        block_max = fmaxf(block_max, bx);
        if (bx < block_max - 1.0f) block_back = true;
    }
    EXPECT_NEAR(plank_max, -2.0f, 0.2f);
    EXPECT_TRUE(plank_back);
    EXPECT_NEAR(plank_min, -6.0f, 0.2f);
    EXPECT_LT(block_max, 11.0f - 0.5f);
    EXPECT_TRUE(block_back) << "the blocked block did not turn back";
}

// Where "Ready?" is drawn.
std::vector<vec2_t> ready;
float RDrawReady(kd_font_t*, float x, float y, const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    if (RecFormat(format, ap) == "Ready?") ready.push_back({x, y});
    va_end(ap);
    return 0.0f;
}

TEST_F(Flow, ReadyStandsOnTheScreenBelowTheHud) {
    RecordingKd r{kd};
    r.table.DrawTextf = RDrawReady;
    r.Install();
    level.ready_time = 1;
    // The view moved down so far that the worm's upper end is at the top
    // of the screen (as at the boss's level after Play again): above the
    // worm, the text would be cut off.
    float* m = g.sim.view_transform.m;
    const float top = fminf(g.Screen(g.sim.WormHead()).y, g.Screen(g.sim.WormTail()).y);
    m[7] -= top - 5;
    ready.clear();
    g.game.DrawBeforeUI();
    ASSERT_EQ(ready.size(), 1u);
    EXPECT_GE(ready[0].y, GameDeziDedi::kHudBand);
    EXPECT_LE(ready[0].y, (float)sman.virtual_height);
    // A worm out of view leaves its text out of view.
    m[3] -= 3000;
    ready.clear();
    g.game.DrawBeforeUI();
    ASSERT_EQ(ready.size(), 1u);
    EXPECT_LT(ready[0].x, 0);

    // The boss's level opens on the boss, the worm above it and out of
    // view: the text never stands by the boss, where it would read as the
    // boss's line; it comes with the worm.
    g.game.InitLevel("worlds/e02-l10.xml");
    const Actor* boss = g.sim.ActorsWithFlags(TAG_BOSS).front();
    int shown = 0;
    for (int i = 0; i < 300; i++) {
        ready.clear();
        g.Frame();
        g.game.DrawBeforeUI();
        for (const vec2_t& at : ready) {
            SCOPED_TRACE(i);
            shown++;
            EXPECT_GT(GameEnv::Dist(at, g.Screen(boss)), boss->shape->radius * g.sim.zoom + 60);
            for (const Actor* end : {g.sim.WormHead(), g.sim.WormTail()}) {
                const vec2_t e = g.Screen(end);
                EXPECT_TRUE(e.x > 0 && e.x < sman.virtual_width && e.y > 0 && e.y < sman.virtual_height);
            }
        }
    }
    EXPECT_GT(shown, 0);
}
