// Leaderboards: the score database's cap and order, best scores and the
// script functions, the game centre's queue, downloads, and the database
// saved again and again under SIGKILL.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <string>
#include <vector>

#include "kill-round.h"
#include "luaman.h"
#include "recording-kd.h"
#include "services-fixture.h"
#include "services/leaderboards.h"

namespace {

const char* kCategories =
    "<?xml version=\"1.0\"?>\n<root>\n<array id=\"CATEGORIES\">\n"
    "<node id=\"EPISODE_1\" tags=\"\" display_name=\"Episode 1\"/>\n"
    "<node id=\"SOLO\" tags=\"SOCIAL, ONE_SCORE_PER_PLAYER\" display_name=\"Solo\"/>\n"
    "<node id=\"LONGER\" tags=\"ONE_SCORE_PER_PLAYERS\" display_name=\"Longer\"/>\n"
    "</array>\n</root>\n";

std::vector<std::string>& calls() { return rec().calls; }

struct Leaderboards : ::testing::Test {
    ServicesEnv env{{{"leaderboards/leaderboards.xml", kCategories}}};
    FakeScreens screens;
    RecordingKd r{kd};
    void SetUp() override {
        engine_call_extension = r.table.CallExtension;
        r.table.CallExtension = FakeGameCenter;
        game_center_present = false;
        r.Install();
        ASSERT_TRUE(lua_man.Initialize());
        env.Profile("Ann");
        leaderboards_man.Initialize();
    }
    void TearDown() override {
        leaderboards_man.Reset();
        lua_man.Shutdown();
    }
    std::string Lua(const std::string& call) { return ServiceLua(call); }
    // The client's table as "points:player" in rank order.
    static std::string Table(LeaderboardsClient* c) {
        std::string out;
        for (int i = 0; i < c->GetNumberOfScores(); i++) {
            LeaderboardScore* s = c->GetScoreByIndex(i);
            EXPECT_EQ(s->rank, i + 1);
            out += (i ? " " : "") + std::to_string(s->points) + ":" + s->player;
        }
        return out;
    }
    std::string Db() const { return ReadNative(env.User("leaderboards-db.xml")); }
};

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
    return n;
}

}  // namespace

TEST_F(Leaderboards, DatabaseKeepsAHundredInOrderAndDownloadsRankThem) {
    // Equal points keep the order in which they were stored.
    leaderboards_man.SubmitScore("EPISODE_1", 700, 1000);
    profile_man.SelectOrCreateProfile("Ben");
    leaderboards_man.SubmitScore("EPISODE_1", 700, 2000);
    leaderboards_man.SubmitScore("EPISODE_1", 900, 3000);
    LeaderboardsClient* c = leaderboards_man.GetLeaderboardsForCategory("EPISODE_1");
    EXPECT_EQ(Table(c), "900:Ben 700:Ann 700:Ben");
    c->Download(1, 100, 16777215);
    EXPECT_EQ(c->GetDownloadState(), 0);
    EXPECT_EQ(Table(c), "900:Ben 700:Ann 700:Ben");
    EXPECT_NE(Db().find("player=\"Ann\" points=\"700\" duration=\"1000\""), std::string::npos);

    // 98 more scores of 800 and one of 100: 101 stored would be too many,
    // so the lowest goes; of two equal lowest, the one stored later.
    for (int i = 0; i < 96; i++) leaderboards_man.SubmitScore("EPISODE_1", 800 + i, 10);
    leaderboards_man.SubmitScore("EPISODE_1", 100, 1);  // the 100th
    EXPECT_EQ(Count(Db(), "points=\"100\""), 1);
    leaderboards_man.SubmitScore("EPISODE_1", 100, 2);  // the 101st: itself the later lowest
    EXPECT_EQ(Count(Db(), "points=\"100\""), 1);
    EXPECT_NE(Db().find("points=\"100\" duration=\"1\""), std::string::npos);
    leaderboards_man.SubmitScore("EPISODE_1", 5000, 3);  // pushes out the 100
    EXPECT_EQ(Count(Db(), "points=\"100\""), 0);
    EXPECT_EQ(Count(Db(), "<node"), 100);
    c->Download(1, 10, 16777215);  // the count does not limit the answer
    EXPECT_EQ(c->GetNumberOfScores(), 100);
    EXPECT_EQ(c->GetScoreByRank(1)->points, 5000);
    EXPECT_EQ(c->GetScoreByRank(100)->points, 700);
    EXPECT_STREQ(c->GetScoreByRank(99)->player, "Ann");

    // The script functions: by rank, nothing for 0 or past the end.
    EXPECT_EQ(Lua("LM_GetScoreByRank('EPISODE_1', 1)"), "5000");
    EXPECT_EQ(Lua("LM_GetNameByRank('EPISODE_1', 100)"), "Ben");
    EXPECT_EQ(Lua("LM_GetScoreByRank('EPISODE_1', 0)"), "nil");
    EXPECT_EQ(Lua("LM_GetNameByRank('EPISODE_1', 101)"), "nil");
}

