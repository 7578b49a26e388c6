// Leaderboards: the score database's cap and order, best scores and the
// script functions, the game centre's queue, downloads, and the database
// saved again and again under SIGKILL; the seen-news file under SIGKILL.
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
#include "services/news.h"

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

// The score database as another program or a damaged disk may leave it:
// `n` scores of EPISODE_1 by P0, P1, ..., their points rising by 10 from 0
// to 4990 and from 0 again.
std::string ScoreFile(int n) {
    std::string xml = "<?xml version=\"1.0\"?>\n<root>\n\t<array id=\"EPISODE_1\">\n";
    for (int i = 0; i < n; i++)
        xml += "\t\t<node player=\"P" + std::to_string(i) + "\" points=\"" + std::to_string(10 * (i % 500)) +
               "\" duration=\"1\" />\n";
    return xml + "\t</array>\n</root>\n";
}

TEST_F(Leaderboards, DamagedDatabaseIsKeptAsideAndAnOverFullOneCutWhenRead) {
    // A byte garbled half way: what was read before it is used, and the
    // whole file is kept aside before the next submission saves.
    leaderboards_man.Reset();
    std::string whole = ScoreFile(100);
    size_t middle = whole.find('"', whole.size() / 2);
    whole[middle] = '\x01';
    WriteNative(env.User("leaderboards-db.xml"), whole);
    leaderboards_man.Initialize();
    leaderboards_man.SubmitScore("EPISODE_1", 7, 1);
    EXPECT_EQ(ReadNative(env.User("leaderboards-db.xml.damaged")), whole);
    EXPECT_TRUE(rec().DebugContains("leaderboards-db.xml' is damaged; a copy is kept"));
    EXPECT_NE(Db().find("player=\"P0\" points=\"0\""), std::string::npos);

    // 20000 scores in one category: its 100 best, in their stored order,
    // from the moment it is read; a download ranks them once.
    leaderboards_man.Reset();
    WriteNative(env.User("leaderboards-db.xml"), ScoreFile(20000));
    leaderboards_man.Initialize();
    LeaderboardsClient* c = leaderboards_man.GetLeaderboardsForCategory("EPISODE_1");
    EXPECT_TRUE(rec().DebugContains("holds 20000 scores in 'EPISODE_1'; its 100 best are kept."));
    c->Download(1, 100, 16777215);
    ASSERT_EQ(c->GetNumberOfScores(), 100);
    EXPECT_STREQ(c->GetScoreByRank(1)->player, "P499");
    EXPECT_STREQ(c->GetScoreByRank(2)->player, "P999");
    EXPECT_EQ(c->GetScoreByRank(100)->points, 4970);  // 40 of 4990, 40 of 4980, 20 of 4970
    leaderboards_man.SubmitScore("EPISODE_1", 4990, 1);
    EXPECT_EQ(Count(Db(), "<node"), 100);
    EXPECT_EQ(c->GetScoreByRank(41)->points, 4990);
    EXPECT_STREQ(c->GetScoreByRank(41)->player, "Ann");
    EXPECT_EQ(Count(Db(), "points=\"4970\""), 19);
}

TEST_F(Leaderboards, CategoryWithoutScoresStaysDownloadingAndStillShowsNewOnes) {
    LeaderboardsClient* c = leaderboards_man.GetLeaderboardsForCategory("EMPTY");
    c->Download(1, 100, 16777215);
    EXPECT_EQ(c->GetDownloadState(), 1);
    EXPECT_FALSE(c->ResetDownloadState());
    EXPECT_EQ(Lua("LM_SubmitScore('EMPTY', 50, 1)"), "true");
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

    // A score the disk does not take is said to the script.
    ASSERT_TRUE(std::filesystem::create_directory(env.User("leaderboards-db.xml.tmp")));
    EXPECT_EQ(Lua("LM_SubmitScore('EMPTY', 20, 1)"), "false");
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

// A kill test's folder, removed at the end, and its rounds: Next() starts
// a child and kills it after a random moment of up to 6 ms. Its engines
// run without sound: neither the children nor the checks need it, and
// without an audio device each engine start and stop is several times
// quicker.
struct KillRuns {
    std::string dir, audio;
    std::mt19937 rng;
    explicit KillRuns(unsigned seed) : rng(seed) {
        char tmpl[] = "/tmp/kodo-kill-XXXXXX";
        if (mkdtemp(tmpl)) dir = tmpl;
        std::filesystem::create_directories(dir + "/app/native");
        audio = getenv("SDL_AUDIODRIVER") ? getenv("SDL_AUDIODRIVER") : "";
        setenv("SDL_AUDIODRIVER", "none", 1);
    }
    ~KillRuns() {
        if (audio.empty())
            unsetenv("SDL_AUDIODRIVER");
        else
            setenv("SDL_AUDIODRIVER", audio.c_str(), 1);
        std::filesystem::remove_all(dir);
    }
    KillRound Next(KillChildBody child, int saves_first = 0) {
        std::uniform_int_distribution<int> delay(0, 6000);
        return RunAndKill(child, dir, (useconds_t)delay(rng), saves_first);
    }
};

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

KILL_CHILD(RunSubmitter);

}  // namespace

