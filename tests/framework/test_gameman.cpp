// The game manager: registration, "!DEFAULT", loading and activation, the
// script functions, save-game slots (save, exists, load, delete), doctored
// profile entries, and saves interrupted by SIGKILL.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <string>

#include "atomic-file.h"
#include "fw-support.h"
#include "kill-round.h"
#include "luaman.h"
#include "manager.h"
#include "profiles.h"
#include "recording-kd.h"
#include "ui/gameman.h"
#include "ui/screen-manager.h"
#include "ui/timeline.h"

namespace {

bool Exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

class TestGame : public GameImplementation {
public:
    explicit TestGame(const char* n) : name(n) {}
    const char* GetName() override { return name.c_str(); }
    void Load() override { loads++; }
    void Unload() override { unloads++; }
    bool InitLevel(const char* level) override {
        lastLevel = level;
        return true;
    }
    bool IsLevelInProgress() override { return inProgress; }
    bool IsSaveGameStateSupported() override { return supported; }
    bool SaveGameState(const char* path) override {
        savedTo = path;
        if (failSave) return false;
        return WriteSaveFile(path, state.data(), (unsigned)state.size());
    }
    bool LoadGameState(const char* path) override {
        loadedFrom = path;
        kd_file_t* f = kd->OpenFile(path, "rb");
        if (!f) return false;
        char buf[8192];
        unsigned n = kd->ReadFile(buf, sizeof buf, f);
        kd->CloseFile(f);
        loadedState.assign(buf, n);
        return true;
    }
    std::string name, lastLevel, savedTo, loadedFrom, state = "state", loadedState;
    int loads = 0, unloads = 0;
    bool inProgress = true, supported = true, failSave = false;
};

// A started engine with a profile and a timeline file name.
struct GameEnv {
    FwEngine engine;
    kd_prog_t record{};
    GameEnv() {
        Manager::SetProgramRecord(&record);
        GameManager::num_games = 0;
        game_man = GameManager();
        profile_man.LoadProfiles();
        timeline.LoadTimeline("timeline.xml");
    }
    ~GameEnv() {
        GameManager::num_games = 0;
        game_man = GameManager();
        Manager::SetProgramRecord(nullptr);
        Manager::SetParms(nullptr);
    }
    std::string Slot(int n) const {
        char t[64];
        snprintf(t, sizeof t, "profiles/saves/save-game-%.3d.dat", n);
        return engine.UserPath(t);
    }
    const char* Named() const { return prof ? prof->GetValue("!TIMELINES", "timeline.xml", "savefile") : nullptr; }
};

}  // namespace

TEST(GameManager, RegistryLoadingAndDefault) {
    GameEnv env;
    ASSERT_TRUE(env.engine.started);
    TestGame a("Alpha"), b("Beta");
    RecordingKd r(kd);
    r.Install();
    GameManager::AddGameImplementation(&a);
    GameManager::AddGameImplementation(&b);
    EXPECT_EQ(GameManager::GetGameIndex(&b), 1);
    EXPECT_EQ(GameManager::GetGameByName("Beta"), &b);
    EXPECT_EQ(GameManager::GetGameByName("beta"), nullptr);  // exact
    EXPECT_EQ(GameManager::GetGameByName(nullptr), nullptr);

    EXPECT_TRUE(game_man.SetActiveGame("!default"));
    EXPECT_EQ(game_man.GetActiveGame(), &a);
    EXPECT_EQ(a.loads, 1);
    EXPECT_TRUE(rec().Has(rec().prints, "Loading Game 'Alpha'..\n"));
    EXPECT_TRUE(game_man.SetActiveGame("Beta"));
    EXPECT_TRUE(game_man.SetActiveGame("Alpha"));
    EXPECT_EQ(a.loads, 1);  // stays loaded
    EXPECT_TRUE(game_man.IsGameLoaded(&b));
    game_man.UnloadGameImplementation(&b);
    game_man.UnloadGameImplementation(&b);
    EXPECT_EQ(b.unloads, 1);

    EXPECT_FALSE(game_man.SetActiveGame("Gamma"));
    EXPECT_EQ(game_man.GetActiveGame(), nullptr);
    EXPECT_TRUE(rec().PopupContains("GameManager::SetActiveGame - Unknown game imp name 'Gamma'"));
    TestGame stranger("Stranger");
    game_man.LoadGameImplementation(&stranger);
    EXPECT_EQ(stranger.loads, 0);
    EXPECT_TRUE(rec().PopupContains("trying to load unregistered game 'Stranger'"));
    // Nothing active: the save-game operations leave everything alone.
    EXPECT_FALSE(game_man.SaveGameExists());
    game_man.SaveCurrentGame("E1");

    // Twice the same: reported for the earlier entry, registered all the same.
    rec().Clear();
    GameManager::AddGameImplementation(&a);
    EXPECT_EQ(GameManager::num_games, 3);
    EXPECT_TRUE(rec().PopupContains("Trying to add already registered game imp 'Alpha' to GameManager."));
    // The 33rd registration is ignored without a message.
    std::vector<std::unique_ptr<TestGame>> many;
    for (int i = 3; i < 40; i++) {
        many.emplace_back(new TestGame(("G" + std::to_string(i)).c_str()));
        GameManager::AddGameImplementation(many.back().get());
    }
    EXPECT_EQ(GameManager::num_games, 32);
    EXPECT_EQ(GameManager::GetGameByName("G35"), nullptr);

    // With nothing registered "!DEFAULT" activates nothing.
    GameManager::num_games = 0;
    EXPECT_FALSE(game_man.SetActiveGame("!DEFAULT"));
    EXPECT_EQ(game_man.GetActiveGame(), nullptr);
}