TEST_F(Leaderboards, CategoryWithoutScoresStaysDownloadingAndStillShowsNewOnes) {
    LeaderboardsClient* c = leaderboards_man.GetLeaderboardsForCategory("EMPTY");
    c->Download(1, 100, 16777215);
    EXPECT_EQ(c->GetDownloadState(), 1);
    EXPECT_FALSE(c->ResetDownloadState());
    Lua("LM_SubmitScore('EMPTY', 50, 1)");
    Lua("LM_SubmitScore('EMPTY', 80, 1)");
    Lua("LM_DownloadTopHundred('EMPTY')");  // still under way: nothing happens
    EXPECT_EQ(c->GetDownloadState(), 1);
    EXPECT_EQ(Table(c), "80:Ann 50:Ann");

    // Names: 30 characters are taken but scores carry "Unknown"; longer
    // ones are refused and the old one stays.
    std::string thirty(30, 'x');
    c->SetLocalPlayerDisplayName(thirty.c_str());
    c->SubmitScore(10, 1);
    EXPECT_STREQ(c->GetScoreByRank(3)->player, "Unknown");
    c->SetLocalPlayerDisplayName((thirty + "y").c_str());
    EXPECT_EQ(c->GetLocalPlayerDisplayName(), thirty);
    EXPECT_TRUE(rec().DebugContains("SetLocalPlayerDisplayName name '" + thirty + "y' too long."));
}

TEST_F(Leaderboards, BestScoresWholeWordTagsAndProfileNumbers) {
    // No best anywhere: nothing, and an empty name.
    EXPECT_EQ(Lua("LM_GetBestLocalScoreDisplayName('EPISODE_1')"), "");
    EXPECT_EQ(Lua("LM_GetPersonalBestScore('EPISODE_1')"), "0");
    // A first score of 0 makes no best; an equal score leaves it alone.
    leaderboards_man.SubmitScore("EPISODE_1", 0, 5);
    EXPECT_FALSE(prof->TagExists("BEST_SCORES", "EPISODE_1"));
    leaderboards_man.SubmitScore("EPISODE_1", 400, 7);
    leaderboards_man.SubmitScore("EPISODE_1", 400, 9);
    EXPECT_STREQ(prof->GetValue("BEST_SCORES", "EPISODE_1", "duration"), "7");
    // Ben's 400 ties Ann's: the earlier profile keeps it; his 2000000 is
    // written whole and wins.
    profile_man.SelectOrCreateProfile("Ben");
    leaderboards_man.SubmitScore("EPISODE_1", 400, 1);
    EXPECT_EQ(Lua("LM_GetBestLocalScoreDisplayName('EPISODE_1')"), "Ann");
    leaderboards_man.SubmitScore("EPISODE_1", 2000000, 1234567);
    EXPECT_STREQ(prof->GetValue("BEST_SCORES", "EPISODE_1", "points"), "2000000");
    EXPECT_STREQ(prof->GetValue("BEST_SCORES", "EPISODE_1", "duration"), "1234567");
    EXPECT_EQ(Lua("LM_GetBestLocalScore('EPISODE_1')"), "2000000");
    EXPECT_EQ(Lua("LM_GetBestLocalScoreDisplayName('EPISODE_1')"), "Ben");
    // A best saved earlier in the "%g" form still reads.
    prof->SetValue("BEST_SCORES", "OLD", "points", "1.5e+06");
    EXPECT_EQ(leaderboards_man.GetPersonalBestScore("OLD").points, 1500000);

    // "ONE_SCORE_PER_PLAYER" after a word and a comma keeps the category
    // out of the database; a longer word does not.
    leaderboards_man.SubmitScore("SOLO", 10, 1);
    leaderboards_man.SubmitScore("LONGER", 10, 1);
    EXPECT_EQ(Db().find("<array id=\"SOLO\""), std::string::npos);
    EXPECT_NE(Db().find("<array id=\"LONGER\""), std::string::npos);
    EXPECT_STREQ(prof->GetValue("BEST_SCORES", "SOLO", "points"), "10");  // the best is kept all the same
}