TEST(LeaderboardsKill, EverySubmittedScoreSurvivesAKill) {
    KillRuns runs(20261207);
    ASSERT_FALSE(runs.dir.empty());
    int submitted = 0, landed = 0;
    const int kills = KillRounds();
    for (int k = 0; k < kills; k++) {
        // Every other round lets one save finish first, so that a machine
        // too busy to finish any within the delay still lands kills among
        // the saves.
        KillRound round = runs.Next(RunSubmitter, k % 2);
        ASSERT_EQ(round.failure, "") << "kill " << k;
        EXPECT_GE(round.start, submitted) << "kill " << k;
        if (round.last > round.start) landed++;

        FwEngine engine(runs.dir);
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
    // Kills must land while the child is saving, not only before; the two
    // rounds of the ThreadSanitizer job may both come early.
    if (kills >= 10) {
        EXPECT_GT(landed, kills / 10);
        EXPECT_GT(submitted, 0);
    }
}

// ---------------------------------------------------------------------------
// The seen-news file under SIGKILL, beside the score database's kill test
// whose folder and rounds it shares. A child saves the
// seen list again and again, each time eight ids of a round's number, and
// is killed at random moments. After every kill the seen file must read
// back whole: the eight ids of the round the child last reported saved, or
// of the one after it.

namespace {

std::string SeenId(int round, int i) { return "r" + std::to_string(round) + "-" + std::string(900, (char)('a' + i)); }

[[noreturn]] void RunSeenSaver(const std::string& dir, int fd) {
    FwEngine engine(dir);
    if (!engine.started) _exit(3);
    news_man.state_ready = true;
    // Ready once the first round is saved: every kill finds a file.
    for (int round = 1;; round++) {
        news_man.seen.Free();
        for (int i = 0; i < 8; i++) news_man.seen.InsertLast(nString(SeenId(round, i).c_str()));
        news_man.SaveState();
        WriteInt(fd, round);
    }
}

KILL_CHILD(RunSeenSaver);

}  // namespace

TEST(NewsKill, TheSeenListSurvivesAKill) {
    KillRuns runs(20261208);
    ASSERT_FALSE(runs.dir.empty());
    int landed = 0;
    const int kills = KillRounds();
    for (int k = 0; k < kills; k++) {
        KillRound round = runs.Next(RunSeenSaver);
        ASSERT_EQ(round.failure, "") << "kill " << k;
        FwEngine engine(runs.dir);
        ASSERT_TRUE(engine.started);
        if (round.last > round.start) landed++;
        ASSERT_TRUE(news_man.LoadState()) << "kill " << k;
        ASSERT_EQ(news_man.seen.count, 8) << "kill " << k;
        int saved = atoi(news_man.seen[0].c_str() + 1);
        EXPECT_TRUE(saved == round.last || saved == round.last + 1) << "kill " << k << ": " << saved;
        for (int i = 0; i < 8; i++) ASSERT_EQ(news_man.seen[i].c_str(), SeenId(saved, i)) << "kill " << k;
        news_man.seen.Free();
        std::filesystem::remove(engine.UserPath("vantreo-news.txt"));
    }
    if (kills >= 10) {
        EXPECT_GT(landed, kills / 10);  // as above
    }
}