TEST(GameManager, ScriptFunctions) {
    GameEnv env;
    TestGame a("Alpha"), b("Beta");
    GameManager::AddGameImplementation(&a);
    GameManager::AddGameImplementation(&b);
    ASSERT_TRUE(lua_man.Initialize());
    game_man.Initialize();
    lua_State* L = lua_man.GetMainState();
    ASSERT_TRUE(lua_man.ExecLuaString(
        L, "n = GetNumberOfGames() g0 = GetGameNameByIndex(0) g9 = GetGameNameByIndex(9) "
           "none = GetActiveGame() SetActiveGame('Beta') act = GetActiveGame() InitGameLevel('E01_L02') "
           "ex = SaveGameExists() SetActiveGame('nope') after = GetActiveGame() InitGameLevel('x')"));
    auto S = [L](const char* name) {
        lua_getglobal(L, name);
        std::string r = lua_tostring(L, -1) ? lua_tostring(L, -1) : "(nil)";
        lua_pop(L, 1);
        return r;
    };
    EXPECT_EQ(S("n"), "2");
    EXPECT_EQ(S("g0"), "Alpha");
    EXPECT_EQ(S("g9"), "NULL");
    EXPECT_EQ(S("none"), "NULL");
    EXPECT_EQ(S("act"), "Beta");
    EXPECT_EQ(S("after"), "NULL");
    EXPECT_EQ(b.lastLevel, "E01_L02");
    lua_getglobal(L, "ex");
    EXPECT_TRUE(lua_isboolean(L, -1));
    EXPECT_FALSE(lua_toboolean(L, -1));
    lua_pop(L, 1);
    // A save says whether it was written: the game's state, then the
    // profiles that name it.
    game_man.SetActiveGame("Beta");
    ASSERT_TRUE(lua_man.ExecLuaString(L, "s1 = tostring(SaveGameState('E1'))"));
    b.failSave = true;
    ASSERT_TRUE(lua_man.ExecLuaString(L, "s2 = tostring(SaveGameState('E1'))"));
    EXPECT_EQ(S("s1") + " " + S("s2"), "true false");
    lua_man.Shutdown();
}