TEST_F(Leaderboards, GameCentreQueueResentAtLoginAndClearedByItsResult) {
    game_center_present = true;
    feature_man.SetFeatureList("GAME_CENTER");
    // Before any login there is no uid: nothing is queued.
    leaderboards_man.SubmitScore("EPISODE_1", 200, 1);
    EXPECT_EQ(prof->GetNumberOfValuesInCategory("GAME_CENTER_LEADERBOARDS_QUEUE"), 0);
    std::string uid = "G:42", alias = "Annie";
    kd_event_t login = ServiceEvent(19, 1, (intptr_t)uid.c_str(), (intptr_t)alias.c_str());
    EXPECT_EQ(leaderboards_man.ProcessEvent(&login), 1);
    EXPECT_STREQ(prof->GetValue("GAME_CENTER", "profile", "alias"), "Annie");
    calls().clear();
    leaderboards_man.SubmitScore("EPISODE_1", 500, 1);
    leaderboards_man.SubmitScore("EPISODE_1", 300, 1);
    EXPECT_EQ(calls(), (std::vector<std::string>{"gc SubmitScore,EPISODE_1,500", "gc SubmitScore,EPISODE_1,300"}));
    EXPECT_STREQ(prof->GetValue("GAME_CENTER_LEADERBOARDS_QUEUE", "G:42_EPISODE_1", "points"), "500");

    // A login resends the queue; a failed one and event 21 change nothing.
    calls().clear();
    EXPECT_EQ(leaderboards_man.ProcessEvent(&login), 1);
    EXPECT_EQ(calls(), std::vector<std::string>{"gc SubmitScore,EPISODE_1,500"});
    kd_event_t failed = ServiceEvent(19, 0x100, (intptr_t) "other", (intptr_t) "x");
    kd_event_t nothing = ServiceEvent(21, 0, 0, 0);
    EXPECT_EQ(leaderboards_man.ProcessEvent(&failed), 1);
    EXPECT_EQ(leaderboards_man.ProcessEvent(&nothing), 1);
    EXPECT_STREQ(prof->GetValue("GAME_CENTER", "profile", "uid"), "G:42");

    // Results: of other points, failed, or of another board remove
    // nothing; the matching one removes the entry.
    std::string board = "EPISODE_1";
    kd_event_t other_points = ServiceEvent(22, (intptr_t)board.c_str(), 300, 1);
    kd_event_t unsuccessful = ServiceEvent(22, (intptr_t)board.c_str(), 500, 0);
    kd_event_t match = ServiceEvent(22, (intptr_t)board.c_str(), 500, 1);
    EXPECT_EQ(leaderboards_man.ProcessEvent(&other_points), 0);
    EXPECT_EQ(leaderboards_man.ProcessEvent(&unsuccessful), 1);
    EXPECT_TRUE(prof->TagExists("GAME_CENTER_LEADERBOARDS_QUEUE", "G:42_EPISODE_1"));
    EXPECT_EQ(leaderboards_man.ProcessEvent(&match), 1);
    EXPECT_FALSE(prof->TagExists("GAME_CENTER_LEADERBOARDS_QUEUE", "G:42_EPISODE_1"));

    // Without a game centre's answer the screen message tells so.
    game_center_present = false;
    Lua("LM_ShowLeaderboards()");
    EXPECT_EQ(screens.calls, (std::vector<std::string>{
                                 "msg PopupOk text=Leaderboards are available only in GameCenter.", "push PopupOk"}));
    // An uninitialised service ignores events.
    leaderboards_man.Reset();
    EXPECT_EQ(leaderboards_man.ProcessEvent(&match), 0);
}