TEST(GameManager, SaveSlotsSaveExistLoadAndDelete) {
    GameEnv env;
    ASSERT_TRUE(prof);
    TestGame g("Worms");
    GameManager::AddGameImplementation(&g);
    ASSERT_TRUE(game_man.SetActiveGame("Worms"));

    g.state = "first";
    sman.zero_next_time_step = false;
    game_man.SaveCurrentGame("E01_L01");
    EXPECT_TRUE(sman.zero_next_time_step);
    EXPECT_EQ(g.savedTo, "user://profiles/saves/save-game-001.dat");
    EXPECT_EQ(ReadNative(env.Slot(1)), "first");
    EXPECT_STREQ(env.Named(), "profiles/saves/save-game-001.dat");
    EXPECT_STREQ(prof->GetValue("!TIMELINES", "timeline.xml", "event"), "E01_L01");
    EXPECT_STREQ(prof->GetValue("!TIMELINES", "timeline.xml", "game"), "Worms");
    EXPECT_STREQ(prof->GetValue("!SAVE_STATE", "timeline", "value"), "timeline.xml");
    EXPECT_TRUE(game_man.SaveGameExists());

    // 001 and 002 taken, 003 free: slot 3 is written and the earlier file
    // (001, named by the profile) deleted.
    WriteNative(env.Slot(2), "someone else's");
    g.state = "second";
    game_man.SaveCurrentGame("E01_L02");
    EXPECT_EQ(ReadNative(env.Slot(3)), "second");
    EXPECT_FALSE(Exists(env.Slot(1)));
    EXPECT_TRUE(Exists(env.Slot(2)));
    EXPECT_STREQ(env.Named(), "profiles/saves/save-game-003.dat");
    // No temporary files are left next to the saves.
    EXPECT_FALSE(Exists(env.Slot(3) + ".tmp"));

    // The profile on disk says the same (it was saved).
    {
        profile_man.LoadProfiles();
        ASSERT_TRUE(prof);
        EXPECT_STREQ(env.Named(), "profiles/saves/save-game-003.dat");
    }

    // Loading activates the recorded game and reads the named file.
    GameManager::AddGameImplementation(new TestGame("Other"));
    game_man.SetActiveGame("Other");
    sman.zero_next_time_step = false;
    EXPECT_TRUE(game_man.LoadSaveGame());
    EXPECT_EQ(game_man.GetActiveGame(), &g);
    EXPECT_EQ(g.loadedFrom, "user://profiles/saves/save-game-003.dat");
    EXPECT_EQ(g.loadedState, "second");
    EXPECT_TRUE(sman.zero_next_time_step);
    delete GameManager::GetGameByName("Other");

    // Delete removes the file and the entry; then nothing exists.
    game_man.DeleteSaveGame();
    EXPECT_FALSE(Exists(env.Slot(3)));
    EXPECT_EQ(env.Named(), nullptr);
    EXPECT_FALSE(game_man.SaveGameExists());
    EXPECT_FALSE(game_man.LoadSaveGame());
    game_man.DeleteSaveGame();  // nothing named: nothing happens

    // A failed game save changes nothing in the profile.
    g.failSave = true;
    game_man.SaveCurrentGame("E02_L01");
    EXPECT_EQ(env.Named(), nullptr);
    EXPECT_STREQ(prof->GetValue("!TIMELINES", "timeline.xml", "event"), "E01_L02");
}

TEST(GameManager, SlotNamedAndFreeAgainIsKept) {
    GameEnv env;
    TestGame g("Worms");
    GameManager::AddGameImplementation(&g);
    game_man.SetActiveGame("Worms");
    prof->SetValue("!TIMELINES", "timeline.xml", "savefile", "profiles/saves/save-game-001.dat");
    RecordingKd r(kd);
    r.Install();
    g.state = "again";
    game_man.SaveCurrentGame("E1");
    EXPECT_TRUE(rec().DebugContains("Trying to delete the game just saved!"));
    EXPECT_EQ(ReadNative(env.Slot(1)), "again");
    EXPECT_STREQ(env.Named(), "profiles/saves/save-game-001.dat");
}

TEST(GameManager, WithoutSaveStatesOnlyTheEventIsRecorded) {
    GameEnv env;
    TestGame g("Worms");
    GameManager::AddGameImplementation(&g);
    game_man.SetActiveGame("Worms");
    game_man.SaveCurrentGame("E1");
    ASSERT_TRUE(Exists(env.Slot(1)));
    g.supported = false;
    g.savedTo.clear();
    game_man.SaveCurrentGame("E2");
    EXPECT_TRUE(g.savedTo.empty());
    EXPECT_FALSE(Exists(env.Slot(1)));
    EXPECT_EQ(env.Named(), nullptr);
    EXPECT_STREQ(prof->GetValue("!TIMELINES", "timeline.xml", "event"), "E2");
    EXPECT_STREQ(prof->GetValue("!TIMELINES", "timeline.xml", "game"), "Worms");
    EXPECT_FALSE(game_man.SaveGameExists());
    // Supported, but no level in progress: the same.
    g.supported = true;
    game_man.SaveCurrentGame("E3");
    ASSERT_TRUE(Exists(env.Slot(1)));
    g.inProgress = false;
    game_man.SaveCurrentGame("E4");
    EXPECT_FALSE(Exists(env.Slot(1)));
}

TEST(GameManager, ProfileEntriesNeverReachOtherFiles) {
    GameEnv env;
    TestGame g("Worms");
    GameManager::AddGameImplementation(&g);
    game_man.SetActiveGame("Worms");
    std::string victim = env.engine.UserPath("victim.txt");
    WriteNative(victim, "keep me");
    RecordingKd r(kd);
    r.Install();
    prof->SetValue("!TIMELINES", "timeline.xml", "savefile", "victim.txt");
    EXPECT_FALSE(game_man.SaveGameExists());
    EXPECT_FALSE(game_man.LoadSaveGame() && g.loadedFrom == "user://victim.txt");
    game_man.DeleteSaveGame();
    EXPECT_EQ(ReadNative(victim), "keep me");
    EXPECT_EQ(env.Named(), nullptr);
    prof->SetValue("!TIMELINES", "timeline.xml", "savefile", "../victim.txt");
    game_man.SaveCurrentGame("E1");
    EXPECT_EQ(ReadNative(victim), "keep me");
    EXPECT_STREQ(env.Named(), "profiles/saves/save-game-001.dat");

    // The profile names a file that is gone: reported, no save.
    ASSERT_EQ(unlink(env.Slot(1).c_str()), 0);
    EXPECT_FALSE(game_man.SaveGameExists());
    EXPECT_TRUE(rec().DebugContains("Conflict: Profile claims save state game state exists"));
}