// ---------------------------------------------------------------------------
// A child submits score after score, each saved with the whole database
// through the atomic save, and is killed with SIGKILL at random moments.
// After every kill the database must load whole and hold every score whose
// submission had returned. The scores go to categories of 90, so the cap
// of 100 removes none.

namespace {

void WriteInt(int fd, int v) {
    if (write(fd, &v, sizeof v) != (ssize_t)sizeof v) _exit(5);
}

std::string KillCategory(int n) { return "KILL_" + std::to_string(n / 90); }

// The scores held, by counting nodes of every array.
int StoredScores(DMDatabase* db) {
    int n = 0;
    for (int i = 0; i < db->GetNumberOfArrays(); i++) n += db->GetArray(i)->GetSize();
    return n;
}

[[noreturn]] void RunSubmitter(const std::string& dir, int fd) {
    FwEngine engine(dir);
    if (!engine.started) _exit(3);
    leaderboards_man.GetLeaderboardsForCategory("KILL_0");
    int next = StoredScores(dman.GetDatabase(LeaderboardsServerLocalDatabase::kFile));
    WriteInt(fd, next);
    for (;; next++) {
        leaderboards_man.SubmitScore(KillCategory(next).c_str(), 1000 + next, next);
        WriteInt(fd, next + 1);  // scores 0 .. next are saved
    }
}

int KillRounds() {
    const char* env = getenv("KODO_KILL_ROUNDS");
    return env && atoi(env) > 0 ? atoi(env) : 200;
}

KILL_CHILD(RunSubmitter);

}  // namespace

TEST(LeaderboardsKill, EverySubmittedScoreSurvivesAKill) {
    char tmpl[] = "/tmp/kodo-lb-kill-XXXXXX";
    ASSERT_TRUE(mkdtemp(tmpl));
    const std::string dir = tmpl;
    std::filesystem::create_directories(dir + "/app/native");
    std::string audio = getenv("SDL_AUDIODRIVER") ? getenv("SDL_AUDIODRIVER") : "";
    setenv("SDL_AUDIODRIVER", "none", 1);
    std::mt19937 rng(20261207);
    std::uniform_int_distribution<int> delay(0, 6000);
    int submitted = 0, landed = 0;
    const int kills = KillRounds();
    for (int k = 0; k < kills; k++) {
        // Every other round lets one save finish first, so that a machine
        // too busy to finish any within the delay still lands kills among
        // the saves.
        KillRound round = RunAndKill(RunSubmitter, dir, (useconds_t)delay(rng), k % 2);
        ASSERT_EQ(round.failure, "") << "kill " << k;
        EXPECT_GE(round.start, submitted) << "kill " << k;
        if (round.last > round.start) landed++;

        FwEngine engine(dir);
        ASSERT_TRUE(engine.started);
        DMDatabase db;
        ASSERT_TRUE(db.Load(LeaderboardsServerLocalDatabase::kFile) || round.last == 0) << "kill " << k;
        for (int i = 0; i < round.last; i++) {
            DMArray* a = db.GetArray(KillCategory(i).c_str());
            ASSERT_TRUE(a) << "kill " << k << " score " << i;
            ASSERT_EQ(a->GetNodeValue(i % 90, "points"), std::to_string(1000 + i)) << "kill " << k;
        }
        submitted = round.last;
    }
    printf("landed %d submitted %d in %d kills\n", landed, submitted, kills);
    EXPECT_GT(landed, kills / 10);
    EXPECT_GT(submitted, 0);
    if (audio.empty())
        unsetenv("SDL_AUDIODRIVER");
    else
        setenv("SDL_AUDIODRIVER", audio.c_str(), 1);
    std::filesystem::remove_all(dir);
}