// ---------------------------------------------------------------------------
// A child process saves the game again and again, each time with a new
// counter, and is killed with SIGKILL at random moments. After every kill
// the profile must name a save file that exists and holds a complete state
// of a counter the child had reached.

namespace {

class CounterGame : public TestGame {
public:
    CounterGame() : TestGame("Counter") {}
};

std::string StateOf(int counter) {
    std::string s = "BEGIN " + std::to_string(counter) + "\n";
    for (int i = 0; i < 200; i++) s += "line " + std::to_string(i) + " of " + std::to_string(counter) + "\n";
    return s + "END\n";
}

[[noreturn]] void RunSaver(const std::string& dir, int fd) {
    FwEngine engine(dir);
    if (!engine.started) _exit(3);
    static kd_prog_t record{};
    Manager::SetProgramRecord(&record);
    GameManager::num_games = 0;
    static CounterGame game;
    GameManager::AddGameImplementation(&game);
    game_man.SetActiveGame("Counter");
    profile_man.LoadProfiles();
    timeline.LoadTimeline("timeline.xml");
    if (!prof) _exit(4);
    const char* v = prof->GetValue("!KILL", "counter", "value");
    int counter = v ? atoi(v) : 0;
    WriteInt(fd, counter);
    for (int round = 0; round < 1000000; round++) {
        counter++;
        game.state = StateOf(counter);
        prof->SetValuef("!KILL", "counter", "value", "%d", counter);
        game_man.SaveCurrentGame("E1");
        WriteInt(fd, counter);
    }
    _exit(0);
}

KILL_CHILD(RunSaver);

}  // namespace

TEST(GameManagerKill, EveryKillLeavesTheNamedSaveLoadable) {
    char tmpl[] = "/tmp/kodo-gkill-XXXXXX";
    ASSERT_TRUE(mkdtemp(tmpl));
    const std::string dir = tmpl;
    setenv("SDL_AUDIODRIVER", "none", 1);
    std::mt19937 rng(20240612);
    std::uniform_int_distribution<int> delay(0, 4000);
    int confirmed = 0;
    const int kKills = 40;
    for (int k = 0; k < kKills; k++) {
        // Every other round lets one save finish first, so that a machine
        // too busy to finish any within the delay still moves the counter on.
        KillRound round = RunAndKill(RunSaver, dir, (useconds_t)delay(rng), k % 2);
        ASSERT_EQ(round.failure, "") << "kill " << k;
        int last = round.last;

        FwEngine engine(dir);
        ASSERT_TRUE(engine.started);
        kd_prog_t record{};
        Manager::SetProgramRecord(&record);
        GameManager::num_games = 0;
        game_man = GameManager();
        CounterGame game;
        GameManager::AddGameImplementation(&game);
        game_man.SetActiveGame("Counter");
        profile_man.LoadProfiles();
        timeline.LoadTimeline("timeline.xml");
        ASSERT_TRUE(prof);
        if (last == 0 && !prof->GetValue("!TIMELINES", "timeline.xml", "savefile")) continue;  // nothing saved yet
        ASSERT_TRUE(game_man.SaveGameExists()) << "kill " << k;
        ASSERT_TRUE(game_man.LoadSaveGame()) << "kill " << k;
        const std::string& s = game.loadedState;
        ASSERT_EQ(s.compare(0, 6, "BEGIN "), 0) << "kill " << k;
        int found = atoi(s.c_str() + 6);
        EXPECT_EQ(s, StateOf(found)) << "kill " << k;
        // A state the child had reached: the last it reported, or one more
        // whose save completed before the report.
        EXPECT_GE(found, confirmed);
        EXPECT_GE(found, last) << "kill " << k;
        EXPECT_LE(found, last + 1) << "kill " << k;
        confirmed = found;
        Manager::SetProgramRecord(nullptr);
        GameManager::num_games = 0;
    }
    EXPECT_GT(confirmed, 0);
    system(("rm -rf " + dir).c_str());
}
